// End to end: start-up, runs, transfers and monitoring against the simulated instrument.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/datafiles/DataFilesTestSupport.h"
#include "support/EngineHarness.h"
#include "support/FileSizeLimit.h"
#include "core/app/BalancePresenter.h"
#include "core/app/CheckTablePresenter.h"
#include "core/app/MainWindowRules.h"
#include "core/app/MeasCondForm.h"
#include "core/app/OutputCalForm.h"
#include "core/app/Monitor.h"
#include "core/app/OpenRecord.h"
#include "core/app/RunController.h"
#include "core/app/Startup.h"
#include "core/app/Transfer.h"
#include "core/graphs/ChartNavigation.h"
#include "core/support/TextTable.h"

namespace kmr {
namespace {

using testing::EngineHarness;
using testing::RampWord;
using testing::RampWords;
using testing::Block;
using testing::Le32;
using testing::ReadAll;

// --- Progress arithmetic -------------------------------------------------------------------------

TEST(RunArithmetic, StepsBlocksAndTheHighSpeedClock) {
    EXPECT_EQ(DataFileStepCount(25000, 2), 17);  // round(3.5) = 4
    EXPECT_EQ(DataFileStepCount(15000, 1), 6);   // round(2.5) = 2, 6.5 -> 6
    // CSV: round(N / 1000) + round(N / B + 1) * K + K * N / 1000 + K * N / B + 1.
    EXPECT_EQ(CsvStepCount(1000, 2), 1 + 2 + 2 + 0 + 1 + 0);  // 1 + 2 + 2 + 0.2 + 1 = 6.2 -> 6
    EXPECT_EQ(CsvStepCount(25000, 2), 25 + 8 + 50 + 5 + 1);
    // At most ten thousand words per read.
    EXPECT_EQ(BlockReads(25000), (std::vector<BlockRead>{{0, 10000}, {10000, 10000}, {20000, 5000}}));
    EXPECT_EQ(BlockReads(10000), (std::vector<BlockRead>{{0, 10000}}));
    EXPECT_EQ(BlockReads(1), (std::vector<BlockRead>{{0, 1}}));
    // High speed at one tenth of a millisecond and below.
    EXPECT_TRUE(IsHighSpeedClock(0.1f));
    EXPECT_FALSE(IsHighSpeedClock(0.2f));
    EXPECT_EQ(RestTimeCaption(25, 1.0f), "0.0 SEC.");  // 1.0 and 0.6: the runs below
}

// --- Runs ----------------------------------------------------------------------------------------

// No run and no timer of one: the window, its Start and its buttons take input again.
void ExpectIdle(const EngineHarness& h) {
    EXPECT_FALSE(h.state.RunActive());
    EXPECT_FALSE(h.main.eocTimer);
    EXPECT_EQ(h.main.startStopCaption, "Start");
    for (MainButton b : {MainButton::StartStop, MainButton::Monitor, MainButton::Balance})
        EXPECT_TRUE(h.main.Enabled(b));
    EXPECT_TRUE(h.main.windowEnabled);
}

class RunTest : public ::testing::Test {
protected:
    std::string Data(const std::string& name) const { return h.DataFolder() + name; }
    // 100 pre-trigger words at 1 ms: every chart marks 0.1 s.
    void ExpectTriggerMarkedInEveryChart() const {
        for (int c = 0; c < kCharts; ++c)
            EXPECT_TRUE(h.engine.chart.Mark(c).on && h.engine.chart.Mark(c).x == 0.1) << c;
    }
    // Starts an external-trigger run of channel 1 with 100 pre-trigger words at 1 ms.
    void StartExternalRun(const std::string& interfaceSpec) {
        ASSERT_TRUE(h.Measure({1}, 1000, 1.0f, 0, interfaceSpec));
        h.state.Meas.TrgMode = 2;
        h.state.Meas.PreMemoryWords = 100;
        h.engine.link.commands->DownloadConditions(kFullChangeMask);
        StartOrStop(h.engine);
    }

