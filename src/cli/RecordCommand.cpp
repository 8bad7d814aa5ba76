#include "cli/RecordCommand.h"

#include <ostream>

#include "core/app/Monitor.h"
#include "core/app/RunController.h"
#include "core/app/Startup.h"
#include "core/measurement/MonitorData.h"
#include "core/support/TextTable.h"
#include "link/InterfaceSpec.h"

namespace kmr::cli {

namespace {

// Columns a text takes on a terminal: one per ASCII character, two per other character (the
// Japanese texts are full width).
int Columns(const std::string& utf8) {
    int n = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) n += c < 0x80 ? 1 : 2;
    return n;
}

// The longest start of `utf8` that fits into `columns`, cut between characters.
std::string FitColumns(const std::string& utf8, int columns) {
    int used = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const int w = c < 0x80 ? 1 : 2;
        std::size_t len = 1;
        while (i + len < utf8.size() && (static_cast<unsigned char>(utf8[i + len]) & 0xC0) == 0x80) ++len;
        if (used + w > columns) break;
        used += w;
        i += len;
    }
    return utf8.substr(0, i);
}

// The main window of a command line. On a terminal one status line on err shows the remaining
// time and the live values of the measured channels; otherwise each new remaining time is a line
// of its own and the live values are not shown.
class RecordView : public NullMainView {
public:
    RecordView(std::ostream& err, Language lang, bool terminal, int columns)
        : err_(err), lang_(lang), terminal_(terminal), columns_(columns > 1 ? columns : 80) {}
    void SetRestTimeCaption(const std::string& caption) override {
        if (caption == rest_) return;
        rest_ = caption;
        if (caption.empty()) {
            EndLine();
            return;
        }
        if (terminal_) {
            Draw();
        } else {
            err_ << Text(lang_, txt::RestTime) << ": " << caption << "\n";
            err_.flush();
        }
    }
    void SetEocTimer(bool on) override { eocTimer = on; }
    void SetMoniTimer(bool on) override { moniTimer = on; }

    // The live values after a monitor read: "Ch. 1 12.34" for each measured channel.
    void ShowMonitor(const MoniData& data, const MeasConditions& m) {
        if (!terminal_) return;
        const auto labels = MonitorLabelTexts(data, m);
        values_.clear();
        for (int ch : m.MeasuredChannels) {
            if (ch < 1 || ch > kChannels) continue;
            values_ +=
                "  " + Text(lang_, txt::BalanceChannel1 + ch - 1) + " " + labels[static_cast<std::size_t>(ch - 1)];
        }
        Draw();
    }
    // A line of its own below the status line.
    void Note(const std::string& text) {
        EndLine();
        err_ << text << "\n";
        err_.flush();
    }
    void EndLine() {
        if (drawn_ > 0) err_ << "\n";
        drawn_ = 0;
        values_.clear();
    }

    bool eocTimer = false;
    bool moniTimer = false;

private:
    void Draw() {
        std::string line = rest_.empty() ? values_.substr(values_.empty() ? 0 : 2)
                                         : Text(lang_, txt::RestTime) + ": " + rest_ + values_;
        line = FitColumns(line, columns_ - 1);
        const int width = Columns(line);
        err_ << "\r" << line << std::string(static_cast<std::size_t>(std::max(0, drawn_ - width)), ' ');
        err_.flush();
        drawn_ = std::max(width, 1);
    }

    std::ostream& err_;
    Language lang_;
    bool terminal_;
    int columns_;
    int drawn_ = 0;  // columns of the status line on screen, 0 when there is none
    std::string rest_, values_;
};

// Message boxes as lines on err; the off-line question is not asked but remembered.
class RecordUi : public CliUiPort {
public:
    RecordUi(std::ostream& err, Language lang, RecordView& view) : CliUiPort(err, lang), view_(view) {}
    MsgAnswer ShowMessage(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons,
                          bool defaultNo, int autoCloseMs) override {
        if (buttons == MsgButtons::YesNo) {
            offlineOffered = true;
            return MsgAnswer::No;
        }
        view_.EndLine();
        return CliUiPort::ShowMessage(text, title, icon, buttons, defaultNo, autoCloseMs);
    }
    bool offlineOffered = false;

private:
    RecordView& view_;
};

// A file that cannot be written is not saved elsewhere on a command line: the failure and the
// folder are kept for the last word.
class NoOtherFolder : public SaveElsewherePort {
public:
    std::optional<std::string> OtherFolder(const std::string& why, const std::string& where) override {
        problem = why;
        folder = where;
        return std::nullopt;
    }
    std::string problem, folder;
};

int Usage(CliIo& io) {
    io.err << io.Text(txt::CliUsagePrefix) << "kmr record [--interface SPEC]\n  SPEC: " << AcceptedInterfaceForms()
           << "\n";
    return 2;
}

