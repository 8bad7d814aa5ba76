#include "gui/FaultWindowTests.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>

#include "core/datafiles/DataFilesTestSupport.h"
#include "gui/BalanceDlg.h"
#include "gui/BoxAnswerer.h"
#include "gui/CheckTableDlg.h"
#include "gui/FileExchangeDlg.h"
#include "gui/GuiText.h"
#include "gui/MessageBox.h"
#include "gui/OutputCalDlg.h"
#include "gui/WaitDlg.h"
#include "gui/WorkerBus.h"
#include "link/InterfaceSpec.h"
#include "sim/PrologixServer.h"
#include "sim/SimBus.h"
#include "sim/SimInstrument.h"
#include "support/TempDir.h"

namespace kmr::guitest {

namespace {

// A close request as the window manager sends it (the title bar's X, Alt+F4).
void CloseBox(QWidget* w) {
    QCloseEvent event;
    QApplication::sendEvent(w, &event);
}

// The box says the text `textId` names (up to its first placeholder).
bool StartsWith(const SeenBox& b, int textId) {
    const QString text = gui::Q(Text(Language::English, textId));
    return b.text.startsWith(text.left(text.indexOf('%') < 0 ? text.size() : text.indexOf('%')));
}

}  // namespace

// --- The one gate ---------------------------------------------------------------------------------

// The balance, the self-check and the output calibration closed by their close box while one of
// their commands waits: the close is held until the sequence has ended.
void FaultWindowTest::formsClosedByTheirCloseEventWhileACommandWaits() {
    gui::Program& p = StartOnlineStill();
    // `go` pressed and the form's close box used while the reply to `held` waits: the close waits
    // for the sequence (the window still there, the main window still off), then is carried out.
    const auto closeWhileHeld = [&](QPointer<gui::FormDlg> form, const char* held, QAbstractButton* go) {
        bus_->Hold(held);
        bool openWhileWaiting = false;
        WhileHeld during(*bus_, [&] {
            CloseBox(form);
            openWhileWaiting = form && !form->IsUnloaded() && p.Core().forms.IsOpen();
        });
        go->click();
        QVERIFY(during.Done());
        QVERIFY(openWhileWaiting);
        QTRY_VERIFY(form.isNull());
        QVERIFY(!p.Core().forms.IsOpen());
        QVERIFY(p.Main().menuBar()->isEnabled());
    };
    auto* balance = OpenFromMenu<gui::BalanceDlg>(p.Main(), "mnuMeasItem2");
    QVERIFY(balance != nullptr);
    closeWhileHeld(balance, "BAL", balance->findChild<QPushButton*>("cmdButton1"));
    QCOMPARE(Count(bus_->Commands(), "BAL"), 1);

    auto* check = OpenFromMenu<gui::CheckTableDlg>(p.Main(), "mnuOptionItem0");
    QVERIFY(check != nullptr);
    check->findChild<QCheckBox*>("chkInsul")->click();
    check->findChild<QCheckBox*>("chkSence")->click();
    closeWhileHeld(check, "CHK2", check->findChild<QPushButton*>("cmdButton1"));

    auto* cal = OpenFromMenu<gui::OutputCalDlg>(p.Main(), "mnuOptionItem2");
    QVERIFY(cal != nullptr);
    cal->UseBox(1)->click();
    cal->ValueBox(1)->setText("1234");
    emit cal->ValueBox(1)->editingFinished();
    const std::size_t from = bus_->Commands().size();
    closeWhileHeld(cal, "CAL1230", cal->OutputButton(CalButton::Plus));
    // The held close ran after the calibration's sequence: the output was ended with MON.
    const auto sent = Since(bus_->Commands(), from);
    QVERIFY(!sent.empty());
    QCOMPARE(QString::fromStdString(sent.back()), QString("MON"));
}

void FaultWindowTest::monitorTickNeverRunsBesideTheOutputCalClose() {
    gui::Program& p = StartOnlineStill();
    // Monitoring runs on: the output calibration does not pause it.
    p.Main().findChild<QPushButton*>("cmdMoniKmr")->click();
    QVERIFY(p.State().MonitoringOn != kFalse);
    QPointer<gui::OutputCalDlg> dlg = OpenFromMenu<gui::OutputCalDlg>(p.Main(), "mnuOptionItem2");
    QVERIFY(dlg);
    QTRY_VERIFY(Count(bus_->Commands(), "MDT") > 2);
    bus_->Hold("MON");
    std::vector<std::string> whileWaiting;
    QSignalSpy ticks(&p.Main().MoniTimer(), &QTimer::timeout);
    bool ticked = false;
    WhileHeld during(*bus_, [&] {
        // Monitor ticks fall due while MON waits; none may reach the bus.
        const int before = ticks.count();
        ticked = QTest::qWaitFor([&] { return ticks.count() >= before + 3; }, 5000);
        whileWaiting = bus_->Commands();
    });
    CloseBox(dlg);
    QTRY_VERIFY(during.Done());
    QTRY_VERIFY(dlg.isNull());
    QVERIFY(ticked);
    QVERIFY(!whileWaiting.empty());
    QCOMPARE(QString::fromStdString(whileWaiting.back()), QString("MON"));
    auto* worker = dynamic_cast<gui::WorkerBus*>(p.Core().link.bus.get());
    QVERIFY(worker != nullptr);
    QCOMPARE(worker->Refused(), 0);
    // The monitor goes on afterwards.
    const std::size_t after = bus_->Commands().size();
    QTRY_VERIFY(Count(Since(bus_->Commands(), after), "MDT") > 0);
    p.Main().findChild<QPushButton*>("cmdMoniKmr")->click();
}

void FaultWindowTest::conversionClosedWhileConvertingKeepsTheMainWindowOff() {
    gui::Program& p = StartOnlineStill();
    const std::string data = p.State().DefaultDataFolder();
    for (const char* name : {"1.kmr", "2.kmr", "3.kmr"}) QVERIFY(testing::WriteLevelKmr(data + name, 20, {1, 2}));
    QPointer<gui::FileExchangeDlg> dlg = OpenFromMenu<gui::FileExchangeDlg>(p.Main(), "mnuFileItem5");
    QVERIFY(dlg);
    for (int row = 0; row < 3; ++row) dlg->CheckDataFile(static_cast<std::size_t>(row), true);
    // The close box is used as soon as the progress window shows.
    bool closed = false, formOpenAfterClose = false, mainOffAfterClose = false;
    OnShow closeAtOnce(p.ProgressWindow(), [&] {
        if (std::exchange(closed, true)) return;
        CloseBox(dlg);
        formOpenAfterClose = p.Core().forms.IsOpen();
        mainOffAfterClose = !p.Main().menuBar()->isEnabled();
    });
    BoxAnswerer boxes;
    dlg->findChild<QPushButton*>("cmdButton1")->click();
    QVERIFY(formOpenAfterClose);
    QVERIFY(mainOffAfterClose);
    // The held close ran once the conversion had ended.
    QTRY_VERIFY(dlg.isNull());
    QVERIFY(!p.Core().forms.IsOpen());
    QVERIFY(p.Main().menuBar()->isEnabled());
}

// --- Yes/No questions and the main window behind a form ------------------------------------------

void FaultWindowTest::returnAndSpaceAnswerTheDefaultOfEveryQuestion() {
    gui::Program& p = StartOnlineStill();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        BoxAnswerer keys(key);
        QVERIFY(!p.Main().close());
        QCOMPARE(keys.seen.size(), std::size_t(1));
        QCOMPARE(keys.seen[0].text, gui::T(txt::ConfirmQuit));
        // "Do you agree to finish software?" has No as its default: the key answered No.
        QCOMPARE(keys.seen[0].focused, QString("cmdNo"));
        QVERIFY(p.Main().isVisible());
        QVERIFY(!p.Main().Unloaded());
    }
    // Any box: Return and Space answer its default, which has the focus; a letter answers its
    // initial whichever button has the focus (the letters: KeyboardTest).
    for (const auto& [key, buttons, defaultNo, answer, focused] :
         {std::tuple{Qt::Key_Return, MsgButtons::YesNo, false, MsgAnswer::Yes, "cmdYes"},
          std::tuple{Qt::Key_Space, MsgButtons::YesNo, false, MsgAnswer::Yes, "cmdYes"},
          std::tuple{Qt::Key_Space, MsgButtons::YesNo, true, MsgAnswer::No, "cmdNo"},
          std::tuple{Qt::Key_Y, MsgButtons::YesNo, true, MsgAnswer::Yes, "cmdNo"},
          std::tuple{Qt::Key_C, MsgButtons::RetryCancel, false, MsgAnswer::Cancel, "cmdRetry"}}) {
        gui::MessageBox box(nullptr, "?", "Question", MsgIcon::Question, buttons, defaultNo);
        BoxAnswerer keys(key);
        QCOMPARE(box.Ask(), answer);
        QCOMPARE(keys.seen.size(), std::size_t(1));
        QCOMPARE(keys.seen[0].focused, QString(focused));
    }
    BoxAnswerer yes;
    QVERIFY(p.Main().close());
}

