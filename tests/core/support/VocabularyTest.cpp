#include "core/support/Vocabulary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kmr {
namespace {

using Names = std::vector<std::string>;

// Codes 0 to 3 and -4 to -6 name the list's entries in order; no other 16-bit code has a name.
TEST(VocabularyTest, InputModeNameByCode) {
    const Names& names = InputModeNames();
    ASSERT_EQ(names.size(), 7u);
    for (int code = -32768; code <= 32767; ++code) {
        const bool named = (code >= 0 && code <= 3) || (code >= -6 && code <= -4);
        EXPECT_EQ(InputModeName(code), named ? names[static_cast<std::size_t>(std::abs(code))] : "") << code;
    }
}

TEST(VocabularyTest, UnitNamesDifferOnlyInMicroAndDegree) {
    const Names& en = UnitNames(Language::English);
    const Names& ja = UnitNames(Language::Japanese);
    ASSERT_EQ(en.size(), 30u);
    ASSERT_EQ(ja.size(), 30u);
    // The micro sign alone and mu + epsilon, the degree sign + "C": the CSV header's UNIT line
    // (CsvTest); the Japanese one-character degree Celsius U+2103:
    EXPECT_EQ(ja[3], "\xE2\x84\x83");
    for (std::size_t i = 0; i < en.size(); ++i) {
        if (i != 0 && i != 3) { EXPECT_EQ(en[i], ja[i]) << i; }
    }
}

TEST(VocabularyTest, UnitsFollowTheUserLanguageId) {
    EXPECT_EQ(LanguageOfUserLanguageId("0411"), Language::Japanese);
    for (const char* id : {"0409", "0407", ""}) EXPECT_EQ(LanguageOfUserLanguageId(id), Language::English) << id;

    const Vocabulary v = MakeVocabulary(Language::English, "0411");
    EXPECT_EQ(v.units[0], "με");
    EXPECT_EQ(v.triggerModes[0], "Manual Trigger");
    const Vocabulary w = MakeVocabulary(Language::Japanese, "0409");
    EXPECT_EQ(w.units[3], "°C");
    EXPECT_EQ(w.triggerModes, TriggerModeNames(Language::Japanese));
}

TEST(VocabularyTest, DecimalSymbolMessageChosenByTheTablesMarker) {
    EXPECT_EQ(DecimalSymbolMessage(1),
              "From the \"Regional Settings Properties\" in the \"Control Panel\", change the "
              "decimal symbol of number to point \".\".   \r\nThereafter, restart the software.");
    EXPECT_EQ(DecimalSymbolMessage(2), "");
    // Start-up reads text 1, the marker of each table, as a number and passes it on.
    EXPECT_EQ(DecimalSymbolMessage(std::stoi(Text(Language::English, 1))), DecimalSymbolMessage(1));
    EXPECT_EQ(DecimalSymbolMessage(std::stoi(Text(Language::Japanese, 1))), DecimalSymbolMessage(0));
}

}  // namespace
}  // namespace kmr
