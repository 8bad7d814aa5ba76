#include "core/datafiles/Conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cerrno>

#include "core/datafiles/ConversionFixture.h"
#include "core/support/Numbers.h"
#include "core/support/TextTable.h"

namespace kmr {
namespace {

using testing::FolderNames;
using testing::ReadAll;
using testing::WriteAll;

class ConversionTest : public testing::ConversionFixture {
protected:
    std::string CsvFolder() const { return data.File("csv"); }  // no trailing separator: added
    ConversionOutcome Run(std::vector<std::string> names, std::string csvName = "*.csv", double sizeKB = 1.0) {
        ConversionRequest r;
        r.dataFolder = data.folder();
        r.csvFolder = CsvFolder();
        r.checkedNames = std::move(names);
        r.checkedSizesKB.assign(r.checkedNames.size(), sizeKB);
        r.csvName = std::move(csvName);
        ConversionPorts ports = Ports();
        return Convert(r, ports, status);
    }
    std::string Csv(const std::string& name) const { return data.File("csv/" + name); }
};

TEST_F(ConversionTest, OneCheckedFileIsConvertedUnderTheTypedName) {
    MakeKmr("20021005.kmr");
    const auto out = Run({"20021005.kmr"}, "result");
    ASSERT_TRUE(out.AllConverted());
    EXPECT_EQ(FolderNames(CsvFolder()), std::set<std::string>{"result.csv"});
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(listView.unchecked, (std::vector<std::size_t>{0}));
    EXPECT_EQ(ui.pointerChanges.front(), Pointer::Hourglass);
    EXPECT_EQ(ui.pointer, Pointer::Default);
    EXPECT_EQ(drive.asked, (std::vector<std::string>{CsvFolder() + "/"}));
}

TEST_F(ConversionTest, TheBarRisesToTheEndWhenEveryFileIsConverted) {
    MakeKmr("1.kmr", 30000);
    MakeKmr("2.kmr", 30000);
    const double kb = static_cast<double>(SizeInKB(std::filesystem::file_size(data.File("1.kmr"))));
    ASSERT_TRUE(Run({"1.kmr", "2.kmr"}, "*.csv", kb).AllConverted());
    ASSERT_FALSE(progress.percents.empty());
    EXPECT_TRUE(std::is_sorted(progress.percents.begin(), progress.percents.end()));
    EXPECT_NE(std::find(progress.percents.begin(), progress.percents.end(), 50), progress.percents.end());
    EXPECT_EQ(progress.percents.back(), 100);
}

TEST_F(ConversionTest, TooLittleFreeSpaceStopsBeforeAnything) {
    MakeKmr("a.kmr");
    // The drive check is the folder picker's (CheckCsvDrive): its messages and the boundary are
    // Picker.FreeSpace...
    drive.free = 999999;
    EXPECT_FALSE(Run({"a.kmr"}, "a.csv").started);
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{Text(Language::English, txt::DriveNeedsOneMegabyte)});
    EXPECT_EQ(SystemDrivePort().FreeBytes(data.File("no-such-folder")), -1);
    EXPECT_GT(SystemDrivePort().FreeBytes(data.folder()), 0);
}

// Refused with one message before a folder is tested or anything written: nothing checked, an
// improper typed name, a CSV name that is taken or a lettered part of it (either case, up to H:
// BaseOrLettered and NextNumber; the message names the file in the way), two files of the batch
// whose names meet in a lettered part.
TEST_F(ConversionTest, NothingCheckedImproperOrTakenCsvNamesAreRefusedBeforeAnything) {
    MakeKmr("x.kmr");
    MakeKmr("y.kmr");
    MakeKmr("x_B.kmr");
    struct Case {
        std::vector<std::string> names;
        std::string typed;
        int message;
        std::string existing;  // a CSV file there already
    };
    const std::vector<std::string> x{"x.kmr"};
    for (const Case& c : {Case{{}, "*.csv", txt::NoDataFileName, ""}, Case{{"*.kmr"}, "*.csv", txt::NoDataFileName, ""},
                          Case{x, "*.csv", txt::ImproperFileName, ""}, Case{x, "", txt::ImproperFileName, ""},
                          Case{x, "a b.csv", txt::ImproperFileName, ""}, Case{x, "a?b", txt::ImproperFileName, ""},
                          Case{x, "  ", txt::ImproperFileName, ""}, Case{x, "x", txt::FileNameMayOverlap, "x.csv"},
                          Case{x, "x.csv", txt::FileNameMayOverlap, "x_H.csv"},
                          Case{x, "X.CSV", txt::FileNameMayOverlap, "X.CSV"},
                          Case{{"x.kmr", "y.kmr"}, "", txt::FileNameMayOverlap, "y_c.csv"},
                          Case{{"x.kmr", "x_B.kmr"}, "", txt::FileNameMayOverlap, ""},
                          Case{{"x_B.kmr", "x.kmr"}, "", txt::FileNameMayOverlap, ""}}) {
        SCOPED_TRACE("typed '" + c.typed + "', existing '" + c.existing + "'");
        if (!c.existing.empty()) WriteAll(Csv(c.existing), "keep");
        ui.shown.clear();
        EXPECT_FALSE(Run(c.names, c.typed).started);
        ASSERT_EQ(ui.shown.size(), 1u);
        EXPECT_EQ(ui.shown[0].text.substr(0, ui.shown[0].text.find('\n')), Text(Language::English, c.message));
        EXPECT_EQ(ui.pointer, Pointer::Default);
        if (c.message == txt::ImproperFileName) {  // the box shows "*.csv" by then: the rule is said
            EXPECT_EQ(ui.shown[0].text, Text(Language::English, c.message) + "\n" + Text(Language::English, txt::CsvNameRule));
        }
        if (c.existing.empty()) continue;
        if (c.message == txt::FileNameMayOverlap) {  // (the letter's case as found: Windows ignores it)
            EXPECT_EQ(ToLowerAscii(ui.shown[0].text.substr(ui.shown[0].text.find('\n') + 1)),
                      ToLowerAscii(CsvFolder() + "/" + c.existing));
        }
        EXPECT_EQ(ReadAll(Csv(c.existing)), "keep");
        std::filesystem::remove(Csv(c.existing));
    }
    EXPECT_TRUE(std::filesystem::is_empty(CsvFolder()));
    // A folder of the CSV name, or of a part's, would stop the last rename: the name is taken.
    for (const std::string folder : {"x.csv", "x_a.csv"}) {
        std::filesystem::create_directory(Csv(folder));
        ui.shown.clear();
        EXPECT_FALSE(Run(x, "x.csv").started);
        EXPECT_EQ(ui.Texts(), std::vector<std::string>{Text(Language::English, txt::FileNameMayOverlap) + "\n" + Csv(folder)});
        std::filesystem::remove(Csv(folder));
    }
#ifndef _WIN32
    // A name held by what cannot be read (a link leading nowhere) is taken too, not found at the rename.
    std::filesystem::create_symlink("gone.csv", Csv("x.csv"));
    ui.shown.clear();
    EXPECT_FALSE(Run(x, "x.csv").started);
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{Text(Language::English, txt::FileNameMayOverlap) + "\n" + Csv("x.csv")});
#endif
    EXPECT_EQ(drive.writeTests, 0);
}

