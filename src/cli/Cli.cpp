#include "cli/Cli.h"

#include <cerrno>
#include <cstdlib>
#include <ostream>

#include "core/app/Engine.h"
#include "core/datafiles/FileIo.h"
#include "core/support/ProgramVersion.h"
#include "core/support/TextTable.h"
#include "link/InterfaceSpec.h"

namespace kmr::cli {

namespace {

// Ctrl+C presses since the program started (the handler only counts).
volatile std::sig_atomic_t g_interrupts = 0;

extern "C" void OnInterrupt(int sig) {
    // Windows' C library puts the default back before it calls a handler: without this, the
    // second Ctrl+C of `kmr record` (which cancels the transfer) would end the program in the
    // middle of writing the data file.
    std::signal(sig, OnInterrupt);
    Interrupt();
}

const Subcommand* Find(const std::string& name) {
    for (const auto& s : Subcommands())
        if (name == s.name) return &s;
    return nullptr;
}

// The subcommand's own exit status.
int Dispatch(const std::vector<std::string>& args, CliIo& io);

}  // namespace

bool InterfaceRefused(CliIo& io, const char* command, const std::string& spec) {
    std::string error;
    if (spec.empty() || ParseInterfaceSpec(spec, error, io.language)) return false;
    io.err << "kmr " << command << ": " << error << "\n";
    return true;
}

std::string InstrumentAnswered(const Engine& e, const std::string& route) {
    if (!e.link.transport || e.s.Status != RunStatus::CommFailed) return {};
    const CommandTransport& t = *e.link.transport;
    if (t.LastFailureReply().empty()) return {};
    return TextWith(e.ui.language, txt::CliInstrumentAnswered,
                    {std::to_string(e.s.Gpib.Address), route, t.LastFailure(), t.LastFailureReply()});
}

void Interrupt() { g_interrupts = g_interrupts + 1; }

void PrintHelp(std::ostream& os, Language lang) {
    os << Text(lang, txt::CliUsage) << "\n\n" << Text(lang, txt::CliCommands) << "\n";
    for (const auto& s : Subcommands())
        os << "  kmr " << s.name << " " << s.usage << "\n      " << Text(lang, s.summary) << "\n";
    os << "  kmr --help\n  kmr --version\n\n" << Text(lang, txt::CliExitStatus) << "\n";
}

int RunKmr(const std::vector<std::string>& args, CliIo& io) {
    const int rc = Dispatch(args, io);
    // What was written to out must have arrived: a full disk or a closed pipe is a failure.
    errno = 0;
    io.out.flush();
    if (io.out) return rc;
    const int err = errno;
    io.err << "kmr: " << io.Text(txt::CliStdoutFailed) << (err != 0 ? ": " + ErrorDescription(err, io.language) : std::string())
           << "\n";
    return 1;
}

namespace {

int Dispatch(const std::vector<std::string>& args, CliIo& io) {
    if (args.empty()) {
        PrintHelp(io.err, io.language);
        return 2;
    }
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        PrintHelp(io.out, io.language);
        return 0;
    }
    if (first == "--version") {
        io.out << "kmr " << ProgramVersion() << "\n";
        return 0;
    }
    const Subcommand* sub = Find(first);
    if (!sub) {
        io.err << "kmr: " << io.Text(txt::CliUnknownCommand) << first << "\"\n";
        PrintHelp(io.err, io.language);
        return 2;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const auto& a : rest) {
        if (a == "--help" || a == "-h") {
            io.out << io.Text(txt::CliUsagePrefix) << "kmr " << sub->name << " " << sub->usage << "\n  "
                   << io.Text(sub->summary) << "\n";
            return 0;
        }
    }
    return sub->run(rest, io);
}

}  // namespace

MsgAnswer CliUiPort::ShowMessage(const std::string& text, const std::string& title, MsgIcon, MsgButtons buttons,
                                 bool, int) {
    ++messages_;
    if (beforeMessage) beforeMessage();
    err_ << title << ": " << text << "\n";
    err_.flush();
    switch (buttons) {
        case MsgButtons::Ok: return MsgAnswer::Ok;
        case MsgButtons::YesNo: return MsgAnswer::No;
        case MsgButtons::RetryCancel: return MsgAnswer::Cancel;
    }
    return MsgAnswer::Ok;
}

void CliUiPort::TerminateProgram() {
    err_.flush();
    std::exit(1);
}

namespace {

// Ctrl+C, and the requests to end that `timeout`, cron, a service manager or a closed terminal
// send (Ctrl+Break in a Windows console): each is the Cancel button, so that a run ends as
// tidily as after Ctrl+C.
constexpr std::array kStopSignals = {
    SIGINT, SIGTERM,
#ifdef SIGHUP
    SIGHUP,
#endif
#ifdef SIGBREAK
    SIGBREAK,
#endif
};
static_assert(kStopSignals.size() <= 3, "a previous handler is kept for each");

}  // namespace

TerminalProgressView::TerminalProgressView(std::ostream& err, bool draw)
    : err_(err), draw_(draw), taken_(g_interrupts) {
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) previous_[i] = std::signal(kStopSignals[i], OnInterrupt);
}

TerminalProgressView::~TerminalProgressView() {
    for (std::size_t i = 0; i < kStopSignals.size(); ++i)
        std::signal(kStopSignals[i], previous_[i] == SIG_ERR ? SIG_DFL : previous_[i]);
}

void TerminalProgressView::Show(const std::string& label1, const std::string&) {
    label_ = label1;
    last_ = -1;
    SetPercent(0);
}

void TerminalProgressView::SetPercent(int percent) {
    if (!draw_ || percent == last_) return;
    last_ = percent;
    shown_ = true;
    constexpr int width = 30;
    const int filled = percent * width / 100;
    err_ << "\r" << label_ << " [" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(width - filled), '.') << "] " << percent << "%";
    err_.flush();
}

void TerminalProgressView::Close() {
    if (draw_ && shown_) err_ << "\n";
    shown_ = false;
}

void TerminalProgressView::BreakLine() {
    if (draw_ && shown_) err_ << "\n";
    shown_ = false;
    last_ = -1;
}

bool TerminalProgressView::ProcessEventsAndCheckCancel() { return Interrupted(); }

bool TerminalProgressView::Interrupted() const { return g_interrupts != taken_; }

void TerminalProgressView::TakeInterrupt() { taken_ = g_interrupts; }

}  // namespace kmr::cli
