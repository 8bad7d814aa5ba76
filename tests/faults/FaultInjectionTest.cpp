// Whole measurements (start-up, a run and its transfer) against the simulated instrument, each
// with one fault: every command a clean measurement puts on the wire, in turn, gets an error
// reply, no reply, garbage or a short reply, or loses its connection (kmr-sim over the Prologix
// route, stopped just before the command); every write of a condition file, a .kmr file and a CSV
// file, in turn, fails as on a full disk. The scenarios come from the clean measurement's own
// wire log and write count. After each one: the promised message was shown, the instrument got
// its conditions back where the transfer promises it, no file passes for complete that is not,
// every condition file still loads, no file that was there before changed, and every sample the
// instrument recorded is either in the file or the loss was reported.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <system_error>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app/FileExchange.h"
#include "core/app/GraphCondForm.h"
#include "core/app/MeasCondForm.h"
#include "core/app/OutputCalForm.h"
#include "core/app/RunController.h"
#include "core/app/SetPathAndFileForm.h"
#include "core/app/Startup.h"
#include "core/conditions/GlobalSettings.h"
#include "core/conditions/MeasConditions.h"
#include "core/datafiles/Conversion.h"
#include "core/datafiles/DataFile.h"
#include "core/support/Numbers.h"
#include "core/support/TextTable.h"
#include "core/graphs/GraphConditions.h"
#include "link/InterfaceSpec.h"
#include "sim/PrologixServer.h"
#include "support/EngineHarness.h"
#include "support/FakeDrive.h"

