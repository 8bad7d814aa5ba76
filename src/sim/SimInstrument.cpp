#include "sim/SimInstrument.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <thread>

#include "core/support/InstrumentFacts.h"
#include "core/support/Numbers.h"

namespace kmr::sim {

namespace {

constexpr int kChannelCount = 10;
constexpr double kPi = 3.14159265358979323846;
constexpr double kNever = std::numeric_limits<double>::infinity();

// --- model differences, as data --------------------------------------------------------------

struct ModelTraits {
    SimModel model;
    std::array<int, 7> inputModes;  // codes it accepts; unused slots hold 99
    bool hasRange;                  // answers "RNG1000"
};

constexpr ModelTraits kModels[] = {
    {SimModel::Kmr530A, {0, 1, 2, -4, -5, 99, 99}, false},
    {SimModel::Kmr510C, {0, 1, 2, 3, -4, -5, -6}, true},
};

const ModelTraits& TraitsOf(SimModel m) {
    return m == SimModel::Kmr530A ? kModels[0] : kModels[1];
}

bool IsInputModeCode(int code) {
    return code == 0 || code == 1 || code == 2 || code == 3 || code == -4 || code == -5 ||
           code == -6;
}

constexpr std::int32_t kCapacities[] = {507904, 245760, 114688, 49152};

struct ClockText {
    const char* text;
    float value;
};
// Sub-millisecond clocks have fixed texts; 0.5 ms is "CLK0", and there is no "CLK-5".
constexpr ClockText kSubMsClocks[] = {
    {"0.05", 0.05f}, {"-1", 0.1f}, {"-2", 0.2f}, {"-3", 0.3f}, {"-4", 0.4f}, {"0", 0.5f},
    {"-6", 0.6f},    {"-7", 0.7f}, {"-8", 0.8f}, {"-9", 0.9f},
};

struct LpfText {
    const char* text;
    int index;
};
constexpr LpfText kLpfTexts[] = {{"0", 0}, {"300", 1}, {"100", 2}, {"30", 3}, {"10", 4}};
constexpr int kNoiseByLpf[] = {4, 3, 2, 1, 1};

// Sensitivity check standard by bridge voltage (counts); the 0.1 strain modes read ten times more.
int SensitivityStandard(int mode) {
    switch (mode) {
        case 1: return 750;
        case 2: return 3000;
        case 3: return 7500;
        case -4: return 7500;
        case -5: return 30000;
        case -6: return 75000;
        default: return 0;
    }
}

// --- small helpers -----------------------------------------------------------------------------

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

bool StartsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

// Optional sign and 1..10 digits, nothing else.
std::optional<long long> ParseInteger(std::string_view s) {
    if (s.empty()) return std::nullopt;
    bool neg = false;
    if (s.front() == '+' || s.front() == '-') {
        neg = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s.size() > 10) return std::nullopt;
    long long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return neg ? -v : v;
}

std::string Field(long long v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+07lld", v);
    return buf;
}

std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

std::int16_t ClampWord(double v) {
    long long r = std::llround(v);
    return static_cast<std::int16_t>(std::clamp<long long>(r, -32768, 32767));
}

// Days since 1970-01-01 of a civil date, and back.
long long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

int DaysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
    return kDays[m - 1];
}

// "aa;bb;cc" with one or two digits each.
bool ParseTriple(std::string_view s, int& a, int& b, int& c) {
    int* out[3] = {&a, &b, &c};
    for (int i = 0; i < 3; ++i) {
        std::size_t end = i < 2 ? s.find(';') : s.size();
        if (end == std::string_view::npos) return false;
        std::string_view part = s.substr(0, end);
        if (part.empty() || part.size() > 2) return false;
        for (char ch : part)
            if (ch < '0' || ch > '9') return false;
        *out[i] = std::stoi(std::string(part));
        s.remove_prefix(i < 2 ? end + 1 : end);
    }
    return true;
}

}  // namespace

// --- time sources ------------------------------------------------------------------------------

