// The charts widget against its model, offscreen: rows and heights after a transfer, the scrolling
// strip, the pointer's events reaching the navigation, and the cursor readout.
#include <QtTest>
#include <qcustomplot.h>

#include <vector>

#include "core/app/HandlerGate.h"
#include "core/graphs/ChartModel.h"
#include "gui/charts/ChartsWidget.h"
#include "gui/charts/ChartsWidgetRow.h"

#include <QLabel>
#include <QTableWidget>

using namespace kmr;

namespace {

struct Setup {
    GraphConditions g;
    MeasConditions m;
    ChartModel model;
    std::vector<std::string> units{"x1e-6"};

    Setup() {
        SetGraphDefaults(g);
        SetMeasDefaults(m);
        m.SmpClk = 1.0f;
    }
    // A ramp record (raw i, value i × 0.5 + 1) of n samples on the channels given, as the transfer
    // loads it; the other channels are cleared.
    void Transfer(std::vector<int> channels, std::int32_t n) {
        for (auto& c : g.Ch) c.Use = 0;
        for (int ch = 1; ch <= kChannels; ++ch) m.Ch(ch).OnOff = 0;
        for (int ch : channels) {
            g.Ch[static_cast<std::size_t>(ch - 1)].Use = 1;
            m.Ch(ch).OnOff = 1;
            m.Ch(ch).Coeff = 0.5f;
            m.Ch(ch).Offset = 1.0f;
            m.Ch(ch).Point = 1;
        }
        std::vector<std::int16_t> raw(static_cast<std::size_t>(n));
        for (std::int32_t i = 0; i < n; ++i) raw[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i % 32000);
        Progress progress;
        NullProgressView view;
        RunStatus status = RunStatus::Ok;
        model.SetGraphMode(kMonitorMode);
        model.ResetAllGraphs(g, m, units);  // the start of the measurement
        model.ClearAllSeries();
        model.SetGraphMode(kRecordedMode);
        for (int ch = 1; ch <= kChannels; ++ch) {
            if (m.Ch(ch).OnOff != 1) {
                model.ClearChannelGraph(ch, n, m.SmpClk, g);
                continue;
            }
            model.LoadRecordSeries(ch, raw, n, m, g, progress, view, status);
            model.ComputeDisplayRange(g, n, m.SmpClk);
            model.ShowRecordWindow(ch - 1);
        }
        model.ConfigureGraphAxes(g);
        for (int ch : channels) model.ShowRecordStatistics(ch - 1, n, m);
    }
};

// The area shown at a size, as the main window shows it.
void ShowAt(ChartsWidget& area, int width, int height) {
    area.resize(width, height);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
}

QPoint PixelAt(QCustomPlot* p, double x) {
    return QPoint(static_cast<int>(std::lround(p->xAxis->coordToPixel(x))), p->axisRect()->center().y());
}

}  // namespace

class ChartsWidgetTest : public QObject {
    Q_OBJECT
private slots:
    void transferOfTwoChannelsShowsOnlyTheirRows() {
        Setup s;
        ChartsWidget area(s.model, s.g, s.m);
        ShowAt(area, 900, 640);
        s.Transfer({2, 5}, 200000);
        area.Relayout();
        area.ReplotNow();

        const ChartAreaPlaces& places = area.Places();
        QCOMPARE(places.rows.size(), std::size_t{2});
        QVERIFY(!places.scrolls);
        for (int i = 0; i < kCharts; ++i)
            QCOMPARE(area.Row(i)->isVisible(), i == 1 || i == 4);
        for (const ChartRowPlace& r : places.rows) {
            QCOMPARE(area.Row(r.index)->geometry(), QRect(0, r.top, 900, r.height));
            QCOMPARE(area.Panel(r.index)->width(), r.panelWidth);
        }
        // Channel 5 below channel 2, the two filling the area; the bottom row is taller by the room
        // of the time numbers, which it carries.
        QVERIFY(area.Row(4)->y() >= area.Row(1)->geometry().bottom());
        QVERIFY(area.Row(4)->geometry().bottom() >= 640 - 3);
        QVERIFY(area.Row(4)->height() > area.Row(1)->height());
        QVERIFY(area.Plot(4)->xAxis->tickLabels());
        QVERIFY(!area.Plot(1)->xAxis->tickLabels());
        // The chart holds about two points per pixel column, not the record.
        QCustomPlot* p = area.Plot(1);
        QVERIFY(p->graph(0)->data()->size() <= 2 * p->axisRect()->width());
        QVERIFY(p->graph(0)->data()->size() > p->axisRect()->width());
        // The chart's own image (its columns written straight into it, its margins filled around
        // its area) has the pixels the library's painter sets when it draws the chart elsewhere,
        // its numbers written as there (not from the cache, whose smoothing differs).
        for (QCustomPlot* plot : {p, area.Plot(4)}) {
            plot->setPlottingHint(QCP::phCacheLabels, false);
            plot->replot();
            const QImage own = plot->grab().toImage().convertToFormat(QImage::Format_RGB32);
            QCOMPARE(own, plot->toPixmap(plot->width(), plot->height()).toImage().convertToFormat(QImage::Format_RGB32));
        }
    }

