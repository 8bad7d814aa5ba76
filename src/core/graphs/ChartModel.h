#pragma once
// The chart data of the main window: per channel a chart with two series of (X, Y) points, its
// axis settings, its trigger mark and the texts of its data panel. The window only draws what this
// model holds; every number it shows is computed here.
//
// Series 1 is drawn. Series 2 is hidden and holds the whole record of the channel in
// recorded-data mode; series 1 then shows a part of it. In monitor mode series 1 is the scrolling
// strip of live values and series 2 is empty. X values are seconds, Y values engineering values.
//
// Memory: series 2 keeps the channel's raw 16-bit samples with the coefficient, offset and clock
// that turn them into points, and series 1 in recorded-data mode is a window onto series 2, not a
// copy. Points are produced as 64-bit floats when they are read, always with the same arithmetic,
// so every read of a point gives the same two numbers. Ten channels of 507904 samples take 10 MB,
// their min/max summaries under a fifteenth of that; a chart takes the points of its visible range
// at its pixel width (VisiblePoints), never a 64-bit copy of the record.
#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/conditions/MeasConditions.h"
#include "core/graphs/FrontDropVector.h"
#include "core/graphs/GraphConditions.h"
#include "core/graphs/MinMaxSummary.h"
#include "core/graphs/NoValue.h"
#include "core/support/Progress.h"
#include "core/support/RawSamples.h"
#include "core/support/RunStatus.h"

namespace kmr {

inline constexpr int kCharts = 10;

// GraphMode values.
inline constexpr std::int16_t kMonitorMode = 0;
inline constexpr std::int16_t kRecordedMode = 1;

// MonitorPointCount at which the monitor graphs restart before the next point.
inline constexpr std::int32_t kMonitorPointLimit = 2147483646;
// Readings further apart than this (the monitor held while a question or a form was open, a slow
// reply) are not joined: the strip shows a gap, not a line nobody measured.
inline constexpr std::uint32_t kMonitorGapMs = 1000;

enum class GridMode { Off, Automatic, Fixed };

// One axis of a chart. When `automatic` is set the chart chooses maximum, minimum, numbering
// spacing, decimals and origin itself and the numbers here are meaningless. The origin is always
// the chart's choice.
struct AxisSettings {
    bool automatic = true;
    double max = 0.0;
    double min = 0.0;
    double spacing = 0.0;
    int decimals = 0;
    GridMode grid = GridMode::Automatic;
    double gridSpacing = 0.0;  // for GridMode::Fixed
    // A fixed scale's numbers in exponent form: too long in plain digits (an end from 1E+07 on,
    // or a spacing finer than 1E-06), they would crowd the charts out of their rows.
    bool exponent = false;

    bool operator==(const AxisSettings&) const = default;
};

// The data panel beside a chart.
struct ChannelLabels {
    std::string Moni = kNoValueText;
    std::string Max = kNoValueText;
    std::string Min = kNoValueText;
    std::string Range = kNoValueText;
    std::string Unit;
    bool ChannelNumberEnabled = true;  // "Ch. n" is greyed for channels that are not measured
    std::string WidestValue;           // what the value column must hold (WidestValueText)

    bool operator==(const ChannelLabels&) const = default;
};

// The X-axis reference line that marks the trigger moment of a record.
struct TriggerMark {
    bool on = false;
    double x = 0.0;

    bool operator==(const TriggerMark&) const = default;
};

struct VisibleGraphs {
    std::int16_t First = -1;  // index 0..9 of the first shown channel, -1 when none
    std::int16_t Last = -1;   // index of the last shown channel
    std::int16_t Count = 0;   // number of shown channels

    bool operator==(const VisibleGraphs&) const = default;
};

// How the points of one series changed during a batch, so that a view can follow a scrolling
// strip without copying it: when `replaced` is false the series lost `droppedFront` points at its
// front and gained `appended` points at its back; when true, the view takes the series anew.
struct SeriesDelta {
    bool replaced = false;
    std::size_t droppedFront = 0;
    std::size_t appended = 0;

