#pragma once
// The bus of the window program: every call runs on one worker thread while the window thread
// waits in a local event loop that keeps painting and takes no user input. The core still sees
// one synchronous call. All calls of the wrapped bus run on the same worker thread, so a GP-IB
// library that keeps its status per thread sees one thread.
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
    std::string Describe() const override;

    // True while a call is on the worker and the window waits for it.
    bool InCall() const { return inCall_; }
    // Called on the window thread when a call begins to wait and when it has returned.
    std::function<void(bool waiting)> onWait;

private:
    GpibStatus Call(const std::function<GpibStatus()>& call);

    std::unique_ptr<GpibBus> inner_;
    QThread thread_;
    QObject* context_ = nullptr;  // lives on the worker thread
    bool inCall_ = false;
};

// Wraps a factory's buses in WorkerBus.
std::unique_ptr<GpibBus> OnWorker(std::unique_ptr<GpibBus> bus);

}  // namespace kmr::gui