namespace kmr {
namespace {

using testing::EngineHarness;
using testing::LoggingBus;
using testing::ReadAll;
using Files = std::map<std::string, std::string>;  // file name -> bytes

constexpr const char* kSimSpec = "sim:time=instant,pattern=ramp";
// The transfer gives the instrument its conditions back: channels 2 and 5, 1000 words, no
// pre-memory.
const std::vector<std::string> kRestore = {"RES", "SET2", "SET5", "MRY 1000", "MRY -0"};

enum class Fault { ErrorReply, NoReply, Garbage, ShortReply, Dropped, FailedWrite };

// Fails the n-th write (counted from 1) as a full disk does, and every later one to that file;
// counts the writes and remembers the file of the failed one.
class FailingDisk : public FileWritePort {
public:
    explicit FailingDisk(int failAt) : failAt_(failAt) {}
    int BeforeWrite(const std::string& path) override {
        ++writes;
        if (failAt_ > 0 && (writes == failAt_ || path == failedPath)) {
            failedPath = path;
            return ENOSPC;
        }
        return 0;
    }
    int writes = 0;
    std::string failedPath;

private:
    int failAt_;
};

// The message of a condition file that could not be saved on a full disk.
std::string CannotWrite(const std::string& path) {
    return "Cannot write the file \"" + path + "\": " + std::error_code(ENOSPC, std::generic_category()).message() + ".";
}

Files Snapshot(const std::string& folder) {
    Files out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        if (e.is_regular_file()) out[e.path().filename().string()] = ReadAll(e.path().string());
    return out;
}

// The wire ends with the restore commands (a command the instrument did not answer at first is
// sent again).
bool EndsWithRestore(std::vector<std::string> commands) {
    commands.erase(std::unique(commands.begin(), commands.end()), commands.end());
    return commands.size() >= kRestore.size() &&
           std::equal(kRestore.begin(), kRestore.end(), commands.end() - static_cast<long>(kRestore.size()));
}

// What a record holds apart from its trigger time: a .kmr file after its header, a CSV file after
// its first line.
std::string Samples(const std::string& record) {
    if (record.rfind("TRG TIME,", 0) == 0) return record.substr(std::min(record.find('\n'), record.size()));
    return record.substr(std::min<std::size_t>(kDataHeaderBytes, record.size()));
}

enum class FileKind { Kmr, Csv };

int g_scenarios = 0;  // printed by the last test
int g_runBoxes = 0;   // message boxes shown during the runs of the instrument faults, and their most
int g_mostRunBoxes = 0;

// One measurement with at most one fault.
struct Scenario {
    Fault fault = Fault::FailedWrite;
    int at = 0;        // the command (from 0) or the write (from 1); 0 = no fault
    FileKind kind = FileKind::Kmr;
    bool faultStartup = false;  // a failed write counts from start-up (condition files)
    bool saveElsewhere = false;  // a file that cannot be written is offered another folder, which is taken
    std::string Describe() const {
        static constexpr const char* kFaults[] = {"error reply", "no reply", "garbage", "short reply",
                                                  "dropped connection", "failed write"};
        return std::string(kFaults[static_cast<int>(fault)]) + " at " + std::to_string(at) +
               (kind == FileKind::Csv ? " (CSV)" : " (.kmr)") + (saveElsewhere ? ", saved elsewhere" : "");
    }
};

// Takes the offer of another folder: `folder`, once; remembers what it was told.
class SecondFolder : public SaveElsewherePort {
public:
    std::optional<std::string> OtherFolder(const std::string& problem, const std::string&) override {
        problems.push_back(problem);
        if (problems.size() > 1) return std::nullopt;
        return folder;
    }
    std::string folder;
    std::vector<std::string> problems;
};

// A CSV file of channels 2 and 5 whose every value is one the instrument recorded at that
// sample: "" when so, else what is wrong. With `whole`, every line must hold both values.
std::string CsvValuesRead(const std::string& bytes, bool whole) {
    const std::size_t head = bytes.find("NO.,CH.002,CH.005\r\n");
    if (head == std::string::npos) return "no header";
    std::size_t at = head + std::string("NO.,CH.002,CH.005\r\n").size();
    constexpr std::size_t kLine = 50;
    std::int32_t lines = 0;
    for (; at < bytes.size(); at += kLine, ++lines) {
        if (bytes.size() - at < kLine) return "a line cut short at sample " + std::to_string(lines);
        const std::string line = bytes.substr(at, kLine);
        if (line.substr(48) != "\r\n") return "a broken line at sample " + std::to_string(lines);
        for (int k = 0; k < 2; ++k) {
            const std::string cell = line.substr(16 + 16 * static_cast<std::size_t>(k), 16);  // "," and the value
            const std::string v = TrimCopy(cell.substr(cell[0] == ',' ? 1 : 0));
            const int channel = k == 0 ? 2 : 5;
            if (v.empty() && whole) return "an empty value at sample " + std::to_string(lines);
            if (!v.empty() && v != std::to_string(testing::RampWord(channel, lines)))
                return "channel " + std::to_string(channel) + " sample " + std::to_string(lines) + " holds " + v +
                       ", never read";
        }
    }
    if (whole && lines != 1000) return std::to_string(lines) + " lines";
    return {};
}

struct Outcome {
    std::vector<std::string> commands;
    std::size_t startupCommands = 0;
    int startupWrites = 0, writes = 0;
    Files data;  // the data folder afterwards
    std::string lastFile;  // the file the transfer wrote
};

class Measurement {
public:
    // `clean`: the outcome of the clean measurement, which a complete record must equal.
    explicit Measurement(const Scenario& sc, const Outcome* clean = nullptr)
        : sc_(sc), clean_(clean), disk_(sc.fault == Fault::FailedWrite ? sc.at : 0) {}

