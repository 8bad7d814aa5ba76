#include "gui/charts/ChartsWidgetRow.h"

#include <QHeaderView>
#include <QStyle>
#include <QTableWidget>
#include <algorithm>

namespace kmr {

void ChartsWidget::SetReadoutTitles(const QStringList& titles) {
    readout_->setHorizontalHeaderLabels(titles);
}

void ChartsWidget::ApplyReadout() {
    const CursorTimes& cursors = presenter_.Cursors();
    const kmr::CursorTable t = CursorReadoutTable(model_, meas_, graph_, cursors);
    QStringList times;
    if (cursors.hasA) times << QStringLiteral("A  %1 s").arg(Qs(t.timeA));
    if (cursors.hasB) times << QStringLiteral("B  %1 s").arg(Qs(t.timeB));
    if (!t.delta.empty()) times << QStringLiteral("dt  %1 s").arg(Qs(t.delta));
    readoutTimes_->setText(times.join(QStringLiteral("     ")));
    const bool shown = readoutBox_->isVisible(), wanted = cursors.hasA || cursors.hasB;
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
    // A column is never narrower than its widest number or title (a huge offset gives fifteen
    // characters): the readout scrolls sideways rather than cut a value short.
    const QFontMetrics fm(readout_->font());
    int widest = 0;
    for (int c = 0; c < readout_->columnCount(); ++c) {
        if (const QTableWidgetItem* h = readout_->horizontalHeaderItem(c))
            widest = std::max(widest, readout_->horizontalHeader()->fontMetrics().horizontalAdvance(h->text()));
        for (int r = 0; r < readout_->rowCount(); ++r)
            if (const QTableWidgetItem* item = readout_->item(r, c)) widest = std::max(widest, fm.horizontalAdvance(item->text()));
    }
    const int margin = 2 * (readout_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, readout_) + 1) + 4;
    const bool sideways = ReadoutScrollsSideways();
    readout_->horizontalHeader()->setMinimumSectionSize(widest + margin);
    if (shown != wanted || (wanted && (rowsChanged || sideways != ReadoutScrollsSideways()))) Relayout();
}

void ChartsWidget::ShowCursors() {
    ApplyReadout();
    const CursorTimes& cursors = presenter_.Cursors();
    const auto texts = CursorReadout(model_, meas_, cursors);
    for (int i = 0; i < kCharts; ++i) {
        ChannelRow& r = *rows_[static_cast<std::size_t>(i)];
        const CursorPanelTexts& t = texts[static_cast<std::size_t>(i)];
        QStringList lines;
        for (const std::string* s : {&t.A, &t.B, &t.Diff, &t.Delta})
            if (!s->empty()) lines << Qs(*s);
        r.cursor->setText(lines.join(QLatin1Char('\n')));
        const bool on[2] = {cursors.hasA, cursors.hasB};
        const double at[2] = {cursors.a, cursors.b};
        for (int k = 0; k < 2; ++k) {
            QCPItemStraightLine* line = r.cursorLines[static_cast<std::size_t>(k)];
            line->setVisible(on[k] && model_.ShowsRecord(i));
            line->point1->setCoords(at[k], 0.0);
            line->point2->setCoords(at[k], 1.0);
        }
        MarkDirty(i);
    }
    ScheduleReplot();
}

}  // namespace kmr
