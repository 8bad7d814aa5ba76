#pragma once
// The program's instrument link for tests and benchmarks: connection, command transport and
// command set over a bus, with a recording UI and a clock that never waits. `SimLink` puts the
// simulated instrument behind it, in simulated time.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/instrument/CommandSet.h"
#include "core/instrument/CommandTransport.h"
#include "core/instrument/GpibConnection.h"
#include "core/support/TextTable.h"
#include "sim/SimBus.h"
#include "support/FakeClock.h"
#include "support/FakeUi.h"

namespace kmr::testing {

// `Bus` is a bus type the link owns, or a reference to one the caller owns.
template <class Bus>
struct LinkOver {
    template <class... Args>
    explicit LinkOver(Args&&... busArguments) : bus(std::forward<Args>(busArguments)...) {
        clock.now = {2026, 3, 9, 7, 5, 0};
    }
    void Open() { conn.OpenGpibDevice(kT10s); }

    Bus bus;
    GpibSettings settings;
    FakeUi ui;
    RunStatus status = RunStatus::Ok;
    GpibConnection conn{bus, settings, ui, status};
    CommandTransport transport{conn};
    InstrumentIdentity id;
    MeasConditions m;
    FakeClock clock;
    int splashSteps = 0;  // steps of the splash screen's bar the command set asked for
    CommandSet cs{transport, id, m, clock, [this] { ++splashSteps; }};
};

struct SimTime {
    std::shared_ptr<sim::ManualTimeSource> time = std::make_shared<sim::ManualTimeSource>();
};

// The link over the simulated instrument made from `spec` (for example
// "sim:time=instant,pattern=ramp"), opened with the GP-IB settings given, with no writes recorded yet.
struct SimLink : SimTime, LinkOver<sim::SimBus> {
    explicit SimLink(const std::string& spec = "sim:time=instant", GpibSettings gpib = {})
        : LinkOver<sim::SimBus>(*sim::ParseSimOptions(spec).options, time) {
        settings = gpib;
        Open();
        bus.ClearWrites();
    }
    // The commands written since the last Clear, without terminators.
    std::vector<std::string> Sent() const {
        std::vector<std::string> out;
        for (std::string s : bus.Writes()) {
            while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
            out.push_back(std::move(s));
        }
        return out;
    }
};

}  // namespace kmr::testing
