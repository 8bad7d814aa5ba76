#include "core/datafiles/DataFileNaming.h"

#include "core/support/Numbers.h"
#include "core/support/SpecialFolders.h"

#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

namespace kmr {

namespace {

namespace fs = std::filesystem;

std::string FromPath(const fs::path& p) {
    const std::u8string s = p.u8string();
    return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// A plain decimal number that still leaves room for the next number, or -1. A candidate of
// 2147483647 is not taken: the next number could not be formed from it.
long long PlainCandidate(std::string_view s) {
    if (!AllDigits(s)) return -1;
    std::size_t i = 0;
    while (i + 1 < s.size() && s[i] == '0') ++i;  // leading zeros
    s.remove_prefix(i);
    if (s.size() > 10) return -1;
    long long v = 0;
    for (char c : s) v = v * 10 + (c - '0');
    if (v >= std::numeric_limits<std::int32_t>::max()) return -1;
    return v;
}

bool EndsWithNoCase(const std::string& lowerName, const std::string& lowerTail) {
    return lowerName.size() >= lowerTail.size() &&
           lowerName.compare(lowerName.size() - lowerTail.size(), lowerTail.size(), lowerTail) == 0;
}

}  // namespace

std::string DataFileName(const std::string& base, std::int32_t number, const std::string& extension) {
    if (number == 0) return base + extension;
    return base + "_" + FormatInt(number) + extension;
}

std::int32_t NextDataFileNumber(const std::string& folder, const std::string& base,
                                const std::string& extension) {
    const std::string prefix = ToLowerAscii(base) + "_";
    const std::string ext = ToLowerAscii(extension);
    long long largest = 0;

    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : PathFromUtf8(folder), ec);
    const fs::directory_iterator end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code dec;
        if (it->is_directory(dec)) continue;
        const std::string name = FromPath(it->path().filename());
        const std::string lower = ToLowerAscii(name);
        // The pattern base + "_*" + extension, letter case ignored.
        if (lower.size() < prefix.size() + ext.size()) continue;
        if (lower.compare(0, prefix.size(), prefix) != 0 || !EndsWithNoCase(lower, ext)) continue;

        // The tail: after base + "_", cut before its first ".".
        std::string tail = name.substr(prefix.size());
        const std::size_t dot = tail.find('.');
        if (dot != std::string::npos) tail.resize(dot);

        std::string candidate;
        if (AllDigits(tail)) {
            candidate = tail;
        } else {
            // A lettered CSV part: number + "_a" .. "_h".
            const std::string narrow = ToLowerAscii(ToHalfWidth(tail));
            if (narrow.size() < 3) continue;
            const char letter = narrow.back();
            if (narrow[narrow.size() - 2] != '_' || letter < 'a' || letter > 'h') continue;
            candidate = narrow.substr(0, narrow.size() - 2);
        }
        if (candidate.find('+') != std::string::npos) continue;
        const long long v = PlainCandidate(candidate);
        if (v > largest) largest = v;
    }

    if (largest > 0) return static_cast<std::int32_t>(largest + 1);
    if (FileExists(folder + base + extension) || BaseOrLetteredExists(folder, base, extension))
        return 1;
    return 0;
}

std::string FirstBaseOrLettered(const std::string& folder, const std::string& base, const std::string& extension,
                                bool foldersTake) {
    const auto there = [foldersTake](const std::string& path) { return foldersTake ? NameHeld(path) : FileExists(path); };
    if (there(folder + base + extension)) return folder + base + extension;
    for (char letter = 'a'; letter <= 'h'; ++letter)
        for (const char c : {letter, static_cast<char>(letter - 'a' + 'A')})
            if (const std::string part = folder + base + "_" + c + extension; there(part)) return part;
    return {};
}

bool BaseOrLetteredExists(const std::string& folder, const std::string& base, const std::string& extension) {
    return !FirstBaseOrLettered(folder, base, extension).empty();
}

bool NameTaken(std::filesystem::file_type found, std::error_code lookupError, bool folderTakes) {
    // A folder is not a file: the numbering counts files only.
    if (found == fs::file_type::not_found) return false;
    if (found == fs::file_type::directory) return folderTakes;
    if (!lookupError) return found != fs::file_type::none;
    // Only a name that is not there, or whose folder is not, is free: a file that cannot be read
    // (no permission, locked by another program) still stands in the way of a new one.
    const std::error_condition e = lookupError.default_error_condition();
    return e != std::errc::no_such_file_or_directory && e != std::errc::not_a_directory;
}

namespace {
bool LookUp(const std::string& path, bool folderTakes) {
    if (path.empty()) return false;
    std::error_code ec;
    // The entry itself: a link that leads nowhere still holds its name.
    const fs::file_status st = fs::symlink_status(PathFromUtf8(path), ec);
    return NameTaken(st.type(), ec, folderTakes);
}
}  // namespace

