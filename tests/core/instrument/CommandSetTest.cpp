#include "core/instrument/CommandSet.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "support/LinkHarness.h"
#include "support/ScriptedBus.h"

namespace kmr {
namespace {

using Wire = std::vector<std::string>;

using Link = testing::SimLink;

Wire Concat(std::initializer_list<Wire> parts) {
    Wire r;
    for (const Wire& p : parts) r.insert(r.end(), p.begin(), p.end());
    return r;
}

// --- command texts -----------------------------------------------------------------------------

// The instrument's facts against the simulated instrument, which keeps tables of its own: every
// clock, input mode and filter the program offers is accepted, and only those. (The clock's text
// on the wire: ClockAndAveragingInTheOrderTheInstrumentTakesThem.)
bool Accepted(Link& l, const std::string& command) {
    return l.transport.SendCommand(command, 0).rfind("END", 0) == 0;
}

TEST(InstrumentFactsTest, EveryOfferedClockIsAcceptedAndNoOther) {
    Link l;
    for (const SubMsClockFact& c : kSubMsClocks) EXPECT_TRUE(Accepted(l, ClockCommand(c.ms))) << c.ms;
    for (float ms : {1.0f, 2.0f, 32767.0f}) EXPECT_TRUE(Accepted(l, ClockCommand(ms))) << ms;
    for (float ms : {0.25f, 1.5f, 32768.0f, -1.0f}) {
        EXPECT_FALSE(IsOfferedClock(ms)) << ms;
        EXPECT_FALSE(Accepted(l, ClockCommand(ms))) << ms;
    }
}

TEST(InstrumentFactsTest, InputModesAndFiltersPerModel) {
    for (std::int32_t model : {kModelKmr530A, kModelKmr510C}) {
        Link l(model == kModelKmr530A ? "sim:time=instant,model=530A" : "sim:time=instant");
        ASSERT_TRUE(Accepted(l, "SET1"));
        for (const InputModeFact& m : kInputModes)
            EXPECT_EQ(Accepted(l, InputModeCommand(m.code)), InputModeOffered(m.code, model)) << m.command;
        for (std::int16_t lpf = 0; lpf < static_cast<std::int16_t>(kFilters.size()); ++lpf)
            EXPECT_TRUE(Accepted(l, LpfCommand(lpf))) << lpf;
    }
    EXPECT_EQ(InputModeCommand(7), "");
    EXPECT_EQ(LpfCommand(5), "");
}

TEST(CommandTextTest, TriggerLevelsRoundHalvesToEven) {
    using Row = std::tuple<float, float, std::int16_t, const char*>;  // level, coefficient, trigger on, text
    for (const auto& [level, coeff, on, text] :
         {Row{-250.0f, 0.5f, 1, "TGL-500"}, Row{-250.0f, 0.5f, 0, "TGL0"}, Row{2.5f, 1.0f, 1, "TGL2"},
          Row{3.5f, 1.0f, 1, "TGL4"}, Row{-2.5f, 1.0f, 1, "TGL-2"}, Row{999.9000244f, 0.3f, 1, "TGL3333"},
          Row{1000.0f, 0.0f, 1, "TGL0"}, Row{1.0e9f, 1.0f, 1, "TGL32767"}, Row{-1.0e9f, 1.0f, 1, "TGL-32768"},
          Row{100.0f, 1.0f, 2, "TGL0"}})
        EXPECT_EQ(TriggerLevelCommand({.Coeff = coeff, .DtgOnOff = on, .DtgLevel = level}), text) << level;
}

// (The probes of codes 0 and 1 and this year's date and time: on the wire in the tests below; the data
// trigger's DTG: RunTest.)
TEST(CommandTextTest, FixedTexts) {
    EXPECT_EQ(MemoryProbeCommand(3), "MRY  49152");
    EXPECT_EQ(DateCommand({2100, 12, 31, 23, 59, 59}), "DTE00;12;31");
    EXPECT_EQ(TriggerCommand(3), "");
}

// --- identification ----------------------------------------------------------------------------

// (Every channel installed: Startup.FromEmptyFoldersCreatesEveryConditionFile..., which abandons
// without a first installed channel.)
TEST(CommandSetTest, IdentifyReadsModelVersionAndEveryMemorySize) {
    for (const std::string model : {"530A", "510C"}) {
        for (int memory = 0; memory <= 3; ++memory) {
            SCOPED_TRACE(model + " memory " + std::to_string(memory));
            Link l("sim:time=instant,version=3.07,model=" + model + ",memory=" + std::to_string(memory));
            l.id.MemorySizeCode = 9;
            l.cs.IdentifyInstrument();
            EXPECT_EQ(l.status, RunStatus::Ok);
            EXPECT_EQ(std::tie(l.id.InstrumentModel, l.id.InstrumentVersion, l.id.MemorySizeCode),
                      std::tuple(model == "530A" ? 0 : 1, "3.07", memory));
            Wire probes;
            for (int code = 0; code <= memory; ++code) probes.push_back(MemoryProbeCommand(code));
            EXPECT_EQ(l.Sent(), Concat({{"SET1", "B.V3", "VER"}, probes, {"SET1;10", "RES"}}));
            EXPECT_TRUE(l.ui.shown.empty());
        }
    }
}

TEST(CommandSetTest, IdentifyWithAChannelGapOrNone) {
    Link l("sim:time=instant,channels=0110100001");
    l.cs.IdentifyInstrument();
    EXPECT_EQ(std::tie(l.id.InstalledChannelText, l.id.FirstInstalledChannel), std::tuple("0110100001", 2));
    for (int n = 1; n <= 10; ++n)
        EXPECT_EQ(l.m.Ch(n).Installed, std::string("0110100001")[static_cast<std::size_t>(n - 1)] == '1' ? 1 : 0) << n;
    EXPECT_TRUE(l.ui.shown.empty());
    Link none("sim:time=instant,fault=nochannel");
    none.ui.splashShowing = true;
    none.cs.IdentifyInstrument();
    EXPECT_EQ(std::tie(none.id.InstalledChannelText, none.id.FirstInstalledChannel), std::tuple("0000000000", 0));
    // The message itself: RouteFaults.NoChannel*; the splash never hides it.
    ASSERT_EQ(none.ui.shown.size(), 1u);
    EXPECT_FALSE(none.ui.shown[0].splashTopmostWhileShown);
}

// Remote sensing refused (its text: RouteFaults.RemoteSensing*) stops initialisation and
// identification; a set-up, version or memory probe without an answer is a communication failure
// that stops there too. One message each, never under the splash.
TEST(CommandSetTest, AFailedSetupOrVersionStopsInitialiseAndIdentify) {
    using Row = std::tuple<const char*, bool, RunStatus, Wire>;  // fault, initialise (else identify), status, wire
    for (const auto& [fault, initialise, status, sent] :
         {Row{"SET1:ERR-022", false, RunStatus::Refused, {"SET1"}},
          Row{"SET1:ERR-022", true, RunStatus::Refused, {"SET1"}},
          Row{"SET1:noreply", false, RunStatus::CommFailed, {"SET1"}},
          Row{"SET1:garbage", false, RunStatus::CommFailed, {"SET1"}},
          Row{"SET1:ERR-001", false, RunStatus::CommFailed, {"SET1"}},
          Row{"VER:noreply", false, RunStatus::CommFailed, {"SET1", "B.V3", "VER", "VER", "VER"}},
          // A memory probe without a reply is no refusal: the next, smaller capacity is not asked.
          Row{"MRY  507904:noreply", false, RunStatus::CommFailed, {"SET1", "B.V3", "VER", "MRY  507904"}},
          // A channel reply that does not reach the tenth field: no reply, an error, half a line.
          Row{"SET1;10:noreply", false, RunStatus::CommFailed, {"SET1", "B.V3", "VER", "MRY  507904", "SET1;10"}},
          Row{"SET1;10:ERR-001", false, RunStatus::CommFailed, {"SET1", "B.V3", "VER", "MRY  507904", "SET1;10"}},
          Row{"SET1;10:short", false, RunStatus::CommFailed, {"SET1", "B.V3", "VER", "MRY  507904", "SET1;10"}}}) {
        SCOPED_TRACE(fault);
        Link l(std::string("sim:time=instant,fault=") + fault);
        l.ui.splashShowing = true;
        if (initialise) l.cs.InitialiseInstrument();
        else l.cs.IdentifyInstrument();
        EXPECT_EQ(l.status, status);
        EXPECT_EQ(l.Sent(), sent);
        ASSERT_EQ(l.ui.shown.size(), 1u);
        EXPECT_FALSE(l.ui.shown[0].splashTopmostWhileShown);
    }
}

// The reply of another command to the channel question does not take channels out: the channels
// and the first installed one stay as the last identification left them.
TEST(CommandSetTest, AChannelReplyOfAnotherCommandLeavesTheChannelsAsTheyWere) {
    Link l("sim:time=instant,channels=0110100001");
    l.cs.IdentifyInstrument();
    l.bus.Instrument().AddFault({"SET1;10", sim::FaultKind::ErrorReply, "END    ,END", 1});
    l.cs.IdentifyInstrument();
    EXPECT_EQ(l.status, RunStatus::CommFailed);
    EXPECT_EQ(std::tie(l.id.InstalledChannelText, l.id.FirstInstalledChannel), std::tuple("0110100001", 2));
    EXPECT_EQ(l.m.Ch(2).Installed, 1);
    EXPECT_EQ(l.m.Ch(10).Installed, 1);
    EXPECT_EQ(l.ui.Texts(), std::vector<std::string>{"Cannot Comunicate. (Error sending Command.) "});
    // A blank tenth field, its blanks trimmed, is a channel not installed, not a failure.
    std::string nine;
    for (int n = 1; n <= 9; ++n) nine += "END    ,";
    l.bus.Instrument().AddFault({"SET1;10", sim::FaultKind::ErrorReply, nine, 1});
    l.status = RunStatus::Ok;
    l.cs.IdentifyInstrument();
    EXPECT_EQ(l.status, RunStatus::Ok);
    EXPECT_EQ(l.id.InstalledChannelText, "1111111110");
}

// The identification goes on, but it has failed: the commands after it must not reset the status,
// or start-up would go on with a model the instrument never told.
TEST(CommandSetTest, UnexpectedModelReplyIsReportedAndIdentificationGoesOnToAFailure) {
    Link l("sim:time=instant,memory=1,fault=B.V3:ERR-001");
    l.id.InstrumentModel = 1;
    l.cs.IdentifyInstrument();
    EXPECT_EQ(l.status, RunStatus::CommFailed);
    EXPECT_EQ(l.ui.Texts(), std::vector<std::string>{"Cannot Comunicate. (Error sending Command.) "});
    EXPECT_EQ(std::tie(l.id.InstrumentModel, l.id.InstrumentVersion, l.id.MemorySizeCode), std::tuple(1, "----", 1));
    EXPECT_EQ(l.Sent(), (Wire{"SET1", "B.V3", "MRY  507904", "MRY  245760", "SET1;10", "RES"}));
}

// --- download ----------------------------------------------------------------------------------

TEST(CommandSetTest, EmptyMaskStillSelectsTheMeasuredChannels) {
    for (std::int32_t model : {kModelKmr510C, kModelKmr530A}) {
        Link l(model == kModelKmr510C ? "sim:time=instant" : "sim:time=instant,model=530A");
        l.id.InstrumentModel = model;
        for (int n = 1; n <= 10; ++n) l.m.Ch(n).OnOff = (n == 2 || n == 7) ? 1 : 0;
        l.cs.DownloadConditions(kEmptyChangeMask);
        const Wire base{"RES", "SET2", "SET7"};
        EXPECT_EQ(l.Sent(), model == kModelKmr510C ? Concat({base, {"RNG1000", "MON"}}) : base);
        EXPECT_EQ(std::tie(l.status, l.m.MeasuredChannels, l.m.ChannelCount, l.splashSteps),
                  std::tuple(RunStatus::Ok, std::vector<int>{2, 7}, 2, 3));
    }
}

// The clock and averaging groups: averaging is set at 1 ms (the instrument refuses it faster), then
// the clock; at 1 ms and slower the clock goes first.
TEST(CommandSetTest, ClockAndAveragingInTheOrderTheInstrumentTakesThem) {
    using Row = std::tuple<float, const char*, Wire>;  // clock, change mask, the groups' commands
    for (const auto& [clock, mask, sent] : {Row{0.5f, "0000000000000010", {"CLK 1", "AVE 0", "CLK0"}},
                                            Row{0.5f, "0000000000010010", {"CLK 1", "AVE 0", "CLK0", "CLK0"}},
                                            Row{0.5f, "0000000000010000", {"CLK0"}},
                                            Row{2.0f, "0000000000010010", {"CLK 2", "AVE 4"}}}) {
        Link l;
        l.id.InstrumentModel = kModelKmr530A;
        for (int n = 2; n <= 10; ++n) l.m.Ch(n).OnOff = 0;
        l.m.SmpClk = clock;
        l.m.Averaging = clock < 1.0f ? 0 : 4;
        l.cs.DownloadConditions(mask);
        EXPECT_EQ(l.Sent(), Concat({{"RES", "SET1"}, sent})) << clock << " " << mask;
        EXPECT_EQ(l.status, RunStatus::Ok);
    }
}

TEST(CommandSetTest, ChangedChannelsAndMemoryGroups) {
    Link l;
    l.id.InstrumentModel = kModelKmr530A;
    for (int n = 1; n <= 10; ++n) l.m.Ch(n).OnOff = n <= 3 ? 1 : 0;
    ChannelCondition& c3 = l.m.Ch(3);
    c3.InputMode = -4;
    c3.Lpf = 2;
    c3.DtgOnOff = 1;
    c3.DtgLevel = -250.0f;
    c3.Coeff = 0.5f;
    l.m.Ch(2).DtgOnOff = 0;
    l.m.MemoryWords = 20000;
    l.m.PreMemoryWords = 0;
    // Channel 4 is marked but not measured: nothing is sent for it.
    l.cs.DownloadConditions("0111000000001100");
    EXPECT_EQ(l.Sent(), (Wire{"RES", "SET2", "B.V2", "LPF0", "TGL0",
                              "RES", "SET3", "B.V -4", "LPF100", "TGL-500",
                              "RES", "SET1", "SET2", "SET3", "MRY 20000", "MRY -0"}));
    EXPECT_EQ(l.status, RunStatus::Ok);
    EXPECT_EQ(l.splashSteps, 2 + 3);
}

// A refused command (here the filter, or an input mode the 530A does not have) is tried three
// times and ends the download there.
TEST(CommandSetTest, DownloadStopsAtTheFirstFailure) {
    Link l("sim:time=instant,fault=LPF*:ERR-002");
    l.cs.DownloadConditions(kFullChangeMask);
    EXPECT_EQ(l.status, RunStatus::CommFailed);
    EXPECT_EQ(l.Sent(), (Wire{"RES", "SET1", "B.V2", "LPF0", "LPF0", "LPF0"}));
    EXPECT_EQ(l.ui.shown.size(), 1u);
    Link a530("sim:time=instant,model=530A");
    a530.m.Ch(1).InputMode = 3;
    a530.cs.DownloadConditions("1000000000000000");
    EXPECT_EQ(a530.status, RunStatus::CommFailed);
    EXPECT_EQ(a530.Sent(), (Wire{"RES", "SET1", "B.V3", "B.V3", "B.V3"}));
}

// --- initialisation and trigger time -----------------------------------------------------------

// Initialisation sends the date, then the time (a refused date: RouteFaults.DateRefused* and
// StartupFailure/Initialise); the trigger time read afterwards gets its century.
TEST(CommandSetTest, InitialiseSendsDateThenTimeAndTheTriggerTimeGetsItsCentury) {
    Link l;
    l.cs.InitialiseInstrument();
    EXPECT_EQ(l.status, RunStatus::Ok);
    EXPECT_EQ(l.Sent(), (Wire{"SET1", "DTE26;03;09", "TME07;05;00"}));
    EXPECT_EQ(l.cs.ReadTriggerTime(), "");  // no recording yet
    EXPECT_EQ(l.status, RunStatus::CommFailed);
    EXPECT_TRUE(l.ui.Texts().empty());  // the transfer says what it means for the record
    l.transport.SendCommand("TRG", 1);
    l.transport.SendCommand("EOC", 1);
    EXPECT_EQ(l.cs.ReadTriggerTime(), "2026/03/09 07:05:00");
    EXPECT_EQ(l.status, RunStatus::Ok);
    EXPECT_EQ(l.id.TriggerTime, "2026/03/09 07:05:00");
    // Control bytes in the reply never reach the record's header, the CSV or a terminal.
    testing::LinkOver<testing::ScriptedBus> odd;
    odd.Open();
    odd.bus.Reply("\x1b" "26/03/09\x1b[2J07:05\x07:00\r\n");
    EXPECT_EQ(odd.cs.ReadTriggerTime(), "2026/03/09?[2J07:05?:00");
    // The instrument's two-digit year gets the century nearest the PC's: a run started on the last
    // second of 2099 and triggered in 2100, and a PC whose clock still says 1999. A leap second
    // (a time zone that counts them) goes out as the second before it, which the instrument takes.
    struct Century {
        LocalDateTime start;
        int pcYearAtTransfer;
        std::vector<std::string> sent;
        const char* expected;
    };
    for (const Century& c :
         {Century{{2099, 12, 31, 23, 59, 59}, 2100, {"SET1", "DTE99;12;31", "TME23;59;59"}, "2100/01/01 00:00:01"},
          Century{{1999, 6, 1, 12, 0, 0}, 1999, {"SET1", "DTE99;06;01", "TME12;00;00"}, "1999/06/01 12:00:02"},
          Century{{2016, 12, 31, 23, 59, 60}, 2017, {"SET1", "DTE16;12;31", "TME23;59;59"}, "2017/01/01 00:00:01"}}) {
        Link y;
        y.clock.now = c.start;
        y.cs.InitialiseInstrument();
        EXPECT_EQ(y.status, RunStatus::Ok);
        EXPECT_EQ(y.Sent(), c.sent);
        y.time->Advance(2.0);
        y.transport.SendCommand("TRG", 1);
        y.transport.SendCommand("EOC", 1);
        y.clock.now.year = c.pcYearAtTransfer;
        EXPECT_EQ(y.cs.ReadTriggerTime(), c.expected);
    }
    odd.bus.Reply("X99/12/31 23:59:59\r\n");
    odd.clock.now.year = 2100;
    EXPECT_EQ(odd.cs.ReadTriggerTime(), "2099/12/31 23:59:59");
    odd.bus.Reply("T9/12/31\r\n");  // no two-digit year: the century is put in front as it stands
    EXPECT_EQ(odd.cs.ReadTriggerTime(), "209/12/31");
    Link silent("sim:time=instant,fault=TTM0:noreply");
    EXPECT_EQ(silent.cs.ReadTriggerTime(), "");
    EXPECT_EQ(silent.status, RunStatus::CommFailed);
    EXPECT_EQ(silent.ui.shown.size(), 1u);
}

}  // namespace
}  // namespace kmr
