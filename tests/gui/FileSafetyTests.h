#pragma once
#include "gui/ProgramFixture.h"

namespace kmr::guitest {

// A recording is never lost to a file problem, in the windows: names checked at entry, a failed
// save saved again through the folder picker, a cancelled conversion that leaves nothing, the
// picker that stays put, message boxes within the screen.
class FileSafetyTest : public ProgramFixture {
    Q_OBJECT
private slots:
    void aNameTooLongIsRefusedAtEntryWithAMessage();
    void aFileThatCannotBeWrittenIsSavedInTheFolderPicked();
    void theWindowsCancelLeavesNoPartOfTheFileInProgress();
    void thePickerKeepsTheRowUnderThePointerWhenFoldersLoad();
    void thePickerRefusesAChosenFolderThatVanished();
    void aBoxWithALongPathStaysWithinTheScreen();
};

}  // namespace kmr::guitest
