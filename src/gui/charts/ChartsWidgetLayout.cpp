#include "gui/charts/ChartsWidgetRow.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QHeaderView>
#include <QTableWidget>

namespace kmr {

int ChartsWidget::TextWidth(const QString& fontKey, const QFontMetrics& fm, const QString& text) const {
    const QString key = fontKey + QLatin1Char('\n') + text;
    const auto it = textWidths_.constFind(key);
    if (it != textWidths_.constEnd()) return it.value();
    // The texts are a few labels and the configured ranges' numbers; a bound all the same.
    if (textWidths_.size() >= 512) textWidths_.clear();
    const int w = fm.horizontalAdvance(text);
    textWidths_.insert(key, w);
    return w;
}

ChartTextSizes ChartsWidget::MeasureTexts() const {
    ChartTextSizes t;
    const ChannelRow& r0 = *rows_[0];
    const QFont valueFont = r0.values[0]->font();
    const QFontMetrics fm(valueFont);
    // A font's key is long to make: once per font.
    const QString valueKey = valueFont.key();
    const auto width = [&](const QString& text) { return TextWidth(valueKey, fm, text) + 4; };
    t.lineHeight = fm.height() + 2;
    t.captionWidth = 0;
    for (const QLabel* c : r0.captions) t.captionWidth = std::max(t.captionWidth, width(c->text()));
    // The longest number a label may show (never less than a sign and seven characters), and
    // the widest unit, of the charts shown.
    t.valueWidth = std::max(width(QStringLiteral("-8888888")), width(QStringLiteral("-88888.8")));
    for (int i = 0; i < kCharts; ++i)
        if (graph_.Ch[static_cast<std::size_t>(i)].Shown())
            t.valueWidth = std::max(t.valueWidth, width(Qs(model_.Labels(i).WidestValue)));
    t.unitWidth = width(QStringLiteral("----"));
    for (int i = 0; i < kCharts; ++i)
        if (graph_.Ch[static_cast<std::size_t>(i)].Shown()) t.unitWidth = std::max(t.unitWidth, width(Qs(model_.Labels(i).Unit)));
    t.channelWidth = width(ChannelText(kChannels));
    t.xUnitWidth = width(r0.xUnit->text());
    // The axis numbers: the widest of what the configured ranges show, and never less than five
    // digits with a sign and a point.
    const QFont axisFont = r0.plot->yAxis->tickLabelFont();
    const QFontMetrics am(axisFont);
    const QString axisKey = axisFont.key();
    t.axisLineHeight = am.height();
    const auto axisWidth = [&](double v, const AxisSettings& a) {
        const QString text =
            a.automatic || a.exponent ? QString::number(v, 'g', 6) : QString::number(v, 'f', a.decimals);
        return TextWidth(axisKey, am, text) + 2;
    };
    t.yLabelWidth = t.xLabelWidth = TextWidth(axisKey, am, QStringLiteral("-8888.8")) + 2;
    for (int i = 0; i < kCharts; ++i) {
        if (!graph_.Ch[static_cast<std::size_t>(i)].Shown()) continue;
        const AxisRange y = ConfiguredYRange(model_, i), x = ConfiguredXRange(model_, i);
        t.yLabelWidth = std::max({t.yLabelWidth, axisWidth(y.lo, model_.YAxis(i)), axisWidth(y.hi, model_.YAxis(i))});
        t.xLabelWidth = std::max({t.xLabelWidth, axisWidth(x.lo, model_.XAxis(i)), axisWidth(x.hi, model_.XAxis(i))});
    }
    return t;
}

bool ChartsWidget::ReadoutScrollsSideways() const {
    const int rowBar = readout_->rowCount() > 3 ? readout_->verticalScrollBar()->sizeHint().width() : 0;
    return readout_->columnCount() * readout_->horizontalHeader()->minimumSectionSize() +
               readout_->verticalHeader()->sizeHint().width() + rowBar + 2 * readout_->frameWidth() >
           width();
}

void ChartsWidget::Relayout() {
    texts_ = MeasureTexts();
    // The cursor readout takes the bottom: its times and up to three channels' lines (it scrolls).
    int readout = 0;
    if (presenter_.Cursors().hasA || presenter_.Cursors().hasB) {
        const int lines = std::clamp(readout_->rowCount(), 1, 3);
        const int line = readout_->rowCount() > 0 ? readout_->rowHeight(0) : readout_->fontMetrics().height() + 6;
        readout = readoutTimes_->sizeHint().height() + readout_->horizontalHeader()->sizeHint().height() +
                  lines * line + 2 * readout_->frameWidth() + 4;
        if (ReadoutScrollsSideways()) readout += readout_->horizontalScrollBar()->sizeHint().height();
        readout = std::min(readout, height() / 2);
    }
    readoutBox_->setVisible(readout > 0);
    readoutBox_->setGeometry(0, height() - readout, width(), readout);
    const int chartsHeight = height() - readout;
    scroll_->setGeometry(0, 0, width(), chartsHeight);
    const GraphLayout layout = model_.Layout(graph_);
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
        const bool ticksChanged = r.yTicks != g.yTicks || r.xTicks != g.xTicks || r.yLeastStep != g.yLeastStep;
        r.yTicks = g.yTicks;
        r.xTicks = g.xTicks;
        r.yLeastStep = g.yLeastStep;
        if (ticksChanged) {
            SetAxis(r.plot->xAxis, presenter_.ShownXAxis(i), presenter_.XRange(i), r.xTicks, 0.0);
            SetAxis(r.plot->yAxis, presenter_.ShownYAxis(i), presenter_.YRange(i), r.yTicks, r.yLeastStep);
        }
        // The width in pixels may have changed: a record is queried again, a strip's columns
        // are made anew when their width changed.
        if (model_.ShowsRecord(i)) RequeryRecord(i);
        else if (StripColumnWidth(r) != r.stripWidth) LoadWholeSeries(i);
        MarkDirty(i);
    }
    ScheduleReplot();
}

void ChartsWidget::PlacePanel(ChannelRow& r, const PanelCells& c) {
    const auto place = [](QWidget* w, const PixelRect& p) { w->setGeometry(p.x, p.y, p.w, p.h); };
    place(r.channel, c.channel);
    for (std::size_t k = 0; k < kPanelValues; ++k) {
        place(r.captions[k], c.captions[k]);
        place(r.values[k], c.values[k]);
    }
    r.xUnit->setVisible(c.xUnitShown);
    if (c.xUnitShown) place(r.xUnit, c.xUnit);
}

}  // namespace kmr