    EngineHarness h;
};

TEST_F(RunTest, ChannelsTwoAndFiveGoIntoTheDataFileExactly) {
    ASSERT_TRUE(h.Measure({2, 5}, 1000, 1.0f));
    StartOrStop(h.engine);
    EXPECT_TRUE(h.state.ManualRunActive);
    EXPECT_EQ(h.main.restCaption, "1.0 SEC.");
    EXPECT_EQ(h.main.restPercent, 100.0f);
    EXPECT_EQ(h.main.monitorCaption, "Moni. Off");
    EXPECT_TRUE(h.main.eocTimer);
    EXPECT_TRUE(h.main.moniTimer);
    EXPECT_EQ(h.main.caption, "KMR-5300 - 20261205.kmr(Next data file)");

    EocTimerTick(h.engine);
    ExpectIdle(h);
    EXPECT_EQ(h.state.WordsConverted, 1000);
    EXPECT_EQ(h.state.DataPresent, kTrue);

    const std::string bytes = ReadAll(Data("20261205.kmr"));
    ASSERT_EQ(bytes.size(), 5102u);
    EXPECT_EQ(bytes.substr(4, 20), "KMR_FILE BY VNTNORDA");
    EXPECT_EQ(Le32(bytes, 54), 1000);
    EXPECT_EQ(Le32(bytes, 62), 1000);
    EXPECT_EQ(Block(bytes, 1000, 0), RampWords(2, 1000));
    EXPECT_EQ(Block(bytes, 1000, 1), RampWords(5, 1000));
    EXPECT_EQ(bytes.substr(5100), std::string(2, '\0'));
    EXPECT_EQ(h.state.Meas.TriggerTime.size(), 19u);

    // The wire: trigger, poll, trigger time, each channel's block, then the conditions back.
    EXPECT_EQ(h.bus->Commands(),
              (std::vector<std::string>{"TRG", "EOC", "TTM0", "RES", "SET2", "MRY 1000;0", "BDT", "RES", "SET5",
                                        "MRY 1000;0", "BDT", "RES", "SET2", "SET5", "MRY 1000", "MRY -0"}));
    EXPECT_EQ(h.state.DataFileNumber, 1);
    EXPECT_EQ(h.state.LastDataFile, Data("20261205.kmr"));
    EXPECT_EQ(h.main.caption, "KMR-5300 - 20261205.kmr");
    EXPECT_EQ(h.main.monitorCaption, "Moni. On");
    EXPECT_FALSE(h.main.moniTimer);
    EXPECT_EQ(h.main.restCaption, "");
    EXPECT_EQ(h.progress.label1, "Data transfer,storage and drawing...");
    EXPECT_EQ(h.progress.percents.back(), 100);
    EXPECT_EQ(h.progress.closes, 1);

    // The recorded series of channel 5 carries the engineering values.
    ASSERT_EQ(h.engine.chart.PointCount(4, 2), 1000u);
    EXPECT_EQ(h.engine.chart.SeriesY(4, 2)[7], RampWord(5, 7));
    EXPECT_EQ(h.engine.chart.SeriesX(4, 2)[7], 0.007);
}

TEST_F(RunTest, CsvFileTypeWritesEngineeringValuesThenTheNextNumber) {
    ASSERT_TRUE(h.Measure({2, 5}, 1000, 1.0f));
    h.state.Global.FileType = 1;
    h.state.Meas.Ch(5).Coeff = 0.5f;
    h.state.Meas.Ch(5).Offset = 1.0f;
    ASSERT_TRUE(h.RunToEnd());
    const std::string csv = ReadAll(Data("20261205.csv"));
    const std::size_t first = csv.find("\r\n0 ");
    ASSERT_NE(first, std::string::npos);
    // The column names and the count of lines: FaultInjection's clean CSV record.
    EXPECT_EQ(csv.substr(first + 2, 50), "0               ,2000           ,2501           \r\n");
    // Sample 999: channel 2 = 6993 + 2000, channel 5 = (6993 + 5000) * 0.5 + 1.
    EXPECT_NE(csv.find("999             ,8993           ,5997.5         \r\n"), std::string::npos);
    EXPECT_EQ(h.main.caption, "KMR-5300 - 20261205.csv");

    ASSERT_TRUE(h.RunToEnd());
    EXPECT_TRUE(std::filesystem::is_regular_file(Data("20261205_1.csv")));
    EXPECT_EQ(h.main.caption, "KMR-5300 - 20261205_1.csv");
    EXPECT_EQ(h.state.DataFileNumber, 2);
}

// The instrument goes on converting between the last poll and the Stop: what it holds once halted
// is transferred, not only what the last poll saw.
TEST_F(RunTest, AStopTransfersEveryWordConvertedUpToTheHalt) {
    ASSERT_TRUE(h.Measure({2, 5}, 1000, 1.0f, 0, "sim:pattern=ramp"));
    StartOrStop(h.engine);
    ASSERT_TRUE(h.state.ManualRunActive);
    h.simTime->Advance(0.4);
    EocTimerTick(h.engine);
    EXPECT_EQ(h.state.WordsConverted, 400);
    EXPECT_EQ(h.main.restCaption, "0.6 SEC.");
    EXPECT_FLOAT_EQ(h.main.restPercent, 60.0f);
    EXPECT_EQ(h.main.status, "Recording");
    ASSERT_TRUE(h.state.RunActive());

    h.simTime->Advance(0.1);  // no poll since
    h.bus->log.clear();
    StartOrStop(h.engine);  // a second press stops, never starts another run
    ExpectIdle(h);
    const std::string bytes = ReadAll(Data("20261205.kmr"));
    ASSERT_EQ(bytes.size(), 1100u + 1000u + 2002u);
    EXPECT_EQ(Le32(bytes, 54), 1000);
    EXPECT_EQ(Le32(bytes, 62), 500);
    EXPECT_EQ(h.main.status, "Stopped early: 500 of 1000 samples per channel were kept in " + Data("20261205.kmr"));
    EXPECT_EQ(Block(bytes, 500, 0), RampWords(2, 500));
    EXPECT_EQ(Block(bytes, 500, 1), RampWords(5, 500));
    const auto cmds = h.bus->Commands();
    ASSERT_GE(cmds.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(cmds.begin(), cmds.begin() + 6),
              (std::vector<std::string>{"HLT", "EOC", "TTM0", "RES", "SET2", "MRY 500;0"}));
}

// The route is opened again during a run (the adapter's connection dropped and was made again).
// An instrument that goes on counting is the one recording: the run goes on. One that counts fewer
// words than the run had seen was restarted and holds no recording: the run ends at that poll, or
// at the Stop's count, with nothing transferred - a fresh instrument's memory is no record.
TEST(RunEnd, AnInstrumentThatRestartedDuringTheRunEndsItWithoutAFile) {
    for (const bool atStop : {false, true}) {
        SCOPED_TRACE(atStop);
        EngineHarness h;
        ASSERT_TRUE(h.Measure({2}, 1000, 1.0f, 0, "sim:pattern=ramp"));
        StartOrStop(h.engine);
        h.simTime->Advance(0.3);
        h.bus->reopenings = 1;  // the same instrument behind the new connection
        EocTimerTick(h.engine);
        ASSERT_EQ(h.state.WordsConverted, 300);
        h.simTime->Advance(0.1);
        h.bus->reopenings = 2;  // this time a restarted one
        h.bus->replaceReply["EOC"] = {"+000000"};
        h.bus->log.clear();
        if (atStop)
            StartOrStop(h.engine);
        else
            EocTimerTick(h.engine);
        EXPECT_FALSE(h.state.RunActive());
        EXPECT_EQ(h.bus->blockCommands, 0);
        EXPECT_FALSE(std::filesystem::exists(h.DataFolder() + "20261205.kmr"));
        EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{
                                    TextWith(Language::English, txt::RecordingGoneAfterReconnect, {"0", "300"}) +
                                    "\r\n" + Text(Language::English, txt::NoDataFileWritten)})
            << ::testing::PrintToString(h.ui.Texts());
        EXPECT_EQ(h.main.status, Text(Language::English, txt::NoDataFileWritten));
        // The next Start halts it and gives it everything again before the trigger.
        h.bus->log.clear();
        StartOrStop(h.engine);
        const auto cmds = h.bus->Commands();
        ASSERT_GE(cmds.size(), 2u);
        EXPECT_EQ(cmds[0], "HLT");
        EXPECT_EQ(cmds[1], "SET1");
        EXPECT_TRUE(h.state.RunActive());
    }
}

// Stopped just as the memory filled, the record is whole; a count below zero from the poll shows
// the whole memory still to come. Halted, then silent when asked how far it got: the run ends as
// a lost one, and the next Start offers what the instrument holds.
TEST(RunEnd, AStopAsTheMemoryFillsKeepsItWholeAndASilentCountIsALostRun) {
    EngineHarness h;
    ASSERT_TRUE(h.Measure({2}, 1000, 1.0f, 0, "sim:pattern=ramp"));
    StartOrStop(h.engine);
    h.simTime->Advance(0.3);
    h.bus->replaceReply["EOC"] = {"-000200"};
    EocTimerTick(h.engine);
    EXPECT_EQ(h.main.restCaption, "1.0 SEC.");
    EXPECT_FLOAT_EQ(h.main.restPercent, 100.0f);
    EXPECT_EQ(h.state.WordsConverted, 0);
    h.simTime->Advance(0.7);
    StartOrStop(h.engine);
    EXPECT_EQ(Le32(ReadAll(h.DataFolder() + "20261205.kmr"), 62), 1000);
    EXPECT_EQ(h.main.status, "Data file: " + h.DataFolder() + "20261205.kmr");

    EngineHarness lost;
    ASSERT_TRUE(lost.Measure({2}, 1000, 1.0f, 0, "sim:pattern=ramp,fault=EOC:noreply:3"));
    StartOrStop(lost.engine);
    lost.simTime->Advance(0.4);
    StartOrStop(lost.engine);
    ExpectIdle(lost);
    ASSERT_EQ(lost.ui.Texts().size(), 1u);
    EXPECT_EQ(lost.ui.Texts()[0].rfind(TextWith(Language::English, txt::LostDuringMeasurement, {"EOC"}), 0), 0u);
    lost.ui.answers = {MsgAnswer::Yes};
    StartOrStop(lost.engine);
    EXPECT_FALSE(lost.state.RunActive());
    EXPECT_EQ(Le32(ReadAll(lost.DataFolder() + "20261205.kmr"), 62), 400);
}

TEST_F(RunTest, ACloseDuringARunIsRefusedAndAStopBeforeAnyWordTransfersNothing) {
    ASSERT_TRUE(h.Measure({2}, 1000, 1.0f, 0, "sim:pattern=ramp"));
    StartOrStop(h.engine);
    ASSERT_TRUE(h.state.RunActive());
    EXPECT_FALSE(CloseRequestAllowed(h.state, h.ui));
    StartOrStop(h.engine);
    EXPECT_FALSE(h.state.RunActive());
    EXPECT_EQ(h.state.DataPresent, kFalse);
    EXPECT_EQ(h.state.DataFileNumber, 0);
    const auto cmds = h.bus->Commands();
    EXPECT_EQ(std::find(cmds.begin(), cmds.end(), "TTM0"), cmds.end());
    EXPECT_EQ(h.progress.shows, 0);
    // No file: the caption keeps naming the next one, and a message says so.
    EXPECT_EQ(h.ui.Texts(), (std::vector<std::string>{Text(Language::English, txt::StopBeforeQuit),
                                                      Text(Language::English, txt::StoppedBeforeFirstSample)}));
    EXPECT_EQ(h.main.status, Text(Language::English, txt::NoDataFileWritten));
    EXPECT_NE(h.main.caption.find("(Next data file)"), std::string::npos) << h.main.caption;
}

// Ended by the system during a recording (SIGTERM at logout), the program asks nothing and keeps
// what the instrument recorded: Stop's commands, the transfer, then the device goes off-line. An
// instrument that refuses the first HLT is asked once more.
TEST(RunEnd, TheSystemEndingTheProgramStopsTheRunAndKeepsItsRecording) {
    for (const std::string fault : {"", ",fault=HLT:ERR-006:1"}) {
        SCOPED_TRACE(fault);
        EngineHarness h;
        ASSERT_TRUE(h.Measure({2}, 1000, 1.0f, 0, "sim:pattern=ramp" + fault));
        h.state.Gpib.Attempts = 1;  // a refused HLT is not tried again within the call
        StartOrStop(h.engine);
        h.simTime->Advance(0.4);
        h.bus->log.clear();
        int geometrySaves = 0;
        EndAtSystemRequest(h.engine, [&](const MainFormGeometry&) { ++geometrySaves; });
        EXPECT_FALSE(h.state.RunActive());
        EXPECT_EQ(geometrySaves, 1);
        EXPECT_FALSE(h.main.eocTimer);
        EXPECT_EQ(h.bus->log.back(), "offline");
        const std::string bytes = ReadAll(h.DataFolder() + "20261205.kmr");
        ASSERT_EQ(bytes.size(), 1100u + 2002u);  // laid out for the whole memory
        EXPECT_EQ(Le32(bytes, 62), 400);
        EXPECT_EQ(Block(bytes, 400, 0), RampWords(2, 400));
        auto cmds = h.bus->Commands();
        if (!fault.empty()) {
            ASSERT_EQ(cmds.front(), "HLT");
            cmds.erase(cmds.begin());
            EXPECT_EQ(h.ui.Texts().size(), 1u);  // the refusal, said; no question
        } else {
            EXPECT_TRUE(h.ui.Texts().empty());
        }
        ASSERT_GE(cmds.size(), 6u);
        EXPECT_EQ(std::vector<std::string>(cmds.begin(), cmds.begin() + 6),
                  (std::vector<std::string>{"HLT", "EOC", "TTM0", "RES", "SET2", "MRY 400;0"}));
    }
    // An instrument that has stopped answering holds the end for one attempt of HLT, however many
    // attempts Meter.cnd allows; the run ends as lost, said once.
    EngineHarness h;
    ASSERT_TRUE(h.Measure({2}, 100000, 1.0f, 0, "sim:pattern=ramp,fault=HLT:noreply"));
    h.state.Gpib.Attempts = 32767;
    StartOrStop(h.engine);
    h.bus->log.clear();
    EndAtSystemRequest(h.engine, {});
    EXPECT_FALSE(h.state.RunActive());
    EXPECT_EQ(h.bus->Commands(), std::vector<std::string>{"HLT"});
    EXPECT_EQ(h.ui.Texts().size(), 1u);
    EXPECT_EQ(h.bus->log.back(), "offline");
}

// The poll or the Stop that finds the instrument gone ends the run with one message; the window,
// its buttons and (for the poll) the monitor come back as after any run.
TEST(RunEnd, ALostInstrumentEndsTheRunAtTheFirstFailureWithOneMessage) {
    for (const auto& [command, reply] : std::vector<std::pair<std::string, std::string>>{
             {"EOC", "noreply:3"}, {"HLT", "noreply:3"}}) {
        SCOPED_TRACE(command + " " + reply);
        EngineHarness h;
        // 100 s of recording: longer than the attempts' timeouts, so it is still going after them.
        ASSERT_TRUE(h.Measure({2}, 100000, 1.0f, 0, "sim:pattern=ramp,fault=" + command + ":" + reply));
        ToggleMonitor(h.engine);
        StartOrStop(h.engine);
        ASSERT_TRUE(h.state.RunActive());
        if (command == "EOC")
            EocTimerTick(h.engine);  // three attempts, then the run ends
        else
            StartOrStop(h.engine);
        ExpectIdle(h);
        EXPECT_FALSE(h.main.moniTimer);
        EXPECT_EQ(h.state.MonitoringOn, kFalse);
        EXPECT_EQ(h.main.monitorCaption, "Moni. On");
        const std::string lost = TextWith(Language::English, txt::LostDuringMeasurement, {command});
        EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{lost + "\r\n" + Text(Language::English, txt::NoDataFileWritten) +
                                                         " " + Text(Language::English, txt::LostRecordingOfferedLater)});
        EXPECT_NE(h.main.caption.find("(Next data file)"), std::string::npos);
        EXPECT_TRUE(h.state.LastDataFile.empty());
        // The window can be closed.
        h.ui.answers.push_back(MsgAnswer::Yes);
        EXPECT_TRUE(CloseRequestAllowed(h.state, h.ui));

        // The instrument answers again but never confirmed the end: it may still be recording.
        // Its recording so far is offered (declined here: TheRecordingOfALostRun...); new settings
        // (after the lost Stop) or else the next Start halt it first, so that they are not
        // refused; the new run is recorded whole.
        h.ui.shown.clear();
        const auto offered = [&h] {
            return h.ui.Texts().size() == 1 && h.ui.Texts()[0].find("Transfer it now?") != std::string::npos;
        };
        if (command == "HLT") {
            MeasCondForm form(h.state.Meas, h.state.Instrument.InstrumentModel, h.state.Instrument.MemorySizeCode,
                              h.state.Global.FileType);
            ASSERT_TRUE(form.Commit({MeasField::Clock, 0}, "0.5"));
            h.ui.answers = {MsgAnswer::Yes, MsgAnswer::No};
            h.bus->log.clear();
            EXPECT_EQ(MeasCondOk(h.engine, form, {}), FormOutcome::Applied);
            const auto sent = h.bus->Commands();
            ASSERT_GE(sent.size(), 3u);
            EXPECT_EQ(sent[0], "EOC");
            EXPECT_EQ(sent[1], "HLT");
            EXPECT_EQ(sent[2], "RES");  // the download, taken
            EXPECT_FALSE(h.state.ConditionsUnsent);
            ASSERT_EQ(h.ui.Texts().size(), 2u);
            EXPECT_EQ(h.ui.Texts()[0], Text(Language::English, txt::SaveChangesQuestion));
            h.ui.shown.erase(h.ui.shown.begin());
            EXPECT_TRUE(offered());
            h.ui.shown.clear();
        } else {
            h.ui.answers = {MsgAnswer::No};
        }
        StartOrStop(h.engine);
        EXPECT_EQ(offered(), command == "EOC");  // offered once only
        EXPECT_EQ(h.ui.shown.size(), command == "EOC" ? 1u : 0u);
        h.ui.shown.clear();
        ASSERT_TRUE(h.state.RunActive()) << ::testing::PrintToString(h.ui.Texts());
        h.simTime->Advance(100.0);
        EocTimerTick(h.engine);
        ExpectIdle(h);
        const std::string bytes = ReadAll(h.DataFolder() + "20261205.kmr");
        ASSERT_GT(bytes.size(), 66u);
        EXPECT_EQ(Le32(bytes, 62), 100000);
        EXPECT_EQ(Block(bytes, 100000, 0), RampWords(2, 100000));
        EXPECT_TRUE(h.ui.Texts().empty()) << ::testing::PrintToString(h.ui.Texts());
    }
}

