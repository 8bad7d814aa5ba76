#include "core/instrument/CommandTransport.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "support/LinkHarness.h"
#include "support/ScriptedBus.h"

namespace kmr {
namespace {

const std::string kSendingMessage = "Cannot Comunicate. (Error sending Command.) ";
const std::string kReceivingMessage = "Cannot Comunicate. (Error receiving Data.)";

using testing::SimLink;

// The link over scripted bytes, opened, with no calls recorded yet.
struct ScriptLink : testing::LinkOver<testing::ScriptedBus> {
    ScriptLink() {
        Open();
        bus.calls.clear();
    }
};

TEST(IsAnswerTest, Judges) {
    const std::tuple<const char*, const char*, bool> cases[] = {  // command, reply, an answer
        {"SET1", "END", true}, {"RES", "", true}, {"RES", "ERR-001", true}, {"CHK0", "ERRCH 1", true},
        {"CHK0", "ROM--OK,ROM-ERR", true}, {"CHK1", "RAM--OK", true}, {"VER", "VER2.10", true},
        {"EOC", "+0001234", true}, {"EOC", "-12", true}, {"EOC", "0000000", true}, {"EOC", "12A", false},
        {"EOC", "-", false}, {"EOC", "1+2", false}, {"EOC", "", false}, {"EOC", "ERR-012", false},
        {"B.V3", "ERR-004", false}, {"EOC", "12 34", false}, {"EOC", "1234567X", true}, {"EN", "EN", false},
    };
    for (const auto& [command, reply, answer] : cases)
        EXPECT_EQ(IsAnswer(command, reply), answer) << command << " -> '" << reply << "'";
}

// (The monitor's trim-then-cut of such a line and a line without CR: the transport tests below.)
TEST(ReplyCutTest, CutThenTrimAgainstTrimThenCut) {
    std::string buffer = "  +000123 ,+000001  \r\n";
    buffer.resize(kReplyBufferSize, ' ');
    EXPECT_EQ(CutThenTrim(buffer), "+000123 ,+000001");
    EXPECT_EQ(TrimThenCut(std::string(kReplyBufferSize, ' ')), std::nullopt);
    EXPECT_EQ(CutThenTrim("END\r\nxyz\r"), "END");
}

TEST(CommandTransportTest, ErrorReplyWithRetryIsSentAttemptsTimesThenReported) {
    SimLink l("sim:fault=EOC:ERR-012");
    l.ui.pointer = Pointer::Hourglass;
    l.ui.splashShowing = true;
    EXPECT_EQ(l.transport.SendCommand("EOC", 1), "ERR-012");
    EXPECT_EQ(l.bus.Writes(), std::vector<std::string>(3, "EOC\r\n"));
    EXPECT_EQ(l.status, RunStatus::CommFailed);
    ASSERT_EQ(l.ui.shown.size(), 1u);  // its text and title: RouteFaults.ErrorReply*
    EXPECT_EQ(l.ui.shown[0].pointerWhileShown, Pointer::Default);
    EXPECT_FALSE(l.ui.shown[0].splashTopmostWhileShown);
    EXPECT_EQ(l.ui.pointer, Pointer::Hourglass);
}

// How often a command goes out and what comes back: the attempts of Meter.cnd (one at least), an
// error reply or a timeout as a failed attempt, retries only when asked for.
TEST(CommandTransportTest, AttemptsFollowTheSettingAndTheRetryFlag) {
    // The simulator, the command, the attempts setting, the retry flag; the reply, the writes, the
    // status, and the simulated seconds spent in timeouts.
    using Row = std::tuple<const char*, const char*, std::int16_t, int, const char*, std::size_t, RunStatus, double>;
    for (const auto& [opts, command, attempts, retry, reply, writes, status, simSeconds] :
         {Row{"sim:time=instant", "SET1", 3, 1, "END", 1, RunStatus::Ok, 0},
          Row{"sim:fault=EOC:ERR-012", "EOC", 3, 0, "ERR-012", 1, RunStatus::Ok, 0},
          Row{"sim:fault=EOC:ERR-012:2", "EOC", 3, 1, "+000000", 3, RunStatus::Ok, 0},
          Row{"sim:fault=EOC:ERR-012", "EOC", 1, 1, "ERR-012", 1, RunStatus::CommFailed, 0},
          Row{"sim:fault=EOC:ERR-012", "EOC", 0, 1, "ERR-012", 1, RunStatus::CommFailed, 0},
          Row{"sim:fault=VER:noreply:2", "VER", 3, 1, "VER2.10", 3, RunStatus::Ok, 20.0},
          Row{"sim:fault=VER:noreply", "VER", 3, 0, "", 1, RunStatus::Ok, 10.0},
          // A trigger that brought no reply may have started a recording: it goes out once. One
          // refused with an error was not carried out and is sent again.
          Row{"sim:fault=TRG:noreply", "TRG", 3, 1, "", 1, RunStatus::CommFailed, 10.0},
          Row{"sim:fault=DTG:garbage", "DTG", 3, 1, "", 1, RunStatus::CommFailed, 0},
          Row{"sim:fault=ETG:ERR-012:2", "ETG", 3, 1, "END", 3, RunStatus::Ok, 0},
          // Refused once, then unanswered: the second may have started it (the reply returned is
          // still the last line that came).
          Row{"sim:fault=TRG:ERR-006:1+TRG:noreply:1", "TRG", 3, 1, "ERR-006", 2, RunStatus::CommFailed, 10.0}}) {
        SCOPED_TRACE(std::string(opts) + " attempts " + std::to_string(attempts));
        SimLink l(opts, {20, 0, attempts});
        EXPECT_EQ(l.transport.SendCommand(command, retry), reply);
        EXPECT_EQ(l.bus.Writes().size(), writes);
        EXPECT_EQ(l.status, status);
        EXPECT_EQ(l.ui.shown.size(), status == RunStatus::Ok ? 0u : 1u);
        EXPECT_DOUBLE_EQ(l.time->Now(), simSeconds);
    }
}

// A reply is read with one read of 250 bytes; a number head is an answer, a lone sign and a line
// without CR are failed attempts. (Which texts answer which command: IsAnswerTest; the last
// attempt's failure and its reply: ErrorReplyWithRetryIsSentAttemptsTimesThenReported.)
TEST(CommandTransportTest, RepliesAreJudgedAfterOneReadOf250BytesAndMonitorLinesTrimmedThenCut) {
    ScriptLink l;
    l.bus.Reply("+0001234\r\n");
    EXPECT_EQ(l.transport.SendCommand("EOC", 1), "+0001234");
    EXPECT_EQ(l.bus.calls, (std::vector<std::string>{"ibwrt", "ibrd 250"}));
    l.bus.Reply("+\r\n");
    l.bus.Reply(std::string(300, '1'));  // no CR in the 250 bytes read
    l.bus.Reply("END\r\n");
    EXPECT_EQ(l.transport.SendCommand("HLT", 1), "END");
    EXPECT_EQ(l.bus.writes.size(), 1u + 3u);
    EXPECT_EQ(l.status, RunStatus::Ok);
    l.bus.Reply(std::string(300, '1'));
    EXPECT_EQ(l.transport.SendCommand("EOC", 0), "");  // a cut-off line is no reply
    // A monitor line is trimmed, then cut.
    l.bus.writes.clear();
    l.bus.Reply(" +000123 ,+000001  \r\n");
    EXPECT_EQ(l.transport.ReadMonitorData(), "+000123 ,+000001  ");
    EXPECT_EQ(l.bus.writes, std::vector<std::string>{"MDT\r\n"});
}

TEST(CommandTransportTest, DelimiterSettingChoosesTheTerminator) {
    SimLink cr("sim:time=instant", {20, 1});
    EXPECT_EQ(cr.transport.SendCommand("EOC", 1), "+000000");
    EXPECT_EQ(cr.bus.Writes(), std::vector<std::string>{"EOC\r"});
    // Another delimiter can end no command: the device is not opened (the message names the
    // setting), so no empty text goes on the wire and the command fails.
    SimLink none("sim:time=instant", {20, 2});
    EXPECT_EQ(none.transport.SendCommand("EOC", 1), "");
    EXPECT_TRUE(none.bus.Writes().empty());
    EXPECT_EQ(none.status, RunStatus::CommFailed);
}

TEST(CommandTransportTest, MonitorRetriesOnlyBusErrors) {
    SimLink l("sim:fault=MDT:noreply:2");
    l.transport.SendCommand("RES", 1);
    l.transport.SendCommand("SET2", 1);
    EXPECT_EQ(l.transport.ReadMonitorData().size(), 15u);
    EXPECT_EQ(l.status, RunStatus::Ok);
    SimLink err("sim:fault=MDT:ERR-012");
    EXPECT_EQ(err.transport.ReadMonitorData(), "ERR-012");  // content is not judged
    EXPECT_EQ(err.bus.Writes().size(), 1u);
    SimLink dead("sim:fault=MDT:noreply");
    dead.ui.splashShowing = true;
    EXPECT_EQ(dead.transport.ReadMonitorData(), "");
    EXPECT_EQ(dead.bus.Writes().size(), 3u);
    EXPECT_EQ(dead.status, RunStatus::CommFailed);
    EXPECT_EQ(dead.ui.Texts(), std::vector<std::string>{kSendingMessage});
    EXPECT_EQ(dead.ui.nonTopmostCalls, 0);  // no splash handling here
}

// Block words are big-endian and signed; a failed write of BDT is a send failure that leaves the
// destination alone.
TEST(CommandTransportTest, BlockWordsAreBigEndianSignedAndABdtWriteFailureIsASendFailure) {
    ScriptLink l;
    l.bus.Reply("END\r\n");
    l.bus.reads.push_back({std::string("\xFF\xFE\x00\x01\x80\x00", 6), kIbEND | kIbCMPL, 0});
    std::vector<std::int16_t> dest(10, 77);
    l.transport.ReadMemoryBlock(dest.data(), 5, 3);
    EXPECT_EQ(l.bus.writes, (std::vector<std::string>{"MRY 3;5\r\n", "BDT\r\n"}));
    EXPECT_EQ(dest, (std::vector<std::int16_t>{77, 77, 77, 77, 77, -2, 1, -32768, 77, 77}));
    EXPECT_EQ(l.status, RunStatus::Ok);
    EXPECT_EQ(l.bus.calls.back(), "ibrd 6");
    l.bus.Reply("END\r\n");
    l.bus.writeStatus.push_back({kIbCMPL, 0, 9});
    l.bus.writeStatus.push_back({kIbERR | kIbCMPL, kENOL, 0});
    l.transport.ReadMemoryBlock(dest.data(), 0, 2);
    EXPECT_EQ(l.status, RunStatus::CommFailed);
    EXPECT_EQ(l.ui.Texts(), std::vector<std::string>{kSendingMessage});
    EXPECT_EQ(dest[0], 77);
}

TEST(CommandTransportTest, BlocksLongerThanTheSixteenBitCountArriveWhole) {
    // 30000 words are 60000 bytes: the 16-bit copy of ibcnt is negative, the block is complete.
    SimLink l("sim:pattern=ramp");
    l.transport.SendCommand("SET2", 1);
    std::vector<std::int16_t> dest(30000, 0);
    l.transport.ReadMemoryBlock(dest.data(), 0, 30000);
    EXPECT_EQ(l.status, RunStatus::Ok);
    EXPECT_LT(l.conn.StatusCopy().ibcnt, 0);
    EXPECT_EQ(dest[29999], static_cast<std::int16_t>(static_cast<std::uint16_t>((7 * 29999 + 2000) % 65536)));
}

// A refused MRY is a send failure; a block that times out or ends early (text instead of words
// ends early too) is a receive failure. Neither touches the destination.
TEST(CommandTransportTest, BlockFaultsEndInTheirMessage) {
    using Row = std::tuple<const char*, std::size_t, std::string>;  // simulator, writes, message
    for (const auto& [opts, writes, message] : {Row{"sim:fault=MRY*:ERR-002", 3, kSendingMessage},
                                                Row{"sim:pattern=ramp,fault=BDT:short", 2, kReceivingMessage},
                                                Row{"sim:fault=BDT:noreply", 2, kReceivingMessage}}) {
        SimLink l(opts);
        l.transport.SendCommand("SET1", 1);
        l.bus.ClearWrites();
        std::vector<std::int16_t> dest(200, 9);
        l.transport.ReadMemoryBlock(dest.data(), 0, 200);
        EXPECT_EQ(l.status, RunStatus::CommFailed) << opts;
        EXPECT_EQ(l.bus.Writes().size(), writes) << opts;
        EXPECT_EQ(l.ui.Texts(), std::vector<std::string>{message}) << opts;
        EXPECT_EQ(dest, std::vector<std::int16_t>(200, 9)) << opts;
    }
}

TEST(FailureScopeTest, KeepsTheFirstFailedCommandShowsNothingAndHonoursAStop) {
    SimLink l("sim:fault=EOC:noreply+HLT:noreply");
    {
        FailureScope scope(l.transport);
        l.transport.SendCommand("EOC", 1);
        l.transport.SendCommand("HLT", 1);
        EXPECT_TRUE(scope.Failed());
        EXPECT_EQ(scope.Command(), "EOC");
        EXPECT_TRUE(l.ui.shown.empty());
    }
    // Without a scope the failure is shown at once, as before.
    l.transport.SendCommand("EOC", 1);
    EXPECT_EQ(l.ui.shown.size(), 1u);
    // Refused, then unanswered: the instrument is silent now, not refusing (and a trigger may have
    // started a recording). The refusal before says nothing about the last attempt.
    for (const std::string command : {"TRG", "EOC"}) {
        SimLink t("sim:fault=" + command + ":ERR-006:1+" + command + ":noreply");
        FailureScope scope(t.transport);
        t.transport.SendCommand(command, 1);
        EXPECT_EQ(t.transport.FirstFailureMayHaveActed(), command == "TRG");
        EXPECT_EQ(t.transport.FirstFailureReply(), "") << command;
    }
    // A refusal is kept to be told (in a box, on a terminal): a byte of it that is not printable
    // ASCII (an escape sequence, a bell, a C1 control in UTF-8) is kept as "?".
    {
        SimLink t;
        t.bus.Instrument().AddFault({"HLT", sim::FaultKind::ErrorReply, "ERR-\x1b]0;x\x07\xc2\x9b" "2J", 3});
        FailureScope refusedScope(t.transport);
        EXPECT_EQ(t.transport.SendCommand("HLT", 1), "ERR-\x1b]0;x\x07\xc2\x9b" "2J");
        EXPECT_EQ(t.transport.FirstFailureReply(), "ERR-?]0;x???2J");
        EXPECT_EQ(t.transport.LastFailureReply(), "ERR-?]0;x???2J");
    }
    // A stop request ends the command after the attempt in progress: one attempt, not three.
    l.bus.ClearWrites();
    l.status = RunStatus::Ok;
    l.transport.stopRequested = true;
    FailureScope scope(l.transport);
    l.transport.SendCommand("EOC", 1);
    EXPECT_EQ(l.status, RunStatus::CommFailed);
    EXPECT_EQ(l.bus.Writes(), std::vector<std::string>{"EOC\r\n"});
}

}  // namespace
}  // namespace kmr
