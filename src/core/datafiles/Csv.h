#pragma once
// CSV data files: 18 header lines repeating the conditions, then one fixed-width line per sample,
// 16 characters for the sample number and 16 per enabled channel ("," + value, blank-filled),
// ended by CR LF. Above 65000 samples per channel the lines go into parts _A, _B ... each with the
// full header; sample numbers continue across parts. Texts are UTF-8, so a non-ASCII unit or
// trigger-mode name takes its UTF-8 bytes and later lines still start where their byte offsets say.
//
// Two ways produce the same bytes:
//  - column by column, as the transfer does while it reads one channel after the other from the
//    instrument: CreateCsvFiles lays out every line with its sample number and blanks, then
//    WriteCsvColumn fills one channel's cells at their fixed offsets;
//  - line by line, as the conversion does with every channel of a data file at hand: WriteCsvFiles
//    writes each part whole, from first line to last (two parts at once where the machine has two
//    processors).
// Both create every file new (an existing name is never written), count the progress units of the
// column-by-column order (one per laid-out line and one per value) and stop at once on a cancel;
// a cancelled CSV file keeps what was written. A file-system error shows its message, sets
// status to Cancelled and returns false.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/datafiles/DataFile.h"
#include "core/support/Progress.h"
#include "core/support/RunStatus.h"
#include "core/support/TextTable.h"
#include "core/support/UiPort.h"

namespace kmr {

inline constexpr std::int32_t kCsvLinesPerPart = 65000;
inline constexpr std::size_t kCsvCellBytes = 16;

struct CsvPart {
    std::string path;
    std::int32_t firstSample = 0;
    std::int32_t lines = 0;
};

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
// The layout of `folder` + `fileName` (which ends in ".csv") for fc's channels and N, in the
// active text language.
CsvLayout PlanCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc);

class LargeMemory;

// The cells of one channel: "," + the value of each raw word (raw * coeff + offset in double,
// rounded once to float, then FormatFloat), blank-filled to 16 bytes. Each of the 65536 cells is
// formatted the first time it is asked for.
class CsvCellTable {
public:
    CsvCellTable(float coeff, float offset);
    ~CsvCellTable();
    CsvCellTable(const CsvCellTable&) = delete;
    CsvCellTable& operator=(const CsvCellTable&) = delete;

    const char* Cell(std::int16_t raw) {
        const auto i = static_cast<std::uint16_t>(raw);
        if (!(filled_[i >> 6] & (1ull << (i & 63)))) Fill(i);
        return cells_ + static_cast<std::size_t>(i) * kCsvCellBytes;
    }

private:
    void Fill(std::uint16_t i);
    float coeff_, offset_;
    std::unique_ptr<LargeMemory> memory_;
    char* cells_;
    std::vector<std::uint64_t> filled_;
};

// The value text of a cell: always the text of FormatFloat, produced faster for common magnitudes.
std::string FormatCellValue(float v);

// What the CSV operations need from their caller.
struct CsvContext {
    UiPort& ui;
    RunStatus& status;
    Progress& progress;
    ProgressView& view;
};

// Counts `units` CSV progress units at once, exactly as that many Progress::CountUnit calls would;
// false when a cancel was seen at a yield point.
bool CountCsvUnits(Progress& progress, ProgressView& view, RunStatus& status, std::int64_t units);

// Column by column.
bool CreateCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                    CsvLayout& layout, CsvContext& ctx);
bool WriteCsvColumn(const CsvLayout& layout, int k, const SampleBuffer& samples, std::int32_t n, float coeff,
                    float offset, CsvContext& ctx);

// Line by line, from all channels at hand: the part files are written whole, one after the
// other, or two at a time on a machine with more than one processor. The progress units are those
// of column by column and are counted on the calling thread, which alone talks to `ctx`; after a
// cancel no new lines are started and every file written so far holds the header and whole lines.
//
// Where the line writer takes its samples from; Read may be called from two threads at once.
class CsvSampleSource {
public:
    virtual ~CsvSampleSource() = default;
    // Copies samples [first, first + count) of the k-th enabled channel to `dest`: 0, a system
    // error number, or -1 when the samples are not there.
    virtual int Read(int k, std::int32_t first, std::int32_t count, std::int16_t* dest) const = 0;
    // The file named in the message of a failed Read.
    virtual const std::string& Name() const = 0;
};

bool WriteCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                   const CsvSampleSource& source, CsvContext& ctx);
// `channels[k]` holds (at least) the N samples of the k-th enabled channel.
bool WriteCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                   const std::vector<std::span<const std::int16_t>>& channels, CsvContext& ctx);
bool WriteCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                   const std::vector<SampleBuffer>& channels, CsvContext& ctx);

}  // namespace kmr
