#include "gui/EndSignals.h"

#include <QPointer>
#include <QSocketNotifier>

#include "core/app/Startup.h"
#include "gui/FormDlg.h"
#include "gui/MainDlg.h"

#ifndef _WIN32
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace kmr::gui {

#ifndef _WIN32
namespace {
// The handler only writes one byte: the window thread reads it through the notifier.
int endPipe[2] = {-1, -1};
constexpr int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};

extern "C" void OnEndSignal(int) {
    const char byte = 1;
    const ssize_t ignored = ::write(endPipe[0], &byte, 1);
    (void)ignored;
}
}  // namespace

EndSignals::EndSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, endPipe) != 0) return;
    notifier_ = new QSocketNotifier(endPipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &EndSignals::Arrived);
    struct sigaction action = {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kEndSignals) ::sigaction(sig, &action, nullptr);
}

EndSignals::~EndSignals() {
    for (int sig : kEndSignals) std::signal(sig, SIG_DFL);
    delete notifier_;
    ::close(endPipe[0]);
    ::close(endPipe[1]);
    endPipe[0] = endPipe[1] = -1;
}

void EndSignals::Arrived() {
    char bytes[16];
    // Several signals at once are one request.
    if (::read(endPipe[1], bytes, sizeof bytes) <= 0) return;
    if (onEnd) onEnd();
}
#else
EndSignals::EndSignals(QObject* parent) : QObject(parent) {}
EndSignals::~EndSignals() = default;
void EndSignals::Arrived() {}
#endif

namespace {
// The main window's gate slot for the end request held while a handler waits.
constexpr int kEndRequestId = 4;
}  // namespace

void MainDlg::EndRequest() {
    if (unloaded_ || e_ == nullptr) return;
    if (e_->gate.Busy()) {
        const QPointer<MainDlg> self(this);
        e_->gate.Tick(kEndRequestId, [self] { if (self) self->EndNow(); },
                      [self] { return self && !self->unloaded_; });
        return;
    }
    e_->gate.Input([this] { EndNow(); });
}

void MainDlg::EndNow() {
    if (unloaded_) return;
    // A form still open ends through its own close first (the output calibration sends MON).
    for (FormDlg* form : findChildren<FormDlg*>()) form->EndWithProgram();
    e_->s.Geometry.WindowState = WindowStateCode(isMaximized(), isMinimized());
    EndAtSystemRequest(*e_, saveGeometry);
    eocTimer_.stop();
    moniTimer_.stop();
    unloaded_ = true;
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

}  // namespace kmr::gui
