#include "gui/Program.h"

#include "gui/FormDlg.h"

#include <QGuiApplication>
#include <QScreen>

#include "gui/GeometryStore.h"
#include "gui/GuiText.h"
#include "gui/WorkerBus.h"
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
    engine_ = std::make_unique<Engine>(state_, ui_, *main_, *splash_, *progress_, clock_);
    main_->Attach(*engine_);
    main_->saveGeometry = [](const MainFormGeometry& g) { SaveGeometry(g); };
    ui_.SetOwner(main_.get());
    ui_.SetSplash(splash_.get());
    // A transfer whose file cannot be written offers another folder.
    saveElsewhere_ = std::make_unique<SaveElsewhere>(ui_, main_.get());
    state_.SaveElsewhere = saveElsewhere_.get();
}

Program::~Program() {
    // Forms still open go first, while the engine they report to lives, and the charts, which
    // draw from its chart model; then the engine's link (and its worker thread) goes before the
    // windows.
    if (main_) {
        for (FormDlg* form : main_->findChildren<FormDlg*>()) delete form;
        main_->DropCharts();
    }
    engine_.reset();
}

StartupOutcome Program::Start(const ProgramOptions& options) {
    StartupOptions o;
    o.folders = PlatformStartupFolders();
    o.geometryText = LoadGeometryText();
    o.screen = ScreenInTwips(QGuiApplication::primaryScreen());
    o.interfaceOverride = options.interfaceOverride;
    o.makeBus = options.makeBus ? options.makeBus : WorkerBusFactory();
    const StartupOutcome outcome = RunStartup(*engine_, o);
    splash_->Unload();
    if (outcome != StartupOutcome::Exit) main_->ShowPrepared();
    return outcome;
}

}  // namespace kmr::gui
