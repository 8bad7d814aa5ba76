// `kmr check` and `kmr balance` against the simulated instrument in-process.
#include "cli/InstrumentTools.h"

#include <gtest/gtest.h>

#include "core/support/TextTable.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "support/CliRun.h"

namespace kmr::cli {
namespace {

using kmr::testing::Ran;
using kmr::testing::Record;
using kmr::testing::TempHome;

using ToolFn = int (*)(const std::vector<std::string>&, CliIo&, const BusFactory&, Clock&);

// `replies`: replies given in place of the instrument's, by command, in order.
Ran RunTool(ToolFn fn, const std::vector<std::string>& args,
            const std::map<std::string, std::vector<std::string>>& replies = {},
            Language language = Language::English) {
    std::ostringstream out, err;
    CliIo io{out, err, false};
    io.language = language;
    kmr::testing::FakeClock clock;
    const int status = fn(
        args, io,
        [&replies](const std::string& spec, std::string&) -> std::unique_ptr<GpibBus> {
            auto bus = std::make_unique<kmr::testing::LoggingBus>(MakeGpibBusOrExplain(spec));
            bus->replaceReply = replies;
            return bus;
        },
        clock);
    return {status, out.str(), err.str(), {}};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

// The first word of each line: the rows of a table.
std::vector<std::string> RowNames(const std::vector<std::string>& lines) {
    std::vector<std::string> names;
    for (const std::string& l : lines) names.push_back(l.substr(0, l.find(' ')));
    return names;
}

class InstrumentTools : public ::testing::Test {
protected:
    TempHome home;
};

TEST_F(InstrumentTools, CheckPrintsEveryRowOrTheRowsNamedForEveryMeasuredChannel) {
    const Ran r = RunTool(CheckWith, {"--interface", "sim:time=instant"});
    EXPECT_EQ(r.status, 0) << r.err;
    // The rows in table order, not code order; ten channels, none failed.
    const auto lines = Lines(r.out);
    const std::vector<std::string> rows{"Ch.", "ROM", "RAM", "Insulation", "Initial", "Direct", "Sence"};
    ASSERT_EQ(RowNames(lines), rows) << r.out;
    EXPECT_TRUE(lines[0].ends_with(" 10") && lines[1].ends_with(" OK")) << r.out;
    EXPECT_EQ(r.out.find('*'), std::string::npos) << r.out;
    // Only the rows named.
    const Ran some = RunTool(CheckWith, {"sence,rom", "--interface", "sim:time=instant"});
    EXPECT_EQ(some.status, 0) << some.err;
    EXPECT_EQ(RowNames(Lines(some.out)), (std::vector<std::string>{"Ch.", "ROM", "Sence"})) << some.out;
}

// A caution of the start (a damaged condition file reset) is said, but the checks and the balance
// that went well exit 0.
TEST_F(InstrumentTools, ACautionOfTheStartIsNoFailure) {
#ifdef _WIN32
    GTEST_SKIP() << "the program's folders come from the user's profile on Windows";
#endif
    for (const ToolFn fn : {CheckWith, BalanceWith}) {
        std::filesystem::create_directories(home.dir().File("config/VNT/KMR-5300/Cond"));
        kmr::testing::WriteAll(home.dir().File("config/VNT/KMR-5300/Cond/Graph.cnd"), "garbage\n");
        const Ran r = RunTool(fn, {"--interface", "sim:time=instant"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("Graph.cnd"), std::string::npos) << r.err;
    }
}

TEST_F(InstrumentTools, CheckWithAFailedExchangeExitsOne) {
    const Ran r = RunTool(CheckWith, {"insulation", "ram", "--interface", "sim:time=instant,fault=CHK2:short:1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(TextWith(Language::English, txt::LostDuringCheck, {"CHK2"})), std::string::npos) << r.err;
    // The table is still printed (which cells: SelfCheckTest.WrongLengthEmptiesThatCheck...).
    EXPECT_EQ(Lines(r.out).size(), 3u);

    // The route is gone when the longer timeout is set (the third ibdev, after start-up's two):
    // the failed open is said, and no check is sent through the closed connection to be told as
    // one the instrument does not answer.
    struct GoneAtTheCheck : sim::SimBus {
        using SimBus::SimBus;
        GpibStatus OpenDevice(int b, int a, int s, int t, int eot, int eos, int& d) override {
            if (++opens == 3) return d = -1, GpibStatus{kIbERR, kENEB, 0};
            return SimBus::OpenDevice(b, a, s, t, eot, eos, d);
        }
        int opens = 0;
    };
    std::ostringstream out, err;
    CliIo io{out, err, false};
    kmr::testing::FakeClock clock;
    EXPECT_EQ(CheckWith({"ram", "--interface", "sim"}, io, [](const std::string&, std::string&) {
        return std::make_unique<GoneAtTheCheck>(*sim::ParseSimOptions("sim:time=instant").options);
    }, clock), 1);
    EXPECT_NE(err.str().find("Cannot open communication port."), std::string::npos) << err.str();
    EXPECT_EQ(err.str().find(TextWith(Language::English, txt::LostDuringCheck, {"CHK1"})), std::string::npos)
        << err.str();
}

TEST_F(InstrumentTools, BalanceMovesTheChosenChannelOnly) {
    // Seed 3 gives channel 3 an unbalance of 2822 counts; its live wave swings by at most 1520,
    // so the change stays above 1000 however long the balance takes.
    const Ran r = RunTool(BalanceWith, {"--interface", "sim:time=instant,seed=3", "3"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 11u) << r.out;
    std::istringstream three(lines[3]), four(lines[4]);
    std::string channel3, channel4;
    int before = 0, after = 0;
    three >> channel3 >> before >> after;
    four >> channel4;
    EXPECT_EQ(channel3 + " " + channel4, "3* 4") << r.out;  // 4: not chosen
    EXPECT_GT(std::abs(before - after), 1000) << r.out;
    // The headings stand over their columns in Japanese too: each ends where the numbers end.
    const Ran ja = RunTool(BalanceWith, {"--interface", "sim:time=instant,seed=3", "3"}, {}, Language::Japanese);
    ASSERT_EQ(ja.status, 0) << ja.err;
    const auto jaLines = Lines(ja.out);
    ASSERT_EQ(jaLines.size(), 11u) << ja.out;
    // Terminal columns: a Japanese character takes two, and three bytes.
    const auto columns = [](const std::string& text) {
        return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        })) + static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
            return static_cast<unsigned char>(c) >= 0xE0;
        }));
    };
    const std::string beforeHeading = Text(Language::Japanese, txt::CliBefore);
    const std::string headingToBefore = jaLines[0].substr(0, jaLines[0].find(beforeHeading) + beforeHeading.size());
    EXPECT_EQ(columns(headingToBefore), 20u) << ja.out;
    EXPECT_EQ(columns(jaLines[0]), jaLines[3].size()) << ja.out;
}

// The instrument stops answering `stallAt` (every time from then when `forGood`, else that
// exchange only) and Ctrl+C comes while it is awaited. `commands` holds what was written from then.
Ran RunToolStallingAtCtrlC(ToolFn fn, const std::vector<std::string>& args, const std::string& stallAt, bool forGood) {
    std::ostringstream out, err;
    CliIo io{out, err, false};
    kmr::testing::FakeClock clock;
    Ran r;
    r.status = fn(args, io,
                  [&](const std::string& spec, std::string&) -> std::unique_ptr<GpibBus> {
                      auto bus = std::make_unique<kmr::testing::StallingBus>(MakeGpibBusOrExplain(spec));
                      bus->stallsHere = [stallAt](const std::string& command) { return command == stallAt; };
                      bus->forGood = forGood;
                      bus->sent = &r.commands;
                      return bus;
                  },
                  clock);
    r.out = out.str();
    r.err = err.str();
    return r;
}

// Ctrl+C (or SIGTERM) while the instrument does not answer ends the command in progress after its
// attempt; what follows is tried once, and the exit status says it did not run through.
TEST_F(InstrumentTools, CtrlCWhileTheInstrumentStallsEndsAfterTheAttemptInProgress) {
    const std::string spec = "sim:time=instant";
    // The RAM check is repeated while unanswered: it is not; the checks after it are not made.
    const Ran check = RunToolStallingAtCtrlC(CheckWith, {"--interface", spec}, "CHK1", false);
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.commands, (std::vector<std::string>{"CHK1"})) << check.err;
    EXPECT_NE(check.err.find(Text(Language::English, txt::CheckCancelled)), std::string::npos) << check.err;
    EXPECT_NE(check.err.find("kmr check: " + Text(Language::English, txt::CliCheckEndedOnRequest)), std::string::npos)
        << check.err;
    const auto rows = RowNames(Lines(check.out));
    EXPECT_EQ(rows.size(), 7u) << check.out;  // the table is printed: ROM's result, the others ----

