#include "gui/SettingsWindowTests.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <algorithm>

#include "gui/GuiText.h"
#include "gui/BoxAnswerer.h"
#include "gui/GateBus.h"
#include "gui/GraphCondDlg.h"
#include "gui/PathDlg.h"
#include "gui/SetPathAndFileDlg.h"
#include "support/FakeDrive.h"
#include "gui/MeasCondDlg.h"
#include "gui/WorkerBus.h"
#include "link/InterfaceSpec.h"

namespace kmr::guitest {

using gui::GraphCondDlg;
using gui::MeasCondDlg;
using gui::SetPathAndFileDlg;
using gui::Program;

namespace {

void Type(QLineEdit* box, const QString& text, bool enter = true) {
    box->setFocus();
    box->selectAll();
    // Typed as an input method delivers it (full-width characters have no key).
    box->insert(text);
    if (enter) QTest::keyClick(box, Qt::Key_Return);
}

void Touch(const std::string& path) {
    QFile f(QString::fromStdString(path));
    QVERIFY(f.open(QIODevice::WriteOnly));
}

QString FileText(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
}

}  // namespace

void SettingsWindowTest::init() { SetUpProgram(); }

void SettingsWindowTest::cleanup() { TearDownProgram(); }


void SettingsWindowTest::measCondClockIsDownloadedAndSaved() {
    Program& p = StartOnline();
    QCOMPARE(p.State().ProgramMode, kModeOnline);
    gui::MainDlg& main = p.Main();
    // Monitoring runs: the form pauses it.
    QTest::mouseClick(main.findChild<QPushButton*>("cmdMoniKmr"), Qt::LeftButton);
    QVERIFY(main.MoniTimer().isActive());

    auto* dlg = OpenFromMenu<MeasCondDlg>(main, "mnuFileItem2");
    QVERIFY(dlg != nullptr);
    QVERIFY(!main.menuBar()->isEnabled());
    QVERIFY(!main.MoniTimer().isActive());
    QCOMPARE(dlg->findChild<QLineEdit*>("txtCoeff1")->text(), QString("+1.000000E+00"));

    // 0.25 reverts, full-width 25 is accepted; the scroll follows.
    auto* clk = dlg->findChild<QLineEdit*>("txtIntCLK");
    Type(clk, "0.25");
    QCOMPARE(clk->text(), QString("1"));
    Type(clk, QString::fromUtf8("\xEF\xBC\x92\xEF\xBC\x95"));
    QCOMPARE(clk->text(), QString("25"));
    QCOMPARE(dlg->findChild<QScrollBar*>("VScrollClk")->value(), -25);
    // The preview follows the typing before anything is committed.
    Type(dlg->findChild<QLineEdit*>("txtMRY"), "2000", false);
    QCOMPARE(dlg->findChild<QLabel*>("lblMemoryPreview")->text(),
             QString("Recording 50.000 s, pre-trigger 0 ms, largest memory 507904 words"));

    BoxAnswerer boxes;
    boxes.script = {"cmdYes"};
    const std::size_t before = bus_->Commands().size();
    dlg->findChild<QPushButton*>("cmdButton1")->click();
    QCOMPARE(boxes.seen.size(), std::size_t(1));
    QCOMPARE(boxes.seen[0].text, kmr::gui::T(157));
    auto sent = bus_->Commands();
    sent.erase(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(before));
    QVERIFY(std::find(sent.begin(), sent.end(), "CLK 25") != sent.end());
    QVERIFY(std::find(sent.begin(), sent.end(), "MRY 2000") != sent.end());
    QCOMPARE(p.State().Meas.MemoryWords, 2000);
    const QString cnd = FileText(p.State().CondPath(kMeasCnd));
    QVERIFY2(cnd.contains("\r\n25\r\n2000,0\r\n"), qPrintable(cnd));
    QTRY_VERIFY(main.findChild<MeasCondDlg*>() == nullptr);
    QVERIFY(main.menuBar()->isEnabled());
    QVERIFY(main.MoniTimer().isActive());
}

void SettingsWindowTest::measCondCloseBoxKeepsTheTypedValueAndAsks() {
    Program& p = StartOnline();
    gui::MainDlg& main = p.Main();
    auto* dlg = OpenFromMenu<MeasCondDlg>(main, "mnuFileItem2");
    QVERIFY(dlg != nullptr);
    auto* level = dlg->findChild<QLineEdit*>("txtDtgLevel3");
    QTest::mouseClick(level, Qt::LeftButton);
    // Entering the box selects its text, so "5" replaces it.
    QTRY_COMPARE(level->selectedText(), QString("+1000"));
    QTest::keyClicks(level, "5");
    BoxAnswerer boxes;
    boxes.script = {"cmdNo", "cmdYes"};
    dlg->close();
    QCOMPARE(boxes.seen.size(), std::size_t(1));
    QCOMPARE(boxes.seen[0].text, kmr::gui::T(158));
    QVERIFY(dlg->isVisible());
    QCOMPARE(level->text(), QString("+5"));
    dlg->close();
    QTRY_VERIFY(main.findChild<MeasCondDlg*>() == nullptr);
    QCOMPARE(p.State().Meas.Ch(3).DtgLevel, 1000.0f);
    QVERIFY(main.menuBar()->isEnabled());
}

void SettingsWindowTest::graphCondSpanAndANewGraphAreDrawnAndSaved() {
    Program& p = StartOnline();
    gui::MainDlg& main = p.Main();
    QTest::mouseClick(main.findChild<QPushButton*>("cmdMoniKmr"), Qt::LeftButton);
    QVERIFY(main.MoniTimer().isActive());
    QVERIFY(main.findChild<QWidget*>("chartRow3")->isHidden());

    auto* dlg = OpenFromMenu<GraphCondDlg>(main, "mnuFileItem3");
    QVERIFY(dlg != nullptr);
    QVERIFY(!main.menuBar()->isEnabled());
    QVERIFY(!main.MoniTimer().isActive());
    // The automatic X scale greys its boxes; a hidden graph greys its row.
    QVERIFY(!dlg->findChild<QLineEdit*>("txtXscaleMaxG")->isEnabled());
    QVERIFY(!dlg->findChild<QCheckBox*>("chkYgrid3")->isEnabled());

    // A pitch over the span reverts; the span is taken.
    auto* pitch = dlg->findChild<QLineEdit*>("txtXpich");
    Type(pitch, "20");
    QCOMPARE(pitch->text(), QString("5"));
    Type(dlg->findChild<QLineEdit*>("txtXspace"), "30");
    auto* use3 = dlg->findChild<QCheckBox*>("chkUse3");
    QTest::mouseClick(use3, Qt::LeftButton, {}, use3->rect().center());
    QVERIFY(use3->isChecked());
    QVERIFY(dlg->findChild<QCheckBox*>("chkYgrid3")->isEnabled());

    BoxAnswerer boxes;
    dlg->findChild<QPushButton*>("cmdButton1")->click();
    QCOMPARE(boxes.seen.size(), std::size_t(1));
    QCOMPARE(boxes.seen[0].text, kmr::gui::T(157));
    QCOMPARE(p.State().Graph.X.Xspace, 30);
    // The monitor graphs restart at [0, 30] and channel 3's row shows.
    QCOMPARE(p.Core().chart.XAxis(0).max, 30.0);
    QVERIFY(!main.findChild<QWidget*>("chartRow3")->isHidden());
    const QString cnd = FileText(p.State().CondPath(kGraphCnd));
    QVERIFY2(cnd.startsWith("1,1,1\r\n10,0,10\r\n1,1,1\r\n10,0,10\r\n1,1,1\r\n"), qPrintable(cnd));
    QTRY_VERIFY(main.findChild<GraphCondDlg*>() == nullptr);
    QVERIFY(main.menuBar()->isEnabled());
    QVERIFY(main.MoniTimer().isActive());
}

void SettingsWindowTest::graphCondCloseBoxKeepsTheTypedMaximumAndAsks() {
    Program& p = StartOnline();
    gui::MainDlg& main = p.Main();
    auto* dlg = OpenFromMenu<GraphCondDlg>(main, "mnuFileItem3");
    QVERIFY(dlg != nullptr);
    auto* auto1 = dlg->findChild<QCheckBox*>("chkAutoScale1");
    QTest::mouseClick(auto1, Qt::LeftButton, {}, auto1->rect().center());
    auto* max1 = dlg->findChild<QLineEdit*>("txtYscaleMax1");
    QVERIFY(max1->isEnabled());
    QTest::mouseClick(max1, Qt::LeftButton);
    // Entering the box selects its text, so what is typed replaces it.
    QTRY_COMPARE(max1->selectedText(), QString("10"));
    QTest::keyClicks(max1, "+25");
    BoxAnswerer boxes;
    boxes.script = {"cmdNo", "cmdYes"};
    dlg->close();
    QCOMPARE(boxes.seen.size(), std::size_t(1));
    QCOMPARE(boxes.seen[0].text, kmr::gui::T(158));
    QVERIFY(dlg->isVisible());
    QCOMPARE(max1->text(), QString("25"));
    QCOMPARE(dlg->Form().Working().Ch[0].YscaleMax, 25.0);
    dlg->close();
    QTRY_VERIFY(main.findChild<GraphCondDlg*>() == nullptr);
    QCOMPARE(p.State().Graph.Ch[0].YscaleMax, 10.0);
    QCOMPARE(p.State().Graph.Ch[0].AutoScale, std::int16_t(1));
    QVERIFY(main.menuBar()->isEnabled());
}

void SettingsWindowTest::dataFileRegistrationAsksTwiceSavesAndNamesTheNextFile() {
    Program& p = StartOnline();
    gui::MainDlg& main = p.Main();
    const std::string folder = p.State().Global.DataFolder;
    Touch(folder + "T.kmr");
    Touch(folder + "other.csv");
    QTest::mouseClick(main.findChild<QPushButton*>("cmdMoniKmr"), Qt::LeftButton);
    QVERIFY(main.MoniTimer().isActive());

    auto* dlg = OpenFromMenu<SetPathAndFileDlg>(main, "mnuFileItem0");
    QVERIFY(dlg != nullptr);
    QVERIFY(!main.menuBar()->isEnabled());
    QVERIFY(!main.MoniTimer().isActive());
    auto* name = dlg->findChild<QLineEdit*>("txtFileName");
    QCOMPARE(name->text(), QString::fromStdString(p.State().Global.BaseFileName + ".kmr"));
    QCOMPARE(dlg->findChild<QLineEdit*>("txtPathName")->text(), QString::fromStdString(folder));
    auto* list = dlg->findChild<QListWidget*>("ListBox");
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), QString("T.kmr"));
    QVERIFY(dlg->findChild<QRadioButton*>("OptFileType0")->isChecked());

    // A numbered name reverts; a name picked from the list is taken.
    Type(name, "run_2");
    QCOMPARE(name->text(), QString::fromStdString(p.State().Global.BaseFileName + ".kmr"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    QCOMPARE(name->text(), QString("T.kmr"));

    BoxAnswerer boxes;
    dlg->findChild<QPushButton*>("cmdButton1")->click();
    QCOMPARE(boxes.seen.size(), std::size_t(2));
    QCOMPARE(boxes.seen[0].text, kmr::gui::T(157));
    QCOMPARE(boxes.seen[1].text, QString("Data file name exists.\nAre you sure the data file name is  'T_1.kmr' ?"));
    QCOMPARE(p.State().DataFileNumber, 1);
    QVERIFY2(FileText(p.State().CondPath(kGlobalCnd)).contains("\r\n\"T\"\r\n0\r\n"),
             qPrintable(FileText(p.State().CondPath(kGlobalCnd))));
    QTRY_VERIFY(main.findChild<SetPathAndFileDlg*>() == nullptr);
    QCOMPARE(main.windowTitle(), QString("KMR-5300 - T_1.kmr(Next data file)"));
    QVERIFY(main.menuBar()->isEnabled());
    QVERIFY(main.MoniTimer().isActive());
}

void SettingsWindowTest::dataFileCsvCautionCancelAndTheCloseBox() {
    Program& p = StartOnline();
    gui::MainDlg& main = p.Main();
    p.State().Meas.MemoryWords = 70000;
    const GlobalSettings before = p.State().Global;
    auto* dlg = OpenFromMenu<SetPathAndFileDlg>(main, "mnuFileItem0");
    QVERIFY(dlg != nullptr);
    BoxAnswerer boxes;
    auto* csv = dlg->findChild<QRadioButton*>("OptFileType1");
    QTest::mouseClick(csv, Qt::LeftButton, {}, QPoint(5, csv->height() / 2));
    QTRY_COMPARE(boxes.seen.size(), std::size_t(1));
    QCOMPARE(boxes.seen[0].title, QString("Caution"));
    QCOMPARE(boxes.seen[0].text, QString("Number of data-memory words of measurement conditions is over 65000 words.\n"
                                         "CSV format is not available as file-type."));
    QVERIFY(dlg->findChild<QRadioButton*>("OptFileType0")->isChecked());
    QVERIFY(dlg->findChild<QLineEdit*>("txtFileName")->text().endsWith(".kmr"));

    // Entering the name box selects its text; a new name, then the close box: question 158; No
    // keeps the form.
    auto* name = dlg->findChild<QLineEdit*>("txtFileName");
    dlg->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dlg));
    QTest::mouseClick(name, Qt::LeftButton);
    QTRY_COMPARE(name->selectedText(), name->text());
    Type(name, "Other");
    boxes.script = {"cmdNo"};
    dlg->close();
    QCOMPARE(boxes.seen.size(), std::size_t(2));
    QCOMPARE(boxes.seen[1].text, kmr::gui::T(158));
    QVERIFY(dlg->isVisible());
    // Cancel closes without asking and saves nothing; the caption names the next file.
    main.setWindowTitle("");
    dlg->findChild<QPushButton*>("cmdButton0")->click();
    QTRY_VERIFY(main.findChild<SetPathAndFileDlg*>() == nullptr);
    QCOMPARE(boxes.seen.size(), std::size_t(2));
    QVERIFY(p.State().Global == before);
    QCOMPARE(main.windowTitle(), QString::fromStdString("KMR-5300 - " + before.BaseFileName + ".kmr(Next data file)"));
    QVERIFY(main.menuBar()->isEnabled());
}

