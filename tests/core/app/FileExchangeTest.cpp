#include "core/app/FileExchange.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/conditions/GlobalSettings.h"
#include "core/datafiles/DataFilesTestSupport.h"
#include "core/datafiles/PathPicker.h"
#include "core/support/SpecialFolders.h"
#include "core/support/TextTable.h"
#include "support/EngineHarness.h"
#include "support/FakeDrive.h"

namespace kmr {
namespace {

using testing::FakeDrive;
using testing::FakeProgress;
using testing::FakeUi;
using testing::TempDir;

TEST(SizeColumn, KilobytesRoundedUpWithGroupedDigits) {
    const std::pair<std::optional<std::uint64_t>, const char*> cases[] = {
        {0, "0KB"},         {1, "1KB"},           {1024, "1KB"},           {1025, "2KB"},
        {5102, "5KB"},      {1024 * 999, "999KB"}, {1024 * 1000, "1,000KB"}, {1234567890, "1,205,633KB"},
        {std::nullopt, ""}};
    for (const auto& [bytes, text] : cases) EXPECT_EQ(SizeColumnText(bytes, ","), text) << text;
}

TEST(CsvListClick, NameCutAtTheFirstCsv) {
    EXPECT_EQ(CsvNameFromClick("20021005.csv"), "20021005.csv");
    EXPECT_EQ(CsvNameFromClick("Run.CSV"), "Run.csv");
    EXPECT_EQ(CsvNameFromClick("a.csv.old.csv"), "a.csv");
    for (const char* text : {".csv", "notes.txt"}) EXPECT_EQ(CsvNameFromClick(text), std::nullopt) << text;
}

class FileExchange : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(data.File("csv"));
        g.SourcePathName = data.folder();
        g.DestPathName = data.File("csv");  // no separator (it is added: FileExchangeFolders)
    }
    void MakeKmr(const std::string& name) { ASSERT_TRUE(testing::WriteLevelKmr(data.File(name), 20, {1, 2})); }
    TempDir data;
    GlobalSettings g;
    FakeUi ui;
    FakeProgress progress;
    FakeDrive drive;
};

TEST_F(FileExchange, ListsOnlyRegularFilesOfTheExtensionSortedAndThePickersFoldersOfItsTags) {
    data.Write("b.kmr", std::string(1025, 'x'));
    data.Write("A.KMR", "");
    data.Write("c.kmr.bak", "x");
    data.Write("notes.txt", "x");
    std::filesystem::create_directory(data.File("folder.kmr"));
    const auto files = ListFiles(data.folder(), ".kmr");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].name, "A.KMR");
    EXPECT_EQ(files[1].name, "b.kmr");
    EXPECT_EQ(SizeColumnText(files[1].bytes, ","), "2KB");
    EXPECT_TRUE(files[1].time.has_value());
    EXPECT_TRUE(ListFiles(data.File("missing"), ".kmr").empty());
    // The form takes the picker's folders of its own tags only.
    std::filesystem::create_directory(data.File("other"));
    data.Write("other/x.kmr", "");
    FileExchangeForm form(g);
    EXPECT_FALSE(form.FolderChosen(kDataFolderTag, data.File("other/")));
    EXPECT_EQ(form.DataFiles().size(), 2u);
    EXPECT_TRUE(form.FolderChosen(kConvertDataFolderTag, data.File("other/")));
    ASSERT_EQ(form.DataFiles().size(), 1u);
    EXPECT_TRUE(form.FolderChosen(kConvertCsvFolderTag, data.File("other/")));
    EXPECT_EQ(form.CsvFolder(), data.File("other/"));
}

struct RecordingView : FileExchangeView {
    std::optional<CsvNameField> BoxBeingEdited() const override {
        return typed.empty() ? std::nullopt : std::optional(CsvNameField::Name);
    }
    std::string Typed(CsvNameField) const override { return typed; }
    void DataFileUnchecked(std::size_t row) override { log.push_back("unchecked " + std::to_string(row)); }
    void CsvListChanged() override { log.push_back("csv list"); }
    std::vector<std::string> log;
    std::string typed;  // in the name box, not yet entered
};

