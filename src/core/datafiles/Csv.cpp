#include "core/datafiles/Csv.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <span>
#include <system_error>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/datafiles/FileIo.h"
#include "core/support/Numbers.h"
#include "core/support/Vocabulary.h"

namespace kmr {

namespace {

// About 1 MiB of lines per write: big enough for sequential speed, small enough for any file size.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
constexpr std::int32_t kLinesPerPass = 64;

const std::string& Pick(const std::vector<std::string>& list, int index) {
    static const std::string none;
    return index >= 0 && static_cast<std::size_t>(index) < list.size() ? list[static_cast<std::size_t>(index)] : none;
}

std::vector<int> EnabledChannels(const MeasConditions& m) {
    std::vector<int> chs;
    for (int ch = 1; ch <= kChannels; ++ch)
        if (m.Ch(ch).OnOff == 1) chs.push_back(ch);
    return chs;
}

std::string ChannelLabel(int ch) {
    char b[8];
    const int v = std::clamp(ch, 0, 999);
    b[0] = static_cast<char>('0' + v / 100);
    b[1] = static_cast<char>('0' + v / 10 % 10);
    b[2] = static_cast<char>('0' + v % 10);
    return ",CH." + std::string(b, 3);
}

// The sample number, left-aligned and blank-filled to 16 bytes.
void PutNumberCell(char* dst, std::int32_t number) {
    std::memset(dst, ' ', kCsvCellBytes);
    std::to_chars(dst, dst + kCsvCellBytes, number);
}

// The sample-number cells of consecutive lines, counted up in decimal text.
class NumberCells {
public:
    explicit NumberCells(std::int32_t first) {
        std::memset(cell_, ' ', kCsvCellBytes);
        len_ = static_cast<int>(std::to_chars(cell_, cell_ + kCsvCellBytes, first).ptr - cell_);
    }
    const char* cell() const { return cell_; }
    void Next() {
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

private:
    char cell_[kCsvCellBytes];
    int len_ = 0;
};

std::size_t LinesPerChunk(std::size_t lineBytes) { return std::max<std::size_t>(1, kChunkBytes / lineBytes); }

// Powers of ten: 10^0 .. 10^22 exactly (every one is a double without rounding), and the doubles
// nearest to 10^0 .. 10^-22.
constexpr double kPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                               1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr double kPow10Neg[23] = {1e0,   1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,
                                  1e-8,  1e-9,  1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15,
                                  1e-16, 1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22};

// a x 10^shift for |shift| <= 22: relative error at most 2^-52 (one or two roundings).
inline double ScaleByPow10(double a, int shift) { return shift >= 0 ? a * kPow10[shift] : a * kPow10Neg[-shift]; }

// The decimal exponent of float f with magnitude a (a normal float): from the binary one
// (log10(2) ~ 1233 / 4096), which gives it or one less, then one comparison with the next power of
// ten where that is in the tables (no float lies so close to one of the inexact negative powers
// that it could go wrong). Outside 10^-22 .. 10^22 it may be one less.
int DecimalExponent(float f, double a) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    const int e = ((static_cast<int>((bits >> 23) & 0xFF) - 127) * 1233) >> 12;
    return e + 1 >= -22 && e + 1 <= 22 && a >= ScaleByPow10(1.0, e + 1) ? e + 1 : e;
}

// The eight decimal digits of n < 10^8 as byte values, the first (most significant) in the lowest
// byte: two halves of four digits, four of two, eight of one, each step in all lanes at once.
std::uint64_t EightDigits(std::uint64_t n) {
    const std::uint64_t x = (n / 10000) | ((n % 10000) << 32);
    const std::uint64_t hundreds = ((x * 10486) >> 20) & 0x0000007F0000007Full;  // x / 100 in each lane
    const std::uint64_t y = hundreds | ((x - 100 * hundreds) << 16);
    const std::uint64_t tens = ((y * 103) >> 10) & 0x000F000F000F000Full;  // y / 10 in each lane
    return tens | ((y - 10 * tens) << 8);
}

// The text FormatFloat gives, produced faster for the common magnitudes: the float's exact value
// is scaled by a power of ten (relative error at most 2^-52, so below 2.3E-9 for a scaled value
// under 10^7) and rounded to 7 digits. When the scaled value lies so close to a half that this
// error could matter (or the magnitude is outside 1E-16 .. 1E+28), FormatFloat decides. Returns
// the length written to `out` (at least 32 bytes).
std::size_t FormatFloatFast(char* out, float f) {
    const double v = f;
    const double a = v < 0 ? -v : v;
    auto exact = [out, f] {
        const std::string t = FormatFloat(f);
        std::memcpy(out, t.data(), t.size());
        return t.size();
    };
    if (!(a >= 1e-16 && a < 1e28)) return exact();
    // The loop corrects the rare exponent that the rounding to 7 digits carries into the next power.
    int e = DecimalExponent(f, a);
    std::uint32_t m = 0;
    for (int tries = 0; tries < 3; ++tries) {
        const int shift = 6 - e;
        if (shift < -22 || shift > 22) return exact();
        const double scaled = ScaleByPow10(a, shift);
        const double whole = static_cast<double>(static_cast<std::uint32_t>(scaled));
        const double frac = scaled - whole;
        if (frac > 0.5 - 1e-8 && frac < 0.5 + 1e-8) return exact();  // too close to a half
        m = static_cast<std::uint32_t>(whole) + (frac > 0.5 ? 1u : 0u);
        if (m >= 10000000u) {
            ++e;
        } else if (m < 1000000u) {
            --e;
        } else {
            break;
        }
        m = 0;
    }
    if (m == 0) return exact();
    // Seven digits (and a '0'), then without the zeros at the end.
    const std::uint64_t d = EightDigits(std::uint64_t{m} * 10);
    const int nd = 8 - std::countl_zero(d) / 8;
    char digits[8];
    for (int i = 0; i < 8; ++i) digits[i] = static_cast<char>('0' + ((d >> (8 * i)) & 0xFF));
    char* o = out;
    if (v < 0) *o++ = '-';
    if (e < -4 || e >= 7) {
        *o++ = digits[0];
        if (nd > 1) {
            *o++ = '.';
            std::memcpy(o, digits + 1, static_cast<std::size_t>(nd - 1));
            o += nd - 1;
        }
        *o++ = 'E';
        *o++ = e < 0 ? '-' : '+';
        const int ae = e < 0 ? -e : e;
        *o++ = static_cast<char>('0' + ae / 10);
        *o++ = static_cast<char>('0' + ae % 10);
    } else if (e >= 0) {
        const int intDigits = e + 1;
        for (int i = 0; i < intDigits; ++i) *o++ = i < nd ? digits[i] : '0';
        if (nd > intDigits) {
            *o++ = '.';
            for (int i = intDigits; i < nd; ++i) *o++ = digits[i];
        }
    } else {
        *o++ = '0';
        *o++ = '.';
        for (int i = 0; i < -e - 1; ++i) *o++ = '0';
        std::memcpy(o, digits, static_cast<std::size_t>(nd));
        o += nd;
    }
    return static_cast<std::size_t>(o - out);
}

bool Fail(FileHandle& f, const std::string& path, CsvContext& ctx) {
    ReportFileError(f.error() != 0 ? f.error() : EIO, path, ctx.ui, ctx.status);
    return false;
}

// The cell of a value by the general path.
void PutCellGeneral(char* cell, float v) {
    char text[48];
    text[0] = ',';
    const std::size_t len = std::min(1 + FormatFloatFast(text + 1, v), kCsvCellBytes);
    std::memcpy(cell, text, len);
    std::memset(cell + len, ' ', kCsvCellBytes - len);
}

// Extra bytes PutCellInPlace may write after a cell.
constexpr std::size_t kCellOverrun = 16;

// The cell of a value: "," + FormatFloat's text, blank-filled to 16 bytes. Values written without
// an exponent (magnitudes 1E-4 .. 1E+7), nearly all of a recording, are laid out with few
// branches that depend on the digits and with stores only, which matters when hundreds of
// thousands are formatted; the bytes after the cell (kCellOverrun) may be overwritten, so cells
// in a row are filled from first to last and the row has that much room after it.
void PutCellInPlace(char* cell, float f) {
    if constexpr (std::endian::native != std::endian::little) return PutCellGeneral(cell, f);
    const double v = f;
    const double a = v < 0 ? -v : v;
    if (!(a >= 1e-4 && a < 1e7)) return PutCellGeneral(cell, f);
    const int e = DecimalExponent(f, a);
    // Seven significant digits. The scaling is exact: a float has 24 significant bits and 10^k
    // = 2^k x 5^k with 5^k below 2^24 for k <= 10, so the product needs at most 48. A half is
    // therefore a true half and goes to the even digit, as in the exact conversion.
    const double scaled = a * kPow10[6 - e];
    const auto whole = static_cast<std::uint32_t>(scaled);
    const double frac = scaled - whole;
    const std::uint32_t m = whole + (frac > 0.5 || (frac == 0.5 && (whole & 1u)) ? 1u : 0u);
    if (m < 1000000u || m >= 10000000u) return PutCellGeneral(cell, f);

    // The seven digits and a '0' as eight digit values, first digit in the lowest byte; the
    // count of zero bytes at the top is the count of zeros at the end (the first digit is not 0).
    const std::uint64_t d = EightDigits(std::uint64_t{m} * 10);
    const int nd = 8 - std::countl_zero(d) / 8;
    const std::uint64_t digits = d + 0x3030303030303030ull;
    const int at = v < 0 ? 2 : 1;
    int len;
    if (e >= 0) {
        // The integer digits, the point, the rest; the point only when digits follow it.
        const int intDigits = e + 1;
        const std::uint64_t rest = digits >> (8 * intDigits);
        std::memcpy(cell + at, &digits, 8);
        cell[at + intDigits] = '.';
        std::memcpy(cell + at + intDigits + 1, &rest, 8);
        len = at + (nd > intDigits ? nd + 1 : intDigits);
    } else {
        // "0." and -e - 1 zeros before the digits.
        std::memcpy(cell + at, "0.000000", 8);
        std::memcpy(cell + at + 1 - e, &digits, 8);
        len = at + 1 - e + nd;
    }
    std::memcpy(cell + len, "                ", 16);
    cell[0] = ',';
    if (v < 0) cell[1] = '-';
}

// The same for a single cell, which may be filled in any order.
void PutCell(char* cell, float f) {
    char text[kCsvCellBytes + kCellOverrun];
    PutCellInPlace(text, f);
    std::memcpy(cell, text, kCsvCellBytes);
}

}  // namespace

std::string FormatCellValue(float v) {
    char cell[kCsvCellBytes];
    PutCell(cell, v);
    std::size_t end = kCsvCellBytes;
    while (end > 1 && cell[end - 1] == ' ') --end;
    return std::string(cell + 1, end - 1);
}

// --- Layout --------------------------------------------------------------------------------------------

std::string CsvHeaderText(const FileConditions& fc, Language textLanguage, Language unitLanguage) {
    const std::vector<int> chs = EnabledChannels(fc);
    std::string h;
    auto line = [&h](const std::string& s) {
        h += s;
        h += "\r\n";
    };
    std::string trig = fc.TriggerTime;
    trig.erase(trig.find_last_not_of(' ') + 1);
    line("TRG TIME," + trig);
    line("TRG MODE," + Pick(TriggerModeNames(textLanguage), fc.TrgMode));
    line("SMP CLK," + FormatFloat(fc.SmpClk) + ",(mSec.)");
    line("MRY," + std::to_string(fc.MemoryWords) + ",(Word)");
    line("PRE-MRY," + std::to_string(fc.PreMemoryWords) + ",(Word)");
    if (fc.Averaging == 0)
        line("AVE.,OFF,(Point)");
    else
        line("AVE.," + std::to_string(1ll << std::clamp<int>(fc.Averaging, 0, 62)) + ",(Point)");
    line("");
    auto perChannel = [&](const char* head, auto&& item) {
        std::string s = head;
        for (int ch : chs) s += item(fc.Ch(ch), ch);
        line(s);
    };
    perChannel("COND.", [](const ChannelCondition&, int ch) { return ChannelLabel(ch); });
    perChannel("MODE", [](const ChannelCondition& c, int) { return "," + InputModeName(c.InputMode); });
    perChannel("L.P.F", [](const ChannelCondition& c, int) { return "," + Pick(FilterNames(), c.Lpf); });
    perChannel("COEFF.", [](const ChannelCondition& c, int) { return "," + FormatFloat(c.Coeff); });
    perChannel("POINT", [](const ChannelCondition& c, int) {
        return "," + std::string(c.Point >= 0 && c.Point <= 5 ? DigitFormatWithBlanks(c.Point) : "");
    });
    perChannel("UNIT", [&](const ChannelCondition& c, int) { return "," + Pick(UnitNames(unitLanguage), c.Unit); });
    perChannel("DTG ON/OFF", [](const ChannelCondition& c, int) { return "," + ToUpperAscii(Pick(OffOnNames(), c.DtgOnOff)); });
    perChannel("DTG LVL", [](const ChannelCondition& c, int) { return "," + FormatFloat(c.DtgLevel); });
    perChannel("OFFSET", [](const ChannelCondition& c, int) { return "," + FormatFloat(c.Offset); });
    line("");
    perChannel("NO.", [](const ChannelCondition&, int ch) { return ChannelLabel(ch); });
    return h;
}

CsvLayout PlanCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc) {
    CsvLayout layout;
    layout.channels = static_cast<int>(EnabledChannels(fc).size());
    layout.lineBytes = kCsvCellBytes * static_cast<std::size_t>(layout.channels + 1) + 2;
    layout.header = CsvHeaderText(fc, TextLanguage(), LanguageOfUserLanguageId(UserLanguageId()));
    const std::int32_t n = std::max<std::int32_t>(fc.WordsConverted, 0);
    if (n <= kCsvLinesPerPart) {
        layout.parts.push_back({folder + fileName, 0, n});
        return layout;
    }
    const std::string stem = folder + fileName.substr(0, fileName.size() >= 4 ? fileName.size() - 4 : 0);
    for (std::int32_t first = 0, j = 0; first < n; first += kCsvLinesPerPart, ++j) {
        layout.parts.push_back({stem + "_" + static_cast<char>('A' + j) + ".csv", first,
                                std::min(kCsvLinesPerPart, n - first)});
    }
    return layout;
}