// What the instrument recorded of a run lost before its end is offered when it answers again, and
// transferred as a Stop would: the whole memory once it is full, else what it holds once halted.
// That transfer is what the Start did; the next Start begins a new run with nothing more owed.
TEST(RunEnd, TheRecordingOfALostRunIsTransferredWhenTheInstrumentAnswersAgain) {
    for (const bool finished : {true, false}) {
        SCOPED_TRACE(finished ? "finished" : "still recording");
        EngineHarness h;
        ASSERT_TRUE(h.Measure({2}, 100000, 1.0f, 0, "sim:pattern=ramp,fault=EOC:noreply:3"));
        StartOrStop(h.engine);
        EocTimerTick(h.engine);
        ASSERT_FALSE(h.state.RunActive());
        h.ui.shown.clear();
        h.simTime->Advance(finished ? 100.0 : 30.0);
        h.bus->log.clear();
        StartOrStop(h.engine);  // Yes to the offer
        ASSERT_EQ(h.ui.Texts().size(), 1u);
        EXPECT_NE(h.ui.Texts()[0].find(" of 100000 samples per channel. Transfer it now?"), std::string::npos);
        EXPECT_FALSE(h.state.RunActive());
        const auto sent = h.bus->Commands();
        ASSERT_GE(sent.size(), 3u);
        EXPECT_EQ(sent[0], "EOC");
        EXPECT_EQ(sent[1], finished ? "TTM0" : "HLT");
        const std::string bytes = ReadAll(h.DataFolder() + "20261205.kmr");
        ASSERT_GT(bytes.size(), 66u);
        const std::int32_t n = Le32(bytes, 62);
        if (finished) EXPECT_EQ(n, 100000);
        else EXPECT_TRUE(n > 0 && n < 100000) << n;
        EXPECT_EQ(Block(bytes, n, 0), RampWords(2, n));
        EXPECT_EQ(h.state.LastDataFile, h.DataFolder() + "20261205.kmr");

        h.ui.shown.clear();
        h.bus->log.clear();
        StartOrStop(h.engine);
        ASSERT_TRUE(h.state.RunActive());
        const auto next = h.bus->Commands();
        EXPECT_EQ(std::count(next.begin(), next.end(), "HLT"), 0);
        h.simTime->Advance(100.0);
        EocTimerTick(h.engine);
        ExpectIdle(h);
        EXPECT_EQ(Le32(ReadAll(h.DataFolder() + "20261205_1.kmr"), 62), 100000);
        EXPECT_TRUE(h.ui.Texts().empty()) << ::testing::PrintToString(h.ui.Texts());
    }
    // An instrument that answers the question with an error (restarted meanwhile) has nothing to
    // offer: the Start halts it and begins the new run, with no message.
    EngineHarness h;
    ASSERT_TRUE(h.Measure({2}, 100000, 1.0f, 0, "sim:pattern=ramp,fault=EOC:noreply:3+EOC:ERR-012:3"));
    StartOrStop(h.engine);
    EocTimerTick(h.engine);
    h.ui.shown.clear();
    h.bus->log.clear();
    StartOrStop(h.engine);
    EXPECT_TRUE(h.state.RunActive());
    EXPECT_TRUE(h.ui.Texts().empty()) << ::testing::PrintToString(h.ui.Texts());
    const auto sent = h.bus->Commands();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent.front(), "EOC");
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "HLT"), 1);
}

// A balance (or check, or output calibration) first takes the recording a lost run left; when
// that transfer fails it says so itself, and the balance is not made (nor said again).
TEST(RunEnd, ALostRecordingWhoseTransferFailsBeforeABalanceIsSaidOnce) {
    EngineHarness h;
    ASSERT_TRUE(h.Measure({2}, 100000, 1.0f, 0, "sim:pattern=ramp,fault=EOC:noreply:3+BDT*:noreply"));
    StartOrStop(h.engine);
    EocTimerTick(h.engine);
    ASSERT_FALSE(h.state.RunActive());
    h.state.Gpib.Attempts = 1;
    h.simTime->Advance(100.0);
    h.ui.shown.clear();
    h.bus->log.clear();
    EXPECT_FALSE(SettleBeforeCommands(h.engine, txt::NotBalanced, txt::BalanceCancelled));  // Yes to the offer
    const auto texts = h.ui.Texts();
    ASSERT_EQ(texts.size(), 2u) << ::testing::PrintToString(texts);
    EXPECT_NE(texts[0].find(" of 100000 samples per channel. Transfer it now?"), std::string::npos);
    EXPECT_NE(texts[1].find("BDT"), std::string::npos) << texts[1];
    // Nothing follows the failed transfer's own restoring of the memory settings.
    EXPECT_EQ(h.bus->Commands().back(), "MRY -0");
}

