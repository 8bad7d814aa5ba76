#include "core/app/MeasCondForm.h"

#include <gtest/gtest.h>

#include <tuple>

#include "core/app/RunController.h"
#include "core/instrument/CommandSet.h"
#include "support/EngineHarness.h"
#include "support/TempDir.h"

namespace kmr {
namespace {

using testing::EngineHarness;

MeasCondForm Form(const MeasConditions& live, std::int16_t fileType = 0, std::int32_t model = kModelKmr510C) {
    return MeasCondForm(live, model, /*memorySizeCode=*/0, fileType);
}

MeasFieldRef Clock() { return {MeasField::Clock, 0}; }
MeasFieldRef Memory() { return {MeasField::Memory, 0}; }
MeasFieldRef PreMemory() { return {MeasField::PreMemory, 0}; }

struct Entry {
    MeasFieldRef field;
    const char* typed;
    bool accepted;
    const char* shown;  // the box afterwards
};

const MeasFieldRef kCoeff1{MeasField::Coeff, 1};
const MeasFieldRef kLevel1{MeasField::DtgLevel, 1};
const MeasFieldRef kOffset1{MeasField::Offset, 1};

TEST(MeasCondCommit, AcceptsOrRevertsSilently) {
    MeasConditions live;
    live.SmpClk = 1.0f;
    live.MemoryWords = 1000;
    live.PreMemoryWords = 100;
    live.Ch(1) = {.Coeff = 2.0f, .DtgLevel = 1000.0f};
    for (const Entry& e : {
        // The clock: the named sub-millisecond clocks or whole milliseconds.
        Entry{Clock(), "0.25", false, "1"}, Entry{Clock(), "25", true, "25"}, Entry{Clock(), " +25 ", true, "25"},
        Entry{Clock(), "0.05", true, "0.05"}, Entry{Clock(), ".5", false, "1"}, Entry{Clock(), "0", false, "1"},
        Entry{Clock(), "32767", true, "32767"}, Entry{Clock(), "32768", false, "1"}, Entry{Clock(), "", false, "1"},
        Entry{Clock(), "\xEF\xBC\x92\xEF\xBC\x95", true, "25"},  // full-width 25
        // Memory with CSV: at most 65000 although the memory holds 507904; greater than pre-memory.
        Entry{Memory(), "65001", false, "1000"}, Entry{Memory(), "65000", true, "65000"},
        Entry{Memory(), "100", false, "1000"}, Entry{Memory(), "101", true, "101"}, Entry{Memory(), "1e3", false, "1000"},
        // Pre-memory stays below the memory (the readout's rule, PreMemoryFits).
        Entry{PreMemory(), "999", true, "999"}, Entry{PreMemory(), "1000", false, "100"},
        Entry{PreMemory(), "0", true, "0"},
        // The coefficient: never 0, its own display form accepted back.
        Entry{kCoeff1, "0", false, "+2.000000E+00"}, Entry{kCoeff1, "+1.000000E+00", true, "+1.000000E+00"},
        Entry{kCoeff1, "-2.5e-3", true, "-2.500000E-03"}, Entry{kCoeff1, "1E+31", false, "+2.000000E+00"},
        Entry{kCoeff1, "abc", false, "+2.000000E+00"},
        // The level: never 0, snapped to whole counts of the coefficient 2.
        Entry{kLevel1, "0", false, "+1000"}, Entry{kLevel1, "-0.0", false, "+1000"},
        Entry{kLevel1, "501", true, "+500"}, Entry{kLevel1, "-3", true, "-4"}, Entry{kLevel1, "+", false, "+1000"},
        Entry{kLevel1, "1E3", false, "+1000"}, Entry{kLevel1, "100000", true, "+65534"},
        Entry{kLevel1, "0.5", true, "+2"}, Entry{kLevel1, "-0.5", true, "-2"},  // one count, never 0
        // The offset may be 0.
        Entry{kOffset1, "0", true, "0"}, Entry{kOffset1, "12.5", true, "+12.5"}, Entry{kOffset1, "1.2.3", false, "0"},
        Entry{kOffset1, "\xEF\xBC\x8D\xEF\xBC\x93", true, "-3"},  // full-width "-3"
        // An offset that a raw count times the coefficient would carry beyond the float range.
        Entry{kOffset1, "-340000000000000000000000000000000000000", true, "-3.4E+38"},
        Entry{kOffset1, "340282340000000000000000000000000000000", false, "0"}}) {
        MeasCondForm f = Form(live, /*fileType=*/e.field.field == MeasField::Memory ? 1 : 0);
        EXPECT_EQ(f.Commit(e.field, e.typed), e.accepted) << e.typed;
        EXPECT_EQ(f.Text(e.field), e.shown) << e.typed;
    }
}

// A new coefficient moves the level to whole counts of it: the box shows the level the instrument
// is sent (TGL counts), also where the counts reach their limit.
TEST(MeasCondCommit, ANewCoefficientShowsTheLevelTheInstrumentIsSent) {
    MeasConditions live;
    live.Ch(1) = {.Coeff = 1.0f, .DtgOnOff = 1, .DtgLevel = 1000.0f};
    MeasCondForm f = Form(live);
    for (const auto& [coeff, level, sent] : {std::tuple{"0.01", "+327.67", "TGL32767"}, std::tuple{"3", "+327", "TGL109"},
                                            std::tuple{"-0.5", "+327", "TGL-654"},
                                            // Below one count: one count, the channel still triggers.
                                            std::tuple{"1E+06", "+1000000", "TGL1"}}) {
        ASSERT_TRUE(f.Commit(kCoeff1, coeff));
        EXPECT_EQ(f.Text(kLevel1), level) << coeff;
        EXPECT_EQ(TriggerLevelCommand(f.Working().Ch(1)), sent) << coeff;
    }
}

// More digits than the box shows: the value kept is the one shown, saved and read back next time.
TEST(MeasCondCommit, ACoefficientOrOffsetWithMoreDigitsKeepsTheValueShownAndSaved) {
    MeasCondForm f = Form(MeasConditions{});
    ASSERT_TRUE(f.Commit(kCoeff1, "1.23456789"));
    ASSERT_TRUE(f.Commit(kOffset1, "123.45678"));
    EXPECT_EQ(f.Text(kCoeff1), "+1.234568E+00");
    EXPECT_EQ(f.Text(kOffset1), "+123.4568");
    EXPECT_EQ(f.Working().Ch(1).Coeff, 1.234568f);
    EXPECT_EQ(f.Working().Ch(1).Offset, 123.4568f);
}

// The magnitude limits hold for the 32-bit float a value is kept in: a limit typed is taken (the
// lower one is kept as 1.401999E-40, just under the decimal limit), and Meas.cnd gives it back
// instead of replacing the coefficient by 1 at the next start.
TEST(MeasCondCommit, ValuesAtTheMagnitudeLimitsAreTakenAndReadBackFromTheFile) {
    MeasCondForm f = Form(MeasConditions{});
    f.SetDtgOnOff(1, true);
    ASSERT_TRUE(f.Commit(kCoeff1, "1.402E-40"));
    EXPECT_TRUE(f.Commit(kLevel1, "0.0000000000000000000000000000000000000001402"));
    EXPECT_EQ(f.Text(kLevel1), "+1.401999E-40");
    ASSERT_TRUE(f.Commit({MeasField::Coeff, 2}, "-3.403E+30"));
    EXPECT_FALSE(f.Commit({MeasField::Coeff, 3}, "1.401E-40"));
    EXPECT_FALSE(f.Commit({MeasField::Coeff, 3}, "3.404E+30"));
    testing::TempDir dir;
    const auto path = dir.File("Meas.cnd");
    ASSERT_TRUE(SaveMeasConditions(path, f.Working(), nullptr).ok);
    MeasConditions back;
    SetMeasDefaults(back);
    EXPECT_TRUE(LoadMeasConditions(path, back, nullptr).complete);
    EXPECT_EQ(back.Ch(1).Coeff, f.Working().Ch(1).Coeff);
    SnapTriggerLevel(back, 1);  // as start-up does
    EXPECT_EQ(TriggerLevelCommand(back.Ch(1)), TriggerLevelCommand(f.Working().Ch(1)));
    EXPECT_EQ(back.Ch(2).Coeff, -3.403E+30f);
}

TEST(MeasCondForm, InputModeListByModelAndAModeWithoutEntryKeepsItsValue) {
    MeasConditions live;
    live.Ch(1).InputMode = 3;
    live.Ch(2).InputMode = -6;
    MeasCondForm f = Form(live, 0, kModelKmr530A);
    ASSERT_EQ(f.InputModes().size(), 5u);
    EXPECT_EQ(f.InputModes()[3].code, -4);
    EXPECT_EQ(f.InputModeEntryOf(1), -1);
    EXPECT_EQ(f.Working().Ch(1).InputMode, 3);
    EXPECT_EQ(f.PendingMask(live), kEmptyChangeMask);
    f.SetInputModeEntry(1, 4);
    EXPECT_EQ(f.Working().Ch(1).InputMode, -5);
    EXPECT_EQ(f.Working().Ch(2).InputMode, -6);
    EXPECT_EQ(Form(live).InputModes().size(), 7u);
}

TEST(MeasCondForm, PreviewFollowsTheTypedTextsAndTheClockScrollMapsBothWays) {
    MeasConditions live;
    live.SmpClk = 2.0f;
    live.MemoryWords = 1000;
    MeasCondForm csv = Form(live, 1);
    // The readout's text is made from the preview's times, largest memory and verdict alone.
    MemoryPreview p = csv.Preview("70000", "500");
    EXPECT_FALSE(p.possible);
    EXPECT_EQ(MemoryPreviewText(p, Language::English),
              "Recording 140.000 s, pre-trigger 1.000 s, largest memory 65000 words (not possible)");
    p = Form(live, 0).Preview("abc", "");
    EXPECT_TRUE(p.possible);
    EXPECT_EQ(MemoryPreviewText(p, Language::English),
              "Recording 2.000 s, pre-trigger 0 ms, largest memory 507904 words");
    // The clock's scroll positions map both ways.
    for (const auto& [pos, clk] : {std::pair{9, 0.05f}, {8, 0.1f}, {0, 0.9f}, {4, 0.5f}, {-1, 1.0f}, {-32767, 32767.0f}}) {
        EXPECT_FLOAT_EQ(ClockOfScrollPosition(pos), clk) << pos;
        EXPECT_EQ(ScrollPositionOfClock(clk), pos) << clk;
    }
    MeasCondForm f = Form(MeasConditions{});
    f.SetClockByScroll(-25);
    EXPECT_EQ(f.Text(Clock()), "25");
}

// --- OK and closing over the simulated instrument ------------------------------------------------

struct MeasCondOkTest : ::testing::Test {
    EngineHarness h;
    void SetUp() override { ASSERT_EQ(h.Start(), StartupOutcome::Online); }
    MeasCondForm Open() {
        return MeasCondForm(h.state.Meas, h.state.Instrument.InstrumentModel, h.state.Instrument.MemorySizeCode,
                            h.state.Global.FileType);
    }
    // The commands of one run from its start to its end.
    std::vector<std::string> RunSends() {
        h.bus->log.clear();
        EXPECT_TRUE(h.RunToEnd());
        return h.bus->Commands();
    }
    std::string CndText() const { return testing::ReadAll(h.CondFile(kMeasCnd)); }
};

TEST_F(MeasCondOkTest, ConfirmedClockChangeIsDownloadedSavedAndTheGraphsReset) {
    MeasCondForm f = Open();
    ASSERT_TRUE(f.Commit(Clock(), "25"));
    h.state.DataPresent = kTrue;
    h.engine.chart.SetGraphMode(kRecordedMode);
    h.ui.pointerChanges.clear();
    h.bus->log.clear();
    bool hidden = false;
    EXPECT_EQ(MeasCondOk(h.engine, f, [&] { hidden = true; }), FormOutcome::Applied);
    EXPECT_TRUE(hidden);
    EXPECT_EQ(h.ui.Texts().back(), Text(Language::English, txt::SaveChangesQuestion));
    EXPECT_FLOAT_EQ(h.state.Meas.SmpClk, 25.0f);
    EXPECT_EQ(h.state.DataPresent, kFalse);
    EXPECT_EQ(h.engine.chart.GraphMode(), kMonitorMode);
    const auto sent = h.bus->Commands();
    EXPECT_NE(std::find(sent.begin(), sent.end(), "CLK 25"), sent.end());
    EXPECT_EQ(std::find(sent.begin(), sent.end(), "MRY 1000"), sent.end());  // memory not changed
    EXPECT_EQ(h.ui.pointerChanges, (std::vector<Pointer>{Pointer::Hourglass, Pointer::Default}));
    // The copy is the live record now.
    EXPECT_FALSE(f.Changed(h.state.Meas));
}

// A channel the instrument does not have is refused by name: its SET would fail every run.
TEST_F(MeasCondOkTest, AChannelTheInstrumentDoesNotHaveIsRefused) {
    ASSERT_EQ(h.Start("sim:time=instant,channels=1100000000"), StartupOutcome::Online);
    const std::string cnd = CndText();
    MeasCondForm f = Open();
    f.SetOnOff(3, true);
    f.SetOnOff(10, true);
    const std::size_t before = h.bus->Commands().size();
    h.ui.shown.clear();
    EXPECT_EQ(MeasCondOk(h.engine, f, {}), FormOutcome::StayOpen);
    EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{"The instrument does not have these channels: 3, 10. Switch them off."});
    EXPECT_EQ(h.bus->Commands().size(), before);
    EXPECT_EQ(CndText(), cnd);
    EXPECT_EQ(h.state.Meas.Ch(3).OnOff, 0);
}

// A download that stopped early is sent again, whole, before the next run: a run whose file would
// describe conditions the instrument never took does not start.
TEST_F(MeasCondOkTest, ConditionsADownloadLeftUnsentAreSentAgainBeforeTheNextRun) {
    ASSERT_EQ(h.Start("sim:time=instant,fault=CLK 2*:noreply:2"), StartupOutcome::Online);
    h.state.Gpib.Attempts = 1;  // each unanswered command fails at once
    MeasCondForm f = Open();
    ASSERT_TRUE(f.Commit(Clock(), "25"));
    EXPECT_EQ(MeasCondOk(h.engine, f, {}), FormOutcome::Applied);
    EXPECT_TRUE(h.state.ConditionsUnsent);
    EXPECT_NE(CndText().find("25"), std::string::npos);  // what the user chose is kept

    // The second try fails too: one message naming the command, no run, no file.
    h.ui.shown.clear();
    StartOrStop(h.engine);
    EXPECT_FALSE(h.state.RunActive());
    ASSERT_EQ(h.ui.shown.size(), 1u);
    EXPECT_NE(h.ui.shown[0].text.find("CLK 25"), std::string::npos) << h.ui.shown[0].text;
    EXPECT_TRUE(h.state.ConditionsUnsent);

    // The third goes through: every group is sent before the trigger, then the run records.
    const auto sent = RunSends();
    const auto clock = std::find(sent.begin(), sent.end(), "CLK 25");
    ASSERT_NE(clock, sent.end());
    EXPECT_NE(std::find(sent.begin(), clock, "SET1"), clock);
    EXPECT_NE(std::find(clock, sent.end(), "MRY 1000"), sent.end());
    EXPECT_LT(clock - sent.begin(), std::find(sent.begin(), sent.end(), "TRG") - sent.begin());
    EXPECT_FALSE(h.state.ConditionsUnsent);
    EXPECT_EQ(h.state.DataFileNumber, 1);
}

// A route opened again may have a restarted instrument behind it, with its own clock and
// conditions: before the next run it is given the setting mode, the date, the time and every
// condition again, so that its file is right. A reopening while they go out has them sent once
// more.
TEST_F(MeasCondOkTest, AfterTheRouteWasOpenedAgainTheNextRunGivesTheInstrumentEverythingFirst) {
    h.clock.now = {2026, 12, 8, 18, 30, 5};
    h.bus->reopenings = 1;
    bool reopened = false;
    h.bus->beforeCommand = [&](int, const std::string& command) {
        if (command.rfind("LPF", 0) != 0 || reopened) return;
        reopened = true;
        h.bus->reopenings = 2;
    };
    auto sent = RunSends();
    const auto trigger = std::find(sent.begin(), sent.end(), "TRG");
    ASSERT_NE(trigger, sent.end());
    // The setting mode first, as at start-up: the date, the time and the conditions follow it.
    const std::vector<std::string> dateAndTime{"SET1", "DTE26;12;08", "TME18;30;05"};
    ASSERT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 3), dateAndTime);
    const auto again = std::search(sent.begin() + 3, trigger, dateAndTime.begin(), dateAndTime.end());
    ASSERT_NE(again, trigger) << "the reopening during the download was not followed";
    EXPECT_NE(std::find(again, trigger, "MRY " + std::to_string(h.state.Meas.MemoryWords)), trigger)
        << "the conditions were not all sent again";
    EXPECT_EQ(h.state.DataFileNumber, 1);

    // Nothing extra once the instrument has everything.
    sent = RunSends();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), "TRG");

    // A trigger that opened the route again: halted, everything sent, triggered anew.
    h.bus->beforeCommand = [&](int, const std::string& command) {
        if (command == "TRG" && h.bus->reopenings == 2) h.bus->reopenings = 3;
    };
    sent = RunSends();
    ASSERT_GE(sent.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 5),
              (std::vector<std::string>{"TRG", "HLT", "SET1", "DTE26;12;08", "TME18;30;05"}));
    const auto retrigger = std::find(sent.begin() + 1, sent.end(), "TRG");
    EXPECT_NE(std::find(sent.begin(), retrigger, "MRY " + std::to_string(h.state.Meas.MemoryWords)), retrigger);
    EXPECT_NE(retrigger, sent.end());
    EXPECT_EQ(h.state.DataFileNumber, 3);
    EXPECT_TRUE(h.ui.shown.empty());

    // An instrument back behind the route that refuses the setting mode (remote sensing) is given
    // nothing and not triggered; that is said once, and the next Start tries again.
    h.bus->beforeCommand = {};
    h.simBus->Instrument().AddFault({"SET1", sim::FaultKind::ErrorReply, "ERR-022", 1});
    h.bus->reopenings = 4;
    h.bus->log.clear();
    StartOrStop(h.engine);
    EXPECT_EQ(h.bus->Commands(), std::vector<std::string>{"SET1"});
    EXPECT_FALSE(h.state.RunActive());
    EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{Text(Language::English, txt::NoRemoteSensing)});
    sent = RunSends();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 3), dateAndTime);
    EXPECT_EQ(h.state.DataFileNumber, 4);
}

