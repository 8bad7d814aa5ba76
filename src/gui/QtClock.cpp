#include "gui/QtClock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace kmr::gui {

void QtClock::Sleep(double seconds) {
    if (seconds <= 0) return;
    if (QCoreApplication::instance() == nullptr) {
        SystemClock::Sleep(seconds);
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000.0 + 0.5), &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace kmr::gui
