#include "cli/InstrumentTools.h"

#include <iomanip>
#include <ostream>
#include <sstream>

#include "core/app/Startup.h"
#include "core/measurement/Balance.h"
#include "core/measurement/SelfCheck.h"
#include "core/support/Clock.h"
#include "core/support/Numbers.h"
#include "core/support/TextTable.h"
#include "link/InterfaceSpec.h"

namespace kmr::cli {

namespace {

// A Yes/No question at start-up is the off-line offer: declined, and remembered.
class ToolUi : public CliUiPort {
public:
    using CliUiPort::CliUiPort;
    MsgAnswer ShowMessage(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons,
                          bool defaultNo, int autoCloseMs) override {
        if (buttons == MsgButtons::YesNo) {
            offlineOffered = true;
            return MsgAnswer::No;
        }
        ++shown;
        return CliUiPort::ShowMessage(text, title, icon, buttons, defaultNo, autoCloseMs);
    }
    bool offlineOffered = false;
    int shown = 0;
};

// The program started without a window and connected to the instrument. Ctrl+C, SIGTERM or
// SIGHUP ends it as they end `kmr record`: the command waited for ends after the attempt in
// progress, every later one is tried once, and the connection is closed as at a normal end.
struct Session {
    ProgramState state;
    NullMainView view;
    ToolUi ui;
    NullSplashView splash;
    TerminalProgressView progress;
    Engine e;

    Session(const CliIo& io, Clock& clock)
        : ui(io.err, io.language), progress(io.err, false), e(state, ui, view, splash, progress, clock) {
        e.endSignalled = [this] { return progress.Interrupted(); };
    }
    ~Session() {
        if (started) UnloadMainWindow(e, {});
    }

    // Whether the program has been asked to end; a request that came while the instrument
    // answered (nothing asked for it then) is taken here.
    bool Ending() {
        if (!state.EndAsked && progress.Interrupted()) AskToEnd(e);
        return state.EndAsked;
    }

    // Start-up with the interface given (empty: the stored one). False, with the reason on err.
    bool Start(const std::string& command, const std::string& spec, const BusFactory& makeBus, std::ostream& err) {
        StartupOptions options;
        options.folders = PlatformStartupFolders();
        options.interfaceOverride = spec;
        options.makeBus = makeBus;
        const StartupOutcome outcome = RunStartup(e, options);
        started = true;
        if (outcome == StartupOutcome::Online) return true;
        err << "kmr " << command << ": ";
        const std::string route = spec.empty() ? state.InterfaceSpec : spec;
        const std::string answered = InstrumentAnswered(e, route);
        if (!answered.empty())
            err << answered << "\n";
        else if (ui.offlineOffered)
            err << ui.Text(txt::CliUnreachableAt) << state.Gpib.Address << ui.Text(txt::CliUnreachableInterface)
                << route << ui.Text(txt::CliUnreachableEnd) << "\n";
        else
            err << ui.Text(txt::CliStartAbandoned) << "\n";
        return false;
    }
    bool started = false;
};

struct ParsedArgs {
    std::string spec;
    std::vector<std::string> rest;
    std::string bad;  // the first option not understood
};

ParsedArgs ParseArgs(const std::vector<std::string>& args) {
    ParsedArgs p;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--interface" && i + 1 < args.size()) p.spec = args[++i];
        else if (args[i].rfind("--interface=", 0) == 0) p.spec = args[i].substr(12);
        else if (args[i].rfind("--", 0) == 0 && p.bad.empty()) p.bad = args[i];
        else {
            // "1,3" and "1 3" both name two items.
            std::stringstream items(args[i]);
            for (std::string item; std::getline(items, item, ',');)
                if (!item.empty()) p.rest.push_back(item);
        }
    }
    return p;
}

int Usage(CliIo& io, const char* command, const char* operands) {
    io.err << io.Text(txt::CliUsagePrefix) << "kmr " << command << " [--interface SPEC] " << operands
           << "\n  SPEC: " << AcceptedInterfaceForms() << "\n";
    return 2;
}

int Unexpected(CliIo& io, const char* command, const char* operands, const std::string& arg) {
    io.err << "kmr " << command << ": ";
    // An option given last without its value.
    if (arg == "--interface")
        io.err << TextWith(io.language, txt::CliNeedsValue, {arg}) << "\n";
    else
        io.err << io.Text(txt::CliUnexpectedArgument) << arg << "\"\n";
    return Usage(io, command, operands);
}

constexpr const char* kCheckOperands = "[rom|ram|insulation|initial|direct|sence]...";
constexpr const char* kBalanceOperands = "[CHANNEL]...";
constexpr const char* kCheckNames[kCheckRows] = {"rom", "ram", "insulation", "initial", "direct", "sence"};

// A text padded with blanks to `width` display columns (a Japanese character takes two).
// Terminal columns of UTF-8 text: the Japanese characters (three bytes and more) take two.
std::size_t Columns(const std::string& text) {
    std::size_t columns = 0;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) == 0x80) continue;
        columns += c >= 0xE0 ? 2 : 1;
    }
    return columns;
}

