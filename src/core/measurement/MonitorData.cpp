#include "core/measurement/MonitorData.h"

#include <algorithm>

#include "core/support/Numbers.h"

namespace kmr {

namespace {

constexpr std::size_t kFieldWidth = 7;
constexpr std::size_t kSlotWidth = 8;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value of a field that IsInvalidMonitorField accepted.
std::int16_t FieldValue(std::string_view field) {
    bool negative = false;
    std::size_t i = 0;
    if (field[0] == '+' || field[0] == '-') {
        negative = field[0] == '-';
        i = 1;
    }
    long v = 0;
    for (; i < field.size(); ++i) v = v * 10 + (field[i] - '0');
    return static_cast<std::int16_t>(negative ? -v : v);
}

}  // namespace

bool IsInvalidMonitorField(std::string_view field) {
    if (field.empty()) return true;
    std::size_t i = 0;
    if (field[0] == '+' || field[0] == '-') i = 1;
    if (i == field.size()) return true;  // a sign without digits
    long v = 0;
    for (; i < field.size(); ++i) {
        if (!IsDigit(field[i])) return true;
        v = v * 10 + (field[i] - '0');
        if (v > 32768) return true;  // already out of range either way; no overflow on long runs
    }
    if (field[0] == '-') return v > 32768;
    return v > 32767;
}

std::size_t MonitorReplyLength(int channelCount) {
    return kSlotWidth * static_cast<std::size_t>(std::max(channelCount, 0)) + kFieldWidth;
}

float MonitorValue(std::int16_t raw, float coeff, float offset) {
    const float product = static_cast<float>(raw) * coeff;
    return product + offset;
}

bool ParseMonitorReply(std::string_view reply, const MeasConditions& m, MoniData& out) {
    if (m.ChannelCount < 0 || reply.size() != MonitorReplyLength(m.ChannelCount)) return false;
    out.fill(kNoValue);
    const std::size_t slots =
        std::min(static_cast<std::size_t>(m.ChannelCount), m.MeasuredChannels.size());
    for (std::size_t i = 0; i < slots; ++i) {
        const int channel = m.MeasuredChannels[i];
        if (channel < 1 || channel > kChannels) continue;
        const std::string_view field = reply.substr(kSlotWidth * i, kFieldWidth);
        if (IsInvalidMonitorField(field)) continue;
        const ChannelCondition& c = m.Ch(channel);
        out[static_cast<std::size_t>(channel - 1)] = MonitorValue(FieldValue(field), c.Coeff, c.Offset);
    }
    return true;
}

std::string MonitorLabelText(float value, int point) {
    if (IsNoValue(value)) return kNoValueText;
    return FormatPanelValue(static_cast<double>(value), std::clamp(point, 0, 5));
}

std::array<std::string, kChannels> MonitorLabelTexts(const MoniData& data, const MeasConditions& m) {
    std::array<std::string, kChannels> texts;
    for (int ch = 1; ch <= kChannels; ++ch)
        texts[static_cast<std::size_t>(ch - 1)] =
            MonitorLabelText(data[static_cast<std::size_t>(ch - 1)], m.Ch(ch).Point);
    return texts;
}

}  // namespace kmr
