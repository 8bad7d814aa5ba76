#include "core/support/CndFile.h"

#include "core/support/Numbers.h"
#include "core/support/SpecialFolders.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kmr {

namespace {

// An item longer than this is damaged input; reading stops there.
constexpr std::size_t kMaxItemBytes = 4096;
constexpr std::size_t kChunkBytes = 16384;

long ProcessId() {
#ifdef _WIN32
    return static_cast<long>(::_getpid());
#else
    return static_cast<long>(::getpid());
#endif
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
#ifdef _WIN32
    const std::filesystem::path p = PathFromUtf8(path);
    std::wstring wmode;
    for (const char* m = mode; *m; ++m) wmode.push_back(static_cast<wchar_t>(*m));
    return _wfopen(p.c_str(), wmode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

// Well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view s) {
    std::size_t i = 0;
    const auto u = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    while (i < s.size()) {
        const unsigned char c = u(i);
        if (c < 0x80) { ++i; continue; }
        std::size_t len = 0;
        unsigned lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) len = 2;
        else if (c == 0xE0) { len = 3; lo = 0xA0; }
        else if (c >= 0xE1 && c <= 0xEC) len = 3;
        else if (c == 0xED) { len = 3; hi = 0x9F; }
        else if (c >= 0xEE && c <= 0xEF) len = 3;
        else if (c == 0xF0) { len = 4; lo = 0x90; }
        else if (c >= 0xF1 && c <= 0xF3) len = 4;
        else if (c == 0xF4) { len = 4; hi = 0x8F; }
        else return false;
        if (i + len > s.size()) return false;
        if (u(i + 1) < lo || u(i + 1) > hi) return false;
        for (std::size_t k = 2; k < len; ++k)
            if (u(i + k) < 0x80 || u(i + k) > 0xBF) return false;
        i += len;
    }
    return true;
}

// A text item in Shift-JIS (code page 932), as older Japanese editors save files, in UTF-8;
// empty when the bytes are no such text either.
std::optional<std::string> FromShiftJis(const std::string& bytes) {
    std::string out;
#ifdef _WIN32
    const int n = static_cast<int>(bytes.size());
    const int wn = ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), n, nullptr, 0);
    if (wn <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(wn), L'\0');
    ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), n, wide.data(), wn);
    const int un = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wn, nullptr, 0, nullptr, nullptr);
    if (un <= 0) return std::nullopt;
    out.resize(static_cast<std::size_t>(un));
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wn, out.data(), un, nullptr, nullptr);
#else
    const iconv_t cd = ::iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string in = bytes;
    char* from = in.data();
    std::size_t left = in.size();
    out.resize(in.size() * 3 / 2 + 4);  // two bytes become at most three
    char* to = out.data();
    std::size_t room = out.size();
    const std::size_t rc = ::iconv(cd, &from, &left, &to, &room);
    ::iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1) || left != 0) return std::nullopt;
    out.resize(out.size() - room);
#endif
    if (!IsValidUtf8(out)) return std::nullopt;
    return out;
}

// Puts what was written to `f` on the disk: 0, or -1 with errno set.
int SyncFile(std::FILE* f) {
#ifdef _WIN32
    return ::_commit(::_fileno(f)) == 0 ? 0 : -1;
#else
    int rc;
    do {
        rc = ::fsync(::fileno(f));
    } while (rc != 0 && errno == EINTR);
    // Nothing to wait for where the file system cannot sync.
    if (rc != 0 && (errno == EINVAL || errno == EROFS)) return 0;
    return rc;
#endif
}

std::string SystemReason(int err) {
    return std::error_code(err, std::generic_category()).message();
}

// Where a chain of symbolic links starting at `path` ends (`path` itself when it is no link),
// relative links taken from the folder of the link: 0, or the error number of a chain that
// cannot be followed (one that loops, one that cannot be read).
int LinkedFile(const std::string& path, std::string& out) {
    namespace fs = std::filesystem;
    constexpr int kMaxLinks = 40;
    fs::path p = PathFromUtf8(path);
    for (int links = 0;; ++links) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(p, ec))) break;
        if (links == kMaxLinks) return static_cast<int>(std::errc::too_many_symbolic_link_levels);
        const fs::path next = fs::read_symlink(p, ec);
        if (ec) return ec.default_error_condition().value();
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    if (p == PathFromUtf8(path)) {
        out = path;
    } else {
        const std::u8string u = p.u8string();
        out.assign(reinterpret_cast<const char*>(u.data()), u.size());
    }
    return 0;
}

