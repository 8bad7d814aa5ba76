#include "core/support/TextTable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kmr {
namespace {

// Sets or clears the locale variables for one test and puts them back afterwards.
class LocaleEnv {
public:
    LocaleEnv() {
        for (const char* n : kNames) {
            const char* v = std::getenv(n);
            saved_.emplace_back(n, v ? std::optional<std::string>(v) : std::nullopt);
            unsetenv(n);
        }
    }
    ~LocaleEnv() {
        for (const auto& [n, v] : saved_) {
            if (v) setenv(n.c_str(), v->c_str(), 1);
            else unsetenv(n.c_str());
        }
    }
    void Set(const char* name, const char* value) { setenv(name, value, 1); }

private:
    static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Keeps the program-wide text language of other tests untouched.
class TextTableTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = TextLanguage(); }
    void TearDown() override { SetTextLanguage(saved_); }
    Language saved_ = Language::English;
};

std::vector<int> ExpectedIds() {
    std::vector<int> ids{1};
    auto range = [&](int a, int b) {
        for (int i = a; i <= b; ++i) ids.push_back(i);
    };
    range(101, 173);
    range(180, 181);
    range(201, 206);
    range(1001, 1019);
    range(1101, 1106);
    range(1201, 1219);
    range(1301, 1321);
    range(1401, 1420);
    range(1450, 1451);
    range(1501, 1515);
    range(1601, 1611);
    range(1701, 1707);
    range(1801, 1810);
    range(2001, 2020);
    range(2101, 2102);
    return ids;
}

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

TEST_F(TextTableTest, BothLanguagesHoldExactlyTheSameIdentifiers) {
    const std::vector<int> expected = ExpectedIds();
    ASSERT_EQ(expected.size(), 234u);
    EXPECT_EQ(TextIds(Language::English), expected);
    EXPECT_EQ(TextIds(Language::Japanese), expected);
    for (int id : expected) {
        EXPECT_TRUE(HasText(Language::English, id)) << id;
        EXPECT_TRUE(HasText(Language::Japanese, id)) << id;
    }
}

TEST_F(TextTableTest, IdentifiersOutsideTheGroupsAreAbsent) {
    for (int id : {-1, 0, 2, 100, 174, 179, 182, 200, 207, 1000, 1020, 1100, 1107, 1200, 1220, 1300,
                   1322, 1400, 1421, 1449, 1452, 1500, 1516, 1600, 1612, 1700, 1708, 1800, 1811, 2000, 2021, 2100, 2103,
                   65536 + 101}) {
        EXPECT_FALSE(HasText(Language::English, id)) << id;
        EXPECT_FALSE(HasText(Language::Japanese, id)) << id;
    }
}

TEST_F(TextTableTest, UnknownIdentifierIsAProgrammingError) {
    // Aborts in debug builds; an empty text otherwise.
    EXPECT_DEBUG_DEATH(EXPECT_TRUE(Text(Language::English, 999).empty()), "unknown text");
}

TEST_F(TextTableTest, JapaneseIsEmptyExactlyWhereEnglishIsEmpty) {
    for (int id : ExpectedIds()) {
        const std::string& en = Text(Language::English, id);
        const std::string& ja = Text(Language::Japanese, id);
        EXPECT_EQ(en.empty(), ja.empty()) << id;
        EXPECT_TRUE(IsValidUtf8(en)) << id;
        EXPECT_TRUE(IsValidUtf8(ja)) << id;
    }
    EXPECT_EQ(Text(Language::English, 1703), "");
}

TEST_F(TextTableTest, OnlyTheFragmentsCarryOuterBlanks) {
    std::vector<int> withBlanks;
    for (int id : ExpectedIds()) {
        const std::string& en = Text(Language::English, id);
        if (!en.empty() && (en.front() == ' ' || en.back() == ' ')) withBlanks.push_back(id);
    }
    EXPECT_EQ(withBlanks, (std::vector<int>{121, 171, 202, 1707, 2006, 2007, 2011, 2012, 2017, 2101, 2102}));
}

struct EnglishRow {
    int id;
    const char* text;
};

TEST_F(TextTableTest, EnglishWordingIsKeptExactly) {
    const EnglishRow rows[] = {
        {1, "1"},
        {101, "GP-IB Address:"},
        {102, "GP-IB error"},
        {104, "Output `OK` or `ERR`."},
        {110, "More than one is reguired for graphic display."},
        {113, "This file is not KMR-5300's condition file."},
        {121, "Are you sure the data file name is "},
        {122, "?"},
        {124, "Data transfer,storage and drawing..."},
        {142, "Cannot make remote-sensing for bridge voltage. Confirm extened cable."},
        {152, "Standard value is +750 at 0.5B.V., +3000 at 2.0B.V. or +7500 at 5.0B.V.."},
        {162, "Cannot Comunicate."},
        {166, "The media can not be recognixed."},
        {171, "This mode is voltage measurement mode. "},
        {202, "Number of data-memory words of measurement conditions is over "},
        {204, "."},
        {1001, "File(&F)"},
        {1007, "Converting File(*.kmr->*.csv)..."},
        {1105, "Output Cal. ..."},
        {1308, "Pich"},
        {1515, "Ch.10"},
        {1607, "Sence"},
        {1702,
         "This software is designed for monitoring measurement and data storage using VNT digital "
         "dynamics strainmeter(KMR-530A/510C)."},
        {1703, ""},
        {1707, " is not connected."},
        {1809, "0"},
    };
    for (const auto& r : rows) EXPECT_EQ(Text(Language::English, r.id), r.text) << r.id;
}