// The live values' tick comes while the quit question is up and is held; answered No, the tick
// reads and the instrument stalls. A second close then (Alt+F4 again) is held as any close while a
// call waits: inside the first close's event, the system took it as done without asking, took the
// window away and ended the program after the wait.
void FaultWindowTest::aTickHeldByTheQuitQuestionWaitsOutsideTheCloseAndASecondCloseIsHeld() {
    gui::Program& p = StartOnlineStill();
    p.Main().findChild<QPushButton*>("cmdMoniKmr")->click();
    p.Main().MoniTimer().stop();
    bus_->Hold("MDT");
    std::vector<SeenBox> asked;
    QTimer answer;
    answer.setInterval(5);
    connect(&answer, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<gui::MessageBox*>(QApplication::activeModalWidget());
        // The quit question is answered once the tick has come and been held.
        if (box == nullptr || box->property("kmrSeen").toBool() || (asked.empty() && p.Core().gate.Held() == 0))
            return;
        box->setProperty("kmrSeen", true);
        asked.push_back(SeenBox{box->findChild<QLabel*>("lblText")->text(), {}, false, {}});
        for (const char* name : {"cmdNo", "cmdOk"})
            if (auto* b = box->findChild<QPushButton*>(name)) return b->click();
    });
    answer.start();
    bool secondClosed = true;
    WhileHeld during(*bus_, [&] {
        secondClosed = p.Main().close();
        bus_->SetLinkLost(true);
    });
    p.Main().MoniTimer().start(1);
    QVERIFY(!p.Main().close());
    QTRY_VERIFY(during.Done());
    QVERIFY(!secondClosed);
    // The lost instrument said once, then the held close asked again.
    QTRY_COMPARE(asked.size(), std::size_t(3));
    QCOMPARE(asked[0].text, gui::T(txt::ConfirmQuit));
    QVERIFY2(StartsWith(asked[1], txt::LostDuringMonitoring), qPrintable(asked[1].text));
    QCOMPARE(asked[2].text, gui::T(txt::ConfirmQuit));
    QVERIFY(p.Main().isVisible());
    QVERIFY(!p.Main().Unloaded());
}

