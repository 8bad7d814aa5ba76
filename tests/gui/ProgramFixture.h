#pragma once
// The program of the window tests: made fresh for each test in a temporary home (HOME, the XDG
// folders and the settings store all inside it), started on-line over a bus the test can hold.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>

#include "gui/Program.h"

namespace kmr::guitest {

class GateBus;

// Chooses a menu item as the user does (its menu opens first, which sets the items' enabling) and
// returns the window it opened, or null when the item is missing or greyed or nothing opened.
template <typename W>
W* OpenFromMenu(QWidget& main, const char* item) {
    QAction* a = main.findChild<QAction*>(item);
    if (a == nullptr) return nullptr;
    for (QMenu* m : main.findChildren<QMenu*>())
        if (m->actions().contains(a)) emit m->aboutToShow();
    if (!a->isEnabled()) return nullptr;
    a->trigger();
    // Forms open at once, in the item's handler; tool windows may be top-level.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<W*>(w); f != nullptr && f->isVisible()) return f;
    W* w = main.findChild<W*>();
    return w != nullptr && w->isVisible() ? w : nullptr;
}

class ProgramFixture {
protected:
    // Makes the bus below the test's gate from the interface spec.
    using InnerBus = std::function<std::unique_ptr<GpibBus>(const std::string& spec)>;

    // A new program in a new temporary home (each test's init()).
    void SetUpProgram();
    // The program goes, no window is left showing, the home is removed (each test's cleanup()).
    void TearDownProgram();
    // Start-up over "sim:time=instant" through a GateBus kept in `bus_`; the boxes start-up shows
    // are answered and reported as a warning. Without `inner` the bus is the one the spec names.
    gui::Program& StartOnline(const InnerBus& inner = {});
    // The start-up options of the test's home: on Windows, where the program takes its folders
    // from the user's profile, they name the home's folders, laid out as on Linux.
    gui::ProgramOptions HomeOptions() const;

    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<gui::Program> program_;
    GateBus* bus_ = nullptr;
};

}  // namespace kmr::guitest
