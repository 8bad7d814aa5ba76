#pragma once
// The whole program without a window: the program state, a recording UI, main window, splash and
// progress window, a clock that never waits, and the simulated instrument behind a bus that logs
// every call. HOME and the XDG folders point into a temporary folder for the test's lifetime.
#include <algorithm>
#include <functional>
#include <map>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/app/Engine.h"
#include "core/app/RunController.h"
#include "core/app/Startup.h"
#include "core/support/SpecialFolders.h"
#include "core/support/TextTable.h"
#include "sim/SimBus.h"
#include "sim/SimInstrument.h"
#include "support/FakeClock.h"
#include "support/FakeProgress.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"

namespace kmr::testing {

class RecordingMainView : public MainView {
public:
    void SetWindowEnabled(bool on) override { windowEnabled = on; log.push_back(on ? "window on" : "window off"); }
    void SetButtonEnabled(MainButton b, bool on) override { buttons[b] = on; }
    void SetStartStopCaption(const std::string& c) override { startStopCaption = c; }
    void SetMonitorCaption(const std::string& c) override { monitorCaption = c; }
    void SetMonitorChecked(bool c) override { monitorChecked = c; }
    void SetCaption(const std::string& c) override { caption = c; }
    void SetRestTimePercent(float p) override { restPercent = p; }
    void SetRestTimeCaption(const std::string& c) override { restCaption = c; }
    void SetRestTimeColour(RestTimeColour c) override { restColour = c; }
    void SetEocTimer(bool on) override { eocTimer = on; }
    void SetMoniTimer(bool on) override { moniTimer = on; }
    void SetStatusText(const std::string& t) override { status = t; }
    bool Enabled(MainButton b) const {
        auto it = buttons.find(b);
        return it == buttons.end() || it->second;
    }

    bool windowEnabled = true;
    std::map<MainButton, bool> buttons;
    std::string startStopCaption, monitorCaption, caption, restCaption, status;
    std::vector<std::string> log;
    bool monitorChecked = false;
    float restPercent = 0;
    RestTimeColour restColour = RestTimeColour::WindowText;
    bool eocTimer = false, moniTimer = false;
};

class RecordingSplash : public SplashView {
public:
    void Show(const std::string&, const std::string& s, int max) override {
        status = s;
        maximum = max;
        shown = true;
    }
    void SetStatus(const std::string& s) override { status = s; }
    void SetProgress(int v, int max) override {
        value = v;
        maximum = max;
    }
    void Unload() override { shown = false; }
    std::string status;
    int value = 0, maximum = 0;
    bool shown = false;
};

// A bus that forwards to another and logs every call: "open 13", "close", "w:TRG", "r". It can
// answer a command with a reply of the test's own, and it can
// cut the reply to the n-th "BDT" to half its bytes, as a short block from the instrument, for
// a block in a later channel (the simulated instrument's faults count from the first "BDT"),
// and it tells `beforeCommand` of every command (counted from 0) before passing it on.
class LoggingBus : public GpibBus {
public:
    explicit LoggingBus(std::unique_ptr<GpibBus> inner) : inner_(std::move(inner)) {}
    GpibStatus OpenDevice(int board, int address, int secondary, int timeoutCode, int eot, int eos,
                          int& descriptor) override {
        log.push_back("open " + std::to_string(timeoutCode));
        return inner_->OpenDevice(board, address, secondary, timeoutCode, eot, eos, descriptor);
    }
    GpibStatus InterfaceClear(int board) override { return inner_->InterfaceClear(board); }
    GpibStatus DeviceClear(int board, int address) override { return inner_->DeviceClear(board, address); }
    GpibStatus BoardOffline(int board) override {
        log.push_back("offline");
        return inner_->BoardOffline(board);
    }
    GpibStatus Write(int d, const void* data, std::size_t count) override {
        std::string text(static_cast<const char*>(data), count);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        log.push_back("w:" + text);
        if (text == "BDT") ++blockCommands;
        lastCommand_ = text;
        if (beforeCommand) beforeCommand(commandsWritten, text);
        ++commandsWritten;
        return inner_->Write(d, data, count);
    }
    GpibStatus Read(int d, void* buffer, std::size_t count) override {
        GpibStatus status = inner_->Read(d, buffer, count);
        // A reply the simulated instrument never gives, in place of its own.
        auto it = replaceReply.find(lastCommand_);
        if (it != replaceReply.end() && !it->second.empty()) {
            const std::string line = it->second.front() + "\r\n";
            it->second.erase(it->second.begin());
            const std::size_t n = std::min(count, line.size());
            std::copy_n(line.data(), n, static_cast<char*>(buffer));
            return {kIbEND | kIbCMPL, 0, static_cast<std::int32_t>(n)};
        }
        if (shortBlock > 0 && blockCommands == shortBlock) {
            shortBlock = 0;
            status.ibcnt /= 2;
        }
        return status;
    }
    std::string Describe() const override { return "logging " + inner_->Describe(); }
    unsigned Reopenings() const override { return reopenings; }
    bool SharedRoute() const override { return shared; }