TEST_F(MeasCondOkTest, NoChangeJustClosesANoAnswerOrARefusalAppliesNothing) {
    MeasCondForm f = Open();
    const MeasConditions live = h.state.Meas;
    EXPECT_EQ(MeasCondOk(h.engine, f, {}), FormOutcome::Close);
    EXPECT_TRUE(h.ui.shown.empty());
    ASSERT_TRUE(f.Commit(Memory(), "2000"));
    h.ui.answers = {MsgAnswer::No};
    EXPECT_EQ(MeasCondOk(h.engine, f, {}), FormOutcome::StayOpen);
    f.SetTrgMode(1);
    for (int ch = 1; ch <= kChannels; ++ch) f.SetDtgOnOff(ch, false);
    EXPECT_EQ(MeasCondOk(h.engine, f, {}), FormOutcome::StayOpen);
    EXPECT_EQ(h.ui.shown.back().text, Text(Language::English, txt::NoDataTriggerChannel));
    EXPECT_EQ(h.ui.shown.back().title, Text(Language::English, txt::SettingErrorTitle));
    f.SetTrgMode(0);
    for (int ch = 1; ch <= kChannels; ++ch) f.SetOnOff(ch, false);
    EXPECT_EQ(MeasCondOk(h.engine, f, {}), FormOutcome::StayOpen);
    EXPECT_EQ(h.ui.shown.back().text, Text(Language::English, txt::NoMeasuredChannel));
    EXPECT_EQ(h.ui.shown.size(), 3u);
    EXPECT_EQ(h.state.Meas, live);
}

TEST_F(MeasCondOkTest, OfflineOkKeepsAndSavesTheNewValuesAndAFastClockStoresNoAveraging) {
    MeasCondForm f = Open();
    ASSERT_TRUE(f.Commit(Memory(), "3000"));
    f.SetAveraging(2);
    ASSERT_TRUE(f.Commit(Clock(), "0.5"));
    h.state.ProgramMode = kModeOffline;  // nothing reaches the instrument
    EXPECT_EQ(MeasCondOk(h.engine, f, {}), FormOutcome::Applied);
    EXPECT_EQ(h.state.Meas.MemoryWords, 3000);
    EXPECT_EQ(h.state.Meas.Averaging, 0);
    EXPECT_FLOAT_EQ(h.state.Meas.SmpClk, 0.5f);
    EXPECT_NE(CndText().find("3000"), std::string::npos);
}

}  // namespace
}  // namespace kmr