    // BAL is not repeated; the request is taken after it: the measured channels are selected
    // again and the values read once each.
    const Ran once = RunToolStallingAtCtrlC(BalanceWith, {"--interface", spec}, "BAL", false);
    EXPECT_EQ(once.status, 1);
    EXPECT_EQ(once.commands, (std::vector<std::string>{"BAL", "SET1", "SET2", "SET3", "SET4", "SET5", "SET6", "SET7",
                                                       "SET8", "SET9", "SET10", "MDT"}))
        << once.err;
    EXPECT_NE(once.err.find(Text(Language::English, txt::BalanceCancelledWhileBalancing)), std::string::npos)
        << once.err;
    EXPECT_NE(once.err.find("kmr balance: " + Text(Language::English, txt::CliBalanceEndedOnRequest)),
              std::string::npos) << once.err;
    // An instrument gone for good: each command after the stalled one is tried once.
    const Ran gone = RunToolStallingAtCtrlC(BalanceWith, {"--interface", spec}, "BAL", true);
    EXPECT_EQ(gone.status, 1);
    EXPECT_EQ(gone.commands, (std::vector<std::string>{"BAL", "SET1", "MDT"})) << gone.err;
    EXPECT_EQ(gone.out.find('*'), std::string::npos) << "a channel marked balanced:\n" << gone.out;
    // Before the balance: nothing is balanced.
    const Ran before = RunToolStallingAtCtrlC(BalanceWith, {"--interface", spec}, "MDT", false);
    EXPECT_EQ(before.status, 1);
    EXPECT_EQ(std::count(before.commands.begin(), before.commands.end(), "BAL"), 0) << before.err;
    EXPECT_NE(before.err.find("kmr balance: " + Text(Language::English, txt::CliNothingBalancedOnRequest)),
              std::string::npos) << before.err;
}

