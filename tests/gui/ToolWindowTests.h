#pragma once
// The tool windows over the simulated instrument: balance, self-check and output calibration.
#include <QObject>
#include <QTemporaryDir>
#include <memory>

#include "gui/Program.h"
#include "gui/ProgramFixture.h"

namespace kmr::guitest {

class GateBus;

class ToolWindowsTest : public QObject, public ProgramFixture {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void balanceAStrainChannel();
    void plusCalThenCloseSendsMonAndSaves();
    void convertTwoCheckedFiles();
    void folderButtonOpensThePickerForItsBox();

private:
    gui::Program& StartOnlineStill();
};

}  // namespace kmr::guitest