// --- Cells ---------------------------------------------------------------------------------------------

namespace {

// raw * coeff + offset in double, rounded once to float.
float CellValue(std::int16_t raw, float coeff, float offset) {
    return static_cast<float>(static_cast<double>(raw) * static_cast<double>(coeff) + static_cast<double>(offset));
}

}  // namespace

CsvCellTable::CsvCellTable(float coeff, float offset)
    : coeff_(coeff), offset_(offset), memory_(std::make_unique<LargeMemory>(65536 * kCsvCellBytes)),
      cells_(memory_->data()), filled_(65536 / 64, 0) {}

CsvCellTable::~CsvCellTable() = default;

void CsvCellTable::Fill(std::uint16_t i) {
    PutCell(cells_ + static_cast<std::size_t>(i) * kCsvCellBytes, CellValue(static_cast<std::int16_t>(i), coeff_, offset_));
    filled_[i >> 6] |= 1ull << (i & 63);
}

// --- Progress ------------------------------------------------------------------------------------------

bool CountCsvUnits(Progress& p, ProgressView& view, RunStatus& status, std::int64_t units) {
    // Most calls end far from the next yield.
    if (p.ProgressIncrement > 0 && p.ProgressCounter + units * p.ProgressIncrement < p.TransferBlockWords) {
        p.ProgressCounter = static_cast<std::int16_t>(p.ProgressCounter + units * p.ProgressIncrement);
        return true;
    }
    while (units > 0) {
        if (p.ProgressIncrement <= 0) {
            if (!p.CountUnit(view, status)) return false;
            --units;
            continue;
        }
        // CountUnit yields on the unit that brings the counter to TransferBlockWords.
        const std::int64_t room = std::max<std::int64_t>(0, p.TransferBlockWords - p.ProgressCounter);
        const std::int64_t toYield = std::max<std::int64_t>(1, (room + p.ProgressIncrement - 1) / p.ProgressIncrement);
        if (units < toYield) {
            p.ProgressCounter = static_cast<std::int16_t>(p.ProgressCounter + units * p.ProgressIncrement);
            return true;
        }
        p.ProgressCounter = static_cast<std::int16_t>(p.ProgressCounter + (toYield - 1) * p.ProgressIncrement);
        units -= toYield;
        if (!p.CountUnit(view, status)) return false;
    }
    return true;
}

