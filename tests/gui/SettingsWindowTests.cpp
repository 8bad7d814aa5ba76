#include "gui/SettingsWindowTests.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <algorithm>

#include "gui/GuiText.h"
#include "gui/BoxAnswerer.h"
#include "gui/GateBus.h"
#include "gui/MeasCondDlg.h"
#include "gui/WorkerBus.h"
#include "link/InterfaceSpec.h"

namespace kmr::guitest {

using gui::MeasCondDlg;
using gui::Program;

namespace {

// Chooses a menu item as the user does: the menu opens (which sets its items' enabling) first.
void Choose(QWidget& main, const char* menu, const char* item) {
    emit main.findChild<QMenu*>(menu)->aboutToShow();
    QAction* a = main.findChild<QAction*>(item);
    QVERIFY(a != nullptr && a->isEnabled());
    a->trigger();
}

template <typename W>
W* OpenWindow(QWidget& main) {
    // Forms open at once, in the menu item's handler.
    W* w = main.findChild<W*>();
    return w != nullptr && w->isVisible() ? w : nullptr;
}

void Type(QLineEdit* box, const QString& text, bool enter = true) {
    box->setFocus();
    box->selectAll();
    // Typed as an input method delivers it (full-width characters have no key).
    box->insert(text);
    if (enter) QTest::keyClick(box, Qt::Key_Return);
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

    Choose(main, "mnuFile", "mnuFileItem2");
    auto* dlg = OpenWindow<MeasCondDlg>(main);
    QVERIFY(dlg != nullptr);
    QCOMPARE(dlg->windowTitle(), QString("Measurement Condition Settings"));
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
    Choose(main, "mnuFile", "mnuFileItem2");
    auto* dlg = OpenWindow<MeasCondDlg>(main);
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

void SettingsWindowTest::aSecondFormIsRefused() {
    Program& p = StartOnline();
    Choose(p.Main(), "mnuFile", "mnuFileItem2");
    QVERIFY(OpenWindow<MeasCondDlg>(p.Main()) != nullptr);
    QCOMPARE(p.Core().forms.Current(), FormId::MeasCond);
    QVERIFY(!p.Core().forms.Open(FormId::GraphCond, MonitorPause::Keep));
    BoxAnswerer boxes;
    p.Main().findChild<MeasCondDlg*>()->findChild<QPushButton*>("cmdButton0")->click();
    QVERIFY(boxes.seen.empty());  // nothing changed: no question
    QVERIFY(!p.Core().forms.IsOpen());
}

}  // namespace kmr::guitest
