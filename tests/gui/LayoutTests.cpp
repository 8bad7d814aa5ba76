#include "gui/LayoutTests.h"

#include <QFontDatabase>
#include <QLabel>
#include <QScrollArea>
#include <QTest>
#include <qcustomplot.h>

#include "gui/GuiText.h"
#include "gui/charts/ChartArea.h"

namespace kmr::guitest {

namespace {

// Every shown row of the chart area read as a person would: the data panel's labels apart,
// whole and inside the panel; the rows at least the minimum height unless the area scrolls; the
// time numbers of the bottom chart inside its widget.
void CheckChartArea(ChartArea& area, const QString& what) {
    area.ReplotNow();
    const ChartAreaPlaces& places = area.Places();
    QVERIFY2(!places.rows.empty(), qPrintable(what));
    const int viewport = area.ScrollArea()->viewport()->height();
    const bool scrolls = area.ScrollArea()->widget()->height() > viewport;
    for (const ChartRowPlace& place : places.rows) {
        const QString where = what + QStringLiteral(", chart %1").arg(place.index + 1);
        QWidget* panel = area.Panel(place.index);
        const QList<QLabel*> labels = area.PanelLabels(place.index);
        for (int a = 0; a < labels.size(); ++a) {
            const QRect ra = labels[a]->geometry();
            QVERIFY2(panel->rect().contains(ra), qPrintable(where + ": " + labels[a]->text() + " leaves the panel"));
            QVERIFY2(labels[a]->sizeHint().width() <= ra.width(),
                     qPrintable(where + ": " + labels[a]->text() + " is cut"));
            for (int b = a + 1; b < labels.size(); ++b)
                QVERIFY2(!ra.intersects(labels[b]->geometry()),
                         qPrintable(where + ": " + labels[a]->text() + " runs into " + labels[b]->text()));
        }
        QVERIFY2(scrolls || area.Row(place.index)->height() >= places.minimumRowHeight, qPrintable(where));
        QVERIFY2(area.Row(place.index)->height() >= places.minimumRowHeight || viewport < places.minimumRowHeight,
                 qPrintable(where + " is below the minimum height"));
        if (!place.bottom) continue;
        QCustomPlot* plot = area.Plot(place.index);
        const QFontMetrics fm(plot->xAxis->tickLabelFont());
        const QVector<double> ticks = plot->xAxis->tickVector();
        const QVector<QString> texts = plot->xAxis->tickVectorLabels();
        QVERIFY2(!ticks.isEmpty(), qPrintable(where));
        const int labelBottom = plot->axisRect()->bottom() + plot->xAxis->tickLabelPadding() + fm.height();
        QVERIFY2(labelBottom <= plot->height(), qPrintable(where + ": time numbers cut at the bottom"));
        for (int k = 0; k < ticks.size(); ++k) {
            const double x = plot->xAxis->coordToPixel(ticks[k]);
            const double half = fm.horizontalAdvance(texts[k]) / 2.0;
            QVERIFY2(x - half >= 0 && x + half <= plot->width(),
                     qPrintable(where + ": time number " + texts[k] + " leaves the chart"));
        }
    }
}

void CheckAtEveryChannelCount(gui::Program& p) {
    gui::MainDlg& w = p.Main();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* area = qobject_cast<ChartArea*>(w.ChartWidget());
    QVERIFY(area != nullptr);
    for (const QSize size : {QSize(712, 380), QSize(1366, 768)}) {
        w.resize(size);
        QTRY_COMPARE(w.size(), size);
        for (int n : {1, 2, 5, 10}) {
            for (int i = 0; i < kCharts; ++i) p.State().Graph.Ch[static_cast<std::size_t>(i)].Use = i < n ? 1 : 0;
            area->Relayout();
            const QString what = QStringLiteral("%1 charts at %2x%3").arg(n).arg(size.width()).arg(size.height());
            CheckChartArea(*area, what);
            if (QTest::currentTestFailed()) return;
            // Ten rows do not fit in the default window: the area scrolls.
            if (n == 10 && size.height() == 380) QVERIFY(area->Places().scrolls);
        }
    }
}

}  // namespace

void LayoutTest::init() { SetUpProgram(); }

void LayoutTest::cleanup() {
    TearDownProgram();
    gui::SetGuiLanguage(Language::English);
    QApplication::setFont(QFont());
}

void LayoutTest::chartsReadAtEveryChannelCountInEnglish() { CheckAtEveryChannelCount(StartOnline()); }

void LayoutTest::chartsReadAtEveryChannelCountInJapanese() {
    // A Japanese desktop's font: taller lines and wider figures than the Latin default.
    // The program is made anew in Japanese.
    TearDownProgram();
    gui::SetGuiLanguage(Language::Japanese);
    SetUpProgram();
    if (QFontDatabase::families().contains(QStringLiteral("Noto Sans CJK JP")))
        QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 10));
    CheckAtEveryChannelCount(StartOnline());
}

}  // namespace kmr::guitest
