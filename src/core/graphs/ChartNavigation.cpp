#include "core/graphs/ChartNavigation.h"

#include <algorithm>
#include <cmath>

#include "core/support/Numbers.h"

namespace kmr {

namespace {

double SampleStep(const ChartModel& model, int index) {
    const SampleScale s = model.RecordScale(index);
    return SampleStepSeconds(s.clockMs, s.timeFactor);
}

int PointOfChannel(const ChartModel& model, const MeasConditions& m, int index) {
    // A record keeps the format of the conditions it was made with (a stored file's own).
    if (model.ShowsRecord(index)) return DecimalsOf(model.RecordPoint(index));
    return m.Ch(std::clamp(index + 1, 1, kCharts)).Decimals();
}

// Time of point i of series 1 in the chart's time format.
std::string TimeText(const ChartModel& model, int index, double t) {
    return FormatFixed(t, TimeDecimals(model, index));
}

// The power of ten of the last significant digit of v (v > 0): -4 for 0.0035, 6 for 2.5E+07.
int LastDigitPower(double v) {
    for (int e = static_cast<int>(std::floor(std::log10(v))); e > -15; --e) {
        const double r = v / std::pow(10.0, e);
        if (std::fabs(r - std::round(r)) <= 1e-6 * r) return e;
    }
    return -15;
}

}  // namespace

int AxisLabelPrecision(double lo, double hi, double step, double origin, int least) {
    const double top = std::max(std::fabs(lo), std::fabs(hi));
    if (!(step > 0.0) || !std::isfinite(step) || !(top > 0.0) || !std::isfinite(top)) return least;
    int last = LastDigitPower(step);
    if (origin != 0.0 && std::isfinite(origin)) last = std::min(last, LastDigitPower(std::fabs(origin)));
    const int first = static_cast<int>(std::floor(std::log10(top)));
    return std::clamp(first - last + 1, least, 15);
}

AxisRange ConfiguredXRange(const ChartModel& model, int index) {
    const AxisSettings& a = model.XAxis(index);
    if (!a.automatic) return {a.min, a.max};
    const std::size_t n = model.PointCount(index, 1);
    if (n == 0) return {0.0, 1.0};
    const double first = model.X(index, 1, 0);
    const double last = model.X(index, 1, n - 1);
    if (!(last > first)) return {first, first + 1.0};
    return {first, last};
}

AxisRange ConfiguredYRange(const ChartModel& model, int index) {
    const AxisSettings& a = model.YAxis(index);
    if (!a.automatic) return {a.min, a.max};
    double max = 0.0, min = 0.0;
    if (!model.DataExtent(index, max, min)) return {0.0, 1.0};
    if (!(max > min)) return {min - 1.0, max + 1.0};
    const double pad = (max - min) / 20.0;
    return {min - pad, max + pad};
}

double MinimumXWidth(const ChartModel& model, int index) {
    const double step = SampleStep(model, index);
    if (!model.ShowsRecord(index) || !(step > 0.0) || !std::isfinite(step)) return 0.001;
    return 4.0 * step;
}

AxisRange ZoomAbout(const AxisRange& r, double at, double factor, double minWidth) {
    const double width = r.width();
    if (!(factor > 0.0) || !(width > 0.0)) return r;
    double scale = factor;
    if (width * scale < minWidth) scale = minWidth / width;
    // A point already at the narrowest width stays where it is.
    if (scale < 1.0 && width <= minWidth) return r;
    return {at - (at - r.lo) * scale, at + (r.hi - at) * scale};
}

AxisRange PanBy(const AxisRange& r, double dx) { return {r.lo + dx, r.hi + dx}; }

AxisRange FollowCursor(const AxisRange& r, double x) {
    if (x < r.lo) return PanBy(r, x - r.lo);
    if (x > r.hi) return PanBy(r, x - r.hi);
    return r;
}

bool RangeOfDrag(double a, double b, double minWidth, AxisRange& out) {
    const double lo = std::min(a, b), hi = std::max(a, b);
    if (!(hi - lo >= minWidth)) return false;
    out = {lo, hi};
    return true;
}

bool NearestPoint(const ChartModel& model, int index, double x, std::size_t& point) {
    const std::size_t n = model.PointCount(index, 1);
    if (n == 0) return false;
    // Points rise in X: the first not left of x, or the one before it when that is nearer.
    std::size_t lo = 0, hi = n;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (model.X(index, 1, mid) < x)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == n) lo = n - 1;
    if (lo > 0 && std::fabs(model.X(index, 1, lo - 1) - x) <= std::fabs(model.X(index, 1, lo) - x))
        --lo;
    point = lo;
    return true;
}

int TimeDecimals(const ChartModel& model, int index) {
    const double step = SampleStep(model, index);
    if (!model.ShowsRecord(index) || !(step > 0.0)) return 3;
    // Every sample's time exactly: a clock of 12 ms gives 0.012 s, not 0.01 s.
    const int exact = ExactDecimals(step, 0, 9);
    return exact < 0 ? std::min(DecimalsFor(step), 9) : exact;
}

std::string ChannelCaption(int channel) {
    return std::string(channel < 10 ? "Ch. " : "Ch.") + std::to_string(channel);
}