    // The commands written, without terminators.
    std::vector<std::string> Commands() const {
        std::vector<std::string> out;
        for (const auto& l : log)
            if (l.rfind("w:", 0) == 0) out.push_back(l.substr(2));
        return out;
    }
    std::vector<std::string> log;
    int blockCommands = 0;  // "BDT" commands written
    int shortBlock = 0;     // the "BDT" (counted from 1) whose reply is cut; 0: none
    int commandsWritten = 0;
    unsigned reopenings = 0;  // as a route tells after it connected again
    bool shared = false;      // a route other programs can use too
    std::function<void(int index, const std::string& command)> beforeCommand;
    // Replies given in turn to a command instead of the instrument's (which is still asked).
    std::map<std::string, std::vector<std::string>> replaceReply;

private:
    std::unique_ptr<GpibBus> inner_;
    std::string lastCommand_;
};

// The ramp pattern of the simulated instrument at memory address a of channel n.
inline std::int16_t RampWord(int channel, std::int32_t address) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((7 * address + 1000 * channel) % 65536));
}
// The first n words of channel `channel` in the ramp pattern.
inline std::vector<std::int16_t> RampWords(int channel, std::int32_t n) {
    std::vector<std::int16_t> out;
    for (std::int32_t i = 0; i < n; ++i) out.push_back(RampWord(channel, i));
    return out;
}

struct EngineHarness {
    TempHome home;
    ProgramState state;
    FakeUi ui;
    RecordingMainView main;
    RecordingSplash splashView;
    FakeProgress progress;
    FakeClock clock;
    Engine engine{state, ui, main, splashView, progress, clock};
    std::shared_ptr<sim::ManualTimeSource> simTime = std::make_shared<sim::ManualTimeSource>();
    LoggingBus* bus = nullptr;  // the bus start-up made (owned by the engine's link)
    sim::SimBus* simBus = nullptr;  // the simulated instrument's bus behind it
    bool sharedRoute = false;       // the buses made stand for a route other programs can use

    BusFactory Factory() {
        return [this](const std::string& spec, std::string& error) -> std::unique_ptr<GpibBus> {
            auto parsed = sim::ParseSimOptions(spec);
            if (!parsed.options) {
                error = parsed.error;
                return nullptr;
            }
            auto inner = std::make_unique<sim::SimBus>(*parsed.options, simTime);
            simBus = inner.get();
            auto b = std::make_unique<LoggingBus>(std::move(inner));
            b->shared = sharedRoute;
            bus = b.get();
            return b;
        };
    }

    StartupOptions Options(const std::string& spec) {
        StartupOptions o;
#ifdef _WIN32
        // Windows takes its known folders from the user's profile, not from variables: the
        // test's own folders are given directly, laid out as the program lays them out.
        const std::filesystem::path base = std::filesystem::path(home.dir().path()).make_preferred();
        std::filesystem::create_directories(base / "config" / kMakerFolder / kProgramName);
        std::filesystem::create_directories(base / "Documents" / kProgramName);
        o.folders = {(base / "config" / kMakerFolder / kProgramName).string() + "\\",
                     (base / "Documents" / kProgramName).string() + "\\"};
#else
        o.folders = PlatformStartupFolders();
#endif
        o.interfaceOverride = spec;
        o.makeBus = Factory();
        return o;
    }

    StartupOutcome Start(const std::string& spec = "sim:time=instant,pattern=ramp") {
        return RunStartup(engine, Options(spec));
    }
    // A second start-up into `second` over the same home, views and clock (the program started again).
    StartupOutcome StartAgain(ProgramState& second, const std::string& spec = "sim:time=instant") {
        Engine e2{second, ui, main, splashView, progress, clock};
        return RunStartup(e2, Options(spec));
    }

    // Start-up, then channels `on` measured with the memory words, clock and file type, downloaded;
    // the bus log and the messages are cleared. False when any of it failed.
    bool Measure(const std::vector<int>& on, std::int32_t words, float smpClk = 1.0f, std::int16_t fileType = 0,
                 const std::string& spec = "sim:time=instant,pattern=ramp") {
        if (Start(spec) != StartupOutcome::Online) return false;
        for (int ch = 1; ch <= kChannels; ++ch)
            state.Meas.Ch(ch).OnOff = std::find(on.begin(), on.end(), ch) != on.end() ? 1 : 0;
        state.Meas.MemoryWords = words;
        state.Meas.SmpClk = smpClk;
        state.Global.FileType = fileType;
        engine.link.commands->DownloadConditions(kFullChangeMask);
        bus->log.clear();
        ui.shown.clear();
        return state.Status == RunStatus::Ok;
    }
    // Start, then poll until the run has ended; false when it does not end.
    bool RunToEnd() {
        StartOrStop(engine);
        for (int i = 0; i < 10 && state.RunActive(); ++i) EocTimerTick(engine);
        return !state.RunActive();
    }

    std::string CondFile(const std::string& name) const { return state.CondPath(name); }
    std::string DataFolder() const { return state.Global.DataFolder; }
};

}  // namespace kmr::testing