    void stripScrollsByAppendingAndTrimming() {
        Setup s;
        for (auto& c : s.g.Ch) c.Use = 1;
        s.g.X.Xspace = 10;
        s.g.X.Xpich = 5;
        ChartsWidget area(s.model, s.g, s.m);
        ShowAt(area, 800, 900);
        s.model.ResetAllGraphs(s.g, s.m, s.units);
        std::array<float, kCharts> v{};
        v[9] = kNoValue;
        auto tick = [&](int n) {
            for (int c = 0; c < 9; ++c) v[static_cast<std::size_t>(c)] = static_cast<float>(n % 100 + c);
            s.model.UpdateMonitorGraphs(s.g, s.m, static_cast<std::uint32_t>(n * 50), v);
        };
        tick(0);
        tick(1);
        const int loads = area.Counters(0).fullLoads;
        for (int n = 2; n < 500; ++n) {
            tick(n);
            QCPGraph* graph = area.Plot(0)->graph(0);
            QCOMPARE(static_cast<std::size_t>(graph->data()->size()), s.model.PointCount(0, 1));
            QCOMPARE((graph->data()->constEnd() - 1)->key, s.model.X(0, 1, s.model.PointCount(0, 1) - 1));
            QCOMPARE(graph->data()->constBegin()->key, s.model.X(0, 1, 0));
        }
        QCOMPARE(area.Counters(0).fullLoads, loads);  // no tick took the strip anew
        QCOMPARE(area.Counters(0).trims, 3);  // 25 s of ticks: the window moved at 10, 15 and 20 s
        QCOMPARE(area.Counters(0).appended, 500LL - 1);
        QCOMPARE(area.Plot(0)->xAxis->range().upper, s.g.X.XscaleMaxM);
        // The channel without a value is a gap, not a line at the marker.
        QVERIFY(std::isnan((area.Plot(9)->graph(0)->data()->constEnd() - 1)->value));
        // Ticks come faster than the paint tick: repaints are fewer than ticks.
        QTRY_VERIFY(area.Counters(0).replots >= 1);
        QVERIFY(area.Counters(0).replots < 100);
    }

    void denseStripKeepsTheExtremesOfEachColumnOnly() {
        // An hour-wide strip: about ninety ticks fall into each pixel column.
        Setup s;
        s.g.X.Xspace = 3600;
        ChartsWidget area(s.model, s.g, s.m);
        ShowAt(area, 800, 900);
        s.model.ResetAllGraphs(s.g, s.m, s.units);
        std::array<float, kCharts> v{};
        constexpr int kTicks = 2000;  // values -500 .. 508, every one of them
        for (int n = 0; n < kTicks; ++n) {
            v[0] = static_cast<float>((n * 7919) % 1009) - 500.0f;
            s.model.UpdateMonitorGraphs(s.g, s.m, static_cast<std::uint32_t>(n * 50), v);
        }
        QCPGraphDataContainer& drawn = *area.Plot(0)->graph(0)->data();
        const int columns =
            static_cast<int>(std::ceil(kTicks * 0.05 * area.Plot(0)->axisRect()->width() / 3600.0)) + 1;
        QVERIFY(drawn.size() <= 2 * columns);  // at most two drawn points per pixel column
        const auto [lo, hi] =
            std::minmax_element(drawn.constBegin(), drawn.constEnd(),
                                [](const QCPGraphData& a, const QCPGraphData& b) { return a.value < b.value; });
        QCOMPARE(lo->value, -500.0);  // no peak lost
        QCOMPARE(hi->value, 508.0);
    }

