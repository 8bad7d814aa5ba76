#pragma once
// The measurement run: Start/Stop, the end-of-conversion polling with the remaining time, the
// high-speed path in which the trigger command itself waits for the end of the recording, and
// the end of conversion that hands over to the transfer and the graphs.
#include <cstdint>
#include <optional>
#include <string>

#include "core/app/Engine.h"
#include "core/app/MainWindowRules.h"

namespace kmr {

// The remaining-time caption: words × clock ÷ 1000 seconds with one decimal, then " SEC.".
std::string RestTimeCaption(std::int32_t words, float smpClk);
// The count at the head of an "EOC" reply, held within the memory; none when it carries no count.
std::optional<std::int32_t> ConvertedIn(const std::string& reply, std::int32_t memoryWords);

// Gives the instrument again what it may lack, once a recording owed a halt is halted
// (HaltOwedRecording): the setting mode, the date, the time and the conditions once the route has
// been opened again (the instrument behind it may have restarted; see GpibBus::Reopenings), the
// conditions after a download stopped early. A route opened again while
// they are sent (a retry that connected again) has them sent once more. True when nothing is left
// unsent; a failure is reported by the transport as any other.
bool ResendWhatMayBeLost(Engine& e);
// After a run that ended without the instrument confirming it (ProgramState::HaltOwed), "HLT"
// before anything else is sent: an instrument still recording refuses a trigger, new settings, a
// balance or a check. What the instrument recorded of the run is offered for transfer first
// (ProgramState::LostRun); `transferred` tells whether it was taken. False when the instrument did
// not answer (the failure is kept for the caller's message) or the transfer failed (it said so).
bool HaltOwedRecording(Engine& e, bool* transferred = nullptr);
// The instrument stopped answering while the recording of a run was to be read: the recording is
// kept for the next contact, as a lost run's is, and the conditions are owed. True when it will
// be offered (not by a program that ends with the run).
bool KeepRecordingForLater(Engine& e);
// Before a balance, a check or an output calibration: what the instrument may lack is settled
// first (ResendWhatMayBeLost: the halt a lost run owes, the date, the conditions), so that the
// sequence is not refused. False, after one message (text `notMadeTextId` naming the command that
// failed, or `cancelledTextId` when the user cancelled a wait), when it could not be: nothing of
// the sequence is to be sent then.
bool SettleBeforeCommands(Engine& e, int notMadeTextId, int cancelledTextId);
// Whether the program is on-line with its connection closed: a change of timeout (the self-check
// window's end, a high-speed trigger) closed it and could not open it again. HaltOwedRecording
// opens it again first, and the instrument, which may have restarted meanwhile, is owed the
// setting mode, the date and the conditions then.
bool ConnectionLeftClosed(const Engine& e);
// Whether the route has been opened again since the instrument was last given everything.
bool RouteReopened(const Engine& e);
// After the route was opened again under a run's transfer: whether the instrument behind it
// still holds the run's recording - it counts the words converted and names the trigger time of
// the record - rather than having restarted without it.
bool StillHoldsRecording(Engine& e);
// Whether the instrument is still owed its date or the conditions (a download stopped early):
// until it has them it measures other channels than the program reads, so the live values are
// only read after they are sent.
// A connection left closed counts too (see ConnectionLeftClosed).
inline bool SettingsOwed(const Engine& e) {
    return e.s.DateUnsent || e.s.ConditionsUnsent || ConnectionLeftClosed(e);
}
// The one message of an instrument lost in the middle of something: text `textId` naming the
// command that failed, then what was kept (when given).
void ShowInstrumentLost(Engine& e, int textId, const std::string& command, const std::string& kept);

// The Start/Stop button and the menu item "Start". A Stop asks, once the instrument has halted,
// how far it got, and transfers that much. A Stop the instrument refuses (an error reply
// to "HLT") leaves the run going, polled as before, and says that it may still be recording; a
// second refusal in the same run ends it as a Stop the instrument does not answer does.
void StartOrStop(Engine& e);
// One tick of the 50 ms end-of-conversion timer. A poll the instrument refuses is tried again at
// the next tick, said once a run; a poll it does not answer ends the run (EndLostRun).
void EocTimerTick(Engine& e);
// Closes a run and transfers its data; the path of the file written is kept in `LastDataFile`.
// A run that wrote no file leaves the caption in its next-file form and says so.
void EndOfConversion(Engine& e);
// The run's instrument stopped answering (`command` failed): the run ends at once - timers off,
// run flags cleared, buttons, menus and captions back to idle - and one message says what failed
// and that no data file was written. The window can be closed afterwards.
void EndLostRun(Engine& e, const std::string& command);
// The route was opened again during the run and the instrument now counts `words`, fewer than
// the run had seen converted: it restarted meanwhile and the recording is gone. The run ends as
// a lost one does, with its own message; nothing is offered for transfer later.
bool RecordingGone(const Engine& e, std::int32_t words);
void EndRunWithoutRecording(Engine& e, std::int32_t words);

}  // namespace kmr
