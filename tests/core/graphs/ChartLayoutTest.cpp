#include "core/graphs/ChartLayout.h"

#include <gtest/gtest.h>

namespace kmr {
namespace {

// The first n charts shown.
std::bitset<kCharts> FirstN(int n) { return std::bitset<kCharts>((1u << n) - 1); }

// Text sizes of an English panel and of a Japanese one with a larger font.
const ChartTextSizes kEnglish{};
const ChartTextSizes kLarge{24, 60, 84, 54, 110, 20, 60, 60};

void ExpectCellsApart(const ChartRowPlace& r) {
    std::vector<PixelRect> cells{r.cells.channel};
    for (int k = 0; k < 5; ++k) {
        cells.push_back(r.cells.captions[static_cast<std::size_t>(k)]);
        cells.push_back(r.cells.values[static_cast<std::size_t>(k)]);
    }
    if (r.cells.xUnitShown) cells.push_back(r.cells.xUnit);
    for (std::size_t a = 0; a < cells.size(); ++a) {
        EXPECT_TRUE(cells[a].Inside(r.panelWidth, r.height)) << "cell " << a << " of row " << r.index;
        for (std::size_t b = a + 1; b < cells.size(); ++b)
            EXPECT_FALSE(cells[a].Overlaps(cells[b])) << "cells " << a << " and " << b << " of row " << r.index;
    }
}

TEST(ChartLayoutTest, cellsNeverOverlapAndRowsReachTheMinimumOrScroll) {
    for (const ChartTextSizes& t : {kEnglish, kLarge})
        for (int n : {1, 2, 5, 10})
            for (auto [w, h] : {std::pair{560, 260}, std::pair{1300, 640}, std::pair{1560, 1080}}) {
                SCOPED_TRACE(testing::Message() << n << " rows at " << w << "x" << h << ", line " << t.lineHeight);
                const ChartAreaPlaces p = LayOutChartArea(FirstN(n), w, h, 16, t);
                ASSERT_EQ(p.rows.size(), static_cast<std::size_t>(n));
                for (const ChartRowPlace& r : p.rows) {
                    ExpectCellsApart(r);
                    EXPECT_GE(r.height, p.minimumRowHeight);
                    EXPECT_EQ(r.cells.xUnitShown, r.bottom);
                }
                EXPECT_TRUE(p.rows.back().bottom);
                // Either everything fits, or the area scrolls and is narrower by the scroll bar.
                EXPECT_EQ(p.scrolls, p.rows.back().top + p.rows.back().height > h);
                EXPECT_EQ(p.contentWidth, p.scrolls ? w - 16 : w);
            }
}

TEST(ChartLayoutTest, shortRowsGetTheCompactPanelAndFewerYNumbers) {
    const ChartAreaPlaces one = LayOutChartArea(FirstN(1), 712, 300, 16, kEnglish);
    const ChartAreaPlaces ten = LayOutChartArea(FirstN(10), 712, 300, 16, kEnglish);
    EXPECT_EQ(one.rows[0].form, PanelForm::Stacked);
    EXPECT_EQ(ten.rows[0].form, PanelForm::Compact);
    EXPECT_TRUE(ten.scrolls);
    EXPECT_GT(one.rows[0].yTicks, ten.rows[0].yTicks);
    EXPECT_GE(ten.rows[0].yTicks, 1);
    // A row too low for two steps of a line and a half gets the least step that keeps two
    // numbers 1.2 lines apart; a taller one numbers by its count.
    const ChartRowPlace& low = ten.rows[0];
    ASSERT_EQ(low.yTicks, 1);
    const int plot = low.height - low.insets.Top - low.insets.Bottom;
    EXPECT_DOUBLE_EQ(low.yLeastStep, std::min(1.0, 1.2 * kEnglish.axisLineHeight / plot));
    EXPECT_EQ(one.rows[0].yLeastStep, 0.0);
    // The smallest main window holds a row and its panel.
    const WindowSize s = MinimumMainWindowSize(17);
    EXPECT_GE(s.width, 480);
    EXPECT_GE(s.height, MinimumChartRowHeight(kEnglish) + 150);
}

// Units and values in a wide font make the compact panel (three columns) as wide as a small
// window: the one-column panel takes its place, and the rows scroll, rather than leave the chart
// a sliver.
TEST(ChartLayoutTest, aCompactPanelLeavingNoChartGivesWayToTheOneColumnPanel) {
    ChartTextSizes wide = kEnglish;
    wide.valueWidth = 136;
    wide.unitWidth = 100;
    wide.captionWidth = 60;
    const ChartAreaPlaces p = LayOutChartArea(FirstN(5), 712, 300, 16, wide);
    ASSERT_EQ(p.rows.size(), 5u);
    EXPECT_EQ(p.rows[0].form, PanelForm::Stacked);
    EXPECT_TRUE(p.scrolls);
    const ChartRowPlace& r = p.rows[0];
    EXPECT_GE(p.contentWidth - r.panelWidth - r.insets.Left - r.insetRight, 2 * wide.xLabelWidth);
    for (const ChartRowPlace& row : p.rows) ExpectCellsApart(row);
    // With room enough the compact panel stays.
    EXPECT_EQ(LayOutChartArea(FirstN(5), 1366, 300, 16, wide).rows[0].form, PanelForm::Compact);
}

TEST(ChartLayoutTest, axisNumbersOfALargeFontKeepTheirRoom) {
    const ChartAreaPlaces p = LayOutChartArea(FirstN(3), 900, 600, 16, kLarge);
    const ChartRowPlace& bottom = p.rows.back();
    // The time numbers below the bottom plot, whole; the first and last half-width at the sides.
    EXPECT_GE(bottom.insets.Bottom, kLarge.axisLineHeight + 5);
    EXPECT_GE(bottom.insetRight, kLarge.xLabelWidth / 2);
    EXPECT_GE(p.rows[0].insets.Left, kLarge.yLabelWidth + 5);
    EXPECT_GE(p.rows[0].insets.Top, kLarge.axisLineHeight / 2);
    EXPECT_LT(p.rows[0].insets.Bottom, bottom.insets.Bottom);
}

}  // namespace
}  // namespace kmr