    void cursorReadoutOfARamp() {
        // Where the user's locale writes a decimal comma, the time numbers keep the point of every
        // other number of the program.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto systemLocale = qScopeGuard([] { QLocale::setDefault(QLocale::system()); });
        Setup s;
        ChartsWidget area(s.model, s.g, s.m);
        ShowAt(area, 800, 600);
        s.Transfer({1, 3}, 200);  // 0 .. 0.199 s
        area.ReplotNow();
        QCustomPlot* p = area.Plot(0);
        QTest::mouseClick(p, Qt::LeftButton, {}, PixelAt(p, 0.050));
        QTest::mouseClick(p, Qt::LeftButton, Qt::ShiftModifier, PixelAt(p, 0.150));
        QCOMPARE(area.Cursors().a, 0.050);
        QCOMPARE(area.Cursors().b, SampleTime(150, 1.0f, 0.001));
        QCOMPARE(area.CursorText(2), QStringLiteral("A 26.0\nB 76.0\nB-A 50.0\ndt 0.100 s"));
        // The readout below the charts: channels 1 and 3; between the cursors 26.0 .. 76.0, mean 51.0.
        QVERIFY(area.CursorTable()->isVisible());
        QCOMPARE(area.CursorTable()->rowCount(), 2);
        QStringList row;
        for (int c = 0; c < 6; ++c) row << area.CursorTable()->item(1, c)->text();
        QCOMPARE(row, QStringList({"26.0", "76.0", "50.0", "26.0", "76.0", "51.0"}));
        QCOMPARE(area.CursorTimesLabel()->text(), QStringLiteral("A  0.050 s     B  0.150 s     dt  0.100 s"));
        const QString times = area.Plot(2)->xAxis->tickVectorLabels().join(' ');
        QVERIFY2(times.contains('.') && !times.contains(','), qPrintable(times));
        // Pointer reading for the status strip.
        QSignalSpy spy(&area, &ChartsWidget::pointerReading);
        QTest::mouseMove(p, PixelAt(p, 0.1));
        QVERIFY(!spy.isEmpty());
        QCOMPARE(spy.last().at(0).toString(), QStringLiteral("Ch. 1  t = 0.100 s  y = 51.0 x1e-6"));
        // The wheel zooms the record.
        const QPoint at = PixelAt(p, 0.1);
        QWheelEvent wheel(at, p->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(p, &wheel);
        QVERIFY(area.Zoomed());
        QVERIFY(p->xAxis->range().contains(0.1) && p->xAxis->range().size() < 0.17);
    }

    void recordLoadedBeforeShowingIsDrawnAtTheChartsWidth() {
        Setup s;
        ChartsWidget area(s.model, s.g, s.m);
        area.resize(800, 600);
        s.Transfer({1, 2}, 100000);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        QCustomPlot* p = area.Plot(0);
        const int width = p->axisRect()->width();
        QVERIFY(width > 400);
        QVERIFY(p->graph(0)->data()->size() > width);
        QVERIFY(p->graph(0)->data()->size() <= 2 * width + 2);
    }

    // An automatic axis too low for two numbers at the first round step past the least one still
    // shows two, as far apart as the least step (the ranges a ten-channel record gave on a laptop).
    void automaticAxisNumbersStandClearAndReadApart() {
        QCustomPlot plot;
        for (const AxisRange r : {AxisRange{-2167, -601}, AxisRange{-1395, 413}, AxisRange{0.13, 0.91}}) {
            SetAxis(plot.yAxis, AxisSettings{}, r, 1, 0.64);
            plot.replot();
            const QVector<double> t = plot.yAxis->tickVector();
            std::vector<double> inside;
            std::copy_if(t.begin(), t.end(), std::back_inserter(inside), [&r](double v) { return v >= r.lo && v <= r.hi; });
            QVERIFY2(inside.size() >= 2, qPrintable(QString::number(r.lo)));
            QVERIFY(inside[1] - inside[0] >= 0.64 * r.width() - 1e-9);
        }
        // A time axis zoomed to four samples near the end of the longest record: no two numbers
        // read alike.
        SetAxis(plot.xAxis, AxisSettings{}, AxisRange{459.7155, 459.7195}, 6, 0.0);
        plot.replot();
        const QVector<QString> labels = plot.xAxis->tickVectorLabels();
        const QVector<double> ticks = plot.xAxis->tickVector();
        QVERIFY(labels.size() >= 4);
        QCOMPARE(QSet<QString>(labels.begin(), labels.end()).size(), labels.size());
        for (int k = 0; k < labels.size(); ++k)
            QVERIFY2(std::abs(labels[k].toDouble() - ticks[k]) < 1e-9, qPrintable(labels[k]));
    }

    void aSetSpacingHasAGridLineAtEveryDivisionHoweverFewAreNumbered() {
        Setup s;
        s.g.X.XAutoScale = 0;
        s.g.X.XscaleMinG = 0.2;
        s.g.X.XscaleMaxG = 0.5;
        s.g.X.XscaleDivG = 10;
        ChannelGraphCondition& y = s.g.Ch[0];
        y.AutoScale = 0;
        y.YscaleMax = 0.5;
        y.YscaleMin = -0.5;
        y.YscaleDiv = 5;
        ChartsWidget area(s.model, s.g, s.m);
        // Numbers on the lines every few divisions at the narrow width, more of them at the wide
        // (how many the font allows).
        for (const int width : {420, 1600}) {
            ShowAt(area, width, 600);
            s.Transfer({1}, 1000);
            area.Relayout();
            area.ReplotNow();
            for (QCPAxis* axis : {area.Plot(0)->xAxis, area.Plot(0)->yAxis}) {
                const bool x = axis == area.Plot(0)->xAxis;
                const double lo = x ? 0.2 : -0.5, spacing = x ? 0.03 : 0.2;
                const int divisions = x ? 10 : 5;
                QVector<double> numbered, between;
                QVector<QString> labels;
                axis->ticker()->generate(axis->range(), QLocale::c(), 'f', 2, numbered, &between, &labels);
                QVector<double> lines = numbered + between;
                std::sort(lines.begin(), lines.end());
                QCOMPARE(lines.size(), divisions + 1);
                for (int k = 0; k <= divisions; ++k) QVERIFY(std::abs(lines[k] - (lo + k * spacing)) < 1e-9);
                QVERIFY(axis->grid()->subGridVisible());
                QCOMPARE(labels.front(), x ? QStringLiteral("0.20") : QStringLiteral("-0.50"));
            }
            // Ten divisions numbered every two or five: both ends carry a number.
            QCPAxis* time = area.Plot(0)->xAxis;
            QVERIFY2(time->tickVector().size() >= 2 && time->tickVector().back() == 0.5,
                     qPrintable(time->tickVectorLabels().join(' ')));
        }
        // Zoomed to less than one division, the time axis still carries numbers and grid lines.
        area.ShowTimeRange(0.301, 0.32);
        area.ReplotNow();
        QCPAxis* time = area.Plot(0)->xAxis;
        const QVector<double> t = time->tickVector();
        const auto inView = std::count_if(t.begin(), t.end(), [](double v) { return v >= 0.301 && v <= 0.32; });
        QVERIFY2(inView >= 2, qPrintable(time->tickVectorLabels().join(' ')));
        area.ResetView();
        area.ReplotNow();
        QVERIFY(!area.Plot(0)->xAxis->ticker().dynamicCast<QCPAxisTickerFixed>().isNull());  // the set numbering again
    }

    void zoomKeyDuringAHandlerIsRefusedByTheGate() {
        Setup s;
        HandlerGate gate;
        ChartsWidget area(s.model, s.g, s.m);
        area.SetGate(&gate);
        ShowAt(area, 800, 600);
        s.Transfer({1}, 200);
        area.ReplotNow();
        area.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&area));
        area.Plot(0)->setFocus();
        const auto plus = [] {
            QCoreApplication::postEvent(QApplication::focusWidget(),
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_Plus, Qt::NoModifier, "+"));
        };
        // A handler waiting for the bus delivers what came meanwhile: the key must not act inside it.
        gate.Input([&] {
            plus();
            QCoreApplication::processEvents();
            QVERIFY(!area.Zoomed());
        });
        QVERIFY(!area.Zoomed());
        plus();
        QCoreApplication::processEvents();
        QVERIFY(area.Zoomed());
        // A repaint is no input: the tick a window's close left held for after its event is not
        // run inside the painting (it would wait for the instrument there).
        int ticks = 0;
        gate.InputKeepingHeld([&] { gate.Tick(2, [&] { ++ticks; }, {}); });
        area.Plot(0)->repaint();
        QCOMPARE(ticks, 0);
        gate.RunHeldNow();
        QCOMPARE(ticks, 1);
    }
};

QTEST_MAIN(ChartsWidgetTest)
#include "ChartsWidgetTest.moc"
