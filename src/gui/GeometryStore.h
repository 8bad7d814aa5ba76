#pragma once
// The main window's geometry in the per-user settings store (application "KMR-5300", section
// "MainForm", key "Form Position") and the screen's sizes in twips.
#include <QString>

#include "core/app/Startup.h"
#include "core/support/FormGeometry.h"

class QScreen;

namespace kmr::gui {

// Twips per pixel of a screen: 1440 twips to the inch at the screen's logical resolution.
double TwipsPerPixel(const QScreen* screen);
// The screen and its work area in twips.
ScreenArea ScreenInTwips(const QScreen* screen);

// The stored text, or the default text when nothing is stored.
std::string LoadGeometryText();
void SaveGeometry(const MainFormGeometry& g);

}  // namespace kmr::gui
