#include "gui/WindowTests.h"

#include <numeric>

#include <QFile>
#include <QFileDialog>
#include <QAbstractItemView>
#include <QFontDatabase>
#include <QImage>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QScrollArea>
#include <QStyle>
#include <qcustomplot.h>
// On Windows the system headers qcustomplot.h brings in make MessageBox a macro.
#ifdef MessageBox
#undef MessageBox
#endif

#include "gui/BoxAnswerer.h"
#include "gui/GraphCondDlg.h"
#include "gui/GuiText.h"
#include "gui/VersionDlg.h"
#include "gui/charts/ChartsWidget.h"

namespace kmr::guitest {

namespace {

// Every shown row of the chart area read as a person would: the data panel's labels apart,
// whole and inside the panel; the rows at least the minimum height unless the area scrolls; the
// time numbers of the bottom chart inside its widget.
void CheckCharts(ChartsWidget& area, const QString& what) {
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
        // Two value numbers at least, which never run into each other, however low the row.
        QCPAxis* y = area.Plot(place.index)->yAxis;
        const QVector<double> yTicks = y->tickVector();
        const int line = QFontMetrics(y->tickLabelFont()).height();
        QVERIFY2(std::count_if(yTicks.begin(), yTicks.end(), [y](double t) { return y->range().contains(t); }) >= 2,
                 qPrintable(where + ": fewer than two value numbers"));
        for (qsizetype k = 1; k < yTicks.size(); ++k)
            if (y->range().contains(yTicks[k]) && y->range().contains(yTicks[k - 1]))
                QVERIFY2(std::abs(y->coordToPixel(yTicks[k]) - y->coordToPixel(yTicks[k - 1])) >= line,
                         qPrintable(where + ": value numbers run into each other"));
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
    auto* area = qobject_cast<ChartsWidget*>(w.ChartWidget());
    QVERIFY(area != nullptr);
    // The widest numbers a panel shows: four decimals and a negative strain in the ten thousands.
    for (int ch = 1; ch <= kChannels; ++ch) p.State().Meas.Ch(ch).Point = 4;
    std::array<float, kCharts> wide{};
    wide.fill(-32768.0f);
    p.Core().chart.UpdateMonitorGraphs(p.State().Graph, p.State().Meas, 100, wide);
    // Every other chart on a set scale of four divisions.
    for (std::size_t i = 0; i < kCharts; i += 2) {
        ChannelGraphCondition& ch = p.State().Graph.Ch[i];
        ch.AutoScale = 0;
        ch.YscaleMax = 500;
        ch.YscaleMin = -1500;
        ch.YscaleDiv = 4;
    }
    p.Core().chart.ConfigureGraphAxes(p.State().Graph);
    // Strain, the two voltages and the units widest in the panel font, among the ten rows.
    const std::vector<std::string>& units = p.State().Vocab.units;
    const QFontMetrics unitFont(area->Panel(0)->findChild<QLabel*>(QStringLiteral("value1_4"))->font());
    std::vector<int> byWidth(units.size());
    std::iota(byWidth.begin(), byWidth.end(), 0);
    std::stable_sort(byWidth.begin(), byWidth.end(), [&](int a, int b) {
        return unitFont.horizontalAdvance(QString::fromStdString(units[static_cast<std::size_t>(a)])) >
               unitFont.horizontalAdvance(QString::fromStdString(units[static_cast<std::size_t>(b)]));
    });
    const std::array<int, kChannels> unitOf{0, 15, 16, byWidth[0], byWidth[1], byWidth[2], 0, 0, 0, 0};
    for (int ch = 1; ch <= kChannels; ++ch) p.State().Meas.Ch(ch).Unit = static_cast<std::int16_t>(unitOf[ch - 1]);
    p.Core().chart.ShowChannelUnits(p.State().Meas, units);
    for (const QSize size : {QSize(712, 380), QSize(1366, 768)}) {
        w.resize(size);
        QTRY_COMPARE(w.size(), size);
        for (int n : {1, 2, 5, 10}) {
            for (int i = 0; i < kCharts; ++i) p.State().Graph.Ch[static_cast<std::size_t>(i)].Use = i < n ? 1 : 0;
            area->Relayout();
            const QString what = QStringLiteral("%1 charts at %2x%3").arg(n).arg(size.width()).arg(size.height());
            CheckCharts(*area, what);
            if (QTest::currentTestFailed()) return;
            // Each shown unit is the channel's unit name, whole in its cell.
            for (const ChartRowPlace& place : area->Places().rows) {
                const auto* cell = area->Panel(place.index)->findChild<QLabel*>(
                    QStringLiteral("value%1_4").arg(place.index + 1));
                const QString unit = QString::fromStdString(units[static_cast<std::size_t>(unitOf[static_cast<std::size_t>(place.index)])]);
                QCOMPARE(cell->text(), unit);
                QVERIFY2(QFontMetrics(cell->font()).horizontalAdvance(unit) <= cell->contentsRect().width(),
                         qPrintable(what + ": unit " + unit + " is cut"));
            }
            // A hidden channel's wide unit takes no width from the charts shown.
            if (n == 2) {
                const int panel = area->Panel(0)->width();
                for (int ch = 3; ch <= kChannels; ++ch) p.State().Meas.Ch(ch).Unit = 0;
                p.Core().chart.ShowChannelUnits(p.State().Meas, units);
                area->Relayout();
                QCOMPARE(area->Panel(0)->width(), panel);
                for (int ch = 3; ch <= kChannels; ++ch) p.State().Meas.Ch(ch).Unit = static_cast<std::int16_t>(unitOf[ch - 1]);
                p.Core().chart.ShowChannelUnits(p.State().Meas, units);
            }
            // Ten rows do not fit in the default window: the area scrolls.
            if (n == 10 && size.height() == 380) QVERIFY(area->Places().scrolls);
        }
    }
}

// A key as a person types it: to whatever has the focus.
void Press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* to = QApplication::focusWidget();
    QVERIFY(to != nullptr);
    QTest::keyClick(to, static_cast<Qt::Key>(key), mods);
}

// The window active with a widget focused, as after a click into it.
void Focus(QWidget& w) {
    w.activateWindow();
    QTRY_VERIFY(QApplication::focusWidget() != nullptr && QApplication::focusWidget()->window() == &w);
}

// The widgets Tab visits in `window`, from the focused one until it comes round again (a table
// that moves between its cells with Tab counts once).
QList<QWidget*> TabChain(QWidget* window) {
    QList<QWidget*> chain;
    for (int presses = 0; presses < 400; ++presses) {
        QWidget* f = QApplication::focusWidget();
        if (f == nullptr || f->window() != window) break;
        if (chain.isEmpty() || chain.back() != f) {
            if (chain.contains(f)) break;
            chain << f;
        }
        QTest::keyClick(f, Qt::Key_Tab);
    }
    return chain;
}

// True when Tab going from `a` to `b` keeps to the reading order. The two are compared where they
// part: as the two parts of the window that hold them (group boxes or columns side by side are
// read one after the other), or as themselves in the same part. `b` comes after `a` on the same
// line (the two overlap in height) further right, or on a later line.
bool ReadsOn(QWidget* a, QWidget* b) {
    const auto upFromWindow = [](QWidget* w) {
        QList<QWidget*> line;
        for (; w != nullptr && !w->isWindow(); w = w->parentWidget()) line.prepend(w);
        return line;
    };
    const QList<QWidget*> la = upFromWindow(a), lb = upFromWindow(b);
    qsizetype k = 0;
    while (k + 1 < la.size() && k + 1 < lb.size() && la[k] == lb[k]) ++k;
    const auto place = [](const QWidget* w) { return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size()); };
    const QRect ra = place(la[k]), rb = place(lb[k]);
    const bool sameLine = rb.top() < ra.bottom() && ra.top() < rb.bottom();
    return sameLine ? rb.left() > ra.left() : rb.top() > ra.top();
}

}  // namespace

