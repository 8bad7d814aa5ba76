#pragma once
// The measurement conditions: the program-wide record of how the strainmeter measures, its
// derived list of measured channels, the change mask of the condition download and Meas.cnd.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/support/CndFile.h"
#include "core/support/InstrumentFacts.h"

namespace kmr {

// The decimal places values are shown with: `point` kept inside its range.
inline int DecimalsOf(int point) { return std::clamp(point, kPointRange.lo, kPointRange.hi); }

struct ChannelCondition {
    std::int16_t Installed = 0;   // set by identification; not stored in Meas.cnd
    std::int16_t OnOff = 1;
    std::int16_t InputMode = kDefaultInputMode;  // a code of kInputModes
    std::int16_t Lpf = 0;         // 0 PASS, 1 300Hz, 2 100Hz, 3 30Hz, 4 10Hz
    float Coeff = 1.0f;
    std::int16_t Point = 0;       // decimals shown, 0..5
    std::int16_t Unit = 0;        // index into the unit names, 0..29
    std::int16_t DtgOnOff = 0;
    float DtgLevel = 1000.0f;
    float Offset = 0.0f;

    bool Measured() const { return OnOff == 1; }
    bool DataTrigger() const { return DtgOnOff == 1; }
    int Decimals() const { return DecimalsOf(Point); }
    bool operator==(const ChannelCondition&) const = default;
};

struct MeasConditions {
    std::int16_t TrgMode = 0;     // 0 manual, 1 data trigger, 2 external
    float SmpClk = kDefaultClockMs;  // milliseconds
    std::int32_t MemoryWords = 1000;
    std::int32_t PreMemoryWords = 0;
    std::int16_t Averaging = 0;   // 0 off, n: 2^n points
    std::int16_t ChannelCount = 10;
    std::array<ChannelCondition, kChannels> Channels{};  // channel n at index n - 1
    // Ascending channel numbers with OnOff = 1 as of the last rebuild (end of every download).
    std::vector<int> MeasuredChannels{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    // Trigger time of the last transfer, "yyyy/mm/dd hh:mm:ss".
    std::string TriggerTime;

    ChannelCondition& Ch(int channel) { return Channels[static_cast<std::size_t>(channel - 1)]; }
    const ChannelCondition& Ch(int channel) const {
        return Channels[static_cast<std::size_t>(channel - 1)];
    }
    bool operator==(const MeasConditions&) const = default;
};

// What no measurement can be made with: a data trigger without a measured trigger channel that
// has a level (text 118), no measured channel (115), or 0 when neither.
int ChannelSetRefusal(const MeasConditions& m);

// Sets every stored field to its default (Installed is not touched).
void SetMeasDefaults(MeasConditions& m);

// Rebuilds MeasuredChannels and ChannelCount from OnOff.
void RebuildMeasuredChannels(MeasConditions& m);

// Snaps a channel's DtgLevel to whole raw counts (halves to even), at most 32767 counts either
// way and at least one unless the level is 0. A Coeff of 0 leaves the level unchanged.
void SnapTriggerLevel(MeasConditions& m, int channel);

// The 16-character change mask of the condition download for an edited copy against the live
// conditions.
std::string BuildChangeMask(const MeasConditions& edited, const MeasConditions& live);
inline const std::string kFullChangeMask = "1111111111111111";
inline const std::string kEmptyChangeMask = "0000000000000000";

// Meas.cnd: 15 lines. Loading keeps the items read before a failure, keeps the defaults in memory
// for the rest and rewrites the file complete.
LoadResult LoadMeasConditions(const std::string& path, MeasConditions& m, FileWritePort* writes);
SaveResult SaveMeasConditions(const std::string& path, const MeasConditions& m, FileWritePort* writes);
std::string MeasConditionsText(const MeasConditions& m);

}  // namespace kmr
