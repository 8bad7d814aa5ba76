#pragma once
// Looking into a recorded record: the ranges a chart shows at its configured scale, zooming and
// panning the time axis, the reading under the pointer and the two vertical cursors with their
// readout in the data panels. The charts only carry out what is decided here.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "core/conditions/MeasConditions.h"
#include "core/graphs/ChartModel.h"

namespace kmr {

struct AxisRange {
    double lo = 0.0;
    double hi = 1.0;
    bool operator==(const AxisRange&) const = default;
    double width() const { return hi - lo; }
};

// The X range of chart `index` at its configured scale: a fixed axis's minimum and maximum; an
// automatic one spans series 1 from its first to its last point (a series of one point or none
// gets one second from its point or from 0).
AxisRange ConfiguredXRange(const ChartModel& model, int index);
// The Y range at the configured scale: a fixed axis's minimum and maximum; an automatic one the
// data extent of series 1 with a twentieth of its height added above and below (a flat series
// one unit either side, no data 0 .. 1).
AxisRange ConfiguredYRange(const ChartModel& model, int index);

// The narrowest time range a zoom may reach on chart `index`: four sample steps of its record
// (one millisecond when it shows no record).
double MinimumXWidth(const ChartModel& model, int index);

// `r` scaled by `factor` (below 1 zooms in) about `at`, which keeps its place on the axis; never
// narrower than `minWidth`.
AxisRange ZoomAbout(const AxisRange& r, double at, double factor, double minWidth);
// `r` moved by dx.
AxisRange PanBy(const AxisRange& r, double dx);
// `r` moved just far enough that it holds x (unchanged when it does): a cursor moved by keys
// past the edge of the time shown takes the view along.
AxisRange FollowCursor(const AxisRange& r, double x);
// The range a dragged rectangle spans from a to b (either order); false when it is narrower than
// `minWidth` (a click, not a drag).
bool RangeOfDrag(double a, double b, double minWidth, AxisRange& out);
// One wheel notch zooms by this factor (in for a forward turn; its inverse out).
inline constexpr double kWheelZoomFactor = 0.8;

// The point of series 1 nearest to time x; false when the series is empty.
bool NearestPoint(const ChartModel& model, int index, double x, std::size_t& point);

// Significant digits (at least `least`) that write every number of an axis over [lo, hi] ticked at
// origin + k × step, so that no two ticks read alike: deep in a long record a zoomed time axis
// needs more than six ("459.7165" beside "459.717").
int AxisLabelPrecision(double lo, double hi, double step, double origin, int least);

// The caption of channel `channel`: "Ch. 1" to "Ch. 9", "Ch.10" (all as wide).
std::string ChannelCaption(int channel);

// Decimals of times shown for chart `index`: those that write its sample step exactly (3 without
// a record).
int TimeDecimals(const ChartModel& model, int index);

// What the status strip shows for the pointer at time x over chart `index`: the channel, and the
// time and value of the nearest point ("Ch. 2  t = 0.125 s  y = 12.50 mV").
struct PointerReading {
    bool valid = false;
    double x = 0.0;
    double y = 0.0;
    std::string text;
};
PointerReading ReadingAt(const ChartModel& model, const MeasConditions& m, int index, double x);

// The two vertical cursors: cursor A is set by a click, cursor B by a shift-click, each at the
// time of the sample nearest to the click. Times hold for every chart.
struct CursorTimes {
    bool hasA = false, hasB = false;
    double a = 0.0, b = 0.0;
    bool operator==(const CursorTimes&) const = default;
};
// Places cursor A (or B when `second`) at the point of chart `index` nearest to x; false (nothing
// changed) when the chart has no point.
bool PlaceCursor(const ChartModel& model, int index, double x, bool second, CursorTimes& cursors);

// Moves cursor A (or B when `second`) by `steps` points of chart `index`'s series; a cursor not
// yet set starts at the point nearest to `from`. False (nothing changed) when the chart has no
// point.
bool StepCursor(const ChartModel& model, int index, bool second, long steps, double from, CursorTimes& cursors);

// The cursor lines of one data panel, empty texts when the cursor is not set.
struct CursorPanelTexts {
    std::string A;      // "A 1.250"
    std::string B;      // "B 3.750"
    std::string Diff;   // "B-A 2.500"
    std::string Delta;  // "dt 0.250 s"
    bool operator==(const CursorPanelTexts&) const = default;
};
std::array<CursorPanelTexts, kCharts> CursorReadout(const ChartModel& model,
                                                    const MeasConditions& m,
                                                    const CursorTimes& cursors);

// The readout strip below the charts: the cursors' times and, per shown channel, the values at A
// and B, B-A and the minimum, maximum and mean of the samples between the cursors ("----" where
// there is no value; the between-columns need both cursors).
struct CursorTableRow {
    int channel = 0;
    std::string A, B, Diff, Min, Max, Mean;
    bool operator==(const CursorTableRow&) const = default;
};
struct CursorTable {
    std::string timeA, timeB, delta;  // "0.100", "0.350", "0.250" (seconds); empty when not set
    std::vector<CursorTableRow> rows;
};
CursorTable CursorReadoutTable(const ChartModel& model, const MeasConditions& m, const GraphConditions& g,
                               const CursorTimes& cursors);

}  // namespace kmr
