#include "core/app/FileExchange.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/app/Startup.h"
#include "core/conditions/GlobalSettings.h"
#include "core/datafiles/FileIo.h"
#include "core/datafiles/PathPicker.h"
#include "core/support/Numbers.h"
#include "core/support/SpecialFolders.h"

namespace kmr {

void PrepareFileExchange(Engine& e) {
    ProgramState& s = e.s;
    SaveProblems problems;
    std::vector<std::string> gone;
    for (std::string* folder : {&s.Global.SourcePathName, &s.Global.DestPathName}) {
        if (FolderUsable(*folder)) continue;
        if (!folder->empty() && *folder != s.DefaultDataFolder()) gone.push_back(*folder);
        *folder = s.DefaultDataFolder();
        problems.Add(SaveGlobalSettings(s.CondPath(kGlobalCnd), s.Global, s.Writes));
    }
    problems.Report(e.ui);
    // A folder chosen on a drive not attached now (a share, a USB disk) is said, as start-up says
    // it of the data folder: the files would otherwise be read from, or written to, the default
    // folder without a word.
    for (std::size_t i = 0; i < gone.size(); ++i) {
        if (i > 0 && gone[i] == gone[0]) continue;  // both the same folder: said once
        e.ui.ShowMessage(TextWith(e.ui.language, txt::ConversionFolderReplaced, {gone[i], s.DefaultDataFolder()}),
                         e.ui.Text(txt::CautionTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    }
}

bool OpenFileExchangeForm(Engine& e) {
    if (e.forms.IsOpen()) return false;
    PrepareFileExchange(e);
    return e.forms.Open(FormId::FileExchange);
}

std::vector<ListedFile> ListFiles(const std::string& folder, const std::string& extension) {
    std::vector<ListedFile> files;
    std::error_code ec;
    const std::string tail = ToLowerAscii(extension);
    for (std::filesystem::directory_iterator it(PathFromUtf8(folder), ec), end; !ec && it != end; it.increment(ec)) {
        const std::u8string raw = it->path().filename().u8string();
        const std::string name(raw.begin(), raw.end());
        if (name.size() < tail.size() || ToLowerAscii(name.substr(name.size() - tail.size())) != tail) continue;
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;  // folders, FIFOs and devices are no data files
        ListedFile file{name, std::nullopt, std::nullopt};
        FileStamp stamp;
        if (ReadFileStamp(WithTrailingSeparator(folder) + name, stamp)) {
            file.bytes = stamp.bytes;
            file.time = stamp.time;
        }
        files.push_back(std::move(file));
    }
    std::sort(files.begin(), files.end(), [](const ListedFile& a, const ListedFile& b) {
        const std::string la = ToLowerAscii(a.name), lb = ToLowerAscii(b.name);
        return la != lb ? la < lb : a.name < b.name;
    });
    return files;
}

std::string SizeColumnText(const std::optional<std::uint64_t>& bytes, const std::string& groupSeparator) {
    if (!bytes) return {};
    const std::string digits = std::to_string(SizeInKB(*bytes));
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += groupSeparator;
        out += digits[i];
    }
    return out + "KB";
}

std::optional<std::string> CsvNameFromClick(const std::string& csvFileName) {
    const std::size_t at = ToLowerAscii(csvFileName).find(".csv");
    if (at == std::string::npos || at == 0) return std::nullopt;
    return csvFileName.substr(0, at) + ".csv";
}

FileExchangeForm::FileExchangeForm(const GlobalSettings& g)
    : dataFolder_(g.SourcePathName), csvFolder_(g.DestPathName) {
    RefreshDataList();
    RefreshCsvList();
}

bool FileExchangeForm::FolderChosen(const std::string& tag, const std::string& folder) {
    if (tag == kConvertDataFolderTag) {
        dataFolder_ = folder;
        RefreshDataList();
        NameBoxFromChecks();
        return true;
    }
    if (tag == kConvertCsvFolderTag) {
        csvFolder_ = folder;
        RefreshCsvList();
        return true;
    }
    return false;
}

void FileExchangeForm::RefreshDataList() {
    // Checks stay with the files that are still there.
    const std::vector<std::string> before = CheckedNames();
    dataFiles_ = ListFiles(dataFolder_, ".kmr");
    checked_.assign(dataFiles_.size(), false);
    for (std::size_t i = 0; i < dataFiles_.size(); ++i)
        checked_[i] = std::find(before.begin(), before.end(), dataFiles_[i].name) != before.end();
}

void FileExchangeForm::RefreshCsvList() {
    csvFiles_ = ListFiles(csvFolder_, ".csv");
    if (view_ != nullptr) view_->CsvListChanged();
}

void FileExchangeForm::SetChecked(std::size_t row, bool on) { SetChecked(std::vector<std::size_t>{row}, on); }

void FileExchangeForm::SetChecked(const std::vector<std::size_t>& rows, bool on) {
    for (std::size_t row : rows)
        if (row < checked_.size()) checked_[row] = on;
    NameBoxFromChecks();
}

void FileExchangeForm::SetAllChecked(bool on) {
    checked_.assign(dataFiles_.size(), on);
    NameBoxFromChecks();
}

std::vector<std::string> FileExchangeForm::CheckedNames() const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < checked_.size() && i < dataFiles_.size(); ++i)
        if (checked_[i]) names.push_back(dataFiles_[i].name);
    return names;
}

