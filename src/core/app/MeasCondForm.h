#pragma once
// The measurement-condition form without its window: a working copy of the measurement
// conditions that the window's lists, check boxes and text boxes edit, the entry rules of every
// text box, the sampling-clock scroll, the memory preview under the memory boxes, and what OK,
// Cancel and the close box do. Nothing reaches the live conditions before a confirmed OK.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/Engine.h"
#include "core/app/FormRules.h"
#include "core/conditions/MeasConditions.h"
#include "core/support/TextTable.h"

namespace kmr {

// The text boxes of the form; the channel boxes carry their channel 1..10.
enum class MeasField { Clock, Memory, PreMemory, Coeff, DtgLevel, Offset };
struct MeasFieldRef {
    MeasField field = MeasField::Clock;
    int channel = 0;  // 1..10 for Coeff, DtgLevel and Offset
    bool operator==(const MeasFieldRef&) const = default;
};

// One entry of a channel's input-mode list.
struct InputModeEntry {
    std::string name;
    std::int16_t code;
};
// The input modes a model offers, in list order.
std::vector<InputModeEntry> InputModeEntries(std::int32_t model);

// The sampling-clock scroll: position 9 is 0.05 ms, 0..8 are 0.9 down to 0.1 ms, -32767..-1 are
// 32767..1 ms.
inline constexpr int kClockScrollMin = -32767;
inline constexpr int kClockScrollMax = 9;
float ClockOfScrollPosition(int position);
int ScrollPositionOfClock(float clockMs);

// What the memory boxes amount to, shown under them while the user types.
struct MemoryPreview {
    double recordingMs = 0;    // memory words x clock
    double preTriggerMs = 0;   // pre-memory words x clock
    std::int32_t largestWords = 0;  // what the instrument and the file type allow
    bool possible = true;      // the memory fits and PreMemoryFits (OK refuses what is not possible)
};
// The line under the memory boxes, in the given language.
std::string MemoryPreviewText(const MemoryPreview& p, Language lang);

class MeasCondForm {
public:
    MeasCondForm(const MeasConditions& live, std::int32_t model, std::int32_t memorySizeCode,
                 std::int16_t fileType);

    const MeasConditions& Working() const { return w_; }
    const std::vector<InputModeEntry>& InputModes() const { return inputModes_; }

    // Lists and check boxes write the working copy at once.
    void SetTrgMode(int index);
    void SetAveraging(int index);
    void SetOnOff(int channel, bool on);
    void SetInputModeEntry(int channel, int entry);
    void SetLpf(int channel, int index);
    void SetPoint(int channel, int index);
    void SetUnit(int channel, int index);
    void SetDtgOnOff(int channel, bool on);
    // The list entry that shows a channel's input mode; -1 when the model has no entry for it.
    int InputModeEntryOf(int channel) const;

    // Commits a typed text (Enter or leaving the box): trimmed, full-width to half-width, upper
    // case, validated; stores the value when valid (a trigger level is then snapped). Returns
    // whether it was accepted; the box then shows Text(field) either way.
    bool Commit(MeasFieldRef field, std::string_view typed);
    // The display form of a box's working value.
    std::string Text(MeasFieldRef field) const;

    // The instrument does not average at clocks under 1 ms (OK then stores averaging OFF): the
    // list shows OFF and cannot be chosen there; the entry chosen comes back with a slower clock.
    bool AveragingOffered() const { return !IsSubMsClock(w_.SmpClk); }
    int AveragingShown() const { return AveragingOffered() ? w_.Averaging : 0; }

    // The clock scroll moved: the clock follows.
    void SetClockByScroll(int position);
    int ClockScrollPosition() const { return ScrollPositionOfClock(w_.SmpClk); }

    // The preview of the memory boxes as typed (texts that do not read as numbers count as the
    // working values).
    MemoryPreview Preview(std::string_view memoryText, std::string_view preMemoryText) const;

    // The text box clicked last, committed before a close by the close box.
    void Clicked(MeasFieldRef field) { lastClicked_ = field; }
    std::optional<MeasFieldRef> LastClicked() const { return lastClicked_; }

    // The change mask against `live`, after the averaging rule (no averaging at 0.9 ms and faster)
    // has been applied to the working copy.
    std::string PendingMask(const MeasConditions& live);
    // Whether the pending mask has a change.
    bool Changed(const MeasConditions& live);
    // 118 (data trigger without a measured trigger channel), 115 (no measured channel), 2514 (a
    // pre-trigger memory the readout calls not possible: PreMemoryFits) or 0.
    int OkRefusal() const;
    // The largest memory words the instrument and the file type allow.
    std::int32_t LargestMemoryWords() const;

private:
    MeasConditions w_;
    std::int32_t memorySizeCode_;
    std::int16_t fileType_;
    std::vector<InputModeEntry> inputModes_;
    std::optional<MeasFieldRef> lastClicked_;
};

// The channels switched on in `edited` that the instrument does not have ("3, 4"), empty when
// none; on-line the form is not confirmed with them.
std::string MeasuredButNotInstalled(const MeasConditions& edited, const MeasConditions& live);

// OK: the refusals (118, 115), the change mask, question 157, and on Yes: `hide` the form,
// hourglass, DataPresent := 0, the copy into the live conditions, the download of the changed
// groups (on-line), Meas.cnd saved, the graphs back to monitor mode and redrawn. A failed
// download still applies and saves the new values.
FormOutcome MeasCondOk(Engine& e, MeasCondForm& form, const std::function<void()>& hide);

}  // namespace kmr
