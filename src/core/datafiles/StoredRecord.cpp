#include "core/datafiles/StoredRecord.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>

#include "core/datafiles/FileIo.h"
#include "core/datafiles/Hdf5Export.h"
#include "core/support/InstrumentFacts.h"
#include "core/support/Numbers.h"
#include "core/support/SpecialFolders.h"
#include "core/support/Vocabulary.h"

namespace kmr {

std::string ChannelList(const std::vector<int>& channels, Language lang) {
    std::string s;
    for (int ch : channels) s += (s.empty() ? "" : ", ") + std::to_string(ch);
    return s.empty() ? Text(lang, txt::NoChannels) : s;
}

namespace {

std::string Named(const std::vector<std::string>& names, long long code) {
    if (code >= 0 && static_cast<std::size_t>(code) < names.size()) return names[static_cast<std::size_t>(code)];
    return std::to_string(code);
}

// Words read at once: 64 KiB.
constexpr std::size_t kReadPieceWords = 32768;
static_assert(kOpenChunkWords % kReadPieceWords == 0, "a chunk is whole pieces");

}  // namespace

std::string FileNameOf(const std::string& path) {
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("/\\");
#else
    // A backslash is a character of a name here.
    const std::size_t slash = path.find_last_of('/');
#endif
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int MissingOrFolder(const std::string& path) {
    std::error_code ec;
    const std::filesystem::file_type type = std::filesystem::status(PathFromUtf8(path), ec).type();
    switch (type) {
        case std::filesystem::file_type::not_found: return ENOENT;
        case std::filesystem::file_type::directory: return EISDIR;
        case std::filesystem::file_type::fifo:
        case std::filesystem::file_type::character:
        case std::filesystem::file_type::block:
        case std::filesystem::file_type::socket: return EINVAL;
        default: return 0;
    }
}

std::string PlainFileProblem(Language lang, int err, const std::string& path) {
    if (err == ENOENT) return TextWith(lang, txt::RecordFileMissing, {path});
    if (err == EISDIR) return TextWith(lang, txt::RecordIsAFolder, {path});
    // Opening refuses such a file with EINVAL too; any other EINVAL is the system's to say.
    if (err == EINVAL && MissingOrFolder(path) == EINVAL) return TextWith(lang, txt::RecordNotRegularFile, {path});
    return FileErrorMessage(lang, err, path);
}

StoredRecordCheck CheckStoredRecord(const std::string& path, Language lang) {
    StoredRecordCheck r;
    auto refuse = [&](const HeaderCheck& h, const std::string& why) {
        r.problem = Text(lang, h.refusalHeading) + "\n" + path + (why.empty() ? "" : "\n" + why);
        return r;
    };
    FileHandle f;
    r.fileError = MissingOrFolder(path);
    if (r.fileError == 0 && !f.Open(path, FileHandle::Mode::ReadOnly)) r.fileError = f.error();
    if (r.fileError != 0) {
        r.problem = PlainFileProblem(lang, r.fileError, path);
        // A folder that has gone with the file is most often a disk or share not connected now:
        // the file may well come back, and the user is told to connect it rather than that the
        // file was deleted.
        std::string folder = path.substr(0, path.size() - FileNameOf(path).size());
        if (folder.size() > 1) folder.pop_back();
        std::error_code ec;
        if (r.fileError == ENOENT && !folder.empty() &&
            std::filesystem::status(PathFromUtf8(folder), ec).type() == std::filesystem::file_type::not_found) {
            r.folderUnreachable = true;
            r.problem = TextWith(lang, txt::RecordFolderUnreachable, {folder, path});
        }
        return r;
    }
    const std::int64_t size = f.Size();
    if (size < 0) {
        r.fileError = f.error();
        r.problem = FileErrorMessage(lang, f.error(), path);
        return r;
    }
    r.bytes = static_cast<std::uint64_t>(size);
    Bytes header(static_cast<std::size_t>(std::min<std::int64_t>(size, kDataHeaderBytes)));
    if (!f.ReadAt(0, header.data(), header.size())) {
        if (f.error() != 0) {
            r.fileError = f.error();
            r.problem = FileErrorMessage(lang, f.error(), path);
            return r;
        }
        header.clear();  // the file shrank meanwhile: judged as too short
    }
    f.Close();
    const HeaderCheck h = CheckDataFileHeader(lang, header, r.bytes, true);
    if (!h.ok) return refuse(h, h.problem);
    if (h.wholeChannels.empty()) return refuse(h, Text(lang, txt::NoWholeChannel));
    r.complete = h.complete;
    r.wholeChannels = h.wholeChannels;
    for (int ch : h.conditions.MeasuredChannels)
        if (std::find(r.wholeChannels.begin(), r.wholeChannels.end(), ch) == r.wholeChannels.end())
            r.missingChannels.push_back(ch);
    r.conditions = WholeChannelsOnly(h.conditions, static_cast<int>(r.wholeChannels.size()));
    r.sizeWarning = h.sizeWarning;
    if (!r.complete && r.missingChannels.empty())  // cancelled after its last channel came
        r.note = TextWith(lang, txt::RecordIncompleteAllWhole, {ChannelList(r.wholeChannels, lang)});
    else if (!r.complete)
        r.note = TextWith(lang, txt::RecordIncompleteShown,
                          {ChannelList(r.wholeChannels, lang), ChannelList(r.missingChannels, lang)});
    r.ok = true;
    return r;
}

namespace {

// The chunks of a record's channels (a chunk is what is read between two looks at Cancel), shared
// out between the calling thread and a helper: each takes the next chunk not yet taken until none
// is left, so that a helper that starts late (a thread can take a millisecond to start on a busy or
// virtual machine) takes fewer. Only the calling thread talks to the window. The state is shared
// with the helper, which may start only after the calling thread has read everything: it then
// finds nothing to take and touches nothing else.
struct SharedRead {
    const FileHandle* file = nullptr;
    const FileConditions* fc = nullptr;
    std::vector<RawSamples>* out = nullptr;
    const SamplePieces* pieces = nullptr;
    std::size_t n = 0;               // samples per channel
    std::size_t chunksPerChannel = 0;
    std::size_t chunks = 0;
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};   // samples read
    std::atomic<int> helping{0};        // chunks the helper is reading (or about to look for)
    std::atomic<bool> stop{false};
    std::atomic<int> error{0};          // the first error: the system's number, or -1 for an early end

    // Takes and reads chunks until none is left or the reading stops; `between` is called after
    // each and stops it by returning false.
    template <class Between>
    void Work(bool helper, Between&& between) {
        for (;;) {
            if (helper) helping.fetch_add(1);
            const std::size_t c = stop ? chunks : next.fetch_add(1);
            if (c >= chunks) {
                if (helper) helping.fetch_sub(1);
                return;
            }
            ReadChunk(c);
            if (helper) helping.fetch_sub(1);
            if (!between()) stop = true;
        }
    }

    void ReadChunk(std::size_t c) {
        const std::size_t k = c / chunksPerChannel;
        const std::size_t at = c % chunksPerChannel * kOpenChunkWords;
        const std::size_t count = std::min(kOpenChunkWords, n - at);
        RawSamples& dest = (*out)[k];
        // The whole channels of a file are its first blocks, in order.
        const std::int64_t block = ChannelBlockOffset(fc->WordsConverted, static_cast<int>(k));
        // In pieces the processor's second-level cache holds, so that each is summarised before
        // it is evicted.
        for (std::size_t p = at; p < at + count; p += kReadPieceWords) {
            const std::size_t m = std::min(kReadPieceWords, at + count - p);
            const int rc = file->ReadAtShared(block + static_cast<std::int64_t>(2 * p), dest.data() + p,
                                              m * sizeof(std::int16_t));
            if (rc != 0) {
                int none = 0;
                error.compare_exchange_strong(none, rc);
                stop = true;
                return;
            }
            SampleWordsToHost(dest.data() + p, m);
            if (*pieces) (*pieces)(k, p, std::span<const std::int16_t>(dest.data() + p, m));
        }
        done += count;
    }
};

// A record shorter than this is read by the calling thread alone.
constexpr std::size_t kSharedReadWords = 4 * kOpenChunkWords;

std::atomic<bool> shareLongReads{true};

}  // namespace

void ShareLongReads(bool share) { shareLongReads = share; }

bool ReadStoredSamples(const std::string& path, const FileConditions& fc, std::vector<RawSamples>& out,
                       ProgressView& view, UiPort& ui, RunStatus& status, const SamplePieces& pieces) {
    out.clear();
    FileHandle f;
    if (!f.Open(path, FileHandle::Mode::ReadOnly)) {
        ReportFileError(f.error(), path, ui, status);
        return false;
    }
    auto read = std::make_shared<SharedRead>();
    read->file = &f;
    read->fc = &fc;
    read->out = &out;
    read->pieces = &pieces;
    read->n = static_cast<std::size_t>(std::max<std::int32_t>(fc.WordsConverted, 0));
    std::size_t channels = 0;
    for (int ch = 1; ch <= kChannels; ++ch) channels += fc.Ch(ch).Measured() ? 1 : 0;
    read->chunksPerChannel = (read->n + kOpenChunkWords - 1) / kOpenChunkWords;
    read->chunks = read->chunksPerChannel * channels;
    const std::size_t total = std::max<std::size_t>(read->n * channels, 1);
    out.resize(channels);
    for (RawSamples& dest : out) dest.resize(read->n);
    int shown = -1;
    const auto showPercent = [&] {
        const int percent = static_cast<int>(read->done * 100 / total);
        if (percent != shown) view.SetPercent(shown = percent);
    };
    // The progress and the Cancel, from this thread only.
    auto look = [&] {
        if (view.ProcessEventsAndCheckCancel()) status = RunStatus::Cancelled;
        if (status == RunStatus::Cancelled) return false;
        showPercent();
        return true;
    };
    if (shareLongReads && read->n * channels >= kSharedReadWords && std::thread::hardware_concurrency() >= 2) {
        try {
            std::thread([read] { read->Work(true, [] { return true; }); }).detach();
        } catch (const std::system_error&) {
            // Without a helper this thread reads it all.
        }
    }
    read->Work(false, look);
    // The chunks the helper took are finished; one it has not taken yet it never will.
    read->stop = true;
    while (read->helping != 0) {
        if (!look()) read->stop = true;
        std::this_thread::yield();
    }
    if (const int error = read->error; error != 0) {
        // The header check found the blocks inside the file: it shrank since (-1).
        ReportFileError(error > 0 ? error : EIO, path, ui, status);
        out.clear();
        return false;
    }
    if (status == RunStatus::Cancelled) {
        out.clear();
        return false;
    }
    // What the helper read last.
    showPercent();
    return true;
}

StoredRecordText DescribeStoredRecord(const std::string& path, const StoredRecordCheck& check, Language lang,
                                      int model) {
    const FileConditions& fc = check.conditions;
    StoredRecordText t;
    t.title = FileNameOf(path);
    auto line = [&](int id, std::string value) { t.lines.push_back({Text(lang, id), std::move(value)}); };
    line(txt::RecordFile, path);
    line(txt::RecordTriggerTime, fc.TriggerTime);
    line(txt::TriggerModeLabel, Named(TriggerModeNames(lang), fc.TrgMode));
    line(txt::SamplingClockLabel, FormatFloat(fc.SmpClk) + " ms");
    line(txt::MemoryWordLabel, FormatInt(fc.MemoryWords));
    line(txt::PreMemoryLabel, FormatInt(fc.PreMemoryWords));
    line(txt::RecordStoredWords, FormatInt(fc.WordsConverted));
    line(txt::RecordRecordingTime,
         FormatFixed(static_cast<double>(fc.WordsConverted) * static_cast<double>(fc.SmpClk) / 1000.0, 3) + " s");
    line(txt::AveragingLabel, Named(AveragingNames(), fc.Averaging));
    // The file does not name its instrument; only the 5.0 V bridge voltage tells a KMR-510C.
    const std::string revealed = ModelOfConditions(fc);
    line(txt::RecordModel, revealed.empty() ? Text(lang, txt::RecordModelNames) : revealed);
    line(txt::RecordState, Text(lang, check.complete ? txt::RecordComplete : txt::RecordIncomplete));

    t.channelHeader = {Text(lang, txt::MeasChannelHeading), Text(lang, txt::InputModeHeading),
                       Text(lang, txt::LowPassHeading),     Text(lang, txt::CoeffHeading),
                       Text(lang, txt::OffsetHeading),      Text(lang, txt::MeasUnitHeading),
                       Text(lang, txt::DataTriggerHeading)};
    const auto& units = UnitNames(LanguageOfUserLanguageId(UserLanguageId(lang)));
    for (int ch = 1; ch <= kChannels; ++ch) {
        const ChannelCondition& c = fc.Ch(ch);
        if (!c.Measured()) continue;
        const std::string& mode = InputModeName(c.InputMode);
        // The panel's words in the panel's language (the files keep the vocabulary's own).
        std::string trigger = c.DtgOnOff == 0 || c.DtgOnOff == 1
                                  ? Text(lang, c.DataTrigger() ? txt::OnWord : txt::OffWord)
                                  : std::to_string(c.DtgOnOff);
        if (c.DataTrigger()) trigger.append(1, ' ').append(FormatFloat(c.DtgLevel));
        t.channelRows.push_back({std::to_string(ch), mode.empty() ? std::to_string(c.InputMode) : mode,
                                 Named(FilterNames(), c.Lpf), FormatFloat(c.Coeff), FormatFloat(c.Offset),
                                 Named(units, c.Unit), trigger});
    }
    if (!check.note.empty()) t.notes.push_back(check.note);
    if (!check.sizeWarning.empty()) t.notes.push_back(check.sizeWarning);
    // A record of a bridge voltage the connected instrument does not have.
    if (model == kModelKmr530A && revealed == "KMR-510C") t.notes.push_back(Text(lang, txt::RecordFiveVoltBridge));
    return t;
}

}  // namespace kmr
