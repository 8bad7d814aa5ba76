#include "core/datafiles/DataFile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "core/datafiles/FileIo.h"
#include "core/support/Numbers.h"
#include "core/support/TextTable.h"

namespace kmr {

namespace {

std::string N(long long v) { return std::to_string(v); }

template <typename U>
void PutRaw(Bytes& b, std::size_t& pos, U u) {
    if (b.size() < pos + sizeof(U)) b.resize(pos + sizeof(U), 0);
    for (std::size_t i = 0; i < sizeof(U); ++i) b[pos + i] = static_cast<unsigned char>(u >> (8 * i));
    pos += sizeof(U);
}

template <typename U>
bool GetRaw(const Bytes& b, std::size_t& pos, U& u) {
    if (pos > b.size() || b.size() - pos < sizeof(U)) return false;
    u = 0;
    for (std::size_t i = 0; i < sizeof(U); ++i) u = static_cast<U>(u | (static_cast<U>(b[pos + i]) << (8 * i)));
    pos += sizeof(U);
    return true;
}

std::string Stripped(std::string s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

void ShowRefusedFile(const std::string& path, const std::string& problem, UiPort& ui, RunStatus& status) {
    std::string text = ui.Text(txt::NotConditionFile) + "\n" + path;
    if (!problem.empty()) text += "\n" + problem;
    ui.ShowMessage(text, ui.Text(txt::ErrorTitle), MsgIcon::Critical, MsgButtons::Ok);
    status = RunStatus::Cancelled;
}

bool WriteSignature(const std::string& path, std::string_view signature, UiPort& ui, RunStatus& status,
                    FileWritePort* writes) {
    Bytes b;
    std::size_t pos = 0;
    PutText(b, pos, signature);
    FileHandle f;
    if (!f.Open(path, FileHandle::Mode::ReadWrite, writes) || !f.WriteAt(0, b.data(), b.size()) || !f.Close()) {
        ReportFileError(f.error(), path, ui, status);
        return false;
    }
    return true;
}

}  // namespace

FileConditions FileConditionsFrom(const MeasConditions& m, std::int32_t wordsConverted) {
    FileConditions fc;
    static_cast<MeasConditions&>(fc) = m;
    fc.WordsConverted = wordsConverted;
    return fc;
}

void RedimSampleBuffer(SampleBuffer& buffer, std::int32_t memoryWords) {
    buffer.assign(static_cast<std::size_t>(std::max<std::int32_t>(memoryWords, 0)) + 1, 0);
}

std::int64_t ChannelBlockOffset(std::int32_t wordsConverted, int k) {
    return kDataHeaderBytes + 2 * static_cast<std::int64_t>(wordsConverted) * k;
}

// --- Field operations ------------------------------------------------------------------------------

void PutInteger(Bytes& b, std::size_t& pos, std::int16_t v) { PutRaw(b, pos, static_cast<std::uint16_t>(v)); }
void PutLong(Bytes& b, std::size_t& pos, std::int32_t v) { PutRaw(b, pos, static_cast<std::uint32_t>(v)); }
void PutSingle(Bytes& b, std::size_t& pos, float v) { PutRaw(b, pos, std::bit_cast<std::uint32_t>(v)); }

void PutText(Bytes& b, std::size_t& pos, std::string_view text) {
    PutLong(b, pos, static_cast<std::int32_t>(text.size()));
    if (b.size() < pos + text.size()) b.resize(pos + text.size(), 0);
    std::memcpy(b.data() + pos, text.data(), text.size());
    pos += text.size();
}

bool GetInteger(const Bytes& b, std::size_t& pos, std::int16_t& v) {
    std::uint16_t u;
    if (!GetRaw(b, pos, u)) return false;
    v = static_cast<std::int16_t>(u);
    return true;
}

bool GetLong(const Bytes& b, std::size_t& pos, std::int32_t& v) {
    std::uint32_t u;
    if (!GetRaw(b, pos, u)) return false;
    v = static_cast<std::int32_t>(u);
    return true;
}

bool GetSingle(const Bytes& b, std::size_t& pos, float& v) {
    std::uint32_t u;
    if (!GetRaw(b, pos, u)) return false;
    v = std::bit_cast<float>(u);
    return true;
}

bool GetText(const Bytes& b, std::size_t& pos, std::string& text) {
    std::size_t p = pos;
    std::int32_t len;
    if (!GetLong(b, p, len) || len < 0 || static_cast<std::size_t>(len) > b.size() - p) return false;
    text.assign(reinterpret_cast<const char*>(b.data() + p), static_cast<std::size_t>(len));
    pos = p + static_cast<std::size_t>(len);
    return true;
}

// --- Header image ----------------------------------------------------------------------------------

Bytes BuildDataFileHeader(const MeasConditions& m, std::int32_t wordsConverted, std::string_view signature) {
    Bytes b;
    b.reserve(kDataHeaderBytes);
    std::size_t pos = 0;
    PutText(b, pos, signature);
    PutText(b, pos, (m.TriggerTime + std::string(20, ' ')).substr(0, kTriggerTimeLength));
    PutInteger(b, pos, m.TrgMode);
    PutSingle(b, pos, m.SmpClk);
    PutLong(b, pos, m.MemoryWords);
    PutLong(b, pos, m.PreMemoryWords);
    PutLong(b, pos, wordsConverted);
    PutInteger(b, pos, m.Averaging);
    // The number of channels switched on, whatever ChannelCount was last rebuilt to.
    std::int16_t on = 0;
    for (const auto& c : m.Channels) on = static_cast<std::int16_t>(on + (c.OnOff == 1 ? 1 : 0));
    PutInteger(b, pos, on);
    PutText(b, pos, std::string(kHeaderReservedLength, ' '));
    for (const auto& c : m.Channels) {
        PutInteger(b, pos, c.OnOff);
        PutInteger(b, pos, c.InputMode);
        PutInteger(b, pos, c.Lpf);
        PutSingle(b, pos, c.Coeff);
        PutInteger(b, pos, c.Point);
        PutInteger(b, pos, c.Unit);
        PutInteger(b, pos, c.DtgOnOff);
        PutSingle(b, pos, c.DtgLevel);
        PutSingle(b, pos, c.Offset);
        PutText(b, pos, std::string(kChannelReservedLength, ' '));
    }
    return b;
}

// --- Header check ----------------------------------------------------------------------------------
// The check runs in steps; each returns what is wrong (empty when its part is sound). Nothing is
// allocated for samples before every step has passed.

namespace {

std::string Damaged(Language lang, int id, std::initializer_list<std::string_view> args) {
    return Text(lang, txt::DamagedHeader) + TextWith(lang, id, args);
}

// The signature record: one of the two signatures; a cancelled or unfinished file only when asked.
std::string CheckSignature(Language lang, const Bytes& header, std::uint64_t fileSize, bool acceptCancelled,
                           HeaderCheck& r) {
    if (fileSize < static_cast<std::uint64_t>(kDataHeaderBytes) || header.size() < kDataHeaderBytes) {
        return TextWith(lang, txt::HeaderTooShort, {N(static_cast<long long>(fileSize))});
    }
    std::size_t pos = 0;
    std::int32_t sigLen = 0;
    GetLong(header, pos, sigLen);
    if (sigLen != kSignatureLength) return Text(lang, txt::NoSignature);
    pos = 0;
    GetText(header, pos, r.signature);
    r.complete = r.signature == kCompleteSignature;
    r.isDataFile = r.complete || r.signature == kCancelSignature;
    if (!r.isDataFile) return Text(lang, txt::NoSignature);
    if (!r.complete && !acceptCancelled) return Text(lang, txt::RecordingIncomplete);
    return {};
}

// A text record of fixed length at `pos`; `what` names it in the English message.
std::string ReadFixedText(Language lang, const Bytes& header, std::size_t& pos, std::int32_t expected,
                          std::string& out, const std::string& what) {
    const std::size_t at = pos;
    std::size_t p = pos;
    std::int32_t len = 0;
    GetLong(header, p, len);
    if (len == expected && GetText(header, pos, out)) return {};
    return Damaged(lang, txt::BadTextLength, {what, N(static_cast<long long>(at)), N(len), N(expected)});
}

// Every field in the order of the layout, after the signature record.
std::string DecodeFields(Language lang, const Bytes& header, FileConditions& fc) {
    std::size_t pos = static_cast<std::size_t>(4 + kSignatureLength);
    std::string text;
    if (auto e = ReadFixedText(lang, header, pos, kTriggerTimeLength, text, "trigger time"); !e.empty()) return e;
    fc.TriggerTime = Stripped(text);
    GetInteger(header, pos, fc.TrgMode);
    GetSingle(header, pos, fc.SmpClk);
    GetLong(header, pos, fc.MemoryWords);
    GetLong(header, pos, fc.PreMemoryWords);
    GetLong(header, pos, fc.WordsConverted);
    GetInteger(header, pos, fc.Averaging);
    GetInteger(header, pos, fc.ChannelCount);
    if (auto e = ReadFixedText(lang, header, pos, kHeaderReservedLength, text, "reserved"); !e.empty()) return e;
    for (int ch = 1; ch <= kChannels; ++ch) {
        auto& c = fc.Ch(ch);
        GetInteger(header, pos, c.OnOff);
        GetInteger(header, pos, c.InputMode);
        GetInteger(header, pos, c.Lpf);
        GetSingle(header, pos, c.Coeff);
        GetInteger(header, pos, c.Point);
        GetInteger(header, pos, c.Unit);
        GetInteger(header, pos, c.DtgOnOff);
        GetSingle(header, pos, c.DtgLevel);
        GetSingle(header, pos, c.Offset);
        if (auto e = ReadFixedText(lang, header, pos, kChannelReservedLength, text, "channel " + N(ch) + " reserved");
            !e.empty())
            return e;
    }
    return {};
}

// The instrument-wide fields: each one of the instrument's choices, and N and the pre-memory
// within the memory words.
std::string CheckMeasurementFields(Language lang, const FileConditions& fc) {
    const std::int32_t mry = fc.MemoryWords, n = fc.WordsConverted;
    if (mry < 1 || mry > kLargestMemoryWords)
        return Damaged(lang, txt::BadMemoryWords, {N(mry), N(kLargestMemoryWords)});
    if (n < 0 || n > mry) return Damaged(lang, txt::BadStoredWords, {N(n), N(mry)});
    if (fc.PreMemoryWords < 0 || fc.PreMemoryWords > mry)
        return Damaged(lang, txt::BadPreMemoryWords, {N(fc.PreMemoryWords), N(mry)});
    if (!IsOfferedClock(fc.SmpClk)) return Damaged(lang, txt::BadClock, {FormatFloat(fc.SmpClk)});
    if (!kTrgModeRange.Holds(fc.TrgMode)) return Damaged(lang, txt::BadTriggerMode, {N(fc.TrgMode)});
    if (!kAveragingRange.Holds(fc.Averaging)) return Damaged(lang, txt::BadAveraging, {N(fc.Averaging)});
    return {};
}

// Each channel record field within its choices, and the channel count equal to the channels on.
std::string CheckChannelRecords(Language lang, const FileConditions& fc) {
    int on = 0;
    for (int ch = 1; ch <= kChannels; ++ch) {
        const auto& c = fc.Ch(ch);
        // The field's name (a text identifier) and whether it holds one of its choices.
        const std::pair<int, bool> fields[] = {
            {txt::FieldOnOff, kFlagRange.Holds(c.OnOff)},
            {txt::FieldInputMode, FindInputMode(c.InputMode) != nullptr},
            {txt::FieldFilter, kLpfRange.Holds(c.Lpf)},
            {txt::FieldCoefficient, std::isfinite(c.Coeff)},
            {txt::FieldDecimalPoint, kPointRange.Holds(c.Point)},
            {txt::FieldUnit, kUnitRange.Holds(c.Unit)},
            {txt::FieldDataTriggerOnOff, kFlagRange.Holds(c.DtgOnOff)},
            {txt::FieldDataTriggerLevel, std::isfinite(c.DtgLevel)},
            {txt::FieldOffset, std::isfinite(c.Offset)},
        };
        for (const auto& [nameId, valid] : fields) {
            if (!valid) return Damaged(lang, txt::BadChannelField, {Text(lang, nameId), N(ch)});
        }
        on += c.OnOff;
    }
    if (fc.ChannelCount < 1 || fc.ChannelCount > kChannels || fc.ChannelCount != on) {
        return Damaged(lang, txt::BadChannelCount, {N(fc.ChannelCount), N(on)});
    }
    return {};
}

// The bytes the blocks of N samples of every channel need after the header.
std::uint64_t NeededDataFileSize(const FileConditions& fc) {
    return static_cast<std::uint64_t>(kDataHeaderBytes) +
           2ull * static_cast<std::uint64_t>(fc.WordsConverted) * static_cast<std::uint64_t>(fc.ChannelCount);
}

std::string CheckLength(Language lang, const FileConditions& fc, std::uint64_t fileSize) {
    const std::uint64_t needed = NeededDataFileSize(fc);
    if (fileSize >= needed) return {};
    return TextWith(lang, txt::FileCutShort,
                    {N(static_cast<long long>(fileSize)), N(fc.ChannelCount), N(fc.WordsConverted),
                     N(static_cast<long long>(needed))});
}

}  // namespace

std::uint64_t CompleteDataFileSize(const FileConditions& fc) {
    if (fc.ChannelCount < 1) return static_cast<std::uint64_t>(kDataHeaderBytes);
    return static_cast<std::uint64_t>(kDataHeaderBytes) +
           2ull * static_cast<std::uint64_t>(fc.WordsConverted) * static_cast<std::uint64_t>(fc.ChannelCount - 1) +
           2ull * (static_cast<std::uint64_t>(fc.MemoryWords) + 1);
}

std::string DataFileSizeWarning(Language lang, std::uint64_t expected, std::uint64_t actual) {
    if (expected == actual) return {};
    return TextWith(lang, txt::FileLongerThanHeader,
                    {N(static_cast<long long>(actual)), N(static_cast<long long>(expected))});
}

HeaderCheck CheckDataFileHeader(Language lang, const Bytes& header, std::uint64_t fileSize, bool acceptCancelled) {
    HeaderCheck r;
    r.actualSize = fileSize;
    FileConditions fc;
    std::string problem = CheckSignature(lang, header, fileSize, acceptCancelled, r);
    if (problem.empty()) problem = DecodeFields(lang, header, fc);
    if (problem.empty()) problem = CheckMeasurementFields(lang, fc);
    if (problem.empty()) problem = CheckChannelRecords(lang, fc);
    // A cancelled or unfinished file holds the channels that were written before it stopped.
    const bool unfinished = r.isDataFile && !r.complete;
    if (problem.empty() && !unfinished) problem = CheckLength(lang, fc, fileSize);
    if (!problem.empty()) {
        r.problem = std::move(problem);
        return r;
    }
    r.expectedSize = CompleteDataFileSize(fc);
    if (!unfinished) r.sizeWarning = DataFileSizeWarning(lang, r.expectedSize, fileSize);
    RebuildMeasuredChannels(fc);
    for (std::size_t k = 0; k < fc.MeasuredChannels.size(); ++k) {
        const std::uint64_t end = static_cast<std::uint64_t>(kDataHeaderBytes) +
                                  2ull * static_cast<std::uint64_t>(fc.WordsConverted) * (k + 1);
        if (end > fileSize) break;
        r.wholeChannels.push_back(fc.MeasuredChannels[k]);
    }
    r.conditions = std::move(fc);
    r.ok = true;
    return r;
}

// --- File operations ---------------------------------------------------------------------------------

std::string FileErrorMessage(Language lang, int err, const std::string& path) {
    if (IsDeviceNotReadyError(err)) return Text(lang, txt::DriveNotReady);
    return Text(lang, txt::UnexpectedError) + " #" + std::to_string(err) + " " + Text(lang, txt::HasOccurred) +
           ErrorDescription(err) + " (" + path + ")";
}

void ReportFileError(int err, const std::string& path, UiPort& ui, RunStatus& status) {
    ui.ShowMessage(FileErrorMessage(ui.language, err, path), ui.Text(txt::ErrorTitle), MsgIcon::Critical,
                   MsgButtons::Ok);
    status = RunStatus::Cancelled;
}

bool WriteDataFileHeader(const std::string& path, const MeasConditions& m, std::int32_t wordsConverted,
                         UiPort& ui, RunStatus& status, FileWritePort* writes) {
    const Bytes b = BuildDataFileHeader(m, wordsConverted, kCancelSignature);
    FileHandle f;
    if (!f.Open(path, FileHandle::Mode::CreateNew, writes) || !f.WriteAt(0, b.data(), b.size()) || !f.Close()) {
        ReportFileError(f.error(), path, ui, status);
        return false;
    }
    return true;
}

bool WriteChannelBlock(const std::string& path, std::int64_t offset, const SampleBuffer& buffer, UiPort& ui,
                       RunStatus& status, FileWritePort* writes) {
    FileHandle f;
    bool ok = f.Open(path, FileHandle::Mode::ReadWrite, writes);
    if (ok) {
        if constexpr (std::endian::native == std::endian::little) {
            ok = f.WriteAt(offset, buffer.data(), buffer.size() * sizeof(std::int16_t));
        } else {
            Bytes le;
            std::size_t pos = 0;
            le.reserve(buffer.size() * 2);
            for (std::int16_t w : buffer) PutInteger(le, pos, w);
            ok = f.WriteAt(offset, le.data(), le.size());
        }
    }
    if (!ok || !f.Close()) {
        ReportFileError(f.error(), path, ui, status);
        return false;
    }
    return true;
}

bool MarkDataFileComplete(const std::string& path, UiPort& ui, RunStatus& status, FileWritePort* writes) {
    return WriteSignature(path, kCompleteSignature, ui, status, writes);
}

bool MarkDataFileCancelled(const std::string& path, UiPort& ui, RunStatus& status, FileWritePort* writes) {
    return WriteSignature(path, kCancelSignature, ui, status, writes);
}

FileConditions WholeChannelsOnly(const FileConditions& fc, int whole) {
    FileConditions out = fc;
    int kept = 0;
    for (int ch = 1; ch <= kChannels; ++ch) {
        auto& c = out.Ch(ch);
        if (c.OnOff != 1) continue;
        if (kept < whole)
            ++kept;
        else
            c.OnOff = 0;
    }
    out.ChannelCount = static_cast<std::int16_t>(kept);
    RebuildMeasuredChannels(out);
    return out;
}

namespace {

// Reads the header image of a file; false after reporting a file-system error.
bool ReadHeaderImage(const std::string& path, Bytes& header, std::int64_t& size, UiPort& ui, RunStatus& status) {
    FileHandle f;
    if (!f.Open(path, FileHandle::Mode::ReadOnly)) {
        ReportFileError(f.error(), path, ui, status);
        return false;
    }
    size = f.Size();
    if (size < 0) {
        ReportFileError(f.error(), path, ui, status);
        return false;
    }
    header.assign(static_cast<std::size_t>(std::min<std::int64_t>(size, kDataHeaderBytes)), 0);
    if (!f.ReadAt(0, header.data(), header.size())) {
        if (f.error() != 0) {
            ReportFileError(f.error(), path, ui, status);
            return false;
        }
        header.clear();  // the file shrank meanwhile: judged as too short
    }
    f.Close();
    return true;
}

}  // namespace

bool ReadWholeChannelsHeader(const std::string& path, FileConditions& fc, UiPort& ui, RunStatus& status,
                             std::string* sizeWarning) {
    Bytes header;
    std::int64_t size = 0;
    if (!ReadHeaderImage(path, header, size, ui, status)) return false;
    HeaderCheck check = CheckDataFileHeader(ui.language, header, static_cast<std::uint64_t>(size), true);
    if (check.ok && check.wholeChannels.empty()) check.problem = ui.Text(txt::NoWholeChannel);
    if (!check.ok || check.wholeChannels.empty()) {
        ShowRefusedFile(path, check.problem, ui, status);
        return false;
    }
    if (sizeWarning) *sizeWarning = check.sizeWarning;
    fc = WholeChannelsOnly(check.conditions, static_cast<int>(check.wholeChannels.size()));
    return true;
}

bool ReadDataFileHeader(const std::string& path, FileConditions& fc, UiPort& ui, RunStatus& status,
                        std::string* sizeWarning) {
    FileHandle f;
    if (!f.Open(path, FileHandle::Mode::ReadOnly)) {
        ReportFileError(f.error(), path, ui, status);
        return false;
    }
    const std::int64_t size = f.Size();
    if (size < 0) {
        ReportFileError(f.error(), path, ui, status);
        return false;
    }
    Bytes header(static_cast<std::size_t>(std::min<std::int64_t>(size, kDataHeaderBytes)));
    if (!f.ReadAt(0, header.data(), header.size())) {
        if (f.error() != 0) {
            ReportFileError(f.error(), path, ui, status);
            return false;
        }
        header.clear();  // the file shrank meanwhile: judged as too short below
    }
    f.Close();
    HeaderCheck check = CheckDataFileHeader(ui.language, header, static_cast<std::uint64_t>(size));
    if (!check.ok) {
        ShowRefusedFile(path, check.problem, ui, status);
        return false;
    }
    if (sizeWarning) *sizeWarning = check.sizeWarning;
    fc = std::move(check.conditions);
    return true;
}

std::int64_t ReadSampleWords(const std::string& path, std::int64_t offset, std::int16_t* dest, std::size_t count,
                             UiPort& ui, RunStatus& status) {
    FileHandle f;
    if (!f.Open(path, FileHandle::Mode::ReadOnly)) {
        ReportFileError(f.error(), path, ui, status);
        return -1;
    }
    const std::int64_t size = f.Size();
    if (size < 0) {
        ReportFileError(f.error(), path, ui, status);
        return -1;
    }
    const std::int64_t available = std::max<std::int64_t>(0, size - std::max<std::int64_t>(offset, 0)) / 2;
    const std::size_t words = static_cast<std::size_t>(std::min<std::int64_t>(available, static_cast<std::int64_t>(count)));
    if (words > 0 && !f.ReadAt(offset, dest, words * 2)) {
        if (f.error() != 0) {
            ReportFileError(f.error(), path, ui, status);
            return -1;
        }
    }
    SampleWordsToHost(dest, words);
    return static_cast<std::int64_t>(words);
}

void SampleWordsToHost(std::int16_t* words, std::size_t count) {
    if constexpr (std::endian::native != std::endian::little) {
        for (std::size_t i = 0; i < count; ++i) {
            const auto u = static_cast<std::uint16_t>(words[i]);
            words[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>((u >> 8) | (u << 8)));
        }
    }
}

bool ReadChannelBlock(const std::string& path, std::int64_t offset, const FileConditions& fc, SampleBuffer& buffer,
                      UiPort& ui, RunStatus& status) {
    const std::int32_t mry = std::clamp<std::int32_t>(fc.MemoryWords, 0, kLargestMemoryWords);
    RedimSampleBuffer(buffer, mry);
    return ReadSampleWords(path, offset, buffer.data(), buffer.size(), ui, status) >= 0;
}

}  // namespace kmr
