#pragma once
// The command set's whole conversation with an instrument, as the reply target drives it and
// as its seeds are recorded from the simulated instrument: open, initialise, identify, download
// every condition group, record (TRG), trigger time, one monitor line and one block of words.
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "core/instrument/CommandSet.h"
#include "core/instrument/CommandTransport.h"
#include "core/instrument/GpibConnection.h"

namespace kmr::fuzz {

// Time that stands still; its millisecond counter moves on at every look, so no wait is endless.
class StillClock : public Clock {
public:
    LocalDateTime Now() const override { return {2026, 12, 6, 9, 30, 15}; }
    std::uint32_t TickMs() const override { return ticks_ += 100; }
    void Sleep(double) override {}

private:
    mutable std::uint32_t ticks_ = 0;
};

struct CommandSession {
    CommandSession(GpibBus& bus, const GpibSettings& gpib)
        : settings(gpib), connection(bus, settings, ui, status), transport(connection),
          commands(transport, identity, conditions, clock) {}

    // Runs the conversation; the block goes to words[start .. start + count - 1].
    void Run(std::vector<std::int16_t>& words, std::int32_t start, std::int16_t count) {
        connection.OpenGpibDevice(kT10s);
        commands.InitialiseInstrument();
        commands.IdentifyInstrument();
        commands.DownloadConditions(kFullChangeMask);
        transport.SendCommand("TRG", 1);
        commands.ReadTriggerTime();
        transport.ReadMonitorData();
        transport.ReadMemoryBlock(words.data(), start, count);
    }

    GpibSettings settings;
    QuietUi ui;
    RunStatus status = RunStatus::Ok;
    GpibConnection connection;
    CommandTransport transport;
    InstrumentIdentity identity;
    MeasConditions conditions;
    StillClock clock;
    CommandSet commands;
};

}  // namespace kmr::fuzz