TEST_F(TextTableTest, QuotedJapaneseRows) {
    EXPECT_EQ(Text(Language::Japanese, 1), "0");
    EXPECT_EQ(Text(Language::Japanese, 107), "エラー");
    EXPECT_EQ(Text(Language::Japanese, 144), "ソフトウェアを終了してよろしいですか？");
    EXPECT_EQ(Text(Language::Japanese, 152),
              "基準値は，+750με(0.5V)，+3000με(2.0V)，+7500με(5.0V) です。");
    EXPECT_EQ(Text(Language::Japanese, 201), "測定残量");
    // The micro of 152 is the Greek small mu (CE BC), the comma the full-width one (EF BC 8C).
    EXPECT_NE(Text(Language::Japanese, 152).find("\xEF\xBC\x8C+750\xCE\xBC\xCE\xB5"),
              std::string::npos);
}

TEST_F(TextTableTest, MenuAcceleratorsSurviveTranslation) {
    for (int id : ExpectedIds()) {
        const std::string& en = Text(Language::English, id);
        const auto p = en.find("(&");
        if (p == std::string::npos) continue;
        EXPECT_NE(Text(Language::Japanese, id).find(en.substr(p, 4)), std::string::npos) << id;
    }
}

TEST_F(TextTableTest, FragmentsJoinIntoTheShownSentences) {
    auto t = [](int id) { return Text(Language::English, id); };
    EXPECT_EQ(t(121) + " '" + "T_3.kmr" + "' " + t(122),
              "Are you sure the data file name is  'T_3.kmr' ?");
    EXPECT_EQ(t(128) + " '" + "A:\\" + "' " + t(132) + " " + t(154),
              "Drive 'A:\\' cannot write. Do you want to retry?");
    EXPECT_EQ(t(180) + " '" + "E:\\Data" + "' " + t(181), "Directory 'E:\\Data' cannot select.");
    EXPECT_EQ(t(202) + "65000" + " " + t(203) + t(204),
              "Number of data-memory words of measurement conditions is over 65000 words.");
    EXPECT_EQ("KMR-530A/KMR-510C (" + t(101) + "20" + " " + t(127) + "CR/LF) " + t(133),
              "KMR-530A/KMR-510C (GP-IB Address:20 Delimiter:CR/LF) fixed.");
    // The Japanese fragments read as one sentence too.
    auto j = [](int id) { return Text(Language::Japanese, id); };
    EXPECT_EQ(j(121) + " '" + "T_3.kmr" + "' " + j(122),
              "データファイル名は  'T_3.kmr' でよろしいですか？");
    EXPECT_EQ(j(202) + "65000" + " " + j(203) + j(204),
              "測定条件のデータメモリワード数が 65000 ワードを超えています。");
}

TEST_F(TextTableTest, ActiveLanguageChoosesTheTableAndMarker) {
    SetTextLanguage(Language::Japanese);
    EXPECT_EQ(TextLanguage(), Language::Japanese);
    EXPECT_EQ(Text(1), "0");
    EXPECT_EQ(Text(107), "エラー");
    EXPECT_EQ(UserLanguageId(), "0411");
    SetTextLanguage(Language::English);
    EXPECT_EQ(Text(1), "1");
    EXPECT_EQ(Text(107), "Error");
    EXPECT_EQ(UserLanguageId(), "0409");
}

struct EnvCase {
    const char* name;
    const char* lcAll;        // nullptr: not set
    const char* lcMessages;
    const char* lang;
    Language expected;
};

class LanguageFromEnvironmentTest : public ::testing::TestWithParam<EnvCase> {};

TEST_P(LanguageFromEnvironmentTest, FirstNonEmptyVariableDecides) {
    LocaleEnv env;
    const EnvCase& c = GetParam();
    if (c.lcAll) env.Set("LC_ALL", c.lcAll);
    if (c.lcMessages) env.Set("LC_MESSAGES", c.lcMessages);
    if (c.lang) env.Set("LANG", c.lang);
    EXPECT_EQ(LanguageFromEnvironment(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, LanguageFromEnvironmentTest,
    ::testing::Values(
        EnvCase{"NothingSet", nullptr, nullptr, nullptr, Language::English},
        EnvCase{"LangJapanese", nullptr, nullptr, "ja_JP.UTF-8", Language::Japanese},
        EnvCase{"LangC", nullptr, nullptr, "C", Language::English},
        EnvCase{"LangEnglish", nullptr, nullptr, "en_US.UTF-8", Language::English},
        EnvCase{"LcAllBeatsLang", "C", nullptr, "ja_JP.UTF-8", Language::English},
        EnvCase{"LcAllJapanese", "ja_JP.eucJP", nullptr, "en_GB.UTF-8", Language::Japanese},
        EnvCase{"EmptyLcAllSkipped", "", nullptr, "ja_JP.UTF-8", Language::Japanese},
        EnvCase{"LcMessagesBeatsLang", "", "en_US.UTF-8", "ja_JP.UTF-8", Language::English},
        EnvCase{"LcMessagesJapanese", nullptr, "ja", "C", Language::Japanese},
        EnvCase{"AllEmpty", "", "", "", Language::English},
        EnvCase{"NotJa", nullptr, nullptr, "jp_JP", Language::English}),
    [](const ::testing::TestParamInfo<EnvCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kmr
