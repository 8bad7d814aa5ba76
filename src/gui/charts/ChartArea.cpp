#include "gui/charts/ChartArea.h"

#include "core/graphs/StripColumns.h"

#include <QDateTime>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QRubberBand>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>
#include <qcustomplot.h>

namespace kmr {

namespace {

// The paint tick: at most 25 repaints a second.
constexpr int kReplotIntervalMs = 40;
// A press that moves less than this many pixels is a click.
constexpr int kClickSlop = 3;

QString Qs(const std::string& s) { return QString::fromStdString(s); }

QString ChannelText(int channel) {
    return channel < 10 ? QStringLiteral("Ch. %1").arg(channel) : QStringLiteral("Ch.%1").arg(channel);
}

// Marker values are gaps: QCustomPlot leaves out NaN values.
double Drawn(double y) { return IsNoValue(y) ? std::numeric_limits<double>::quiet_NaN() : y; }

void ToVectors(const std::vector<double>& x, const std::vector<double>& y, QVector<double>& kx,
               QVector<double>& ky) {
    kx.resize(static_cast<qsizetype>(x.size()));
    ky.resize(static_cast<qsizetype>(y.size()));
    std::copy(x.begin(), x.end(), kx.begin());
    std::transform(y.begin(), y.end(), ky.begin(), Drawn);
}

void SetAxis(QCPAxis* axis, const AxisSettings& a, const AxisRange& range) {
    axis->setRange(range.lo, range.hi);
    if (a.automatic) {
        if (!axis->ticker().dynamicCast<QCPAxisTickerFixed>().isNull() || axis->ticker().isNull())
            axis->setTicker(QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));
        axis->setNumberFormat(QStringLiteral("gb"));
        axis->setNumberPrecision(6);
    } else {
        auto fixed = axis->ticker().dynamicCast<QCPAxisTickerFixed>();
        if (fixed.isNull()) {
            fixed = QSharedPointer<QCPAxisTickerFixed>(new QCPAxisTickerFixed);
            axis->setTicker(fixed);
        }
        // A spacing so fine that the numbers would run into each other is left to multiples.
        const bool dense = a.spacing > 0.0 && range.width() / a.spacing > 100.0;
        fixed->setScaleStrategy(dense ? QCPAxisTickerFixed::ssMultiples : QCPAxisTickerFixed::ssNone);
        fixed->setTickStep(a.spacing > 0.0 ? a.spacing : 1.0);
        axis->setNumberFormat(QStringLiteral("f"));
        axis->setNumberPrecision(a.decimals);
    }
    axis->grid()->setVisible(a.grid != GridMode::Off);
}

// A channel's line. What it is given is already at most about two points per pixel column (the
// record's summary, the strip's columns), so QCustomPlot's own sampling is off and the line is
// drawn as one vertical stroke per pixel column, reaching back to where the line came from, with
// a plain segment wherever the line skips columns. That covers the pixels the polyline covers, in
// about half as many strokes, and vertical strokes are the cheapest a raster paints. Smooth lines
// (printing) and anything but a plain line on linear axes are left to the library.
class ColumnGraph : public QCPGraph {
public:
    ColumnGraph(QCPAxis* key, QCPAxis* value) : QCPGraph(key, value) { setAdaptiveSampling(false); }

protected:
    void draw(QCPPainter* painter) override {
        QCPAxis* key = mKeyAxis.data();
        QCPAxis* value = mValueAxis.data();
        if (!key || !value) return;
        if (mDataContainer->isEmpty() || mPen.style() == Qt::NoPen) return;
        applyDefaultAntialiasingHint(painter);
        const bool plain = mLineStyle == lsLine && mScatterStyle.isNone() && mBrush.style() == Qt::NoBrush &&
                           !painter->antialiasing() && key->scaleType() == QCPAxis::stLinear &&
                           value->scaleType() == QCPAxis::stLinear && key->orientation() == Qt::Horizontal;
        if (!plain) {
            QCPGraph::draw(painter);
            return;
        }
        // Pixel = origin + scale * coordinate on both linear axes.
        const double kx0 = key->coordToPixel(0.0), kx1 = key->coordToPixel(1.0) - kx0;
        const double vy0 = value->coordToPixel(0.0), vy1 = value->coordToPixel(1.0) - vy0;
        QCPGraphDataContainer::const_iterator begin, end;
        getVisibleDataBounds(begin, end, QCPDataRange(0, dataCount()));
        strokes_.clear();
        open_ = false;
        for (auto it = begin; it != end; ++it) Add(kx0 + kx1 * it->key, vy0 + vy1 * it->value);
        Close();
        painter->setPen(mPen);
        painter->setBrush(Qt::NoBrush);
        painter->drawLines(strokes_);
    }

private:
    void Add(double px, double py) {
        if (!std::isfinite(px) || !std::isfinite(py)) {  // a gap
            Close();
            open_ = false;
            return;
        }
        constexpr double kFar = 1e6;  // far outside any chart, still an int
        const int x = static_cast<int>(std::lround(std::clamp(px, -kFar, kFar)));
        const int y = static_cast<int>(std::lround(std::clamp(py, -kFar, kFar)));
        if (open_ && x == column_) {
            lo_ = std::min(lo_, y);
            hi_ = std::max(hi_, y);
        } else if (open_ && std::abs(x - column_) == 1) {
            Close();
            column_ = x;
            lo_ = std::min(lastY_, y);
            hi_ = std::max(lastY_, y);
        } else {
            Close();
            if (open_) strokes_.append(QLine(lastX_, lastY_, x, y));
            open_ = true;
            column_ = x;
            lo_ = hi_ = y;
        }
        lastX_ = x;
        lastY_ = y;
    }
    void Close() {
        if (open_) strokes_.append(QLine(column_, lo_, column_, hi_));
    }

