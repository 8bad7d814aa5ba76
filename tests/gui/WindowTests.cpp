#include "gui/WindowTests.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QWindow>

#include "gui/BoxAnswerer.h"
#include "gui/FloodPanel.h"
#include "gui/GeometryStore.h"
#include "gui/MessageBox.h"
#include "gui/OwnControls.h"
#include "gui/SingleInstance.h"
#include "gui/TransactionSplashDlg.h"
#include "support/BuildPaths.h"

namespace kmr::guitest {

using gui::MainDlg;

namespace {

QPushButton* Button(QWidget& w, const char* name) { return w.findChild<QPushButton*>(name); }

// Enabled flags of the menu items, in menu order, after the three menus opened as a click on
// their titles opens them (which sets the items' enabling).
QString MenuFlags(QWidget& w) {
    for (const char* name : {"mnuFile", "mnuMeas", "mnuOption"}) emit w.findChild<QMenu*>(name)->aboutToShow();
    QString flags;
    for (const char* name : {"mnuFileItem0", "mnuFileItem2", "mnuFileItem3", "mnuFileItem5", "mnuFileItem7",
                             "mnuMeasItem0", "mnuMeasItem2", "mnuMeasItem4", "mnuOptionItem0",
                             "mnuOptionItem2", "mnuOptionItem4"})
        flags += w.findChild<QAction*>(name)->isEnabled() ? '1' : '0';
    return flags;
}

QString Caption(const ProgramState& s, const char* tail) {
    return QString("KMR-5300 - %1.kmr%2").arg(QString::fromStdString(s.Global.BaseFileName), tail);
}

}  // namespace

// --- Own controls --------------------------------------------------------------------------------

void OwnControlsTest::messageBoxAnswersByCloseBoxButtonAndTimer() {
    // The close box answers 0; the owner is disabled while the box is open.
    QWidget owner;
    owner.show();
    gui::MessageBox box(&owner, "Do you agree to finish software?", "Quit", MsgIcon::Question,
                        MsgButtons::YesNo, true);
    bool ownerEnabledWhileOpen = true;
    QTimer::singleShot(0, &box, [&] {
        ownerEnabledWhileOpen = owner.isEnabled();
        box.close();
    });
    QCOMPARE(static_cast<int>(box.Ask()), 0);
    QVERIFY(!ownerEnabledWhileOpen);
    QVERIFY(owner.isEnabled());
    for (const auto& [button, answer] : {std::pair{"cmdRetry", MsgAnswer::Retry}, {"cmdCancel", MsgAnswer::Cancel}}) {
        gui::MessageBox report(nullptr, "report", "KMR-5300", MsgIcon::None, MsgButtons::RetryCancel);
        QTimer::singleShot(0, &report, [&] { Button(report, button)->click(); });
        QCOMPARE(report.Ask(), answer);
    }
    // A box that closes by itself answers as OK. The program asks for 5000 ms; the timer is the
    // same at any length.
    gui::MessageBox timed(nullptr, "Strain measurement is done at autobalance value of 0.", "Balance",
                          MsgIcon::Information, MsgButtons::YesNo, false, 20);
    QCOMPARE(timed.Ask(), MsgAnswer::Ok);
    // A file name that looks like markup is shown as it is, and the lines after it stay lines.
    const QString named = "Error (/tmp/<b>x</b>.kmr)\nCheck the file.";
    gui::MessageBox error(nullptr, named, "Error", MsgIcon::Critical, MsgButtons::Ok);
    auto* text = error.findChild<QLabel*>("lblText");
    text->setSelection(0, static_cast<int>(named.size()));
    QCOMPARE(text->selectedText().replace(QChar::ParagraphSeparator, '\n'), named);
}

void OwnControlsTest::bareCheckBoxTogglesAnywhereInItsCellAndShowsNoText() {
    gui::BareCheckBox box("On/Off");
    box.resize(80, 24);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QVERIFY(box.text().isEmpty());
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(2, 2));
    QVERIFY(box.isChecked());
    QTest::keyClick(&box, Qt::Key_Space);
    QVERIFY(!box.isChecked());
}

