#include "core/graphs/ChartModel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/support/Numbers.h"

namespace kmr {

double EngineeringValue(std::int16_t raw, float coeff, float offset) {
    // A 16-bit sample times a 24-bit float mantissa is exact in a double, so the only rounding
    // is that of the sum.
    return static_cast<double>(static_cast<float>(raw)) * static_cast<double>(coeff) +
           static_cast<double>(offset);
}

namespace {

// The clock's decimal value; the last one asked for is kept, as times are asked for sample by
// sample of one record.
double ClockDecimal(float clockMs) {
    thread_local float lastClock = 1.0f;
    thread_local double lastDecimal = 1.0;
    if (std::memcmp(&clockMs, &lastClock, sizeof clockMs) != 0) {
        lastDecimal = DecimalValue(clockMs);
        lastClock = clockMs;
    }
    return lastDecimal;
}

}  // namespace

double SampleStepSeconds(float clockMs, double timeFactor) { return ClockDecimal(clockMs) * timeFactor; }

double SampleTime(std::int64_t i, float clockMs, double timeFactor) {
    return static_cast<double>(i) * ClockDecimal(clockMs) * timeFactor;
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

int ExactDecimals(double v, int least, int most) {
    const double a = std::fabs(v);
    if (!std::isfinite(a)) return -1;
    for (int d = std::max(least, DecimalsFor(v)); d <= most; ++d) {
        const double r = a * std::pow(10.0, d);
        if (std::fabs(r - std::round(r)) <= 1e-9 * std::max(1.0, r)) return d;
    }
    return -1;
}

std::string ValueLabelText(double v, int point) {
    if (IsNoValue(v)) return kNoValueText;
    return FormatPanelValue(v, std::clamp(point, 0, 5));
}

std::string WidestValueText(float coeff, float offset, int point) {
    const double c = static_cast<double>(coeff), o = static_cast<double>(offset);
    std::string widest;
    for (const double v : {-32768.0 * c + o, 32767.0 * c + o, 65535.0 * std::abs(c)}) {
        const std::string t = ValueLabelText(v, point);
        if (t.size() > widest.size()) widest = t;
    }
    for (char& ch : widest)
        if (ch >= '0' && ch <= '9') ch = '8';
    return widest;
}

GraphLayout LayoutGraphPanels(const GraphConditions& g) {
    GraphLayout layout;
    for (int i = 0; i < kCharts; ++i) {
        if (!g.Ch[static_cast<std::size_t>(i)].Shown()) continue;
        layout.Shown.set(static_cast<std::size_t>(i));
        if (layout.Visible.Count == 0) layout.Visible.First = static_cast<std::int16_t>(i);
        layout.Visible.Last = static_cast<std::int16_t>(i);
        ++layout.Visible.Count;
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

void ChartModel::SetWidestValue(int index, const MeasConditions& m) {
    const ChannelCondition& c = m.Ch(static_cast<int>(Ix(index)) + 1);
    std::string widest = WidestValueText(c.Coeff, c.Offset, c.Decimals());
    ChannelLabels& l = ChartOf(index).labels;
    if (l.WidestValue == widest) return;
    l.WidestValue = std::move(widest);
    changes_.labels.set(Ix(index));
}

void ChartModel::ClearAllSeries() {
    Batch batch(*this);
    for (int i = 0; i < kCharts; ++i) {
        Chart& c = ChartOf(i);
        SetOwnSeries1(i, {});
        if (!c.raw2.empty()) changes_.series2.set(static_cast<std::size_t>(i));
        ClearRecord(c);
        // The trigger mark belonged to the record gone; the next one places its own.
        if (c.mark.on) {
            c.mark.on = false;
            changes_.mark.set(static_cast<std::size_t>(i));
        }
    }
}

GraphLayout ChartModel::Layout(const GraphConditions& g) {
    GraphLayout layout = LayoutGraphPanels(g);
    visible_ = layout.Visible;
    return layout;
}

}  // namespace kmr