// Left-aligned in a column of the width, with at least one space after.
std::string Padded(const std::string& text, std::size_t width) {
    const std::size_t columns = Columns(text);
    return text + std::string(columns < width ? width - columns : 1, ' ');
}

// Right-aligned in a column of the width, as std::setw does for plain ASCII.
std::string RightAligned(const std::string& text, std::size_t width) {
    const std::size_t columns = Columns(text);
    return std::string(columns < width ? width - columns : 0, ' ') + text;
}

}  // namespace

int CheckWith(const std::vector<std::string>& args, CliIo& io, const BusFactory& makeBus, Clock& clock) {
    const ParsedArgs p = ParseArgs(args);
    if (!p.bad.empty()) return Unexpected(io, "check", kCheckOperands, p.bad);
    std::array<bool, kCheckRows> wanted{};
    for (const std::string& name : p.rest) {
        const std::string lower = ToLowerAscii(name);
        bool known = false;
        for (std::size_t row = 0; row < kCheckRows; ++row)
            if (lower == kCheckNames[row]) wanted[row] = known = true;
        if (!known) return Unexpected(io, "check", kCheckOperands, name);
    }
    if (p.rest.empty()) wanted.fill(true);
    if (InterfaceRefused(io, "check", p.spec)) return 2;

    Session s(io, clock);
    if (!s.Start("check", p.spec, makeBus, io.err)) return 1;
    if (s.Ending()) {
        io.err << "kmr check: " << io.Text(txt::CliNothingCheckedOnRequest) << "\n";
        return 1;
    }
    // A caution of the start (a condition file reset, one that cannot be written) is no failure
    // of the checks.
    const int startMessages = s.ui.shown;
    const MeasConditions& meas = s.state.Meas;
    SelfCheck check(*s.e.link.transport, meas);
    {
        LongCheckTimeout longer(s.e.link.transport->Connection());
        for (std::size_t row = 0; row < kCheckRows; ++row) check.SetTicked(row, wanted[row]);
        // A request to end ends the checks after the one in progress. A connection the longer
        // timeout could not open has said so; nothing is sent through it, to be told as checks
        // the instrument did not answer (the table shows them unmade).
        if (s.e.link.transport->Connection().IsConnected()) check.Execute([&s](std::size_t) { s.Ending(); });
    }

    // One line per check that ran, one column per measured channel; a failed result ends in "*".
    io.out << Padded(io.Text(txt::CheckChannelHeading), 12);
    for (int ch : meas.MeasuredChannels) io.out << std::setw(8) << ch;
    io.out << "\n";
    bool failed = s.ui.shown > startMessages;
    for (std::size_t row = 0; row < kCheckRows; ++row) {
        if (!wanted[row]) continue;
        io.out << Padded(io.Text(kCheckTable[row].captionId), 12);
        for (int ch : meas.MeasuredChannels) {
            const CheckCell cell = check.Cell(row, ch);
            const bool bad = cell.colour == CheckColour::Red;
            failed = failed || bad;
            io.out << std::setw(8) << (cell.text + (bad ? "*" : ""));
        }
        io.out << "\n";
    }
    if (s.state.EndAsked) {
        io.err << "kmr check: " << io.Text(txt::CliCheckEndedOnRequest) << "\n";
        return 1;
    }
    if (failed) io.err << "kmr check: " << io.Text(txt::CliCheckFailed) << "\n";
    return failed ? 1 : 0;
}

