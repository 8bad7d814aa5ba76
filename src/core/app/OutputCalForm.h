#pragma once
// The output-calibration window's close: the output ends, then OutputCal.cnd is saved; a save that
// fails is reported like every other condition file's.
#include "core/app/Engine.h"
#include "core/measurement/OutputCalibration.h"

namespace kmr {

void CloseOutputCal(Engine& e, OutputCalPresenter& presenter);

}  // namespace kmr
