#pragma once
// kmr's commands run in this process over the simulated instrument, with what they print caught
// (only the command-line tests include this; they link the command-line library).
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/RecordCommand.h"
#include "link/InterfaceSpec.h"
#include "support/EngineHarness.h"

namespace kmr::testing {

struct Ran {
    int status = -1;
    std::string out, err;
    std::vector<std::string> commands;  // what reached the instrument (kmr record)
};

inline Ran Kmr(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    cli::CliIo io{out, err, false};
    Ran r;
    r.status = cli::RunKmr(args, io);
    r.out = out.str();
    r.err = err.str();
    return r;
}

// kmr record with a clock that never waits; every command to the instrument is logged.
inline Ran Record(const std::vector<std::string>& args = {"--interface", "sim:time=instant,pattern=ramp"}) {
    std::ostringstream out, err;
    cli::CliIo io{out, err, false};
    FakeClock clock;
    Ran r;
    std::vector<std::string>& sent = r.commands;
    r.status = cli::RecordWith(
        args, io,
        [&sent](const std::string& spec, std::string&) -> std::unique_ptr<GpibBus> {
            auto b = std::make_unique<LoggingBus>(MakeGpibBusOrExplain(spec));
            b->beforeCommand = [&sent](int, const std::string& command) { sent.push_back(command); };
            return b;
        },
        clock);
    r.out = out.str();
    r.err = err.str();
    return r;
}

// A bus that stops answering at the command `stallsHere` picks (for that exchange only, or for
// every one from then when `forGood`), with Ctrl+C pressed while it is awaited; `sent` gets what
// was written from that command on.
struct StallingBus : LoggingBus {
    using LoggingBus::LoggingBus;
    GpibStatus Write(int d, const void* data, std::size_t count) override {
        const std::string text(static_cast<const char*>(data), count);
        const std::string command = text.substr(0, text.find('\r'));
        if (!stalled && stallsHere && stallsHere(command)) {
            stalled = dropNext = true;
            cli::Interrupt();
        }
        if (stalled && sent != nullptr) sent->push_back(command);
        return LoggingBus::Write(d, data, count);
    }
    GpibStatus Read(int d, void* buffer, std::size_t count) override {
        const GpibStatus status = LoggingBus::Read(d, buffer, count);
        if (!dropNext && !(stalled && forGood)) return status;
        dropNext = false;
        return {kIbERR | kIbTIMO, kEABO, 0};
    }
    std::function<bool(const std::string&)> stallsHere;
    bool forGood = false, stalled = false, dropNext = false;
    std::vector<std::string>* sent = nullptr;
};

// The data folder of the program under a TempHome.
inline std::string DataFolder() { return std::string(std::getenv("XDG_DOCUMENTS_DIR")) + "/KMR-5300/Data/"; }

}  // namespace kmr::testing
