#include "core/conditions/MeasConditions.h"

#include <cmath>
#include <limits>

#include "core/conditions/CndLoad.h"
#include "core/support/Numbers.h"
#include "core/support/TextIds.h"

namespace kmr {

namespace {

bool ReadClock(CndReader& r, float& field) {
    float v = 0.0f;
    if (!r.ReadFloat(v)) return false;
    TakeOffered(r, field, v, IsOfferedClock);
    return true;
}

// The instrument does not average at its sub-millisecond clocks and refuses such a clock while
// averaging is set: with one, only averaging off is kept.
bool ReadAveraging(CndReader& r, std::int16_t& field, float clockMs) {
    std::int16_t v = 0;
    if (!r.ReadInt16(v)) return false;
    TakeOffered(r, field, v, [clockMs](std::int16_t n) {
        return kAveragingRange.Holds(n) && (n == 0 || !IsSubMsClock(clockMs));
    });
    return true;
}

bool ReadInputMode(CndReader& r, std::int16_t& field) {
    std::int16_t v = 0;
    if (!r.ReadInt16(v)) return false;
    TakeOffered(r, field, v, [](std::int16_t code) { return FindInputMode(code) != nullptr; });
    return true;
}

// A coefficient the form could not have stored (beyond 3.403E+30 a raw count times it leaves the
// float range, and the files and charts would show infinities) is replaced. A coefficient of 0 is
// kept: the values are then the offset, and the trigger level stays as it is.
bool ReadCoeff(CndReader& r, float& field) {
    float v = 0.0f;
    if (!r.ReadFloat(v) || !std::isfinite(v)) return false;
    TakeOffered(r, field, v, [](float x) { return x == 0.0f || MagnitudeAllowed(x); });
    return true;
}

// An offset beyond the values a channel can give is replaced, as the form refuses it.
bool ReadOffset(CndReader& r, float& field) {
    float v = 0.0f;
    if (!r.ReadFloat(v) || !std::isfinite(v)) return false;
    TakeOffered(r, field, v, [](float x) { return std::fabs(x) <= kLargestOffset; });
    return true;
}

// One channel line. An item outside its field's choices keeps the default, so that a hand-edited
// file never puts an index outside its list or an unknown code into the record.
bool ReadChannel(CndReader& r, ChannelCondition& c) {
    return ReadInt16In(r, c.OnOff, kFlagRange) && ReadInputMode(r, c.InputMode) &&
           ReadInt16In(r, c.Lpf, kLpfRange) && ReadCoeff(r, c.Coeff) &&
           ReadInt16In(r, c.Point, kPointRange) && ReadInt16In(r, c.Unit, kUnitRange) &&
           ReadInt16In(r, c.DtgOnOff, kFlagRange) && ReadFiniteFloat(r, c.DtgLevel) &&
           ReadOffset(r, c.Offset);
}

bool ReadMeasItems(CndReader& r, MeasConditions& m) {
    if (!(ReadInt16In(r, m.TrgMode, kTrgModeRange) && ReadClock(r, m.SmpClk) &&
          // Memory words above the instrument's capacity are kept: start-up limits them to the
          // capacity of the instrument it finds.
          ReadInt32In(r, m.MemoryWords, 1, std::numeric_limits<std::int32_t>::max()) &&
          // The pre-trigger memory follows the form's rule (PreMemoryFits).
          ReadInt32In(r, m.PreMemoryWords, 0, m.MemoryWords - 1) &&
          ReadAveraging(r, m.Averaging, m.SmpClk) &&
          ReadInt16In(r, m.ChannelCount, kChannelCountRange)))
        return false;
    for (auto& c : m.Channels)
        if (!ReadChannel(r, c)) return false;
    return true;
}

}  // namespace

int ChannelSetRefusal(const MeasConditions& m) {
    const auto& ch = m.Channels;
    // A channel triggers only with a level of at least one count: the instrument is sent TGL0
    // (no trigger on that channel) for a level or coefficient of 0, which only a hand-edited
    // Meas.cnd holds.
    const auto triggers = [](const ChannelCondition& c) {
        return c.Measured() && c.DataTrigger() && c.DtgLevel != 0.0f && c.Coeff != 0.0f;
    };
    if (m.TrgMode == 1 && std::none_of(ch.begin(), ch.end(), triggers))
        return txt::NoDataTriggerChannel;
    if (std::none_of(ch.begin(), ch.end(), [](const ChannelCondition& c) { return c.Measured(); }))
        return txt::NoMeasuredChannel;
    return 0;
}

void SetMeasDefaults(MeasConditions& m) {
    m.TrgMode = 0;
    m.SmpClk = kDefaultClockMs;
    m.MemoryWords = 1000;
    m.PreMemoryWords = 0;
    m.Averaging = 0;
    m.ChannelCount = kChannels;
    for (auto& c : m.Channels) {
        const std::int16_t installed = c.Installed;
        c = ChannelCondition{};
        c.Installed = installed;
    }
    RebuildMeasuredChannels(m);
}

void RebuildMeasuredChannels(MeasConditions& m) {
    m.MeasuredChannels.clear();
    for (int ch = 1; ch <= kChannels; ++ch)
        if (m.Ch(ch).Measured()) m.MeasuredChannels.push_back(ch);
    m.ChannelCount = static_cast<std::int16_t>(m.MeasuredChannels.size());
}

void SnapTriggerLevel(MeasConditions& m, int channel) {
    if (channel < 1 || channel > kChannels) return;
    ChannelCondition& c = m.Ch(channel);
    if (c.Coeff == 0.0f) return;  // no count can be computed; the level stays as it is
    double counts = static_cast<double>(c.DtgLevel) / static_cast<double>(c.Coeff);
    if (std::fabs(counts) <= kLargestTriggerCounts) {
        // A level under half a count would become 0 counts, which the instrument takes as "no
        // trigger on this channel" (TGL0): the channel would drop out of the data trigger
        // without a word. The smallest level it takes, one count on the level's side, is kept.
        const double rounded = RoundHalfEven(counts);
        counts = rounded != 0.0 || counts == 0.0 ? rounded : (counts < 0 ? -1.0 : 1.0);
    } else {
        // The limit takes the sign of the counts (not of the level), so that a negative
        // coefficient keeps the level on its own side of zero.
        counts = counts < 0 ? -kLargestTriggerCounts : kLargestTriggerCounts;
    }
    const double level = static_cast<double>(c.Coeff) * counts;
    // Rounding up next to the float limit could leave the float range; keep the level then.
    if (std::fabs(level) > static_cast<double>(std::numeric_limits<float>::max())) return;
    c.DtgLevel = static_cast<float>(level);
}

std::string BuildChangeMask(const MeasConditions& edited, const MeasConditions& live) {
    std::string mask = kEmptyChangeMask;
    bool onOffChanged = false;
    bool displayChanged = edited.TrgMode != live.TrgMode;
    for (int ch = 1; ch <= kChannels; ++ch) {
        const ChannelCondition& e = edited.Ch(ch);
        const ChannelCondition& l = live.Ch(ch);
        if (e.OnOff != l.OnOff) onOffChanged = true;
        if (e.OnOff != l.OnOff || e.InputMode != l.InputMode || e.Lpf != l.Lpf ||
            e.DtgOnOff != l.DtgOnOff || e.DtgLevel != l.DtgLevel || e.Coeff != l.Coeff)
            mask[static_cast<std::size_t>(ch - 1)] = '1';
        if (e.Point != l.Point || e.Unit != l.Unit || e.Offset != l.Offset) displayChanged = true;
    }
    if (onOffChanged) mask[10] = '1';
    if (onOffChanged || edited.SmpClk != live.SmpClk) mask[11] = '1';
    if (onOffChanged || edited.MemoryWords != live.MemoryWords) mask[12] = '1';
    if (onOffChanged || edited.PreMemoryWords != live.PreMemoryWords) mask[13] = '1';
    if (onOffChanged || edited.Averaging != live.Averaging) mask[14] = '1';
    if (displayChanged) mask[15] = '1';
    return mask;
}

namespace {

CndWriter MeasWriter(const MeasConditions& m) {
    CndWriter w;
    w.Int(m.TrgMode).EndLine();
    w.Float(m.SmpClk).EndLine();
    w.Int(m.MemoryWords).Int(m.PreMemoryWords).EndLine();
    w.Int(m.Averaging).EndLine();
    w.Int(m.ChannelCount).EndLine();
    for (const auto& c : m.Channels) {
        w.Int(c.OnOff).Int(c.InputMode).Int(c.Lpf).Float(c.Coeff).Int(c.Point).Int(c.Unit)
            .Int(c.DtgOnOff).Float(c.DtgLevel).Float(c.Offset).EndLine();
    }
    return w;
}

}  // namespace

std::string MeasConditionsText(const MeasConditions& m) { return MeasWriter(m).str(); }

SaveResult SaveMeasConditions(const std::string& path, const MeasConditions& m, FileWritePort* writes) {
    return MeasWriter(m).Save(path, writes);
}

LoadResult LoadMeasConditions(const std::string& path, MeasConditions& m, FileWritePort* writes) {
    return LoadCndFile(
        path,
        [&m](CndReader& r) {
            const bool read = ReadMeasItems(r, m) && r.AtEnd();
            // The count and the list always follow OnOff, whatever count the file holds.
            RebuildMeasuredChannels(m);
            return read;
        },
        [&] { return SaveMeasConditions(path, m, writes); });
}

}  // namespace kmr
