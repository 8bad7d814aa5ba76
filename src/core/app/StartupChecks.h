#pragma once
// What start-up checks before the splash: that numbers read with "." as the decimal symbol, and
// where the main window opens.
#include <functional>
#include <optional>
#include <string_view>

#include "core/support/FormGeometry.h"
#include "core/support/UiPort.h"

namespace kmr {

// --- Decimal-symbol check ------------------------------------------------------------------------

// Converts a number text with the rules the program uses for every number it reads or writes.
using DecimalConversion = std::function<std::optional<float>(std::string_view)>;

// The program's own conversion: locale-independent, "." is always the decimal symbol.
std::optional<float> ProgramDecimalConversion(std::string_view text);

// Converts "2.0" with `convert`; when that fails shows the decimal-symbol message in the language
// of `languageNumber` (0 Japanese, 1 English, the number of text 1) titled "KMR-5300" and returns
// true: the program must end. With the program's own conversion the check always passes.
bool DecimalSymbolUnusable(int languageNumber, UiPort& ui,
                           const DecimalConversion& convert = ProgramDecimalConversion);

// --- Geometry ------------------------------------------------------------------------------------

inline constexpr float kDefaultMainWidth = 10680.0f;
inline constexpr float kDefaultMainHeight = 5280.0f;
// No window is wider or taller than 32767 pixels (the windowing systems' 16-bit coordinates);
// at the usual 15 twips to the pixel that is this many twips. A stored size beyond it (or an
// infinite one) is damage, not a window the user left.
inline constexpr float kLargestWindowTwips = 32767.0f * 15.0f;

// Sizes of the desktop in twips.
struct ScreenArea {
    double WorkWidth = 0, WorkHeight = 0;      // screen minus task bar
    double ScreenWidth = 0, ScreenHeight = 0;  // whole screen
    double LeastWidth = 0, LeastHeight = 0;    // the least size the main window takes
    double WorkLeft = 0, WorkTop = 0;          // where the work area starts on the screen
    double FrameWidth = 0, FrameHeight = 0;    // what the window's frame and caption add to its size
};

// The stored geometry corrected for the screen: larger than the work area both ways opens
// maximised at the default size; a zero size, or one that is no size at all (negative, not a
// number, beyond any window: a settings file edited or damaged), gets the default size; larger one
// way only is cut to the work area that way, frame included; a size below the least the window
// takes is raised to it; the window is centred on the screen at the size it gets (the stored Left
// and Top are not used), and moved as little as needed to lie whole in the work area, so that its
// caption and its status strip are never under a task bar or off the screen.
MainFormGeometry CorrectMainFormGeometry(MainFormGeometry g, const ScreenArea& screen);

}  // namespace kmr
