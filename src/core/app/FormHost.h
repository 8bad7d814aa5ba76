#pragma once
// One way to open a form of the main window (the settings windows and the tool windows). Forms
// are modeless and owned by the main window; while one is open the main window takes no input,
// no second form opens, and - for the forms that ask for it - the main window's monitor timer is
// paused. Closing the form restores both. The program-wide "a form is open" state lives here.
#include <string>

#include "core/app/MainView.h"
#include "core/app/ProgramState.h"

namespace kmr {

// Which form is open.
enum class FormId {
    None,
    MeasCond,          // measurement conditions
    GraphCond,         // graph conditions
    DataFileSettings,  // data folder, base name and file type
    FileExchange,      // file conversion
    Balance,
    Check,
    OutputCal,
    About,
};

// Whether a form stops the main window's monitor timer while it is open.
enum class MonitorPause { Keep, Pause };
// The one table of which forms pause the monitor: every form but the output calibration, which
// drives the instrument's output itself and leaves the monitor as it is, and the About window.
MonitorPause MonitorPauseOf(FormId form);

class FormHost {
public:
    FormHost(ProgramState& s, MainView& main) : s_(s), main_(main) {}
    FormHost(const FormHost&) = delete;
    FormHost& operator=(const FormHost&) = delete;

    // Marks `form` open: disables the main window and, for a form that pauses the monitor while
    // monitoring runs, stops its monitor timer. False (and nothing changes) while another form
    // is open.
    bool Open(FormId form);
    // The open form has closed (unloaded): the monitor timer runs again if monitoring is on and
    // this form paused it, and the main window is enabled. Does nothing when no form is open.
    void Closed();

    // The form went with the main window (the program ends): the state is cleared, the window
    // is not touched.
    void Forget() {
        open_ = FormId::None;
        paused_ = false;
    }

    bool IsOpen() const { return open_ != FormId::None; }
    FormId Current() const { return open_; }
    // Whether the open form stopped the monitor timer.
    bool MonitorPaused() const { return paused_; }

private:
    ProgramState& s_;
    MainView& main_;
    FormId open_ = FormId::None;
    bool paused_ = false;
};

}  // namespace kmr
