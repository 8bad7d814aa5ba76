#pragma once
// The main window's geometry in the per-user settings store (application "KMR-5300", section
// "MainForm", key "Form Position") and the screen's sizes in twips.
#include <QPoint>
#include <QRect>
#include <QString>
#include <QVariant>

#include "core/app/Startup.h"
#include "core/support/FormGeometry.h"

class QScreen;

namespace kmr::gui {

// Twips per pixel of a screen: 1440 twips to the inch at the screen's logical resolution.
double TwipsPerPixel(const QScreen* screen);
// The screen and its work area in twips.
ScreenArea ScreenInTwips(const QScreen* screen);

// The window's corner in the desktop's pixels for a place in twips on a screen: the twips count
// from the screen's own corner, which is not the desktop's when another screen lies left of or
// above it.
QPoint PlaceOnScreen(float leftTwips, float topTwips, const QRect& screenGeometry, double twipsPerPixel);

// Stores one value in the per-user settings store; false (the store left as it was) when it could
// not be written, as on a full disk.
bool SaveSetting(const QString& key, const QVariant& value);

// The stored text, or the default text when nothing is stored.
std::string LoadGeometryText();
void SaveGeometry(const MainFormGeometry& g);

}  // namespace kmr::gui