    QVector<QLine> strokes_;  // reused by every repaint
    bool open_ = false;       // a column's stroke is being gathered
    int column_ = 0, lo_ = 0, hi_ = 0, lastX_ = 0, lastY_ = 0;
};

}  // namespace

ChartColours ChartColoursOf(const QPalette& p) {
    return {p.color(QPalette::Button), p.color(QPalette::ButtonText), p.color(QPalette::Base),
            p.color(QPalette::Text)};
}

// One channel's row: the data panel and the chart.
struct ChartArea::ChannelRow {
    QWidget* row = nullptr;
    QWidget* panel = nullptr;
    QGridLayout* grid = nullptr;
    QLabel* channel = nullptr;
    std::array<QLabel*, 5> captions{};  // Moni., Max., Min., Range, Unit
    std::array<QLabel*, 5> values{};
    QLabel* cursor = nullptr;
    QLabel* xUnit = nullptr;
    QCustomPlot* plot = nullptr;
    QCPGraph* graph = nullptr;
    QCPItemStraightLine* trigger = nullptr;
    std::array<QCPItemStraightLine*, 2> cursorLines{};
    ChartCounters counters;
    ChartPoints points;  // reused for every query
    StripColumns strip;  // the drawn points of a strip, per pixel column
    double stripWidth = -1.0;
    QVector<double> kx, ky;
    int stackedMode = -1;  // how the panel is laid out now (-1 not yet)
};

