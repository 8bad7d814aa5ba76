#pragma once
// The window test classes (FaultWindowTest apart), all run by GuiTestMain. OwnControlsTest and
// MainWindowTest are in WindowTests.cpp, each of the others in the file named below.
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
    void ticksNeverNestAndAClickDuringATickRunsAfterIt();
    void maximisedCloseStoresTheNormalSizeWithState2();
    void splashIsTopmostUntilABoxIsAboutToShow();
    void theRunningProgramAnswersALaterStart();
    void wrongUsageIsToldWithExitStatusTwo();
};

// The settings windows opened from the main window's menus, over the simulated instrument
// (SettingsWindowTests.cpp).
class SettingsWindowTest : public ProgramFixture {
    Q_OBJECT
private slots:
    void measCondClockIsDownloadedAndSaved();
    void graphCondCloseBoxAsksThenOkDrawsAndSavesSpanAndANewGraph();
    void dataFileRegistrationRefusesALongNameAsksTwiceSavesAndPicksFolders();
};

// The tool windows over the simulated instrument: balance and conversion (ToolWindowTests.cpp; the
// output calibration's window: FaultWindowTest).
class ToolWindowsTest : public ProgramFixture {
    Q_OBJECT
private slots:
    void balanceAStrainChannelChosenByKeysAndClicks();
    void convertTwoCheckedFilesThenPickAnotherDataFolder();
};

// A recording is never lost to a file problem, in the windows (FileSafetyTests.cpp): a failed save
// saved again through the folder picker, a cancelled conversion that leaves nothing, the picker
// that stays put (and its Escape), message boxes within the screen, the window's settings file
// kept whole by a close on a full disk. (A name too long is refused at entry: SettingsWindowTest.)
class FileSafetyTest : public ProgramFixture {
    Q_OBJECT
private slots:
    void aFileThatCannotBeWrittenIsSavedInTheFolderPicked();
    void theWindowsCancelLeavesNoPartOfTheFileInProgress();
    void thePickerKeepsTheRowUnderThePointerAndRefusesAChosenFolderThatVanished();
    void aBoxWithALongPathStaysWithinTheScreen();
    void aCloseOnAFullDiskKeepsTheWindowSettings();
};

// Stored records in the main window: opened from File > Open, the command line and a drop; the
// recent files across a restart; refused during a run; the exports of charts and of a range
// (RecordWindowTests.cpp).
class RecordWindowTest : public ProgramFixture {
    Q_OBJECT
private slots:
    void openFromTheMenuShowsTheRecordAndItsConditionsUntilARun();
    void openFromTheCommandLineAndByADropRememberedAcrossARestart();
    void exportsWriteAPngAPdfACsvAndHdf5();
    void aSecondStartHandsItsFileToTheRunningProgram();
    void aRecordHandedOverWaitsForStartUpAndForTheFormInFront();

private:
    std::string WriteRecord(const std::string& name, std::int32_t n = 3000);
};

// The main window as a person reads it and works it from the keyboard (LayoutTests.cpp).
class LayoutTest : public ProgramFixture {
    Q_OBJECT
private slots:
    void cleanup();
    void chartsReadAtEveryChannelCountInEnglishAndJapanese();
    void qtsOwnDialogTextsFollowTheProgramsLanguage();
    void functionKeysAndChartKeysClicksAndDragsReachTheirPresenters();
    void tabFollowsTheReadingOrderEscapeClosesEveryFormAndEnterPressesOk();
    void theStatusStripShortensAPathBeforeWhatIsSaidAroundIt();
};

}  // namespace kmr::guitest
