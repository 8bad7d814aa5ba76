#include "gui/charts/ChartsWidgetRow.h"

#include <cmath>
#include <utility>

namespace kmr {

void ChartsWidget::BatchEnded(const ChartChanges& changes) {
    // A new record or a restarted strip (monitoring starts) ends a zoom and the cursors.
    presenter_.ModelChanged(changes);
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
    if ((unitsChanged || changes.axes.any() || changes.labels.any()) && MeasureTexts() != texts_) Relayout();
    holdRequeries_ = false;
    for (int i = 0; i < kCharts; ++i)
        if (std::exchange(requery_[static_cast<std::size_t>(i)], false) && model_.ShowsRecord(i)) RequeryRecord(i);
    ScheduleReplot();
}

void ChartsWidget::ApplyAxes(int index) {
    ChannelRow& r = *rows_[static_cast<std::size_t>(index)];
    SetAxis(r.plot->xAxis, presenter_.ShownXAxis(index), presenter_.XRange(index), r.xTicks, 0.0);
    SetAxis(r.plot->yAxis, presenter_.ShownYAxis(index), presenter_.YRange(index), r.yTicks, r.yLeastStep);
    if (model_.ShowsRecord(index)) RequeryRecord(index);
    MarkDirty(index);
}

void ChartsWidget::ShowRanges(int index) {
    ApplyAxes(index);
    ScheduleReplot();
}

void ChartsWidget::ApplyLabels(int index) {
    ChannelRow& r = *rows_[static_cast<std::size_t>(index)];
    const ChannelLabels& l = model_.Labels(index);
    const std::array<const std::string*, kPanelValues> texts = {&l.Moni, &l.Max, &l.Min, &l.Range, &l.Unit};
    for (std::size_t k = 0; k < kPanelValues; ++k) r.values[k]->setText(Qs(*texts[k]));
    r.channel->setEnabled(l.ChannelNumberEnabled);
}

void ChartsWidget::ApplyMark(int index) {
    ChannelRow& r = *rows_[static_cast<std::size_t>(index)];
    const TriggerMark& m = model_.Mark(index);
    r.trigger->setVisible(m.on);
    r.trigger->point1->setCoords(m.x, 0.0);
    r.trigger->point2->setCoords(m.x, 1.0);
    MarkDirty(index);
}

void ChartsWidget::ApplySeries(int index, const SeriesDelta& delta) {
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

void ChartsWidget::AddStripPoint(ChannelRow& r, double x, double y) {
    const StripColumns::Tail t = r.strip.Add(x, y);
    auto data = r.graph->data();
    // The open column's drawn points go from its first X on, that X included (removeAfter would
    // keep the point at it).
    if (t.drop) data->remove(t.dropFrom, std::numeric_limits<double>::infinity());
    for (std::size_t k = 0; k < t.count; ++k) data->add(QCPGraphData(t.add[k].x, Drawn(t.add[k].y)));
}

double ChartsWidget::StripColumnWidth(const ChannelRow& r) const {
    const QMargins margins = r.plot->axisRect()->margins();
    const int columns = std::max(1, r.plot->width() - margins.left() - margins.right());
    return static_cast<double>(graph_.X.Xspace) / columns;
}

void ChartsWidget::LoadWholeSeries(int index) {
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

void ChartsWidget::RequeryRecord(int index) {
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

}  // namespace kmr
