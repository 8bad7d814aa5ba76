#pragma once
// The output-calibration window's form: the calibration it edits, and its close. Every close (the
// Close button, the close box, the program ending with the window open) ends the output, then
// saves OutputCal.cnd, once; a save that fails is reported like every other condition file's.
#include "core/app/Engine.h"
#include "core/measurement/OutputCalibration.h"

namespace kmr {

class OutputCalForm {
public:
    explicit OutputCalForm(Engine& e) : e_(e), calibration_(*e.link.transport, e.s.Meas, e.s.OutputCal) {}

    OutputCalPresenter& Calibration() { return calibration_; }
    // A click on +Cal, 0 or -Cal. An output is started only once what the instrument may lack
    // (a halt owed, the date, the conditions) is settled; ending the one that is on sends "MON" alone.
    void Click(CalButton b);
    // "MON", then the save; a second close does nothing.
    void Close();

private:
    Engine& e_;
    OutputCalPresenter calibration_;
    bool closed_ = false;
};

}  // namespace kmr
