#pragma once
// The min/max summary of one channel's raw 16-bit samples, and the points a chart draws from it.
//
// A record of half a million samples per channel is far more than a chart has pixel columns, so
// a chart never takes the record whole: it asks for the points of its visible range at its pixel
// width and gets, per pixel column, the smallest and the largest value of the samples that fall
// into that column (so no peak is lost), or the samples themselves once the range is short enough
// that they fit (at most two per column). Either way the count of points is bounded by the width,
// so a redraw costs the same on the longest record as on a short one.
//
// The summary is a pyramid: level 0 holds the minimum and maximum of every 32 samples, each
// further level those of 16 buckets of the level below. It takes 4 bytes per 32 samples plus a
// sixteenth of that per level above, under a fifteenth of the samples' own memory, and is built
// once per record in one pass.
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace kmr {

class MinMaxSummary {
public:
    static constexpr std::size_t kBaseBucket = 32;  // samples per bucket of level 0
    static constexpr std::size_t kFanOut = 16;      // buckets of a level per bucket of the next

    // Summarises `samples`; the summary refers to them for the parts finer than one bucket, so
    // they must stay in place (and unchanged) while it is used.
    void Build(std::span<const std::int16_t> samples);
    void Clear();
    // The same, for samples that arrive in pieces (a record read from its file), each summarised
    // while it is still in the processor's cache: Start with the count, Add each piece with the
    // index of its first sample (a whole number of buckets; every piece but the last a whole
    // number of buckets long), in any order, then Finish with the samples in place. Pieces that do
    // not overlap may be added from two threads at once.
    void Start(std::size_t count);
    void Add(std::size_t first, std::span<const std::int16_t> piece);
    void Finish(std::span<const std::int16_t> samples);
    // Summarises exactly these samples, in place.
    bool Of(std::span<const std::int16_t> samples) const {
        return samples_.data() == samples.data() && samples_.size() == samples.size();
    }

    std::size_t size() const { return samples_.size(); }
    // Smallest and largest raw sample of the indices first .. last (inclusive, first <= last <
    // size()).
    std::pair<std::int16_t, std::int16_t> RangeMinMax(std::size_t first, std::size_t last) const;
    // Bytes the levels take (not counting the samples).
    std::size_t MemoryBytes() const;

private:
    struct Bucket {
        std::int16_t min, max;
    };
    std::span<const std::int16_t> samples_;
    std::vector<std::vector<Bucket>> levels_;  // levels_[k] has buckets of kBaseBucket*16^k samples
};

// How a raw sample becomes a point: time of a 0-based index and the engineering value of a raw
// sample. Values that equal the no-value marker have no point (a gap in the line).
struct SampleScale {
    float coeff = 1.0f;
    float offset = 0.0f;
    float clockMs = 1.0f;
    double timeFactor = 0.001;
};

struct ChartPoints {
    std::vector<double> x, y;
    bool exact = false;  // the samples themselves, not per-column extremes
    void clear() {
        x.clear();
        y.clear();
        exact = false;
    }
};

// Sample index range [first, last] of the samples from one before `xFrom` to one after `xTo`
// (so that the line reaches the chart's edges), clipped to [lo, hi]; false when the range holds
// no sample.
bool SampleRangeOf(double xFrom, double xTo, const SampleScale& scale, std::size_t lo,
                   std::size_t hi, std::size_t& first, std::size_t& last);

// Start index of pixel column c (0 .. columns) when `count` samples from `first` are spread over
// `columns` columns; column c holds the samples ColumnStart(c) .. ColumnStart(c + 1) - 1. When a
// column holds at least four summary buckets, the boundaries between columns fall on bucket
// boundaries (moved by less than a quarter column), so that a column is whole buckets and its
// extremes are read from the summary alone; the first and last columns still end at the range.
std::size_t ColumnStart(std::size_t first, std::size_t count, std::size_t columns, std::size_t c);

// The points of the samples first .. last drawn `columns` pixel columns wide: the samples
// themselves when there are at most two per column, otherwise per column its smallest and largest
// value (the one nearer the previous column's last point first, at the column's first and last
// sample time). Replaces what `out` held; `out`'s storage is reused.
void SummaryPoints(const MinMaxSummary& summary, std::span<const std::int16_t> samples,
                   const SampleScale& scale, std::size_t first, std::size_t last,
                   std::size_t columns, ChartPoints& out);

}  // namespace kmr
