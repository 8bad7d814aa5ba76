// The HDF5 export read back through the HDF5 library: the raw words, the values bit for bit as
// the CSV cells compute them (the h5py read-back compares the printed numbers), the time, every
// attribute, for the whole file and for parts of it; a failed write or a cancel leaves nothing
// under the final name, and an existing file is never replaced.
#include "core/datafiles/Hdf5Export.h"

#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "core/datafiles/ConversionFixture.h"
#include "core/datafiles/CsvCells.h"
#include "core/datafiles/TemporaryOutput.h"
#include "core/datafiles/FileIo.h"
#include "core/support/ProgramVersion.h"
#include "core/support/TextTable.h"
#include "core/support/Vocabulary.h"
#include "support/FileSizeLimit.h"

#ifdef KMR_HAVE_HDF5
#include <hdf5.h>
#endif

namespace kmr {
namespace {

using testing::ConditionsWith;
using testing::FakeProgress;
using testing::FakeUi;
using testing::FolderNames;
using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;
using testing::WriteKmr;

TEST(Hdf5Names, TheModelIsKnownWhereOnlyOneModelHasAChannelsInputMode) {
    MeasConditions m = ConditionsWith({1, 2}, 10);
    EXPECT_EQ(ModelOfConditions(FileConditionsFrom(m, 10)), "");
    m.Ch(3).InputMode = 3;  // switched off: tells nothing
    EXPECT_EQ(ModelOfConditions(FileConditionsFrom(m, 10)), "");
    m.Ch(2).InputMode = -6;  // 0.1STRAIN(5.0V)
    EXPECT_EQ(ModelOfConditions(FileConditionsFrom(m, 10)), "KMR-510C");
}

#ifndef KMR_HAVE_HDF5

TEST(Hdf5Export, ABuildWithoutTheLibrarySaysSo) {
    EXPECT_FALSE(Hdf5ExportAvailable());
    TempDir dir;
    ASSERT_TRUE(WriteKmr(dir.File("a.kmr"), ConditionsWith({1}, 10), 10, {std::vector<std::int16_t>(10, 1)}));
    FakeUi ui{MsgAnswer::Cancel};
    FakeProgress view;
    Progress progress;
    RunStatus status = RunStatus::Ok;
    ConversionOptions options;
    options.format = ExportFormat::Hdf5;
    EXPECT_FALSE(ConvertDataFile(dir.File("a.kmr"), dir.folder(), "a.h5", options, progress, view, ui, status));
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{Text(Language::English, txt::Hdf5Unavailable)});
    EXPECT_FALSE(testing::FileExistsOnDisk(dir.File("a.h5")));
}

#else

// --- Reading HDF5 back ----------------------------------------------------------------------------

// An identifier of the library, closed at the end of its scope.
struct Id {
    hid_t id;
    herr_t (*close)(hid_t);
    ~Id() { if (id >= 0) close(id); }
    operator hid_t() const { return id; }
};

template <class Info>
herr_t AddName(hid_t, const char* name, const Info*, void* names) {
    static_cast<std::set<std::string>*>(names)->insert(name);
    return 0;
}

// The names of the attributes (`links` false) or of the members of a file or group.
std::set<std::string> Names(hid_t loc, bool links = false) {
    std::set<std::string> names;
    hsize_t at = 0;
    if (links)
        H5Literate(loc, H5_INDEX_NAME, H5_ITER_INC, &at, AddName<H5L_info_t>, &names);
    else
        H5Aiterate2(loc, H5_INDEX_NAME, H5_ITER_INC, &at, AddName<H5A_info_t>, &names);
    return names;
}

// A text attribute: a variable-length UTF-8 string.
std::string TextAttribute(hid_t loc, const char* name) {
    const Id attr{H5Aopen(loc, name, H5P_DEFAULT), H5Aclose};
    const Id type{H5Aget_type(attr), H5Tclose};
    EXPECT_EQ(H5Tget_class(type), H5T_STRING) << name;
    EXPECT_GT(H5Tis_variable_str(type), 0) << name;
    EXPECT_EQ(H5Tget_cset(type), H5T_CSET_UTF8) << name;
    char* text = nullptr;
    if (H5Aread(attr, type, &text) < 0 || !text) return "<unreadable>";
    std::string out = text;
    H5free_memory(text);
    return out;
}

// A number attribute of the file type `fileType`, read as `memType`.
template <class T>
T NumberAttribute(hid_t loc, const char* name, hid_t fileType, hid_t memType) {
    const Id attr{H5Aopen(loc, name, H5P_DEFAULT), H5Aclose};
    const Id type{H5Aget_type(attr), H5Tclose};
    EXPECT_GT(H5Tequal(type, fileType), 0) << name;
    T v{};
    EXPECT_GE(H5Aread(attr, memType, &v), 0) << name;
    return v;
}
std::int32_t IntAttribute(hid_t loc, const char* name) {
    return NumberAttribute<std::int32_t>(loc, name, H5T_STD_I32LE, H5T_NATIVE_INT32);
}
float FloatAttribute(hid_t loc, const char* name) {
    return NumberAttribute<float>(loc, name, H5T_IEEE_F32LE, H5T_NATIVE_FLOAT);
}

// A channel's group: "CH001" .. "CH010".
std::string GroupName(int ch) {
    char name[8];
    std::snprintf(name, sizeof name, "CH%03d", ch);
    return name;
}

// A one-dimensional dataset, which must be stored in chunks of `chunk` samples through `filters`.
template <class T>
std::vector<T> ReadDataset(hid_t loc, const char* name, hid_t fileType, hid_t memType, hsize_t chunk,
                           const std::vector<H5Z_filter_t>& filters) {
    const Id ds{H5Dopen2(loc, name, H5P_DEFAULT), H5Dclose};
    const Id type{H5Dget_type(ds), H5Tclose};
    EXPECT_GT(H5Tequal(type, fileType), 0) << name;
    const Id space{H5Dget_space(ds), H5Sclose};
    EXPECT_EQ(H5Sget_simple_extent_ndims(space), 1) << name;
    hsize_t n = 0;
    H5Sget_simple_extent_dims(space, &n, nullptr);
    std::vector<T> out(static_cast<std::size_t>(n));
    EXPECT_GE(H5Dread(ds, memType, H5S_ALL, H5S_ALL, H5P_DEFAULT, out.data()), 0) << name;
    const Id dcpl{H5Dget_create_plist(ds), H5Pclose};
    EXPECT_EQ(H5Pget_layout(dcpl), H5D_CHUNKED) << name;
    hsize_t chunkStored = 0;
    H5Pget_chunk(dcpl, 1, &chunkStored);
    EXPECT_EQ(chunkStored, chunk) << name;
    std::vector<H5Z_filter_t> filtersStored;
    for (int i = 0; i < H5Pget_nfilters(dcpl); ++i) {
        unsigned flags = 0, config = 0;
        std::size_t cdNelmts = 0;
        filtersStored.push_back(
            H5Pget_filter2(dcpl, static_cast<unsigned>(i), &flags, &cdNelmts, nullptr, 0, nullptr, &config));
    }
    EXPECT_EQ(filtersStored, filters) << name;
    return out;
}

// --- The record ------------------------------------------------------------------------------------

// Two chunks, the second a sample short (written through the library's conversions), and three CSV
// parts (65000 lines each).
constexpr std::int32_t kN = 140001;
const std::vector<int> kChannelsOn = {1, 4, 10};

class Hdf5Export : public ::testing::Test {
protected:
    void SetUp() override {
        m = ConditionsWith({1, 4, 10}, kN);
        m.SmpClk = 0.05f;
        m.TrgMode = 1;
        m.PreMemoryWords = 500;
        m.TriggerTime = "2026/12/06 09:00:00";
        // Installed, OnOff, InputMode, Lpf, Coeff, Point, Unit, DtgOnOff, DtgLevel, Offset.
        const ChannelCondition conditions[] = {{0, 1, 2, 0, 1.2345678f, 0, 0, 0, 1000.0f, 0.25f},
                                               {0, 1, 3, 2, 2.0e-3f, 3, 3, 1, 123.5f, -100.0f},
                                               {0, 1, -4, 4, -0.75f, 5, 13, 0, -50.0f, 1000.5f}};
        for (std::size_t k = 0; k < kChannelsOn.size(); ++k) {
            m.Ch(kChannelsOn[k]) = conditions[k];
            std::vector<std::int16_t> s(kN);
            // Every raw word from -32768 to 32767 occurs in each channel.
            for (std::int32_t i = 0; i < kN; ++i)
                s[static_cast<std::size_t>(i)] = static_cast<std::int16_t>((i * 7919 + static_cast<std::int32_t>(k) * 104729) % 65536 - 32768);
            samples.push_back(std::move(s));
        }
        ASSERT_TRUE(WriteKmr(kmr(), m, kN, samples));
        std::filesystem::create_directory(dir.File("out"));
    }

