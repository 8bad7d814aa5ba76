#include "core/graphs/ChartNavigation.h"

#include "core/graphs/ChartsPresenter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace kmr {
namespace {

// A ramp record on channel 1 (raw i, value i × 0.5 + 1, 1 ms per sample), nothing on channel 2 and
// the same ramp on channel 3, whose chart is not in use.
struct RampFixture {
    GraphConditions g;
    MeasConditions m;
    ChartModel model;
    std::vector<std::int16_t> raw = std::vector<std::int16_t>(1000);
    Progress progress;
    NullProgressView progressView;
    RunStatus status = RunStatus::Ok;

    RampFixture() {
        for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<std::int16_t>(i);
        g.Ch[0].Use = g.Ch[1].Use = 1;
        m.SmpClk = 1.0f;
        m.Ch(1) = {.Coeff = 0.5f, .Point = 1, .Offset = 1.0f};
        model.SetGraphMode(kRecordedMode);
        model.ClearAllSeries();
        Load(1);
        model.ClearChannelGraph(2, 1000, m.SmpClk, g);
        Load(3);
        model.ConfigureGraphAxes(g);
    }
    void Load(int channel) { model.LoadRecordSeries(channel, raw, 1000, m, g, progress, progressView, status); }
};

TEST(ChartNavigationTest, CursorsSnapOrStepToSamplesAndReadOutValuesDifferencesAndTheTable) {
    RampFixture f;
    CursorTimes c;
    ASSERT_TRUE(PlaceCursor(f.model, 0, 0.1004, false, c));
    ASSERT_TRUE(PlaceCursor(f.model, 0, 0.3496, true, c));  // samples 100 and 350 (ChartsPresenterTest's clicks)
    const auto r = CursorReadout(f.model, f.m, c);
    EXPECT_EQ(r[0], (CursorPanelTexts{"A 51.0", "B 176.0", "B-A 125.0", "dt 0.250 s"}));
    // The cleared channel has no values; the time difference holds for it too.
    EXPECT_EQ(r[1], (CursorPanelTexts{"A ----", "B ----", "B-A ----", "dt 0.250 s"}));
    // One cursor only: no difference yet.
    CursorTimes one;
    PlaceCursor(f.model, 0, -3.0, false, one);  // left of the record: its first sample
    EXPECT_EQ(one.a, 0.0);
    EXPECT_EQ(CursorReadout(f.model, f.m, one)[0], (CursorPanelTexts{"A 1.0", "", "", ""}));
    // The pointer's reading names channel, time and value.
    EXPECT_EQ(ReadingAt(f.model, f.m, 0, 0.1256).text, "Ch. 1  t = 0.126 s  y = 64.0");
    EXPECT_EQ(ReadingAt(f.model, f.m, 1, 0.3).text, "Ch. 2  t = 0.000 s  y = ----");
    EXPECT_FALSE(ReadingAt(f.model, f.m, 5, 0.5).valid);  // a chart without points
    // Times as exact as the clock: 12 ms is 0.012 s (not 0.01), 1500 ms 1.5 s (not 2).
    for (const auto& [clock, text] : {std::pair{12.0f, "0.012"}, std::pair{1500.0f, "1.5"}}) {
        RampFixture slow;
        slow.m.SmpClk = clock;
        slow.Load(1);
        CursorTimes ab;
        PlaceCursor(slow.model, 0, 0.0, false, ab);
        PlaceCursor(slow.model, 0, clock / 1000.0, true, ab);
        EXPECT_EQ(ReadingAt(slow.model, slow.m, 0, clock / 1000.0).text, std::string("Ch. 1  t = ") + text + " s  y = 1.5");
        EXPECT_EQ(CursorReadoutTable(slow.model, slow.m, slow.g, ab).delta, text);
    }
    // Keys step the cursors; the table sums up between them.
    c = CursorTimes{};
    // Not set yet: from the point nearest to where the view is, then sample by sample; B is set
    // at 0.5 and stays there, then stops at the last sample.
    for (const auto& [b, steps, view, sample] : {std::tuple{false, 1, 0.2, 200}, std::tuple{false, -3, 0.0, 197},
                                                 std::tuple{true, 5000, 0.5, 500}, std::tuple{true, 5000, 0.5, 999}}) {
        ASSERT_TRUE(StepCursor(f.model, 0, b, steps, view, c));
        EXPECT_EQ(b ? c.b : c.a, SampleTime(sample, 1.0f, 0.001)) << sample;
    }
    c.b = SampleTime(201, 1.0f, 0.001);
    const CursorTable t = CursorReadoutTable(f.model, f.m, f.g, c);
    EXPECT_EQ(t.timeA, "0.197");
    EXPECT_EQ(t.delta, "0.004");
    ASSERT_EQ(t.rows.size(), 2u);
    // Samples 197..201: values 99.5 .. 101.5, mean 100.5.
    EXPECT_EQ(t.rows[0], (CursorTableRow{1, "99.5", "101.5", "2.0", "99.5", "101.5", "100.5"}));
    EXPECT_EQ(t.rows[1], (CursorTableRow{2, "----", "----", "----", "----", "----", "----"}));
}

TEST(ChartNavigationTest, ConfiguredRangesFollowTheAxesAndZoomStopsAtFourSamples) {
    RampFixture f;
    EXPECT_EQ(ConfiguredXRange(f.model, 0), (AxisRange{0.0, SampleTime(999, 1.0f, 0.001)}));
    const AxisRange y = ConfiguredYRange(f.model, 0);
    EXPECT_DOUBLE_EQ(y.lo, 1.0 - 499.5 / 20);
    EXPECT_DOUBLE_EQ(y.hi, 500.5 + 499.5 / 20);
    f.g.X.XAutoScale = 0;
    f.g.X.XscaleMinG = 0.2;
    f.g.X.XscaleMaxG = 0.5;
    f.g.Ch[0] = {.Use = 1, .AutoScale = 0, .YscaleMax = 7.0, .YscaleMin = -7.0};
    f.model.ConfigureGraphAxes(f.g);
    EXPECT_EQ(ConfiguredXRange(f.model, 0), (AxisRange{0.2, 0.5}));
    EXPECT_EQ(ConfiguredYRange(f.model, 0), (AxisRange{-7.0, 7.0}));
    EXPECT_EQ(ConfiguredYRange(f.model, 4), (AxisRange{0.0, 1.0}));  // no data
    // Zoom keeps the point under the pointer (ChartsPresenterTest's wheel) and stops at four samples.
    const double minWidth = MinimumXWidth(f.model, 0);
    EXPECT_DOUBLE_EQ(minWidth, 0.004);
    AxisRange z{0.0, 1.0};
    for (int i = 0; i < 100; ++i) z = ZoomAbout(z, 0.5, kWheelZoomFactor, minWidth);
    EXPECT_NEAR(z.width(), minWidth, 1e-12);
    EXPECT_NEAR(z.lo, 0.498, 1e-12);
    const AxisRange out = ZoomAbout(z, 0.5, 1.0 / kWheelZoomFactor, minWidth);
    EXPECT_GT(out.width(), z.width());
    AxisRange d;
    EXPECT_FALSE(RangeOfDrag(0.3, 0.301, minWidth, d));  // a click, not a drag
    ASSERT_TRUE(RangeOfDrag(0.6, 0.2, minWidth, d));
    EXPECT_EQ(d, (AxisRange{0.2, 0.6}));
}

TEST(ChartNavigationTest, AxisNumbersKeepEveryTickApartDeepInALongRecord) {
    // A zoomed time axis near the end of the longest record, ticked every half or 3.5 ms (one
    // tick set from a half step), and axes that six digits write exactly.
    for (const auto& [lo, hi, step, origin] :
         {std::tuple{459.7155, 459.7195, 0.0005, 0.0}, std::tuple{253.9394, 253.9616, 0.0035, 0.0},
          std::tuple{507.8, 507.9, 0.02, 0.01}, std::tuple{-2167.0, -601.0, 500.0, 0.0}}) {
        const int precision = AxisLabelPrecision(lo, hi, step, origin, 6);
        std::set<std::string> seen;
        for (double t = origin + std::ceil((lo - origin) / step) * step; t <= hi; t += step) {
            char text[40];
            std::snprintf(text, sizeof text, "%.*g", precision, t);
            EXPECT_TRUE(seen.insert(text).second) << text;
            EXPECT_NEAR(std::stod(text), t, step * 1e-6) << text;
        }
        EXPECT_GE(seen.size(), 2u);
    }
    EXPECT_EQ(AxisLabelPrecision(459.7155, 459.7195, 0.0005, 0.0, 6), 7);
    // Large values keep their short exponent form; an empty axis the least.
    EXPECT_EQ(AxisLabelPrecision(1.0e8, 3.0e8, 2.5e7, 0.0, 6), 6);
    EXPECT_EQ(AxisLabelPrecision(0.0, 0.0, 0.1, 0.0, 6), 6);
}

// The presenter over the ramps, drawing into a view that notes what it was told.
struct Fixture : RampFixture, ChartsNavigationView, ChartView {
    ChartsPresenter p{model, m};
    std::set<int> ranges;
    int cursorShows = 0;
    bool band = false;
    ChartPixel bandFrom;
    std::string reading = "none";

