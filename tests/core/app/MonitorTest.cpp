#include "core/app/Monitor.h"

#include <gtest/gtest.h>

#include "core/app/MainWindowRules.h"
#include "support/EngineHarness.h"

namespace kmr {
namespace {

struct BalanceTickCase {
    const char* spec;
    bool read;  // the live values were read
};

class BalanceWindowTickTest : public ::testing::TestWithParam<BalanceTickCase> {};

TEST_P(BalanceWindowTickTest, AFailedOrMalformedReadEndsMonitoringAndTheWindow) {
    testing::EngineHarness h;
    ASSERT_EQ(h.Start(GetParam().spec), StartupOutcome::Online);
    ToggleMonitor(h.engine);
    ASSERT_EQ(h.state.MonitoringOn, kTrue);
    ASSERT_EQ(h.main.monitorCaption, MonitorButtonCaption(Language::English, true));
    BalancePresenter balance(*h.engine.link.transport, h.state.Meas);
    EXPECT_EQ(BalanceWindowTick(h.engine, balance), GetParam().read);
    EXPECT_EQ(h.state.MonitoringOn != kFalse, GetParam().read);
    EXPECT_EQ(h.main.monitorChecked, GetParam().read);
    EXPECT_EQ(h.main.monitorCaption, MonitorButtonCaption(Language::English, GetParam().read));
}

INSTANTIATE_TEST_SUITE_P(Replies, BalanceWindowTickTest,
                         ::testing::Values(BalanceTickCase{"sim:time=instant", true},
                                           BalanceTickCase{"sim:time=instant,fault=MDT:short", false},
                                           BalanceTickCase{"sim:time=instant,fault=MDT:garbage", false},
                                           BalanceTickCase{"sim:time=instant,fault=MDT:noreply", false}));

}  // namespace
}  // namespace kmr
