#pragma once
// What the presenters of the main window share: the program-wide state, the ports to the user,
// the clock, the chart data and the link to the instrument. One Engine is made at start-up and
// passed by reference; the windows only forward their events to the presenters.
#include <functional>
#include <memory>
#include <string>

#include "core/app/FormHost.h"
#include "core/app/HandlerGate.h"
#include "core/app/MainView.h"
#include "core/app/ProgramState.h"
#include "core/datafiles/FileLock.h"
#include "core/graphs/ChartModel.h"
#include "core/instrument/CommandSet.h"
#include "core/instrument/CommandTransport.h"
#include "core/instrument/GpibBus.h"
#include "core/instrument/GpibConnection.h"
#include "core/support/Clock.h"
#include "core/support/Progress.h"
#include "core/support/UiPort.h"

namespace kmr {

// Makes the bus an interface spec names ("gpib", "sim:...", "prologix:HOST" ...). nullptr with
// `error` when the spec cannot work.
using BusFactory = std::function<std::unique_ptr<GpibBus>(const std::string& spec, std::string& error)>;

// The connection to the instrument, made by start-up.
struct InstrumentLink {
    // Keeps other programs of this computer off the instrument of a shared route; given back
    // after everything below it is gone.
    FileLock lock;
    std::unique_ptr<GpibBus> bus;
    std::unique_ptr<GpibConnection> connection;
    std::unique_ptr<CommandTransport> transport;
    std::unique_ptr<CommandSet> commands;

    bool exists() const { return transport != nullptr; }
};

struct Engine {
    ProgramState& s;
    UiPort& ui;
    MainView& main;
    SplashView& splashView;
    ProgressView& progressView;
    Clock& clock;
    ChartModel chart;
    Splash splash{splashView};
    InstrumentLink link;
    FormHost forms{s, main};  // the one form of the main window that is open
    // Every menu item, button, timer tick and close event of the main window and of its forms
    // runs through this gate: one handler at a time, so that no second call reaches the
    // instrument while one waits.
    HandlerGate gate;
    // Whether the system has asked the program to end (a signal counted) where no event loop can
    // call AskToEnd while a command waits on the instrument: asked before a command is tried
    // again, and true is AskToEnd. Empty: such a request comes through AskToEnd itself.
    std::function<bool()> endSignalled;
    // How start-up made the link, kept for Option > Connect.
    BusFactory makeBus;
    std::string interfaceOverride;

    Engine(ProgramState& state, UiPort& u, MainView& m, SplashView& sv, ProgressView& pv, Clock& c)
        : s(state), ui(u), main(m), splashView(sv), progressView(pv), clock(c) {
        // A Stop or Cancel asked while a call waited ends with the handler that made the call;
        // the program's end keeps every later command to one attempt.
        gate.onIdle = [this] {
            if (link.transport) link.transport->stopRequested = s.EndAsked;
        };
    }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Shorthands of the command transport (the link must exist).
    std::string Send(const std::string& command, bool retry = true) {
        return link.transport->SendCommand(command, retry ? 1 : 0);
    }
    bool Failed() const { return s.Status == RunStatus::CommFailed; }
};

}  // namespace kmr
