#pragma once
// What the strainmeter offers, in one table: the sampling clocks and their commands, the
// high-speed and sub-millisecond boundaries, the input modes and filters with their codes,
// commands and the models that have them, the memory capacity of each memory size code, and the
// ranges of the condition fields. The condition files, the data-file reader, the command set, the
// run and the word lists all take their facts from here.
//
// It sits at the bottom of the core because every layer needs it: the condition records (below
// the instrument layer) check their items against it and the word lists name its codes.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kmr {

inline constexpr int kChannels = 10;

// --- Models --------------------------------------------------------------------------------------

inline constexpr std::int32_t kModelKmr530A = 0;  // no 5.0 V bridge voltage
inline constexpr std::int32_t kModelKmr510C = 1;

// --- Sampling clocks (milliseconds, compared as 32-bit floats) ----------------------------------

struct SubMsClockFact {
    float ms;
    std::string_view command;
};
// The instrument names its sub-millisecond clocks; 0.5 ms is "CLK0", never "CLK-5".
inline constexpr std::array<SubMsClockFact, 10> kSubMsClocks{{
    {0.05f, "CLK0.05"}, {0.1f, "CLK-1"}, {0.2f, "CLK-2"}, {0.3f, "CLK-3"}, {0.4f, "CLK-4"},
    {0.5f, "CLK0"},     {0.6f, "CLK-6"}, {0.7f, "CLK-7"}, {0.8f, "CLK-8"}, {0.9f, "CLK-9"},
}};
// Every other clock is a whole number of milliseconds up to this, sent as "CLK " and the number.
inline constexpr float kLongestClockMs = 32767.0f;
inline constexpr std::string_view kWholeMsClockPrefix = "CLK ";
// At and below this clock the trigger command itself waits until the recording is complete.
inline constexpr float kHighSpeedClockMs = 0.1f;
// At and below this clock the instrument does not average (averaging is set at 1 ms first).
inline constexpr float kLongestSubMsClockMs = 0.9f;
inline constexpr float kDefaultClockMs = 1.0f;

// One of the clocks the instrument offers.
bool IsOfferedClock(float ms);
// High-speed mode: 0.1 ms and less.
bool IsHighSpeedClock(float ms);
// The sub-millisecond clocks: 0.9 ms and less (no averaging).
bool IsSubMsClock(float ms);
// The command of a sub-millisecond clock; empty for any other value.
std::string_view SubMsClockCommand(float ms);

// --- Commands without parameters ----------------------------------------------------------------

// The monitor line: the present value of every selected channel.
inline constexpr const char* kMonitorCommand = "MDT";
// Asks whether the recording is complete.
inline constexpr const char* kRecordingDoneCommand = "EOC";
// Selects every channel; the reply says per channel whether it is installed.
inline constexpr const char* kSelectAllChannelsCommand = "SET1;10";

// --- Trigger modes -------------------------------------------------------------------------------

// Index = TrgMode: manual, data trigger, external trigger.
inline constexpr std::array<std::string_view, 3> kTriggerCommands{"TRG", "DTG", "ETG"};

// --- Input modes ---------------------------------------------------------------------------------

struct InputModeFact {
    std::int16_t code;
    std::string_view name;
    std::string_view command;
    bool onKmr530A;
    bool onKmr510C;
};
// The codes are not list positions: the 0.1-strain ranges are -4 to -6.
inline constexpr std::array<InputModeFact, 7> kInputModes{{
    {0, "VOLT", "B.V0", true, true},
    {1, "STRAIN(0.5V)", "B.V1", true, true},
    {2, "STRAIN(2.0V)", "B.V2", true, true},
    {3, "STRAIN(5.0V)", "B.V3", false, true},
    {-4, "0.1STRAIN(0.5V)", "B.V -4", true, true},
    {-5, "0.1STRAIN(2.0V)", "B.V -5", true, true},
    {-6, "0.1STRAIN(5.0V)", "B.V -6", false, true},
}};
inline constexpr std::int16_t kDefaultInputMode = 2;
// The input mode a KMR-530A gets in place of one it does not have.
inline constexpr std::int16_t kKmr530AReplacementInputMode = 2;