    std::string kmr() const { return dir.File("rec.kmr"); }
    std::string Out(const std::string& name) const { return dir.File("out/" + name); }

    bool Export(const std::string& name, ConversionOptions options = {}, FileWritePort* writes = nullptr,
                ProgressView* progressView = nullptr) {
        options.format = ExportFormat::Hdf5;
        Progress progress;
        status = RunStatus::Ok;
        written.clear();
        return ConvertDataFile(kmr(), dir.File("out/"), name, options, progress, progressView ? *progressView : view, ui,
                               status, nullptr, &written, writes);
    }

    // Checks the file against the record: channels `chs`, samples [first, first + count).
    void ExpectRecord(const std::string& path, const std::vector<int>& chs, std::int32_t first, std::int32_t count,
                      bool compressed) {
        const Id file{H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose};
        ASSERT_GE(static_cast<hid_t>(file), 0) << path;
        EXPECT_EQ(Names(file),
                  (std::set<std::string>{"trigger_time", "trigger_mode", "trigger_mode_name", "sampling_clock_ms",
                                         "memory_words", "pre_memory_words", "averaging", "samples", "first_sample",
                                         "source_file", "model", "program_version"}));
        // The model: channel 4 measures at 5.0 V.
        for (const auto& [name, text] : std::initializer_list<std::pair<const char*, std::string>>{
                 {"trigger_time", "2026/12/06 09:00:00"}, {"trigger_mode_name", "Data Trigger"},
                 {"source_file", "rec.kmr"}, {"model", "KMR-510C"}, {"program_version", ProgramVersion()}})
            EXPECT_EQ(TextAttribute(file, name), text) << name;
        for (const auto& [name, v] : std::initializer_list<std::pair<const char*, std::int32_t>>{
                 {"trigger_mode", 1}, {"memory_words", kN}, {"pre_memory_words", 500}, {"averaging", 0},
                 {"samples", count}, {"first_sample", first}})
            EXPECT_EQ(IntAttribute(file, name), v) << name;
        EXPECT_EQ((NumberAttribute<double>(file, "sampling_clock_ms", H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE)), 0.05);

        std::set<std::string> members{"time"};
        for (int ch : chs) members.insert(GroupName(ch));
        EXPECT_EQ(Names(file, true), members);

        const std::vector<H5Z_filter_t> filters =
            compressed ? std::vector<H5Z_filter_t>{H5Z_FILTER_SHUFFLE, H5Z_FILTER_DEFLATE} : std::vector<H5Z_filter_t>{};
        const auto chunk = static_cast<hsize_t>(Hdf5ChunkSamples(count));
        const auto time = ReadDataset<double>(file, "time", H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, chunk, filters);
        ASSERT_EQ(time.size(), static_cast<std::size_t>(count));
        for (std::int32_t i = 0; i < count; ++i)
            ASSERT_EQ(std::bit_cast<std::uint64_t>(time[static_cast<std::size_t>(i)]),
                      std::bit_cast<std::uint64_t>(SampleSeconds(first + i, 0.05f)))
                << i;
        EXPECT_EQ(time[0], (first * 0.05) / 1000.0);

        for (int ch : chs) {
            SCOPED_TRACE(GroupName(ch));
            const Id group{H5Gopen2(file, GroupName(ch).c_str(), H5P_DEFAULT), H5Gclose};
            ASSERT_GE(static_cast<hid_t>(group), 0);
            const ChannelCondition& c = m.Ch(ch);
            EXPECT_EQ(Names(group), (std::set<std::string>{"input_mode", "lpf", "coefficient", "offset", "unit",
                                                                    "point", "dtg_on", "dtg_level"}));
            EXPECT_EQ(TextAttribute(group, "input_mode"), InputModeName(c.InputMode));
            EXPECT_EQ(TextAttribute(group, "lpf"), FilterNames()[static_cast<std::size_t>(c.Lpf)]);
            EXPECT_EQ(std::bit_cast<std::uint32_t>(FloatAttribute(group, "coefficient")), std::bit_cast<std::uint32_t>(c.Coeff));
            EXPECT_EQ(std::bit_cast<std::uint32_t>(FloatAttribute(group, "offset")), std::bit_cast<std::uint32_t>(c.Offset));
            EXPECT_EQ(TextAttribute(group, "unit"), UnitNames(Language::English)[static_cast<std::size_t>(c.Unit)]);
            EXPECT_EQ(IntAttribute(group, "point"), c.Point);
            EXPECT_EQ(IntAttribute(group, "dtg_on"), c.DtgOnOff);
            EXPECT_EQ(FloatAttribute(group, "dtg_level"), c.DtgLevel);

            const auto k = static_cast<std::size_t>(std::find(kChannelsOn.begin(), kChannelsOn.end(), ch) - kChannelsOn.begin());
            const auto raw = ReadDataset<std::int16_t>(group, "raw", H5T_STD_I16LE, H5T_NATIVE_INT16, chunk, filters);
            const auto value = ReadDataset<float>(group, "value", H5T_IEEE_F32LE, H5T_NATIVE_FLOAT, chunk, filters);
            ASSERT_EQ(raw.size(), static_cast<std::size_t>(count));
            ASSERT_EQ(value.size(), static_cast<std::size_t>(count));
            for (std::int32_t i = 0; i < count; ++i) {
                const auto j = static_cast<std::size_t>(i);
                ASSERT_EQ(raw[j], samples[k][static_cast<std::size_t>(first + i)]) << i;
                ASSERT_EQ(std::bit_cast<std::uint32_t>(value[j]),
                          std::bit_cast<std::uint32_t>(CsvCellValue(raw[j], c.Coeff, c.Offset)))
                    << i;
            }
        }
    }