TEST_F(InstrumentTools, WrongUsageExitsTwoARefusalOrAnUnreachableInstrumentOne) {
    for (const auto& [fn, arg] : {std::pair<ToolFn, const char*>{CheckWith, "flash"}, {CheckWith, "--colour"},
                                  {BalanceWith, "11"}, {BalanceWith, "x"}})
        EXPECT_EQ(RunTool(fn, {arg}).status, 2) << arg;
    const Ran bare = RunTool(CheckWith, {"--interface"});
    EXPECT_EQ(bare.status, 2);
    EXPECT_EQ(bare.err.rfind("kmr check: --interface needs a value.\n", 0), 0u) << bare.err;
    const Ran record = Record({"--interface"});
    EXPECT_EQ(record.status, 2);
    EXPECT_EQ(record.err.rfind("kmr record: --interface needs a value.\n", 0), 0u) << record.err;
    const Ran r = RunTool(BalanceWith, {"--interface", "sim:time=instant,fault=BAL:ERR-008"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(TextWith(Language::English, txt::LostDuringBalance, {"BAL"})), std::string::npos) << r.err;
    EXPECT_EQ(Lines(r.out).size(), 11u);
    EXPECT_EQ(r.out.find('*'), std::string::npos) << "a channel marked balanced:\n" << r.out;
    // Balanced, but the values after it answered with an error: the marks stand, and the reading
    // is what failed, not the balance.
    std::string live;
    for (int ch = 1; ch <= kChannels; ++ch) live += "+000100,";
    const Ran unread = RunTool(BalanceWith, {"--interface", "sim:time=instant"}, {{"MDT", {live + "+000000", "ERR-001"}}});
    EXPECT_EQ(unread.status, 1);
    EXPECT_EQ(unread.err, "kmr balance: " + Text(Language::English, txt::CliMonitorUnreadable) + "\n");
    ASSERT_EQ(Lines(unread.out).size(), 11u);
    EXPECT_EQ(Lines(unread.out)[1], "1*               100        ----");
    const Ran u = RunTool(BalanceWith, {"--interface", "sim:time=instant,fault=open:nolistener"});
    EXPECT_EQ(u.status, 1);
    EXPECT_NE(u.err.find("cannot be reached"), std::string::npos);
    // An instrument that answers the identification with an error is there: said so, with the reply.
    const Ran refused = RunTool(BalanceWith, {"--interface", "sim:time=instant,fault=VER:ERR-001"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("kmr balance: the instrument at GP-IB address 20 (interface "
                               "sim:time=instant,fault=VER:ERR-001) answered VER with ERR-001.\n"),
              std::string::npos) << refused.err;
    EXPECT_EQ(refused.err.find("cannot be reached"), std::string::npos) << refused.err;
}

}  // namespace
}  // namespace kmr::cli
