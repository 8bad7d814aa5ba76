#include "gui/WindowTests.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <functional>
#include <memory>
#include <cerrno>
#include <filesystem>
#include <thread>

#include "core/datafiles/DataFilesTestSupport.h"
#include "core/datafiles/FileIo.h"
#include "gui/BoxAnswerer.h"
#include "gui/GraphCondDlg.h"
#include "gui/GuiText.h"
#include "gui/RecordActions.h"
#include "gui/SingleInstance.h"
#include "gui/charts/ChartsWidget.h"
#include "support/TempDir.h"

namespace kmr::guitest {

namespace {

QByteArray FileBytes(const QString& path) {
    return QByteArray::fromStdString(testing::ReadAll(path.toStdString()));
}

// Answers the export-range window once it shows: the span between the cursors, channel `untick`
// left out, the format at `format` in its list.
void AnswerExportRange(QTimer& timer, const char* untick, int format) {
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&timer, untick, format] {
        auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dlg == nullptr || dlg->objectName() != "ExportRangeDlg") return;
        timer.stop();
        dlg->findChild<QRadioButton*>("optCursorRange")->setChecked(true);
        dlg->findChild<QCheckBox*>(untick)->setChecked(false);
        dlg->findChild<QComboBox*>("cboFormat")->setCurrentIndex(format);
        dlg->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    timer.start();
}

// Drops the file on the window as a file manager does; false when the window refuses it. The drop
// itself (after the drag has entered) is made by `when`, at once without it.
bool Drop(QWidget& target, const QString& path, const std::function<void(std::function<void()>)>& when = {}) {
    auto mime = std::make_shared<QMimeData>();
    mime->setUrls({QUrl::fromLocalFile(path)});
    const QPoint at(target.width() / 2, target.height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    if (!enter.isAccepted()) return false;
    const auto drop = [&target, mime, at] {
        QDropEvent event(QPointF(at), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &event);
    };
    if (when)
        when(drop);
    else
        drop();
    return true;
}

}  // namespace

std::string RecordWindowTest::WriteRecord(const std::string& name, std::int32_t n) {
    MeasConditions m = testing::ConditionsWith({1, 2, 4}, n);
    m.SmpClk = 1.0f;
    m.Ch(2).Coeff = 0.25f;
    m.Ch(2).Offset = 3.0f;
    std::vector<std::vector<std::int16_t>> s(3);
    for (std::int32_t i = 0; i < n; ++i)
        for (int k = 0; k < 3; ++k) s[static_cast<std::size_t>(k)].push_back(static_cast<std::int16_t>((i * (k + 3)) % 4000 - 2000));
    const std::string path = home_->dir().File(name);
    if (!testing::WriteKmr(path, m, n, s)) return {};
    // As the program names it (the system's separators).
    return gui::CorePath(QString::fromStdString(path));
}

// Opened from the menu, a record shows with its conditions; a run forgets it, and while a run is
// on no record can be opened.
void RecordWindowTest::openFromTheMenuShowsTheRecordAndItsConditionsUntilARun() {
    gui::Program& p = StartOnlineStill();  // a recording runs until Stop
    const std::string path = WriteRecord("menu.kmr");
    gui::RecordActions* records = p.Main().Records();
    QVERIFY(records != nullptr);
    QString title;  // a window's title: no menu marks ("&", "...")
    int chosen = 0;
    records->chooseOpenFile = [&](const QString& caption, const QString&, const QString&) {
        title = caption;
        ++chosen;
        return QString::fromStdString(path);
    };
    // A narrow window on a screen with room beside it widens by the panel: the charts keep their width.
    records->screenSpace = [] { return QRect(0, 0, 1920, 1040); };
    const int least = std::max(p.Main().minimumWidth(), p.Main().minimumSizeHint().width());
    p.Main().resize(least, p.Main().height());
    auto* area = p.Main().findChild<kmr::ChartsWidget*>();
    QVERIFY(area != nullptr);
    QTRY_COMPARE(p.Main().width(), least);
    const int narrow = p.Main().width(), chartsWidth = area->width();
    QVERIFY(Choose(p.Main(), "mnuFileOpen"));
    QTRY_COMPARE(p.Main().windowTitle(), QString("KMR-5300 - menu.kmr"));
    QCOMPARE(title, QString("Open Data File"));
    QVERIFY(p.State().OpenedRecord.has_value());
    QCOMPARE(area->width(), chartsWidth);
    QVERIFY(p.Main().width() >= narrow + records->ConditionsPanel()->width());
    // The conditions beside the charts.
    QDockWidget* dock = records->ConditionsPanel();
    QTRY_VERIFY(dock->isVisible());
    // Filled once the charts are painted.
    const QTextBrowser* conditions = dock->findChild<QTextBrowser*>("txtRecordConditions");
    QTRY_VERIFY(conditions->toPlainText().contains("Trigger Mode"));
    // The record's own values (the text itself: StoredRecordText).
    for (const char* piece : {"Manual Trigger", "1 ms", "3000", "0.25"})
        QVERIFY2(conditions->toPlainText().contains(piece), piece);
    QTRY_VERIFY(area->Counters(1).replots > 0);
    QVERIFY(p.Core().chart.ShowsRecord(1));
    // A run forgets the record: the panel goes.
    Choose(p.Main(), "mnuMeasItem0");  // monitor on
    QTRY_VERIFY(!dock->isVisible());
    Choose(p.Main(), "mnuMeasItem0");

    QVERIFY(Choose(p.Main(), "mnuMeasItem4"));
    QVERIFY(p.State().RunActive());
    // Ctrl+O before the menu has greyed the item: refused at once, no file window over the run.
    BoxAnswerer boxes;  // the refusal, then the early stop's message
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::ControlModifier);
    QTRY_COMPARE(boxes.seen.size(), std::size_t(1));
    QCOMPARE(boxes.seen[0].text, QString("A measurement is running: open the stored record when it has ended."));
    QCOMPARE(chosen, 1);  // the open before the run only
    QVERIFY(!Choose(p.Main(), "mnuFileOpen"));  // greyed
    QVERIFY(Choose(p.Main(), "mnuMeasItem4"));  // stop
    QTRY_VERIFY(!p.State().RunActive());
}

