#include "core/app/Monitor.h"

#include "core/app/MainWindowRules.h"
#include "core/app/OpenRecord.h"
#include "core/measurement/MonitorData.h"
#include "core/app/RunController.h"
#include "core/support/InstrumentFacts.h"

namespace kmr {

void ToggleMonitor(Engine& e) {
    ProgramState& s = e.s;
    e.main.SetWindowEnabled(false);
    if (s.MonitoringOn != kFalse) {
        s.MonitoringOn = kFalse;
        e.main.SetMoniTimer(false);
    } else {
        s.DataPresent = kFalse;
        ForgetOpenedRecord(e);
        e.chart.SetGraphMode(kMonitorMode);
        {
            ChartModel::Batch batch(e.chart);
            e.chart.ConfigureGraphAxes(s.Graph);
            e.chart.ResetMonitorGraphs(s.Graph, s.Meas, s.Vocab.units);
        }
        s.MonitoringOn = kTrue;
        e.main.SetMoniTimer(true);
    }
    e.main.SetMonitorChecked(s.MonitoringOn != kFalse);
    e.main.SetMonitorCaption(MonitorButtonCaption(e.ui.language, s.MonitoringOn != kFalse));
    SetMainCaption(e, true);
    e.main.SetWindowEnabled(true);
}

void StopMonitoring(Engine& e) {
    e.s.MonitoringOn = kFalse;
    e.main.SetMonitorChecked(false);
    e.main.SetMonitorCaption(MonitorButtonCaption(e.ui.language, false));
}

void ReportUnreadableMonitorReply(Engine& e) {
    e.ui.ShowMessage(TextWith(e.ui.language, txt::MonitorReplyUnreadable, {kMonitorCommand}),
                     e.ui.Text(txt::GpibErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
}

bool MonitorTimerTick(Engine& e) {
    ProgramState& s = e.s;
    e.main.SetMoniTimer(false);
    std::string reply;
    if (s.RunActive()) {
        // During a run the first failure ends the run, said once.
        FailureScope scope(*e.link.transport);
        s.MonitorReadTime = e.clock.TickMs();
        reply = e.link.transport->ReadMonitorData();
        if (e.Failed()) {
            // Cut short by the program's end: its Stop follows (as for the poll).
            if (s.EndAsked) return false;
            EndLostRun(e, scope.Command().empty() ? std::string(kMonitorCommand) : scope.Command());
            return false;
        }
    } else {
        // The first failure ends the live values, with one message that names the command.
        FailureScope scope(*e.link.transport);
        // Conditions a download left unsent go out first: until the instrument has them it
        // measures other channels than the ones the reply is read for.
        if (SettingsOwed(e) && !ResendWhatMayBeLost(e)) {
            StopMonitoring(e);
            if (scope.Failed()) ShowInstrumentLost(e, txt::LostDuringMonitoring, scope.Command(), {});
            return false;
        }
        // A recording the instrument still held was offered first and transferred: its end, as a
        // run's, ended the live values, and the charts show it.
        if (s.MonitoringOn == kFalse) return false;
        // The reading's time is taken now, after whatever went out first, so that its point
        // stands where it was read.
        s.MonitorReadTime = e.clock.TickMs();
        reply = e.link.transport->ReadMonitorData();
        if (e.Failed()) {
            StopMonitoring(e);
            ShowInstrumentLost(e, txt::LostDuringMonitoring,
                               scope.Command().empty() ? std::string(kMonitorCommand) : scope.Command(), {});
            return false;
        }
        // The route was opened again, by this reading or since the last: the instrument behind
        // it may have restarted. It is given everything again, and this reading is not shown.
        if (RouteReopened(e)) {
            if (!ResendWhatMayBeLost(e)) {
                StopMonitoring(e);
                // Said once, as a failed reading is (a refused setting mode has said so itself).
                if (scope.Failed()) ShowInstrumentLost(e, txt::LostDuringMonitoring, scope.Command(), {});
                return false;
            }
            if (s.MonitoringOn != kFalse) e.main.SetMoniTimer(true);
            return false;
        }
    }
    MoniData data{};
    if (!ParseMonitorReply(reply, s.Meas, data)) {
        StopMonitoring(e);
        // A run goes on to its end and transfer, which no box may hold up.
        if (!s.RunActive()) ReportUnreadableMonitorReply(e);
        return false;
    }
    s.MoniData = data;
    e.chart.UpdateMonitorGraphs(s.Graph, s.Meas, s.MonitorReadTime, s.MoniData);
    if (s.MonitoringOn != kFalse) e.main.SetMoniTimer(true);
    return true;
}

}  // namespace kmr
