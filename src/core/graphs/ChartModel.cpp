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

// A division count read unchecked from a file may be 0 or negative; one division then.
double Divisions(std::int16_t div) { return div >= 1 ? static_cast<double>(div) : 1.0; }

AxisSettings FixedAxis(double max, double min, std::int16_t div, bool grid) {
    AxisSettings a;
    a.automatic = false;
    a.max = max;
    a.min = min;
    a.spacing = (max - min) / Divisions(div);
    a.decimals = DecimalsFor(a.spacing);
    a.grid = grid ? GridMode::Fixed : GridMode::Off;
    a.gridSpacing = grid ? a.spacing : 0.0;
    return a;
}

AxisSettings AutomaticAxis(bool grid) {
    AxisSettings a;
    a.automatic = true;
    a.grid = grid ? GridMode::Automatic : GridMode::Off;
    return a;
}

int PointOf(const MeasConditions& m, int channel) {
    return std::clamp<int>(m.Ch(channel).Point, 0, 5);
}

}  // namespace

bool ChartChanges::any() const {
    for (const auto& d : series1)
        if (d.changed()) return true;
    return series2.any() || axes.any() || labels.any() || mark.any();
}

double EngineeringValue(std::int16_t raw, float coeff, float offset) {
    // A 16-bit sample times a 24-bit float mantissa is exact in a double, so the only rounding
    // is that of the sum.
    return static_cast<double>(static_cast<float>(raw)) * static_cast<double>(coeff) +
           static_cast<double>(offset);
}

double SampleTime(std::int64_t i, float clockMs, double timeFactor) {
    return static_cast<double>(i) * static_cast<double>(clockMs) * timeFactor;
}

int DecimalsFor(double v) {
    double a = std::fabs(v);
    if (!(a > 0.0) || !std::isfinite(a)) return 0;
    int count = 0;
    while (a < 1.0) {
        a *= 10.0;
        ++count;
    }
    return count;
}

std::string ValueLabelText(double v, int point) {
    if (IsNoValue(v)) return kNoValueText;
    return FormatWithZeros(v, std::clamp(point, 0, 5));
}

GraphLayout LayoutGraphPanels(const GraphConditions& g, const PanelMetrics& metrics) {
    GraphLayout layout;
    for (int i = 0; i < kCharts; ++i) {
        if (g.Ch[static_cast<std::size_t>(i)].Use != 1) continue;
        layout.Shown.set(static_cast<std::size_t>(i));
        if (layout.Visible.Count == 0) layout.Visible.First = static_cast<std::int16_t>(i);
        layout.Visible.Last = static_cast<std::int16_t>(i);
        ++layout.Visible.Count;
    }
    const int count = layout.Visible.Count;
    if (count == 0) return layout;

    const double px = metrics.TwipsPerPixel;
    double h = (metrics.AvailableHeight - (count * 10 + 15) * px) / count + 10 * px;
    if (!(h >= px)) h = px;  // a window too small for its rows still gets rows of one pixel
    const bool stacked = h >= 6 * metrics.TextLineHeight;
    const double panel = stacked ? 1740.0 : 3480.0;

    int j = 0;
    for (int i = 0; i < kCharts; ++i) {
        if (!layout.Shown.test(static_cast<std::size_t>(i))) continue;
        GraphRow row;
        row.Channel = i + 1;
        row.Top = j * h + 5 * px;
        row.Height = h;
        row.PanelWidth = panel;
        row.GraphWidth = std::max(0.0, metrics.AvailableWidth - panel);
        row.LabelsStacked = stacked;
        if (i == layout.Visible.Last) {
            row.Bottom = true;
            row.Height += 15 * px;
            row.Insets.Bottom = 20;
        }
        layout.Rows.push_back(row);
        ++j;
    }
    return layout;
}

// --- SlidingExtent ------------------------------------------------------------------------------

void ChartModel::SlidingExtent::Clear() {
    maxq_.clear();
    minq_.clear();
}

void ChartModel::SlidingExtent::Push(std::uint64_t pos, double y) {
    if (IsNoValue(y) || std::isnan(y)) return;
    while (!maxq_.empty() && maxq_.back().y <= y) maxq_.pop_back();
    maxq_.push_back({pos, y});
    while (!minq_.empty() && minq_.back().y >= y) minq_.pop_back();
    minq_.push_back({pos, y});
}

