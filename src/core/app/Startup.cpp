#include "core/app/Startup.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "core/app/MainWindowRules.h"
#include "core/app/OpenRecord.h"
#include "core/datafiles/Csv.h"
#include "core/datafiles/DataFileNaming.h"
#include "core/app/RunController.h"
#include "core/app/TransferNames.h"
#include "core/support/Numbers.h"
#include "core/support/SpecialFolders.h"
#include "core/support/TextTable.h"

namespace kmr {

namespace {

// The splash counts a step per measured channel (its conditions downloaded) and these besides:
// the condition files read, the instrument identified, its hardware reconciled, and the other
// groups of the download.
constexpr int kSplashStepsBesideChannels = 7;
int SplashSteps(int measuredChannels) { return measuredChannels + kSplashStepsBesideChannels; }

// A condition file loaded: its problems noted, and held when it was damaged and left as it was
// (start-up's own saves then leave it alone).
void Loaded(ProgramState& s, SaveProblems& problems, const LoadResult& r) {
    problems.Add(r);
    auto& held = s.HeldConditionFiles;
    held.erase(std::remove(held.begin(), held.end(), r.file), held.end());
    if (r.leftAsItWas) held.push_back(r.file);
}

}  // namespace

// --- Initialise ----------------------------------------------------------------------------------

StartupFolders PlatformStartupFolders() {
    return {GetCommonAppDataPath_WithVNT(kMakerFolder), GetMyDocumentsPath()};
}

std::string DateBaseName(const LocalDateTime& d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", d.year % 10000, d.month % 100, d.day % 100);
    return buf;
}

void Initialise(ProgramState& s, const StartupFolders& folders, const LocalDateTime& today,
                Splash& splash, UiPort& ui) {
    SaveProblems problems;
    s.CondFolder = folders.CondFolder;
    s.DocumentsFolder = folders.DocumentsFolder;

    // The condition and data folders.
    EnsureFolder(s.CondFolder + "Cond");
    EnsureFolder(s.DocumentsFolder + "Data");

    // The identity placeholder and the vocabulary lists.
    s.Instrument.InstrumentVersion = "----";
    s.Vocab = MakeVocabulary(ui.language, UserLanguageId(ui.language));

    // The graph conditions.
    SetGraphDefaults(s.Graph);
    Loaded(s, problems, LoadGraphConditions(s.CondPath(kGraphCnd), s.Graph, s.Writes));

    // The measurement conditions.
    SetMeasDefaults(s.Meas);
    Loaded(s, problems, LoadMeasConditions(s.CondPath(kMeasCnd), s.Meas, s.Writes));

    // Trigger levels on whole raw counts, then saved.
    for (int ch = 1; ch <= kChannels; ++ch) SnapTriggerLevel(s.Meas, ch);
    if (!s.ConditionFileHeld(kMeasCnd)) problems.Add(SaveMeasConditions(s.CondPath(kMeasCnd), s.Meas, s.Writes));

    // The data-file settings.
    const std::string today8 = DateBaseName(today);
    s.Global.DataFolder = s.DefaultDataFolder();
    s.Global.BaseFileName = today8;
    s.Global.FileType = kFileTypeBinary;
    s.Global.SourcePathName = s.DefaultDataFolder();
    s.Global.DestPathName = s.DefaultDataFolder();
    Loaded(s, problems, LoadGlobalSettings(s.CondPath(kGlobalCnd), s.Global, s.Writes));

    // A data folder that cannot be used is replaced by the default. One the settings named (a drive
    // not attached) is said, with where the data files go now.
    if (!FolderUsable(s.Global.DataFolder)) {
        const std::string gone = s.Global.DataFolder;
        s.Global.DataFolder = s.DefaultDataFolder();
        s.Global.BaseFileName = today8;
        if (!s.ConditionFileHeld(kGlobalCnd))
            problems.Add(SaveGlobalSettings(s.CondPath(kGlobalCnd), s.Global, s.Writes));
        if (gone != s.Global.DataFolder) {
            if (ui.IsSplashShowing()) ui.MakeSplashNonTopmost();
            ui.ShowMessage(TextWith(ui.language, txt::DataFolderReplaced, {gone, s.Global.DataFolder}),
                           ui.Text(txt::CautionTitle), MsgIcon::Exclamation, MsgButtons::Ok);
        }
    }

    // A recording stored as CSV fits one file.
    if (s.Global.FileType == kFileTypeCsv && s.Meas.MemoryWords > kLargestCsvWords)
        s.Global.FileType = kFileTypeBinary;

    // The output calibration.
    Loaded(s, problems, LoadOutputCal(s.CondPath(kOutputCalCnd), s.OutputCal, s.Writes));

    // The next data-file number.
    s.DataFileNumber =
        NextFreeNumber(s.Global.DataFolder, s.Global.BaseFileName, s.Global.FileType, s.Meas.MemoryWords);

    // The splash's steps, now that the measured channels are known.
    splash.SetMaximum(SplashSteps(s.Meas.ChannelCount));

    problems.Report(ui);
    s.DamagedConditionFiles.insert(s.DamagedConditionFiles.end(), problems.Damaged().begin(), problems.Damaged().end());
}

bool LimitMemoryWords(MeasConditions& m, std::int32_t memorySizeCode) {
    const std::int32_t capacity = MemoryCapacity(memorySizeCode);
    if (m.MemoryWords <= capacity) return false;
    m.MemoryWords = capacity;
    m.PreMemoryWords = 0;
    return true;
}

void ReplaceUnavailableInputModes(MeasConditions& m, std::int32_t model) {
    if (model != kModelKmr530A) return;
    for (auto& c : m.Channels)
        if (FindInputMode(c.InputMode) && !InputModeOffered(c.InputMode, model))
            c.InputMode = kKmr530AReplacementInputMode;
}

std::string OfflineOfferText(Language lang, const GpibSettings& gpib) {
    std::string t = "KMR-530A/KMR-510C (";
    t += Text(lang, txt::GpibAddressLabel);
    t += FormatInt(gpib.Address);
    t += " ";
    t += Text(lang, txt::DelimiterLabel);
    // A code other than the two names itself rather than passing for CR/LF.
    t += gpib.Delimiter == 0 ? "CR/LF) " : gpib.Delimiter == 1 ? "CR) " : FormatInt(gpib.Delimiter) + ") ";
    t += Text(lang, txt::IsFixed);
    t += "\r\n";
    t += Text(lang, txt::ContinueOffline);
    return t;
}

// --- The start-up sequence ------------------------------------------------------------------------

std::string InstrumentLockPath(const ProgramState& s, const std::string& route) {
    // One name per route and address, short and safe as a file name.
    const std::string key = route + "@" + std::to_string(s.Gpib.Address);
    std::uint64_t h = 14695981039346656037ull;
    for (const unsigned char c : key) h = (h ^ c) * 1099511628211ull;
    char name[40];
    std::snprintf(name, sizeof name, "Instrument-%016llx.lock", static_cast<unsigned long long>(h));
    return s.CondPath(name);
}

void Connect(Engine& e, const std::string& interfaceOverride, const BusFactory& makeBus) {
    ProgramState& s = e.s;
    // The open below says only its failures: a status left by what the old link last did (a
    // balance cancelled part-way, say) is not one of them.
    s.Status = RunStatus::Ok;
    SaveProblems problems;
    // The GP-IB settings and the route.
    s.Gpib = GpibSettings{};
    Loaded(s, problems, LoadGpibSettings(s.CondPath(kMeterCnd), s.Gpib, s.Writes));
    s.InterfaceSpec = kDefaultInterfaceSpec;
    Loaded(s, problems, LoadInterfaceSpec(s.CondPath(kInterfaceCnd), s.InterfaceSpec, s.Writes));
    problems.Report(e.ui);
    s.DamagedConditionFiles.insert(s.DamagedConditionFiles.end(), problems.Damaged().begin(), problems.Damaged().end());
    const std::string spec = interfaceOverride.empty() ? s.InterfaceSpec : interfaceOverride;

    // The files are kept in a folder a person does not come across (hidden on Linux): a failure to
    // open says where they are.
    const std::string settingsNote = TextWith(e.ui.language, txt::ConnectionSettingsFolder, {s.CondPath("")});

    e.link = InstrumentLink{};
    s.InstrumentHeldElsewhere = false;
    std::string error;
    e.link.bus = makeBus ? makeBus(spec, error) : nullptr;
    if (!e.link.bus) {
        // The route itself cannot work: said like any other failure to open.
        ShowOpenFailure(e.ui, error.empty() ? settingsNote : error + "\n" + settingsNote, s.Status);
        return;
    }
    // Two programs commanding one instrument would spoil each other's runs. A lock that cannot
    // be made at all (a read-only folder) keeps no one off.
    if (e.link.bus->SharedRoute() &&
        e.link.lock.Take(InstrumentLockPath(s, spec)) == FileLock::kHeldElsewhere) {
        e.link = InstrumentLink{};
        s.InstrumentHeldElsewhere = true;
        ShowOpenFailure(e.ui, TextWith(e.ui.language, txt::InstrumentInUse, {FormatInt(s.Gpib.Address), spec}),
                        s.Status);
        return;
    }
    // The set-up that follows gives the instrument everything.
    s.ReopeningsSeen = e.link.bus->Reopenings();
    s.DateUnsent = false;
    e.link.connection = std::make_unique<GpibConnection>(*e.link.bus, s.Gpib, e.ui, s.Status);
    e.link.connection->openFailureNote = settingsNote;
    e.link.transport = std::make_unique<CommandTransport>(*e.link.connection);
    e.link.transport->stopRequested = s.EndAsked;
    e.link.transport->beforeRepeat = [&e] {
        if (!e.s.EndAsked && e.endSignalled && e.endSignalled()) AskToEnd(e);
    };
    e.link.commands = std::make_unique<CommandSet>(*e.link.transport, s.Instrument, s.Meas, e.clock,
                                                   [&e] { e.splash.Advance(); });

    // Open with the 10 s timeout.
    e.link.connection->OpenGpibDevice(kT10s);
    if (e.Failed()) return;
    // Identify; the identity keeps the installed-channel text just reported.
    e.link.commands->IdentifyInstrument();
}

void ReconcileHardware(Engine& e) {
    ProgramState& s = e.s;
    SaveProblems problems;
    s.InstalledChannelText = kDefaultInstalledChannelText;
    Loaded(s, problems, LoadInstalledChannels(s.CondPath(kHardCnd), s.InstalledChannelText, s.Writes));
    const std::string& reported = s.Instrument.InstalledChannelText;
    const auto notInstalled = [&reported](int ch) {
        const std::size_t i = static_cast<std::size_t>(ch - 1);
        return i < reported.size() && reported[i] == '0';
    };
    // A new report sets every channel by it; otherwise only a measured channel the instrument
    // lacks goes off (conditions made afresh, from a lost or damaged Meas.cnd, switch all on, and
    // such a channel would refuse the set-up at every start with the form out of reach off-line).
    const bool hardChanged = s.InstalledChannelText != reported;
    if (hardChanged) {
        s.InstalledChannelText = reported;
        if (!s.ConditionFileHeld(kHardCnd))
            problems.Add(SaveInstalledChannels(s.CondPath(kHardCnd), s.InstalledChannelText, s.Writes));
    }
    bool changed = hardChanged;
    for (int ch = 1; ch <= kChannels; ++ch) {
        const std::int16_t onOff = notInstalled(ch) ? 0 : hardChanged ? 1 : s.Meas.Ch(ch).OnOff;
        changed = changed || s.Meas.Ch(ch).OnOff != onOff;
        s.Meas.Ch(ch).OnOff = onOff;
    }
    if (changed) {
        RebuildMeasuredChannels(s.Meas);
        e.splash.SetMaximum(SplashSteps(s.Meas.ChannelCount));
        if (!s.ConditionFileHeld(kMeasCnd)) problems.Add(SaveMeasConditions(s.CondPath(kMeasCnd), s.Meas, s.Writes));
    }
    if (hardChanged) {
        const int first = s.Instrument.FirstInstalledChannel;
        if (first >= 1 && first <= kChannels) s.Graph.Ch[static_cast<std::size_t>(first - 1)].Use = 1;
        if (!s.ConditionFileHeld(kGraphCnd)) problems.Add(SaveGraphConditions(s.CondPath(kGraphCnd), s.Graph, s.Writes));
    }
    problems.Report(e.ui);
    s.DamagedConditionFiles.insert(s.DamagedConditionFiles.end(), problems.Damaged().begin(), problems.Damaged().end());
    e.link.commands->InitialiseInstrument();
}

void PrepareMainWindow(Engine& e) {
    ProgramState& s = e.s;
    e.main.SetRestTimeCaption("");
    e.chart.SetGraphMode(kMonitorMode);
    {
        ChartModel::Batch batch(e.chart);
        e.chart.ConfigureGraphAxes(s.Graph);
        e.chart.ResetMonitorGraphs(s.Graph, s.Meas, s.Vocab.units);
    }
    UpdateRunCaptions(e);
    if (s.ProgramMode == kModeOffline) {
        e.main.SetButtonEnabled(MainButton::Balance, false);
        e.main.SetButtonEnabled(MainButton::Monitor, false);
        e.main.SetButtonEnabled(MainButton::StartStop, false);
    }
    SetMainCaption(e, true);
}

namespace {

StartupOutcome Abandon(Engine& e) {
    e.splash.Unload();
    e.ui.SetPointer(Pointer::Default);
    ReportDamagedConditionFiles(e.s, e.ui);
    return StartupOutcome::Exit;
}

StartupOutcome ShowMain(Engine& e) {
    e.ui.SetPointer(Pointer::Default);
    ReportDamagedConditionFiles(e.s, e.ui);
    PrepareMainWindow(e);
    return e.s.ProgramMode == kModeOnline ? StartupOutcome::Online : StartupOutcome::Offline;
}

// The conditions fitted to the identified instrument (memory size, the KMR-530A's input modes),
// then downloaded in full.
void FitAndDownload(Engine& e) {
    ProgramState& s = e.s;
    const std::int32_t pre = s.Meas.PreMemoryWords;
    if (LimitMemoryWords(s.Meas, s.Instrument.MemorySizeCode)) {
        // Said, so that no one records fewer words, or without the pre-trigger words, unawares.
        if (e.ui.IsSplashShowing()) e.ui.MakeSplashNonTopmost();
        e.ui.ShowMessage(TextWith(e.ui.language, txt::MemoryWordsLimited,
                                  {FormatInt(s.Meas.MemoryWords), FormatInt(pre)}),
                         e.ui.Text(txt::CautionTitle), MsgIcon::Exclamation, MsgButtons::Ok);
        SaveProblems problems;
        if (!s.ConditionFileHeld(kMeasCnd)) problems.Add(SaveMeasConditions(s.CondPath(kMeasCnd), s.Meas, s.Writes));
        problems.Report(e.ui);
    }
    ReplaceUnavailableInputModes(s.Meas, s.Instrument.InstrumentModel);
    e.link.commands->DownloadConditions(kFullChangeMask);
    s.ConditionsUnsent = e.Failed();
}

StartupOutcome OfflineOffer(Engine& e) {
    e.splash.Unload();
    e.ui.SetPointer(Pointer::Default);
    // Asked to end meanwhile, the program asks nobody whether to go on.
    if (e.s.EndAsked) return Abandon(e);
    ReportDamagedConditionFiles(e.s, e.ui);
    const MsgAnswer a = e.ui.ShowMessage(OfflineOfferText(e.ui.language, e.s.Gpib), kProgramTitle,
                                         MsgIcon::Question, MsgButtons::YesNo, /*defaultNo=*/true);
    if (a != MsgAnswer::Yes) return Abandon(e);
    e.s.ProgramMode = kModeOffline;
    // Off-line, the instrument is free for other programs until Option > Connect.
    e.link.lock.Release();
    return ShowMain(e);
}

}  // namespace

StartupOutcome RunStartup(Engine& e, const StartupOptions& o) {
    ProgramState& s = e.s;
    // The decimal symbol.
    const int languageNumber = ParseInt32(e.ui.Text(1)).value_or(1);
    if (DecimalSymbolUnusable(languageNumber, e.ui, o.decimalConversion)) return StartupOutcome::Exit;
    e.makeBus = o.makeBus;
    e.interfaceOverride = o.interfaceOverride;
    // Starting, the main window's place from the stored geometry.
    s.ProgramMode = kModeStarting;
    MainFormGeometry g;
    ApplyGeometryText(kDefaultGeometryText, g);
    ApplyGeometryText(o.geometryText, g);
    s.Geometry = CorrectMainFormGeometry(g, o.screen);
    // The splash, counting every channel until the conditions say which are measured.
    e.ui.SetPointer(Pointer::Hourglass);
    e.splash.Show(e.ui.Text(txt::ProgramFullName), e.ui.Text(txt::WaitAMinute), SplashSteps(kChannels));
    e.clock.Sleep(0.5);
    // The folders and condition files.
    Initialise(s, o.folders, e.clock.Now(), e.splash, e.ui);
    e.splash.Advance();
    // The route, the connection and the instrument's identity.
    Connect(e, o.interfaceOverride, o.makeBus);
    if (s.Status == RunStatus::CommFailed) return OfflineOffer(e);
    if (s.Status == RunStatus::Refused) return Abandon(e);
    if (s.Instrument.FirstInstalledChannel == 0) return Abandon(e);
    e.splash.Advance();
    // The installed channels against the last instrument seen; the date and time.
    ReconcileHardware(e);
    if (s.Status == RunStatus::CommFailed) return OfflineOffer(e);
    if (s.Status == RunStatus::Refused) return Abandon(e);
    e.splash.Advance();
    // The conditions fitted to the instrument and downloaded.
    FitAndDownload(e);
    if (s.Status == RunStatus::CommFailed) return OfflineOffer(e);
    // Ready: the splash goes, the main window comes.
    e.splash.SetStatus(e.ui.Text(txt::ProgramReady));
    e.splash.Complete();
    e.clock.Sleep(0.5);
    e.splash.Unload();
    s.ProgramMode = kModeOnline;
    return ShowMain(e);
}

bool ConnectAgain(Engine& e) {
    ProgramState& s = e.s;
    if (s.RunActive()) return false;
    e.main.SetWindowEnabled(false);
    if (s.MonitoringOn != kFalse) {
        s.MonitoringOn = kFalse;
        e.main.SetMoniTimer(false);
        e.main.SetMonitorChecked(false);
    }
    // The charts start afresh below, as at start-up: an opened record goes with them (its name
    // leaves the status strip, the graphs chosen before it come back).
    ForgetOpenedRecord(e);
    e.ui.SetPointer(Pointer::Hourglass);
    e.splash.Show(e.ui.Text(txt::ProgramFullName), e.ui.Text(txt::WaitAMinute), SplashSteps(s.Meas.ChannelCount));
    Connect(e, e.interfaceOverride, e.makeBus);
    bool ok = s.Status == RunStatus::Ok && s.Instrument.FirstInstalledChannel != 0;
    if (ok) {
        e.splash.Advance();
        ReconcileHardware(e);
        ok = s.Status == RunStatus::Ok;
    }
    if (ok) {
        e.splash.Advance();
        FitAndDownload(e);
        ok = s.Status != RunStatus::CommFailed;
    }
    if (ok) {
        e.splash.SetStatus(e.ui.Text(txt::ProgramReady));
        e.splash.Complete();
    }
    e.splash.Unload();
    s.ProgramMode = ok ? kModeOnline : kModeOffline;
    if (!ok) e.link.lock.Release();
    for (MainButton b : {MainButton::Balance, MainButton::Monitor, MainButton::StartStop})
        e.main.SetButtonEnabled(b, true);
    PrepareMainWindow(e);
    e.ui.SetPointer(Pointer::Default);
    e.main.SetWindowEnabled(true);
    e.main.Activate();
    return ok;
}

void UnloadMainWindow(Engine& e, const std::function<void(const MainFormGeometry&)>& saveGeometry) {
    if (saveGeometry) saveGeometry(e.s.Geometry);
    if (e.s.MonitoringOn != kFalse) {
        e.main.SetMoniTimer(false);
        e.s.MonitoringOn = kFalse;
    }
    if (e.s.ProgramMode == kModeOnline && e.link.connection) e.link.connection->CloseGpibDevice();
}

void AskToEnd(Engine& e) {
    e.s.EndAsked = true;
    if (e.link.transport) e.link.transport->stopRequested = true;
}

void EndAtSystemRequest(Engine& e, const std::function<void(const MainFormGeometry&)>& saveGeometry) {
    AskToEnd(e);
    if (e.s.ProgramMode != kModeStarting)
        for (int press = 0; press < 2 && e.s.RunActive(); ++press) StartOrStop(e);
    UnloadMainWindow(e, saveGeometry);
}

// --- Shutdown ------------------------------------------------------------------------------------

bool CloseRequestAllowed(const ProgramState& s, UiPort& ui) {
    if (s.ProgramMode == kModeStarting) return true;
    // A close held while the system's end waited behind the same handler: the end follows, without
    // a question nobody is there to answer.
    if (s.EndAsked) return false;
    if (s.RunActive()) {
        // Refused, and said why.
        ui.ShowMessage(ui.Text(txt::StopBeforeQuit), kProgramTitle, MsgIcon::Exclamation, MsgButtons::Ok);
        return false;
    }
    return ui.ShowMessage(ui.Text(txt::ConfirmQuit), ui.Text(txt::QuitTitle), MsgIcon::Question, MsgButtons::YesNo,
                          /*defaultNo=*/true) == MsgAnswer::Yes;
}

}  // namespace kmr
