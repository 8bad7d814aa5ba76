#pragma once
#include <QObject>
#include <QTemporaryDir>
#include <memory>

#include "gui/Program.h"
#include "gui/ProgramFixture.h"

namespace kmr::guitest {

class GateBus;
using gui::Program;

class MessageBoxTest : public QObject {
    Q_OBJECT
private slots:
    void closeBoxAnswersZeroAndOwnerIsDisabledWhileOpen();
    void retryCancelAnswers();
    void autoCloseAnswersAsOk();
};

class OwnControlsTest : public QObject {
    Q_OBJECT
private slots:
    void bareCheckBoxTogglesAnywhereInItsCellAndShowsNoText();
};

// A program over the simulated instrument in a home folder of its own.
class MainWindowTest : public QObject, public ProgramFixture {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void onlineStartupStartAndTransfer();
    void ticksNeverNestAndClicksDuringACallAreNotActedOn();
    void cancelInTheProgressWindowMarksTheFileAndUsesTheNumber();
    void maximisedCloseStoresTheNormalSizeWithState2();
    void splashIsTopmostUntilABoxIsAboutToShow();

};

class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    void theRunningProgramAnswersALaterStart();
};

}  // namespace kmr::guitest
