#include "core/graphs/MinMaxSummary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "core/graphs/ChartModel.h"
#include "core/graphs/NoValue.h"

namespace kmr {
namespace {

// Long enough for four levels (32, 512, 8192, 131072 samples per bucket), with a length that is
// no multiple of any bucket so the last buckets are partial.
constexpr std::size_t kLength = 300007;

std::vector<std::int16_t> RandomRecord(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> d(-32768, 32767);
    std::vector<std::int16_t> v(n);
    for (auto& s : v) s = static_cast<std::int16_t>(d(rng));
    return v;
}

// Column extremes by brute force, leaving out values that are the marker.
bool BruteExtremes(const std::vector<std::int16_t>& raw, const SampleScale& s, std::size_t from,
                   std::size_t to, double& min, double& max) {
    bool any = false;
    for (std::size_t i = from; i <= to; ++i) {
        const double v = EngineeringValue(raw[i], s.coeff, s.offset);
        if (IsNoValue(v)) continue;
        min = any ? std::min(min, v) : v;
        max = any ? std::max(max, v) : v;
        any = true;
    }
    return any;
}

TEST(MinMaxSummaryTest, RangeExtremesEqualABruteForceScan) {
    const auto raw = RandomRecord(kLength, 7);
    // Made in pieces as a file is read by two threads: in no set order, the last one short.
    MinMaxSummary s;
    s.Start(kLength);
    for (std::size_t at = (kLength - 1) / 65536 * 65536;; at -= 65536) {
        s.Add(at, std::span<const std::int16_t>(raw).subspan(at, std::min<std::size_t>(65536, kLength - at)));
        if (at == 0) break;
    }
    s.Finish(raw);
    std::mt19937 rng(11);
    std::uniform_int_distribution<std::size_t> pos(0, kLength - 1);
    std::vector<std::pair<std::size_t, std::size_t>> ranges = {
        {0, 0}, {kLength - 1, kLength - 1}, {0, kLength - 1}, {0, 31}, {31, 32},
        {kLength - 40, kLength - 1}, {131072, 262143}, {5, 5}};
    for (int k = 0; k < 2000; ++k) {
        std::size_t a = pos(rng), b = pos(rng);
        if (k % 3 == 0) b = std::min(kLength - 1, a + pos(rng) % 100);  // short ranges too
        if (k % 3 == 1) {  // whole buckets, as a long record's chart columns are, up to 64 of them
            a = a / 32 * 32;
            b = std::min(kLength - 1, a + (pos(rng) % 64 + 1) * 32 - 1);
        }
        ranges.emplace_back(std::min(a, b), std::max(a, b));
    }
    for (const auto& [a, b] : ranges) {
        const auto [lo, hi] = std::minmax_element(raw.begin() + static_cast<std::ptrdiff_t>(a),
                                                  raw.begin() + static_cast<std::ptrdiff_t>(b) + 1);
        const auto got = s.RangeMinMax(a, b);
        ASSERT_EQ(got.first, *lo) << a << ".." << b;
        ASSERT_EQ(got.second, *hi) << a << ".." << b;
    }
    // The levels take at most an eighth of the samples' memory.
    EXPECT_LE(s.MemoryBytes() * 8, raw.size() * sizeof(std::int16_t));
}

TEST(MinMaxSummaryTest, PointsHoldEveryColumnsExtremesOrTheSamplesThemselves) {
    const auto raw = RandomRecord(kLength, 3);
    MinMaxSummary s;
    s.Build(raw);
    const SampleScale scale{-0.25f, 3.0f, 0.5f, 0.001};  // a negative coefficient turns the order
    std::mt19937 rng(5);
    std::uniform_int_distribution<std::size_t> pos(0, kLength - 1);
    std::uniform_int_distribution<std::size_t> width(1, 3000);
    ChartPoints p;
    for (int k = 0; k < 300; ++k) {
        std::size_t a = pos(rng), b = pos(rng);
        if (a > b) std::swap(a, b);
        if (k == 0) a = b;                      // one sample
        if (k == 1) a = 0;                      // the record's start
        if (k == 2) b = kLength - 1;            // its end
        if (k % 4 == 3) b = std::min(kLength - 1, a + width(rng));  // zoomed in
        const std::size_t columns = k == 1 ? 1 : width(rng);  // down to one column for a whole record
        SummaryPoints(s, raw, scale, a, b, columns, p);
        const std::size_t count = b - a + 1;
        ASSERT_EQ(p.x.size(), p.y.size());
        ASSERT_TRUE(std::is_sorted(p.x.begin(), p.x.end()));
        if (count <= 2 * columns) {
            ASSERT_TRUE(p.exact);
            ASSERT_EQ(p.y.size(), count);
            for (std::size_t i = 0; i < count; ++i) {
                ASSERT_EQ(p.x[i], SampleTime(static_cast<std::int64_t>(a + i), scale.clockMs, scale.timeFactor));
                ASSERT_EQ(p.y[i], EngineeringValue(raw[a + i], scale.coeff, scale.offset));
            }
            continue;
        }
        ASSERT_FALSE(p.exact);
        ASSERT_EQ(p.y.size(), 2 * columns);
        for (std::size_t c = 0; c < columns; ++c) {
            double min = 0, max = 0;
            BruteExtremes(raw, scale, ColumnStart(a, count, columns, c),
                          ColumnStart(a, count, columns, c + 1) - 1, min, max);
            const double y0 = p.y[2 * c], y1 = p.y[2 * c + 1];
            ASSERT_EQ(std::min(y0, y1), min) << "column " << c;
            ASSERT_EQ(std::max(y0, y1), max) << "column " << c;
        }
    }
}

TEST(MinMaxSummaryTest, MarkerValuesAreGapsNotExtremes) {
    // With offset = the marker, a raw 0 becomes exactly the marker value.
    const SampleScale scale{1.0f, kNoValue, 1.0f, 0.001};
    ASSERT_TRUE(IsNoValue(EngineeringValue(0, scale.coeff, scale.offset)));
    std::vector<std::int16_t> raw(4096, 0);  // first half nothing but markers
    for (std::size_t i = 2048; i < raw.size(); ++i) raw[i] = static_cast<std::int16_t>(i % 7 == 0 ? 0 : (i % 5) + 1);
    MinMaxSummary s;
    s.Build(raw);
    ChartPoints p;
    SummaryPoints(s, raw, scale, 0, raw.size() - 1, 64, p);
    ASSERT_FALSE(p.exact);
    std::size_t gaps = 0;
    for (double y : p.y) gaps += IsNoValue(y);
    EXPECT_EQ(gaps, 32u);  // one marker point per all-marker column
    // Columns of the second half: extremes 1 and 5 with the markers left out.
    EXPECT_EQ(p.y.size(), 32u + 2u * 32u);
    EXPECT_EQ(*std::min_element(p.y.end() - 64, p.y.end()), 1.0);
    EXPECT_EQ(*std::max_element(p.y.end() - 64, p.y.end()), 5.0);
    // Exact samples keep their markers for the chart to leave out.
    SummaryPoints(s, raw, scale, 2047, 2050, 64, p);
    ASSERT_TRUE(p.exact);
    EXPECT_TRUE(IsNoValue(p.y[0]));
}

TEST(MinMaxSummaryTest, SampleRangeTakesOneSampleBeyondEachEdgeWithinTheRecord) {
    const SampleScale scale{1.0f, 0.0f, 1.0f, 0.001};  // 1 ms per sample
    struct Case {
        double from, to;
        bool ok;
        std::size_t first, last;
    };
    for (const Case& c : {Case{0.0, 0.999, true, 0, 999}, Case{-5.0, 50.0, true, 0, 999},
                          Case{0.1005, 0.2005, true, 100, 201}, Case{0.5, 0.5, true, 500, 500},
                          Case{0.9995, 2.0, true, 999, 999}, Case{1.5, 2.0, false, 0, 0},
                          Case{-2.0, -1.0, false, 0, 0}}) {
        SCOPED_TRACE(::testing::Message() << c.from << " .. " << c.to);
        std::size_t first = 99, last = 99;
        ASSERT_EQ(SampleRangeOf(c.from, c.to, scale, 0, 999, first, last), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(first, c.first);
        EXPECT_EQ(last, c.last);
    }
}

TEST(MinMaxSummaryTest, ChartModelDrawsARecordFromItsSummary) {
    GraphConditions g;
    MeasConditions m;
    m.SmpClk = 1.0f;
    m.Ch(1) = {.Coeff = 2.0f, .Offset = 1.0f};
    const auto raw = RandomRecord(kLength, 9);
    ChartModel model;
    Progress progress;
    NullProgressView view;
    RunStatus status = RunStatus::Ok;
    model.SetGraphMode(kRecordedMode);
    ASSERT_TRUE(model.LoadRecordSeries(1, raw, static_cast<std::int32_t>(kLength), m, g, progress, view, status));
    ChartPoints p;
    model.VisiblePoints(0, 0.0, 1e9, 1000, p);
    EXPECT_EQ(p.y.size(), 2000u);
    double max = 0, min = 0;
    ASSERT_TRUE(model.DataExtent(0, max, min));
    const auto [lo, hi] = std::minmax_element(raw.begin(), raw.end());
    EXPECT_EQ(max, *hi * 2.0 + 1.0);
    EXPECT_EQ(min, *lo * 2.0 + 1.0);
    EXPECT_EQ(*std::max_element(p.y.begin(), p.y.end()), max);
    // Zoomed in to 20 samples: the samples themselves, one beyond each edge.
    model.VisiblePoints(0, 0.010, 0.0285, 1000, p);
    ASSERT_TRUE(p.exact);
    ASSERT_EQ(p.x.size(), 20u);
    EXPECT_EQ(p.y.front(), raw[10] * 2.0 + 1.0);
}

}  // namespace
}  // namespace kmr