// The entry of an input-mode code; nullptr for a code the instrument does not know.
const InputModeFact* FindInputMode(int code);
// The code is one of the instrument's and the model has it.
bool InputModeOffered(int code, std::int32_t model);

// --- Low-pass filters ----------------------------------------------------------------------------

struct FilterFact {
    std::string_view name;
    std::string_view command;
};
// Index = Lpf code.
inline constexpr std::array<FilterFact, 5> kFilters{{
    {"PASS", "LPF0"}, {"300Hz", "LPF300"}, {"100Hz", "LPF100"}, {"30Hz", "LPF30"}, {"10Hz", "LPF10"},
}};

// --- Memory --------------------------------------------------------------------------------------

// Index = memory size code: the largest memory words of that memory.
inline constexpr std::array<std::int32_t, 4> kMemoryCapacities{507904, 245760, 114688, 49152};
inline constexpr std::int32_t kLargestMemoryWords = kMemoryCapacities[0];
// Largest memory words for a memory size code; 0 for any other code.
std::int32_t MemoryCapacity(std::int32_t memorySizeCode);

// The one rule of the pre-trigger memory, which the form's readout, its OK and the simulated
// instrument all follow: from 0 up to one word less than the memory (the instrument records at
// least one word after the trigger).
constexpr bool PreMemoryFits(std::int32_t memoryWords, std::int32_t preMemoryWords) {
    return preMemoryWords >= 0 && preMemoryWords < memoryWords;
}

// --- Ranges of the condition fields (inclusive) --------------------------------------------------

struct FieldRange {
    int lo;
    int hi;
    constexpr bool Holds(long long v) const { return v >= lo && v <= hi; }
};
inline constexpr FieldRange kFlagRange{0, 1};                 // OnOff, DtgOnOff, Use
inline constexpr FieldRange kTrgModeRange{0, static_cast<int>(kTriggerCommands.size()) - 1};
inline constexpr FieldRange kLpfRange{0, static_cast<int>(kFilters.size()) - 1};
inline constexpr FieldRange kAveragingRange{0, 10};           // 2^n points, 0 off
inline constexpr FieldRange kPointRange{0, 5};                // decimals shown
inline constexpr FieldRange kUnitRange{0, 29};                // index into the 30 unit names
inline constexpr FieldRange kChannelCountRange{0, kChannels};
inline constexpr FieldRange kGpibAddressRange{0, 30};         // GP-IB primary addresses
inline constexpr FieldRange kDelimiterRange{0, 1};            // 0 CR LF, 1 CR
// Magnitudes a coefficient and a typed trigger level may have: a raw count times any such
// coefficient stays well inside a float.
inline constexpr double kSmallestMagnitude = 1.402E-40;
inline constexpr double kLargestMagnitude = 3.403E+30;
// A limit typed is kept as the 32-bit float nearest to it, which may lie just beyond the decimal
// limit (1.402E-40 is kept as 1.4019991E-40): that float passes too, when it is typed back or read
// from Meas.cnd.
constexpr double kSmallestKept = static_cast<float>(kSmallestMagnitude);
constexpr double kLargestKept = static_cast<float>(kLargestMagnitude);
constexpr bool MagnitudeAllowed(double v) {
    const double a = v < 0 ? -v : v;
    return a >= (kSmallestKept < kSmallestMagnitude ? kSmallestKept : kSmallestMagnitude) &&
           a <= (kLargestKept > kLargestMagnitude ? kLargestKept : kLargestMagnitude);
}
// The largest offset magnitude: a raw count times any allowed coefficient plus such an offset
// stays inside a float, so that no file, panel or chart shows an infinity.
inline constexpr double kLargestOffset = 3.4E+38;
// A trigger level is sent as whole raw counts of a 16-bit sample.
inline constexpr double kLargestTriggerCounts = 32767.0;

}  // namespace kmr
