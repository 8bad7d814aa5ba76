// Every condition file through the one load pattern: a missing file gives the defaults and is
// created, a complete file reads back unchanged, damaged input never crashes and keeps nothing it
// could not read, and a folder or FIFO in the file's place gives the defaults without waiting
// while the rewrite reports an error.
#include "core/conditions/CndLoad.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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

// What a load gave: its result and the text the loaded record saves (through the file's own save).
struct Loaded {
    LoadResult result;
    std::string recordText;
};

// One condition file: loads into a record set to the defaults start-up uses.
struct FileKind {
    const char* name;
    std::function<Loaded(const std::string& path)> load;
    std::string defaultText;
    bool firstItemIsText = false;
    // A complete file with a value other than the default in every item.
    std::string sampleText;
    // A file that ends early, and what the record and the rewritten file hold then: what was
    // read, the defaults for the rest (empty: not checked).
    std::string partialText, partialRewritten;
};

template <class Record>
FileKind Kind(const char* name, std::function<void(Record&)> defaults,
              LoadResult (*load)(const std::string&, Record&, FileWritePort*),
              SaveResult (*save)(const std::string&, const Record&, FileWritePort*), std::string defaultText,
              bool firstItemIsText, std::string sampleText, std::string partialText = {},
              std::string partialRewritten = {}) {
    return FileKind{
        name,
        [=](const std::string& path) {
            Record r{};
            defaults(r);
            const LoadResult result = load(path, r, nullptr);
            const TempDir scratch;
            EXPECT_TRUE(save(scratch.File("saved"), r, nullptr).ok);
            return Loaded{result, ReadAll(scratch.File("saved"))};
        },
        std::move(defaultText), firstItemIsText, std::move(sampleText), std::move(partialText),
        std::move(partialRewritten)};
}

