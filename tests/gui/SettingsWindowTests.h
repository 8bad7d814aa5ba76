#pragma once
#include "gui/ProgramFixture.h"

namespace kmr::guitest {

// The settings windows opened from the main window's menus, over the simulated instrument.
class SettingsWindowTest : public ProgramFixture {
    Q_OBJECT
private slots:
    void measCondClockIsDownloadedAndSaved();
    void graphCondCloseBoxAsksThenOkDrawsAndSavesSpanAndANewGraph();
    void dataFileRegistrationRefusesALongNameAsksTwiceSavesAndPicksFolders();
};

}  // namespace kmr::guitest
