#pragma once
// The CSV writer of the transfer, which reads the instrument one channel after the other:
// CreateCsvFiles lays out every line with its sample number and blanks, then WriteCsvColumn fills
// one channel's cells at their fixed offsets. Every part is written under a temporary name
// (NAME.csv.tmp) and gets its name from FinishCsvFiles: the final name when every value is in it,
// "NAME_incomplete.csv" when only some are (a cell of a sample that was not read stays blank), or
// none at all (the temporary file is removed) when there is nothing worth keeping.
#include <cstdint>
#include <string>
#include <vector>

#include "core/datafiles/Csv.h"

namespace kmr {

bool CreateCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                    CsvLayout& layout, CsvContext& ctx);
// Writes the first `n` samples of the k-th channel (only samples that were read: a channel cut
// short gives a smaller n and its later cells stay blank).
bool WriteCsvColumn(const CsvLayout& layout, int k, const SampleBuffer& samples, std::int32_t n, float coeff,
                    float offset, CsvContext& ctx);

// What becomes of the transfer's temporary files.
enum class CsvFinish {
    Complete,    // every value is in: the final names
    Incomplete,  // some values are in: the "_incomplete" names
    Discard,     // nothing to keep: removed
};
// Gives each part its name (or removes it); the paths kept are added to `kept`. False when a
// rename failed (shown through ctx.ui; the temporary file is then removed).
bool FinishCsvFiles(CsvLayout& layout, CsvFinish finish, CsvContext& ctx, std::vector<std::string>* kept = nullptr);

}  // namespace kmr
