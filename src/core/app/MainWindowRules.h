#pragma once
// The rules of the main window that do not depend on how it is drawn: which menu items and
// buttons are available in which program state, and the texts of its caption and buttons.
#include <cstdint>
#include <functional>
#include <string>

#include "core/app/Engine.h"

namespace kmr {

// What the enabling rules look at.
struct MainWindowState {
    std::int16_t ProgramMode = 1;     // -1 starting, 1 on-line, 0 off-line
    bool RunActive = false;           // any of the three run flags is set
    bool MonitoringOn = false;
    std::int32_t InstrumentModel = 0;  // 0 KMR-530A, 1 KMR-510C
    bool RecordShown = false;          // the charts show a record, transferred or opened
    bool RecordFileShown = false;      // and a .kmr file holds it (not a CSV transfer)
};

// Enabled flags of every menu item and command button, the check mark of "Monitor" and the
// captions of the Start/Stop and Monitor controls.
struct MenuState {
    // File menu
    bool DataFileSettings = false;
    bool MeasCondSettings = false;
    bool GraphCondSettings = false;
    bool ConvertingFile = false;
    bool Quit = false;
    bool OpenDataFile = false;  // and the recent files under it: whenever no run is active
    bool ExportCharts = false;
    bool ExportRange = false;
    // Measurement menu
    bool Monitor = false;
    bool MonitorChecked = false;
    bool Balance = false;
    bool Start = false;
    std::string StartCaption;  // "Start" or "Stop" (menu item and button alike)
    // Option menu
    bool Check = false;
    bool OutputCal = false;
    bool Version = false;
    bool Connect = false;  // Option > Connect: whenever no run is active
    // Command buttons
    bool BalanceButton = false;
    bool MonitorButton = false;
    bool StartStopButton = false;
    std::string MonitorCaption;  // "Moni. On" while monitoring is off, "Moni. Off" while on

    bool operator==(const MenuState&) const = default;
};

// The enabling table as a pure function of the program state. The "starting" mode counts as
// off-line: nothing that needs the instrument is offered before start-up has finished.
MenuState UpdateMenus(const MainWindowState& s, Language lang);

// Button captions.
std::string StartStopCaption(Language lang, bool runActive);        // text 160 while a run is active, else 159
std::string MonitorButtonCaption(Language lang, bool monitoringOn);  // text 147 while on, else 148

// What the caption needs to name the data file.
struct CaptionState {
    std::int16_t ProgramMode = 1;
    std::string BaseFileName;
    std::int32_t DataFileNumber = 0;
    std::int16_t FileType = 0;  // 0 ".kmr", 1 ".csv"
};

// "KMR-5300" off-line; otherwise "KMR-5300 - " and, in the next-file form, the name of the file the
// next run writes followed by "(Next data file)", or in the current-file form the name of the file
// the last run wrote (the number before the current one).
std::string MainCaptionText(Language lang, const CaptionState& s, bool nextFileForm);

// What the menu rules look at, from the program state and the charts (for UpdateMenus when a
// menu opens).
MainWindowState WindowStateOf(const Engine& e);

// For a click held while a timer tick waits for the instrument: true as long as the main window
// offers what it offered when the click came and no form has opened since (a tick that ended the
// run has turned Stop into Start, and the click no longer means what it meant).
std::function<bool()> WhileWindowOffersTheSame(const Engine& e);

// Sets the main window's caption in the next-file or current-file form.
void SetMainCaption(Engine& e, bool nextFileForm);
// Sets the captions of the Start/Stop and Monitor buttons from the run and monitor flags.
void UpdateRunCaptions(Engine& e);

// The program name used alone and at the start of every caption.
inline constexpr const char* kMainCaptionName = "KMR-5300";

}  // namespace kmr