void ChartModel::SlidingExtent::DropBefore(std::uint64_t pos) {
    std::size_t n = 0;
    while (n < maxq_.size() && maxq_[n].pos < pos) ++n;
    maxq_.drop_front(n);
    n = 0;
    while (n < minq_.size() && minq_[n].pos < pos) ++n;
    minq_.drop_front(n);
}

bool ChartModel::SlidingExtent::Get(double& max, double& min) const {
    if (maxq_.empty()) return false;
    max = maxq_.front().y;
    min = minq_.front().y;
    return true;
}

// --- ChartModel ---------------------------------------------------------------------------------

ChartModel::ChartModel(ChartView* view) : view_(view) {
    for (auto& c : charts_) {
        c.x1.push_back(0.0);
        c.y1.push_back(0.0);
        c.extent1.Push(0, 0.0);
    }
}

std::size_t ChartModel::Ix(int index) {
    return static_cast<std::size_t>(std::clamp(index, 0, kCharts - 1));
}

void ChartModel::BeginBatch() {
    if (batchDepth_++ == 0) {
        changes_ = ChartChanges{};
        if (view_) view_->BatchBegun();
    }
}

void ChartModel::EndBatch() {
    if (batchDepth_ == 0) return;
    if (--batchDepth_ == 0 && view_) view_->BatchEnded(changes_);
}

std::size_t ChartModel::PointCount(int index, int series) const {
    const Chart& c = charts_[Ix(index)];
    if (series == 2) return c.raw2.size();
    return c.window ? c.winCount : c.y1.size();
}

double ChartModel::X(int index, int series, std::size_t i) const {
    const Chart& c = charts_[Ix(index)];
    if (series == 2) return c.X2(i);
    return c.window ? c.X2(c.winFirst + i) : c.x1[i];
}

double ChartModel::Y(int index, int series, std::size_t i) const {
    const Chart& c = charts_[Ix(index)];
    if (series == 2) return c.Y2(i);
    return c.window ? c.Y2(c.winFirst + i) : c.y1[i];
}

std::size_t ChartModel::CopyPoints(int index, int series, std::size_t first, std::size_t count,
                                   double* x, double* y) const {
    const std::size_t n = PointCount(index, series);
    if (first >= n) return 0;
    count = std::min(count, n - first);
    const Chart& c = charts_[Ix(index)];
    if (series == 1 && !c.window) {
        if (x) std::copy_n(c.x1.data() + first, count, x);
        if (y) std::copy_n(c.y1.data() + first, count, y);
        return count;
    }
    const std::size_t base = (series == 2 ? 0 : c.winFirst) + first;
    if (x)
        for (std::size_t i = 0; i < count; ++i) x[i] = c.X2(base + i);
    if (y)
        for (std::size_t i = 0; i < count; ++i) y[i] = c.Y2(base + i);
    return count;
}

std::vector<double> ChartModel::SeriesX(int index, int series) const {
    std::vector<double> v(PointCount(index, series));
    CopyPoints(index, series, 0, v.size(), v.data(), nullptr);
    return v;
}

std::vector<double> ChartModel::SeriesY(int index, int series) const {
    std::vector<double> v(PointCount(index, series));
    CopyPoints(index, series, 0, v.size(), nullptr, v.data());
    return v;
}

bool ChartModel::DataExtent(int index, double& max, double& min) const {
    const Chart& c = charts_[Ix(index)];
    if (!c.window) return c.extent1.Get(max, min);
    if (c.winCount == 0 || c.summary2.size() < c.winFirst + c.winCount) return false;
    // Recorded values rise or fall with the raw sample (the sum's rounding keeps the order), so
    // the extremes of the window are the values of its extreme samples.
    const auto [lo, hi] = c.summary2.RangeMinMax(c.winFirst, c.winFirst + c.winCount - 1);
    const double a = EngineeringValue(lo, c.coeff2, c.offset2);
    const double b = EngineeringValue(hi, c.coeff2, c.offset2);
    max = std::max(a, b);
    min = std::min(a, b);
    return true;
}

