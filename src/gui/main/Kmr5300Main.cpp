// kmr-5300 [--interface SPEC | --simulate] [FILE.kmr]: the window program.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <optional>
#include <string_view>

#include "core/app/SecondStart.h"
#include "core/support/ProgramVersion.h"
#include "core/support/TextTable.h"
#include "gui/EndSignals.h"
#include "gui/GuiText.h"
#include "gui/Program.h"
#include "gui/QtUi.h"
#include "gui/RecordActions.h"
#include "gui/Resources.h"
#include "gui/SingleInstance.h"
#include "gui/VersionDlg.h"
#include "link/InterfaceSpec.h"
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#undef MessageBox  // ours is kmr::gui::MessageBox
#endif

namespace {

using kmr::gui::Program;
using kmr::gui::ProgramOptions;

// Answered before the window system is needed, so it works without a display.
int PrintVersion() {
#ifdef _WIN32
    // A window program has no console of its own: the line goes to the console it was started
    // from, or wherever its output is redirected, with the same bytes as on Linux.
    if (GetStdHandle(STD_OUTPUT_HANDLE) == nullptr && AttachConsole(ATTACH_PARENT_PROCESS))
        std::freopen("CONOUT$", "w", stdout);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::printf("kmr-5300 %s\n", kmr::ProgramVersion());
    return 0;
}

void SetUpApplication() {
    // Before the first QSettings: the store is "VNT/KMR-5300".
    QApplication::setOrganizationName("VNT");
    QApplication::setApplicationName("KMR-5300");
    QApplication::setApplicationVersion(kmr::gui::ProgramVersion());
    QApplication::setDesktopFileName("com.vantora.KMR5300");
    kmr::gui::SetProgramIcon();
    kmr::gui::SetGuiLanguage(kmr::LanguageFromEnvironment());
}

struct CommandLine {
    ProgramOptions options;
    std::string dataFile;  // the record to open as an absolute path, empty for none
};

// The options of this start; nothing (with the exit code) when they cannot work together.
std::optional<CommandLine> ParseCommandLine(const QApplication& app, int& exitCode) {
    QCommandLineParser parser;
    // In the program's language (Qt's own lines follow its translation).
    const kmr::Language lang = kmr::gui::GuiLanguage();
    parser.setApplicationDescription(QString::fromStdString(kmr::Text(lang, kmr::txt::ProgramDescription)));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption interfaceOption(
        "interface", QString::fromStdString(kmr::TextWith(lang, kmr::txt::InterfaceOptionHelp, {kmr::AcceptedInterfaceForms()})),
        "SPEC");
    QCommandLineOption simulateOption("simulate", QString::fromStdString(kmr::Text(lang, kmr::txt::SimulateOptionHelp)));
    parser.addOption(interfaceOption);
    parser.addOption(simulateOption);
    parser.addPositionalArgument("FILE.kmr", QString::fromStdString(kmr::Text(lang, kmr::txt::FileArgumentHelp)),
                                 "[FILE.kmr]");
    // A wrong use is a usage error (2), as the kmr tool's are; --help and --version end here (0).
    exitCode = 2;
    if (!parser.parse(app.arguments())) {
        std::fprintf(stderr, "kmr-5300: %s\n%s", qPrintable(parser.errorText()), qPrintable(parser.helpText()));
        return std::nullopt;
    }
    if (parser.isSet("help")) parser.showHelp(0);
    if (parser.isSet("version")) parser.showVersion();
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        qCritical("kmr-5300: one data file at most");
        return std::nullopt;
    }
    if (parser.isSet(interfaceOption) && parser.isSet(simulateOption)) {
        qCritical("kmr-5300: --interface and --simulate cannot be used together");
        return std::nullopt;
    }
    CommandLine line;
    if (parser.isSet(simulateOption)) line.options.interfaceOverride = std::string(kmr::kSimulateInterfaceSpec);
    if (parser.isSet(interfaceOption)) {
        line.options.interfaceOverride = parser.value(interfaceOption).toStdString();
        // A spec that cannot work is said here for the shell, and then by the window in the
        // program's language, as a damaged Interface.cnd is: the connection cannot be opened, and
        // the program offers to go on off-line.
        std::string error;
        if (!kmr::ParseInterfaceSpec(line.options.interfaceOverride, error)) qWarning("kmr-5300: %s", error.c_str());
    }
    if (!files.isEmpty()) {
        line.dataFile = kmr::gui::CorePath(files.first());
        line.options.openFile = line.dataFile;
    }
    exitCode = 0;
    return line;
}

// A later start asks for the window, or hands over a record.
void ServeLaterStarts(kmr::gui::SingleInstance& instance, Program& program) {
    // During start-up the splash window is in front already.
    instance.onActivate = [&program] {
        if (program.Main().isVisible()) program.Main().Activate();
    };
    instance.onOpen = [&program](const QString& path) { program.HandOver(path); };
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string_view(argv[1]) == "--version") return PrintVersion();
#ifndef _WIN32
    // A file-size limit (`ulimit -f`, a service's limit) makes a write past it fail with EFBIG,
    // said and cleaned up as a full disk is, instead of ending the program mid-transfer.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QApplication app(argc, argv);
    SetUpApplication();
    int exitCode = 0;
    const std::optional<CommandLine> line = ParseCommandLine(app, exitCode);
    if (!line) return exitCode;

    kmr::gui::SingleInstance instance(kmr::gui::SingleInstance::DefaultKey());
    {
        kmr::gui::QtUi ui;
        ui.language = kmr::gui::GuiLanguage();
        const kmr::StartAs start = kmr::ClaimOrHandOver(instance, ui, line->dataFile);
        if (start != kmr::StartAs::Program) return start == kmr::StartAs::Handed ? 0 : 1;
    }
    Program program;
    ServeLaterStarts(instance, program);
    kmr::gui::EndSignals endSignals;
    endSignals.onEnd = [&program] { program.EndAtSystemRequest(); };
    if (program.Start(line->options) == kmr::StartupOutcome::Exit) return 0;
    return app.exec();
}