namespace {
double SteadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

RealTimeSource::RealTimeSource() : origin_(SteadySeconds()) {}
double RealTimeSource::Now() const { return SteadySeconds() - origin_; }
void RealTimeSource::WaitUntil(double t) {
    double wait = t - Now();
    if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
}

std::int32_t SimMemoryCapacity(int memoryCode) {
    return memoryCode >= 0 && memoryCode <= 3 ? kCapacities[memoryCode] : 0;
}

// --- the model ---------------------------------------------------------------------------------

struct ChannelState {
    int inputMode = 2;
    int lpf = 0;
    int triggerLevel = 0;  // counts; 0 = not taking part in the data trigger
    bool balanced = false;
    bool calActive = false;
    int calRaw = 0;        // counts output while the calibration signal is on
};

struct Recording {
    double armedAt = 0;           // time of the trigger command
    double triggerAt = kNever;    // time the trigger fired (kNever: not yet / never)
    bool instant = false;
    bool instantComplete = false;
    bool halted = false;
    double haltedAt = 0;
    std::int32_t frozen = 0;      // words converted when halted
    std::int32_t words = 0;
    std::int32_t pre = 0;
    double clkSeconds = 0.001;
    std::array<ChannelState, kChannelCount> channels{};
};

struct PendingFault {
    SimFault fault;
    int remaining;  // -1: every time
};

struct SimInstrument::State {
    SimOptions opts;
    std::shared_ptr<SimTimeSource> time;
    const ModelTraits* traits = nullptr;
    std::array<bool, kChannelCount> installed{};
    std::array<ChannelState, kChannelCount> ch{};
    std::array<bool, kChannelCount> selected{};
    std::array<int, kChannelCount> unbalance{};
    std::array<int, kChannelCount> insulation{};
    std::array<int, kChannelCount> sensitivityDeviation{};
    float clk = 1.0f;
    int averaging = 0;
    std::int32_t memWords = 1000;
    std::int32_t preWords = 0;
    std::optional<Recording> rec;
    std::optional<std::pair<std::int32_t, std::int32_t>> block;  // count, start
    // Calendar: seconds since 1970 at time-source second `calendarBase`.
    double calendarSeconds = 0;
    double calendarBase = 0;
    std::string input;  // a command received in part
    std::vector<PendingFault> faults;

    // --- signals ---

    double ClockSeconds(float clkMs) const { return static_cast<double>(clkMs) / 1000.0; }

    int Noise(int channel, long long index, int lpf) const {
        int a = kNoiseByLpf[std::clamp(lpf, 0, 4)];
        std::uint64_t h = Mix(Mix(opts.seed) ^ Mix(static_cast<std::uint64_t>(channel) * 7919u) ^
                              static_cast<std::uint64_t>(index));
        return static_cast<int>(h % static_cast<std::uint64_t>(2 * a + 1)) - a;
    }

    // The raw counts of a channel at time t (wave pattern).
    std::int16_t Wave(int n, const ChannelState& c, double t, long long index) const {
        if (c.calActive) return ClampWord(c.calRaw);
        const double phase = static_cast<double>(Mix(opts.seed + static_cast<unsigned>(n)) % 628) / 100.0;
        double v;
        if (c.inputMode == 0) {
            // Voltage inputs: a slow sine with a square wave riding on it.
            v = 2500.0 * std::sin(2 * kPi * 0.05 * n * t + phase) +
                (std::sin(2 * kPi * 0.25 * t + n) >= 0 ? 800.0 : -800.0);
        } else {
            const double period = 5.0 + n;
            v = (300.0 + 120.0 * n) * std::sin(2 * kPi * 0.3 * n * t + phase) +
                (std::fmod(std::fabs(t), period) > period / 2 ? 200.0 : 0.0);
            if (!c.balanced) v += unbalance[static_cast<std::size_t>(n - 1)];
            if (c.inputMode < 0) v *= 10.0;  // 0.1 strain resolution
        }
        return ClampWord(v + Noise(n, index, c.lpf));
    }

    static std::int16_t Ramp(int n, std::int32_t address) {
        const std::uint32_t v = (7u * static_cast<std::uint32_t>(address) + 1000u * static_cast<std::uint32_t>(n)) % 65536u;
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
    }

    // --- recording ---

    std::int32_t Converted(double now) {
        if (!rec) return 0;
        Recording& r = *rec;
        if (r.halted) return r.frozen;
        if (r.instant) return r.instantComplete ? r.words : r.pre;
        const double full = r.armedAt + r.pre * r.clkSeconds;
        if (now < r.triggerAt) {
            double filled = std::floor((std::min(now, full) - r.armedAt) / r.clkSeconds + 1e-9);
            return static_cast<std::int32_t>(std::clamp<double>(filled, 0, r.pre));
        }
        double after = std::floor((now - r.triggerAt) / r.clkSeconds + 1e-9);
        return static_cast<std::int32_t>(std::min<double>(r.words, r.pre + after));
    }

