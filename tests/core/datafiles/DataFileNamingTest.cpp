#include "core/datafiles/DataFileNaming.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kmr {
namespace {

using kmr::testing::TempDir;

TEST(NextNumber, FromTheFilesPresentNotFolders) {
    const struct {
        const char* name;
        std::vector<std::string> files;
        const char* extension;
        std::int32_t expected;
    } cases[] = {
        {"Empty", {}, ".kmr", 0}, {"PlainOnly", {"T.kmr"}, ".kmr", 1},
        {"LetteredCountOnlyWithTheirExtension", {"T_4.kmr", "T_9_B.csv"}, ".kmr", 5},
        {"LetteredCsvPart", {"T_4.kmr", "T_9_B.csv"}, ".csv", 10},
        {"NumericOrderNotTextOrder", {"T_2.kmr", "T_10.kmr"}, ".kmr", 11},
        {"ZeroOnly", {"T_0.kmr"}, ".kmr", 0}, {"ZeroAndPlain", {"T_0.kmr", "T.kmr"}, ".kmr", 1},
        {"NotNumbersIgnored", {"T_x.kmr", "T_+3.kmr", "T_3+_a.kmr", "T_.kmr"}, ".kmr", 0},
        {"LetterOnly", {"T_a.kmr"}, ".kmr", 1}, {"UpperLetterOnly", {"T_H.kmr"}, ".kmr", 1},
        {"LetterBeyondH", {"T_i.kmr", "T_5_i.kmr"}, ".kmr", 0},
        {"CaseIgnoredInListing", {"t_3.KMR"}, ".kmr", 4},
        {"FullWidthLetteredTail", {"T_１２_ｃ.kmr"}, ".kmr", 13},
        {"TailCutAtFirstPoint", {"T_7.old.kmr"}, ".kmr", 8},
        {"OtherBaseIgnored", {"TT_5.kmr", "U_6.kmr"}, ".kmr", 0},
        {"LeadingZeros", {"T_007.kmr"}, ".kmr", 8},
        {"LargestUsable", {"T_2147483646.kmr"}, ".kmr", 2147483647},
        {"NoNextNumberIgnored", {"T_2147483647.kmr", "T_99999999999.kmr", "T_1.kmr"}, ".kmr", 2},
    };
    for (const auto& c : cases) {
        TempDir dir;
        for (const auto& f : c.files) dir.Write(f, "x");
        EXPECT_EQ(NextDataFileNumber(dir.path() + "/", "T", c.extension), c.expected) << c.name;
    }
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

// A name is taken by a file, readable or not: a new file could not be made there.
TEST(FileExistsTest, AFileOfTheNameTakesItReadableOrNot) {
    TempDir dir;
    EXPECT_TRUE(FileExists(dir.Write("a.kmr", "")));
    EXPECT_FALSE(FileExists(dir / "b.kmr"));
    EXPECT_FALSE(FileExists(dir / "missing/a.kmr"));
    EXPECT_FALSE(FileExists(dir.path()));
    EXPECT_FALSE(FileExists(""));
    EXPECT_TRUE(NameHeld(dir.path()));  // a file to be made there is stopped by a folder too
#ifndef _WIN32
    std::filesystem::create_symlink("gone/c.kmr", dir / "c.kmr");
    EXPECT_TRUE(FileExists(dir / "c.kmr"));
#endif
    // A file that cannot be read (no permission, locked) is there; only "not there" is free.
    using fs = std::filesystem::file_type;
    EXPECT_TRUE(NameTaken(fs::none, std::make_error_code(std::errc::permission_denied)));
    EXPECT_FALSE(NameTaken(fs::none, std::make_error_code(std::errc::not_a_directory)));
}

// The characters Windows forbids, and the names it keeps for devices ("CON.kmr" is the console).
TEST(ImproperFileName, ControlAndReservedCharactersAndDeviceNames) {
    for (const char* t : {"abc", "  abc  ", "20021005", "data_0", "a.b", "データ", "console", "con_0", "xcon",
                          "auxiliary", "com10", "lpt", "nul_1.kmr", "a.con"})
        EXPECT_FALSE(IsImproperFileName(t)) << t;
    for (const char* t : {"a b", "a]", "[a", "a;b", "a<b", "a=b", "a>b", "a?", "a*", "a/b", "a\\b",
                          "C:x", "a\tb", "\tabc", "a\x01", "a\"b", "a|b", "CON", " con ", "con.kmr", "Aux.csv",
                          "NUL", "prn.x.kmr", "COM1", "lpt9.csv", "com0", "COM\xC2\xB9.kmr", "CONOUT$"})
        EXPECT_TRUE(IsImproperFileName(t)) << t;
}

TEST(AcceptName, TypedNames) {
    const struct {
        const char* typed;
        const char* extension;
        bool accepted;
        const char* text;
        const char* base;
    } cases[] = {
        // Blanks around a name and "my_data": SetPathAndFileForm.TheNameBoxShows...
        {"abc", ".kmr", true, "abc.kmr", "abc"}, {"abc.KMR", ".kmr", true, "abc.KMR", "abc"},
        {"abc", ".csv", true, "abc.csv", "abc"}, {"abc.kmr", ".csv", true, "abc.kmr.csv", "abc.kmr"},
        {"run_0", ".kmr", true, "run_0.kmr", "run_0"}, {"_0", ".kmr", true, "_0.kmr", "_0"},
        {"a_z", ".kmr", true, "a_z.kmr", "a_z"}, {"data_1", ".kmr", false, "prev.kmr", "prev"},
        {"run_B", ".kmr", false, "prev.kmr", "prev"}, {"a b", ".kmr", false, "prev.kmr", "prev"},
        {".kmr", ".kmr", false, "prev.kmr", "prev"}, {".KMR", ".kmr", false, "prev.kmr", "prev"},
        {"", ".kmr", false, "prev.kmr", "prev"}, {"a:b", ".kmr", false, "prev.kmr", "prev"},
        {"a|b", ".kmr", false, "prev.kmr", "prev"}, {"aux", ".kmr", false, "prev.kmr", "prev"},
        {"con.csv", ".csv", false, "prev.kmr", "prev"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        const AcceptedName r = AcceptDataFileName(c.typed, "prev.kmr", c.extension);
        EXPECT_EQ(r.accepted, c.accepted);
        EXPECT_EQ(r.text, c.text);
        EXPECT_EQ(r.baseName, c.base);
    }
}

}  // namespace
}  // namespace kmr