    TempDir dir;
    MeasConditions m;
    std::vector<std::vector<std::int16_t>> samples;
    FakeUi ui{MsgAnswer::Cancel};
    FakeProgress view;
    RunStatus status = RunStatus::Ok;
    std::vector<std::string> written;
};

TEST_F(Hdf5Export, TheWholeFileReadsBackAsTheRecordCompressedOrNot) {
    ASSERT_TRUE(Export("rec.h5")) << (ui.shown.empty() ? "" : ui.shown[0].text);
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(written, (std::vector<std::string>{Out("rec.h5")}));
    EXPECT_EQ(FolderNames(dir.File("out")), (std::set<std::string>{"rec.h5"}));
    ExpectRecord(Out("rec.h5"), kChannelsOn, 0, kN, false);
    EXPECT_EQ(view.looks, Hdf5StepCount(ResolveSubset(FileConditionsFrom(m, kN), {}, Language::English)));

    // Compressed: shuffled and deflated, the same numbers in a smaller file.
    ConversionOptions options;
    options.compress = true;
    ASSERT_TRUE(Export("small.h5", options));
    ExpectRecord(Out("small.h5"), kChannelsOn, 0, kN, true);
    EXPECT_LT(std::filesystem::file_size(Out("small.h5")), std::filesystem::file_size(Out("rec.h5")));
}

TEST_F(Hdf5Export, PartsOfTheFileKeepTheirSampleNumbersAndTimes) {
    ConversionOptions options;
    options.subset = testing::Between(SampleSeconds(1000, 0.05f), {}, {10, 4});
    ASSERT_TRUE(Export("late.h5", options));
    ExpectRecord(Out("late.h5"), {4, 10}, 1000, kN - 1000, false);
    options.subset = testing::Between(SampleSeconds(65530, 0.05f), SampleSeconds(65545, 0.05f), {1});
    ASSERT_TRUE(Export("few.h5", options));
    ExpectRecord(Out("few.h5"), {1}, 65530, 16, false);
}

TEST_F(Hdf5Export, TextsThatAreNotUtf8AreStoredAsWellFormedUtf8) {
    // A damaged trigger time (a valid µ, then a stray byte, an overlong form, a surrogate, a byte
    // that never occurs) and a file name in another encoding.
    std::string bytes = ReadAll(kmr());
    const std::string damaged = "2026/12/06\xC2\xB5\xE9\xC0\x80\xED\xA0\x80\xFF ";
    bytes.replace(28, damaged.size(), damaged);
    const std::string odd = dir.File("r\xE9.kmr");
    WriteAll(odd, bytes);
    ConversionOptions options;
    options.format = ExportFormat::Hdf5;
    options.subset = testing::Between({}, SampleSeconds(9, 0.05f), {1});
    Progress progress;
    ASSERT_TRUE(ConvertDataFile(odd, dir.File("out/"), "odd.h5", options, progress, view, ui, status));

    const Id file{H5Fopen(Out("odd.h5").c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose};
    ASSERT_GE(static_cast<hid_t>(file), 0);
    const std::string bad = "\xEF\xBF\xBD";
    EXPECT_EQ(TextAttribute(file, "trigger_time"), "2026/12/06\xC2\xB5" + bad + bad + bad + bad + bad + bad + bad);
    EXPECT_EQ(TextAttribute(file, "source_file"), "r" + bad + ".kmr");
}

// Counts the writes; fails the n-th (from 1) and every later one as a full disk does.
struct FailingDisk : FileWritePort {
    explicit FailingDisk(int failAt = 0) : failAt_(failAt) {}
    int BeforeWrite(const std::string& path) override {
        ++writes;
        paths.insert(path);
        return failAt_ > 0 && writes >= failAt_ ? ENOSPC : 0;
    }
    int writes = 0;
    std::set<std::string> paths;
    int failAt_;
};

TEST_F(Hdf5Export, AFailedWriteLeavesNothingUnderTheFinalName) {
    FailingDisk clean;
    ASSERT_TRUE(Export("clean.h5", {}, &clean));
    // Root attributes, time, per channel its attributes and two datasets, the closing metadata.
    ASSERT_EQ(clean.writes, 1 + 2 + 3 * (1 + 2 * 2) + 1);
    EXPECT_EQ(clean.paths, (std::set<std::string>{TemporaryPath(Out("clean.h5"), 0)}));
    for (int at = 1; at <= clean.writes; ++at) {
        SCOPED_TRACE("failed write " + std::to_string(at));
        ui.shown.clear();
        FailingDisk disk(at);
        EXPECT_FALSE(Export("full.h5", {}, &disk));
        EXPECT_EQ(status, RunStatus::Cancelled);
        EXPECT_EQ(ui.Texts(), std::vector<std::string>{FileErrorMessage(Language::English, ENOSPC, Out("full.h5"))});
        EXPECT_EQ(FolderNames(dir.File("out")), (std::set<std::string>{"clean.h5"}));
        EXPECT_TRUE(written.empty());
    }
}

TEST_F(Hdf5Export, ACancelOrADiskThatFillsUpUnderTheLibraryLeavesNothingEither) {
    FakeProgress cancelling(3);
    EXPECT_FALSE(Export("c.h5", {}, nullptr, &cancelling));
    EXPECT_EQ(status, RunStatus::Cancelled);
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("out")));

