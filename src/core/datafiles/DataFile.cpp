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

// A problem description in the active language.
std::string Say(const std::string& english, const std::string& japanese) {
    return TextLanguage() == Language::Japanese ? japanese : english;
}

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
    std::string text = Text(113) + "\n" + path;
    if (!problem.empty()) text += "\n" + problem;
    ui.ShowMessage(text, Text(107), MsgIcon::Critical, MsgButtons::Ok);
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

std::string Damaged(const std::string& english, const std::string& japanese) {
    return Say("Damaged header: " + english, "ヘッダが壊れています: " + japanese);
}

// The signature record: one of the two signatures; a cancelled or unfinished file only when asked.
std::string CheckSignature(const Bytes& header, std::uint64_t fileSize, bool acceptCancelled, HeaderCheck& r) {
    if (fileSize < static_cast<std::uint64_t>(kDataHeaderBytes) || header.size() < kDataHeaderBytes) {
        return Say("The file is " + N(static_cast<long long>(fileSize)) +
                       " bytes long, shorter than the 1100-byte header of a data file.",
                   "ファイルの長さが " + N(static_cast<long long>(fileSize)) +
                       " バイトで、データファイルのヘッダ (1100 バイト) より短いです。");
    }
    const std::string notData = Say("It does not begin with the signature of a data file.",
                                    "データファイルの識別子で始まっていません。");
    std::size_t pos = 0;
    std::int32_t sigLen = 0;
    GetLong(header, pos, sigLen);
    if (sigLen != kSignatureLength) return notData;
    pos = 0;
    GetText(header, pos, r.signature);
    r.complete = r.signature == kCompleteSignature;
    r.isDataFile = r.complete || r.signature == kCancelSignature;
    if (!r.isDataFile) return notData;
    if (!r.complete && !acceptCancelled) {
        return Say("Its recording was cancelled or did not complete.",
                   "この測定は中止されたか、保存が完了していません。");
    }
    return {};
}

// A text record of fixed length at `pos`.
std::string ReadFixedText(const Bytes& header, std::size_t& pos, std::int32_t expected, std::string& out,
                          const std::string& what) {
    const std::size_t at = pos;
    std::size_t p = pos;
    std::int32_t len = 0;
    GetLong(header, p, len);
    if (len == expected && GetText(header, pos, out)) return {};
    return Damaged("the " + what + " text at byte " + N(static_cast<long long>(at)) + " has length " + N(len) +
                       " instead of " + N(expected) + ".",
                   N(static_cast<long long>(at)) + " バイト目のテキストの長さが " + N(len) + " です (正しくは " +
                       N(expected) + ")。");
}

// Every field in the order of the layout, after the signature record.
std::string DecodeFields(const Bytes& header, FileConditions& fc) {
    std::size_t pos = static_cast<std::size_t>(4 + kSignatureLength);
    std::string text;
    if (auto e = ReadFixedText(header, pos, kTriggerTimeLength, text, "trigger time"); !e.empty()) return e;
    fc.TriggerTime = Stripped(text);
    GetInteger(header, pos, fc.TrgMode);
    GetSingle(header, pos, fc.SmpClk);
    GetLong(header, pos, fc.MemoryWords);
    GetLong(header, pos, fc.PreMemoryWords);
    GetLong(header, pos, fc.WordsConverted);
    GetInteger(header, pos, fc.Averaging);
    GetInteger(header, pos, fc.ChannelCount);
    if (auto e = ReadFixedText(header, pos, kHeaderReservedLength, text, "reserved"); !e.empty()) return e;
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
        if (auto e = ReadFixedText(header, pos, kChannelReservedLength, text, "channel " + N(ch) + " reserved");
            !e.empty())
            return e;
    }
    return {};
}

// The instrument-wide fields: each one of the instrument's choices, and N and the pre-memory
// within the memory words.
std::string CheckMeasurementFields(const FileConditions& fc) {
    const std::int32_t mry = fc.MemoryWords, n = fc.WordsConverted;
    if (mry < 1 || mry > kLargestMemoryWords) {
        return Damaged("memory words " + N(mry) + " outside 1 to " + N(kLargestMemoryWords) + ".",
                       "メモリワード数 " + N(mry) + " が 1～" + N(kLargestMemoryWords) + " の範囲外です。");
    }
    if (n < 0 || n > mry) {
        return Damaged("stored words " + N(n) + " outside 0 to the memory words " + N(mry) + ".",
                       "保存ワード数 " + N(n) + " が 0～メモリワード数 " + N(mry) + " の範囲外です。");
    }
    if (fc.PreMemoryWords < 0 || fc.PreMemoryWords > mry) {
        return Damaged("pre-memory words " + N(fc.PreMemoryWords) + " outside 0 to the memory words " + N(mry) + ".",
                       "プリメモリワード数 " + N(fc.PreMemoryWords) + " が 0～メモリワード数 " + N(mry) +
                           " の範囲外です。");
    }
    if (!IsOfferedClock(fc.SmpClk)) {
        return Damaged("sampling clock " + FormatFloat(fc.SmpClk) + " ms is not a clock of the instrument.",
                       "サンプリングクロック " + FormatFloat(fc.SmpClk) + " ms は本器のクロックではありません。");
    }
    if (!kTrgModeRange.Holds(fc.TrgMode)) {
        return Damaged("trigger mode " + N(fc.TrgMode) + " is not 0, 1 or 2.",
                       "トリガモード " + N(fc.TrgMode) + " が 0、1、2 のいずれでもありません。");
    }
    if (!kAveragingRange.Holds(fc.Averaging)) {
        return Damaged("averaging " + N(fc.Averaging) + " outside 0 to 10.",
                       "アベレージング " + N(fc.Averaging) + " が 0～10 の範囲外です。");
    }
    return {};
}