std::vector<FileKind> Kinds() {
    return {
        Kind<MeasConditions>("Meas.cnd", SetMeasDefaults, LoadMeasConditions, SaveMeasConditions,
                             "0\r\n1\r\n1000,0\r\n0\r\n10\r\n" + Repeat("1,2,0,1,0,0,0,1000,0\r\n", 10), false,
                             // Memory words above every capacity stay for start-up to limit.
                             "2\r\n5000\r\n600000,599999\r\n10\r\n9\r\n"
                             "0,-6,4,-3.5E+12,5,29,1,-32767,0.0001\r\n" +
                                 Repeat("1,-4,3,1.234567E-05,2,7,1,-12.5,0.5\r\n", 9),
                             "2\r\n.5\r\n2000,100\r\n",
                             "2\r\n0.5\r\n2000,100\r\n0\r\n10\r\n" + Repeat("1,2,0,1,0,0,0,1000,0\r\n", 10)),
        Kind<GlobalSettings>(
            "Global.cnd",
            [](GlobalSettings& g) {
                g.DataFolder = g.SourcePathName = g.DestPathName = "/home/lab/Documents/Data/";
                g.BaseFileName = "20260101";
            },
            LoadGlobalSettings, SaveGlobalSettings,
            "\"/home/lab/Documents/Data/\"\r\n\"20260101\"\r\n0\r\n"
            "\"/home/lab/Documents/Data/\"\r\n\"/home/lab/Documents/Data/\"\r\n", true,
            "\"/data/run, 1 \"\"x\"\"/\"\r\n\"Prüfung 7\"\r\n1\r\n\"/src/\"\r\n\"/dst/\"\r\n",
            "\"/data/run 7/\"\r\n\"bridge\"\r\n",
            "\"/data/run 7/\"\r\n\"bridge\"\r\n0\r\n\"/home/lab/Documents/Data/\"\r\n\"/home/lab/Documents/Data/\"\r\n"),
        Kind<std::string>("Hard.cnd", [](std::string& t) { t = kDefaultInstalledChannelText; },
                          LoadInstalledChannels, SaveInstalledChannels, "\"1111111111\"\r\n", true, "\"10101\"\r\n"),
        // Kept as written inside 16 bits, even where the connection cannot work with it.
        Kind<GpibSettings>("Meter.cnd", [](GpibSettings&) {}, LoadGpibSettings, SaveGpibSettings,
                           "20,0,3\r\n", false, "31,2,-1\r\n"),
        Kind<std::string>("Interface.cnd", [](std::string& t) { t = kDefaultInterfaceSpec; },
                          LoadInterfaceSpec, SaveInterfaceSpec, "\"gpib\"\r\n", true,
                          "\"prologix:192.0.2.7:1234,addr=5\"\r\n"),
        Kind<GraphConditions>("Graph.cnd", SetGraphDefaults, LoadGraphConditions, SaveGraphConditions,
                              Repeat("1,1,1\r\n10,0,10\r\n", 2) + Repeat("0,1,1\r\n10,0,10\r\n", 8),
                              false, Repeat("0,0,0\r\n2.5,-7,3\r\n", 10),
                              "0,0,0\r\n5.5,-2.25,4\r\n1,0,1\r\n.5,-.5,2\r\n1,1,0\r\n1000000,-1000000,20\r\n",
                              "0,0,0\r\n5.5,-2.25,4\r\n1,0,1\r\n0.5,-0.5,2\r\n1,1,0\r\n1000000,-1000000,20\r\n" +
                                  Repeat("0,1,1\r\n10,0,10\r\n", 7)),
        Kind<OutputCalConditions>("OutputCal.cnd", [](OutputCalConditions&) {}, LoadOutputCal, SaveOutputCal,
                                  Repeat("0,0\r\n", 10), false, Repeat("1,2.5\r\n", 10),
                                  "1,1000\r\n0,.5\r\n1,2.5E-3\r\n",
                                  "1,1000\r\n0,0.5\r\n1,0.0025\r\n" + Repeat("0,0\r\n", 7)),
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
        {"BinaryGarbage", garbage}, {"Empty", ""}, {"OnlyLineEnds", "\r\n\r\n\r\n"},
        {"NulBytes", std::string(64, '\0')}, {"TenMegabyteLine", "", false, 10 * 1024 * 1024, '7'},
        {"TenMegabyteQuotedLine", "\"", false, 10 * 1024 * 1024, 'a'},
        {"InvalidUtf8", "\"\xff\xfe\xc3\x28\"\r\n\xff\xfe\r\n"}, {"UnclosedQuote", "\"abc"},
        {"Outside32Bits", "99999999999999999999\r\n", true}, {"Outside16Bits", "-70000,-1\r\n", true},
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
    const Loaded first = c.kind.load(path);
    EXPECT_FALSE(first.result.complete);
    EXPECT_TRUE(first.result.rewritten);
    EXPECT_TRUE(first.result.save.ok) << first.result.save.message;
    // Nothing was taken from the damaged bytes, and the file now holds the defaults.
    EXPECT_EQ(first.recordText, c.kind.defaultText);
    EXPECT_EQ(ReadAll(path), c.kind.defaultText);
    // The rewritten file reads back complete.
    const LoadResult second = c.kind.load(path).result;
    EXPECT_TRUE(second.complete);
    EXPECT_FALSE(second.rewritten);
}

// A file's name without its extension, for the names of the cases.
std::string Stem(const std::string& name) { return name.substr(0, name.find('.')); }

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    return Stem(info.param.kind.name) + "_" + info.param.damage.name;
}

INSTANTIATE_TEST_SUITE_P(AllFiles, DamagedCndFile, ::testing::ValuesIn(Cases()), CaseName);

class EveryCndFile : public ::testing::TestWithParam<FileKind> {};

// A missing file gives the defaults and is created (no damage to keep). A missing folder, a folder
// or a FIFO in the file's place gives the defaults at once (a FIFO is never opened, so the load
// cannot wait for a writer), and the rewrite is refused with a message naming the file.
TEST_P(EveryCndFile, MissingFileGivesTheDefaultsAndIsCreatedWhereItCanBe) {
    const FileKind& kind = GetParam();
    TempDir dir;
    const auto path = dir.File(kind.name);
    const Loaded made = kind.load(path);
    EXPECT_FALSE(made.result.complete);
    EXPECT_TRUE(made.result.rewritten);
    EXPECT_EQ(made.recordText, kind.defaultText);
    EXPECT_EQ(ReadAll(path), kind.defaultText);
    EXPECT_TRUE(made.result.damagedCopy.empty());
    EXPECT_FALSE(std::filesystem::exists(path + ".damaged"));

    std::vector<std::string> places{dir.File("no-such-folder/x.cnd"), dir.File("folder")};
    std::filesystem::create_directory(places[1]);
#ifndef _WIN32  // Windows has no FIFOs in the file system
    places.push_back(dir.File("fifo"));
    ASSERT_EQ(::mkfifo(places[2].c_str(), 0600), 0);
#endif
    for (const std::string& place : places) {
        SCOPED_TRACE(place);
        const Loaded n = kind.load(place);
        EXPECT_FALSE(n.result.complete);
        EXPECT_FALSE(n.result.rewritten);
        EXPECT_FALSE(n.result.save.ok);
        EXPECT_NE(n.result.save.message.find(place), std::string::npos) << n.result.save.message;
        EXPECT_EQ(n.recordText, kind.defaultText);
        EXPECT_FALSE(std::filesystem::is_regular_file(place));
    }
}

