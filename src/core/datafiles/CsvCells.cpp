#include "core/datafiles/CsvCells.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/datafiles/FileIo.h"
#include "core/support/Numbers.h"

namespace kmr {

CsvNumberCells::CsvNumberCells(std::int32_t first) {
    std::memset(cell_, ' ', kCsvCellBytes);
    len_ = static_cast<int>(std::to_chars(cell_, cell_ + kCsvCellBytes, first).ptr - cell_);
}

void CsvNumberCells::Next() {
    for (int i = len_ - 1; i >= 0; --i) {
        if (cell_[i] != '9') {
            ++cell_[i];
            return;
        }
        cell_[i] = '0';
    }
    // 9...9 became 0...0: one digit more (sample numbers stay far below 16 digits).
    std::memmove(cell_ + 1, cell_, static_cast<std::size_t>(len_));
    cell_[0] = '1';
    ++len_;
}

namespace {

// Powers of ten: 10^0 .. 10^22 exactly (every one is a double without rounding), and the doubles
// nearest to 10^0 .. 10^-22.
constexpr double kPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                               1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr double kPow10Neg[23] = {1e0,   1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,
                                  1e-8,  1e-9,  1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15,
                                  1e-16, 1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22};

// The decimal exponent of float f with magnitude a (a normal float): from the binary one
// (log10(2) ~ 1233 / 4096), which gives it or one less, then one comparison with the next power of
// ten where that is in the tables (no float lies so close to one of the inexact negative powers
// that it could go wrong). Outside 10^-22 .. 10^22 it may be one less.
int DecimalExponent(float f, double a) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    const int e = ((static_cast<int>((bits >> 23) & 0xFF) - 127) * 1233) >> 12;
    return e + 1 >= -22 && e + 1 <= 22 && a >= (e + 1 >= 0 ? kPow10[e + 1] : kPow10Neg[-(e + 1)]) ? e + 1 : e;
}

// The seven significant digits of f (not 0) and the decimal exponent of the first, for the
// magnitudes 1E-16 .. 1E+28; false elsewhere, and where this path cannot be sure of the rounding.
// The float's value is scaled by a power of ten to seven digits before the point. For 10^0 ..
// 10^10 that product is exact (a float has 24 significant bits and 5^10 < 2^24, so it needs at
// most 48), and a half is a true half that goes to the even digit as in the exact conversion.
// Other scalings err by at most 2^-52 relative (below 2.3E-9 for a value under 10^7), so a
// fraction that close to a half is left to the exact conversion.
bool SevenDigits(float f, char* digits, int& exponent) {
    const double v = f;
    const double a = v < 0 ? -v : v;
    if (!(a >= 1e-16 && a < 1e28)) return false;
    int e = DecimalExponent(f, a);
    // The loop corrects the rare exponent that the rounding to 7 digits carries into the next power.
    for (int tries = 0; tries < 3; ++tries) {
        const int shift = 6 - e;
        if (shift < -22 || shift > 22) return false;
        const bool exact = shift >= 0 && shift <= 10;
        const double scaled = shift >= 0 ? a * kPow10[shift] : a * kPow10Neg[-shift];
        const auto whole = static_cast<std::uint32_t>(scaled);
        const double frac = scaled - whole;
        if (!exact && frac > 0.5 - 1e-8 && frac < 0.5 + 1e-8) return false;
        const std::uint32_t m = whole + (frac > 0.5 || (frac == 0.5 && (whole & 1u)) ? 1u : 0u);
        if (m >= 10000000u) {
            ++e;
        } else if (m < 1000000u) {
            --e;
        } else {
            std::to_chars(digits, digits + 7, m);
            exponent = e;
            return true;
        }
    }
    return false;
}

}  // namespace

void PutCsvCell(char* cell, float f) {
    char text[32];
    text[0] = ',';
    std::size_t len = 1;
    char digits[7];
    int e = 0;
    if (SevenDigits(f, digits, e)) {
        if (f < 0) text[len++] = '-';
        len += LayOutSevenDigits(text + len, digits, e);
    } else {
        const std::string t = FormatFloat(f);  // at most 13 characters ("-1.234567E-45")
        len += t.copy(text + 1, sizeof text - 1);
    }
    if (len > kCsvCellBytes) len = kCsvCellBytes;
    std::memcpy(cell, text, len);
    std::memset(cell + len, ' ', kCsvCellBytes - len);
}

std::string FormatCellValue(float v) {
    char cell[kCsvCellBytes];
    PutCsvCell(cell, v);
    std::size_t end = kCsvCellBytes;
    while (end > 1 && cell[end - 1] == ' ') --end;
    return std::string(cell + 1, end - 1);
}

CsvCellTable::CsvCellTable(float coeff, float offset)
    : coeff_(coeff), offset_(offset), memory_(std::make_unique<LargeMemory>(65536 * kCsvCellBytes)),
      cells_(memory_->data()), filled_(65536 / 64, 0) {}

CsvCellTable::~CsvCellTable() = default;

void CsvCellTable::Fill(std::uint16_t i) {
    PutCsvCell(cells_ + static_cast<std::size_t>(i) * kCsvCellBytes,
               CsvCellValue(static_cast<std::int16_t>(i), coeff_, offset_));
    filled_[i >> 6] |= 1ull << (i & 63);
}

// Widens [lowest, highest] to take in the `n` samples, eight at a time where the processor can.
void WidenSampleRange(const std::int16_t* samples, std::size_t n, std::int16_t& lowest, std::int16_t& highest) {
    std::size_t j = 0;
#if defined(__SSE2__)
    if (n >= 8) {
        __m128i lo = _mm_set1_epi16(lowest), hi = _mm_set1_epi16(highest);
        for (; j + 8 <= n; j += 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + j));
            lo = _mm_min_epi16(lo, v);
            hi = _mm_max_epi16(hi, v);
        }
        alignas(16) std::int16_t l[8], h[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(l), lo);
        _mm_store_si128(reinterpret_cast<__m128i*>(h), hi);
        for (int i = 0; i < 8; ++i) {
            lowest = std::min(lowest, l[i]);
            highest = std::max(highest, h[i]);
        }
    }
#endif
    for (; j < n; ++j) {
        lowest = std::min(lowest, samples[j]);
        highest = std::max(highest, samples[j]);
    }
}

}  // namespace kmr