void FaultWindowTest::returnAnswersNoInTheOfflineOffer() {
    const gui::ProgramOptions o = HomeOptions("gpib:lib=/nonexistent/libgpib.so");
    BoxAnswerer keys(Qt::Key_Return);
    QCOMPARE(program_->Start(o), StartupOutcome::Exit);
    QCOMPARE(keys.seen.size(), std::size_t(2));  // the open failure (OK), then the off-line offer
    QCOMPARE(keys.seen[0].focused, QString("cmdOk"));
    QCOMPARE(keys.seen[1].focused, QString("cmdNo"));
}

void FaultWindowTest::mainWindowCloseIsRefusedWhileAnyFormIsOpen() {
    gui::Program& p = StartOnlineStill();
    for (const char* item : {"mnuFileItem0", "mnuFileItem2", "mnuFileItem3", "mnuFileItem5", "mnuMeasItem2",
                             "mnuOptionItem0", "mnuOptionItem2"}) {
        QPointer<gui::FormDlg> form = OpenFromMenu<gui::FormDlg>(p.Main(), item);
        QVERIFY2(form, item);
        BoxAnswerer boxes;  // a Yes to the quit question would end the program
        // The close box of the main window, and close() as a program would call it.
        CloseBox(&p.Main());
        QVERIFY2(!p.Main().close(), item);
        QVERIFY2(boxes.seen.empty(), item);  // not even asked
        QVERIFY2(!p.Main().Unloaded(), item);
        QVERIFY2(form && !form->IsUnloaded(), item);
        BoxAnswerer closing;
        form->close();
        QTRY_VERIFY2(form.isNull(), item);
        QVERIFY(!p.Core().forms.IsOpen());
    }
}

