#include "core/app/MainWindowRules.h"

#include <gtest/gtest.h>

#include "core/support/TextTable.h"

namespace kmr {
namespace {

TEST(MainWindowRulesTest, OffLineOffersWhatNeedsNoInstrumentOnLineEverythingRunningMonitorStopAndVersion) {
    MainWindowState s{.ProgramMode = 0, .InstrumentModel = 1};  // KMR-510C
    // Off-line, Connect goes on-line without a restart.
    MenuState e{.ConvertingFile = true, .Quit = true, .OpenDataFile = true, .StartCaption = "Start",
                .Version = true, .Connect = true, .MonitorCaption = "Moni. On"};
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

    // A record shown is exported on-line and off-line; a CSV transfer's has no file to cut a range of.
    s.RecordShown = true;
    e.ExportCharts = true;
    EXPECT_EQ(UpdateMenus(s, Language::English), e);
    s.RecordFileShown = true;
    e.ExportRange = true;
    EXPECT_EQ(UpdateMenus(s, Language::English), e);
    s.ProgramMode = 0;
    EXPECT_EQ(UpdateMenus(s, Language::English),
              (MenuState{.ConvertingFile = true, .Quit = true, .OpenDataFile = true, .ExportCharts = true,
                         .ExportRange = true, .MonitorChecked = true, .StartCaption = "Start", .Version = true,
                         .Connect = true, .MonitorCaption = "Moni. Off"}));

    s = MainWindowState{.ProgramMode = 1, .MonitoringOn = true, .InstrumentModel = 1};
    s.RunActive = true;
    EXPECT_EQ(UpdateMenus(s, Language::English),
              (MenuState{.Monitor = true, .MonitorChecked = true, .Start = true, .StartCaption = "Stop",
                         .Version = true, .MonitorButton = true, .StartStopButton = true,
                         .MonitorCaption = "Moni. Off"}));
}

}  // namespace
}  // namespace kmr
