#pragma once
#include "gui/ProgramFixture.h"

namespace kmr::guitest {

// A recording is never lost to a file problem, in the windows: a failed save saved again through
// the folder picker, a cancelled conversion that leaves nothing, the picker that stays put, message
// boxes within the screen (a name too long is refused at entry: SettingsWindowTest).
class FileSafetyTest : public ProgramFixture {
    Q_OBJECT
private slots:
    void aFileThatCannotBeWrittenIsSavedInTheFolderPicked();
    void theWindowsCancelLeavesNoPartOfTheFileInProgress();
    void thePickerKeepsTheRowUnderThePointerAndRefusesAChosenFolderThatVanished();
    void aBoxWithALongPathStaysWithinTheScreen();
};

}  // namespace kmr::guitest
