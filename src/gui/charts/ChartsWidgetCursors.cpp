#include "gui/charts/ChartsWidgetRow.h"

#include <QTableWidget>

namespace kmr {

void ChartsWidget::ShowTimeRange(double lo, double hi) {
    zoomedX_ = AxisRange{lo, hi};
    for (int i = 0; i < kCharts; ++i)
        if (model_.ShowsRecord(i)) ApplyAxes(i);
    ScheduleReplot();
}

void ChartsWidget::ZoomTime(double at, double factor) {
    int any = -1;
    for (int i = 0; i < kCharts && any < 0; ++i)
        if (model_.ShowsRecord(i)) any = i;
    if (any < 0) return;
    const AxisRange now = XRangeOf(any);
    const AxisRange z = ZoomAbout(now, at, factor, MinimumXWidth(model_, any));
    ShowTimeRange(z.lo, z.hi);
}

void ChartsWidget::ResetView() {
    zoomedX_.reset();
    zoomedY_.fill(std::nullopt);
    for (int i = 0; i < kCharts; ++i) ApplyAxes(i);
    ScheduleReplot();
}

void ChartsWidget::PlaceCursorAt(int index, double x, bool second) {
    if (!PlaceCursor(model_, index, x, second, cursors_)) return;
    ApplyCursors();
    ScheduleReplot();
}

void ChartsWidget::SetReadoutTitles(const QStringList& titles) {
    readout_->setHorizontalHeaderLabels(titles);
}

void ChartsWidget::ApplyReadout() {
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

void ChartsWidget::ApplyCursors() {
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

}  // namespace kmr
