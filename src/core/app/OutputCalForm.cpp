#include "core/app/OutputCalForm.h"

#include "core/app/SaveProblems.h"

namespace kmr {

void OutputCalForm::Close() {
    if (closed_) return;
    closed_ = true;
    SaveProblems problems;
    problems.Add(calibration_.Close(e_.s.CondPath(kOutputCalCnd), e_.s.Writes));
    problems.Report(e_.ui);
}

}  // namespace kmr
