#include "core/app/OutputCalForm.h"

#include "core/app/RunController.h"
#include "core/app/SaveProblems.h"
#include "core/support/TextTable.h"

namespace kmr {

void OutputCalForm::Click(CalButton b) {
    if (calibration_.ActiveButton() != b &&
        !SettleBeforeCommands(e_, txt::NotCalibrated, txt::CalibrationCancelledBeforeOutput))
        return;
    calibration_.Click(b);
}

void OutputCalForm::Close() {
    if (closed_) return;
    closed_ = true;
    SaveProblems problems;
    problems.Add(calibration_.Close(e_.s.CondPath(kOutputCalCnd), e_.s.Writes));
    problems.Report(e_.ui);
}

}  // namespace kmr
