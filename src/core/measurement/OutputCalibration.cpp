#include "core/measurement/OutputCalibration.h"

#include <algorithm>
#include <cmath>

#include "core/support/Numbers.h"
#include "core/support/TextTable.h"

namespace kmr {

CalDigits CalValueToDigits(const ChannelCondition& channel, float value) {
    const bool tenth = channel.InputMode <= -4;
    const float factor = tenth ? 0.1f : 1.0f;
    const int limit = tenth ? 1000 : 10000;
    CalDigits out;
    const float t = value / channel.Coeff * factor;
    // No coefficient, no digits; a quotient beyond the float range is far beyond the limit and
    // is capped below like any other.
    if (channel.Coeff == 0.0f || std::isnan(t)) return out;
    // The whole number with its units digit replaced by 0, built from the magnitude with one
    // sign (a negative coefficient gives negative digits), capped at the limit either way.
    const double whole = std::clamp(RoundHalfEven(static_cast<double>(t)), -2147483640.0, 2147483640.0);
    const long long rounded = static_cast<long long>(whole);
    const long long magnitude = std::min<long long>((rounded < 0 ? -rounded : rounded) / 10 * 10, limit);
    out.digits = static_cast<int>(rounded < 0 ? -magnitude : magnitude);
    out.value = channel.Coeff * static_cast<float>(out.digits) / factor;
    return out;
}

std::optional<float> ParseCalValue(std::string_view typed) {
    const std::string text = ToUpperAscii(Trim(ToHalfWidth(TrimCopy(typed))));
    if (!IsRealNumberText(text)) return std::nullopt;
    const auto v = ParseFloat32(text);
    if (!v || *v < 0.0f) return std::nullopt;
    return *v == 0.0f ? 0.0f : *v;  // "-0" is 0
}

OutputCalPresenter::OutputCalPresenter(CommandTransport& transport, const MeasConditions& meas,
                                       OutputCalConditions& cal)
    : transport_(transport), meas_(meas), cal_(cal) {
    for (int ch = 1; ch <= kChannels; ++ch) {
        if (!RowEnabled(ch)) Entry(ch).Use = 0;
        Convert(ch);
    }
}

void OutputCalPresenter::Convert(int channel) {
    const CalDigits d = CalValueToDigits(meas_.Ch(channel), Entry(channel).Value);
    Entry(channel).Value = d.value;
    digits_[static_cast<std::size_t>(channel - 1)] = d.digits;
}

bool OutputCalPresenter::ButtonsEnabled() const {
    return std::any_of(cal_.begin(), cal_.end(), [](const OutputCalCondition& c) { return c.Use == 1; });
}

std::string OutputCalPresenter::ValueText(int channel) const { return FormatFloat(Entry(channel).Value); }

std::string OutputCalPresenter::DigitsText(int channel) const { return FormatInt(Digits(channel)); }

void OutputCalPresenter::SetUse(int channel, bool on) {
    if (RowEnabled(channel)) Entry(channel).Use = on ? 1 : 0;
}

std::string OutputCalPresenter::EnterValue(int channel, std::string_view typed) {
    if (const auto v = ParseCalValue(typed)) Entry(channel).Value = *v;
    Convert(channel);
    return ValueText(channel);
}

bool OutputCalPresenter::Send(const std::string& command) {
    transport_.SendCommand(command, 1);
    return transport_.Connection().Status() != RunStatus::CommFailed;
}

bool OutputCalPresenter::StartOutput(int sign, bool zero) {
    active_ = true;
    // The first failure ends the sequence; it is said once.
    FailureScope scope(transport_);
    bool ok = true;
    for (int ch = 1; ok && ch <= kChannels; ++ch) {
        if (!Use(ch)) continue;
        if (!Send("RES") || !Send("SET " + std::to_string(ch))) {
            ok = false;
            break;
        }
        // One sign: the button's times the digits' own.
        const long long v = static_cast<long long>(sign) * Digits(ch);
        const std::string value = (v < 0 ? "-" : "") + std::to_string(v < 0 ? -v : v);
        ok = Send(zero ? std::string("CAL 0") : "CAL" + value);
    }
    if (ok) ok = Send("RES");
    for (int ch = 1; ok && ch <= kChannels; ++ch)
        if (RowEnabled(ch) && !Send("SET " + std::to_string(ch))) ok = false;
    if (!ok) SayMayStillBeOn(scope.Command());
    active_ = ok;
    return ok;
}

void OutputCalPresenter::SayMayStillBeOn(const std::string& command) {
    UiPort& ui = transport_.Connection().Ui();
    // A wait the user cancelled is not the instrument's fault.
    if (transport_.stopRequested) {
        ui.ShowMessage(TextWith(ui.language, txt::CalibrationCancelledAt, {command}), ui.Text(txt::CautionTitle),
                       MsgIcon::Exclamation, MsgButtons::Ok);
        return;
    }
    ui.ShowMessage(TextWith(ui.language, txt::LostDuringCalibration, {command}), ui.Text(txt::GpibErrorTitle),
                   MsgIcon::Exclamation, MsgButtons::Ok);
}

bool OutputCalPresenter::StopOutput() {
    FailureScope scope(transport_);
    const bool ok = Send("MON");
    if (!ok) SayMayStillBeOn(scope.Command());
    active_ = !ok && active_;
    return ok;
}

void OutputCalPresenter::Click(CalButton b) {
    if (activeButton_ == b) {
        // An output the instrument was not told to end stays marked on: a second click tries again.
        if (StopOutput()) activeButton_.reset();
        return;
    }
    // A button is marked on only when the instrument accepted its commands.
    const bool accepted = b == CalButton::Zero ? StartOutput(1, true) : StartOutput(b == CalButton::Plus ? 1 : -1, false);
    if (accepted)
        activeButton_ = b;
    else
        activeButton_.reset();
}

SaveResult OutputCalPresenter::Close(const std::string& path, FileWritePort* writes) {
    StopOutput();
    active_ = false;
    activeButton_.reset();
    return SaveOutputCal(path, cal_, writes);
}

}  // namespace kmr
