// kmr-5300 [--interface SPEC | --simulate] [FILE.kmr]: the window program.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <string_view>

#include "core/support/ProgramVersion.h"
#include "core/support/TextTable.h"
#include "gui/GuiText.h"
#include "gui/MessageBox.h"
#include "gui/Program.h"
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

int main(int argc, char** argv) {
    // Answered before the window system is needed, so it works without a display.
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
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
    QApplication app(argc, argv);
    // Before the first QSettings: the store is "VNT/KMR-5300".
    QApplication::setOrganizationName("VNT");
    QApplication::setApplicationName("KMR-5300");
    QApplication::setApplicationVersion(kmr::gui::ProgramVersion());
    QApplication::setDesktopFileName("com.vantora.KMR5300");
    kmr::gui::SetProgramIcon();
    kmr::gui::SetGuiLanguage(kmr::LanguageFromEnvironment());

    QCommandLineParser parser;
    parser.setApplicationDescription("KMR-5300: data storage software for the KMR-530A / KMR-510C strainmeter");
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption interfaceOption("interface",
        QString::fromStdString("The route to the instrument for this run: " + kmr::AcceptedInterfaceForms()),
        "SPEC");
    QCommandLineOption simulateOption("simulate", "Use the built-in simulated instrument (--interface sim).");
    parser.addOption(interfaceOption);
    parser.addOption(simulateOption);
    parser.addPositionalArgument("FILE.kmr", "A stored record to open.", "[FILE.kmr]");
    parser.process(app);
    if (parser.positionalArguments().size() > 1) {
        qCritical("kmr-5300: one data file at most");
        return 2;
    }
    if (parser.isSet(interfaceOption) && parser.isSet(simulateOption)) {
        qCritical("kmr-5300: --interface and --simulate cannot be used together");
        return 2;
    }
    std::string interfaceSpec;
    if (parser.isSet(simulateOption)) interfaceSpec = std::string(kmr::kSimulateInterfaceSpec);
    if (parser.isSet(interfaceOption)) {
        interfaceSpec = parser.value(interfaceOption).toStdString();
        std::string error;
        if (!kmr::ParseInterfaceSpec(interfaceSpec, error)) {
            qCritical("kmr-5300: %s", error.c_str());
            return 2;
        }
    }

    // One program per user: a later start says so and brings the running one to the front.
    kmr::gui::SingleInstance instance(kmr::gui::SingleInstance::DefaultKey());
    const QString dataFile =
        parser.positionalArguments().isEmpty() ? QString() : QFileInfo(parser.positionalArguments().first()).absoluteFilePath();
    // A record handed to a second start (a file manager's double-click) opens in the running window.
    if (!instance.Claim() && !dataFile.isEmpty() && instance.ActivateRunning(dataFile)) return 0;
    if (!instance.IsFirst()) {
        kmr::gui::MessageBox box(nullptr, kmr::gui::T(kmr::txt::AlreadyRunning), kmr::gui::T(kmr::txt::LoadingErrorTitle),
                                 kmr::MsgIcon::Exclamation, kmr::MsgButtons::Ok);
        box.Ask();
        instance.ActivateRunning();
        return 1;
    }

    kmr::gui::Program program;
    // During start-up the splash window is in front already.
    instance.onActivate = [&program] {
        if (program.Main().isVisible()) program.Main().Activate();
    };
    instance.onOpen = [&program](const QString& path) {
        if (!program.Main().isVisible() || program.Main().Records() == nullptr) return;
        // Opened once the socket's message has been handled.
        QTimer::singleShot(0, &program.Main(), [&program, path] { program.Main().Records()->Open(path); });
    };
    kmr::gui::ProgramOptions options;
    options.interfaceOverride = interfaceSpec;
    if (!parser.positionalArguments().isEmpty()) options.openFile = parser.positionalArguments().first().toStdString();
    if (program.Start(options) == kmr::StartupOutcome::Exit) return 0;
    return app.exec();
}
