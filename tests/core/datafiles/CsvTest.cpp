#include "core/datafiles/CsvColumnWriter.h"
#include "core/datafiles/CsvLineWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <set>
#include <tuple>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "core/datafiles/Conversion.h"
#include "core/datafiles/DataFilesTestSupport.h"
#include "core/support/Numbers.h"
#include "core/support/TextTable.h"

namespace kmr {
namespace {

using testing::FakeProgress;
using testing::ConditionsWith;
using testing::ReadAll;
using testing::TempDir;

std::string Cell(const std::string& text) { return text + std::string(16 - text.size(), ' '); }

class CsvTest : public ::testing::Test {
protected:
    // Writes column by column (as the transfer does) and returns success.
    bool WriteByColumns(const std::string& name, const FileConditions& fc, const std::vector<SampleBuffer>& chans) {
        CsvLayout layout;
        if (!CreateCsvFiles(dir.folder(), name, fc, layout, ctx)) return false;
        for (std::size_t k = 0; k < fc.MeasuredChannels.size(); ++k) {
            const ChannelCondition& c = fc.Ch(fc.MeasuredChannels[k]);
            if (!WriteCsvColumn(layout, static_cast<int>(k), chans[k], fc.WordsConverted, c.Coeff, c.Offset, ctx))
                return false;
        }
        // Written under temporary names: the files take their names now.
        return FinishCsvFiles(layout, CsvFinish::Complete, ctx);
    }
    bool WriteByLines(const std::string& name, const FileConditions& fc, const std::vector<SampleBuffer>& chans) {
        return WriteCsvFiles(dir.folder(), name, fc, chans, ctx);
    }

    TempDir dir;
    testing::FakeUi ui{MsgAnswer::Cancel};
    RunStatus status = RunStatus::Ok;
    Progress progress;
    NullProgressView quiet;
    CsvContext ctx{ui, status, progress, quiet};
};

TEST_F(CsvTest, OneChannelThreeSamplesByteForByte) {
    FileConditions fc = FileConditionsFrom(ConditionsWith({1}, 3), 3);
    const std::vector<SampleBuffer> chans{{5, -32768, 32767, 0}};
    const std::string expected =
        "TRG TIME,2002/02/05 00:00:00\r\n"
        "TRG MODE,Manual Trigger\r\n"
        "SMP CLK,1,(mSec.)\r\n"
        "MRY,3,(Word)\r\n"
        "PRE-MRY,0,(Word)\r\n"
        "AVE.,OFF,(Point)\r\n"
        "\r\n"
        "COND.,CH.001\r\n"
        "MODE,STRAIN(2.0V)\r\n"
        "L.P.F,PASS\r\n"
        "COEFF.,1\r\n"
        "POINT,#######\r\n"
        "UNIT,\xC2\xB5\r\n"
        "DTG ON/OFF,OFF\r\n"
        "DTG LVL,1000\r\n"
        "OFFSET,0\r\n"
        "\r\n"
        "NO.,CH.001\r\n" +
        Cell("0") + Cell(",5") + "\r\n" + Cell("1") + Cell(",-32768") + "\r\n" + Cell("2") + Cell(",32767") + "\r\n";
    // The lines written line by line are the same bytes: JapaneseNames... and ColumnsLines...
    ASSERT_TRUE(WriteByColumns("a.csv", fc, chans));
    EXPECT_EQ(ReadAll(dir.File("a.csv")), expected);
    EXPECT_EQ(status, RunStatus::Ok);
}

TEST_F(CsvTest, TwoChannelLineAndHeaderVariants) {
    MeasConditions m = ConditionsWith({1, 3, 10}, 10);
    m.TrgMode = 1;
    m.SmpClk = 0.05f;
    m.PreMemoryWords = 2;
    m.Averaging = 4;
    m.Ch(1) = {0, 1, -4, 3, 0.5f, 2, 3, 1, -12.5f, 0.0f};
    m.Ch(3) = {0, 1, 0, 4, 1.0f, 5, 29, 0, 3.0E+30f, 0.0f};
    m.Ch(10).Coeff = 1.2345678f;
    FileConditions fc = FileConditionsFrom(m, 1);
    ASSERT_TRUE(WriteByLines("v.csv", fc, {{25}, {-3}, {10}}));
    const std::string b = ReadAll(dir.File("v.csv"));
    std::vector<std::string> lines;
    for (std::size_t at = 0, e; (e = b.find("\r\n", at)) != std::string::npos; at = e + 2) lines.push_back(b.substr(at, e - at));
    ASSERT_EQ(lines.size(), 19u);
    // 12.5 and -3 as in the worked example; 10 x 1.2345678 has more than 7 significant digits.
    const std::vector<std::string> expected = {
        "TRG MODE,Data Trigger", "SMP CLK,0.05,(mSec.)", "MRY,10,(Word)", "PRE-MRY,2,(Word)", "AVE.,16,(Point)", "",
        "COND.,CH.001,CH.003,CH.010", "MODE,0.1STRAIN(0.5V),VOLT,STRAIN(2.0V)", "L.P.F,30Hz,10Hz,PASS",
        "COEFF.,0.5,1,1.234568", "POINT,####.##,#.#####,#######", "UNIT,\xC2\xB0" "C,rad,\xC2\xB5",
        "DTG ON/OFF,ON,OFF,OFF", "DTG LVL,-12.5,3E+30,1000", "OFFSET,0,0,0", "", "NO.,CH.001,CH.003,CH.010",
        Cell("0") + Cell(",12.5") + Cell(",-3") + Cell(",12.34568")};
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), expected);
}