    bool changed() const { return replaced || droppedFront != 0 || appended != 0; }
};

// What a batch changed, per chart index 0..9.
struct ChartChanges {
    std::array<SeriesDelta, kCharts> series1{};
    std::bitset<kCharts> series2;
    std::bitset<kCharts> axes;
    std::bitset<kCharts> labels;
    std::bitset<kCharts> mark;
};

// The window side. Every change of the model happens inside a batch; the view repaints once, when
// the outermost batch ends, and is told exactly what changed.
class ChartView {
public:
    virtual ~ChartView() = default;
    virtual void BatchBegun() {}
    virtual void BatchEnded(const ChartChanges& changes) = 0;
};

// Engineering value of a recorded sample: raw (as a 32-bit float) × coeff + offset, formed in
// double precision (the product of a 16-bit sample and a float coefficient is exact there).
double EngineeringValue(std::int16_t raw, float coeff, float offset);

// The time between samples in seconds: the clock (ms) as the decimal the conditions hold, times
// timeFactor. A 32-bit clock of 0.05 or 0.1 is not exact, and its error would show in every
// time the charts, the cursors and the graph conditions give (0.0999500014893711 s instead of
// 0.09995 s for the last of 2000 samples).
double SampleStepSeconds(float clockMs, double timeFactor);

// Time in seconds of 0-based sample index i: i × clock (ms, as above) × timeFactor.
double SampleTime(std::int64_t i, float clockMs, double timeFactor);

// Number of decimals for axis numbers of spacing v: how often |v| must be multiplied by 10 to
// reach at least 1 (0 for |v| >= 1, 0.25 -> 1, 0.05 -> 2). 0 and non-finite values give 0.
int DecimalsFor(double v);
// The fewest decimals from DecimalsFor(v) and `least` up to `most` that write v exactly (0.25 -> 2,
// 0.012 -> 3, 1.5 -> 1, 0.1 -> 1); -1 when none does (a third).
int ExactDecimals(double v, int least, int most);

// The label text of a value: the channel's digit format with zeros (a value too wide for the
// panel in exponent form, FormatPanelValue), or "----" for the marker.
std::string ValueLabelText(double v, int point);
// The widest text a value label of a channel with this scale may show: a raw word (-32768 ..
// 32767) times coeff plus offset, or the range between two, with `point` decimals; every figure
// an 8 (the widest figure of most fonts), so that a column this wide never cuts a sign or a digit.
std::string WidestValueText(float coeff, float offset, int point);

// --- Rows of the main window --------------------------------------------------------------------

struct PlotInsets {  // pixels between the chart's border and its plot area
    int Top = 5;
    int Left = 52;
    int Bottom = 5;
};

struct GraphLayout {
    VisibleGraphs Visible;
    std::bitset<kCharts> Shown;  // by chart index
};

// The rows shown: the channels with Use = 1.
GraphLayout LayoutGraphPanels(const GraphConditions& g);

// --- The model ---------------------------------------------------------------------------------

class ChartModel {
public:
    explicit ChartModel(ChartView* view = nullptr);
    void SetView(ChartView* view) { view_ = view; }

    // Batches nest; the view hears of the outermost one only.
    void BeginBatch();
    void EndBatch();
    class Batch {
    public:
        explicit Batch(ChartModel& m) : m_(m) { m_.BeginBatch(); }
        ~Batch() { m_.EndBatch(); }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        ChartModel& m_;
    };

    // --- Program-wide graph state ---
    std::int16_t GraphMode() const { return graphMode_; }
    void SetGraphMode(std::int16_t mode) { graphMode_ = mode; }
    std::int32_t MonitorPointCount() const { return monitorPointCount_; }
    std::uint32_t MonitorStartTick() const { return monitorStartTick_; }
    std::int32_t DisplayFirst() const { return displayFirst_; }
    std::int32_t DisplayLast() const { return displayLast_; }
    const kmr::VisibleGraphs& Visible() const { return visible_; }

