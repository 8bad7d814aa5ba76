#pragma once
// Output-calibration settings per channel and OutputCal.cnd.
#include <array>
#include <cstdint>
#include <string>

#include "core/support/CndFile.h"

namespace kmr {

struct OutputCalCondition {
    std::int16_t Use = 0;
    float Value = 0.0f;

    bool operator==(const OutputCalCondition&) const = default;
};

using OutputCalConditions = std::array<OutputCalCondition, 10>;  // entry 0 is channel 1

LoadResult LoadOutputCal(const std::string& path, OutputCalConditions& c, FileWritePort* writes);
SaveResult SaveOutputCal(const std::string& path, const OutputCalConditions& c, FileWritePort* writes);

}  // namespace kmr
