// A recording is never lost to a file problem: a transfer whose file cannot be written is read
// again from the instrument into another folder; what a broken transfer received is kept as
// "NAME_incomplete.csv" with only the values that were read.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

#include "core/app/RunController.h"
#include "core/datafiles/DataFilesTestSupport.h"
#include "core/datafiles/StoredRecord.h"
#include "core/graphs/ChartNavigation.h"
#include "support/EngineHarness.h"

namespace kmr {
namespace {

using testing::Block;
using testing::EngineHarness;
using testing::FileExistsOnDisk;
using testing::RampWord;
using testing::RampWords;
using testing::ReadAll;

// Every write into one of `folders` fails as a full disk does (after the first `taken` there).
class FullFolder : public FileWritePort {
public:
    int BeforeWrite(const std::string& path) override {
        for (const std::string& folder : folders)
            if (path.rfind(folder, 0) == 0) return taken-- > 0 ? 0 : ENOSPC;
        return 0;
    }
    // The n-th sync into `syncFolder` (from 1) fails as a full network drive refuses it.
    int BeforeSync(const std::string& path) override {
        return !syncFolder.empty() && path.rfind(syncFolder, 0) == 0 && ++syncs == failSync ? ENOSPC : 0;
    }
    std::vector<std::string> folders;
    int taken = 0;
    std::string syncFolder;
    int syncs = 0, failSync = 0;
};

// Answers the offer with the folders given, in turn; remembers what it was told.
class ChooseFolder : public SaveElsewherePort {
public:
    std::optional<std::string> OtherFolder(const std::string& problem, const std::string& folder) override {
        problems.push_back(problem);
        folders.push_back(folder);
        if (answers.empty()) return std::nullopt;
        std::string next = answers.front();
        answers.erase(answers.begin());
        return next;
    }
    std::vector<std::string> answers, problems, folders;
};

class TransferFilesTest : public ::testing::Test {
protected:
    // Writes go through `disk` (which fails none until its folders are given) and the offer of
    // another folder to `elsewhere`.
    void StartWith(const std::vector<int>& on, std::int32_t mry, std::int16_t fileType) {
        ASSERT_TRUE(h.Measure(on, mry, 1.0f, fileType));
        second = h.home.dir().File("second") + "/";
        std::filesystem::create_directories(second);
        h.state.Writes = &disk;
        h.state.SaveElsewhere = &elsewhere;
    }
    int Count(const std::string& command) const {
        const auto c = h.bus->Commands();
        return static_cast<int>(std::count(c.begin(), c.end(), command));
    }

