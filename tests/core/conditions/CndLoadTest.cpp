// Damaged input for every condition file: the load never crashes, keeps nothing it could not
// read, rewrites the file complete (so the next load is complete and gives the same record),
// and a folder in the file's place makes the rewrite report an error while the record is kept.
#include "core/conditions/CndLoad.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "core/conditions/CndTestFiles.h"
#include "core/conditions/GlobalSettings.h"
#include "core/conditions/MeasConditions.h"
#include "core/graphs/GraphConditions.h"
#include "core/conditions/OutputCal.h"

namespace kmr {
namespace {

using testing::ReadAll;
using testing::Repeat;
using testing::TempDir;
using testing::WriteAll;

// One condition file: loads into a record set to the defaults start-up uses, and gives the
// record's file text (written through the file's own save).
struct FileKind {
    const char* name;
    // Loads `path` into a fresh default record; `recordText` receives the text that the record
    // saves, written to `scratch`.
    std::function<LoadResult(const std::string& path, const std::string& scratch,
                             std::string& recordText)>
        load;
    std::string defaultText;
    bool firstItemIsText = false;
};

template <class Record>
FileKind Kind(const char* name, std::function<void(Record&)> defaults,
              LoadResult (*load)(const std::string&, Record&),
              SaveResult (*save)(const std::string&, const Record&), std::string defaultText,
              bool firstItemIsText = false) {
    return FileKind{
        name,
        [=](const std::string& path, const std::string& scratch, std::string& recordText) {
            Record r{};
            defaults(r);
            const LoadResult result = load(path, r);
            EXPECT_TRUE(save(scratch, r).ok);
            recordText = ReadAll(scratch);
            return result;
        },
        std::move(defaultText), firstItemIsText};
}

std::vector<FileKind> Kinds() {
    return {
        Kind<MeasConditions>("Meas.cnd", SetMeasDefaults, LoadMeasConditions, SaveMeasConditions,
                             "0\r\n1\r\n1000,0\r\n0\r\n10\r\n" +
                                 Repeat("1,2,0,1,0,0,0,1000,0\r\n", 10)),
        Kind<GlobalSettings>(
            "Global.cnd",
            [](GlobalSettings& g) {
                g.DataFolder = g.SourcePathName = g.DestPathName = "/home/lab/Documents/Data/";
                g.BaseFileName = "20260101";
            },
            LoadGlobalSettings, SaveGlobalSettings,
            "\"/home/lab/Documents/Data/\"\r\n\"20260101\"\r\n0\r\n"
            "\"/home/lab/Documents/Data/\"\r\n\"/home/lab/Documents/Data/\"\r\n", true),
        Kind<std::string>("Hard.cnd", [](std::string& t) { t = kDefaultInstalledChannelText; },
                          LoadInstalledChannels, SaveInstalledChannels, "\"1111111111\"\r\n",
                          true),
        Kind<GpibSettings>("Meter.cnd", [](GpibSettings&) {}, LoadGpibSettings, SaveGpibSettings,
                           "20,0,3\r\n"),
        Kind<std::string>("Interface.cnd", [](std::string& t) { t = kDefaultInterfaceSpec; },
                          LoadInterfaceSpec, SaveInterfaceSpec, "\"gpib\"\r\n", true),
        Kind<GraphConditions>("Graph.cnd", SetGraphDefaults, LoadGraphConditions,
                              SaveGraphConditions,
                              Repeat("1,1,1\r\n10,0,10\r\n", 2) + Repeat("0,1,1\r\n10,0,10\r\n", 8)),
        Kind<OutputCalConditions>("OutputCal.cnd", [](OutputCalConditions&) {}, LoadOutputCal,
                                  SaveOutputCal, Repeat("0,0\r\n", 10)),
    };
}

struct Damage {
    const char* name;
    std::string bytes;
    // A bare item is read as a text, so this damage only breaks a file that starts with a number.
    bool needsNumberFirst = false;
    // Large damage is built when the test runs, not when the cases are registered.
    std::size_t fillBytes = 0;
    char fill = 0;

    std::string Bytes() const { return bytes + std::string(fillBytes, fill); }
};

std::vector<Damage> Damages() {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919 + 13) % 256);
    garbage[0] = '\x01';  // never a digit, a sign, a point or a quote
    return {
        {"BinaryGarbage", garbage},
        {"Empty", ""},
        {"OnlyLineEnds", "\r\n\r\n\r\n"},
        {"NulBytes", std::string(64, '\0')},
        {"TenMegabyteLine", "", false, 10 * 1024 * 1024, '7'},
        {"TenMegabyteQuotedLine", "\"", false, 10 * 1024 * 1024, 'a'},
        {"InvalidUtf8", "\"\xff\xfe\xc3\x28\"\r\n\xff\xfe\r\n"},
        {"UnclosedQuote", "\"abc"},
        {"Outside32Bits", "99999999999999999999\r\n", true},
        {"Outside16Bits", "-70000,-1\r\n", true},
        {"TextForNumber", "abc,1\r\n", true},
    };
}

