#include "core/app/BalancePresenter.h"

#include <gtest/gtest.h>

#include "core/app/MainWindowRules.h"
#include "core/app/Monitor.h"
#include "core/measurement/InstrumentToolsFixture.h"

namespace kmr {
namespace {

// Writes what the window is told into the bus's log, so that it lines up with the commands.
class LoggedBalanceView : public BalanceView {
public:
    explicit LoggedBalanceView(std::vector<std::string>& log) : log_(log) {}
    void Show() override { log_.push_back("v:show"); }
    void SetTimer(bool on) override { log_.push_back(on ? "v:timer on" : "v:timer off"); }
    void SetInputEnabled(bool on) override { log_.push_back(on ? "v:input on" : "v:input off"); }
    void Unload() override { log_.push_back("v:unload"); }

private:
    std::vector<std::string>& log_;
};

// The window's calls and (unless `callsOnly`) the commands, in order.
std::vector<std::string> CallsAndCommands(const std::vector<std::string>& log, bool callsOnly = false) {
    std::vector<std::string> out;
    for (const auto& l : log)
        if ((!callsOnly && l.rfind("w:", 0) == 0) || l.rfind("v:", 0) == 0) out.push_back(l.substr(2));
    return out;
}

TEST(BalanceTick, AFailedOrMalformedReadEndsMonitoringAndTheWindow) {
    for (const std::string fault : {"", "MDT:short", "MDT:garbage", "MDT:noreply", "MDT:ERR-001"}) {
        SCOPED_TRACE(fault);
        const bool read = fault.empty();  // the live values were read
        testing::EngineHarness h;
        ASSERT_EQ(h.Start("sim:time=instant" + (read ? "" : ",fault=" + fault)), StartupOutcome::Online);
        ToggleMonitor(h.engine);
        LoggedBalanceView view(h.bus->log);
        BalancePresenter balance(h.engine, view);
        h.bus->log.clear();
        balance.Tick();
        EXPECT_EQ(CallsAndCommands(h.bus->log, true), read ? (std::vector<std::string>{"timer off", "show", "timer on"})
                                                           : (std::vector<std::string>{"timer off", "unload"}));
        EXPECT_EQ(h.state.MonitoringOn != kFalse, read);
        EXPECT_EQ(h.main.monitorChecked, read);
        EXPECT_EQ(h.main.monitorCaption, MonitorButtonCaption(Language::English, read));
        // One message each: the failed read's own, or the answer that is no live values.
        EXPECT_EQ(h.ui.shown.size(), read ? 0u : 1u);
        if (fault == "MDT:ERR-001") {
            EXPECT_EQ(h.ui.Texts().back(), "The instrument did not answer MDT as expected: the live values have stopped.");
        }
    }
}

// A reading over a route opened again: the instrument is given everything, the values are not
// shown, and the window goes on.
TEST(BalanceTick, ARouteOpenedAgainHasTheInstrumentGivenEverythingFirst) {
    testing::EngineHarness h;
    ASSERT_EQ(h.Start("sim:time=instant"), StartupOutcome::Online);
    LoggedBalanceView view(h.bus->log);
    BalancePresenter balance(h.engine, view);
    h.bus->reopenings = 1;
    h.bus->log.clear();
    balance.Tick();
    const auto log = CallsAndCommands(h.bus->log);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[1], "MDT");
    EXPECT_EQ(log[2], "SET1");
    EXPECT_EQ(log[3].rfind("DTE", 0), 0u);
    EXPECT_NE(std::find(log.begin(), log.end(), "MRY " + std::to_string(h.state.Meas.MemoryWords)), log.end());
    EXPECT_EQ(log.back(), "timer on");
    EXPECT_EQ(std::find(log.begin(), log.end(), "show"), log.end());
    EXPECT_TRUE(h.ui.shown.empty());
    h.bus->log.clear();
    balance.Tick();
    EXPECT_EQ(CallsAndCommands(h.bus->log), (std::vector<std::string>{"timer off", "MDT", "show", "timer on"}));
}

// An instrument lost during a balance is said once: the window goes with the live values instead
// of reading again (another wait and a second box). One that answers wrongly keeps the window.
TEST(BalancePress, AnInstrumentLostOnTheWayEndsTheWindowWithOneMessage) {
    for (const bool lost : {true, false}) {
        SCOPED_TRACE(lost ? "no answer" : "BAL refused");
        testing::EngineHarness h;
        ASSERT_EQ(h.Start("sim:time=instant"), StartupOutcome::Online);
        ToggleMonitor(h.engine);
        LoggedBalanceView view(h.bus->log);
        BalancePresenter balance(h.engine, view);
        h.simBus->Instrument().AddFault(lost ? sim::SimFault{"*", sim::FaultKind::NoReply, {}, 0}
                                             : sim::SimFault{"BAL", sim::FaultKind::ErrorReply, "ERR-001", 0});
        h.bus->log.clear();
        balance.PressBalance();
        const auto calls = CallsAndCommands(h.bus->log, true);
        EXPECT_EQ(calls, lost ? (std::vector<std::string>{"input off", "timer off", "unload"})
                              : (std::vector<std::string>{"input off", "timer off", "timer on", "input on", "show"}));
        EXPECT_EQ(h.state.MonitoringOn != kFalse, !lost);
        EXPECT_EQ(h.ui.shown.size(), 1u);
    }
}

using BalancePresenterTest = testing::InstrumentToolsTest;

// The table is two columns of five; the arrows stop at its edges. Balance holds the tick and the
// input while its commands run.
TEST_F(BalancePresenterTest, ArrowKeysPassOverChannelsThatAreOffAndBalanceHoldsTheTickAndTheInput) {
    StartWith({{1, 2}, {4, 2}, {6, 2}});
    LoggedBalanceView view(h.bus->log);
    BalancePresenter balance(h.engine, view);
    // From 4, Down finds 5 off and the last of its column; Right finds 9 off, and the right edge.
    const std::tuple<int, Key, int> moves[] = {{1, Key::Down, 4},  {4, Key::Up, 1},   {4, Key::Down, 4},
                                               {4, Key::Right, 4}, {1, Key::Right, 6}, {6, Key::Left, 1},
                                               {1, Key::Up, 1},    {6, Key::Up, 6}};
    for (const auto& [from, key, to] : moves) EXPECT_EQ(balance.CellAfter(from, key), to) << from;

    balance.Opened();
    balance.ClickCell(4);
    balance.ClickCell(6);  // only channel 1 stays selected
    EXPECT_FALSE(balance.Table().Selected(4));
    h.bus->log.clear();
    balance.PressBalance();
    EXPECT_EQ(CallsAndCommands(h.bus->log),
              (std::vector<std::string>{"input off", "timer off", "RES", "SET1", "BAL", "SET1", "SET4", "SET6",
                                        "timer on", "input on", "show"}));
}

}  // namespace
}  // namespace kmr
