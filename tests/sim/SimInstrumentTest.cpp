#include "sim/SimInstrument.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kmr::sim {
namespace {

struct Sim {
    std::shared_ptr<ManualTimeSource> time = std::make_shared<ManualTimeSource>(100.0);
    std::unique_ptr<SimInstrument> inst;
    explicit Sim(const std::string& opts = "sim:time=real") {
        auto parsed = ParseSimOptions(opts);
        EXPECT_TRUE(parsed.options) << parsed.error;
        inst = std::make_unique<SimInstrument>(parsed.options.value_or(SimOptions{}), time);
    }
    // The reply line without CR LF.
    std::string operator()(const std::string& cmd) {
        SimReply r = inst->Write(cmd + "\r\n");
        EXPECT_FALSE(r.silent) << cmd;
        EXPECT_GE(r.bytes.size(), 2u) << cmd;
        EXPECT_EQ(r.bytes.substr(r.bytes.size() - 2), "\r\n") << cmd;
        return r.bytes.substr(0, r.bytes.size() - 2);
    }
    // Commands whose replies do not matter here (each still must be answered).
    void Setup(std::initializer_list<const char*> commands) {
        for (const char* c : commands) (*this)(c);
    }
};

// --- options -----------------------------------------------------------------------------------

TEST(SimOptionsTest, ParsesEveryKeyDefaultsAndShortForms) {
    auto r = ParseSimOptions(
        "sim:model=530A,version=1.23,memory=2,channels=1011111111,time=instant,pattern=ramp,"
        "seed=77,extdelay=0.5,address=5,fault=SET1:ERR-022:1+MDT:noreply+open:nolistener:2");
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(*r.options, (SimOptions{.model = SimModel::Kmr530A, .version = "1.23", .memory = 2,
                                      .channels = "1011111111", .time = SimTimeMode::Instant,
                                      .pattern = SimPattern::Ramp, .seed = 77, .extDelay = 0.5, .address = 5,
                                      .faults = {{"SET1", FaultKind::ErrorReply, "ERR-022", 1},
                                                 {"MDT", FaultKind::NoReply, "", 0},
                                                 {"open", FaultKind::NoListener, "", 2}}}));
    for (const char* text : {"sim", "sim:", "", "  sim:  "}) {
        auto d = ParseSimOptions(text);
        ASSERT_TRUE(d.options) << text << ": " << d.error;
        EXPECT_EQ(*d.options, SimOptions{});
    }
    r = ParseSimOptions("sim:fault=nochannel+nolistener");
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->faults[0].kind, FaultKind::NoChannel);
    EXPECT_EQ(r.options->faults[1].command, "open");
}

// The options text and what the refusal names. (An unknown key: InterfaceSpecTest, through the
// interface setting.)
const std::pair<const char*, const char*> kBadOptions[] = {
    {"sim:model=520B", "model=520B"}, {"sim:memory=4", "0, 1, 2 or 3"}, {"sim:channels=111", "ten characters"},
    {"sim:channels=11111111x1", "ten characters"}, {"sim:version=12345", "4 characters"},
    {"sim:time=slow", "real or instant"}, {"sim:pattern=saw", "wave or ramp"}, {"sim:seed=-1", "seed"},
    {"sim:extdelay=3601", "0 to 3600 seconds"}, {"sim:extdelay=0x1", "0 to 3600 seconds"},
    {"sim:memory", "key=value"}, {"sim:fault=MDT:explode", "unknown fault kind"},
    {"sim:fault=garbage", "needs a command"}, {"sim:fault=EOC:ERR-12", "unknown fault kind"},
    {"sim:fault=EOC:noreply:0", "count"}, {"sim:fault=EOC:noreply+", "empty fault"}, {"simulator", "sim:key=value"},
};

class SimOptionsErrorTest : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(SimOptionsErrorTest, NamesTheItem) {
    auto r = ParseSimOptions(GetParam().first);
    EXPECT_FALSE(r.options);
    EXPECT_NE(r.error.find(GetParam().second), std::string::npos) << r.error;
}

INSTANTIATE_TEST_SUITE_P(Bad, SimOptionsErrorTest, ::testing::ValuesIn(kBadOptions));

// --- identification replies (the memory probes: CommandSetTest's IdentifyTest) -----------------

