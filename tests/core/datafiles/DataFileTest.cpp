#include "core/datafiles/DataFile.h"
#include "core/datafiles/Csv.h"
#include "core/datafiles/FileIo.h"
#include "core/datafiles/StoredRecord.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <bit>
#include <cerrno>
#include <filesystem>
#include <mutex>

#include "core/support/TextTable.h"
#include "core/datafiles/DataFilesTestSupport.h"

namespace kmr {
namespace {

using testing::ConditionsWith;
using testing::Le32;
using testing::ReadAll;
using testing::FakeUi;
using testing::TempDir;
using testing::WriteAll;
using testing::WriteKmr;

std::vector<std::int16_t> Ramp(int n, int start) {
    std::vector<std::int16_t> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(start + i);
    return v;
}

// Reads the header of a file that must be refused, the conditions left as they were, and returns
// the one (critical) message shown.
std::string RefusalOf(const std::string& path) {
    FakeUi ui{MsgAnswer::Cancel};
    RunStatus status = RunStatus::Ok;
    FileConditions fc;
    fc.TrgMode = 1;
    const FileConditions untouched = fc;
    EXPECT_FALSE(ReadDataFileHeader(path, fc, ui, status)) << path;
    EXPECT_EQ(status, RunStatus::Cancelled) << path;
    EXPECT_EQ(fc, untouched) << path;
    EXPECT_EQ(ui.shown.size(), 1u) << path;
    if (ui.shown.empty()) return "";
    EXPECT_EQ(ui.shown[0].icon, MsgIcon::Critical) << path;
    return ui.shown[0].text;
}

class DataFileTest : public ::testing::Test {
protected:
    TempDir dir;
    FakeUi ui{MsgAnswer::Cancel};
    RunStatus status = RunStatus::Ok;
};

TEST_F(DataFileTest, StoppedEarlyFileHoldsNAndMemoryWordsAndZeros) {
    const MeasConditions m = ConditionsWith({3}, 1000);
    const std::string path = dir.File("b.kmr");
    ASSERT_TRUE(WriteKmr(path, m, 400, {Ramp(400, 7)}));
    const std::string b = ReadAll(path);
    ASSERT_EQ(b.size(), 3102u);
    EXPECT_EQ(Le32(b, 54), 1000);
    EXPECT_EQ(Le32(b, 62), 400);
    EXPECT_EQ(b.substr(1900), std::string(1202, '\0'));
    FileConditions fc;
    ASSERT_TRUE(ReadDataFileHeader(path, fc, ui, status));
    SampleBuffer buf;
    ASSERT_TRUE(ReadChannelBlock(path, ChannelBlockOffset(fc.WordsConverted, 0), fc, buf, ui, status));
    ASSERT_EQ(buf.size(), 1001u);
    EXPECT_EQ(buf[0], 7);
    EXPECT_EQ(buf[399], 406);
    EXPECT_EQ(buf[400], 0);
}

TEST_F(DataFileTest, HeaderFieldsSitAtTheirOffsetsAndReadBack) {
    MeasConditions m = ConditionsWith({1, 10}, 2000);
    m.TrgMode = 2;
    m.SmpClk = 0.05f;
    m.PreMemoryWords = 100;
    m.Averaging = 4;
    m.Ch(1) = {0, 1, -5, 3, 0.25f, 3, 4, 1, -12.5f, 1.5f};
    m.Ch(10) = {0, 1, 0, 4, 3.0E+30f, 5, 29, 0, 1000.0f, -7.0f};
    m.Ch(4).Unit = 17;  // switched off: its record is written in full anyway
    const std::string path = dir.File("c.kmr");
    ASSERT_TRUE(WriteKmr(path, m, 1500, {Ramp(1500, 0), Ramp(1500, 0)}));
    const std::string b = ReadAll(path);
    EXPECT_EQ(b.substr(4, 20), "KMR_FILE BY VNTNORDA");
    EXPECT_EQ(b.substr(28, 20), "2002/02/05 00:00:00 ");  // 19 characters and one blank
    // Little-endian words and floats at their offsets; the channel records at 100 * channel.
    const std::size_t c1 = 100, c4 = 400, c10 = 1000;
    for (const auto& [at, v] : std::initializer_list<std::pair<std::size_t, int>>{
             {48, 2}, {66, 4}, {c1, 1}, {c1 + 2, -5}, {c1 + 4, 3}, {c1 + 10, 3}, {c1 + 12, 4}, {c1 + 14, 1},
             {c4, 0}, {c4 + 2, 2}, {c4 + 12, 17}})
        EXPECT_EQ(testing::Le16(b, at), v) << at;
    for (const auto& [at, v] : std::initializer_list<std::pair<std::size_t, int>>{
             {0, 20}, {24, 20}, {58, 100}, {70, 26}, {c1 + 24, 72}, {c4 + 24, 72}})
        EXPECT_EQ(Le32(b, at), v) << at;
    for (const auto& [at, v] : std::initializer_list<std::pair<std::size_t, float>>{
             {50, 0.05f}, {c1 + 6, 0.25f}, {c1 + 16, -12.5f}, {c1 + 20, 1.5f}, {c4 + 6, 1.0f}, {c4 + 16, 1000.0f},
             {c10 + 6, 3.0E+30f}})
        EXPECT_EQ(std::bit_cast<float>(Le32(b, at)), v) << at;
    EXPECT_EQ(b.substr(74, 26), std::string(26, ' '));
    for (const std::size_t c : {c1, c4}) EXPECT_EQ(b.substr(c + 28, 72), std::string(72, ' ')) << c;

    FileConditions fc;
    ASSERT_TRUE(ReadDataFileHeader(path, fc, ui, status));
    // The trigger time without its blank, the channels measured, the count and every field written.
    FileConditions expected = FileConditionsFrom(m, 1500);
    for (auto& c : expected.Channels) c.Installed = 0;
    EXPECT_EQ(fc, expected);
    EXPECT_EQ(status, RunStatus::Ok);
}

// Control bytes in a damaged trigger time are read as '?': the CSV keeps its lines and a terminal
// gets no escape sequence.
TEST_F(DataFileTest, ControlBytesInTheTriggerTimeAreReadAsQuestionMarks) {
    const std::string path = dir.File("t.kmr");
    ASSERT_TRUE(WriteKmr(path, ConditionsWith({1}, 3), 3, {Ramp(3, 0)}));
    std::string b = ReadAll(path);
    b.replace(28, 20, std::string("\x1b[31mX\r\nY,Z\x07\0       ", 20));
    testing::WriteAll(path, b);
    FileConditions fc;
    ASSERT_TRUE(ReadDataFileHeader(path, fc, ui, status));
    EXPECT_EQ(fc.TriggerTime, "?[31mX??Y,Z??");
    const std::string csv = CsvHeaderText(fc, Language::English, Language::English);
    EXPECT_EQ(csv.substr(0, csv.find("TRG MODE,")), "TRG TIME,?[31mX??Y,Z??\r\n");
}

TEST_F(DataFileTest, CancelWritesTheCancelSignatureAndReadingRefusesItAsAnIncompleteTransfer) {
    const MeasConditions m = ConditionsWith({1}, 100);
    const std::string path = dir.File("d.kmr");
    ASSERT_TRUE(WriteKmr(path, m, 100, {Ramp(100, 0)}));
    const std::string before = ReadAll(path);
    ASSERT_TRUE(MarkDataFileCancelled(path, ui, status));
    const std::string after = ReadAll(path);
    EXPECT_EQ(after.substr(0, 24), std::string("\x14\0\0\0KMR_FILE CANCEL     ", 24));
    EXPECT_EQ(after.substr(24), before.substr(24));

    const std::string refusal = RefusalOf(path);
    EXPECT_EQ(refusal.rfind(Text(Language::English, txt::NotConditionFile), 0), 0u);
    EXPECT_NE(refusal.find(path), std::string::npos);

    // A file whose second block never arrived still carries the in-progress signature.
    const std::string partial = dir.File("e.kmr");
    ASSERT_TRUE(WriteDataFileHeader(partial, ConditionsWith({1, 2}, 50), 50, ui, status));
    ASSERT_TRUE(WriteChannelBlock(partial, ChannelBlockOffset(50, 0), SampleBuffer(51, 0), ui, status));
    EXPECT_EQ(RefusalOf(partial).rfind(Text(Language::English, txt::NotConditionFile), 0), 0u);
}

TEST_F(DataFileTest, FileSystemErrorsShowTheMessageAndLeaveTheProgramRunning) {
    // A new data file never overwrites an existing one.
    const std::string path = dir.File("f.kmr");
    WriteAll(path, "older measurement");
    EXPECT_FALSE(WriteDataFileHeader(path, ConditionsWith({1}, 10), 10, ui, status));
    EXPECT_EQ(ReadAll(path), "older measurement");
    SampleBuffer buf(11, 0);
    EXPECT_FALSE(WriteChannelBlock(dir.File("missing.kmr"), 1100, buf, ui, status));
    EXPECT_FALSE(MarkDataFileCancelled(dir.File("missing.kmr"), ui, status));
    ASSERT_EQ(ui.shown.size(), 3u);
    EXPECT_EQ(ui.shown[0].text.rfind("Unexpected error #" + std::to_string(EEXIST) + " has occurred.", 0), 0u);
    EXPECT_EQ(ui.shown[1].text.rfind("Unexpected error #" + std::to_string(ENOENT) + " has occurred.", 0), 0u);
    EXPECT_EQ(status, RunStatus::Cancelled);
    EXPECT_FALSE(ui.terminated);
    EXPECT_FALSE(testing::FileExistsOnDisk(dir.File("missing.kmr")));
    // In Japanese the usual reasons are said in Japanese too; a rare one stays the system's.
    EXPECT_EQ(FileErrorMessage(Language::Japanese, ENOSPC, "/d/x.csv"),
              Text(Language::Japanese, txt::UnexpectedError) + " #" + std::to_string(ENOSPC) + " " +
                  Text(Language::Japanese, txt::HasOccurred) + "ディスクの空き領域が足りません (/d/x.csv)");
    EXPECT_EQ(ErrorDescription(EDOM, Language::Japanese), ErrorDescription(EDOM));
#ifdef ENOMEDIUM
    EXPECT_EQ(FileErrorMessage(Language::English, ENOMEDIUM, "/media/x.kmr"),
              Text(Language::English, txt::DriveNotReady));
#endif
#ifndef _WIN32
    // A data file that cannot be opened shows its error number (an empty file and one of text:
    // EveryTruncation... and DamagedHeader...; a folder: FileIoPath). Symbolic links need a
    // privilege on Windows.
    const std::string loop = dir.File("loop.kmr");
    ASSERT_EQ(::symlink(loop.c_str(), loop.c_str()), 0);
    EXPECT_NE(RefusalOf(loop).find("#" + std::to_string(ELOOP)), std::string::npos);
#endif
}

// --- Damaged files --------------------------------------------------------------------------------

TEST_F(DataFileTest, DamagedHeaderIsRefusedWithTheProblemNamed) {
    const std::string path = dir.File("g.kmr");
    ASSERT_TRUE(WriteKmr(path, ConditionsWith({2, 4}, 100), 100, {Ramp(100, 0), Ramp(100, 5)}));
    const std::string good = ReadAll(path);
    const struct {
        const char* name;
        std::size_t offset;  // where the 4 or 2 bytes go
        int width;           // 2 or 4
        std::int32_t value;
        const char* expect;  // a word of the problem text
    } damages[] = {
        {"SignatureLengthNegative", 0, 4, -1, "signature"},
        {"SignatureLengthPastHeader", 0, 4, 5000, "signature"},
        {"TriggerTimeLength19", 24, 4, 19, "length 19"},
        {"TriggerTimeLengthPastHeader", 24, 4, 100000, "trigger time"},
        {"ReservedLength", 70, 4, 1000, "reserved"},
        {"ChannelReservedLength", 300 + 24, 4, 71, "channel 3"},
        {"WordsAboveMemoryWords", 62, 4, 101, "stored words 101"},
        {"NegativeWords", 62, 4, -1, "stored words -1"},
        {"MemoryWordsZero", 54, 4, 0, "memory words 0 outside"},
        {"MemoryWordsHuge", 54, 4, 2147483647, "2147483647"},
        {"MemoryWordsAboveLargest", 54, 4, 507905, "507905"},
        {"ChannelCountZero", 68, 2, 0, "channel count 0"},
        {"ChannelCountDisagrees", 68, 2, 3, "channel count 3"},
        {"OnOffTwo", 200, 2, 2, "channel 2"},
        {"UnitOutOfRange", 300 + 12, 2, 30, "channel 3"},
        {"TriggerModeOutOfRange", 48, 2, 3, "trigger mode 3"},
        {"ClockNotOffered", 50, 4, 1075838976 /* 2.5f */, "sampling clock 2.5 ms"},
        {"PreMemoryAboveMemoryWords", 58, 4, 101, "pre-memory words 101"},
        {"InputModeUnknown", 102, 2, 4, "input mode of channel 1"},
        {"AveragingOutOfRange", 66, 2, 11, "averaging 11"},
    };
    for (const auto& d : damages) {
        SCOPED_TRACE(d.name);
        std::string b = good;
        for (int i = 0; i < d.width; ++i)
            b[d.offset + static_cast<std::size_t>(i)] = static_cast<char>((static_cast<std::uint32_t>(d.value) >> (8 * i)) & 0xFF);
        WriteAll(path, b);
        const std::string text = RefusalOf(path);
        // Only a file without the signature is "not a condition file"; the others are data files.
        const int heading = d.offset == 0 ? txt::NotConditionFile : txt::DataFileUnreadable;
        EXPECT_EQ(text.rfind(Text(Language::English, heading), 0), 0u) << text;
        EXPECT_NE(text.find(d.expect), std::string::npos) << text;
    }
}

// A file of another length than its header implies is read, and the reader learns both lengths.
TEST_F(DataFileTest, LengthUnlikeTheHeaderIsReadWithAWarningNamingBothSizes) {
    const std::string path = dir.File("f.kmr");
    ASSERT_TRUE(WriteKmr(path, ConditionsWith({2, 4}, 100), 100, {Ramp(100, 0), Ramp(100, 5)}));
    std::string b = ReadAll(path);
    ASSERT_EQ(b.size(), 1502u);
    FileConditions fc;
    std::string warning = "x";
    ASSERT_TRUE(ReadDataFileHeader(path, fc, ui, status, &warning));
    EXPECT_EQ(warning, "");

    // One bit of WordsConverted flipped: 100 becomes 36, which a complete file of 1374 bytes holds.
    b[62] = static_cast<char>(100 ^ 64);
    WriteAll(path, b);
    ASSERT_TRUE(ReadDataFileHeader(path, fc, ui, status, &warning));
    EXPECT_EQ(fc.WordsConverted, 36);
    EXPECT_EQ(warning,
              "The file is 1502 bytes long, but its header implies 1374 bytes: the header or the file may be "
              "damaged, or the file was written over a longer one.");
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(DataFileTest, EveryTruncationOfASmallFileIsRefusedOrReadWithinItsEnd) {
    const std::string good = dir.File("h.kmr");
    ASSERT_TRUE(WriteKmr(good, ConditionsWith({1, 3}, 4), 3, {{1, 2, 3}, {-1, -2, -3}}));
    const std::string full = ReadAll(good);
    ASSERT_EQ(full.size(), 1100u + 6u + 10u);
    const std::size_t needed = 1100 + 2 * 3 * 2;
    for (std::size_t len = 0; len < full.size(); ++len) {
        const std::string path = dir.File("cut" + std::to_string(len) + ".kmr");
        WriteAll(path, full.substr(0, len));
        if (len < needed) {
            const std::string text = RefusalOf(path);
            EXPECT_NE(text.find(len < 1100 ? "shorter than the 1100-byte header" : "cut short"), std::string::npos)
                << len << ": " << text;
            // Once its signature is whole the file is said to be a data file that cannot be read,
            // not a file of another kind.
            const int heading = len < 24 ? txt::NotConditionFile : txt::DataFileUnreadable;
            EXPECT_EQ(text.rfind(Text(Language::English, heading), 0), 0u) << len << ": " << text;
            continue;
        }
        FileConditions fc;
        std::string warning;
        ASSERT_TRUE(ReadDataFileHeader(path, fc, ui, status, &warning)) << len;
        EXPECT_FALSE(warning.empty()) << len;  // every length read here is shorter than complete
        SampleBuffer buf;
        ASSERT_TRUE(ReadChannelBlock(path, ChannelBlockOffset(3, 1), fc, buf, ui, status));
        EXPECT_EQ(buf, (SampleBuffer{-1, -2, -3, 0, 0}));
    }
}

TEST_F(DataFileTest, StoredSamplesAreEveryChannelReadWholeInItsPlaceOrNothingKeptWhenTheFileShrinks) {
    // Longer than one chunk between two looks at Cancel.
    constexpr std::int32_t n = 300000;
    const std::string path = dir.File("long.kmr");
    std::vector<std::vector<std::int16_t>> written;
    for (int k = 0; k < 4; ++k) written.push_back(Ramp(n, 1000 * k));
    ASSERT_TRUE(WriteKmr(path, ConditionsWith({2, 3, 7, 9}, n), n, written));
    const StoredRecordCheck check = CheckStoredRecord(path, Language::English);
    ASSERT_TRUE(check.ok);
    NullProgressView view;
    std::vector<RawSamples> out;
    // Each piece is handed over once, where it lies, with its samples already read (two threads
    // read a record this long, so the pieces come in no set order).
    std::mutex m;
    std::vector<std::size_t> pieced(4, 0);
    bool inPlace = true;
    ASSERT_TRUE(ReadStoredSamples(path, check.conditions, out, view, ui, status,
                                  [&](std::size_t k, std::size_t first, std::span<const std::int16_t> piece) {
                                      const std::lock_guard<std::mutex> lock(m);
                                      inPlace = inPlace && piece.data() == out[k].data() + first &&
                                                std::equal(piece.begin(), piece.end(), written[k].begin() +
                                                           static_cast<std::ptrdiff_t>(first));
                                      pieced[k] += piece.size();
                                  }));
    ASSERT_EQ(out.size(), written.size());
    for (std::size_t k = 0; k < out.size(); ++k)
        EXPECT_TRUE(std::equal(out[k].begin(), out[k].end(), written[k].begin(), written[k].end())) << k;
    EXPECT_TRUE(inPlace);
    EXPECT_EQ(pieced, std::vector<std::size_t>(4, n));

    // Cut in the third channel's block after the check: a clear message, nothing kept.
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - static_cast<std::uintmax_t>(3 * n));
    EXPECT_FALSE(ReadStoredSamples(path, check.conditions, out, view, ui, status));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(status, RunStatus::Cancelled);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].icon, MsgIcon::Critical);
    EXPECT_NE(ui.shown[0].text.find(path), std::string::npos) << ui.shown[0].text;
}

}  // namespace
}  // namespace kmr
