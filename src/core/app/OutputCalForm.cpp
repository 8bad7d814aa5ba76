#include "core/app/OutputCalForm.h"

#include "core/app/SaveProblems.h"

namespace kmr {

void CloseOutputCal(Engine& e, OutputCalPresenter& presenter) {
    SaveProblems problems;
    problems.Add(presenter.Close(e.s.CondPath(kOutputCalCnd), e.s.Writes));
    problems.Report(e.ui);
}

}  // namespace kmr
