#include "core/measurement/Balance.h"
#include "core/support/TextTable.h"

#include <gtest/gtest.h>

#include "InstrumentToolsFixture.h"
#include "core/graphs/NoValue.h"

namespace kmr {
namespace {

using testing::InstrumentToolsTest;

using BalanceTest = InstrumentToolsTest;

TEST_F(BalanceTest, StrainChannelsStartSelectedVoltageCannotBeAndBalanceRemovesTheUnbalance) {
    StartWith({{1, 2}, {2, 0}, {3, 1}, {4, -5}});
    BalanceTable b(Transport(), h.state.Meas);
    EXPECT_TRUE(b.Selected(1));
    EXPECT_FALSE(b.Selected(2));
    EXPECT_TRUE(b.Selected(4));
    EXPECT_FALSE(b.Selected(5));
    EXPECT_TRUE(b.RowEnabled(2));
    EXPECT_FALSE(b.RowEnabled(5));
    EXPECT_TRUE(b.BalanceEnabled());
    EXPECT_EQ(b.Labels()[0], "----");
    EXPECT_TRUE(Commands().empty());  // opening sends nothing
    b.ClickCell(2);
    EXPECT_FALSE(b.Selected(2));
    EXPECT_EQ(b.Comment1(), "Cannot make balance measurement.");
    EXPECT_EQ(b.Comment2(), "");
    b.ClickCell(1);  // a strain click clears the comment
    EXPECT_EQ(b.Comment1(), "");
    b.ClickCell(4);
    EXPECT_TRUE(b.BalanceEnabled());
    b.ClickCell(3);
    EXPECT_FALSE(b.BalanceEnabled());
    b.ClickCell(3);
    EXPECT_TRUE(b.BalanceEnabled());
    EXPECT_TRUE(b.Selected(3));
    EXPECT_FALSE(b.Selected(1));

    // Balance (its commands: BalancePresenterTest.BalanceHoldsTheTickAndTheInputWhileItsCommandsRun).
    ASSERT_TRUE(b.Tick());
    const float before = b.Values()[2];
    b.Balance();
    EXPECT_TRUE(h.ui.shown.empty());
    EXPECT_EQ(h.ui.pointer, Pointer::Default);
    // The simulated channel loses its unbalance: the live value moves by exactly the initial
    // (autobalance) value the instrument reports, the time standing still.
    ASSERT_TRUE(b.Tick());
    const std::string initial = Transport().SendCommand("CHK4", 0);
    EXPECT_NE(before, b.Values()[2]);
    EXPECT_EQ(before - b.Values()[2], static_cast<float>(std::stoi(initial.substr(16, 7))));
}

struct BalReply {
    const char* fault;  // the sim fault on "BAL"
    bool message;
};

class BalanceReplyTest : public InstrumentToolsTest, public ::testing::WithParamInterface<BalReply> {};

TEST_P(BalanceReplyTest, OnlyAnUnexpectedReplyShowsTheMessageOnce) {
    StartWith({{1, 2}, {2, 2}}, std::string("sim:time=instant,fault=") + GetParam().fault);
    BalanceTable b(Transport(), h.state.Meas);
    b.Balance();
    const std::string lost = TextWith(Language::English, txt::LostDuringBalance, {"BAL"});
    EXPECT_EQ(h.ui.Texts(), GetParam().message ? std::vector<std::string>{lost} : std::vector<std::string>{});
    for (const auto& shown : h.ui.shown) EXPECT_EQ(shown.title, "GP-IB error");
    // BAL is sent once, and the channels are selected again in every case.
    const auto cmds = Commands();
    EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "BAL"), 1);
    EXPECT_EQ(std::vector<std::string>(cmds.end() - 2, cmds.end()), (std::vector<std::string>{"SET1", "SET2"}));
}

INSTANTIATE_TEST_SUITE_P(Replies, BalanceReplyTest,
                         ::testing::Values(BalReply{"BAL:ERR-012", false}, BalReply{"BAL:ERR-008", true},
                                           BalReply{"BAL:noreply", true}));

}  // namespace
}  // namespace kmr
