#include "core/datafiles/Subset.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <tuple>

#include "core/datafiles/ConversionFixture.h"
#include "core/support/TextTable.h"

namespace kmr {
namespace {

using testing::Between;
using testing::ConditionsWith;
using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

FileConditions FileWith(std::initializer_list<int> channels, std::int32_t n, float clock = 0.05f) {
    MeasConditions m = ConditionsWith(channels, n);
    m.SmpClk = clock;
    return FileConditionsFrom(m, n);
}

TEST(Subset, ChannelsAreTheFilesOwnInAscendingOrderWithTheirBlocks) {
    const FileConditions fc = FileWith({2, 5, 7, 9}, 100);
    ConversionSubset s;
    s.channels = {9, 5, 9};
    const ResolvedSubset r = ResolveSubset(fc, s, Language::English);
    ASSERT_TRUE(r.ok) << r.problem;
    EXPECT_EQ(r.channels, (std::vector<int>{5, 9}));
    EXPECT_EQ(r.blocks, (std::vector<int>{1, 3}));
    EXPECT_EQ(r.conditions.MeasuredChannels, (std::vector<int>{5, 9}));

    s.channels = {5, 3};
    const ResolvedSubset bad = ResolveSubset(fc, s, Language::English);
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.problem, "channel 3 is not in the file (its channels: 2, 5, 7, 9).");
    EXPECT_NE(ResolveSubset(fc, s, Language::Japanese).problem.find("2, 5, 7, 9"), std::string::npos);
}

#ifndef _WIN32
// The window program takes the user's locale, in which the C library reads "0.2" as 0 where the
// decimal mark is a comma: the window's times must still be the shell's. A locale with nothing but
// that mark is made for the test, where the system has the tool for it.
TEST(Subset, TheClocksDecimalIsTheSameWhereTheDecimalMarkIsAComma) {
    TempDir dir;
    WriteAll(dir.File("comma"), "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\ngrouping 3\nEND LC_NUMERIC\n");
    const std::string make =
        "localedef -c -i '" + dir.File("comma") + "' -f UTF-8 '" + dir.File("xx_XX.UTF-8") + "' >/dev/null 2>&1";
    (void)std::system(make.c_str());  // it warns of the categories left out
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    setenv("LOCPATH", dir.folder().c_str(), 1);
    const bool comma = std::setlocale(LC_NUMERIC, "xx_XX.UTF-8") != nullptr;
    unsetenv("LOCPATH");
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma could be made (localedef)";
    const double clock = DecimalClockMs(0.2f), last = SampleSeconds(507903, 0.2f);
    std::setlocale(LC_NUMERIC, before.c_str());
    EXPECT_EQ(clock, 0.2);
    EXPECT_EQ(last, 507903 * 0.2 / 1000.0);
}
#endif

TEST(Subset, BothEndsOfTheTimeRangeAreInclusiveAtTheClocksDecimal) {
    // 0.05 ms: sample 20 lies at 0.001 s, sample 1000 at 0.05 s.
    const FileConditions fc = FileWith({1}, 507904);
    const std::optional<double> none;
    const struct {
        std::optional<double> from, to;
        std::int32_t first, count;
    } cases[] = {
        {0.001, 0.05, 20, 981},
        {0.00101, 0.04999, 21, 999 - 21 + 1},  // between two samples: the later from, the earlier to
        {25.0, 25.0, 500000, 1},  // far into the file, where the float clock's rounding would shift a sample
        {-3.0, 1e300, 0, 507904},  // before the start and beyond the end: cut to the file
        {none, 0.0, 0, 1},  // one end only
        {SampleSeconds(507903, 0.05f), none, 507903, 1},
    };
    for (const auto& c : cases) {
        const ResolvedSubset r = ResolveSubset(fc, Between(c.from, c.to), Language::English);
        ASSERT_TRUE(r.ok) << r.problem;
        EXPECT_EQ(r.samples.first, c.first) << c.first;
        EXPECT_EQ(r.samples.count, c.count) << c.first;
    }
}

TEST(Subset, ARangeHoldingNoSampleIsRefusedWithTheFilesSpan) {
    const FileConditions fc = FileWith({1, 2}, 1000, 1.0f);  // samples at 0 .. 0.999 s
    for (auto [from, to] : std::vector<std::pair<double, double>>{{0.5, 0.4}, {0.0005, 0.0009}, {1.0, 2.0}, {-2.0, -1.0}}) {
        const ResolvedSubset r = ResolveSubset(fc, Between(from, to), Language::English);
        EXPECT_FALSE(r.ok) << from << " " << to;
        EXPECT_NE(r.problem.find("no sample lies between"), std::string::npos) << r.problem;
        EXPECT_NE(r.problem.find("0.999 s"), std::string::npos) << r.problem;
    }
    // One end only: the missing end is not made up.
    const std::optional<double> none;
    EXPECT_EQ(ResolveSubset(fc, Between(1.5, none), Language::English).problem,
              "no sample lies at or after 1.5 s (the file's 1000 samples per channel lie from 0 s to 0.999 s).");
    EXPECT_EQ(ResolveSubset(fc, Between(none, -0.5), Language::English).problem,
              "no sample lies at or before -0.5 s (the file's 1000 samples per channel lie from 0 s to 0.999 s).");
    // Samples asked for by index (the window's cursors).
    ConversionSubset s;
    s.samples = SampleRange{990, 10};
    EXPECT_TRUE(ResolveSubset(fc, s, Language::English).ok);
    s.samples = SampleRange{991, 10};
    EXPECT_EQ(ResolveSubset(fc, s, Language::English).problem, "samples 991 to 1000 are not in the file (it holds 1000 per channel).");
    // A whole file without samples is still a whole file.
    EXPECT_TRUE(ResolveSubset(FileWith({1}, 0), {}, Language::English).ok);
}

TEST(Subset, ChannelListsAreNumbersAndRanges) {
    EXPECT_EQ(ParseChannelList("1,3,5-7"), (std::vector<int>{1, 3, 5, 6, 7}));
    EXPECT_EQ(ParseChannelList(" 10 "), (std::vector<int>{10}));
    EXPECT_EQ(ParseChannelList("2, 2"), (std::vector<int>{2, 2}));
    for (const char* bad : {"", "0", "11", "a", "3-1", "1,,2", "1-", "-3", "1.5", "001"})
        EXPECT_FALSE(ParseChannelList(bad)) << bad;
}

// --- The subset CSV is the full CSV cut -------------------------------------------------------------

// The lines of a text ended by CR LF, without their ends.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        out.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

// The header: six lines of the record, a blank one, nine of a cell per channel from "COND." on, a
// blank one and "NO.".
constexpr int kHeaderLines = 18;
constexpr std::size_t kFirstChannelLine = 7;

// The header line `index` of the full file with only the columns of `keep` (positions among the
// file's channels).
std::string CutHeaderLine(const std::string& line, std::size_t index, const std::vector<int>& keep) {
    if (index < kFirstChannelLine || line.empty()) return line;
    std::vector<std::string> cells;
    for (std::size_t at = 0, comma = 0; comma != std::string::npos; at = comma + 1) {
        comma = line.find(',', at);
        cells.push_back(line.substr(at, comma - at));
    }
    std::string out = cells[0];
    for (int k : keep) out += "," + cells[static_cast<std::size_t>(k) + 1];
    return out;
}

// A data line of the full file with only the columns of `keep`.
std::string CutDataLine(const std::string& line, const std::vector<int>& keep) {
    std::string out = line.substr(0, 16);
    for (int k : keep) out += line.substr(16 * static_cast<std::size_t>(k + 1), 16);
    return out;
}

class SubsetCsv : public ::testing::Test {
protected:
    // Four channels of N samples with different scales, so that every column differs.
    void SetUp() override {
        MeasConditions m = ConditionsWith({2, 4, 6, 9}, kN);
        m.SmpClk = 0.1f;
        std::vector<std::vector<std::int16_t>> samples;
        using Channel = std::tuple<int, std::int16_t, float, float, std::int16_t>;  // input mode, coeff, offset, unit
        for (const auto& [ch, mode, coeff, offset, unit] : {Channel{2, 0, 1.0f, 0.0f, 0}, {4, 1, 0.5f, -100.0f, 3},
                                                             {6, 2, 1.2345678f, 0.25f, 7}, {9, 3, 2.0e-3f, 7.0f, 11}}) {
            m.Ch(ch) = {.InputMode = mode, .Coeff = coeff, .Unit = unit, .Offset = offset};
            std::vector<std::int16_t> s(kN);
            for (std::int32_t i = 0; i < kN; ++i)
                s[static_cast<std::size_t>(i)] = static_cast<std::int16_t>((i * (mode + 3) * 37) % 65536 - 32768);
            samples.push_back(std::move(s));
        }
        ASSERT_TRUE(testing::WriteKmr(dir.File("rec.kmr"), m, kN, samples));
        std::filesystem::create_directory(dir.File("full"));
        std::filesystem::create_directory(dir.File("part"));
        ASSERT_TRUE(Convert("full", "rec.csv", {}));
        // The full conversion's header and data lines, every part's data in order.
        for (const char* p : {"rec_A.csv", "rec_B.csv"}) {
            const std::vector<std::string> lines = Lines(ReadAll(dir.File(std::string("full/") + p)));
            header_.assign(lines.begin(), lines.begin() + kHeaderLines);
            data_.insert(data_.end(), lines.begin() + kHeaderLines, lines.end());
        }
        ASSERT_EQ(data_.size(), static_cast<std::size_t>(kN));
    }