ChartArea::ChartArea(ChartModel& model, const GraphConditions& graph, const MeasConditions& meas,
                     QWidget* parent)
    : QWidget(parent), model_(model), graph_(graph), meas_(meas) {
    setObjectName(QStringLiteral("chartArea"));
    static const char* const kCaptions[5] = {"Moni.", "Max.", "Min.", "Range", "Unit"};
    for (int i = 0; i < kCharts; ++i) {
        auto r = std::make_unique<ChannelRow>();
        r->row = new QWidget(this);
        r->row->setObjectName(QStringLiteral("chartRow%1").arg(i + 1));
        r->panel = new QWidget(r->row);
        r->panel->setObjectName(QStringLiteral("dataPanel%1").arg(i + 1));
        r->grid = new QGridLayout(r->panel);
        r->grid->setContentsMargins(4, 2, 4, 2);
        r->grid->setSpacing(0);
        r->channel = new QLabel(ChannelText(i + 1), r->panel);
        for (int k = 0; k < 5; ++k) {
            r->captions[static_cast<std::size_t>(k)] = new QLabel(QString::fromLatin1(kCaptions[k]), r->panel);
            auto* v = new QLabel(r->panel);
            v->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            v->setObjectName(QStringLiteral("value%1_%2").arg(i + 1).arg(k));
            r->values[static_cast<std::size_t>(k)] = v;
        }
        r->cursor = new QLabel(r->panel);
        r->cursor->setObjectName(QStringLiteral("cursorText%1").arg(i + 1));
        r->xUnit = new QLabel(QStringLiteral("X-Unit:Sec."), r->panel);
        r->plot = new QCustomPlot(r->row);
        r->plot->setObjectName(QStringLiteral("chart%1").arg(i + 1));
        r->plot->setNoAntialiasingOnDrag(true);
        r->plot->setPlottingHint(QCP::phCacheLabels, true);
        r->plot->setPlottingHint(QCP::phFastPolylines, true);
        r->plot->axisRect()->setAutoMargins(QCP::msNone);
        r->plot->xAxis->grid()->setSubGridVisible(false);
        r->plot->yAxis->grid()->setSubGridVisible(false);
        r->graph = new ColumnGraph(r->plot->xAxis, r->plot->yAxis);
        // Plain lines as the instrument's charts always had; smoothing would cost a full band of
        // pixels per column on a dense record.
        r->graph->setAntialiased(false);
        r->trigger = new QCPItemStraightLine(r->plot);
        r->trigger->setVisible(false);
        for (auto*& line : r->cursorLines) {
            line = new QCPItemStraightLine(r->plot);
            line->setVisible(false);
        }
        r->cursorLines[0]->setPen(QPen(QColor(200, 0, 0), 1, Qt::DashLine));
        r->cursorLines[1]->setPen(QPen(QColor(0, 140, 0), 1, Qt::DashLine));
        r->plot->installEventFilter(this);
        r->plot->setMouseTracking(true);
        rows_[static_cast<std::size_t>(i)] = std::move(r);
    }
    band_ = new QRubberBand(QRubberBand::Rectangle, this);
    band_->hide();
    replotTimer_.setSingleShot(true);
    connect(&replotTimer_, &QTimer::timeout, this, [this] { ReplotDirty(); });
    colours_ = ChartColoursOf(palette());
    ApplyColours();
    for (int i = 0; i < kCharts; ++i) {
        ApplyAxes(i);
        ApplyLabels(i);
        ApplyMark(i);
        LoadWholeSeries(i);
    }
    model_.SetView(this);
    Relayout();
}

ChartArea::~ChartArea() { model_.SetView(nullptr); }

QCustomPlot* ChartArea::Plot(int index) const { return rows_[static_cast<std::size_t>(index)]->plot; }
QWidget* ChartArea::Row(int index) const { return rows_[static_cast<std::size_t>(index)]->row; }
QWidget* ChartArea::Panel(int index) const { return rows_[static_cast<std::size_t>(index)]->panel; }
QString ChartArea::CursorText(int index) const {
    return rows_[static_cast<std::size_t>(index)]->cursor->text();
}
const ChartArea::ChartCounters& ChartArea::Counters(int index) const {
    return rows_[static_cast<std::size_t>(index)]->counters;
}

// --- The model's batches ------------------------------------------------------------------------

