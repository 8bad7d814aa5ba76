#pragma once
#include <QObject>
#include <QTemporaryDir>
#include <memory>

#include "gui/Program.h"
#include "gui/ProgramFixture.h"

namespace kmr::guitest {

class GateBus;

// The settings windows opened from the main window's menus, over the simulated instrument.
class SettingsWindowTest : public QObject, public ProgramFixture {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void measCondClockIsDownloadedAndSaved();
    void graphCondSpanAndANewGraphAreDrawnAndSaved();
    void graphCondCloseBoxKeepsTheTypedMaximumAndAsks();
    void graphCondEditsDuringAHandlerAreNotActedOn();
    void dataFileRegistrationAsksTwiceSavesAndNamesTheNextFile();
    void dataFileFolderButtonOpensThePicker();

};

}  // namespace kmr::guitest
