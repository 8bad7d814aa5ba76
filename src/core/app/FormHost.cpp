#include "core/app/FormHost.h"

namespace kmr {

MonitorPause MonitorPauseOf(FormId form) {
    switch (form) {
        case FormId::OutputCal:
        case FormId::About:
        case FormId::None: return MonitorPause::Keep;
        case FormId::MeasCond:
        case FormId::GraphCond:
        case FormId::DataFileSettings:
        case FormId::FileExchange:
        case FormId::Balance:
        case FormId::Check: return MonitorPause::Pause;
    }
    return MonitorPause::Pause;
}

bool FormHost::Open(FormId form) {
    if (open_ != FormId::None || form == FormId::None) return false;
    open_ = form;
    main_.SetWindowEnabled(false);
    paused_ = MonitorPauseOf(form) == MonitorPause::Pause && s_.MonitoringOn != kFalse;
    if (paused_) main_.SetMoniTimer(false);
    return true;
}

void FormHost::Closed() {
    if (open_ == FormId::None) return;
    // Monitoring may have been stopped meanwhile (a failed read in the form): the timer then stays off.
    if (paused_ && s_.MonitoringOn != kFalse) main_.SetMoniTimer(true);
    paused_ = false;
    open_ = FormId::None;
    main_.SetWindowEnabled(true);
}

}  // namespace kmr