// --- The main window -----------------------------------------------------------------------------

void MainWindowTest::onlineStartupStartTransferAndCancel() {
    Program& p = StartOnline();
    QCOMPARE(p.State().ProgramMode, kModeOnline);
    MainDlg& w = p.Main();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(!p.Splash().isVisible());
    QCOMPARE(w.windowTitle(), Caption(p.State(), "(Next data file)"));
    // Idle on the simulated KMR-510C: everything, Output Cal. too.
    QCOMPARE(MenuFlags(w), QString("11111111111"));
    // The high-speed caption, wider than a time, is shown whole in the remaining-time panel (where
    // the status row has room for what it holds: not with the wide stand-in font of a machine
    // without fonts).
    for (Language lang : {Language::English, Language::Japanese}) {
        w.SetRestTimeCaption(Text(lang, txt::HighSpeedMode));
        const auto* panel = w.RestTime();
        const int needed = panel->fontMetrics().horizontalAdvance(panel->Caption());
        QVERIFY(panel->minimumSizeHint().width() >= needed);
        const QWidget* row = panel->parentWidget();
        if (row->layout()->minimumSize().width() > row->width()) continue;
        QTRY_VERIFY2(panel->width() >= needed,
                     qPrintable(QStringLiteral("%1 px for %2 px of \"%3\" in a window %4 px wide")
                                    .arg(panel->width())
                                    .arg(needed)
                                    .arg(panel->Caption())
                                    .arg(w.width())));
    }
    w.SetRestTimeCaption("");

    Button(w, "cmdMeasKmr")->click();
    QVERIFY(p.State().RunActive());
    // Running: the File menu is off, Start reads Stop, Monitor stays available (the rules for each
    // state: MainWindowRulesTest).
    QCOMPARE(MenuFlags(w), QString("00000101001"));
    QCOMPARE(Button(w, "cmdMeasKmr")->text(), QString("Stop"));
    QVERIFY(w.RestTime()->Caption().endsWith(" SEC."));

    // The end-of-conversion timer finds the recording complete and the data are transferred.
    QTRY_VERIFY_WITH_TIMEOUT(!p.State().RunActive() && !p.State().LastDataFile.empty(), 20000);
    QVERIFY(p.State().LastTransferComplete);
    QCOMPARE(w.windowTitle(), Caption(p.State(), ""));
    QVERIFY(QFile::exists(QString::fromStdString(p.State().LastDataFile)));
    QVERIFY(QString::fromStdString(p.State().LastDataFile).endsWith(Caption(p.State(), "").mid(11)));
    QCOMPARE(Button(w, "cmdMeasKmr")->text(), QString("Start"));
    QVERIFY(!p.ProgressWindow().isVisible());

    // A second run: Cancel in the progress window as soon as it appears ends the transfer and uses
    // the number (the file's cancel signature: RunTest).
    const std::int32_t numberBefore = p.State().DataFileNumber;
    bool clickedDisabled = false;
    OnShow cancel(p.ProgressWindow(), [&] {
        if (auto* b = p.ProgressWindow().findChild<QPushButton*>("cmdCancel"); b && b->isEnabled()) {
            b->click();
            clickedDisabled = !b->isEnabled();
        }
    });
    BoxAnswerer boxes;
    Button(w, "cmdMeasKmr")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!p.State().RunActive(), 20000);
    QVERIFY(clickedDisabled);
    QVERIFY(!p.State().LastTransferComplete);
    QCOMPARE(p.State().DataFileNumber, numberBefore + 1);
}

