// The options text of the simulated instrument: "sim:key=value,key=value,...".
#include <string>

#include "sim/SimInstrument.h"

#include "core/support/Numbers.h"

namespace kmr::sim {

namespace {

std::optional<unsigned long long> ParseUnsigned(std::string_view s, unsigned long long max) {
    if (s.empty() || s.size() > 18) return std::nullopt;
    unsigned long long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + static_cast<unsigned>(c - '0');
        if (v > max) return std::nullopt;
    }
    return v;
}

bool IsErrorText(std::string_view s) {
    if (s.size() != 7 || s.substr(0, 4) != "ERR-") return false;
    for (char c : s.substr(4))
        if (c < '0' || c > '9') return false;
    return true;
}

// One fault: KIND, CMD:KIND or CMD:KIND:COUNT.
std::string ParseFault(std::string_view item, SimFault& f) {
    std::string_view parts[4];
    int n = 0;
    while (n < 4) {
        const std::size_t colon = item.find(':');
        parts[n++] = Trim(item.substr(0, colon));
        if (colon == std::string_view::npos) break;
        item.remove_prefix(colon + 1);
    }
    if (n > 3) return "too many ':' (use CMD:KIND or CMD:KIND:COUNT)";
    const std::string_view kindText = n == 1 ? parts[0] : parts[1];
    const std::string kind = ToLowerAscii(kindText);
    if (kind.substr(0, 4) == "err-" && IsErrorText("ERR-" + std::string(kindText.substr(4)))) {
        f.kind = FaultKind::ErrorReply;
        f.errorText = "ERR-" + std::string(kindText.substr(4));
    } else if (kind == "noreply") {
        f.kind = FaultKind::NoReply;
    } else if (kind == "garbage") {
        f.kind = FaultKind::Garbage;
    } else if (kind == "short") {
        f.kind = FaultKind::ShortReply;
    } else if (kind == "nolistener") {
        f.kind = FaultKind::NoListener;
    } else if (kind == "nochannel") {
        f.kind = FaultKind::NoChannel;
    } else {
        return "unknown fault kind '" + std::string(kindText) +
               "' (use ERR-nnn, noreply, garbage, short, nolistener or nochannel)";
    }
    if (n == 1) {
        if (f.kind == FaultKind::NoListener) f.command = "open";
        else if (f.kind == FaultKind::NoChannel) f.command = "SET1;10";
        else return "fault '" + std::string(kindText) + "' needs a command: CMD:" + std::string(kindText);
    } else {
        if (parts[0].empty()) return "empty command before ':'";
        f.command = std::string(parts[0]);
    }
    if (n == 3) {
        auto c = ParseUnsigned(parts[2], 1000000000ull);
        if (!c || *c == 0) return "count '" + std::string(parts[2]) + "' must be a whole number from 1";
        f.count = static_cast<int>(*c);
    }
    return {};
}

// "a+b+c": every fault in order. Empty when all are understood, otherwise why not.
std::string ParseFaultList(std::string_view list, std::vector<SimFault>& faults) {
    while (true) {
        const std::size_t plus = list.find('+');
        const std::string_view one = Trim(list.substr(0, plus));
        if (one.empty()) return "empty fault (faults are separated by '+')";
        SimFault f;
        const std::string why = ParseFault(one, f);
        if (!why.empty()) return why;
        faults.push_back(f);
        if (plus == std::string_view::npos) return {};
        list.remove_prefix(plus + 1);
    }
}

std::string ParseExtDelay(std::string_view value, double& delay) {
    // Read the same in every locale (the window program takes the user's).
    const std::optional<double> v = ParseNumber(value);
    if (!v || *v < 0 || *v > 3600) return "the external trigger delay is 0 to 3600 seconds";
    delay = *v;
    return {};
}

// One key=value item into the options. Empty when understood, otherwise why not.
std::string ParseOption(const std::string& key, std::string_view value, SimOptions& o) {
    const std::string lv = ToLowerAscii(value);
    if (key == "model") {
        if (lv == "510c" || lv == "kmr-510c") o.model = SimModel::Kmr510C;
        else if (lv == "530a" || lv == "kmr-530a") o.model = SimModel::Kmr530A;
        else return "the model is 510C or 530A";
    } else if (key == "version") {
        if (value.size() != 4) return "the version is exactly 4 characters, e.g. 2.10";
        for (char c : value)
            if (c < 0x21 || c > 0x7E) return "the version is 4 printable characters";
        o.version = std::string(value);
    } else if (key == "memory") {
        auto v = ParseUnsigned(value, 3);
        if (!v) return "the memory size code is 0, 1, 2 or 3";
        o.memory = static_cast<int>(*v);
    } else if (key == "channels") {
        if (value.size() != 10 || value.find_first_not_of("01") != std::string_view::npos)
            return "channels are ten characters 1 or 0, channel 1 first";
        o.channels = std::string(value);
    } else if (key == "time") {
        if (lv == "real") o.time = SimTimeMode::Real;
        else if (lv == "instant") o.time = SimTimeMode::Instant;
        else return "time is real or instant";
    } else if (key == "pattern") {
        if (lv == "wave") o.pattern = SimPattern::Wave;
        else if (lv == "ramp") o.pattern = SimPattern::Ramp;
        else return "pattern is wave or ramp";
    } else if (key == "seed") {
        auto v = ParseUnsigned(value, 0xFFFFFFFFull);
        if (!v) return "the seed is a whole number from 0 to 4294967295";
        o.seed = static_cast<std::uint32_t>(*v);
    } else if (key == "extdelay") {
        return ParseExtDelay(value, o.extDelay);
    } else if (key == "address") {
        auto v = ParseUnsigned(value, 30);
        if (!v) return "the GP-IB address is 0 to 30";
        o.address = static_cast<int>(*v);
    } else if (key == "fault") {
        return ParseFaultList(value, o.faults);
    } else {
        return "unknown key (keys: model, version, memory, channels, time, pattern, seed, "
               "extdelay, address, fault)";
    }
    return {};
}

// Takes "sim" and its ':' off the front; false when "sim" is followed by anything else.
bool StripSimPrefix(std::string_view& text) {
    if (ToLowerAscii(text.substr(0, 3)) != "sim") return true;
    text.remove_prefix(3);
    if (text.empty()) return true;
    if (text.front() != ':') return false;
    text.remove_prefix(1);
    return true;
}

}  // namespace

SimOptionsResult ParseSimOptions(std::string_view text) {
    SimOptionsResult result;
    SimOptions o;
    text = Trim(text);
    if (!StripSimPrefix(text)) {
        result.error = "the simulated instrument is written sim or sim:key=value,...";
        return result;
    }
    while (!Trim(text).empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = Trim(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        if (item.empty()) continue;
        const std::size_t eq = item.find('=');
        const std::string why =
            eq == std::string_view::npos
                ? "expected key=value"
                : ParseOption(ToLowerAscii(Trim(item.substr(0, eq))), Trim(item.substr(eq + 1)), o);
        if (!why.empty()) {
            result.error = "sim option '" + std::string(item) + "': " + why;
            return result;
        }
    }
    result.options = std::move(o);
    return result;
}

}  // namespace kmr::sim