void RecordWindowTest::openFromTheCommandLineAndByADropRememberedAcrossARestart() {
    const std::string first = WriteRecord("line.kmr");
    const std::string second = WriteRecord("R&D dropped.kmr");
    gui::ProgramOptions o = HomeOptions();
    o.openFile = first;
    BoxAnswerer boxes;
    QCOMPARE(program_->Start(o), StartupOutcome::Online);
    QCOMPARE(program_->Main().windowTitle(), QString("KMR-5300 - line.kmr"));
    QVERIFY(boxes.seen.empty());

    QVERIFY(Drop(program_->Main(), QString::fromStdString(second)));
    QTRY_COMPARE(program_->Main().windowTitle(), QString("KMR-5300 - R&D dropped.kmr"));
    QCOMPARE(program_->State().RecentFiles, (std::vector<std::string>{second, first}));
    // A cancelled record's caution is read beside its own conditions, never the last record's.
    const auto* conditions = program_->Main().findChild<QTextBrowser*>("txtRecordConditions");
    QTRY_VERIFY(conditions->toPlainText().contains("R&D dropped.kmr"));
    const std::string half = gui::CorePath(QString::fromStdString(home_->dir().File("half.kmr")));
    QVERIFY(testing::WriteLevelKmr(half, 100, {1, 2}, 1, 1));
    QString besideCaution;
    boxes.onSeen = [&] { besideCaution = conditions->toPlainText(); };
    QVERIFY(Drop(program_->Main(), QString::fromStdString(half)));
    QTRY_COMPARE(boxes.seen.size(), std::size_t{1});
    QVERIFY2(besideCaution.contains("half.kmr") && !besideCaution.contains("R&D"), qPrintable(besideCaution));
    boxes.onSeen = nullptr;
    boxes.seen.clear();
    // Another kind of file is not taken.
    QVERIFY(!Drop(program_->Main(), QString::fromStdString(home_->dir().File("notes.txt"))));

    // The recent files survive a restart.
    program_.reset();
    program_ = std::make_unique<gui::Program>();
    gui::Program& p = StartOnline();
    emit p.Main().findChild<QMenu*>("mnuFile")->aboutToShow();
    const auto& recent = p.Main().Records()->RecentActions();
    QVERIFY(recent[2]->isVisible() && !recent[3]->isVisible());
    // The item's text and the list's order: RecentFiles.
    QCOMPARE(recent[1]->text(), QString("&2 R&&D dropped.kmr"));
    QVERIFY(Choose(p.Main(), "mnuFileRecent3"));
    QTRY_COMPARE(p.Main().windowTitle(), QString("KMR-5300 - line.kmr"));

    // A path from another computer is opened as the list holds it. On Windows its folder is not
    // there (a disk of that computer), so it stays in the list to be opened once the disk is; on
    // Linux it names a file of the current folder, which is gone and leaves the list.
    const std::string windows = "C:\\Data\\beam\\20240105.kmr";
    p.State().RecentFiles.insert(p.State().RecentFiles.begin(), windows);
    boxes.seen.clear();
    QVERIFY(Choose(p.Main(), "mnuFileRecent1"));
    QTRY_COMPARE(boxes.seen.size(), std::size_t{1});
#ifdef _WIN32
    const std::string said = "The folder C:\\Data\\beam of the file " + windows + " cannot be reached";
    const std::vector<std::string> kept{windows, first, half, second};
#else
    const std::string said = "The file " + windows + " does not exist";
    const std::vector<std::string> kept{first, half, second};
#endif
    QVERIFY2(boxes.seen[0].text.startsWith(QString::fromStdString(said)), qPrintable(boxes.seen[0].text));
    QCOMPARE(p.State().RecentFiles, kept);

    // A drop that lands while the monitor's tick waits for the instrument opens the record once
    // the tick has returned (the gate refused it then, and it was lost).
    QVERIFY(Choose(p.Main(), "mnuMeasItem0"));
    QVERIFY(p.State().MonitoringOn != kFalse);
    bus_->Hold("MDT");
    std::unique_ptr<WhileHeld> held;
    QVERIFY(Drop(p.Main(), QString::fromStdString(second), [&](std::function<void()> drop) {
        held = std::make_unique<WhileHeld>(*bus_, drop);
    }));
    QTRY_VERIFY_WITH_TIMEOUT(held->Done(), 20000);
    QTRY_COMPARE(p.Main().windowTitle(), QString("KMR-5300 - R&D dropped.kmr"));
    QVERIFY(p.State().MonitoringOn == kFalse);  // the record took the charts
}

