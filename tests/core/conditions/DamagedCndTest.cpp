// Damaged condition files (empty, garbage, cut short) are reset to their defaults, but never
// without a word: each one's old content is kept beside it as NAME.damaged (or, with no room for a
// copy, the file is left as it was), and start-up says once which files were reset.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/EngineHarness.h"

namespace kmr {
namespace {

using testing::EngineHarness;
using testing::FileExistsOnDisk;
using testing::ReadAll;
using testing::WriteAll;

// A damaged file of which no copy can be made (every name for it taken by a folder) is left as it
// was, though start-up saves the measurement conditions again, and the message says so after the
// files that were reset and copied.
TEST(DamagedCnd, DamagedFilesAreKeptBesideTheNewOnesOrLeftAsTheyWereAndNamedOnceAtStartUp) {
    EngineHarness h;
    ASSERT_EQ(h.Start(), StartupOutcome::Online);
    const std::string meas = h.CondFile(kMeasCnd), graph = h.CondFile(kGraphCnd), global = h.CondFile(kGlobalCnd);
    const std::string sound = ReadAll(meas), cut = sound.substr(0, 20);
    WriteAll(meas, cut);
    for (const char* n : {"", "-2", "-3", "-4", "-5"}) {
        std::filesystem::create_directory(meas + ".damaged" + n);
        WriteAll(meas + ".damaged" + n + "/mine", "mine");
    }
    WriteAll(graph, std::string("\x01\x02garbage\xff", 11));
    WriteAll(global, "");

    ProgramState second;
    h.ui.shown.clear();
    ASSERT_EQ(h.StartAgain(second), StartupOutcome::Online);
    EXPECT_EQ(ReadAll(meas), cut);
    EXPECT_EQ(ReadAll(graph + ".damaged"), std::string("\x01\x02garbage\xff", 11));
    EXPECT_TRUE(FileExistsOnDisk(global + ".damaged"));
    // (The files themselves load whole again: DamagedCndFile, whose load start-up runs.)
    // One message names the files with their copies, then the one left as it was.
    std::vector<std::string> about;
    for (const auto& s : h.ui.shown)
        if (s.text.rfind(Text(Language::English, txt::ConditionFilesReset), 0) == 0) about.push_back(s.text);
    ASSERT_EQ(about.size(), 1u) << (h.ui.shown.empty() ? "" : h.ui.shown[0].text);
    EXPECT_EQ(about[0], Text(Language::English, txt::ConditionFilesReset) + "\r\n" + graph + " -> " + graph +
                            ".damaged\r\n" + global + " -> " + global + ".damaged\r\n\r\n" +
                            Text(Language::English, txt::ConditionFilesLeftAsTheyWere) + "\r\n" + meas);
    EXPECT_TRUE(second.DamagedConditionFiles.empty());

    // Sound files the next time: nothing is said.
    WriteAll(meas, sound);
    ProgramState third;
    h.ui.shown.clear();
    ASSERT_EQ(h.StartAgain(third), StartupOutcome::Online);
    for (const auto& s : h.ui.shown)
        EXPECT_EQ(s.text.rfind(Text(Language::English, txt::ConditionFilesReset), 0), std::string::npos);
}

}  // namespace
}  // namespace kmr