// --- Column by column ----------------------------------------------------------------------------------

bool CreateCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                    CsvLayout& layout, CsvContext& ctx) {
    layout = PlanCsvFiles(folder, fileName, fc);
    const std::size_t lb = layout.lineBytes;
    std::vector<char> chunk(LinesPerChunk(lb) * lb);
    for (const CsvPart& part : layout.parts) {
        FileHandle f;
        if (!f.Open(part.path, FileHandle::Mode::CreateNew) || !f.Append(layout.header.data(), layout.header.size()))
            return Fail(f, part.path, ctx);
        std::size_t used = 0;
        bool cancelled = false;
        for (std::int32_t i = 0; i < part.lines; ++i) {
            if (!CountCsvUnits(ctx.progress, ctx.view, ctx.status, 1)) {
                cancelled = true;
                break;
            }
            char* line = chunk.data() + used;
            PutNumberCell(line, part.firstSample + i);
            std::memset(line + kCsvCellBytes, ' ', lb - kCsvCellBytes - 2);
            line[lb - 2] = '\r';
            line[lb - 1] = '\n';
            used += lb;
            if (used == chunk.size()) {
                if (!f.Append(chunk.data(), used)) return Fail(f, part.path, ctx);
                used = 0;
            }
        }
        if ((used > 0 && !f.Append(chunk.data(), used)) || !f.Close()) return Fail(f, part.path, ctx);
        if (cancelled || ctx.status == RunStatus::Cancelled) return false;
    }
    return true;
}

