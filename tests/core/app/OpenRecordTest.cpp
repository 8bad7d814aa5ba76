// Opening a stored record in the main window: every kind of file opened or refused with its
// message, the record drawn as after a transfer, cancel of the largest file, the conditions' texts
// and the export of the range shown.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "core/app/MeasCondForm.h"
#include "core/app/Monitor.h"
#include "core/app/OpenRecord.h"
#include "core/app/RunController.h"
#include "core/app/SetPathAndFileForm.h"
#include "core/app/Startup.h"
#include "core/datafiles/DataFilesTestSupport.h"
#include "core/datafiles/Subset.h"
#include "core/graphs/ChartModel.h"
#include "support/EngineHarness.h"
#include "support/FakeDrive.h"

namespace kmr {
namespace {

using testing::ConditionsWith;
using testing::EngineHarness;
using testing::ReadAll;
using testing::WriteKmr;

std::vector<std::int16_t> Wave(int channel, std::int32_t n) {
    std::vector<std::int16_t> v;
    for (std::int32_t i = 0; i < n; ++i) v.push_back(static_cast<std::int16_t>((i * 13 + channel * 1000) % 30000 - 15000));
    return v;
}

class OpenRecordTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(h.Start(), StartupOutcome::Online); }

    // A complete file of channels 2, 5 and 7 (n samples; channel 5 scaled by 0.5 and +10).
    std::string Written(const std::string& name, std::int32_t n = 1000) {
        MeasConditions m = ConditionsWith({2, 5, 7}, n);
        m.SmpClk = 1.0f;
        m.TrgMode = 1;
        m.PreMemoryWords = 100;
        m.Ch(5) = {.Coeff = 0.5f, .Point = 2, .Unit = 3, .Offset = 10.0f};
        const std::string path = h.DataFolder() + name;
        EXPECT_TRUE(WriteKmr(path, m, n, {Wave(2, n), Wave(5, n), Wave(7, n)}));
        return path;
    }
    static void Resize(const std::string& path, std::uintmax_t size) { std::filesystem::resize_file(path, size); }
    static void Poke(const std::string& path, std::size_t at, const std::string& bytes) {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(at));
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    EngineHarness h;
};

