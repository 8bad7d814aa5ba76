#pragma once
// Stored records in the main window: opened from File > Open, the command line and a drop; the
// recent files across a restart; refused during a run; the exports of charts and of a range.
#include "gui/ProgramFixture.h"

namespace kmr::guitest {

class RecordWindowTest : public ProgramFixture {
    Q_OBJECT
private slots:
    void openFromTheMenuShowsTheRecordAndItsConditionsUntilARun();
    void openFromTheCommandLineAndByADropRememberedAcrossARestart();
    void exportsWriteAPngAPdfTheShellsCsvAndHdf5();
    void aSecondStartHandsItsFileToTheRunningProgram();

private:
    std::string WriteRecord(const std::string& name, std::int32_t n = 3000);
};

}  // namespace kmr::guitest
