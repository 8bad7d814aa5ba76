#pragma once
// The CSV writer of the transfer, which reads the instrument one channel after the other:
// CreateCsvFiles lays out every line with its sample number and blanks, then WriteCsvColumn fills
// one channel's cells at their fixed offsets.
#include <cstdint>
#include <string>

#include "core/datafiles/Csv.h"

namespace kmr {

bool CreateCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                    CsvLayout& layout, CsvContext& ctx);
bool WriteCsvColumn(const CsvLayout& layout, int k, const SampleBuffer& samples, std::int32_t n, float coeff,
                    float offset, CsvContext& ctx);

}  // namespace kmr