void ChartArea::BatchEnded(const ChartChanges& changes) {
    // A new record or a restarted strip: the view goes back to the configured scale.
    bool anew = false;
    for (int i = 0; i < kCharts; ++i)
        if (changes.series1[static_cast<std::size_t>(i)].replaced || changes.series2.test(static_cast<std::size_t>(i)))
            anew = true;
    if (anew && model_.GraphMode() == kRecordedMode) {
        zoomedX_.reset();
        zoomedY_.fill(std::nullopt);
    }
    if (anew && (cursors_.hasA || cursors_.hasB)) {
        cursors_ = {};
        ApplyCursors();
    }
    for (int i = 0; i < kCharts; ++i) {
        const auto ix = static_cast<std::size_t>(i);
        if (changes.axes.test(ix)) ApplyAxes(i);
        if (changes.labels.test(ix)) ApplyLabels(i);
        if (changes.mark.test(ix)) ApplyMark(i);
        if (changes.series1[ix].changed()) ApplySeries(i, changes.series1[ix]);
        // An automatic axis follows what the series now holds.
        if (changes.series1[ix].changed() && !changes.axes.test(ix) &&
            (model_.XAxis(i).automatic || model_.YAxis(i).automatic))
            ApplyAxes(i);
    }
    ScheduleReplot();
}

AxisRange ChartArea::XRangeOf(int index) const {
    if (zoomedX_ && model_.ShowsRecord(index)) return *zoomedX_;
    return ConfiguredXRange(model_, index);
}

void ChartArea::ApplyAxes(int index) {
    ChannelRow& r = *rows_[static_cast<std::size_t>(index)];
    const AxisRange x = XRangeOf(index);
    SetAxis(r.plot->xAxis, model_.XAxis(index), x);
    const auto& zy = zoomedY_[static_cast<std::size_t>(index)];
    SetAxis(r.plot->yAxis, model_.YAxis(index), zy ? *zy : ConfiguredYRange(model_, index));
    if (model_.ShowsRecord(index)) RequeryRecord(index);
    MarkDirty(index);
}

void ChartArea::ApplyLabels(int index) {
    ChannelRow& r = *rows_[static_cast<std::size_t>(index)];
    const ChannelLabels& l = model_.Labels(index);
    const std::array<const std::string*, 5> texts = {&l.Moni, &l.Max, &l.Min, &l.Range, &l.Unit};
    for (std::size_t k = 0; k < 5; ++k) r.values[k]->setText(Qs(*texts[k]));
    r.channel->setEnabled(l.ChannelNumberEnabled);
}

void ChartArea::ApplyMark(int index) {
    ChannelRow& r = *rows_[static_cast<std::size_t>(index)];
    const TriggerMark& m = model_.Mark(index);
    r.trigger->setVisible(m.on);
    r.trigger->point1->setCoords(m.x, 0.0);
    r.trigger->point2->setCoords(m.x, 1.0);
    MarkDirty(index);
}

void ChartArea::ApplySeries(int index, const SeriesDelta& delta) {
    ChannelRow& r = *rows_[static_cast<std::size_t>(index)];
    if (model_.ShowsRecord(index)) {
        RequeryRecord(index);
        return;
    }
    const std::size_t n = model_.PointCount(index, 1);
    if (delta.replaced || delta.appended > n) {
        LoadWholeSeries(index);
        return;
    }
    // The strip: drop what left it at the front, add the new points at the back.
    auto data = r.graph->data();
    if (delta.droppedFront != 0) {
        if (n > delta.appended) {
            const double first = model_.X(index, 1, 0);
            data->removeBefore(std::nextafter(first, -std::numeric_limits<double>::infinity()));
        } else {
            data->clear();
        }
        ++r.counters.trims;
    }
    for (std::size_t i = n - delta.appended; i < n; ++i)
        AddStripPoint(r, model_.X(index, 1, i), model_.Y(index, 1, i));
    r.counters.appended += static_cast<long long>(delta.appended);
    MarkDirty(index);
}

void ChartArea::AddStripPoint(ChannelRow& r, double x, double y) {
    const StripColumns::Tail t = r.strip.Add(x, y);
    auto data = r.graph->data();
    // The open column's drawn points go from its first X on, that X included (removeAfter would
    // keep the point at it).
    if (t.drop) data->remove(t.dropFrom, std::numeric_limits<double>::infinity());
    for (std::size_t k = 0; k < t.count; ++k) data->add(QCPGraphData(t.add[k].x, Drawn(t.add[k].y)));
}

