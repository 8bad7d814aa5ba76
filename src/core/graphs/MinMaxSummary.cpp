#include "core/graphs/MinMaxSummary.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/graphs/ChartModel.h"
#include "core/graphs/NoValue.h"

namespace kmr {

void MinMaxSummary::Clear() {
    samples_ = {};
    levels_.clear();
}

namespace {

// The smallest and largest of the 32 samples at p, in vector registers where the processor has
// them (a record of half a million samples per channel is summarised in about the time it takes
// to read it), else two rows of 16 lanes folded.
#if defined(__SSE2__)
void MinMax32(const std::int16_t* p, std::int16_t& lo, std::int16_t& hi) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 24));
    __m128i l = _mm_min_epi16(_mm_min_epi16(a, b), _mm_min_epi16(c, d));
    __m128i h = _mm_max_epi16(_mm_max_epi16(a, b), _mm_max_epi16(c, d));
    l = _mm_min_epi16(l, _mm_shuffle_epi32(l, _MM_SHUFFLE(1, 0, 3, 2)));
    h = _mm_max_epi16(h, _mm_shuffle_epi32(h, _MM_SHUFFLE(1, 0, 3, 2)));
    l = _mm_min_epi16(l, _mm_shuffle_epi32(l, _MM_SHUFFLE(2, 3, 0, 1)));
    h = _mm_max_epi16(h, _mm_shuffle_epi32(h, _MM_SHUFFLE(2, 3, 0, 1)));
    l = _mm_min_epi16(l, _mm_shufflelo_epi16(l, _MM_SHUFFLE(2, 3, 0, 1)));
    h = _mm_max_epi16(h, _mm_shufflelo_epi16(h, _MM_SHUFFLE(2, 3, 0, 1)));
    lo = static_cast<std::int16_t>(_mm_cvtsi128_si32(l) & 0xFFFF);
    hi = static_cast<std::int16_t>(_mm_cvtsi128_si32(h) & 0xFFFF);
}
#else
void MinMax32(const std::int16_t* p, std::int16_t& lo, std::int16_t& hi) {
    constexpr std::size_t kHalf = MinMaxSummary::kBaseBucket / 2;
    std::array<std::int16_t, kHalf> l, h;
    for (std::size_t k = 0; k < kHalf; ++k) {
        l[k] = std::min(p[k], p[k + kHalf]);
        h[k] = std::max(p[k], p[k + kHalf]);
    }
    for (std::size_t step = kHalf / 2; step > 0; step /= 2)
        for (std::size_t k = 0; k < step; ++k) {
            l[k] = std::min(l[k], l[k + step]);
            h[k] = std::max(h[k], h[k + step]);
        }
    lo = l[0];
    hi = h[0];
}
#endif
static_assert(MinMaxSummary::kBaseBucket == 32, "MinMax32 summarises buckets of 32 samples");

}  // namespace

void MinMaxSummary::Build(std::span<const std::int16_t> samples) {
    Start(samples.size());
    Add(0, samples);
    Finish(samples);
}

void MinMaxSummary::Start(std::size_t count) {
    samples_ = {};
    levels_.clear();
    levels_.emplace_back((count + kBaseBucket - 1) / kBaseBucket);
}

void MinMaxSummary::Add(std::size_t first, std::span<const std::int16_t> piece) {
    // Level 0 from the samples: whole buckets in vector registers, a short last one as it is.
    std::vector<Bucket>& level = levels_.front();
    std::size_t b = first / kBaseBucket;
    const std::size_t whole = piece.size() / kBaseBucket;
    for (std::size_t k = 0; k < whole && b < level.size(); ++k, ++b)
        MinMax32(piece.data() + k * kBaseBucket, level[b].min, level[b].max);
    if (whole * kBaseBucket < piece.size() && b < level.size()) {
        const auto [lo, hi] = std::minmax_element(piece.begin() + static_cast<std::ptrdiff_t>(whole * kBaseBucket),
                                                  piece.end());
        level[b] = {*lo, *hi};
    }
}

void MinMaxSummary::Finish(std::span<const std::int16_t> samples) {
    samples_ = samples;
    std::vector<Bucket> level = levels_.empty() ? std::vector<Bucket>() : std::move(levels_.front());
    levels_.clear();
    // Each level from the one below while it has more than one bucket to combine.
    while (level.size() > 1) {
        std::vector<Bucket> up((level.size() + kFanOut - 1) / kFanOut);
        for (std::size_t b = 0; b < up.size(); ++b) {
            const std::size_t from = b * kFanOut;
            const std::size_t to = std::min(from + kFanOut, level.size());
            Bucket r = level[from];
            for (std::size_t i = from + 1; i < to; ++i) {
                r.min = std::min(r.min, level[i].min);
                r.max = std::max(r.max, level[i].max);
            }
            up[b] = r;
        }
        levels_.push_back(std::move(level));
        level = std::move(up);
    }
    if (!level.empty()) levels_.push_back(std::move(level));
}