    bool Convert(const std::string& folder, const std::string& name, const ConversionSubset& subset) {
        ConversionOptions options;
        options.subset = subset;
        Progress progress;
        RunStatus status = RunStatus::Ok;
        written.clear();
        return ConvertDataFile(dir.File("rec.kmr"), dir.File(folder) + "/", name, options, progress, view, ui, status,
                               nullptr, &written);
    }

    // What the subset's parts must hold: the full conversion cut to `keep` and samples [first, first + count).
    void ExpectCut(const std::vector<int>& keep, std::int32_t first, std::int32_t count) {
        ASSERT_EQ(written.size(), static_cast<std::size_t>((count + 64999) / 65000));
        std::vector<std::string> header;
        for (std::size_t i = 0; i < header_.size(); ++i) header.push_back(CutHeaderLine(header_[i], i, keep));
        std::int32_t sample = first;
        for (const std::string& part : written) {
            SCOPED_TRACE(part);
            const std::vector<std::string> lines = Lines(ReadAll(part));
            ASSERT_GE(lines.size(), static_cast<std::size_t>(kHeaderLines));
            EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + kHeaderLines), header);
            EXPECT_LE(lines.size() - kHeaderLines, 65000u);
            for (std::size_t j = kHeaderLines; j < lines.size(); ++j, ++sample)
                ASSERT_EQ(lines[j], CutDataLine(data_[static_cast<std::size_t>(sample)], keep)) << "sample " << sample;
        }
        EXPECT_EQ(sample, first + count);
    }

    static constexpr std::int32_t kN = 65100;  // the full conversion: parts _A (65000) and _B (100)
    TempDir dir;
    testing::FakeUi ui{MsgAnswer::Cancel};
    testing::FakeProgress view;
    std::vector<std::string> written;
    std::vector<std::string> header_, data_;
};

