#pragma once
// Monitoring in the main window: the Monitor button and the 50 ms monitor timer that reads the
// instrument's live values and feeds the channel panels and the monitor graphs.
#include "core/app/Engine.h"

namespace kmr {

// The Monitor button and the menu item "Monitor".
void ToggleMonitor(Engine& e);
// One tick of the main window's monitor timer. A failed or malformed read stops monitoring.
// True when a reading was taken into MoniData and the charts.
bool MonitorTimerTick(Engine& e);
// Monitoring ends after a failed or malformed read: the flag off, "Monitor" unchecked and the
// button's caption back to the one that starts monitoring.
void StopMonitoring(Engine& e);
// A live-values reply the instrument answered but that cannot be read (a failed read has said so
// already): said once, as the live values stop.
void ReportUnreadableMonitorReply(Engine& e);

}  // namespace kmr