void FileExchangeForm::NameBoxFromChecks() { nameBox_ = CsvNameBoxForChecked(CheckedNames()); }

void FileExchangeForm::ClickCsvFile(std::size_t row) {
    if (row >= csvFiles_.size()) return;
    if (auto name = CsvNameFromClick(csvFiles_[row].name)) nameBox_.text = *name;
}

void FileExchangeForm::LeaveNameBox(const std::string& typed) { nameBox_.text = AcceptCsvName(typed); }

ConversionOutcome FileExchangeForm::Convert(UiPort& ui, ProgressView& progress, DrivePort& drive,
                                            FileExchangeView* view) {
    if (view != nullptr)
        EnterBoxBeingEdited(*view, [&](CsvNameField f) {
            LeaveNameBox(view->Typed(f));
            return true;
        });
    dataFolder_ = WithTrailingSeparator(dataFolder_);
    csvFolder_ = WithTrailingSeparator(csvFolder_);
    ConversionRequest request{dataFolder_, csvFolder_, {}, {}, nameBox_.text};
    batchRows_.clear();
    for (std::size_t i = 0; i < checked_.size(); ++i) {
        if (!checked_[i]) continue;
        batchRows_.push_back(i);
        request.checkedNames.push_back(dataFiles_[i].name);
        request.checkedSizesKB.push_back(dataFiles_[i].bytes ? static_cast<double>(SizeInKB(*dataFiles_[i].bytes)) : 1.0);
    }
    view_ = view;
    ConversionPorts ports{ui, progress, *this, drive};
    RunStatus status = RunStatus::Ok;
    const ConversionOutcome outcome = kmr::Convert(request, ports, status);
    view_ = nullptr;
    batchRows_.clear();
    if (outcome.started) {
        RefreshDataList();
        RefreshCsvList();
        NameBoxFromChecks();
        if (CheckedNames().empty()) nameBox_.text = "*.csv";
        ReportUnconverted(outcome, ui);
    }
    return outcome;
}

void FileExchangeForm::ReportUnconverted(const ConversionOutcome& outcome, UiPort& ui) {
    const auto converted = std::count(outcome.converted.begin(), outcome.converted.end(), true);
    const auto notConverted = static_cast<std::ptrdiff_t>(outcome.converted.size()) - converted;
    if (notConverted == 0) return;
    ui.ShowMessage(
        TextWith(ui.language, txt::ConvertedCount, {std::to_string(converted), std::to_string(notConverted)}),
        ui.Text(txt::ConfirmationTitle), MsgIcon::Information, MsgButtons::Ok);
}

void FileExchangeForm::UncheckDataFile(std::size_t index) {
    if (index >= batchRows_.size()) return;
    const std::size_t row = batchRows_[index];
    if (row < checked_.size()) checked_[row] = false;
    if (view_ != nullptr) view_->DataFileUnchecked(row);
}

void FileExchangeForm::Close(Engine& e) const {
    ProgramState& s = e.s;
    s.Global.SourcePathName = WithTrailingSeparator(dataFolder_);
    s.Global.DestPathName = WithTrailingSeparator(csvFolder_);
    SaveProblems problems;
    problems.Add(SaveGlobalSettings(s.CondPath(kGlobalCnd), s.Global, s.Writes));
    problems.Report(e.ui);
}

}  // namespace kmr
