#include "sim/SimBus.h"

#include <algorithm>
#include <cstring>

namespace kmr::sim {

namespace {

GpibStatus Ok(std::int32_t extra = 0, std::int32_t count = 0) {
    return {kIbCMPL | extra, 0, count};
}

GpibStatus Fail(std::int32_t iberr, std::int32_t extra = 0, std::int32_t count = 0) {
    return {kIbERR | kIbCMPL | extra, iberr, count};
}

}  // namespace

double TimeoutSeconds(int code) {
    static constexpr double kSeconds[] = {0,     10e-6, 30e-6, 100e-6, 300e-6, 1e-3,
                                          3e-3,  10e-3, 30e-3, 100e-3, 300e-3, 1,
                                          3,     10,    30,    100,    300,    1000};
    if (code < 0 || code > 17) return -1;
    return kSeconds[code];
}

SimBus::SimBus(std::shared_ptr<SimInstrument> instrument) : instrument_(std::move(instrument)) {}

SimBus::SimBus(SimOptions options, std::shared_ptr<SimTimeSource> time)
    : instrument_(std::make_shared<SimInstrument>(std::move(options), std::move(time))) {}

SimBus::Device* SimBus::Find(int descriptor) {
    if (descriptor < 1 || descriptor > static_cast<int>(devices_.size())) return nullptr;
    Device& d = devices_[static_cast<std::size_t>(descriptor - 1)];
    return d.open ? &d : nullptr;
}

GpibStatus SimBus::OpenDevice(int board, int address, int secondary, int timeoutCode, int eot,
                              int eos, int& descriptor) {
    (void)eot;
    (void)eos;
    descriptor = -1;
    if (board != 0) return Fail(kENEB);
    if (address < 0 || address > 30 || secondary != 0 || TimeoutSeconds(timeoutCode) < 0)
        return Fail(kEARG);
    // Descriptors of closed devices are handed out again, so a server that reopens the device
    // for every change of timeout does not collect them.
    for (std::size_t i = 0; i < devices_.size(); ++i) {
        if (devices_[i].open) continue;
        devices_[i] = {address, timeoutCode, true};
        descriptor = static_cast<int>(i + 1);
        return Ok();
    }
    devices_.push_back({address, timeoutCode, true});
    descriptor = static_cast<int>(devices_.size());
    return Ok();
}

GpibStatus SimBus::InterfaceClear(int board) {
    if (board != 0) return Fail(kENEB);
    hasPending_ = false;
    return Ok(kIbCIC | kIbATN);
}

GpibStatus SimBus::DeviceClear(int board, int address) {
    if (board != 0) return Fail(kENEB);
    hasPending_ = false;
    if (!instrument_->AcceptOpen(address)) return Fail(kENOL);
    instrument_->DeviceClear();
    return Ok();
}

GpibStatus SimBus::BoardOffline(int board) {
    if (board != 0) return Fail(kENEB);
    for (Device& d : devices_) d.open = false;
    hasPending_ = false;
    return Ok();
}

GpibStatus SimBus::Write(int descriptor, const void* data, std::size_t count) {
    Device* d = Find(descriptor);
    if (!d) return Fail(kEDVR);
    std::string bytes(static_cast<const char*>(data), count);
    if (writes_.size() == 2 * kKeptWrites)
        writes_.erase(writes_.begin(), writes_.begin() + kKeptWrites);
    writes_.push_back(bytes);
    if (!instrument_->AnswersAt(d->address)) return Fail(kENOL);
    // A new command discards output that was not read.
    pending_ = instrument_->Write(bytes, true);
    pendingPos_ = 0;
    hasPending_ = !pending_.silent;
    return Ok(0, static_cast<std::int32_t>(count));
}

GpibStatus SimBus::Read(int descriptor, void* buffer, std::size_t count) {
    Device* d = Find(descriptor);
    if (!d) return Fail(kEDVR);
    if (!instrument_->AnswersAt(d->address)) return Fail(kENOL);
    const double timeout = TimeoutSeconds(d->timeoutCode);
    SimTimeSource& time = instrument_->Time();
    if (!hasPending_ || pendingPos_ >= pending_.bytes.size()) {
        hasPending_ = false;
        time.Elapse(timeout);
        return Fail(kEABO, kIbTIMO);
    }
    if (pending_.readyAt > time.Now()) {
        if (timeout > 0 && pending_.readyAt - time.Now() > timeout) {
            time.Elapse(timeout);
            return Fail(kEABO, kIbTIMO);
        }
        time.WaitUntil(pending_.readyAt);
    }
    const std::size_t left = pending_.bytes.size() - pendingPos_;
    const std::size_t n = std::min(left, count);
    if (n > 0) std::memcpy(buffer, pending_.bytes.data() + pendingPos_, n);
    pendingPos_ += n;
    if (n == left) {
        hasPending_ = false;
        if (pending_.eoi) return Ok(kIbEND, static_cast<std::int32_t>(n));
        // No EOI and nothing more coming: the read waits for bytes that never arrive.
        if (n < count) {
            time.Elapse(timeout);
            return Fail(kEABO, kIbTIMO, static_cast<std::int32_t>(n));
        }
    }
    return Ok(0, static_cast<std::int32_t>(n));
}

}  // namespace kmr::sim
