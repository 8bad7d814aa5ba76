#pragma once
// Converting stored .kmr data files into CSV files without the instrument: the checks before a
// batch (something checked, free space on the CSV drive, CSV names that are proper and not taken,
// a writable CSV folder), then each checked file in list order with the shared progress window.
// A cancel, a refused data file or a file-system error stops the file and every later file of the
// batch (the status is reset only when a batch starts); nothing of the file in progress is left
// under a CSV name. Each file converted is unchecked; the others stay checked.
//
// The conversion window only forwards its events here and implements ConversionView; the command
// line tool uses the same calls.
#include <cstdint>
#include <string>
#include <vector>

#include "core/datafiles/CsvLineWriter.h"
#include "core/datafiles/DataFile.h"
#include "core/datafiles/Subset.h"
#include "core/support/Progress.h"
#include "core/support/RunStatus.h"
#include "core/support/UiPort.h"

namespace kmr {

// The least free space on the CSV drive before a batch starts.
inline constexpr std::int64_t kLeastCsvDriveBytes = 1000000;

// The drive checks, replaceable in tests.
class DrivePort {
public:
    virtual ~DrivePort() = default;
    // Free bytes available in `folder`; negative when they cannot be determined.
    virtual std::int64_t FreeBytes(const std::string& folder) = 0;
    // Creates a test file in `folder` and removes it again; true when that worked.
    virtual bool WriteTest(const std::string& folder) = 0;
};

// The real file system: std::filesystem::space and a uniquely named test file (an existing file
// of the user is never touched).
class SystemDrivePort : public DrivePort {
public:
    std::int64_t FreeBytes(const std::string& folder) override;
    bool WriteTest(const std::string& folder) override;
};

// What the window shows as a batch goes on.
class ConversionView {
public:
    virtual ~ConversionView() = default;
    // The checked file at `index` (position in the request's checked list) was converted and is
    // unchecked.
    virtual void UncheckDataFile(std::size_t index) = 0;
    // The CSV folder's listing may have changed.
    virtual void RefreshCsvList() {}
};

struct ConversionRequest {
    std::string dataFolder;                // a trailing separator is added when missing
    std::string csvFolder;
    std::vector<std::string> checkedNames; // data file names in list order; empty = nothing checked
    std::vector<double> checkedSizesKB;    // parallel sizes in KB (1 when unknown)
    std::string csvName;                   // the typed CSV name, used when one file is checked
};

struct ConversionOutcome {
    bool started = false;          // the checks passed and files were processed
    std::vector<bool> converted;   // per checked file
    std::vector<std::vector<std::string>> csvFiles;  // per checked file: the CSV files written
    bool AllConverted() const;
};

// The ports one batch uses.
struct ConversionPorts {
    UiPort& ui;
    ProgressView& progressView;
    ConversionView& view;
    DrivePort& drive;
    CsvFileWriter* files = nullptr;  // where the CSV files are made; the file system when not given
    FileWritePort* writes = nullptr; // asked before each write of an HDF5 file
};

// What a conversion writes: CSV (the original's format) or HDF5 (Hdf5Export.h), of the whole file
// or of some channels and a time range (Subset.h).
enum class ExportFormat { Csv, Hdf5 };
struct ConversionOptions {
    ExportFormat format = ExportFormat::Csv;
    ConversionSubset subset;
    bool compress = false;  // HDF5: deflate
    std::string model;      // HDF5: the instrument's model when the caller knows it
    // A cancelled or unfinished data file is converted too: its whole channels
    // (ReadWholeChannelsHeader); a complete file is converted whole as ever.
    bool wholeChannels = false;
    // Said when a cancelled or unfinished file with whole channels is refused: where they can be
    // had (the window's menu items by default; kmr convert names its option).
    int incompleteFileAdvice = txt::WholeChannelsInWindow;
};
// The extension of the files of a format: ".csv" or ".h5".
const char* ExportExtension(ExportFormat format);

// The Convert button: status reset, hourglass, nothing checked (119), then ConvertItems.
ConversionOutcome Convert(const ConversionRequest& request, ConversionPorts& ports, RunStatus& status);

// One file of a batch, with its own CSV folder (the command line converts files of several
// folders at once).
struct ConversionItem {
    std::string dataPath;
    std::string csvFolder;  // ends with the separator
    std::string csvName;    // ends in ".csv"
    double sizeKB = 1.0;
};
// The checks and conversions of a batch, in order: free space of every CSV folder (130, 131), the
// CSV names (140 for an improper typed name when `typedName`; 141, with the name, when a name or
// one of its lettered parts exists or two files of the batch would write the same name), the
// write test of every CSV folder (Retry/Cancel), then each file in order. Does not reset status.
ConversionOutcome ConvertItems(const std::vector<ConversionItem>& items, bool typedName, ConversionPorts& ports,
                               RunStatus& status);
// The same with a format and a subset; each item's csvName then ends in the format's extension.
// For HDF5 a name is taken when that file exists.
ConversionOutcome ConvertItems(const std::vector<ConversionItem>& items, bool typedName, ConversionPorts& ports,
                               RunStatus& status, const ConversionOptions& options);

// Free space of the CSV folder: below 0 text 130, below 1000000 bytes text 131 (title 114).
bool CheckCsvDrive(const std::string& csvFolder, DrivePort& drive, UiPort& ui);

// One data file into CSV under `csvFolder` + `csvName` (parts when N exceeds 65000); true when
// every byte was written. Does nothing beyond reading the header when status is already Cancelled.
// A write or read error removes the CSV files of this data file again (a cancel keeps them). A
// data file of another length than its header implies is converted after a caution naming both.
// A data file that is gone or a folder is said plainly (as opening it says).
// `written`, when given, receives the paths of the CSV files left on disk.
bool ConvertDataFile(const std::string& dataPath, const std::string& csvFolder, const std::string& csvName,
                     Progress& progress, ProgressView& view, UiPort& ui, RunStatus& status,
                     CsvFileWriter* files = nullptr, std::vector<std::string>* written = nullptr);
// The same in a format and for a subset (the whole file by default); `name` ends in the format's
// extension. A subset that does not fit the file is refused with its reason (nothing written).
// `writes` is asked before each write of an HDF5 file.
bool ConvertDataFile(const std::string& dataPath, const std::string& folder, const std::string& name,
                     const ConversionOptions& options, Progress& progress, ProgressView& view, UiPort& ui,
                     RunStatus& status, CsvFileWriter* files = nullptr, std::vector<std::string>* written = nullptr,
                     FileWritePort* writes = nullptr);

// The expected progress steps of one file: N/1000 + 2*K*N/1000 + 1, halves to even.
std::int16_t ConversionStepCount(std::int32_t wordsConverted, std::int32_t channelCount,
                                 const Progress& progress);

// --- Small rules of the conversion window ------------------------------------------------------------
// A file size in KB as the lists show it: bytes / 1024, one more for a remainder.
std::int64_t SizeInKB(std::uint64_t bytes);
// A data file's name without its ".kmr" (any case); a name without it whole.
std::string DataFileStem(const std::string& dataFileName);
// The CSV name of a data file in a batch: its stem + ".csv".
std::string CsvNameForDataFile(const std::string& dataFileName);
// The name box after checking: one file "name.csv" (its last ".kmr" replaced, case ignored; empty
// when it does not end in ".kmr"; each character a typed name may not hold, such as a blank,
// made "_", so that the name proposed is one the conversion takes); otherwise "*.csv" and the box
// is disabled.
struct CsvNameBox {
    std::string text;
    bool enabled = false;
};
CsvNameBox CsvNameBoxForChecked(const std::vector<std::string>& checkedNames);
// The name box after leaving it: trimmed; "*.csv" when improper; ".csv" appended when missing.
std::string AcceptCsvName(const std::string& typed);

}  // namespace kmr
