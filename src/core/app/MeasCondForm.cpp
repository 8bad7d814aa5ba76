#include "core/app/MeasCondForm.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/app/OpenRecord.h"
#include "core/app/RunController.h"
#include "core/app/Startup.h"
#include "core/datafiles/Csv.h"
#include "core/datafiles/DataFileNaming.h"
#include "core/graphs/ChartModel.h"
#include "core/support/Numbers.h"
#include "core/support/Vocabulary.h"

namespace kmr {

namespace {

// The texts a clock box accepts below one millisecond.
constexpr std::array<std::string_view, 10> kSubMsClockTexts{"0.05", "0.1", "0.2", "0.3", "0.4",
                                                            "0.5",  "0.6", "0.7", "0.8", "0.9"};
std::string Signed(float v) { return (v > 0 ? "+" : "") + FormatFloat(v); }

template <typename T>
void SetIndex(T& field, int index, int lo, int hi) {
    if (index >= lo && index <= hi) field = static_cast<T>(index);
}

}  // namespace

std::vector<InputModeEntry> InputModeEntries(std::int32_t model) {
    std::vector<InputModeEntry> out;
    for (const InputModeFact& f : kInputModes)
        if (model == kModelKmr510C ? f.onKmr510C : f.onKmr530A) out.push_back({std::string(f.name), f.code});
    return out;
}

float ClockOfScrollPosition(int position) {
    position = std::clamp(position, kClockScrollMin, kClockScrollMax);
    if (position == 9) return kSubMsClocks[0].ms;
    if (position >= 0) return kSubMsClocks[static_cast<std::size_t>(9 - position)].ms;
    return static_cast<float>(-position);
}

int ScrollPositionOfClock(float clockMs) {
    for (std::size_t i = 0; i < kSubMsClocks.size(); ++i)
        if (kSubMsClocks[i].ms == clockMs) return i == 0 ? 9 : 9 - static_cast<int>(i);
    return -std::clamp(static_cast<int>(RoundHalfEven(clockMs)), 1, static_cast<int>(kLongestClockMs));
}

std::string MemoryPreviewText(const MemoryPreview& p, Language lang) {
    auto time = [](double ms) {
        if (std::fabs(ms) < 1000.0) return FormatFloat(static_cast<float>(ms)) + " ms";
        return FormatFixed(ms / 1000.0, 3) + " s";
    };
    std::string text = lang == Language::Japanese
                           ? "記録時間 " + time(p.recordingMs) + "、プリトリガ時間 " + time(p.preTriggerMs) +
                                 "、最大メモリ " + FormatInt(p.largestWords) + " word"
                           : "Recording " + time(p.recordingMs) + ", pre-trigger " + time(p.preTriggerMs) +
                                 ", largest memory " + FormatInt(p.largestWords) + " words";
    if (!p.possible) text += lang == Language::Japanese ? "（設定できません）" : " (not possible)";
    return text;
}

// --- The form ------------------------------------------------------------------------------------

MeasCondForm::MeasCondForm(const MeasConditions& live, std::int32_t model, std::int32_t memorySizeCode,
                           std::int16_t fileType)
    : w_(live), memorySizeCode_(memorySizeCode), fileType_(fileType), inputModes_(InputModeEntries(model)) {}

void MeasCondForm::SetTrgMode(int index) { SetIndex(w_.TrgMode, index, kTrgModeRange.lo, kTrgModeRange.hi); }
void MeasCondForm::SetAveraging(int index) {
    SetIndex(w_.Averaging, index, kAveragingRange.lo, kAveragingRange.hi);
}
void MeasCondForm::SetOnOff(int channel, bool on) { w_.Ch(channel).OnOff = on ? 1 : 0; }
void MeasCondForm::SetDtgOnOff(int channel, bool on) { w_.Ch(channel).DtgOnOff = on ? 1 : 0; }
void MeasCondForm::SetLpf(int channel, int index) { SetIndex(w_.Ch(channel).Lpf, index, kLpfRange.lo, kLpfRange.hi); }
void MeasCondForm::SetPoint(int channel, int index) {
    SetIndex(w_.Ch(channel).Point, index, kPointRange.lo, kPointRange.hi);
}
void MeasCondForm::SetUnit(int channel, int index) {
    SetIndex(w_.Ch(channel).Unit, index, kUnitRange.lo, kUnitRange.hi);
}

void MeasCondForm::SetInputModeEntry(int channel, int entry) {
    if (entry >= 0 && entry < static_cast<int>(inputModes_.size()))
        w_.Ch(channel).InputMode = inputModes_[static_cast<std::size_t>(entry)].code;
}

int MeasCondForm::InputModeEntryOf(int channel) const {
    for (std::size_t i = 0; i < inputModes_.size(); ++i)
        if (inputModes_[i].code == w_.Ch(channel).InputMode) return static_cast<int>(i);
    return -1;
}

std::int32_t MeasCondForm::LargestMemoryWords() const {
    const std::int32_t capacity = MemoryCapacity(memorySizeCode_);
    return fileType_ == kFileTypeCsv ? std::min(capacity, kLargestCsvWords) : capacity;
}

// A coefficient or offset typed with more digits than the box and Meas.cnd show is kept as the
// value they show (SettledFloat), so that this session's records use the number the next one
// reads back. (The level is kept in whole counts of the coefficient, which it sends.)
bool MeasCondForm::Commit(MeasFieldRef field, std::string_view typed) {
    const std::string t = NormaliseTyped(typed);
    if (t.empty()) return false;
    switch (field.field) {
        case MeasField::Clock: {
            for (std::size_t i = 0; i < kSubMsClockTexts.size(); ++i)
                if (t == kSubMsClockTexts[i]) {
                    w_.SmpClk = kSubMsClocks[i].ms;
                    return true;
                }
            const auto v = ParseUnsignedCount(t);
            if (!v || *v < 1 || *v > static_cast<std::int32_t>(kLongestClockMs)) return false;
            w_.SmpClk = static_cast<float>(*v);
            return true;
        }
        case MeasField::Memory: {
            const auto v = ParseUnsignedCount(t);
            if (!v || !PreMemoryFits(*v, w_.PreMemoryWords) || *v > LargestMemoryWords()) return false;
            w_.MemoryWords = *v;
            return true;
        }
        case MeasField::PreMemory: {
            const auto v = ParseUnsignedCount(t);
            if (!v || !PreMemoryFits(w_.MemoryWords, *v)) return false;
            w_.PreMemoryWords = *v;
            return true;
        }
        case MeasField::Coeff: {
            // The user's number form, exponent included (the box shows "+1.000000E+00").
            const auto v = ParseNumber(t);
            if (!v || *v == 0 || !MagnitudeAllowed(*v)) return false;
            // The limits are checked again on the value kept, as Meas.cnd is read.
            const float coeff = SettledFloat(static_cast<float>(*v));
            if (!MagnitudeAllowed(coeff)) return false;
            w_.Ch(field.channel).Coeff = coeff;
            // The instrument takes the level in whole counts of the coefficient: the level box
            // shows the level the new coefficient gives, not one the instrument never uses.
            SnapTriggerLevel(w_, field.channel);
            return true;
        }
        case MeasField::DtgLevel: {
            if (!IsRealNumberText(t)) return false;
            const auto v = ParseFloat32(t);
            if (!v || *v == 0 || !MagnitudeAllowed(*v)) return false;
            w_.Ch(field.channel).DtgLevel = *v;
            SnapTriggerLevel(w_, field.channel);
            return true;
        }
        case MeasField::Offset: {
            if (!IsRealNumberText(t)) return false;
            const auto v = ParseFloat32(t);
            if (!v || std::fabs(*v) > kLargestOffset) return false;
            w_.Ch(field.channel).Offset = SettledFloat(*v);
            return true;
        }
    }
    return false;
}

std::string MeasCondForm::Text(MeasFieldRef field) const {
    switch (field.field) {
        case MeasField::Clock: return FormatFloat(w_.SmpClk);
        case MeasField::Memory: return FormatInt(w_.MemoryWords);
        case MeasField::PreMemory: return FormatInt(w_.PreMemoryWords);
        case MeasField::Coeff: return FormatCoefficient(w_.Ch(field.channel).Coeff);
        case MeasField::DtgLevel: return Signed(w_.Ch(field.channel).DtgLevel);
        case MeasField::Offset: return Signed(w_.Ch(field.channel).Offset);
    }
    return {};
}

void MeasCondForm::SetClockByScroll(int position) { w_.SmpClk = ClockOfScrollPosition(position); }

MemoryPreview MeasCondForm::Preview(std::string_view memoryText, std::string_view preMemoryText) const {
    const auto memory = ParseUnsignedCount(NormaliseTyped(memoryText));
    const auto pre = ParseUnsignedCount(NormaliseTyped(preMemoryText));
    const std::int32_t m = memory.value_or(w_.MemoryWords);
    const std::int32_t p = pre.value_or(w_.PreMemoryWords);
    MemoryPreview out;
    out.recordingMs = static_cast<double>(m) * w_.SmpClk;
    out.preTriggerMs = static_cast<double>(p) * w_.SmpClk;
    out.largestWords = LargestMemoryWords();
    out.possible = m <= out.largestWords && PreMemoryFits(m, p);
    return out;
}

std::string MeasCondForm::PendingMask(const MeasConditions& live) {
    if (w_.SmpClk <= kLongestSubMsClockMs) w_.Averaging = 0;
    return BuildChangeMask(w_, live);
}

bool MeasCondForm::Changed(const MeasConditions& live) { return PendingMask(live).find('1') != std::string::npos; }

int MeasCondForm::OkRefusal() const {
    if (const int refusal = ChannelSetRefusal(w_)) return refusal;
    // The readout's rule (conditions loaded from an older file may break it).
    if (!PreMemoryFits(w_.MemoryWords, w_.PreMemoryWords)) return txt::PreMemoryTooLarge;
    return 0;
}

// --- OK and closing ------------------------------------------------------------------------------

namespace {

bool HasChange(const std::string& mask) { return mask.find('1') != std::string::npos; }

// The edited fields into the live record; the installed channels and the derived list stay the
// live record's own until the download rebuilds them.
void WriteBack(MeasConditions& live, const MeasConditions& edited) {
    MeasConditions next = edited;
    next.ChannelCount = live.ChannelCount;
    next.MeasuredChannels = live.MeasuredChannels;
    next.TriggerTime = live.TriggerTime;
    for (int n = 1; n <= kChannels; ++n) next.Ch(n).Installed = live.Ch(n).Installed;
    live = next;
}

}  // namespace

std::string MeasuredButNotInstalled(const MeasConditions& edited, const MeasConditions& live) {
    std::string list;
    for (int n = 1; n <= kChannels; ++n)
        if (edited.Ch(n).OnOff == 1 && live.Ch(n).Installed != 1)
            list += (list.empty() ? "" : ", ") + std::to_string(n);
    return list;
}

FormOutcome MeasCondOk(Engine& e, MeasCondForm& form, const std::function<void()>& hide) {
    ProgramState& s = e.s;
    if (const int refusal = form.OkRefusal(); refusal != 0) {
        e.ui.ShowMessage(e.ui.Text(refusal), e.ui.Text(txt::SettingErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
        return FormOutcome::StayOpen;
    }
    // The instrument refuses a channel it does not have, and every run would fail at it.
    if (const std::string missing = s.ProgramMode == kModeOnline ? MeasuredButNotInstalled(form.Working(), s.Meas) : "";
        !missing.empty()) {
        e.ui.ShowMessage(TextWith(e.ui.language, txt::ChannelsNotInstalled, {missing}), e.ui.Text(txt::SettingErrorTitle),
                         MsgIcon::Exclamation, MsgButtons::Ok);
        return FormOutcome::StayOpen;
    }
    const std::string mask = form.PendingMask(s.Meas);
    if (!HasChange(mask)) return FormOutcome::Close;
    if (e.ui.ShowMessage(e.ui.Text(txt::SaveChangesQuestion), e.ui.Text(txt::RegistrationButton), MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes)
        return FormOutcome::StayOpen;

    if (hide) hide();
    e.ui.SetPointer(Pointer::Hourglass);
    s.DataPresent = kFalse;
    ForgetOpenedRecord(e);
    WriteBack(s.Meas, form.Working());
    if (s.ProgramMode == kModeOnline && e.link.commands) {
        const bool halted = HaltOwedRecording(e);
        if (halted) e.link.commands->DownloadConditions(mask);
        s.ConditionsUnsent = s.ConditionsUnsent || !halted || e.Failed();
    }
    // Off-line, or after a failed download, the list of measured channels still follows OnOff.
    RebuildMeasuredChannels(s.Meas);
    SaveProblems problems;
    problems.Add(SaveMeasConditions(s.CondPath(kMeasCnd), s.Meas, s.Writes));
    e.chart.SetGraphMode(kMonitorMode);
    e.chart.ResetAllGraphs(s.Graph, s.Meas, s.Vocab.units);
    e.ui.SetPointer(Pointer::Default);
    problems.Report(e.ui);
    return FormOutcome::Applied;
}

}  // namespace kmr