void RecordWindowTest::exportsWriteAPngAPdfACsvAndHdf5() {
    gui::Program& p = StartOnline();
    const std::string path = WriteRecord("exp.kmr", 70000);
    gui::RecordActions* records = p.Main().Records();
    QVERIFY(records->Open(QString::fromStdString(path)));
    const QString out = QString::fromStdString(home_->dir().File("out"));
    QDir().mkpath(out);
    QString answer, answerFilter;
    QStringList answersFirst;  // given before `answer`
    int asked = 0;
    records->chooseSaveFile = [&](const QString&, const QString& filters, const QString&, QString* filter) {
        if (filter != nullptr) *filter = filters.split(";;").value(answerFilter == "pdf" ? 1 : 0);
        ++asked;
        return answersFirst.isEmpty() ? answer : answersFirst.takeFirst();
    };

    // A PNG, and a PDF named without the extension, which takes the kind chosen in the save window
    // (a name with its own keeps it: OpenRecordTest.TheShownRangeExportsAsTheConversionCutsIt).
    // No temporary file is left beside them.
    answer = out + "/charts.png";
    answerFilter = "png";
    QVERIFY(Choose(p.Main(), "mnuFileExportCharts"));
    const QByteArray png = FileBytes(answer);
    QVERIFY(png.startsWith("\x89PNG\r\n\x1a\n"));
    const QImage image(answer);
    QVERIFY(image.width() >= 800 && image.height() > 170 * 3);
    answer = out + "/named";
    answerFilter = "pdf";
    QVERIFY(Choose(p.Main(), "mnuFileExportCharts"));
    const QByteArray pdf = FileBytes(out + "/named.pdf");
    QVERIFY(pdf.startsWith("%PDF-") && pdf.trimmed().endsWith("%%EOF"));
    QVERIFY(!QFile::exists(out + "/charts.png.tmp") && !QFile::exists(out + "/named.pdf.tmp"));
    // A disk that fills: the failure is said with its reason, and nothing stays under either name
    // (the PDF writer itself would have left a cut file and called it done).
    struct FullDisk : FileWritePort {
        int BeforeWrite(const std::string&) override { return ENOSPC; }
    } full;
    p.State().Writes = &full;
    for (const QString& name : {QStringLiteral("/full.pdf"), QStringLiteral("/full.png")}) {
        QString problem;
        QVERIFY(!records->WriteCharts(out + name, &problem));
        QCOMPARE(problem, QString::fromStdString(ErrorDescription(ENOSPC)));
        QVERIFY(!QFile::exists(out + name) && !QFile::exists(out + name + ".tmp"));
    }
    p.State().Writes = nullptr;
    // The save window asked about "charts", not about the "charts.png" that exists: it stays.
    answer = out + "/charts";
    answerFilter = "png";
    BoxAnswerer boxes;
    QVERIFY(Choose(p.Main(), "mnuFileExportCharts"));
    QCOMPARE(boxes.seen.size(), std::size_t(1));  // the refusal's text: OpenRecordTest
    QCOMPARE(FileBytes(out + "/charts.png"), png);
    // Over a file the program asks in its own words, naming it: No asks for a name again, Yes replaces.
    testing::WriteAll((out + "/charts.png").toStdString(), "x");
    answer = out + "/charts.png";
    asked = 0;
    boxes.script = {"cmdNo", "cmdYes"};
    QVERIFY(Choose(p.Main(), "mnuFileExportCharts"));
    QCOMPARE(asked, 2);
    QCOMPARE(boxes.seen.size(), std::size_t(3));
    // (A long path is broken over lines in the box: its characters are compared.)
    QCOMPARE(QString(boxes.seen[1].text).remove('\n'), answer + " already exists. Do you want to replace it?");
    QCOMPARE(FileBytes(answer), png);
    // A picture the folder does not take is said, and the save window asks again with its name.
    p.State().Writes = &full;
    answersFirst = {out + "/full.png"};
    answer.clear();  // the second asking is cancelled
    asked = 0;
    QStringList offered;
    records->chooseSaveFile = [&](const QString&, const QString& filters, const QString& start, QString* filter) {
        if (filter != nullptr) *filter = filters.split(";;").value(0);
        offered << start;
        ++asked;
        return answersFirst.isEmpty() ? answer : answersFirst.takeFirst();
    };
    QVERIFY(Choose(p.Main(), "mnuFileExportCharts"));
    p.State().Writes = nullptr;
    QCOMPARE(asked, 2);
    QCOMPARE(offered.value(1), out + "/full.png");
    QCOMPARE(boxes.seen.size(), std::size_t(4));
    QVERIFY2(boxes.seen[3].text.contains(QString::fromStdString(ErrorDescription(ENOSPC))), qPrintable(boxes.seen[3].text));
    QVERIFY(!QFile::exists(out + "/full.png"));

    // The span between the cursors, channels 4 and 1, across the first part's end.
    auto* area = p.Main().findChild<kmr::ChartsWidget*>();
    area->PlaceCursorAt(0, 64.9, false);
    area->PlaceCursorAt(0, 65.1, true);
    // A name that is taken is refused, and the save window asks again, the window's choices kept.
    const QString taken = out + "/taken.csv";
    testing::WriteAll(taken.toStdString(), "x");
    answersFirst = {taken};
    answer = out + "/cut.csv";
    asked = 0;
    QTimer answerDialog;
    AnswerExportRange(answerDialog, "chkChannel2", 0);
    QVERIFY(Choose(p.Main(), "mnuFileExportRange"));
    QCOMPARE(boxes.seen.size(), std::size_t(5));
    QCOMPARE(asked, 2);
    QCOMPARE(FileBytes(taken), QByteArray("x"));
    // The channels and the span chosen in the window, both ends in (the file is the conversion's
    // cut of that span: OpenRecordTest.TheShownRangeExportsAsTheConversionCutsIt).
    const QByteArray csv = FileBytes(answer);
    QVERIFY(csv.contains(",CH.001") && csv.contains(",CH.004") && !csv.contains(",CH.002"));
    QVERIFY(csv.contains("64900") && csv.contains("65100"));
    QVERIFY(!csv.contains("64899") && !csv.contains("65101"));

#if KMR_TEST_HDF5
    // The format chosen in the window is written. The range and channels take the CSV's way above;
    // the file's contents: Hdf5ExportTest and the h5py read-back.
    answer = out + "/cut.h5";
    QTimer answerH5;
    AnswerExportRange(answerH5, "chkChannel1", 1);
    QVERIFY(Choose(p.Main(), "mnuFileExportRange"));
    QVERIFY(FileBytes(answer).startsWith("\x89HDF\r\n\x1a\n"));
#endif
}

