#include "core/conditions/OutputCal.h"

#include <gtest/gtest.h>

#include "core/conditions/CndTestFiles.h"

namespace kmr {
namespace {

using testing::ReadAll;
using testing::Repeat;
using testing::TempDir;
using testing::WriteAll;

TEST(OutputCalCnd, MissingFileIsCreatedWithTenLinesOfZeros) {
    TempDir dir;
    const auto path = dir.File("OutputCal.cnd");
    OutputCalConditions c{};
    const LoadResult r = LoadOutputCal(path, c);
    EXPECT_FALSE(r.complete);
    EXPECT_TRUE(r.rewritten);
    EXPECT_EQ(c, OutputCalConditions{});
    EXPECT_EQ(ReadAll(path), Repeat("0,0\r\n", 10));
}

TEST(OutputCalCnd, ThreeLinesSetChannelsOneToThreeAndTheFileGetsTen) {
    TempDir dir;
    const auto path = dir.File("OutputCal.cnd");
    WriteAll(path, "1,1000\r\n0,.5\r\n1,2.5E-3\r\n");
    OutputCalConditions c{};
    const LoadResult r = LoadOutputCal(path, c);
    EXPECT_FALSE(r.complete);
    EXPECT_TRUE(r.rewritten);
    OutputCalConditions expected{};
    expected[0] = {1, 1000.0f};
    expected[1] = {0, 0.5f};
    expected[2] = {1, 0.0025f};
    EXPECT_EQ(c, expected);
    EXPECT_EQ(ReadAll(path), "1,1000\r\n0,0.5\r\n1,0.0025\r\n" + Repeat("0,0\r\n", 7));
}

TEST(OutputCalCnd, SaveThenLoadGivesTheSameSettings) {
    TempDir dir;
    const auto path = dir.File("OutputCal.cnd");
    OutputCalConditions c{};
    c[4] = {1, 12345.67f};
    c[9] = {1, 1e-6f};
    ASSERT_TRUE(SaveOutputCal(path, c).ok);
    OutputCalConditions back{};
    EXPECT_TRUE(LoadOutputCal(path, back).complete);
    EXPECT_EQ(back, c);
}

TEST(OutputCalCnd, NegativeValueOrUnknownUseStopsTheReading) {
    TempDir dir;
    const auto path = dir.File("OutputCal.cnd");
    for (const char* second : {"1,-0.5", "2,5", "1,abc", "1,1E+39"}) {
        WriteAll(path, std::string("1,7\r\n") + second + "\r\n" + Repeat("1,1\r\n", 8));
        OutputCalConditions c{};
        EXPECT_FALSE(LoadOutputCal(path, c).complete) << second;
        EXPECT_EQ(c[0], (OutputCalCondition{1, 7.0f}));
        EXPECT_EQ(c[1].Value, 0.0f) << second;
        EXPECT_EQ(c[9], OutputCalCondition{});
        EXPECT_EQ(ReadAll(path), "1,7\r\n" + std::string(second[0] == '1' ? "1,0" : "0,0") +
                                       "\r\n" + Repeat("0,0\r\n", 8));
    }
}

}  // namespace
}  // namespace kmr
