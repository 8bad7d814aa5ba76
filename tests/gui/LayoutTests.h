#pragma once
#include "gui/ProgramFixture.h"

namespace kmr::guitest {

// The main window as a person reads it and works it from the keyboard.
class LayoutTest : public ProgramFixture {
    Q_OBJECT
private slots:
    void cleanup();
    void chartsReadAtEveryChannelCountInEnglishAndJapanese();
    void qtsOwnDialogTextsFollowTheProgramsLanguage();
    void escapeInThePickerAndEnterInTheGraphForm();
    void functionKeysAndChartKeysClicksAndDragsReachTheirPresenters();
    void tabFollowsTheReadingOrderAndEscapeClosesEveryFormUnchanged();
    void theStatusStripShortensAPathBeforeWhatIsSaidAroundIt();
};

}  // namespace kmr::guitest
