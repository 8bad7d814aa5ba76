#include "core/support/Progress.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/FakeProgress.h"

namespace kmr {
namespace {

TEST(Progress, PercentRoundsHalvesToEvenAndCapsAt100) {
    Progress p;
    p.MaxPBCount = 8;
    EXPECT_EQ(p.PercentOf(1), 12);   // 12.5 -> 12
    EXPECT_EQ(p.PercentOf(3), 38);   // 37.5 -> 38
    EXPECT_EQ(p.PercentOf(9), 100);  // capped
    p.FinishedVol = 50; p.AllVol = 100; p.CurrentVol = 50; p.MaxPBCount = 2;
    EXPECT_EQ(p.PercentOf(1), 75);
}

TEST(Progress, CsvUnitsYieldOncePerThousandAndStopOnCancel) {
    Progress p;
    p.MaxPBCount = 10;
    testing::FakeProgress view;
    RunStatus status = RunStatus::Ok;
    for (int i = 0; i < 2500; ++i) ASSERT_TRUE(p.CountUnit(view, status));
    EXPECT_EQ(p.ProgressStep, 2);
    EXPECT_EQ(view.percents, (std::vector<int>{10, 20}));
    view.cancelAt = view.looks + 1;  // Cancel is pressed before the next look
    bool went_on = true;
    for (int i = 0; i < 1000 && went_on; ++i) went_on = p.CountUnit(view, status);
    EXPECT_FALSE(went_on);
    EXPECT_EQ(status, RunStatus::Cancelled);
    EXPECT_EQ(p.ProgressStep, 2);
}

}  // namespace
}  // namespace kmr