PointerReading ReadingAt(const ChartModel& model, const MeasConditions& m, int index, double x) {
    PointerReading r;
    std::size_t p = 0;
    if (!NearestPoint(model, index, x, p)) return r;
    r.valid = true;
    r.x = model.X(index, 1, p);
    r.y = model.Y(index, 1, p);
    const int channel = std::clamp(index, 0, kCharts - 1) + 1;
    const std::string unit = model.Labels(index).Unit;
    r.text = ChannelCaption(channel) + "  t = " +
             TimeText(model, index, r.x) + " s  y = " + ValueLabelText(r.y, PointOfChannel(model, m, index)) +
             (unit.empty() || IsNoValue(r.y) ? std::string() : " " + unit);
    return r;
}

bool PlaceCursor(const ChartModel& model, int index, double x, bool second, CursorTimes& cursors) {
    std::size_t p = 0;
    if (!NearestPoint(model, index, x, p)) return false;
    const double t = model.X(index, 1, p);
    if (second) {
        cursors.hasB = true;
        cursors.b = t;
    } else {
        cursors.hasA = true;
        cursors.a = t;
    }
    return true;
}

bool StepCursor(const ChartModel& model, int index, bool second, long steps, double from, CursorTimes& cursors) {
    const bool set = second ? cursors.hasB : cursors.hasA;
    std::size_t p = 0;
    if (!NearestPoint(model, index, set ? (second ? cursors.b : cursors.a) : from, p)) return false;
    if (set) {
        const long last = static_cast<long>(model.PointCount(index, 1)) - 1;
        p = static_cast<std::size_t>(std::clamp(static_cast<long>(p) + steps, 0L, last));
    }
    return PlaceCursor(model, index, model.X(index, 1, p), second, cursors);
}

std::array<CursorPanelTexts, kCharts> CursorReadout(const ChartModel& model,
                                                    const MeasConditions& m,
                                                    const CursorTimes& cursors) {
    std::array<CursorPanelTexts, kCharts> out{};
    for (int i = 0; i < kCharts; ++i) {
        CursorPanelTexts& t = out[static_cast<std::size_t>(i)];
        const int point = PointOfChannel(model, m, i);
        // The value of the channel's own sample at the cursor's time; "----" where it has none.
        const auto valueAt = [&](double x, double& v) {
            std::size_t p = 0;
            if (!model.ShowsRecord(i) || !NearestPoint(model, i, x, p)) return false;
            v = model.Y(i, 1, p);
            return !IsNoValue(v);
        };
        double va = 0.0, vb = 0.0;
        const bool okA = cursors.hasA && valueAt(cursors.a, va);
        const bool okB = cursors.hasB && valueAt(cursors.b, vb);
        if (cursors.hasA) t.A = "A " + (okA ? ValueLabelText(va, point) : kNoValueText);
        if (cursors.hasB) t.B = "B " + (okB ? ValueLabelText(vb, point) : kNoValueText);
        if (cursors.hasA && cursors.hasB) {
            t.Diff = "B-A " + (okA && okB ? ValueLabelText(vb - va, point) : kNoValueText);
            t.Delta = "dt " + TimeText(model, i, cursors.b - cursors.a) + " s";
        }
    }
    return out;
}

CursorTable CursorReadoutTable(const ChartModel& model, const MeasConditions& m, const GraphConditions& g,
                               const CursorTimes& cursors) {
    CursorTable out;
    int any = -1;
    for (int i = 0; i < kCharts && any < 0; ++i)
        if (g.Ch[static_cast<std::size_t>(i)].Shown() && model.ShowsRecord(i)) any = i;
    const int timeChart = any < 0 ? 0 : any;
    if (cursors.hasA) out.timeA = TimeText(model, timeChart, cursors.a);
    if (cursors.hasB) out.timeB = TimeText(model, timeChart, cursors.b);
    if (cursors.hasA && cursors.hasB) out.delta = TimeText(model, timeChart, cursors.b - cursors.a);
    const auto panel = CursorReadout(model, m, cursors);
    const auto strip = [](const std::string& s, std::size_t n) { return s.size() > n ? s.substr(n) : std::string(); };
    for (int i = 0; i < kCharts; ++i) {
        if (!g.Ch[static_cast<std::size_t>(i)].Shown()) continue;
        CursorTableRow r;
        r.channel = i + 1;
        const CursorPanelTexts& t = panel[static_cast<std::size_t>(i)];
        r.A = strip(t.A, 2);
        r.B = strip(t.B, 2);
        r.Diff = strip(t.Diff, 4);
        if (cursors.hasA && cursors.hasB) {
            r.Min = r.Max = r.Mean = kNoValueText;
            const std::size_t n = model.ShowsRecord(i) ? model.PointCount(i, 1) : 0;
            const double lo = std::min(cursors.a, cursors.b), hi = std::max(cursors.a, cursors.b);
            // The first point at or after lo (the times ascend).
            std::size_t first = 0, last = n;
            while (first < last) {
                const std::size_t mid = first + (last - first) / 2;
                if (model.X(i, 1, mid) < lo) first = mid + 1;
                else last = mid;
            }
            double mn = 0.0, mx = 0.0, sum = 0.0;
            std::size_t count = 0;
            for (std::size_t k = first; k < n && model.X(i, 1, k) <= hi; ++k) {
                const double y = model.Y(i, 1, k);
                if (IsNoValue(y) || !std::isfinite(y)) continue;
                mn = count == 0 ? y : std::min(mn, y);
                mx = count == 0 ? y : std::max(mx, y);
                sum += y;
                ++count;
            }
            if (count > 0) {
                const int point = PointOfChannel(model, m, i);
                r.Min = ValueLabelText(mn, point);
                r.Max = ValueLabelText(mx, point);
                r.Mean = ValueLabelText(sum / static_cast<double>(count), point);
            }
        }
        out.rows.push_back(r);
    }
    return out;
}

}  // namespace kmr
