// Start-up of the window program on the simulated instrument (offscreen): the time from the
// launch of the program to the main window shown and ready, and the resident memory then.
// Start-up waits 0.5 s twice by design (the splash window's waits); the time beyond them is the
// work. The memory is shown against that of the bare toolkit before the program was made.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "gui/GuiText.h"
#include "gui/Program.h"

namespace {

double ResidentMegabytes() {
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer launch;
    launch.start();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    qputenv("XDG_DOCUMENTS_DIR", (home.path() + "/Documents").toUtf8());
    QApplication app(argc, argv);
    QApplication::setOrganizationName("VNT");
    QApplication::setApplicationName("KMR-5300");
    kmr::gui::SetGuiLanguage(kmr::Language::English);
    const double toolkitMb = ResidentMegabytes();
    const double toolkitMs = static_cast<double>(launch.nsecsElapsed()) / 1e6;

    kmr::gui::Program program;
    kmr::gui::ProgramOptions options;
    options.interfaceOverride = "sim";
    const kmr::StartupOutcome outcome = program.Start(options);
    const bool exposed = QTest::qWaitForWindowExposed(&program.Main(), 10000);
    const double readyMs = static_cast<double>(launch.nsecsElapsed()) / 1e6;
    const double programMb = ResidentMegabytes();
    if (outcome != kmr::StartupOutcome::Online || !exposed) {
        std::printf("start-up did not reach the main window (outcome %d)\n", static_cast<int>(outcome));
        return 1;
    }
    constexpr double kDesignedWaitsMs = 1000.0;
    std::printf("kmr-5300 --simulate, offscreen\n");
    std::printf("  launch to main window shown and ready: %.0f ms\n", readyMs);
    std::printf("    of which the toolkit:                %.0f ms\n", toolkitMs);
    std::printf("    of which the splash's two waits:     %.0f ms (by design)\n", kDesignedWaitsMs);
    std::printf("    the program's own work:              %.0f ms (%.2f of the total)\n",
                readyMs - toolkitMs - kDesignedWaitsMs, (readyMs - toolkitMs - kDesignedWaitsMs) / readyMs);
    std::printf("  resident memory after start-up:        %.1f MB (bare toolkit %.1f MB, ratio %.2f)\n",
                programMb, toolkitMb, toolkitMb > 0 ? programMb / toolkitMb : 0.0);
    return 0;
}