void RecordWindowTest::aSecondStartHandsItsFileToTheRunningProgram() {
    const QString key = QString("kmr-5300-open-%1").arg(QCoreApplication::applicationPid());
    gui::SingleInstance first(key);
    QVERIFY(first.Claim());
    QStringList opened;
    int activated = 0;
    first.onActivate = [&] { ++activated; };
    first.onOpen = [&](const QString& path) { opened << path; };
    std::atomic<bool> done{false};
    bool answered = false;
    // The later start runs on its own thread, as a second process would, while this one serves.
    std::thread second([&] {
        gui::SingleInstance later(key);
        if (!later.Claim()) answered = later.ActivateRunning(QStringLiteral("/data/ユーザー/rec 1.kmr").toStdString());
        done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 10000);
    second.join();
    QVERIFY(answered);
    QCOMPARE(opened, QStringList{QStringLiteral("/data/ユーザー/rec 1.kmr")});
    QCOMPARE(activated, 1);
}

// A file manager's double-click while start-up runs or a form is in front is opened once the
// window can take it, not dropped.
void RecordWindowTest::aRecordHandedOverWaitsForStartUpAndForTheFormInFront() {
    const std::string early = WriteRecord("early.kmr");
    const std::string later = WriteRecord("later.kmr");
    program_->HandOver(QString::fromStdString(early));
    QTest::qWait(50);
    gui::Program& p = StartOnline();
    QTRY_COMPARE(p.Main().windowTitle(), QString("KMR-5300 - early.kmr"));

    auto* form = OpenFromMenu<gui::GraphCondDlg>(p.Main(), "mnuFileItem3");
    QVERIFY(form != nullptr);
    // A later start asks for the window, then hands over: the form stays in front with the keyboard.
    p.Main().activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &p.Main());
    p.Main().Activate();
    p.HandOver(QString::fromStdString(later));
    QTest::qWait(100);
    QCOMPARE(p.Main().windowTitle(), QString("KMR-5300 - early.kmr"));
    QTRY_VERIFY(QApplication::focusWidget() != nullptr && QApplication::focusWidget()->window() == form);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_COMPARE(p.Main().windowTitle(), QString("KMR-5300 - later.kmr"));
    QCOMPARE(p.State().RecentFiles, (std::vector<std::string>{later, early}));

    // A file dropped on the window behind the form waits for it as well, instead of being lost.
    const std::string dropped = WriteRecord("dropped.kmr");
    QVERIFY(OpenFromMenu<gui::GraphCondDlg>(p.Main(), "mnuFileItem3") != nullptr);
    QVERIFY(Drop(p.Main(), QString::fromStdString(dropped)));
    QTest::qWait(100);
    QCOMPARE(p.Main().windowTitle(), QString("KMR-5300 - later.kmr"));
    QTRY_VERIFY(QApplication::focusWidget() != nullptr && QApplication::focusWidget()->window() != &p.Main());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_COMPARE(p.Main().windowTitle(), QString("KMR-5300 - dropped.kmr"));
#ifndef _WIN32
    // A link to a record, named as links often are (without the extension), opens the record.
    const std::string link = home_->dir().File("link to later");
    std::filesystem::create_symlink(later, link);
    QVERIFY(Drop(p.Main(), QString::fromStdString(link)));
    QTRY_COMPARE(p.Main().windowTitle(), QString("KMR-5300 - later.kmr"));
#endif
}

}  // namespace kmr::guitest