TEST(SimInstrumentTest, AnAbsentChannelCannotBeSelected) {
    // The reply to SET1;10 with a gap and with none: CommandSetTest.IdentifyWithAChannelGapOrNone.
    Sim sim("sim:channels=1101000001");
    EXPECT_EQ(sim("SET3"), "ERR-005");
    EXPECT_EQ(sim("SET 4"), "END");
    EXPECT_EQ(sim("SET11"), "ERR-002");
    Sim none("sim:fault=nochannel");
    EXPECT_EQ(none("SET1"), "END");  // setting mode is still answered
}

TEST(SimInstrumentTest, EitherDelimiterAndEoi) {
    Sim sim;
    EXPECT_EQ(sim.inst->Write("RES\r").bytes, "END\r\n");
    EXPECT_EQ(sim.inst->Write("RES\r\n").bytes, "END\r\n");
    EXPECT_EQ(sim.inst->Write("RES").bytes, "END\r\n");  // EOI ends the command
    EXPECT_TRUE(sim.inst->Write("").silent);
    EXPECT_TRUE(sim.inst->Write("RE", false).silent);
    EXPECT_EQ(sim.inst->Write("S\r\n").bytes, "END\r\n");
}

class SimCommandRangeTest : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(SimCommandRangeTest, Replies) {
    Sim sim;
    sim.Setup({"RES", "SET1"});
    EXPECT_EQ(sim(GetParam().first), GetParam().second) << GetParam().first;
}

// Every clock and filter the program offers, and the longest clock plus one: InstrumentFactsTest.
// The commands the program sends are answered END in CommandSetTest and OutputCalTest; here the
// limits the instrument keeps.
const std::pair<const char*, const char*> kCommandReplies[] = {
    {"LPF50", "ERR-002"}, {"TGL40000", "ERR-002"}, {"CLK-5", "ERR-002"}, {"AVE 10", "END"}, {"AVE 11", "ERR-002"},
    {"MRY 1000", "END"}, {"MRY 507905", "ERR-003"}, {"MRY 10000;20000", "END"}, {"DTE26;02;30", "ERR-002"},
    {"TME24;00;00", "ERR-002"}, {"BDT", "ERR-010"}, {"CHK6", "ERR-002"}, {"CAL1234", "ERR-002"},
    {"CAL20000", "ERR-002"}, {"HELLO", "ERR-001"}, {"HLT", "END"},
};

INSTANTIATE_TEST_SUITE_P(Commands, SimCommandRangeTest, ::testing::ValuesIn(kCommandReplies));

// --- conversations -------------------------------------------------------------------------------
// Each step sends a command and expects its reply ("X*": any reply that begins with X); a step
// "@s" lets s seconds of simulated time pass.
struct Script {
    const char* name;
    const char* options;
    std::vector<std::pair<const char*, const char*>> steps;
};

class SimScript : public ::testing::TestWithParam<Script> {};

