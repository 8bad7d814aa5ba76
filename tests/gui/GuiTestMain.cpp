// The window tests: every test class of tests/gui, run on the offscreen platform.
#include <QApplication>
#include <QTest>

#include "gui/GuiText.h"
#include "gui/SettingsWindowTests.h"
#include "gui/ToolWindowTests.h"
#include "gui/WindowTests.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName("VNT");
    QApplication::setApplicationName("KMR-5300");
    kmr::gui::SetGuiLanguage(kmr::Language::English);
    int failures = 0;
    {
        kmr::guitest::MessageBoxTest t;
        failures += QTest::qExec(&t, argc, argv);
    }
    {
        kmr::guitest::OwnControlsTest t;
        failures += QTest::qExec(&t, argc, argv);
    }
    {
        kmr::guitest::MainWindowTest t;
        failures += QTest::qExec(&t, argc, argv);
    }
    {
        kmr::guitest::SettingsWindowTest t;
        failures += QTest::qExec(&t, argc, argv);
    }
    {
        kmr::guitest::SingleInstanceTest t;
        failures += QTest::qExec(&t, argc, argv);
    }
    {
        kmr::guitest::ToolWindowsTest t;
        failures += QTest::qExec(&t, argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