void ChartModel::AdoptRecordSeries(int channel, std::vector<std::int16_t>&& samples, MinMaxSummary&& summary,
                                   const MeasConditions& m, const GraphConditions& g) {
    Batch batch(*this);
    const int index = channel - 1;
    Chart& c = ChartOf(index);
    const ChannelCondition& cc = m.Ch(std::clamp(channel, 1, kCharts));
    c.coeff2 = cc.Coeff;
    c.offset2 = cc.Offset;
    c.clock2 = m.SmpClk;
    c.point2 = cc.Point;
    c.timeFactor2 = g.X.XtimeFactor;
    c.raw2 = std::move(samples);
    c.summary2 = std::move(summary);
    if (!c.summary2.Of(c.raw2)) c.summary2.Build(c.raw2);
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

void ChartModel::SetOwnSeries1(int index, std::initializer_list<std::pair<double, double>> points) {
    Chart& c = ChartOf(index);
    c.window = false;
    c.winFirst = c.winCount = 0;
    c.x1.clear();
    c.y1.clear();
    c.dropped1 = 0;
    for (const auto& [x, y] : points) {
        c.x1.push_back(x);
        c.y1.push_back(y);
    }
    RebuildExtent(c);
    changes_.series1[Ix(index)] = SeriesDelta{true, 0, 0};
}

void ChartModel::RebuildExtent(Chart& c) {
    c.extent1.Clear();
    for (std::size_t i = 0; i < c.y1.size(); ++i) c.extent1.Push(c.dropped1 + i, c.y1[i]);
}

void ChartModel::SetValueLabels(int index, const std::string& moni, const std::string& max,
                                const std::string& min, const std::string& range) {
    ChannelLabels& l = ChartOf(index).labels;
    if (l.Moni == moni && l.Max == max && l.Min == min && l.Range == range) return;
    l.Moni = moni;
    l.Max = max;
    l.Min = min;
    l.Range = range;
    changes_.labels.set(Ix(index));
}

void ChartModel::ConfigureGraphAxes(GraphConditions& g) {
    Batch batch(*this);
    g.X.XtimeFactor = 0.001;
    const bool xGrid = g.X.Xgrid == 1;
    for (int i = 0; i < kCharts; ++i) {
        const ChannelGraphCondition& ch = g.Ch[static_cast<std::size_t>(i)];
        if (ch.Use != 1) continue;
        Chart& c = ChartOf(i);
        if (graphMode_ == kRecordedMode) {
            c.xAxis = g.X.XAutoScale == 1
                          ? AutomaticAxis(xGrid)
                          : FixedAxis(g.X.XscaleMaxG, g.X.XscaleMinG, g.X.XscaleDivG, xGrid);
        } else {
            c.xAxis = FixedAxis(g.X.XscaleMaxM, g.X.XscaleMinM, g.X.XscaleDivM, xGrid);
        }
        const bool yGrid = ch.Ygrid == 1;
        c.yAxis = ch.AutoScale == 1 ? AutomaticAxis(yGrid)
                                    : FixedAxis(ch.YscaleMax, ch.YscaleMin, ch.YscaleDiv, yGrid);
        changes_.axes.set(static_cast<std::size_t>(i));
    }
}

void ChartModel::ResetMonitorData(GraphConditions& g, const MeasConditions& m,
                                  std::span<const std::string> unitNames, bool setUnits) {
    monitorPointCount_ = 0;
    g.X.XscaleMaxM = static_cast<double>(g.X.Xspace);
    g.X.XscaleMinM = 0.0;
    for (int i = 0; i < kCharts; ++i) {
        Chart& c = ChartOf(i);
        SetOwnSeries1(i, {{0.0, 0.0}});
        if (!c.raw2.empty()) changes_.series2.set(static_cast<std::size_t>(i));
        ClearRecord(c);
        if (c.mark.on) {
            c.mark.on = false;
            changes_.mark.set(static_cast<std::size_t>(i));
        }
        ChannelLabels& l = c.labels;
        const bool measured = m.Ch(i + 1).OnOff == 1;
        if (l.ChannelNumberEnabled != measured) {
            l.ChannelNumberEnabled = measured;
            changes_.labels.set(static_cast<std::size_t>(i));
        }
        if (setUnits && !unitNames.empty()) {
            const int u = m.Ch(i + 1).Unit;
            const std::string unit =
                u >= 0 && static_cast<std::size_t>(u) < unitNames.size() ? unitNames[static_cast<std::size_t>(u)] : std::string();
            if (l.Unit != unit) {
                l.Unit = unit;
                changes_.labels.set(static_cast<std::size_t>(i));
            }
        }
        SetValueLabels(i, kNoValueText, kNoValueText, kNoValueText, kNoValueText);
        // A monitor axis follows the restarted window at once, not only from the next tick.
        if (graphMode_ != kRecordedMode && !c.xAxis.automatic &&
            (c.xAxis.max != g.X.XscaleMaxM || c.xAxis.min != g.X.XscaleMinM)) {
            c.xAxis.max = g.X.XscaleMaxM;
            c.xAxis.min = g.X.XscaleMinM;
            changes_.axes.set(static_cast<std::size_t>(i));
        }
    }
}

void ChartModel::ResetMonitorGraphs(GraphConditions& g, const MeasConditions& m,
                                    std::span<const std::string> unitNames) {
    Batch batch(*this);
    ResetMonitorData(g, m, unitNames, true);
}

void ChartModel::ResetAllGraphs(GraphConditions& g, const MeasConditions& m,
                                std::span<const std::string> unitNames) {
    Batch batch(*this);
    ConfigureGraphAxes(g);
    ResetMonitorData(g, m, unitNames, true);
}

void ChartModel::UpdateMonitorGraphs(GraphConditions& g, const MeasConditions& m,
                                     std::uint32_t tickMs,
                                     const std::array<float, kCharts>& moniData) {
    Batch batch(*this);
    // The counter is about to overflow: start the strip again (units stay as they are).
    if (monitorPointCount_ >= kMonitorPointLimit) ResetMonitorData(g, m, {}, false);
    ++monitorPointCount_;
    const double e = MonitorElapsed(g, tickMs);
    ScrollMonitorWindow(g, e);
    // A chart that shows a record becomes an empty strip.
    for (int i = 0; i < kCharts; ++i)
        if (ChartOf(i).window) SetOwnSeries1(i, {});
    DropPointsLeftOfWindow(g);
    AppendMonitorPoints(g, e, moniData);
    WriteMonitorLabels(m, moniData);
}

double ChartModel::MonitorElapsed(const GraphConditions& g, std::uint32_t tickMs) {
    if (monitorPointCount_ == 1) {
        monitorStartTick_ = tickMs;
        return 0.0;
    }
    // Unsigned difference: correct across a wrap of the millisecond counter.
    return static_cast<double>(static_cast<std::uint32_t>(tickMs - monitorStartTick_)) *
           g.X.XtimeFactor;
}

void ChartModel::ScrollMonitorWindow(GraphConditions& g, double e) {
    // The window moves right by whole pitches until it reaches the new point.
    if (!(g.X.XscaleMaxM < e)) return;
    const double pitch = static_cast<double>(g.X.Xpich);
    if (pitch >= 1.0) {
        double max = g.X.XscaleMaxM;
        const double steps = std::floor((e - max) / pitch);
        if (steps > 1.0) max += (steps - 1.0) * pitch;
        while (max < e) max += pitch;
        g.X.XscaleMaxM = max;
    } else {
        g.X.XscaleMaxM = e;
    }
    g.X.XscaleMinM = g.X.XscaleMaxM - static_cast<double>(g.X.Xspace);
}

void ChartModel::DropPointsLeftOfWindow(const GraphConditions& g) {
    // Judged by chart 1: the first point not older than the window's left end is kept with
    // everything after it. When every point is older nothing is dropped (this tick's point
    // becomes the first kept one at the next tick).
    const Chart& c0 = charts_[0];
    std::size_t p = 0;
    const std::size_t n0 = c0.x1.size();
    while (p < n0 && c0.x1[p] < g.X.XscaleMinM) ++p;
    if (p == n0 || p == 0) return;
    for (int i = 0; i < kCharts; ++i) {
        Chart& c = ChartOf(i);
        const std::size_t d = std::min(p, c.x1.size());
        c.x1.drop_front(d);
        c.y1.drop_front(d);
        c.dropped1 += d;
        c.extent1.DropBefore(c.dropped1);
        SeriesDelta& delta = changes_.series1[static_cast<std::size_t>(i)];
        if (delta.appended != 0) delta.replaced = true;
        if (!delta.replaced) delta.droppedFront += d;
    }
    monitorPointCount_ -= static_cast<std::int32_t>(p);
}

void ChartModel::AppendMonitorPoints(const GraphConditions& g, double e,
                                     const std::array<float, kCharts>& moniData) {
    // The kept points plus the new one. Normally the strip holds exactly MonitorPointCount - 1
    // points here; the single (0, 0) point of a freshly reset graph is replaced by the first one.
    const std::size_t keep =
        std::min(charts_[0].x1.size(), static_cast<std::size_t>(monitorPointCount_ - 1));
    monitorPointCount_ = static_cast<std::int32_t>(keep) + 1;
    for (int i = 0; i < kCharts; ++i) {
        Chart& c = ChartOf(i);
        const auto ix = static_cast<std::size_t>(i);
        if (c.xAxis.automatic || c.xAxis.max != g.X.XscaleMaxM || c.xAxis.min != g.X.XscaleMinM) {
            c.xAxis.automatic = false;
            c.xAxis.max = g.X.XscaleMaxM;
            c.xAxis.min = g.X.XscaleMinM;
            changes_.axes.set(ix);
        }
        SeriesDelta& delta = changes_.series1[ix];
        if (c.x1.size() > keep) {
            c.x1.truncate(keep);
            c.y1.truncate(keep);
            RebuildExtent(c);
            delta = SeriesDelta{true, 0, 0};
        }
        const double y = static_cast<double>(moniData[ix]);
        c.extent1.Push(c.dropped1 + c.x1.size(), y);
        c.x1.push_back(e);
        c.y1.push_back(y);
        if (!delta.replaced) ++delta.appended;
    }
}

void ChartModel::WriteMonitorLabels(const MeasConditions& m,
                                    const std::array<float, kCharts>& moniData) {
    // The value and what the strip holds, or "----" for a channel without a value.
    for (int i = 0; i < kCharts; ++i) {
        const float v = moniData[static_cast<std::size_t>(i)];
        if (IsNoValue(v)) {
            SetValueLabels(i, kNoValueText, kNoValueText, kNoValueText, kNoValueText);
            continue;
        }
        const int point = PointOf(m, i + 1);
        double max = 0.0, min = 0.0;
        if (!charts_[static_cast<std::size_t>(i)].extent1.Get(max, min)) max = min = v;
        SetValueLabels(i, ValueLabelText(v, point), ValueLabelText(max, point),
                       ValueLabelText(min, point), ValueLabelText(max - min, point));
    }
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
    const ChannelCondition& cc = m.Ch(std::clamp(channel, 1, kCharts));
    const std::int32_t block = std::max<std::int32_t>(progress.TransferBlockWords, 1);

    c.coeff2 = cc.Coeff;
    c.offset2 = cc.Offset;
    c.clock2 = m.SmpClk;
    c.point2 = cc.Point;
    c.timeFactor2 = g.X.XtimeFactor;
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
    changes_.series2.set(Ix(index));

    // Series 1 shows the whole record until a display window is chosen.
    c.x1.clear();
    c.y1.clear();
    c.dropped1 = 0;
    c.extent1.Clear();
    c.window = true;
    c.winFirst = 0;
    c.winCount = c.raw2.size();
    changes_.series1[Ix(index)] = SeriesDelta{true, 0, 0};
    return !cancelled;
}

void ChartModel::ComputeDisplayRange(const GraphConditions& g, std::int32_t n, float clockMs) {
    displayFirst_ = displayLast_ = -1;
    if (g.X.XAutoScale == 1) return;
    const double delta = static_cast<double>(clockMs) * g.X.XtimeFactor;
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
    double max = 0.0, min = 0.0;
    if (n == 0 || !DataExtent(index, max, min)) {
        SetValueLabels(index, kNoValueText, kNoValueText, kNoValueText, kNoValueText);
        return;
    }
    const int point = PointOf(m, static_cast<int>(Ix(index)) + 1);
    SetValueLabels(index, kNoValueText, ValueLabelText(max, point), ValueLabelText(min, point),
                   ValueLabelText(max - min, point));
}

void ChartModel::ClearAllSeries() {
    Batch batch(*this);
    for (int i = 0; i < kCharts; ++i) {
        Chart& c = ChartOf(i);
        SetOwnSeries1(i, {});
        if (!c.raw2.empty()) changes_.series2.set(static_cast<std::size_t>(i));
        ClearRecord(c);
    }
}

GraphLayout ChartModel::Layout(const GraphConditions& g, const PanelMetrics& metrics) {
    GraphLayout layout = LayoutGraphPanels(g, metrics);
    visible_ = layout.Visible;
    return layout;
}

}  // namespace kmr
