#include "core/app/SetPathAndFileForm.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/EngineHarness.h"

namespace kmr {
namespace {

using testing::EngineHarness;
using testing::ReadAll;
using testing::TempDir;

GlobalSettings Settings(const std::string& folder, const std::string& base, std::int16_t type = 0) {
    GlobalSettings g;
    g.DataFolder = folder;
    g.BaseFileName = base;
    g.FileType = type;
    return g;
}

TEST(SetPathAndFileForm, TheNameBoxShowsTheNextFileAndTypedNamesAreAcceptedOrTheBoxReturns) {
    SetPathAndFileForm f(Settings("/d/", "20021005"), 2, 1000);
    EXPECT_EQ(f.AcceptedName(), "20021005_2.kmr");
    EXPECT_EQ(SetPathAndFileForm(Settings("/d/", "20021005", 1), 0, 1000).AcceptedName(), "20021005.csv");
    // The shown name itself looks numbered: it stays as it is.
    EXPECT_FALSE(f.CommitName("20021005_2.kmr"));
    EXPECT_EQ(f.BaseName(), "20021005");
    EXPECT_TRUE(f.CommitName("  abc "));
    EXPECT_EQ(f.AcceptedName(), "abc.kmr");
    EXPECT_EQ(f.BaseName(), "abc");
    EXPECT_FALSE(f.CommitName("my_data"));
    EXPECT_EQ(f.AcceptedName(), "abc.kmr");
    EXPECT_TRUE(f.CommitName("T.KMR"));
    EXPECT_EQ(f.BaseName(), "T");
}

TEST(SetPathAndFileForm, CsvAboveSixtyFiveThousandWordsIsRefusedWithTheCaution) {
    testing::FakeUi ui;
    SetPathAndFileForm f(Settings("/d/", "T"), 0, 70000);
    EXPECT_FALSE(f.ChooseFileType(1, ui, Language::English));
    EXPECT_EQ(f.FileType(), 0);
    EXPECT_EQ(f.AcceptedName(), "T.kmr");
    ASSERT_EQ(ui.Texts(), std::vector<std::string>{"Number of data-memory words of measurement conditions is over "
                                                   "65000 words.\r\nCSV format is not available as file-type."});
    EXPECT_EQ(ui.shown[0].title, "Caution");

    // 65000 words fit: the type is taken and the name follows without its number.
    SetPathAndFileForm g(Settings("/d/", "T"), 3, 65000);
    EXPECT_TRUE(g.ChooseFileType(1, ui, Language::English));
    EXPECT_EQ(g.AcceptedName(), "T.csv");
    EXPECT_EQ(ui.shown.size(), 1u);
}

TEST(SetPathAndFileForm, TheListHoldsTheFilesOfTheChosenType) {
    TempDir dir;
    for (const char* name : {"a.kmr", "b.csv", "c.kmr"}) dir.Write(name, "x");
    testing::FakeUi ui;
    SetPathAndFileForm f(Settings("/nowhere/", "T"), 0, 1000);
    EXPECT_TRUE(f.FileList().empty());
    f.SetFolder(dir.folder());
    EXPECT_EQ(f.FileList(), (std::vector<std::string>{"a.kmr", "c.kmr"}));
    f.ChooseFileType(1, ui, Language::English);
    EXPECT_EQ(f.FileList(), std::vector<std::string>{"b.csv"});
}

// --- Registration ---------------------------------------------------------------------------------

struct RegistrationTest : ::testing::Test {
    EngineHarness h;
    TempDir data;
    void SetUp() override { ASSERT_EQ(h.Start(), StartupOutcome::Online); }
    SetPathAndFileForm Open() const {
        return SetPathAndFileForm(h.state.Global, h.state.DataFileNumber, h.state.Meas.MemoryWords);
    }
    FormOutcome Ok(SetPathAndFileForm& f) { return SetPathAndFileOk(h.engine, f, Language::English, {}); }
    std::string GlobalCnd() const { return ReadAll(h.CondFile(kGlobalCnd)); }
};

TEST_F(RegistrationTest, AnExistingNameAsksASecondTimeWithTheNumberedNameAndANoKeepsTheSettings) {
    data.Write("T.kmr", "x");
    SetPathAndFileForm f = Open();
    f.SetFolder(data.folder());
    ASSERT_TRUE(f.CommitName("T"));
    const GlobalSettings before = h.state.Global;
    h.ui.answers = {MsgAnswer::No, MsgAnswer::Yes, MsgAnswer::No};
    EXPECT_EQ(Ok(f), FormOutcome::StayOpen);
    EXPECT_EQ(Ok(f), FormOutcome::StayOpen);
    EXPECT_EQ(h.state.Global, before);
    h.ui.shown.clear();
    h.ui.pointerChanges.clear();
    bool disabled = false;
    EXPECT_EQ(SetPathAndFileOk(h.engine, f, Language::English, [&] { disabled = true; }), FormOutcome::Applied);
    EXPECT_TRUE(disabled);
    EXPECT_EQ(h.ui.Texts(), (std::vector<std::string>{
                                "The setting conditions are changed. Do you want to renew?",
                                "Data file name exists.\r\nAre you sure the data file name is  'T_1.kmr' ?"}));
    // (The name and number taken: the caption of SettingsWindowTest's data-file registration.)
    EXPECT_EQ(h.state.Global.DataFolder, data.folder());
    EXPECT_NE(GlobalCnd().find("\"" + data.folder() + "\""), std::string::npos);
    EXPECT_EQ(h.ui.pointerChanges, (std::vector<Pointer>{Pointer::Hourglass, Pointer::Default}));
    // The settings are the live ones now.
    EXPECT_FALSE(f.Changed(h.state.Global));
}

TEST_F(RegistrationTest, UnchangedSettingsCloseAndSaveNothingANewNameAsksOnceAndStoresNumberZero) {
    SetPathAndFileForm f = Open();
    const std::string before = GlobalCnd();
    h.state.DataFileNumber = 4;  // not recomputed either
    EXPECT_EQ(Ok(f), FormOutcome::Close);
    EXPECT_TRUE(h.ui.shown.empty());
    EXPECT_EQ(h.state.DataFileNumber, 4);
    EXPECT_EQ(GlobalCnd(), before);
    // The program's settings folder cleaned away while it runs is made again: the settings are kept.
    ASSERT_TRUE(std::filesystem::remove_all(h.state.CondFolder) > 0);
    f.SetFolder(data.folder());
    ASSERT_TRUE(f.CommitName("Fresh"));
    EXPECT_EQ(Ok(f), FormOutcome::Applied);
    EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{"The setting conditions are changed. Do you want to renew?"});
    EXPECT_NE(GlobalCnd().find("\"Fresh\""), std::string::npos);
    EXPECT_EQ(h.state.DataFileNumber, 0);
    // Closing names the next file in the main window's caption.
    SetPathAndFileClosed(h.engine);
    EXPECT_EQ(h.main.caption, "KMR-5300 - Fresh.kmr(Next data file)");
}

}  // namespace
}  // namespace kmr
