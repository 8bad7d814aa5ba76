#pragma once
#include "gui/ProgramFixture.h"

namespace kmr::guitest {

using gui::Program;

// The program's own controls: the message box and the bare check box.
class OwnControlsTest : public QObject {
    Q_OBJECT
private slots:
    void messageBoxAnswersByCloseBoxButtonAndTimer();
    void bareCheckBoxTogglesAnywhereInItsCellAndShowsNoText();
    void aProgressWindowStaysOverTheWindowItWorksFor();
};

// A program over the simulated instrument in a home folder of its own.
class MainWindowTest : public ProgramFixture {
    Q_OBJECT
private slots:
    void onlineStartupStartTransferAndCancel();
    void ticksNeverNestAndClicksDuringACallAreNotActedOn();
    void maximisedCloseStoresTheNormalSizeWithState2();
    void splashIsTopmostUntilABoxIsAboutToShow();
    void theRunningProgramAnswersALaterStart();
};

}  // namespace kmr::guitest
