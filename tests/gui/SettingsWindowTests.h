#pragma once
#include <QObject>
#include <QTemporaryDir>
#include <memory>

#include "gui/Program.h"

namespace kmr::guitest {

class GateBus;

// The settings windows opened from the main window's menus, over the simulated instrument.
class SettingsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void measCondClockIsDownloadedAndSaved();
    void measCondCloseBoxKeepsTheTypedValueAndAsks();
    void aSecondFormIsRefused();

private:
    gui::Program& StartOnline();
    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<gui::Program> program_;
    GateBus* bus_ = nullptr;
};

}  // namespace kmr::guitest
