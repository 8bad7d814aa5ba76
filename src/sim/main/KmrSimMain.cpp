// kmr-sim: the simulated strainmeter behind a Prologix GPIB-ETHERNET adapter on TCP.
#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "sim/KmrSimArguments.h"
#include "sim/PrologixServer.h"
#include "sim/SimBus.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void OnStopSignal(int) { stopRequested = 1; }

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto parsed = kmr::sim::ParseKmrSimArguments(args, error);
    if (!parsed) {
        std::cerr << "kmr-sim: " << error << "\n\n" << kmr::sim::KmrSimUsage();
        return 2;
    }
    if (parsed->help) {
        std::cout << kmr::sim::KmrSimUsage();
        return 0;
    }

    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);

    const bool is530 = parsed->options.model == kmr::sim::SimModel::Kmr530A;
    kmr::sim::SimBus instrument(parsed->options);
    kmr::PrologixServerOptions options;
    options.host = parsed->host;
    options.port = parsed->port;
    options.address = parsed->address;
    options.verbose = parsed->verbose;
    options.idle = std::chrono::seconds(parsed->idleSeconds);
    kmr::PrologixServer server(instrument, options);
    if (!server.Start(error)) {
        std::cerr << "kmr-sim: " << error << "\n";
        return 1;
    }
    std::cout << "kmr-sim: simulated " << (is530 ? "KMR-530A" : "KMR-510C")
              << " at GP-IB address " << parsed->address << ", listening on "
              << (parsed->host.find(':') != std::string::npos ? "[" + parsed->host + "]"
                                                              : parsed->host)
              << ":" << server.Port() << " (Prologix GPIB-ETHERNET protocol)" << std::endl;
    while (!stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    server.Stop();
    std::cout << "kmr-sim: stopped" << std::endl;
    return 0;
}