struct Case {
    FileKind kind;
    Damage damage;
};

std::vector<Case> Cases() {
    std::vector<Case> out;
    for (const auto& k : Kinds())
        for (const auto& d : Damages())
            if (!(d.needsNumberFirst && k.firstItemIsText)) out.push_back({k, d});
    return out;
}

class DamagedCndFile : public ::testing::TestWithParam<Case> {};

TEST_P(DamagedCndFile, FallsBackToDefaultsAndRewritesTheFileComplete) {
    const Case& c = GetParam();
    TempDir dir;
    const auto path = dir.File(c.kind.name);
    WriteAll(path, c.damage.Bytes());
    std::string recordText;
    const LoadResult first = c.kind.load(path, dir.File("scratch"), recordText);
    EXPECT_FALSE(first.complete);
    EXPECT_TRUE(first.rewritten);
    EXPECT_TRUE(first.save.ok) << first.save.message;
    // Nothing was taken from the damaged bytes, and the file now holds the defaults.
    EXPECT_EQ(recordText, c.kind.defaultText);
    EXPECT_EQ(ReadAll(path), c.kind.defaultText);
    // The rewritten file reads back complete.
    const LoadResult second = c.kind.load(path, dir.File("scratch"), recordText);
    EXPECT_TRUE(second.complete);
    EXPECT_FALSE(second.rewritten);
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    std::string name = info.param.kind.name;
    name = name.substr(0, name.find('.'));
    return name + "_" + info.param.damage.name;
}

INSTANTIATE_TEST_SUITE_P(AllFiles, DamagedCndFile, ::testing::ValuesIn(Cases()), CaseName);

class FolderInPlaceOfFile : public ::testing::TestWithParam<FileKind> {};

TEST_P(FolderInPlaceOfFile, SaveReportsAnErrorAndTheRecordKeepsItsDefaults) {
    const FileKind& kind = GetParam();
    TempDir dir;
    const auto path = dir.File(kind.name);
    std::filesystem::create_directory(path);
    std::string recordText;
    const LoadResult r = kind.load(path, dir.File("scratch"), recordText);
    EXPECT_FALSE(r.complete);
    EXPECT_FALSE(r.rewritten);
    EXPECT_FALSE(r.save.ok);
    EXPECT_FALSE(r.save.message.empty());
    EXPECT_EQ(recordText, kind.defaultText);
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST_P(FolderInPlaceOfFile, MissingFolderOfTheFileIsReportedToo) {
    const FileKind& kind = GetParam();
    TempDir dir;
    const auto path = dir.File(std::string("no-such-folder/") + kind.name);
    std::string recordText;
    const LoadResult r = kind.load(path, dir.File("scratch"), recordText);
    EXPECT_FALSE(r.complete);
    EXPECT_FALSE(r.save.ok);
    EXPECT_EQ(recordText, kind.defaultText);
}

INSTANTIATE_TEST_SUITE_P(AllFiles, FolderInPlaceOfFile, ::testing::ValuesIn(Kinds()),
                         [](const ::testing::TestParamInfo<FileKind>& info) {
                             std::string name = info.param.name;
                             return name.substr(0, name.find('.'));
                         });

// The pattern itself: a reader callback that stops early makes the rewrite happen even when the
// reader has not failed (a value outside its domain).
TEST(LoadCndFile, DomainFailureRewritesThoughTheReaderHasNotFailed) {
    TempDir dir;
    const auto path = dir.File("x.cnd");
    WriteAll(path, "5\r\n6\r\n");
    std::int16_t a = 0;
    std::int16_t b = 0;
    int saves = 0;
    const LoadResult r = LoadCndFile(
        path, [&](CndReader& rd) { return ReadInt16In(rd, a, 0, 9) && ReadInt16In(rd, b, 0, 5); },
        [&] {
            ++saves;
            return SaveResult{};
        });
    EXPECT_FALSE(r.complete);
    EXPECT_TRUE(r.rewritten);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(a, 5);
    EXPECT_EQ(b, 0);
}

}  // namespace
}  // namespace kmr
