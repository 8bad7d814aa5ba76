#include "core/app/MainWindowRules.h"

#include "core/app/OpenRecord.h"
#include "core/datafiles/DataFileNaming.h"
#include "core/support/TextTable.h"

namespace kmr {

std::string StartStopCaption(Language lang, bool runActive) {
    return Text(lang, runActive ? txt::StopButton : txt::StartButton);
}

std::string MonitorButtonCaption(Language lang, bool monitoringOn) {
    return Text(lang, monitoringOn ? txt::MonitorOff : txt::MonitorOn);
}

MenuState UpdateMenus(const MainWindowState& s, Language lang) {
    MenuState m;
    m.StartCaption = StartStopCaption(lang, s.RunActive);
    m.MonitorCaption = MonitorButtonCaption(lang, s.MonitoringOn);
    m.MonitorChecked = s.MonitoringOn;
    m.Version = true;
    m.Connect = !s.RunActive;
    // Stored records are looked at on-line and off-line; a run's charts take their place.
    m.OpenDataFile = !s.RunActive;
    m.ExportCharts = s.RecordShown;
    m.ExportRange = s.RecordFileShown;

    const bool online = s.ProgramMode == 1;
    if (!online) {
        // Off-line: only what works without the instrument.
        m.ConvertingFile = true;
        m.Quit = true;
        return m;
    }
    if (s.RunActive) {
        // While the instrument records, only monitoring and stopping remain.
        m.Monitor = true;
        m.Start = true;
        m.MonitorButton = true;
        m.StartStopButton = true;
        return m;
    }
    m.DataFileSettings = m.MeasCondSettings = m.GraphCondSettings = true;
    m.ConvertingFile = m.Quit = true;
    m.Monitor = m.Balance = m.Start = true;
    m.Check = true;
    m.OutputCal = s.InstrumentModel == 1;
    m.BalanceButton = m.MonitorButton = m.StartStopButton = true;
    return m;
}

std::string MainCaptionText(Language lang, const CaptionState& s, bool nextFileForm) {
    if (s.ProgramMode == 0) return kMainCaptionName;
    const std::string extension = FileTypeExtension(s.FileType);
    std::string caption = std::string(kMainCaptionName) + " - ";
    if (nextFileForm) {
        caption += DataFileName(s.BaseFileName, s.DataFileNumber, extension);
        caption += "(" + Text(lang, txt::NextDataFile) + ")";
    } else {
        // Before any file was written (number 0) there is no previous number to name; the base
        // name alone is shown rather than a "_-1" that no file carries.
        const std::int32_t last = s.DataFileNumber > 0 ? s.DataFileNumber - 1 : 0;
        caption += DataFileName(s.BaseFileName, last, extension);
    }
    return caption;
}

MainWindowState WindowStateOf(const Engine& e) {
    const ProgramState& s = e.s;
    const bool record = e.chart.GraphMode() == kRecordedMode && s.DataPresent != kFalse;
    return {s.ProgramMode, s.RunActive(), s.MonitoringOn != kFalse, s.Instrument.InstrumentModel, record,
            record && !ShownRecordFile(s).empty()};
}

std::function<bool()> WhileWindowOffersTheSame(const Engine& e) {
    const MenuState seen = UpdateMenus(WindowStateOf(e), e.ui.language);
    const bool formOpen = e.forms.IsOpen();
    return [&e, seen, formOpen] {
        return e.forms.IsOpen() == formOpen && UpdateMenus(WindowStateOf(e), e.ui.language) == seen;
    };
}

void SetMainCaption(Engine& e, bool nextFileForm) {
    const CaptionState cs{e.s.ProgramMode, e.s.Global.BaseFileName, e.s.DataFileNumber, e.s.Global.FileType};
    e.main.SetCaption(MainCaptionText(e.ui.language, cs, nextFileForm));
}

void UpdateRunCaptions(Engine& e) {
    e.main.SetStartStopCaption(StartStopCaption(e.ui.language, e.s.RunActive()));
    e.main.SetMonitorCaption(MonitorButtonCaption(e.ui.language, e.s.MonitoringOn != kFalse));
}

}  // namespace kmr
