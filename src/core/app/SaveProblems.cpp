#include "core/app/SaveProblems.h"

#include <string_view>

namespace kmr {

void SaveProblems::Report(UiPort& ui) {
    if (failures_.empty()) return;
    std::string text;
    for (const SaveResult& r : failures_) {
        if (!text.empty()) text += "\r\n";
        // In the program's language (the system's reason as the system gives it).
        text += SaveFailureText(ui.language, r);
    }
    ui.ShowMessage(text, ui.Text(txt::ErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    failures_.clear();
}

void ReportDamagedConditionFiles(ProgramState& s, UiPort& ui) {
    if (s.DamagedConditionFiles.empty()) return;
    std::string text = ui.Text(txt::ConditionFilesReset);
    for (const std::string& copy : s.DamagedConditionFiles) {
        const std::string file = copy.substr(0, copy.size() - std::string_view(".damaged").size());
        text += "\r\n" + file + " -> " + copy;
    }
    s.DamagedConditionFiles.clear();
    ui.ShowMessage(text, ui.Text(txt::CautionTitle), MsgIcon::Exclamation, MsgButtons::Ok);
}

}  // namespace kmr