    Outcome Run() {
        Outcome o;
        PrepareConditionFiles();
        if (sc_.faultStartup) h_.state.Writes = &disk_;
        if (sc_.saveElsewhere) {
            elsewhere_.folder = h_.home.dir().File("second") + "/";
            std::filesystem::create_directories(elsewhere_.folder);
            h_.state.SaveElsewhere = &elsewhere_;
        }
        const StartupOutcome started = RunStartup(h_.engine, Options());
        LoggingBus* bus = h_.bus;
        if (started == StartupOutcome::Online) {
            for (int ch = 1; ch <= kChannels; ++ch) h_.state.Meas.Ch(ch).OnOff = ch == 2 || ch == 5 ? 1 : 0;
            h_.state.Meas.MemoryWords = 1000;
            h_.state.Meas.SmpClk = 1.0f;
            h_.state.Global.FileType = sc_.kind == FileKind::Csv ? 1 : 0;
            h_.engine.link.commands->DownloadConditions(kFullChangeMask);
        }
        o.startupCommands = bus ? bus->Commands().size() : 0;
        o.startupWrites = disk_.writes;
        CheckConditionFiles();
        if (started == StartupOutcome::Online && h_.state.Status == RunStatus::Ok) {
            // A file made by hand under the name the first record would take.
            const std::string ext = sc_.kind == FileKind::Csv ? ".csv" : ".kmr";
            testing::WriteAll(h_.DataFolder() + h_.state.Global.BaseFileName + ext, "made by hand");
            const Files before = Snapshot(h_.DataFolder());
            h_.state.Writes = &disk_;
            Record();
            o.data = Snapshot(h_.DataFolder());
            for (const auto& [path, bytes] : before)
                EXPECT_EQ(o.data[path], bytes) << path << " changed";
        } else {
            EXPECT_FALSE(h_.ui.shown.empty()) << "start-up failed without a word";
        }
        if (bus) o.commands = bus->Commands();
        o.writes = disk_.writes;
        o.lastFile = h_.state.LastDataFile;
        CheckPromises(o);
        return o;
    }

private:
    StartupOptions Options() {
        StartupOptions opts = h_.Options(kSimSpec);
        if (sc_.fault == Fault::Dropped) {
            // kmr-sim's adapter on loopback, stopped just before the chosen command.
            sim_ = std::make_unique<sim::SimBus>(*sim::ParseSimOptions(kSimSpec).options, h_.simTime);
            server_ = std::make_unique<PrologixServer>(*sim_, PrologixServerOptions{.port = 0});
            std::string error;
            EXPECT_TRUE(server_->Start(error)) << error;
            opts.interfaceOverride = "prologix:127.0.0.1:" + std::to_string(server_->Port());
        }
        opts.makeBus = [this](const std::string& spec, std::string& error) -> std::unique_ptr<GpibBus> {
            sim::SimInstrument* instrument = nullptr;
            std::unique_ptr<LoggingBus> b;
            if (server_) {
                b = std::make_unique<LoggingBus>(MakeGpibBus(spec, error));
            } else {
                auto sim = std::make_unique<sim::SimBus>(*sim::ParseSimOptions(spec).options, h_.simTime);
                instrument = &sim->Instrument();
                b = std::make_unique<LoggingBus>(std::move(sim));
            }
            b->beforeCommand = [this, instrument](int i, const std::string& command) {
                if (i != sc_.at || sc_.fault == Fault::FailedWrite) return;
                if (server_) return server_->Stop();
                static constexpr sim::FaultKind kKinds[] = {sim::FaultKind::ErrorReply, sim::FaultKind::NoReply,
                                                            sim::FaultKind::Garbage, sim::FaultKind::ShortReply};
                instrument->AddFault({command, kKinds[static_cast<int>(sc_.fault)], "ERR-012", 1});
            };
            h_.bus = b.get();
            return b;
        };
        return opts;
    }

    // Condition files from an earlier session that knew other channels: start-up writes the
    // installed channels, the measurement and the graph conditions again.
    void PrepareConditionFiles() {
        h_.state.CondFolder = h_.Options(kSimSpec).folders.CondFolder;
        const std::string folder = h_.state.CondPath("");
        std::filesystem::create_directories(PathFromUtf8(folder));
        ASSERT_TRUE(SaveInstalledChannels(folder + kHardCnd, "1111100000", nullptr));
        MeasConditions m;
        SetMeasDefaults(m);
        ASSERT_TRUE(SaveMeasConditions(folder + kMeasCnd, m, nullptr));
        GraphConditions g;
        SetGraphDefaults(g);
        ASSERT_TRUE(SaveGraphConditions(folder + kGraphCnd, g, nullptr));
        conditionsBefore_ = Snapshot(folder);
    }

    // Every condition file loads whole, and is either as it was or as start-up meant to write it.
    void CheckConditionFiles() {
        const Files now = Snapshot(h_.state.CondPath(""));
        for (const auto& [path, bytes] : now) {
            EXPECT_EQ(path.find(".new"), std::string::npos) << "left behind: " << path;
            EXPECT_FALSE(bytes.empty()) << path;
        }
        MeasConditions m;
        GraphConditions g;
        std::string hard;
        EXPECT_TRUE(LoadMeasConditions(h_.state.CondPath(kMeasCnd), m, nullptr).complete);
        EXPECT_TRUE(LoadGraphConditions(h_.state.CondPath(kGraphCnd), g, nullptr).complete);
        EXPECT_TRUE(LoadInstalledChannels(h_.state.CondPath(kHardCnd), hard, nullptr).complete);
        if (!disk_.failedPath.empty()) {
            const std::string name = PathFromUtf8(disk_.failedPath).filename().string();
            // A failed save changes nothing: the file is as it was, or still missing.
            const auto was = conditionsBefore_.find(name);
            if (was != conditionsBefore_.end()) {
                EXPECT_EQ(now.at(name), was->second) << "a failed save changed it";
            } else {
                EXPECT_EQ(now.count(name), 0u) << "a failed save left it";
            }
            EXPECT_TRUE(Shown(CannotWrite(disk_.failedPath), Where::Line)) << "no message for " << disk_.failedPath;
        }
    }