// Gives the new file `f` the permission bits (and, where this user may, the group) of the file
// it is to replace, so that a file made read-only for others or writable for a group stays so.
// Nothing when there is no old file or its mode cannot be read. On Windows the only bit the file
// system keeps is read-only, and a read-only file cannot be replaced at all: nothing to carry.
void TakeModeOf(const std::string& oldFile, std::FILE* f) {
#ifdef _WIN32
    (void)oldFile;
    (void)f;
#else
    struct stat st {};
    if (::stat(oldFile.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    const int fd = ::fileno(f);
    // The group first: changing it may clear bits the mode then sets. Failures leave the defaults.
    [[maybe_unused]] const int grouped = ::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    [[maybe_unused]] const int moded = ::fchmod(fd, st.st_mode & 0777);
#endif
}

// A read-only file (no write permission at all, or none for this user) is not replaced: whoever
// made it so meant it to stay. 0 to save, -1 when it holds the text already, or EACCES.
int ReadOnlyError(const std::string& file, const std::string& text) {
#ifndef _WIN32
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    if ((st.st_mode & 0222) != 0 && ::access(file.c_str(), W_OK) == 0) return 0;
    std::string held(text.size() + 1, '\0');
    std::FILE* f = std::fopen(file.c_str(), "rb");
    const bool same = f && std::fread(held.data(), 1, held.size(), f) == text.size() && held.compare(0, text.size(), text) == 0;
    if (f) std::fclose(f);
    return same ? -1 : EACCES;
#endif
    return (void)file, (void)text, 0;
}

}  // namespace

// The reader walks the file in chunks and cuts it into items:
// - blanks (space, tab) around items are ignored;
// - a comma or a line end (CR, LF or CR LF) ends an item; empty lines are skipped;
// - an item starting with a double quote is a text up to the next double quote ("" inside
//   stands for one quote); after the closing quote only blanks may follow before the separator;
// - any other item runs up to the next separator (a bare item; a text read accepts it too);
// - two separators with nothing between them after a comma give an empty bare item;
// - an item that is not UTF-8 is read as Shift-JIS (older Japanese editors save so);
// - control characters (other than tab), bytes that are neither UTF-8 nor Shift-JIS and items
//   over 4096 bytes are damage: the read fails, and so does every later one.
struct CndReader::Impl {
    std::FILE* file = nullptr;
    bool failed = false;
    char buf[kChunkBytes];
    std::size_t pos = 0, len = 0;
    bool eof = false;
    bool afterComma = false;  // the previous item ended with a comma

    ~Impl() {
        if (file) std::fclose(file);
    }

    // Next byte, or -1 at the end of the file (or on a read error).
    int Peek() {
        if (pos == len) {
            if (eof || !file) return -1;
            len = std::fread(buf, 1, sizeof buf, file);
            pos = 0;
            if (len == 0) {
                eof = true;
                return -1;
            }
        }
        return static_cast<unsigned char>(buf[pos]);
    }
    void Advance() { ++pos; }

    void SkipBlanks() {
        for (int c = Peek(); c == ' ' || c == '\t'; c = Peek()) Advance();
    }
    // Consumes one line end when one is next.
    bool TakeLineEnd() {
        const int c = Peek();
        if (c == '\n') { Advance(); return true; }
        if (c == '\r') {
            Advance();
            if (Peek() == '\n') Advance();
            return true;
        }
        return false;
    }
    static bool IsDamage(int c) { return c == 0x7F || (c < 0x20 && c != '\t' && c >= 0); }

    // Reads the next item. Returns false at the end of the file or on damage.
    bool Next(std::string& item, bool& quoted) {
        item.clear();
        quoted = false;
        SkipBlanks();
        if (!afterComma) {
            // Empty lines between items are skipped.
            while (TakeLineEnd()) SkipBlanks();
        }
        int c = Peek();
        if (c < 0 && !afterComma) return false;  // no more items
        if (c == '"') {
            quoted = true;
            Advance();
            for (;;) {
                c = Peek();
                if (c < 0 || c == '\r' || c == '\n' || IsDamage(c)) return false;
                Advance();
                if (c == '"') {
                    if (Peek() == '"') {  // a doubled quote stands for one quote
                        Advance();
                    } else {
                        break;
                    }
                }
                if (item.size() >= kMaxItemBytes) return false;
                item.push_back(static_cast<char>(c));
            }
            SkipBlanks();
        } else {
            for (c = Peek(); c >= 0 && c != ',' && c != '\r' && c != '\n'; c = Peek()) {
                if (IsDamage(c) || item.size() >= kMaxItemBytes) return false;
                item.push_back(static_cast<char>(c));
                Advance();
            }
            while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.pop_back();
        }
        // The separator.
        c = Peek();
        afterComma = false;
        if (c == ',') {
            Advance();
            afterComma = true;
        } else if (c == '\r' || c == '\n') {
            TakeLineEnd();
        } else if (c >= 0) {
            return false;  // something after a closing quote
        }
        if (IsValidUtf8(item)) return true;
        // A file saved in Shift-JIS (a folder name in Japanese) is read as the same text.
        auto text = FromShiftJis(item);
        if (!text || text->size() > kMaxItemBytes) return false;
        item = std::move(*text);
        return true;
    }

    // Runs one read: the item goes to `take`, which returns false when it does not fit.
    template <class F>
    bool Read(F take) {
        if (failed || !file) {
            failed = true;
            return false;
        }
        std::string item;
        bool quoted = false;
        if (!Next(item, quoted) || !take(item, quoted)) {
            failed = true;
            return false;
        }
        return true;
    }
};

CndReader::CndReader(const std::string& path) : impl_(std::make_unique<Impl>()) {
    // A folder, a FIFO or a device in the file's place reads as a damaged file.
    if (path.empty() || NotRegularFileError(path) != 0) return;
    impl_->file = OpenFile(path, "rb");
}

CndReader::~CndReader() = default;

bool CndReader::opened() const { return impl_->file != nullptr; }
bool CndReader::failed() const { return impl_->failed || !impl_->file; }

namespace {

// An integer item: a whole number in any decimal form ("1000", "1000.0", "1E3": a file saved by
// another program or edited by hand may write a whole value so) inside [lo, hi]. A fraction
// ("2.5") or a quoted item is refused.
std::optional<long long> StoredWhole(const std::string& item, bool quoted, long long lo, long long hi) {
    if (quoted) return std::nullopt;
    const auto v = ParseNumber(item);
    if (!v || *v != std::floor(*v) || *v < static_cast<double>(lo) || *v > static_cast<double>(hi))
        return std::nullopt;
    return static_cast<long long>(*v);
}

}  // namespace

bool CndReader::ReadInt16(std::int16_t& out) {
    return impl_->Read([&](const std::string& item, bool quoted) {
        const auto v = StoredWhole(item, quoted, std::numeric_limits<std::int16_t>::min(),
                                   std::numeric_limits<std::int16_t>::max());
        if (!v) return false;
        out = static_cast<std::int16_t>(*v);
        return true;
    });
}

bool CndReader::ReadInt32(std::int32_t& out) {
    return impl_->Read([&](const std::string& item, bool quoted) {
        const auto v = StoredWhole(item, quoted, std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max());
        if (!v) return false;
        out = static_cast<std::int32_t>(*v);
        return true;
    });
}

bool CndReader::ReadFloat(float& out) {
    return impl_->Read([&](const std::string& item, bool quoted) {
        if (quoted) return false;
        const auto v = ParseFloat32(item);
        if (!v) return false;
        out = SettledFloat(*v);
        return true;
    });
}

bool CndReader::ReadDouble(double& out) {
    return impl_->Read([&](const std::string& item, bool quoted) {
        if (quoted) return false;
        const auto v = ParseNumber(item);
        if (!v) return false;
        out = SettledDouble(*v);
        return true;
    });
}

bool CndReader::AtEnd() {
    if (failed() || impl_->afterComma) return false;
    impl_->SkipBlanks();
    while (impl_->TakeLineEnd()) impl_->SkipBlanks();
    return impl_->Peek() < 0;
}

bool CndReader::ReadText(std::string& out) {
    return impl_->Read([&](const std::string& item, bool) {
        out = item;
        return true;
    });
}

// --- Writer ------------------------------------------------------------------------------------

CndWriter& CndWriter::Int(long long v) {
    if (lineStarted_) text_.push_back(',');
    text_ += FormatInt(v);
    lineStarted_ = true;
    return *this;
}

CndWriter& CndWriter::Float(float v) {
    if (lineStarted_) text_.push_back(',');
    AppendFloat(text_, v);
    lineStarted_ = true;
    return *this;
}

// At most 15 significant digits, the shortest text that reads back as the same value whenever
// such a text exists; "." always, in plain decimal notation.
CndWriter& CndWriter::Double(double v) {
    if (lineStarted_) text_.push_back(',');
    lineStarted_ = true;
    text_ += FormatDoublePlain(v);  // "NAN"/"INF" read back as a bad item
    return *this;
}

// Texts are written in double quotes; a quote inside is doubled so that the text reads back
// unchanged. Control characters cannot be stored and are written as blanks.
CndWriter& CndWriter::Text(std::string_view v) {
    if (lineStarted_) text_.push_back(',');
    text_.push_back('"');
    for (char c : v) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"') {
            text_ += "\"\"";
        } else if (u < 0x20 || u == 0x7F) {
            text_.push_back(' ');
        } else {
            text_.push_back(c);
        }
    }
    text_.push_back('"');
    lineStarted_ = true;
    return *this;
}