double ChartArea::StripColumnWidth(const ChannelRow& r) const {
    const QMargins margins = r.plot->axisRect()->margins();
    const int columns = std::max(1, r.plot->width() - margins.left() - margins.right());
    return static_cast<double>(graph_.X.Xspace) / columns;
}

void ChartArea::LoadWholeSeries(int index) {
    ChannelRow& r = *rows_[static_cast<std::size_t>(index)];
    ++r.counters.fullLoads;
    if (model_.ShowsRecord(index)) {
        RequeryRecord(index);
        return;
    }
    // Own points (strip, cleared graph) through the strip's columns.
    r.stripWidth = StripColumnWidth(r);
    r.strip.Reset(r.stripWidth);
    r.graph->data()->clear();
    const std::size_t n = model_.PointCount(index, 1);
    for (std::size_t i = 0; i < n; ++i) AddStripPoint(r, model_.X(index, 1, i), model_.Y(index, 1, i));
    MarkDirty(index);
}

void ChartArea::RequeryRecord(int index) {
    // About two points per pixel column of the visible range, never the whole record.
    ChannelRow& r = *rows_[static_cast<std::size_t>(index)];
    const QCPRange x = r.plot->xAxis->range();
    // The plot area's own rectangle follows only at the next replot; the widget's width less the
    // fixed margins is its width now.
    const QMargins margins = r.plot->axisRect()->margins();
    const int columns = std::max(1, r.plot->width() - margins.left() - margins.right());
    model_.VisiblePoints(index, x.lower, x.upper, static_cast<std::size_t>(columns), r.points);
    ToVectors(r.points.x, r.points.y, r.kx, r.ky);
    r.graph->setData(r.kx, r.ky, true);
    MarkDirty(index);
}

// --- Repaints -----------------------------------------------------------------------------------

void ChartArea::MarkDirty(int index) { dirty_[static_cast<std::size_t>(index)] = true; }

void ChartArea::ScheduleReplot() {
    if (replotTimer_.isActive()) return;
    const qint64 since = QDateTime::currentMSecsSinceEpoch() - lastReplotMs_;
    replotTimer_.start(static_cast<int>(std::clamp<qint64>(kReplotIntervalMs - since, 0, kReplotIntervalMs)));
}

void ChartArea::ReplotDirty() {
    lastReplotMs_ = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < kCharts; ++i) {
        if (!dirty_[static_cast<std::size_t>(i)]) continue;
        dirty_[static_cast<std::size_t>(i)] = false;
        ChannelRow& r = *rows_[static_cast<std::size_t>(i)];
        if (!r.row->isVisible() && isVisible()) continue;
        ++r.counters.replots;
        r.plot->replot(QCustomPlot::rpQueuedReplot);
    }
}

void ChartArea::ReplotNow() {
    replotTimer_.stop();
    lastReplotMs_ = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < kCharts; ++i) {
        if (!dirty_[static_cast<std::size_t>(i)]) continue;
        dirty_[static_cast<std::size_t>(i)] = false;
        ChannelRow& r = *rows_[static_cast<std::size_t>(i)];
        ++r.counters.replots;
        r.plot->replot(QCustomPlot::rpImmediateRefresh);
    }
}

// --- Layout and colours -------------------------------------------------------------------------

