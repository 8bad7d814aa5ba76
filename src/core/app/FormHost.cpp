#include "core/app/FormHost.h"

namespace kmr {

bool FormHost::Open(FormId form, MonitorPause pause) {
    if (open_ != FormId::None || form == FormId::None) return false;
    open_ = form;
    main_.SetWindowEnabled(false);
    paused_ = pause == MonitorPause::Pause && s_.MonitoringOn != kFalse;
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