// The output calibration keeps a value typed without Enter when its close box is used; the
// program's end closes it through its own close.
void FaultWindowTest::outputCalKeepsATypedValueOnTheCloseBox() {
    gui::Program& p = StartOnlineStill();
    QPointer<gui::OutputCalDlg> typed = OpenFromMenu<gui::OutputCalDlg>(p.Main(), "mnuOptionItem2");
    QVERIFY(typed);
    typed->UseBox(2)->click();
    QLineEdit* box = typed->ValueBox(2);
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, "700");
    QVERIFY(box->isModified());
    CloseBox(typed);
    QTRY_VERIFY(typed.isNull());
    const QList<QByteArray> lines =
        QByteArray::fromStdString(testing::ReadAll(p.State().CondPath(kOutputCalCnd))).split('\n');
    QVERIFY(lines.size() > 2);
    QCOMPARE(lines[1].trimmed(), QByteArray("1,700"));
}

// A program of its own: run after the close-box case in one program, this timed out under Wine.
// The system ends the program (SIGTERM at logout, SIGHUP, Ctrl+C in its terminal): nobody answers
// a question. An open output calibration ends through its own close (MON) and the window goes (a
// recording is kept: systemEndDuringAStalledCommandEndsAfterTheAttemptInProgress).
void FaultWindowTest::systemEndClosesTheFormWithoutAQuestion() {
    gui::Program& p = StartOnlineStill();
    QPointer<gui::OutputCalDlg> dlg = OpenFromMenu<gui::OutputCalDlg>(p.Main(), "mnuOptionItem2");
    QVERIFY(dlg);
    dlg->UseBox(1)->click();
    dlg->OutputButton(CalButton::Plus)->click();
    const std::size_t from = bus_->Commands().size();
    BoxAnswerer boxes;
    p.EndAtSystemRequest();
    QTRY_VERIFY(p.Main().Unloaded() && !p.Main().isVisible());
    QVERIFY(boxes.seen.empty());
    QCOMPARE(Count(Since(bus_->Commands(), from), "MON"), 1);
}

// The end comes twice while File > Open waits for a file: the chooser closes as by its Cancel
// (else, after 3 s, the test closes it) and the program ends once, its window's place kept.
void FaultWindowTest::systemEndTwiceWithAFileChooserOpenEndsOnce() {
    gui::Program& p = StartOnline();
    int geometrySaves = 0;
    p.Main().saveGeometry = [&geometrySaves](const MainFormGeometry&) { ++geometrySaves; };
    QElapsedTimer since;
    bool closedByHand = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (chooser == nullptr || closedByHand) return;
        if (!since.isValid()) {
            since.start();
            p.EndAtSystemRequest();
            p.EndAtSystemRequest();
        } else if ((closedByHand = since.elapsed() > 3000)) {
            chooser->reject();
        }
    });
    poll.start(5);
    QVERIFY(Choose(p.Main(), "mnuFileOpen"));
    QVERIFY(since.isValid() && !closedByHand);
    QTRY_VERIFY(p.Main().Unloaded() && !p.Main().isVisible());
    QCOMPARE(geometrySaves, 1);
}

