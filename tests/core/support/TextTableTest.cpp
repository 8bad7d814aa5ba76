#include "core/support/TextTable.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace kmr {
namespace {

// A strict UTF-8 check: no stray bytes, no overlong forms, no surrogates.
bool IsValidUtf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int n = 0;
        unsigned cp = 0;
        if (c < 0x80) { ++i; continue; }
        if ((c & 0xE0) == 0xC0) { n = 1; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { n = 2; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { n = 3; cp = c & 0x07; }
        else return false;
        for (int k = 1; k <= n; ++k) {
            if (i + k >= s.size()) return false;
            const unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static constexpr unsigned kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n + 1;
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
    const StoredRow rows[] = {
        {Language::English, 1, "1"}, {Language::English, 110, "More than one is reguired for graphic display."},
        {Language::English, 121, "Are you sure the data file name is "},
        {Language::English, 162, "Cannot Comunicate."}, {Language::English, 166, "The media can not be recognixed."},
        {Language::English, 202, "Number of data-memory words of measurement conditions is over "},
        {Language::English, 1001, "File(&F)"}, {Language::English, 1308, "Pich"},
        {Language::English, 1607, "Sence"}, {Language::English, 1703, ""},
        {Language::English, 1707, " is not connected."}, {Language::Japanese, 1, "0"},
        {Language::Japanese, 107, "エラー"},
        // The micro is the Greek small mu (CE BC), the comma the full-width one (EF BC 8C).
        {Language::Japanese, 152, "基準値は，+750με(0.5V)，+3000με(2.0V)，+7500με(5.0V) です。"},
    };
    for (const auto& r : rows) EXPECT_EQ(Text(r.language, r.id), r.text) << r.id;
    EXPECT_NE(Text(Language::Japanese, txt::CheckCommentSensitivityStandard).find("\xEF\xBC\x8C+750\xCE\xBC\xCE\xB5"),
              std::string::npos);
}

// The numbers of a sentence go where each language puts them, once each, never read again.
TEST(TextTableTest, PlaceholdersTakeTheirArgumentsByNumber) {
    EXPECT_EQ(Substitute("the %1 of channel %2", {"unit", "3"}), "the unit of channel 3");
    EXPECT_EQ(Substitute("チャンネル %2 の%1", {"単位", "3"}), "チャンネル 3 の単位");
    EXPECT_EQ(Substitute("%1%1 %3 100%", {"%2", "x"}), "%2%2 %3 100%");
    EXPECT_EQ(TextWith(Language::Japanese, txt::BadChannelField, {"単位", "3"}), "チャンネル 3 の単位が範囲外です。");
}

// The first variable set and not empty decides.
TEST(TextTableTest, LanguageFromEnvironment) {
    const struct {
        const char* lcAll;  // nullptr: not set
        const char* lcMessages;
        const char* lang;
        Language expected;
    } cases[] = {
        {nullptr, nullptr, nullptr, Language::English}, {nullptr, nullptr, "ja_JP.UTF-8", Language::Japanese},
        {nullptr, nullptr, "C", Language::English}, {nullptr, nullptr, "en_US.UTF-8", Language::English},
        {"C", nullptr, "ja_JP.UTF-8", Language::English}, {"ja_JP.eucJP", nullptr, "en_GB.UTF-8", Language::Japanese},
        {"", nullptr, "ja_JP.UTF-8", Language::Japanese}, {"", "en_US.UTF-8", "ja_JP.UTF-8", Language::English},
        {nullptr, "ja", "C", Language::Japanese}, {"", "", "", Language::English},
        {nullptr, nullptr, "jp_JP", Language::English},
    };
    const auto value = [](const char* v) { return v ? std::optional<std::string>(v) : std::nullopt; };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        testing::EnvVars env;
        env.Set("LC_ALL", value(cases[i].lcAll));
        env.Set("LC_MESSAGES", value(cases[i].lcMessages));
        env.Set("LANG", value(cases[i].lang));
        EXPECT_EQ(LanguageFromEnvironment(), cases[i].expected) << "case " << i;
    }
}

}  // namespace
}  // namespace kmr