void ChartArea::Relayout() {
    PanelMetrics metrics;
    const double px = metrics.TwipsPerPixel;
    metrics.AvailableHeight = height() * px;
    metrics.AvailableWidth = width() * px;
    metrics.TextLineHeight = fontMetrics().height() * px;
    const GraphLayout layout = model_.Layout(graph_, metrics);
    for (int i = 0; i < kCharts; ++i) rows_[static_cast<std::size_t>(i)]->row->setVisible(layout.Shown.test(static_cast<std::size_t>(i)));
    for (const GraphRow& g : layout.Rows) {
        const int i = g.Channel - 1;
        ChannelRow& r = *rows_[static_cast<std::size_t>(i)];
        const int h = static_cast<int>(std::lround(g.Height / px));
        const int panel = static_cast<int>(std::lround(g.PanelWidth / px));
        r.row->setGeometry(0, static_cast<int>(std::lround(g.Top / px)), width(), h);
        r.panel->setGeometry(0, 0, panel, h);
        r.plot->setGeometry(panel, 0, std::max(0, width() - panel), h);
        r.plot->axisRect()->setMargins(QMargins(g.Insets.Left, g.Insets.Top, 8, g.Insets.Bottom));
        r.plot->xAxis->setTickLabels(g.Bottom);
        LayoutPanel(r, g.LabelsStacked, g.Bottom);
        // The width in pixels may have changed: a record is queried again, a strip's columns
        // are made anew when their width changed.
        if (model_.ShowsRecord(i)) RequeryRecord(i);
        else if (StripColumnWidth(r) != r.stripWidth) LoadWholeSeries(i);
        MarkDirty(i);
    }
    ScheduleReplot();
}

void ChartArea::LayoutPanel(ChannelRow& r, bool stacked, bool bottom) {
    r.xUnit->setVisible(bottom);
    const int mode = stacked ? 1 : 0;
    if (r.stackedMode == mode) return;
    r.stackedMode = mode;
    // The layout items are ours to delete; the widgets stay with the panel.
    while (r.grid->count() > 0) delete r.grid->takeAt(0);
    if (stacked) {  // one label under another
        r.grid->addWidget(r.channel, 0, 0, 1, 2);
        for (int k = 0; k < 5; ++k) {
            r.grid->addWidget(r.captions[static_cast<std::size_t>(k)], k + 1, 0);
            r.grid->addWidget(r.values[static_cast<std::size_t>(k)], k + 1, 1);
        }
        r.grid->addWidget(r.cursor, 6, 0, 1, 2);
        r.grid->addWidget(r.xUnit, 7, 0, 1, 2);
    } else {  // spread over the wider panel
        r.grid->addWidget(r.channel, 0, 0);
        for (int k = 0; k < 5; ++k) {
            const int row = k < 2 ? 0 : 1, col = 1 + 2 * (k < 2 ? k : k - 2);
            r.grid->addWidget(r.captions[static_cast<std::size_t>(k)], row, col);
            r.grid->addWidget(r.values[static_cast<std::size_t>(k)], row, col + 1);
        }
        r.grid->addWidget(r.cursor, 2, 0, 1, 7);
        r.grid->addWidget(r.xUnit, 3, 0, 1, 7);
    }
    r.grid->setRowStretch(9, 1);
}

void ChartArea::ApplyColours() {
    const ChartColours& c = colours_;
    for (auto& rp : rows_) {
        QCustomPlot* p = rp->plot;
        p->setBackground(QBrush(c.C1));
        p->axisRect()->setBackground(QBrush(c.C3));
        for (QCPAxis* a : {p->xAxis, p->yAxis}) {
            a->setTickLabelColor(c.C2);
            a->setLabelColor(c.C2);
            a->setBasePen(QPen(c.C4));
            a->setTickPen(QPen(c.C4));
            a->setSubTickPen(QPen(c.C4));
            a->grid()->setPen(QPen(c.C4, 0, Qt::DotLine));
        }
        // A cosmetic one-pixel pen: drawn without the stroker.
        rp->graph->setPen(QPen(c.C4.lightness() > 128 ? QColor(120, 190, 255) : QColor(0, 0, 190), 0));
        rp->trigger->setPen(QPen(c.C4, 1, Qt::DashDotLine));
    }
    for (int i = 0; i < kCharts; ++i) MarkDirty(i);
}

void ChartArea::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    Relayout();
}

void ChartArea::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() != QEvent::PaletteChange) return;
    const ChartColours now = ChartColoursOf(palette());
    if (now == colours_) return;
    colours_ = now;
    ApplyColours();
    ScheduleReplot();
}

// --- Looking into a record ----------------------------------------------------------------------

