#include "core/support/TextTable.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "support/TempDir.h"

namespace kmr {
namespace {

// Whole UTF-8 sequences only: a lead byte followed by its continuation bytes (a table saved in
// another encoding, or a text cut inside a character, fails this).
bool IsValidUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        const int more = c < 0x80 ? 0 : c < 0xC2 ? -1 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : c < 0xF5 ? 3 : -1;
        if (more < 0) return false;
        for (int k = 0; k < more; ++k)
            if (++i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return false;
    }
    return true;
}

// An unknown identifier is a programming error: it aborts in debug builds; an empty text otherwise.
TEST(TextTableTest, AnUnknownIdentifierIsAProgrammingError) {
    EXPECT_DEBUG_DEATH(EXPECT_TRUE(Text(Language::English, 999).empty()), "unknown text");
}

// Every text is valid UTF-8, empty in both languages or in neither, and keeps its menu
// accelerator in translation.
TEST(TextTableTest, TranslationsKeepEmptinessAndAccelerators) {
    for (int id : TextIds(Language::English)) {
        const std::string& en = Text(Language::English, id);
        const std::string& ja = Text(Language::Japanese, id);
        EXPECT_EQ(en.empty(), ja.empty()) << id;
        EXPECT_TRUE(IsValidUtf8(en)) << id;
        EXPECT_TRUE(IsValidUtf8(ja)) << id;
        const auto p = en.find("(&");
        if (p != std::string::npos) { EXPECT_NE(ja.find(en.substr(p, 4)), std::string::npos) << id; }
        // Both languages take the same arguments: a number missing from one drops a value there.
        // (The Japanese damage message leaves out the English name of the field.)
        for (char n = id == txt::BadTextLength ? '2' : '1'; n <= '9'; ++n) {
            const std::string mark{'%', n};
            EXPECT_EQ(en.find(mark) == std::string::npos, ja.find(mark) == std::string::npos) << id << " " << mark;
        }
    }
}

struct StoredRow {
    Language language;
    int id;
    const char* text;
};

// The one check of the wording against the stored texts: the misspellings, the outer blanks of
// the fragments, the Japanese marks.
TEST(TextTableTest, WordingIsKeptExactly) {
    using enum Language;
    const StoredRow rows[] = {
        {English, 1, "1"}, {English, 110, "More than one is reguired for graphic display."},
        {English, 121, "Are you sure the data file name is "}, {English, 162, "Cannot Comunicate."},
        {English, 166, "The media can not be recognixed."},
        {English, 202, "Number of data-memory words of measurement conditions is over "}, {English, 1001, "File(&F)"},
        {English, 1308, "Pich"}, {English, 1607, "Sence"}, {English, 1703, ""}, {English, 1707, " is not connected."},
        {Japanese, 1, "0"}, {Japanese, 107, "エラー"},
        // The micro is the Greek small mu (CE BC), the comma the full-width one (EF BC 8C).
        {Japanese, 152, "基準値は，+750με(0.5V)，+3000με(2.0V)，+7500με(5.0V) です。"},
    };
    for (const auto& r : rows) EXPECT_EQ(Text(r.language, r.id), r.text) << r.id;
    EXPECT_NE(Text(Language::Japanese, txt::CheckCommentSensitivityStandard).find("\xEF\xBC\x8C+750\xCE\xBC\xCE\xB5"),
              std::string::npos);
}

// The numbers of a sentence go where each language puts them, once each, never read again.
TEST(TextTableTest, PlaceholdersTakeTheirArgumentsByNumber) {
    EXPECT_EQ(Substitute("the %1 of channel %2", {"unit", "3"}), "the unit of channel 3");
    EXPECT_EQ(Substitute("チャネル %2 の%1", {"単位", "3"}), "チャネル 3 の単位");
    EXPECT_EQ(Substitute("%1%1 %3 100%", {"%2", "x"}), "%2%2 %3 100%");
    EXPECT_EQ(TextWith(Language::Japanese, txt::BadChannelField, {"単位", "3"}), "チャネル 3 の単位が範囲外です。");
}

// The first variable set and not empty decides (on Linux, none set is English).
TEST(TextTableTest, LanguageFromEnvironment) {
    // LC_ALL, LC_MESSAGES, LANG (nullptr: not set), the language
    const std::tuple<const char*, const char*, const char*, Language> cases[] = {
        {nullptr, nullptr, nullptr, Language::English}, {nullptr, nullptr, "ja_JP.UTF-8", Language::Japanese},
        {nullptr, nullptr, "C", Language::English}, {nullptr, nullptr, "en_US.UTF-8", Language::English},
        {"C", nullptr, "ja_JP.UTF-8", Language::English}, {"ja_JP.eucJP", nullptr, "en_GB.UTF-8", Language::Japanese},
        {"", nullptr, "ja_JP.UTF-8", Language::Japanese}, {"", "en_US.UTF-8", "ja_JP.UTF-8", Language::English},
        {nullptr, "ja", "C", Language::Japanese}, {"", "", "", Language::English},
        {nullptr, nullptr, "jp_JP", Language::English},
    };
    const auto value = [](const char* v) { return v ? std::optional<std::string>(v) : std::nullopt; };
    for (const auto& [lcAll, lcMessages, lang, expected] : cases) {
#ifdef _WIN32
        // With none of them set, Windows asks the user's locale instead.
        if (value(lcAll).value_or("").empty() && value(lcMessages).value_or("").empty() && value(lang).value_or("").empty())
            continue;
#endif
        testing::EnvVars env;
        env.Set("LC_ALL", value(lcAll));
        env.Set("LC_MESSAGES", value(lcMessages));
        env.Set("LANG", value(lang));
        EXPECT_EQ(LanguageFromEnvironment(), expected) << ::testing::PrintToString(std::tuple(lcAll, lcMessages, lang));
    }
}

}  // namespace
}  // namespace kmr
