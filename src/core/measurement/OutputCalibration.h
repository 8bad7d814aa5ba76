#pragma once
// Output calibration (KMR-510C): the instrument puts a known signal (+Cal, 0 or −Cal) on the
// outputs of chosen channels. Values are typed in the channel's engineering unit and sent as
// instrument digits on its step of 10.
#include <optional>
#include <string>
#include <string_view>

#include "core/conditions/MeasConditions.h"
#include "core/conditions/OutputCal.h"
#include "core/instrument/CommandTransport.h"
#include "core/support/CndFile.h"

namespace kmr {

struct CalDigits {
    int digits = 0;      // what the instrument is told: a multiple of 10, its magnitude at most the limit
    float value = 0.0f;  // the value actually output, in the channel's unit
};

// value / Coeff × F rounded to a whole number, its units digit dropped (1234 → 1230, 7 → 0) and
// capped at L (F 0.1 and L 1000 for the 0.1STRAIN modes, F 1 and L 10000 otherwise); the value
// becomes Coeff × digits / F. A coefficient of 0 gives 0 digits.
CalDigits CalValueToDigits(const ChannelCondition& channel, float value);

// A typed value: trimmed, upper case, full-width characters made half-width, then a real number
// (optional sign, digits, at most one point) that is ≥ 0 as a 32-bit float. None otherwise.
std::optional<float> ParseCalValue(std::string_view typed);

enum class CalButton { Plus = 0, Zero = 1, Minus = 2 };

class OutputCalPresenter {
public:
    // Rows of unmeasured channels get Use 0; every value is brought onto the instrument's step.
    OutputCalPresenter(CommandTransport& transport, const MeasConditions& meas, OutputCalConditions& cal);

    bool RowEnabled(int channel) const { return meas_.Ch(channel).Measured(); }
    // The On/Off box and the value box: measured and no output on.
    bool BoxesEnabled(int channel) const { return RowEnabled(channel) && !active_; }
    bool Use(int channel) const { return Entry(channel).Use == 1; }
    // The three output buttons: at least one channel ticked.
    bool ButtonsEnabled() const;
    std::string ValueText(int channel) const;
    std::string DigitsText(int channel) const;
    int Digits(int channel) const { return digits_[static_cast<std::size_t>(channel - 1)]; }

    void SetUse(int channel, bool on);
    // Enter or leaving the box: an accepted value replaces the stored one, anything else keeps it.
    // Returns the text the box shows afterwards.
    std::string EnterValue(int channel, std::string_view typed);

    // A click on +Cal, 0 or −Cal: starts that output, or ends it when it is the one that is on
    // (a "MON" that fails leaves it marked on, said once). Another output starts directly,
    // without "MON" in between.
    void Click(CalButton b);
    // The button showing the active colour, if any.
    std::optional<CalButton> ActiveButton() const { return activeButton_; }
    bool CalibrationActive() const { return active_; }

    // The window closes: "MON" always (a failure said once), then the settings are saved
    // (`writes` asked before each write).
    SaveResult Close(const std::string& path, FileWritePort* writes);

private:
    OutputCalCondition& Entry(int channel) { return cal_[static_cast<std::size_t>(channel - 1)]; }
    const OutputCalCondition& Entry(int channel) const { return cal_[static_cast<std::size_t>(channel - 1)]; }
    void Convert(int channel);
    bool Send(const std::string& command);
    // True when the instrument accepted every command.
    bool StartOutput(int sign, bool zero);
    // "MON". False, after one message that the output may still be on, when it failed.
    bool StopOutput();
    void SayMayStillBeOn(const std::string& command);

    CommandTransport& transport_;
    const MeasConditions& meas_;
    OutputCalConditions& cal_;
    std::array<int, kChannels> digits_{};
    bool active_ = false;
    std::optional<CalButton> activeButton_;
};

}  // namespace kmr