// A trigger whose reply did not come may have been taken: it is not given again (the instrument
// would refuse it while armed, or start its recording anew). Here a high-speed recording waits
// for an external trigger longer than the 100 s the trigger command may take. The next Start
// halts the instrument first and offers what it recorded.
TEST(RunEnd, AnUnansweredTriggerIsNotRepeatedAndItsRecordingIsOfferedNext) {
    EngineHarness h;
    ASSERT_TRUE(h.Measure({1}, 2000, 0.1f, 0, "sim:pattern=ramp,extdelay=150"));
    h.state.Meas.TrgMode = 2;
    StartOrStop(h.engine);
    ExpectIdle(h);
    auto sent = h.bus->Commands();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "ETG"), 1) << ::testing::PrintToString(sent);
    ASSERT_EQ(h.ui.Texts().size(), 1u) << ::testing::PrintToString(h.ui.Texts());
    EXPECT_EQ(h.ui.Texts()[0], TextWith(Language::English, txt::TriggerUnanswered, {"ETG"}) + " " +
                                   Text(Language::English, txt::LostRecordingOfferedLater));

    h.simTime->Advance(100.0);  // triggered at 150 s, complete soon after
    h.ui.shown.clear();
    h.bus->log.clear();
    StartOrStop(h.engine);  // Yes to the offer
    ASSERT_EQ(h.ui.Texts().size(), 1u) << ::testing::PrintToString(h.ui.Texts());
    EXPECT_NE(h.ui.Texts()[0].find("2000 of 2000 samples per channel"), std::string::npos) << h.ui.Texts()[0];
    sent = h.bus->Commands();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0], "EOC");
    EXPECT_EQ(sent[1], "TTM0");
    const std::string bytes = ReadAll(h.DataFolder() + "20261205.kmr");
    ASSERT_GT(bytes.size(), 66u);
    EXPECT_EQ(Le32(bytes, 62), 2000);
    EXPECT_EQ(Block(bytes, 2000, 0), RampWords(1, 2000));
}

// After a run the instrument stopped answering, a balance, a check or a calibration output is
// made with "HLT" first instead of being refused while the instrument may still record. Where the
// halt goes unanswered too, one message says the job was not made and nothing of it is sent.
// A recording taken there (Yes to the offer) is saved, and the main window stays disabled under
// the tool window until it closes.
TEST(RunEnd, ABalanceACheckOrACalibrationAfterALostRunHaltTheInstrumentFirst) {
    struct QuietBalanceView : BalanceView {
        void Show() override {}
        void SetTimer(bool) override {}
        void SetInputEnabled(bool) override {}
        void Unload() override {}
    };
    struct QuietCheckView : CheckTableView {
        void ShowCell(std::size_t, int, const CheckCell&) override {}
        void SetTicked(std::size_t, bool) override {}
        void SetExecuteEnabled(bool) override {}
        void SetInputEnabled(bool) override {}
        void ShowComment(const std::string&, const std::string&) override {}
    };
    using Sent = std::vector<std::string>;
    const std::tuple<std::string, Sent, int, FormId> jobs[] = {
        {"balance", {"EOC", "HLT", "RES", "SET2", "BAL", "SET2"}, txt::NotBalanced, FormId::Balance},
        {"check", {"EOC", "HLT", "CHK2"}, txt::NotChecked, FormId::Check},
        {"calibration", {"EOC", "HLT", "RES", "SET 2", "CAL1230", "RES", "SET 2"}, txt::NotCalibrated,
         FormId::OutputCal}};
    for (const auto& [job, made, notMade, formId] : jobs)
        for (const bool haltAnswered : {true, false})
            for (const bool taken : {false, true}) {
            if (taken && !haltAnswered) continue;
            SCOPED_TRACE(job + (haltAnswered ? "" : ", HLT unanswered") + (taken ? ", recording taken" : ""));
            EngineHarness h;
            ASSERT_TRUE(h.Measure({2}, 100000, 1.0f, 0,
                                  std::string("sim:pattern=ramp,fault=EOC:noreply:3") + (haltAnswered ? "" : "+HLT:noreply:3")));
            ToggleMonitor(h.engine);
            StartOrStop(h.engine);
            EocTimerTick(h.engine);  // the instrument is lost: the run ends, still recording
            ASSERT_FALSE(h.state.RunActive());
            ASSERT_TRUE(h.state.HaltOwed);
            h.ui.shown.clear();
            // The recording is not wanted (TheRecordingOfALostRun...), or taken.
            h.ui.answers = {taken ? MsgAnswer::Yes : MsgAnswer::No};
            ASSERT_TRUE(h.engine.forms.Open(formId));
            h.bus->log.clear();
            if (job == "balance") {
                QuietBalanceView view;
                BalancePresenter(h.engine, view).PressBalance();
            } else if (job == "check") {
                QuietCheckView view;
                CheckTablePresenter check(h.engine, view);
                check.Tick(2, true);  // Insulation
                check.Execute();
                EXPECT_EQ(check.Check().Cell(2, 2).text == "----", !haltAnswered);
            } else {
                OutputCalForm form(h.engine);
                form.Calibration().SetUse(2, true);
                form.Calibration().EnterValue(2, "1234");
                form.Click(CalButton::Plus);
                EXPECT_EQ(form.Calibration().ActiveButton().has_value(), haltAnswered);
            }
            ASSERT_FALSE(h.ui.shown.empty());
            EXPECT_NE(h.ui.Texts()[0].find("Transfer it now?"), std::string::npos);
            h.ui.shown.erase(h.ui.shown.begin());
            // The tool window is still open: the main window takes no input until it closes.
            EXPECT_FALSE(h.main.windowEnabled);
            h.engine.forms.Closed();
            EXPECT_TRUE(h.main.windowEnabled);
            if (taken) {
                const std::string bytes = ReadAll(h.DataFolder() + "20261205.kmr");
                ASSERT_GT(bytes.size(), 66u);
                EXPECT_EQ(Block(bytes, Le32(bytes, 62), 0), RampWords(2, Le32(bytes, 62)));
                EXPECT_FALSE(h.main.moniTimer);  // the live values ended with the recording
            } else if (haltAnswered) {
                EXPECT_EQ(h.bus->Commands(), made);
                EXPECT_TRUE(h.ui.Texts().empty()) << ::testing::PrintToString(h.ui.Texts());
                EXPECT_FALSE(h.state.HaltOwed);
            } else {
                EXPECT_EQ(h.bus->Commands(), (Sent{"EOC", "HLT", "HLT", "HLT"}));
                EXPECT_EQ(h.ui.Texts(), Sent{TextWith(Language::English, notMade, {"HLT"})});
                EXPECT_TRUE(h.state.HaltOwed);
            }
        }
}

// An instrument that refuses the Stop or the poll with an error is there and may still be
// recording: the run goes on, polled, and is said once to be so; its end is found and transferred
// whole, nothing is lost.
TEST(RunEnd, AStopOrPollTheInstrumentRefusesLeavesTheRunGoingAndItsEndIsTransferred) {
    for (const auto& [fault, text] : std::vector<std::pair<std::string, int>>{{"HLT:ERR-006:3", txt::StopRefused},
                                                                              {"EOC:ERR-012:6", txt::PollRefused}}) {
        SCOPED_TRACE(fault);
        EngineHarness h;
        ASSERT_TRUE(h.Measure({2}, 1000, 1.0f, 0, "sim:pattern=ramp,fault=" + fault));
        ToggleMonitor(h.engine);
        StartOrStop(h.engine);
        ASSERT_TRUE(h.state.RunActive());
        h.simTime->Advance(0.4);
        const std::string command = fault.substr(0, 3);
        if (command == "HLT") {
            EocTimerTick(h.engine);
            StartOrStop(h.engine);  // three refusals of HLT
        } else {
            EocTimerTick(h.engine);  // three refusals each
            EocTimerTick(h.engine);
        }
        EXPECT_TRUE(h.state.RunActive());
        EXPECT_TRUE(h.main.eocTimer);
        EXPECT_TRUE(h.main.moniTimer);
        EXPECT_EQ(h.main.startStopCaption, "Stop");
        EXPECT_TRUE(h.main.Enabled(MainButton::StartStop));
        EXPECT_TRUE(h.main.windowEnabled);
        const std::string said = TextWith(Language::English, text, {command, fault.substr(4, 7)});
        EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{said});
        EXPECT_EQ(h.state.DataFileNumber, 0);

        h.simTime->Advance(1.0);
        EocTimerTick(h.engine);
        ExpectIdle(h);
        const std::string bytes = ReadAll(h.DataFolder() + "20261205.kmr");
        ASSERT_GT(bytes.size(), 66u);
        EXPECT_EQ(Le32(bytes, 62), 1000);
        EXPECT_EQ(Block(bytes, 1000, 0), RampWords(2, 1000));
        EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{said});
    }
}