    // The disk full at the library's first write, while it makes the file, and later.
    for (const rlim_t room : {rlim_t{0}, rlim_t{300000}}) {
        SCOPED_TRACE(room);
        ui.shown.clear();
        const testing::FileSizeLimit limit(room);
        ASSERT_TRUE(limit.ok());
        EXPECT_FALSE(Export("big.h5"));
        EXPECT_EQ(ui.Texts(), std::vector<std::string>{FileErrorMessage(Language::English, EFBIG, Out("big.h5"))});
        EXPECT_TRUE(std::filesystem::is_empty(dir.File("out")));
    }
}

TEST_F(Hdf5Export, AnExistingFileIsNeverReplacedNorATemporaryNameTaken) {
    WriteAll(Out("rec.h5"), "mine");
    WriteAll(Out("other.h5.tmp"), "mine too");
    testing::FakeDrive drive;
    testing::FakeProgress progress;
    testing::RecordingListView list;
    ConversionPorts ports{ui, progress, list, drive};
    ConversionOptions options;
    options.format = ExportFormat::Hdf5;
    const ConversionOutcome refused = ConvertItems({{kmr(), dir.File("out/"), "rec.h5", 1.0}}, false, ports, status, options);
    EXPECT_FALSE(refused.started);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].text.find(Text(Language::English, txt::FileNameMayOverlap)), std::string::npos);
    EXPECT_EQ(ReadAll(Out("rec.h5")), "mine");

    // A temporary name that is taken: the next one is used, the file there left alone.
    const ConversionOutcome done = ConvertItems({{kmr(), dir.File("out/"), "other.h5", 1.0}}, false, ports, status, options);
    ASSERT_TRUE(done.AllConverted());
    EXPECT_EQ(done.csvFiles[0], (std::vector<std::string>{Out("other.h5")}));
    EXPECT_EQ(ReadAll(Out("other.h5.tmp")), "mine too");
    EXPECT_EQ(FolderNames(dir.File("out")), (std::set<std::string>{"rec.h5", "other.h5", "other.h5.tmp"}));
}

#endif  // KMR_HAVE_HDF5

}  // namespace
}  // namespace kmr
