#include "core/support/CndFile.h"

#include "core/app/SaveProblems.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <tuple>

namespace kmr {
namespace {

using kmr::testing::ReadAll;
using kmr::testing::TempDir;

// The next item read as `read` takes it; nothing when the read fails.
template <class T>
std::optional<T> Next(CndReader& r, bool (CndReader::*read)(T&)) {
    T v{};
    if (!(r.*read)(v)) return std::nullopt;
    return v;
}

// (Whole condition files are read in the condition-file table; a file used up: EarlyEnd below.)
TEST(CndReader, NumberFormsTextsLineEndsAndEmptyItems) {
    TempDir dir;
    // CR-only lines, then LF-only lines, blanks around items, an empty line, a quoted comma.
    const auto path = dir.Write("a.cnd",
                                ".05\r  -1.5E-3 ,\t\"C:/data, old/\" \r\n\n5.\n\"say \"\"hi\"\"\"\nbare text\n");
    CndReader r(path);
    EXPECT_EQ(Next(r, &CndReader::ReadFloat), 0.05f);
    EXPECT_EQ(Next(r, &CndReader::ReadDouble), -0.0015);
    EXPECT_EQ(Next(r, &CndReader::ReadText), "C:/data, old/");
    EXPECT_EQ(Next(r, &CndReader::ReadDouble), 5.0);
    EXPECT_EQ(Next(r, &CndReader::ReadText), "say \"hi\"");
    EXPECT_EQ(Next(r, &CndReader::ReadText), "bare text");
    EXPECT_FALSE(r.failed());

    // An empty item after a comma is not a number.
    const auto empty = dir.Write("b.cnd", "1,,2\r\n\"\",3,\r\n");
    CndReader numbers(empty);
    EXPECT_EQ(Next(numbers, &CndReader::ReadInt16), 1);
    EXPECT_EQ(Next(numbers, &CndReader::ReadInt16), std::nullopt);
    // As texts an empty bare item is an empty text; the trailing comma leaves one empty item.
    CndReader texts(empty);
    for (const char* want : {"1", "", "2", "", "3", ""}) EXPECT_EQ(Next(texts, &CndReader::ReadText), want);
    EXPECT_EQ(Next(texts, &CndReader::ReadText), std::nullopt);
}

// Each file holds a good first item and then something that must make the second read fail,
// after which every read fails and the targets are untouched. (Garbage, NUL bytes, invalid UTF-8,
// text for a number and huge items: DamagedCndFile, for every condition file.)
TEST(CndReader, DamageFailsCleanlyAndStaysFailed) {
    const std::pair<const char*, std::string> files[] = {
        {"EarlyEnd", "7\r\n"},
        {"Int16OutOfRange", "7,32768,1,1,\"x\""},
        {"WholeOnlyForIntegers", "7,2.5,1,1,\"x\""},
        {"QuotedNumber", "7,\"3\",1,1,\"x\""},
        {"UnclosedQuote", "7,\"abc\r\n1,1,1\r\n"},
        {"JunkAfterQuote", "7,\"a\"b,1,1,\"x\""},
    };
    TempDir dir;
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        CndReader r(dir.Write(name, bytes));
        ASSERT_TRUE(r.opened());
        EXPECT_EQ(Next(r, &CndReader::ReadInt16), 7);
        std::tuple<std::int16_t, std::int32_t, float, std::string> kept{11, 12, 13.0f, "keep"};
        auto& [i16, i32, f, t] = kept;
        EXPECT_FALSE(r.ReadInt16(i16));
        EXPECT_FALSE(r.ReadInt32(i32));
        EXPECT_FALSE(r.ReadFloat(f));
        EXPECT_FALSE(r.ReadText(t));
        EXPECT_TRUE(r.failed());
        EXPECT_EQ(kept, std::make_tuple(std::int16_t{11}, 12, 13.0f, std::string("keep")));
    }
}

TEST(CndWriter, ItemsJoinedByCommasLinesEndedByCrLf) {
    CndWriter w;
    // A double keeps fifteen digits where a float has seven (the number texts: NumbersTest).
    w.Int(0).EndLine().Float(1.0f).EndLine().Int(1000).Double(123456789012345.0).EndLine();
    w.Int(1).Int(-4).Float(0.3f).Float(999.9000244f).Float(1e-5f).Float(-0.0f).EndLine();
    w.Text("C:/data, old/").Text("").Text("a\"b").Text("tab\there").EndLine();
    EXPECT_EQ(w.str(),
              "0\r\n1\r\n1000,123456789012345\r\n1,-4,0.3,999.9,1E-05,0\r\n"
              "\"C:/data, old/\",\"\",\"a\"\"b\",\"tab here\"\r\n");
}

// A save replaces a longer file whole (what the saved text reads back as: the reader and writer
// tests above, with the number texts of NumbersTest); a failed save names the file and the reason
// (a folder in the file's place, and what a missing, empty or folder path loads as: EveryCndFile).
TEST(CndWriter, SaveReplacesALongerFileAndFailuresNameTheFileAndTheReason) {
    TempDir dir;
    const auto path = dir.Write("round.cnd", std::string(1000, 'z'));
    CndWriter w;
    w.Text("/home/x/Data, \"new\"/").EndLine().Double(1.0 / 3.0).Int(-32768).EndLine();
    ASSERT_TRUE(w.Save(path, nullptr));
    EXPECT_EQ(ReadAll(path), w.str());
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string(), "round.cnd") << "left behind";

