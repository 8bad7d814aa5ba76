// Names of data files are checked at entry against the file system's limit in bytes (255, counted
// in UTF-8), with the number, the part letter and the extension the program adds.
#include <gtest/gtest.h>

#include "core/app/SetPathAndFileForm.h"
#include "core/datafiles/DataFileNaming.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"

namespace kmr {
namespace {

// `count` copies of a Japanese character (3 bytes in UTF-8).
std::string Japanese(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += "\xE3\x83\x87";  // デ
    return s;
}

// (The name box keeps the name accepted before: SettingsWindowTest's long name.)
TEST(NameLength, LongNamesAreRefusedWithAClearMessageInUtf8Bytes) {
    testing::FakeUi ui;
    // The data folder "/d/", base name "T", data files (not CSV), source and destination not set.
    SetPathAndFileForm f(GlobalSettings{"/d/", "T", 0, "", ""}, 0, 1000);
    EXPECT_FALSE(f.CommitName(std::string(300, 'a'), &ui));
    EXPECT_EQ(f.LastRefusal(), NameRefusal::TooLong);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text,
              "The file name is too long: 300 bytes in UTF-8, but at most 227 are possible (the file system takes "
              "255 bytes, and the program adds the number, the part letter and the extension).");
    EXPECT_EQ(f.AcceptedName(), "T.kmr");
    // 86 characters are 258 bytes: above the limit even without anything added.
    EXPECT_FALSE(f.CommitName(Japanese(86), &ui));
    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_NE(ui.shown[1].text.find("258 bytes"), std::string::npos) << ui.shown[1].text;
    // 76 characters (228 bytes) leave no room for the number and "_incomplete".
    EXPECT_FALSE(f.CommitName(Japanese(76) + ".kmr", &ui));
    EXPECT_EQ(ui.shown.size(), 3u);
    EXPECT_TRUE(f.CommitName(Japanese(75), &ui));
    EXPECT_EQ(f.BaseName(), Japanese(75));
    EXPECT_EQ(f.AcceptedName(), Japanese(75) + ".kmr");
    EXPECT_EQ(ui.shown.size(), 3u);
    EXPECT_EQ(f.LastRefusal(), NameRefusal::None);
}

// Every other refused name is said too, with what to type instead; the box still returns to the
// name before. Only the box's own name (the next file's, numbered) given back says nothing.
TEST(NameLength, EveryRefusedNameIsSaidWithWhatToTypeTheBoxsOwnNameIsNot) {
    testing::FakeUi ui;
    SetPathAndFileForm f(GlobalSettings{"/d/", "T", 0, "", ""}, 3, 1000);
    EXPECT_FALSE(f.CommitName("T_3.kmr", &ui));
    EXPECT_FALSE(f.CommitName(" T_3 ", &ui));
    EXPECT_EQ(f.LastRefusal(), NameRefusal::AsShown);
    EXPECT_TRUE(ui.shown.empty());
    const struct {
        const char* typed;
        NameRefusal why;
        const char* start;  // the English message begins so
    } cases[] = {
        {"my_data", NameRefusal::LooksNumbered, "The name 'my_data.kmr' cannot be used: \"_\" followed by 1 to 9"},
        {"run 2", NameRefusal::Improper, "The name 'run 2' cannot be used: a file name cannot hold blanks"},
        {"aux", NameRefusal::Improper, "The name 'aux' cannot be used"},
        {"", NameRefusal::ExtensionOnly, "Type a name before the extension .kmr.\nThe name before is kept."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        ui.shown.clear();
        EXPECT_FALSE(f.CommitName(c.typed, &ui));
        EXPECT_EQ(f.LastRefusal(), c.why);
        EXPECT_EQ(f.AcceptedName(), "T_3.kmr");
        EXPECT_EQ(f.BaseName(), "T");
        ASSERT_EQ(ui.shown.size(), 1u);
        EXPECT_EQ(ui.shown[0].text.rfind(c.start, 0), 0u) << ui.shown[0].text;
        EXPECT_NE(ui.shown[0].text.find("The name before is kept"), std::string::npos);
        EXPECT_EQ(ui.shown[0].title, "Setting error");
        EXPECT_FALSE(f.RefusalMessage(Language::Japanese).empty());
    }
}

TEST(NameLength, TheLongestAcceptedNameCanBeCreatedWithEverythingAdded) {
    EXPECT_TRUE(BaseNameFits(std::string(227, 'n')));
    EXPECT_FALSE(BaseNameFits(std::string(228, 'n')));
    // Number, part letter, "_incomplete" and extension: exactly the limit.
    EXPECT_EQ(LongestDataFileName(std::string(227, 'n'), ".csv").size(), kLongestFileNameBytes);
    testing::TempDir dir;
    const std::string base = Japanese(75);
    for (const std::string& name : {LongestDataFileName(base, ".csv"), base + "_2147483647_A.csv.9.tmp"}) {
        ASSERT_LE(name.size(), kLongestFileNameBytes);
        testing::WriteAll(dir.File(name), "x");
        EXPECT_EQ(testing::ReadAll(dir.File(name)), "x") << name.size();
    }
}

}  // namespace
}  // namespace kmr
