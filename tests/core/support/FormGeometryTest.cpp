#include "core/support/FormGeometry.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kmr {
namespace {

const MainFormGeometry kStart{11, 22, 33, 44, 1};

TEST(ApplyGeometry, FieldsInOrder) {
    const std::tuple<const char*, bool, MainFormGeometry> cases[] = {  // text, applied, the geometry after
        {"100,200,9000,6000,2", true, {100, 200, 9000, 6000, 2}}, {"100, 200 ,9000", true, {100, 200, 9000, 44, 1}},
        {"  100,200  ", true, {100, 200, 33, 44, 1}}, {"1,2,3,4,0,99", true, {1, 2, 3, 4, 0}},
        {"1,2,3,4,0,x", true, {1, 2, 3, 4, 0}}, {"-120.5,.5,10680,5700,0", true, {-120.5f, 0.5f, 10680, 5700, 0}},
        {"", true, kStart}, {"   ", true, kStart}, {"1,x,3", false, kStart}, {"1,,3", false, kStart},
        {"1,2,3,4,40000", false, kStart}, {"1,5;2,3", false, kStart}, {"1,2,3,1E39", false, kStart},
    };
    for (const auto& [text, applied, expected] : cases) {
        MainFormGeometry g = kStart;
        EXPECT_EQ(ApplyGeometryText(text, g), applied) << text;
        EXPECT_EQ(g, expected) << text;
    }
}

TEST(GeometryText, ShortestFormsRoundTrip) {
    EXPECT_EQ(GeometryText({0, 0, 10680, 5700, 0}), "0,0,10680,5700,0");
    EXPECT_EQ(GeometryText({-120.5f, 0.1f, 16777217.0f, -0.0f, 2}), "-120.5,0.1,16777216,0,2");
    const MainFormGeometry g{1.25f, 3e-3f, 123456.7f, 1e10f, 2};
    MainFormGeometry back;
    ASSERT_TRUE(ApplyGeometryText(GeometryText(g), back));
    EXPECT_EQ(back, g);
    MainFormGeometry d;
    ASSERT_TRUE(ApplyGeometryText(kDefaultGeometryText, d));
    EXPECT_EQ(GeometryText(d), kDefaultGeometryText);
}

}  // namespace
}  // namespace kmr