TEST_F(CsvTest, JapaneseNamesTakeTheirUtf8BytesAndLinesStayAtTheirOffsets) {
    ui.language = Language::Japanese;
    MeasConditions m = ConditionsWith({2}, 4);
    m.TrgMode = 2;
    FileConditions fc = FileConditionsFrom(m, 4);
    const std::vector<SampleBuffer> chans{{1, 2, 3, 4, 0}};
    ASSERT_TRUE(WriteByColumns("j.csv", fc, chans));
    const std::string b = ReadAll(dir.File("j.csv"));
    const std::string name = Text(Language::Japanese, txt::ExternalTrigger);
    ASSERT_GT(name.size(), 4u);
    const std::string second = "TRG MODE," + name + "\r\n";
    const std::size_t at = b.find("\r\n") + 2;
    EXPECT_EQ(b.substr(at, second.size()), second);
    EXPECT_EQ(b.substr(at + second.size(), 8), "SMP CLK,");
    EXPECT_NE(b.find("UNIT,\xCE\xBC\xCE\xB5\r\n"), std::string::npos);  // the Japanese unit list
    const CsvLayout layout = PlanCsvFiles(Language::Japanese, dir.folder(), "j.csv", fc);
    ASSERT_EQ(b.size(), layout.header.size() + 4 * 34);
    for (int i = 0; i < 4; ++i) {
        const std::size_t line = layout.header.size() + static_cast<std::size_t>(i) * 34;
        EXPECT_EQ(b.substr(line, 34), Cell(std::to_string(i)) + Cell("," + std::to_string(i + 1)) + "\r\n");
    }
    ASSERT_TRUE(WriteByLines("k.csv", fc, chans));
    EXPECT_EQ(ReadAll(dir.File("k.csv")), b);
}

TEST_F(CsvTest, SplitAt65000LinesWithContinuingNumbers) {
    // Lines per part; one entry: no parts.
    for (const auto& [n, parts] : {std::pair<std::int32_t, std::vector<std::int32_t>>{65000, {65000}},
                                   {65001, {65000, 1}}, {130001, {65000, 65000, 1}}, {0, {0}}}) {
        SCOPED_TRACE(n);
        TempDir out;
        FileConditions fc = FileConditionsFrom(ConditionsWith({4}, n), n);
        SampleBuffer s(static_cast<std::size_t>(n) + 1, 0);
        for (std::int32_t i = 0; i < n; ++i) s[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i % 1000);
        ASSERT_TRUE(WriteCsvFiles(out.folder(), "20021005_3.csv", fc, std::vector<SampleBuffer>{s}, ctx));
        const std::size_t headerBytes = PlanCsvFiles(Language::English, out.folder(), "x.csv", fc).header.size();
        std::set<std::string> names;
        std::int32_t first = 0;
        for (std::size_t j = 0; j < parts.size(); ++j) {
            std::string name = "20021005_3.csv";
            if (parts.size() > 1) name.insert(10, std::string("_") + static_cast<char>('A' + j));
            names.insert(name);
            const std::string b = ReadAll(out.File(name));
            ASSERT_EQ(b.size(), headerBytes + 34u * static_cast<std::size_t>(parts[j])) << j;
            if (n == 0) continue;
            EXPECT_EQ(b.substr(headerBytes, 16), Cell(std::to_string(first)));
            EXPECT_EQ(b.substr(headerBytes + 16, 16), Cell("," + std::to_string(first % 1000)));
            first += parts[j];
        }
        EXPECT_EQ(testing::FolderNames(out.path()), names);  // no other part
    }
}