void LayoutTest::cleanup() {
    TearDownProgram();
    gui::SetGuiLanguage(Language::English);
    QApplication::setFont(QFont());
}

void LayoutTest::chartsReadAtEveryChannelCountInEnglishAndJapanese() {
    CheckAtEveryChannelCount(StartOnline());
    if (QTest::currentTestFailed()) return;
    // A Japanese desktop's font: taller lines and wider figures than the Latin default.
    // The program is made anew in Japanese.
    TearDownProgram();
    gui::SetGuiLanguage(Language::Japanese);
    SetUpProgram();
    if (QFontDatabase::families().contains(QStringLiteral("Noto Sans CJK JP")))
        QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 10));
    CheckAtEveryChannelCount(StartOnline());
}

void LayoutTest::qtsOwnDialogTextsFollowTheProgramsLanguage() {
    // A file dialog Qt draws itself (where the desktop offers none) labels its folder box in the
    // program's language, and in English again after a switch back.
    const auto lookIn = [] {
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        const auto* label = dialog.findChild<QLabel*>("lookInLabel");
        return label != nullptr ? label->text() : QString();
    };
    QCOMPARE(lookIn(), QStringLiteral("Look in:"));
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm"))
        QSKIP("Qt's Japanese texts (qtbase_ja.qm) are not installed here");
    gui::SetGuiLanguage(Language::Japanese);
    const QString japanese = lookIn();
    QVERIFY2(!japanese.isEmpty() && japanese != QStringLiteral("Look in:"), qPrintable(japanese));
    gui::SetGuiLanguage(Language::English);
    QCOMPARE(lookIn(), QStringLiteral("Look in:"));
}