bool WriteCsvColumn(const CsvLayout& layout, int k, const SampleBuffer& samples, std::int32_t n, float coeff,
                    float offset, CsvContext& ctx) {
    if (k < 0 || k >= layout.channels) return true;
    CsvCellTable table(coeff, offset);
    const std::size_t lb = layout.lineBytes;
    const std::size_t column = kCsvCellBytes * static_cast<std::size_t>(k + 1);
    const std::size_t perChunk = LinesPerChunk(lb);
    std::vector<char> chunk(perChunk * lb);
    const std::int32_t available = static_cast<std::int32_t>(std::min<std::size_t>(samples.size(), static_cast<std::size_t>(std::max(n, 0))));
    for (const CsvPart& part : layout.parts) {
        const std::int32_t lines = std::clamp(available - part.firstSample, 0, part.lines);
        if (lines == 0) continue;
        FileHandle f;
        if (!f.Open(part.path, FileHandle::Mode::ReadWrite)) return Fail(f, part.path, ctx);
        bool cancelled = false;
        for (std::int32_t done = 0; done < lines && !cancelled;) {
            const std::int32_t count = std::min<std::int32_t>(static_cast<std::int32_t>(perChunk), lines - done);
            const std::int64_t at = layout.FirstDataOffset() + static_cast<std::int64_t>(done) * static_cast<std::int64_t>(lb);
            const std::size_t bytes = static_cast<std::size_t>(count) * lb;
            if (!f.ReadAt(at, chunk.data(), bytes)) return Fail(f, part.path, ctx);
            std::int32_t patched = 0;
            for (; patched < count; ++patched) {
                if (!CountCsvUnits(ctx.progress, ctx.view, ctx.status, 1)) {
                    cancelled = true;
                    break;
                }
                const std::int16_t raw = samples[static_cast<std::size_t>(part.firstSample + done + patched)];
                std::memcpy(chunk.data() + static_cast<std::size_t>(patched) * lb + column, table.Cell(raw), kCsvCellBytes);
            }
            if (patched > 0 && !f.WriteAt(at, chunk.data(), static_cast<std::size_t>(patched) * lb))
                return Fail(f, part.path, ctx);
            done += count;
        }
        if (!f.Close()) return Fail(f, part.path, ctx);
        if (cancelled || ctx.status == RunStatus::Cancelled) return false;
    }
    return true;
}

