// Hand-edited and unusable condition files met by the whole start-up against the simulated
// instrument: what start-up keeps, what it writes back and what it says.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "support/EngineHarness.h"
#include "core/conditions/CndTestFiles.h"

namespace kmr {
namespace {

using testing::EngineHarness;
using testing::ReadAll;
using testing::Repeat;
using testing::WriteAll;

// A first start creates the condition folder and files; the test then edits one of them and
// starts again with a fresh program state.
struct SecondStart {
    EngineHarness h;
    ProgramState state;
    Engine engine{state, h.ui, h.main, h.splashView, h.progress, h.clock};

    SecondStart() { EXPECT_EQ(h.Start(), StartupOutcome::Online); }
    std::string CondFile(const std::string& name) const { return h.CondFile(name); }
    StartupOutcome Start(const std::string& spec) {
        h.ui.shown.clear();
        return RunStartup(engine, h.Options(spec));
    }
    long Sent(const std::string& command) const {
        const auto c = h.bus->Commands();
        return std::count(c.begin(), c.end(), command);
    }
};

// 600000 memory words with memory size code 1 become 245760 with pre-memory 0; every other
// condition of the hand-edited file is kept, and the file is rewritten with the limit only.
TEST(CndStartup, MemoryWordsAboveTheCapacityReachTheLimitAndEveryOtherConditionIsKept) {
    SecondStart t;
    const std::string channel1 = "0,-5,3,0.5,2,7,1,100,-1.5\r\n";
    const std::string others = Repeat("1,1,2,2,1,3,0,1000,0\r\n", 9);
    WriteAll(t.CondFile("Meas.cnd"), "1\r\n5\r\n600000,1000\r\n2\r\n9\r\n" + channel1 + others);

    ASSERT_EQ(t.Start("sim:time=instant,memory=1"), StartupOutcome::Online);
    const MeasConditions& m = t.state.Meas;
    EXPECT_EQ(m.MemoryWords, 245760);
    EXPECT_EQ(m.PreMemoryWords, 0);
    // The file is written from the conditions: the same text but the memory means all else was kept.
    EXPECT_EQ(ReadAll(t.CondFile("Meas.cnd")), "1\r\n5\r\n245760,0\r\n2\r\n9\r\n" + channel1 + others);
    EXPECT_EQ(t.Sent("MRY 245760"), 1);
    EXPECT_EQ(t.Sent("B.V -5"), 0);  // channel 1 is off
    EXPECT_EQ(t.Sent("B.V1"), 9);
    // Said once, with what was changed.
    EXPECT_EQ(t.h.ui.Texts(), std::vector<std::string>{
                                  "The instrument's memory holds 245760 words per channel: the memory words were set "
                                  "to 245760 and the pre-trigger words (1000) to 0. Check them in Meas. Cond. Settings."});
}

// A hand-edited Meas.cnd with averaging at a sub-millisecond clock: the instrument refuses that
// clock while it averages, so averaging goes off and the set-up goes through at the clock asked for.
TEST(CndStartup, AveragingAtASubMillisecondClockIsTurnedOffAndTheSetUpGoesThrough) {
    SecondStart t;
    const std::string channels = Repeat("1,2,0,1,0,0,0,1000,0\r\n", 10);
    WriteAll(t.CondFile("Meas.cnd"), "0\r\n0.5\r\n1000,0\r\n3\r\n10\r\n" + channels);

    ASSERT_EQ(t.Start("sim:time=instant"), StartupOutcome::Online);
    EXPECT_EQ(t.state.Meas.SmpClk, 0.5f);
    EXPECT_EQ(t.state.Meas.Averaging, 0);
    EXPECT_EQ(t.Sent("AVE 0"), 1);
    EXPECT_EQ(t.Sent("AVE 3"), 0);
    EXPECT_GE(t.Sent("CLK0"), 1);
    EXPECT_EQ(ReadAll(t.CondFile("Meas.cnd")), "0\r\n0.5\r\n1000,0\r\n0\r\n10\r\n" + channels);
    EXPECT_EQ(ReadAll(t.CondFile("Meas.cnd.damaged")), "0\r\n0.5\r\n1000,0\r\n3\r\n10\r\n" + channels);
}

// A data folder written in Global.cnd without its closing separator still takes the data files:
// they go inside it, not beside it under a name run together with the folder's.
TEST(CndStartup, DataFolderWrittenWithoutItsSeparatorTakesTheRecordsInside) {
    SecondStart t;
    const std::string defaultFolder = t.h.DataFolder();
    const char separator = defaultFolder.back();
    const std::string folder = defaultFolder + "lab";
    std::filesystem::create_directory(folder);
    WriteAll(t.CondFile("Global.cnd"),
             "\"" + folder + "\"\r\n\"run\"\r\n0\r\n\"" + folder + "\"\r\n\"" + folder + "\"\r\n");

    ASSERT_EQ(t.Start("sim:time=instant"), StartupOutcome::Online);
    EXPECT_EQ(t.state.Global.DataFolder, folder + separator);
    EXPECT_EQ(t.state.Global.SourcePathName, folder + separator);
    EXPECT_EQ(t.state.Global.DestPathName, folder + separator);
    StartOrStop(t.engine);
    for (int i = 0; i < 10 && t.state.RunActive(); ++i) EocTimerTick(t.engine);
    ASSERT_FALSE(t.state.RunActive());
    EXPECT_EQ(std::filesystem::path(t.state.LastDataFile).parent_path(), std::filesystem::path(folder));
    EXPECT_TRUE(std::filesystem::is_regular_file(t.state.LastDataFile));
}

// Meter.cnd is kept as the user wrote it, attempts 0 and values outside their ranges alike (that
// attempts 0 still makes one attempt: CommandTransportTest.AttemptsFollowTheSettingAndTheRetryFlag).
// No GP-IB device can have address 31, and no command can be ended with delimiter 2: opening fails
// with a message naming the value and the file, the bus is not asked, and the off-line offer shows
// the settings as they are. Every failure to open, a route that cannot work included, ends with
// the folder those files are in (hidden from a person on Linux).
TEST(CndStartup, MeterCndStaysAsWrittenAndASettingOutsideItsRangeIsNamedWhenOpening) {
    const struct {
        std::string meter;
        std::string spec;
        std::string problem;
        std::string offer;
        int attempts;
    } cases[] = {
        {"31,0,0\r\n", "sim:time=instant",
         "GP-IB Address:31\nGP-IB addresses are 0 to 30: correct the address in Cond/Meter.cnd.",
         "(GP-IB Address:31 Delimiter:CR/LF) fixed.", 0},
        {"20,2,3\r\n", "sim:time=instant",
         "Delimiter:2\nThe delimiter is 0 (CR/LF) or 1 (CR): correct the delimiter in Cond/Meter.cnd.",
         "(GP-IB Address:20 Delimiter:2) fixed.", 3},
        {"20,0,3\r\n", "sim:colour=red", "", "(GP-IB Address:20 Delimiter:CR/LF) fixed.", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.meter + c.spec);
        SecondStart t;
        WriteAll(t.CondFile("Meter.cnd"), c.meter);
        t.h.bus->log.clear();
        t.h.ui.answers = {MsgAnswer::Ok, MsgAnswer::No};
        EXPECT_EQ(t.Start(c.spec), StartupOutcome::Exit);
        ASSERT_GE(t.h.ui.shown.size(), 2u);
        const std::string& text = t.h.ui.shown[0].text;
        const std::string note = "\nThe connection is set in " + t.CondFile("") +
                                 ": Meter.cnd (GP-IB address, delimiter, attempts) and Interface.cnd (the route).";
        EXPECT_EQ(text.rfind("Cannot open communication port.\n" + c.problem, 0), 0u) << text;
        EXPECT_EQ(text.substr(text.size() - std::min(text.size(), note.size())), note);
        EXPECT_EQ(t.h.ui.shown[0].title, "GP-IB error");
        EXPECT_NE(t.h.ui.shown[1].text.find(c.offer), std::string::npos) << t.h.ui.shown[1].text;
        EXPECT_TRUE(t.h.bus->log.empty());
        EXPECT_EQ(t.state.Gpib.Attempts, c.attempts);
        EXPECT_EQ(ReadAll(t.CondFile("Meter.cnd")), c.meter);
    }
}

// A condition file that cannot be saved (a folder, or a FIFO, in its place) does not stop
// start-up: the defaults are used, the message names the file, and nothing waits on the FIFO.
TEST(CndStartup, ConditionFileThatCannotBeSavedIsReportedAndStartUpGoesOn) {
    for (const bool fifo : {false, true}) {
        SecondStart t;
        const std::string meas = t.CondFile("Meas.cnd");
        std::filesystem::remove(meas);
        if (fifo) {
#ifdef _WIN32
            continue;  // Windows has no FIFOs in the file system
#else
            ASSERT_EQ(::mkfifo(meas.c_str(), 0600), 0);
#endif
        } else {
            std::filesystem::create_directory(meas);
        }

        ASSERT_EQ(t.Start("sim:time=instant"), StartupOutcome::Online) << fifo;
        MeasConditions defaults;
        SetMeasDefaults(defaults);
        EXPECT_EQ(t.state.Meas.MemoryWords, defaults.MemoryWords);
        ASSERT_FALSE(t.h.ui.shown.empty());
        EXPECT_NE(t.h.ui.shown[0].text.find(meas), std::string::npos) << t.h.ui.shown[0].text;
        EXPECT_EQ(t.state.ProgramMode, kModeOnline);
    }
}

}  // namespace
}  // namespace kmr