TEST_F(FileExchange, NameBoxFollowsTheChecksAndTheCsvListAndConvertTakesWhatIsTyped) {
    MakeKmr("20021005.kmr");
    MakeKmr("20021006.kmr");
    data.Write("csv/old.csv", "x");
    FileExchangeForm form(g);
    EXPECT_EQ(form.NameBox().text, "*.csv");
    EXPECT_FALSE(form.NameBox().enabled);
    form.SetChecked(0, true);
    EXPECT_EQ(form.NameBox().text, "20021005.csv");
    EXPECT_TRUE(form.NameBox().enabled);
    form.ClickCsvFile(0);
    EXPECT_EQ(form.NameBox().text, "old.csv");
    form.LeaveNameBox("  mine ");
    EXPECT_EQ(form.NameBox().text, "mine.csv");
    form.LeaveNameBox("a?b");
    EXPECT_EQ(form.NameBox().text, "*.csv");
    form.SetAllChecked(true);
    EXPECT_EQ(form.NameBox().text, "*.csv");
    EXPECT_FALSE(form.NameBox().enabled);
    form.SetChecked({0, 1}, false);
    EXPECT_EQ(form.CheckedNames(), std::vector<std::string>{});
    // Convert takes the name still being typed.
    form.SetChecked(0, true);
    RecordingView view;
    view.typed = "mine";
    ASSERT_TRUE(form.Convert(ui, progress, drive, &view).AllConverted());
    ASSERT_EQ(form.CsvFiles().size(), 2u);  // beside old.csv
    EXPECT_EQ(form.CsvFiles()[0].name, "mine.csv");
}

// An existing CSV stops the next batch before anything is written, with the checks kept.
TEST_F(FileExchange, ConvertUnchecksEachFileAsItIsDoneAndAnExistingCsvStopsTheBatch) {
    MakeKmr("1.kmr");
    MakeKmr("2.kmr");
    MakeKmr("3.kmr");
    FileExchangeForm form(g);
    form.SetChecked({0, 2}, true);
    RecordingView view;
    const auto out = form.Convert(ui, progress, drive, &view);
    ASSERT_TRUE(out.AllConverted());
    EXPECT_EQ(view.log, (std::vector<std::string>{"unchecked 0", "csv list", "unchecked 2", "csv list"}));
    EXPECT_TRUE(form.CheckedNames().empty());
    EXPECT_EQ(form.NameBox().text, "*.csv");
    ASSERT_EQ(form.CsvFiles().size(), 2u);
    EXPECT_EQ(form.CsvFiles()[0].name, "1.csv");
    EXPECT_EQ(form.CsvFiles()[1].name, "3.csv");

    std::filesystem::remove(data.File("csv/1.csv"));  // only the last name is taken now
    form.SetAllChecked(true);
    EXPECT_FALSE(form.Convert(ui, progress, drive, nullptr).started);
    // The message and the files left alone: ConversionTest.ExistingOrLetteredCsvNamesAreRefused...
    EXPECT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(form.CheckedNames(), (std::vector<std::string>{"1.kmr", "2.kmr", "3.kmr"}));
}

TEST(FileExchangeFolders, UnusableFoldersResetBeforeOpeningAndBothSavedOnClose) {
    testing::EngineHarness h;
    ASSERT_EQ(h.Start(), StartupOutcome::Online);
    ProgramState& s = h.state;
    const TempDir elsewhere;
    s.Global.SourcePathName = elsewhere.File("gone") + "/";
    s.Global.DestPathName = elsewhere.folder();
    // Another form open: nothing is reset, nothing opens.
    ASSERT_TRUE(h.engine.forms.Open(FormId::Balance));
    EXPECT_FALSE(OpenFileExchangeForm(h.engine));
    EXPECT_EQ(s.Global.SourcePathName, elsewhere.File("gone") + "/");
    h.engine.forms.Closed();
    EXPECT_TRUE(OpenFileExchangeForm(h.engine));
    EXPECT_EQ(h.engine.forms.Current(), FormId::FileExchange);
    EXPECT_EQ(s.Global.SourcePathName, s.DefaultDataFolder());
    EXPECT_EQ(s.Global.DestPathName, elsewhere.folder());
    GlobalSettings saved;
    LoadGlobalSettings(h.CondFile(kGlobalCnd), saved, nullptr);
    EXPECT_EQ(saved.SourcePathName, s.DefaultDataFolder());
    // The folder gone is said with the one shown instead, not replaced without a word.
    EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{TextWith(Language::English, txt::ConversionFolderReplaced,
                                                               {elsewhere.File("gone") + "/", s.DefaultDataFolder()})});
    h.ui.shown.clear();

    GlobalSettings g = s.Global;
    g.DestPathName = elsewhere.path();
    FileExchangeForm form(g);
    form.Close(h.engine);
    LoadGlobalSettings(h.CondFile(kGlobalCnd), saved, nullptr);
    EXPECT_EQ(saved.DestPathName, WithTrailingSeparator(elsewhere.path()));
    EXPECT_TRUE(h.ui.shown.empty());
}

}  // namespace
}  // namespace kmr