void FaultWindowTest::programEndClosesOutputCalThroughItsOwnClose() {
    gui::Program& p = StartOnlineStill();
    QPointer<gui::OutputCalDlg> dlg = OpenFromMenu<gui::OutputCalDlg>(p.Main(), "mnuOptionItem2");
    QVERIFY(dlg);
    dlg->UseBox(1)->click();
    QLineEdit* value = dlg->ValueBox(1);
    value->setText("1234");
    emit value->editingFinished();
    // The value shows rounded in its box and its label (the rounding: CalDigitsTest); the output
    // on shows on its button, in blue, with the box locked.
    QCOMPARE(value->text(), QString("1230"));
    QCOMPARE(dlg->findChild<QLabel*>("lblKmr1")->text(), QString("1230"));
    dlg->OutputButton(CalButton::Plus)->click();
    QCOMPARE(Count(bus_->Commands(), "CAL1230"), 1);
    QCOMPARE(dlg->OutputButton(CalButton::Plus)->palette().color(QPalette::Button), QColor(0, 0, 255));
    QVERIFY(!value->isEnabled());
    const std::size_t from = bus_->Commands().size();
    BoxAnswerer boxes;
    QVERIFY(!p.Main().close());
    QVERIFY(boxes.seen.empty());
    QCOMPARE(Count(Since(bus_->Commands(), from), "MON"), 0);
    // The program ends with the window open: the output is ended first.
    GateBus* bus = bus_;
    std::vector<std::string> commands;
    // The bus goes with the program; its commands are read when the form goes.
    connect(dlg, &QObject::destroyed, this, [&] { commands = bus->Commands(); });
    program_.reset();
    QVERIFY(!commands.empty());
    QCOMPARE(Count(Since(commands, from), "MON"), 1);
}

// --- A lost instrument ---------------------------------------------------------------------------

void FaultWindowTest::balanceAndCheckWithADeadInstrumentShowOneMessageEach() {
    gui::Program& p = StartOnlineStill();
    QPointer<gui::BalanceDlg> dlg = OpenFromMenu<gui::BalanceDlg>(p.Main(), "mnuMeasItem2");
    QVERIFY(dlg);
    dlg->MoniTimer().stop();
    bus_->SetLinkLost(true);
    BoxAnswerer boxes(Qt::Key_Return);  // as a keyboard answers
    const std::size_t from = bus_->Commands().size();
    dlg->findChild<QPushButton*>("cmdButton1")->click();
    QCOMPARE(static_cast<int>(boxes.seen.size()), 1);
    QVERIFY(StartsWith(boxes.seen[0], txt::LostDuringBalance));
    // Ended after the first command's attempts.
    for (const auto& c : Since(bus_->Commands(), from)) QCOMPARE(QString::fromStdString(c), QString("RES"));
    // The window goes with the live values: no reading waits for the instrument again.
    QTRY_VERIFY(dlg.isNull());
    QCOMPARE(static_cast<int>(boxes.seen.size()), 1);
    QVERIFY(p.Main().isEnabled());
    bus_->SetLinkLost(false);

    // The same for the self-check, lost while the wait notice shows: one message naming the
    // command, no later check sent. The message stands over the check window, and the keyboard
    // goes back there afterwards, not to the main window the form keeps off.
    QPointer<gui::CheckTableDlg> check = OpenFromMenu<gui::CheckTableDlg>(p.Main(), "mnuOptionItem0");
    QVERIFY(check);
    QTRY_COMPARE(QApplication::activeWindow(), check.data());
    for (const char* box : {"chkRom", "chkInsul", "chkSence"}) check->findChild<QCheckBox*>(box)->click();
    const int notice = gui::WorkerBus::waitNoticeMs;
    gui::WorkerBus::waitNoticeMs = 50;
    bus_->Hold("CHK0");
    WhileHeld lose(*bus_, [&] { bus_->SetLinkLost(true); }, [&p] { return p.WaitNotice().isVisible(); });
    check->findChild<QPushButton*>("cmdButton1")->click();
    gui::WorkerBus::waitNoticeMs = notice;
    QVERIFY(lose.Done());
    QCOMPARE(static_cast<int>(boxes.seen.size()), 2);
    QVERIFY(StartsWith(boxes.seen[1], txt::LostDuringCheck));
    QVERIFY(boxes.seen[1].text.contains("CHK0"));
    QCOMPARE(boxes.seen[1].owner, QString("CheckTableDlg"));
    QTRY_COMPARE(QApplication::activeWindow(), check.data());
    QCOMPARE(Count(bus_->Commands(), "CHK2"), 0);
    bus_->SetLinkLost(false);
    CloseBox(check);
    QTRY_VERIFY(check.isNull());
}

// --- A stalled link, reconnection -----------------------------------------------------------------