void ChartArea::ShowTimeRange(double lo, double hi) {
    zoomedX_ = AxisRange{lo, hi};
    for (int i = 0; i < kCharts; ++i)
        if (model_.ShowsRecord(i)) ApplyAxes(i);
    ScheduleReplot();
}

void ChartArea::ZoomTime(double at, double factor) {
    int any = -1;
    for (int i = 0; i < kCharts && any < 0; ++i)
        if (model_.ShowsRecord(i)) any = i;
    if (any < 0) return;
    const AxisRange now = XRangeOf(any);
    const AxisRange z = ZoomAbout(now, at, factor, MinimumXWidth(model_, any));
    ShowTimeRange(z.lo, z.hi);
}

void ChartArea::ResetView() {
    zoomedX_.reset();
    zoomedY_.fill(std::nullopt);
    for (int i = 0; i < kCharts; ++i) ApplyAxes(i);
    ScheduleReplot();
}

void ChartArea::PlaceCursorAt(int index, double x, bool second) {
    if (!PlaceCursor(model_, index, x, second, cursors_)) return;
    ApplyCursors();
    ScheduleReplot();
}

void ChartArea::ApplyCursors() {
    const auto texts = CursorReadout(model_, meas_, cursors_);
    for (int i = 0; i < kCharts; ++i) {
        ChannelRow& r = *rows_[static_cast<std::size_t>(i)];
        const CursorPanelTexts& t = texts[static_cast<std::size_t>(i)];
        QStringList lines;
        for (const std::string* s : {&t.A, &t.B, &t.Diff, &t.Delta})
            if (!s->empty()) lines << Qs(*s);
        r.cursor->setText(lines.join(QLatin1Char('\n')));
        const bool on[2] = {cursors_.hasA, cursors_.hasB};
        const double at[2] = {cursors_.a, cursors_.b};
        for (int k = 0; k < 2; ++k) {
            QCPItemStraightLine* line = r.cursorLines[static_cast<std::size_t>(k)];
            line->setVisible(on[k] && model_.ShowsRecord(i));
            line->point1->setCoords(at[k], 0.0);
            line->point2->setCoords(at[k], 1.0);
        }
        MarkDirty(i);
    }
}

int ChartArea::IndexOfPlot(QObject* o) const {
    for (int i = 0; i < kCharts; ++i)
        if (rows_[static_cast<std::size_t>(i)]->plot == o) return i;
    return -1;
}

bool ChartArea::eventFilter(QObject* watched, QEvent* e) {
    const int index = IndexOfPlot(watched);
    if (index < 0) return QWidget::eventFilter(watched, e);
    return HandleMouse(index, e);
}

