#pragma once
// The cells of a CSV data line: 16 bytes each, the sample number left-aligned and blank-filled,
// then per channel "," + the value, blank-filled.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kmr {

inline constexpr std::size_t kCsvCellBytes = 16;

// The sample-number cells of consecutive lines, counted up in decimal text.
class CsvNumberCells {
public:
    explicit CsvNumberCells(std::int32_t first);
    const char* cell() const { return cell_; }
    void Next();

private:
    char cell_[kCsvCellBytes];
    int len_ = 0;
};

// The value of a raw word: raw * coeff + offset in double, rounded once to float.
inline float CsvCellValue(std::int16_t raw, float coeff, float offset) {
    return static_cast<float>(static_cast<double>(raw) * static_cast<double>(coeff) + static_cast<double>(offset));
}

// Fills the 16 bytes at `cell`: "," + FormatFloat's text of `v`, blank-filled. The digits of the
// common magnitudes come from a faster path; their layout is FormatFloat's own.
void PutCsvCell(char* cell, float v);

// Widens [lowest, highest] to take in the `n` samples.
void WidenSampleRange(const std::int16_t* samples, std::size_t n, std::int16_t& lowest, std::int16_t& highest);

// The value text of a cell (what PutCsvCell writes after the comma, without the blanks).
std::string FormatCellValue(float v);

class LargeMemory;

// The cells of one channel for every raw word; each of the 65536 is formatted the first time it
// is asked for.
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

}  // namespace kmr
