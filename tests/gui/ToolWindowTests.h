#pragma once
// The tool windows over the simulated instrument: balance, self-check and output calibration.
#include "gui/ProgramFixture.h"

namespace kmr::guitest {

class ToolWindowsTest : public ProgramFixture {
    Q_OBJECT
private slots:
    void balanceAStrainChannelChosenByKeysAndClicks();
    void plusCalShowsOnItsButtonAndLocksTheValue();
    void convertTwoCheckedFilesThenPickAnotherDataFolder();
};

}  // namespace kmr::guitest