    bool IsRecording(double now) {
        return rec && !rec->halted && !(rec->instant && rec->instantComplete) &&
               Converted(now) < rec->words;
    }

    double FindDataTrigger(const Recording& r) const {
        const double start = r.armedAt + r.pre * r.clkSeconds;
        if (opts.pattern == SimPattern::Ramp) return start;
        std::vector<int> parts;
        for (int n = 1; n <= kChannelCount; ++n)
            if (installed[static_cast<std::size_t>(n - 1)] && r.channels[static_cast<std::size_t>(n - 1)].triggerLevel != 0)
                parts.push_back(n);
        if (parts.empty()) return kNever;
        const double dt = std::max(r.clkSeconds, 0.001);
        const long long steps = static_cast<long long>(std::min(600.0 / dt, 2.0e6));
        std::array<int, kChannelCount> prev{};
        for (long long k = 0; k <= steps; ++k) {
            const double t = start + static_cast<double>(k) * dt;
            for (int n : parts) {
                const auto& c = r.channels[static_cast<std::size_t>(n - 1)];
                const int v = Wave(n, c, t, k);
                const int level = c.triggerLevel;
                if (k > 0) {
                    const int p = prev[static_cast<std::size_t>(n - 1)];
                    if ((level > 0 && p < level && v >= level) || (level < 0 && p > level && v <= level))
                        return t;
                }
                prev[static_cast<std::size_t>(n - 1)] = v;
            }
        }
        return kNever;
    }

    std::int16_t Word(int n, std::int32_t address, double now) {
        if (opts.pattern == SimPattern::Ramp) return Ramp(n, address);
        if (!rec || address < 0 || address >= Converted(now)) return 0;
        const auto& r = *rec;
        const double t0 = r.instant ? r.armedAt : r.triggerAt;
        const double t = t0 + (address - r.pre) * r.clkSeconds;
        return Wave(n, r.channels[static_cast<std::size_t>(n - 1)], t, address);
    }

    std::int16_t MonitorValue(int n, double now) {
        const auto& c = ch[static_cast<std::size_t>(n - 1)];
        if (c.calActive) return ClampWord(c.calRaw);
        if (opts.pattern == SimPattern::Ramp) return Ramp(n, Converted(now));
        return Wave(n, c, now, static_cast<long long>(std::floor(now * 1000.0)));
    }

    // --- calendar ---

    double CalendarAt(double t) const { return calendarSeconds + (t - calendarBase); }

    void SetCalendar(double now, double seconds) {
        calendarSeconds = seconds;
        calendarBase = now;
    }

    // --- helpers ---

    std::vector<int> Selected() const {
        std::vector<int> r;
        for (int n = 1; n <= kChannelCount; ++n)
            if (selected[static_cast<std::size_t>(n - 1)]) r.push_back(n);
        return r;
    }

    bool ModeOffered(int code) const {
        for (int m : traits->inputModes)
            if (m == code) return true;
        return false;
    }

    // --- commands: each takes the command text and the time, and gives the reply ---

    SimReply Reset(std::string_view c, double now);
    SimReply Version(std::string_view c, double now);
    SimReply Range(std::string_view c, double now);
    SimReply Monitor(std::string_view c, double now);
    SimReply EndOfConversion(std::string_view c, double now);
    SimReply Halt(std::string_view c, double now);
    SimReply MonitorData(std::string_view c, double now);
    SimReply TriggerTime(std::string_view c, double now);
    SimReply Trigger(std::string_view c, double now);
    SimReply BlockData(std::string_view c, double now);
    SimReply Balance(std::string_view c, double now);
    SimReply Select(std::string_view c, double now);
    SimReply InputMode(std::string_view c, double now);
    SimReply Filter(std::string_view c, double now);
    SimReply TriggerLevel(std::string_view c, double now);
    SimReply Clock(std::string_view c, double now);
    SimReply Averaging(std::string_view c, double now);
    SimReply Memory(std::string_view c, double now);
    SimReply DateTime(std::string_view c, double now);
    SimReply Check(std::string_view c, double now);
    SimReply Calibrate(std::string_view c, double now);