TEST_F(SubsetCsv, AFewSamplesAcrossThePartBoundaryOfSomeChannelsAndASubsetThatDoesNotFit) {
    ConversionSubset s = Between(SampleSeconds(64990, 0.1f), SampleSeconds(65010, 0.1f), {9, 4});
    ASSERT_TRUE(Convert("part", "cut.csv", s)) << (ui.shown.empty() ? "" : ui.shown[0].text);
    EXPECT_EQ(written, (std::vector<std::string>{dir.File("part/cut.csv")}));
    ExpectCut({1, 3}, 64990, 21);
    EXPECT_TRUE(ui.shown.empty());

    // A subset that does not fit is refused and nothing is written.
    s.channels = {3};
    EXPECT_FALSE(Convert("part", "no.csv", s));
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].text.find("channel 3 is not in the file"), std::string::npos);
    EXPECT_EQ(SubsetProblemForFile(dir.File("rec.kmr"), s, Language::English),
              "channel 3 is not in the file (its channels: 2, 4, 6, 9).");
    EXPECT_FALSE(std::filesystem::exists(dir.File("part/no.csv")));
    // A file that cannot be read is left to the conversion's own message.
    EXPECT_EQ(SubsetProblemForFile(dir.File("missing.kmr"), s, Language::English), "");
}

TEST_F(SubsetCsv, MoreThanAPartsLinesGoIntoLetteredPartsNumberedAsInTheWholeFileAndAllIsTheWhole) {
    ASSERT_TRUE(Convert("part", "late.csv", Between(SampleSeconds(50, 0.1f), {}, {6})));
    EXPECT_EQ(written, (std::vector<std::string>{dir.File("part/late_A.csv"), dir.File("part/late_B.csv")}));
    ExpectCut({2}, 50, kN - 50);

    // Every channel from the first sample: the bytes of the full conversion.
    ASSERT_TRUE(Convert("part", "rec.csv", Between(0.0, {}, {2, 4, 6, 9})));
    for (const char* p : {"rec_A.csv", "rec_B.csv"})
        EXPECT_EQ(ReadAll(dir.File(std::string("part/") + p)), ReadAll(dir.File(std::string("full/") + p))) << p;
}

}  // namespace
}  // namespace kmr