    // --- What a chart holds (index 0..9, series 1 or 2) ---
    std::size_t PointCount(int index, int series) const;
    // One point, i counted from 0 (i < PointCount).
    double X(int index, int series, std::size_t i) const;
    double Y(int index, int series, std::size_t i) const;
    // Copies points first .. first + count - 1, clipped to the series, into x and y (either may
    // be null); returns the number of points copied.
    std::size_t CopyPoints(int index, int series, std::size_t first, std::size_t count, double* x,
                           double* y) const;
    // The whole series as new vectors.
    std::vector<double> SeriesX(int index, int series) const;
    std::vector<double> SeriesY(int index, int series) const;
    const AxisSettings& XAxis(int index) const { return charts_[Ix(index)].xAxis; }
    const AxisSettings& YAxis(int index) const { return charts_[Ix(index)].yAxis; }
    const ChannelLabels& Labels(int index) const { return charts_[Ix(index)].labels; }
    const TriggerMark& Mark(int index) const { return charts_[Ix(index)].mark; }
    // Largest and smallest Y of series 1 that are not the no-value marker; false when none.
    bool DataExtent(int index, double& max, double& min) const;
    // The points of series 1 from just before xFrom to just after xTo (seconds) for a chart
    // `columns` pixels wide: a recorded window as its samples or per-column extremes (see
    // SummaryPoints), own points (monitor strip, cleared graph) as they are. Y values equal to
    // the no-value marker stand for gaps. `out`'s storage is reused.
    void VisiblePoints(int index, double xFrom, double xTo, std::size_t columns,
                       ChartPoints& out) const;
    // True when series 1 of chart `index` is a window onto a recorded series 2.
    bool ShowsRecord(int index) const { return charts_[Ix(index)].window; }
    // How the samples of chart `index`'s record become points.
    SampleScale RecordScale(int index) const;
    // The summary of chart `index`'s record (built when the record is loaded).
    const MinMaxSummary& RecordSummary(int index) const { return charts_[Ix(index)].summary2; }

    // --- Operations ---

    // Sets XtimeFactor to 0.001, then the X and Y axes of every chart whose channel has Use = 1,
    // for the current GraphMode.
    void ConfigureGraphAxes(GraphConditions& g);

    // Empties the monitor graphs: MonitorPointCount 0, series 1 one point (0, 0), series 2 empty,
    // trigger mark off, the window back to [0, Xspace], value labels "----", unit labels from
    // `unitNames` (indexed by a channel's Unit; left as they are when the list is empty).
    void ResetMonitorGraphs(GraphConditions& g, const MeasConditions& m,
                            std::span<const std::string> unitNames);
    // Start of a measurement and new measurement conditions: axes and monitor graphs in one batch.
    void ResetAllGraphs(GraphConditions& g, const MeasConditions& m,
                        std::span<const std::string> unitNames);

    // One monitor tick: `tickMs` is the millisecond counter of the read, `moniData` the ten
    // values (index channel - 1, the no-value marker for none). Appends a point to every chart,
    // scrolls the window by Xpich, drops the points that left it and writes the labels.
    void UpdateMonitorGraphs(GraphConditions& g, const MeasConditions& m, std::uint32_t tickMs,
                             const std::array<float, kCharts>& moniData);

    // Fills series 2 of `channel` (1..10) with the engineering values of samples[0 .. n-1] against
    // time, and shows the whole of it in series 1. Counts one progress unit per sample and every
    // TransferBlockWords units lets the window work and advances the progress; returns false when
    // the transfer was cancelled there (the points filled so far remain).
    bool LoadRecordSeries(int channel, std::span<const std::int16_t> samples, std::int32_t n,
                          const MeasConditions& m, const GraphConditions& g, Progress& progress,
                          ProgressView& view, RunStatus& status);

    // Takes `samples` as the whole record of `channel` (1..10): moved in, not copied, so a record
    // read from a file is held once, with `summary` when it was made of them as they were read
    // (otherwise it is made here). Otherwise as LoadRecordSeries, without progress.
    void AdoptRecordSeries(int channel, RawSamples&& samples, MinMaxSummary&& summary,
                           const MeasConditions& m, const GraphConditions& g);
    // The decimal-point setting of the channel whose record chart `index` holds.
    int RecordPoint(int index) const { return charts_[Ix(index)].point2; }

    // DisplayFirst/DisplayLast for a record of n samples per channel at clockMs.
    void ComputeDisplayRange(const GraphConditions& g, std::int32_t n, float clockMs);

    // Series 1 of chart `index` shows the part DisplayFirst..DisplayLast of series 2.
    void ShowRecordWindow(int index);

    // A channel that was not measured: series 1 is the two points (0, marker) and
    // ((n - 1) × clock × XtimeFactor, marker), series 2 is empty, value labels "----".
    void ClearChannelGraph(int channel, std::int32_t n, float clockMs, const GraphConditions& g);

    // Places the trigger mark of chart `index` at preMemoryWords × clock × XtimeFactor.
    void MarkTriggerTime(int index, std::int32_t preMemoryWords, float clockMs,
                         const GraphConditions& g);

    // "Max.", "Min.", "Range" of chart `index` from the data of series 1 in the channel's format;
    // "Moni." shows "----". A record of 0 samples shows "----" everywhere.
    void ShowRecordStatistics(int index, std::int32_t n, const MeasConditions& m);