    // The reply of an injected fault that replaces the command's own; `shortReply` is set when
    // the command's own reply is to be cut in half instead.
    std::optional<SimReply> InjectedFault(const std::string& command, bool& shortReply);
};

namespace {

SimReply Line(std::string_view text) {
    SimReply r;
    r.bytes = std::string(text) + "\r\n";
    return r;
}

SimReply End() { return Line("END"); }

bool FaultMatches(const std::string& pattern, const std::string& command) {
    if (pattern == "*") return true;
    if (!pattern.empty() && pattern.back() == '*')
        return StartsWith(command, std::string_view(pattern).substr(0, pattern.size() - 1));
    return pattern == command;
}

}  // namespace

SimInstrument::SimInstrument(SimOptions options, std::shared_ptr<SimTimeSource> time)
    : s_(std::make_unique<State>()) {
    State& s = *s_;
    s.opts = std::move(options);
    s.time = time ? std::move(time) : std::make_shared<RealTimeSource>();
    s.traits = &TraitsOf(s.opts.model);
    bool noChannel = false;
    for (const SimFault& f : s.opts.faults) {
        if (f.kind == FaultKind::NoChannel) noChannel = true;
        s.faults.push_back({f, f.count > 0 ? f.count : -1});
    }
    for (int i = 0; i < kChannelCount; ++i) {
        const auto n = static_cast<std::size_t>(i);
        s.installed[n] = !noChannel && i < static_cast<int>(s.opts.channels.size()) &&
                         s.opts.channels[n] == '1';
        const std::uint64_t h = Mix(Mix(s.opts.seed) + 31u * static_cast<unsigned>(i + 1));
        s.unbalance[n] = static_cast<int>(h % 6001) - 3000;
        s.insulation[n] = 500 + static_cast<int>((h >> 20) % 1500);
        s.sensitivityDeviation[n] = static_cast<int>((h >> 40) % 5) - 2;
    }
    if (s.opts.memory < 0 || s.opts.memory > 3) s.opts.memory = 0;
    s.memWords = std::min<std::int32_t>(1000, SimMemoryCapacity(s.opts.memory));
    s.SetCalendar(s.time->Now(), static_cast<double>(DaysFromCivil(2000, 1, 1)) * 86400.0);
}

SimInstrument::~SimInstrument() = default;

const SimOptions& SimInstrument::Options() const { return s_->opts; }
SimTimeSource& SimInstrument::Time() { return *s_->time; }

void SimInstrument::DeviceClear() { s_->input.clear(); }

bool SimInstrument::AnswersAt(int address) const {
    return s_->opts.address < 0 || s_->opts.address == address;
}

bool SimInstrument::AcceptOpen(int address) {
    s_->input.clear();
    for (PendingFault& f : s_->faults) {
        if (f.fault.kind != FaultKind::NoListener || f.remaining == 0) continue;
        if (f.remaining > 0) --f.remaining;
        return false;
    }
    return AnswersAt(address);
}

std::int32_t SimInstrument::WordsConverted() { return s_->Converted(s_->time->Now()); }

std::int16_t SimInstrument::MemoryWord(int channel, std::int32_t address) {
    if (channel < 1 || channel > kChannelCount) return 0;
    return s_->Word(channel, address, s_->time->Now());
}

SimReply SimInstrument::Write(std::string_view bytes, bool eoi) {
    State& s = *s_;
    SimReply reply;
    reply.silent = true;
    reply.bytes.clear();
    bool any = false;
    for (char c : bytes) {
        if (c == '\r' || c == '\n') {
            if (!s.input.empty()) {
                reply = Execute(s.input);
                any = true;
                s.input.clear();
            }
        } else {
            s.input.push_back(c);
        }
    }
    if (eoi && !s.input.empty()) {
        reply = Execute(s.input);
        any = true;
        s.input.clear();
    }
    if (!any) {
        reply = SimReply{};
        reply.silent = true;
    }
    return reply;
}

// --- commands: one handler each, found through the table below ----------------------------------

SimReply SimInstrument::State::Reset(std::string_view, double) {
    selected.fill(false);
    return End();
}

SimReply SimInstrument::State::Version(std::string_view, double) {
    return Line("VER" + opts.version);
}

SimReply SimInstrument::State::Range(std::string_view, double) {
    return traits->hasRange ? End() : Line(kErrUnknownCommand);
}

SimReply SimInstrument::State::Monitor(std::string_view, double) {
    for (auto& chs : ch) chs.calActive = false;
    return End();
}

SimReply SimInstrument::State::EndOfConversion(std::string_view, double now) {
    if (rec && rec->instant && !rec->halted) rec->instantComplete = true;
    return Line(Field(Converted(now)));
}

SimReply SimInstrument::State::Halt(std::string_view, double now) {
    if (rec && !rec->halted) {
        if (rec->instant && !rec->instantComplete) {
            rec->frozen = rec->pre;
            rec->halted = true;
            rec->haltedAt = now;
        } else if (!rec->instant) {
            rec->frozen = Converted(now);
            rec->halted = true;
            rec->haltedAt = now;
        }
    }
    return End();
}

SimReply SimInstrument::State::MonitorData(std::string_view, double now) {
    std::string line;
    for (int n : Selected()) line += Field(MonitorValue(n, now)) + ",";
    line += Field(Converted(now));
    return Line(line);
}

SimReply SimInstrument::State::TriggerTime(std::string_view, double now) {
    if (!rec || rec->triggerAt > now || (rec->halted && rec->haltedAt < rec->triggerAt))
        return Line(kErrNoTrigger);
    const double cal = CalendarAt(rec->triggerAt);
    const long long secs = static_cast<long long>(std::floor(cal));
    int y, mo, d;
    CivilFromDays(secs / 86400, y, mo, d);
    const long long sod = secs % 86400;
    char buf[40];
    std::snprintf(buf, sizeof buf, "T%02d/%02d/%02d %02lld:%02lld:%02lld", y % 100, mo, d,
                  sod / 3600, (sod / 60) % 60, sod % 60);
    return Line(buf);
}

// "TRG", "DTG" and "ETG".
SimReply SimInstrument::State::Trigger(std::string_view c, double now) {
    Recording r;
    r.armedAt = now;
    r.instant = opts.time == SimTimeMode::Instant;
    r.words = memWords;
    r.pre = std::min(preWords, memWords);
    r.clkSeconds = ClockSeconds(clk);
    r.channels = ch;
    const double full = now + r.pre * r.clkSeconds;
    if (r.instant || c == "TRG") r.triggerAt = r.instant ? now : full;
    else if (c == "ETG") r.triggerAt = std::max(full, now + opts.extDelay);
    else r.triggerAt = FindDataTrigger(r);
    // At 0.1 ms and faster the program cannot poll: an instant recording is complete as soon as
    // it starts.
    if (r.instant && clk <= 0.1f) r.instantComplete = true;
    rec = r;
    block.reset();
    SimReply reply = End();
    // At 0.1 ms and faster the instrument answers only when the recording is complete.
    if (!r.instant && clk <= 0.1f && r.triggerAt != kNever)
        reply.readyAt = r.triggerAt + (r.words - r.pre) * r.clkSeconds;
    return reply;
}

SimReply SimInstrument::State::BlockData(std::string_view, double now) {
    if (!block) return Line(kErrNoBlock);
    const auto sel = Selected();
    if (sel.size() != 1) return Line(kErrSelection);
    SimReply r;
    const auto [count, start] = *block;
    r.bytes.resize(static_cast<std::size_t>(count) * 2);
    for (std::int32_t i = 0; i < count; ++i) {
        const auto w = static_cast<std::uint16_t>(Word(sel[0], start + i, now));
        r.bytes[static_cast<std::size_t>(2 * i)] = static_cast<char>(w >> 8);
        r.bytes[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>(w & 0xFF);
    }
    return r;
}

SimReply SimInstrument::State::Balance(std::string_view, double) {
    const auto sel = Selected();
    if (sel.empty()) return Line(kErrSelection);
    bool voltage = false;
    for (int n : sel) {
        auto& chs = ch[static_cast<std::size_t>(n - 1)];
        if (chs.inputMode == 0) voltage = true;
        else chs.balanced = true;
    }
    return voltage ? Line(kErrBalance) : End();
}

// "SETn" and "SETa;b".
SimReply SimInstrument::State::Select(std::string_view c, double) {
    std::string_view rest = c.substr(3);
    const std::size_t semi = rest.find(';');
    if (semi != std::string_view::npos) {
        auto a = ParseInteger(TrimBlanks(rest.substr(0, semi)));
        auto b = ParseInteger(TrimBlanks(rest.substr(semi + 1)));
        if (!a || !b || *a < 1 || *b > kChannelCount || *a > *b) return Line(kErrOutOfRange);
        std::string line;
        for (long long n = *a; n <= *b; ++n) {
            const auto i = static_cast<std::size_t>(n - 1);
            if (n > *a) line += ',';
            if (installed[i]) {
                selected[i] = true;
                line += "END    ";
            } else {
                line += kErrNotInstalled;
            }
        }
        return Line(line);
    }
    auto n = ParseInteger(TrimBlanks(rest));
    if (!n || *n < 1 || *n > kChannelCount ||
        (!rest.empty() && (rest.front() == '+' || rest.front() == '-')))
        return Line(rest.empty() ? kErrUnknownCommand : kErrOutOfRange);
    const auto i = static_cast<std::size_t>(*n - 1);
    // "SET1" also puts the instrument into remote setting mode, so it is answered even when
    // channel 1 is not installed.
    if (!installed[i]) return *n == 1 ? End() : Line(kErrNotInstalled);
    selected[i] = true;
    return End();
}

SimReply SimInstrument::State::InputMode(std::string_view c, double) {
    auto code = ParseInteger(TrimBlanks(c.substr(3)));
    if (!code || !IsInputModeCode(static_cast<int>(*code))) return Line(kErrOutOfRange);
    if (!ModeOffered(static_cast<int>(*code))) return Line(kErrInputMode);
    for (int n : Selected()) ch[static_cast<std::size_t>(n - 1)].inputMode = static_cast<int>(*code);
    return End();
}

SimReply SimInstrument::State::Filter(std::string_view c, double) {
    const std::string_view p = c.substr(3);
    for (const auto& l : kLpfTexts)
        if (p == l.text) {
            for (int n : Selected()) ch[static_cast<std::size_t>(n - 1)].lpf = l.index;
            return End();
        }
    return Line(kErrOutOfRange);
}

SimReply SimInstrument::State::TriggerLevel(std::string_view c, double) {
    auto v = ParseInteger(c.substr(3));
    if (!v || *v < -32768 || *v > 32767) return Line(kErrOutOfRange);
    for (int n : Selected()) ch[static_cast<std::size_t>(n - 1)].triggerLevel = static_cast<int>(*v);
    return End();
}

SimReply SimInstrument::State::Clock(std::string_view c, double) {
    const std::string_view p = c.substr(3);
    float value = 0;
    if (!p.empty() && p.front() == ' ') {
        auto v = ParseInteger(TrimBlanks(p));
        if (!v || *v < 1 || *v > 32767) return Line(kErrOutOfRange);
        value = static_cast<float>(*v);
    } else {
        for (const auto& ct : kSubMsClocks)
            if (p == ct.text) value = ct.value;
        if (value == 0) return Line(kErrOutOfRange);
        // Averaging works only at 1 ms and slower.
        if (averaging != 0) return Line(kErrOutOfRange);
    }
    clk = value;
    return End();
}

SimReply SimInstrument::State::Averaging(std::string_view c, double) {
    auto v = ParseInteger(TrimBlanks(c.substr(3)));
    if (!v || *v < 0 || *v > 10) return Line(kErrOutOfRange);
    if (*v != 0 && clk < 1.0f) return Line(kErrOutOfRange);
    averaging = static_cast<int>(*v);
    return End();
}

// "MRY n" (memory words), "MRY -n" (pre-memory words) and "MRY n;s" (the next data block).
SimReply SimInstrument::State::Memory(std::string_view c, double) {
    const std::string_view p = TrimBlanks(c.substr(3));
    const std::int32_t cap = SimMemoryCapacity(opts.memory);
    const std::size_t semi = p.find(';');
    if (semi != std::string_view::npos) {
        auto n = ParseInteger(TrimBlanks(p.substr(0, semi)));
        auto st = ParseInteger(TrimBlanks(p.substr(semi + 1)));
        if (!n || !st || *n < 1 || *n > 32767 || *st < 0 || *st + *n > cap)
            return Line(kErrOutOfRange);
        block = std::make_pair(static_cast<std::int32_t>(*n), static_cast<std::int32_t>(*st));
        return End();
    }
    if (!p.empty() && p.front() == '-') {
        auto v = ParseInteger(TrimBlanks(p.substr(1)));
        // The program's own rule: at least one word after the trigger.
        if (!v || *v > memWords || !PreMemoryFits(memWords, static_cast<std::int32_t>(*v))) return Line(kErrOutOfRange);
        preWords = static_cast<std::int32_t>(*v);
        return End();
    }
    auto v = ParseInteger(p);
    if (!v || *v < 1) return Line(kErrOutOfRange);
    if (*v > cap) return Line(kErrMemory);
    memWords = static_cast<std::int32_t>(*v);
    preWords = std::min(preWords, memWords - 1);
    return End();
}

// "DTEyy;mm;dd" and "TMEhh;mm;ss".
SimReply SimInstrument::State::DateTime(std::string_view c, double now) {
    int a, b, d;
    if (!ParseTriple(c.substr(3), a, b, d)) return Line(kErrOutOfRange);
    const long long secs = static_cast<long long>(std::floor(CalendarAt(now)));
    long long days = secs / 86400;
    long long sod = secs % 86400;
    if (c[0] == 'D') {
        const int year = 2000 + a;
        if (b < 1 || b > 12 || d < 1 || d > DaysInMonth(year, b)) return Line(kErrOutOfRange);
        days = DaysFromCivil(year, b, d);
    } else {
        if (a > 23 || b > 59 || d > 59) return Line(kErrOutOfRange);
        sod = a * 3600LL + b * 60LL + d;
    }
    SetCalendar(now, static_cast<double>(days * 86400 + sod));
    return End();
}

// "CHK0" ROM … "CHK5" sensitivity, one field per selected channel.
SimReply SimInstrument::State::Check(std::string_view c, double) {
    const std::string_view p = c.substr(3);
    if (p.size() != 1 || p[0] < '0' || p[0] > '5') return Line(kErrOutOfRange);
    const int check = p[0] - '0';
    const auto sel = Selected();
    if (sel.empty()) return Line(kErrSelection);
    std::string line;
    for (int n : sel) {
        const auto i = static_cast<std::size_t>(n - 1);
        const auto& chs = ch[i];
        if (!line.empty()) line += ',';
        if (check == 0) { line += "ROM--OK"; continue; }
        if (check == 1) { line += "RAM--OK"; continue; }
        if (chs.inputMode == 0) { line += kErrVoltage; continue; }
        const int scale = chs.inputMode < 0 ? 10 : 1;
        switch (check) {
            case 2: line += Field(insulation[i]); break;
            case 3: line += Field(ClampWord((unbalance[i] + Noise(n, 1, chs.lpf)) * scale)); break;
            case 4: line += Field(ClampWord(unbalance[i] * scale)); break;
            default:
                line += Field(SensitivityStandard(chs.inputMode) + sensitivityDeviation[i] * scale);
                break;
        }
    }
    return Line(line);
}

// "CAL[-]digits" (a multiple of 10) or "CAL 0".
SimReply SimInstrument::State::Calibrate(std::string_view c, double) {
    std::string_view p = c.substr(3);
    int sign = 1;
    long long digits = 0;
    if (p != " 0") {
        if (!p.empty() && p.front() == '-') {
            sign = -1;
            p.remove_prefix(1);
        }
        if (p.empty() || p.front() == '+' || p.front() == '-') return Line(kErrOutOfRange);
        auto v = ParseInteger(p);
        if (!v || *v < 0 || *v % 10 != 0) return Line(kErrOutOfRange);
        digits = *v;
    }
    const auto sel = Selected();
    if (sel.empty()) return Line(kErrSelection);
    for (int n : sel) {
        const int mode = ch[static_cast<std::size_t>(n - 1)].inputMode;
        if (digits > (mode < 0 ? 1000 : 10000)) return Line(kErrOutOfRange);
    }
    for (int n : sel) {
        auto& chs = ch[static_cast<std::size_t>(n - 1)];
        chs.calActive = true;
        chs.calRaw = static_cast<int>(sign * digits * (chs.inputMode < 0 ? 10 : 1));
    }
    return End();
}

namespace {

enum class Match { Exact, Prefix };
enum class WhileRecording { Allowed, Refused };  // refused with ERR-006

struct CommandHandler {
    std::string_view text;
    Match match;
    WhileRecording recording;
    SimReply (SimInstrument::State::*handle)(std::string_view command, double now);
};

// Searched in order: exact texts first, so that "DTG" is not taken for a date.
constexpr CommandHandler kCommands[] = {
    {"RES", Match::Exact, WhileRecording::Allowed, &SimInstrument::State::Reset},
    {"VER", Match::Exact, WhileRecording::Allowed, &SimInstrument::State::Version},
    {"RNG1000", Match::Exact, WhileRecording::Allowed, &SimInstrument::State::Range},
    {"MON", Match::Exact, WhileRecording::Allowed, &SimInstrument::State::Monitor},
    {"EOC", Match::Exact, WhileRecording::Allowed, &SimInstrument::State::EndOfConversion},
    {"HLT", Match::Exact, WhileRecording::Allowed, &SimInstrument::State::Halt},
    {"MDT", Match::Exact, WhileRecording::Allowed, &SimInstrument::State::MonitorData},
    {"TTM0", Match::Exact, WhileRecording::Allowed, &SimInstrument::State::TriggerTime},
    {"TRG", Match::Exact, WhileRecording::Refused, &SimInstrument::State::Trigger},
    {"DTG", Match::Exact, WhileRecording::Refused, &SimInstrument::State::Trigger},
    {"ETG", Match::Exact, WhileRecording::Refused, &SimInstrument::State::Trigger},
    {"BDT", Match::Exact, WhileRecording::Refused, &SimInstrument::State::BlockData},
    {"BAL", Match::Exact, WhileRecording::Refused, &SimInstrument::State::Balance},
    {"SET", Match::Prefix, WhileRecording::Allowed, &SimInstrument::State::Select},
    {"B.V", Match::Prefix, WhileRecording::Refused, &SimInstrument::State::InputMode},
    {"LPF", Match::Prefix, WhileRecording::Refused, &SimInstrument::State::Filter},
    {"TGL", Match::Prefix, WhileRecording::Refused, &SimInstrument::State::TriggerLevel},
    {"CLK", Match::Prefix, WhileRecording::Refused, &SimInstrument::State::Clock},
    {"AVE", Match::Prefix, WhileRecording::Refused, &SimInstrument::State::Averaging},
    {"MRY", Match::Prefix, WhileRecording::Refused, &SimInstrument::State::Memory},
    {"DTE", Match::Prefix, WhileRecording::Allowed, &SimInstrument::State::DateTime},
    {"TME", Match::Prefix, WhileRecording::Allowed, &SimInstrument::State::DateTime},
    {"CHK", Match::Prefix, WhileRecording::Refused, &SimInstrument::State::Check},
    {"CAL", Match::Prefix, WhileRecording::Refused, &SimInstrument::State::Calibrate},
};

const CommandHandler* FindHandler(std::string_view command) {
    for (const CommandHandler& h : kCommands)
        if (h.match == Match::Exact ? command == h.text : StartsWith(command, h.text)) return &h;
    return nullptr;
}

}  // namespace

std::optional<SimReply> SimInstrument::State::InjectedFault(const std::string& command,
                                                            bool& shortReply) {
    const std::string upper = ToUpperAscii(command);
    for (PendingFault& f : faults) {
        if (f.remaining == 0) continue;
        if (f.fault.kind == FaultKind::NoListener || f.fault.kind == FaultKind::NoChannel) continue;
        if (!FaultMatches(ToUpperAscii(f.fault.command), upper)) continue;
        if (f.remaining > 0) --f.remaining;
        switch (f.fault.kind) {
            case FaultKind::ErrorReply: return Line(f.fault.errorText);
            case FaultKind::NoReply: {
                SimReply r;
                r.silent = true;
                return r;
            }
            case FaultKind::Garbage: {
                SimReply r;
                static constexpr char kNoise[] = "?#%&@!~^*$";
                for (int i = 0; i < 260; ++i) r.bytes.push_back(kNoise[(i * 7 + 3) % 10]);
                return r;
            }
            case FaultKind::ShortReply: shortReply = true; break;
            default: break;
        }
        break;
    }
    return std::nullopt;
}

void SimInstrument::AddFault(const SimFault& fault) {
    s_->faults.push_back({fault, fault.count > 0 ? fault.count : -1});
}

SimReply SimInstrument::Execute(std::string_view command) {
    State& s = *s_;
    const double now = s.time->Now();
    bool shortReply = false;
    if (std::optional<SimReply> faulty = s.InjectedFault(std::string(command), shortReply))
        return *faulty;
    const CommandHandler* h = FindHandler(command);
    SimReply reply = !h ? Line(kErrUnknownCommand)
                     : h->recording == WhileRecording::Refused && s.IsRecording(now)
                         ? Line(kErrBusy)
                         : (s.*(h->handle))(command, now);
    if (shortReply && !reply.silent) reply.bytes.resize(reply.bytes.size() / 2);
    if (reply.readyAt < now) reply.readyAt = now;
    return reply;
}

}  // namespace kmr::sim
