#include "core/app/MainWindowRules.h"

#include <gtest/gtest.h>

#include "core/support/TextTable.h"

namespace kmr {
namespace {

TEST(MainWindowRulesTest, OffLineOffersWhatNeedsNoInstrumentOnLineEverythingRunningMonitorStopAndVersion) {
    MainWindowState s;
    s.ProgramMode = 0;
    s.InstrumentModel = 1;  // KMR-510C
    MenuState e;
    e.ConvertingFile = e.Quit = e.Version = true;
    e.Connect = true;  // going on-line without a restart
    e.StartCaption = "Start";
    e.MonitorCaption = "Moni. On";
    EXPECT_EQ(UpdateMenus(s, Language::English), e);

    s.ProgramMode = 1;
    e.DataFileSettings = e.MeasCondSettings = e.GraphCondSettings = true;
    e.Monitor = e.Balance = e.Start = true;
    e.Check = e.OutputCal = true;
    e.BalanceButton = e.MonitorButton = e.StartStopButton = true;
    EXPECT_EQ(UpdateMenus(s, Language::English), e);

    s.InstrumentModel = 0;  // KMR-530A has no output calibration
    e.OutputCal = false;
    EXPECT_EQ(UpdateMenus(s, Language::English), e);

    s.MonitoringOn = true;
    e.MonitorChecked = true;
    e.MonitorCaption = "Moni. Off";
    EXPECT_EQ(UpdateMenus(s, Language::English), e);

    s.InstrumentModel = 1;
    s.RunActive = true;
    MenuState run;
    run.Monitor = run.MonitorChecked = true;
    run.Start = true;
    run.Version = true;
    run.MonitorButton = run.StartStopButton = true;
    run.StartCaption = "Stop";
    run.MonitorCaption = "Moni. Off";
    EXPECT_EQ(UpdateMenus(s, Language::English), run);
}

}  // namespace
}  // namespace kmr