TEST_F(ConversionTest, AnUnwritableFolderAsksRetryOrCancel) {
    MakeKmr("x.kmr");
    drive.failingWriteTests = 2;
    ui.answers = {MsgAnswer::Retry, MsgAnswer::Cancel};
    EXPECT_FALSE(Run({"x.kmr"}, "x").started);
    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(ui.shown[0].text, "Drive '" + CsvFolder() + "/' cannot write. Do you want to retry?");
    EXPECT_EQ(ui.shown[0].buttons, MsgButtons::RetryCancel);
    drive.writeTests = 0;
    ui.shown.clear();
    ui.answers = {MsgAnswer::Retry, MsgAnswer::Retry};
    EXPECT_TRUE(Run({"x.kmr"}, "x").AllConverted());
    EXPECT_EQ(ui.shown.size(), 2u);
    EXPECT_FALSE(SystemDrivePort().WriteTest(data.File("missing") + "/"));
}

// A cancelled data file among the checked: every file the reader refuses (empty, short, damaged:
// DataFileTest) stops the batch the same way.
TEST_F(ConversionTest, ABadSecondFileStopsTheRestAndOnlyTheConvertedFileIsUnchecked) {
    MakeKmr("1.kmr");
    MakeKmr("2.kmr");
    MakeKmr("3.kmr");
    ASSERT_TRUE(MarkDataFileCancelled(data.File("2.kmr"), ui, status));
    const auto out = Run({"1.kmr", "2.kmr", "3.kmr"});
    ASSERT_TRUE(out.started);
    EXPECT_EQ(out.converted, (std::vector<bool>{true, false, false}));
    EXPECT_EQ(FolderNames(CsvFolder()), std::set<std::string>{"1.csv"});
    EXPECT_EQ(listView.unchecked, (std::vector<std::size_t>{0}));
    EXPECT_EQ(status, RunStatus::Cancelled);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text.rfind(Text(Language::English, txt::NotConditionFile), 0), 0u);
    // It holds whole channels: the refusal says where they can be had.
    EXPECT_NE(ui.shown[0].text.find(Text(Language::English, txt::WholeChannelsInWindow)), std::string::npos);

    // One cancelled before any channel was written has none to offer; a checked file gone since
    // (moved away, a disk unplugged) is said as such, not as a system error number.
    ui.shown.clear();
    std::filesystem::resize_file(data.File("2.kmr"), kDataHeaderBytes);
    Run({"2.kmr"}, "2.csv");
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text.find(Text(Language::English, txt::WholeChannelsInWindow)), std::string::npos);
    ui.shown.clear();
    std::filesystem::remove(data.File("3.kmr"));
    Run({"3.kmr"}, "3.csv");
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text, TextWith(Language::English, txt::RecordFileMissing, {data.File("3.kmr")}));
}