// Nothing while a form is in front (refused during a run: RecordWindowTest); then opened, stopping
// the monitor.
TEST_F(OpenRecordTest, ACompleteFileIsDrawnAsAfterATransferAndNamedInTheCaptionUnlessAFormIsActive) {
    const std::string path = Written("rec.kmr");
    ASSERT_TRUE(h.engine.forms.Open(FormId::GraphCond));
    EXPECT_EQ(OpenStoredRecord(h.engine, path), OpenOutcome::FormOpen);
    EXPECT_TRUE(h.ui.shown.empty());
    h.engine.forms.Closed();
    h.state.MonitoringOn = kTrue;
    h.main.moniTimer = true;
    h.main.status = "Incomplete data file: an earlier run's";
    ASSERT_EQ(OpenStoredRecord(h.engine, path), OpenOutcome::Opened);
    EXPECT_TRUE(h.ui.shown.empty());
    EXPECT_EQ(h.progress.shows, 0);  // read at once (the clock stands still): no progress window
    EXPECT_EQ(h.main.status, "Data file: " + path);
    EXPECT_EQ(h.state.MonitoringOn, kFalse);
    EXPECT_FALSE(h.main.moniTimer);
    EXPECT_EQ(h.main.caption, "KMR-5300 - rec.kmr");
    ASSERT_TRUE(h.state.OpenedRecord);
    // Channel 5's engineering values from the file's own coefficient and offset, not the live ones.
    ASSERT_TRUE(h.engine.chart.ShowsRecord(4));
    EXPECT_DOUBLE_EQ(h.engine.chart.Y(4, 2, 7), Wave(5, 1000)[7] * 0.5 + 10.0);
    EXPECT_EQ(h.engine.chart.RecordPoint(4), 2);
    EXPECT_DOUBLE_EQ(h.engine.chart.X(4, 2, 999), 0.999);
    // A channel the file does not hold is a cleared graph; the data trigger marks the charts.
    EXPECT_FALSE(h.engine.chart.ShowsRecord(0));
    EXPECT_TRUE(h.engine.chart.Mark(1).on);
    EXPECT_DOUBLE_EQ(h.engine.chart.Mark(1).x, 0.1);
    EXPECT_NE(h.engine.chart.Labels(4).Max, "----");
    // The record's unit beside it, until the monitor shows the conditions set now again.
    ASSERT_NE(h.state.Meas.Ch(5).Unit, 3);
    EXPECT_EQ(h.engine.chart.Labels(4).Unit, h.state.Vocab.units.at(3));
    EXPECT_TRUE(h.engine.chart.Labels(6).ChannelNumberEnabled);
    EXPECT_EQ(h.state.Graph.Ch[0].Use, 0);  // the record shows its own channels
    EXPECT_EQ(h.state.Graph.Ch[6].Use, 1);
    // Exported charts carry the record's name, the channels shown and the time range shown. (In
    // recorded mode and named by its file: TheShownRangeExport... below.)
    for (int ch = 1; ch <= kChannels; ++ch) h.state.Graph.Ch[static_cast<std::size_t>(ch - 1)].Use = ch == 2 || ch == 5;
    EXPECT_EQ(ExportedChartsCaption(Language::English, h.state, "window", AxisRange{0.125, 0.9994}),
              "KMR-5300 - rec.kmr  Ch. 2, 5  0.125 s to 0.999 s");
    h.state.OpenedRecord->conditions.SmpClk = 0.05f;  // a zoom to a few samples of 0.05 ms
    EXPECT_EQ(ExportedChartsCaption(Language::English, h.state, "window", AxisRange{0.00105, 0.00125}),
              "KMR-5300 - rec.kmr  Ch. 2, 5  0.00105 s to 0.00125 s");
    h.state.OpenedRecord->conditions.SmpClk = 1.0f;
    EXPECT_EQ(ExportedChartsCaption(Language::Japanese, h.state, "window", std::nullopt), "KMR-5300 - rec.kmr  CH 2, 5");
    // Each chart of the picture says its channel and unit.
    EXPECT_EQ(ExportedChartLabel(h.engine.chart, 4), "Ch. 5  " + h.engine.chart.Labels(4).Unit);
    // The graph condition form redraws it from the file's conditions and length.
    EXPECT_EQ(h.state.RecordWords(), 1000);
    EXPECT_EQ(h.state.RecordMeas().Ch(5).Coeff, 0.5f);
    // Closing the data-file settings leaves the caption naming the record shown.
    SetPathAndFileClosed(h.engine);
    EXPECT_EQ(h.main.caption, "KMR-5300 - rec.kmr");
    // So does a start that the instrument refuses: the record stays on the charts.
    h.simBus->Instrument().AddFault({"TRG", sim::FaultKind::NoReply, {}, 3});
    StartOrStop(h.engine);
    EXPECT_FALSE(h.state.RunActive());
    ASSERT_TRUE(h.state.OpenedRecord);
    EXPECT_EQ(h.main.caption, "KMR-5300 - rec.kmr");
    h.ui.shown.clear();
    // The monitor puts it aside: the status strip no longer names it. A new run forgets it, and
    // the graphs chosen before come back.
    ToggleMonitor(h.engine);
    EXPECT_EQ(h.main.status, "");
    EXPECT_FALSE(h.state.OpenedRecord);
    ToggleMonitor(h.engine);
    // New conditions put it aside too: the caption names the next data file again.
    ASSERT_EQ(OpenStoredRecord(h.engine, path), OpenOutcome::Opened);
    MeasCondForm form(h.state.Meas, h.state.Instrument.InstrumentModel, h.state.Instrument.MemorySizeCode,
                      h.state.Global.FileType);
    ASSERT_TRUE(form.Commit({MeasField::Clock, 0}, "25"));
    ASSERT_EQ(MeasCondOk(h.engine, form, [] {}), FormOutcome::Applied);
    EXPECT_FALSE(h.state.OpenedRecord);
    EXPECT_NE(h.main.caption.find("(Next data file)"), std::string::npos) << h.main.caption;
    // Option > Connect starts the charts afresh as start-up does: the record goes with them, so
    // that neither the status strip nor the graphs chosen stay the record's.
    ASSERT_EQ(OpenStoredRecord(h.engine, path), OpenOutcome::Opened);
    ASSERT_TRUE(ConnectAgain(h.engine));
    EXPECT_FALSE(h.state.OpenedRecord);
    EXPECT_EQ(h.main.status, "");
    EXPECT_EQ(h.state.Graph.Ch[6].Use, 0);
    EXPECT_EQ(h.engine.chart.GraphMode(), kMonitorMode);
    ASSERT_EQ(OpenStoredRecord(h.engine, path), OpenOutcome::Opened);
    StartOrStop(h.engine);
    EXPECT_FALSE(h.state.OpenedRecord);
    EXPECT_EQ(h.state.Graph.Ch[0].Use, 1);
    EXPECT_EQ(h.state.Graph.Ch[6].Use, 0);
    EXPECT_EQ(h.engine.chart.Labels(4).Unit, h.state.Vocab.units.at(static_cast<std::size_t>(h.state.Meas.Ch(5).Unit)));
}

// A manual-trigger record shows no mark, whatever the record shown before had.
TEST_F(OpenRecordTest, AManualTriggerRecordTakesTheMarkOfTheOneBeforeAway) {
    ASSERT_EQ(OpenStoredRecord(h.engine, Written("data.kmr")), OpenOutcome::Opened);
    ASSERT_TRUE(h.engine.chart.Mark(1).on);
    const std::string manual = h.DataFolder() + "manual.kmr";
    ASSERT_TRUE(WriteKmr(manual, ConditionsWith({2}, 10), 10, {Wave(2, 10)}));
    ASSERT_EQ(OpenStoredRecord(h.engine, manual), OpenOutcome::Opened);
    for (int c = 0; c < kCharts; ++c) EXPECT_FALSE(h.engine.chart.Mark(c).on) << c;
}