void FaultWindowTest::stalledLinkSaysWhatItWaitsForAndStopEndsTheRun() {
    gui::Program& p = StartOnlineStill();
    const int notice = gui::WorkerBus::waitNoticeMs;
    gui::WorkerBus::waitNoticeMs = 300;
    p.Main().findChild<QPushButton*>("cmdMeasKmr")->click();
    QVERIFY(p.State().RunActive());
    p.Main().MoniTimer().stop();
    p.Main().EocTimer().stop();
    bus_->Hold("EOC");
    BoxAnswerer boxes;
    QString shown, button;
    bool blocking = true;
    bool above = false;
    gui::WaitDlg& wait = p.WaitNotice();
    WhileHeld stop(*bus_, [&] {
        shown = wait.Label()->text();
        button = wait.Button()->text();
        // No modal window: the system would drop a close of the main window instead of letting
        // it be held.
        blocking = QGuiApplication::modalWindow() != nullptr;
        above = wait.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        QTest::mouseClick(wait.Button(), Qt::LeftButton);
        // The attempt in progress ends (here: fails); no other attempt follows.
        bus_->SetLinkLost(true);
    }, [&wait] { return wait.isVisible(); });
    p.Main().EocTimer().start();
    QTRY_VERIFY_WITH_TIMEOUT(!p.State().RunActive(), 10000);
    gui::WorkerBus::waitNoticeMs = notice;
    QVERIFY2(shown.contains("EOC"), qPrintable(shown));
    QCOMPARE(button, QString("Stop"));
    QVERIFY(!blocking);
    // A click on the window behind must not bury the notice and its button.
    QVERIFY(above);
    QVERIFY(!p.WaitNotice().isVisible());
    QCOMPARE(Count(bus_->Commands(), "EOC"), 1);
    QCOMPARE(static_cast<int>(boxes.seen.size()), 1);
    QVERIFY(StartsWith(boxes.seen[0], txt::LostDuringMeasurement));
    QVERIFY(!p.Main().EocTimer().isActive());
}

// The system ends the program (a logout) while a run's poll waits for the instrument, many
// attempts allowed: the poll ends after the attempt in progress, as the notice's Stop ends it. An
// instrument that stays silent has its run ended as lost, said once; one that answers that
// attempt has its run stopped and its recording kept, without a box. The window's place is kept.
void FaultWindowTest::systemEndDuringAStalledCommandEndsAfterTheAttemptInProgress() {
    for (const bool answers : {false, true}) {
        if (answers) {
            TearDownProgram();
            SetUpProgram();
        }
        const auto time = std::make_shared<sim::ManualTimeSource>();
        gui::Program& p = StartOnline([time](const std::string& spec) -> std::unique_ptr<GpibBus> {
            sim::SimOptions options = sim::ParseSimOptions(spec).options.value();
            options.time = sim::SimTimeMode::Real;  // on the test's clock: 400 ms recorded
            return std::make_unique<sim::SimBus>(options, time);
        });
        int geometrySaves = 0;
        p.Main().saveGeometry = [&geometrySaves](const MainFormGeometry&) { ++geometrySaves; };
        p.State().Gpib.Attempts = 30;
        p.Main().findChild<QPushButton*>("cmdMeasKmr")->click();
        p.Main().EocTimer().stop();
        time->Advance(0.4);
        const std::size_t from = bus_->Commands().size();
        bus_->Hold("EOC");
        BoxAnswerer boxes;
        QElapsedTimer took;
        WhileHeld end(*bus_, [&] {
            took.start();
            p.EndAtSystemRequest();
            bus_->SetLinkLost(!answers);  // silent: this attempt and every later one fail
        });
        p.Main().EocTimer().start();
        QTRY_VERIFY_WITH_TIMEOUT(p.Main().Unloaded() && !p.Main().isVisible(), 20000);
        qInfo("ended %lld ms after the request", static_cast<long long>(took.elapsed()));
        const std::vector<std::string> sent = Since(bus_->Commands(), from);
        QCOMPARE(Count(sent, "EOC"), answers ? 2 : 1);  // a stop asks once more after its HLT
        // The poll cut short goes on to the Stop, tried once: silent, it ends the run as lost.
        QCOMPARE(Count(sent, "HLT"), 1);
        QCOMPARE(static_cast<int>(boxes.seen.size()), answers ? 0 : 1);
        QCOMPARE(geometrySaves, 1);
        if (answers) {
            const std::string file = p.State().DefaultDataFolder() + p.State().Global.BaseFileName + ".kmr";
            QCOMPARE(testing::Le32(testing::ReadAll(file), 62), 400);
        }
    }
}