// Once the batch has stopped (a refused file, a cancel) the files after it are not read, so a
// folder of damaged files gives one message, not one per file.
TEST_F(ConversionTest, AStoppedBatchReadsNoFurtherFileAndShowsNoFurtherMessage) {
    MakeKmr("1.kmr");
    WriteAll(data.File("2.kmr"), "not a data file");
    WriteAll(data.File("3.kmr"), "");
    MakeKmr("4.kmr");
    WriteAll(data.File("5.kmr"), "also not a data file");
    auto out = Run({"1.kmr", "2.kmr", "3.kmr", "4.kmr", "5.kmr"});
    EXPECT_EQ(out.converted, (std::vector<bool>{true, false, false, false, false}));
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].text.find("2.kmr"), std::string::npos);

    ui.shown.clear();
    std::filesystem::remove(Csv("1.csv"));
    MakeKmr("6.kmr", 5000);
    progress.cancelAt = progress.looks + 1;  // the next yield: reading the first channel
    out = Run({"6.kmr", "2.kmr", "3.kmr"});
    EXPECT_EQ(out.converted, (std::vector<bool>{false, false, false}));
    EXPECT_TRUE(std::filesystem::is_empty(CsvFolder()));
    EXPECT_TRUE(ui.shown.empty());
}

// A disk with room for `room` bytes of CSV files: a write beyond fails as a full disk does.
struct FillingDisk : CsvFileWriter {
    struct File : CsvOutputFile {
        File(std::unique_ptr<CsvOutputFile> f, FillingDisk& disk) : f_(std::move(f)), disk_(disk) {}
        bool Append(const void* data, std::size_t size) override {
            if (disk_.used.fetch_add(static_cast<std::int64_t>(size)) + static_cast<std::int64_t>(size) > disk_.room) {
                error_ = ENOSPC;
                return false;
            }
            return f_->Append(data, size);
        }
        bool Close() override { return f_->Close(); }
        int error() const override { return error_ != 0 ? error_ : f_->error(); }
        std::unique_ptr<CsvOutputFile> f_;
        FillingDisk& disk_;
        int error_ = 0;
    };
    std::unique_ptr<CsvOutputFile> CreateNew(const std::string& path, int& err) override {
        auto f = system.CreateNew(path, err);
        return f ? std::make_unique<File>(std::move(f), *this) : nullptr;
    }
    bool Remove(const std::string& path) override { return system.Remove(path); }
    // The sync before a part takes its name finds the disk full.
    int Commit(const std::string& temporary, const std::string& final) override {
        return final.ends_with(failCommitOf) ? ENOSPC : system.Commit(temporary, final);
    }
    SystemCsvFileWriter system;
    std::string failCommitOf = "\n";  // no name ends so
    std::int64_t room = 0;
    std::atomic<std::int64_t> used{0};
};

