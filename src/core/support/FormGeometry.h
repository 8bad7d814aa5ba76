#pragma once
// The stored text of the main window's geometry ("Left,Top,Width,Height,WindowState", twips).
#include <cstdint>
#include <string>

namespace kmr {

// The window-state codes of the stored text.
inline constexpr std::int16_t kWindowNormal = 0;
inline constexpr std::int16_t kWindowMinimised = 1;
inline constexpr std::int16_t kWindowMaximised = 2;

struct MainFormGeometry {
    float Left = 0, Top = 0, Width = 0, Height = 0;
    std::int16_t WindowState = 0;  // kWindowNormal, kWindowMinimised or kWindowMaximised

    bool operator==(const MainFormGeometry&) const = default;
};

inline constexpr const char* kDefaultGeometryText = "0,0,10680,5700,0";

// Applies up to five fields of the text to `g`; fewer fields leave the rest unchanged. A field
// that is not a number makes the whole text count as absent: returns false and changes nothing.
bool ApplyGeometryText(const std::string& text, MainFormGeometry& g);
std::string GeometryText(const MainFormGeometry& g);

// The code stored for a window in these states (maximised wins).
inline std::int16_t WindowStateCode(bool maximised, bool minimised) {
    return maximised ? kWindowMaximised : minimised ? kWindowMinimised : kWindowNormal;
}

}  // namespace kmr
