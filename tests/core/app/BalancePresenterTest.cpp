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

// A download that stopped early (channel 4 switched on, its filter unanswered) leaves the
// instrument measuring channel 4 alone. The live values of the main window and of the balance
// window send the conditions first and then read the channels the program expects; a
// download that fails again stops them with one message (the main window's names the command).
TEST(BalanceTick, LiveValuesSendConditionsADownloadLeftUnsentBeforeReading) {
    for (const bool balanceWindow : {false, true}) {
        for (const bool failsAgain : {false, true}) {
            SCOPED_TRACE(std::to_string(balanceWindow) + std::to_string(failsAgain));
            testing::EngineHarness h;
            ASSERT_TRUE(h.Measure({1, 2, 3}, 1000));
            h.state.Gpib.Attempts = 1;
            h.simBus->Instrument().AddFault({"LPF*", sim::FaultKind::NoReply, "", failsAgain ? 2 : 1});
            h.state.Meas.Ch(3).OnOff = 0;
            h.state.Meas.Ch(4).OnOff = 1;
            h.state.Meas.Ch(4).Lpf = 2;
            h.engine.link.commands->DownloadConditions("0011000000000000");
            ASSERT_EQ(h.state.Status, RunStatus::CommFailed);
            RebuildMeasuredChannels(h.state.Meas);
            h.state.ConditionsUnsent = true;
            h.bus->log.clear();
            h.ui.shown.clear();
            ToggleMonitor(h.engine);
            LoggedBalanceView view(h.bus->log);
            BalancePresenter balance(h.engine, view);
            if (balanceWindow)
                balance.Tick();
            else
                MonitorTimerTick(h.engine);
            const auto sent = h.bus->Commands();
            if (failsAgain) {
                EXPECT_EQ(std::count(sent.begin(), sent.end(), "MDT"), 0);
                EXPECT_EQ(h.state.MonitoringOn, kFalse);
                ASSERT_EQ(h.ui.shown.size(), 1u);
                EXPECT_EQ(h.ui.shown[0].title, "GP-IB error");
                if (!balanceWindow) {
                    EXPECT_NE(h.ui.shown[0].text.find("(LPF"), std::string::npos) << h.ui.shown[0].text;
                }
                continue;
            }
            ASSERT_FALSE(sent.empty());
            EXPECT_EQ(sent.back(), "MDT");
            const auto set4 = std::find(sent.begin(), sent.end(), "SET4");
            EXPECT_NE(std::find(set4, sent.end(), "LPF100"), sent.end());
            EXPECT_TRUE(h.ui.shown.empty());
            EXPECT_FALSE(h.state.ConditionsUnsent);
            EXPECT_EQ(h.state.MonitoringOn, kTrue);
            // Channels 1, 2 and 4 have values, channel 3 none.
            const MoniData& values = balanceWindow ? balance.Table().Values() : h.state.MoniData;
            for (int ch = 1; ch <= 4; ++ch) EXPECT_EQ(IsNoValue(values[static_cast<std::size_t>(ch - 1)]), ch == 3) << ch;
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
// of reading again (another wait and a second box). One that answers wrongly keeps the window,
// and so does the user's Cancel of a wait. Channels the balance left unselected are selected
// again before the next reading, in the window or in the main window.
TEST(BalancePress, AnInstrumentLostOnTheWayEndsTheWindowWithOneMessage) {
    enum Case { Lost, Refused, Cancelled };
    for (const Case c : {Lost, Refused, Cancelled}) {
        SCOPED_TRACE(c);
        testing::EngineHarness h;
        ASSERT_EQ(h.Start("sim:time=instant"), StartupOutcome::Online);
        ToggleMonitor(h.engine);
        LoggedBalanceView view(h.bus->log);
        BalancePresenter balance(h.engine, view);
        h.simBus->Instrument().AddFault(c == Refused ? sim::SimFault{"BAL", sim::FaultKind::ErrorReply, "ERR-001", 0}
                                                     : sim::SimFault{"SET1", sim::FaultKind::NoReply, {}, c == Lost ? 3 : 1});
        h.engine.link.transport->stopRequested = c == Cancelled;
        h.bus->log.clear();
        balance.PressBalance();
        h.engine.link.transport->stopRequested = false;
        const auto calls = CallsAndCommands(h.bus->log, true);
        EXPECT_EQ(calls, c == Lost ? (std::vector<std::string>{"input off", "timer off", "unload"})
                                   : (std::vector<std::string>{"input off", "timer off", "timer on", "input on", "show"}));
        EXPECT_EQ(h.state.MonitoringOn != kFalse, c != Lost);
        ASSERT_EQ(h.ui.shown.size(), 1u);
        EXPECT_EQ(h.ui.shown[0].title, c == Cancelled ? "Caution" : "GP-IB error");
        if (c == Lost) {
            ToggleMonitor(h.engine);
            MonitorTimerTick(h.engine);
        } else {
            balance.Tick();
        }
        EXPECT_EQ(h.ui.shown.size(), 1u);
        EXPECT_NE(h.state.MonitoringOn, kFalse);
    }
}

// A balance whose wait was cancelled after RES leaves its failed status behind: a start-up over
// the same state does not take it for a failed open, and the instrument measures every channel.
TEST(BalancePress, ACancelledBalanceLeavesNothingToTheNextStart) {
    testing::EngineHarness h;
    ASSERT_EQ(h.Start("sim:time=instant"), StartupOutcome::Online);
    LoggedBalanceView view(h.bus->log);
    BalancePresenter balance(h.engine, view);
    h.simBus->Instrument().AddFault({"SET1", sim::FaultKind::NoReply, {}, 1});
    h.engine.link.transport->stopRequested = true;
    balance.PressBalance();
    ASSERT_EQ(h.state.Status, RunStatus::CommFailed);
    h.ui.shown.clear();
    EXPECT_EQ(h.Start("sim:time=instant"), StartupOutcome::Online);
    EXPECT_TRUE(h.ui.shown.empty());
    ToggleMonitor(h.engine);
    MonitorTimerTick(h.engine);
    for (int ch = 1; ch <= kChannels; ++ch) EXPECT_FALSE(IsNoValue(h.state.MoniData[static_cast<std::size_t>(ch - 1)]));
}

// A Cancel while the instrument is given the conditions it is owed, before RES: said as a
// cancel, nothing more reaches the wire, the window stays, and the conditions go out before the
// next reading.
TEST(BalancePress, ACancelWhileTheConditionsAreSentIsSaidAsACancel) {
    testing::EngineHarness h;
    ASSERT_EQ(h.Start("sim:time=instant"), StartupOutcome::Online);
    ToggleMonitor(h.engine);
    LoggedBalanceView view(h.bus->log);
    BalancePresenter balance(h.engine, view);
    h.state.ConditionsUnsent = true;
    h.simBus->Instrument().AddFault({"LPF*", sim::FaultKind::NoReply, {}, 1});
    CommandTransport& t = *h.engine.link.transport;
    t.beforeRepeat = [&t] { t.stopRequested = true; };  // Cancel in the wait notice
    h.bus->log.clear();
    balance.PressBalance();
    t.stopRequested = false;
    const auto sent = h.bus->Commands();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().rfind("LPF", 0), 0u) << sent.back();
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](const std::string& c) { return c.rfind("LPF", 0) == 0; }), 1);
    EXPECT_EQ(CallsAndCommands(h.bus->log, true),
              (std::vector<std::string>{"input off", "timer off", "timer on", "input on", "show"}));
    ASSERT_EQ(h.ui.shown.size(), 1u);
    EXPECT_EQ(h.ui.shown[0].title, "Caution");
    EXPECT_EQ(h.ui.shown[0].text, "The balance was cancelled: nothing was balanced.");
    EXPECT_NE(h.state.MonitoringOn, kFalse);
    EXPECT_TRUE(h.state.ConditionsUnsent);
    h.bus->log.clear();
    balance.Tick();
    EXPECT_EQ(h.bus->Commands().back(), "MDT");
    EXPECT_FALSE(h.state.ConditionsUnsent);
    EXPECT_EQ(h.ui.shown.size(), 1u);
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
