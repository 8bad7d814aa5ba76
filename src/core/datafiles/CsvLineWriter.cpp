#include "core/datafiles/CsvLineWriter.h"

#include <algorithm>
#include <atomic>
#include <bitset>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/datafiles/FileIo.h"
#include "core/datafiles/TemporaryOutput.h"

namespace kmr {

namespace {

constexpr std::int32_t kLinesPerPass = 64;
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

// The cells of one channel: room for every raw word, so that a word the file did not hold when
// the cells were made (it was written to meanwhile) is never looked up outside them.
struct ChannelCells {
    static constexpr std::size_t kBytes = 65536 * kCsvCellBytes + 64;  // 64: channels a line apart
    char* cells = nullptr;
    char* Of(int raw) const { return cells + static_cast<std::size_t>(raw + 32768) * kCsvCellBytes; }
};

// One run of the line writer. The calling thread is worker 0 and does all the counting; a helper
// thread, when there is one, takes channels to prepare and then parts to write, and hands its
// written lines over for counting.
class LineWriter {
public:
    LineWriter(const CsvLayout& layout, const FileConditions& fc, const CsvSampleSource& source, CsvContext& ctx,
               CsvFileWriter& files)
        : files_(files), layout_(layout), K_(layout.channels),
          from_(layout.parts.empty() ? 0 : layout.parts.front().firstSample),
          to_(layout.parts.empty() ? 0 : layout.parts.back().firstSample + layout.parts.back().lines), source_(source),
          ctx_(ctx), two_(layout.parts.size() >= 2 && std::thread::hardware_concurrency() >= 2),
          workerBytes_((WorkerMemory::BytesFor(layout) + 63) / 64 * 64),
          memory_((two_ ? 2 : 1) * workerBytes_ + static_cast<std::size_t>(K_) * ChannelCells::kBytes),
          cells_(static_cast<std::size_t>(K_)) {
        for (int ch = 1; ch <= kChannels; ++ch)
            if (fc.Ch(ch).Measured()) scale_.push_back({fc.Ch(ch).Coeff, fc.Ch(ch).Offset});
        workers_.emplace_back(memory_.data(), layout);
        if (two_) workers_.emplace_back(memory_.data() + workerBytes_, layout);
        char* cells = memory_.data() + (two_ ? 2 : 1) * workerBytes_;
        for (ChannelCells& c : cells_) c.cells = std::exchange(cells, cells + ChannelCells::kBytes);
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
        std::sort(created_.begin(), created_.end());
        if (error_ == 0 && !cancelled_ && ctx_.status != RunStatus::Cancelled) CommitCreatedFiles();
        if (error_ != 0) {
            RemoveCreatedFiles();
            return false;
        }
        if (cancelled_ || ctx_.status == RunStatus::Cancelled) {
            // A cancel leaves nothing of this file.
            for (const Created& c : created_) files_.Remove(c.temporary);
            return false;
        }
        if (ctx_.written)
            for (const Created& c : created_) ctx_.written->push_back(c.final);
        return true;
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

    // Every part complete: each takes its name. A part that cannot (a full disk at its sync, a
    // file of that name made meanwhile) is a failure of the whole file: the parts named before
    // it go again with the others, so that no part stands without the rest and the same
    // conversion is not refused later for their names.
    void CommitCreatedFiles() {
        for (Created& c : created_) {
            if (c.committed) continue;
            if (const int err = files_.Commit(c.temporary, c.final); err != 0) {
                Fail(err, c.final);
                return;
            }
            c.committed = true;
        }
    }

    // After a failure: the part files of this call go again, and the message names the file that
    // failed and every file removed.
    void RemoveCreatedFiles() {
        std::string text = FileErrorMessage(ctx_.ui.language, error_, errorPath_);
        std::string kept;
        for (const Created& c : created_) {
            const std::string& path = c.committed ? c.final : c.temporary;
            if (files_.Remove(path))
                text += "\n" + ctx_.ui.Text(txt::PartRemoved) + path;
            else
                kept += "\n" + ctx_.ui.Text(txt::PartNotRemoved) + path;
        }
        ctx_.ui.ShowMessage(text + kept, ctx_.ui.Text(txt::ErrorTitle), MsgIcon::Critical, MsgButtons::Ok);
        ctx_.status = RunStatus::Cancelled;
    }

    // A part under the first free temporary name of its own; nullptr after a failure.
    std::unique_ptr<CsvOutputFile> CreatePart(const CsvPart& part) {
        // A CSV name that is taken is never written over, nor written beside.
        if (NameInUse(part.path)) {
            Fail(EEXIST, part.path);
            return nullptr;
        }
        int err = 0;
        for (int i = 0; i < kTemporaryNameAttempts; ++i) {
            const std::string temporary = TemporaryPath(part.path, i);
            err = 0;
            std::unique_ptr<CsvOutputFile> file = files_.CreateNew(temporary, err);
            if (file) {
                std::lock_guard<std::mutex> lock(mutex_);
                created_.push_back({temporary, part.path, false});
                return file;
            }
            if (err != EEXIST) break;
        }
        Fail(err, part.path);
        return nullptr;
    }

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

    // Hands channel k's samples of the lines written to `use`, a stretch at a time; false after a
    // failed read.
    template <class Use>
    bool EachStretch(int k, WorkerMemory& memory, Use use) {
        // The samples of every channel's stretch of lines are room for one channel's many.
        const std::int32_t room = kReadLines * std::max(K_, 1);
        for (std::int32_t first = from_; first < to_; first += room) {
            const std::int32_t count = std::min(room, to_ - first);
            std::int16_t* samples = memory.Samples(0);
            if (const int rc = source_.Read(k, first, count, samples); rc != 0) {
                Fail(rc, source_.Name());
                return false;
            }
            use(samples, static_cast<std::size_t>(count));
        }
        return true;
    }

    // Formats the cells each channel needs (channels shared out). With fewer lines than raw words
    // (a short file, a damaged one) only the words that occur, in the one pass over the samples;
    // otherwise every word from the channel's lowest to its highest, which a recorded signal
    // nearly all takes.
    void PrepareTables(WorkerMemory& memory) {
        for (int k; !Stopped() && (k = nextChannel_++) < K_;) {
            const ChannelCells& table = cells_[static_cast<std::size_t>(k)];
            const auto put = [&table, scale = scale_[static_cast<std::size_t>(k)]](int raw) {
                PutCsvCell(table.Of(raw), CsvCellValue(static_cast<std::int16_t>(raw), scale.first, scale.second));
            };
            if (to_ - from_ < 65536) {
                std::bitset<65536> made;
                const auto occurring = [&](const std::int16_t* s, std::size_t n) {
                    for (std::size_t j = 0; j < n; ++j)
                        if (const auto at = static_cast<std::size_t>(s[j] + 32768); !made.test(at)) {
                            made.set(at);
                            put(s[j]);
                        }
                };
                if (!EachStretch(k, memory, occurring)) return;
                continue;
            }
            std::int16_t lowest = 32767, highest = -32768;
            const auto widen = [&](const std::int16_t* s, std::size_t n) { WidenSampleRange(s, n, lowest, highest); };
            if (!EachStretch(k, memory, widen)) return;
            for (int raw = lowest; raw <= highest; ++raw) put(raw);
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
        const std::unique_ptr<CsvOutputFile> file = CreatePart(part);
        if (!file) return false;
        CsvOutputFile& f = *file;
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
        CsvNumberCells cells(number);
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

    CsvFileWriter& files_;
    const CsvLayout& layout_;
    const int K_;
    const std::int32_t from_, to_;  // the samples written
    const CsvSampleSource& source_;
    CsvContext& ctx_;
    const bool two_;  // a helper thread takes part
    const std::size_t workerBytes_;
    // The workers' memory, then the cells of every channel (at most 65536 each).
    LargeMemory memory_;
    std::vector<ChannelCells> cells_;
    std::vector<std::pair<float, float>> scale_;  // coefficient and offset of each channel
    std::vector<WorkerMemory> workers_;
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
    struct Created {
        std::string temporary;  // the name it is written under
        std::string final;      // the name it gets when every part is complete
        bool committed = false;
        bool operator<(const Created& o) const { return final < o.final; }
    };
    std::vector<Created> created_;  // the part files created, in order
};

}  // namespace

bool WriteCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                   const CsvSampleSource& source, CsvContext& ctx) {
    return WriteCsvFiles(folder, fileName, fc, source, ctx, 0, std::max<std::int32_t>(fc.WordsConverted, 0));
}

bool WriteCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                   const CsvSampleSource& source, CsvContext& ctx, std::int32_t first, std::int32_t samples) {
    const CsvLayout layout = PlanCsvFiles(ctx.ui.language, folder, fileName, fc, first, samples);
    SystemCsvFileWriter system;
    std::unique_ptr<LineWriter> writer;
    try {
        writer = std::make_unique<LineWriter>(layout, fc, source, ctx, ctx.files ? *ctx.files : system);
    } catch (const std::bad_alloc&) {  // its memory: reported like a file that cannot be written
        ReportFileError(ENOMEM, layout.parts.front().path, ctx.ui, ctx.status);
        return false;
    }
    return writer->Run();
}

bool WriteCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                   const std::vector<std::span<const std::int16_t>>& channels, CsvContext& ctx) {
    const auto K = static_cast<int>(std::count_if(fc.Channels.begin(), fc.Channels.end(),
                                                  [](const ChannelCondition& c) { return c.Measured(); }));
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
