#pragma once
#include <cstdint>

namespace kmr {

// Outcome of the last instrument, transfer or conversion operation. Every operation sets it,
// and every caller tests it right after the call.
enum class RunStatus : std::int16_t {
    Ok = 0,
    CommFailed = 1,   // communication with the instrument failed (message already shown)
    Cancelled = 5,    // the user cancelled, or a file was refused
    Refused = 10,     // the instrument refused initialisation (bridge remote sensing)
};

// Program-wide 16-bit flags keep true as -1 and false as 0.
inline constexpr std::int16_t kTrue = -1;
inline constexpr std::int16_t kFalse = 0;

}  // namespace kmr
