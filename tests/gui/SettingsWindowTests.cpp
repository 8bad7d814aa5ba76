#include "gui/WindowTests.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QPushButton>
#include <QScrollBar>

#include "gui/GuiText.h"
#include "gui/BoxAnswerer.h"
#include "gui/GraphCondDlg.h"
#include "gui/SetPathAndFileDlg.h"
#include "gui/MeasCondDlg.h"
#include "support/TempDir.h"

namespace kmr::guitest {

using gui::GraphCondDlg;
using gui::MeasCondDlg;
using gui::SetPathAndFileDlg;

void SettingsWindowTest::measCondClockIsDownloadedAndSaved() {
    Program& p = StartOnline();
    gui::MainDlg& main = p.Main();
    auto* dlg = OpenFromMenu<MeasCondDlg>(main, "mnuFileItem2");
    QVERIFY(dlg != nullptr);

    // Full-width 25 is taken; the scroll follows.
    auto* clk = dlg->findChild<QLineEdit*>("txtIntCLK");
    Type(clk, QString::fromUtf8("\xEF\xBC\x92\xEF\xBC\x95"));
    QCOMPARE(clk->text(), QString("25"));
    QCOMPARE(dlg->findChild<QScrollBar*>("VScrollClk")->value(), -25);
    // The preview follows the typing before anything is committed.
    Type(dlg->findChild<QLineEdit*>("txtMRY"), "2000", false);
    QCOMPARE(dlg->findChild<QLabel*>("lblMemoryPreview")->text(),
             QString("Recording 50.000 s, pre-trigger 0 ms, largest memory 507904 words"));

    // OK with the memory box still being edited: both values are downloaded and saved.
    BoxAnswerer boxes;
    dlg->findChild<QPushButton*>("cmdButton1")->click();
    QCOMPARE(boxes.seen.size(), std::size_t(1));
    const std::string cnd = testing::ReadAll(p.State().CondPath(kMeasCnd));
    QVERIFY2(cnd.find("\r\n25\r\n2000,0\r\n") != std::string::npos, cnd.c_str());
    QTRY_VERIFY(main.findChild<MeasCondDlg*>() == nullptr);
}

void SettingsWindowTest::graphCondCloseBoxAsksThenOkDrawsAndSavesSpanAndANewGraph() {
    Program& p = StartOnline();
    gui::MainDlg& main = p.Main();
    auto* dlg = OpenFromMenu<GraphCondDlg>(main, "mnuFileItem3");
    QVERIFY(dlg != nullptr);
    auto* auto1 = dlg->findChild<QCheckBox*>("chkAutoScale1");
    QTest::mouseClick(auto1, Qt::LeftButton, {}, auto1->rect().center());
    auto* max1 = dlg->findChild<QLineEdit*>("txtYscaleMax1");
    QTest::mouseClick(max1, Qt::LeftButton);
    // Entering the box selects its text, so what is typed replaces it.
    QTRY_COMPARE(max1->selectedText(), QString("10"));
    QTest::keyClicks(max1, "+2");
    // So does a click into the box being edited.
    QTest::mouseClick(max1, Qt::LeftButton);
    QCOMPARE(max1->selectedText(), QString("+2"));
    QTest::keyClicks(max1, "+25");
    BoxAnswerer asked;
    asked.script = {"cmdNo", "cmdYes"};
    dlg->close();
    QCOMPARE(asked.seen.size(), std::size_t(1));
    QCOMPARE(asked.seen[0].text, kmr::gui::T(txt::DiscardChangesQuestion));
    QVERIFY(dlg->isVisible());
    QCOMPARE(max1->text(), QString("25"));
    dlg->close();
    QTRY_VERIFY(main.findChild<GraphCondDlg*>() == nullptr);
    QCOMPARE(p.State().Graph.Ch[0].YscaleMax, 10.0);

    QVERIFY(main.findChild<QWidget*>("chartRow3")->isHidden());
    dlg = OpenFromMenu<GraphCondDlg>(main, "mnuFileItem3");
    QVERIFY(dlg != nullptr);
    auto* use3 = dlg->findChild<QCheckBox*>("chkUse3");
    auto* grid3 = dlg->findChild<QCheckBox*>("chkYgrid3");
    // A hidden graph greys its row; shown, its row is enabled.
    QVERIFY(!grid3->isEnabled());
    QTest::mouseClick(use3, Qt::LeftButton, {}, use3->rect().center());
    QVERIFY(grid3->isEnabled());
    // While another handler runs, a click is undone on the box and a box's entry waits.
    QVERIFY(p.Core().gate.Input([&] {
        QTest::mouseClick(use3, Qt::LeftButton, {}, use3->rect().center());
        Type(dlg->findChild<QLineEdit*>("txtXspace"), "30");
    }));
    QVERIFY(use3->isChecked());
    QVERIFY(grid3->isEnabled());
    // Leaving the box does not enter it again (its text has not changed since).
    QTest::mouseClick(grid3, Qt::LeftButton, {}, grid3->rect().center());
    QVERIFY(dlg->focusWidget() == grid3);

    // The span typed during the handler is not lost: OK enters the box still being edited.
    dlg->findChild<QPushButton*>("cmdButton1")->click();
    QCOMPARE(asked.seen.size(), std::size_t(3));  // the two on closing, then one on OK
    // The monitor graphs restart at [0, 30] and channel 3's row shows.
    QCOMPARE(p.Core().chart.XAxis(0).max, 30.0);
    QVERIFY(!main.findChild<QWidget*>("chartRow3")->isHidden());
    QTRY_VERIFY(main.findChild<GraphCondDlg*>() == nullptr);
}

void SettingsWindowTest::dataFileRegistrationRefusesALongNameAsksTwiceSavesAndPicksFolders() {
    Program& p = StartOnline();
    gui::MainDlg& main = p.Main();
    const std::string folder = p.State().Global.DataFolder;
    testing::WriteAll(folder + "T.kmr", "");
    QTest::mouseClick(main.findChild<QPushButton*>("cmdMoniKmr"), Qt::LeftButton);
    QVERIFY(main.MoniTimer().isActive());

    auto* dlg = OpenFromMenu<SetPathAndFileDlg>(main, "mnuFileItem0");
    QVERIFY(dlg != nullptr);
    QVERIFY(!main.MoniTimer().isActive());
    auto* name = dlg->findChild<QLineEdit*>("txtFileName");
    auto* list = dlg->findChild<QListWidget*>("ListBox");
    QCOMPARE(list->count(), 1);

    // A name too long is refused as it is entered, with a message, and the box shows the old one.
    QVERIFY(QTest::qWaitForWindowActive(dlg));
    const QString before = name->text();
    BoxAnswerer boxes;
    Type(name, QString(300, QChar('a')));
    QTRY_COMPARE(boxes.seen.size(), std::size_t(1));
    QVERIFY2(boxes.seen[0].text.startsWith("The file name is too long: 300 bytes in UTF-8"),
             qPrintable(boxes.seen[0].text));
    QCOMPARE(boxes.seen[0].owner, dlg->objectName());  // the keyboard comes back to the form
    QCOMPARE(name->text(), before);
    // To the name box, and the Return that entered the name does not press OK after the box.
    QCOMPARE(dlg->focusWidget(), name);
    QTest::qWait(50);
    QCOMPARE(boxes.seen.size(), std::size_t(1));
    QCOMPARE(main.findChild<SetPathAndFileDlg*>(), dlg);

    // A name picked from the list is taken: by the keys (Return takes it and presses no OK)...
    dlg->activateWindow();
    list->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(list));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(name->text(), QString("T.kmr"));
    QTest::qWait(50);
    QCOMPARE(boxes.seen.size(), std::size_t(1));
    // ... and by a click.
    Type(name, "U", true);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    QCOMPARE(name->text(), QString("T.kmr"));