// --- Line by line ----------------------------------------------------------------------------------------

namespace {

// Samples per channel read at once by a worker, and the bytes of lines it writes at once.
constexpr std::int32_t kReadLines = 8192;
constexpr std::size_t kWriteBytes = std::size_t{256} << 10;

class SpanSource final : public CsvSampleSource {
public:
    explicit SpanSource(const std::vector<std::span<const std::int16_t>>& channels) : channels_(channels) {}
    int Read(int k, std::int32_t first, std::int32_t count, std::int16_t* dest) const override {
        const auto& c = channels_[static_cast<std::size_t>(k)];
        if (first < 0 || count < 0 || static_cast<std::size_t>(first) + static_cast<std::size_t>(count) > c.size())
            return -1;
        std::memcpy(dest, c.data() + first, static_cast<std::size_t>(count) * sizeof(std::int16_t));
        return 0;
    }
    const std::string& Name() const override {
        static const std::string none;
        return none;
    }

private:
    const std::vector<std::span<const std::int16_t>>& channels_;
};

// A worker's memory, in the writer's memory block: kReadLines samples of every channel and a
// chunk of lines on their way to the file.
class WorkerMemory {
public:
    // The chunk holds a piece of kWriteBytes and what runs over: the header or a line.
    static std::size_t ChunkBytes(const CsvLayout& layout) {
        return (kWriteBytes + std::max(layout.lineBytes, layout.header.size()) + 63) / 64 * 64;
    }
    static std::size_t SamplesBytes(int channels) {
        return static_cast<std::size_t>(std::max(channels, 1)) * kReadLines * sizeof(std::int16_t);
    }
    static std::size_t BytesFor(const CsvLayout& layout) {
        return SamplesBytes(layout.channels) + ChunkBytes(layout);
    }
    WorkerMemory(char* base, const CsvLayout& layout) : base_(base), chunk_(base + SamplesBytes(layout.channels)) {}

