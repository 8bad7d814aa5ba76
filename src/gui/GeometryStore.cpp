#include "gui/GeometryStore.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

namespace kmr::gui {

namespace {
constexpr const char* kGeometryKey = "MainForm/Form Position";
}

double TwipsPerPixel(const QScreen* screen) {
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInchX() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

ScreenArea ScreenInTwips(const QScreen* screen) {
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    ScreenArea a;
    if (screen == nullptr) return a;
    const double tpp = TwipsPerPixel(screen);
    a.WorkWidth = screen->availableGeometry().width() * tpp;
    a.WorkHeight = screen->availableGeometry().height() * tpp;
    a.ScreenWidth = screen->geometry().width() * tpp;
    a.ScreenHeight = screen->geometry().height() * tpp;
    return a;
}

QPoint PlaceOnScreen(float leftTwips, float topTwips, const QRect& screenGeometry, double twipsPerPixel) {
    return screenGeometry.topLeft() +
           QPoint(static_cast<int>(leftTwips / twipsPerPixel), static_cast<int>(topTwips / twipsPerPixel));
}

std::string LoadGeometryText() {
    QSettings settings;
    const QVariant v = settings.value(kGeometryKey, QString(kDefaultGeometryText));
    // The settings file keeps the text in quotes; written by hand without them, the line reads
    // back as a list of its comma-separated fields, which are the same text.
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(',').toStdString();
    return v.toString().toStdString();
}

void SaveGeometry(const MainFormGeometry& g) {
    QSettings settings;
    settings.setValue(kGeometryKey, QString::fromStdString(GeometryText(g)));
    settings.sync();
}

}  // namespace kmr::gui