// An instrument that keeps refusing the stop does not hold the run (and the window, which closes
// only once a run has ended): the second refusal ends the run, said with the reply.
TEST(RunEnd, ASecondRefusedStopEndsTheRunWithoutAFile) {
    EngineHarness h;
    ASSERT_TRUE(h.Measure({2}, 1000, 1.0f, 0, "sim:pattern=ramp,fault=HLT:ERR-006:6"));
    StartOrStop(h.engine);
    ASSERT_TRUE(h.state.RunActive());
    h.simTime->Advance(0.4);
    StartOrStop(h.engine);
    ASSERT_TRUE(h.state.RunActive());
    StartOrStop(h.engine);
    EXPECT_FALSE(h.state.RunActive());
    EXPECT_FALSE(h.main.eocTimer);
    EXPECT_EQ(h.main.startStopCaption, "Start");
    EXPECT_TRUE(h.main.windowEnabled);
    ASSERT_EQ(h.ui.Texts().size(), 2u);
    EXPECT_EQ(h.ui.Texts()[0], TextWith(Language::English, txt::StopRefused, {"HLT", "ERR-006"}));
    EXPECT_NE(h.ui.Texts()[1].find("HLT with ERR-006"), std::string::npos) << h.ui.Texts()[1];
    EXPECT_EQ(h.state.DataFileNumber, 0);
}

TEST_F(RunTest, CancelDuringTheFirstChannelLeavesTheCancelSignatureAndConsumesTheNumber) {
    ASSERT_TRUE(h.Measure({2, 5}, 1000, 1.0f));
    h.progress.cancelAt = 2;  // the header's advance, then the first block of channel 2
    ASSERT_TRUE(h.RunToEnd());
    const std::string bytes = ReadAll(Data("20261205.kmr"));
    EXPECT_EQ(bytes.substr(0, 24), std::string("\x14\0\0\0", 4) + "KMR_FILE CANCEL     ");
    EXPECT_EQ(h.state.DataFileNumber, 1);
    // No second channel was read; the conditions were restored all the same.
    const auto cmds = h.bus->Commands();
    EXPECT_EQ(std::find(cmds.begin(), cmds.end(), "SET5"), cmds.end() - 3);
    EXPECT_EQ(cmds.back(), "MRY -0");
    // The charts of the channels never reached show this record's time, as channel 1's does, not
    // the monitor strip they showed before.
    for (const int later : {4, 9})
        EXPECT_EQ(ConfiguredXRange(h.engine.chart, later), ConfiguredXRange(h.engine.chart, 0));

    h.progress.cancelAt = 0;
    ASSERT_TRUE(h.RunToEnd());
    EXPECT_EQ(ReadAll(Data("20261205_1.kmr")).substr(4, 20), "KMR_FILE BY VNTNORDA");

    // Cancelled while channel 2, written whole, is drawn: the message names it as kept, under a
    // caution's title (the instrument did nothing wrong).
    h.ui.shown.clear();
    h.progress.looks = 0;
    h.progress.cancelAt = 3;
    ASSERT_TRUE(h.RunToEnd());
    EXPECT_EQ(ReadAll(Data("20261205_2.kmr")).size(), 1100u + 2000u);
    ASSERT_EQ(h.ui.shown.size(), 1u);
    EXPECT_EQ(h.ui.shown[0].title, "Caution");
    EXPECT_NE(h.ui.shown[0].text.find(TextWith(Language::English, txt::MarkedCancelled, {"20261205_2.kmr", "2"})),
              std::string::npos) << h.ui.shown[0].text;
    // Export Range offers the channels the file holds whole.
    const auto offer = OfferExportRange(h.engine, std::nullopt, CursorTimes{});
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->channels, std::vector<int>{2});
}

// A data-trigger run, its file written past two made by hand and a folder of the next name.
TEST_F(RunTest, AFileMadeByHandIsNeverWrittenOverAndADataTriggerRunMarksEveryChart) {
    ASSERT_TRUE(h.Measure({2}, 1000, 1.0f));
    h.state.Meas.TrgMode = 1;
    h.state.Meas.Ch(2).DtgOnOff = 1;
    h.state.Meas.PreMemoryWords = 100;
    testing::WriteAll(Data("20261205.kmr"), "by hand");
    testing::WriteAll(Data("20261205_1.kmr"), "by hand too");
    std::filesystem::create_directory(Data("20261205_2.kmr"));
    ASSERT_TRUE(h.RunToEnd());
    EXPECT_EQ(h.bus->Commands().front(), "DTG");
    ExpectTriggerMarkedInEveryChart();
    EXPECT_EQ(ReadAll(Data("20261205.kmr")), "by hand");
    EXPECT_EQ(ReadAll(Data("20261205_1.kmr")), "by hand too");
    EXPECT_TRUE(h.ui.shown.empty()) << h.ui.shown[0].text;
    EXPECT_EQ(ReadAll(Data("20261205_3.kmr")).size(), 1100u + 2002u);
    EXPECT_EQ(h.state.DataFileNumber, 4);
    EXPECT_EQ(h.main.caption, "KMR-5300 - 20261205_3.kmr");
}

#ifndef _WIN32
// Another program may take the name between its choice and the file's creation (a link to nothing
// looks free to the choice, as a name not yet taken does, but cannot be created): the file takes
// the next one, without a word.
TEST_F(RunTest, ANameTakenWhileTheFileIsMadeGivesTheNextNumber) {
    ASSERT_TRUE(h.Measure({2}, 1000, 1.0f));
    std::filesystem::create_symlink(Data("nowhere"), Data("20261205.kmr"));
    ASSERT_TRUE(h.RunToEnd());
    EXPECT_TRUE(h.ui.shown.empty()) << h.ui.shown[0].text;
    EXPECT_EQ(ReadAll(Data("20261205_1.kmr")).size(), 1100u + 2002u);
    EXPECT_EQ(h.main.caption, "KMR-5300 - 20261205_1.kmr");
}
#endif

TEST_F(RunTest, NoTriggerTimeMeansNoFileAndTheSameNumber) {
    ASSERT_TRUE(h.Measure({2}, 1000, 1.0f, 0, "sim:time=instant,pattern=ramp,fault=TTM0:ERR-007"));
    ASSERT_TRUE(h.RunToEnd());
    EXPECT_FALSE(std::filesystem::exists(Data("20261205.kmr")));
    EXPECT_EQ(h.state.DataFileNumber, 0);
    EXPECT_EQ(h.progress.shows, 0);
    ExpectIdle(h);
}

// A block that does not arrive whole (channel 2's read times out, channel 5's comes short) is
// reported, leaves nothing in the graph (neither zeros nor the words of the channel read before),
// and the file never passes for complete: the channel is left out of it, and the other channel is
// kept in the block it takes.
class BlockFailure : public RunTest, public ::testing::WithParamInterface<int> {};

TEST_P(BlockFailure, LeavesTheChannelOutAndKeepsTheOther) {
    const int failing = GetParam();  // the block of the file: 0 channel 2, 1 channel 5
    ASSERT_TRUE(h.Measure({2, 5}, 1000, 1.0f, 0, failing == 0 ? "sim:time=instant,pattern=ramp,fault=BDT:noreply:1" : "sim:time=instant,pattern=ramp"));
    if (failing == 1) h.bus->shortBlock = 2;
    ASSERT_TRUE(h.RunToEnd());
    const int lost = failing == 0 ? 2 : 5, kept = failing == 0 ? 5 : 2;
    // One message: which channel was left out, the file marked cancelled and the channel it keeps.
    EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{TextWith(Language::English, txt::ChannelLeftOut,
                                                              {"BDT", std::to_string(lost)}) +
                                                     "\r\n" +
                                                     TextWith(Language::English, txt::MarkedCancelled,
                                                              {"20261205.kmr", std::to_string(kept)})});
    // (Not marked complete: FaultInjection's short and missing replies of each BDT.) The header
    // names the channel kept only; its block is the first (the last one written is the whole
    // buffer of MRY + 1 words, as ever).
    const std::string bytes = ReadAll(Data("20261205.kmr"));
    ASSERT_EQ(bytes.size(), 1100u + 2000u + (failing == 0 ? 2u : 0u));
    EXPECT_EQ(Block(bytes, 1000, 0), RampWords(kept, 1000));
    const StoredRecordCheck check = CheckStoredRecord(Data("20261205.kmr"), Language::English);
    EXPECT_EQ(check.wholeChannels, std::vector<int>{kept});
    EXPECT_FALSE(check.complete);
    EXPECT_TRUE(h.engine.chart.SeriesY(lost - 1, 2).empty());
    EXPECT_EQ(h.state.DataFileNumber, 1);
}

INSTANTIATE_TEST_SUITE_P(Run, BlockFailure, ::testing::Values(0, 1));

