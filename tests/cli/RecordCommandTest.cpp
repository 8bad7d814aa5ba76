// `kmr record` against the in-process simulated instrument (the routes themselves are tested in
// tests/link).
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <sstream>
#include <string_view>

#include "support/CliRun.h"
#include "core/support/TextTable.h"
#include "sim/SimBus.h"

namespace kmr::cli {
namespace {

using kmr::testing::DataFolder;
using kmr::testing::Ran;
using kmr::testing::ReadAll;
using kmr::testing::Record;
using kmr::testing::TempHome;

// Simulated time, which the run's 50 ms waits move on; Ctrl+C comes at the `stopAt`-th wait.
struct WaitingClock : kmr::testing::FakeClock {
    void Sleep(double seconds) override {
        FakeClock::Sleep(seconds);
        time->Advance(seconds);
        if (++waits == stopAt) Interrupt();
    }
    std::shared_ptr<sim::ManualTimeSource> time = std::make_shared<sim::ManualTimeSource>();
    int stopAt = 0, waits = 0;
};

// The simulated instrument recording in simulated time. Ctrl+C comes at the `stopAt`-th wait
// (never for 0) and, when `cancelToo`, again when the transfer asks for the trigger time.
Ran RecordWithCtrlC(int stopAt, bool cancelToo, const std::string& fault = "") {
    WaitingClock clock;
    clock.stopAt = stopAt;
    struct CtrlCAtTransfer : kmr::testing::LoggingBus {
        using LoggingBus::LoggingBus;
        GpibStatus Write(int d, const void* data, std::size_t count) override {
            if (std::string_view(static_cast<const char*>(data), count).starts_with("TTM0")) Interrupt();
            return LoggingBus::Write(d, data, count);
        }
    };
    sim::SimOptions o;
    o.pattern = sim::SimPattern::Ramp;  // time: real, here the simulated time
    if (!fault.empty()) o.faults = sim::ParseSimOptions("sim:fault=" + fault).options->faults;
    std::ostringstream out, err;
    CliIo io{out, err, true, 200};  // a terminal: the status line is drawn
    const int status = RecordWith(
        {}, io,
        [&](const std::string&, std::string&) -> std::unique_ptr<GpibBus> {
            auto bus = std::make_unique<sim::SimBus>(o, clock.time);
            if (cancelToo) return std::make_unique<CtrlCAtTransfer>(std::move(bus));
            return bus;
        },
        clock);
    return {status, out.str(), err.str(), {}};
}


// The instrument stops answering at the `stallAt`-th EOC poll, for that poll only or for good,
// and Ctrl+C comes while it is awaited. `commands` holds what was written from that poll on.
Ran RecordStallingAtCtrlC(int stallAt, bool forGood) {
    WaitingClock clock;
    sim::SimOptions o;
    o.pattern = sim::SimPattern::Ramp;
    std::ostringstream out, err;
    CliIo io{out, err, false, 80};
    Ran r;
    r.status = RecordWith(
        {}, io,
        [&](const std::string&, std::string&) -> std::unique_ptr<GpibBus> {
            auto bus = std::make_unique<kmr::testing::StallingBus>(std::make_unique<sim::SimBus>(o, clock.time));
            // The `stallAt`-th EOC poll.
            bus->stallsHere = [stallAt, polls = 0](const std::string& command) mutable {
                return command.starts_with("EOC") && ++polls == stallAt;
            };
            bus->forGood = forGood;
            bus->sent = &r.commands;
            return bus;
        },
        clock);
    r.out = out.str();
    r.err = err.str();
    return r;
}


std::string WrittenPath(const Ran& r) { return r.out.empty() ? r.out : r.out.substr(0, r.out.size() - 1); }

TEST(RecordCommand, RecordsOneRunWithTheStoredConditionsAndPrintsThePath) {
#ifdef _WIN32
    GTEST_SKIP() << "on Windows the program's folders come from the user's profile, which a test cannot point elsewhere; scripts/windows-checks records with kmr.exe in fresh folders instead";
#else
    TempHome home;
    const Ran r = Record({"--interface", "sim:time=instant,pattern=ramp"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.out.back(), '\n');
    const std::string written = WrittenPath(r);
    EXPECT_EQ(written.rfind(DataFolder(), 0), 0u);
    EXPECT_EQ(written.size(), DataFolder().size() + 12);  // YYYYMMDD.kmr
    const std::string bytes = ReadAll(written);
    // Ten channels of 1000 words: 1100 + 2 * 1000 * 9 + 2 * 1001 bytes.
    EXPECT_EQ(bytes.size(), 1100u + 18000u + 2002u);
    EXPECT_EQ(bytes.substr(4, 20), "KMR_FILE BY VNTNORDA");
    EXPECT_NE(r.err.find("Rest time: 1.0 SEC."), std::string::npos) << r.err;

    // The next run writes the next number.
    const Ran second = Record({"--interface", "sim:time=instant,pattern=ramp"});
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(WrittenPath(second), written.substr(0, written.size() - 4) + "_1.kmr");
#endif
}

TEST(RecordCommand, FailuresExitWithStatusAndReason) {
    TempHome home;
    const Ran r = Record({"--interface", "sim:time=instant,fault=open:nolistener"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("GP-IB error: Cannot open communication port."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("cannot be reached at GP-IB address 20"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Do you want"), std::string::npos);
    const Ran refused = Record({"--interface", "sim:time=instant,fault=SET1:ERR-001"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("answered SET1 with ERR-001.\nkmr record: start-up was abandoned; nothing was recorded."),
              std::string::npos) << refused.err;
    EXPECT_EQ(Record({"--colour"}).status, 2);
    // A mistyped interface is wrong usage, told before anything is opened: a script can tell it
    // from an instrument that does not answer.
    for (const char* spec : {"bogus", "sim:foo=1", "prologix:127.0.0.1:99999"}) {
        const Ran bad = Record({"--interface", spec});
        EXPECT_EQ(bad.status, 2) << spec;
        EXPECT_EQ(bad.err.rfind("kmr record: ", 0), 0u) << bad.err;
        EXPECT_NE(bad.err.find("Accepted forms: "), std::string::npos) << bad.err;
        EXPECT_EQ(bad.err.find("Cannot open communication port"), std::string::npos) << bad.err;
    }
    for (const auto& [fault, reason] :
         {std::pair{"TRG:noreply", txt::CliRecordNotStarted}, std::pair{"TTM0:ERR-007", txt::CliNoDataFile},
          std::pair{"EOC:noreply", txt::CliNoDataFile}}) {
        const Ran r = Record({"--interface", std::string("sim:time=instant,fault=") + fault});
        EXPECT_EQ(r.status, 1) << fault;
        EXPECT_TRUE(r.out.empty()) << fault;
        EXPECT_NE(r.err.find("kmr record: " + Text(Language::English, reason)), std::string::npos) << r.err;
        // The command ends here: it promises no later offer of the recording.
        EXPECT_EQ(r.err.find(Text(Language::English, txt::LostRecordingOfferedLater)), std::string::npos) << r.err;
    }
}

// The window holds the instrument through a route both programs use: `kmr record` is kept off
// and says why, without a word of an unreachable instrument.
TEST(RecordCommand, AnInstrumentTheWindowHoldsIsLeftAlone) {
#ifdef _WIN32
    GTEST_SKIP() << "on Windows the program's folders come from the user's profile, which a test cannot point elsewhere";
#else
    kmr::testing::EngineHarness window;
    window.sharedRoute = true;
    ASSERT_EQ(window.Start("sim:time=instant"), StartupOutcome::Online);
    int commands = 0;
    std::ostringstream out, err;
    CliIo io{out, err, false, 80};
    kmr::testing::FakeClock clock;
    const int status = RecordWith({"--interface", "sim:time=instant"}, io,
                                  [&](const std::string&, std::string&) -> std::unique_ptr<GpibBus> {
                                      auto bus = std::make_unique<kmr::testing::LoggingBus>(
                                          std::make_unique<sim::SimBus>(sim::SimOptions{}, window.simTime));
                                      bus->shared = true;
                                      bus->beforeCommand = [&](int, const std::string&) { ++commands; };
                                      return bus;
                                  },
                                  clock);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(commands, 0);
    EXPECT_NE(err.str().find("is in use by another program of this computer: the KMR-5300 window or kmr record."),
              std::string::npos) << err.str();
    EXPECT_NE(err.str().find("kmr record: start-up was abandoned; nothing was recorded."), std::string::npos) << err.str();
    EXPECT_EQ(err.str().find("cannot be reached"), std::string::npos) << err.str();
#endif
}

TEST(RecordCommand, CtrlCStopsAndTransfersWhatWasRecordedAndASecondCancelsTheTransfer) {
    TempHome home;
    // 1000 words at 1 ms, polled every 50 ms; Ctrl+C comes at the 11th wait.
    const Ran r = RecordWithCtrlC(11, false);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(Text(Language::English, txt::CliStoppedTransferring)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Rest time: 0.6 SEC.  Ch. 1 "), std::string::npos) << r.err;
    const std::string bytes = ReadAll(WrittenPath(r));
    EXPECT_EQ(bytes.substr(4, 20), "KMR_FILE BY VNTNORDA");  // complete
    // N = 450, the words converted when the halt came 550 ms in (the last poll saw 400):
    // 1100 + 2 * 450 * 9 + 2 * 1001 bytes.
    EXPECT_EQ(bytes.size(), 1100u + 8100u + 2002u);

    // A second Ctrl+C cancels the transfer.
    const Ran c = RecordWithCtrlC(11, true);
    EXPECT_EQ(c.status, 1);
    EXPECT_TRUE(c.out.empty());
    EXPECT_NE(c.err.find(Text(Language::English, txt::CliFileIncomplete)), std::string::npos) << c.err;
    const std::string cancelled = ReadAll(
        c.err.substr(c.err.rfind("kmr record: ") + 12,
                     c.err.rfind(Text(Language::English, txt::CliFileIncomplete)) - c.err.rfind("kmr record: ") - 12));
    EXPECT_EQ(cancelled.substr(4, 20), "KMR_FILE CANCEL     ");
}

// Live values the instrument answers with an error are not shown (as zeros, or as the last ones
// read): one line says they have stopped, and the run goes on to its file.
TEST(RecordCommand, LiveValuesAnsweredWithAnErrorAreSaidToHaveStopped) {
    TempHome home;
    const Ran r = RecordWithCtrlC(0, false, "MDT:ERR-001");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("Ch. 1"), std::string::npos) << r.err;
    const std::string said = TextWith(Language::English, txt::MonitorReplyUnreadable, {"MDT"});
    EXPECT_NE(r.err.find("\n" + said + "\n"), std::string::npos) << r.err;
    EXPECT_EQ(ReadAll(WrittenPath(r)).substr(4, 20), "KMR_FILE BY VNTNORDA");  // complete
}

// Ctrl+C while a command waits on an instrument that does not answer ends that command after the
// attempt in progress, and every later command is tried once: a stall of one poll still gives the
// recording stopped and transferred; an instrument gone for good costs one time-out per command.
TEST(RecordCommand, CtrlCWhileTheInstrumentStallsEndsAfterTheAttemptInProgress) {
    TempHome home;
    const Ran once = RecordStallingAtCtrlC(5, false);
    ASSERT_EQ(once.status, 0) << once.err;
    ASSERT_GE(once.commands.size(), 3u);
    EXPECT_EQ(once.commands[0], "EOC");
    EXPECT_EQ(once.commands[1], "HLT");
    EXPECT_EQ(std::count(once.commands.begin(), once.commands.end(), "HLT"), 1);
    EXPECT_EQ(ReadAll(WrittenPath(once)).substr(4, 20), "KMR_FILE BY VNTNORDA");

    const Ran gone = RecordStallingAtCtrlC(5, true);
    EXPECT_EQ(gone.status, 1);
    EXPECT_TRUE(gone.out.empty());
    EXPECT_EQ(gone.commands, (std::vector<std::string>{"EOC", "HLT"})) << gone.err;
    EXPECT_NE(gone.err.find("kmr record: " + Text(Language::English, txt::CliNoDataFile)), std::string::npos) << gone.err;
}

// What `timeout`, cron or a closed terminal send ends a run as Ctrl+C does, while a run is on;
// so does a second one (the Stop, then the cancel of the transfer), which on Windows would find
// the default action back in place and end the program.
TEST(RecordCommand, SigtermAndSighupAreTheCancelButtonAsCtrlCIs) {
    std::ostringstream err;
    TerminalProgressView view(err, false);
    for (const int sig : {SIGINT, SIGTERM,
#ifdef SIGHUP
                          SIGHUP,
#endif
#ifdef SIGBREAK
                          SIGBREAK,
#endif
         }) {
        for (int press = 1; press <= 2; ++press) {
            view.TakeInterrupt();
            ASSERT_FALSE(view.ProcessEventsAndCheckCancel());
            std::raise(sig);
            EXPECT_TRUE(view.ProcessEventsAndCheckCancel()) << sig << " press " << press;
        }
    }
}

}  // namespace
}  // namespace kmr::cli