// Written column by column from memory (the transfer), line by line from memory, and line by line
// from the .kmr file of the same samples (the conversion): the same bytes.
TEST_F(CsvTest, ColumnsLinesAndTheConversionGiveIdenticalBytesAndProgress) {
    MeasConditions m = ConditionsWith({1, 4, 7}, 140000);
    m.Ch(1) = {.Coeff = 0.3f, .Offset = -1.5f};
    m.Ch(4) = {.Coeff = 1.0E-6f};
    m.Ch(7) = {.Coeff = 123.456f, .Offset = 1.0E+7f};
    FileConditions fc = FileConditionsFrom(m, 130001);
    std::mt19937 rng(7);
    std::vector<SampleBuffer> chans(3, SampleBuffer(140001, 0));
    for (auto& c : chans)
        for (std::size_t i = 0; i < 130001; ++i) c[i] = static_cast<std::int16_t>(rng());
    chans[0][0] = -32768;
    chans[0][1] = 32767;
    ASSERT_TRUE(WriteByColumns("c.csv", fc, chans));
    const int columnSteps = progress.ProgressStep;
    progress = Progress{};
    ASSERT_TRUE(WriteByLines("l.csv", fc, chans));
    EXPECT_EQ(progress.ProgressStep, columnSteps);
    EXPECT_EQ(columnSteps, 130001 * 4 / 1000);
    std::vector<std::vector<std::int16_t>> samples;
    for (const auto& c : chans) samples.emplace_back(c.begin(), c.begin() + 130001);
    ASSERT_TRUE(testing::WriteKmr(dir.File("k.kmr"), m, 130001, samples));
    ASSERT_TRUE(ConvertDataFile(dir.File("k.kmr"), dir.folder(), "k.csv", progress, quiet, ui, status));
    for (const char* part : {"_A.csv", "_B.csv", "_C.csv"}) {
        const std::string a = ReadAll(dir.File(std::string("c") + part));
        ASSERT_FALSE(a.empty());
        EXPECT_TRUE(a == ReadAll(dir.File(std::string("l") + part))) << part;
        EXPECT_TRUE(a == ReadAll(dir.File(std::string("k") + part))) << part;
    }
    // Fewer lines than raw words: the words that occur are formatted alone, the lines are the same.
    const FileConditions few = FileConditionsFrom(m, 20001);
    ASSERT_TRUE(WriteByColumns("fc.csv", few, chans));
    ASSERT_TRUE(WriteByLines("fl.csv", few, chans));
    EXPECT_TRUE(ReadAll(dir.File("fc.csv")) == ReadAll(dir.File("fl.csv")));
}

TEST_F(CsvTest, NeverWritesOverAnExistingFile) {
    FileConditions fc = FileConditionsFrom(ConditionsWith({1}, 3), 3);
    const std::string old(5000, 'z');
    testing::WriteAll(dir.File("o.csv"), old);
    EXPECT_FALSE(WriteByLines("o.csv", fc, {{1, 2, 3, 0}}));
    EXPECT_EQ(ReadAll(dir.File("o.csv")), old);
    EXPECT_EQ(status, RunStatus::Cancelled);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].text.find("#" + std::to_string(EEXIST)), std::string::npos);
    status = RunStatus::Ok;
    CsvLayout layout;
    EXPECT_FALSE(CreateCsvFiles(dir.folder(), "o.csv", fc, layout, ctx));
    EXPECT_EQ(ReadAll(dir.File("o.csv")), old);
}

