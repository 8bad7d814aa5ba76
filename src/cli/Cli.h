#pragma once
// The kmr command-line tool: subcommands for people who script their lab. Each subcommand is a
// function of its arguments and the output streams, so tests call it directly.
#include <csignal>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "core/support/Progress.h"
#include "core/support/UiPort.h"

namespace kmr {
struct Engine;
}

namespace kmr::cli {

struct CliIo {
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;  // a progress bar and status lines are drawn on err only then
    int errColumns = 80;         // the width of that terminal
    Language language = Language::English;  // of every text; the entry picks it once
    const std::string& Text(int id) const { return kmr::Text(language, id); }
};

using SubcommandFn = int (*)(const std::vector<std::string>& args, CliIo& io);

struct Subcommand {
    const char* name;
    const char* usage;    // the arguments after the name
    int summary;          // one line: its text
    SubcommandFn run;
};

// Every subcommand, in the order `kmr --help` lists them (Subcommands.cpp: add new ones there).
const std::vector<Subcommand>& Subcommands();

// Runs `kmr` with its arguments (without the program name); returns the exit status:
// 0 success, 1 the work failed (message on err) or out could not be written, 2 wrong usage.
int RunKmr(const std::vector<std::string>& args, CliIo& io);
void PrintHelp(std::ostream& os, Language lang);

inline constexpr const char* kConvertUsage =
    "[--format csv|hdf5] [--out DIR] [--channels LIST] [--from SECONDS] [--to SECONDS] [--compress] [--whole-channels] FILE.kmr...";
inline constexpr const char* kInfoUsage = "[--json] FILE.kmr...";

// A mistyped --interface is wrong usage (exit status 2), said in the user's language with the
// accepted forms before anything is opened: true when `spec` (empty: the stored one) was refused.
bool InterfaceRefused(CliIo& io, const char* command, const std::string& spec);

// A start-up that gave up because the instrument answered a command with an error reply (rather
// than not at all): the line that says so, naming the command and the reply; empty otherwise.
std::string InstrumentAnswered(const Engine& e, const std::string& route);

int InfoCommand(const std::vector<std::string>& args, CliIo& io);
int ConvertCommand(const std::vector<std::string>& args, CliIo& io);

// What Ctrl+C does: the SIGINT handler calls it while a TerminalProgressView exists (tests call
// it directly).
void Interrupt();

// Message boxes become lines "title: text" on err. A Retry/Cancel or Yes/No question cannot be
// answered on a command line: it answers Cancel or No.
class CliUiPort : public UiPort {
public:
    CliUiPort(std::ostream& err, Language lang) : err_(err) { language = lang; }
    MsgAnswer ShowMessage(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons,
                          bool defaultNo = false, int autoCloseMs = 0) override;
    Pointer GetPointer() const override { return pointer_; }
    void SetPointer(Pointer p) override { pointer_ = p; }
    void TerminateProgram() override;
    int messages() const { return messages_; }
    // Called before a message is printed (a progress bar ends its line there).
    std::function<void()> beforeMessage;

private:
    std::ostream& err_;
    Pointer pointer_ = Pointer::Default;
    int messages_ = 0;
};

// A one-line progress bar on a terminal; Ctrl-C (SIGINT), SIGTERM or SIGHUP while it exists is the
// Cancel button.
class TerminalProgressView : public ProgressView {
public:
    TerminalProgressView(std::ostream& err, bool draw);
    ~TerminalProgressView() override;
    void Show(const std::string& label1, const std::string& label2) override;
    void SetPercent(int percent) override;
    void Close() override;
    bool ProcessEventsAndCheckCancel() override;
    // Ctrl+C was pressed since the view was made or since the last TakeInterrupt.
    bool Interrupted() const;
    // The Ctrl+C so far has been answered (it stopped a recording): only a later one cancels.
    void TakeInterrupt();
    // Ends the bar's line so that a message starts on its own line; the bar is redrawn next time.
    void BreakLine();

private:
    std::ostream& err_;
    bool draw_;
    bool shown_ = false;
    int last_ = -1;
    std::string label_;
    long taken_ = 0;  // interrupts answered
    void (*previous_[3])(int) = {};
};

}  // namespace kmr::cli