// Each channel record field within its choices, and the channel count equal to the channels on.
std::string CheckChannelRecords(const FileConditions& fc) {
    int on = 0;
    for (int ch = 1; ch <= kChannels; ++ch) {
        const auto& c = fc.Ch(ch);
        struct Field {
            const char* english;
            const char* japanese;
            bool valid;
        };
        const Field fields[] = {
            {"on/off", "オン/オフ", kFlagRange.Holds(c.OnOff)},
            {"input mode", "入力モード", FindInputMode(c.InputMode) != nullptr},
            {"filter", "フィルタ", kLpfRange.Holds(c.Lpf)},
            {"coefficient", "係数", std::isfinite(c.Coeff)},
            {"decimal point", "小数点", kPointRange.Holds(c.Point)},
            {"unit", "単位", kUnitRange.Holds(c.Unit)},
            {"data trigger on/off", "データトリガのオン/オフ", kFlagRange.Holds(c.DtgOnOff)},
            {"data trigger level", "データトリガレベル", std::isfinite(c.DtgLevel)},
            {"offset", "オフセット", std::isfinite(c.Offset)},
        };
        for (const Field& f : fields) {
            if (f.valid) continue;
            return Damaged("the " + std::string(f.english) + " of channel " + N(ch) + " is outside its range.",
                           "チャンネル " + N(ch) + " の" + f.japanese + "が範囲外です。");
        }
        on += c.OnOff;
    }
    if (fc.ChannelCount < 1 || fc.ChannelCount > kChannels || fc.ChannelCount != on) {
        return Damaged("the channel count " + N(fc.ChannelCount) + " does not match the " + N(on) +
                           " channels switched on (1 to 10 expected).",
                       "チャンネル数 " + N(fc.ChannelCount) + " がオンのチャンネル数 " + N(on) +
                           " と一致しません (1～10)。");
    }
    return {};
}

// The bytes the blocks of N samples of every channel need after the header.
std::uint64_t NeededDataFileSize(const FileConditions& fc) {
    return static_cast<std::uint64_t>(kDataHeaderBytes) +
           2ull * static_cast<std::uint64_t>(fc.WordsConverted) * static_cast<std::uint64_t>(fc.ChannelCount);
}

std::string CheckLength(const FileConditions& fc, std::uint64_t fileSize) {
    const std::uint64_t needed = NeededDataFileSize(fc);
    if (fileSize >= needed) return {};
    const auto size = static_cast<long long>(fileSize);
    return Say("The file is cut short: " + N(size) + " bytes, but its " + N(fc.ChannelCount) + " channels of " +
                   N(fc.WordsConverted) + " samples need " + N(static_cast<long long>(needed)) + ".",
               "ファイルが途中で切れています: " + N(size) + " バイトですが、" + N(fc.ChannelCount) +
                   " チャンネル × " + N(fc.WordsConverted) + " サンプルには " + N(static_cast<long long>(needed)) +
                   " バイト必要です。");
}

}  // namespace

std::uint64_t CompleteDataFileSize(const FileConditions& fc) {
    if (fc.ChannelCount < 1) return static_cast<std::uint64_t>(kDataHeaderBytes);
    return static_cast<std::uint64_t>(kDataHeaderBytes) +
           2ull * static_cast<std::uint64_t>(fc.WordsConverted) * static_cast<std::uint64_t>(fc.ChannelCount - 1) +
           2ull * (static_cast<std::uint64_t>(fc.MemoryWords) + 1);
}

std::string DataFileSizeWarning(std::uint64_t expected, std::uint64_t actual) {
    if (expected == actual) return {};
    const auto e = static_cast<long long>(expected), a = static_cast<long long>(actual);
    return Say("The file is " + N(a) + " bytes long, but its header implies " + N(e) +
                   " bytes: the header or the file may be damaged, or the file was written over a longer one.",
               "ファイルの長さは " + N(a) + " バイトですが、ヘッダからは " + N(e) +
                   " バイトのはずです: ヘッダかファイルが壊れているか、長いファイルの上に書かれた可能性があります。");
}

HeaderCheck CheckDataFileHeader(const Bytes& header, std::uint64_t fileSize, bool acceptCancelled) {
    HeaderCheck r;
    r.actualSize = fileSize;
    FileConditions fc;
    std::string problem = CheckSignature(header, fileSize, acceptCancelled, r);
    if (problem.empty()) problem = DecodeFields(header, fc);
    if (problem.empty()) problem = CheckMeasurementFields(fc);
    if (problem.empty()) problem = CheckChannelRecords(fc);
    if (problem.empty()) problem = CheckLength(fc, fileSize);
    if (!problem.empty()) {
        r.problem = std::move(problem);
        return r;
    }
    r.expectedSize = CompleteDataFileSize(fc);
    r.sizeWarning = DataFileSizeWarning(r.expectedSize, fileSize);
    RebuildMeasuredChannels(fc);
    r.conditions = std::move(fc);
    r.ok = true;
    return r;
}

// --- File operations ---------------------------------------------------------------------------------

std::string FileErrorMessage(int err, const std::string& path) {
    if (IsDeviceNotReadyError(err)) return Text(129);
    return Text(168) + " #" + std::to_string(err) + " " + Text(109) + ErrorDescription(err) + " (" + path + ")";
}

void ReportFileError(int err, const std::string& path, UiPort& ui, RunStatus& status) {
    ui.ShowMessage(FileErrorMessage(err, path), Text(107), MsgIcon::Critical, MsgButtons::Ok);
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
    HeaderCheck check = CheckDataFileHeader(header, static_cast<std::uint64_t>(size));
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