// The run until it ends, as the main window's two 50 ms timers and its Stop button drive it:
// Ctrl+C is the system's request to end and Stop (the samples recorded so far are transferred,
// each command tried once), a second Ctrl+C then cancels the transfer.
void FollowRun(Engine& e, RecordView& view, TerminalProgressView& progress) {
    while (e.s.RunActive()) {
        e.clock.Sleep(0.05);
        if (progress.Interrupted()) {
            progress.TakeInterrupt();
            AskToEnd(e);
            view.Note(e.ui.Text(txt::CliStoppedTransferring));
            StartOrStop(e);
            continue;
        }
        if (view.eocTimer) EocTimerTick(e);
        // A poll that Ctrl+C cut short goes straight on to the Stop.
        if (view.moniTimer && e.s.RunActive() && !progress.Interrupted()) {
            if (MonitorTimerTick(e))
                view.ShowMonitor(e.s.MoniData, e.s.Meas);
            else if (e.s.RunActive() && e.s.MonitoringOn == kFalse && !e.Failed())
                // An answer that is no live values: the run goes on without them, and the last
                // ones shown (or none yet) are not left standing as if they were current.
                view.Note(TextWith(e.ui.language, txt::MonitorReplyUnreadable, {kMonitorCommand}));
        }
    }
}

}  // namespace

int RecordWith(const std::vector<std::string>& args, CliIo& io, const BusFactory& makeBus, Clock& clock) {
    std::string interfaceSpec;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--interface" && i + 1 < args.size()) {
            interfaceSpec = args[++i];
        } else if (args[i].rfind("--interface=", 0) == 0) {
            interfaceSpec = args[i].substr(12);
        } else if (args[i] == "--simulate") {
            interfaceSpec = std::string(kSimulateInterfaceSpec);
        } else if (args[i] == "--interface") {
            io.err << "kmr record: " << TextWith(io.language, txt::CliNeedsValue, {args[i]}) << "\n";
            return Usage(io);
        } else {
            io.err << "kmr record: " << io.Text(txt::CliUnexpectedArgument) << args[i] << "\"\n";
            return Usage(io);
        }
    }

    if (InterfaceRefused(io, "record", interfaceSpec)) return 2;

    ProgramState state;
    state.OffersLostRecordings = false;  // this command ends with the run
    RecordView view(io.err, io.language, io.errIsTerminal, io.errColumns);
    RecordUi ui(io.err, io.language, view);
    NullSplashView splash;
    TerminalProgressView progress(io.err, io.errIsTerminal);
    ui.beforeMessage = [&progress] { progress.BreakLine(); };
    Engine e(state, ui, view, splash, progress, clock);
    // Ctrl+C while a command waits on the instrument ends it after the attempt in progress.
    e.endSignalled = [&progress] { return progress.Interrupted(); };
    NoOtherFolder elsewhere;
    state.SaveElsewhere = &elsewhere;

    StartupOptions options;
    options.folders = PlatformStartupFolders();
    options.interfaceOverride = interfaceSpec;
    options.makeBus = makeBus;
    const StartupOutcome outcome = RunStartup(e, options);
    if (outcome != StartupOutcome::Online) {
        const std::string route = interfaceSpec.empty() ? state.InterfaceSpec : interfaceSpec;
        const std::string answered = InstrumentAnswered(e, route);
        if (!answered.empty()) {
            io.err << "kmr record: " << answered << "\n"
                   << "kmr record: " << io.Text(txt::CliStartAbandonedNothingRecorded) << "\n";
        } else if (ui.offlineOffered && !state.InstrumentHeldElsewhere) {
            io.err << "kmr record: " << io.Text(txt::CliUnreachableAt) << state.Gpib.Address
                   << io.Text(txt::CliUnreachableInterface)
                   << route << io.Text(txt::CliNothingRecorded)
                   << "\n";
        } else {
            io.err << "kmr record: " << io.Text(txt::CliStartAbandonedNothingRecorded) << "\n";
        }
        return 1;
    }

    // Ctrl+C during start-up: nothing is started.
    if (state.EndAsked || progress.Interrupted()) {
        UnloadMainWindow(e, {});
        io.err << "kmr record: " << io.Text(txt::CliStartAbandonedNothingRecorded) << "\n";
        return 1;
    }
    StartOrStop(e);
    // A run that did not start: the instrument failed, or the data file's folder or name was
    // refused before anything was sent (the message says what to fix).
    if (state.Status != RunStatus::Ok && !state.RunActive() && state.LastDataFile.empty()) {
        UnloadMainWindow(e, {});
        io.err << "kmr record: " << io.Text(txt::CliRecordNotStarted) << "\n";
        return 1;
    }
    FollowRun(e, view, progress);
    view.EndLine();
    UnloadMainWindow(e, {});

    if (!elsewhere.folder.empty()) {
        // The data file could not be written: why, and where it was to go, or what part of it
        // was kept (a disk that filled after the first channels).
        io.err << "kmr record: " << elsewhere.problem << "\n";
        if (state.LastDataFile.empty())
            io.err << "kmr record: " << io.Text(txt::DataFileNotWrittenIn) << elsewhere.folder
                   << io.Text(txt::StillInInstrument) << "\n";
        else
            io.err << "kmr record: " << state.LastDataFile << io.Text(txt::CliFileIncomplete) << "\n";
        return 1;
    }
    if (state.LastDataFile.empty()) {
        io.err << "kmr record: " << io.Text(txt::CliNoDataFile) << "\n";
        return 1;
    }
    if (!state.LastTransferComplete) {
        io.err << "kmr record: " << state.LastDataFile << io.Text(txt::CliFileIncomplete) << "\n";
        return 1;
    }
    io.out << state.LastDataFile << "\n";
    return 0;
}

int RecordCommand(const std::vector<std::string>& args, CliIo& io) {
    SystemClock clock;
    return RecordWith(args, io, [](const std::string& spec, std::string&) { return MakeGpibBusOrExplain(spec); },
                      clock);
}

}  // namespace kmr::cli
