#include "gui/WindowTests.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/conditions/GlobalSettings.h"
#include "core/datafiles/DataFilesTestSupport.h"
#include "gui/BalanceDlg.h"
#include "gui/BoxAnswerer.h"
#include "gui/FileExchangeDlg.h"

namespace kmr::guitest {

void ToolWindowsTest::balanceAStrainChannelChosenByKeysAndClicks() {
    gui::Program& p = StartOnlineStill();
    gui::MainDlg& w = p.Main();
    // Channel 1 with a huge offset and five decimals: its value has the fifteen characters a cell
    // shows before exponent form ("-90000848.00000"), all of them.
    p.State().Meas.Ch(1).Offset = -9.0e7f;
    p.State().Meas.Ch(1).Point = 5;
    auto* dlg = OpenFromMenu<gui::BalanceDlg>(w, "mnuMeasItem2");
    QVERIFY(dlg != nullptr);
    QLabel* cell1 = dlg->DataCell(1);
    QTRY_VERIFY_WITH_TIMEOUT(cell1->text() != "----", 5000);
    QCOMPARE(cell1->text().size(), 15);
    QVERIFY2(cell1->fontMetrics().horizontalAdvance(cell1->text()) <= cell1->contentsRect().width(),
             qPrintable(cell1->text() + " is cut"));
    // Channels are chosen by keys: Space takes channel 1 out and puts it back; the arrows go on
    // to channel 7 in the second column, which Space takes out.
    dlg->activateWindow();
    cell1->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(cell1));
    QTest::keyClick(cell1, Qt::Key_Space);
    QTRY_VERIFY(!dlg->Table().Selected(1));
    QTest::keyClick(cell1, Qt::Key_Space);
    QTRY_VERIFY(dlg->Table().Selected(1));
    QTest::keyClick(cell1, Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dlg->DataCell(7)));
    QTest::keyClick(dlg->DataCell(7), Qt::Key_Space);
    QTRY_VERIFY(!dlg->Table().Selected(7));
    // And by clicks on their cells: only channel 1 is balanced.
    for (int ch = 2; ch <= kChannels; ++ch)
        if (ch != 7) QTest::mouseClick(dlg->DataCell(ch), Qt::LeftButton);
    QVERIFY(!dlg->Table().Selected(2));
    const std::size_t from = bus_->Commands().size();
    // Balance pressed from the keyboard: the keys go on working where they were afterwards.
    auto* balance = dlg->findChild<QPushButton*>("cmdButton1");
    balance->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(balance));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(balance));
    const std::vector<std::string> sent = Since(bus_->Commands(), from);
    QCOMPARE(Count(sent, "SET1"), 2);  // the selection, then every channel
    QCOMPARE(Count(sent, "SET2"), 1);
    // The tick runs again after the balance.
    const std::size_t reads = bus_->Commands().size();
    QTRY_VERIFY_WITH_TIMEOUT(bus_->Commands().size() > reads + 1, 5000);
    dlg->findChild<QPushButton*>("cmdButton0")->click();
    QVERIFY(!p.Core().forms.IsOpen());
}

// Two checked files converted; then the data folder's button opens the picker for its own box.
void ToolWindowsTest::convertTwoCheckedFilesThenPickAnotherDataFolder() {
    gui::Program& p = StartOnlineStill();
    const std::string data = p.State().DefaultDataFolder();
    QTemporaryDir other;
    for (const std::string& file : {data + "20021005.kmr", data + "20021006.kmr", other.path().toStdString() + "/x.kmr"})
        QVERIFY(testing::WriteLevelKmr(file, 20, {1, 2}));
    auto* dlg = OpenFromMenu<gui::FileExchangeDlg>(p.Main(), "mnuFileItem5");
    QVERIFY(dlg != nullptr);
    QCOMPARE(dlg->DataList()->rowCount(), 2);
    // The name box follows the checks (its rule: FileExchange.NameBoxFollowsTheChecks...).
    auto* name = dlg->findChild<QLineEdit*>("txtDFile");
    dlg->CheckDataFile(0, true);
    QCOMPARE(name->text(), QString("20021005.csv"));
    dlg->CheckDataFile(1, true);
    QVERIFY(!name->isEnabled());
    BoxAnswerer boxes;
    dlg->findChild<QPushButton*>("cmdButton1")->click();
    QVERIFY(boxes.seen.empty());
    QVERIFY(QFile::exists(QString::fromStdString(data + "20021005.csv")));
    QVERIFY(QFile::exists(QString::fromStdString(data + "20021006.csv")));
    // The lists are drawn again: the files unchecked, the CSV files listed.
    QCOMPARE(dlg->DataList()->item(1, 0)->checkState(), Qt::Unchecked);
    QCOMPARE(dlg->CsvList()->rowCount(), 2);

    dlg->findChild<QPushButton*>("cmdSPathName")->click();
    QVERIFY(!dlg->findChild<QPushButton*>("cmdButton1")->isEnabled());
    QVERIFY(PickFolder(dlg->findChild<gui::PathDlg*>(), other.path()));
    const QString picked = QDir::toNativeSeparators(other.path() + "/");
    QCOMPARE(dlg->findChild<QLineEdit*>("txtSPathName")->text(), picked);
    QCOMPARE(dlg->DataList()->rowCount(), 1);
    QVERIFY(dlg->findChild<QPushButton*>("cmdButton1")->isEnabled());
    // The CSV folder stayed where it was.
    QCOMPARE(dlg->findChild<QLineEdit*>("txtDPathName")->text(), QString::fromStdString(data));
    // Closing gives the main window back and stores the folder picked in Global.cnd (the CSV
    // folder was stored there when the window opened).
    dlg->findChild<QPushButton*>("cmdButton0")->click();
    QVERIFY(!p.Core().forms.IsOpen());
    GlobalSettings saved;
    LoadGlobalSettings(p.State().CondPath(kGlobalCnd), saved, nullptr);
    QCOMPARE(QString::fromStdString(saved.SourcePathName), picked);
}

}  // namespace kmr::guitest
