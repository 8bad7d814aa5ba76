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

// What follows the kind of a spec: "gpib:REST".
struct SpecRest {
    std::string text;    // after the colon, trimmed
    bool given = false;  // there was a colon
    std::string quoted;  // the whole spec in double quotes, for messages
    Language lang = Language::English;  // of the messages
};

// The text `id` about the spec, followed by the forms it may take.
std::optional<InterfaceSpec> Refuse(std::string& error, const SpecRest& r, int id, std::string_view detail = {}) {
    error = TextWith(r.lang, txt::InterfaceAcceptedForms,
                     {TextWith(r.lang, id, {r.quoted, detail}), AcceptedInterfaceForms()});
    return std::nullopt;
}

std::optional<InterfaceSpec> ParseGpib(InterfaceSpec spec, const SpecRest& r, std::string& error) {
    spec.kind = InterfaceSpec::Kind::Gpib;
    if (!r.given) return spec;
    if (r.text.rfind("lib=", 0) != 0 || r.text.size() == 4)
        return Refuse(error, r, txt::GpibSpecOnlyLib);
    spec.library = r.text.substr(4);
    return spec;
}

std::optional<InterfaceSpec> ParseVisa(InterfaceSpec spec, const SpecRest& r, std::string& error) {
    spec.kind = InterfaceSpec::Kind::Visa;
    if (!r.given) return spec;
    const std::string& rest = r.text;
    if (rest.empty()) return Refuse(error, r, txt::VisaSpecNoResource);
    // lib=PATH first, up to the first comma; the rest is the resource name, which may hold
    // commas itself (TCPIP0::host::gpib0,20::INSTR).
    std::string resource = rest;
    if (Lower(rest.substr(0, 4)) == "lib=") {
        const std::size_t comma = rest.find(',');
        spec.library = Trim(std::string_view(rest).substr(
            4, comma == std::string::npos ? std::string::npos : comma - 4));
        resource = comma == std::string::npos ? "" : Trim(std::string_view(rest).substr(comma + 1));
        if (spec.library.empty())
            return Refuse(error, r, txt::VisaSpecLibNoFile);
    }
    if (Lower(resource.substr(0, 4)) == "lib=")
        return Refuse(error, r, txt::VisaSpecOneLib);
    spec.resource = resource;
    return spec;
}

// HOST, HOST:PORT, [IPv6] or [IPv6]:PORT into host and port text ("-" for an empty port).
// False when the brackets are wrong, with the text that says so.
bool SplitHostPort(const std::string& text, std::string& host, std::string& portText, int& problem) {
    host = text;
    portText.clear();
    if (!host.empty() && host.front() == '[') {
        const std::size_t close = host.find(']');
        if (close == std::string::npos) {
            problem = txt::SpecNoClosingBracket;
            return false;
        }
        const std::string after = host.substr(close + 1);
        host = host.substr(1, close - 1);
        if (after.empty()) return true;
        if (after.front() != ':') {
            problem = txt::SpecNotUnderstood;
            return false;
        }
        portText = after.size() > 1 ? after.substr(1) : "-";
    } else if (std::count(host.begin(), host.end(), ':') == 1) {
        const std::size_t c = host.find(':');
        portText = c + 1 < host.size() ? host.substr(c + 1) : "-";
        host = host.substr(0, c);
    }
    return true;
}

std::optional<InterfaceSpec> ParsePrologix(InterfaceSpec spec, const SpecRest& r,
                                           std::string& error) {
    spec.kind = InterfaceSpec::Kind::Prologix;
    spec.port = prologix::kDefaultPort;
    std::string host, portText;
    int problem = 0;
    if (!SplitHostPort(r.text, host, portText, problem)) return Refuse(error, r, problem);
    if (host.empty()) return Refuse(error, r, txt::PrologixSpecNoHost);
    if (!portText.empty() && !ParsePort(portText, spec.port)) return Refuse(error, r, txt::PrologixSpecBadPort);
    spec.host = host;
    return spec;
}

std::optional<InterfaceSpec> ParseSim(InterfaceSpec spec, const SpecRest& r, std::string& error) {
    spec.kind = InterfaceSpec::Kind::Sim;
    spec.simOptions = r.text;
    sim::SimOptionsResult options = sim::ParseSimOptions(r.text);
    if (!options.options)
        return Refuse(error, r, txt::SimSpecNotUnderstood, options.error);
    return spec;
}

}  // namespace

std::string AcceptedInterfaceForms() {
    return "gpib, gpib:lib=PATH, visa, visa:RESOURCE, visa:lib=PATH[,RESOURCE], "
           "prologix:HOST[:PORT], sim[:key=value,...]";
}

std::optional<InterfaceSpec> ParseInterfaceSpec(std::string_view input, std::string& error, Language lang) {
    error.clear();
    InterfaceSpec spec;
    spec.text = Trim(input);
    const std::string& text = spec.text;
    SpecRest rest;
    rest.lang = lang;
    if (text.empty()) return Refuse(error, rest, txt::SpecEmpty);
    const std::size_t colon = text.find(':');
    const std::string kind = Lower(text.substr(0, colon));
    rest.given = colon != std::string::npos;
    rest.text = rest.given ? Trim(std::string_view(text).substr(colon + 1)) : "";
    rest.quoted = "\"" + text + "\"";
    if (kind == "gpib") return ParseGpib(std::move(spec), rest, error);
    if (kind == "visa") return ParseVisa(std::move(spec), rest, error);
    if (kind == "prologix") return ParsePrologix(std::move(spec), rest, error);
    if (kind == "sim") return ParseSim(std::move(spec), rest, error);
    return Refuse(error, rest, txt::SpecUnknownKind);
}

std::unique_ptr<GpibBus> MakeGpibBus(const InterfaceSpec& spec, std::string& error, Language lang) {
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
                error = TextWith(lang, txt::SimNotUnderstood, {options.error});
                return nullptr;
            }
            return std::make_unique<sim::SimBus>(std::move(*options.options));
        }
    }
    error = Text(lang, txt::UnknownInterface);
    return nullptr;
}

std::unique_ptr<GpibBus> MakeGpibBus(std::string_view text, std::string& error, Language lang) {
    std::optional<InterfaceSpec> spec = ParseInterfaceSpec(text, error, lang);
    if (!spec) return nullptr;
    return MakeGpibBus(*spec, error, lang);
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
    // Why the spec cannot work is told again in the language asked for.
    std::string LastProblem() const override {
        std::string error;
        if (!MakeGpibBus(text_, error, language_)) return error;
        return why_;
    }
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

}  // namespace kmr