    dlg->findChild<QPushButton*>("cmdButton1")->click();
    QCOMPARE(boxes.seen.size(), std::size_t(3));  // the name exists: asked twice
    QTRY_VERIFY(main.findChild<SetPathAndFileDlg*>() == nullptr);
    QCOMPARE(main.windowTitle(), QString("KMR-5300 - T_1.kmr(Next data file)"));
    QVERIFY(main.MoniTimer().isActive());

    // The folder button opens the picker; the folder picked is listed.
    QTemporaryDir other;
    for (const char* name : {"/a.kmr", "/b.kmr"}) testing::WriteAll(other.path().toStdString() + name, "");
    dlg = OpenFromMenu<SetPathAndFileDlg>(main, "mnuFileItem0");
    QVERIFY(dlg != nullptr);
    dlg->findChild<QPushButton*>("cmdPathName")->click();
    QVERIFY(PickFolder(dlg->findChild<gui::PathDlg*>(), other.path()));
    QCOMPARE(dlg->findChild<QLineEdit*>("txtPathName")->text(), QDir::toNativeSeparators(other.path() + "/"));
    QCOMPARE(dlg->findChild<QListWidget*>("ListBox")->count(), 2);
    dlg->close();
    QTRY_VERIFY(main.findChild<SetPathAndFileDlg*>() == nullptr);
}

}  // namespace kmr::guitest