// A damaged file whose copy cannot be made as NAME.damaged (a folder of that name in the way) is
// kept as NAME.damaged-2; when no name can take a copy, the file is left as it was, byte for byte,
// and the record holds the defaults. Nothing in the way is touched.
TEST_P(EveryCndFile, DamagedFileWithoutRoomForACopyIsLeftAsItWas) {
    const FileKind& kind = GetParam();
    TempDir dir;
    const auto path = dir.File(kind.name);
    const std::string damaged = "\"cut short\r\n";
    const auto block = [](const std::string& name) {
        std::filesystem::create_directory(name);
        WriteAll(name + "/mine", "mine");
    };
    WriteAll(path, damaged);
    block(path + ".damaged");
    const LoadResult second = kind.load(path).result;
    EXPECT_EQ(second.damagedCopy, path + ".damaged-2");
    EXPECT_EQ(ReadAll(path + ".damaged-2"), damaged);
    EXPECT_TRUE(second.rewritten && !second.leftAsItWas);
    EXPECT_EQ(ReadAll(path), kind.defaultText);

    WriteAll(path, damaged);
    std::filesystem::remove(path + ".damaged-2");
    for (const char* n : {"-2", "-3", "-4", "-5"}) block(path + ".damaged" + n);
    const Loaded left = kind.load(path);
    EXPECT_FALSE(left.result.complete || left.result.rewritten || !left.result.damagedCopy.empty());
    EXPECT_TRUE(left.result.leftAsItWas && left.result.save.ok);  // no save was tried
    EXPECT_EQ(left.recordText, kind.defaultText);
    EXPECT_EQ(ReadAll(path), damaged);
    for (const char* n : {"", "-2", "-3", "-4", "-5"}) EXPECT_EQ(ReadAll(path + ".damaged" + n + "/mine"), "mine");
}

// A complete file reads back unchanged; one that ends early keeps what was read, takes the
// defaults for the rest and is rewritten complete.
TEST_P(EveryCndFile, CompleteFileRoundTripsAndOneEndingEarlyKeepsWhatWasRead) {
    const FileKind& kind = GetParam();
    for (const bool complete : {true, false}) {
        const std::string& text = complete ? kind.sampleText : kind.partialText;
        const std::string& expected = complete ? kind.sampleText : kind.partialRewritten;
        if (text.empty()) continue;
        TempDir dir;
        const auto path = dir.File(kind.name);
        WriteAll(path, text);
        const Loaded r = kind.load(path);
        EXPECT_EQ(r.result.complete, complete);
        EXPECT_FALSE(r.result.replaced);
        EXPECT_EQ(r.result.rewritten, !complete);
        EXPECT_EQ(r.recordText, expected);
        EXPECT_EQ(ReadAll(path), expected);
    }
}

// A number written with a decimal comma (as another PC's locale writes it) leaves an item over at
// the end of a file whose list is fixed: that is damage, told and kept, not a value silently shifted.
TEST(CndLoad, AnItemLeftOverAtTheEndOfTheMeasurementOrGraphConditionsIsDamage) {
    for (const FileKind& kind : Kinds()) {
        const std::string name = kind.name;
        if (name != "Meas.cnd" && name != "Graph.cnd") continue;
        SCOPED_TRACE(name);
        TempDir dir;
        const auto path = dir.File(kind.name);
        std::string text = kind.sampleText;
        text.insert(text.find_last_not_of("\r\n") + 1, ",25");
        WriteAll(path, text);
        const LoadResult r = kind.load(path).result;
        EXPECT_FALSE(r.complete);
        EXPECT_EQ(r.damagedCopy, path + ".damaged");
        EXPECT_EQ(ReadAll(path + ".damaged"), text);
        // Damaged again later: the copy is of the file as it was then.
        WriteAll(path, text + "7\r\n");
        EXPECT_EQ(kind.load(path).result.damagedCopy, path + ".damaged");
        EXPECT_EQ(ReadAll(path + ".damaged"), text + "7\r\n");
    }
}

