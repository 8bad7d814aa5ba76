#pragma once
// The window program as the benches start it: offscreen, with a home folder of its own (no
// settings or condition files of the user's), in English; and the process's resident memory.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "gui/GuiText.h"
#include "gui/Program.h"

namespace kmr::bench {

// Before the QApplication is made: the offscreen platform and `home` as the home folder.
inline void UseOffscreenHome(const QTemporaryDir& home) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    qputenv("XDG_DOCUMENTS_DIR", (home.path() + "/Documents").toUtf8());
}

// Once it is made: the names the settings are kept under, and the language.
inline void NameProgram() {
    QApplication::setOrganizationName("VNT");
    QApplication::setApplicationName("KMR-5300");
    gui::SetGuiLanguage(Language::English);
}

// Starts `program` on the interface `spec` and waits until its main window is shown; the outcome
// of the start-up, or nothing when the window did not show.
inline std::optional<StartupOutcome> StartProgram(gui::Program& program, const char* spec) {
    gui::ProgramOptions options;
    options.interfaceOverride = spec;
    const StartupOutcome outcome = program.Start(options);
    if (!QTest::qWaitForWindowExposed(&program.Main(), 10000)) return std::nullopt;
    return outcome;
}

inline long ResidentKiB() {
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

}  // namespace kmr::bench