// Several channels lost are named as channels, and the message never says that others arrived
// when none did.
TEST(BlockFailures, TheMessageSaysWhichChannelsWereLeftOutAndWhetherAnyArrived) {
    struct Case {
        int failures;
        int text;
        std::string lost, kept;
    };
    for (const Case& c : {Case{2, txt::ChannelsLeftOut, "2, 5", "7"},
                          Case{3, txt::ChannelsLeftOutNoneTransferred, "2, 5, 7", "none"}}) {
        SCOPED_TRACE(c.failures);
        EngineHarness h;
        ASSERT_TRUE(h.Measure({2, 5, 7}, 1000, 1.0f, 0,
                              "sim:time=instant,pattern=ramp,fault=BDT:noreply:" + std::to_string(c.failures)));
        ASSERT_TRUE(h.RunToEnd());
        EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{
                                    TextWith(Language::English, c.text, {"BDT", c.lost}) + "\r\n" +
                                    TextWith(Language::English, txt::MarkedCancelled, {"20261205.kmr", c.kept})});
    }
    EngineHarness h;
    ASSERT_TRUE(h.Measure({2}, 1000, 1.0f, 0, "sim:time=instant,pattern=ramp,fault=BDT:noreply:1"));
    ASSERT_TRUE(h.RunToEnd());
    ASSERT_EQ(h.ui.Texts().size(), 1u);
    EXPECT_EQ(h.ui.Texts()[0].rfind(TextWith(Language::English, txt::ChannelLeftOutNoneTransferred, {"BDT", "2"}), 0), 0u)
        << h.ui.Texts()[0];
}

// A connection that drops in the middle of a transfer is made again by the route at the next
// command (channel 7's selection, or the retry of a block's "MRY"). An instrument that restarted
// meanwhile (it counts no words) holds no recording: nothing read over the new connection is the
// run's, and the transfer ends with the channels that arrived before. The same instrument (its
// count and trigger time as before) goes on giving the rest.
TEST(BlockFailures, ARouteOpenedAgainDuringTheTransferGoesOnOnlyWithTheSameRecording) {
    for (const std::string reopenAt : {"RES", "MRY 1000;0"}) {
        for (const bool restarted : {true, false}) {
            SCOPED_TRACE(reopenAt + (restarted ? " restarted" : " same"));
            EngineHarness h;
            ASSERT_TRUE(h.Measure({2, 5, 7}, 1000, 1.0f, 0, "sim:time=instant,pattern=ramp"));
            h.bus->shortBlock = 2;  // channel 5's block: the connection dropped under it
            h.bus->beforeCommand = [&](int, const std::string& command) {
                if (command == reopenAt && h.bus->blockCommands == 2 && h.bus->reopenings == 0) {
                    h.bus->reopenings = 1;
                    if (restarted) h.bus->replaceReply["EOC"] = {"+000000"};
                }
            };
            ASSERT_TRUE(h.RunToEnd());
            const StoredRecordCheck check = CheckStoredRecord(h.state.LastDataFile, Language::English);
            EXPECT_FALSE(h.state.LastTransferComplete);
            if (!restarted) {
                EXPECT_EQ(check.wholeChannels, (std::vector<int>{2, 7}));
                EXPECT_EQ(Block(ReadAll(h.state.LastDataFile), 1000, 1), RampWords(7, 1000));
                continue;
            }
            // Channel 7 is not read over the new connection (a block asked for with it is dropped).
            EXPECT_EQ(h.bus->blockCommands, reopenAt == "RES" ? 2 : 3);
            EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{
                                        TextWith(Language::English, txt::LostDuringTransfer, {"BDT"}) + "\r\n" +
                                        TextWith(Language::English, txt::MarkedCancelled, {"20261205.kmr", "2"})});
            EXPECT_EQ(check.wholeChannels, std::vector<int>{2});
            EXPECT_EQ(h.state.Status, RunStatus::CommFailed);
            // The instrument is given everything again before it is next relied on.
            EXPECT_TRUE(RouteReopened(h.engine));
        }
    }
}

// The instrument stops answering during the transfer (channel 5 cannot be selected) or before it
// (the trigger time): its memory still holds the whole recording, which the next Start would
// overwrite. The message says it is offered once the instrument answers again, and the next
// Start offers it before any trigger and writes it whole into the next file; given up, the
// instrument is given its conditions again (the transfer left one channel selected) first.
TEST(BlockFailures, ARecordingWhoseTransferTheInstrumentBrokeOffIsOfferedAgain) {
    for (const auto& [silent, taken] : {std::pair<std::string, bool>{"SET5", true}, {"TTM0", true}, {"SET5", false}}) {
        SCOPED_TRACE(silent + (taken ? " taken" : " given up"));
        const bool duringChannels = silent == "SET5";
        EngineHarness h;
        ASSERT_TRUE(h.Measure({2, 5}, 1000, 1.0f));
        h.simBus->Instrument().AddFault({silent, sim::FaultKind::NoReply, "", duringChannels ? 3 : 1});
        ASSERT_TRUE(h.RunToEnd());
        const std::string kept = duringChannels
                                     ? TextWith(Language::English, txt::MarkedCancelled, {"20261205.kmr", "2"})
                                     : Text(Language::English, txt::NoDataFileWritten);
        EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{
                                    TextWith(Language::English, txt::LostDuringTransfer, {silent}) + "\r\n" + kept +
                                    " " + Text(Language::English, txt::LostRecordingOfferedLater)});
        const std::string next = duringChannels ? "20261205_1.kmr" : "20261205.kmr";
        h.ui.shown.clear();
        h.bus->log.clear();
        h.ui.answers = {taken ? MsgAnswer::Yes : MsgAnswer::No};
        StartOrStop(h.engine);
        ASSERT_EQ(h.ui.Texts().size(), 1u) << ::testing::PrintToString(h.ui.Texts());
        EXPECT_NE(h.ui.Texts()[0].find("1000 of 1000 samples per channel. Transfer it now?"), std::string::npos);
        const auto sent = h.bus->Commands();
        if (!taken) {
            EXPECT_TRUE(h.state.RunActive());
            const auto trigger = std::find(sent.begin(), sent.end(), "TRG");
            ASSERT_NE(trigger, sent.end());
            const std::vector<std::string> before(sent.begin(), trigger);
            for (const std::string c : {"SET2", "SET5", "MRY 1000", "MRY -0"})
                EXPECT_NE(std::find(before.begin(), before.end(), c), before.end()) << c;
            EXPECT_FALSE(std::filesystem::exists(h.DataFolder() + next));
            continue;
        }
        EXPECT_FALSE(h.state.RunActive());
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "TRG"), 0);
        const std::string bytes = ReadAll(h.DataFolder() + next);
        ASSERT_EQ(bytes.size(), 1100u + 2000u + 2002u);
        EXPECT_EQ(bytes.substr(4, 20), "KMR_FILE BY VNTNORDA");
        EXPECT_EQ(Block(bytes, 1000, 0), RampWords(2, 1000));
        EXPECT_EQ(Block(bytes, 1000, 1), RampWords(5, 1000));
        // Taken, it is not offered again: the Start after it begins a new run.
        h.ui.shown.clear();
        StartOrStop(h.engine);
        EXPECT_TRUE(h.state.RunActive());
        EXPECT_TRUE(h.ui.Texts().empty()) << ::testing::PrintToString(h.ui.Texts());
    }
    // Offered when the live values are switched on and taken, the recording stays in the charts:
    // the live values end as at the end of a run, and no reading is drawn over it.
    EngineHarness h;
    ASSERT_TRUE(h.Measure({2}, 1000, 1.0f));
    h.simBus->Instrument().AddFault({"TTM0", sim::FaultKind::NoReply, "", 1});
    ASSERT_TRUE(h.RunToEnd());
    h.ui.answers = {MsgAnswer::Yes};
    ToggleMonitor(h.engine);
    MonitorTimerTick(h.engine);
    EXPECT_EQ(h.state.LastDataFile, h.DataFolder() + "20261205.kmr");
    EXPECT_TRUE(h.engine.chart.ShowsRecord(1));
    EXPECT_EQ(h.engine.chart.SeriesY(1, 2).size(), 1000u);
    EXPECT_EQ(h.state.MonitoringOn, kFalse);
    EXPECT_FALSE(h.main.moniTimer);
}

TEST_F(RunTest, CancelDuringACsvTransferKeepsWhatWasReadAsIncompleteAndConsumesTheNumber) {
    ASSERT_TRUE(h.Measure({2, 5}, 1000, 1.0f));
    h.state.Global.FileType = 1;
    h.progress.cancelAt = 4;  // the layout, channel 2's block and column, channel 5's block
    ASSERT_TRUE(h.RunToEnd());
    EXPECT_FALSE(h.state.LastTransferComplete);
    // Nothing under the file's own name; laid out whole under the "_incomplete" name, channel 2's
    // values written, channel 5's cells empty.
    EXPECT_FALSE(std::filesystem::exists(Data("20261205.csv")));
    EXPECT_FALSE(std::filesystem::exists(Data("20261205.csv.tmp")));
    EXPECT_EQ(h.state.LastDataFile, Data("20261205_incomplete.csv"));
    EXPECT_EQ(h.main.caption, "KMR-5300 - 20261205_incomplete.csv");  // the name on disk
    const std::string csv = ReadAll(Data("20261205_incomplete.csv"));
    const std::size_t first = csv.find("\r\n0 ");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(csv.substr(first + 2, 50), "0               ,2000" + std::string(11, ' ') + "," + std::string(15, ' ') + "\r\n");
    EXPECT_EQ(csv.size(), first + 2 + 1000u * 50u);
    EXPECT_EQ(h.bus->Commands().back(), "MRY -0");  // the conditions restored
    EXPECT_EQ(h.state.DataFileNumber, 1);
    EXPECT_EQ(h.progress.closes, 1);
}

