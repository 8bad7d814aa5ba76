#include "core/support/Progress.h"

#include <algorithm>

#include "core/support/Numbers.h"

namespace kmr {

int Progress::PercentOf(int step) const {
    if (MaxPBCount == 0 || AllVol == 0.0) return 0;
    const double v = (FinishedVol / AllVol + static_cast<double>(step) / MaxPBCount * CurrentVol / AllVol) * 100.0;
    return static_cast<int>(std::clamp(RoundHalfEven(v), 0.0, 100.0));
}

void Progress::Advance(ProgressView& view, RunStatus& status) {
    if (view.ProcessEventsAndCheckCancel()) status = RunStatus::Cancelled;
    ProgressStep = static_cast<std::int16_t>(ProgressStep + 1);
    view.SetPercent(PercentOf(ProgressStep));
}

bool Progress::CountUnit(ProgressView& view, RunStatus& status) {
    ProgressCounter = static_cast<std::int16_t>(ProgressCounter + ProgressIncrement);
    if (ProgressCounter < TransferBlockWords) return true;
    if (view.ProcessEventsAndCheckCancel()) status = RunStatus::Cancelled;
    if (status == RunStatus::Cancelled) return false;
    ProgressCounter = 0;
    ProgressStep = static_cast<std::int16_t>(ProgressStep + 1);
    view.SetPercent(PercentOf(ProgressStep));
    return true;
}

}  // namespace kmr
