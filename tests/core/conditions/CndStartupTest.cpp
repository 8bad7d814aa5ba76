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

// Meter.cnd is kept as the user wrote it, attempts 0 and an address outside the GP-IB range both
// (that attempts 0 still makes one attempt: CommandTransportTest.AttemptsFollowTheSettingAndTheRetryFlag).
// No GP-IB device can have address 31, so opening fails with the message naming it and the bus is
// not asked.
TEST(CndStartup, MeterCndStaysAsWrittenWithNoAttemptsAndAnAddressOutsideTheGpibRange) {
    SecondStart t;
    WriteAll(t.CondFile("Meter.cnd"), "31,0,0\r\n");
    t.h.ui.answers = {MsgAnswer::Ok, MsgAnswer::No};
    EXPECT_EQ(t.Start("sim:time=instant"), StartupOutcome::Exit);
    ASSERT_FALSE(t.h.ui.shown.empty());
    EXPECT_EQ(t.h.ui.shown[0].text, "Cannot open communication port.\nGP-IB Address:31\nGP-IB addresses are 0 to 30: "
                                    "correct the address in Cond/Meter.cnd.");
    EXPECT_EQ(t.h.ui.shown[0].title, "GP-IB error");
    EXPECT_TRUE(t.h.bus->log.empty());
    EXPECT_EQ(t.state.Gpib.Attempts, 0);
    EXPECT_EQ(ReadAll(t.CondFile("Meter.cnd")), "31,0,0\r\n");
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
