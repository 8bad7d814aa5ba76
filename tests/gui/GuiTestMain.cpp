// The window tests: every test class of tests/gui, run on the offscreen platform.
#include <QApplication>
#include <QTest>
#include <algorithm>
#include <initializer_list>

#include "gui/FaultWindowTests.h"
#include "gui/GuiText.h"
#include "gui/WindowTests.h"

namespace {

// One test class run to its end; its object is gone before the next one is made.
template <typename T>
int Exec(int argc, char** argv) {
    T t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName("VNT");
    QApplication::setApplicationName("KMR-5300");
    kmr::gui::SetGuiLanguage(kmr::Language::English);
    using namespace kmr::guitest;
    // A braced list runs the classes in this order.
    const std::initializer_list<int> results = {
        Exec<OwnControlsTest>(argc, argv),  Exec<MainWindowTest>(argc, argv),
        Exec<SettingsWindowTest>(argc, argv), Exec<ToolWindowsTest>(argc, argv),
        Exec<FaultWindowTest>(argc, argv),  Exec<FileSafetyTest>(argc, argv),
        Exec<RecordWindowTest>(argc, argv), Exec<LayoutTest>(argc, argv)};
    return std::all_of(results.begin(), results.end(), [](int r) { return r == 0; }) ? 0 : 1;
}