    // Start, poll until the run has ended (a run that cannot end is stopped), transfer.
    void Record() {
        const std::size_t before = h_.ui.shown.size();
        StartOrStop(h_.engine);
        for (int i = 0; i < 5 && h_.state.RunActive(); ++i) EocTimerTick(h_.engine);
        if (h_.state.RunActive()) StartOrStop(h_.engine);
        // A run whose instrument stops answering ends at its first failure: the run is over, the
        // buttons are back, one message says what failed and what was kept, and the program
        // can be closed.
        EXPECT_FALSE(h_.state.RunActive()) << "the run does not end";
        EXPECT_TRUE(h_.main.Enabled(MainButton::StartStop));
        EXPECT_TRUE(h_.main.Enabled(MainButton::Monitor));
        runBoxes_ = static_cast<int>(h_.ui.shown.size() - before);
        if (sc_.fault != Fault::FailedWrite) {
            g_runBoxes += runBoxes_;
            g_mostRunBoxes = std::max(g_mostRunBoxes, runBoxes_);
            EXPECT_LE(runBoxes_, 1) << "boxes shown: " << runBoxes_;
            for (std::size_t i = before; i < h_.ui.shown.size(); ++i)
                EXPECT_EQ(h_.ui.shown[i].text.rfind("Cannot Comunicate.", 0), std::string::npos)
                    << "a message per failed attempt: " << h_.ui.shown[i].text;
        }
        h_.ui.answers.push_back(MsgAnswer::Yes);
        EXPECT_TRUE(CloseRequestAllowed(h_.state, h_.ui)) << "the program cannot be closed";
    }

    // A message holds `part`: at its start, as one of its lines, or anywhere.
    enum class Where { Start, Line, Anywhere };
    bool Shown(const std::string& part, Where where = Where::Start) const {
        return std::any_of(h_.ui.shown.begin(), h_.ui.shown.end(), [&](const testing::ShownMessage& m) {
            if (where == Where::Start) return m.text.rfind(part, 0) == 0;
            const std::string text = where == Where::Line ? "\r\n" + m.text + "\r\n" : m.text;
            return text.find(where == Where::Line ? "\r\n" + part + "\r\n" : part) != std::string::npos;
        });
    }
    // What a message of a transfer that did not complete says the record kept: the file marked
    // cancelled or kept as incomplete with its whole channels, or no file at all.
    bool LossNamed() const {
        const std::string name = PathFromUtf8(h_.state.LastDataFile).filename().string();
        if (Shown(Text(Language::English, txt::NoDataFileWritten), Where::Anywhere)) return true;
        for (int id : {txt::MarkedCancelled, txt::KeepsCompleteChannels}) {
            const std::string text = TextWith(Language::English, id, {name, "\x01"});
            if (!name.empty() && Shown(text.substr(0, text.find('\x01')), Where::Anywhere)) return true;
        }
        return false;
    }