bool FileExists(const std::string& path) { return LookUp(path, false); }

bool NameHeld(const std::string& path) { return LookUp(path, true); }

namespace {
std::string_view TrimSpaces(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return s.substr(b, e - b);
}
}  // namespace

bool IsDeviceName(std::string_view name) {
    std::string stem = ToLowerAscii(std::string(name.substr(0, name.find('.'))));
    if (stem == "con" || stem == "prn" || stem == "aux" || stem == "nul" || stem == "conin$" || stem == "conout$")
        return true;
    if (stem.size() < 4 || (stem.compare(0, 3, "com") != 0 && stem.compare(0, 3, "lpt") != 0)) return false;
    const std::string_view n = std::string_view(stem).substr(3);
    // COM0 to COM9 and LPT0 to LPT9, and with the superscript digits 1, 2 and 3.
    return (n.size() == 1 && n[0] >= '0' && n[0] <= '9') || n == "\xC2\xB9" || n == "\xC2\xB2" || n == "\xC2\xB3";
}

// Only blanks (spaces) are stripped: a tab at either end is a control character and makes the
// name improper. The quote and the bar are refused with the others Windows forbids: a name the
// lab's Windows PCs cannot hold must not pass the check and fail only when the recording is saved.
bool IsImproperFileName(const std::string& text) {
    const std::string_view name = TrimSpaces(text);
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 32) return true;
        switch (c) {
            case ']': case '[': case ';': case '<': case '=': case '>': case '?': case '*':
            case '/': case '\\': case ':': case ' ': case '"': case '|':
                return true;
            default:
                break;
        }
    }
    return IsDeviceName(name);
}

std::string WithProperCharacters(std::string name) {
    for (char& c : name)
        if (c == ' ' || IsImproperFileName(std::string(1, c))) c = '_';  // a lone blank is trimmed away
    if (IsDeviceName(name)) name.insert(name.find('.') == std::string::npos ? name.size() : name.find('.'), "_");
    return name;
}

AcceptedName AcceptDataFileName(const std::string& typed, const std::string& previous,
                                const std::string& extension) {
    const auto withoutExtension = [&](const std::string& t) {
        return t.size() >= extension.size() ? t.substr(0, t.size() - extension.size()) : t;
    };
    std::string text(TrimSpaces(typed));
    // The box returns to the name before; the reason is said, unless the box's own name (the next
    // file's, which carries its number) was given back as it stood.
    const auto refused = [&](NameRefusal why) {
        return AcceptedName{previous, withoutExtension(previous), false,
                            text == previous ? NameRefusal::AsShown : why, withoutExtension(text), text};
    };

    if (IsImproperFileName(text)) return refused(NameRefusal::Improper);
    const std::string ext = ToLowerAscii(extension);
    if (text.size() < ext.size() ||
        ToLowerAscii(text.substr(text.size() - ext.size())) != ext)
        text += extension;
    const std::string lower = ToLowerAscii(text);
    if (lower == ext) return refused(NameRefusal::ExtensionOnly);
    // Names that look like numbered or lettered data files are refused; "_0" is allowed.
    for (std::size_t i = 0; i + 1 < lower.size(); ++i) {
        if (lower[i] != '_') continue;
        const char c = lower[i + 1];
        if ((c >= '1' && c <= '9') || (c >= 'a' && c <= 'h')) return refused(NameRefusal::LooksNumbered);
    }
    // Every name the program makes of it must fit the file system.
    if (!BaseNameFits(withoutExtension(text))) return refused(NameRefusal::TooLong);
    return AcceptedName{text, withoutExtension(text), true, NameRefusal::None, {}, {}};
}

std::string NameRefusalText(Language lang, const AcceptedName& refused, const std::string& extension) {
    switch (refused.refusal) {
        case NameRefusal::Improper: return TextWith(lang, txt::DataFileNameImproper, {refused.refusedText});
        case NameRefusal::ExtensionOnly: return TextWith(lang, txt::DataFileNameExtensionOnly, {extension});
        case NameRefusal::LooksNumbered: return TextWith(lang, txt::DataFileNameLooksNumbered, {refused.refusedText});
        case NameRefusal::TooLong: return BaseNameTooLongText(lang, refused.refusedBase);
        case NameRefusal::None:
        case NameRefusal::AsShown: break;
    }
    return {};
}

bool BaseNameFits(const std::string& base) { return base.size() <= kLongestBaseNameBytes; }

std::string BaseNameTooLongText(Language lang, const std::string& base) {
    return TextWith(
        lang, txt::FileNameTooLong,
        {std::to_string(base.size()), std::to_string(kLongestBaseNameBytes), std::to_string(kLongestFileNameBytes)});
}

std::string LongestDataFileName(const std::string& base, const std::string& extension) {
    return base + "_2147483647_A_incomplete" + extension;
}

}  // namespace kmr
