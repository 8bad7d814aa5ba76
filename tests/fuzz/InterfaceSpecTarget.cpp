// The texts that choose a route to the instrument: the interface spec (Interface.cnd,
// --interface, with the simulator's options after "sim:") and kmr-sim's command line. The first
// byte chooses which; the rest is the text (for the command line: arguments split at NUL bytes).
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "link/InterfaceSpec.h"
#include "sim/KmrSimArguments.h"
#include "sim/SimInstrument.h"

using namespace kmr;
using fuzz::Require;

namespace {

void CheckSpec(const std::string& text) {
    std::string error;
    const std::optional<InterfaceSpec> spec = ParseInterfaceSpec(text, error);
    Require(spec || !error.empty());
    if (spec) {
        if (spec->kind == InterfaceSpec::Kind::Prologix) Require(spec->port >= 1 && spec->port <= 65535);
        std::string why;
        const std::unique_ptr<GpibBus> bus = MakeGpibBus(*spec, why);
        Require(bus ? !bus->Describe().empty() : !why.empty());
    }
    Require(MakeGpibBusOrExplain(text) != nullptr);
}

void CheckSimOptions(const std::string& text) {
    const sim::SimOptionsResult r = sim::ParseSimOptions(text);
    Require(r.options.has_value() != !r.error.empty());
    if (!r.options) return;
    const sim::SimOptions& o = *r.options;
    Require(o.memory >= 0 && o.memory <= 3);
    Require(o.version.size() == 4 && o.channels.size() == 10);
    Require(o.address >= -1 && o.address <= 30);
}

void CheckKmrSimArguments(const std::string& text) {
    std::vector<std::string> args;
    std::size_t from = 0;
    while (from <= text.size() && args.size() < 16) {
        std::size_t nul = text.find('\0', from);
        if (nul == std::string::npos) nul = text.size();
        args.push_back(text.substr(from, nul - from));
        from = nul + 1;
    }
    std::string error;
    const auto parsed = sim::ParseKmrSimArguments(args, error);
    Require(parsed || !error.empty());
    if (!parsed) return;
    Require(parsed->port >= 0 && parsed->port <= 65535);
    Require(parsed->address >= 0 && parsed->address <= 30);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
        case 0: CheckSpec(text); break;
        case 1: CheckSimOptions(text); break;
        default: CheckKmrSimArguments(text); break;
    }
    return 0;
}