    void CheckPromises(const Outcome& o) {
        const bool faulted = sc_.at > 0 || sc_.fault != Fault::FailedWrite;
        if (!faulted) return;
        // The written file: complete and exactly the instrument's samples, or the loss reported.
        const std::string path = PathFromUtf8(h_.state.LastDataFile).filename().string();
        const bool shown = !h_.ui.shown.empty();
        if (sc_.fault == Fault::FailedWrite && !disk_.failedPath.empty()) {
            const bool conditionFile = PathFromUtf8(disk_.failedPath).extension() == ".cnd";
            const std::string message = conditionFile ? CannotWrite(disk_.failedPath)
                                                      : FileErrorMessage(Language::English, ENOSPC, disk_.failedPath);
            const bool offered = !elsewhere_.problems.empty() && elsewhere_.problems[0].rfind(message, 0) == 0;
            EXPECT_TRUE(Shown(message, conditionFile ? Where::Line : Where::Start) || offered)
                << "no message for the failed write of " << disk_.failedPath;
        }
        CheckCsvFiles(o);
        if (sc_.saveElsewhere) CheckSavedElsewhere();
        for (const auto& [p, bytes] : o.data) {
            if (p.size() < 4 || p.substr(p.size() - 4) != ".kmr" || bytes.size() < 24) continue;
            if (bytes.substr(4, 20) != kCompleteSignature) continue;
            // Marked complete: then it must be, with every sample of both channels (little-endian words).
            EXPECT_TRUE(h_.state.LastTransferComplete) << p;
            ASSERT_EQ(bytes.size(), 5102u) << p;
            for (int k = 0; k < 2; ++k) {
                std::vector<std::int16_t> words;
                for (std::size_t at = 1100 + 2000 * static_cast<std::size_t>(k); words.size() < 1000; at += 2)
                    words.push_back(static_cast<std::int16_t>(static_cast<unsigned char>(bytes[at]) |
                                                              static_cast<unsigned char>(bytes[at + 1]) << 8));
                EXPECT_EQ(words, testing::RampWords(k == 0 ? 2 : 5, 1000)) << p << " block " << k;
            }
        }
        if (!h_.state.LastTransferComplete && h_.state.WordsConverted > 0) {
            EXPECT_TRUE(shown) << "samples lost without a word: " << path;
            const bool writeFailed = sc_.fault == Fault::FailedWrite && !disk_.failedPath.empty();
            EXPECT_TRUE(LossNamed() || writeFailed) << "the loss of samples is not named: " << path;
        }
        // A record that passes for complete holds every sample, byte for byte as without faults
        // (one saved in another folder is checked by CheckSavedElsewhere).
        const bool inDataFolder = h_.state.LastDataFile.rfind(h_.DataFolder(), 0) == 0;
        if (h_.state.LastTransferComplete && clean_ && inDataFolder) {
            ASSERT_TRUE(o.data.count(path) && clean_->data.count(path)) << path;
            EXPECT_TRUE(Samples(o.data.at(path)) == Samples(clean_->data.at(path))) << path << " lost samples";
        }
        // The transfer gives the instrument its conditions back unless the link itself failed.
        if (h_.state.Status != RunStatus::CommFailed && !h_.state.Meas.TriggerTime.empty()) {
            EXPECT_TRUE(EndsWithRestore(o.commands));
        }
    }

    // No CSV file under a final name is partial or holds a value that was not read; what a
    // stopped transfer kept under its "_incomplete" name holds only values that were read; no
    // temporary file is left.
    void CheckCsvFiles(const Outcome& o) {
        for (const auto& [name, bytes] : o.data) {
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << "left behind: " << name;
            if (name.size() < 4 || name.substr(name.size() - 4) != ".csv" || bytes == "made by hand") continue;
            const bool incomplete = name.find("_incomplete") != std::string::npos;
            const std::string wrong = CsvValuesRead(bytes, !incomplete);
            EXPECT_TRUE(wrong.empty()) << name << ": " << wrong;
        }
    }

    // A write that failed was offered another folder once, and the recording, read again from the
    // instrument, is whole there.
    void CheckSavedElsewhere() {
        if (disk_.failedPath.empty()) return;  // nothing failed
        ASSERT_EQ(elsewhere_.problems.size(), 1u) << "offers made";
        EXPECT_TRUE(h_.state.LastTransferComplete);
        ASSERT_EQ(h_.state.LastDataFile.rfind(elsewhere_.folder, 0), 0u) << h_.state.LastDataFile;
        const Files second = Snapshot(elsewhere_.folder);
        const std::string name = PathFromUtf8(h_.state.LastDataFile).filename().string();
        ASSERT_EQ(second.count(name), 1u) << name;
        ASSERT_TRUE(clean_ != nullptr);
        const std::string cleanName = PathFromUtf8(clean_->lastFile).filename().string();
        ASSERT_EQ(clean_->data.count(cleanName), 1u);
        EXPECT_TRUE(Samples(second.at(name)) == Samples(clean_->data.at(cleanName))) << name << " lost samples";
        EXPECT_EQ(second.size(), 1u) << "more in the second folder";
    }

