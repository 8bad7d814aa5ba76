#include "core/support/Vocabulary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kmr {
namespace {

using Names = std::vector<std::string>;

TEST(VocabularyTest, FixedListsInCodeOrder) {
    EXPECT_EQ(FileTypeNames(), (Names{".kmr", ".csv"}));
    EXPECT_EQ(FilterNames(), (Names{"PASS", "300Hz", "100Hz", "30Hz", "10Hz"}));
    EXPECT_EQ(OffOnNames(), (Names{"Off", "On"}));
    EXPECT_EQ(InputModeNames(),
              (Names{"VOLT", "STRAIN(0.5V)", "STRAIN(2.0V)", "STRAIN(5.0V)", "0.1STRAIN(0.5V)",
                     "0.1STRAIN(2.0V)", "0.1STRAIN(5.0V)"}));
    EXPECT_EQ(AveragingNames(),
              (Names{"OFF", "2", "4", "8", "16", "32", "64", "128", "256", "512", "1024"}));
}

TEST(VocabularyTest, AveragingNamesArePowersOfTwo) {
    const Names& n = AveragingNames();
    for (std::size_t e = 1; e < n.size(); ++e) EXPECT_EQ(n[e], std::to_string(1LL << e)) << e;
}

TEST(VocabularyTest, TriggerModesFollowTheTextLanguage) {
    EXPECT_EQ(TriggerModeNames(Language::English),
              (Names{"Manual Trigger", "Data Trigger", "External Trigger"}));
    const Names& ja = TriggerModeNames(Language::Japanese);
    ASSERT_EQ(ja.size(), 3u);
    EXPECT_EQ(ja[0], Text(Language::Japanese, 146));
    EXPECT_EQ(ja[1], Text(Language::Japanese, 117));
    EXPECT_EQ(ja[2], Text(Language::Japanese, 150));
}

struct InputModeCase {
    int code;
    const char* name;
};

TEST(VocabularyTest, InputModeNameByCode) {
    const InputModeCase cases[] = {
        {0, "VOLT"},           {1, "STRAIN(0.5V)"},     {2, "STRAIN(2.0V)"},
        {3, "STRAIN(5.0V)"},   {-4, "0.1STRAIN(0.5V)"}, {-5, "0.1STRAIN(2.0V)"},
        {-6, "0.1STRAIN(5.0V)"},
        // Not codes: the 0.1 ranges are only negative, and nothing lies beyond them.
        {4, ""}, {5, ""}, {6, ""}, {-1, ""}, {-2, ""}, {-3, ""}, {7, ""}, {-7, ""},
        {32767, ""}, {-32768, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(InputModeName(c.code), c.name) << c.code;
}

TEST(VocabularyTest, UnitNamesPerLanguage) {
    const Names& en = UnitNames(Language::English);
    const Names& ja = UnitNames(Language::Japanese);
    ASSERT_EQ(en.size(), 30u);
    ASSERT_EQ(ja.size(), 30u);
    // The micro sign alone (U+00B5), not the Greek mu; degree sign + "C".
    EXPECT_EQ(en[0], "\xC2\xB5");
    EXPECT_EQ(en[3], "\xC2\xB0" "C");
    // Greek mu + epsilon, and the one-character degree Celsius U+2103.
    EXPECT_EQ(ja[0], "\xCE\xBC\xCE\xB5");
    EXPECT_EQ(ja[3], "\xE2\x84\x83");
    for (std::size_t i = 0; i < en.size(); ++i) {
        if (i == 0 || i == 3) continue;
        EXPECT_EQ(en[i], ja[i]) << i;
    }
    EXPECT_EQ(en[1], "mm");
    EXPECT_EQ(en[10], "kgf/mm^2");
    EXPECT_EQ(en[25], "kine");
    EXPECT_EQ(en[29], "rad");
}

TEST(VocabularyTest, UnitsFollowTheUserLanguageId) {
    EXPECT_EQ(LanguageOfUserLanguageId("0411"), Language::Japanese);
    EXPECT_EQ(LanguageOfUserLanguageId("0409"), Language::English);
    EXPECT_EQ(LanguageOfUserLanguageId("0407"), Language::English);
    EXPECT_EQ(LanguageOfUserLanguageId(""), Language::English);

    const Vocabulary v = MakeVocabulary(Language::English, "0411");
    EXPECT_EQ(v.units[0], "με");
    EXPECT_EQ(v.triggerModes[0], "Manual Trigger");
    EXPECT_EQ(v.fileTypes, FileTypeNames());
    EXPECT_EQ(v.averaging.size(), 11u);
    const Vocabulary w = MakeVocabulary(Language::Japanese, "0409");
    EXPECT_EQ(w.units[3], "°C");
    EXPECT_EQ(w.triggerModes, TriggerModeNames(Language::Japanese));
}

TEST(VocabularyTest, DecimalSymbolMessage) {
    EXPECT_EQ(DecimalSymbolMessage(1),
              "From the \"Regional Settings Properties\" in the \"Control Panel\", change the "
              "decimal symbol of number to point \".\".   \r\nThereafter, restart the software.");
    const std::string ja = DecimalSymbolMessage(0);
    const auto br = ja.find("\r\n");
    ASSERT_NE(br, std::string::npos);
    EXPECT_GT(br, 0u);
    EXPECT_GT(ja.size(), br + 2);
    EXPECT_EQ(ja.find("\r\n", br + 2), std::string::npos);
    EXPECT_NE(ja.find("\".\""), std::string::npos);
    EXPECT_EQ(DecimalSymbolMessage(2), "");
    EXPECT_EQ(DecimalSymbolMessage(-1), "");
}

TEST(VocabularyTest, TheMarkerOfEachTableChoosesItsMessage) {
    // Start-up reads text 1 as a number and passes it on.
    EXPECT_EQ(DecimalSymbolMessage(std::stoi(Text(Language::English, 1))), DecimalSymbolMessage(1));
    EXPECT_EQ(DecimalSymbolMessage(std::stoi(Text(Language::Japanese, 1))), DecimalSymbolMessage(0));
}

}  // namespace
}  // namespace kmr
