#pragma once
// One full exchange with the strainmeter through the program's own link code (GpibConnection,
// CommandTransport and CommandSet): identify, initialise, download, record, and read every block
// of two channels. Every route must give the same replies and the same words as the in-process
// simulator.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/SharedLibrary.h"
#include "sim/SimBus.h"
#include "support/LinkHarness.h"

namespace kmr::test {

// The simulated instrument every route talks to.
inline constexpr const char* kRouteSim = "sim:model=530A,memory=1,time=instant,pattern=ramp";
inline constexpr std::int32_t kRouteWords = 25000;  // three blocks: 10000, 10000, 5000

// The simulated instrument `spec` describes, following the wall clock.
inline std::unique_ptr<sim::SimBus> MakeSim(const std::string& spec = kRouteSim) {
    auto parsed = sim::ParseSimOptions(spec);
    EXPECT_TRUE(parsed.options.has_value()) << parsed.error;
    return std::make_unique<sim::SimBus>(*parsed.options);
}

struct RouteResult {
    bool connected = false;
    InstrumentIdentity identity;
    RunStatus status = RunStatus::Ok;
    std::vector<std::string> replies;
    std::vector<std::vector<std::int16_t>> words;  // per channel
    std::vector<std::string> messages;
};

inline RouteResult RunFullExchange(GpibBus& bus, int timeoutCode = kT10s) {
    RouteResult r;
    testing::LinkOver<GpibBus&> link(bus);
    auto done = [&] {
        r.status = link.status;
        r.identity = link.id;
        r.messages = link.ui.Texts();
        return r;
    };
    link.conn.OpenGpibDevice(timeoutCode);
    r.connected = link.conn.IsConnected();
    if (!r.connected) return done();
    auto send = [&](const std::string& command, std::int16_t retry) {
        r.replies.push_back(command + " -> " + link.transport.SendCommand(command, retry));
        return link.status == RunStatus::Ok;
    };
    SetMeasDefaults(link.m);
    for (int n = 1; n <= 10; ++n) link.m.Ch(n).OnOff = n <= 2 ? 1 : 0;
    link.m.MemoryWords = kRouteWords;
    link.m.PreMemoryWords = 0;
    RebuildMeasuredChannels(link.m);
    link.cs.IdentifyInstrument();
    if (link.status == RunStatus::Ok) link.cs.InitialiseInstrument();
    if (link.status == RunStatus::Ok) link.cs.DownloadConditions(kFullChangeMask);
    // Record until the memory is full.
    if (link.status != RunStatus::Ok || !send("TRG", 1)) return done();
    for (int poll = 0; poll < 100; ++poll) {
        if (!send("EOC", 1)) return done();
        if (std::stol(r.replies.back().substr(7)) >= kRouteWords) break;
    }
    // Read every block of both channels.
    for (int channel : {1, 2}) {
        if (!send("RES", 1) || !send("SET" + std::to_string(channel), 1)) return done();
        std::vector<std::int16_t> words(kRouteWords, 0);
        for (std::int32_t start = 0; start < kRouteWords; start += 10000) {
            const auto count = static_cast<std::int16_t>(std::min(10000, kRouteWords - start));
            link.transport.ReadMemoryBlock(words.data(), start, count);
            if (link.status != RunStatus::Ok) return done();
        }
        r.words.push_back(std::move(words));
    }
    link.conn.CloseGpibDevice();
    return done();
}

// A stand-in driver library, opened by the test too so that it can be attached to the bus it answers
// from (a simulator).
class StandIn {
public:
    explicit StandIn(const std::string& path) {
        std::string error;
        EXPECT_TRUE(library_.Open(path, error)) << path << ": " << error;
        attach_ = reinterpret_cast<void (*)(GpibBus*)>(library_.Symbol("kmr_fake_attach"));
        calls_ = reinterpret_cast<const char* (*)()>(library_.Symbol("kmr_fake_calls"));
    }
    StandIn(const std::string& path, GpibBus& bus) : StandIn(path) { Attach(bus); }
    ~StandIn() {
        if (attach_) attach_(nullptr);
    }
    void Attach(GpibBus& bus) { attach_(&bus); }
    std::string Calls() const { return calls_(); }
    void* Symbol(const char* name) const { return library_.Symbol(name); }

private:
    SharedLibrary library_;
    void (*attach_)(GpibBus*) = nullptr;
    const char* (*calls_)() = nullptr;
};

}  // namespace kmr::test