void SettingsWindowTest::dataFileFolderButtonOpensThePicker() {
    Program& p = StartOnline();
    QTemporaryDir other;
    Touch(other.path().toStdString() + "/a.kmr");
    auto* dlg = OpenFromMenu<SetPathAndFileDlg>(p.Main(), "mnuFileItem0");
    QVERIFY(dlg != nullptr);
    QCOMPARE(dlg->findChild<QListWidget*>("ListBox")->count(), 0);
    dlg->findChild<QPushButton*>("cmdPathName")->click();
    auto* picker = dlg->findChild<gui::PathDlg*>();
    QVERIFY(picker != nullptr);
    QCOMPARE(picker->windowTitle(), QString("Data Folder Settings"));
    QVERIFY(!dlg->findChild<QPushButton*>("cmdButton1")->isEnabled());
    testing::FakeDriveType types;
    testing::FakeDrive drive;
    picker->SetPorts(&types, &drive);
    picker->ShowFolder(other.path());
    picker->findChild<QPushButton*>("cmdPathDlg1")->click();
    const QString picked = QDir::toNativeSeparators(other.path() + "/");
    QCOMPARE(dlg->findChild<QLineEdit*>("txtPathName")->text(), picked);
    QCOMPARE(dlg->findChild<QListWidget*>("ListBox")->count(), 1);
    QTRY_VERIFY(dlg->findChild<QPushButton*>("cmdButton1")->isEnabled());
    QCOMPARE(dlg->Form().Folder(), picked.toStdString());
    // The folder box has no context menu.
    QCOMPARE(dlg->findChild<QLineEdit*>("txtPathName")->contextMenuPolicy(), Qt::NoContextMenu);
    BoxAnswerer boxes;
    boxes.script = {"cmdYes"};
    dlg->close();
    QTRY_VERIFY(p.Main().findChild<SetPathAndFileDlg*>() == nullptr);
}

}  // namespace kmr::guitest
