#include "core/datafiles/Csv.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <span>

#include "core/datafiles/FileIo.h"
#include "core/support/Numbers.h"
#include "core/support/Vocabulary.h"

namespace kmr {

namespace {

// About 1 MiB of lines per write: big enough for sequential speed, small enough for any file size.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
// The line-by-line writer's chunk.
constexpr std::size_t kColumnChunkBytes = std::size_t{1} << 20;
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

// Exact powers of ten 10^0 .. 10^22 (every one is a double without rounding).
constexpr double kPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                               1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The text FormatFloat gives, produced faster for the common magnitudes: the float's exact value
// is scaled by one exact power of ten (one rounding, relative error at most 2^-53, so below 1.2E-9
// for a scaled value under 10^7) and rounded to 7 digits. When the scaled value lies so close to a
// half that this error could matter (or the magnitude is outside 1E-16 .. 1E+28), FormatFloat
// decides. Returns the length written to `out` (at least 32 bytes).
std::size_t FormatFloatFast(char* out, float f) {
    const double v = f;
    const double a = v < 0 ? -v : v;
    if (!(a >= 1e-16 && a < 1e28)) {
        const std::string t = FormatFloat(f);
        std::memcpy(out, t.data(), t.size());
        return t.size();
    }
    // Decimal exponent from the binary one (log10(2) ~ 77/256); the loop below corrects it.
    int be;
    std::frexp(a, &be);
    int e = ((be - 1) * 77) >> 8;
    double m = 0;
    for (int tries = 0; tries < 3; ++tries) {
        const int shift = 6 - e;
        if (shift < -22 || shift > 22) break;
        const double scaled = shift >= 0 ? a * kPow10[shift] : a / kPow10[-shift];
        const double whole = std::floor(scaled);
        const double frac = scaled - whole;
        if (frac > 0.5 - 1e-8 && frac < 0.5 + 1e-8) {
            m = -1;  // too close to a half: let the exact conversion decide
            break;
        }
        m = frac > 0.5 ? whole + 1 : whole;
        if (m >= 1e7) {
            ++e;
        } else if (m < 1e6) {
            --e;
        } else {
            break;
        }
        m = -1;
    }
    if (m < 1e6 || m >= 1e7) {
        const std::string t = FormatFloat(f);
        std::memcpy(out, t.data(), t.size());
        return t.size();
    }
    char digits[7];
    auto im = static_cast<std::uint32_t>(m);
    for (int i = 6; i >= 0; --i, im /= 10) digits[i] = static_cast<char>('0' + im % 10);
    int nd = 7;
    while (nd > 1 && digits[nd - 1] == '0') --nd;
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

}  // namespace

std::string FormatCellValue(float v) {
    char buf[48];
    return std::string(buf, FormatFloatFast(buf, v));
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

CsvCellTable::CsvCellTable(float coeff, float offset)
    : coeff_(coeff), offset_(offset), cells_(static_cast<char*>(AllocateLargeTable(65536 * kCsvCellBytes))),
      filled_(65536 / 64, 0) {}

void CsvCellTable::FreeTable::operator()(char* p) const { FreeLargeTable(p); }

void CsvCellTable::Fill(std::uint16_t i) {
    const auto raw = static_cast<std::int16_t>(i);
    const float value = static_cast<float>(static_cast<double>(raw) * static_cast<double>(coeff_) +
                                           static_cast<double>(offset_));
    char* cell = cells_.get() + static_cast<std::size_t>(i) * kCsvCellBytes;
    char text[48];
    text[0] = ',';
    const std::size_t len = std::min(1 + FormatFloatFast(text + 1, value), kCsvCellBytes);
    std::memcpy(cell, text, len);
    std::memset(cell + len, ' ', kCsvCellBytes - len);
    filled_[i >> 6] |= 1ull << (i & 63);
}

void CsvCellTable::Prepare(const std::int16_t* samples, std::size_t n) {
    for (std::size_t j = 0; j < n; ++j) Cell(samples[j]);
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

bool WriteCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                   const std::vector<SampleBuffer>& channels, CsvContext& ctx) {
    std::vector<std::span<const std::int16_t>> views(channels.begin(), channels.end());
    return WriteCsvFiles(folder, fileName, fc, views, ctx);
}

bool WriteCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                   const std::vector<std::span<const std::int16_t>>& channels, CsvContext& ctx) {
    const CsvLayout layout = PlanCsvFiles(folder, fileName, fc);
    const int K = layout.channels;
    const std::int32_t n = std::max<std::int32_t>(fc.WordsConverted, 0);
    const std::vector<int> chs = EnabledChannels(fc);
    if (static_cast<int>(channels.size()) < K) return true;
    for (int k = 0; k < K; ++k)
        if (channels[static_cast<std::size_t>(k)].size() < static_cast<std::size_t>(n)) return true;
    std::vector<std::unique_ptr<CsvCellTable>> tables;
    for (int ch : chs) tables.push_back(std::make_unique<CsvCellTable>(fc.Ch(ch).Coeff, fc.Ch(ch).Offset));
    for (int k = 0; k < K; ++k)
        tables[static_cast<std::size_t>(k)]->Prepare(channels[static_cast<std::size_t>(k)].data(), static_cast<std::size_t>(n));

    // A chunk of lines is filled one column at a time, so that only one channel's cell table is
    // in use while the chunk stays in the processor's cache; then the chunk is written.
    const std::size_t lb = layout.lineBytes;
    const std::size_t perChunk = std::max<std::size_t>(1, kColumnChunkBytes / lb);
    // Every byte of a chunk is written before it goes to the file: no need to clear it first.
    std::unique_ptr<char[]> chunkMemory(new char[perChunk * lb]);
    const std::span<char> chunk(chunkMemory.get(), perChunk * lb);
    for (const CsvPart& part : layout.parts) {
        FileHandle f;
        if (!f.Open(part.path, FileHandle::Mode::CreateNew) || !f.Append(layout.header.data(), layout.header.size()))
            return Fail(f, part.path, ctx);
        bool cancelled = false;
        const std::int32_t end = part.firstSample + part.lines;
        for (std::int32_t first = part.firstSample; first < end && !cancelled;) {
            // One unit for the line's layout and one per value, as column by column; a cancel
            // stops before the line at which it was seen.
            const std::int32_t want = std::min<std::int32_t>(static_cast<std::int32_t>(perChunk), end - first);
            std::int32_t count = 0;
            while (count < want && CountCsvUnits(ctx.progress, ctx.view, ctx.status, 1 + K)) ++count;
            cancelled = count < want;
            char* line = chunk.data();
            NumberCells number(first);
            for (std::int32_t j = 0; j < count; ++j, line += lb, number.Next()) {
                std::memcpy(line, number.cell(), kCsvCellBytes);
                line[lb - 2] = '\r';
                line[lb - 1] = '\n';
            }
            // Columns are filled over a few lines at a time, which stay in the first-level cache.
            for (std::int32_t from = 0; from < count; from += kLinesPerPass) {
                const std::int32_t to = std::min(count, from + kLinesPerPass);
                for (int k = 0; k < K; ++k) {
                    const CsvCellTable& table = *tables[static_cast<std::size_t>(k)];
                    const std::int16_t* src = channels[static_cast<std::size_t>(k)].data() + first;
                    char* dst = chunk.data() + static_cast<std::size_t>(from) * lb + kCsvCellBytes * static_cast<std::size_t>(k + 1);
                    for (std::int32_t j = from; j < to; ++j, dst += lb) std::memcpy(dst, table.CellOf(src[j]), kCsvCellBytes);
                }
            }
            if (count > 0 && !f.Append(chunk.data(), static_cast<std::size_t>(count) * lb)) return Fail(f, part.path, ctx);
            first += count;
        }
        if (!f.Close()) return Fail(f, part.path, ctx);
        if (cancelled || ctx.status == RunStatus::Cancelled) return false;
    }
    return true;
}

}  // namespace kmr
