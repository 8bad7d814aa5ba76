#pragma once
// The program of the window tests: made fresh for each test in a temporary home (HOME, the XDG
// folders and the settings store all inside it), started on-line over a bus the test can hold.
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>

#include "gui/Program.h"

namespace kmr::guitest {

class GateBus;

class ProgramFixture {
protected:
    // Makes the bus below the test's gate from the interface spec.
    using InnerBus = std::function<std::unique_ptr<GpibBus>(const std::string& spec)>;

    // A new program in a new temporary home (each test's init()).
    void SetUpProgram();
    // The program goes, no window is left showing, the home is removed (each test's cleanup()).
    void TearDownProgram();
    // Start-up over "sim:time=instant" through a GateBus kept in `bus_`; the boxes start-up shows
    // are answered and reported as a warning. Without `inner` the bus is the one the spec names.
    gui::Program& StartOnline(const InnerBus& inner = {});

    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<gui::Program> program_;
    GateBus* bus_ = nullptr;
};

}  // namespace kmr::guitest
