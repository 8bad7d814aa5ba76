// The chart model's monitor strips: the axes as the graph conditions set them, the strip that
// scrolls with each tick and the data panels' monitor values.
#include "core/graphs/ChartModel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "core/graphs/NoValue.h"
#include "core/support/Numbers.h"

namespace kmr {

namespace {

// A division count read unchecked from a file may be 0 or negative; one division then.
double Divisions(std::int16_t div) { return div >= 1 ? static_cast<double>(div) : 1.0; }

AxisSettings FixedAxis(double max, double min, std::int16_t div, bool grid) {
    // Ends the wrong way round, as a hand-edited Graph.cnd may hold them, span the same axis.
    if (max < min) std::swap(max, min);
    AxisSettings a;
    a.automatic = false;
    a.max = max;
    a.min = min;
    // Each end divided first: opposite extremes do not overflow.
    a.spacing = max / Divisions(div) - min / Divisions(div);
    // Enough decimals to write every division exactly (a spacing of 0.25 numbered 0.3 and 0.8
    // would misread the scale); a spacing no decimals write exactly (a third) keeps those of its
    // size.
    const int exactSpacing = ExactDecimals(a.spacing, 0, 6), exactMin = ExactDecimals(min, 0, 6);
    a.decimals = exactSpacing < 0 || exactMin < 0 ? DecimalsFor(a.spacing) : std::max(exactSpacing, exactMin);
    a.exponent = std::max(std::fabs(max), std::fabs(min)) >= 1e7 || a.decimals > 6;
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


}  // namespace

void ChartModel::ConfigureGraphAxes(GraphConditions& g) {
    Batch batch(*this);
    g.X.XtimeFactor = 0.001;
    const bool xGrid = g.X.Xgrid == 1;
    for (int i = 0; i < kCharts; ++i) {
        const ChannelGraphCondition& ch = g.Ch[static_cast<std::size_t>(i)];
        if (!ch.Shown()) continue;
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

void ChartModel::ShowChannelUnit(int index, const MeasConditions& m, std::span<const std::string> unitNames) {
    ChannelLabels& l = ChartOf(index).labels;
    const bool measured = m.Ch(index + 1).Measured();
    if (l.ChannelNumberEnabled != measured) {
        l.ChannelNumberEnabled = measured;
        changes_.labels.set(Ix(index));
    }
    SetWidestValue(index, m);
    if (unitNames.empty()) return;
    const int u = m.Ch(index + 1).Unit;
    const std::string unit =
        u >= 0 && static_cast<std::size_t>(u) < unitNames.size() ? unitNames[static_cast<std::size_t>(u)] : std::string();
    if (l.Unit != unit) {
        l.Unit = unit;
        changes_.labels.set(Ix(index));
    }
}

void ChartModel::ShowChannelUnits(const MeasConditions& m, std::span<const std::string> unitNames) {
    Batch batch(*this);
    for (int i = 0; i < kCharts; ++i) ShowChannelUnit(i, m, unitNames);
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
        ShowChannelUnit(i, m, setUnits ? unitNames : std::span<const std::string>());
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
        monitorStartTick_ = monitorLastTick_ = tickMs;
        monitorElapsedMs_ = 0;
        return 0.0;
    }
    // Added up tick by tick, each step an unsigned difference: correct across a wrap of the
    // millisecond counter, and a strip left running for more than the counter's whole round
    // (49.7 days) does not start again at 0 behind its window.
    monitorElapsedMs_ += static_cast<std::uint32_t>(tickMs - monitorLastTick_);
    monitorLastTick_ = tickMs;
    return static_cast<double>(monitorElapsedMs_) * g.X.XtimeFactor;
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
    // everything after it. When every point is older only the newest of them stays, for the line
    // that comes into the window to this tick's point; this tick's point becomes the first kept
    // one at the next tick. (Keeping them all let a strip whose readings come further apart than
    // its span grow at every tick, with maximum and minimum taken over points long gone by.)
    const Chart& c0 = charts_[0];
    std::size_t p = 0;
    const std::size_t n0 = c0.x1.size();
    while (p < n0 && c0.x1[p] < g.X.XscaleMinM) ++p;
    if (p == n0 && p > 0) --p;
    if (p == 0) return;
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
    // After a pause a point without a value between the two readings breaks the line.
    const bool gap = keep > 0 && e - charts_[0].x1[keep - 1] > kMonitorGapMs * g.X.XtimeFactor;
    const double gapX = gap ? (charts_[0].x1[keep - 1] + e) / 2.0 : 0.0;
    monitorPointCount_ = static_cast<std::int32_t>(keep) + (gap ? 2 : 1);
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
        if (gap) {
            c.x1.push_back(gapX);
            c.y1.push_back(kNoValueDouble);
            if (!delta.replaced) ++delta.appended;
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
        SetWidestValue(i, m);
        const float v = moniData[static_cast<std::size_t>(i)];
        if (IsNoValue(v)) {
            SetValueLabels(i, kNoValueText, kNoValueText, kNoValueText, kNoValueText);
            continue;
        }
        const int point = m.Ch(i + 1).Decimals();
        double max = 0.0, min = 0.0;
        if (!charts_[static_cast<std::size_t>(i)].extent1.Get(max, min)) max = min = v;
        SetValueLabels(i, ValueLabelText(v, point), ValueLabelText(max, point),
                       ValueLabelText(min, point), ValueLabelText(max - min, point));
    }
}

}  // namespace kmr
