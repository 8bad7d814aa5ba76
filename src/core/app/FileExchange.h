#pragma once
// The conversion window's decisions: its two folders (reset when unusable before it opens, saved
// to Global.cnd when it closes), the two file lists with their columns, the checks on the data
// files, the CSV name box and the Convert button. The window forwards its events here and draws
// the lists and the name box from what this holds.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/app/Engine.h"
#include "core/app/FormRules.h"
#include "core/datafiles/Conversion.h"

namespace kmr {

// The menu item, before the window opens: each of the two folders that is not usable is reset to
// the documents folder's Data folder, and Global.cnd is saved after each reset.
void PrepareFileExchange(Engine& e);
// The menu item: nothing while another form is open; otherwise the folders are prepared, then the
// host marks the conversion window open (the main window disabled, its monitor paused). True
// when the window is to be shown.
bool OpenFileExchangeForm(Engine& e);

// One file of a list. Size and time are missing when the file's information cannot be read.
struct ListedFile {
    std::string name;
    std::optional<std::uint64_t> bytes;
    std::optional<std::int64_t> time;  // seconds since 1970 (UTC): creation, else modification
};

// The regular files of `folder` whose names end in `extension` (case ignored), sorted by name.
std::vector<ListedFile> ListFiles(const std::string& folder, const std::string& extension);

// The Size column: KB rounded up, digits grouped by `groupSeparator`, "KB" after ("5KB",
// "1,205,633KB"); empty when the size is unknown.
std::string SizeColumnText(const std::optional<std::uint64_t>& bytes, const std::string& groupSeparator);

// The CSV name box after a click on a CSV file: the name cut before its first ".csv" (case
// ignored) and ".csv" after it, when ".csv" occurs after the first character; nothing otherwise.
std::optional<std::string> CsvNameFromClick(const std::string& csvFileName);

// The one text box of the window: the CSV name.
enum class CsvNameField { Name };

// What the window shows while a batch runs; its name box is read through FormBoxes.
class FileExchangeView : public FormBoxes<CsvNameField> {
public:
    virtual void DataFileUnchecked(std::size_t row) = 0;
    virtual void CsvListChanged() = 0;
};

class FileExchangeForm : private ConversionView {
public:
    // The folders from SourcePathName and DestPathName; both lists are read.
    explicit FileExchangeForm(const GlobalSettings& g);

    const std::string& DataFolder() const { return dataFolder_; }
    const std::string& CsvFolder() const { return csvFolder_; }
    // The folder picker reported `folder` for `tag`: the folder box and its list follow. False
    // for a tag of another window.
    bool FolderChosen(const std::string& tag, const std::string& folder);

    const std::vector<ListedFile>& DataFiles() const { return dataFiles_; }
    const std::vector<ListedFile>& CsvFiles() const { return csvFiles_; }
    void RefreshDataList();
    void RefreshCsvList() override;

    // The checks on the data files (rows of DataFiles()). Every change sets the name box: one
    // checked file gives its name with ".csv", otherwise "*.csv" disabled.
    bool Checked(std::size_t row) const { return row < checked_.size() && checked_[row]; }
    void SetChecked(std::size_t row, bool on);
    void SetChecked(const std::vector<std::size_t>& rows, bool on);
    void SetAllChecked(bool on);
    std::vector<std::string> CheckedNames() const;

    const CsvNameBox& NameBox() const { return nameBox_; }
    // A click on a CSV file of the list.
    void ClickCsvFile(std::size_t row);
    // Leaving the name box (or Enter): the text accepted or "*.csv".
    void LeaveNameBox(const std::string& typed);

    // The Convert button: a name still being typed counts. Afterwards (when the batch started) the
    // converted files are unchecked
    // (the others stay checked and a message says how many were and were not converted), the
    // name box follows the checks ("*.csv" when none is left) and both lists are read again.
    ConversionOutcome Convert(UiPort& ui, ProgressView& progress, DrivePort& drive, FileExchangeView* view);

    // Closing: both folders (with their separator) into SourcePathName and DestPathName and
    // Global.cnd saved.
    void Close(Engine& e) const;

private:
    void UncheckDataFile(std::size_t index) override;
    void NameBoxFromChecks();
    static void ReportUnconverted(const ConversionOutcome& outcome, UiPort& ui);

    std::string dataFolder_;
    std::string csvFolder_;
    std::vector<ListedFile> dataFiles_;
    std::vector<ListedFile> csvFiles_;
    std::vector<bool> checked_;
    CsvNameBox nameBox_{"*.csv", false};
    std::vector<std::size_t> batchRows_;  // the rows of the checked files of the running batch
    FileExchangeView* view_ = nullptr;
};

}  // namespace kmr
