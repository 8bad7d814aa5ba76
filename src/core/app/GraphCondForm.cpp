#include "core/app/GraphCondForm.h"

#include <algorithm>
#include <cmath>

#include "core/app/Startup.h"
#include "core/support/Numbers.h"

namespace kmr {

namespace {

constexpr std::int32_t kLargestCount16 = 32767;

// A whole number of the boxes from 1 to `largest`.
std::optional<std::int32_t> Count(const std::string& t, std::int32_t largest) {
    const auto v = ParseUnsignedCount(t);
    if (!v || *v < 1 || *v > largest) return std::nullopt;
    return v;
}

// The value when it also meets `rule`.
template <typename V, typename Rule>
std::optional<V> Where(std::optional<V> v, Rule rule) {
    return v && rule(*v) ? v : std::nullopt;
}

// No value a channel gives, and no time of a record, is larger than the largest 32-bit float; a
// scale beyond it cannot be drawn (its width overflows).
constexpr double kLargestScaleValue = 3.4028234663852886e38;

// A real number of the boxes: optional sign, digits, at most one point; within the drawable scale.
// The value is the one its box and Graph.cnd show (at most 15 digits), so that the rules are met
// by what is shown and saved: a minimum typed with 16 nines below a maximum of 10 shows and
// saves as 10, and is no minimum below 10.
std::optional<double> Real(const std::string& t) {
    if (!IsRealNumberText(t)) return std::nullopt;
    const auto v = ParseNumber(t);
    if (!v) return std::nullopt;
    return Where(std::optional<double>(SettledDouble(*v)),
                 [](double x) { return std::isfinite(x) && std::fabs(x) <= kLargestScaleValue; });
}

// Stores an accepted value; false (the field unchanged) for none.
template <typename T, typename V>
bool Store(T& field, const std::optional<V>& v) {
    if (!v) return false;
    field = static_cast<T>(*v);
    return true;
}

}  // namespace

GraphCondForm::GraphCondForm(const GraphConditions& live, const MeasConditions& meas) : w_(live) {
    for (int ch = 1; ch <= kChannels; ++ch) measured_[Index(ch)] = meas.Ch(ch).Measured();
}

std::size_t GraphCondForm::Index(int channel) {
    return static_cast<std::size_t>(std::clamp(channel, 1, kChannels) - 1);
}

bool GraphCondForm::Commit(GraphFieldRef field, std::string_view typed) {
    const std::string t = NormaliseTyped(typed);
    if (t.empty()) return false;
    XAxisCondition& x = w_.X;
    switch (field.field) {
        case GraphField::Xspace: return Store(x.Xspace, Count(t, 2147483647));
        // The pitch never exceeds the span it advances.
        case GraphField::Xpich:
            return Store(x.Xpich, Where(Count(t, kLargestCount16), [&](std::int32_t v) { return v <= x.Xspace; }));
        case GraphField::XscaleDivM: return Store(x.XscaleDivM, Count(t, kLargestCount16));
        case GraphField::XscaleDivG: return Store(x.XscaleDivG, Count(t, kLargestCount16));
        case GraphField::YscaleDiv: return Store(Ch(field.channel).YscaleDiv, Count(t, kLargestCount16));
        case GraphField::XscaleMaxG:
            return Store(x.XscaleMaxG, Where(Real(t), [&](double v) { return v > 0 && v > x.XscaleMinG; }));
        case GraphField::XscaleMinG:
            return Store(x.XscaleMinG, Where(Real(t), [&](double v) { return v >= 0 && v < x.XscaleMaxG; }));
        case GraphField::YscaleMax: {
            ChannelGraphCondition& c = Ch(field.channel);
            return Store(c.YscaleMax, Where(Real(t), [&](double v) { return v > c.YscaleMin; }));
        }
        case GraphField::YscaleMin: {
            ChannelGraphCondition& c = Ch(field.channel);
            return Store(c.YscaleMin, Where(Real(t), [&](double v) { return v < c.YscaleMax; }));
        }
    }
    return false;
}

std::string GraphCondForm::Text(GraphFieldRef field) const {
    const XAxisCondition& x = w_.X;
    switch (field.field) {
        case GraphField::Xspace: return FormatInt(x.Xspace);
        case GraphField::Xpich: return FormatInt(x.Xpich);
        case GraphField::XscaleDivM: return FormatInt(x.XscaleDivM);
        case GraphField::XscaleDivG: return FormatInt(x.XscaleDivG);
        case GraphField::YscaleDiv: return FormatInt(Ch(field.channel).YscaleDiv);
        case GraphField::XscaleMaxG: return FormatDouble(x.XscaleMaxG);
        case GraphField::XscaleMinG: return FormatDouble(x.XscaleMinG);
        case GraphField::YscaleMax: return FormatDouble(Ch(field.channel).YscaleMax);
        case GraphField::YscaleMin: return FormatDouble(Ch(field.channel).YscaleMin);
    }
    return {};
}

bool GraphCondForm::AnyGraphOn() const {
    return std::any_of(w_.Ch.begin(), w_.Ch.end(), [](const ChannelGraphCondition& c) { return c.Shown(); });
}

// --- OK and closing ------------------------------------------------------------------------------

namespace {

// The record in recorded-data mode: the shown part is computed once, by the first measured
// channel, and drawn for the channels `draw` names.
template <typename Draw>
void ShowRecordParts(Engine& e, Draw draw) {
    ProgramState& s = e.s;
    bool first = true;
    for (int ch = 1; ch <= kChannels; ++ch) {
        if (!s.RecordMeas().Ch(ch).Measured()) continue;
        if (first) e.chart.ComputeDisplayRange(s.Graph, s.RecordWords(), s.RecordMeas().SmpClk);
        first = false;
        if (s.Graph.Ch[static_cast<std::size_t>(ch - 1)].Shown() && draw(ch - 1)) e.chart.ShowRecordWindow(ch - 1);
    }
}

void Redraw(Engine& e, const GraphChangeFlags& flags) {
    ProgramState& s = e.s;
    // One batch over every chart: each repaints once, when it ends.
    ChartModel::Batch batch(e.chart);
    e.chart.ConfigureGraphAxes(s.Graph);
    if (e.chart.GraphMode() == kMonitorMode) {
        // A new span, a new monitor division or a newly shown graph restarts the monitor graphs.
        if (flags.AnyNewlyShown() || flags.MonitorDivisionsChanged() || flags.SpanChanged())
            e.chart.ResetMonitorGraphs(s.Graph, s.Meas, s.Vocab.units);
    } else if (!flags.RecordedRangeChanged()) {
        // The X range stands: only the graphs shown anew need their part of the record.
        ShowRecordParts(e, [&](int index) { return flags.NewlyShown(index); });
    } else {
        ShowRecordParts(e, [](int) { return true; });
    }
    for (int ch = 1; ch <= kChannels; ++ch)
        if (s.Graph.Ch[static_cast<std::size_t>(ch - 1)].Shown() && s.RecordMeas().Ch(ch).Measured())
            e.chart.ShowRecordStatistics(ch - 1, s.RecordWords(), s.RecordMeas());
}

}  // namespace

FormOutcome GraphCondOk(Engine& e, GraphCondForm& form, Language lang, const std::function<void()>& disable) {
    ProgramState& s = e.s;
    if (!form.AnyGraphOn()) {
        e.ui.ShowMessage(Text(lang, txt::NoGraphChannel), Text(lang, txt::SettingErrorTitle), MsgIcon::Exclamation,
                         MsgButtons::Ok);
        return FormOutcome::StayOpen;
    }
    // The pitch box's rule, for a span typed after the pitch: the pitch never exceeds the span.
    if (form.Working().X.Xspace < form.Working().X.Xpich) {
        e.ui.ShowMessage(Text(lang, txt::SpanShorterThanPitch), Text(lang, txt::SettingErrorTitle),
                         MsgIcon::Exclamation, MsgButtons::Ok);
        return FormOutcome::StayOpen;
    }
    const GraphChangeFlags flags = form.Flags(s.Graph);
    if (!flags.Any()) return FormOutcome::Close;
    if (!AskToRenew(e.ui, lang)) return FormOutcome::StayOpen;

    if (disable) disable();
    e.ui.SetPointer(Pointer::Hourglass);
    ApplyGraphForm(s.Graph, form.Working());
    // The graphs chosen now stay when an opened record goes.
    if (s.OpenedRecord) s.OpenedRecord->restoreGraphUse = false;
    Redraw(e, flags);
    SaveProblems problems;
    problems.Add(SaveGraphConditions(s.CondPath(kGraphCnd), s.Graph, s.Writes));
    e.ui.SetPointer(Pointer::Default);
    problems.Report(e.ui);
    return FormOutcome::Applied;
}

}  // namespace kmr
