#include "core/graphs/StripColumns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "core/graphs/NoValue.h"

namespace kmr {
namespace {

// Applies each tail to a drawn list as the chart does (drop from a key on, then append).
void Apply(std::vector<StripColumns::Point>& drawn, const StripColumns::Tail& t) {
    if (t.drop)
        drawn.erase(std::lower_bound(drawn.begin(), drawn.end(), t.dropFrom,
                                     [](const StripColumns::Point& p, double x) { return p.x < x; }),
                    drawn.end());
    for (std::size_t k = 0; k < t.count; ++k) drawn.push_back(t.add[k]);
}

TEST(StripColumnsTest, EachColumnDrawsItsExtremesAndGapsStayGaps) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> step(0, 40), value(-500, 500), marker(0, 60);
    const double width = 0.1;  // seconds per column; ticks of 0 .. 40 ms
    StripColumns strip;
    strip.Reset(width);
    std::vector<StripColumns::Point> points, drawn;
    double x = 3.0;
    for (int i = 0; i < 5000; ++i) {
        x += step(rng) * 0.001;
        const double y = marker(rng) == 0 ? kNoValueDouble : value(rng);
        points.push_back({x, y});
        Apply(drawn, strip.Add(x, y));
    }
    ASSERT_TRUE(std::is_sorted(drawn.begin(), drawn.end(),
                               [](const auto& a, const auto& b) { return a.x < b.x; }));
    // Brute force: runs of points in one column without a marker between them.
    std::size_t expected = 0;
    for (std::size_t i = 0; i < points.size();) {
        if (IsNoValue(points[i].y)) {
            ++expected;
            ++i;
            continue;
        }
        const auto column = std::floor(points[i].x / width);
        std::size_t j = i;
        double lo = points[i].y, hi = points[i].y;
        while (j < points.size() && !IsNoValue(points[j].y) && std::floor(points[j].x / width) == column) {
            lo = std::min(lo, points[j].y);
            hi = std::max(hi, points[j].y);
            ++j;
        }
        // The drawn points of this run lie between its first and last X.
        std::vector<double> ys;
        for (const auto& d : drawn)
            if (d.x >= points[i].x && d.x <= points[j - 1].x && !IsNoValue(d.y)) ys.push_back(d.y);
        ASSERT_LE(ys.size(), 2u) << "run at " << points[i].x;
        ASSERT_EQ(*std::min_element(ys.begin(), ys.end()), lo);
        ASSERT_EQ(*std::max_element(ys.begin(), ys.end()), hi);
        expected += lo == hi ? 1 : 2;
        i = j;
    }
    EXPECT_EQ(drawn.size(), expected);
    EXPECT_LT(drawn.size(), points.size() / 2);  // thinned, not copied
    // Without a width every point is drawn.
    strip.Reset(0.0);
    drawn.clear();
    for (int i = 0; i < 10; ++i) Apply(drawn, strip.Add(i * 0.05, i % 3));
    EXPECT_EQ(drawn.size(), 10u);
}

}  // namespace
}  // namespace kmr