// A write that fails (a file-size limit) stops the transfer with a message, the number is used and
// the program goes on: the next run works. 0 data file, 1 CSV. (The conditions restored and no
// file passing for complete after any failed write: FaultInjection.EveryWriteFailsInTurn.)
class DiskError : public RunTest, public ::testing::WithParamInterface<std::int16_t> {};

TEST_P(DiskError, StopsTheTransferWithAMessageAndTheProgramGoesOn) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no per-process file-size limit to make a write fail";
#else
    const bool csv = GetParam() == 1;
    ASSERT_TRUE(h.Measure({2, 5}, 1000, 1.0f));
    h.state.Global.FileType = GetParam();
    {
        // The data file's header fits, its first block does not; the CSV's column names fit, its lines do not.
        const testing::FileSizeLimit full(csv ? 20000 : 3000);
        ASSERT_TRUE(full.ok());
        ASSERT_TRUE(h.RunToEnd());
    }
    ASSERT_FALSE(h.ui.shown.empty());
    EXPECT_EQ(h.ui.shown.back().icon, MsgIcon::Critical);
    EXPECT_EQ(h.state.DataFileNumber, 1);
    ExpectIdle(h);
    const auto cmds = h.bus->Commands();
    if (csv) {
        EXPECT_NE(h.ui.shown.back().text.find("20261205.csv"), std::string::npos);
    } else {
        EXPECT_EQ(std::find(cmds.begin(), cmds.end(), "SET5"), cmds.end() - 3);  // restore only
    }

    ASSERT_TRUE(h.RunToEnd());
    if (csv) {
        EXPECT_TRUE(h.state.LastTransferComplete);
        const std::string bytes = ReadAll(Data("20261205_1.csv"));
        EXPECT_EQ(bytes.size(), bytes.find("\r\n0 ") + 2 + 1000u * 50u);
    } else {
        EXPECT_EQ(ReadAll(Data("20261205_1.kmr")).size(), 5102u);
    }
#endif
}

INSTANTIATE_TEST_SUITE_P(Run, DiskError, ::testing::Values(std::int16_t{0}, std::int16_t{1}));

// An external-trigger run waits for its trigger with its pre-trigger memory filling. Stopped then,
// the instrument has no trigger time, and that is a stop before the trigger, not an instrument
// that failed: it says so and writes nothing. The next run goes on to the trigger and transfers
// the words around it.
TEST_F(RunTest, ExternalTriggerRunWaitsForTheTriggerAStopThenWritesNothingAndTheNextTransfersAroundIt) {
    ASSERT_NO_FATAL_FAILURE(StartExternalRun("sim:pattern=ramp,extdelay=2"));
    h.simTime->Advance(1.0);
    EocTimerTick(h.engine);
    ASSERT_GT(h.state.WordsConverted, 0);
    StartOrStop(h.engine);
    EXPECT_FALSE(h.state.RunActive());
    EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{Text(Language::English, txt::StoppedBeforeTrigger)});
    EXPECT_EQ(h.state.DataFileNumber, 0);
    EXPECT_EQ(h.main.status, Text(Language::English, txt::NoDataFileWritten));
    // No record is shown, so none is offered for export.
    EXPECT_FALSE(WindowStateOf(h.engine).RecordShown);
    EXPECT_FALSE(h.engine.chart.ShowsRecord(0));

    h.bus->log.clear();
    StartOrStop(h.engine);
    EXPECT_TRUE(h.state.ExternalRunActive);
    EXPECT_FALSE(h.state.ManualRunActive);
    EXPECT_EQ(h.main.status, "Waiting for trigger");
    h.simTime->Advance(1.0);  // waiting for the trigger, the pre-trigger memory full
    EocTimerTick(h.engine);
    EXPECT_TRUE(h.state.RunActive());
    EXPECT_EQ(h.main.status, "Waiting for trigger");
    EXPECT_LT(h.state.WordsConverted, 1000);
    h.simTime->Advance(2.0);  // triggered at 2 s, full 0.9 s later
    EocTimerTick(h.engine);
    EXPECT_FALSE(h.state.RunActive());
    EXPECT_EQ(h.bus->Commands().front(), "ETG");
    EXPECT_EQ(h.main.status, "Data file: " + Data("20261205.kmr"));
    const std::string bytes = ReadAll(Data("20261205.kmr"));
    EXPECT_EQ(bytes.substr(4, 20), "KMR_FILE BY VNTNORDA");
    EXPECT_EQ(Block(bytes, 1000, 0), RampWords(1, 1000));
    ExpectTriggerMarkedInEveryChart();
    EXPECT_TRUE(WindowStateOf(h.engine).RecordFileShown);
}

// A run stopped after its live values scrolled past the charts' span, before its trigger: the
// empty charts start again from time 0, with nothing to export.
TEST_F(RunTest, AStopBeforeTheTriggerAfterTheLiveValuesScrolledLeavesEmptyChartsFromTimeZero) {
    ASSERT_NO_FATAL_FAILURE(StartExternalRun("sim:pattern=ramp,extdelay=100"));
    ASSERT_TRUE(h.state.MonitoringOn != kFalse);
    for (int tick = 0; tick < 300; ++tick) {
        h.simTime->Advance(0.05);
        h.clock.tick += 50;
        MonitorTimerTick(h.engine);
    }
    ASSERT_GT(h.engine.chart.XAxis(0).min, 0.0);
    StartOrStop(h.engine);
    EXPECT_FALSE(h.state.RunActive());
    EXPECT_EQ(h.engine.chart.XAxis(0).min, 0.0);
    EXPECT_FALSE(WindowStateOf(h.engine).RecordShown);
}

TEST_F(RunTest, HighSpeedClockWaitsInTheTriggerCommandWithTheLongTimeout) {
    ASSERT_TRUE(h.Measure({1}, 2000, 0.1f));
    std::string duringTransfer;  // the status strip while the words are read
    h.bus->beforeCommand = [&](int, const std::string& command) {
        if (command == "BDT" && duringTransfer.empty()) duringTransfer = h.main.status;
    };
    StartOrStop(h.engine);
    EXPECT_EQ(duringTransfer, Text(Language::English, txt::TransferringAndDrawing));
    ExpectIdle(h);
    std::vector<std::string> opens;
    for (const auto& l : h.bus->log)
        if (l.rfind("open", 0) == 0 || l == "offline" || l == "w:TRG") opens.push_back(l);
    EXPECT_EQ(opens, (std::vector<std::string>{"offline", "open 15", "open 15", "w:TRG", "offline", "open 13",
                                               "open 13"}));
    const std::string bytes = ReadAll(Data("20261205.kmr"));
    EXPECT_EQ(Le32(bytes, 62), 2000);
    EXPECT_EQ(Block(bytes, 2000, 0), RampWords(1, 2000));
    EXPECT_EQ(h.main.restCaption, "");
    EXPECT_EQ(h.main.restColour, RestTimeColour::WindowText);
    EXPECT_EQ(h.ui.pointer, Pointer::Default);
}

// The recording was made; its transfer fails: the transfer's one message, not a start's.
TEST_F(RunTest, AHighSpeedRecordingWhoseTransferFailsSaysSoOnce) {
    ASSERT_TRUE(h.Measure({1, 2}, 2000, 0.1f, 0, "sim:time=instant,pattern=ramp,fault=BDT*:noreply:1"));
    h.state.Gpib.Attempts = 1;
    StartOrStop(h.engine);
    EXPECT_FALSE(h.state.RunActive());
    ASSERT_EQ(h.ui.Texts().size(), 1u);
    EXPECT_EQ(h.ui.Texts()[0].rfind(TextWith(Language::English, txt::ChannelLeftOut, {"BDT", "1"}), 0), 0u) << h.ui.Texts()[0];
    // Channel 1, of which no word arrived, shows no values rather than those of zeros.
    EXPECT_EQ(h.engine.chart.Labels(0).Max, kNoValueText);
    EXPECT_NE(h.engine.chart.Labels(1).Max, kNoValueText);
    // The status strip does not call the file kept a data file like any other.
    EXPECT_EQ(h.main.status, "Incomplete data file: " + h.state.LastDataFile);
}

