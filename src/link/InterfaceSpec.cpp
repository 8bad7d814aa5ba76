#include "link/InterfaceSpec.h"

#include <algorithm>
#include <cctype>

#include "link/NiGpibBus.h"
#include "link/PrologixBus.h"
#include "link/VisaBus.h"
#include "net/PrologixProtocol.h"
#include "sim/SimBus.h"
#include "sim/SimInstrument.h"

namespace kmr {

namespace {

std::string Trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return std::string(s);
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool ParsePort(std::string_view text, int& port) {
    if (text.empty() || text.size() > 5) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return false;
    port = value;
    return true;
}

std::optional<InterfaceSpec> Refuse(std::string& error, const std::string& what) {
    error = what + " Accepted forms: " + AcceptedInterfaceForms() + ".";
    return std::nullopt;
}

}  // namespace

std::string AcceptedInterfaceForms() {
    return "gpib, gpib:lib=PATH, visa, visa:RESOURCE, visa:lib=PATH[,RESOURCE], "
           "prologix:HOST[:PORT], sim[:key=value,...]";
}

std::optional<InterfaceSpec> ParseInterfaceSpec(std::string_view input, std::string& error) {
    error.clear();
    InterfaceSpec spec;
    spec.text = Trim(input);
    const std::string& text = spec.text;
    if (text.empty()) return Refuse(error, "The interface spec is empty.");
    const std::size_t colon = text.find(':');
    const std::string kind = Lower(text.substr(0, colon));
    const bool hasRest = colon != std::string::npos;
    const std::string rest = hasRest ? Trim(std::string_view(text).substr(colon + 1)) : "";
    const std::string quoted = "\"" + text + "\"";

    if (kind == "gpib") {
        spec.kind = InterfaceSpec::Kind::Gpib;
        if (!hasRest) return spec;
        if (rest.rfind("lib=", 0) != 0 || rest.size() == 4)
            return Refuse(error, "The interface " + quoted +
                                     " is not understood: after \"gpib:\" only lib=PATH may "
                                     "follow.");
        spec.library = rest.substr(4);
        return spec;
    }
    if (kind == "visa") {
        spec.kind = InterfaceSpec::Kind::Visa;
        if (!hasRest) return spec;
        if (rest.empty())
            return Refuse(error, "The interface " + quoted + " names no VISA resource.");
        // lib=PATH first, up to the first comma; the rest is the resource name, which may hold
        // commas itself (TCPIP0::host::gpib0,20::INSTR).
        std::string resource = rest;
        if (Lower(rest.substr(0, 4)) == "lib=") {
            const std::size_t comma = rest.find(',');
            spec.library = Trim(std::string_view(rest).substr(4, comma == std::string::npos
                                                                     ? std::string::npos
                                                                     : comma - 4));
            resource = comma == std::string::npos ? "" : Trim(std::string_view(rest).substr(comma + 1));
            if (spec.library.empty())
                return Refuse(error, "The interface " + quoted +
                                         " is not understood: lib= must name the VISA library "
                                         "file.");
        }
        if (Lower(resource.substr(0, 4)) == "lib=")
            return Refuse(error, "The interface " + quoted +
                                     " is not understood: give one lib=PATH at most, first.");
        spec.resource = resource;
        return spec;
    }
    if (kind == "prologix") {
        spec.kind = InterfaceSpec::Kind::Prologix;
        spec.port = prologix::kDefaultPort;
        std::string host = rest;
        std::string portText;
        if (!host.empty() && host.front() == '[') {  // [IPv6]:PORT
            std::size_t close = host.find(']');
            if (close == std::string::npos)
                return Refuse(error, "The interface " + quoted + " lacks the closing \"]\".");
            std::string after = host.substr(close + 1);
            host = host.substr(1, close - 1);
            if (!after.empty()) {
                if (after.front() != ':')
                    return Refuse(error, "The interface " + quoted + " is not understood.");
                portText = after.substr(1);
                if (portText.empty()) portText = "-";
            }
        } else if (std::count(host.begin(), host.end(), ':') == 1) {
            std::size_t c = host.find(':');
            portText = host.substr(c + 1);
            if (portText.empty()) portText = "-";
            host = host.substr(0, c);
        }
        if (host.empty())
            return Refuse(error, "The interface " + quoted +
                                     " names no host: write prologix:HOST or prologix:HOST:PORT, "
                                     "for example prologix:192.168.1.20 or "
                                     "prologix:127.0.0.1:1234.");
        if (!portText.empty() && !ParsePort(portText, spec.port))
            return Refuse(error, "The interface " + quoted +
                                     " has no valid port: a port is a number from 1 to 65535.");
        spec.host = host;
        return spec;
    }
    if (kind == "sim") {
        spec.kind = InterfaceSpec::Kind::Sim;
        spec.simOptions = rest;
        sim::SimOptionsResult options = sim::ParseSimOptions(rest);
        if (!options.options)
            return Refuse(error, "The simulated instrument of " + quoted +
                                     " is not understood: " + options.error + ".");
        return spec;
    }
    return Refuse(error, "The interface " + quoted + " is not one the program knows.");
}

std::unique_ptr<GpibBus> MakeGpibBus(const InterfaceSpec& spec, std::string& error) {
    error.clear();
    switch (spec.kind) {
        case InterfaceSpec::Kind::Gpib: return std::make_unique<NiGpibBus>(spec.library);
        case InterfaceSpec::Kind::Visa:
            return std::make_unique<VisaBus>(spec.library, spec.resource);
        case InterfaceSpec::Kind::Prologix:
            return std::make_unique<PrologixBus>(spec.host, spec.port);
        case InterfaceSpec::Kind::Sim: {
            sim::SimOptionsResult options = sim::ParseSimOptions(spec.simOptions);
            if (!options.options) {
                error = "The simulated instrument is not understood: " + options.error + ".";
                return nullptr;
            }
            return std::make_unique<sim::SimBus>(std::move(*options.options));
        }
    }
    error = "Unknown interface.";
    return nullptr;
}

std::unique_ptr<GpibBus> MakeGpibBus(std::string_view text, std::string& error) {
    std::optional<InterfaceSpec> spec = ParseInterfaceSpec(text, error);
    if (!spec) return nullptr;
    return MakeGpibBus(*spec, error);
}

namespace {

// The bus of a spec that cannot work: every call fails, and the open says why.
class UnusableBus : public GpibBus {
public:
    UnusableBus(std::string text, std::string why) : text_(std::move(text)), why_(std::move(why)) {}
    GpibStatus OpenDevice(int, int, int, int, int, int, int& descriptor) override {
        descriptor = -1;
        return Fail();
    }
    GpibStatus InterfaceClear(int) override { return Fail(); }
    GpibStatus DeviceClear(int, int) override { return Fail(); }
    GpibStatus BoardOffline(int) override { return Fail(); }
    GpibStatus Write(int, const void*, std::size_t) override { return Fail(); }
    GpibStatus Read(int, void*, std::size_t) override { return Fail(); }
    std::string LastProblem() const override { return why_; }
    std::string Describe() const override { return text_; }

private:
    static GpibStatus Fail() { return GpibStatus{kIbERR, kEARG, 0}; }
    std::string text_;
    std::string why_;
};

}  // namespace

std::unique_ptr<GpibBus> MakeGpibBusOrExplain(std::string_view text) {
    std::string error;
    std::unique_ptr<GpibBus> bus = MakeGpibBus(text, error);
    if (!bus) bus = std::make_unique<UnusableBus>(std::string(text), error);
    return bus;
}

std::string ChooseInterfaceSpec(bool simulate, const std::string* commandLineSpec,
                                const std::string& fileSpec) {
    if (simulate) return std::string(kSimulateInterfaceSpec);
    if (commandLineSpec) return *commandLineSpec;
    return fileSpec;
}

}  // namespace kmr
