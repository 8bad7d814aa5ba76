#include "core/graphs/GraphConditions.h"

#include <gtest/gtest.h>

#include "core/conditions/CndTestFiles.h"
#include "core/graphs/ChartModel.h"
#include "core/support/Numbers.h"

namespace kmr {
namespace {

using testing::Repeat;
using testing::WriteAll;

GraphConditions Defaults() {
    GraphConditions g;
    SetGraphDefaults(g);
    return g;
}

struct GraphCndFile : ::testing::Test {
    testing::TempDir dir;
    const std::string path = dir.File("Graph.cnd");
    GraphConditions g = Defaults();
};

TEST_F(GraphCndFile, SaveThenLoadGivesTheSameChannels) {
    g.Ch[9] = {1, 0, 0, 123.456789012345, -0.000125, 32767};
    g.Ch[4] = {1, 1, 0, 1.5e20, -1e-6, 4};
    ASSERT_TRUE(SaveGraphConditions(path, g, nullptr).ok);
    // In plain decimal notation, never in exponent form.
    EXPECT_NE(testing::ReadAll(path).find("\r\n150000000000000000000,-0.000001,4\r\n"), std::string::npos);
    GraphConditions back = Defaults();
    EXPECT_TRUE(LoadGraphConditions(path, back, nullptr).complete);
    EXPECT_EQ(back, g);
}

TEST_F(GraphCndFile, ReadableValuesBreakingTheFormRulesAreTaken) {
    // Minimum above maximum and a flag of 7 are drawn as they are; nothing is reordered.
    WriteAll(path, "7,1,1\r\n-5,5,3\r\n" + Repeat("0,1,1\r\n10,0,10\r\n", 9));
    EXPECT_TRUE(LoadGraphConditions(path, g, nullptr).complete);
    EXPECT_EQ(g.Ch[0], (ChannelGraphCondition{7, 1, 1, -5.0, 5.0, 3}));
}

// (A division count below 1 takes its default and the rest is read: the condition-file table.)
TEST_F(GraphCndFile, DivisionCountOutside16BitsStopsTheReading) {
    WriteAll(path, "0,0,0\r\n20,1,40000\r\n" + Repeat("0,1,1\r\n10,0,10\r\n", 9));
    EXPECT_FALSE(LoadGraphConditions(path, g, nullptr).complete);
    GraphConditions expected = Defaults();
    expected.Ch[0] = {0, 0, 0, 20, 1, 10};
    EXPECT_EQ(g, expected);
    EXPECT_EQ(testing::ReadAll(path), "0,0,0\r\n20,1,10\r\n1,1,1\r\n10,0,10\r\n" + Repeat("0,1,1\r\n10,0,10\r\n", 8));
}

// (Applying the form, which restarts the monitor window: GraphCondOkTest.OnlyTheSpanChanged...)
TEST(GraphConditions, TheAutoXRangeEndsAtTheLastSample) {
    GraphConditions g = Defaults();
    AutoXRange(g, 1000, 1.0f);
    EXPECT_DOUBLE_EQ(g.X.XscaleMaxG, 0.999);
    AutoXRange(g, 2001, 0.05f);
    EXPECT_NEAR(g.X.XscaleMaxG, 0.1, 1e-8);
    AutoXRange(g, 0, 1.0f);  // no record: unchanged
    EXPECT_NEAR(g.X.XscaleMaxG, 0.1, 1e-8);
    g.X.XAutoScale = 0;
    AutoXRange(g, 5000, 1.0f);
    EXPECT_NEAR(g.X.XscaleMaxG, 0.1, 1e-8);
}

// The sub-millisecond clocks are not exact as 32-bit floats; the end the form shows is the time
// of the last sample as the clock reads (not 0.0999500014893711 for 2000 samples at 0.05 ms), and
// that sample lies on the end of the axis.
TEST(GraphConditions, TheAutoXRangeOfAFastClockIsItsDecimalTime) {
    const struct {
        std::int32_t n;
        float clock;
        const char* end;
    } cases[] = {{2000, 0.05f, "0.09995"}, {2000, 0.1f, "0.1999"},  {2000, 0.3f, "0.5997"},
                 {2000, 0.7f, "1.3993"},   {507904, 0.05f, "25.39515"}, {245760, 0.9f, "221.1831"}};
    for (const auto& c : cases) {
        GraphConditions g = Defaults();
        AutoXRange(g, c.n, c.clock);
        EXPECT_EQ(FormatDouble(g.X.XscaleMaxG), c.end) << c.clock;
        EXPECT_EQ(SampleTime(c.n - 1, c.clock, g.X.XtimeFactor), g.X.XscaleMaxG) << c.clock;
    }
}

// The range the automatic X axis leaves behind is one the form and a fixed axis can take: a
// minimum set by hand before is kept only while it stays below the new end, and a record of one
// sample, which has no length, keeps the end it had.
TEST(GraphConditions, TheAutoXRangeKeepsMinimumBelowMaximum) {
    GraphConditions g = Defaults();
    g.X.XscaleMaxG = 20.0;
    g.X.XscaleMinG = 5.0;
    AutoXRange(g, 10001, 1.0f);  // 10 s: the minimum stays
    EXPECT_DOUBLE_EQ(g.X.XscaleMaxG, 10.0);
    EXPECT_DOUBLE_EQ(g.X.XscaleMinG, 5.0);
    AutoXRange(g, 1000, 1.0f);  // 0.999 s: a minimum of 5 s would lie beyond it
    EXPECT_DOUBLE_EQ(g.X.XscaleMaxG, 0.999);
    EXPECT_DOUBLE_EQ(g.X.XscaleMinG, 0.0);
    AutoXRange(g, 1, 1.0f);  // one sample at 0 s
    EXPECT_DOUBLE_EQ(g.X.XscaleMaxG, 0.999);
    EXPECT_DOUBLE_EQ(g.X.XscaleMinG, 0.0);
}

}  // namespace
}  // namespace kmr