int BalanceWith(const std::vector<std::string>& args, CliIo& io, const BusFactory& makeBus, Clock& clock) {
    const ParsedArgs p = ParseArgs(args);
    if (!p.bad.empty()) return Unexpected(io, "balance", kBalanceOperands, p.bad);
    std::vector<int> channels;
    for (const std::string& item : p.rest) {
        const auto n = ParseInt16(item);
        if (!n || *n < 1 || *n > kChannels) return Unexpected(io, "balance", kBalanceOperands, item);
        channels.push_back(*n);
    }
    if (InterfaceRefused(io, "balance", p.spec)) return 2;

    Session s(io, clock);
    if (!s.Start("balance", p.spec, makeBus, io.err)) return 1;
    const int startMessages = s.ui.shown;  // as for the checks
    const MeasConditions& meas = s.state.Meas;
    BalanceTable balance(*s.e.link.transport, meas);
    if (!channels.empty()) {
        // Only the channels named: each must be a measured strain channel.
        for (int ch = 1; ch <= kChannels; ++ch)
            if (balance.Selected(ch)) balance.ClickCell(ch);
        for (int ch : channels) {
            if (!balance.RowEnabled(ch) || meas.Ch(ch).InputMode == 0) {
                io.err << "kmr balance: " << io.Text(txt::CliChannel) << ch << io.Text(txt::CliNotStrainChannel)
                       << io.Text(txt::CannotBalance) << "\n";
                return 1;
            }
            if (!balance.Selected(ch)) balance.ClickCell(ch);
        }
    }
    if (!balance.BalanceEnabled()) {
        io.err << "kmr balance: " << io.Text(txt::CliNoStrainChannel) << "\n";
        return 1;
    }
    std::vector<int> chosen;
    for (int ch = 1; ch <= kChannels; ++ch)
        if (balance.Selected(ch)) chosen.push_back(ch);

    const bool readBefore = balance.Tick();
    if (s.Ending()) {
        io.err << "kmr balance: " << io.Text(txt::CliNothingBalancedOnRequest) << "\n";
        return 1;
    }
    if (!readBefore) {
        io.err << "kmr balance: " << io.Text(txt::CliMonitorUnreadable) << "\n";
        return 1;
    }
    const auto before = balance.Labels();
    balance.Balance();
    s.Ending();  // the reading after it is tried once
    const bool refused = s.ui.shown > startMessages || s.state.Status == RunStatus::CommFailed;
    const bool read = balance.Tick();
    io.out << Padded(io.Text(txt::CheckChannelHeading), 8) << RightAligned(io.Text(txt::CliBefore), 12)
           << RightAligned(io.Text(txt::CliAfter), 12) << "\n";
    for (int ch : meas.MeasuredChannels) {
        // Marked only when the balance went through: a script reads the mark as "balanced".
        const bool balanced = !refused && std::find(chosen.begin(), chosen.end(), ch) != chosen.end();
        io.out << Padded(std::to_string(ch) + (balanced ? "*" : ""), 8) << std::setw(12) << before[ch - 1]
               << std::setw(12) << (read ? balance.Labels()[ch - 1] : kNoValueText) << "\n";
    }
    if (s.state.EndAsked) {
        io.err << "kmr balance: " << io.Text(txt::CliBalanceEndedOnRequest) << "\n";
        return 1;
    }
    if (refused) {
        io.err << "kmr balance: " << io.Text(txt::CliBalanceIncomplete) << "\n";
        return 1;
    }
    // Balanced (the marks say so), but the values after it could not be read.
    if (!read) {
        io.err << "kmr balance: " << io.Text(txt::CliMonitorUnreadable) << "\n";
        return 1;
    }
    return 0;
}

namespace {

std::unique_ptr<GpibBus> PlatformBus(const std::string& spec, std::string&) { return MakeGpibBusOrExplain(spec); }

}  // namespace

int CheckCommand(const std::vector<std::string>& args, CliIo& io) {
    SystemClock clock;
    return CheckWith(args, io, PlatformBus, clock);
}

int BalanceCommand(const std::vector<std::string>& args, CliIo& io) {
    SystemClock clock;
    return BalanceWith(args, io, PlatformBus, clock);
}

}  // namespace kmr::cli
