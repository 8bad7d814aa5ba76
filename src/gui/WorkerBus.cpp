#include "gui/WorkerBus.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <atomic>

namespace kmr::gui {

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

GpibStatus WorkerBus::Call(const std::function<GpibStatus()>& call) {
    // Without an event loop to wait in (or if the core ever called from inside a call) the call
    // runs here, as a plain blocking call.
    if (inCall_ || QCoreApplication::instance() == nullptr ||
        QThread::currentThread() == &thread_)
        return call();
    GpibStatus result;
    QEventLoop loop;
    std::atomic<bool> done{false};
    inCall_ = true;
    if (onWait) onWait(true);
    QMetaObject::invokeMethod(context_, [&] {
        result = call();
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
    // Painting and timers go on; clicks and keys wait until the call has returned.
    while (!done) loop.exec(QEventLoop::ExcludeUserInputEvents);
    // Clicks and keys that came during the call are delivered now, while the handler that made
    // the call still runs, so the window's handler gate drops them instead of acting on them
    // after the handler has returned.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    inCall_ = false;
    if (onWait) onWait(false);
    return result;
}

GpibStatus WorkerBus::OpenDevice(int board, int address, int secondary, int timeoutCode, int eot,
                                 int eos, int& descriptor) {
    return Call([&] { return inner_->OpenDevice(board, address, secondary, timeoutCode, eot, eos, descriptor); });
}
GpibStatus WorkerBus::InterfaceClear(int board) {
    return Call([&] { return inner_->InterfaceClear(board); });
}
GpibStatus WorkerBus::DeviceClear(int board, int address) {
    return Call([&] { return inner_->DeviceClear(board, address); });
}
GpibStatus WorkerBus::BoardOffline(int board) {
    return Call([&] { return inner_->BoardOffline(board); });
}
GpibStatus WorkerBus::Write(int descriptor, const void* data, std::size_t count) {
    return Call([&] { return inner_->Write(descriptor, data, count); });
}
GpibStatus WorkerBus::Read(int descriptor, void* buffer, std::size_t count) {
    return Call([&] { return inner_->Read(descriptor, buffer, count); });
}
std::string WorkerBus::LastProblem() const { return inner_->LastProblem(); }
std::string WorkerBus::Describe() const { return inner_->Describe(); }

std::unique_ptr<GpibBus> OnWorker(std::unique_ptr<GpibBus> bus) {
    if (!bus) return bus;
    return std::make_unique<WorkerBus>(std::move(bus));
}

}  // namespace kmr::gui
