#include "gui/charts/ChartsWidget.h"

#include <QDateTime>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QResizeEvent>
#include <QRubberBand>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>

#include "gui/charts/ChartPlot.h"
#include "gui/charts/ChartsWidgetRow.h"
#include "gui/charts/ColumnGraph.h"

namespace kmr {

ChartColours ChartColoursOf(const QPalette& p) {
    return {p.color(QPalette::Button), p.color(QPalette::ButtonText), p.color(QPalette::Base),
            p.color(QPalette::Text)};
}

ChartsWidget::ChartsWidget(ChartModel& model, const GraphConditions& graph, const MeasConditions& meas,
                           QWidget* parent)
    : QWidget(parent), model_(model), graph_(graph), meas_(meas), presenter_(model, meas) {
    presenter_.SetView(this);
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
    for (int i = 0; i < kCharts; ++i) rows_[static_cast<std::size_t>(i)] = MakeRow(i);
    MakeReadout();
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

ChartsWidget::~ChartsWidget() { model_.SetView(nullptr); }

std::unique_ptr<ChartsWidget::ChannelRow> ChartsWidget::MakeRow(int i) {
    auto r = std::make_unique<ChannelRow>();
    r->row = new QWidget(canvas_);
    r->row->setObjectName(QStringLiteral("chartRow%1").arg(i + 1));
    r->panel = new QWidget(r->row);
    r->panel->setObjectName(QStringLiteral("dataPanel%1").arg(i + 1));
    r->channel = new QLabel(ChannelText(i + 1), r->panel);
    for (std::size_t k = 0; k < kPanelValues; ++k) {
        r->captions[k] = new QLabel(QString::fromLatin1(kPanelCaptions[k]), r->panel);
        auto* v = new QLabel(r->panel);
        v->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        v->setObjectName(QStringLiteral("value%1_%2").arg(i + 1).arg(k));
        r->values[k] = v;
    }
    r->channel->setObjectName(QStringLiteral("channelText%1").arg(i + 1));
    r->cursor = new QLabel(r->panel);
    r->cursor->setObjectName(QStringLiteral("cursorText%1").arg(i + 1));
    r->cursor->hide();  // the readout strip below the charts shows the cursors
    r->xUnit = new QLabel(QStringLiteral("X-Unit:Sec."), r->panel);
    r->xUnit->setObjectName(QStringLiteral("xUnitText%1").arg(i + 1));
    r->plot = new ChartPlot(r->row);
    r->plot->setObjectName(QStringLiteral("chart%1").arg(i + 1));
    // The numbers on the axes are written as every other number of the program is, with a point,
    // whatever the user's locale.
    r->plot->setLocale(QLocale::c());
    r->plot->setNoAntialiasingOnDrag(true);
    r->plot->setPlottingHint(QCP::phCacheLabels, true);
    r->plot->setPlottingHint(QCP::phFastPolylines, true);
    // Nothing is drawn on the overlay: without a buffer of its own a repaint fills and copies one
    // chart-sized image, not two.
    r->plot->layer(QStringLiteral("overlay"))->setMode(QCPLayer::lmLogical);
    r->plot->axisRect()->setAutoMargins(QCP::msNone);
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
    return r;
}

void ChartsWidget::MakeReadout() {
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
}

QCustomPlot* ChartsWidget::Plot(int index) const { return rows_[static_cast<std::size_t>(index)]->plot; }
QWidget* ChartsWidget::Row(int index) const { return rows_[static_cast<std::size_t>(index)]->row; }
QWidget* ChartsWidget::Panel(int index) const { return rows_[static_cast<std::size_t>(index)]->panel; }
QList<QLabel*> ChartsWidget::PanelLabels(int index) const {
    const ChannelRow& r = *rows_[static_cast<std::size_t>(index)];
    QList<QLabel*> out{r.channel};
    for (std::size_t k = 0; k < kPanelValues; ++k) out << r.captions[k] << r.values[k];
    if (r.xUnit->isVisibleTo(r.panel)) out << r.xUnit;
    return out;
}
QString ChartsWidget::CursorText(int index) const {
    return rows_[static_cast<std::size_t>(index)]->cursor->text();
}
const ChartsWidget::ChartCounters& ChartsWidget::Counters(int index) const {
    return rows_[static_cast<std::size_t>(index)]->counters;
}

// --- Repaints -----------------------------------------------------------------------------------

void ChartsWidget::MarkDirty(int index) { dirty_[static_cast<std::size_t>(index)] = true; }

void ChartsWidget::ScheduleReplot() {
    if (replotTimer_.isActive()) return;
    const qint64 since = QDateTime::currentMSecsSinceEpoch() - lastReplotMs_;
    replotTimer_.start(static_cast<int>(std::clamp<qint64>(kReplotIntervalMs - since, 0, kReplotIntervalMs)));
}

void ChartsWidget::ReplotDirty() {
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

void ChartsWidget::ReplotNow() {
    replotTimer_.stop();
    lastReplotMs_ = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < kCharts; ++i) {
        if (!dirty_[static_cast<std::size_t>(i)]) continue;
        dirty_[static_cast<std::size_t>(i)] = false;
        ChannelRow& r = *rows_[static_cast<std::size_t>(i)];
        ++r.counters.replots;
        // Drawn and put on the window now (the library refreshes at once): a queued paint would wait
        // behind the rest of the window's.
        r.plot->replot(QCustomPlot::rpRefreshHint);
    }
}

void ChartsWidget::ApplyColours() {
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
            a->grid()->setSubGridPen(a->grid()->pen());
        }
        // A cosmetic one-pixel pen: drawn without the stroker.
        rp->graph->setPen(QPen(c.C4.lightness() > 128 ? QColor(120, 190, 255) : QColor(0, 0, 190), 0));
        rp->trigger->setPen(QPen(c.C4, 1, Qt::DashDotLine));
    }
    for (int i = 0; i < kCharts; ++i) MarkDirty(i);
}

void ChartsWidget::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    Relayout();
}

void ChartsWidget::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() != QEvent::PaletteChange) return;
    const ChartColours now = ChartColoursOf(palette());
    if (now == colours_) return;
    colours_ = now;
    ApplyColours();
    ScheduleReplot();
}

}  // namespace kmr