TEST_F(ConversionTest, AFullDiskRemovesThePartsItWroteNamesThemAndTheSameConversionSucceedsLater) {
    MakeKmr("small.kmr", 20);
    MakeKmr("big.kmr", 140000, {1});  // parts A, B, C
    WriteAll(Csv("notes.csv"), "kept");
    FillingDisk disk;
    disk.room = 3000000;  // small.csv and part of big's
    ConversionPorts ports{ui, progress, listView, drive, &disk};
    ConversionRequest r{data.folder(), CsvFolder(), {"small.kmr", "big.kmr"}, {1.0, 1.0}, "*.csv"};
    const ConversionOutcome out = Convert(r, ports, status);
    EXPECT_EQ(out.converted, (std::vector<bool>{true, false}));
    EXPECT_EQ(status, RunStatus::Cancelled);
    // A and B were begun whether written one after the other or together; C may not have been.
    EXPECT_EQ(FolderNames(CsvFolder()), (std::set<std::string>{"notes.csv", "small.csv"}));
    EXPECT_EQ(ReadAll(Csv("notes.csv")), "kept");
    ASSERT_EQ(ui.shown.size(), 1u);
    const std::string& text = ui.shown[0].text;
    EXPECT_EQ(text.rfind("Unexpected error #" + std::to_string(ENOSPC) + " has occurred.", 0), 0u) << text;
    for (const char* part : {"big_A.csv", "big_B.csv"})
        EXPECT_NE(text.find("\n" + Text(Language::English, txt::PartRemoved) + Csv(part)), std::string::npos)
            << part << "\n"
            << text;

    // Space is free again: the same file converts, its names no longer taken.
    disk.room = INT64_MAX;
    ui.shown.clear();
    r.checkedNames = {"big.kmr"};
    r.csvName = "big.csv";
    const ConversionOutcome again = Convert(r, ports, status);
    EXPECT_TRUE(again.AllConverted()) << (ui.shown.empty() ? "" : ui.shown[0].text);
    EXPECT_EQ(again.csvFiles[0], (std::vector<std::string>{Csv("big_A.csv"), Csv("big_B.csv"), Csv("big_C.csv")}));

    // Every part written, then B cannot take its name: A, named already, goes with the others.
    for (const char* part : {"big_A.csv", "big_B.csv", "big_C.csv"}) std::filesystem::remove(Csv(part));
    disk.failCommitOf = "big_B.csv";
    ui.shown.clear();
    EXPECT_FALSE(Convert(r, ports, status).AllConverted());
    EXPECT_EQ(FolderNames(CsvFolder()), (std::set<std::string>{"notes.csv", "small.csv"}));
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].text.find(Text(Language::English, txt::PartRemoved) + Csv("big_A.csv")), std::string::npos)
        << ui.shown[0].text;
    disk.failCommitOf = "\n";
    EXPECT_TRUE(Convert(r, ports, status).AllConverted());
}

TEST(ConversionSteps, FollowTheFileSizeRoundingHalvesToEven) {
    Progress p;
    EXPECT_EQ(ConversionStepCount(25000, 2, p), 126);
    EXPECT_EQ(ConversionStepCount(1500, 1, p), 6);   // 1.5 + 3 + 1 = 5.5 -> 6
    EXPECT_EQ(ConversionStepCount(500, 1, p), 2);    // 0.5 + 1 + 1 = 2.5 -> 2
    EXPECT_EQ(ConversionStepCount(507904, 10, p), 10667);
}

TEST(ConversionRules, SizesNamesAndTheNameBox) {
    // Sizes in KB: the file-exchange size column; several checked files and typed names: its name box.
    EXPECT_EQ(CsvNameForDataFile("20021005_3.kmr"), "20021005_3.csv");
    // Only a ".kmr" goes (any case): a name without it keeps every character.
    EXPECT_EQ(CsvNameForDataFile("BEAM.KMR"), "BEAM.csv");
    EXPECT_EQ(CsvNameForDataFile("abcd"), "abcd.csv");
    EXPECT_EQ(CsvNameBoxForChecked({"notes.txt"}).text, "");
    // A data file's name may hold what a typed name may not: the name proposed is one that is taken.
    const std::string proposed = CsvNameBoxForChecked({"my test[2]; 5:30.kmr"}).text;
    EXPECT_EQ(proposed, "my_test_2___5_30.csv");
    EXPECT_EQ(AcceptCsvName(proposed), proposed);
    EXPECT_EQ(AcceptCsvName("run1.CSV"), "run1.CSV");
    // A data file made where the name is free ("aux.kmr" on Linux) is proposed a name Windows takes.
    for (const char* made : {"aux.kmr", "a\"b|c.kmr", "COM3.x.kmr"}) {
        const std::string name = CsvNameBoxForChecked({made}).text;
        EXPECT_EQ(AcceptCsvName(name), name) << made;
    }
    EXPECT_EQ(CsvNameBoxForChecked({"COM3.x.kmr"}).text, "COM3_.x.csv");
    EXPECT_EQ(AcceptCsvName("nul.csv"), "*.csv");
}

}  // namespace
}  // namespace kmr