std::size_t MinMaxSummary::MemoryBytes() const {
    std::size_t bytes = 0;
    for (const auto& l : levels_) bytes += l.capacity() * sizeof(Bucket);
    return bytes;
}

namespace {

// Widens [lo, hi] by n samples from p. Eight lanes side by side, so the compiler can keep them in
// one vector register: the raw samples at a column's edges are most of a query's work.
void ScanMinMax(const std::int16_t* p, std::size_t n, std::int16_t& lo, std::int16_t& hi) {
    constexpr std::size_t kLanes = 8;
    std::size_t i = 0;
    if (n >= kLanes) {
        std::array<std::int16_t, kLanes> l, h;
        l.fill(lo);
        h.fill(hi);
        for (; i + kLanes <= n; i += kLanes)
            for (std::size_t k = 0; k < kLanes; ++k) {
                l[k] = std::min(l[k], p[i + k]);
                h[k] = std::max(h[k], p[i + k]);
            }
        lo = *std::min_element(l.begin(), l.end());
        hi = *std::max_element(h.begin(), h.end());
    }
    for (; i < n; ++i) {
        lo = std::min(lo, p[i]);
        hi = std::max(hi, p[i]);
    }
}

}  // namespace

std::pair<std::int16_t, std::int16_t> MinMaxSummary::RangeMinMax(std::size_t first,
                                                                 std::size_t last) const {
    const std::size_t end = last + 1;
    // Whole buckets, fewer than climbing a level pays for (a chart column of a long record): one
    // pass over the finest level.
    if (((first | end) & (kBaseBucket - 1)) == 0 && !levels_.empty() && end - first <= 2 * kFanOut * kBaseBucket) {
        const Bucket* b = levels_.front().data() + first / kBaseBucket;
        const Bucket* const e = levels_.front().data() + end / kBaseBucket;
        std::int16_t lo = b->min, hi = b->max;
        for (++b; b != e; ++b) {
            lo = std::min(lo, b->min);
            hi = std::max(hi, b->max);
        }
        return {lo, hi};
    }
    // The range is not empty, so these are replaced; a range of whole buckets never reads a raw
    // sample (ten charts' worth of those are as many misses of the processor's cache).
    std::int16_t lo = std::numeric_limits<std::int16_t>::max(), hi = std::numeric_limits<std::int16_t>::min();
    const auto scan = [&](std::size_t from, std::size_t to) {
        ScanMinMax(samples_.data() + from, to - from, lo, hi);
    };

    // Samples up to the first bucket boundary, then buckets climbing to coarser levels while
    // they fit, then back down to finer ones, then the samples after the last whole bucket.
    // Bucket sizes are powers of two, so alignment is a mask.
    std::size_t i = std::min(end, (first + kBaseBucket - 1) & ~(kBaseBucket - 1));
    scan(first, i);
    if (i == end || levels_.empty()) {
        scan(i, end);
        return {lo, hi};
    }
    std::size_t k = 0, size = kBaseBucket;
    // Takes the n buckets of `level` (each `width` samples) from sample i on.
    static_assert(sizeof(Bucket) == 2 * sizeof(std::int16_t), "a bucket is its minimum, then its maximum");
    const auto take = [&](std::size_t level, std::size_t width, std::size_t n) {
        const Bucket* b = levels_[level].data() + i / width;
        std::size_t j = 0;
#if defined(__SSE2__)
        // Four buckets to a register: minimums in the even lanes, maximums in the odd ones.
        if (n >= 4) {
            __m128i l = _mm_set1_epi16(lo), h = _mm_set1_epi16(hi);
            for (; j + 4 <= n; j += 4) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + j));
                l = _mm_min_epi16(l, v);
                h = _mm_max_epi16(h, v);
            }
            alignas(16) std::array<std::int16_t, 8> ls, hs;
            _mm_store_si128(reinterpret_cast<__m128i*>(ls.data()), l);
            _mm_store_si128(reinterpret_cast<__m128i*>(hs.data()), h);
            for (std::size_t k = 0; k < 8; k += 2) {
                lo = std::min(lo, ls[k]);
                hi = std::max(hi, hs[k + 1]);
            }
        }
#endif
        for (; j < n; ++j) {
            lo = std::min(lo, b[j].min);
            hi = std::max(hi, b[j].max);
        }
        i += n * width;
    };
    while (k + 1 < levels_.size()) {
        const std::size_t next = size * kFanOut;
        const std::size_t toBoundary = ((i + next - 1) & ~(next - 1)) - i;
        take(k, size, std::min(toBoundary, end - i) / size);
        if ((i & (next - 1)) != 0 || i + next > end) break;
        ++k;
        size = next;
    }
    for (;;) {
        take(k, size, (end - i) / size);
        if (k == 0) break;
        --k;
        size /= kFanOut;
    }
    scan(i, end);
    return {lo, hi};
}