TEST_F(CsvTest, CancelStopsAtTheNextYieldAndLeavesNothingOfTheFile) {
    // One part: the cancel comes at the third yield (after 3 x 1000 units = 1000 lines of 3 units).
    // Five parts, which may be written two at a time: after the cancel no line is started. No part
    // of the file is left, under its name or a temporary one.
    for (const auto& [n, cancelAt, steps] : {std::tuple{60000, 3, 2}, std::tuple{5 * 65000, 10, 9}}) {
        SCOPED_TRACE(n);
        FileConditions fc = FileConditionsFrom(ConditionsWith({1, 2}, n), n);
        std::vector<SampleBuffer> chans(2, SampleBuffer(static_cast<std::size_t>(n) + 1, 7));
        FakeProgress view(cancelAt);
        progress = Progress{};
        status = RunStatus::Ok;
        CsvContext cancelling{ui, status, progress, view};
        EXPECT_FALSE(WriteCsvFiles(dir.folder(), "x.csv", fc, chans, cancelling));
        EXPECT_EQ(status, RunStatus::Cancelled);
        EXPECT_EQ(progress.ProgressStep, steps);
        EXPECT_TRUE(ui.shown.empty());
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            ADD_FAILURE() << "left behind: " << entry.path();
    }
}

// A source whose reads fail from the `failAt`-th on (counting from 1).
struct FailingSource : CsvSampleSource {
    FailingSource(int failAt, int err) : failAt_(failAt), err_(err) {}
    int Read(int, std::int32_t, std::int32_t count, std::int16_t* dest) const override {
        if (++reads_ >= failAt_) return err_;
        std::fill(dest, dest + count, std::int16_t{3});
        return 0;
    }
    const std::string& Name() const override { return name_; }
    int failAt_, err_;
    mutable std::atomic<int> reads_{0};
    std::string name_ = "/data/broken.kmr";
};

TEST_F(CsvTest, AFailingReadStopsWithTheMessageOfTheDataFile) {
    // While the cells are prepared (first reads) and while the parts are written (later ones),
    // with one part and with several written together.
    for (const auto& [n, failAt, err] : {std::tuple{1000, 1, EIO}, std::tuple{60000, 15, EIO},
                                         std::tuple{300000, 1, EACCES}, std::tuple{300000, 60, EIO},
                                         std::tuple{300000, 40, -1}}) {
        SCOPED_TRACE(n);
        SCOPED_TRACE(failAt);
        FileConditions fc = FileConditionsFrom(ConditionsWith({1, 2}, n), n);
        status = RunStatus::Ok;
        ui.shown.clear();
        progress = Progress{};
        TempDir out;
        EXPECT_FALSE(WriteCsvFiles(out.folder(), "f.csv", fc, FailingSource(failAt, err), ctx));
        EXPECT_EQ(status, RunStatus::Cancelled);
        ASSERT_EQ(ui.shown.size(), 1u);
        EXPECT_NE(ui.shown[0].text.find("#" + std::to_string(err > 0 ? err : EIO)), std::string::npos);
        EXPECT_NE(ui.shown[0].text.find("/data/broken.kmr"), std::string::npos);
        // The part files begun are removed again and named.
        EXPECT_TRUE(std::filesystem::is_empty(out.path()));
        if (n == 60000) {
            EXPECT_NE(ui.shown[0].text.find("\n" + Text(Language::English, txt::PartRemoved) + out.File("f.csv")),
                      std::string::npos);
        }
    }
}

