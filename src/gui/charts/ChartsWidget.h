#pragma once
// The ten channel charts of the main window, one QCustomPlot per channel with its data panel.
//
// Use:
//     kmr::ChartsWidget charts(engine.chart, state.Graph, state.Meas, parent);
// The widget registers itself as the model's ChartView (and unregisters in its destructor), so it
// must outlive no model and the model must outlive it. `graph` and `meas` are the program-wide
// records; the widget only reads them (row layout, number formats). Call Relayout() after the graph
// conditions changed (the graph condition form); a resize lays the rows out by itself.
//
// Everything shown is the model's: the widget applies exactly what a batch changed, once per batch
// (a monitor strip is appended and trimmed, a record is drawn from the points of its visible range
// at the chart's pixel width), and repaints at most 25 times a second. On recorded data the user
// zooms with the wheel and a dragged rectangle (right button, or Ctrl with the left), pans by
// dragging, sets cursor A with a click and cursor B with a shift-click, and goes back to the
// configured scale with a double-click; all charts share the time axis. The widget forwards those
// events (through the handler gate when it has one) to its ChartsPresenter, which decides, and
// draws what the presenter tells it. pointerReading() carries the status-strip text for the
// pointer's position.
#include <QColor>
#include <QFont>
#include <QHash>
#include <QPalette>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>

#include "core/graphs/ChartLayout.h"
#include "core/graphs/ChartModel.h"
#include "core/graphs/ChartNavigation.h"
#include "core/graphs/ChartsPresenter.h"

class QCustomPlot;
class QLabel;
class QMouseEvent;
class QRubberBand;
class QScrollArea;
class QTableWidget;

namespace kmr {

// The four chart colours: C1 chart background, C2 axis numbers, C3 plot-area background, C4
// axes, frame and grid lines. Taken from the window's palette (the heading and unit label
// colours: button face and text, base and text).
struct ChartColours {
    QColor C1, C2, C3, C4;
    bool operator==(const ChartColours&) const = default;
};
ChartColours ChartColoursOf(const QPalette& palette);

class HandlerGate;

class ChartsWidget : public QWidget, public ChartView, private ChartsNavigationView {
    Q_OBJECT
public:
    ChartsWidget(ChartModel& model, const GraphConditions& graph, const MeasConditions& meas,
                 QWidget* parent = nullptr);
    ~ChartsWidget() override;

    void BatchBegun() override { holdRequeries_ = true; }
    void BatchEnded(const ChartChanges& changes) override;

    // The pointer and the keys on a chart act only when `gate` lets them (nothing else runs).
    void SetGate(HandlerGate* gate) { gate_ = gate; }

    // Shows and stacks the rows of the charts in use again.
    void Relayout();
    // Draws every chart that changed now instead of at the next paint tick; the window shows
    // them all at its next paint.
    void ReplotNow();
    // Back to the configured scale on every chart (what a double-click does).
    void ResetView() { presenter_.ResetView(); }
    // Zooms the shared time axis by `factor` about time `at` (what a wheel notch does).
    void ZoomTime(double at, double factor) { presenter_.ZoomTime(at, factor); }
    // Shows the time range [lo, hi] on every chart showing a record.
    void ShowTimeRange(double lo, double hi) { presenter_.ShowTimeRange(lo, hi); }
    // Places cursor A, or B when `second`, at the sample of chart `index` nearest to time x.
    void PlaceCursorAt(int index, double x, bool second) { presenter_.PlaceCursorAt(index, x, second); }

    // --- What tests and the demo look at ---
    QCustomPlot* Plot(int index) const;
    QWidget* Row(int index) const;
    QWidget* Panel(int index) const;
    // The labels of a row's data panel (channel, captions, values, the time axis's unit).
    QList<QLabel*> PanelLabels(int index) const;
    QScrollArea* ScrollArea() const { return scroll_; }
    // The cursor readout below the charts (shown while a cursor is set).
    QTableWidget* CursorTable() const { return readout_; }
    QLabel* CursorTimesLabel() const { return readoutTimes_; }
    // The readout's column titles (Ch., A, B, B-A, Min., Max., Mean) in the window's language.
    void SetReadoutTitles(const QStringList& titles);
    const ChartAreaPlaces& Places() const { return places_; }
    QString CursorText(int index) const;
    const CursorTimes& Cursors() const { return presenter_.Cursors(); }
    bool Zoomed() const { return presenter_.Zoomed(); }
    struct ChartCounters {
        int fullLoads = 0;       // series 1 taken anew
        long long appended = 0;  // strip points appended
        int trims = 0;           // strip trims at the front
        int replots = 0;
    };
    const ChartCounters& Counters(int index) const;

signals:
    // The status-strip text for the pointer's position over a chart ("" when it leaves).
    void pointerReading(const QString& text);

protected:
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    struct ChannelRow;
    std::unique_ptr<ChannelRow> MakeRow(int index);
    void MakeReadout();
    void ApplyColours();
    void ApplyAxes(int index);
    void ApplyLabels(int index);
    void ApplyMark(int index);
    void ApplySeries(int index, const SeriesDelta& delta);
    void LoadWholeSeries(int index);
    void AddStripPoint(ChannelRow& r, double x, double y);
    double StripColumnWidth(const ChannelRow& r) const;
    void RequeryRecord(int index);
    void ApplyReadout();
    // True when the readout's columns, each as wide as its widest text, are wider together than
    // the window: the readout then scrolls sideways.
    bool ReadoutScrollsSideways() const;
    void MarkDirty(int index);
    void ScheduleReplot();
    void ReplotDirty();
    ChartTextSizes MeasureTexts() const;
    // The width of `text` in the font of `fm` (`font`), shaped once: a record opened or a range
    // changed measures the same few texts again.
    int TextWidth(const QString& fontKey, const QFontMetrics& fm, const QString& text) const;
    void PlacePanel(ChannelRow& r, const PanelCells& cells);
    int IndexOfPlot(QObject* o) const;
    bool Forward(int index, QEvent* e);
    ChartPointer PointerOf(int index, const QMouseEvent* m) const;
    void MarkFocus(int index, bool in);

    // What the presenter has the charts draw.
    void ShowRanges(int index) override;
    void ShowCursors() override;
    void ShowDragBand(int index, ChartPixel from, ChartPixel to) override;
    void HideDragBand() override;
    void ShowPointerReading(const std::string& text) override;

    ChartModel& model_;
    const GraphConditions& graph_;
    const MeasConditions& meas_;
    ChartsPresenter presenter_;
    HandlerGate* gate_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* canvas_ = nullptr;  // the rows, as tall as they need (scrolled when taller than the area)
    ChartTextSizes texts_;
    mutable QHash<QString, int> textWidths_;  // by font key and text
    std::array<std::string, kCharts> units_;  // the units the texts were measured with
    ChartAreaPlaces places_;
    std::array<std::unique_ptr<ChannelRow>, kCharts> rows_;
    ChartColours colours_;
    QWidget* readoutBox_ = nullptr;
    QLabel* readoutTimes_ = nullptr;
    QTableWidget* readout_ = nullptr;
    std::array<bool, kCharts> dirty_{};
    // Inside a batch a record is queried once, at its end, however many of its settings changed.
    bool holdRequeries_ = false;
    std::array<bool, kCharts> requery_{};
    QTimer replotTimer_;
    qint64 lastReplotMs_ = 0;
    QRubberBand* band_ = nullptr;
};

}  // namespace kmr
