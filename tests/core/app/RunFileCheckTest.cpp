// Before a run starts, the data file's folder and name are checked: a folder that has gone is made
// again; one that cannot be made, or a name the file system cannot take, stops the start before
// anything reaches the instrument, with a message that says what to fix.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "core/app/RunController.h"
#include "support/EngineHarness.h"

namespace kmr {
namespace {

using testing::EngineHarness;

class RunFileCheckTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(h.Measure({1}, 100)); }
    EngineHarness h;
};

// Every missing level of the folder is made again.
TEST_F(RunFileCheckTest, ADataFolderDeletedSinceStartUpIsMadeAgainAndTheRunGoesOn) {
    const std::string folder = h.DataFolder();
    std::filesystem::remove_all(std::filesystem::path(folder).parent_path().parent_path());
    ASSERT_FALSE(std::filesystem::exists(folder));
    h.RunToEnd();
    EXPECT_TRUE(h.ui.shown.empty()) << h.ui.shown[0].text;
    EXPECT_TRUE(h.state.LastTransferComplete);
    EXPECT_EQ(h.state.LastDataFile.rfind(folder, 0), 0u);
    EXPECT_TRUE(std::filesystem::exists(h.state.LastDataFile));
    // The test file went again.
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().filename().string().find("incomplete"), std::string::npos) << entry.path();
}

TEST_F(RunFileCheckTest, AFolderThatCannotBeMadeStopsTheStartBeforeTheInstrumentHearsAnything) {
    // The folder's parent is a file: the folder can be made neither now nor later.
    const std::string blocker = h.home.dir().File("blocker");
    testing::WriteAll(blocker, "a file");
    h.state.Global.DataFolder = blocker + "/Data/";
    StartOrStop(h.engine);
    EXPECT_FALSE(h.state.RunActive());
    EXPECT_TRUE(h.bus->Commands().empty()) << h.bus->Commands()[0];
    ASSERT_EQ(h.ui.shown.size(), 1u);
    const std::string& text = h.ui.shown[0].text;
    EXPECT_EQ(text.rfind("The data folder does not exist and cannot be made again:\n" + blocker + "/Data/\n(", 0), 0u)
        << text;
    EXPECT_NE(text.find("Choose another data folder or name in File > Data File Settings."), std::string::npos) << text;
    EXPECT_EQ(h.ui.shown[0].title, "Error");
    EXPECT_EQ(h.state.Status, RunStatus::Cancelled);
    // The window takes input again, and Start can be pressed once the folder is put right.
    EXPECT_TRUE(h.main.windowEnabled);
    h.state.Global.DataFolder = h.home.dir().File("good") + "/";
    h.RunToEnd();
    EXPECT_TRUE(h.state.LastTransferComplete);
    EXPECT_EQ(h.bus->Commands().front(), "TRG");
}

// A name from an earlier setting that the file system cannot take stops the start with one
// message; monitoring goes on.
TEST(RunFileCheck, ANameTooLongOrWithAForbiddenCharacterStopsTheStart) {
    // "CON" passes the folder's test (its longest name is an ordinary one) but "CON.kmr" is the
    // console on Windows: the recording would be made and then not saved.
    for (const std::string& name : {std::string(300, 'a'), std::string("bad:name"), std::string("CON"),
                                     std::string("a|b"), std::string("a\"b")}) {
        EngineHarness h;
        ASSERT_TRUE(h.Measure({1}, 100));
        h.state.MonitoringOn = kTrue;
        h.main.moniTimer = true;
        h.state.Global.BaseFileName = name;
        StartOrStop(h.engine);
        EXPECT_FALSE(h.state.RunActive());
        EXPECT_TRUE(h.main.moniTimer);
        EXPECT_TRUE(h.bus->Commands().empty());
        ASSERT_EQ(h.ui.shown.size(), 1u) << name;
        if (name.size() == 300) {
            EXPECT_EQ(h.ui.shown[0].text.rfind("The file name is too long: 300 bytes", 0), 0u);
        } else {
            EXPECT_EQ(h.ui.shown[0].text.rfind("File name is improper.\n" + name + "\nChoose another data folder or name", 0), 0u)
                << h.ui.shown[0].text;
        }
    }
}

// Conditions no run can be made with stop the start before the instrument hears anything, with
// the settings window's own message: no measured channel (a Meas.cnd edited by hand) would write a
// data file nothing opens; a data trigger whose only trigger channel is not measured (what start-up
// leaves on an instrument without that channel) or has no level would wait for a trigger forever.
TEST(RunFileCheck, ConditionsNoRunCanBeMadeWithStopTheStart) {
    const struct {
        const char* name;
        std::function<void(MeasConditions&)> edit;
        const char* text;
    } cases[] = {
        {"no measured channel", [](MeasConditions& m) { for (auto& c : m.Channels) c.OnOff = 0; },
         "Measurement channel is not set."},
        {"trigger channel not measured",
         [](MeasConditions& m) {
             m.TrgMode = 1;
             m.Ch(2).DtgOnOff = 1;
         },
         "Data trigger channel is not set."},
        {"trigger level 0",
         [](MeasConditions& m) {
             m.TrgMode = 1;
             m.Ch(1).DtgOnOff = 1;
             m.Ch(1).DtgLevel = 0.0f;
         },
         "Data trigger channel is not set."},
    };
    for (const auto& c : cases) {
        EngineHarness h;
        ASSERT_TRUE(h.Measure({1}, 100));
        c.edit(h.state.Meas);
        StartOrStop(h.engine);
        EXPECT_FALSE(h.state.RunActive()) << c.name;
        EXPECT_TRUE(h.bus->Commands().empty()) << c.name << ": " << h.bus->Commands()[0];
        EXPECT_TRUE(h.state.LastDataFile.empty()) << c.name;
        EXPECT_TRUE(h.main.windowEnabled) << c.name;
        ASSERT_EQ(h.ui.shown.size(), 1u) << c.name;
        EXPECT_EQ(h.ui.shown[0].text, std::string(c.text) +
                                          "\nSet it in File > Meas. Cond. Settings. Nothing was sent to the instrument.")
            << c.name;
        EXPECT_EQ(h.ui.shown[0].title, "Setting error") << c.name;
    }
    // A measured trigger channel with a level starts.
    EngineHarness h;
    ASSERT_TRUE(h.Measure({1}, 100));
    h.state.Meas.TrgMode = 1;
    h.state.Meas.Ch(1).DtgOnOff = 1;
    StartOrStop(h.engine);
    EXPECT_TRUE(h.ui.shown.empty()) << h.ui.shown[0].text;
    EXPECT_TRUE(h.state.RunActive() || !h.state.LastDataFile.empty());
}

}  // namespace
}  // namespace kmr
