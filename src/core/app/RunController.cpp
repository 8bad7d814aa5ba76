#include "core/app/RunController.h"

#include <algorithm>
#include <optional>

#include "core/graphs/ChartModel.h"
#include "core/app/OpenRecord.h"
#include "core/app/RunFileCheck.h"
#include "core/app/Transfer.h"
#include "core/datafiles/DataFileNaming.h"
#include "core/support/InstrumentFacts.h"
#include "core/support/Numbers.h"
#include "core/support/TextTable.h"

namespace kmr {

std::string RestTimeCaption(std::int32_t words, float smpClk) {
    return FormatFixed(static_cast<double>(words) * static_cast<double>(smpClk) / 1000.0, 1) + " SEC.";
}

std::optional<std::int32_t> ConvertedIn(const std::string& reply, std::int32_t memoryWords) {
    const auto words = ParseInt32(reply.substr(0, 7));
    return words ? std::optional(std::clamp<std::int32_t>(*words, 0, std::max(memoryWords, 0))) : std::nullopt;
}

namespace {

// Sets the run flag of the trigger mode; an unknown mode has no flag.
void SetRunFlag(ProgramState& s, std::int16_t trgMode, std::int16_t value) {
    switch (trgMode) {
        case 0: s.ManualRunActive = value; break;
        case 1: s.DataTriggerRunActive = value; break;
        case 2: s.ExternalRunActive = value; break;
        default: break;
    }
}

void SetRunButtons(Engine& e, bool enabled) {
    e.main.SetButtonEnabled(MainButton::StartStop, enabled);
    e.main.SetButtonEnabled(MainButton::Monitor, enabled);
    e.main.SetButtonEnabled(MainButton::Balance, enabled);
}

// The status strip while a run records: armed until the first samples are converted.
void ShowRecordingStatus(Engine& e) {
    // Before the trigger the instrument fills no more than its pre-trigger memory.
    const bool armed = e.s.Meas.TrgMode != 0 && e.s.WordsConverted <= e.s.Meas.PreMemoryWords;
    e.main.SetStatusText(e.ui.Text(armed ? txt::WaitingForTrigger : txt::RecordingStatus));
}

void RestoreRestTimePanel(Engine& e) {
    e.main.SetRestTimeColour(RestTimeColour::WindowText);
    e.main.SetRestTimeCaption("");
}

// Sends the trigger command of the current mode and sets its run flag; false when it failed.
bool Trigger(Engine& e) {
    const std::string cmd = TriggerCommand(e.s.Meas.TrgMode);
    if (cmd.empty()) return false;
    const unsigned reopenings = e.link.bus->Reopenings();
    e.Send(cmd);
    if (!e.Failed() && e.link.bus->Reopenings() != reopenings) {
        // The trigger itself opened the route again (a retry that connected again): the
        // instrument may have restarted and be recording without the conditions. It is halted,
        // given everything and triggered anew.
        e.Send("HLT");
        if (!e.Failed() && ResendWhatMayBeLost(e)) e.Send(cmd);
    }
    if (e.Failed()) return false;
    SetRunFlag(e.s, e.s.Meas.TrgMode, kTrue);
    e.s.RunReopenings = e.link.bus->Reopenings();
    return true;
}

// A trigger that went unanswered may have started a recording: the instrument is halted before
// anything else is sent, and what it recorded is offered then, as for a run lost before its end.
void TriggerMayHaveStarted(Engine& e, const std::string& command) {
    ProgramState& s = e.s;
    s.HaltOwed = true;
    std::string text = TextWith(e.ui.language, txt::TriggerUnanswered, {command});
    if (s.OffersLostRecordings) {
        s.LostRun = s.Meas;
        text += " " + e.ui.Text(txt::LostRecordingOfferedLater);
    }
    const Pointer saved = e.ui.GetPointer();
    e.ui.SetPointer(Pointer::Default);
    e.ui.ShowMessage(text, e.ui.Text(txt::GpibErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    e.ui.SetPointer(saved);
}

void NormalStart(Engine& e) {
    ProgramState& s = e.s;
    if (!Trigger(e)) return;
    s.RefusalTold = false;
    s.StopRefused = false;
    s.DataPresent = kFalse;
    s.ForgetOpenedRecord();
    e.chart.SetGraphMode(kMonitorMode);
    e.chart.ResetAllGraphs(s.Graph, s.Meas, s.Vocab.units);
    // Live values go on while the instrument waits for its trigger and records.
    s.MonitoringOn = kTrue;
    s.RunStartTime = e.clock.TickMs();
    e.main.SetMoniTimer(true);
    e.main.SetRestTimePercent(100.0f);
    e.main.SetRestTimeCaption(RestTimeCaption(s.Meas.MemoryWords, s.Meas.SmpClk));
    s.WordsConverted = 0;
    ShowRecordingStatus(e);
    e.main.SetEocTimer(true);
    e.main.SetButtonEnabled(MainButton::Balance, false);
    UpdateRunCaptions(e);
}

// Closes and reopens the connection with another timeout code.
void Reopen(Engine& e, int timeoutCode) {
    e.link.connection->CloseGpibDevice();
    e.link.connection->OpenGpibDevice(timeoutCode);
}

// True when the instrument recorded (the transfer that follows may still have failed).
bool HighSpeedStart(Engine& e) {
    ProgramState& s = e.s;
    e.ui.SetPointer(Pointer::Hourglass);
    SetRunButtons(e, false);
    Reopen(e, kT100s);
    bool triggered = false;
    if (!e.Failed()) {
        e.main.SetRestTimeColour(RestTimeColour::Yellow);
        e.main.SetRestTimeCaption(e.ui.Text(txt::HighSpeedMode));
        e.main.SetStatusText(e.ui.Text(txt::HighSpeedRecording));
        // Returns only when the instrument has finished recording or the timeout expired.
        triggered = Trigger(e);
        RestoreRestTimePanel(e);
    }
    if (!triggered) {
        e.main.SetStatusText("");
        // The buttons and the 10 s timeout come back, so the user can try again or go on.
        const RunStatus failure = s.Status;
        Reopen(e, kT10s);
        if (s.Status == RunStatus::Ok) s.Status = failure;
        SetRunButtons(e, true);
        UpdateRunCaptions(e);
        e.ui.SetPointer(Pointer::Default);
        return false;
    }
    Reopen(e, kT10s);
    s.DataPresent = kFalse;
    s.ForgetOpenedRecord();
    e.chart.SetGraphMode(kMonitorMode);
    e.chart.ResetAllGraphs(s.Graph, s.Meas, s.Vocab.units);
    s.WordsConverted = s.Meas.MemoryWords;
    EndOfConversion(e);
    RestoreRestTimePanel(e);
    e.ui.SetPointer(Pointer::Default);
    return true;
}

// Whether the failure just kept for `command` was an answer of the instrument (an error reply)
// rather than silence: the instrument is there, and what it was doing it may still do.
bool Refused(const Engine& e, const std::string& command) {
    const CommandTransport& t = *e.link.transport;
    return t.FirstFailure() == command && !t.FirstFailureReply().empty();
}

// The instrument refused to stop or to say how far it is: it may still be recording, so the run
// is not ended behind its back. The run stays as it was - polled, live values on, Stop ready - so
// that its end is still found and transferred, and the user is told what state it may be in.
void KeepRunAfterRefusal(Engine& e, int textId, const std::string& command) {
    ProgramState& s = e.s;
    s.RefusalTold = true;
    e.main.SetEocTimer(true);
    if (s.MonitoringOn != kFalse) e.main.SetMoniTimer(true);
    e.main.SetButtonEnabled(MainButton::StartStop, true);
    e.main.SetButtonEnabled(MainButton::Monitor, true);
    e.ui.SetPointer(Pointer::Default);
    e.main.SetWindowEnabled(true);
    e.ui.ShowMessage(TextWith(e.ui.language, textId, {command, e.link.transport->FirstFailureReply()}),
                     e.ui.Text(txt::GpibErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
}

void Stop(Engine& e) {
    e.main.SetEocTimer(false);
    e.main.SetButtonEnabled(MainButton::StartStop, false);
    e.main.SetButtonEnabled(MainButton::Monitor, false);
    e.ui.SetPointer(Pointer::Hourglass);
    {
        FailureScope scope(*e.link.transport);
        e.Send("HLT");
        if (e.Failed()) {
            const std::string command = scope.Command().empty() ? std::string("HLT") : scope.Command();
            if (Refused(e, command) && !e.s.StopRefused) {
                e.s.StopRefused = true;
                KeepRunAfterRefusal(e, txt::StopRefused, command);
                return;
            }
            // Stop cannot reach the instrument, or is refused a second time: the run ends all the
            // same, said once.
            EndLostRun(e, command);
            return;
        }
        // The instrument went on converting since the last poll (and may have filled its memory):
        // what it holds once halted is transferred, not only what that poll saw. Silence is an
        // instrument lost; a refusal leaves the last poll's count.
        const std::string reply = e.Send(kRecordingDoneCommand);
        if (e.Failed() && !Refused(e, kRecordingDoneCommand)) return EndLostRun(e, kRecordingDoneCommand);
        const auto words = e.Failed() ? std::nullopt : ConvertedIn(reply, e.s.Meas.MemoryWords);
        if (words && RecordingGone(e, *words)) return EndRunWithoutRecording(e, *words);
        e.s.WordsConverted = std::max(e.s.WordsConverted, words.value_or(0));
        e.s.Status = RunStatus::Ok;
    }
    EndOfConversion(e);
    e.main.SetButtonEnabled(MainButton::StartStop, true);
    e.main.SetButtonEnabled(MainButton::Monitor, true);
    e.ui.SetPointer(Pointer::Default);
    e.main.SetWindowEnabled(true);
}

// Some chart holds a record's samples.
bool ShowsAnyRecord(const ChartModel& chart) {
    for (int i = 0; i < kCharts; ++i)
        if (chart.ShowsRecord(i)) return true;
    return false;
}

}  // namespace

void ShowInstrumentLost(Engine& e, int textId, const std::string& command, const std::string& kept) {
    // An instrument that answered with something else (an error reply) is not said not to answer.
    const CommandTransport& t = *e.link.transport;
    const bool answered = !t.FirstFailureReply().empty() && t.FirstFailure() == command &&
                          (textId == txt::LostDuringMeasurement || textId == txt::LostBeforeStart);
    std::string text =
        answered ? TextWith(e.ui.language,
                            textId == txt::LostDuringMeasurement ? txt::AnsweredDuringMeasurement : txt::AnsweredBeforeStart,
                            {command, t.FirstFailureReply()})
                 : TextWith(e.ui.language, textId, {command});
    if (!kept.empty()) text += "\r\n" + kept;
    const Pointer saved = e.ui.GetPointer();
    e.ui.SetPointer(Pointer::Default);
    e.ui.ShowMessage(text, e.ui.Text(txt::GpibErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    e.ui.SetPointer(saved);
}

void StartOrStop(Engine& e) {
    ProgramState& s = e.s;
    e.main.SetWindowEnabled(false);
    if (s.MonitoringOn != kFalse) e.main.SetMoniTimer(false);
    if (s.RunActive()) {
        Stop(e);
        return;
    }
    // The conditions, the data file's folder and name first: a run whose file cannot be made,
    // or would hold no channel, never starts.
    if (!ConditionsReadyForRun(e) || !DataFileReadyForRun(e)) {
        if (s.MonitoringOn != kFalse) e.main.SetMoniTimer(true);
        e.main.SetWindowEnabled(true);
        return;
    }
    SetMainCaption(e, true);
    {
        // A start the instrument does not answer is said once, whichever command failed.
        FailureScope scope(*e.link.transport);
        // Unsent again, the run does not start: its file would describe a date or conditions
        // the instrument lacks.
        bool started = false;
        // The recording of a run lost before its end, taken now, is what this Start did: the new
        // run waits for the next.
        bool transferred = false;
        if (HaltOwedRecording(e, &transferred) && !transferred && ResendWhatMayBeLost(e)) {
            if (IsHighSpeedClock(s.Meas.SmpClk)) {
                started = HighSpeedStart(e);
            } else {
                NormalStart(e);
                started = s.RunActive();
            }
        }
        // A high-speed recording is transferred before this returns: a transfer that failed has
        // said so itself, and the measurement was made.
        if (scope.Failed() && !started && !transferred) {
            if (e.link.transport->FirstFailureMayHaveActed())
                TriggerMayHaveStarted(e, scope.Command());
            else
                ShowInstrumentLost(e, txt::LostBeforeStart, scope.Command(), {});
        }
    }
    // A start that failed leaves monitoring as it was: its timer runs again.
    if (!s.RunActive() && s.MonitoringOn != kFalse) e.main.SetMoniTimer(true);
    // It leaves a stored record on the charts too, and the caption names it again.
    if (!s.RunActive() && s.OpenedRecord) e.main.SetCaption(StoredRecordCaption(s.OpenedRecord->path));
    e.main.SetWindowEnabled(true);
}

void EocTimerTick(Engine& e) {
    ProgramState& s = e.s;
    std::string reply;
    {
        FailureScope scope(*e.link.transport);
        reply = e.Send(kRecordingDoneCommand);
        if (e.Failed()) {
            const std::string command = scope.Command().empty() ? std::string(kRecordingDoneCommand) : scope.Command();
            // Refused: polled again at the next tick (the run ends normally once an answer says the
            // memory is full), said once a run.
            if (Refused(e, command)) {
                if (!s.RefusalTold) KeepRunAfterRefusal(e, txt::PollRefused, command);
                return;
            }
            // Cut short by the program's end: the end's Stop, tried once, finds out whether the
            // instrument still answers, and then takes what it recorded.
            if (s.EndAsked) return;
            // Not answered: the first failure of a run ends it.
            EndLostRun(e, command);
            return;
        }
    }
    // The reply's head is a whole number (the transport accepts nothing else but "END" and the
    // like, which carry no count: those are polled again).
    const auto words = ConvertedIn(reply, s.Meas.MemoryWords);
    if (!words) return;
    if (RecordingGone(e, *words)) return EndRunWithoutRecording(e, *words);
    s.WordsConverted = *words;
    if (s.WordsConverted < s.Meas.MemoryWords) {
        const std::int32_t remaining = s.Meas.MemoryWords - s.WordsConverted;
        e.main.SetRestTimePercent(static_cast<float>(remaining) / static_cast<float>(s.Meas.MemoryWords) *
                                  100.0f);
        e.main.SetRestTimeCaption(RestTimeCaption(remaining, s.Meas.SmpClk));
        ShowRecordingStatus(e);
        return;
    }
    s.WordsConverted = s.Meas.MemoryWords;
    e.main.SetButtonEnabled(MainButton::StartStop, false);
    if (s.RunActive()) EndOfConversion(e);
}

void EndOfConversion(Engine& e) {
    ProgramState& s = e.s;
    e.main.SetWindowEnabled(false);
    e.ui.SetPointer(Pointer::Hourglass);
    e.main.SetEocTimer(false);
    e.main.SetRestTimePercent(0.0f);
    e.main.SetRestTimeCaption("");
    if (s.MonitoringOn != kFalse) {
        s.MonitoringOn = kFalse;
        e.main.SetMoniTimer(false);
    }
    const std::int32_t n = s.WordsConverted;
    std::int32_t drawn = n;  // the samples the charts show
    s.DataPresent = n != 0 ? kTrue : kFalse;
    s.ForgetOpenedRecord();
    e.chart.ClearAllSeries();
    s.LastDataFile.clear();
    s.LastTransferComplete = false;
    if (n != 0) {
        // The strip no longer says the instrument is recording.
        e.main.SetStatusText(e.ui.Text(txt::TransferringAndDrawing));
        e.chart.SetGraphMode(kRecordedMode);
        s.LastDataFile = s.Global.FileType != kFileTypeCsv ? TransferToDataFile(e) : TransferToCsv(e);
        s.ShownRecordVersion = VersionOf(s.LastDataFile);
        if (s.LastDataFile.empty() && !ShowsAnyRecord(e.chart)) {
            // Nothing was kept or drawn (a stop before the trigger): as after a run that
            // converted nothing, there is no record to look at or export.
            drawn = 0;
            s.DataPresent = kFalse;
        }
    }
    if (drawn == 0) {
        // The empty charts start afresh from time 0, as the monitor's do.
        e.chart.SetGraphMode(kMonitorMode);
        ChartModel::Batch batch(e.chart);
        e.chart.ConfigureGraphAxes(s.Graph);
        e.chart.ResetMonitorGraphs(s.Graph, s.Meas, s.Vocab.units);
    } else {
        e.chart.ConfigureGraphAxes(s.Graph);
    }
    for (int ch = 1; ch <= kChannels; ++ch) {
        if (s.Graph.Ch[static_cast<std::size_t>(ch - 1)].Shown() && s.Meas.Ch(ch).Measured())
            e.chart.ShowRecordStatistics(ch - 1, drawn, s.Meas);
    }
    SetRunFlag(s, s.Meas.TrgMode, kFalse);
    SetRunButtons(e, true);
    UpdateRunCaptions(e);
    AutoXRange(s.Graph, drawn, s.Meas.SmpClk);
    e.ui.SetPointer(Pointer::Default);
    // The caption names the file just written, as it was named (a cancelled CSV's carries
    // "_incomplete"); without one it keeps naming the next file.
    if (s.LastDataFile.empty())
        SetMainCaption(e, true);
    else
        e.main.SetCaption(StoredRecordCaption(s.LastDataFile));
    // Where the file went, and how much of the memory a stop before its end kept.
    if (s.LastDataFile.empty())
        e.main.SetStatusText(e.ui.Text(txt::NoDataFileWritten));
    else if (!s.LastTransferComplete)
        e.main.SetStatusText(TextWith(e.ui.language, txt::IncompleteDataFileStatus, {s.LastDataFile}));
    else if (n < s.Meas.MemoryWords)
        e.main.SetStatusText(TextWith(e.ui.language, txt::StoppedEarly,
                                      {std::to_string(n), std::to_string(s.Meas.MemoryWords), s.LastDataFile}));
    else
        e.main.SetStatusText(TextWith(e.ui.language, txt::DataFileStatus, {s.LastDataFile}));
    // Under an open form (the About window during a run, or a balance, check or calibration
    // window that took the recording a lost run left) the main window stays disabled: the form
    // gives it back as it closes.
    e.main.SetWindowEnabled(!e.forms.IsOpen());
    // A manual-trigger run records from its start: stopped with nothing, it had no first sample
    // yet (a slow clock), not a trigger still to come.
    if (n == 0)
        e.ui.ShowMessage(e.ui.Text(s.Meas.TrgMode == 0 ? txt::StoppedBeforeFirstSample : txt::StoppedBeforeTrigger),
                         kProgramTitle, MsgIcon::Information, MsgButtons::Ok);
}

namespace {

// A run that ends without its end being confirmed: timers off, run flags cleared, buttons,
// menus and captions back to idle; the instrument is halted before anything else is sent.
void CloseUnconfirmedRun(Engine& e) {
    ProgramState& s = e.s;
    e.main.SetEocTimer(false);
    if (s.MonitoringOn != kFalse) {
        s.MonitoringOn = kFalse;
        e.main.SetMoniTimer(false);
    }
    e.main.SetMonitorChecked(false);
    s.ManualRunActive = s.DataTriggerRunActive = s.ExternalRunActive = kFalse;
    s.HaltOwed = true;
    s.WordsConverted = 0;
    s.LastDataFile.clear();
    s.LastTransferComplete = false;
    RestoreRestTimePanel(e);
    e.main.SetRestTimePercent(0.0f);
    SetRunButtons(e, true);
    UpdateRunCaptions(e);
    SetMainCaption(e, true);
    e.ui.SetPointer(Pointer::Default);
    e.main.SetWindowEnabled(true);
    e.main.SetStatusText(e.ui.Text(txt::NoDataFileWritten));
}

}  // namespace

void EndLostRun(Engine& e, const std::string& command) {
    ProgramState& s = e.s;
    CloseUnconfirmedRun(e);
    if (s.OffersLostRecordings) s.LostRun = s.Meas;
    std::string kept = e.ui.Text(txt::NoDataFileWritten);
    if (s.OffersLostRecordings) kept += " " + e.ui.Text(txt::LostRecordingOfferedLater);
    ShowInstrumentLost(e, txt::LostDuringMeasurement, command, kept);
}

bool RecordingGone(const Engine& e, std::int32_t words) {
    return e.link.bus->Reopenings() != e.s.RunReopenings && words < e.s.WordsConverted;
}

void EndRunWithoutRecording(Engine& e, std::int32_t words) {
    const std::string seen = std::to_string(e.s.WordsConverted);
    CloseUnconfirmedRun(e);
    const Pointer saved = e.ui.GetPointer();
    e.ui.SetPointer(Pointer::Default);
    e.ui.ShowMessage(TextWith(e.ui.language, txt::RecordingGoneAfterReconnect, {std::to_string(words), seen}) +
                         "\r\n" + e.ui.Text(txt::NoDataFileWritten),
                     e.ui.Text(txt::GpibErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    e.ui.SetPointer(saved);
}

}  // namespace kmr