void LayoutTest::functionKeysAndChartKeysClicksAndDragsReachTheirPresenters() {
    gui::Program& p = StartOnline();
    gui::MainDlg& w = p.Main();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Channel 1's values have the fifteen characters shown before exponent form.
    p.State().Meas.Ch(1).Offset = -9.0e7f;
    p.State().Meas.Ch(1).Point = 5;
    // F5 runs the simulated instrument to its end (a record of ramps shown after). Start, which had
    // the focus, has it again after the run and its transfer, for the next Space.
    Focus(w);
    auto* start = w.findChild<QPushButton*>(QStringLiteral("cmdMeasKmr"));
    start->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(start));
    const std::size_t started = bus_->Commands().size();
    Press(Qt::Key_F5);
    QVERIFY(p.State().RunActive());
    QCOMPARE(Count(Since(bus_->Commands(), started), "TRG"), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!p.State().RunActive() && !p.State().LastDataFile.empty(), 20000);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(start));
    Focus(w);
    // Where the file went, whole.
    QCOMPARE(w.Status()->text(), gui::T(txt::DataFileStatus).arg(QString::fromStdString(p.State().LastDataFile)));
    auto* area = qobject_cast<ChartsWidget*>(w.ChartWidget());
    QCustomPlot* plot = area->Plot(0);
    plot->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(plot));
    Press(Qt::Key_Right);
    Press(Qt::Key_Left, Qt::ShiftModifier);
    QVERIFY(area->Cursors().hasA && area->Cursors().hasB);
    QTRY_VERIFY(area->CursorTable()->isVisible());
    QCOMPARE(area->CursorTable()->rowCount(), static_cast<int>(area->Places().rows.size()));
    // Every number of the readout whole in its column, at the window's default width.
    QTableWidget* table = area->CursorTable();
    QVERIFY(table->item(0, 0)->text().size() == 15);
    const int margin = 2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1);
    for (int r = 0; r < table->rowCount(); ++r)
        for (int c = 0; c < table->columnCount(); ++c)
            QVERIFY2(table->fontMetrics().horizontalAdvance(table->item(r, c)->text()) + margin <= table->columnWidth(c),
                     qPrintable(table->item(r, c)->text() + " is cut"));
    Press(Qt::Key_Plus);  // (out of the configured scale there is no more to see)
    QVERIFY(area->Zoomed());
    const CursorTimes kept = area->Cursors();
    const QPoint at = plot->axisRect()->center();
    QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(plot, Qt::LeftButton, Qt::NoModifier, at);
    QVERIFY(!area->Zoomed());
    QVERIFY(area->Cursors() == kept);
    // A rectangle zooms the record's values; monitoring starts on the configured scale.
    const QCPRange configured = plot->yAxis->range();
    const QRect r = plot->axisRect()->rect();
    QTest::mousePress(plot, Qt::RightButton, Qt::NoModifier, r.center() - QPoint(20, 10));
    QTest::mouseMove(plot, r.center() + QPoint(20, 10));
    QTest::mouseRelease(plot, Qt::RightButton, Qt::NoModifier, r.center() + QPoint(20, 10));
    QVERIFY(plot->yAxis->range().size() < configured.size() / 2);
    const std::size_t before = bus_->Commands().size();
    Press(Qt::Key_F6);
    QVERIFY(w.MoniTimer().isActive());
    QVERIFY(!area->Zoomed());
    const AxisRange y = ConfiguredYRange(p.Core().chart, 0);
    QCOMPARE(plot->yAxis->range(), QCPRange(y.lo, y.hi));
    QTRY_VERIFY(bus_->Commands().size() > before);
    Press(Qt::Key_F6);
    QVERIFY(!w.MoniTimer().isActive());
}

