#pragma once
// The program of the window tests: made fresh for each test in a temporary home (HOME, the XDG
// folders and the settings store all inside it, the variables restored after), started on-line
// over a bus the test can hold.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QObject>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/GateBus.h"
#include "gui/PathDlg.h"
#include "gui/Program.h"
#include "support/FakeDrive.h"
#include "support/TempDir.h"

namespace kmr::guitest {

// Chooses a menu item as the user does (its menu opens first, which sets the items' enabling);
// false when the item is missing, hidden or greyed.
inline bool Choose(QWidget& main, const char* item) {
    QAction* a = main.findChild<QAction*>(item);
    if (a == nullptr) return false;
    for (QMenu* m : main.findChildren<QMenu*>())
        if (m->actions().contains(a)) emit m->aboutToShow();
    if (!a->isEnabled() || !a->isVisible()) return false;
    a->trigger();
    return true;
}

// Chooses the item and returns the window it opened, or null when it could not be chosen or
// nothing opened.
template <typename W>
W* OpenFromMenu(QWidget& main, const char* item) {
    if (!Choose(main, item)) return nullptr;
    // Forms open at once, in the item's handler; tool windows may be top-level.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<W*>(w); f != nullptr && f->isVisible()) return f;
    W* w = main.findChild<W*>();
    return w != nullptr && w->isVisible() ? w : nullptr;
}

// Replaces the box's text as an input method delivers it (full-width characters have no key),
// then presses Enter unless told otherwise.
inline void Type(QLineEdit* box, const QString& text, bool enter = true) {
    box->setFocus();
    box->selectAll();
    box->insert(text);
    if (enter) QTest::keyClick(box, Qt::Key_Return);
}

// The commands written since `from`, and how often `command` is among them.
inline std::vector<std::string> Since(const std::vector<std::string>& all, std::size_t from) {
    return {all.begin() + static_cast<std::ptrdiff_t>(from), all.end()};
}
inline int Count(const std::vector<std::string>& sent, const std::string& command) {
    return static_cast<int>(std::count(sent.begin(), sent.end(), command));
}

// Calls `action` each time `w` is about to show, while it lives.
class OnShow : public QObject {
public:
    OnShow(QWidget& w, std::function<void()> action) : w_(w), action_(std::move(action)) { w.installEventFilter(this); }
    ~OnShow() override { w_.removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Show) action_();
        return false;
    }

private:
    QWidget& w_;
    std::function<void()> action_;
};

// Runs `action` once while the bus holds a reply (and once `ready` says so), then releases it.
class WhileHeld : public QObject {
public:
    WhileHeld(GateBus& bus, std::function<void()> action, std::function<bool()> ready = [] { return true; })
        : bus_(bus), action_(std::move(action)), ready_(std::move(ready)) {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (done_ || !bus_.Waiting() || !ready_()) return;
            done_ = true;
            action_();
            bus_.Release();
        });
        timer_.start();
    }
    bool Done() const { return done_; }

private:
    GateBus& bus_;
    std::function<void()> action_;
    std::function<bool()> ready_;
    QTimer timer_;
    bool done_ = false;
};

// The base of the window tests' classes: each test function runs in a new program (init() and
// cleanup() are Qt Test's per-test hooks).
class ProgramFixture : public QObject {
    Q_OBJECT
private slots:
    void init() { SetUpProgram(); }
    void cleanup() { TearDownProgram(); }

protected:
    // Makes the bus below the test's gate from the interface spec.
    using InnerBus = std::function<std::unique_ptr<GpibBus>(const std::string& spec)>;

    // A new program in a new temporary home.
    void SetUpProgram();
    // The program goes, no window is left showing, the home is removed.
    void TearDownProgram();
    // Start-up over "sim:time=instant" through a GateBus kept in `bus_`; the boxes start-up shows
    // are answered and reported as a warning. Without `inner` the bus is the one the spec names.
    gui::Program& StartOnline(const InnerBus& inner = {});
    // The same over a simulated instrument whose time stands still (it moves only across bus
    // timeouts): its live values change only by what the program does, a run waits for Stop.
    gui::Program& StartOnlineStill();
    // The start-up options of the test's home over the interface given: on Windows, where the
    // program takes its folders from the user's profile, they name the home's folders.
    gui::ProgramOptions HomeOptions(const std::string& interface = "sim:time=instant") const;
    // Shows `folder` in the folder picker and presses its OK, the drive's checks passing; false
    // when there is no picker.
    bool PickFolder(gui::PathDlg* picker, const QString& folder);

    testing::FakeDriveType driveType_;
    testing::FakeDrive drive_;

    std::unique_ptr<testing::TempHome> home_;
    std::unique_ptr<gui::Program> program_;
    GateBus* bus_ = nullptr;
};

}  // namespace kmr::guitest