    EngineHarness h;
    FullFolder disk;
    ChooseFolder elsewhere;
    std::string second;
};

// The offer comes again until a folder takes the file, or until it is declined.
TEST_F(TransferFilesTest, ADataFileThatCannotBeWrittenIsTransferredAgainIntoTheFolderChosen) {
    StartWith({2, 5}, 1000, 0);
    const std::string third = h.home.dir().File("third") + "/";
    std::filesystem::create_directories(third);
    disk.folders = {h.DataFolder(), second};
    elsewhere.answers = {second, third};
    ASSERT_TRUE(h.RunToEnd());
    // An offer for each folder that failed, naming it, and no message (the offer's text, the
    // file's samples and the restore at the end: FaultInjection's saved-elsewhere scenarios).
    EXPECT_EQ(elsewhere.folders, (std::vector<std::string>{h.DataFolder(), second}));
    EXPECT_TRUE(h.ui.shown.empty()) << h.ui.shown[0].text;
    // The recording was read again from the instrument, whole, into the third folder.
    EXPECT_EQ(Count("BDT"), 2);  // the header could not be written: both channels, once, afterwards
    EXPECT_TRUE(h.state.LastTransferComplete);
    EXPECT_EQ(h.state.LastDataFile, third + "20261205.kmr");
    // The instrument got its conditions back once, at the end; the next number follows.
    EXPECT_EQ(Count("MRY 1000"), 1);
    EXPECT_EQ(h.state.DataFileNumber, 1);
    EXPECT_EQ(h.progress.closes, 3);  // before each offer, and at the end

    // Giving up shows nothing more and leaves the recording in the instrument; no file is named
    // as the record, and none that holds nothing is left behind.
    ASSERT_TRUE(h.RunToEnd());  // no answers left
    EXPECT_EQ(elsewhere.problems.size(), 3u);
    EXPECT_FALSE(h.state.LastTransferComplete);
    EXPECT_TRUE(h.ui.shown.empty());
    EXPECT_EQ(h.state.LastDataFile, "");
    EXPECT_FALSE(FileExistsOnDisk(h.DataFolder() + "20261205_1.kmr"));
    EXPECT_EQ(h.main.caption, "KMR-5300 - 20261205_2.kmr(Next data file)");
}

// The window's offer: the question with the failure, Yes opens the picker; a picker closed without
// a folder asks again, and only No gives the recording up.
TEST_F(TransferFilesTest, TheWindowsOfferAsksAgainWhenThePickerClosesWithoutAFolder) {
    struct Picker : FolderPickerPort {
        std::optional<std::string> PickFolder(const std::string& folder) override {
            opened.push_back(folder);
            if (answers.empty()) return std::nullopt;
            std::optional<std::string> next = answers.front();
            answers.erase(answers.begin());
            return next;
        }
        std::vector<std::optional<std::string>> answers;
        std::vector<std::string> opened;
    } picker;
    AskForOtherFolder offer(h.ui, picker);
    StartWith({2, 5}, 1000, 0);
    h.state.SaveElsewhere = &offer;
    disk.folders = {h.DataFolder()};
    picker.answers = {std::nullopt, second};
    h.ui.answers = {MsgAnswer::Yes, MsgAnswer::Yes};
    ASSERT_TRUE(h.RunToEnd());
    EXPECT_EQ(picker.opened, (std::vector<std::string>{h.DataFolder(), h.DataFolder()}));
    ASSERT_EQ(h.ui.shown.size(), 2u);
    for (const auto& m : h.ui.shown) {
        EXPECT_EQ(m.buttons, MsgButtons::YesNo);
        EXPECT_NE(m.text.find("20261205.kmr"), std::string::npos) << m.text;
        EXPECT_NE(m.text.find(h.ui.Text(txt::SaveElsewhereQuestion)), std::string::npos) << m.text;
    }
    EXPECT_TRUE(h.state.LastTransferComplete);
    EXPECT_EQ(h.state.LastDataFile, second + "20261205.kmr");

    // No: one question, no picker, the recording left in the instrument.
    h.ui.shown.clear();
    h.ui.answers = {MsgAnswer::No};
    ASSERT_TRUE(h.RunToEnd());
    EXPECT_EQ(h.ui.shown.size(), 1u);
    EXPECT_EQ(picker.opened.size(), 2u);
    EXPECT_FALSE(h.state.LastTransferComplete);
}

// A disk that fills after the header fails the channel's write and the cancelled mark alike: the
// offer says so once.
TEST_F(TransferFilesTest, ADiskFullAfterTheHeaderIsToldOnceInTheOffer) {
    StartWith({2, 5}, 1000, 0);
    disk.folders = {h.DataFolder()};
    disk.taken = 1;
    ASSERT_TRUE(h.RunToEnd());
    ASSERT_EQ(elsewhere.problems.size(), 1u);
    const std::string& problem = elsewhere.problems[0];
    const std::string reason = std::error_code(ENOSPC, std::generic_category()).message();
    const std::size_t first = problem.find(reason);
    ASSERT_NE(first, std::string::npos) << problem;
    EXPECT_EQ(problem.find(reason, first + 1), std::string::npos) << problem;
    // The file left on that disk is named with what it holds.
    EXPECT_NE(problem.find("\n20261205.kmr is marked cancelled. Complete channels: none."), std::string::npos)
        << problem;
    // The chart of the channel that failed shows this record's time, as that of one never reached.
    EXPECT_EQ(ConfiguredXRange(h.engine.chart, 1), ConfiguredXRange(h.engine.chart, 4));
}

// A disk that fills after the first channel: the offer says that the file left there keeps it.
TEST_F(TransferFilesTest, TheOfferNamesTheFileLeftOnTheFullDiskAndItsWholeChannels) {
    StartWith({2, 5}, 1000, 0);
    disk.folders = {h.DataFolder()};
    disk.taken = 2;  // the header and channel 2
    ASSERT_TRUE(h.RunToEnd());
    ASSERT_EQ(elsewhere.problems.size(), 1u);
    EXPECT_NE(elsewhere.problems[0].find("\n20261205.kmr is marked cancelled. Complete channels: 2."),
              std::string::npos)
        << elsewhere.problems[0];
    const std::string bytes = ReadAll(h.DataFolder() + "20261205.kmr");
    EXPECT_EQ(bytes.substr(4, 20), "KMR_FILE CANCEL     ");
    EXPECT_EQ(Block(bytes, 1000, 0), RampWords(2, 1000));
    EXPECT_EQ(CheckStoredRecord(h.DataFolder() + "20261205.kmr", Language::English).wholeChannels,
              std::vector<int>{2});
}

// A drive that takes the samples and the complete mark but refuses them at the sync: the file
// there is marked cancelled again (not left claiming what was not saved), and the recording is
// saved into the folder chosen.
TEST_F(TransferFilesTest, ADataFileTheDriveRefusesAtItsSyncIsNotLeftMarkedComplete) {
    StartWith({2, 5}, 1000, 0);
    disk.syncFolder = h.DataFolder();
    disk.failSync = 2;  // the first puts the samples on the disk, the second the mark
    elsewhere.answers = {second};
    ASSERT_TRUE(h.RunToEnd());
    ASSERT_EQ(elsewhere.problems.size(), 1u);
    EXPECT_NE(elsewhere.problems[0].find("\n20261205.kmr is marked cancelled. Complete channels: 2, 5."),
              std::string::npos)
        << elsewhere.problems[0];
    EXPECT_EQ(ReadAll(h.DataFolder() + "20261205.kmr").substr(4, 20), "KMR_FILE CANCEL     ");
    EXPECT_TRUE(h.state.LastTransferComplete);
    EXPECT_EQ(h.state.LastDataFile, second + "20261205.kmr");
    EXPECT_EQ(ReadAll(second + "20261205.kmr").substr(4, 20), kCompleteSignature);
}

// The reply of the n-th "BDT" is cut short, as a broken link gives it.
TEST_F(TransferFilesTest, ABrokenCsvTransferKeepsOnlyTheValuesReadAsIncomplete) {
    StartWith({2, 5}, 25000, 1);  // three blocks per channel
    h.bus->shortBlock = 5;           // channel 5's second block
    ASSERT_TRUE(h.RunToEnd());
    EXPECT_FALSE(h.state.LastTransferComplete);
    // (Nothing under the final name, no temporary file: RunTest.CancelDuringACsvTransfer... and the
    // short replies of FaultInjection's CSV record.)
    const std::string incomplete = h.DataFolder() + "20261205_incomplete.csv";
    ASSERT_TRUE(FileExistsOnDisk(incomplete));
    // The message names the file and what it keeps whole.
    EXPECT_TRUE(std::any_of(h.ui.shown.begin(), h.ui.shown.end(), [](const auto& m) {
        return m.text.find("20261205_incomplete.csv keeps the complete channels: 2.") != std::string::npos;
    }));
    // Channel 2 whole; channel 5 its first 10000 values, then blank cells: never a zero not read.
    const std::string csv = ReadAll(incomplete);
    const std::size_t first = csv.find("\r\n0 ");
    ASSERT_NE(first, std::string::npos);
    const auto line = [&](std::int32_t i) { return csv.substr(first + 2 + 50 * static_cast<std::size_t>(i), 50); };
    // A value's cell: the comma, then the value left-aligned in 15 columns.
    const auto cell = [](const std::string& value) { return "," + value + std::string(15 - value.size(), ' '); };
    const auto ramp = [](int channel, std::int32_t i) { return std::to_string(RampWord(channel, i)); };
    EXPECT_EQ(line(9999).substr(16), cell(ramp(2, 9999)) + cell(ramp(5, 9999)) + "\r\n");
    EXPECT_EQ(line(10000).substr(32), cell("") + "\r\n");
    EXPECT_EQ(line(24999).substr(16), cell(ramp(2, 24999)) + cell("") + "\r\n");
}

TEST_F(TransferFilesTest, ADataFileStoppedEarlyAndBrokenOffEndsWhereItsWholeChannelsEnd) {
    // 400 of 1000 words transferred (a Stop), channel 5's block broken: the file holds channel
    // 2's 400 words and nothing after them, so its length tells its whole channels.
    StartWith({2, 5}, 1000, 0);
    StartOrStop(h.engine);
    h.engine.Send("EOC");  // the simulated recording ends here
    h.state.WordsConverted = 400;
    h.bus->shortBlock = h.bus->blockCommands + 2;
    EndOfConversion(h.engine);
    const std::string bytes = ReadAll(h.state.LastDataFile);
    ASSERT_EQ(bytes.size(), 1100u + 800u);
    EXPECT_EQ(Block(bytes, 400, 0), RampWords(2, 400));
    EXPECT_EQ(CheckStoredRecord(h.state.LastDataFile, Language::English).wholeChannels, std::vector<int>{2});
}

}  // namespace
}  // namespace kmr
