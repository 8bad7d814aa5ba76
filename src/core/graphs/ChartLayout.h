#pragma once
// Where the chart rows of the main window go, in pixels: the row heights (never below a height
// at which a chart still reads; the area scrolls instead), each data panel's label cells in fixed
// columns that cannot overlap, the plot insets that keep the axis numbers whole, and how many Y
// numbers a chart of that height can carry. The window measures its texts and places what this
// returns.
#include <array>
#include <bitset>
#include <vector>

#include "core/graphs/ChartModel.h"

namespace kmr {

// Text sizes the window measured, in pixels.
struct ChartTextSizes {
    int lineHeight = 16;     // one line of the panel font
    int captionWidth = 40;   // the widest panel caption ("Moni.", "Range", ...)
    int valueWidth = 56;     // the widest value a label may show (number format, "----")
    int channelWidth = 36;   // "Ch.10"
    int xUnitWidth = 72;     // "X-Unit:Sec."
    int axisLineHeight = 14; // one line of the axis numbers
    int yLabelWidth = 40;    // the widest Y-axis number
    int xLabelWidth = 40;    // the widest time-axis number
    int unitWidth = 40;      // the widest unit name
    bool operator==(const ChartTextSizes&) const = default;
};

struct PixelRect {
    int x = 0, y = 0, w = 0, h = 0;
    int right() const { return x + w; }
    int bottom() const { return y + h; }
    bool Overlaps(const PixelRect& o) const {
        return x < o.right() && o.x < right() && y < o.bottom() && o.y < bottom();
    }
    bool Inside(int width, int height) const { return x >= 0 && y >= 0 && right() <= width && bottom() <= height; }
};

enum class PanelForm {
    Stacked,  // the labels one under another (a tall row)
    Compact,  // two lines of three caption/value pairs (a short row)
};

// The captions of a data panel's values, in the order of its cells.
inline constexpr std::array<const char*, 5> kPanelCaptions{"Moni.", "Max.", "Min.", "Range", "Unit"};
inline constexpr std::size_t kPanelValues = kPanelCaptions.size();

// The cells of one data panel, in the panel's coordinates: captions and values in the order of
// kPanelCaptions.
struct PanelCells {
    PixelRect channel;
    std::array<PixelRect, kPanelValues> captions{};
    std::array<PixelRect, kPanelValues> values{};
    bool xUnitShown = false;  // the bottom row names the time axis's unit
    PixelRect xUnit;
};

struct ChartRowPlace {
    int index = 0;  // chart index 0..9
    int top = 0;
    int height = 0;
    int panelWidth = 0;
    PanelForm form = PanelForm::Stacked;
    bool bottom = false;  // carries the time-axis numbers
    PlotInsets insets;
    int insetRight = 8;
    int yTicks = 5;  // steps the Y axis can number without its numbers running into each other
    // Fewer than two such steps (a low row): the smallest Y step, as a share of the axis's range,
    // whose numbers still keep clear of each other, so that two can show; 0 otherwise.
    double yLeastStep = 0.0;
    int xTicks = 5;  // the same for the time axis
    PanelCells cells;
};

struct ChartAreaPlaces {
    std::vector<ChartRowPlace> rows;  // shown rows, top to bottom
    int contentWidth = 0;             // width of the rows
    int contentHeight = 0;            // height of all rows
    bool scrolls = false;             // the rows do not fit at the minimum height
    int minimumRowHeight = 0;
};

// Lays out the rows of the `shown` charts over an area of width × height pixels; when they do not
// fit at the minimum row height the area scrolls and loses `scrollBarWidth` of its width.
ChartAreaPlaces LayOutChartArea(const std::bitset<kCharts>& shown, int width, int height,
                                int scrollBarWidth, const ChartTextSizes& t);

// The smallest row at which a chart and its compact panel still read.
int MinimumChartRowHeight(const ChartTextSizes& t);

// The main window's smallest size in pixels (menus, buttons, one chart row and the status strip).
struct WindowSize {
    int width = 0, height = 0;
};
WindowSize MinimumMainWindowSize(int lineHeight);

}  // namespace kmr
