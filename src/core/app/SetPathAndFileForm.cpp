#include "core/app/SetPathAndFileForm.h"

#include "core/app/FileExchange.h"
#include "core/app/MainWindowRules.h"
#include "core/app/OpenRecord.h"
#include "core/app/Startup.h"
#include "core/app/TransferNames.h"
#include "core/datafiles/DataFileNaming.h"
#include "core/support/Numbers.h"

namespace kmr {

SetPathAndFileForm::SetPathAndFileForm(const GlobalSettings& settings, std::int32_t dataFileNumber,
                                       std::int32_t memoryWords)
    : folder_(settings.DataFolder),
      base_(settings.BaseFileName),
      fileType_(settings.FileType == kFileTypeCsv ? kFileTypeCsv : kFileTypeBinary),
      memoryWords_(memoryWords) {
    // The box shows the name of the next file, its number included.
    accepted_ = DataFileName(base_, dataFileNumber, Extension());
}

std::string SetPathAndFileForm::RefusalMessage(Language lang) const {
    return NameRefusalText(lang, refused_, Extension());
}

std::string SetPathAndFileForm::Extension() const { return FileTypeExtension(fileType_); }

bool SetPathAndFileForm::CommitName(std::string_view typed, UiPort* ui) {
    const kmr::AcceptedName a = AcceptDataFileName(std::string(typed), accepted_, Extension());
    lastRefusal_ = a.refusal;
    refused_ = a;
    if (!a.accepted) {
        if (ui != nullptr && !RefusalMessage(ui->language).empty())
            ui->ShowMessage(RefusalMessage(ui->language), ui->Text(txt::SettingErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
        return false;
    }
    accepted_ = a.text;
    base_ = a.baseName;
    return true;
}

bool SetPathAndFileForm::ChooseFileType(int type, UiPort& ui, Language lang) {
    if (type == kFileTypeCsv && memoryWords_ > kLargestCsvWords) {
        fileType_ = kFileTypeBinary;
        ui.ShowMessage(CsvCautionText(lang), Text(lang, txt::CautionTitle), MsgIcon::Exclamation, MsgButtons::Ok);
        return false;
    }
    fileType_ = type == kFileTypeCsv ? kFileTypeCsv : kFileTypeBinary;
    accepted_ = base_ + Extension();
    return true;
}

std::vector<std::string> SetPathAndFileForm::FileList() const {
    std::vector<std::string> names;
    for (ListedFile& f : ListFiles(folder_, Extension())) names.push_back(std::move(f.name));
    return names;
}

bool SetPathAndFileForm::Changed(const GlobalSettings& settings) const {
    return folder_ != settings.DataFolder || base_ != settings.BaseFileName || fileType_ != settings.FileType;
}

std::string CsvCautionText(Language lang) {
    return Text(lang, txt::TooManyWordsStart) + FormatInt(kLargestCsvWords) + " " + Text(lang, txt::WordsUnit) + Text(lang, txt::TooManyWordsEnd) + "\r\n" +
           Text(lang, txt::CsvNotAFileType);
}

std::string NumberedNameQuestion(Language lang, const std::string& base, std::int32_t number,
                                 const std::string& extension) {
    return Text(lang, txt::DataFileNameExists) + "\r\n" + Text(lang, txt::ConfirmFileNameStart) + " '" + base + "_" + FormatInt(number) + extension + "' " +
           Text(lang, txt::ConfirmFileNameEnd);
}

FormOutcome SetPathAndFileOk(Engine& e, SetPathAndFileForm& form, Language lang, const std::function<void()>& disable) {
    ProgramState& s = e.s;
    if (!form.Changed(s.Global)) return FormOutcome::Close;
    if (!AskToRenew(e.ui, lang)) return FormOutcome::StayOpen;
    const std::int32_t number =
        NextFreeNumber(form.Folder(), form.BaseName(), form.FileType(), s.Meas.MemoryWords);
    if (number != 0 &&
        e.ui.ShowMessage(NumberedNameQuestion(lang, form.BaseName(), number, form.Extension()), Text(lang, txt::RegistrationButton),
                         MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes)
        return FormOutcome::StayOpen;

    if (disable) disable();
    e.ui.SetPointer(Pointer::Hourglass);
    s.Global.DataFolder = form.Folder();
    s.Global.FileType = form.FileType();
    s.DataFileNumber = number;
    s.Global.BaseFileName = form.BaseName();
    SaveProblems problems;
    problems.Add(SaveGlobalSettings(s.CondPath(kGlobalCnd), s.Global, s.Writes));
    e.ui.SetPointer(Pointer::Default);
    problems.Report(e.ui);
    return FormOutcome::Applied;
}

void SetPathAndFileClosed(Engine& e) {
    // A stored record on the charts keeps its name in the caption: the next file's name would put
    // another file's name over the record and its conditions.
    if (e.s.OpenedRecord) {
        e.main.SetCaption(StoredRecordCaption(e.s.OpenedRecord->path));
        return;
    }
    SetMainCaption(e, true);
}

}  // namespace kmr