    std::int16_t* Samples(int k) { return reinterpret_cast<std::int16_t*>(base_) + static_cast<std::size_t>(k) * kReadLines; }
    char* Chunk() { return chunk_; }

private:
    char* base_;
    char* chunk_;
};

// Widens [lowest, highest] to take in the `n` samples, eight at a time where the processor can.
void WidenRange(const std::int16_t* samples, std::size_t n, std::int16_t& lowest, std::int16_t& highest) {
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

// The formatted cells of one channel, for the raw words from `lowest` to the highest it holds.
struct ChannelCells {
    const char* cells = nullptr;
    int lowest = 0;
    const char* Of(std::int16_t raw) const { return cells + static_cast<std::size_t>(raw - lowest) * kCsvCellBytes; }
};

// One run of the line writer. The calling thread is worker 0 and does all the counting; a helper
// thread, when there is one, takes channels to prepare and then parts to write, and hands its
// written lines over for counting.
class LineWriter {
public:
    LineWriter(const CsvLayout& layout, const FileConditions& fc, const CsvSampleSource& source, CsvContext& ctx)
        : layout_(layout), K_(layout.channels), n_(std::max<std::int32_t>(fc.WordsConverted, 0)), source_(source),
          ctx_(ctx), two_(layout.parts.size() >= 2 && std::thread::hardware_concurrency() >= 2),
          workerBytes_((WorkerMemory::BytesFor(layout) + 63) / 64 * 64),
          memory_((two_ ? 2 : 1) * workerBytes_ + static_cast<std::size_t>(K_) * (65536 * kCsvCellBytes + kCellOverrun + 64)),
          cells_(static_cast<std::size_t>(K_)) {
        for (int ch = 1; ch <= kChannels; ++ch)
            if (fc.Ch(ch).OnOff == 1) scale_.push_back({fc.Ch(ch).Coeff, fc.Ch(ch).Offset});
        workers_.emplace_back(memory_.data(), layout);
        if (two_) workers_.emplace_back(memory_.data() + workerBytes_, layout);
        cellsUsed_ = (two_ ? 2 : 1) * workerBytes_;
    }

    bool Run() {
        // One helper thread for both steps: a thread that is started or woken late costs a
        // millisecond or more on a virtual machine.
        {
            std::lock_guard<std::mutex> lock(mutex_);
            helperBusy_ = two_;
        }
        std::thread helper = Start([this] {
            PrepareTables(workers_.back());
            MeetAfterTables();
            if (!Stopped()) WriteParts(workers_.back(), false);
            std::lock_guard<std::mutex> lock(mutex_);
            helperBusy_ = false;
            helperProgress_.notify_one();
        }, two_);
        if (!helper.joinable()) {
            std::lock_guard<std::mutex> lock(mutex_);
            helperBusy_ = false;
        }
        // Every cell the file needs is formatted first (channels shared out), so that writing
        // only reads the tables.
        PrepareTables(workers_.front());
        if (helper.joinable()) MeetAfterTables();
        if (!Stopped()) WriteParts(workers_.front(), true);
        CountUntilHelperEnds();
        if (helper.joinable()) helper.join();
        if (error_ != 0) {
            ReportFileError(error_, errorPath_, ctx_.ui, ctx_.status);
            return false;
        }
        return !cancelled_ && ctx_.status != RunStatus::Cancelled;
    }

private:
    // A helper thread, or none when not wanted or the system refuses one (the calling thread
    // then does everything).
    template <class F>
    static std::thread Start(F&& work, bool wanted) {
        if (!wanted) return {};
        try {
            return std::thread(std::forward<F>(work));
        } catch (const std::system_error&) {
            return {};
        }
    }

    bool Stopped() const { return stop_.load(std::memory_order_relaxed); }

    // Both threads wait here for each other. The first to come spins for a while rather than
    // sleeping, since the other one is close behind.
    void MeetAfterTables() {
        arrived_.fetch_add(1);
        for (int spins = 0; arrived_.load() < 2; ++spins) {
#if defined(__SSE2__)
            if (spins < 100000) {
                _mm_pause();
                continue;
            }
#endif
            std::this_thread::yield();
        }
    }

    void Fail(int err, const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (error_ == 0) {
            error_ = err > 0 ? err : EIO;
            errorPath_ = path;
        }
        stop_ = true;
    }

    // Formats the cells of every raw word from each channel's lowest to its highest (for a
    // recorded signal nearly all of them occur), in memory taken one channel after the other.
    void PrepareTables(WorkerMemory& memory) {
        for (int k; !Stopped() && (k = nextChannel_++) < K_;) {
            // The samples of every channel's stretch of lines are room for one channel's many.
            const std::int32_t room = kReadLines * std::max(K_, 1);
            std::int16_t lowest = 32767, highest = -32768;
            for (std::int32_t first = 0; first < n_; first += room) {
                const std::int32_t count = std::min(room, n_ - first);
                std::int16_t* samples = memory.Samples(0);
                if (const int rc = source_.Read(k, first, count, samples); rc != 0) {
                    Fail(rc, source_.Name());
                    return;
                }
                WidenRange(samples, static_cast<std::size_t>(count), lowest, highest);
            }
            if (highest < lowest) continue;  // no samples
            const std::size_t bytes = static_cast<std::size_t>(highest - lowest + 1) * kCsvCellBytes + kCellOverrun;
            char* cells = memory_.data() + cellsUsed_.fetch_add((bytes + 63) / 64 * 64);
            const auto [coeff, offset] = scale_[static_cast<std::size_t>(k)];
            for (int raw = lowest; raw <= highest; ++raw)  // in order: a cell may overrun into the next
                PutCellInPlace(cells + static_cast<std::size_t>(raw - lowest) * kCsvCellBytes,
                               CellValue(static_cast<std::int16_t>(raw), coeff, offset));
            cells_[static_cast<std::size_t>(k)] = {cells, lowest};
        }
    }

    void WriteParts(WorkerMemory& memory, bool caller) {
        for (std::size_t p; !Stopped() && (p = nextPart_++) < layout_.parts.size();)
            if (!WritePart(layout_.parts[p], memory, caller)) return;
    }

    // Writes go out in pieces of kWriteBytes that start at multiples of kWriteBytes in the file
    // (the header and the lines run on from one piece into the next): the system handles whole,
    // aligned pieces of its cache noticeably faster.
    bool WritePart(const CsvPart& part, WorkerMemory& memory, bool caller) {
        FileHandle f;
        if (!f.Open(part.path, FileHandle::Mode::CreateNew)) {
            Fail(f.error(), part.path);
            return false;
        }
        const std::size_t lb = layout_.lineBytes;
        char* out = memory.Chunk();
        std::memcpy(out, layout_.header.data(), layout_.header.size());
        std::size_t held = layout_.header.size();  // bytes in `out` not yet written
        auto writeFull = [&]() {
            std::size_t from = 0;
            for (; held - from >= kWriteBytes; from += kWriteBytes)
                if (!f.Append(out + from, kWriteBytes)) return false;
            if (from > 0) {
                held -= from;
                std::memmove(out, out + from, held);
            }
            return true;
        };
        const std::int32_t end = part.firstSample + part.lines;
        bool stopped = false, ok = writeFull();
        for (std::int32_t first = part.firstSample; ok && first < end && !stopped; first += kReadLines) {
            const std::int32_t block = std::min(kReadLines, end - first);
            for (int k = 0; k < K_; ++k) {
                if (const int rc = source_.Read(k, first, block, memory.Samples(k)); rc != 0) {
                    Fail(rc, source_.Name());
                    return false;
                }
            }
            for (std::int32_t done = 0; ok && done < block && !stopped;) {
                // Lines up to the end of the next piece; a cancel stops before the line at which
                // it was seen.
                const auto toFill = static_cast<std::int32_t>((kWriteBytes - held + lb - 1) / lb);
                const std::int32_t want = std::min(toFill, block - done);
                const std::int32_t count = caller ? CountOwnLines(want) : (Stopped() ? 0 : want);
                stopped = count < want;
                AssembleLines(out + held, memory, done, count, first + done);
                held += static_cast<std::size_t>(count) * lb;
                ok = writeFull();
                if (!caller && count > 0) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    helperLines_ += count;
                    helperProgress_.notify_one();
                }
                done += count;
            }
        }
        // What is left, then the file is complete (or, after a cancel, ends with a whole line).
        ok = ok && writeFull() && (held == 0 || f.Append(out, held));
        if (!ok || !f.Close()) {
            Fail(f.error(), part.path);
            return false;
        }
        return !stopped;
    }

    // `count` lines from sample `number` on, at `out`, from the samples at `offset` of the worker's block.
    void AssembleLines(char* out, WorkerMemory& memory, std::int32_t offset, std::int32_t count, std::int32_t number) {
        const std::size_t lb = layout_.lineBytes;
        char* line = out;
        NumberCells cells(number);
        for (std::int32_t j = 0; j < count; ++j, line += lb, cells.Next()) {
            std::memcpy(line, cells.cell(), kCsvCellBytes);
            line[lb - 2] = '\r';
            line[lb - 1] = '\n';
        }
        // Columns are filled over a few lines at a time, which stay in the first-level cache.
        for (std::int32_t from = 0; from < count; from += kLinesPerPass) {
            const std::int32_t to = std::min(count, from + kLinesPerPass);
            for (int k = 0; k < K_; ++k) {
                const ChannelCells& table = cells_[static_cast<std::size_t>(k)];
                const std::int16_t* src = memory.Samples(k) + offset;
                char* dst = out + static_cast<std::size_t>(from) * lb + kCsvCellBytes * static_cast<std::size_t>(k + 1);
                for (std::int32_t j = from; j < to; ++j, dst += lb) std::memcpy(dst, table.Of(src[j]), kCsvCellBytes);
            }
        }
    }

    // The calling thread: counts the lines the helper wrote since last time, then up to `want`
    // of its own, one line at a time; returns how many of its own may be written.
    std::int32_t CountOwnLines(std::int32_t want) {
        if (!CountHelperLines(TakeHelperLines())) return 0;
        // The lines that end before the next yield are counted together, the one at which it
        // comes alone.
        Progress& p = ctx_.progress;
        const std::int64_t perLine = std::int64_t{1 + K_} * p.ProgressIncrement;
        std::int32_t count = 0;
        while (count < want) {
            const std::int64_t safe =
                perLine > 0 ? std::max<std::int64_t>(0, p.TransferBlockWords - 1 - p.ProgressCounter) / perLine : 0;
            const auto together = static_cast<std::int32_t>(std::min<std::int64_t>(safe, want - count));
            if (together > 0) {
                CountCsvUnits(p, ctx_.view, ctx_.status, std::int64_t{together} * (1 + K_));
                count += together;
            } else if (CountCsvUnits(p, ctx_.view, ctx_.status, 1 + K_)) {
                ++count;
            } else {
                Cancel();
                break;
            }
        }
        return count;
    }

    std::int64_t TakeHelperLines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::exchange(helperLines_, 0);
    }