// (Escape in the folder picker: FileSafetyTest's picker test.)
void LayoutTest::tabFollowsTheReadingOrderEscapeClosesEveryFormAndEnterPressesOk() {
    gui::Program& p = StartOnline();
    gui::MainDlg& w = p.Main();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const std::size_t before = bus_->Commands().size();
    // Every form and the About window: Tab goes round in reading order, so exactly one step (from
    // the last back to the first) goes back; Escape closes it and gives the main window back.
    for (const char* item : {"mnuFileItem0", "mnuFileItem2", "mnuFileItem3", "mnuFileItem5", "mnuMeasItem2",
                             "mnuOptionItem0", "mnuOptionItem2", "mnuOptionItem4"}) {
        QWidget* form = item == std::string("mnuOptionItem4") ? static_cast<QWidget*>(OpenFromMenu<gui::VersionDlg>(w, item))
                                                              : OpenFromMenu<gui::FormDlg>(w, item);
        QVERIFY2(form != nullptr, item);
        form->activateWindow();
        QTRY_VERIFY2(QApplication::focusWidget() != nullptr && QApplication::focusWidget()->window() == form, item);
        // The focus shows from the start, before any Tab: the control that has it looks different
        // (a file list marks its current row, and an empty one has none; the default button is
        // marked as such either way).
        QWidget* first = QApplication::focusWidget();
        const QImage focused = first->grab().toImage();
        first->clearFocus();
        const QImage plain = first->grab().toImage();
        first->setFocus(Qt::OtherFocusReason);
        const auto* button = qobject_cast<QPushButton*>(first);
        QVERIFY2(focused != plain || qobject_cast<QAbstractItemView*>(first) != nullptr ||
                     (button != nullptr && button->isDefault()),
                 qPrintable(QString(item) + ": " + first->objectName()));
        const QList<QWidget*> chain = TabChain(form);
        QStringList back;
        for (qsizetype i = 0; i < chain.size(); ++i) {
            QWidget* next = chain[(i + 1) % chain.size()];
            if (!ReadsOn(chain[i], next)) back << chain[i]->objectName() + " > " + next->objectName();
        }
        QVERIFY2(back.size() == 1, qPrintable(QString(item) + ": " + back.join(", ")));
        Press(Qt::Key_Escape);
        QTRY_VERIFY2(w.findChild<gui::FormDlg*>() == nullptr && w.findChild<gui::VersionDlg*>() == nullptr, item);
        QVERIFY(w.menuBar()->isEnabled());
    }
    // Nothing was set in the instrument (the check table only reads; the output calibration
    // only ends its output).
    for (const std::string& c : Since(bus_->Commands(), before))
        QVERIFY2(c.rfind("CLK", 0) != 0 && c.rfind("MRY", 0) != 0 && c.rfind("CAL", 0) != 0, c.c_str());

    // Enter on a check box of the graph form presses OK, its default button.
    auto* form = OpenFromMenu<gui::GraphCondDlg>(w, "mnuFileItem3");
    QVERIFY(form != nullptr);
    QVERIFY(form->findChild<QPushButton*>("cmdButton1")->isDefault());
    QWidget* notABox = nullptr;
    for (QWidget* c : form->findChildren<QWidget*>())
        if (c->focusPolicy() & Qt::TabFocus && c->isVisible() && c->isEnabled() && !qobject_cast<QLineEdit*>(c) &&
            !qobject_cast<QPushButton*>(c))
            notABox = c;
    QVERIFY(notABox != nullptr);
    notABox->setFocus();
    BoxAnswerer boxes;
    QTest::keyClick(notABox, Qt::Key_Return);
    QTRY_VERIFY(w.findChild<gui::GraphCondDlg*>() == nullptr);
}

