#include "core/app/GraphCondForm.h"

#include <gtest/gtest.h>

#include "core/datafiles/DataFilesTestSupport.h"
#include "support/EngineHarness.h"

namespace kmr {
namespace {

using testing::EngineHarness;
using testing::ReadAll;

GraphConditions Defaults() {
    GraphConditions g;
    SetGraphDefaults(g);
    return g;
}

struct Entry {
    GraphFieldRef field;
    const char* typed;
    bool accepted;
    const char* shown;  // the box afterwards
};

constexpr GraphFieldRef kSpan{GraphField::Xspace, 0};
constexpr GraphFieldRef kPitch{GraphField::Xpich, 0};
constexpr GraphFieldRef kDivM{GraphField::XscaleDivM, 0};
constexpr GraphFieldRef kMaxG{GraphField::XscaleMaxG, 0};
constexpr GraphFieldRef kMinG{GraphField::XscaleMinG, 0};
constexpr GraphFieldRef kDivG{GraphField::XscaleDivG, 0};
constexpr GraphFieldRef kYMax1{GraphField::YscaleMax, 1};
constexpr GraphFieldRef kYMin1{GraphField::YscaleMin, 1};
constexpr GraphFieldRef kYDiv1{GraphField::YscaleDiv, 1};

// Span 10, pitch 5, X 0..10 s, channel 1 Y 0..10 in 10 divisions (the defaults).
TEST(GraphCondCommit, AcceptsOrRevertsSilently) {
    for (const Entry& e : {
        // The pitch never exceeds the span.
        Entry{kPitch, "20", false, "5"}, Entry{kPitch, "10", true, "10"}, Entry{kPitch, "0", false, "5"},
        // The span: 1 .. 2147483647.
        Entry{kSpan, "2147483647", true, "2147483647"}, Entry{kSpan, "2147483648", false, "10"},
        Entry{kSpan, "0", false, "10"}, Entry{kSpan, "", false, "10"},
        // Divisions: whole numbers 1 .. 32767, a "+" allowed, nothing else.
        Entry{kYDiv1, "0", false, "10"}, Entry{kYDiv1, "2.5", false, "10"}, Entry{kYDiv1, "abc", false, "10"},
        Entry{kYDiv1, "+7", true, "7"}, Entry{kYDiv1, " 7 ", true, "7"},
        Entry{kYDiv1, "\xEF\xBC\x98", true, "8"},  // full-width 8
        Entry{kYDiv1, "32767", true, "32767"}, Entry{kYDiv1, "32768", false, "10"},
        Entry{kDivM, "4", true, "4"}, Entry{kDivG, "1E2", false, "10"},
        // The X range of the record: the minimum strictly below the maximum, the maximum above 0.
        Entry{kMinG, "10", false, "0"}, Entry{kMinG, "9.75", true, "9.75"}, Entry{kMinG, "-1", false, "0"},
        Entry{kMaxG, "0", false, "10"}, Entry{kMaxG, "+0.5", true, "0.5"}, Entry{kMaxG, "1.2.3", false, "10"},
        // A channel's Y range: maximum above minimum, both may be negative.
        Entry{kYMax1, "0", false, "10"}, Entry{kYMax1, "1e3", false, "10"}, Entry{kYMax1, "0.001", true, "0.001"},
        Entry{kYMin1, "-250.5", true, "-250.5"}, Entry{kYMin1, "10", false, "0"},
        // Taken as the box and Graph.cnd show it (15 digits): 16 nines are 10, no minimum below 10.
        Entry{kYMin1, "9.999999999999999", false, "0"}, Entry{kMinG, "9.999999999999999", false, "0"},
        Entry{kYMax1, "12.34567890123456789", true, "12.3456789012346"},
        Entry{kYMin1, "\xEF\xBC\x8D\xEF\xBC\x92", true, "-2"},  // full-width "-2"
        // Scales up to the largest value a channel gives; beyond, the chart could not be drawn.
        Entry{kYMax1, "100000000000000000000000000000000000000", true, "1E+38"}, Entry{kYMin1, "-1000000000000000000000000000000000000000", false, "0"},
        Entry{kMaxG, "900000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000", false, "10"}}) {
        GraphCondForm f(Defaults(), testing::ConditionsWith({1}, 1000));
        EXPECT_EQ(f.Commit(e.field, e.typed), e.accepted) << e.typed;
        EXPECT_EQ(f.Text(e.field), e.shown) << e.typed;
        // What the box shows is what it holds: leaving it again (the close box does) changes nothing.
        const GraphConditions held = f.Working();
        f.Commit(e.field, f.Text(e.field));
        EXPECT_EQ(f.Working(), held) << e.typed;
    }
}

TEST(GraphCondForm, EnablingFollowsTheAutomaticScalesTheGraphsAndTheMeasuredChannels) {
    GraphCondForm f(Defaults(), testing::ConditionsWith({1, 3}, 1000));
    EXPECT_FALSE(f.XGraphScaleEnabled());
    f.SetXAutoScale(false);
    EXPECT_TRUE(f.XGraphScaleEnabled());

    // Channel 1 shown with an automatic scale, channel 2 shown but not measured, channel 3 hidden
    // (a hidden graph's checks greyed: SettingsWindowTest).
    EXPECT_FALSE(f.ChannelScaleEnabled(1));
    f.SetAutoScale(1, false);
    EXPECT_TRUE(f.ChannelScaleEnabled(1));
    f.SetUse(1, false);
    EXPECT_FALSE(f.ChannelScaleEnabled(1));
    EXPECT_TRUE(f.ChannelLabelEnabled(1));
    EXPECT_FALSE(f.ChannelLabelEnabled(2));
    EXPECT_TRUE(f.ChannelLabelEnabled(3));
}

// --- OK and closing ------------------------------------------------------------------------------

// Records what every batch of the charts changed.
class RecordingChartView : public ChartView {
public:
    void BatchEnded(const ChartChanges& c) override { batches.push_back(c); }
    std::vector<ChartChanges> batches;
};

struct GraphCondOkTest : ::testing::Test {
    EngineHarness h;
    RecordingChartView view;
    void SetUp() override {
        ASSERT_EQ(h.Start(), StartupOutcome::Online);
        h.engine.chart.SetView(&view);
    }
    GraphCondForm Open() const { return GraphCondForm(h.state.Graph, h.state.Meas); }
    FormOutcome Ok(GraphCondForm& f) { return GraphCondOk(h.engine, f, Language::English, {}); }
};

TEST_F(GraphCondOkTest, NoChangeJustClosesANoAnswerOrNoGraphOnAppliesNothing) {
    GraphCondForm f = Open();
    EXPECT_EQ(Ok(f), FormOutcome::Close);
    EXPECT_TRUE(h.ui.shown.empty());
    const GraphConditions before = h.state.Graph;
    const std::string saved = ReadAll(h.CondFile(kGraphCnd));
    ASSERT_TRUE(f.Commit(kDivM, "4"));
    h.ui.answers = {MsgAnswer::No};
    EXPECT_EQ(Ok(f), FormOutcome::StayOpen);
    for (int ch = 1; ch <= kChannels; ++ch) f.SetUse(ch, false);
    EXPECT_EQ(Ok(f), FormOutcome::StayOpen);
    EXPECT_EQ(h.ui.Texts(), (std::vector<std::string>{Text(Language::English, txt::SaveChangesQuestion),
                                                      "More than one is reguired for graphic display."}));
    EXPECT_EQ(h.ui.shown[1].title, "Setting error");
    EXPECT_EQ(h.state.Graph, before);
    EXPECT_EQ(ReadAll(h.CondFile(kGraphCnd)), saved);
    EXPECT_TRUE(view.batches.empty());
}

TEST_F(GraphCondOkTest, OnlyTheSpanChangedRestartsTheMonitorGraphsAPitchChangeOnlyRedraws) {
    // The monitor strip has moved on before the form opens.
    h.state.Graph.X.XscaleMaxM = 35;
    h.state.Graph.X.XscaleMinM = 25;
    h.engine.chart.UpdateMonitorGraphs(h.state.Graph, h.state.Meas, 1000, {});
    h.engine.chart.UpdateMonitorGraphs(h.state.Graph, h.state.Meas, 2000, {});
    ASSERT_EQ(h.engine.chart.MonitorPointCount(), 2);
    GraphCondForm f = Open();
    ASSERT_TRUE(f.Commit(kSpan, "20"));
    h.ui.pointerChanges.clear();
    view.batches.clear();
    bool disabled = false;
    EXPECT_EQ(GraphCondOk(h.engine, f, Language::English, [&] { disabled = true; }), FormOutcome::Applied);
    EXPECT_TRUE(disabled);
    EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{Text(Language::English, txt::SaveChangesQuestion)});
    EXPECT_EQ(h.engine.chart.MonitorPointCount(), 0);
    EXPECT_EQ(h.state.Graph.X.Xspace, 20);
    // One batch: every chart repaints once.
    EXPECT_EQ(view.batches.size(), 1u);
    EXPECT_EQ(h.ui.pointerChanges, (std::vector<Pointer>{Pointer::Hourglass, Pointer::Default}));
    // The copy is the live record now: closing asks nothing.
    EXPECT_FALSE(f.Flags(h.state.Graph).Any());

