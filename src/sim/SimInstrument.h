#pragma once
// The simulated KMR-530A / KMR-510C strainmeter.
//
// The model knows nothing about any bus: it takes the bytes the controller writes and produces
// the bytes the instrument would send back when it is next addressed to talk. The in-process
// GpibBus (SimBus.h), the Prologix TCP server and the stand-in driver libraries all serve this
// one class. It is not thread-safe: one caller at a time.
//
// Every reply is one line ending in CR LF with EOI on its last byte; a data block ("BDT") is
// exactly 2 x count bytes, high byte first, EOI on the last byte. Unknown commands and
// parameters out of range are answered with "ERR-nnn" (codes below).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kmr::sim {

// --- Time --------------------------------------------------------------------------------------

// Where the simulated instrument gets its time from. Seconds on a monotonic scale.
class SimTimeSource {
public:
    virtual ~SimTimeSource() = default;
    virtual double Now() const = 0;
    // Waits until `t` (real time sleeps; simulated time jumps there at once).
    virtual void WaitUntil(double t) = 0;
    // Lets `seconds` pass without waiting for them: simulated time moves on, real time ignores
    // it. Used for bus timeouts, which must never hold a test or a server.
    virtual void Elapse(double seconds) = 0;
};

// The wall clock (steady clock).
class RealTimeSource : public SimTimeSource {
public:
    RealTimeSource();
    double Now() const override;
    void WaitUntil(double t) override;
    void Elapse(double) override {}

private:
    double origin_;
};

// Time that moves only when told: for tests.
class ManualTimeSource : public SimTimeSource {
public:
    explicit ManualTimeSource(double start = 0.0) : now_(start) {}
    double Now() const override { return now_; }
    void WaitUntil(double t) override { if (t > now_) now_ = t; }
    void Elapse(double seconds) override { if (seconds > 0) now_ += seconds; }
    void Advance(double seconds) { Elapse(seconds); }

private:
    double now_;
};

// --- Options -----------------------------------------------------------------------------------

enum class SimModel { Kmr530A = 0, Kmr510C = 1 };
enum class SimTimeMode { Real, Instant };
enum class SimPattern { Wave, Ramp };

enum class FaultKind {
    ErrorReply,   // the command is answered with an error text (e.g. ERR-012) and not executed
    NoReply,      // the command is not answered: the next read times out
    Garbage,      // 260 bytes of noise without CR (EOI on the last)
    ShortReply,   // the reply ends early: half of its bytes, EOI on the last (a short data block)
    NoListener,   // the instrument does not answer device clear at open (ENOL)
    NoChannel,    // no channel is installed
};

struct SimFault {
    // The command text the fault applies to, without terminator: exact ("SET1;10"), a prefix
    // ending in '*' ("MRY*"), or "*" for every command. "open" for NoListener.
    std::string command;
    FaultKind kind = FaultKind::ErrorReply;
    std::string errorText;  // ErrorReply: the reply, e.g. "ERR-012"
    int count = 0;          // how many times it applies; 0 = every time

    bool operator==(const SimFault&) const = default;
};

struct SimOptions {
    SimModel model = SimModel::Kmr510C;
    std::string version = "2.10";             // 4 characters, answered by "VER"
    int memory = 0;                           // memory size code 0..3
    std::string channels = "1111111111";      // installed channels, "1"/"0" for channel 1..10
    SimTimeMode time = SimTimeMode::Real;
    SimPattern pattern = SimPattern::Wave;
    std::uint32_t seed = 1;
    double extDelay = 2.0;                    // seconds from "ETG" to the external trigger
    int address = -1;                         // GP-IB address it answers at; -1 = any address
    std::vector<SimFault> faults;

    bool operator==(const SimOptions&) const = default;
};

// Parses the options of the interface text "sim:key=value,..." (the "sim" and ":" may be left
// out; every key is optional). Returns the options, or an error that names the bad item and
// what is allowed.
struct SimOptionsResult {
    std::optional<SimOptions> options;
    std::string error;
};
SimOptionsResult ParseSimOptions(std::string_view text);

// Largest memory words for a memory size code (0..3).
std::int32_t SimMemoryCapacity(int memoryCode);

// --- Error replies -----------------------------------------------------------------------------

inline constexpr const char* kErrUnknownCommand = "ERR-001";
inline constexpr const char* kErrOutOfRange = "ERR-002";
inline constexpr const char* kErrMemory = "ERR-003";       // memory words above the capacity
inline constexpr const char* kErrInputMode = "ERR-004";    // input mode not offered by the model
inline constexpr const char* kErrNotInstalled = "ERR-005"; // channel not installed
inline constexpr const char* kErrBusy = "ERR-006";         // not allowed while recording
inline constexpr const char* kErrNoTrigger = "ERR-007";    // no trigger time yet
inline constexpr const char* kErrSelection = "ERR-008";    // no channel / not one channel selected
inline constexpr const char* kErrNoBlock = "ERR-010";      // BDT without "MRY n;s"
inline constexpr const char* kErrVoltage = "ERR-011";      // check of a voltage channel
inline constexpr const char* kErrBalance = "ERR-012";      // balance of a voltage channel
inline constexpr const char* kErrRemoteSensing = "ERR-022";

// --- The instrument ----------------------------------------------------------------------------

struct SimReply {
    std::string bytes;     // what the instrument sends when next addressed to talk
    bool eoi = true;       // EOI asserted with the last byte
    bool silent = false;   // nothing to send: a read times out
    double readyAt = 0.0;  // time source seconds at which the reply is ready
};

class SimInstrument {
public:
    // Without a time source the instrument follows the wall clock.
    explicit SimInstrument(SimOptions options = {}, std::shared_ptr<SimTimeSource> time = nullptr);
    ~SimInstrument();
    SimInstrument(const SimInstrument&) = delete;
    SimInstrument& operator=(const SimInstrument&) = delete;

    // One write of the controller. Commands end at CR, LF, CR LF, or at the last byte when `eoi`
    // is set; an unterminated tail without EOI waits for the next write. Every complete command
    // is executed; the reply is that of the last one (a new command discards unread output).
    // A write with no complete command gives a silent reply.
    SimReply Write(std::string_view bytes, bool eoi = true);

    // Executes one command text (no terminator) and returns its reply.
    SimReply Execute(std::string_view command);

    // Device clear: drops a partly received command.
    void DeviceClear();
    // Whether the instrument answers device clear at an open at `address` (consumes one
    // "open" fault).
    bool AcceptOpen(int address);
    bool AnswersAt(int address) const;

    // Arms one more fault from now on, as if it had been given in the options (the open and
    // installed-channel faults act at start only).
    void AddFault(const SimFault& fault);

    const SimOptions& Options() const;
    SimTimeSource& Time();

    // State seen from outside (tests, the server's status line).
    std::int32_t WordsConverted();
    std::int16_t MemoryWord(int channel, std::int32_t address);

    // The instrument's state and its command handlers (SimInstrument.cpp).
    struct State;

private:
    std::unique_ptr<State> s_;
};

}  // namespace kmr::sim
