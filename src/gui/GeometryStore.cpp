#include "gui/GeometryStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

#include <map>

#include "core/datafiles/TemporaryOutput.h"

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
    a.WorkLeft = (screen->availableGeometry().left() - screen->geometry().left()) * tpp;
    a.WorkTop = (screen->availableGeometry().top() - screen->geometry().top()) * tpp;
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

bool SaveSetting(const QString& key, const QVariant& value) {
    QSettings settings;
#ifdef Q_OS_WIN
    // The registry takes a value whole or not at all.
    settings.setValue(key, value);
    settings.sync();
    return settings.status() == QSettings::NoError;
#else
    // QSettings replaces its file with the new text even when that text could not be written
    // whole, and says it succeeded: on a full disk the file is left empty or cut, and the
    // window's place and the recent files with it. The settings go into a file of their own
    // beside it, are read back from there under a name QSettings has not seen (it keeps what it
    // wrote), and take the file's name only when they read back whole; otherwise the old file
    // stays as it was.
    static int serial = 0;
    // A settings file that is a link stays one: the file it leads to is replaced.
    const QFileInfo info(settings.fileName());
    const QString file = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QString stem = QString("%1.new-%2-%3").arg(file).arg(QCoreApplication::applicationPid()).arg(++serial);
    const QString written = stem + "w", checked = stem + "c";
    QFile::remove(written);
    QFile::remove(checked);
    std::map<QString, QVariant> wanted;
    for (const QString& k : settings.allKeys()) wanted[k] = settings.value(k);
    wanted[key] = value;
    {
        QSettings out(written, QSettings::IniFormat);
        for (const auto& [k, v] : wanted) out.setValue(k, v);
        out.sync();
    }
    bool whole = QFile::rename(written, checked);
    if (whole) {
        QSettings in(checked, QSettings::IniFormat);
        whole = in.status() == QSettings::NoError && in.allKeys().size() == static_cast<qsizetype>(wanted.size());
        // A list of one reads back as its text.
        const auto same = [](const QVariant& a, const QVariant& b) {
            return a.toString() == b.toString() && a.toStringList() == b.toStringList();
        };
        for (const auto& [k, v] : wanted) whole = whole && same(in.value(k), v);
    }
    if (whole && info.exists()) QFile::setPermissions(checked, QFile::permissions(file));
    // On the disk first, then in place of the old file in one step.
    if (whole) whole = CommitTemporary(checked.toStdString(), file.toStdString(), /*replace=*/true) == 0;
    if (!whole) {
        QFile::remove(written);
        QFile::remove(checked);
        return false;
    }
    return true;
#endif
}

void SaveGeometry(const MainFormGeometry& g) { SaveSetting(kGeometryKey, QString::fromStdString(GeometryText(g))); }

}  // namespace kmr::gui