    bool CountHelperLines(std::int64_t lines) {
        if (cancelled_) return false;
        if (lines > 0 && !CountCsvUnits(ctx_.progress, ctx_.view, ctx_.status, lines * (1 + K_))) Cancel();
        return !cancelled_;
    }

    void Cancel() {
        cancelled_ = true;
        stop_ = true;
    }

    // The calling thread, its own parts done: keeps the progress going while the helper writes.
    void CountUntilHelperEnds() {
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex_);
            helperProgress_.wait(lock, [this] { return helperLines_ > 0 || !helperBusy_; });
            const std::int64_t lines = std::exchange(helperLines_, 0);
            const bool busy = helperBusy_;
            lock.unlock();
            CountHelperLines(lines);
            if (!busy) return;
        }
    }

    const CsvLayout& layout_;
    const int K_;
    const std::int32_t n_;
    const CsvSampleSource& source_;
    CsvContext& ctx_;
    const bool two_;  // a helper thread takes part
    const std::size_t workerBytes_;
    // The workers' memory, then the cells of every channel (at most 65536 each).
    LargeMemory memory_;
    std::vector<ChannelCells> cells_;
    std::vector<std::pair<float, float>> scale_;  // coefficient and offset of each channel
    std::vector<WorkerMemory> workers_;
    std::atomic<std::size_t> cellsUsed_{0};
    std::atomic<int> nextChannel_{0};
    std::atomic<std::size_t> nextPart_{0};
    std::atomic<bool> stop_{false};
    std::atomic<int> arrived_{0};
    bool cancelled_ = false;  // calling thread only

    std::mutex mutex_;  // guards what follows
    std::condition_variable helperProgress_;
    std::int64_t helperLines_ = 0;  // written by the helper, not yet counted
    bool helperBusy_ = false;
    int error_ = 0;  // the first failure
    std::string errorPath_;
};

}  // namespace

