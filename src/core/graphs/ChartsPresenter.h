#pragma once
// Looking into a record on the main window's charts: what the pointer and the keys do, and the
// state they leave behind (the zoomed time range shared by every chart, each chart's zoomed value
// range, cursors A and B, a press being dragged). The charts widget forwards its events here and
// draws what it is told through ChartsNavigationView.
//
// On recorded data the wheel zooms the time axis about the pointer; a rectangle dragged with the
// right button (or Ctrl and the left) zooms time and value; a plain drag pans; a click sets
// cursor A, a shift-click cursor B; a double-click goes back to the configured scale (and takes
// back the cursor its first click placed). The arrow keys step a cursor, + and - zoom about
// cursor A in view (or the middle), Home goes back. A new record or a restarted strip ends any zoom and
// clears the cursors.
#include <array>
#include <optional>
#include <string>

#include "core/conditions/MeasConditions.h"
#include "core/graphs/ChartKeyAction.h"
#include "core/graphs/ChartModel.h"
#include "core/graphs/ChartNavigation.h"

namespace kmr {

// A point on a chart in pixels of its widget.
struct ChartPixel {
    int x = 0, y = 0;
    bool operator==(const ChartPixel&) const = default;
};

// Where the pointer is on a chart: the pixel and the time and value drawn there.
struct ChartPointer {
    ChartPixel at;
    double x = 0.0, y = 0.0;
    int plotWidth = 1;  // the plot area's width in pixels
};

enum class ChartButton { Left, Right, Other };

// What the charts draw when the presenter has decided. Every call repaints what it names.
class ChartsNavigationView {
public:
    virtual ~ChartsNavigationView() = default;
    // Chart `index`'s axes show XRange(index) and YRange(index) now.
    virtual void ShowRanges(int index) = 0;
    // The cursor lines, the data panels' cursor lines and the readout show Cursors() now.
    virtual void ShowCursors() = 0;
    // The rectangle being dragged on chart `index`, from its press to the pointer.
    virtual void ShowDragBand(int index, ChartPixel from, ChartPixel to) = 0;
    virtual void HideDragBand() = 0;
    // The status-strip text for the pointer ("" when there is none).
    virtual void ShowPointerReading(const std::string& text) = 0;
};

class ChartsPresenter {
public:
    ChartsPresenter(const ChartModel& model, const MeasConditions& meas);
    void SetView(ChartsNavigationView* view) { view_ = view; }

    // --- What the charts show ---
    AxisRange XRange(int index) const;
    AxisRange YRange(int index) const;
    // The axes chart `index` is drawn with: as configured, except that an axis zoomed into is
    // numbered for the range it shows (a set spacing of 0.1 s leaves a zoom of 0.05 s without a
    // time or a grid line).
    AxisSettings ShownXAxis(int index) const;
    AxisSettings ShownYAxis(int index) const;
    const CursorTimes& Cursors() const { return cursors_; }
    bool Zoomed() const { return zoomedX_.has_value(); }
    // Chart `index` shows a record that the pointer and the keys look into.
    bool Navigable(int index) const;

    // --- Events of chart `index`; true when taken (the chart itself does nothing with them) ---
    // A wheel turn of `notches` (forward positive) with the pointer at time x. Not taken off a
    // record: there the wheel scrolls the rows.
    bool Wheel(int index, double x, double notches);
    bool Press(int index, const ChartPointer& p, ChartButton button, bool shift, bool ctrl);
    bool Move(int index, const ChartPointer& p);
    bool Release(int index, const ChartPointer& p);
    bool DoubleClick(int index);
    bool KeyPressed(int index, ChartKeyAction action, bool shift);
    void PointerLeft();

    // --- What the program asks for ---
    // Shows [lo, hi] on every chart showing a record.
    void ShowTimeRange(double lo, double hi);
    // Zooms the shared time axis by `factor` about time `at`; zooming out stops at the configured
    // scale.
    void ZoomTime(double at, double factor);
    // Back to the configured scale on every chart.
    void ResetView();
    // Places cursor A, or B when `second`, at the sample of chart `index` nearest to time x.
    void PlaceCursorAt(int index, double x, bool second);
    // A batch of the model ended: a new record or a restarted strip ends the zoom and the cursors;
    // a scale set anew (the graph conditions confirmed) ends the zoom made on the old one.
    void ModelChanged(const ChartChanges& changes);

private:
    void ShowAllRanges(bool recordsOnly);
    void SetCursors(const CursorTimes& c);

    const ChartModel& model_;
    const MeasConditions& meas_;
    ChartsNavigationView* view_ = nullptr;
    std::optional<AxisRange> zoomedX_;
    std::array<std::optional<AxisRange>, kCharts> zoomedY_;
    // The scales the zooms were made on: one set anew ends its zoom.
    std::array<AxisSettings, kCharts> zoomedFromX_, zoomedFromY_;
    CursorTimes cursors_;
    CursorTimes cursorsBeforePress_;  // a double-click takes back what its first click placed
    // A press on a chart: where, and what it turns into.
    struct Pressed {
        int index = -1;
        ChartPointer at;
        bool rectangle = false;
        bool moved = false;
        bool shift = false;
        AxisRange startX;
    } press_;
};

}  // namespace kmr
