#include "gui/Program.h"

#include "gui/FormDlg.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "gui/GeometryStore.h"
#include "gui/GuiText.h"
#include "gui/OwnControls.h"
#include "gui/RecordActions.h"
#include "gui/WaitDlg.h"
#include "gui/WorkerBus.h"
#include "core/app/OpenRecord.h"
#include "link/InterfaceSpec.h"

namespace kmr::gui {

BusFactory WorkerBusFactory() {
    return [](const std::string& spec, std::string&) { return OnWorker(MakeGpibBusOrExplain(spec)); };
}

Program::Program()
    : main_(std::make_unique<MainDlg>()),
      splash_(std::make_unique<SplashDlg>()),
      progress_(std::make_unique<TransactionSplashDlg>(main_.get())) {
    ui_.language = GuiLanguage();
    focusCues_ = std::make_unique<FocusCues>();
    if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->installEventFilter(focusCues_.get());
    engine_ = std::make_unique<Engine>(state_, ui_, *main_, *splash_, *progress_, clock_);
    main_->Attach(*engine_);
    main_->saveGeometry = [](const MainFormGeometry& g) { SaveGeometry(g); };
    ui_.SetOwner(main_.get());
    ui_.SetSplash(splash_.get());
    // A transfer whose file cannot be written offers another folder.
    otherFolderPicker_ = std::make_unique<OtherFolderPicker>(ui_, main_.get());
    saveElsewhere_ = std::make_unique<AskForOtherFolder>(ui_, *otherFolderPicker_);
    state_.SaveElsewhere = saveElsewhere_.get();
    // A record handed over while a handler ran or a form was open is opened once that is over.
    engine_->gate.onIdle = [this, idle = engine_->gate.onIdle] {
        if (idle) idle();
        if (!state_.WaitingRecord.empty()) QTimer::singleShot(0, main_.get(), [this] { OpenWaitingRecord(); });
    };
    // A call that waits long says what it waits for; Stop or Cancel ends the operation after the
    // attempt in progress.
    wait_ = std::make_unique<WaitDlg>(main_.get());
    WorkerBus::longWait = [this](bool waiting, const std::string& what) {
        if (!waiting) {
            wait_->Done();
            return;
        }
        const bool run = state_.RunActive();
        // During start-up the main window is not shown yet: the notice goes below the splash.
        if (splash_->isVisible() && !wait_->isVisible()) wait_->PlaceBelow(splash_->frameGeometry());
        wait_->ShowFor(Q(TextWith(ui_.language, txt::WaitingForReply, {what})),
                       T(run ? txt::StopButton : txt::CancelButton), [this] {
                           if (engine_ && engine_->link.transport) engine_->link.transport->stopRequested = true;
                       });
    };
}

Program::~Program() {
    // Forms still open go first, while the engine they report to lives, and the charts, which
    // draw from its chart model; then the engine's link (and its worker thread) goes before the
    // windows.
    if (main_) {
        // A form still open ends through its own close first (the output calibration sends MON).
        for (FormDlg* form : main_->findChildren<FormDlg*>()) form->EndWithProgram();
        for (FormDlg* form : main_->findChildren<FormDlg*>()) delete form;
        main_->DropCharts();
    }
    engine_.reset();
    WorkerBus::longWait = nullptr;
}

StartupOutcome Program::Start(const ProgramOptions& options) {
    StartupOptions o;
    o.folders = options.folders.CondFolder.empty() ? PlatformStartupFolders() : options.folders;
    o.geometryText = LoadGeometryText();
    o.screen = ScreenInTwips(QGuiApplication::primaryScreen());
    const double tpp = TwipsPerPixel(QGuiApplication::primaryScreen());
    o.screen.LeastWidth = main_->minimumWidth() * tpp;
    o.screen.LeastHeight = main_->minimumHeight() * tpp;
    // The frame is the window manager's and not known before the window is shown: room for a
    // caption and borders of the usual desktops (a little more than they take).
    o.screen.FrameWidth = 16 * tpp;
    o.screen.FrameHeight = 40 * tpp;
    o.interfaceOverride = options.interfaceOverride;
    o.makeBus = options.makeBus ? options.makeBus : WorkerBusFactory();
    const StartupOutcome outcome = RunStartup(*engine_, o);
    splash_->Unload();
    started_ = true;
    if (outcome != StartupOutcome::Exit && endPending_) {
        main_->EndRequest();
        return StartupOutcome::Exit;
    }
    if (outcome != StartupOutcome::Exit) {
        main_->ShowPrepared();
        // One handed over during start-up came later than the command line's.
        if (!options.openFile.empty() && state_.WaitingRecord.empty()) state_.WaitingRecord = options.openFile;
        OpenWaitingRecord();
    }
    return outcome;
}

void Program::HandOver(const QString& path) {
    state_.WaitingRecord = CorePath(path);
    // Opened once the message that brought it has been handled.
    QTimer::singleShot(0, main_.get(), [this] { OpenWaitingRecord(); });
}

void Program::EndAtSystemRequest() {
    ui_.EndUnattended();
    if (engine_) AskToEnd(*engine_);
    if (!started_) {
        endPending_ = true;
        return;
    }
    main_->EndRequest();
}

void Program::OpenWaitingRecord() {
    if (!engine_) return;
    const bool shown = main_->isVisible() && main_->Records() != nullptr;
    if (const std::optional<std::string> path = TakeWaitingRecord(*engine_, shown)) main_->Records()->Open(Q(*path));
}

}  // namespace kmr::gui
