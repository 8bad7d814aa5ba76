#pragma once
// CSV data files: 18 header lines repeating the conditions, then one fixed-width line per sample,
// 16 characters for the sample number and 16 per enabled channel ("," + value, blank-filled),
// ended by CR LF. Above 65000 samples per channel the lines go into parts _A, _B ... each with the
// full header; sample numbers continue across parts. Texts are UTF-8, so a non-ASCII unit or
// trigger-mode name takes its UTF-8 bytes and later lines still start where their byte offsets say.
//
// Two writers produce the same bytes: column by column (CsvColumnWriter.h, the transfer's order)
// and line by line (CsvLineWriter.h, the conversion's). Both create every file new under a
// temporary name beside its own (an existing name is never written) and give it its name only when
// it is complete, count the progress units of the column-by-column order (one per laid-out line
// and one per value) and stop at once on a cancel. A file-system error shows its message, sets
// status to Cancelled and returns false.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/datafiles/CsvCells.h"
#include "core/datafiles/DataFile.h"
#include "core/support/Progress.h"
#include "core/support/RunStatus.h"
#include "core/support/TextTable.h"
#include "core/support/UiPort.h"

namespace kmr {

// One CSV file holds at most this many lines of samples: a longer record goes into parts.
inline constexpr std::int32_t kCsvLinesPerPart = 65000;
// A recording stored as CSV fits one file: its memory words are at most one part's lines.
inline constexpr std::int32_t kLargestCsvWords = kCsvLinesPerPart;

struct CsvPart {
    std::string path;
    std::int32_t firstSample = 0;
    std::int32_t lines = 0;
    // The name the part gets when it is complete, while `path` is a temporary name; empty when
    // the part is written under its own name.
    std::string finalPath;
};

// The name that says a CSV file holds only part of its samples: "NAME_incomplete.csv" for
// "NAME.csv" (a part "NAME_A.csv" becomes "NAME_A_incomplete.csv").
std::string IncompleteCsvPath(const std::string& finalPath);

// Where everything goes: remembered by CreateCsvFiles for WriteCsvColumn.
struct CsvLayout {
    std::vector<CsvPart> parts;
    int channels = 0;          // K
    std::size_t lineBytes = 0; // 16 * (K + 1) + 2
    std::string header;        // the 18 header lines, the same in every part
    std::int64_t FirstDataOffset() const { return static_cast<std::int64_t>(header.size()); }
};

// The 18 header lines for the conditions: the trigger-mode name in `textLanguage`, the unit names
// of `unitLanguage`.
std::string CsvHeaderText(const FileConditions& fc, Language textLanguage, Language unitLanguage);
// The layout of `folder` + `fileName` (which ends in ".csv") for fc's channels and N, its header
// in `lang`; with `first` and `samples`, for the lines of samples first .. first + samples - 1
// (a part of the file, numbered as in the whole).
CsvLayout PlanCsvFiles(Language lang, const std::string& folder, const std::string& fileName,
                       const FileConditions& fc);
CsvLayout PlanCsvFiles(Language lang, const std::string& folder, const std::string& fileName,
                       const FileConditions& fc, std::int32_t first, std::int32_t samples);
// The part files of that many samples: the file itself, or "_A", "_B" ... of 65000 lines each;
// their sample numbers start at `first`.
std::vector<CsvPart> CsvPartsOf(const std::string& folder, const std::string& fileName, std::int32_t samples,
                                std::int32_t first = 0);

// A CSV file being written from its start to its end.
class CsvOutputFile {
public:
    virtual ~CsvOutputFile() = default;
    // Writes all bytes after those written so far; false with error() set on failure.
    virtual bool Append(const void* data, std::size_t size) = 0;
    // Closes; false when the close reported a write error.
    virtual bool Close() = 0;
    virtual int error() const = 0;
};

// Where the line writer creates its files: the file system, or in tests a disk that fills up.
// May be called from two threads at once.
class CsvFileWriter {
public:
    virtual ~CsvFileWriter() = default;
    // Creates `path` new (an existing name is refused); nullptr with `err` set on failure.
    virtual std::unique_ptr<CsvOutputFile> CreateNew(const std::string& path, int& err) = 0;
    // Removes a file this writer created; true when it is gone.
    virtual bool Remove(const std::string& path) = 0;
    // Gives a complete file written under a temporary name its final name, never replacing a
    // file: 0 or the system's error number (the file system's CommitTemporary unless replaced).
    virtual int Commit(const std::string& temporaryPath, const std::string& finalPath);
};

// The file system.
class SystemCsvFileWriter final : public CsvFileWriter {
public:
    std::unique_ptr<CsvOutputFile> CreateNew(const std::string& path, int& err) override;
    bool Remove(const std::string& path) override;
};

// What the CSV operations need from their caller.
struct CsvContext {
    UiPort& ui;
    RunStatus& status;
    Progress& progress;
    ProgressView& view;
    CsvFileWriter* files = nullptr;              // the file system when not given
    std::vector<std::string>* written = nullptr; // when given: the paths of the files written
    FileWritePort* writes = nullptr;             // asked before each write of the transfer's files
};

// Counts `units` CSV progress units at once, exactly as that many Progress::CountUnit calls would;
// false when a cancel was seen at a yield point.
bool CountCsvUnits(Progress& progress, ProgressView& view, RunStatus& status, std::int64_t units);

}  // namespace kmr
