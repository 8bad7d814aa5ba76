#include "gui/FaultWindowTests.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "core/datafiles/DataFilesTestSupport.h"
#include "gui/BalanceDlg.h"
#include "gui/BoxAnswerer.h"
#include "gui/CheckTableDlg.h"
#include "gui/FileExchangeDlg.h"
#include "gui/GateBus.h"
#include "gui/GuiText.h"
#include "gui/MessageBox.h"
#include "gui/OutputCalDlg.h"
#include "gui/WaitDlg.h"
#include "gui/WorkerBus.h"
#include "link/InterfaceSpec.h"
#include "sim/PrologixServer.h"
#include "sim/SimBus.h"
#include "sim/SimInstrument.h"

namespace kmr::guitest {

namespace {

// Runs `action` once while the bus holds a reply, then releases it.
class WhileHeld : public QObject {
public:
    WhileHeld(GateBus& bus, std::function<void()> action) : bus_(bus), action_(std::move(action)) {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (done_ || !bus_.Waiting()) return;
            done_ = true;
            action_();
            bus_.Release();
        });
        timer_.start();
    }
    bool Done() const { return done_; }

private:
    GateBus& bus_;
    std::function<void()> action_;
    QTimer timer_;
    bool done_ = false;
};

// A close request as the window manager sends it (the title bar's X, Alt+F4).
void CloseBox(QWidget* w) {
    QCloseEvent event;
    QApplication::sendEvent(w, &event);
}

}  // namespace

// --- The one gate ---------------------------------------------------------------------------------

// The balance, the self-check and the output calibration closed by their close box while one of
// their commands waits: the close is held until the sequence has ended.
void FaultWindowTest::formsClosedByTheirCloseEventWhileACommandWaits() {
    gui::Program& p = StartOnlineStill();
    QPointer<gui::BalanceDlg> dlg = OpenFromMenu<gui::BalanceDlg>(p.Main(), "mnuMeasItem2");
    QVERIFY(dlg);
    bus_->Hold("BAL");
    bool openWhileWaiting = false;
    WhileHeld during(*bus_, [&] {
        CloseBox(dlg);
        // The close waits for the command: the window is still there, the main window still off.
        openWhileWaiting = dlg && !dlg->IsUnloaded() && p.Core().forms.IsOpen();
    });
    dlg->findChild<QPushButton*>("cmdButton1")->click();
    QVERIFY(during.Done());
    QVERIFY(openWhileWaiting);
    // The balance ended its sequence, then the held close was carried out.
    QTRY_VERIFY(!p.Core().forms.IsOpen());
    QTRY_VERIFY(dlg.isNull());
    QVERIFY(p.Main().menuBar()->isEnabled());
    QCOMPARE(Count(bus_->Commands(), "BAL"), 1);

    QPointer<gui::CheckTableDlg> check = OpenFromMenu<gui::CheckTableDlg>(p.Main(), "mnuOptionItem0");
    QVERIFY(check);
    check->findChild<QCheckBox*>("chkInsul")->click();
    check->findChild<QCheckBox*>("chkSence")->click();
    bus_->Hold("CHK2");
    WhileHeld duringCheck(*bus_, [&] { CloseBox(check); });
    check->findChild<QPushButton*>("cmdButton1")->click();
    QVERIFY(duringCheck.Done());
    QTRY_VERIFY(check.isNull());
    QVERIFY(!p.Core().forms.IsOpen());
    QVERIFY(p.Main().menuBar()->isEnabled());

    QPointer<gui::OutputCalDlg> cal = OpenFromMenu<gui::OutputCalDlg>(p.Main(), "mnuOptionItem2");
    QVERIFY(cal);
    cal->UseBox(1)->click();
    cal->ValueBox(1)->setText("1234");
    emit cal->ValueBox(1)->editingFinished();
    bus_->Hold("CAL1230");
    WhileHeld duringCal(*bus_, [&] { CloseBox(cal); });
    const std::size_t from = bus_->Commands().size();
    cal->OutputButton(CalButton::Plus)->click();
    QVERIFY(duringCal.Done());
    QTRY_VERIFY(cal.isNull());
    const auto sent = Since(bus_->Commands(), from);
    // The held close ran after the calibration's sequence: the output was ended with MON.
    QVERIFY(!sent.empty());
    QCOMPARE(QString::fromStdString(sent.back()), QString("MON"));
    QVERIFY(!p.Core().forms.IsOpen());
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
    for (const char* name : {"1.kmr", "2.kmr", "3.kmr"})
        QVERIFY(testing::WriteKmr(data + name, testing::ConditionsWith({1, 2}, 20), 20,
                                  {std::vector<std::int16_t>(20, 1), std::vector<std::int16_t>(20, 2)}));
    QPointer<gui::FileExchangeDlg> dlg = OpenFromMenu<gui::FileExchangeDlg>(p.Main(), "mnuFileItem5");
    QVERIFY(dlg);
    for (int row = 0; row < 3; ++row) dlg->CheckDataFile(static_cast<std::size_t>(row), true);
    // The close box is used as soon as the progress window shows.
    bool formOpenAfterClose = false;
    bool mainOffAfterClose = false;
    struct ShowFilter : QObject {
        std::function<void()> onShow;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Show && onShow) {
                auto f = std::move(onShow);
                onShow = nullptr;
                f();
            }
            return false;
        }
    } filter;
    filter.onShow = [&] {
        CloseBox(dlg);
        formOpenAfterClose = p.Core().forms.IsOpen();
        mainOffAfterClose = !p.Main().menuBar()->isEnabled();
    };
    p.ProgressWindow().installEventFilter(&filter);
    BoxAnswerer boxes;
    dlg->findChild<QPushButton*>("cmdButton1")->click();
    QVERIFY(formOpenAfterClose);
    QVERIFY(mainOffAfterClose);
    // The held close ran once the conversion had ended.
    QTRY_VERIFY(dlg.isNull());
    QVERIFY(!p.Core().forms.IsOpen());
    QVERIFY(p.Main().menuBar()->isEnabled());
    p.ProgressWindow().removeEventFilter(&filter);
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
    // Any Yes/No box: Return and Space answer its default.
    for (const auto& [key, defaultNo] :
         {std::pair{Qt::Key_Return, false}, std::pair{Qt::Key_Space, false}, std::pair{Qt::Key_Space, true}}) {
        gui::MessageBox box(nullptr, "?", "Question", MsgIcon::Question, MsgButtons::YesNo, defaultNo);
        BoxAnswerer keys(key);
        QCOMPARE(box.Ask(), defaultNo ? MsgAnswer::No : MsgAnswer::Yes);
        QCOMPARE(keys.seen.size(), std::size_t(1));
        QCOMPARE(keys.seen[0].focused, QString(defaultNo ? "cmdNo" : "cmdYes"));
    }
    // A letter answers whichever button has the focus (the letters: KeyboardTest).
    for (const auto& [key, buttons, answer] :
         {std::tuple{Qt::Key_Y, MsgButtons::YesNo, MsgAnswer::Yes},
          std::tuple{Qt::Key_C, MsgButtons::RetryCancel, MsgAnswer::Cancel}}) {
        gui::MessageBox box(nullptr, "?", "Question", MsgIcon::Question, buttons, answer == MsgAnswer::Yes);
        BoxAnswerer keys(key);
        QCOMPARE(box.Ask(), answer);
    }
    BoxAnswerer yes;
    yes.script = {"cmdYes"};
    QVERIFY(p.Main().close());
}