// Every kind of file that is not simply whole: opened with its note, or refused with what is
// wrong and nothing drawn (the reader's refusals of short and damaged headers: DataFileTest).
TEST_F(OpenRecordTest, FilesThatAreNotWholeAreOpenedWithANoteOrRefused) {
    struct Case {
        const char* name;
        std::function<void(const std::string&)> spoil;
        OpenOutcome outcome;
        std::vector<std::string> said;  // pieces of the one message shown
    };
    // Marked cancelled and cut to `size` bytes.
    const auto cancelled = [](std::uintmax_t size) {
        return [size](const std::string& p) {
            Poke(p, 4, "KMR_FILE CANCEL     ");
            Resize(p, size);
        };
    };
    const std::vector<Case> cases = {
        {"longer.kmr", [](const std::string& p) { Resize(p, std::filesystem::file_size(p) + 4); },
         OpenOutcome::Opened, {"Caution", "header implies"}},
        // Channels 2 and 5 whole, 7 cut.
        {"cancelled.kmr", cancelled(1100 + 2 * 1000 * 2 + 10), OpenOutcome::Opened,
         {"Caution", "complete channels 2, 5", "Not whole in the file: 7"}},
        // Marked cancelled after its last channel came: nothing is said to be missing.
        {"all-whole.kmr", [](const std::string& p) { Poke(p, 4, "KMR_FILE CANCEL     "); }, OpenOutcome::Opened,
         {"Caution", "every channel in it is whole: 2, 5, 7."}},
        {"picture.kmr", [](const std::string& p) { Poke(p, 0, "\x89PNG\r\n\x1a\n"); }, OpenOutcome::Refused,
         {"not KMR-5300's condition file", "signature of a data file"}},
        // A data file that cannot be read is not said to be a file of another kind.
        {"nothing-whole.kmr", cancelled(1500), OpenOutcome::Refused,
         {"This data file cannot be read.", "no channel of this file is whole"}},
        {"cut.kmr", [](const std::string& p) { Resize(p, 1000); }, OpenOutcome::Refused,
         {"This data file cannot be read.", "shorter than the 1100-byte header"}},
        {"gone.kmr", [](const std::string& p) { std::filesystem::remove(p); }, OpenOutcome::Refused,
         {"gone.kmr does not exist: it may have been moved"}},
        {"folder.kmr",
         [](const std::string& p) {
             std::filesystem::remove(p);
             std::filesystem::create_directory(p);
         },
         OpenOutcome::Refused, {"folder.kmr is a folder, not a data file."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Written(c.name);
        c.spoil(path);
        h.state.OpenedRecord.reset();
        h.engine.chart.ClearAllSeries();
        h.main.caption = "before";
        h.ui.shown.clear();
        EXPECT_EQ(OpenStoredRecord(h.engine, path), c.outcome);
        ASSERT_EQ(h.ui.shown.size(), 1u);
        for (const auto& piece : c.said)
            EXPECT_NE((h.ui.shown[0].title + h.ui.shown[0].text).find(piece), std::string::npos) << piece;
        const bool opened = c.outcome == OpenOutcome::Opened;
        EXPECT_EQ(h.state.OpenedRecord.has_value(), opened);
        EXPECT_EQ(h.main.caption, opened ? "KMR-5300 - " + std::string(c.name) : "before");
        EXPECT_EQ(h.engine.chart.ShowsRecord(4), opened);
        EXPECT_TRUE(h.main.windowEnabled);
    }
    // The cancelled file shows its whole channels only.
    OpenStoredRecord(h.engine, h.DataFolder() + "cancelled.kmr");
    EXPECT_TRUE(h.engine.chart.ShowsRecord(1));
    EXPECT_FALSE(h.engine.chart.ShowsRecord(6));
    EXPECT_EQ(h.state.OpenedRecord->wholeChannels, (std::vector<int>{2, 5}));
    // The panel describes the header read at opening, its note included, even once the file is gone.
    std::filesystem::remove(h.DataFolder() + "cancelled.kmr");
    const StoredRecordText t = OpenedRecordText(h.engine);
    EXPECT_EQ(t.channelRows.size(), 2u);
    ASSERT_FALSE(t.notes.empty());
    EXPECT_NE(t.notes[0].find("Not whole in the file: 7"), std::string::npos);
}

TEST_F(OpenRecordTest, TheLargestFileOpensUnderTheProgressWindowAndACancelChangesNothing) {
    constexpr std::int32_t n = kLargestMemoryWords;
    std::vector<std::vector<std::int16_t>> samples;
    for (int ch = 1; ch <= 10; ++ch) samples.push_back(Wave(ch, n));
    const std::string path = h.DataFolder() + "largest.kmr";
    ASSERT_TRUE(WriteKmr(path, ConditionsWith({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, n), n, samples));

    // A slow reading shows the window once it has lasted the delay. Read by this thread alone,
    // so that the looks at the window come after each chunk, however busy the machine.
    ShareLongReads(false);
    h.clock.advance = kOpenProgressDelayMs / 2;
    h.progress.cancelAt = 5;
    EXPECT_EQ(OpenStoredRecord(h.engine, path), OpenOutcome::Cancelled);
    ShareLongReads(true);
    EXPECT_EQ(h.progress.shows, 1);
    EXPECT_EQ(h.progress.label1, "Opening data file...");
    EXPECT_EQ(h.progress.closes, h.progress.shows);
    EXPECT_FALSE(h.state.OpenedRecord);
    EXPECT_FALSE(h.engine.chart.ShowsRecord(0));
    EXPECT_TRUE(h.state.RecentFiles.empty());

    h.progress = testing::FakeProgress{};
    ASSERT_EQ(OpenStoredRecord(h.engine, path), OpenOutcome::Opened);
    EXPECT_EQ(h.progress.percents.back(), 100);
    EXPECT_EQ(h.engine.chart.RecordSummary(9).size(), static_cast<std::size_t>(n));
    EXPECT_DOUBLE_EQ(h.engine.chart.Y(9, 2, n - 1), samples[9][n - 1]);
}

// A record handed over by a later start waits while the window is not shown, a form is open or a
// handler runs; then it is taken, once.
TEST_F(OpenRecordTest, AHandedOverRecordWaitsUntilTheWindowCanTakeIt) {
    h.state.WaitingRecord = "x.kmr";
    EXPECT_FALSE(TakeWaitingRecord(h.engine, false));
    ASSERT_TRUE(h.engine.forms.Open(FormId::GraphCond));
    EXPECT_FALSE(TakeWaitingRecord(h.engine, true));
    h.engine.forms.Closed();
    h.engine.gate.Input([this] { EXPECT_FALSE(TakeWaitingRecord(h.engine, true)); });
    EXPECT_EQ(TakeWaitingRecord(h.engine, true), "x.kmr");
    EXPECT_FALSE(TakeWaitingRecord(h.engine, true));
}

// A recent file deleted leaves the list; one whose folder is not there (a disk unplugged) stays
// and the refusal says to connect the disk; once it is back the file opens.
TEST_F(OpenRecordTest, ARecentFileOnADiskNotConnectedStaysInTheList) {
    const std::string disk = h.DataFolder() + "usb";
    std::filesystem::create_directory(disk);
    const std::string onDisk = disk + "/run.kmr";
    std::filesystem::rename(Written("run.kmr"), onDisk);
    const std::string deleted = Written("deleted.kmr");
    ASSERT_EQ(OpenStoredRecord(h.engine, deleted), OpenOutcome::Opened);
    ASSERT_EQ(OpenStoredRecord(h.engine, onDisk), OpenOutcome::Opened);
    std::filesystem::remove(deleted);
    std::filesystem::rename(disk, disk + "-unplugged");

    h.ui.shown.clear();
    EXPECT_EQ(OpenStoredRecord(h.engine, onDisk), OpenOutcome::Refused);
    ASSERT_EQ(h.ui.shown.size(), 1u);
    EXPECT_EQ(h.ui.shown[0].text, "The folder " + disk + " of the file " + onDisk +
                                      " cannot be reached: connect the disk or network drive it is on and open the "
                                      "file again.");
    EXPECT_EQ(OpenStoredRecord(h.engine, deleted), OpenOutcome::Refused);
    EXPECT_NE(h.ui.shown.back().text.find("does not exist"), std::string::npos);
    EXPECT_EQ(h.state.RecentFiles, (std::vector<std::string>{onDisk}));
    // The open window starts in the data folder while the latest file's folder is away.
    EXPECT_EQ(OpenWindowFolder(h.state), h.state.Global.DataFolder);

    std::filesystem::rename(disk + "-unplugged", disk);
    EXPECT_EQ(OpenStoredRecord(h.engine, onDisk), OpenOutcome::Opened);
    EXPECT_EQ(OpenWindowFolder(h.state), disk);
}

TEST(RecentFiles, TheLatestComeFirstWithoutRepeatsAndAtMostEight) {
    std::vector<std::string> list;
    for (int i = 0; i < 10; ++i) list = WithRecentFile(list, "f" + std::to_string(i));
    list = WithRecentFile(list, "f5");
    EXPECT_EQ(list, (std::vector<std::string>{"f5", "f9", "f8", "f7", "f6", "f4", "f3", "f2"}));
}

// The menu takes "&" for the key that follows it and a tab for a key name's column. Files of one
// name in different folders show their folders, so that they can be told apart.
TEST(RecentFiles, TheMenuShowsTheNameAsItIs) {
    const std::vector<std::string> list{"/lab/R&D/R&D 5&&6.kmr", "/R&D/rec0001.kmr", "/rec0001.kmr",
                                        "/lab/x/REC0001.kmr", "/lab/a\tb\nc.kmr"};
    EXPECT_EQ(RecentFileMenuText(0, list), "&1 R&&D 5&&&&6.kmr");
    EXPECT_EQ(RecentFileMenuText(4, list), "&5 a b c.kmr");
    EXPECT_EQ(RecentFileMenuText(1, list), "&2 rec0001.kmr  (/R&&D)");
    EXPECT_EQ(RecentFileMenuText(2, list), "&3 rec0001.kmr  (/)");
    EXPECT_EQ(RecentFileMenuText(3, list), "&4 REC0001.kmr  (/lab/x)");
    // A deep folder or a long name is cut in the middle (whole characters, 60 at most), so that
    // the menu stays within the screen and keeps the folder the file is in.
    std::string deep = "/data";
    for (int i = 0; i < 12; ++i) deep += "/long_folder_name_" + std::to_string(10 + i);
    const std::string longName = "\xE6\xB8\xAC\xE5\xAE\x9A" + std::string(70, 'x') + ".kmr";  // 2 kanji first
    const std::vector<std::string> deepList{deep + "/rec.kmr", "/lab/rec.kmr", "/lab/" + longName};
    EXPECT_EQ(RecentFileMenuText(0, deepList),
              "&1 rec.kmr  (/data/long_folder_name_10/long\xE2\x80\xA6r_name_20/long_folder_name_21)");
    EXPECT_EQ(RecentFileMenuText(2, deepList), "&3 \xE6\xB8\xAC\xE5\xAE\x9A" + std::string(28, 'x') +
                                                   "\xE2\x80\xA6" + std::string(25, 'x') + ".kmr");
#ifndef _WIN32
    EXPECT_EQ(StoredRecordCaption("/lab/x\\y.kmr"), "KMR-5300 - x\\y.kmr");
#else
    EXPECT_EQ(StoredRecordCaption("C:\\lab\\y.kmr"), "KMR-5300 - y.kmr");
#endif
}

// The conditions beside the charts, for a record only a KMR-510C can have made and one either
// model can, in both languages.
TEST(StoredRecordText, ConditionsOfBothModelsInBothLanguages) {
    testing::TempDir dir;
    MeasConditions m = ConditionsWith({1, 3}, 2000);
    m.SmpClk = 0.5f;
    m.TrgMode = 1;
    m.PreMemoryWords = 200;
    m.Averaging = 4;
    // Input mode 3, STRAIN(5.0V), is a KMR-510C's only.
    m.Ch(1) = {.InputMode = 3, .Lpf = 2, .Coeff = 1.5f, .Unit = 0, .Offset = -2.25f};
    m.Ch(3) = {.InputMode = 0, .DtgOnOff = 1, .DtgLevel = 120.5f};
    const std::string wide = dir.File("wide.kmr");
    ASSERT_TRUE(WriteKmr(wide, m, 1500, {Wave(1, 1500), Wave(3, 1500)}));
    m.Ch(1).InputMode = 2;
    const std::string plain = dir.File("plain.kmr");
    ASSERT_TRUE(WriteKmr(plain, m, 1500, {Wave(1, 1500), Wave(3, 1500)}));

    auto value = [](const StoredRecordText& t, const std::string& label) {
        for (const auto& l : t.lines)
            if (l.label == label) return l.value;
        return std::string("?");
    };
    const StoredRecordCheck c510 = CheckStoredRecord(wide, Language::English);
    const StoredRecordText en = DescribeStoredRecord(wide, c510, Language::English, kModelKmr530A);
    EXPECT_EQ(en.title, "wide.kmr");
    const std::pair<std::string, std::string> lines[] = {
        {"File", wide},         {"Trigger Time", "2002/02/05 00:00:00"}, {"Trigger Mode", "Data Trigger"},
        {"Sampling Clock", "0.5 ms"}, {"Memory Word", "2000"},           {"Pre-Memory", "200"},
        {"Stored Words", "1500"}, {"Recording Time", "0.750 s"},         {"Averaging", "16"},
        {"Model", "KMR-510C"},  {"State", "complete"}};
    for (const auto& [label, text] : lines) EXPECT_EQ(value(en, label), text) << label;
    ASSERT_EQ(en.channelRows.size(), 2u);
    EXPECT_EQ(en.channelRows[0], (std::vector<std::string>{"1", "STRAIN(5.0V)", "100Hz", "1.5", "-2.25",
                                                           UnitNames(Language::English)[0], "Off"}));
    EXPECT_EQ(en.channelRows[1][1], "VOLT");
    EXPECT_EQ(en.channelRows[1][6], "On 120.5");
    // Connected to a KMR-530A, the 5.0 V record says why its settings cannot be sent back.
    ASSERT_EQ(en.notes.size(), 1u);
    EXPECT_NE(en.notes[0].find("KMR-530A does not have"), std::string::npos);
    EXPECT_TRUE(DescribeStoredRecord(wide, c510, Language::English, kModelKmr510C).notes.empty());

    const StoredRecordCheck either = CheckStoredRecord(plain, Language::Japanese);
    const StoredRecordText ja = DescribeStoredRecord(plain, either, Language::Japanese, kModelKmr530A);
    EXPECT_EQ(value(ja, "機種"), "KMR-530A または KMR-510C");
    EXPECT_EQ(value(ja, "トリガモード"), "データトリガ");
    EXPECT_EQ(ja.channelRows[1][6], "オン 120.5");
    EXPECT_TRUE(ja.notes.empty());
}

TEST(ConditionsPanel, WidensTheWindowWhereTheScreenHasRoomElseTakesAtMostTwoFifths) {
    using P = ConditionsPanelPlace;
    // The default window (712 px inside, 714 outside) on a 1366 px screen (with room to the right it
    // widens there: RecordWindowTest). Near the right edge it moves left only as far as it must;
    // never past the screen's left edge.
    EXPECT_EQ(PlaceConditionsPanel(420, 600, 714, 712, false, 0, 1366), (P{420, 232, 1132}));
    EXPECT_EQ(PlaceConditionsPanel(420, 1700, 714, 712, false, 1366, 1366), (P{420, 1598, 1132}));
    EXPECT_EQ(PlaceConditionsPanel(652, 600, 714, 712, false, 0, 1366), (P{652, 0, 1364}));
    // No room for the whole panel, or maximised: the window stays, the panel takes at most 2/5.
    EXPECT_EQ(PlaceConditionsPanel(653, 0, 714, 712, false, 0, 1366), (P{284, 0, 712}));
    EXPECT_EQ(PlaceConditionsPanel(420, 13, 1342, 1340, false, 0, 1366), (P{420, 13, 1340}));
    EXPECT_EQ(PlaceConditionsPanel(420, 0, 714, 712, true, 0, 1366), (P{284, 0, 712}));
    // A window widened once is wide enough: the next record opened on a large screen leaves it.
    EXPECT_EQ(PlaceConditionsPanel(420, 150, 1134, 1132, false, 0, 1920), (P{420, 150, 1132}));
    EXPECT_EQ(PlaceConditionsPanel(420, 150, 1051, 1049, false, 0, 1920), (P{420, 150, 1469}));
}

TEST(SamplesBetween, BothEndsInclusiveAndClippedToTheRecord) {
    EXPECT_EQ(SamplesBetween(0.2, 0.5, 1.0f, 0.001, 1000).first, 200);
    EXPECT_EQ(SamplesBetween(0.2, 0.5, 1.0f, 0.001, 1000).count, 301);
    // A clock that is not exact as a float still puts sample 20 of 0.05 ms at 0.001 s.
    EXPECT_EQ(SamplesBetween(0.001, 0.001, 0.05f, 0.001, 1000).first, 20);
    EXPECT_EQ(SamplesBetween(0.001, 0.001, 0.05f, 0.001, 1000).count, 1);
    EXPECT_EQ(SamplesBetween(-1.0, 5.0, 1.0f, 0.001, 1000).count, 1000);
    EXPECT_EQ(SamplesBetween(2.0, 3.0, 1.0f, 0.001, 1000).count, 0);
    // An axis from 1 s to 2 s at 0.05 ms takes samples 20000 to 40000, as kmr convert --from 1
    // --to 2 does (the CSV puts sample 40000 at 2 s), at the far end of the largest memory too;
    // a cursor on a drawn point (the float clock's time) still takes that point.
    for (const float clock : {0.05f, 0.1f, 0.3f, 0.6f, 0.9f}) {
        const double step = DecimalClockMs(clock) / 1000.0;
        const SampleRange r = SamplesBetween(20000 * step, 40000 * step, clock, 0.001, 507904);
        EXPECT_EQ(r.first, 20000) << clock;
        EXPECT_EQ(r.count, 20001) << clock;
        const SampleRange end = SamplesBetween(507900 * step, 507903 * step, clock, 0.001, 507904);
        EXPECT_EQ(end.first, 507900) << clock;
        EXPECT_EQ(end.count, 4) << clock;
        const double drawn = SampleTime(507900, clock, 0.001);
        EXPECT_EQ(SamplesBetween(drawn, drawn, clock, 0.001, 507904).first, 507900) << clock;
        EXPECT_EQ(SamplesBetween(drawn, drawn, clock, 0.001, 507904).count, 1) << clock;
    }
}

// The export of the shown range: what it offers and the samples it takes. (The file written is the
// command line's conversion cut at the same times, and a name taken is asked for again:
// RecordWindowTest.exportsWriteAPngAPdfTheShellsCsvAndHdf5.)
TEST_F(OpenRecordTest, TheShownRangeExportOffersTheWholeChannelsAndTakesTheSamplesBetweenTheCursors) {
    const std::string path = Written("rec.kmr", 70000);
    ASSERT_EQ(OpenStoredRecord(h.engine, path), OpenOutcome::Opened);
    const std::string out = h.DataFolder() + "out/";
    std::filesystem::create_directories(out);
    testing::FakeDrive drive;
    // The whole record is offered when no chart gives its range; the cursors in time order.
    h.state.Graph.Ch[4].Use = 0;
    const auto offer = OfferExportRange(h.engine, std::nullopt, CursorTimes{true, true, 65.2, 64.9995});
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->channels, (std::vector<int>{2, 5, 7}));
    EXPECT_EQ(offer->ticked, (std::vector<bool>{true, false, true}));
    EXPECT_DOUBLE_EQ(offer->shown.hi, 69.999);
    EXPECT_EQ(SuggestedExportName(offer->source, ExportFormat::Hdf5), h.DataFolder() + "rec.h5");
    EXPECT_EQ(WithExportExtension(out + "cut", ExportFormat::Csv), out + "cut.csv");
    // 64.9995 s lies between two samples: the later one is the first taken; 65.2 s is taken.
    const SampleRange range = ChosenSamples(h.state, *offer, true);
    EXPECT_EQ(range.first, 65000);
    EXPECT_EQ(range.count, 201);
    // Charts panned past the record's end hold no sample: said before a name is asked, as kmr
    // convert --from 80 --to 90 says it, not as "samples 0 to -1" after the save window.
    const auto beyond = OfferExportRange(h.engine, AxisRange{80.0, 90.0}, CursorTimes{true, true, 65.2, 64.9995});
    ASSERT_TRUE(beyond);
    h.ui.shown.clear();
    EXPECT_TRUE(ExportRangeHoldsSamples(h.engine, *beyond, true));
    EXPECT_FALSE(ExportRangeHoldsSamples(h.engine, *beyond, false));
    EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{path + "\nno sample lies between 80.0000 s and 90.0000 s (the "
                                                            "file's 70000 samples per channel lie from 0 s to 69.999 s)."});
    EXPECT_EQ(CursorRangeChoice(Language::English, *offer), "Between cursors A and B: 64.9995 s to 65.2000 s");
    // At 0.05 ms the window names the samples the cursors are on, as many places as that takes.
    h.state.OpenedRecord->conditions.SmpClk = 0.05f;
    const auto fast = OfferExportRange(h.engine, AxisRange{0.0, 0.0125},
                                       CursorTimes{true, true, SampleTime(21, 0.05f, 0.001), SampleTime(23, 0.05f, 0.001)});
    ASSERT_TRUE(fast);
    EXPECT_EQ(CursorRangeChoice(Language::English, *fast), "Between cursors A and B: 0.00105 s to 0.00115 s");
    EXPECT_EQ(ShownRangeChoice(Language::English, *fast), "The time range shown: 0.00000 s to 0.01250 s");
    EXPECT_EQ(ChosenSamples(h.state, *fast, true).first, 21);
    h.state.OpenedRecord->conditions.SmpClk = 1.0f;
    // A view's edge just past a sample (or just before one) is named inwards, so that kmr convert
    // given the times the window names cuts the same samples: not "65.0000 s to 65.2000 s" for
    // samples 65001 to 65199.
    const auto zoomed = OfferExportRange(h.engine, AxisRange{65.00004, 65.19996}, {});
    ASSERT_TRUE(zoomed);
    EXPECT_EQ(ShownRangeChoice(Language::English, *zoomed), "The time range shown: 65.0001 s to 65.1999 s");
    EXPECT_EQ(ChosenSamples(h.state, *zoomed, false).first, 65001);
    EXPECT_EQ(ChosenSamples(h.state, *zoomed, false).count, 199);
    const auto onSamples = OfferExportRange(h.engine, AxisRange{64.99999999999, 65.20000000001}, {});
    EXPECT_EQ(ShownRangeChoice(Language::English, *onSamples), "The time range shown: 65.0000 s to 65.2000 s");
    const auto written = ExportShownRange(h.engine, out, "cut.csv", ExportFormat::Csv, {7, 2}, range, drive);
    EXPECT_EQ(written.files, (std::vector<std::string>{out + "cut.csv"}));
    // An improper name is said with what a name cannot hold and a proper one offered; a folder gone, gone.
    h.ui.shown.clear();
    const RangeExport blank = ExportShownRange(h.engine, out, "range 1.csv", ExportFormat::Csv, {2}, range, drive);
    EXPECT_TRUE(blank.files.empty() && blank.chooseAgain && blank.suggested == out + "range_1.csv");
    EXPECT_TRUE(ExportShownRange(h.engine, out + "gone", "g.csv", ExportFormat::Csv, {2}, range, drive).chooseAgain);
    EXPECT_EQ(h.ui.Texts(), (std::vector<std::string>{
                                "File name is improper.\nrange 1.csv\nA file name cannot hold blanks or any of "
                                "[ ] ; < = > ? * / \\ : \" |, nor be the name of a device such as CON or COM1. For "
                                "example: range_1.csv",
                                "The folder no longer exists:\n" + out + "gone"}));
    // A record named with a blank: the name offered is one the export takes.
    const std::string offered = SuggestedExportName(h.DataFolder() + "my data/run 1;2.kmr", ExportFormat::Csv);
    EXPECT_EQ(offered, h.DataFolder() + "my data/run_1_2.csv");
    EXPECT_EQ(ExportShownRange(h.engine, out, FileNameOf(offered), ExportFormat::Csv, {2}, range, drive).files,
              (std::vector<std::string>{out + "run_1_2.csv"}));
    // Another record put in the file's place since is not exported as the one shown.
    const auto shown = std::filesystem::last_write_time(path);
    const std::string other = Written("other.kmr", 70000);
    std::filesystem::remove(path);
    std::filesystem::copy_file(other, path);
    std::filesystem::last_write_time(path, shown + std::chrono::seconds(2));
    h.ui.shown.clear();
    EXPECT_TRUE(ExportShownRange(h.engine, out, "again.csv", ExportFormat::Csv, {2}, range, drive).files.empty());
    EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{TextWith(Language::English, txt::RecordChangedSinceShown, {path})});
    EXPECT_FALSE(testing::FileExistsOnDisk(out + "again.csv"));
    // Said as soon as Export Range is chosen, before channels or a name are asked; a file that
    // has gone is said to be gone.
    h.ui.shown.clear();
    EXPECT_FALSE(OfferExportRange(h.engine, std::nullopt, {}));
    std::filesystem::remove(path);
    EXPECT_FALSE(OfferExportRange(h.engine, std::nullopt, {}));
    EXPECT_EQ(h.ui.Texts(), (std::vector<std::string>{TextWith(Language::English, txt::RecordChangedSinceShown, {path}),
                                                      TextWith(Language::English, txt::RecordFileMissing, {path})}));

    // A picture's name keeps its own extension, or takes the kind chosen; one lengthened onto a
    // file that exists is refused, since the save window asked about the shorter name only.
    const auto picture = [&](const std::string& chosen, bool pdf) { return ChartsPicturePath(h.engine, chosen, pdf).path; };
    EXPECT_EQ(picture(out + "A.PDF", false), out + "A.PDF");
    EXPECT_EQ(picture(out + "a.v2", false), out + "a.v2.png");
    // Both exports take a name by one rule: a blank refused with the same words, a proper name
    // offered next (in the folder chosen, which may hold blanks), and the name offered first is
    // one it takes.
    h.ui.shown.clear();
    const PictureName blankPicture = ChartsPicturePath(h.engine, out + "run 1.png", false);
    EXPECT_TRUE(blankPicture.path.empty() && blankPicture.chooseAgain);
    EXPECT_EQ(blankPicture.suggested, out + "run_1.png");
    EXPECT_EQ(ChartsPicturePath(h.engine, out + "aux", true).suggested, out + "aux_");
    ASSERT_EQ(h.ui.shown.size(), 2u);
    EXPECT_EQ(h.ui.shown[0].text, "File name is improper.\nrun 1.png\nA file name cannot hold blanks or any of "
                                  "[ ] ; < = > ? * / \\ : \" |, nor be the name of a device such as CON or COM1. "
                                  "For example: run_1.png");
    EXPECT_EQ(SuggestedPictureName(h.DataFolder() + "my data/run 1;2.KMR", ""), h.DataFolder() + "my data/run_1_2.png");
    EXPECT_EQ(SuggestedPictureName("", h.DataFolder()), h.DataFolder() + "charts.png");
    EXPECT_EQ(picture(out + "my data.png", false), "");
    h.ui.shown.clear();
    testing::WriteAll(out + "cut.png", "x");
    EXPECT_EQ(picture(out + "cut", false), "");
    EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{"Overlap of file name including a suffix may exist.\n" + out + "cut.png"});
    // So is one lengthened onto a folder of that name.
    std::filesystem::create_directory(out + "shots.pdf");
    EXPECT_EQ(picture(out + "shots", true), "");
    // A read-only picture is not replaced (a rename would take its place regardless); a writable
    // one is once the program's own question (in the window's language, the file named) has Yes,
    // and No offers the save window again with nothing written.
    testing::WriteAll(out + "kept.pdf", "x");
    std::filesystem::permissions(out + "kept.pdf", std::filesystem::perms::owner_read);
    h.ui.shown.clear();
    EXPECT_EQ(picture(out + "kept.pdf", true), "");
    EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{out + "kept.pdf is read-only and was not replaced: choose another "
                                                           "name, or allow changes to the file and export again."});
    h.ui.shown.clear();
    h.ui.answers = {MsgAnswer::No};
    EXPECT_TRUE(ChartsPicturePath(h.engine, out + "cut.png", false).chooseAgain);
    EXPECT_EQ(picture(out + "cut.png", false), out + "cut.png");
    h.ui.language = Language::Japanese;
    EXPECT_EQ(picture(out + "cut.png", false), out + "cut.png");
    ASSERT_EQ(h.ui.shown.size(), 3u);
    EXPECT_EQ(h.ui.shown[0].text, out + "cut.png already exists. Do you want to replace it?");
    EXPECT_EQ(h.ui.shown[2].text, out + "cut.png は既に存在します。置き換えますか？");
}

}  // namespace
}  // namespace kmr
