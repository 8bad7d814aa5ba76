#include "core/datafiles/CsvColumnWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "core/datafiles/FileIo.h"

namespace kmr {

namespace {

// About 1 MiB of lines per write: big enough for sequential speed, small enough for any file size.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

std::size_t LinesPerChunk(std::size_t lineBytes) { return std::max<std::size_t>(1, kChunkBytes / lineBytes); }

bool Fail(FileHandle& f, const std::string& path, CsvContext& ctx) {
    ReportFileError(f.error() != 0 ? f.error() : EIO, path, ctx.ui, ctx.status);
    return false;
}

}  // namespace

bool CreateCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                    CsvLayout& layout, CsvContext& ctx) {
    layout = PlanCsvFiles(ctx.ui.language, folder, fileName, fc);
    const std::size_t lb = layout.lineBytes;
    std::vector<char> chunk(LinesPerChunk(lb) * lb);
    for (const CsvPart& part : layout.parts) {
        FileHandle f;
        if (!f.Open(part.path, FileHandle::Mode::CreateNew, ctx.writes) || !f.Append(layout.header.data(), layout.header.size()))
            return Fail(f, part.path, ctx);
        std::size_t used = 0;
        bool cancelled = false;
        CsvNumberCells number(part.firstSample);
        for (std::int32_t i = 0; i < part.lines; ++i, number.Next()) {
            if (!CountCsvUnits(ctx.progress, ctx.view, ctx.status, 1)) {
                cancelled = true;
                break;
            }
            char* line = chunk.data() + used;
            std::memcpy(line, number.cell(), kCsvCellBytes);
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
        if (!f.Open(part.path, FileHandle::Mode::ReadWrite, ctx.writes)) return Fail(f, part.path, ctx);
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

}  // namespace kmr
