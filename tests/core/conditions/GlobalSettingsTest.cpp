#include "core/conditions/GlobalSettings.h"

#include <gtest/gtest.h>

#include "core/conditions/CndTestFiles.h"

namespace kmr {
namespace {

using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

// The defaults start-up sets before loading.
GlobalSettings StartupGlobals() {
    GlobalSettings g;
    g.DataFolder = g.SourcePathName = g.DestPathName = "/home/lab/Documents/KMR-5300/Data/";
    g.BaseFileName = "20261206";
    return g;
}

TEST(GlobalCnd, TwoLinesKeepFolderAndBaseNameAndTheFileGetsFiveLines) {
    TempDir dir;
    const auto path = dir.File("Global.cnd");
    WriteAll(path, "\"/data/run 7/\"\r\n\"bridge\"\r\n");
    GlobalSettings g = StartupGlobals();
    const LoadResult r = LoadGlobalSettings(path, g);
    EXPECT_FALSE(r.complete);
    EXPECT_TRUE(r.rewritten);
    GlobalSettings expected = StartupGlobals();
    expected.DataFolder = "/data/run 7/";
    expected.BaseFileName = "bridge";
    EXPECT_EQ(g, expected);
    EXPECT_EQ(ReadAll(path),
              "\"/data/run 7/\"\r\n\"bridge\"\r\n0\r\n"
              "\"/home/lab/Documents/KMR-5300/Data/\"\r\n"
              "\"/home/lab/Documents/KMR-5300/Data/\"\r\n");
}

}  // namespace
}  // namespace kmr
