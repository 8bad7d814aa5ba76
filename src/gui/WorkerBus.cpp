#include "gui/WorkerBus.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>
#include <atomic>

namespace kmr::gui {

// What the window thread and the worker share for one call. The worker holds it alive as long as
// it needs it, so a "done" that arrives late finds it still there; the loop it wakes is only ever
// touched on the window thread, and only while it runs.
//
// The hand-over in both directions is marked by the atomics as well as by Qt's event queue, so
// that a thread checker (which does not see inside the Qt library) sees it too.
struct WorkerBus::Pending {
    std::function<GpibStatus()> call;
    std::atomic<bool> posted{false};
    GpibStatus result;
    std::atomic<bool> done{false};
    QEventLoop* loop = nullptr;  // window thread only
};

std::function<void(bool, const std::string&)> WorkerBus::longWait;
int WorkerBus::waitNoticeMs = 2000;

WorkerBus::WorkerBus(std::unique_ptr<GpibBus> inner) : inner_(std::move(inner)) {
    thread_.setObjectName("gpib");
    context_ = new QObject;
    context_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, context_, &QObject::deleteLater);
    thread_.start();
}

WorkerBus::~WorkerBus() {
    thread_.quit();
    thread_.wait();
}

namespace {

// The command a write carries, for the text of a long wait.
std::string CommandOf(const void* data, std::size_t count) {
    std::string s(static_cast<const char*>(data), count);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    if (s.size() > 40) s = s.substr(0, 40) + "...";
    return s;
}

}  // namespace

GpibStatus WorkerBus::Call(const std::function<GpibStatus()>& call, const std::string& what) {
    // Without an event loop to wait in, or on the worker itself, the call runs here.
    if (QCoreApplication::instance() == nullptr || QThread::currentThread() == &thread_) return call();
    if (inCall_) {
        // Never a second thread on the bus: the gate should not have let this handler run.
        ++refused_;
        refusedProblem_ = "A GP-IB call was made while another was in progress; it was refused.";
        qWarning("WorkerBus: a call while another is in flight was refused");
        return {kIbERR | kIbCMPL, kEOIP, 0};
    }
    refusedProblem_.clear();
    auto pending = std::make_shared<Pending>();
    QEventLoop loop;
    pending->loop = &loop;
    pending->call = call;
    pending->posted.store(true, std::memory_order_release);
    inCall_ = true;
    // The bus outlives every call (it is not destroyed while its window thread waits in Call).
    QObject* waker = &waker_;
    QMetaObject::invokeMethod(context_, [pending, waker] {
        if (!pending->posted.load(std::memory_order_acquire)) return;  // never: posted first
        const GpibStatus result = pending->call();
        pending->result = result;
        pending->done.store(true, std::memory_order_release);
        // Wakes the window thread's loop if it still waits; the loop is looked up there.
        QMetaObject::invokeMethod(waker, [pending] {
                if (pending->loop != nullptr) pending->loop->quit();
            }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
    // A long wait is told once, after waitNoticeMs; from then on the loop lets input through, to
    // the notice's button (elsewhere the handler gate drops it, and a close is held).
    bool told = false;
    QTimer notice;
    notice.setSingleShot(true);
    notice.setInterval(waitNoticeMs);
    QObject::connect(&notice, &QTimer::timeout, &waker_, [&] {
        if (pending->done.load(std::memory_order_acquire) || !longWait) return;
        told = true;
        longWait(true, what);
        loop.quit();
    });
    notice.start();
    // Painting and timers go on; clicks and keys wait until the call has returned.
    while (!pending->done.load(std::memory_order_acquire))
        loop.exec(told ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    notice.stop();
    pending->loop = nullptr;
    // Clicks and keys that came during the call are delivered now, while the handler that made
    // the call still runs, so that the handler gate decides on them: it drops them during a
    // handler a person started (as on a window that handler disabled) and holds one during a
    // timer's tick, to run when the tick has returned.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    inCall_ = false;
    if (told && longWait) longWait(false, what);
    return pending->result;
}

GpibStatus WorkerBus::OpenDevice(int board, int address, int secondary, int timeoutCode, int eot,
                                 int eos, int& descriptor) {
    int d = descriptor;
    const GpibStatus s = Call([&, board, address, secondary, timeoutCode, eot, eos] {
        return inner_->OpenDevice(board, address, secondary, timeoutCode, eot, eos, d);
    }, "open");
    descriptor = d;
    return s;
}
GpibStatus WorkerBus::InterfaceClear(int board) {
    return Call([this, board] { return inner_->InterfaceClear(board); }, "IFC");
}
GpibStatus WorkerBus::DeviceClear(int board, int address) {
    return Call([this, board, address] { return inner_->DeviceClear(board, address); }, "DCL");
}
GpibStatus WorkerBus::BoardOffline(int board) {
    return Call([this, board] { return inner_->BoardOffline(board); }, "ibonl");
}
GpibStatus WorkerBus::Write(int descriptor, const void* data, std::size_t count) {
    lastWritten_ = CommandOf(data, count);
    return Call([this, descriptor, data, count] { return inner_->Write(descriptor, data, count); }, lastWritten_);
}
GpibStatus WorkerBus::Read(int descriptor, void* buffer, std::size_t count) {
    return Call([this, descriptor, buffer, count] { return inner_->Read(descriptor, buffer, count); }, lastWritten_);
}
std::string WorkerBus::LastProblem() const { return refusedProblem_.empty() ? inner_->LastProblem() : refusedProblem_; }
void WorkerBus::UseLanguage(Language lang) {
    language_ = lang;
    if (!inCall_) inner_->UseLanguage(lang);
}
std::string WorkerBus::Describe() const { return inner_->Describe(); }
unsigned WorkerBus::Reopenings() const { return inner_->Reopenings(); }

std::unique_ptr<GpibBus> OnWorker(std::unique_ptr<GpibBus> bus) {
    if (!bus) return bus;
    return std::make_unique<WorkerBus>(std::move(bus));
}

}  // namespace kmr::gui
