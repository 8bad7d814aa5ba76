#include "core/app/RunController.h"

#include <algorithm>
#include <utility>

#include "core/support/TextTable.h"

namespace kmr {

// What is owed to the instrument after a run that was lost: the halt, the recording it may still
// hold, and the settings a restarted instrument has forgotten.

bool RouteReopened(const Engine& e) { return e.link.bus->Reopenings() != e.s.ReopeningsSeen; }

bool ConnectionLeftClosed(const Engine& e) {
    return e.s.ProgramMode == kModeOnline && e.link.connection && !e.link.connection->IsConnected();
}

bool StillHoldsRecording(Engine& e) {
    const std::string count = e.Send(kRecordingDoneCommand);
    if (e.Failed() || ConvertedIn(count, e.s.Meas.MemoryWords).value_or(0) < e.s.WordsConverted) return false;
    const std::string triggerTime = e.link.commands->ReadTriggerTime();
    return e.s.Status == RunStatus::Ok && triggerTime == e.s.Meas.TriggerTime;
}

namespace {

// The recording of a run lost before its end (ProgramState::LostRun), as far as the instrument
// has it: offered for transfer, and taken as a Stop takes one (halted first when it is still
// going). False when the instrument does not answer; the offer then waits for the next time.
bool OfferLostRecording(Engine& e, bool& transferred) {
    ProgramState& s = e.s;
    const std::string reply = e.Send(kRecordingDoneCommand);
    if (e.Failed()) {
        // Silence is an instrument still lost. One that answers with an error (restarted
        // meanwhile, say) has no recording to give: the halt goes ahead.
        if (e.link.transport->LastFailureReply().empty()) return false;
        s.LostRun.reset();
        s.Status = RunStatus::Ok;
        return true;
    }
    MeasConditions lost = std::move(*s.LostRun);
    s.LostRun.reset();
    const auto Count = [&lost](const std::string& r) { return ConvertedIn(r, lost.MemoryWords).value_or(0); };
    std::int32_t n = Count(reply);
    // A recording that filled the memory has ended by itself: nothing is left to halt.
    if (n == lost.MemoryWords) s.HaltOwed = false;
    if (n == 0) return true;
    const std::string offer = TextWith(e.ui.language, txt::LostRecordingOffer,
                                       {std::to_string(n), std::to_string(lost.MemoryWords)});
    const Pointer pointer = e.ui.GetPointer();
    e.ui.SetPointer(Pointer::Default);
    const MsgAnswer answer = e.ui.ShowMessage(offer, kProgramTitle, MsgIcon::Question, MsgButtons::YesNo);
    e.ui.SetPointer(pointer);
    if (answer != MsgAnswer::Yes) return true;
    if (n < lost.MemoryWords) {
        e.Send("HLT");
        if (e.Failed()) return false;
        s.HaltOwed = false;
        const std::string last = e.Send(kRecordingDoneCommand);
        if (e.Failed()) return false;
        n = std::max(n, Count(last));
    }
    // The transfer works from the conditions of the run; new ones given since come back after.
    std::swap(s.Meas, lost);
    s.WordsConverted = n;
    transferred = true;
    EndOfConversion(e);
    std::swap(s.Meas, lost);
    // A transfer that failed has said so (and reset the status): what was to follow does not.
    return !e.Failed() && s.LastTransferComplete;
}

}  // namespace

bool HaltOwedRecording(Engine& e, bool* transferred) {
    // Nothing reaches the instrument through a closed connection: it is opened with the timeout
    // last asked for (the open says why it cannot be, and where the route is set).
    if (ConnectionLeftClosed(e)) {
        GpibConnection& c = *e.link.connection;
        c.OpenGpibDevice(c.TimeoutCode());
        if (!c.IsConnected()) return false;
        e.s.DateUnsent = e.s.ConditionsUnsent = true;
    }
    if (!e.s.HaltOwed) return true;
    bool taken = false;
    const bool answered = !e.s.LostRun || OfferLostRecording(e, taken);
    if (transferred) *transferred = taken;
    if (!answered) return false;
    if (!e.s.HaltOwed) return true;
    e.Send("HLT");
    if (e.Failed()) return false;
    e.s.HaltOwed = false;
    return true;
}

bool ResendWhatMayBeLost(Engine& e) {
    ProgramState& s = e.s;
    if (!HaltOwedRecording(e)) return false;
    for (int pass = 0; pass < 2; ++pass) {
        if (RouteReopened(e)) {
            s.ReopeningsSeen = e.link.bus->Reopenings();
            s.DateUnsent = true;
            s.ConditionsUnsent = true;
        }
        if (s.DateUnsent) {
            // As at start-up: the setting mode ("SET1") first, which an instrument that restarted
            // has left, then its date and time; the conditions only after them.
            e.link.commands->InitialiseInstrument();
            s.DateUnsent = s.Status != RunStatus::Ok;
        }
        if (!s.DateUnsent && s.ConditionsUnsent) {
            e.link.commands->DownloadConditions(kFullChangeMask);
            s.ConditionsUnsent = e.Failed();
        }
        if (s.DateUnsent || s.ConditionsUnsent || !RouteReopened(e)) break;
    }
    return !s.DateUnsent && !s.ConditionsUnsent;
}

// The instrument stopped answering while its recording was to be read: its memory still holds
// the recording, which the next trigger would overwrite. It is kept for the next contact, as the
// recording of a run lost before its end is (HaltOwedRecording offers it before anything else is
// sent), and the channel selection and memory words the transfer changed are sent again then.
// True when it will be offered.
bool KeepRecordingForLater(Engine& e) {
    ProgramState& s = e.s;
    s.ConditionsUnsent = true;
    if (!s.OffersLostRecordings) return false;
    s.HaltOwed = true;
    s.LostRun = s.Meas;
    return true;
}

bool SettleBeforeCommands(Engine& e, int notMadeTextId, int cancelledTextId) {
    FailureScope scope(*e.link.transport);
    bool transferred = false;
    const bool halted = HaltOwedRecording(e, &transferred);
    if (halted && ResendWhatMayBeLost(e)) return true;
    // A refused setting mode (remote sensing) has said so itself, and so has a failed transfer of
    // the recording a lost run left.
    if (!scope.Failed() || (transferred && !halted)) return false;
    // The user's Cancel of a wait is not the instrument's fault: said as a cancel, with nothing of
    // the sequence sent. What was left unsent is sent before the next command.
    if (e.link.transport->stopRequested) {
        const Pointer saved = e.ui.GetPointer();
        e.ui.SetPointer(Pointer::Default);
        e.ui.ShowMessage(e.ui.Text(cancelledTextId), e.ui.Text(txt::CautionTitle), MsgIcon::Exclamation,
                         MsgButtons::Ok);
        e.ui.SetPointer(saved);
        return false;
    }
    ShowInstrumentLost(e, notMadeTextId, scope.Command(), {});
    return false;
}

}  // namespace kmr
