#include "core/datafiles/DataFile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "core/datafiles/FileIo.h"
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

bool WriteSignature(const std::string& path, std::string_view signature, UiPort& ui, RunStatus& status) {
    Bytes b;
    std::size_t pos = 0;
    PutText(b, pos, signature);
    FileHandle f;
    if (!f.Open(path, FileHandle::Mode::ReadWrite) || !f.WriteAt(0, b.data(), b.size()) || !f.Close()) {
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

HeaderCheck CheckDataFileHeader(const Bytes& header, std::uint64_t fileSize, bool acceptCancelled) {
    HeaderCheck r;
    auto fail = [&r](std::string problem) {
        r.ok = false;
        r.problem = std::move(problem);
        return r;
    };
    if (fileSize < static_cast<std::uint64_t>(kDataHeaderBytes) || header.size() < kDataHeaderBytes) {
        return fail(Say("The file is " + N(static_cast<long long>(fileSize)) +
                            " bytes long, shorter than the 1100-byte header of a data file.",
                        "ファイルの長さが " + N(static_cast<long long>(fileSize)) +
                            " バイトで、データファイルのヘッダ (1100 バイト) より短いです。"));
    }
    std::size_t pos = 0;
    std::int32_t sigLen = 0;
    GetLong(header, pos, sigLen);
    if (sigLen != kSignatureLength) {
        return fail(Say("It does not begin with the signature of a data file.",
                        "データファイルの識別子で始まっていません。"));
    }
    pos = 0;
    GetText(header, pos, r.signature);
    r.complete = r.signature == kCompleteSignature;
    r.isDataFile = r.complete || r.signature == kCancelSignature;
    if (!r.isDataFile) {
        return fail(Say("It does not begin with the signature of a data file.",
                        "データファイルの識別子で始まっていません。"));
    }
    if (!r.complete && !acceptCancelled) {
        return fail(Say("Its recording was cancelled or did not complete.",
                        "この測定は中止されたか、保存が完了していません。"));
    }

    FileConditions fc;
    auto fixedText = [&](std::int32_t expected, std::string& out, const char* what) -> bool {
        const std::size_t at = pos;
        std::size_t p = pos;
        std::int32_t len = 0;
        GetLong(header, p, len);
        if (len != expected || !GetText(header, pos, out)) {
            r.problem = Say("Damaged header: the " + std::string(what) + " text at byte " + N(static_cast<long long>(at)) +
                                " has length " + N(len) + " instead of " + N(expected) + ".",
                            "ヘッダが壊れています: " + N(static_cast<long long>(at)) + " バイト目のテキストの長さが " +
                                N(len) + " です (正しくは " + N(expected) + ")。");
            return false;
        }
        return true;
    };
    std::string text;
    if (!fixedText(kTriggerTimeLength, text, "trigger time")) return fail(r.problem);
    fc.TriggerTime = Stripped(text);
    GetInteger(header, pos, fc.TrgMode);
    GetSingle(header, pos, fc.SmpClk);
    GetLong(header, pos, fc.MemoryWords);
    GetLong(header, pos, fc.PreMemoryWords);
    GetLong(header, pos, fc.WordsConverted);
    GetInteger(header, pos, fc.Averaging);
    GetInteger(header, pos, fc.ChannelCount);
    if (!fixedText(kHeaderReservedLength, text, "reserved")) return fail(r.problem);
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
        const std::string what = "channel " + N(ch) + " reserved";
        if (!fixedText(kChannelReservedLength, text, what.c_str())) return fail(r.problem);
    }

    const std::int32_t mry = fc.MemoryWords, n = fc.WordsConverted;
    if (mry < 1 || mry > kLargestMemoryWords) {
        return fail(Say("Damaged header: memory words " + N(mry) + " outside 1 to " + N(kLargestMemoryWords) + ".",
                        "ヘッダが壊れています: メモリワード数 " + N(mry) + " が 1～" + N(kLargestMemoryWords) +
                            " の範囲外です。"));
    }
    if (n < 0 || n > mry) {
        return fail(Say("Damaged header: stored words " + N(n) + " outside 0 to the memory words " + N(mry) + ".",
                        "ヘッダが壊れています: 保存ワード数 " + N(n) + " が 0～メモリワード数 " + N(mry) +
                            " の範囲外です。"));
    }
    if (!kTrgModeRange.Holds(fc.TrgMode) || !kAveragingRange.Holds(fc.Averaging) || !std::isfinite(fc.SmpClk)) {
        return fail(Say("Damaged header: trigger mode " + N(fc.TrgMode) + ", averaging " + N(fc.Averaging) +
                            " or the sampling clock is not a valid setting.",
                        "ヘッダが壊れています: トリガモード " + N(fc.TrgMode) + "、アベレージング " +
                            N(fc.Averaging) + " またはサンプリングクロックが不正です。"));
    }
    int on = 0;
    for (int ch = 1; ch <= kChannels; ++ch) {
        const auto& c = fc.Ch(ch);
        const bool valid = kFlagRange.Holds(c.OnOff) && FindInputMode(c.InputMode) && kLpfRange.Holds(c.Lpf) &&
                           kPointRange.Holds(c.Point) && kUnitRange.Holds(c.Unit) && kFlagRange.Holds(c.DtgOnOff) &&
                           std::isfinite(c.Coeff) &&
                           std::isfinite(c.DtgLevel) && std::isfinite(c.Offset);
        if (!valid) {
            return fail(Say("Damaged header: the record of channel " + N(ch) + " holds values outside their range.",
                            "ヘッダが壊れています: チャンネル " + N(ch) + " の条件に範囲外の値があります。"));
        }
        on += c.OnOff;
    }
    if (fc.ChannelCount < 1 || fc.ChannelCount > kChannels || fc.ChannelCount != on) {
        return fail(Say("Damaged header: the channel count " + N(fc.ChannelCount) + " does not match the " + N(on) +
                            " channels switched on (1 to 10 expected).",
                        "ヘッダが壊れています: チャンネル数 " + N(fc.ChannelCount) + " がオンのチャンネル数 " +
                            N(on) + " と一致しません (1～10)。"));
    }
    const std::uint64_t needed = static_cast<std::uint64_t>(kDataHeaderBytes) +
                                 2ull * static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(on);
    if (fileSize < needed) {
        return fail(Say("The file is cut short: " + N(static_cast<long long>(fileSize)) + " bytes, but its " + N(on) +
                            " channels of " + N(n) + " samples need " + N(static_cast<long long>(needed)) + ".",
                        "ファイルが途中で切れています: " + N(static_cast<long long>(fileSize)) + " バイトですが、" +
                            N(on) + " チャンネル × " + N(n) + " サンプルには " +
                            N(static_cast<long long>(needed)) + " バイト必要です。"));
    }
    fc.MeasuredChannels.clear();
    for (int ch = 1; ch <= kChannels; ++ch)
        if (fc.Ch(ch).OnOff == 1) fc.MeasuredChannels.push_back(ch);
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
                         UiPort& ui, RunStatus& status) {
    const Bytes b = BuildDataFileHeader(m, wordsConverted, kCancelSignature);
    FileHandle f;
    if (!f.Open(path, FileHandle::Mode::CreateNew) || !f.WriteAt(0, b.data(), b.size()) || !f.Close()) {
        ReportFileError(f.error(), path, ui, status);
        return false;
    }
    return true;
}

bool WriteChannelBlock(const std::string& path, std::int64_t offset, const SampleBuffer& buffer, UiPort& ui,
                       RunStatus& status) {
    FileHandle f;
    bool ok = f.Open(path, FileHandle::Mode::ReadWrite);
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

bool MarkDataFileComplete(const std::string& path, UiPort& ui, RunStatus& status) {
    return WriteSignature(path, kCompleteSignature, ui, status);
}

bool MarkDataFileCancelled(const std::string& path, UiPort& ui, RunStatus& status) {
    return WriteSignature(path, kCancelSignature, ui, status);
}

bool ReadDataFileHeader(const std::string& path, FileConditions& fc, UiPort& ui, RunStatus& status) {
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
