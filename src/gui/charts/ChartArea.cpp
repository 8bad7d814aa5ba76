#include "gui/charts/ChartArea.h"

#include "core/graphs/StripColumns.h"

#include <QApplication>
#include <QDateTime>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QRubberBand>
#include <QScrollArea>
#include <QScrollBar>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/app/Keyboard.h"
#include <QWheelEvent>
#include <algorithm>
#include <utility>
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

// `ticks`: the steps the axis can number at its length without the numbers running together.
void SetAxis(QCPAxis* axis, const AxisSettings& a, const AxisRange& range, int ticks) {
    axis->setRange(range.lo, range.hi);
    if (a.automatic) {
        if (!axis->ticker().dynamicCast<QCPAxisTickerFixed>().isNull() || axis->ticker().isNull())
            axis->setTicker(QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));
        axis->ticker()->setTickCount(ticks);
        axis->ticker()->setTickStepStrategy(QCPAxisTicker::tssMeetTickCount);
        axis->setNumberFormat(QStringLiteral("gb"));
        axis->setNumberPrecision(6);
    } else {
        auto fixed = axis->ticker().dynamicCast<QCPAxisTickerFixed>();
        if (fixed.isNull()) {
            fixed = QSharedPointer<QCPAxisTickerFixed>(new QCPAxisTickerFixed);
            axis->setTicker(fixed);
        }
        // A spacing so fine that the numbers would run into each other is left to multiples.
        const bool dense = a.spacing > 0.0 && range.width() / a.spacing > ticks + 0.5;
        fixed->setScaleStrategy(dense ? QCPAxisTickerFixed::ssMultiples : QCPAxisTickerFixed::ssNone);
        fixed->setTickCount(ticks);
        fixed->setTickStepStrategy(QCPAxisTicker::tssMeetTickCount);
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
    int yTicks = 5, xTicks = 5;  // steps the axes can number at the row's size
};

