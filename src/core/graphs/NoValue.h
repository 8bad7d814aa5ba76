#pragma once
// The no-value marker: the smallest positive 32-bit float (bit pattern 00000001). A monitor value
// equal to it means the channel has no value (not measured, or its field was invalid); the same
// number, widened to a double, is written as Y when a graph is cleared. Tests compare the exact
// bit pattern, never the float 1.0 or "close to zero".
#include <bit>
#include <cstdint>
#include <string>

namespace kmr {

inline constexpr std::uint32_t kNoValueBits = 0x00000001u;
inline constexpr float kNoValue = std::bit_cast<float>(kNoValueBits);
inline constexpr double kNoValueDouble = static_cast<double>(kNoValue);

// The text every value label shows for a missing value.
inline const std::string kNoValueText = "----";

constexpr bool IsNoValue(float v) { return std::bit_cast<std::uint32_t>(v) == kNoValueBits; }
constexpr bool IsNoValue(double v) {
    return std::bit_cast<std::uint64_t>(v) == std::bit_cast<std::uint64_t>(kNoValueDouble);
}

}  // namespace kmr