bool WriteCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                   const CsvSampleSource& source, CsvContext& ctx) {
    const CsvLayout layout = PlanCsvFiles(folder, fileName, fc);
    std::unique_ptr<LineWriter> writer;
    try {
        writer = std::make_unique<LineWriter>(layout, fc, source, ctx);
    } catch (const std::bad_alloc&) {  // its memory: reported like a file that cannot be written
        ReportFileError(ENOMEM, layout.parts.front().path, ctx.ui, ctx.status);
        return false;
    }
    return writer->Run();
}

bool WriteCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                   const std::vector<std::span<const std::int16_t>>& channels, CsvContext& ctx) {
    const int K = static_cast<int>(EnabledChannels(fc).size());
    const std::int32_t n = std::max<std::int32_t>(fc.WordsConverted, 0);
    if (static_cast<int>(channels.size()) < K) return true;
    for (int k = 0; k < K; ++k)
        if (channels[static_cast<std::size_t>(k)].size() < static_cast<std::size_t>(n)) return true;
    return WriteCsvFiles(folder, fileName, fc, SpanSource(channels), ctx);
}

bool WriteCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                   const std::vector<SampleBuffer>& channels, CsvContext& ctx) {
    std::vector<std::span<const std::int16_t>> views(channels.begin(), channels.end());
    return WriteCsvFiles(folder, fileName, fc, views, ctx);
}

}  // namespace kmr