INSTANTIATE_TEST_SUITE_P(AllFiles, EveryCndFile, ::testing::ValuesIn(Kinds()),
                         [](const ::testing::TestParamInfo<FileKind>& info) { return Stem(info.param.name); });

// A value of the right type outside its field's choices: only that item takes its default, every
// other item of the file is kept, and the file is rewritten.
struct ReplacedItem {
    const char* name;
    const char* file;
    std::vector<std::pair<std::string, std::string>> damage;    // applied to the sample text
    std::vector<std::pair<std::string, std::string>> expected;  // applied to the sample text
};

std::string Substituted(std::string text, const std::vector<std::pair<std::string, std::string>>& subs) {
    for (const auto& [from, to] : subs) {
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) text.replace(at, from.size(), to);
    }
    return text;
}

class ItemOutsideItsChoices : public ::testing::TestWithParam<ReplacedItem> {};

TEST_P(ItemOutsideItsChoices, TakesItsDefaultAndKeepsEveryOtherItem) {
    const ReplacedItem& c = GetParam();
    FileKind kind;
    for (const auto& k : Kinds())
        if (std::string(k.name) == c.file) kind = k;
    TempDir dir;
    const auto path = dir.File(c.file);
    WriteAll(path, Substituted(kind.sampleText, c.damage));
    const Loaded r = kind.load(path);
    const std::string expected = Substituted(kind.sampleText, c.expected);
    EXPECT_TRUE(r.result.complete);
    EXPECT_TRUE(r.result.replaced);
    EXPECT_TRUE(r.result.rewritten);
    EXPECT_EQ(r.recordText, expected);
    EXPECT_EQ(ReadAll(path), expected);
}

// A value written with more digits than the file keeps: the loaded record is what its own
// saved text reads back as, so saving and loading again changes nothing. 1.00000004E+28 is the
// hard case: its text "1E+28" reads back as 9.99999944E+27, whose text is "9.999999E+27".
TEST(CndLoad, DecimalsBeyondTheSavedDigitsSettleOnLoad) {
    TempDir dir;
    const auto path = dir.File("OutputCal.cnd");
    WriteAll(path, "0,000000000001633968756\r\n1,10000000400000000000000000000\r\n" +
                       Repeat("0,18446744073709551615\r\n", 8));
    OutputCalConditions first{};
    ASSERT_TRUE(LoadOutputCal(path, first, nullptr).complete);
    const auto saved = dir.File("saved.cnd");
    ASSERT_TRUE(SaveOutputCal(saved, first, nullptr).ok);
    EXPECT_EQ(ReadAll(saved), "0,1.633969E+09\r\n1,9.999999E+27\r\n" + Repeat("0,1.844674E+19\r\n", 8));
    OutputCalConditions again{};
    const LoadResult r = LoadOutputCal(saved, again, nullptr);
    EXPECT_TRUE(r.complete && !r.rewritten);
    for (std::size_t ch = 0; ch < again.size(); ++ch) EXPECT_EQ(again[ch].Value, first[ch].Value) << ch;
}

// A Global.cnd saved in Shift-JIS by an older Japanese editor keeps its Japanese folders and name
// (read as the same texts, not as damage); the next save writes them in UTF-8.
TEST(CndLoad, GlobalSettingsSavedInShiftJisKeepTheirTexts) {
    TempDir dir;
    const auto path = dir.File("Global.cnd");
    // "/lab/データ/" (the second byte of ソ is a backslash), "試験", "/lab/ソース/", "/lab/出力/".
    const std::string shiftJis =
        "\"/lab/\x83\x66\x81\x5b\x83\x5e/\"\r\n\"\x8e\x8e\x8c\xb1\"\r\n1\r\n"
        "\"/lab/\x83\x5c\x81\x5b\x83\x58/\"\r\n\"/lab/\x8f\x6f\x97\xcd/\"\r\n";
    WriteAll(path, shiftJis);
    GlobalSettings g;
    const LoadResult r = LoadGlobalSettings(path, g, nullptr);
    EXPECT_TRUE(r.complete && !r.rewritten);
    EXPECT_TRUE(r.damagedCopy.empty());
    EXPECT_EQ(ReadAll(path), shiftJis);
    EXPECT_EQ(g.DataFolder, "/lab/データ/");
    EXPECT_EQ(g.BaseFileName, "試験");
    EXPECT_EQ(g.FileType, 1);
    EXPECT_EQ(g.SourcePathName, "/lab/ソース/");
    EXPECT_EQ(g.DestPathName, "/lab/出力/");
}