CndWriter& CndWriter::EndLine() {
    text_ += "\r\n";
    lineStarted_ = false;
    return *this;
}

std::string SaveFailureText(Language lang, const SaveResult& r) {
    return TextWith(lang, txt::CannotWriteFile, {r.path, SystemReason(r.error)});
}

SaveResult CndWriter::Save(const std::string& path, FileWritePort* writes) const {
    SaveResult r;
    const auto fail = [&](const std::string& file, int err) {
        r.ok = false;
        r.path = file;
        r.error = err;
        r.message = SaveFailureText(Language::English, r);
        return r;
    };
    // A link stays a link: the file it leads to is the one replaced (a link to a missing file
    // makes that file, as a save of a missing file does; a lost link would leave the file it
    // named without the settings from then on).
    std::string file;
    if (const int err = LinkedFile(path, file)) return fail(path, err);
    if (const int err = NotRegularFileError(file, /*charDevicesAllowed=*/true)) return fail(file, err);
    if (const int err = ReadOnlyError(file, text_); err != 0) return err < 0 ? r : fail(file, err);
    // A file is replaced whole: the text goes into a new file beside it, which then takes the
    // name, so a write that fails (a full disk) leaves the old file as it was. The new file is
    // this program's own, so that two programs saving at once (a second `kmr record`) never
    // write into each other's. A device is written as it is.
    std::error_code ec;
    const bool device = std::filesystem::is_character_file(PathFromUtf8(file), ec);
    const std::string target = device ? file : file + ".new-" + std::to_string(ProcessId());
    errno = 0;
    std::FILE* f = OpenFile(target, "wb");
    if (!f) return fail(file, errno ? errno : EIO);
    // Before anything is written into it, so that a private file is never readable by others.
    if (!device) TakeModeOf(file, f);
    int err = AskBeforeWrite(writes, path);
    if (err == 0 && !text_.empty() && std::fwrite(text_.data(), 1, text_.size(), f) != text_.size())
        err = errno ? errno : EIO;
    if (std::fflush(f) != 0 && err == 0) err = errno ? errno : EIO;
    if (err == 0 && !device && SyncFile(f) != 0) err = errno ? errno : EIO;
    if (std::fclose(f) != 0 && err == 0) err = errno ? errno : EIO;
    if (err == 0 && !device) {
        std::filesystem::rename(PathFromUtf8(target), PathFromUtf8(file), ec);
        if (ec) err = ec.default_error_condition().value();
    }
    if (err != 0) {
        if (!device) std::filesystem::remove(PathFromUtf8(target), ec);
        return fail(file, err);
    }
    return r;
}

}  // namespace kmr
