#include "core/graphs/ChartLayout.h"

#include <algorithm>

namespace kmr {

namespace {

constexpr int kPadX = 4;        // panel border to its cells
constexpr int kPadY = 2;
constexpr int kGap = 4;         // caption to value
constexpr int kColumnGap = 10;  // between the pairs of a compact panel
constexpr int kRowGap = 2;      // between two rows
constexpr int kTopMargin = 2;   // above the first row
constexpr int kTickLabelPadding = 5;  // axis line to its numbers (the chart's own)

int PairWidth(const ChartTextSizes& t) { return t.captionWidth + kGap + t.valueWidth; }

// Height below the bottom chart's plot area: the time numbers and the unit text, whole.
int AxisReserve(const ChartTextSizes& t) {
    return std::max(t.axisLineHeight + kTickLabelPadding + 4, t.lineHeight + 4);
}

// A Y number is centred on its tick: half of it stands above the top and below the bottom tick.
int HalfLine(const ChartTextSizes& t) { return t.axisLineHeight / 2 + 2; }

int StackedHeight(const ChartTextSizes& t) { return 6 * t.lineHeight + 2 * kPadY; }
int CompactHeight(const ChartTextSizes& t) { return 2 * t.lineHeight + 2 * kPadY; }

int StackedWidth(const ChartTextSizes& t) {
    return 2 * kPadX + std::max({PairWidth(t), t.captionWidth + kGap + t.unitWidth, t.channelWidth, t.xUnitWidth});
}
// The first column of a compact panel: the channel over the unit.
int FirstColumn(const ChartTextSizes& t) {
    return std::max(t.channelWidth, t.captionWidth + kGap + t.unitWidth);
}

// The plot area's insets at its sides: the Y numbers on the left, half a time number on the right.
int LeftInset(const ChartTextSizes& t) { return std::max(52, t.yLabelWidth + kTickLabelPadding + 7); }
int RightInset(const ChartTextSizes& t) { return std::max(8, t.xLabelWidth / 2 + 4); }

// The narrowest plot area worth drawing: two time numbers apart.
int LeastPlotWidth(const ChartTextSizes& t) { return std::max(100, 2 * t.xLabelWidth); }

int CompactWidth(const ChartTextSizes& t) {
    const int first = FirstColumn(t);
    return std::max(2 * kPadX + first + 2 * PairWidth(t) + 2 * kColumnGap, 2 * kPadX + t.xUnitWidth);
}

// Caption and value k (4, the unit, is as wide as the widest unit name).
void PlacePair(PanelCells& c, int k, int x, int y, const ChartTextSizes& t) {
    c.captions[static_cast<std::size_t>(k)] = {x, y, t.captionWidth, t.lineHeight};
    c.values[static_cast<std::size_t>(k)] = {x + t.captionWidth + kGap, y, k == 4 ? t.unitWidth : t.valueWidth,
                                             t.lineHeight};
}

PanelCells CellsOf(PanelForm form, const ChartTextSizes& t) {
    PanelCells c;
    const int lh = t.lineHeight;
    if (form == PanelForm::Stacked) {
        c.channel = {kPadX, kPadY, t.channelWidth, lh};
        for (int k = 0; k < 5; ++k) PlacePair(c, k, kPadX, kPadY + (k + 1) * lh, t);
        return c;
    }
    // Line 0: channel, Moni., Max.; line 1: Unit, Min., Range.
    const int first = FirstColumn(t);
    const int x1 = kPadX + first + kColumnGap, x2 = x1 + PairWidth(t) + kColumnGap;
    c.channel = {kPadX, kPadY, t.channelWidth, lh};
    PlacePair(c, 0, x1, kPadY, t);
    PlacePair(c, 1, x2, kPadY, t);
    PlacePair(c, 4, kPadX, kPadY + lh, t);
    PlacePair(c, 2, x1, kPadY + lh, t);
    PlacePair(c, 3, x2, kPadY + lh, t);
    return c;
}

}  // namespace

int MinimumChartRowHeight(const ChartTextSizes& t) {
    // Room for the compact panel and for a plot area of two lines of axis numbers.
    return std::max(CompactHeight(t), 2 * t.axisLineHeight + 2 * HalfLine(t));
}

ChartAreaPlaces LayOutChartArea(const std::bitset<kCharts>& shown, int width, int height,
                                int scrollBarWidth, const ChartTextSizes& t) {
    ChartAreaPlaces out;
    out.minimumRowHeight = MinimumChartRowHeight(t);
    out.contentWidth = std::max(0, width);
    const int count = static_cast<int>(shown.count());
    if (count == 0) return out;

    const int reserve = AxisReserve(t);
    const int fixed = kTopMargin + reserve + (count - 1) * kRowGap;
    int h = (height - fixed) / count;
    if (h < out.minimumRowHeight) {
        h = out.minimumRowHeight;
        out.scrolls = true;
        out.contentWidth = std::max(0, width - scrollBarWidth);
    }
    PanelForm form = h >= StackedHeight(t) ? PanelForm::Stacked : PanelForm::Compact;
    // A compact panel (its three columns side by side) that leaves the chart no room, with wide
    // units and values in a wide font, gives way to the one-column panel: the rows are made tall
    // enough for it, and the area scrolls.
    const auto plotRoom = [&t](int panel, int content) { return content - panel - LeftInset(t) - RightInset(t); };
    if (form == PanelForm::Compact && plotRoom(CompactWidth(t), out.contentWidth) < LeastPlotWidth(t) &&
        plotRoom(StackedWidth(t), width - scrollBarWidth) > plotRoom(CompactWidth(t), out.contentWidth)) {
        form = PanelForm::Stacked;
        h = std::max(h, StackedHeight(t));
        if (fixed + count * h > height) {
            out.scrolls = true;
            out.contentWidth = std::max(0, width - scrollBarWidth);
        }
    }
    const int panelWidth = form == PanelForm::Stacked ? StackedWidth(t) : CompactWidth(t);
    const PanelCells cells = CellsOf(form, t);

    int last = -1;
    for (int i = 0; i < kCharts; ++i)
        if (shown.test(static_cast<std::size_t>(i))) last = i;
    int top = kTopMargin;
    for (int i = 0; i < kCharts; ++i) {
        if (!shown.test(static_cast<std::size_t>(i))) continue;
        ChartRowPlace r;
        r.index = i;
        r.top = top;
        r.bottom = i == last;
        r.height = h + (r.bottom ? reserve : 0);
        r.form = form;
        r.panelWidth = std::min(panelWidth, out.contentWidth);
        r.cells = cells;
        r.insets.Top = std::max(5, HalfLine(t));
        r.insets.Left = LeftInset(t);
        r.insets.Bottom = r.bottom ? reserve : std::max(5, HalfLine(t));
        r.insetRight = RightInset(t);
        if (r.bottom) {
            r.cells.xUnitShown = true;
            r.cells.xUnit = {kPadX, h + (reserve - t.lineHeight) / 2, t.xUnitWidth, t.lineHeight};
        }
        // A Y number every line and a half of them at least.
        const int plot = r.height - r.insets.Top - r.insets.Bottom;
        r.yTicks = std::clamp(2 * plot / (3 * std::max(1, t.axisLineHeight)), 1, 8);
        if (r.yTicks < 2) r.yLeastStep = std::min(1.0, 1.2 * std::max(1, t.axisLineHeight) / std::max(1, plot));
        // A time number every two of them wide at least.
        const int plotWidth = out.contentWidth - r.panelWidth - r.insets.Left - r.insetRight;
        r.xTicks = std::clamp(plotWidth / (2 * std::max(1, t.xLabelWidth)), 1, 10);
        out.rows.push_back(r);
        top += r.height + kRowGap;
    }
    out.contentHeight = top - kRowGap;
    if (!out.scrolls) out.contentHeight = std::max(out.contentHeight, height);
    return out;
}

WindowSize MinimumMainWindowSize(int lineHeight) {
    const int lh = std::max(8, lineHeight);
    // Wide enough for the three buttons beside a compact panel and a short chart; tall enough for
    // the menu, the buttons, one chart with its time axis and the status strip.
    return {std::max(480, 32 * lh), std::max(300, 17 * lh)};
}

}  // namespace kmr
