#pragma once
// The bus of the window program: every call runs on one worker thread while the window thread
// waits in a local event loop that keeps painting and takes no user input. The core still sees
// one synchronous call. All calls of the wrapped bus run on the same worker thread, so a GP-IB
// library that keeps its status per thread sees one thread.
//
// One call at a time: the window's handler gate lets no second handler start while a call waits,
// so a call made while another is in flight is a mistake of the program. It is refused (the
// status of a failed call, with the reason as the bus's problem text), never run on the window's
// thread beside the worker.
#include <QObject>
#include <QThread>
#include <functional>
#include <memory>

#include "core/instrument/GpibBus.h"

namespace kmr::gui {

class WorkerBus : public GpibBus {
public:
    explicit WorkerBus(std::unique_ptr<GpibBus> inner);
    ~WorkerBus() override;

    GpibStatus OpenDevice(int board, int address, int secondary, int timeoutCode, int eot, int eos,
                          int& descriptor) override;
    GpibStatus InterfaceClear(int board) override;
    GpibStatus DeviceClear(int board, int address) override;
    GpibStatus BoardOffline(int board) override;
    GpibStatus Write(int descriptor, const void* data, std::size_t count) override;
    GpibStatus Read(int descriptor, void* buffer, std::size_t count) override;
    std::string LastProblem() const override;
    // Told between calls, while the worker waits for the next one.
    void UseLanguage(Language lang) override;
    std::string Describe() const override;
    unsigned Reopenings() const override;
    bool SharedRoute() const override { return inner_->SharedRoute(); }

    // Calls refused because another was in flight (for the tests: always 0).
    int Refused() const { return refused_; }

    // Told on the window thread (for every WorkerBus of the program) while a call waits:
    // `waiting` true once it has waited kWaitNoticeMs, false when it has returned (only after a
    // true). `what` names the command. From the notice on, the wait lets user input through, so
    // that the window the notice shows (application-modal) can take a Stop or Cancel.
    static std::function<void(bool waiting, const std::string& what)> longWait;
    static int waitNoticeMs;  // 2000

private:
    GpibStatus Call(const std::function<GpibStatus()>& call, const std::string& what);

    struct Pending;
    std::unique_ptr<GpibBus> inner_;
    QThread thread_;
    QObject* context_ = nullptr;  // lives on the worker thread
    QObject waker_;               // lives on the window thread: the worker's "done" is posted here
    bool inCall_ = false;
    int refused_ = 0;
    std::string lastWritten_;
    std::string refusedProblem_;
};

// Wraps a factory's buses in WorkerBus.
std::unique_ptr<GpibBus> OnWorker(std::unique_ptr<GpibBus> bus);

}  // namespace kmr::gui
