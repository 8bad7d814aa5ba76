#include "core/app/FormHost.h"

#include <gtest/gtest.h>

#include "support/EngineHarness.h"

namespace kmr {
namespace {

using testing::RecordingMainView;

struct FormHostTest : ::testing::Test {
    ProgramState s;
    RecordingMainView main;
    FormHost host{s, main};
};

// (A running monitor paused while a form is open and going on after it: SettingsWindowTest's
// data-file registration.) Monitoring stopped while the form was open stays stopped; without a
// monitor there is no timer to restart.
TEST_F(FormHostTest, AMonitorStoppedWhileAFormIsOpenStaysStopped) {
    s.MonitoringOn = kTrue;
    main.moniTimer = true;
    ASSERT_TRUE(host.Open(FormId::MeasCond));
    EXPECT_FALSE(main.windowEnabled);
    EXPECT_FALSE(main.moniTimer);
    s.MonitoringOn = kFalse;
    host.Closed();
    EXPECT_FALSE(main.moniTimer);
    EXPECT_TRUE(main.windowEnabled);
    ASSERT_TRUE(host.Open(FormId::DataFileSettings));
    EXPECT_FALSE(host.MonitorPaused());
    host.Closed();
    EXPECT_FALSE(main.moniTimer);
}

TEST_F(FormHostTest, TheOutputCalibrationAloneLeavesTheMonitorTimerAloneAndASecondFormIsRefused) {
    s.MonitoringOn = kTrue;
    main.moniTimer = true;
    ASSERT_TRUE(host.Open(FormId::OutputCal));
    EXPECT_TRUE(main.moniTimer);
    EXPECT_FALSE(host.Open(FormId::Balance));
    EXPECT_EQ(host.Current(), FormId::OutputCal);
    EXPECT_EQ(main.log.size(), 1u);
    host.Closed();
    host.Closed();  // a second close does not enable the window twice
    EXPECT_TRUE(main.moniTimer);
    EXPECT_EQ(main.log, (std::vector<std::string>{"window off", "window on"}));
    EXPECT_TRUE(host.Open(FormId::Balance));
}

}  // namespace
}  // namespace kmr