INSTANTIATE_TEST_SUITE_P(
    AllFiles, ItemOutsideItsChoices,
    ::testing::ValuesIn(std::vector<ReplacedItem>{
        {"MeasTriggerMode", "Meas.cnd", {{"2\r\n5000", "3\r\n5000"}}, {{"2\r\n5000", "0\r\n5000"}}},
        {"MeasClock", "Meas.cnd", {{"\r\n5000\r\n", "\r\n2.5\r\n"}}, {{"\r\n5000\r\n", "\r\n1\r\n"}}},
        // The instrument does not average at a sub-millisecond clock (and refuses the clock while
        // averaging is set): the clock is kept and averaging is off.
        {"MeasAveragingAtSubMsClock", "Meas.cnd", {{"\r\n5000\r\n", "\r\n0.9\r\n"}},
         {{"\r\n5000\r\n", "\r\n0.9\r\n"}, {"\r\n10\r\n9\r\n", "\r\n0\r\n9\r\n"}}},
        {"MeasMemoryWords", "Meas.cnd", {{"600000,", "0,"}}, {{"600000,599999", "1000,0"}}},
        // The pre-trigger memory stays below the memory (PreMemoryFits): equal is replaced too.
        {"MeasPreMemory", "Meas.cnd", {{"600000,599999", "600000,600000"}}, {{"600000,599999", "600000,0"}}},
        {"MeasAveraging", "Meas.cnd", {{"\r\n10\r\n9\r\n", "\r\n11\r\n9\r\n"}},
         {{"\r\n10\r\n9\r\n", "\r\n0\r\n9\r\n"}}},
        {"MeasChannelCount", "Meas.cnd", {{"\r\n9\r\n0,", "\r\n11\r\n0,"}}, {}},
        // Channel 1's items: the only line with "-6,", "E+12" and ",29,".
        {"MeasOnOff", "Meas.cnd", {{"\n0,-6,", "\n2,-6,"}}, {{"\r\n9\r\n", "\r\n10\r\n"}, {"\n0,-6,", "\n1,-6,"}}},
        {"MeasInputMode", "Meas.cnd", {{"0,-6,4,", "0,4,4,"}}, {{"0,-6,4,", "0,2,4,"}}},
        {"MeasFilter", "Meas.cnd", {{"-6,4,", "-6,5,"}}, {{"-6,4,", "-6,0,"}}},
        // A coefficient the form refuses (a raw count times it would leave the float range).
        {"MeasCoefficientBeyondTheFormsRange", "Meas.cnd", {{"-3.5E+12", "-3.5E+31"}, {"1.234567E-05", "1E-41"}},
         {{"-3.5E+12", "1"}, {"1.234567E-05", "1"}}},
        {"MeasPoint", "Meas.cnd", {{"E+12,5,", "E+12,6,"}}, {{"E+12,5,", "E+12,0,"}}},
        {"MeasUnit", "Meas.cnd", {{",5,29,", ",5,30,"}}, {{",5,29,", ",5,0,"}}},
        {"MeasDataTrigger", "Meas.cnd", {{",29,1,", ",29,-1,"}}, {{",29,1,", ",29,0,"}}},
        {"GlobalFileType", "Global.cnd", {{"\r\n1\r\n", "\r\n2\r\n"}}, {{"\r\n1\r\n", "\r\n0\r\n"}}},
        {"InterfaceEmpty", "Interface.cnd", {{"prologix:192.0.2.7:1234,addr=5", ""}},
         {{"prologix:192.0.2.7:1234,addr=5", "gpib"}}},
        {"OutputCalUse", "OutputCal.cnd", {{"1,2.5", "2,2.5"}}, {{"1,2.5", "0,2.5"}}},
        {"OutputCalNegative", "OutputCal.cnd", {{"1,2.5", "1,-0.5"}}, {{"1,2.5", "1,0"}}},
        {"GraphDivisions", "Graph.cnd", {{"2.5,-7,3", "2.5,-7,0"}}, {{"2.5,-7,3", "2.5,-7,10"}}},
    }),
    [](const ::testing::TestParamInfo<ReplacedItem>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kmr
