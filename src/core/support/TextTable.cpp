// The lookup of the two-language text table (its rows are in TextRows.cpp).
#include "core/support/TextTable.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <string_view>

#include "core/support/TextRows.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kmr {
namespace {

// Index of an identifier in the rows, or the row count when absent.
std::size_t IndexOf(int id) {
    const std::span<const TextRow> rows = TextRows();
    if (id < 0 || id > 0xFFFF) return rows.size();
    const auto it = std::lower_bound(rows.begin(), rows.end(), id,
                                     [](const TextRow& r, int key) { return r.id < key; });
    if (it == rows.end() || it->id != id) return rows.size();
    return static_cast<std::size_t>(it - rows.begin());
}

// The texts as std::string, made once (Text() hands out references that stay valid).
struct Strings {
    std::vector<std::string> en;
    std::vector<std::string> ja;
    Strings() {
        for (const TextRow& r : TextRows()) {
            en.emplace_back(r.en);
            ja.emplace_back(r.ja);
        }
    }
};

const Strings& AllStrings() {
    static const Strings s;
    return s;
}

}  // namespace

Language LanguageFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (v == nullptr || *v == '\0') continue;
        return std::string_view(v).starts_with("ja") ? Language::Japanese : Language::English;
    }
#ifdef _WIN32
    // Windows keeps the user's choice in the locale, not in these variables (only some shells
    // set them): the Japanese locale, 0411, gets the Japanese texts.
    return GetUserDefaultLangID() == 0x0411 ? Language::Japanese : Language::English;
#else
    return Language::English;
#endif
}

std::string UserLanguageId(Language lang) { return lang == Language::Japanese ? "0411" : "0409"; }

const std::string& Text(Language lang, int id) {
    static const std::string kEmpty;
    const std::size_t i = IndexOf(id);
    assert(i < TextRows().size() && "unknown text identifier");
    if (i >= TextRows().size()) return kEmpty;
    const Strings& s = AllStrings();
    return lang == Language::Japanese ? s.ja[i] : s.en[i];
}

std::string Substitute(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (n < args.size()) {
                out += *(args.begin() + n);
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::string TextWith(Language lang, int id, std::initializer_list<std::string_view> args) {
    return Substitute(Text(lang, id), args);
}

std::vector<int> TextIds(Language /*lang*/) {
    std::vector<int> ids;
    ids.reserve(TextRows().size());
    for (const TextRow& r : TextRows()) ids.push_back(r.id);
    return ids;
}

}  // namespace kmr