    // A pitch change redraws without restarting, and is saved.
    h.engine.chart.UpdateMonitorGraphs(h.state.Graph, h.state.Meas, 3000, {});
    GraphCondForm pitch = Open();
    ASSERT_TRUE(pitch.Commit(kPitch, "2"));
    pitch.SetYgrid(2, false);
    ASSERT_TRUE(pitch.Commit(kYMax1, "5"));  // automatic scale: kept but not drawn
    EXPECT_EQ(Ok(pitch), FormOutcome::Applied);
    EXPECT_EQ(h.engine.chart.MonitorPointCount(), 1);
    EXPECT_EQ(h.engine.chart.YAxis(1).grid, GridMode::Off);
    EXPECT_EQ(ReadAll(h.CondFile(kGraphCnd)).substr(0, 25), "1,1,1\r\n5,0,10\r\n1,0,1\r\n10,");
}

// In recorded mode a changed X range redraws every shown channel; a channel shown anew afterwards
// is recomputed alone.
TEST_F(GraphCondOkTest, AChangedXRangeRedrawsEveryShownChannelANewlyShownOneIsRecomputedAlone) {
    // A record of 1000 words at 1 ms on channels 1 to 3, transferred and drawn.
    ASSERT_TRUE(h.Measure({1, 2, 3}, 1000, 1.0f));
    ASSERT_TRUE(h.RunToEnd());
    ASSERT_EQ(h.engine.chart.GraphMode(), kRecordedMode);
    view.batches.clear();
    GraphCondForm f = Open();
    f.SetXAutoScale(false);
    ASSERT_TRUE(f.Commit(kMaxG, "0.5"));
    ASSERT_TRUE(f.Commit(kMinG, "0.2"));
    EXPECT_EQ(Ok(f), FormOutcome::Applied);
    // Samples 201 to 501 of the record of 1000 samples at 1 ms.
    EXPECT_EQ(h.engine.chart.DisplayFirst(), 201);
    EXPECT_EQ(h.engine.chart.DisplayLast(), 501);
    ASSERT_EQ(view.batches.size(), 1u);
    for (int i : {0, 1}) {
        EXPECT_TRUE(view.batches[0].series1[static_cast<std::size_t>(i)].replaced) << i;
        EXPECT_EQ(h.engine.chart.PointCount(i, 1), 301u);
    }
    // Channel 3 is measured but hidden: its graph is left alone.
    EXPECT_FALSE(view.batches[0].series1[2].changed());

    view.batches.clear();
    GraphCondForm shown = Open();
    shown.SetUse(3, true);
    EXPECT_EQ(Ok(shown), FormOutcome::Applied);
    ASSERT_EQ(view.batches.size(), 1u);
    const ChartChanges& c = view.batches[0];
    EXPECT_TRUE(c.series1[2].replaced);
    for (int i : {0, 1, 3, 4}) EXPECT_FALSE(c.series1[static_cast<std::size_t>(i)].changed()) << i;
    EXPECT_TRUE(h.engine.chart.ShowsRecord(2));
    EXPECT_EQ(h.engine.chart.PointCount(2, 1), 301u);
    // Its statistics are written with the others'.
    EXPECT_NE(h.engine.chart.Labels(2).Max, "----");
    EXPECT_EQ(h.engine.chart.GraphMode(), kRecordedMode);
}

}  // namespace
}  // namespace kmr
