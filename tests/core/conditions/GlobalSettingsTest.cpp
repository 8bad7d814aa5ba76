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

TEST(GlobalCnd, RoundTripKeepsTextsWithCommasBlanksAndNonAsciiLetters) {
    TempDir dir;
    const auto path = dir.File("Global.cnd");
    GlobalSettings g;
    g.DataFolder = "/mnt/lab, share/測定データ/";
    g.BaseFileName = "";
    g.FileType = 1;
    g.SourcePathName = "/a/";
    g.DestPathName = "/b c/";
    ASSERT_TRUE(SaveGlobalSettings(path, g).ok);
    EXPECT_EQ(ReadAll(path),
              "\"/mnt/lab, share/測定データ/\"\r\n\"\"\r\n1\r\n\"/a/\"\r\n\"/b c/\"\r\n");
    GlobalSettings back = StartupGlobals();
    EXPECT_TRUE(LoadGlobalSettings(path, back).complete);
    EXPECT_EQ(back, g);
}

TEST(GlobalCnd, FileTypeOtherThanKmrOrCsvStopsTheReading) {
    TempDir dir;
    const auto path = dir.File("Global.cnd");
    for (const char* type : {"2", "-1", "70000", "csv"}) {
        WriteAll(path, std::string("\"/d/\"\r\n\"b\"\r\n") + type + "\r\n\"/s/\"\r\n\"/t/\"\r\n");
        GlobalSettings g = StartupGlobals();
        EXPECT_FALSE(LoadGlobalSettings(path, g).complete) << type;
        EXPECT_EQ(g.DataFolder, "/d/");
        EXPECT_EQ(g.FileType, 0);
        EXPECT_EQ(g.SourcePathName, StartupGlobals().SourcePathName);
    }
}

TEST(MeterCnd, MissingFileIsCreatedWithTheDefaults) {
    TempDir dir;
    const auto path = dir.File("Meter.cnd");
    GpibSettings s;
    const LoadResult r = LoadGpibSettings(path, s);
    EXPECT_FALSE(r.complete);
    EXPECT_TRUE(r.rewritten);
    EXPECT_EQ(s, GpibSettings{});
    EXPECT_EQ(ReadAll(path), "20,0,3\r\n");
}

TEST(MeterCnd, ReadsItsThreeItems) {
    TempDir dir;
    const auto path = dir.File("Meter.cnd");
    WriteAll(path, "7,1,10\r\n");
    GpibSettings s;
    EXPECT_TRUE(LoadGpibSettings(path, s).complete);
    EXPECT_EQ(s, (GpibSettings{7, 1, 10}));
    EXPECT_EQ(ReadAll(path), "7,1,10\r\n");
}

TEST(MeterCnd, ValuesThatCannotWorkStopTheReading) {
    struct Case {
        const char* text;
        GpibSettings expected;
    };
    const Case cases[] = {
        {"31,1,5\r\n", {20, 0, 3}},   // primary addresses end at 30
        {"-1,1,5\r\n", {20, 0, 3}},
        {"5,2,5\r\n", {5, 0, 3}},     // delimiter is CR LF or CR
        {"5,1,0\r\n", {5, 1, 3}},     // no attempt at all would never talk
        {"5,1,-4\r\n", {5, 1, 3}},
        {"5,1\r\n", {5, 1, 3}},
    };
    TempDir dir;
    const auto path = dir.File("Meter.cnd");
    for (const auto& c : cases) {
        WriteAll(path, c.text);
        GpibSettings s;
        EXPECT_FALSE(LoadGpibSettings(path, s).complete) << c.text;
        EXPECT_EQ(s, c.expected) << c.text;
        EXPECT_EQ(ReadAll(path), "" + std::to_string(c.expected.Address) + "," +
                                       std::to_string(c.expected.Delimiter) + "," +
                                       std::to_string(c.expected.Attempts) + "\r\n");
    }
}

TEST(HardCnd, ShortTextIsReadAsStored) {
    TempDir dir;
    const auto path = dir.File("Hard.cnd");
    WriteAll(path, "\"10101\"\r\n");
    std::string text = kDefaultInstalledChannelText;
    const LoadResult r = LoadInstalledChannels(path, text);
    EXPECT_TRUE(r.complete);
    EXPECT_FALSE(r.rewritten);
    EXPECT_EQ(text, "10101");
    EXPECT_EQ(ReadAll(path), "\"10101\"\r\n");
}

TEST(HardCnd, MissingFileIsCreatedFromMemory) {
    TempDir dir;
    const auto path = dir.File("Hard.cnd");
    std::string text = kDefaultInstalledChannelText;
    EXPECT_TRUE(LoadInstalledChannels(path, text).rewritten);
    EXPECT_EQ(ReadAll(path), "\"1111111111\"\r\n");
    ASSERT_TRUE(SaveInstalledChannels(path, "1100000000").ok);
    EXPECT_EQ(ReadAll(path), "\"1100000000\"\r\n");
}

TEST(InterfaceCnd, DefaultIsGpib) {
    TempDir dir;
    const auto path = dir.File("Interface.cnd");
    std::string spec = kDefaultInterfaceSpec;
    const LoadResult r = LoadInterfaceSpec(path, spec);
    EXPECT_FALSE(r.complete);
    EXPECT_TRUE(r.rewritten);
    EXPECT_EQ(spec, "gpib");
    EXPECT_EQ(ReadAll(path), "\"gpib\"\r\n");
}

TEST(InterfaceCnd, SpecWithCommasAndColonsRoundTrips) {
    TempDir dir;
    const auto path = dir.File("Interface.cnd");
    const std::string stored = "sim:model=KMR-510C,memory=1,channels=1111100000";
    ASSERT_TRUE(SaveInterfaceSpec(path, stored).ok);
    EXPECT_EQ(ReadAll(path), "\"" + stored + "\"\r\n");
    std::string spec = kDefaultInterfaceSpec;
    EXPECT_TRUE(LoadInterfaceSpec(path, spec).complete);
    EXPECT_EQ(spec, stored);
}

TEST(InterfaceCnd, EmptySpecFallsBackToGpib) {
    TempDir dir;
    const auto path = dir.File("Interface.cnd");
    WriteAll(path, "\"\"\r\n");
    std::string spec = kDefaultInterfaceSpec;
    EXPECT_FALSE(LoadInterfaceSpec(path, spec).complete);
    EXPECT_EQ(spec, "gpib");
    EXPECT_EQ(ReadAll(path), "\"gpib\"\r\n");
}

}  // namespace
}  // namespace kmr
