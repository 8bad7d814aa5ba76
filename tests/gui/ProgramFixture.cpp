#include "gui/ProgramFixture.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QWidget>

#include "gui/BoxAnswerer.h"
#include "gui/WorkerBus.h"
#include "core/support/SpecialFolders.h"
#include "link/InterfaceSpec.h"
#include "sim/SimBus.h"

namespace kmr::guitest {

void ProgramFixture::SetUpProgram() {
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(home_->isValid());
    const QString h = home_->path();
    qputenv("HOME", h.toUtf8());
    qputenv("XDG_CONFIG_HOME", (h + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (h + "/.local/share").toUtf8());
    qputenv("XDG_DOCUMENTS_DIR", (h + "/Documents").toUtf8());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, h + "/.config");
#ifdef _WIN32
    // The native store there is the registry, shared by every test: a file in the home instead.
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, h + "/.config");
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

gui::ProgramOptions ProgramFixture::HomeOptions() const {
    gui::ProgramOptions o;
#ifdef _WIN32
    const QString cond = home_->path() + "/.config/" + kMakerFolder + "/" + kProgramName;
    const QString docs = home_->path() + "/Documents/" + kProgramName;
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
    o.interfaceOverride = "sim:time=instant";
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
