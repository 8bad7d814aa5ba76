#include "core/app/StartupChecks.h"

#include <algorithm>

#include "core/support/Numbers.h"
#include "core/support/TextTable.h"
#include "core/support/Vocabulary.h"

namespace kmr {

// --- Decimal-symbol check ------------------------------------------------------------------------

std::optional<float> ProgramDecimalConversion(std::string_view text) { return ParseFloat32(text); }

bool DecimalSymbolUnusable(int languageNumber, UiPort& ui, const DecimalConversion& convert) {
    if (convert && convert("2.0")) return false;
    ui.ShowMessage(DecimalSymbolMessage(languageNumber), kProgramTitle, MsgIcon::Exclamation,
                   MsgButtons::Ok);
    return true;
}

// --- Geometry ------------------------------------------------------------------------------------

MainFormGeometry CorrectMainFormGeometry(MainFormGeometry g, const ScreenArea& screen) {
    if (g.Width >= screen.WorkWidth && g.Height >= screen.WorkHeight) {
        g.Width = kDefaultMainWidth;
        g.Height = kDefaultMainHeight;
        g.WindowState = kWindowMaximised;
    } else if (!(g.Width > 0) || !(g.Height > 0) || g.Width > kLargestWindowTwips ||
               g.Height > kLargestWindowTwips) {
        g.Width = kDefaultMainWidth;
        g.Height = kDefaultMainHeight;
        g.WindowState = kWindowNormal;
    }
    // Larger one way only (a window left on a bigger monitor): that side is cut to the work area,
    // so that the caption, the menus and the status strip are on the screen and can be reached.
    // The frame and caption come on top of the size kept.
    const double roomWidth = std::max(screen.WorkWidth - screen.FrameWidth, 0.0);
    const double roomHeight = std::max(screen.WorkHeight - screen.FrameHeight, 0.0);
    if (g.Width > roomWidth) g.Width = static_cast<float>(roomWidth);
    if (g.Height > roomHeight) g.Height = static_cast<float>(roomHeight);
    g.Width = std::max(g.Width, static_cast<float>(screen.LeastWidth));
    g.Height = std::max(g.Height, static_cast<float>(screen.LeastHeight));
    // Rounded to whole twips first, then divided as whole numbers (truncating).
    const auto centre = [](double screenSize, double size) {
        const auto diff = static_cast<long long>(RoundHalfEven(screenSize - size));
        return static_cast<float>(diff / 2);
    };
    g.Top = centre(screen.ScreenHeight, g.Height);
    g.Left = centre(screen.ScreenWidth, g.Width);
    // Centred on the whole screen, a tall window reaches under a task bar at the bottom (or a
    // panel at the top): it moves into the work area, its top left corner first.
    const auto inside = [](float at, double size, double start, double room) {
        const double last = start + room - size;
        return static_cast<float>(std::max(std::min(static_cast<double>(at), last), start));
    };
    g.Top = inside(g.Top, g.Height + screen.FrameHeight, screen.WorkTop, screen.WorkHeight);
    g.Left = inside(g.Left, g.Width + screen.FrameWidth, screen.WorkLeft, screen.WorkWidth);
    return g;
}

}  // namespace kmr
