#pragma once
// The instrument's monitor reply ("MDT") and what the channel panels make of it. The reply holds
// one 8-character slot per measured channel, in measured-channel order, plus a 7-character tail;
// each slot starts with a 7-character raw value ("+000123").
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/conditions/MeasConditions.h"
#include "core/graphs/NoValue.h"

namespace kmr {

// Latest monitor value per channel (index channel - 1) in engineering units, or the no-value
// marker when the channel is not measured or its field was invalid.
using MoniData = std::array<float, kChannels>;

// A field is invalid when it is empty, when a character is not a decimal digit (the first may be
// "+" or "-", but a sign alone is no number), or when its value lies outside -32768..32767.
bool IsInvalidMonitorField(std::string_view field);

// The reply length the instrument sends for `channelCount` measured channels: 8 × count + 7.
std::size_t MonitorReplyLength(int channelCount);

// Fills `out` from a reply. Returns false, leaving `out` untouched, when the reply does not have
// exactly the expected length for m.ChannelCount (the caller then stops monitoring). Otherwise
// every element becomes the no-value marker except the measured channels whose field is valid,
// which get float(raw) × Coeff + Offset, computed in 32-bit floating point.
bool ParseMonitorReply(std::string_view reply, const MeasConditions& m, MoniData& out);

// Engineering value of a valid monitor field.
float MonitorValue(std::int16_t raw, float coeff, float offset);

// The label text of a monitor value: the digit format with zeros for `point` decimals (0..5)
// (a value too wide for that in exponent form, FormatPanelValue), or "----" for the no-value
// marker.
std::string MonitorLabelText(float value, int point);

// The label texts of all ten channels, each with its own decimals.
std::array<std::string, kChannels> MonitorLabelTexts(const MoniData& data, const MeasConditions& m);

}  // namespace kmr
