#pragma once
// The tool windows over the simulated instrument: balance, self-check and output calibration.
#include <QObject>
#include <QTemporaryDir>
#include <memory>

#include "gui/Program.h"

namespace kmr::guitest {

class GateBus;

class ToolWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void balanceAStrainChannel();
    void voltageChannelIsNotSelectable();
    void insulationAndSenceRunInOrder();
    void plusCalThenCloseSendsMonAndSaves();

private:
    gui::Program& StartOnline();
    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<gui::Program> program_;
    GateBus* bus_ = nullptr;
};

}  // namespace kmr::guitest