    Scenario sc_;
    const Outcome* clean_;
    EngineHarness h_;
    FailingDisk disk_;
    Files conditionsBefore_;
    int runBoxes_ = 0;
    std::unique_ptr<sim::SimBus> sim_;
    std::unique_ptr<PrologixServer> server_;
    SecondFolder elsewhere_;
};

// The clean measurement of each file kind: its wire and its writes.
const Outcome& Clean(FileKind kind) {
    static const std::map<FileKind, Outcome> clean = [] {
        std::map<FileKind, Outcome> m;
        for (FileKind k : {FileKind::Kmr, FileKind::Csv}) {
            Scenario sc;
            sc.kind = k;
            sc.faultStartup = true;
            m[k] = Measurement(sc).Run();
        }
        return m;
    }();
    return clean.at(kind);
}


// The CSV file the conversion makes of a .kmr record (`bytes`, named `name`).
std::string ConvertedCsv(const std::string& name, const std::string& bytes) {
    struct NoList : ConversionView {
        void UncheckDataFile(std::size_t) override {}
    } list;
    testing::TempDir dir;
    testing::WriteAll(dir.File(name), bytes);
    testing::FakeUi ui{MsgAnswer::Cancel};
    testing::FakeProgress progress;
    testing::FakeDrive drive;
    ConversionPorts ports{ui, progress, list, drive};
    RunStatus status = RunStatus::Ok;
    const std::string csvName = name.substr(0, name.size() - 4) + ".csv";
    const std::vector<ConversionItem> items{{dir.File(name), dir.folder(), csvName, 1.0}};
    EXPECT_TRUE(ConvertItems(items, false, ports, status).AllConverted());
    return ReadAll(dir.File(csvName));
}

// Both clean records are whole, and the CSV record is byte for byte the conversion of the .kmr
// record: the transfer's CSV writer and the conversion agree.
TEST(FaultInjection, ACleanMeasurementWritesBothFilesWhole) {
    for (FileKind k : {FileKind::Kmr, FileKind::Csv}) {
        const Outcome& o = Clean(k);
        ASSERT_GT(o.startupCommands, 10u);
        ASSERT_GT(o.writes, o.startupWrites + 1);
        EXPECT_TRUE(EndsWithRestore(o.commands));
    }
    const Outcome& kmr = Clean(FileKind::Kmr);
    const Outcome& csv = Clean(FileKind::Csv);
    const std::string kmrName = PathFromUtf8(kmr.lastFile).filename().string();
    const std::string csvName = PathFromUtf8(csv.lastFile).filename().string();
    ASSERT_EQ(kmr.data.count(kmrName), 1u) << kmrName;
    ASSERT_EQ(csv.data.count(csvName), 1u) << csvName;
    EXPECT_EQ(CsvValuesRead(csv.data.at(csvName), true), "");
    EXPECT_TRUE(csv.data.at(csvName) == ConvertedCsv(kmrName, kmr.data.at(kmrName)));
}

// Every command of the clean wire of `kind` from `first` on, each way the instrument or the route
// can fail it.
void EveryCommandEveryWay(FileKind kind, bool afterStartup) {
    const Outcome& clean = Clean(kind);
    const int first = afterStartup ? static_cast<int>(clean.startupCommands) : 0;
    for (Fault f : {Fault::ErrorReply, Fault::NoReply, Fault::Garbage, Fault::ShortReply, Fault::Dropped})
        for (int i = first; i < static_cast<int>(clean.commands.size()); ++i) {
            Scenario sc{f, i, kind, false};
            SCOPED_TRACE(sc.Describe() + ": " + clean.commands[static_cast<std::size_t>(i)]);
            Measurement(sc, &clean).Run();
            ++g_scenarios;
            if (::testing::Test::HasFatalFailure()) return;
        }
}

TEST(FaultInjection, EveryCommandEveryWay) { EveryCommandEveryWay(FileKind::Kmr, false); }

// The same for a CSV record (after start-up): no CSV file under its own name is partial or holds a
// value that was not read.
TEST(FaultInjection, EveryCommandOfACsvRecordEveryWay) { EveryCommandEveryWay(FileKind::Csv, true); }

// Every write of the condition files at start-up, and of the .kmr and CSV files of the record,
// fails in turn, until the measurement gets through; or, with the offer of another folder taken,
// every write of the record fails in turn and the complete file ends in the second folder.
void EveryWriteFailsInTurn(bool saveElsewhere) {
    for (FileKind k : {FileKind::Kmr, FileKind::Csv}) {
        const Outcome& clean = Clean(k);
        const int last = saveElsewhere ? clean.writes - clean.startupWrites : clean.writes + 1;
        ASSERT_GT(last, 0);
        for (int n = 1; n <= last; ++n) {
            Scenario sc{Fault::FailedWrite, n, k, !saveElsewhere, saveElsewhere};
            SCOPED_TRACE(sc.Describe());
            const Outcome o = Measurement(sc, &clean).Run();
            ++g_scenarios;
            if (::testing::Test::HasFatalFailure()) return;
            if (n > clean.writes) { EXPECT_EQ(o.data.size(), clean.data.size()); }  // it got through
        }
    }
}

TEST(FaultInjection, EveryWriteFailsInTurn) { EveryWriteFailsInTurn(false); }
TEST(FaultInjection, EveryWriteFailsInTurnAndTheRecordIsSavedElsewhere) { EveryWriteFailsInTurn(true); }

// Each settings form's save, its write failing as on a full disk: the file keeps what it held
// and still loads whole, and the one message names the file and the reason.
struct FormSave {
    const char* form;
    const char* file;
    std::function<void(EngineHarness&)> apply;
};

TEST(FaultInjection, EverySettingsFormSaveFailsAndNamesItsFile) {
    const FormSave saves[] = {
        {"measurement conditions", kMeasCnd,
         [](EngineHarness& h) {
             MeasCondForm f(h.state.Meas, h.state.Instrument.InstrumentModel, h.state.Instrument.MemorySizeCode,
                            h.state.Global.FileType);
             ASSERT_TRUE(f.Commit({MeasField::Clock, 0}, "25"));
             EXPECT_EQ(MeasCondOk(h.engine, f, {}), FormOutcome::Applied);
         }},
        {"graph conditions", kGraphCnd,
         [](EngineHarness& h) {
             GraphCondForm f(h.state.Graph, h.state.Meas);
             ASSERT_TRUE(f.Commit({GraphField::Xpich, 0}, "2"));
             EXPECT_EQ(GraphCondOk(h.engine, f, Language::English, {}), FormOutcome::Applied);
         }},
        {"data-file settings", kGlobalCnd,
         [](EngineHarness& h) {
             SetPathAndFileForm f(h.state.Global, h.state.DataFileNumber, h.state.Meas.MemoryWords);
             ASSERT_TRUE(f.CommitName("T"));
             EXPECT_EQ(SetPathAndFileOk(h.engine, f, Language::English, {}), FormOutcome::Applied);
         }},
        {"file exchange", kGlobalCnd, [](EngineHarness& h) { FileExchangeForm(h.state.Global).Close(h.engine); }},
        {"output calibration", kOutputCalCnd,
         [](EngineHarness& h) {
             OutputCalForm f(h.engine);
             f.Calibration().SetUse(1, true);
             f.Close();
         }},
    };
    for (const FormSave& save : saves) {
        SCOPED_TRACE(save.form);
        EngineHarness h;
        ASSERT_EQ(h.Start(kSimSpec), StartupOutcome::Online);
        const std::string path = h.CondFile(save.file);
        const std::string before = ReadAll(path);
        ASSERT_FALSE(before.empty());
        FailingDisk disk(1);
        h.state.Writes = &disk;
        h.ui.shown.clear();
        save.apply(h);
        ++g_scenarios;
        EXPECT_EQ(disk.failedPath, path);
        EXPECT_EQ(ReadAll(path), before) << "a failed save changed it";
        for (const auto& entry : std::filesystem::directory_iterator(PathFromUtf8(path).parent_path()))
            EXPECT_EQ(entry.path().filename().string().find(".new"), std::string::npos) << "left behind";
        ASSERT_FALSE(h.ui.shown.empty()) << "no message";
        EXPECT_EQ(h.ui.shown.back().text, CannotWrite(path));
    }
}

// Printed last: every scenario of the suite.
TEST(FaultInjection, ZzCount) {
    std::printf("fault-injection scenarios run: %d\n", g_scenarios);
    std::printf("message boxes during the runs of instrument faults: %d in all, at most %d in one run\n",
                g_runBoxes, g_mostRunBoxes);
    EXPECT_GT(g_scenarios, 100);
}

}  // namespace
}  // namespace kmr