TEST_F(CsvTest, NoMemoryForTheWriterIsReportedAndNothingIsWritten) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no address-space limit for a process";
#else
    // The address space is limited to what the process has now plus a little, too little for the
    // writer's cells.
    std::ifstream statusFile("/proc/self/status");
    std::string line;
    long vmKiB = 0;
    while (std::getline(statusFile, line))
        if (line.rfind("VmSize:", 0) == 0) vmKiB = std::atol(line.c_str() + 7);
    if (vmKiB == 0) GTEST_SKIP() << "no /proc/self/status";
    if (vmKiB > (64L << 20)) GTEST_SKIP() << "the address space is reserved in bulk (a sanitizer build)";
    FileConditions fc = FileConditionsFrom(ConditionsWith({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 70000), 70000);
    const std::vector<SampleBuffer> chans(10, SampleBuffer(70001, 1));
    std::vector<std::span<const std::int16_t>> views(chans.begin(), chans.end());
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_AS, &old), 0);
    rlimit small = old;
    small.rlim_cur = static_cast<rlim_t>(vmKiB + 2048) * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_AS, &small), 0);
    const bool written = WriteCsvFiles(dir.folder(), "m.csv", fc, views, ctx);
    ::setrlimit(RLIMIT_AS, &old);
    EXPECT_FALSE(written);
    EXPECT_EQ(status, RunStatus::Cancelled);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].text.find("#" + std::to_string(ENOMEM)), std::string::npos);
    EXPECT_FALSE(testing::FileExistsOnDisk(dir.File("m_A.csv")));
#endif
}

TEST(CsvUnits, CountingInBulkMatchesOneByOne) {
    for (std::int64_t chunk : {1, 3, 7, 11, 999, 1000, 1001, 4567}) {
        Progress a, b;
        testing::FakeProgress va, vb;
        RunStatus sa = RunStatus::Ok, sb = RunStatus::Ok;
        for (int round = 0; round < 50; ++round) {
            ASSERT_TRUE(CountCsvUnits(a, va, sa, chunk));
            for (std::int64_t i = 0; i < chunk; ++i) ASSERT_TRUE(b.CountUnit(vb, sb));
            ASSERT_EQ(a.ProgressCounter, b.ProgressCounter) << chunk;
            ASSERT_EQ(a.ProgressStep, b.ProgressStep) << chunk;
        }
        EXPECT_EQ(va.looks, vb.looks);
    }
}

// The cell values are formatted by a faster path that must give FormatFloat's text every time.
TEST(CsvCellText, EqualsFormatFloatForEveryRawWordAndManyFloats) {
    const float coeffs[] = {1.0f, 0.5f, 0.3f, 1.2345678f, 2.0e-3f, 10.0f, 0.1f, 7.5f, 1.0e-6f, 123.456f,
                            3.0E+30f, 1.402E-40f, 0.001f, 1.0f / 3.0f, 9.999999f, 65536.0f};
    const float offsets[] = {0.0f, -100.0f, 0.25f, 1.0e7f, -0.0001f};
    long checked = 0;
    for (float c : coeffs)
        for (float o : offsets)
            for (int raw = -32768; raw <= 32767; ++raw) {
                const float v = static_cast<float>(raw * static_cast<double>(c) + static_cast<double>(o));
                ASSERT_EQ(FormatCellValue(v), FormatFloat(v)) << raw << " " << c << " " << o;
                ++checked;
            }
    std::mt19937 rng(11);
    for (int i = 0; i < 2000000; ++i) {
        const std::uint32_t bits = static_cast<std::uint32_t>(rng());
        float v;
        std::memcpy(&v, &bits, 4);
        ASSERT_EQ(FormatCellValue(v), FormatFloat(v)) << bits;
    }
    // Halves at the seventh digit and powers of ten, where rounding and the exponent turn.
    for (float v : {1234567.5f, 1234568.5f, 0.5f, 9999999.5f, 9999999.0f, 1.0e7f, 1.0e-5f, 0.0001f, 99999.995f,
                    -0.0f, 1e-16f, 1e28f, 3.4028235e38f})
        EXPECT_EQ(FormatCellValue(v), FormatFloat(v)) << v;
    // Every float next to each power of ten of the range written without an exponent.
    for (int k = -5; k <= 8; ++k) {
        float v = std::nextafter(std::pow(10.0f, static_cast<float>(k)), 0.0f);
        for (int i = 0; i < 2000; ++i, v = std::nextafter(v, 0.0f)) {}
        for (int i = 0; i < 4000; ++i, v = std::nextafter(v, 1e30f)) {
            ASSERT_EQ(FormatCellValue(v), FormatFloat(v)) << v;
            ASSERT_EQ(FormatCellValue(-v), FormatFloat(-v)) << -v;
        }
    }
    EXPECT_GT(checked, 5000000);
}

}  // namespace
}  // namespace kmr
