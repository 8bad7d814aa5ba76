#include "core/app/SaveProblems.h"

#include "core/datafiles/FileIo.h"

namespace kmr {

void SaveProblems::Report(UiPort& ui) {
    if (failures_.empty()) return;
    std::string text;
    for (const SaveResult& r : failures_) {
        if (!text.empty()) text += "\r\n";
        // In the program's language, the reason too where it has words for it (as the data
        // files' messages say theirs).
        const char* ja = ui.language == Language::Japanese ? JapaneseErrorDescription(r.error) : nullptr;
        text += ja ? TextWith(ui.language, txt::CannotWriteFile, {r.path, ja}) : SaveFailureText(ui.language, r);
    }
    ui.ShowMessage(text, ui.Text(txt::ErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    failures_.clear();
}

void ReportDamagedConditionFiles(ProgramState& s, UiPort& ui) {
    if (s.DamagedConditionFiles.empty()) return;
    std::string reset, left;
    for (const DamagedConditionFile& d : s.DamagedConditionFiles) {
        if (d.copy.empty())
            left += "\r\n" + d.file;
        else
            reset += "\r\n" + d.file + " -> " + d.copy;
    }
    s.DamagedConditionFiles.clear();
    std::string text;
    if (!reset.empty()) text = ui.Text(txt::ConditionFilesReset) + reset;
    if (!left.empty()) text += (text.empty() ? "" : "\r\n\r\n") + ui.Text(txt::ConditionFilesLeftAsTheyWere) + left;
    ui.ShowMessage(text, ui.Text(txt::CautionTitle), MsgIcon::Exclamation, MsgButtons::Ok);
}

}  // namespace kmr