void FaultWindowTest::adapterRestartedIsReconnectedByTheNextAction() {
    // kmr-sim's adapter on loopback, stopped and started again on the same port.
    auto sim = std::make_unique<sim::SimBus>(*sim::ParseSimOptions("sim:time=instant").options);
    PrologixServerOptions so;
    so.port = 0;
    auto server = std::make_unique<PrologixServer>(*sim, so);
    std::string error;
    QVERIFY2(server->Start(error), error.c_str());
    const int port = server->Port();
    const std::string spec = "prologix:127.0.0.1:" + std::to_string(port);
    gui::Program& p = StartOnline([spec](const std::string&) { return MakeGpibBusOrExplain(spec); });
    QCOMPARE(p.State().ProgramMode, kModeOnline);
    server->Stop();
    server.reset();
    BoxAnswerer boxes;
    QPushButton* monitor = p.Main().findChild<QPushButton*>("cmdMoniKmr");
    monitor->click();
    QTRY_VERIFY_WITH_TIMEOUT(p.State().MonitoringOn == kFalse, 10000);
    QCOMPARE(static_cast<int>(boxes.seen.size()), 1);
    // The adapter is back on the same port: the next action connects again and works.
    so.port = port;
    server = std::make_unique<PrologixServer>(*sim, so);
    QVERIFY2(server->Start(error), error.c_str());
    const int opensBefore = bus_->Opens();
    monitor->click();
    QVERIFY(p.State().MonitoringOn != kFalse);
    const std::size_t from = bus_->Commands().size();
    QTRY_VERIFY_WITH_TIMEOUT(Count(Since(bus_->Commands(), from), "MDT") >= 3, 10000);
    QVERIFY(p.State().MonitoringOn != kFalse);
    QCOMPARE(static_cast<int>(boxes.seen.size()), 1);
    QCOMPARE(bus_->Opens(), opensBefore);  // the route connected again by itself
    monitor->click();
    p.Main().MoniTimer().stop();
    program_.reset();
    server->Stop();
}

void FaultWindowTest::connectMenuGoesOnlineWithoutARestart() {
    bool adapterOn = false;
    gui::ProgramOptions o = HomeOptions();
    o.makeBus = [this, &adapterOn](const std::string& spec, std::string& error) -> std::unique_ptr<GpibBus> {
        if (!adapterOn) {
            error = "the adapter is off";
            return nullptr;
        }
        auto gate = std::make_unique<GateBus>(MakeGpibBusOrExplain(spec));
        bus_ = gate.get();
        return gui::OnWorker(std::move(gate));
    };
    BoxAnswerer boxes;  // OK to the open failure, then Yes to "continue off-line?"
    QCOMPARE(program_->Start(o), StartupOutcome::Offline);
    gui::Program& p = *program_;
    QCOMPARE(p.Main().windowTitle(), QString("KMR-5300"));
    QVERIFY(!p.Main().findChild<QPushButton*>("cmdMeasKmr")->isEnabled());
    adapterOn = true;
    QVERIFY(Choose(p.Main(), "mnuOptionConnect"));
    QCOMPARE(p.State().ProgramMode, kModeOnline);
    QCOMPARE(static_cast<int>(boxes.seen.size()), 2);  // nothing more was shown
    QVERIFY(p.Main().windowTitle().endsWith("(Next data file)"));
    for (const char* b : {"cmdBalKmr", "cmdMoniKmr", "cmdMeasKmr"})
        QVERIFY2(p.Main().findChild<QPushButton*>(b)->isEnabled(), b);
    QVERIFY(!p.Splash().isVisible());
    // The instrument was identified and given the conditions.
    QVERIFY(Count(bus_->Commands(), "VER") >= 1);
    // And works: a run records and transfers.
    p.Main().findChild<QPushButton*>("cmdMeasKmr")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!p.State().RunActive() && !p.State().LastDataFile.empty(), 20000);
    QVERIFY(p.State().LastTransferComplete);
}

}  // namespace kmr::guitest
