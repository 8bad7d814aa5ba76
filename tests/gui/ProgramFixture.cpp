#include "gui/ProgramFixture.h"

#include <QApplication>
#include <QSettings>
#include <QTest>
#include <QWidget>

#include "gui/BoxAnswerer.h"
#include "gui/GateBus.h"
#include "gui/WorkerBus.h"
#include "link/InterfaceSpec.h"

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
    program_ = std::make_unique<gui::Program>();
    bus_ = nullptr;
}

void ProgramFixture::TearDownProgram() {
    program_.reset();
    // No window is left behind.
    for (QWidget* w : QApplication::topLevelWidgets()) QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    home_.reset();
}

gui::Program& ProgramFixture::StartOnline(const InnerBus& inner) {
    gui::ProgramOptions o;
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

}  // namespace kmr::guitest