ChartArea::ChartArea(ChartModel& model, const GraphConditions& graph, const MeasConditions& meas,
                     QWidget* parent)
    : QWidget(parent), model_(model), graph_(graph), meas_(meas) {
    setObjectName(QStringLiteral("chartArea"));
    // The rows scroll when they do not fit at their minimum height.
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("chartScroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->setWidgetResizable(false);
    scroll_->setFocusPolicy(Qt::NoFocus);
    canvas_ = new QWidget;
    canvas_->setObjectName(QStringLiteral("chartCanvas"));
    scroll_->setWidget(canvas_);
    static const char* const kCaptions[5] = {"Moni.", "Max.", "Min.", "Range", "Unit"};
    for (int i = 0; i < kCharts; ++i) {
        auto r = std::make_unique<ChannelRow>();
        r->row = new QWidget(canvas_);
        r->row->setObjectName(QStringLiteral("chartRow%1").arg(i + 1));
        r->panel = new QWidget(r->row);
        r->panel->setObjectName(QStringLiteral("dataPanel%1").arg(i + 1));
        r->channel = new QLabel(ChannelText(i + 1), r->panel);
        for (int k = 0; k < 5; ++k) {
            r->captions[static_cast<std::size_t>(k)] = new QLabel(QString::fromLatin1(kCaptions[k]), r->panel);
            auto* v = new QLabel(r->panel);
            v->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            v->setObjectName(QStringLiteral("value%1_%2").arg(i + 1).arg(k));
            r->values[static_cast<std::size_t>(k)] = v;
        }
        r->channel->setObjectName(QStringLiteral("channelText%1").arg(i + 1));
        r->cursor = new QLabel(r->panel);
        r->cursor->setObjectName(QStringLiteral("cursorText%1").arg(i + 1));
        r->cursor->hide();  // the readout strip below the charts shows the cursors
        r->xUnit = new QLabel(QStringLiteral("X-Unit:Sec."), r->panel);
        r->xUnit->setObjectName(QStringLiteral("xUnitText%1").arg(i + 1));
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
        // A chart takes the focus (Tab or a click) to be moved about by keys.
        r->plot->setFocusPolicy(Qt::StrongFocus);
        rows_[static_cast<std::size_t>(i)] = std::move(r);
    }
    readoutBox_ = new QWidget(this);
    readoutBox_->setObjectName(QStringLiteral("cursorReadout"));
    auto* box = new QVBoxLayout(readoutBox_);
    box->setContentsMargins(0, 2, 0, 0);
    box->setSpacing(1);
    readoutTimes_ = new QLabel(readoutBox_);
    readoutTimes_->setObjectName(QStringLiteral("cursorTimes"));
    readout_ = new QTableWidget(0, 6, readoutBox_);
    readout_->setObjectName(QStringLiteral("cursorTable"));
    readout_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    readout_->setSelectionMode(QAbstractItemView::NoSelection);
    readout_->setFocusPolicy(Qt::NoFocus);
    readout_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    readout_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    box->addWidget(readoutTimes_);
    box->addWidget(readout_, 1);
    readoutBox_->hide();
    SetReadoutTitles({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("B-A"), QStringLiteral("Min."),
                      QStringLiteral("Max."), QStringLiteral("Mean")});
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
QList<QLabel*> ChartArea::PanelLabels(int index) const {
    const ChannelRow& r = *rows_[static_cast<std::size_t>(index)];
    QList<QLabel*> out{r.channel};
    for (std::size_t k = 0; k < 5; ++k) out << r.captions[k] << r.values[k];
    if (r.xUnit->isVisibleTo(r.panel)) out << r.xUnit;
    return out;
}
QString ChartArea::CursorText(int index) const {
    return rows_[static_cast<std::size_t>(index)]->cursor->text();
}
const ChartArea::ChartCounters& ChartArea::Counters(int index) const {
    return rows_[static_cast<std::size_t>(index)]->counters;
}

// --- The model's batches ------------------------------------------------------------------------

void ChartArea::BatchEnded(const ChartChanges& changes) {
    // A new record or a restarted strip (monitoring starts): the view goes back to the
    // configured scale, a Y zoom of the record included.
    bool anew = false;
    for (int i = 0; i < kCharts; ++i)
        if (changes.series1[static_cast<std::size_t>(i)].replaced || changes.series2.test(static_cast<std::size_t>(i)))
            anew = true;
    if (anew && (zoomedX_ || std::any_of(zoomedY_.begin(), zoomedY_.end(), [](const auto& z) { return z.has_value(); }))) {
        zoomedX_.reset();
        zoomedY_.fill(std::nullopt);
        for (int i = 0; i < kCharts; ++i) ApplyAxes(i);
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
    // New scales or units may need wider columns or margins.
    bool unitsChanged = false;
    for (int i = 0; i < kCharts; ++i) {
        const std::string& unit = model_.Labels(i).Unit;
        if (unit != units_[static_cast<std::size_t>(i)]) {
            units_[static_cast<std::size_t>(i)] = unit;
            unitsChanged = true;
        }
    }
    if ((unitsChanged || changes.axes.any()) && MeasureTexts() != texts_) Relayout();
    holdRequeries_ = false;
    for (int i = 0; i < kCharts; ++i)
        if (std::exchange(requery_[static_cast<std::size_t>(i)], false) && model_.ShowsRecord(i)) RequeryRecord(i);
    ScheduleReplot();
}

AxisRange ChartArea::XRangeOf(int index) const {
    if (zoomedX_ && model_.ShowsRecord(index)) return *zoomedX_;
    return ConfiguredXRange(model_, index);
}

void ChartArea::ApplyAxes(int index) {
    ChannelRow& r = *rows_[static_cast<std::size_t>(index)];
    const AxisRange x = XRangeOf(index);
    SetAxis(r.plot->xAxis, model_.XAxis(index), x, r.xTicks);
    const auto& zy = zoomedY_[static_cast<std::size_t>(index)];
    SetAxis(r.plot->yAxis, model_.YAxis(index), zy ? *zy : ConfiguredYRange(model_, index), r.yTicks);
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
    if (holdRequeries_) {
        requery_[static_cast<std::size_t>(index)] = true;
        MarkDirty(index);
        return;
    }
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

ChartTextSizes ChartArea::MeasureTexts() const {
    ChartTextSizes t;
    const ChannelRow& r0 = *rows_[0];
    const QFontMetrics fm(r0.values[0]->font());
    const auto width = [&fm](const QString& text) { return fm.horizontalAdvance(text) + 4; };
    t.lineHeight = fm.height() + 2;
    t.captionWidth = 0;
    for (const QLabel* c : r0.captions) t.captionWidth = std::max(t.captionWidth, width(c->text()));
    // The longest number a label shows (sign and seven characters), and every unit.
    t.valueWidth = std::max(width(QStringLiteral("-8888888")), width(QStringLiteral("-88888.8")));
    t.unitWidth = width(QStringLiteral("----"));
    for (int i = 0; i < kCharts; ++i) t.unitWidth = std::max(t.unitWidth, width(Qs(model_.Labels(i).Unit)));
    t.channelWidth = width(ChannelText(10));
    t.xUnitWidth = width(r0.xUnit->text());
    // The axis numbers: the widest of what the configured ranges show, and never less than five
    // digits with a sign and a point.
    const QFontMetrics am(r0.plot->yAxis->tickLabelFont());
    t.axisLineHeight = am.height();
    const auto axisWidth = [&am](double v, const AxisSettings& a) {
        const QString text = a.automatic ? QString::number(v, 'g', 6) : QString::number(v, 'f', a.decimals);
        return am.horizontalAdvance(text) + 2;
    };
    t.yLabelWidth = t.xLabelWidth = am.horizontalAdvance(QStringLiteral("-8888.8")) + 2;
    for (int i = 0; i < kCharts; ++i) {
        if (graph_.Ch[static_cast<std::size_t>(i)].Use != 1) continue;
        const AxisRange y = ConfiguredYRange(model_, i), x = ConfiguredXRange(model_, i);
        t.yLabelWidth = std::max({t.yLabelWidth, axisWidth(y.lo, model_.YAxis(i)), axisWidth(y.hi, model_.YAxis(i))});
        t.xLabelWidth = std::max({t.xLabelWidth, axisWidth(x.lo, model_.XAxis(i)), axisWidth(x.hi, model_.XAxis(i))});
    }
    return t;
}

void ChartArea::Relayout() {
    texts_ = MeasureTexts();
    // The cursor readout takes the bottom: its times and up to three channels' lines (it scrolls).
    int readout = 0;
    if (cursors_.hasA || cursors_.hasB) {
        const int lines = std::clamp(readout_->rowCount(), 1, 3);
        const int line = readout_->rowCount() > 0 ? readout_->rowHeight(0) : readout_->fontMetrics().height() + 6;
        readout = readoutTimes_->sizeHint().height() + readout_->horizontalHeader()->sizeHint().height() +
                  lines * line + 2 * readout_->frameWidth() + 4;
        readout = std::min(readout, height() / 2);
    }
    readoutBox_->setVisible(readout > 0);
    readoutBox_->setGeometry(0, height() - readout, width(), readout);
    const int chartsHeight = height() - readout;
    scroll_->setGeometry(0, 0, width(), chartsHeight);
    PanelMetrics metrics;
    const double px = metrics.TwipsPerPixel;
    metrics.AvailableHeight = chartsHeight * px;
    metrics.AvailableWidth = width() * px;
    metrics.TextLineHeight = fontMetrics().height() * px;
    const GraphLayout layout = model_.Layout(graph_, metrics);
    const int bar = scroll_->verticalScrollBar()->sizeHint().width();
    places_ = LayOutChartArea(layout.Shown, width(), chartsHeight, bar, texts_);
    canvas_->resize(places_.contentWidth, places_.contentHeight);
    for (int i = 0; i < kCharts; ++i) rows_[static_cast<std::size_t>(i)]->row->setVisible(layout.Shown.test(static_cast<std::size_t>(i)));
    for (const ChartRowPlace& g : places_.rows) {
        const int i = g.index;
        ChannelRow& r = *rows_[static_cast<std::size_t>(i)];
        const int w = places_.contentWidth;
        r.row->setGeometry(0, g.top, w, g.height);
        r.panel->setGeometry(0, 0, g.panelWidth, g.height);
        r.plot->setGeometry(g.panelWidth, 0, std::max(0, w - g.panelWidth), g.height);
        r.plot->axisRect()->setMargins(QMargins(g.insets.Left, g.insets.Top, g.insetRight, g.insets.Bottom));
        r.plot->xAxis->setTickLabels(g.bottom);
        PlacePanel(r, g.cells);
        const bool ticksChanged = r.yTicks != g.yTicks || r.xTicks != g.xTicks;
        r.yTicks = g.yTicks;
        r.xTicks = g.xTicks;
        if (ticksChanged) {
            const AxisRange x = XRangeOf(i);
            const auto& zy = zoomedY_[static_cast<std::size_t>(i)];
            SetAxis(r.plot->xAxis, model_.XAxis(i), x, r.xTicks);
            SetAxis(r.plot->yAxis, model_.YAxis(i), zy ? *zy : ConfiguredYRange(model_, i), r.yTicks);
        }
        // The width in pixels may have changed: a record is queried again, a strip's columns
        // are made anew when their width changed.
        if (model_.ShowsRecord(i)) RequeryRecord(i);
        else if (StripColumnWidth(r) != r.stripWidth) LoadWholeSeries(i);
        MarkDirty(i);
    }
    ScheduleReplot();
}

void ChartArea::PlacePanel(ChannelRow& r, const PanelCells& c) {
    const auto place = [](QWidget* w, const PixelRect& p) { w->setGeometry(p.x, p.y, p.w, p.h); };
    place(r.channel, c.channel);
    for (std::size_t k = 0; k < 5; ++k) {
        place(r.captions[k], c.captions[k]);
        place(r.values[k], c.values[k]);
    }
    r.xUnit->setVisible(c.xUnitShown);
    if (c.xUnitShown) place(r.xUnit, c.xUnit);
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

void ChartArea::SetReadoutTitles(const QStringList& titles) {
    readout_->setHorizontalHeaderLabels(titles);
}

void ChartArea::ApplyReadout() {
    const kmr::CursorTable t = CursorReadoutTable(model_, meas_, graph_, cursors_);
    QStringList times;
    if (cursors_.hasA) times << QStringLiteral("A  %1 s").arg(Qs(t.timeA));
    if (cursors_.hasB) times << QStringLiteral("B  %1 s").arg(Qs(t.timeB));
    if (!t.delta.empty()) times << QStringLiteral("dt  %1 s").arg(Qs(t.delta));
    readoutTimes_->setText(times.join(QStringLiteral("     ")));
    const bool shown = readoutBox_->isVisible(), wanted = cursors_.hasA || cursors_.hasB;
    const bool rowsChanged = readout_->rowCount() != static_cast<int>(t.rows.size());
    readout_->setRowCount(static_cast<int>(t.rows.size()));
    for (int r = 0; r < static_cast<int>(t.rows.size()); ++r) {
        const CursorTableRow& row = t.rows[static_cast<std::size_t>(r)];
        readout_->setVerticalHeaderItem(r, new QTableWidgetItem(ChannelText(row.channel)));
        const std::string* cells[6] = {&row.A, &row.B, &row.Diff, &row.Min, &row.Max, &row.Mean};
        for (int c = 0; c < 6; ++c) {
            auto* item = new QTableWidgetItem(Qs(*cells[c]));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            readout_->setItem(r, c, item);
        }
    }
    if (shown != wanted || (wanted && rowsChanged)) Relayout();
}

void ChartArea::ApplyCursors() {
    ApplyReadout();
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
        // Off a record the wheel scrolls the rows (the chart would swallow it).
        if (!record) return QApplication::sendEvent(scroll_->verticalScrollBar(), e);
        auto* w = static_cast<QWheelEvent*>(e);
        const double notches = w->angleDelta().y() / 120.0;
        if (notches == 0.0) return true;
        ZoomTime(plot->xAxis->pixelToCoord(w->position().x()), std::pow(kWheelZoomFactor, notches));
        return true;
    }
    case QEvent::MouseButtonDblClick:
        if (!record) return false;
        press_ = {};
        // Back to the configured scale only: the cursor its first click placed goes back too.
        if (!(cursors_ == cursorsBeforePress_)) {
            cursors_ = cursorsBeforePress_;
            ApplyCursors();
        }
        ResetView();
        return true;
    case QEvent::KeyPress:
        return record && HandleKey(index, static_cast<QKeyEvent*>(e));
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
        // The focused chart's channel number is marked.
        QLabel* channel = rows_[static_cast<std::size_t>(index)]->channel;
        channel->setAutoFillBackground(e->type() == QEvent::FocusIn);
        channel->setBackgroundRole(QPalette::Highlight);
        channel->setForegroundRole(e->type() == QEvent::FocusIn ? QPalette::HighlightedText : QPalette::WindowText);
        if (e->type() == QEvent::FocusIn) scroll_->ensureWidgetVisible(rows_[static_cast<std::size_t>(index)]->row, 0, 0);
        return false;
    }
    case QEvent::MouseButtonPress: {
        if (!record) return false;
        auto* m = static_cast<QMouseEvent*>(e);
        press_ = {};
        cursorsBeforePress_ = cursors_;
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

bool ChartArea::HandleKey(int index, QKeyEvent* e) {
    Key key = Key::Other;
    switch (e->key()) {
        case Qt::Key_Left: key = Key::Left; break;
        case Qt::Key_Right: key = Key::Right; break;
        case Qt::Key_Plus: key = Key::Plus; break;
        case Qt::Key_Equal: key = Key::Plus; break;  // + without Shift on many layouts
        case Qt::Key_Minus: key = Key::Minus; break;
        case Qt::Key_Home: key = Key::Home; break;
        default: return false;
    }
    const AxisRange now = XRangeOf(index);
    const double middle = (now.lo + now.hi) / 2.0;
    const bool second = (e->modifiers() & Qt::ShiftModifier) != 0;
    switch (ChartKeyActionOf(key)) {
        case ChartKeyAction::CursorBack:
        case ChartKeyAction::CursorForward: {
            const long steps = ChartKeyActionOf(key) == ChartKeyAction::CursorBack ? -1 : 1;
            if (StepCursor(model_, index, second, steps, middle, cursors_)) {
                ApplyCursors();
                ScheduleReplot();
            }
            return true;
        }
        case ChartKeyAction::ZoomIn:
        case ChartKeyAction::ZoomOut: {
            const double at = cursors_.hasA ? cursors_.a : middle;
            const double f = ChartKeyActionOf(key) == ChartKeyAction::ZoomIn ? kWheelZoomFactor : 1.0 / kWheelZoomFactor;
            ZoomTime(at, f);
            return true;
        }
        case ChartKeyAction::Reset:
            ResetView();
            return true;
        case ChartKeyAction::None:
            return false;
    }
    return false;
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