void FaultWindowTest::returnAnswersNoInTheOfflineOffer() {
    gui::ProgramOptions o = HomeOptions();
    o.interfaceOverride = "gpib:lib=/nonexistent/libgpib.so";
    BoxAnswerer keys(Qt::Key_Return);
    QCOMPARE(program_->Start(o), StartupOutcome::Exit);
    QCOMPARE(keys.seen.size(), std::size_t(2));  // the open failure (OK), then the off-line offer
    QCOMPARE(keys.seen[0].focused, QString("cmdOk"));
    QCOMPARE(keys.seen[1].focused, QString("cmdNo"));
}

void FaultWindowTest::mainWindowCloseIsRefusedWhileAnyFormIsOpen() {
    gui::Program& p = StartOnlineStill();
    const char* items[] = {"mnuFileItem0", "mnuFileItem2", "mnuFileItem3", "mnuFileItem5",
                           "mnuMeasItem2", "mnuOptionItem0", "mnuOptionItem2"};
    for (const char* item : items) {
        QPointer<gui::FormDlg> form = OpenFromMenu<gui::FormDlg>(p.Main(), item);
        QVERIFY2(form, item);
        BoxAnswerer boxes;
        boxes.script = {"cmdYes"};
        // The close box of the main window, and close() as a program would call it.
        CloseBox(&p.Main());
        QVERIFY2(!p.Main().close(), item);
        QVERIFY2(boxes.seen.empty(), item);  // not even asked
        QVERIFY2(!p.Main().Unloaded(), item);
        QVERIFY2(form && !form->IsUnloaded(), item);
        BoxAnswerer closing;
        closing.script = {"cmdYes"};
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
    const QString path = QString::fromStdString(p.State().CondPath(kOutputCalCnd));
    CloseBox(typed);
    QTRY_VERIFY(typed.isNull());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QVERIFY(lines.size() > 2);
    QCOMPARE(lines[1].trimmed(), QByteArray("1,700"));
}

// A program of its own: run after the close-box case in one program, this timed out under Wine.
void FaultWindowTest::programEndClosesOutputCalThroughItsOwnClose() {
    gui::Program& p = StartOnlineStill();
    QPointer<gui::OutputCalDlg> dlg = OpenFromMenu<gui::OutputCalDlg>(p.Main(), "mnuOptionItem2");
    QVERIFY(dlg);
    dlg->UseBox(1)->click();
    dlg->ValueBox(1)->setText("1000");
    emit dlg->ValueBox(1)->editingFinished();
    dlg->OutputButton(CalButton::Plus)->click();
    QCOMPARE(Count(bus_->Commands(), "CAL1000"), 1);
    const std::size_t from = bus_->Commands().size();
    BoxAnswerer boxes;
    boxes.script = {"cmdYes"};
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

namespace {

bool StartsWith(const SeenBox& b, int textId) {
    const QString text = gui::Q(Text(Language::English, textId));
    return b.text.startsWith(text.left(text.indexOf('%') < 0 ? text.size() : text.indexOf('%')));
}

}  // namespace

void FaultWindowTest::balanceAndCheckWithADeadInstrumentShowOneMessageEach() {
    gui::Program& p = StartOnlineStill();
    QPointer<gui::BalanceDlg> dlg = OpenFromMenu<gui::BalanceDlg>(p.Main(), "mnuMeasItem2");
    QVERIFY(dlg);
    dlg->MoniTimer().stop();
    bus_->LoseLink();
    BoxAnswerer boxes;
    const std::size_t from = bus_->Commands().size();
    dlg->findChild<QPushButton*>("cmdButton1")->click();
    QCOMPARE(static_cast<int>(boxes.seen.size()), 1);
    QVERIFY(StartsWith(boxes.seen[0], txt::LostDuringBalance));
    // Ended after the first command's attempts.
    for (const auto& c : Since(bus_->Commands(), from)) QCOMPARE(QString::fromStdString(c), QString("RES"));
    QVERIFY(dlg->isVisible());
    bus_->Restore();
    CloseBox(dlg);
    QTRY_VERIFY(dlg.isNull());

    // The same for the self-check: one message naming the command, no later check sent.
    QPointer<gui::CheckTableDlg> check = OpenFromMenu<gui::CheckTableDlg>(p.Main(), "mnuOptionItem0");
    QVERIFY(check);
    for (const char* box : {"chkRom", "chkInsul", "chkSence"}) check->findChild<QCheckBox*>(box)->click();
    bus_->LoseLink();
    check->findChild<QPushButton*>("cmdButton1")->click();
    QCOMPARE(static_cast<int>(boxes.seen.size()), 2);
    QVERIFY(StartsWith(boxes.seen[1], txt::LostDuringCheck));
    QVERIFY(boxes.seen[1].text.contains("CHK0"));
    QCOMPARE(Count(bus_->Commands(), "CHK2"), 0);
    bus_->Restore();
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
    QTimer probe;
    probe.setInterval(20);
    connect(&probe, &QTimer::timeout, this, [&] {
        gui::WaitDlg& wait = p.WaitNotice();
        if (!wait.isVisible() || !shown.isEmpty()) return;
        shown = wait.Label()->text();
        button = wait.Button()->text();
        // No modal window: the system would drop a close of the main window instead of letting
        // it be held.
        blocking = QGuiApplication::modalWindow() != nullptr;
        QTest::mouseClick(wait.Button(), Qt::LeftButton);
        // The attempt in progress ends (here: fails); no other attempt follows.
        bus_->LoseLink();
        bus_->Release();
    });
    probe.start();
    p.Main().EocTimer().start();
    QTRY_VERIFY_WITH_TIMEOUT(!p.State().RunActive(), 10000);
    probe.stop();
    gui::WorkerBus::waitNoticeMs = notice;
    QVERIFY2(shown.contains("EOC"), qPrintable(shown));
    QCOMPARE(button, QString("Stop"));
    QVERIFY(!blocking);
    QVERIFY(!p.WaitNotice().isVisible());
    QCOMPARE(Count(bus_->Commands(), "EOC"), 1);
    QCOMPARE(static_cast<int>(boxes.seen.size()), 1);
    QVERIFY(StartsWith(boxes.seen[0], txt::LostDuringMeasurement));
    QVERIFY(!p.Main().EocTimer().isActive());
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
    gui::Program& p = StartOnline([spec](const std::string&) {
        std::string e;
        return MakeGpibBus(spec, e);
    });
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
    o.interfaceOverride = "sim:time=instant";
    o.makeBus = [this, &adapterOn](const std::string& spec, std::string& error) -> std::unique_ptr<GpibBus> {
        if (!adapterOn) {
            error = "the adapter is off";
            return nullptr;
        }
        auto gate = std::make_unique<GateBus>(MakeGpibBusOrExplain(spec));
        bus_ = gate.get();
        return gui::OnWorker(std::move(gate));
    };
    BoxAnswerer boxes;
    boxes.script = {"cmdOk", "cmdYes"};  // the open failure, then "continue off-line?" Yes
    QCOMPARE(program_->Start(o), StartupOutcome::Offline);
    gui::Program& p = *program_;
    QCOMPARE(p.Main().windowTitle(), QString("KMR-5300"));
    QVERIFY(!p.Main().findChild<QPushButton*>("cmdMeasKmr")->isEnabled());
    adapterOn = true;
    QAction* connectItem = p.Main().findChild<QAction*>("mnuOptionConnect");
    QVERIFY(connectItem != nullptr);
    QCOMPARE(connectItem->text(), QString("Co&nnect"));
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
