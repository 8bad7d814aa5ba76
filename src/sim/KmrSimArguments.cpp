#include "sim/KmrSimArguments.h"

#include "net/PrologixProtocol.h"

namespace kmr::sim {

namespace {

// HOST:PORT, or [IPv6]:PORT.
bool ParseListen(const std::string& text, std::string& host, int& port) {
    std::string h, p;
    if (!text.empty() && text.front() == '[') {
        std::size_t close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':')
            return false;
        h = text.substr(1, close - 1);
        p = text.substr(close + 2);
    } else {
        std::size_t colon = text.rfind(':');
        if (colon == std::string::npos || text.find(':') != colon) return false;
        h = text.substr(0, colon);
        p = text.substr(colon + 1);
    }
    if (h.empty() || !prologix::ParseDecimalInRange(p, 0, 65535, port)) return false;
    host = h;
    return true;
}

}  // namespace

std::string KmrSimUsage() {
    return "Usage: kmr-sim [--listen HOST:PORT] [--address N] [--idle SECONDS] [--verbose]\n"
           "               [SIM-SPEC]\n"
           "\n"
           "Presents the simulated KMR-530A / KMR-510C strainmeter as a Prologix GPIB-ETHERNET\n"
           "adapter on TCP. Connect the program with the interface prologix:HOST:PORT.\n"
           "\n"
           "  --listen HOST:PORT  where to listen (default 127.0.0.1:1234; port 0 picks a free\n"
           "                      one, which is printed)\n"
           "  --address N         GP-IB address of the instrument behind the adapter (default 20)\n"
           "  --idle SECONDS      drop a client that sends nothing for that long, so that the\n"
           "                      next one gets in (default 60)\n"
           "  --verbose           log every command and reply to standard error\n"
           "  SIM-SPEC            the simulated instrument, as in the interface spec, for example\n"
           "                      sim:model=530A,memory=1,time=instant (default: sim, real time)\n"
           "\n"
           "Ends on Ctrl+C (SIGINT) or SIGTERM.\n";
}

std::optional<KmrSimArguments> ParseKmrSimArguments(const std::vector<std::string>& args,
                                                    std::string& error) {
    KmrSimArguments a;
    bool specSeen = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool hasValue = false;
        if (arg.rfind("--", 0) == 0) {
            std::size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                hasValue = true;
            }
        }
        auto take = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= args.size()) {
                error = arg + " needs a value.";
                return false;
            }
            value = args[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            a.help = true;
        } else if (arg == "--verbose" || arg == "-v") {
            a.verbose = true;
        } else if (arg == "--listen") {
            if (!take()) return std::nullopt;
            if (!ParseListen(value, a.host, a.port)) {
                error = "--listen takes HOST:PORT (for example 127.0.0.1:1234 or [::1]:1234), "
                        "not \"" + value + "\".";
                return std::nullopt;
            }
        } else if (arg == "--address") {
            if (!take()) return std::nullopt;
            if (!prologix::ParseDecimalInRange(value, 0, 30, a.address)) {
                error = "--address takes a GP-IB address from 0 to 30, not \"" + value + "\".";
                return std::nullopt;
            }
        } else if (arg == "--idle") {
            if (!take()) return std::nullopt;
            if (!prologix::ParseDecimalInRange(value, 1, 86400, a.idleSeconds)) {
                error = "--idle takes whole seconds from 1 to 86400, not \"" + value + "\".";
                return std::nullopt;
            }
        } else if (arg.rfind("-", 0) == 0) {
            error = "Unknown option " + arg + ".";
            return std::nullopt;
        } else {
            if (specSeen) {
                error = "Only one SIM-SPEC may be given (\"" + a.simSpec + "\" and \"" + arg +
                        "\").";
                return std::nullopt;
            }
            specSeen = true;
            a.simSpec = arg;
        }
    }
    SimOptionsResult parsed = ParseSimOptions(a.simSpec);
    if (!parsed.options) {
        error = "The simulated instrument \"" + a.simSpec + "\" is not understood: " +
                parsed.error + ".";
        return std::nullopt;
    }
    a.options = std::move(*parsed.options);
    return a;
}

}  // namespace kmr::sim
