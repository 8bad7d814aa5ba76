#pragma once
#include <QObject>

#include "gui/ProgramFixture.h"

namespace kmr::guitest {

// The main window as a person reads it and works it from the keyboard.
class LayoutTest : public QObject, public ProgramFixture {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void chartsReadAtEveryChannelCountInEnglish();
    void chartsReadAtEveryChannelCountInJapanese();
    void functionKeysReachTheWireAndTheStatusSaysWhatHappened();
    void escapeClosesEachFormUnchangedAndEnterPressesTheDefault();
    void balanceChannelsAreChosenByKeys();
    void chartCursorsByKeysAndDoubleClickResetsTheScaleOnly();
    void tabFollowsTheReadingOrderInEveryForm();
};

}  // namespace kmr::guitest
