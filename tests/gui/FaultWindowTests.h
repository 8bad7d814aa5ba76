#pragma once
// The window when things go wrong (issue 21): closes and clicks while a command waits, the one
// handler gate, the default button of every Yes/No question, the main window behind a form, a
// lost instrument during a balance and a check, a stalled link, reconnection.
#include "gui/ProgramFixture.h"

namespace kmr::guitest {

class FaultWindowTest : public ProgramFixture {
    Q_OBJECT
private slots:
    // The one gate.
    void formsClosedByTheirCloseEventWhileACommandWaits();
    void monitorTickNeverRunsBesideTheOutputCalClose();
    void conversionClosedWhileConvertingKeepsTheMainWindowOff();
    // Yes/No questions and the main window behind a form.
    void returnAndSpaceAnswerTheDefaultOfEveryQuestion();
    void aTickHeldByTheQuitQuestionWaitsOutsideTheCloseAndASecondCloseIsHeld();
    void returnAnswersNoInTheOfflineOffer();
    void mainWindowCloseIsRefusedWhileAnyFormIsOpen();
    void outputCalKeepsATypedValueOnTheCloseBox();
    void programEndClosesOutputCalThroughItsOwnClose();
    void systemEndClosesTheFormWithoutAQuestion();
    void systemEndTwiceWithAFileChooserOpenEndsOnce();
    // A lost instrument.
    void balanceAndCheckWithADeadInstrumentShowOneMessageEach();
    // A stalled link, reconnection.
    void stalledLinkSaysWhatItWaitsForAndStopEndsTheRun();
    void systemEndDuringAStalledCommandEndsAfterTheAttemptInProgress();
    void adapterRestartedIsReconnectedByTheNextAction();
    void connectMenuGoesOnlineWithoutARestart();
};

}  // namespace kmr::guitest