bool ChartArea::HandleMouse(int index, QEvent* e) {
    QCustomPlot* plot = rows_[static_cast<std::size_t>(index)]->plot;
    const bool record = model_.GraphMode() == kRecordedMode && model_.ShowsRecord(index);
    switch (e->type()) {
    case QEvent::Leave:
        emit pointerReading(QString());
        return false;
    case QEvent::Wheel: {
        if (!record) return false;
        auto* w = static_cast<QWheelEvent*>(e);
        const double notches = w->angleDelta().y() / 120.0;
        if (notches == 0.0) return true;
        ZoomTime(plot->xAxis->pixelToCoord(w->position().x()), std::pow(kWheelZoomFactor, notches));
        return true;
    }
    case QEvent::MouseButtonDblClick:
        if (!record) return false;
        press_ = {};
        ResetView();
        return true;
    case QEvent::MouseButtonPress: {
        if (!record) return false;
        auto* m = static_cast<QMouseEvent*>(e);
        press_ = {};
        press_.index = index;
        press_.at = m->position().toPoint();
        press_.rectangle = m->button() == Qt::RightButton ||
                           (m->button() == Qt::LeftButton && (m->modifiers() & Qt::ControlModifier));
        press_.shift = (m->modifiers() & Qt::ShiftModifier) != 0;
        press_.startX = XRangeOf(index);
        return true;
    }
    case QEvent::MouseMove: {
        auto* m = static_cast<QMouseEvent*>(e);
        const QPoint pos = m->position().toPoint();
        if (record) {
            const PointerReading reading =
                ReadingAt(model_, meas_, index, plot->xAxis->pixelToCoord(pos.x()));
            emit pointerReading(Qs(reading.text));
        }
        if (press_.index != index) return false;
        if ((pos - press_.at).manhattanLength() >= kClickSlop) press_.moved = true;
        if (!press_.moved) return true;
        if (press_.rectangle) {
            const QPoint a = plot->mapTo(this, press_.at), b = plot->mapTo(this, pos);
            band_->setGeometry(QRect(a, b).normalized());
            band_->show();
        } else {
            // Panning: the time under the press stays under the pointer (measured against the
            // range at the press, since the axis moves while dragging).
            const double perPixel = press_.startX.width() / std::max(1, plot->axisRect()->width());
            const AxisRange r = PanBy(press_.startX, (press_.at.x() - pos.x()) * perPixel);
            ShowTimeRange(r.lo, r.hi);
        }
        return true;
    }
    case QEvent::MouseButtonRelease: {
        if (press_.index != index) return false;
        auto* m = static_cast<QMouseEvent*>(e);
        const QPoint pos = m->position().toPoint();
        const Press p = press_;
        press_ = {};
        band_->hide();
        if (!p.moved) {
            if (!p.rectangle) PlaceCursorAt(index, plot->xAxis->pixelToCoord(pos.x()), p.shift);
            return true;
        }
        if (p.rectangle) {
            AxisRange x;
            if (RangeOfDrag(plot->xAxis->pixelToCoord(p.at.x()), plot->xAxis->pixelToCoord(pos.x()),
                            MinimumXWidth(model_, index), x)) {
                const double y0 = plot->yAxis->pixelToCoord(p.at.y());
                const double y1 = plot->yAxis->pixelToCoord(pos.y());
                if (y0 != y1) zoomedY_[static_cast<std::size_t>(index)] = AxisRange{std::min(y0, y1), std::max(y0, y1)};
                ShowTimeRange(x.lo, x.hi);
                ApplyAxes(index);
            }
        }
        return true;
    }
    default:
        return false;
    }
}

// --- Export -------------------------------------------------------------------------------------

QStringList ChartArea::ExportCharts(const QString& path, const QString& caption) {
    QStringList written;
    const QFileInfo info(path);
    const QString suffix = info.suffix().toLower();
    const bool pdf = suffix == QLatin1String("pdf");
    const QString base = info.path() + QLatin1Char('/') + info.completeBaseName();
    ReplotNow();
    for (int i = 0; i < kCharts; ++i) {
        if (graph_.Ch[static_cast<std::size_t>(i)].Use != 1) continue;
        QCustomPlot* p = rows_[static_cast<std::size_t>(i)]->plot;
        const QString file = base + QStringLiteral("_Ch%1.").arg(i + 1) + (pdf ? QStringLiteral("pdf") : QStringLiteral("png"));
        // The caption goes above the chart only for the file.
        p->plotLayout()->insertRow(0);
        auto* title = new QCPTextElement(p, caption + QStringLiteral("  ") + ChannelText(i + 1));
        title->setTextColor(colours_.C2);
        p->plotLayout()->addElement(0, 0, title);
        const QMargins kept = p->axisRect()->margins();
        p->axisRect()->setMargins(QMargins(kept.left(), kept.top(), kept.right(), 20));
        p->xAxis->setTickLabels(true);
        const int w = std::max(640, p->width()), h = std::max(240, p->height() + 40);
        const bool ok = pdf ? p->savePdf(file, w, h) : p->savePng(file, w, h);
        p->plotLayout()->remove(title);
        p->plotLayout()->simplify();
        p->axisRect()->setMargins(kept);
        Relayout();
        if (!ok) return {};
        written << file;
    }
    return written;
}

}  // namespace kmr