void MainWindowTest::ticksNeverNestAndAClickDuringATickRunsAfterIt() {
    Program& p = StartOnline();
    MainDlg& w = p.Main();
    QVERIFY(bus_ != nullptr);
    // The monitor read of the run waits until released; the end-of-conversion timer fires meanwhile.
    bus_->Hold("MDT");
    Button(w, "cmdMeasKmr")->click();
    QVERIFY(p.State().RunActive());
    // The monitor timer was started first; give the end-of-conversion timer a later first tick so
    // that the monitor read is the call in progress.
    w.EocTimer().start();
    QSignalSpy eocTicks(&w.EocTimer(), &QTimer::timeout);
    std::vector<std::string> duringCall;
    bool gateBusy = false;
    BoxAnswerer boxes;  // the early stop's message; later Yes to "Do you agree to finish software?"
    WhileHeld stop(*bus_, [&] {
        gateBusy = w.Gate().Busy();
        // A click on Stop while the instrument is being read.
        QTest::mouseClick(Button(w, "cmdMeasKmr"), Qt::LeftButton);
        duringCall = bus_->Commands();
    }, [&eocTicks] { return eocTicks.count() >= 3; });
    QTRY_VERIFY_WITH_TIMEOUT(!duringCall.empty() && !p.State().RunActive(), 20000);
    QVERIFY(gateBusy);
    // No tick ran while the monitor read was waiting: the last command then was the read.
    QCOMPARE(QString::fromStdString(duringCall.back()), QString("MDT"));
    const std::vector<std::string> all = bus_->Commands();
    const auto after = Since(all, duringCall.size());
    // The click on Stop was held, not acted on inside the read, and ran first after it (a tick is
    // nothing a person sees coming).
    QVERIFY(!after.empty());
    QCOMPARE(QString::fromStdString(after.front()), QString("HLT"));
    QCOMPARE(Count(all, "HLT"), 1);
    QCOMPARE(boxes.seen.size(), std::size_t(1));
    QCOMPARE(boxes.seen[0].text, QString("The measurement was stopped before its first sample: no data file was written."));

    // File > Quit chosen while the monitor's tick waits is asked once the tick has returned: it
    // was not acted on, and lost without a word.
    Button(w, "cmdMoniKmr")->click();
    QVERIFY(p.State().MonitoringOn != kFalse);
    bus_->Hold("MDT");  // the next read of the monitor's tick
    const std::size_t seen = boxes.seen.size();
    WhileHeld quit(*bus_, [&] {
        emit w.findChild<QMenu*>("mnuFile")->aboutToShow();
        w.findChild<QAction*>("mnuFileItem7")->trigger();
        QCOMPARE(boxes.seen.size(), seen);
    });
    QTRY_VERIFY_WITH_TIMEOUT(quit.Done() && !w.isVisible(), 20000);
    QCOMPARE(boxes.seen.size(), seen + 1);
    QCOMPARE(boxes.seen.back().text, QString("Do you agree to finish software?"));
    QVERIFY(w.Gate().Held() == 0 && !w.Gate().Busy());
}

void MainWindowTest::maximisedCloseStoresTheNormalSizeWithState2() {
    Program& p = StartOnline();
    MainDlg& w = p.Main();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // A normal size the layout allows (Windows' fonts need a wider window than 600).
    const QSize normal = QSize(600, 400).expandedTo(w.minimumSizeHint());
    w.resize(normal);
    QTRY_COMPARE(w.size(), normal);
    w.showMaximized();
    QTRY_VERIFY(w.isMaximized());
    QTRY_VERIFY(w.width() > normal.width());
    BoxAnswerer boxes;  // Yes to "Do you agree to finish software?"
    QVERIFY(w.close());
    QCOMPARE(static_cast<int>(boxes.seen.size()), 1);
    const double tpp = gui::TwipsPerPixel(w.screen());
    QSettings settings;
    const QStringList f = settings.value("MainForm/Form Position").toString().split(',');
    QCOMPARE(f.size(), 5);
    QCOMPARE(f[2].toDouble(), normal.width() * tpp);
    QCOMPARE(f[3].toDouble(), normal.height() * tpp);
    QCOMPARE(f[4], QString("2"));
    QCOMPARE(QString::fromStdString(gui::LoadGeometryText()), settings.value("MainForm/Form Position").toString());
    // The place counts from the corner of the screen it is on (here one right of another).
    QCOMPARE(gui::PlaceOnScreen(2160, 2910, QRect(1920, 300, 1000, 740), 15), QPoint(2064, 494));
#ifndef Q_OS_WIN
    // The line written by hand without its quotes is still the stored text (Windows keeps the
    // text in the registry).
    const QString file = settings.fileName();
    settings.sync();
    QFile conf(file);
    QVERIFY(conf.open(QIODevice::WriteOnly | QIODevice::Truncate));
    conf.write("[MainForm]\nForm%20Position=100, 200 ,9000,6000,2\n");
    conf.close();
    QCOMPARE(QString::fromStdString(gui::LoadGeometryText()), QString("100,200,9000,6000,2"));
#endif
}