bool SampleRangeOf(double xFrom, double xTo, const SampleScale& scale, std::size_t lo,
                   std::size_t hi, std::size_t& first, std::size_t& last) {
    if (hi < lo) return false;
    const double step = SampleStepSeconds(scale.clockMs, scale.timeFactor);
    if (!(step > 0.0) || !std::isfinite(step)) {  // no time axis: every sample sits at 0
        first = lo;
        last = hi;
        return true;
    }
    if (!(xFrom <= xTo)) return false;
    const double f = std::floor(xFrom / step);
    const double l = std::ceil(xTo / step);
    if (l < static_cast<double>(lo) || f > static_cast<double>(hi)) return false;
    first = f <= static_cast<double>(lo) ? lo : static_cast<std::size_t>(f);
    last = l >= static_cast<double>(hi) ? hi : static_cast<std::size_t>(l);
    return first <= last;
}

std::size_t ColumnStart(std::size_t first, std::size_t count, std::size_t columns, std::size_t c) {
    // 64-bit products: count is at most a few million, columns a few thousand.
    const std::size_t start = first + static_cast<std::size_t>(static_cast<std::uint64_t>(count) * c / columns);
    constexpr std::size_t kBucket = MinMaxSummary::kBaseBucket;
    if (c == 0 || c >= columns || count / columns < 4 * kBucket) return start;
    // Nearest bucket boundary; with four buckets or more per column the order is kept.
    return (start + kBucket / 2) & ~(kBucket - 1);
}

namespace {

// Smallest and largest value of samples from .. to (inclusive) that is not the marker, by scanning;
// false when every one is the marker. Only used when an extreme of the column is the marker,
// which takes a coefficient and offset that turn a raw sample into exactly that number.
bool ScanExtremes(std::span<const std::int16_t> samples, const SampleScale& s, std::size_t from,
                  std::size_t to, double& min, double& max) {
    bool any = false;
    for (std::size_t i = from; i <= to; ++i) {
        const double v = EngineeringValue(samples[i], s.coeff, s.offset);
        if (IsNoValue(v)) continue;
        if (!any) min = max = v;
        min = std::min(min, v);
        max = std::max(max, v);
        any = true;
    }
    return any;
}

}  // namespace

void SummaryPoints(const MinMaxSummary& summary, std::span<const std::int16_t> samples,
                   const SampleScale& scale, std::size_t first, std::size_t last,
                   std::size_t columns, ChartPoints& out) {
    out.clear();
    if (first > last || last >= samples.size() || columns == 0) return;
    const std::size_t count = last - first + 1;
    const auto time = [&](std::size_t i) {
        return SampleTime(static_cast<std::int64_t>(i), scale.clockMs, scale.timeFactor);
    };
    if (count <= 2 * columns) {
        out.exact = true;
        out.x.resize(count);
        out.y.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            out.x[i] = time(first + i);
            out.y[i] = EngineeringValue(samples[first + i], scale.coeff, scale.offset);
        }
        return;
    }
    out.x.reserve(2 * columns);
    out.y.reserve(2 * columns);
    double previous = 0.0;
    bool havePrevious = false;
    std::size_t next = ColumnStart(first, count, columns, 0);
    for (std::size_t c = 0; c < columns; ++c) {
        const std::size_t from = next;
        next = ColumnStart(first, count, columns, c + 1);
        const std::size_t to = next - 1;
        const auto [rlo, rhi] = summary.RangeMinMax(from, to);
        // The value rises or falls with the raw sample (falls when the coefficient is negative).
        const double a = EngineeringValue(rlo, scale.coeff, scale.offset);
        const double b = EngineeringValue(rhi, scale.coeff, scale.offset);
        double min = std::min(a, b), max = std::max(a, b);
        if (IsNoValue(min) || IsNoValue(max)) {
            if (!ScanExtremes(samples, scale, from, to, min, max)) {
                // A column of nothing but markers is a gap.
                out.x.push_back(time(from));
                out.y.push_back(kNoValueDouble);
                havePrevious = false;
                continue;
            }
        }
        // Start with the extreme nearer where the line comes from, so the joint between two
        // columns crosses no more than the samples' own line does.
        const bool minFirst = !havePrevious || std::fabs(previous - min) <= std::fabs(previous - max);
        out.x.push_back(time(from));
        out.y.push_back(minFirst ? min : max);
        out.x.push_back(time(to));
        out.y.push_back(minFirst ? max : min);
        previous = out.y.back();
        havePrevious = true;
    }
}

}  // namespace kmr
