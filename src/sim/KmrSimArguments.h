#pragma once
// The command line of kmr-sim:
//   kmr-sim [--listen HOST:PORT] [--address N] [--idle SECONDS] [--verbose] [SIM-SPEC]
#include <optional>
#include <string>
#include <vector>

#include "sim/SimInstrument.h"

namespace kmr::sim {

struct KmrSimArguments {
    std::string host = "127.0.0.1";
    int port = 1234;
    int address = 20;
    int idleSeconds = 60;  // a client that sends nothing for that long is dropped
    bool verbose = false;
    bool help = false;
    std::string simSpec = "sim";
    SimOptions options;
};

// The usage text.
std::string KmrSimUsage();

// Parses the arguments after the program name. On failure: nullopt, and `error` says what is
// wrong.
std::optional<KmrSimArguments> ParseKmrSimArguments(const std::vector<std::string>& args,
                                                    std::string& error);

}  // namespace kmr::sim