    Fixture() {
        p.SetView(this);
        model.SetView(this);
    }
    // The pointer at time x and value y, drawn 500 pixels wide over 0 .. 1 s (y: 200 - value).
    static ChartPointer At(double x, double y = 100.0) {
        ChartPointer c;
        c.at = {static_cast<int>(x * 500.0), static_cast<int>(200.0 - y)};
        c.x = x;
        c.y = y;
        c.plotWidth = 500;
        return c;
    }
    void Click(double x, bool shift = false) {
        p.Press(0, At(x), ChartButton::Left, shift, false);
        p.Release(0, At(x));
    }

    void ShowRanges(int index) override { ranges.insert(index); }
    void ShowCursors() override { ++cursorShows; }
    void ShowDragBand(int, ChartPixel from, ChartPixel) override {
        band = true;
        bandFrom = from;
    }
    void HideDragBand() override { band = false; }
    void ShowPointerReading(const std::string& text) override { reading = text; }
    void BatchEnded(const ChartChanges& changes) override { p.ModelChanged(changes); }
};

TEST(ChartsPresenterTest, WheelAndRectangleZoomTheSharedTimeAxisAndADoubleClickGoesBack) {
    Fixture f;
    const AxisRange configured = f.p.XRange(0), configuredY = f.p.YRange(0);
    ASSERT_TRUE(f.p.Wheel(0, 0.3, 2.0));  // two notches forward about 0.3 s
    EXPECT_TRUE(f.p.Zoomed());
    EXPECT_DOUBLE_EQ(f.p.XRange(0).width(), configured.width() * 0.64);
    EXPECT_DOUBLE_EQ(f.p.XRange(0).lo, 0.3 - 0.3 * 0.64);
    EXPECT_EQ(f.p.XRange(2), f.p.XRange(0));  // every record shares the time axis
    EXPECT_EQ(f.p.XRange(1), ConfiguredXRange(f.model, 1));
    EXPECT_EQ(f.ranges, (std::set<int>{0, 2}));
    // Turned back, the wheel zooms out no further than the configured scale, wherever the view is.
    ASSERT_TRUE(f.p.Wheel(0, 0.9, -1.0));
    ASSERT_TRUE(f.p.Zoomed());
    for (int k = 0; k < 20; ++k) f.p.Wheel(0, 0.9, -1.0);
    EXPECT_FALSE(f.p.Zoomed());
    EXPECT_EQ(f.p.XRange(0), configured);
    ASSERT_TRUE(f.p.Wheel(0, 0.3, 2.0));

    // A rectangle a pixel high (a sideways drag's wobble) zooms time only.
    ASSERT_TRUE(f.p.Press(0, Fixture::At(0.26, 80.0), ChartButton::Right, false, false));
    f.p.Move(0, Fixture::At(0.34, 79.0));
    f.p.Release(0, Fixture::At(0.34, 79.0));
    EXPECT_DOUBLE_EQ(f.p.XRange(0).lo, 0.26);
    EXPECT_EQ(f.p.YRange(0), configuredY);
    // A rectangle (the right button, or Ctrl with the left) zooms time and value.
    ASSERT_TRUE(f.p.Press(0, Fixture::At(0.28, 80.0), ChartButton::Left, false, true));
    f.p.Move(0, Fixture::At(0.32, 40.0));
    EXPECT_TRUE(f.band);
    EXPECT_EQ(f.bandFrom, Fixture::At(0.28, 80.0).at);
    f.p.Release(0, Fixture::At(0.32, 40.0));
    EXPECT_FALSE(f.band);
    EXPECT_DOUBLE_EQ(f.p.XRange(0).lo, 0.28);
    EXPECT_DOUBLE_EQ(f.p.XRange(0).hi, 0.32);
    EXPECT_EQ(f.p.YRange(0), (AxisRange{40.0, 80.0}));
    EXPECT_EQ(f.p.YRange(2), ConfiguredYRange(f.model, 2));

    // A double-click: its first click placed cursor A; the scale goes back, and so does A.
    f.Click(0.3);
    EXPECT_TRUE(f.p.Cursors().hasA);
    ASSERT_TRUE(f.p.DoubleClick(0));
    EXPECT_FALSE(f.p.Zoomed());
    EXPECT_FALSE(f.p.Cursors().hasA);
    EXPECT_EQ(f.p.XRange(0), configured);
    EXPECT_EQ(f.p.YRange(0), configuredY);
}

// A set scale zoomed into is numbered for what it shows (its spacing of 0.1 s would leave a zoom of
// a few hundredths without a time or a grid line); graph conditions confirmed with a new scale end
// the zoom made on the old one, and leave the others.
TEST(ChartsPresenterTest, AZoomedSetScaleIsNumberedForItsRangeAndEndsWhenTheScaleIsSetAnew) {
    Fixture f;
    f.g.X = {.XscaleMaxG = 0.5, .XscaleMinG = 0.2, .XscaleDivG = 3, .XAutoScale = 0};
    f.g.Ch[0] = {.Use = 1, .Ygrid = 0, .AutoScale = 0, .YscaleMax = 500.0, .YscaleMin = 0.0, .YscaleDiv = 5};
    f.model.ConfigureGraphAxes(f.g);
    const AxisSettings setX = f.model.XAxis(0), setY = f.model.YAxis(0);
    f.p.Wheel(0, 0.3, 12.0);
    ASSERT_LT(f.p.XRange(0).width(), setX.spacing);
    EXPECT_TRUE(f.p.ShownXAxis(0).automatic);
    EXPECT_EQ(f.p.ShownXAxis(0).grid, GridMode::Automatic);
    EXPECT_EQ(f.p.ShownXAxis(1), f.model.XAxis(1));  // the cleared channel is not zoomed
    EXPECT_EQ(f.p.ShownYAxis(0), setY);
    f.p.Press(0, Fixture::At(0.29, 180.0), ChartButton::Right, false, false);
    f.p.Move(0, Fixture::At(0.31, 120.0));
    f.p.Release(0, Fixture::At(0.31, 120.0));
    EXPECT_TRUE(f.p.ShownYAxis(0).automatic);
    EXPECT_EQ(f.p.ShownYAxis(0).grid, GridMode::Off);  // as set

    const AxisRange zoomedX = f.p.XRange(0), zoomedY = f.p.YRange(0);
    f.model.ConfigureGraphAxes(f.g);  // nothing changed
    EXPECT_EQ(f.p.YRange(0), zoomedY);
    f.g.Ch[0].YscaleMax = 2000.0;
    f.model.ConfigureGraphAxes(f.g);
    EXPECT_EQ(f.p.YRange(0), (AxisRange{0.0, 2000.0}));
    EXPECT_EQ(f.p.XRange(0), zoomedX);
    f.g.X.XscaleMaxG = 0.8;
    f.model.ConfigureGraphAxes(f.g);
    EXPECT_EQ(f.p.XRange(0), (AxisRange{0.2, 0.8}));
    EXPECT_EQ(f.p.ShownXAxis(0), f.model.XAxis(0));
}

TEST(ChartsPresenterTest, ClicksSetCursorsDragsPanMovesReadThePointerAndKeysZoomAboutA) {
    Fixture f;
    f.Click(0.1004);
    f.Click(0.3496, true);
    EXPECT_EQ(f.p.Cursors(), (CursorTimes{true, true, SampleTime(100, 1.0f, 0.001), SampleTime(350, 1.0f, 0.001)}));
    EXPECT_EQ(f.cursorShows, 2);

    // A move of less than three pixels is still a click; beyond it the press pans.
    const AxisRange before = f.p.XRange(0);
    f.p.Press(0, Fixture::At(0.5), ChartButton::Left, false, false);
    f.p.Move(0, Fixture::At(0.502));
    EXPECT_FALSE(f.p.Zoomed());
    f.p.Move(0, Fixture::At(0.4));  // 50 pixels left: the time under the press follows
    EXPECT_EQ(f.reading.rfind("Ch. 1  t = 0.400 s  y = 201.0", 0), 0u);
    f.p.Release(0, Fixture::At(0.4));
    EXPECT_NEAR(f.p.XRange(0).lo, before.lo + 50 * before.width() / 500, 1e-12);
    EXPECT_NEAR(f.p.XRange(2).hi, before.hi + 50 * before.width() / 500, 1e-12);
    EXPECT_EQ(f.p.Cursors().a, SampleTime(100, 1.0f, 0.001));  // a drag sets no cursor
    f.p.PointerLeft();
    EXPECT_EQ(f.reading, "");
    // + zooms about cursor A, which keeps its place.
    ASSERT_TRUE(f.p.KeyPressed(0, ChartKeyAction::ZoomIn, false));
    const AxisRange in = f.p.XRange(0), was = PanBy(before, 50 * before.width() / 500);
    EXPECT_DOUBLE_EQ(in.width(), was.width() * kWheelZoomFactor);
    EXPECT_NEAR((f.p.Cursors().a - in.lo) / in.width(), (f.p.Cursors().a - was.lo) / was.width(), 1e-9);
    // The arrow keys that take A past either edge of the time shown take the view along.
    for (int k = 0; k < 1000 && f.p.Cursors().a <= in.hi; ++k) f.p.KeyPressed(0, ChartKeyAction::CursorForward, false);
    const AxisRange ahead = f.p.XRange(0);
    EXPECT_GT(f.p.Cursors().a, in.hi);
    EXPECT_DOUBLE_EQ(ahead.hi, f.p.Cursors().a);
    EXPECT_NEAR(ahead.width(), in.width(), 1e-12);
    for (int k = 0; k < 1000 && f.p.Cursors().a >= ahead.lo; ++k) f.p.KeyPressed(0, ChartKeyAction::CursorBack, false);
    EXPECT_DOUBLE_EQ(f.p.XRange(0).lo, f.p.Cursors().a);
    EXPECT_EQ(f.p.XRange(2), f.p.XRange(0));
    // With A panned out of view, + zooms about the middle of what is shown.
    f.p.ShowTimeRange(0.6, 0.8);
    ASSERT_TRUE(f.p.KeyPressed(0, ChartKeyAction::ZoomIn, false));
    EXPECT_NEAR(f.p.XRange(0).lo, 0.62, 1e-12);
    EXPECT_NEAR(f.p.XRange(0).hi, 0.78, 1e-12);
}

TEST(ChartsPresenterTest, OffARecordNothingIsTakenAndANewRecordEndsZoomAndCursors) {
    Fixture f;
    // The cleared channel and a monitor strip: the wheel scrolls the rows, clicks do nothing.
    EXPECT_FALSE(f.p.Wheel(1, 0.3, 1.0));
    EXPECT_FALSE(f.p.Press(1, Fixture::At(0.3), ChartButton::Left, false, false));
    EXPECT_FALSE(f.p.Release(1, Fixture::At(0.3)));
    EXPECT_FALSE(f.p.Cursors().hasA);

    f.p.Wheel(0, 0.3, 1.0);
    f.p.Press(0, Fixture::At(0.2, 80.0), ChartButton::Right, false, false);
    f.p.Move(0, Fixture::At(0.4, 40.0));
    f.p.Release(0, Fixture::At(0.4, 40.0));
    f.Click(0.3);
    f.Click(0.35, true);
    f.ranges.clear();
    f.Load(1);  // a new record
    EXPECT_FALSE(f.p.Zoomed());
    EXPECT_EQ(f.p.YRange(0), ConfiguredYRange(f.model, 0));
    EXPECT_EQ(f.p.Cursors(), CursorTimes{});
    EXPECT_EQ(f.ranges.size(), static_cast<std::size_t>(kCharts));
    // Monitoring: the strips are not looked into.
    f.model.SetGraphMode(kMonitorMode);
    EXPECT_FALSE(f.p.Wheel(0, 0.3, 1.0));
    EXPECT_FALSE(f.p.KeyPressed(0, ChartKeyAction::ZoomIn, false));
}

}  // namespace
}  // namespace kmr
