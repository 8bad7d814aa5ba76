#include "core/datafiles/DataFileNaming.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <ostream>

#include <filesystem>
#include <string>
#include <vector>

namespace kmr {
namespace {

using kmr::testing::TempDir;

struct NumberCase {
    const char* name;
    std::vector<std::string> files;
    const char* extension;
    std::int32_t expected;
};
void PrintTo(const NumberCase& c, std::ostream* os) { *os << c.name; }

class NextNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NextNumber, FromTheFilesPresent) {
    TempDir dir;
    for (const auto& f : GetParam().files) dir.Write(f, "x");
    EXPECT_EQ(NextDataFileNumber(dir.path() + "/", "T", GetParam().extension), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, NextNumber,
    ::testing::Values(
        NumberCase{"Empty", {}, ".kmr", 0}, NumberCase{"PlainOnly", {"T.kmr"}, ".kmr", 1},
        NumberCase{"LetteredCountOnlyWithTheirExtension", {"T_4.kmr", "T_9_B.csv"}, ".kmr", 5},
        NumberCase{"LetteredCsvPart", {"T_4.kmr", "T_9_B.csv"}, ".csv", 10},
        NumberCase{"NumericOrderNotTextOrder", {"T_2.kmr", "T_10.kmr"}, ".kmr", 11},
        NumberCase{"ZeroOnly", {"T_0.kmr"}, ".kmr", 0},
        NumberCase{"ZeroAndPlain", {"T_0.kmr", "T.kmr"}, ".kmr", 1},
        NumberCase{"NotNumbersIgnored", {"T_x.kmr", "T_+3.kmr", "T_3+_a.kmr", "T_.kmr"}, ".kmr", 0},
        NumberCase{"LetterOnly", {"T_a.kmr"}, ".kmr", 1},
        NumberCase{"UpperLetterOnly", {"T_H.kmr"}, ".kmr", 1},
        NumberCase{"LetterBeyondH", {"T_i.kmr", "T_5_i.kmr"}, ".kmr", 0},
        NumberCase{"CaseIgnoredInListing", {"t_3.KMR"}, ".kmr", 4},
        NumberCase{"FullWidthLetteredTail", {"T_１２_ｃ.kmr"}, ".kmr", 13},
        NumberCase{"TailCutAtFirstPoint", {"T_7.old.kmr"}, ".kmr", 8},
        NumberCase{"OtherBaseIgnored", {"TT_5.kmr", "U_6.kmr"}, ".kmr", 0},
        NumberCase{"LeadingZeros", {"T_007.kmr"}, ".kmr", 8},
        NumberCase{"LargestUsable", {"T_2147483646.kmr"}, ".kmr", 2147483647},
        NumberCase{"NoNextNumberIgnored", {"T_2147483647.kmr", "T_99999999999.kmr", "T_1.kmr"},
                   ".kmr", 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NextNumber, FoldersAndMissingFolder) {
    TempDir dir;
    std::filesystem::create_directory(dir / "T_50.kmr");  // a folder is not a data file
    std::filesystem::create_directory(dir / "T.kmr");
    EXPECT_EQ(NextDataFileNumber(dir.path() + "/", "T", ".kmr"), 0);
    EXPECT_EQ(NextDataFileNumber(dir / "missing/", "T", ".kmr"), 0);
}

TEST(BaseOrLettered, PlainOrAnyLetterInEitherCase) {
    TempDir dir;
    const std::string f = dir.path() + "/";
    EXPECT_FALSE(BaseOrLetteredExists(f, "T", ".csv"));
    dir.Write("T_H.csv", "");
    EXPECT_TRUE(BaseOrLetteredExists(f, "T", ".csv"));
    EXPECT_FALSE(BaseOrLetteredExists(f, "T", ".kmr"));
    dir.Write("U_c.kmr", "");
    EXPECT_TRUE(BaseOrLetteredExists(f, "U", ".kmr"));
    dir.Write("V_i.kmr", "");
    EXPECT_FALSE(BaseOrLetteredExists(f, "V", ".kmr"));
}

TEST(FileExistsTest, OnlyReadableFiles) {
    TempDir dir;
    EXPECT_TRUE(FileExists(dir.Write("a.kmr", "")));
    EXPECT_FALSE(FileExists(dir / "b.kmr"));
    EXPECT_FALSE(FileExists(dir / "missing/a.kmr"));
    EXPECT_FALSE(FileExists(dir.path()));
    EXPECT_FALSE(FileExists(""));
}

TEST(ImproperFileName, ControlAndReservedCharacters) {
    for (const char* t : {"abc", "  abc  ", "20021005", "data_0", "a.b", "データ"})
        EXPECT_FALSE(IsImproperFileName(t)) << t;
    for (const char* t : {"a b", "a]", "[a", "a;b", "a<b", "a=b", "a>b", "a?", "a*", "a/b", "a\\b",
                          "C:x", "a\tb", "\tabc", "a\x01"})
        EXPECT_TRUE(IsImproperFileName(t)) << t;
}

struct AcceptCase {
    const char* typed;
    const char* extension;
    bool accepted;
    const char* text;
    const char* base;
};
void PrintTo(const AcceptCase& c, std::ostream* os) { *os << '"' << c.typed << '"'; }

class AcceptName : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(AcceptName, TypedNames) {
    const auto& c = GetParam();
    const AcceptedName r = AcceptDataFileName(c.typed, "prev.kmr", c.extension);
    EXPECT_EQ(r.accepted, c.accepted) << c.typed;
    EXPECT_EQ(r.text, c.text);
    EXPECT_EQ(r.baseName, c.base);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AcceptName,
    ::testing::Values(AcceptCase{"abc", ".kmr", true, "abc.kmr", "abc"},
                      AcceptCase{"  abc ", ".kmr", true, "abc.kmr", "abc"},
                      AcceptCase{"abc.KMR", ".kmr", true, "abc.KMR", "abc"},
                      AcceptCase{"abc", ".csv", true, "abc.csv", "abc"},
                      AcceptCase{"abc.kmr", ".csv", true, "abc.kmr.csv", "abc.kmr"},
                      AcceptCase{"run_0", ".kmr", true, "run_0.kmr", "run_0"},
                      AcceptCase{"_0", ".kmr", true, "_0.kmr", "_0"},
                      AcceptCase{"a_z", ".kmr", true, "a_z.kmr", "a_z"},
                      AcceptCase{"data_1", ".kmr", false, "prev.kmr", "prev"},
                      AcceptCase{"run_B", ".kmr", false, "prev.kmr", "prev"},
                      AcceptCase{"my_data", ".kmr", false, "prev.kmr", "prev"},
                      AcceptCase{"a b", ".kmr", false, "prev.kmr", "prev"},
                      AcceptCase{".kmr", ".kmr", false, "prev.kmr", "prev"},
                      AcceptCase{".KMR", ".kmr", false, "prev.kmr", "prev"},
                      AcceptCase{"", ".kmr", false, "prev.kmr", "prev"},
                      AcceptCase{"a:b", ".kmr", false, "prev.kmr", "prev"}));

}  // namespace
}  // namespace kmr
