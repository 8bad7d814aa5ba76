#include "core/conditions/OutputCal.h"

#include <gtest/gtest.h>

#include "core/conditions/CndTestFiles.h"

namespace kmr {
namespace {

using testing::ReadAll;
using testing::Repeat;
using testing::TempDir;
using testing::WriteAll;

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

}  // namespace
}  // namespace kmr
