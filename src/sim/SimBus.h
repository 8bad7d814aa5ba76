#pragma once
// The in-process GpibBus over the simulated instrument. Timeouts happen in simulated time: a read
// that would time out returns TIMO|ERR at once and never sleeps. A reply that the instrument
// holds back (the trigger command of a 0.1 ms recording) is waited for through the time source,
// up to the timeout of the open.
#include <memory>
#include <string>
#include <vector>

#include "core/instrument/GpibBus.h"
#include "sim/SimInstrument.h"

namespace kmr::sim {

// Seconds of an NI-488.2 timeout code (0 = none, 11 = 1 s, 13 = 10 s, 15 = 100 s, ... 17 = 1000 s);
// a negative value for a code outside 0..17.
double TimeoutSeconds(int timeoutCode);

class SimBus : public GpibBus {
public:
    explicit SimBus(std::shared_ptr<SimInstrument> instrument);
    // Builds the instrument from options; without a time source it follows the wall clock.
    explicit SimBus(SimOptions options, std::shared_ptr<SimTimeSource> time = nullptr);

    GpibStatus OpenDevice(int board, int address, int secondary, int timeoutCode, int eot, int eos,
                          int& descriptor) override;
    GpibStatus InterfaceClear(int board) override;
    GpibStatus DeviceClear(int board, int address) override;
    GpibStatus BoardOffline(int board) override;
    GpibStatus Write(int descriptor, const void* data, std::size_t count) override;
    GpibStatus Read(int descriptor, void* buffer, std::size_t count) override;
    std::string Describe() const override { return "sim"; }

    SimInstrument& Instrument() { return *instrument_; }
    // The recent writes, as the bytes sent, oldest first (for tests that compare exchanges):
    // at least the last kKeptWrites; older ones are dropped so that a long session stays small.
    static constexpr std::size_t kKeptWrites = 1024;
    const std::vector<std::string>& Writes() const { return writes_; }
    void ClearWrites() { writes_.clear(); }

private:
    struct Device {
        int address = 0;
        int timeoutCode = 13;
        bool open = false;
    };
    Device* Find(int descriptor);

    std::shared_ptr<SimInstrument> instrument_;
    std::vector<Device> devices_;  // descriptor n at index n - 1
    SimReply pending_;
    std::size_t pendingPos_ = 0;
    bool hasPending_ = false;
    std::vector<std::string> writes_;
};

}  // namespace kmr::sim
