#include "cli/RecordCommand.h"

#include <ostream>

#include "core/app/Startup.h"
#include "core/app/RunController.h"
#include "core/support/TextTable.h"
#include "link/InterfaceSpec.h"

namespace kmr::cli {

namespace {

// The main window of a command line: only the remaining time is shown, on err.
class RecordView : public MainView {
public:
    RecordView(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}
    void SetWindowEnabled(bool) override {}
    void SetButtonEnabled(MainButton, bool) override {}
    void SetStartStopCaption(const std::string&) override {}
    void SetMonitorCaption(const std::string&) override {}
    void SetMonitorChecked(bool) override {}
    void SetCaption(const std::string&) override {}
    void SetRestTimePercent(float) override {}
    void SetRestTimeCaption(const std::string& caption) override {
        if (caption == last_) return;
        last_ = caption;
        if (caption.empty()) {
            EndLine();
            return;
        }
        if (terminal_) {
            err_ << "\r" << Text(201) << ": " << caption << "     ";
            open_ = true;
        } else {
            err_ << Text(201) << ": " << caption << "\n";
        }
        err_.flush();
    }
    void SetRestTimeColour(RestTimeColour) override {}
    void SetEocTimer(bool) override {}
    void SetMoniTimer(bool) override {}
    void EndLine() {
        if (open_) err_ << "\n";
        open_ = false;
    }

private:
    std::ostream& err_;
    bool terminal_;
    bool open_ = false;
    std::string last_;
};

// Message boxes as lines on err; the off-line question is not asked but remembered.
class RecordUi : public CliUiPort {
public:
    RecordUi(std::ostream& err, RecordView& view) : CliUiPort(err), view_(view) {}
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

int Usage(CliIo& io) {
    io.err << "Usage: kmr record [--interface SPEC]\n  SPEC: " << AcceptedInterfaceForms() << "\n";
    return 2;
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
        } else {
            io.err << "kmr record: " << Say("unexpected argument \"", "不明な引数 \"") << args[i] << "\"\n";
            return Usage(io);
        }
    }

    ProgramState state;
    RecordView view(io.err, io.errIsTerminal);
    RecordUi ui(io.err, view);
    NullSplashView splash;
    TerminalProgressView progress(io.err, io.errIsTerminal);
    ui.beforeMessage = [&progress] { progress.BreakLine(); };
    Engine e(state, ui, view, splash, progress, clock);

    StartupOptions options;
    options.folders = PlatformStartupFolders();
    options.interfaceOverride = interfaceSpec;
    options.makeBus = makeBus;
    const StartupOutcome outcome = RunStartup(e, options);
    if (outcome != StartupOutcome::Online) {
        if (ui.offlineOffered) {
            io.err << "kmr record: "
                   << Say("the instrument cannot be reached at GP-IB address ", "GP-IBアドレス ")
                   << state.Gpib.Address << Say(" (interface ", " の測定器と通信できません (インターフェース ")
                   << (interfaceSpec.empty() ? state.InterfaceSpec : interfaceSpec)
                   << Say("); nothing was recorded.\n", ")。何も記録していません。\n");
        } else {
            io.err << "kmr record: " << Say("start-up was abandoned; nothing was recorded.\n",
                                            "起動を中止しました。何も記録していません。\n");
        }
        return 1;
    }

    // One run. Ctrl+C (seen by the progress view) stops the recording; the transfer then sees
    // the same Ctrl+C as its Cancel button.
    StartOrStop(e);
    if (state.Status == RunStatus::CommFailed && !state.RunActive() && state.LastDataFile.empty()) {
        UnloadMainWindow(e, {});
        io.err << "kmr record: " << Say("the recording could not be started.\n", "測定を開始できませんでした。\n");
        return 1;
    }
    while (state.RunActive()) {
        clock.Sleep(0.05);
        if (progress.ProcessEventsAndCheckCancel())
            StartOrStop(e);
        else
            EocTimerTick(e);
    }
    view.EndLine();
    UnloadMainWindow(e, {});

    if (state.LastDataFile.empty()) {
        io.err << "kmr record: "
               << Say("no data file was written (no samples, or no trigger time).\n",
                      "データファイルは書かれませんでした (データなし、またはトリガ時刻なし)。\n");
        return 1;
    }
    if (!state.LastTransferComplete) {
        io.err << "kmr record: " << state.LastDataFile
               << Say(" is incomplete (cancelled or broken off).\n", " は不完全です (中止または中断)。\n");
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