    // Every data panel's unit (`unitNames` indexed by a channel's Unit; empty when out of range) and
    // whether its channel number is greyed, as the conditions `m` give them: those a stored record
    // was made with, while it is shown.
    void ShowChannelUnits(const MeasConditions& m, std::span<const std::string> unitNames);

    // Empties series 1 and 2 of every chart and takes the trigger marks off (end of conversion,
    // before the transfer).
    void ClearAllSeries();

    // The rows shown; keeps their VisibleGraphs triple.
    GraphLayout Layout(const GraphConditions& g);

private:
    // Sliding maximum and minimum of the monitor strip: two monotonic queues of (position, Y),
    // positions counted from the start of the strip, so one tick costs constant amortised time.
    class SlidingExtent {
    public:
        void Clear();
        void Push(std::uint64_t pos, double y);
        void DropBefore(std::uint64_t pos);
        bool Get(double& max, double& min) const;

    private:
        struct Entry {
            std::uint64_t pos;
            double y;
        };
        FrontDropVector<Entry> maxq_, minq_;
    };

    struct Chart {
        // Series 1: own points (monitor strip, cleared graph) or a window onto series 2.
        FrontDropVector<double> x1, y1;
        std::uint64_t dropped1 = 0;  // points ever dropped from the front of the own points
        SlidingExtent extent1;       // of the own points
        bool window = false;
        std::size_t winFirst = 0, winCount = 0;  // 0-based start and length in series 2
        // Series 2: the record as raw samples and the rule that makes points of them.
        RawSamples raw2;
        MinMaxSummary summary2;  // of raw2, built once the record is loaded
        float coeff2 = 1.0f, offset2 = 0.0f, clock2 = 0.0f;
        int point2 = 0;
        double timeFactor2 = 0.001;
        double X2(std::size_t i) const {
            return SampleTime(static_cast<std::int64_t>(i), clock2, timeFactor2);
        }
        double Y2(std::size_t i) const { return EngineeringValue(raw2[i], coeff2, offset2); }

        AxisSettings xAxis, yAxis;
        ChannelLabels labels;
        TriggerMark mark;
    };

    static std::size_t Ix(int index);
    Chart& ChartOf(int index) { return charts_[Ix(index)]; }
    void SetOwnSeries1(int index, std::initializer_list<std::pair<double, double>> points);
    void RebuildExtent(Chart& c);
    void SetValueLabels(int index, const std::string& moni, const std::string& max,
                        const std::string& min, const std::string& range);
    void SetWidestValue(int index, const MeasConditions& m);
    void ResetMonitorData(GraphConditions& g, const MeasConditions& m,
                          std::span<const std::string> unitNames, bool setUnits);
    void ShowChannelUnit(int index, const MeasConditions& m, std::span<const std::string> unitNames);
    static void ClearRecord(Chart& c);
    // The scale of a record of channel `channel`, from the conditions it was made with.
    static void TakeRecordScale(Chart& c, int channel, const MeasConditions& m, const GraphConditions& g);
    // The record now in series 2 is complete: series 1 shows the whole of it until a display
    // window is chosen.
    void ShowWholeRecord(int index);
    // The steps of one monitor tick.
    double MonitorElapsed(const GraphConditions& g, std::uint32_t tickMs);
    static void ScrollMonitorWindow(GraphConditions& g, double e);
    void DropPointsLeftOfWindow(const GraphConditions& g);
    void AppendMonitorPoints(const GraphConditions& g, double e,
                             const std::array<float, kCharts>& moniData);
    void WriteMonitorLabels(const MeasConditions& m, const std::array<float, kCharts>& moniData);

    ChartView* view_ = nullptr;
    int batchDepth_ = 0;
    ChartChanges changes_;

    std::int16_t graphMode_ = kMonitorMode;
    std::int32_t monitorPointCount_ = 0;
    std::uint32_t monitorStartTick_ = 0;
    std::uint32_t monitorLastTick_ = 0;     // the tick of the strip's newest point
    std::uint64_t monitorElapsedMs_ = 0;    // from the strip's first point to its newest
    std::int32_t displayFirst_ = -1;
    std::int32_t displayLast_ = -1;
    kmr::VisibleGraphs visible_;

    std::array<Chart, kCharts> charts_;
};

}  // namespace kmr
