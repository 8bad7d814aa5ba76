#include "core/datafiles/CsvColumnWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "core/datafiles/FileIo.h"
#include "core/datafiles/TemporaryOutput.h"

namespace kmr {

namespace {

// About 1 MiB of lines per write: big enough for sequential speed, small enough for any file size.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

std::size_t LinesPerChunk(std::size_t lineBytes) { return std::max<std::size_t>(1, kChunkBytes / lineBytes); }

bool Fail(FileHandle& f, const CsvPart& part, CsvContext& ctx) {
    ReportFileError(f.error() != 0 ? f.error() : EIO, part.finalPath.empty() ? part.path : part.finalPath, ctx.ui,
                    ctx.status);
    return false;
}

// Creates the part under the first free temporary name of its final name; a final name that is
// taken is refused before anything is written. 0 or the system's error number.
int CreateTemporaryPart(CsvPart& part, FileHandle& f, CsvContext& ctx) {
    if (NameInUse(part.path)) return EEXIST;
    for (int i = 0; i < kTemporaryNameAttempts; ++i) {
        const std::string temporary = TemporaryPath(part.path, i);
        if (f.Open(temporary, FileHandle::Mode::CreateNew, ctx.writes)) {
            f.NameForWrites(part.path);
            part.finalPath = part.path;
            part.path = temporary;
            return 0;
        }
        if (f.error() != EEXIST) break;
    }
    return f.error() != 0 ? f.error() : EEXIST;
}

}  // namespace

bool CreateCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                    CsvLayout& layout, CsvContext& ctx) {
    layout = PlanCsvFiles(ctx.ui.language, folder, fileName, fc);
    const std::size_t lb = layout.lineBytes;
    std::vector<char> chunk(LinesPerChunk(lb) * lb);
    for (CsvPart& part : layout.parts) {
        FileHandle f;
        if (const int err = CreateTemporaryPart(part, f, ctx); err != 0) {
            ReportFileError(err, part.path, ctx.ui, ctx.status);
            return false;
        }
        if (!f.Append(layout.header.data(), layout.header.size())) return Fail(f, part, ctx);
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
            // Every value's cell starts empty: "," and blanks, so that a value never read is an
            // empty field.
            std::memset(line + kCsvCellBytes, ' ', lb - kCsvCellBytes - 2);
            for (std::size_t at = kCsvCellBytes; at + 2 < lb; at += kCsvCellBytes) line[at] = ',';
            line[lb - 2] = '\r';
            line[lb - 1] = '\n';
            used += lb;
            if (used == chunk.size()) {
                if (!f.Append(chunk.data(), used)) return Fail(f, part, ctx);
                used = 0;
            }
        }
        if ((used > 0 && !f.Append(chunk.data(), used)) || !f.Close()) return Fail(f, part, ctx);
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
        if (!f.Open(part.path, FileHandle::Mode::ReadWrite, ctx.writes)) return Fail(f, part, ctx);
        if (!part.finalPath.empty()) f.NameForWrites(part.finalPath);
        bool cancelled = false;
        for (std::int32_t done = 0; done < lines && !cancelled;) {
            const std::int32_t count = std::min<std::int32_t>(static_cast<std::int32_t>(perChunk), lines - done);
            const std::int64_t at = layout.FirstDataOffset() + static_cast<std::int64_t>(done) * static_cast<std::int64_t>(lb);
            const std::size_t bytes = static_cast<std::size_t>(count) * lb;
            if (!f.ReadAt(at, chunk.data(), bytes)) return Fail(f, part, ctx);
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
                return Fail(f, part, ctx);
            done += count;
        }
        if (!f.Close()) return Fail(f, part, ctx);
        if (cancelled || ctx.status == RunStatus::Cancelled) return false;
    }
    return true;
}

bool FinishCsvFiles(CsvLayout& layout, CsvFinish finish, CsvContext& ctx, std::vector<std::string>* kept) {
    bool ok = true;
    for (CsvPart& part : layout.parts) {
        if (part.finalPath.empty()) continue;  // written under its own name (or never made)
        const std::string temporary = part.path;
        part.path = part.finalPath;
        part.finalPath.clear();
        if (finish == CsvFinish::Discard) {
            RemoveFile(temporary);
            continue;
        }
        const std::string target = finish == CsvFinish::Complete ? part.path : IncompleteCsvPath(part.path);
        if (const int err = CommitTemporary(temporary, target); err != 0) {
            RemoveFile(temporary);
            if (ok) ReportFileError(err, target, ctx.ui, ctx.status);
            ok = false;
            continue;
        }
        part.path = target;
        if (kept) kept->push_back(target);
    }
    return ok;
}

}  // namespace kmr
