#pragma once
#include "gui/ProgramFixture.h"

namespace kmr::guitest {

// The settings windows opened from the main window's menus, over the simulated instrument.
class SettingsWindowTest : public ProgramFixture {
    Q_OBJECT
private slots:
    void measCondClockIsDownloadedAndSaved();
    void graphCondCloseBoxAsksThenOkDrawsAndSavesSpanAndANewGraph();
    void graphCondEditsDuringAHandlerAreNotActedOn();
    void dataFileRegistrationAsksTwiceSavesAndNamesTheNextFile();
    void dataFileFolderButtonOpensThePicker();
};

}  // namespace kmr::guitest