// Every channel lost: the file left holds none. It is still the program's own cancelled file,
// and opening it says that no channel of it is whole, not that its header is damaged.
TEST_F(RunTest, AFileWhoseTransferLostEveryChannelReadsAsCancelledWithNoWholeChannel) {
    ASSERT_TRUE(h.Measure({1, 2}, 2000, 0.1f, 0, "sim:time=instant,pattern=ramp,fault=BDT*:noreply"));
    h.state.Gpib.Attempts = 1;
    StartOrStop(h.engine);
    ASSERT_FALSE(h.state.RunActive());
    const std::string path = h.state.LastDataFile, bytes = ReadAll(path);
    const HeaderCheck check = CheckDataFileHeader(Language::English, Bytes(bytes.begin(), bytes.end()), bytes.size(), true);
    EXPECT_TRUE(check.ok) << check.problem;
    EXPECT_FALSE(check.complete);
    EXPECT_TRUE(check.wholeChannels.empty());
    h.ui.shown.clear();
    EXPECT_EQ(OpenStoredRecord(h.engine, path), OpenOutcome::Refused);
    ASSERT_EQ(h.ui.Texts().size(), 1u);
    EXPECT_NE(h.ui.Texts()[0].find(Text(Language::English, txt::NoWholeChannel)), std::string::npos) << h.ui.Texts()[0];
}

TEST_F(RunTest, AFailedHighSpeedTriggerGivesBackTheButtonsAndTheShortTimeout) {
    ASSERT_TRUE(h.Measure({1}, 2000, 0.1f, 0, "sim:time=instant,pattern=ramp,fault=TRG:noreply"));
    StartOrStop(h.engine);
    ExpectIdle(h);
    EXPECT_EQ(h.state.Status, RunStatus::CommFailed);
    EXPECT_EQ(h.ui.shown.back().title, "GP-IB error");
    EXPECT_EQ(h.bus->log.back(), "open 13");
    EXPECT_EQ(h.engine.link.connection->TimeoutCode(), kT10s);
    EXPECT_EQ(h.ui.pointer, Pointer::Default);
    EXPECT_FALSE(std::filesystem::exists(Data("20261205.kmr")));
}

// The connection a change of timeout could not open again (the adapter was away when the
// self-check window closed) is opened by the next Start or live values, and the instrument, which
// may have restarted, is given the setting mode and the date first. Still closed, the open says so.
TEST_F(RunTest, AConnectionLeftClosedIsOpenedByTheNextStartOrLiveValues) {
    ASSERT_TRUE(h.Measure({1}, 1000));
    h.simBus->Instrument().AddFault({"open", sim::FaultKind::NoListener, "", 1});
    for (const std::string step : {"start, still away", "start", "monitor"}) {
        if (h.engine.link.connection->IsConnected()) h.engine.link.connection->CloseGpibDevice();
        h.bus->log.clear();
        h.ui.shown.clear();
        if (step == "monitor") ToggleMonitor(h.engine);
        if (step == "monitor") MonitorTimerTick(h.engine);
        else StartOrStop(h.engine);
        const std::vector<std::string> sent = h.bus->Commands();
        EXPECT_EQ(h.bus->log[0], "open 13") << step;
        EXPECT_EQ(h.ui.shown.size(), step == "start, still away" ? 1u : 0u) << step;
        if (step == "start, still away") EXPECT_TRUE(sent.empty());
        else EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 2),
                       (std::vector<std::string>{"SET1", "DTE26;12;05"}));
        EXPECT_EQ(sent.empty() ? "" : sent.back(), step == "monitor" ? "MDT" : step == "start" ? "TRG" : "") << step;
        for (int i = 0; i < 10 && h.state.RunActive(); ++i) EocTimerTick(h.engine);
    }
}

TEST_F(RunTest, AFailedTriggerStartsNothing) {
    ASSERT_TRUE(h.Measure({1}, 1000, 1.0f, 0, "sim:time=instant,pattern=ramp,fault=DTG:noreply"));
    h.state.Meas.TrgMode = 1;
    h.state.Meas.Ch(1).DtgOnOff = 1;
    ToggleMonitor(h.engine);
    StartOrStop(h.engine);
    ExpectIdle(h);
    // Monitoring goes on as before the attempt.
    EXPECT_EQ(h.state.MonitoringOn, kTrue);
    EXPECT_TRUE(h.main.moniTimer);
}

// --- Monitoring ----------------------------------------------------------------------------------

// A read that fails (three attempts time out), or an answer that is no live values, stops the
// monitor with one message that says which. (Switched on, its state, check mark and caption:
// BalanceTick.AFailedOrMalformedRead...)
TEST(Monitor, TogglesAndStopsWhenAReadFailsOrIsNoLiveValues) {
    const std::pair<std::string, std::string> faults[] = {
        {"MDT:noreply", "The instrument does not answer (MDT): the live values have stopped. Check the instrument "
                        "and its cable, then press Moni. On again."},
        {"MDT:ERR-001", "The instrument did not answer MDT as expected: the live values have stopped."}};
    for (const auto& [fault, said] : faults) {
        SCOPED_TRACE(fault);
        EngineHarness h;
        ASSERT_TRUE(h.Measure({2, 5}, 1000, 1.0f, 0, "sim:time=instant,pattern=ramp,fault=" + fault));
        h.state.Graph.Ch[1].Use = 1;
        ToggleMonitor(h.engine);
        EXPECT_TRUE(h.main.moniTimer);
        ToggleMonitor(h.engine);
        EXPECT_EQ(h.state.MonitoringOn, kFalse);
        EXPECT_FALSE(h.main.moniTimer);
        EXPECT_FALSE(h.main.monitorChecked);
        ToggleMonitor(h.engine);
        MonitorTimerTick(h.engine);
        EXPECT_EQ(h.state.MonitoringOn, kFalse);
        EXPECT_FALSE(h.main.moniTimer);
        EXPECT_EQ(h.main.monitorCaption, "Moni. On");
        EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{said});
        EXPECT_EQ(h.ui.shown.back().title, "GP-IB error");
    }
}

// A reading that opened the route again came from an instrument that may have restarted: it is
// given the date, the time and the conditions, the reading is not shown, monitoring goes on, and
// the next Start has nothing more to send.
TEST_F(RunTest, MonitoringGivesAnInstrumentBehindARouteOpenedAgainEverythingAndGoesOn) {
    ASSERT_TRUE(h.Measure({2, 5}, 1000));
    h.clock.now = {2026, 3, 9, 7, 5, 0};
    ToggleMonitor(h.engine);
    h.bus->beforeCommand = [this](int, const std::string& command) {
        if (command == "MDT" && h.bus->reopenings == 0) h.bus->reopenings = 1;
    };
    const auto pointsBefore = h.engine.chart.MonitorPointCount();
    MonitorTimerTick(h.engine);
    auto sent = h.bus->Commands();
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 4),
              (std::vector<std::string>{"MDT", "SET1", "DTE26;03;09", "TME07;05;00"}));
    EXPECT_NE(std::find(sent.begin(), sent.end(), "MRY 1000"), sent.end());
    EXPECT_EQ(h.engine.chart.MonitorPointCount(), pointsBefore);
    EXPECT_TRUE(h.ui.shown.empty());
    EXPECT_EQ(h.state.MonitoringOn, kTrue);
    EXPECT_TRUE(h.main.moniTimer);
    MonitorTimerTick(h.engine);
    EXPECT_EQ(h.engine.chart.MonitorPointCount(), pointsBefore + 1);

    // Conditions owed (a balance left channels unselected, say) go out first: the reading that
    // follows is placed at its own time, not at the time the download began.
    const std::size_t n = h.engine.chart.PointCount(1, 1);
    const double lastX = h.engine.chart.X(1, 1, n - 1);
    const std::uint32_t lastRead = h.state.MonitorReadTime;
    h.state.ConditionsUnsent = true;
    std::uint32_t readAt = 0;
    h.bus->beforeCommand = [this, &readAt](int, const std::string& command) {
        if (command == "MDT") readAt = h.clock.tick;
        else h.clock.tick += 40;  // each command of the download takes its time on the bus
    };
    MonitorTimerTick(h.engine);
    EXPECT_FALSE(h.state.ConditionsUnsent);
    ASSERT_GT(readAt, lastRead + 400);
    const std::size_t m = h.engine.chart.PointCount(1, 1);
    EXPECT_DOUBLE_EQ(h.engine.chart.X(1, 1, m - 1), lastX + (readAt - lastRead) * 0.001);

    h.bus->log.clear();
    StartOrStop(h.engine);
    sent = h.bus->Commands();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), "TRG");
}

// An instrument back behind the route that does not take what it is given: the live values stop,
// and that is said once, naming the command.
TEST_F(RunTest, MonitoringStopsWithOneMessageWhenTheInstrumentBehindARouteOpenedAgainRefusesTheDate) {
    ASSERT_TRUE(h.Measure({2}, 1000));
    h.clock.now = {2026, 3, 9, 7, 5, 0};
    h.simBus->Instrument().AddFault({"DTE*", sim::FaultKind::ErrorReply, "ERR-001", 0});
    ToggleMonitor(h.engine);
    h.bus->reopenings = 1;
    MonitorTimerTick(h.engine);
    EXPECT_EQ(h.state.MonitoringOn, kFalse);
    EXPECT_FALSE(h.main.moniTimer);
    EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{TextWith(Language::English, txt::LostDuringMonitoring,
                                                              {"DTE26;03;09"})});
}

}  // namespace
}  // namespace kmr