    const auto missing = dir / "NoSuchFolder/Meas.cnd";
    const SaveResult r = w.Save(missing, nullptr);
    EXPECT_FALSE(r);
    EXPECT_NE(r.message.find(missing), std::string::npos) << r.message;
    EXPECT_NE(r.message.find("No such file or directory"), std::string::npos) << r.message;
    // Told in the program's language, the reason too, once for a file that one action failed to
    // write twice (a load's rewrite, then a save).
    testing::FakeUi ui;
    ui.language = Language::Japanese;
    SaveProblems problems;
    problems.Add(r);
    problems.Add(r);
    problems.Report(ui);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text, "ファイル \"" + missing + "\" に書き込めません: ファイルまたはフォルダーが見つかりません。");

    if (!std::filesystem::exists("/dev/full")) return;  // a full disk
    w.Text(std::string(100, 'a')).EndLine();
    const SaveResult full = w.Save("/dev/full", nullptr);
    EXPECT_FALSE(full);
    EXPECT_NE(full.message.find("/dev/full"), std::string::npos);
    EXPECT_NE(full.message.find("No space left on device"), std::string::npos) << full.message;
}

// A condition file kept elsewhere and linked into the program's folder stays linked: the save
// replaces the file at the end of the chain of links (relative and absolute) and gives the new
// file the old one's permission bits; a read-only one is not replaced. A link to a missing file makes that file; a chain that loops
// or ends in a missing folder fails, naming the file, and every link stays as it was.
TEST(CndWriter, SaveWritesThroughLinksAndKeepsTheFilesMode) {
#ifdef _WIN32
    GTEST_SKIP() << "links and POSIX modes";
#else
    namespace fs = std::filesystem;
    TempDir dir;
    for (const char* folder : {"shared", "prog"}) fs::create_directory(dir / folder);
    const auto shared = dir / "shared/Meas.cnd", link = dir / "prog/Meas.cnd", hop = dir / "prog/hop";
    fs::create_symlink("../shared/Meas.cnd", hop);
    fs::create_symlink(hop, link);
    CndWriter w;
    w.Int(2).EndLine().Text("x").EndLine();
    const auto mode = [](const std::string& p) { return fs::status(p).permissions() & fs::perms::mask; };
    for (const auto& saved : {shared, link})
        for (const auto perms : {fs::perms(0600), fs::perms(0664)}) {
            SCOPED_TRACE(saved + " " + std::to_string(static_cast<int>(perms)));
            testing::WriteAll(shared, "1\r\n\"old\"\r\n");
            fs::permissions(shared, perms);
            ASSERT_TRUE(w.Save(saved, nullptr));
            EXPECT_TRUE(fs::is_symlink(link) && fs::is_symlink(hop));
            EXPECT_EQ(ReadAll(shared), w.str());
            EXPECT_EQ(mode(shared), perms);
        }
    for (const char* folder : {"shared", "prog"})
        for (const auto& entry : fs::directory_iterator(dir / folder))
            EXPECT_EQ(entry.path().filename().string().find(".new-"), std::string::npos) << "left behind";

    // A file made read-only, here or at the end of the links, is left as it is: the save fails
    // naming it, unless it holds the text already.
    testing::WriteAll(shared, "1\r\n\"old\"\r\n");
    for (const auto perms : {fs::perms(0444), fs::perms(0400)}) {
        fs::permissions(shared, perms);
        for (const auto& saved : {shared, link}) {
            const SaveResult r = w.Save(saved, nullptr);
            EXPECT_FALSE(r.ok || r.message.find("Meas.cnd\": Permission denied") == std::string::npos) << r.message;
            EXPECT_EQ(ReadAll(shared), "1\r\n\"old\"\r\n");
        }
    }
    fs::permissions(shared, fs::perms(0644));
    ASSERT_TRUE(w.Save(shared, nullptr));
    fs::permissions(shared, fs::perms(0444));
    EXPECT_TRUE(w.Save(link, nullptr));
    EXPECT_EQ(mode(shared), fs::perms(0444));
    fs::permissions(shared, fs::perms(0644));

    const auto dangling = dir / "prog/Graph.cnd";
    fs::create_symlink("../shared/Graph.cnd", dangling);
    ASSERT_TRUE(w.Save(dangling, nullptr));
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(ReadAll(dir / "shared/Graph.cnd"), w.str());

    const auto gone = dir / "prog/Hard.cnd", loop = dir / "prog/Loop.cnd";
    fs::create_symlink(dir / "unmounted/Hard.cnd", gone);
    fs::create_symlink(loop, loop);
    for (const auto& [path, said] : {std::pair{gone, dir / "unmounted/Hard.cnd\": No such file or directory"},
                                     std::pair{loop, loop + "\": Too many levels of symbolic links"}}) {
        const SaveResult r = w.Save(path, nullptr);
        EXPECT_FALSE(r.ok || r.message.find(said) == std::string::npos) << r.message;
        EXPECT_TRUE(fs::is_symlink(path));
    }
#endif
}

}  // namespace
}  // namespace kmr