// A path too long for the strip is shortened in its middle; the count kept and the file's name
// stay, in English and in Japanese, where the path sits inside the sentence. A strip too narrow
// for that keeps the count and the file's name (the words after the path go first).
void LayoutTest::theStatusStripShortensAPathBeforeWhatIsSaidAroundIt() {
    const QString path = "/home/engineer/Documents/KMR-5300/Data/bridge tests/2026 winter/beam_4.csv";
    const QFontMetrics fm(QApplication::font());
    for (Language lang : {Language::English, Language::Japanese}) {
        const QString text = QString::fromStdString(
            TextWith(lang, txt::StoppedEarly, {"400", "1000", path.toStdString()}));
        const int width = fm.horizontalAdvance(text) - fm.horizontalAdvance(path) / 2;
        const QString shown = gui::FittedStatusText(text, fm, width);
        QVERIFY2(fm.horizontalAdvance(shown) <= width, qPrintable(shown));
        const qsizetype at = text.indexOf(path);
        QVERIFY2(shown.startsWith(text.left(at) + "/home/"), qPrintable(shown));
        QVERIFY2(shown.endsWith("beam_4.csv" + text.mid(at + path.size())), qPrintable(shown));
        const QString narrow =
            gui::FittedStatusText(text, fm, fm.horizontalAdvance(text.left(at) + "\u2026/beam_4.csv"));
        QVERIFY2(narrow.contains(lang == Language::English ? "400 of 1000" : "400/1000"), qPrintable(narrow));
        QCOMPARE(narrow, text.left(at) + "\u2026/beam_4.csv");
        // Narrower than the words before the path (the Japanese strip of the default window): the
        // count and the file's name, nothing else cut in two.
        const int tight = fm.horizontalAdvance(text.left(at)) * 2 / 3 + fm.horizontalAdvance("/beam_4.csv");
        const QString least = gui::FittedStatusText(text, fm, tight);
        QVERIFY2(fm.horizontalAdvance(least) <= tight, qPrintable(least));
        QVERIFY2(least.endsWith("\u2026/beam_4.csv") && least.contains(lang == Language::English ? "400 of 1000" : "400/1000"),
                 qPrintable(least));
    }
    const QString text = "Data file: " + path;
    QCOMPARE(gui::FittedStatusText(text, fm, 10000), text);
}

}  // namespace kmr::guitest
