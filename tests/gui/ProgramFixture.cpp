#include "gui/ProgramFixture.h"

#include <QDir>
#include <QPushButton>
#include <QSettings>

#include "gui/BoxAnswerer.h"
#include "gui/WorkerBus.h"
#include "core/support/SpecialFolders.h"
#include "link/InterfaceSpec.h"
#include "sim/SimBus.h"

namespace kmr::guitest {

void ProgramFixture::SetUpProgram() {
    home_ = std::make_unique<testing::TempHome>();
    const QString config = QString::fromStdString(home_->dir().File("config"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
#ifdef _WIN32
    // The native store there is the registry, shared by every test: a file in the home instead.
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config);
#endif
    program_ = std::make_unique<gui::Program>();
    bus_ = nullptr;
}

void ProgramFixture::TearDownProgram() {
    program_.reset();
    // No window is left behind.
    for (QWidget* w : QApplication::topLevelWidgets()) QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    home_.reset();
}

gui::ProgramOptions ProgramFixture::HomeOptions(const std::string& interface) const {
    gui::ProgramOptions o;
    o.interfaceOverride = interface;
#ifdef _WIN32
    const QString cond = QString::fromStdString(home_->dir().File("config/")) + kMakerFolder + "/" + kProgramName;
    const QString docs = QString::fromStdString(home_->dir().File("Documents/")) + kProgramName;
    QDir().mkpath(cond);
    QDir().mkpath(docs);
    o.folders = {QDir::toNativeSeparators(cond + "/").toStdString(), QDir::toNativeSeparators(docs + "/").toStdString()};
#endif
    return o;
}

bool ProgramFixture::PickFolder(gui::PathDlg* picker, const QString& folder) {
    if (picker == nullptr) return false;
    picker->SetPorts(&driveType_, &drive_);
    picker->ShowFolder(folder);
    picker->findChild<QPushButton*>("cmdPathDlg1")->click();
    return true;
}

gui::Program& ProgramFixture::StartOnline(const InnerBus& inner) {
    gui::ProgramOptions o = HomeOptions();
    o.makeBus = [this, inner](const std::string& spec, std::string&) {
        auto gate = std::make_unique<GateBus>(inner ? inner(spec) : MakeGpibBusOrExplain(spec));
        bus_ = gate.get();
        return gui::OnWorker(std::move(gate));
    };
    BoxAnswerer boxes;
    const StartupOutcome outcome = program_->Start(o);
    if (outcome != StartupOutcome::Online || !boxes.seen.empty())
        qWarning("start-up: outcome %d, %d boxes", static_cast<int>(outcome), static_cast<int>(boxes.seen.size()));
    return *program_;
}

gui::Program& ProgramFixture::StartOnlineStill() {
    return StartOnline([](const std::string& spec) -> std::unique_ptr<GpibBus> {
        auto options = sim::ParseSimOptions(spec).options.value();
        return std::make_unique<sim::SimBus>(options, std::make_shared<sim::ManualTimeSource>());
    });
}

}  // namespace kmr::guitest