TEST_P(SimScript, RepliesInOrder) {
    Sim sim(GetParam().options);
    for (const auto& [command, reply] : GetParam().steps) {
        if (command[0] == '@') {
            sim.time->Advance(std::stod(command + 1));
            continue;
        }
        const std::string got = sim(command), want = reply;
        if (want.ends_with('*')) EXPECT_EQ(got.substr(0, want.size() - 1), want.substr(0, want.size() - 1)) << command;
        else EXPECT_EQ(got, want) << command;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Conversations, SimScript,
    ::testing::Values(
        // (Which input modes each model takes: InstrumentFactsTest.InputModesAndFiltersPerModel.)
        Script{"AveragingOnlyAtOneMillisecondAndSlower", "sim:time=real",
               {{"CLK0", "END"}, {"AVE 3", "ERR-002"}, {"AVE 0", "END"}, {"CLK 1", "END"}, {"AVE 3", "END"},
                {"CLK-2", "ERR-002"}}},
        Script{"BalanceZeroesStrainChannelsAndRefusesVoltage", "sim:seed=3",
               {{"RES", "END"}, {"SET2", "END"}, {"B.V1", "END"}, {"BAL", "END"}, {"RES", "END"}, {"SET3", "END"},
                {"B.V0", "END"}, {"BAL", "ERR-012"}}},
        // Pre-memory 100 of 1000 words at 10 ms: the trigger fires only when the pre-memory is full.
        Script{"ManualRecordingFollowsSimulatedTime", "sim:time=real,pattern=ramp",
               {{"DTE26;12;06", "END"}, {"TME07;05;00", "END"}, {"CLK 10", "END"}, {"MRY 1000", "END"},
                {"MRY -100", "END"}, {"TRG", "END"}, {"EOC", "+000000"}, {"@0.5", ""}, {"EOC", "+000050"},
                {"TTM0", "ERR-007"}, {"@1.0", ""}, {"EOC", "+000150"}, {"TTM0", "T26/12/06 07:05:01"},
                {"B.V1", "ERR-006"}, {"@100", ""}, {"EOC", "+001000"}, {"B.V1", "END"}}},
        // The external trigger comes after 2 s.
        Script{"HaltFreezesTheWordCount", "sim:time=real",
               {{"CLK 1", "END"}, {"MRY 10000", "END"}, {"ETG", "END"}, {"@1.0", ""}, {"EOC", "+000000"},
                {"@1.5", ""}, {"EOC", "+000500"}, {"HLT", "END"}, {"@5", ""}, {"EOC", "+000500"}}},
        // (Instant recordings, complete at the first EOC or, at a high-speed clock, at the trigger's
        // reply: RunTest's wire and file, which record with time=instant.)
        Script{"DataTriggerFiresWhenALevelIsCrossed", "sim:time=real",
               {{"RES", "END"}, {"SET8", "END"}, {"BAL", "END"}, {"TGL500", "END"}, {"CLK 1", "END"},
                {"MRY 1000", "END"}, {"DTG", "END"}, {"@60", ""}, {"EOC", "+001000"}}},
        // No channel takes part: it waits until halted.
        Script{"DataTriggerWithoutChannelsWaits", "sim:time=real", {{"DTG", "END"}, {"@60", ""}, {"EOC", "+000000"}}},
        Script{"NegativeTriggerLevelFiresFromAbove", "sim:time=real",
               {{"RES", "END"}, {"SET9", "END"}, {"BAL", "END"}, {"TGL-600", "END"}, {"MRY 100", "END"},
                {"DTG", "END"}, {"@60", ""}, {"EOC", "+000100"}, {"TTM0", "T*"}}}),
    [](const ::testing::TestParamInfo<Script>& info) { return std::string(info.param.name); });

// --- calibration and recording -------------------------------------------------------------------
// (The monitor line, the checks, the memory block and the faults on the wire: CommandTransportTest,
// SelfCheckTest, BalanceTest and RouteFaultsTest, which all run against this instrument.)

TEST(SimInstrumentTest, CalibrationOutputShowsInTheMonitorUntilMon) {
    Sim sim;
    sim.Setup({"RES", "SET1", "B.V -4", "RES", "SET 1"});
    EXPECT_EQ(sim("CAL1230"), "ERR-002");  // above 1000 digits in a 0.1 strain mode
    EXPECT_EQ(sim("CAL-500"), "END");
    sim.Setup({"RES", "SET 2"});
    EXPECT_EQ(sim("CAL1230"), "END");
    sim.Setup({"RES", "SET1", "SET2"});
    EXPECT_EQ(sim("MDT").substr(0, 15), "-005000,+001230");
    sim("MON");
    EXPECT_NE(sim("MDT").substr(0, 15), "-005000,+001230");
}

TEST(SimInstrumentTest, WavePatternIsDeterministicForASeed) {
    auto record = [](const std::string& opts) {
        Sim sim(opts);
        sim.Setup({"RES", "SET1", "SET4", "SET10", "CLK 2", "MRY 3000", "MRY -500", "TRG"});
        sim.time->Advance(10.0);
        std::vector<std::int16_t> words;
        for (int n : {1, 4, 10})
            for (std::int32_t a = 0; a < 3000; a += 97) words.push_back(sim.inst->MemoryWord(n, a));
        words.push_back(static_cast<std::int16_t>(sim.inst->WordsConverted()));
        return std::make_pair(words, sim("MDT"));
    };
    const auto a = record("sim:time=real,seed=5");
    EXPECT_EQ(a, record("sim:time=real,seed=5"));
    EXPECT_NE(a.first, record("sim:time=real,seed=6").first);
    EXPECT_EQ(a.first.back(), 3000);
    // The signal moves: not one value repeated over the whole record.
    EXPECT_GT(std::set<std::int16_t>(a.first.begin(), a.first.end() - 1).size(), 20u);
}

}  // namespace
}  // namespace kmr::sim
