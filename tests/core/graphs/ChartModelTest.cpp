#include "core/graphs/ChartModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/FakeProgress.h"

namespace kmr {
namespace {

const std::vector<std::string> kUnits = {"x1e-6", "mV", "V", "kN"};

struct RecordingView : ChartView {
    void BatchBegun() override { ++begun; }
    void BatchEnded(const ChartChanges& c) override {
        ++ended;
        last = c;
    }
    int begun = 0;
    int ended = 0;
    ChartChanges last;
};

GraphConditions TwoChannelGraphs() {
    GraphConditions g;
    g.Ch[0].Use = g.Ch[1].Use = 1;
    return g;
}

// A channel's value, maximum, minimum and range as its panel shows them.
std::vector<std::string> Readout(const ChannelLabels& l) { return {l.Moni, l.Max, l.Min, l.Range}; }
const std::vector<std::string> kDashes(4, kNoValueText);

std::array<float, kCharts> Values(float v) {
    std::array<float, kCharts> a;
    a.fill(v);
    return a;
}

// A record loaded into a channel: by default n samples 0, 1, 2, ... (raw) into channel 1 at 1 ms.
struct RecordFixture {
    GraphConditions g = TwoChannelGraphs();
    MeasConditions m;
    ChartModel model;
    std::vector<std::int16_t> samples;
    Progress progress;
    NullProgressView view;
    RunStatus status = RunStatus::Ok;

