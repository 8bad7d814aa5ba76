// Damaged condition files (empty, garbage, cut short) are reset to their defaults, but never
// without a word: each one's old content is kept beside it as NAME.damaged, and start-up says once
// which files were reset.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/EngineHarness.h"

namespace kmr {
namespace {

using testing::EngineHarness;
using testing::FileExistsOnDisk;
using testing::ReadAll;
using testing::WriteAll;

TEST(DamagedCnd, DamagedFilesAreKeptBesideTheNewOnesAndNamedOnceAtStartUp) {
    EngineHarness h;
    ASSERT_EQ(h.Start(), StartupOutcome::Online);
    const std::string meas = h.CondFile(kMeasCnd), graph = h.CondFile(kGraphCnd), global = h.CondFile(kGlobalCnd);
    const std::string cut = ReadAll(meas).substr(0, 20);
    WriteAll(meas, cut);
    WriteAll(graph, std::string("\x01\x02garbage\xff", 11));
    WriteAll(global, "");

    ProgramState second;
    h.ui.shown.clear();
    ASSERT_EQ(h.StartAgain(second), StartupOutcome::Online);
    EXPECT_EQ(ReadAll(meas + ".damaged"), cut);
    EXPECT_EQ(ReadAll(graph + ".damaged"), std::string("\x01\x02garbage\xff", 11));
    EXPECT_TRUE(FileExistsOnDisk(global + ".damaged"));
    // (The files themselves load whole again: DamagedCndFile, whose load start-up runs.)
    // One message names the three files and their copies.
    std::vector<std::string> about;
    for (const auto& s : h.ui.shown)
        if (s.text.rfind(Text(Language::English, txt::ConditionFilesReset), 0) == 0) about.push_back(s.text);
    ASSERT_EQ(about.size(), 1u) << (h.ui.shown.empty() ? "" : h.ui.shown[0].text);
    for (const std::string& f : {meas, graph, global})
        EXPECT_NE(about[0].find(f + " -> " + f + ".damaged"), std::string::npos) << about[0];
    EXPECT_TRUE(second.DamagedConditionFiles.empty());

    // Sound files the next time: nothing is said.
    ProgramState third;
    h.ui.shown.clear();
    ASSERT_EQ(h.StartAgain(third), StartupOutcome::Online);
    for (const auto& s : h.ui.shown)
        EXPECT_EQ(s.text.rfind(Text(Language::English, txt::ConditionFilesReset), 0), std::string::npos);
}

}  // namespace
}  // namespace kmr