void MainWindowTest::splashIsTopmostUntilABoxIsAboutToShow() {
    gui::SplashDlg& splash = program_->Splash();
    splash.Show("Data storage software KMR-5300", "Wait a minute.", 17);
    QVERIFY(splash.isVisible());
    QVERIFY(splash.IsTopmost());
    BoxAnswerer boxes([&] { return splash.IsTopmost(); });
    program_->Ui().ShowMessage("Cannot open communication port.", "GP-IB error", MsgIcon::Exclamation,
                               MsgButtons::Ok);
    QCOMPARE(static_cast<int>(boxes.seen.size()), 1);
    QVERIFY(!boxes.seen[0].splashTopmost);
    QVERIFY(splash.isVisible());  // still shows, behind the box
    splash.Unload();
    QVERIFY(!splash.isVisible());
}

// The conversion's progress goes over the conversion window (in front), not only over the main
// window that owns it, so that clicking the conversion window cannot hide it and its Cancel.
void OwnControlsTest::aProgressWindowStaysOverTheWindowItWorksFor() {
    QWidget main;
    main.show();
    gui::TransactionSplashDlg progress(&main);
    QDialog front(&main);
    front.show();
    QVERIFY(QTest::qWaitForWindowActive(&front));
    progress.Show("Converting file...", "Wait a minute.");
    QCOMPARE(progress.windowHandle()->transientParent(), front.windowHandle());
    progress.Close();
    // With no window of its own in front, over its owner.
    front.hide();
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    progress.Show("Converting file...", "Wait a minute.");
    QCOMPARE(progress.windowHandle()->transientParent(), main.windowHandle());
    progress.Close();
    // Without an owner and with no window in front, it shows on its own.
    main.hide();
    gui::TransactionSplashDlg alone;
    alone.Show("Converting file...", "Wait a minute.");
    QVERIFY(alone.isVisible());
    alone.Close();
}

// --- One program per user ------------------------------------------------------------------------

void MainWindowTest::theRunningProgramAnswersALaterStart() {
    // The real program runs in the test's home (its environment names it); a later start in the
    // same home finds it.
    QProcess first;
    first.start(QString::fromStdString(kmr::testing::BuiltProgram("kmr-5300")), {"--interface", "sim:time=instant"});
    QVERIFY(first.waitForStarted());
    const QString key = gui::SingleInstance::DefaultKey();
    // Asked again until the program listens.
    QTRY_VERIFY_WITH_TIMEOUT(gui::SingleInstance(key).ActivateRunning(), 20000);
    QCOMPARE(first.state(), QProcess::Running);
    gui::SingleInstance later(key);
    QVERIFY(!later.Claim());
    first.kill();
    first.waitForFinished();
}

// Every wrong use of the command line exits with 2 and says what was wrong, before any window.
void MainWindowTest::wrongUsageIsToldWithExitStatusTwo() {
#ifdef _WIN32
    QSKIP("a windowed program's standard error is not caught the same way on Windows");
#endif
    const QStringList cases[] = {{"--bogus"}, {"--interface"}, {"a.kmr", "b.kmr"}, {"--simulate", "--interface", "sim"}};
    const char* said[] = {"Unknown option 'bogus'", "Missing value after '--interface'", "one data file at most",
                          "cannot be used together"};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        QProcess p;
        p.start(QString::fromStdString(kmr::testing::BuiltProgram("kmr-5300")), cases[i]);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 2);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(err.contains(said[i]), qPrintable(err));
    }
}

}  // namespace kmr::guitest
