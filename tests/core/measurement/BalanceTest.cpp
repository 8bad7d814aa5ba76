#include "core/measurement/Balance.h"
#include "core/support/TextTable.h"

#include <gtest/gtest.h>

#include "InstrumentToolsFixture.h"

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

// A reply other than END or ERR-012 to BAL, or none, shows the message once.
TEST_F(BalanceTest, OnlyAnUnexpectedReplyShowsTheMessageOnce) {
    const std::string lost = TextWith(Language::English, txt::LostDuringBalance, {"BAL"});
    for (const auto& [fault, message] :
         {std::pair{"BAL:ERR-012", false}, std::pair{"BAL:ERR-008", true}, std::pair{"BAL:noreply", true}}) {
        SCOPED_TRACE(fault);
        StartWith({{1, 2}, {2, 2}}, std::string("sim:time=instant,fault=") + fault);
        BalanceTable b(Transport(), h.state.Meas);
        b.Balance();
        EXPECT_EQ(h.ui.Texts(), message ? std::vector<std::string>{lost} : std::vector<std::string>{});
        for (const auto& shown : h.ui.shown) EXPECT_EQ(shown.title, "GP-IB error");
        // BAL is sent once, and the channels are selected again in every case.
        const auto cmds = Commands();
        EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "BAL"), 1);
        EXPECT_EQ(std::vector<std::string>(cmds.end() - 2, cmds.end()), (std::vector<std::string>{"SET1", "SET2"}));
    }
}

// The user's Cancel of a wait is said as a cancel, with how far the balance got: nothing balanced
// (a SET waited), a balance perhaps not made (BAL waited), or one made whose channels are not all
// selected again (a SET after BAL waited).
TEST(BalanceCancel, ACancelledWaitIsSaidAsTheUsersCancelWithHowFarTheBalanceGot) {
    for (const auto& [command, text, bal, reselected] :
         {std::tuple{"SET1", txt::BalanceCancelled, false, false},
          std::tuple{"BAL", txt::BalanceCancelledWhileBalancing, true, true},
          std::tuple{"SET2", txt::BalanceCancelledAfterBalance, true, false}}) {
        SCOPED_TRACE(command);
        testing::EngineHarness h;
        ASSERT_EQ(h.Start("sim:time=instant"), StartupOutcome::Online);
        h.state.Meas.Ch(2).InputMode = 0;  // a voltage channel: selected again after BAL only
        h.engine.link.commands->DownloadConditions(kFullChangeMask);
        h.bus->log.clear();
        h.simBus->Instrument().AddFault({command, sim::FaultKind::NoReply, {}, 1});
        BalanceTable b(*h.engine.link.transport, h.state.Meas);
        h.engine.link.transport->stopRequested = true;  // Cancel pressed while the command waited
        const BalanceEnd end = b.Balance();
        EXPECT_TRUE(end.cancelled);
        EXPECT_EQ(end.reselected, reselected);
        const auto cmds = h.bus->Commands();
        EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "BAL"), bal ? 1 : 0);
        ASSERT_EQ(h.ui.shown.size(), 1u);
        EXPECT_EQ(h.ui.shown[0].text, Text(Language::English, text));
        EXPECT_EQ(h.ui.shown[0].title, "Caution");
    }
}

}  // namespace
}  // namespace kmr
