#include "core/datafiles/DataFile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "core/datafiles/FileIo.h"
#include "core/support/Numbers.h"
#include "core/support/SpecialFolders.h"
#include "core/support/TextTable.h"

namespace kmr {

namespace {

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

void ShowRefusedFile(const std::string& path, const HeaderCheck& check, UiPort& ui, RunStatus& status) {
    std::string text = ui.Text(check.refusalHeading) + "\n" + path;
    if (!check.problem.empty()) text += "\n" + check.problem;
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
    for (const auto& c : m.Channels) on = static_cast<std::int16_t>(on + (c.Measured() ? 1 : 0));
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

// --- File operations ---------------------------------------------------------------------------------

std::string FileErrorMessage(Language lang, int err, const std::string& path) {
    if (IsDeviceNotReadyError(err)) return Text(lang, txt::DriveNotReady);
    return Text(lang, txt::UnexpectedError) + " #" + std::to_string(err) + " " + Text(lang, txt::HasOccurred) + ErrorDescription(err, lang) + " (" + path +
           ")";
}

void ReportFileError(int err, const std::string& path, UiPort& ui, RunStatus& status) {
    ui.ShowMessage(FileErrorMessage(ui.language, err, path), ui.Text(txt::ErrorTitle), MsgIcon::Critical, MsgButtons::Ok);
    status = RunStatus::Cancelled;
}

bool WriteDataFileHeader(const std::string& path, const MeasConditions& m, std::int32_t wordsConverted,
                         UiPort& ui, RunStatus& status, FileWritePort* writes) {
    const Bytes b = BuildDataFileHeader(m, wordsConverted, kCancelSignature);
    FileHandle f;
    if (!f.Open(path, FileHandle::Mode::CreateNew, writes)) {
        ReportFileError(f.error(), path, ui, status);
        return false;
    }
    if (!f.WriteAt(0, b.data(), b.size()) || !f.Close()) {
        // The file made new here holds no whole header (a full disk): it is no data file, and
        // does not stay behind as one.
        const int error = f.error();
        f.Close();
        RemoveFile(path);
        ReportFileError(error, path, ui, status);
        return false;
    }
    return true;
}

bool RewriteDataFileHeader(const std::string& path, const MeasConditions& m, std::int32_t wordsConverted,
                           UiPort& ui, RunStatus& status, FileWritePort* writes) {
    const Bytes b = BuildDataFileHeader(m, wordsConverted, kCancelSignature);
    FileHandle f;
    if (!f.Open(path, FileHandle::Mode::ReadWrite, writes) || !f.WriteAt(0, b.data(), b.size()) || !f.Close()) {
        const int error = f.error();
        f.Close();
        ReportFileError(error, path, ui, status);
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
    // The samples are on the disk before the file says it holds them all, and the mark itself
    // before the file is called saved: a drive that refuses them at the sync (a full network
    // drive) leaves the file marked as not complete, and the failure is said.
    Bytes b;
    std::size_t pos = 0;
    PutText(b, pos, kCompleteSignature);
    FileHandle f;
    if (!f.Open(path, FileHandle::Mode::ReadWrite, writes) || !f.Sync() || !f.WriteAt(0, b.data(), b.size()) ||
        !f.Sync() || !f.Close()) {
        const int error = f.error();
        f.Close();
        ReportFileError(error, path, ui, status);
        // The mark may have reached the file: it is taken back (as far as the drive still lets
        // it, without a second message), so that the file does not claim what was not saved.
        Bytes cancel;
        pos = 0;
        PutText(cancel, pos, kCancelSignature);
        FileHandle back;
        if (back.Open(path, FileHandle::Mode::ReadWrite, writes) && back.WriteAt(0, cancel.data(), cancel.size()))
            back.Sync();
        back.Close();
        return false;
    }
    return true;
}

bool MarkDataFileCancelled(const std::string& path, UiPort& ui, RunStatus& status, FileWritePort* writes) {
    return WriteSignature(path, kCancelSignature, ui, status, writes);
}

FileConditions WholeChannelsOnly(const FileConditions& fc, int whole) {
    FileConditions out = fc;
    int kept = 0;
    for (int ch = 1; ch <= kChannels; ++ch) {
        auto& c = out.Ch(ch);
        if (!c.Measured()) continue;
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
        ShowRefusedFile(path, check, ui, status);
        return false;
    }
    if (sizeWarning) *sizeWarning = check.sizeWarning;
    fc = WholeChannelsOnly(check.conditions, static_cast<int>(check.wholeChannels.size()));
    return true;
}

bool ReadDataFileHeader(const std::string& path, FileConditions& fc, UiPort& ui, RunStatus& status,
                        std::string* sizeWarning, int incompleteAdvice) {
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
        if (incompleteAdvice != 0 && check.isDataFile && !check.complete &&
            !CheckDataFileHeader(ui.language, header, static_cast<std::uint64_t>(size), true).wholeChannels.empty())
            check.problem += "\n" + ui.Text(incompleteAdvice);
        ShowRefusedFile(path, check, ui, status);
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

FileVersion VersionOf(const std::string& path) {
    FileVersion version{path};
    std::error_code ec;
    const std::filesystem::path p = PathFromUtf8(path);
    const auto bytes = std::filesystem::file_size(p, ec);
    if (ec) return version;
    const auto modified = std::filesystem::last_write_time(p, ec);
    if (ec) return version;
    version.bytes = static_cast<std::int64_t>(bytes);
    version.modified = static_cast<std::int64_t>(modified.time_since_epoch().count());
    return version;
}

}  // namespace kmr