    explicit RecordFixture(std::int32_t n) {
        samples.resize(static_cast<std::size_t>(n));
        for (std::int32_t i = 0; i < n; ++i) samples[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i % 30000);
        m.SmpClk = 1.0f;
        model.SetGraphMode(kRecordedMode);
        EXPECT_TRUE(Load(1, n));
    }
    RecordFixture() = default;
    bool Load(int channel, std::int32_t n) {
        return model.LoadRecordSeries(channel, samples, n, m, g, progress, view, status);
    }
    // Chooses the part of a 1000-sample record from min to max seconds and shows it on chart 1.
    void ShowWindow(double min, double max) {
        g.X.XscaleMinG = min;
        g.X.XscaleMaxG = max;
        model.ComputeDisplayRange(g, 1000, 1.0f);
        model.ShowRecordWindow(0);
    }
};

// --- Display range ------------------------------------------------------------------------------

// A record of 1000 samples at 1 ms: a part, the whole when it fits or the scale is automatic, the
// end capped at the record, a shorter range from zero.
TEST(ChartModelTest, DisplayRangeChoosesSamplesAndShowsThem) {
    struct Case {
        std::int16_t autoScale;
        double min, max;
        std::int32_t first, last;  // expected DisplayFirst/DisplayLast
        std::size_t shown;         // points of series 1 after ShowRecordWindow
        double firstX;
    };
    for (const Case& c : {Case{0, 0.2, 0.5, 201, 501, 301, 0.2}, Case{0, 0.0, 2.0, -1, -1, 1000, 0.0},
                          Case{1, 0.2, 0.5, -1, -1, 1000, 0.0}, Case{0, 0.5, 5.0, 501, 1000, 500, 0.5},
                          Case{0, 0.0, 0.5, 1, 501, 501, 0.0}}) {
        SCOPED_TRACE(::testing::Message() << c.autoScale << " " << c.min << " .. " << c.max);
        RecordFixture f(1000);
        f.g.X.XAutoScale = c.autoScale;
        f.ShowWindow(c.min, c.max);
        EXPECT_EQ(f.model.DisplayFirst(), c.first);
        EXPECT_EQ(f.model.DisplayLast(), c.last);
        ASSERT_EQ(f.model.PointCount(0, 1), c.shown);
        EXPECT_DOUBLE_EQ(f.model.SeriesX(0, 1)[0], c.firstX);
        // Series 1 is the chosen part of series 2, point for point.
        const auto first = static_cast<std::size_t>(c.first == -1 ? 0 : c.first - 1);
        EXPECT_EQ(f.model.SeriesY(0, 1)[0], f.model.SeriesY(0, 2)[first]);
        EXPECT_EQ(f.model.SeriesY(0, 1).back(), f.model.SeriesY(0, 2)[first + c.shown - 1]);
        EXPECT_EQ(f.model.PointCount(0, 2), 1000u);
    }
}

TEST(ChartModelTest, WindowOfOneSampleOrOutsideTheRecordLeavesSeries1AClearedChannelHoldsMarkersAResetEndsTheMark) {
    RecordFixture f(1000);
    f.g.X.XAutoScale = 0;
    f.ShowWindow(0.2, 0.5);
    ASSERT_EQ(f.model.PointCount(0, 1), 301u);
    f.ShowWindow(2.0, 3.0);  // starts after the last sample
    EXPECT_EQ(f.model.DisplayFirst(), 2001);
    EXPECT_EQ(f.model.DisplayLast(), 1000);
    EXPECT_EQ(f.model.PointCount(0, 1), 301u);
    f.ShowWindow(0.3, 0.3004);  // one sample wide
    EXPECT_EQ(f.model.DisplayFirst(), f.model.DisplayLast());
    EXPECT_EQ(f.model.PointCount(0, 1), 301u);
    // A cleared channel holds two marker points and dashes.
    f.model.ShowRecordStatistics(0, 1000, f.m);
    ASSERT_NE(f.model.Labels(0).Max, kNoValueText);
    f.model.ClearChannelGraph(1, 1000, 1.0f, f.g);
    ASSERT_EQ(f.model.PointCount(0, 1), 2u);
    EXPECT_EQ(f.model.SeriesX(0, 1)[0], 0.0);
    EXPECT_DOUBLE_EQ(f.model.SeriesX(0, 1)[1], 0.999);
    EXPECT_TRUE(IsNoValue(f.model.SeriesY(0, 1)[0]));
    EXPECT_TRUE(IsNoValue(f.model.SeriesY(0, 1)[1]));
    EXPECT_EQ(f.model.PointCount(0, 2), 0u);
    EXPECT_EQ(Readout(f.model.Labels(0)), kDashes);
    // Showing the record window of a channel without a record keeps the cleared graph.
    f.model.ShowRecordWindow(0);
    EXPECT_EQ(f.model.PointCount(0, 1), 2u);
    // The markers are not data: statistics of a cleared graph are dashes, not zeros.
    f.model.ShowRecordStatistics(0, 1000, f.m);
    EXPECT_EQ(f.model.Labels(0).Max, kNoValueText);

    // The trigger mark lies at the pre-memory time until the monitor is reset, which then starts
    // an empty strip.
    f.model.MarkTriggerTime(4, 250, 2.0f, f.g);
    EXPECT_TRUE(f.model.Mark(4).on);
    EXPECT_DOUBLE_EQ(f.model.Mark(4).x, 0.5);
    f.model.ResetMonitorGraphs(f.g, f.m, kUnits);
    EXPECT_FALSE(f.model.Mark(4).on);
    ASSERT_TRUE(f.Load(1, 1000));  // a record shown, then the monitor
    f.model.SetGraphMode(kMonitorMode);
    f.model.UpdateMonitorGraphs(f.g, f.m, 5, Values(2.0f));
    EXPECT_EQ(f.model.PointCount(0, 1), 1u);
    EXPECT_EQ(f.model.MonitorPointCount(), 1);
    EXPECT_EQ(f.model.SeriesY(0, 1)[0], 2.0);
}

TEST(ChartModelTest, RecordValuesAreEngineeringValuesAgainstSampleTimeWithStatisticsOfTheShownPart) {
    RecordFixture f;
    f.m.SmpClk = 0.5f;
    f.m.Ch(2) = {.Coeff = 0.001f, .Offset = -1.5f};
    f.samples = {-32768, -1, 0, 1, 32767};
    ASSERT_TRUE(f.Load(2, 5));
    ASSERT_EQ(f.model.PointCount(1, 2), 5u);
    for (std::size_t i = 0; i < f.samples.size(); ++i) {
        EXPECT_EQ(f.model.SeriesX(1, 2)[i], static_cast<double>(i) * 0.5 * 0.001);
        EXPECT_EQ(f.model.SeriesY(1, 2)[i],
                  static_cast<double>(f.samples[i]) * static_cast<double>(0.001f) - 1.5);
    }
    // Series 1 shows the whole record until a window is chosen.
    EXPECT_EQ(f.model.PointCount(1, 1), 5u);
    // Points read one by one and copied out in a block are the same numbers.
    std::vector<double> x(3), y(3);
    EXPECT_EQ(f.model.CopyPoints(1, 1, 3, 3, x.data(), y.data()), 2u);  // clipped to the series
    EXPECT_EQ(x[0], f.model.X(1, 2, 3));
    EXPECT_EQ(y[1], f.model.Y(1, 1, 4));
    EXPECT_EQ(f.model.CopyPoints(1, 2, 5, 1, x.data(), nullptr), 0u);
    // Never reads past the samples given, whatever count is asked for.
    ASSERT_TRUE(f.Load(2, 9));
    EXPECT_EQ(f.model.PointCount(1, 2), 5u);
    // Statistics of the shown part.
    f.m.Ch(1) = {.Coeff = 0.5f, .Point = 2, .Offset = 1.0f};
    f.samples = {4, -6, 10, 3, 2};
    ASSERT_TRUE(f.Load(1, 5));
    f.model.ShowRecordWindow(0);
    f.model.ShowRecordStatistics(0, 5, f.m);
    EXPECT_EQ(Readout(f.model.Labels(0)), (std::vector<std::string>{kNoValueText, "6.00", "-2.00", "8.00"}));

    // A negative coefficient turns the largest sample into the smallest value.
    f.m.Ch(1).Coeff = -0.5f;
    ASSERT_TRUE(f.Load(1, 5));
    f.model.ShowRecordStatistics(0, 5, f.m);
    EXPECT_EQ(Readout(f.model.Labels(0)), (std::vector<std::string>{kNoValueText, "4.00", "-4.00", "8.00"}));

    f.model.ShowRecordStatistics(0, 0, f.m);  // no samples
    EXPECT_EQ(Readout(f.model.Labels(0)), kDashes);
}

TEST(ChartModelTest, LoadRecordSeriesAdvancesProgressPerBlockAndStopsOnCancel) {
    RecordFixture f;
    f.samples.assign(25000, 7);
    f.progress.MaxPBCount = 10;
    testing::FakeProgress view;
    ASSERT_TRUE(f.model.LoadRecordSeries(1, f.samples, 25000, f.m, f.g, f.progress, view, f.status));
    EXPECT_EQ(view.looks, 2);
    EXPECT_EQ(f.progress.ProgressStep, 2);
    EXPECT_EQ(f.progress.ProgressCounter, 5000);  // carried over to the next channel
    EXPECT_EQ(view.percents, (std::vector<int>{10, 20}));

    // The second channel completes the half block first: its first yield comes after 5000 samples.
    view.cancelAt = 3;
    EXPECT_FALSE(f.model.LoadRecordSeries(2, f.samples, 25000, f.m, f.g, f.progress, view, f.status));
    EXPECT_EQ(f.status, RunStatus::Cancelled);
    EXPECT_EQ(f.model.PointCount(1, 2), 5000u);  // the points filled so far remain
    EXPECT_EQ(f.model.PointCount(1, 1), 5000u);
    EXPECT_EQ(f.progress.ProgressStep, 2);
}

// --- Axes -----------------------------------------------------------------------------------------

TEST(ChartModelTest, DecimalsCountTenfoldSteps) {
    const std::vector<std::pair<double, int>> cases = {{0.25, 1}, {0.05, 2},  {-0.25, 1}, {1.0, 0},   {12.5, 0},
                                                       {0.1, 1},  {0.01, 2},  {0.001, 3}, {0.999, 1}, {0.0, 0}};
    for (const auto& [v, decimals] : cases) EXPECT_EQ(DecimalsFor(v), decimals) << v;
    // The decimals that write a number exactly: never fewer, more where a digit would be lost.
    const std::vector<std::pair<double, int>> exact = {{0.25, 2}, {0.012, 3}, {1.5, 1}, {0.1, 1}, {0.3 / 3, 2},
                                                       {1.0 / 3, -1}, {0.0, 0}, {12.0 * 0.001, 3}};
    for (const auto& [v, decimals] : exact) EXPECT_EQ(ExactDecimals(v, 0, 6), decimals) << v;
}

// Whether a recorded axis is automatic or fixed shows in ChartNavigationTest's configured ranges.
TEST(ChartModelTest, AxesFromTheirDivisionsByModeAndAutoScale) {
    GraphConditions g = TwoChannelGraphs();
    g.Ch[1] = {.Use = 1, .AutoScale = 0, .YscaleMax = 1.0, .YscaleMin = 0.0, .YscaleDiv = 4};
    g.X.XtimeFactor = 1.0;
    ChartModel model;
    model.ConfigureGraphAxes(g);  // monitor mode: the time axis is never automatic
    EXPECT_EQ(g.X.XtimeFactor, 0.001);
    // Automatic, maximum, minimum, spacing, decimals, grid and grid spacing.
    // Divisions of 0.25 are numbered 0.25 and 0.75, not 0.3 and 0.8.
    EXPECT_EQ(model.YAxis(1), (AxisSettings{false, 1.0, 0.0, 0.25, 2, GridMode::Fixed, 0.25}));
    EXPECT_EQ(model.XAxis(0), (AxisSettings{false, 10.0, 0.0, 1.0, 0, GridMode::Fixed, 1.0}));
    EXPECT_EQ(model.YAxis(0), AxisSettings{});  // channel 1 keeps the automatic scale and grid

    g.Ch[1].Ygrid = 0;
    g.Ch[1].YscaleDiv = 0;  // read unchecked from a file: one division, no division by zero
    model.SetGraphMode(kRecordedMode);
    model.ConfigureGraphAxes(g);
    EXPECT_EQ(model.YAxis(1), (AxisSettings{false, 1.0, 0.0, 1.0, 0, GridMode::Off, 0.0}));
    EXPECT_EQ(model.XAxis(0), AxisSettings{});

    g.X.XAutoScale = 0;
    g.X.XscaleMaxG = 0.5;
    g.X.XscaleMinG = 0.2;
    g.X.XscaleDivG = 6;
    g.X.Xgrid = 0;
    model.ConfigureGraphAxes(g);
    EXPECT_DOUBLE_EQ(model.XAxis(0).spacing, 0.05);
    EXPECT_EQ(model.XAxis(0).decimals, 2);
    EXPECT_EQ(model.XAxis(0).grid, GridMode::Off);
    g.X.XscaleMinG = 0.25;  // divisions of 0.05 counted from 0.25
    g.X.XscaleDivG = 5;
    model.ConfigureGraphAxes(g);
    EXPECT_EQ(model.XAxis(0).decimals, 2);
    g.X.XscaleMaxG = 2.5;  // a whole second from 0.5: "0.5 1.5 2.5"
    g.X.XscaleMinG = 0.5;
    g.X.XscaleDivG = 2;
    model.ConfigureGraphAxes(g);
    EXPECT_EQ(model.XAxis(0).decimals, 1);
    EXPECT_FALSE(model.XAxis(0).exponent);
    // Ends too long for plain digits (from a hand-edited Graph.cnd too) are numbered in exponent
    // form, and opposite extremes give a finite spacing.
    g.Ch[1] = {.Use = 1, .AutoScale = 0, .YscaleMax = 3e38, .YscaleMin = -3e38, .YscaleDiv = 4};
    model.ConfigureGraphAxes(g);
    EXPECT_TRUE(model.YAxis(1).exponent);
    EXPECT_DOUBLE_EQ(model.YAxis(1).spacing, 1.5e38);
    g.Ch[1] = {.Use = 1, .AutoScale = 0, .YscaleMax = 1e-6, .YscaleMin = 0, .YscaleDiv = 10};
    model.ConfigureGraphAxes(g);
    EXPECT_TRUE(model.YAxis(1).exponent);
    // Ends the wrong way round (a hand-edited Graph.cnd) make the same axis as the right way
    // round, numbered every division upwards, not an axis of negative divisions.
    g.Ch[1] = {.Use = 1, .AutoScale = 0, .YscaleMax = 0.0, .YscaleMin = 10.0, .YscaleDiv = 10};
    model.ConfigureGraphAxes(g);
    EXPECT_EQ(model.YAxis(1), (AxisSettings{false, 10.0, 0.0, 1.0, 0, GridMode::Fixed, 1.0}));
    // A channel that is not shown keeps what it had.
    EXPECT_TRUE(model.XAxis(5).automatic);
}

// --- Monitor strip --------------------------------------------------------------------------------

// The monitor's time window: its first and last second.
std::pair<double, double> Window(const GraphConditions& g) { return {g.X.XscaleMinM, g.X.XscaleMaxM}; }

struct MonitorStripTest : ::testing::Test {
    GraphConditions g = TwoChannelGraphs();  // span 10 s, pitch 5 s
    MeasConditions m;
    ChartModel model;
};

TEST_F(MonitorStripTest, WindowScrollsByPitchAndDropsOldPointsAndALongPauseMovesItInWholePitches) {
    model.ResetAllGraphs(g, m, kUnits);
    const std::uint32_t t0 = 4000000000u;  // the millisecond counter wraps during this strip

    model.UpdateMonitorGraphs(g, m, t0, Values(1.0f));
    EXPECT_EQ(model.MonitorStartTick(), t0);
    EXPECT_EQ(model.MonitorPointCount(), 1);
    EXPECT_EQ(model.SeriesX(0, 1)[0], 0.0);
    for (std::uint32_t s = 1; s <= 10; ++s) model.UpdateMonitorGraphs(g, m, t0 + s * 1000, Values(2.0f));
    EXPECT_EQ(Window(g), std::pair(0.0, 10.0));
    EXPECT_EQ(model.MonitorPointCount(), 11);

    model.UpdateMonitorGraphs(g, m, t0 + 10300, Values(3.0f));
    EXPECT_EQ(Window(g), std::pair(5.0, 15.0));
    // Points at 0 .. 4 s left the window.
    EXPECT_EQ(model.MonitorPointCount(), 7);
    EXPECT_EQ(model.SeriesX(3, 1).front(), 5.0);
    EXPECT_DOUBLE_EQ(model.SeriesX(3, 1).back(), 10.3);
    EXPECT_EQ(model.XAxis(0).min, 5.0);
    EXPECT_EQ(model.XAxis(9).max, 15.0);

    // 4.71 s without a reading (one second apart is still joined): the line breaks at a point
    // without a value, which the panels do not count.
    model.UpdateMonitorGraphs(g, m, t0 + 15010, Values(4.0f));
    EXPECT_EQ(Window(g), std::pair(10.0, 20.0));
    EXPECT_EQ(model.SeriesX(0, 1).front(), 10.0);
    EXPECT_EQ(model.MonitorPointCount(), 4);  // 10.0, 10.3, the gap, 15.01
    EXPECT_EQ(model.PointCount(7, 1), 4u);
    EXPECT_DOUBLE_EQ(model.SeriesX(7, 1)[2], (10.3 + 15.01) / 2);
    EXPECT_TRUE(IsNoValue(model.SeriesY(7, 1)[2]));
    EXPECT_EQ(Readout(model.Labels(7)), (std::vector<std::string>{"4", "4", "2", "2"}));

    // A long pause moves the window in whole pitches.
    g.X.Xpich = 3;
    model.ResetAllGraphs(g, m, kUnits);
    model.UpdateMonitorGraphs(g, m, 0, Values(1.0f));
    model.UpdateMonitorGraphs(g, m, 3600000, Values(1.0f));  // an hour later
    EXPECT_EQ(Window(g), std::pair(3591.0, 3601.0));  // 10 + 1197 × 3
    // Every older point (and the gap after it) stayed this tick; the next tick drops them.
    EXPECT_EQ(model.MonitorPointCount(), 3);
    model.UpdateMonitorGraphs(g, m, 3600050, Values(1.0f));
    EXPECT_EQ(model.MonitorPointCount(), 2);
    EXPECT_EQ(model.SeriesX(0, 1).front(), 3600.0);

    // A strip left running for longer than the millisecond counter's whole round (49.7 days)
    // goes on in time: its newest point never lands behind the window, nor do points pile up.
    const std::uint64_t day = 86400000;
    // Readings further apart than the span keep only the one before, for the line into the window.
    for (std::uint64_t t = 3600050 + day; t <= 3600050 + 50 * day; t += day)
        model.UpdateMonitorGraphs(g, m, static_cast<std::uint32_t>(t), Values(static_cast<float>(t / day)));
    EXPECT_DOUBLE_EQ(model.SeriesX(0, 1).back(), (3600050 + 50 * day) / 1000.0);
    EXPECT_DOUBLE_EQ(model.SeriesX(0, 1).front(), (3600050 + 49 * day) / 1000.0);
    EXPECT_EQ(model.MonitorPointCount(), 3);  // the reading before, the gap, this one
    EXPECT_EQ(Readout(model.Labels(0)), (std::vector<std::string>{"50", "50", "49", "1"}));
}

TEST_F(MonitorStripTest, LabelsShowValueAndExtentOrDashes) {
    m.Ch(1).Point = 1;
    m.Ch(2).Point = 0;
    model.ResetAllGraphs(g, m, kUnits);
    std::array<float, kCharts> v = Values(kNoValue);
    v[0] = 246.5f;
    v[1] = 12.0f;
    model.UpdateMonitorGraphs(g, m, 100, v);
    v[0] = 240.44f;
    v[1] = kNoValue;
    model.UpdateMonitorGraphs(g, m, 150, v);
    EXPECT_EQ(Readout(model.Labels(0)), (std::vector<std::string>{"240.4", "246.5", "240.4", "6.1"}));  // one decimal
    EXPECT_EQ(Readout(model.Labels(1)), kDashes);
    EXPECT_EQ(model.Labels(2).Moni, kNoValueText);
    // The value column holds the widest value the channel's scale may give, sign and all.
    EXPECT_EQ(model.Labels(0).WidestValue, "-88888.8");
    EXPECT_EQ(WidestValueText(1.0f, 0.0f, 4), "-88888.8888");
    EXPECT_EQ(WidestValueText(1234.5f, 0.0f, 5), "-88888888.88888");
    EXPECT_EQ(WidestValueText(-0.001f, 0.0f, 3), "-88.888");  // the highest word made negative
    EXPECT_EQ(WidestValueText(0.5f, 100000.0f, 0), "888888");
    // A value too wide for the panel (a huge coefficient) is shown, and measured, in exponent
    // form; fifteen characters are still shown as they are.
    EXPECT_EQ(ValueLabelText(static_cast<double>(3.4e34f), 3), "3.4E+34");
    EXPECT_EQ(ValueLabelText(-123456789.5, 5), "-1.234568E+08");
    EXPECT_EQ(ValueLabelText(-12345678.5, 5), "-12345678.50000");
    EXPECT_EQ(WidestValueText(3.403e30f, 0.0f, 3), "-8.888888E+88");
}

TEST_F(MonitorStripTest, ResetEmptiesStripAndSetsPanels) {
    m.Ch(3).OnOff = 0;
    m.Ch(2).Unit = 3;
    model.UpdateMonitorGraphs(g, m, 0, Values(1.0f));
    model.UpdateMonitorGraphs(g, m, 20000, Values(1.0f));
    ASSERT_NE(g.X.XscaleMaxM, 10.0);
    model.ResetMonitorGraphs(g, m, kUnits);
    EXPECT_EQ(model.MonitorPointCount(), 0);
    EXPECT_EQ(Window(g), std::pair(0.0, 10.0));
    ASSERT_EQ(model.PointCount(0, 1), 1u);
    EXPECT_EQ(model.SeriesY(0, 1)[0], 0.0);
    EXPECT_EQ(model.PointCount(0, 2), 0u);
    EXPECT_EQ(model.Labels(1).Unit, "kN");
    EXPECT_FALSE(model.Labels(2).ChannelNumberEnabled);
    EXPECT_TRUE(model.Labels(1).ChannelNumberEnabled);
    // The first point after a reset replaces the single (0, 0) point.
    model.UpdateMonitorGraphs(g, m, 777, Values(7.0f));
    ASSERT_EQ(model.PointCount(0, 1), 1u);
    EXPECT_EQ(model.SeriesY(0, 1)[0], 7.0);
    EXPECT_EQ(model.Labels(0).Min, "7");  // the (0, 0) point is gone from the extent too
}

TEST_F(MonitorStripTest, ExtentFollowsTheStripExactly) {
    // Against a brute-force maximum and minimum over what the strip holds, with drops, markers
    // and equal values.
    g.X.Xspace = 2;
    g.X.Xpich = 1;
    m.Ch(1).Point = 0;
    model.ResetAllGraphs(g, m, kUnits);
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> d(-20, 20);
    for (int t = 0; t < 3000; ++t) {
        const int r = d(rng);
        const float v = r == 20 ? kNoValue : static_cast<float>(r / 2);
        model.UpdateMonitorGraphs(g, m, static_cast<std::uint32_t>(t * 50), Values(v));
        const auto y = model.SeriesY(0, 1);
        double mx = -1e9, mn = 1e9;
        for (double e : y)
            if (!IsNoValue(e)) mx = std::max(mx, e), mn = std::min(mn, e);
        double gotMax = 0, gotMin = 0;
        ASSERT_EQ(model.DataExtent(0, gotMax, gotMin), mx > -1e9);
        if (mx > -1e9) {
            ASSERT_EQ(gotMax, mx) << t;
            ASSERT_EQ(gotMin, mn) << t;
        }
        ASSERT_LE(model.SeriesX(0, 1).back() - model.SeriesX(0, 1).front(), 2.0 + 1.0);
        ASSERT_EQ(static_cast<std::size_t>(model.MonitorPointCount()), model.PointCount(9, 1));
    }
}

TEST_F(MonitorStripTest, OneBatchPerTickWithIncrementalChanges) {
    RecordingView view;
    model.SetView(&view);
    model.ResetAllGraphs(g, m, kUnits);
    EXPECT_EQ(view.ended, 1);  // nested batches end once
    for (std::uint32_t t = 0; t <= 10000; t += 1000) model.UpdateMonitorGraphs(g, m, t, Values(1.0f));
    view.ended = 0;
    model.UpdateMonitorGraphs(g, m, 10300, Values(1.0f));
    EXPECT_EQ(view.ended, 1);
    EXPECT_EQ(view.begun, 13);
    // What each batch drops and appends, against the drawn strip: ChartsWidgetTest's scrolling strip.
    EXPECT_FALSE(view.last.series1[0].replaced);
    EXPECT_TRUE(view.last.axes.all());
}

}  // namespace
}  // namespace kmr
