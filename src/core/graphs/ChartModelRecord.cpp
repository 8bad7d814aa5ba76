// The chart model's records: the samples of a transfer or a stored file, the window of them a
// chart shows, the points of its visible range, the trigger mark and the statistics.
#include "core/graphs/ChartModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/support/Numbers.h"

namespace kmr {

namespace {

// Whole-number conversion of a computed sample index, halves to even, kept inside 32 bits.
std::int32_t ToIndex(double v) {
    const double r = RoundHalfEven(v);
    if (std::isnan(r)) return 0;
    if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (r <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(r);
}

}  // namespace

void ChartModel::AdoptRecordSeries(int channel, RawSamples&& samples, MinMaxSummary&& summary,
                                   const MeasConditions& m, const GraphConditions& g) {
    Batch batch(*this);
    const int index = channel - 1;
    Chart& c = ChartOf(index);
    TakeRecordScale(c, channel, m, g);
    c.raw2 = std::move(samples);
    c.summary2 = std::move(summary);
    if (!c.summary2.Of(c.raw2)) c.summary2.Build(c.raw2);
    ShowWholeRecord(index);
}

void ChartModel::TakeRecordScale(Chart& c, int channel, const MeasConditions& m, const GraphConditions& g) {
    const ChannelCondition& cc = m.Ch(std::clamp(channel, 1, kCharts));
    c.coeff2 = cc.Coeff;
    c.offset2 = cc.Offset;
    c.clock2 = m.SmpClk;
    c.point2 = cc.Point;
    c.timeFactor2 = g.X.XtimeFactor;
}

void ChartModel::ShowWholeRecord(int index) {
    Chart& c = ChartOf(index);
    changes_.series2.set(Ix(index));
    c.x1.clear();
    c.y1.clear();
    c.dropped1 = 0;
    c.extent1.Clear();
    c.window = true;
    c.winFirst = 0;
    c.winCount = c.raw2.size();
    changes_.series1[Ix(index)] = SeriesDelta{true, 0, 0};
}

void ChartModel::ClearRecord(Chart& c) {
    // The storage is kept (at most 1 MB per channel) for the next record of the same size.
    c.summary2.Clear();
    c.raw2.clear();
}

SampleScale ChartModel::RecordScale(int index) const {
    const Chart& c = charts_[Ix(index)];
    return SampleScale{c.coeff2, c.offset2, c.clock2, c.timeFactor2};
}

void ChartModel::VisiblePoints(int index, double xFrom, double xTo, std::size_t columns,
                               ChartPoints& out) const {
    out.clear();
    const Chart& c = charts_[Ix(index)];
    if (c.window) {
        // A record being loaded has no summary yet.
        if (c.winCount == 0 || c.summary2.size() < c.winFirst + c.winCount) return;
        const SampleScale scale = RecordScale(index);
        std::size_t first = 0, last = 0;
        if (!SampleRangeOf(xFrom, xTo, scale, c.winFirst, c.winFirst + c.winCount - 1, first, last))
            return;
        SummaryPoints(c.summary2, c.raw2, scale, first, last, columns, out);
        return;
    }
    // Own points are few (a cleared graph) or one per monitor tick, in rising X.
    out.exact = true;
    const auto xs = c.x1.span();
    auto from = std::lower_bound(xs.begin(), xs.end(), xFrom);
    auto to = std::upper_bound(from, xs.end(), xTo);
    if (from != xs.begin()) --from;
    if (to != xs.end()) ++to;
    const auto a = static_cast<std::size_t>(from - xs.begin());
    const auto n = static_cast<std::size_t>(to - from);
    out.x.assign(from, to);
    out.y.assign(c.y1.data() + a, c.y1.data() + a + n);
}

bool ChartModel::LoadRecordSeries(int channel, std::span<const std::int16_t> samples,
                                  std::int32_t n, const MeasConditions& m,
                                  const GraphConditions& g, Progress& progress, ProgressView& view,
                                  RunStatus& status) {
    Batch batch(*this);
    const int index = channel - 1;
    Chart& c = ChartOf(index);
    // Never read past the samples actually present.
    const std::size_t count =
        std::min(static_cast<std::size_t>(std::max<std::int32_t>(n, 0)), samples.size());
    const std::int32_t block = std::max<std::int32_t>(progress.TransferBlockWords, 1);

    TakeRecordScale(c, channel, m, g);
    c.summary2.Clear();  // the samples move; the window may repaint while they are read
    c.raw2.resize(count);
    bool cancelled = false;
    std::size_t done = 0;
    while (done < count) {
        // Take the samples up to the next progress step in one go.
        const std::size_t toStep = static_cast<std::size_t>(
            std::max<std::int32_t>(block - progress.ProgressCounter, 1));
        const std::size_t chunk = std::min(count - done, toStep);
        std::copy_n(samples.data() + done, chunk, c.raw2.data() + done);
        done += chunk;
        progress.ProgressCounter = static_cast<std::int16_t>(progress.ProgressCounter + static_cast<std::int32_t>(chunk));
        if (progress.ProgressCounter >= block) {
            if (view.ProcessEventsAndCheckCancel()) status = RunStatus::Cancelled;
            if (status == RunStatus::Cancelled) {
                cancelled = true;
                break;
            }
            progress.ProgressStep = static_cast<std::int16_t>(progress.ProgressStep + 1);
            progress.ProgressCounter = 0;
            view.SetPercent(progress.PercentOf(progress.ProgressStep));
        }
    }
    c.raw2.resize(done);
    c.summary2.Build(c.raw2);
    ShowWholeRecord(index);
    return !cancelled;
}

void ChartModel::ComputeDisplayRange(const GraphConditions& g, std::int32_t n, float clockMs) {
    displayFirst_ = displayLast_ = -1;
    if (g.X.XAutoScale == 1) return;
    const double delta = SampleStepSeconds(clockMs, g.X.XtimeFactor);
    // A clock of 0 has no time axis to cut; the whole record is shown.
    if (!(delta > 0.0) || !std::isfinite(delta)) return;
    const double t = static_cast<double>(n - 1) * delta;
    if (t <= g.X.XscaleMaxG && g.X.XscaleMinG == 0.0) return;
    displayFirst_ = ToIndex(g.X.XscaleMinG / delta + 1.0);
    displayLast_ = std::min(ToIndex(g.X.XscaleMaxG / delta + 1.0), n);
}

void ChartModel::ShowRecordWindow(int index) {
    Batch batch(*this);
    Chart& c = ChartOf(index);
    const std::size_t n2 = c.raw2.size();
    // A channel without a record keeps what it shows (the cleared graph of an unmeasured channel).
    if (n2 == 0) return;
    std::size_t first = 0, count = n2;
    if (displayFirst_ != -1 || displayLast_ != -1) {
        // A window of one sample or less leaves the graph as it is; so does a window that lies
        // outside the record.
        const std::int64_t f = std::max<std::int64_t>(displayFirst_, 1);
        const std::int64_t l = std::min<std::int64_t>(displayLast_, static_cast<std::int64_t>(n2));
        if (static_cast<std::int64_t>(displayLast_) - displayFirst_ + 1 <= 1 || l - f + 1 <= 1)
            return;
        first = static_cast<std::size_t>(f - 1);
        count = static_cast<std::size_t>(l - f + 1);
    }
    c.x1.clear();
    c.y1.clear();
    c.dropped1 = 0;
    c.extent1.Clear();
    c.window = true;
    c.winFirst = first;
    c.winCount = count;
    changes_.series1[Ix(index)] = SeriesDelta{true, 0, 0};
}

void ChartModel::ClearChannelGraph(int channel, std::int32_t n, float clockMs,
                                   const GraphConditions& g) {
    Batch batch(*this);
    const int index = channel - 1;
    Chart& c = ChartOf(index);
    const double end = SampleTime(std::max<std::int32_t>(n - 1, 0), clockMs, g.X.XtimeFactor);
    SetOwnSeries1(index, {{0.0, kNoValueDouble}, {end, kNoValueDouble}});
    // A channel that was not measured has no record either.
    if (!c.raw2.empty()) changes_.series2.set(Ix(index));
    ClearRecord(c);
    SetValueLabels(index, kNoValueText, kNoValueText, kNoValueText, kNoValueText);
}

void ChartModel::MarkTriggerTime(int index, std::int32_t preMemoryWords, float clockMs,
                                 const GraphConditions& g) {
    Batch batch(*this);
    Chart& c = ChartOf(index);
    c.mark.on = true;
    c.mark.x = SampleTime(preMemoryWords, clockMs, g.X.XtimeFactor);
    changes_.mark.set(Ix(index));
}

void ChartModel::ShowRecordStatistics(int index, std::int32_t n, const MeasConditions& m) {
    Batch batch(*this);
    SetWidestValue(index, m);
    double max = 0.0, min = 0.0;
    if (n == 0 || !DataExtent(index, max, min)) {
        SetValueLabels(index, kNoValueText, kNoValueText, kNoValueText, kNoValueText);
        return;
    }
    const int point = m.Ch(static_cast<int>(Ix(index)) + 1).Decimals();
    SetValueLabels(index, kNoValueText, ValueLabelText(max, point), ValueLabelText(min, point),
                   ValueLabelText(max - min, point));
}

}  // namespace kmr
