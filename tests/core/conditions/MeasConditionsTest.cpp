#include "core/conditions/MeasConditions.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/conditions/CndTestFiles.h"

namespace kmr {
namespace {

using testing::ReadAll;
using testing::Repeat;
using testing::TempDir;
using testing::WriteAll;


MeasConditions Defaults() {
    MeasConditions m;
    SetMeasDefaults(m);
    return m;
}

TEST(MeasConditionsFile, SetDefaultsKeepsInstalled) {
    MeasConditions m;
    m.Ch(3).Installed = 1;
    m.Ch(3).OnOff = 0;
    m.SmpClk = 0.5f;
    SetMeasDefaults(m);
    EXPECT_EQ(m.Ch(3).Installed, 1);
    EXPECT_EQ(m.Ch(3).OnOff, 1);
    EXPECT_EQ(m.SmpClk, 1.0f);
    EXPECT_EQ(m.MeasuredChannels.size(), 10u);
}

TEST(MeasConditionsFile, ReadsAnyPointFormAndCommasOrLineBreaksAsSeparators) {
    TempDir dir;
    const auto path = dir.File("Meas.cnd");
    // Everything on one line, the clock without its leading zero.
    std::string text = "1,.05,5000,10,0,9";
    text += ",0,-4,3,0.25,2,7,1,-12.5,.5";
    for (int ch = 2; ch <= 10; ++ch) text += ",1,2,0,1,0,0,0,1000,0";
    WriteAll(path, text + "\r\n");
    MeasConditions m = Defaults();
    const LoadResult r = LoadMeasConditions(path, m, nullptr);
    EXPECT_TRUE(r.complete);
    EXPECT_FALSE(r.rewritten);
    EXPECT_EQ(m.TrgMode, 1);
    EXPECT_EQ(m.SmpClk, 0.05f);
    EXPECT_EQ(m.MemoryWords, 5000);
    EXPECT_EQ(m.PreMemoryWords, 10);
    const ChannelCondition& c = m.Ch(1);
    EXPECT_EQ(c.OnOff, 0);
    EXPECT_EQ(c.InputMode, -4);
    EXPECT_EQ(c.Lpf, 3);
    EXPECT_EQ(c.Coeff, 0.25f);
    EXPECT_EQ(c.Point, 2);
    EXPECT_EQ(c.Unit, 7);
    EXPECT_EQ(c.DtgOnOff, 1);
    EXPECT_EQ(c.DtgLevel, -12.5f);
    EXPECT_EQ(c.Offset, 0.5f);
    // The count follows OnOff, and the list holds the measured channels in order.
    EXPECT_EQ(m.ChannelCount, 9);
    EXPECT_EQ(m.MeasuredChannels, (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9, 10}));
    // The file was complete and is left as it was.
    EXPECT_EQ(ReadAll(path), text + "\r\n");
}

// Each case is a file whose reading stops at one item; `expect` states the record afterwards
// (defaults plus the items read before the failure).
struct StopCase {
    const char* name;
    std::string text;
    std::function<void(MeasConditions&)> expect;
};

std::string Head(const std::string& line1, const std::string& line2, const std::string& line3,
                 const std::string& line4 = "0", const std::string& line5 = "10") {
    return line1 + "\r\n" + line2 + "\r\n" + line3 + "\r\n" + line4 + "\r\n" + line5 + "\r\n";
}

class MeasStopsAtBadItem : public ::testing::TestWithParam<StopCase> {};

TEST_P(MeasStopsAtBadItem, KeepsWhatWasReadAndRewritesTheFile) {
    const StopCase& c = GetParam();
    TempDir dir;
    const auto path = dir.File("Meas.cnd");
    WriteAll(path, c.text);
    MeasConditions m = Defaults();
    const LoadResult r = LoadMeasConditions(path, m, nullptr);
    EXPECT_FALSE(r.complete);
    EXPECT_TRUE(r.rewritten);
    MeasConditions expected = Defaults();
    c.expect(expected);
    RebuildMeasuredChannels(expected);
    EXPECT_EQ(m, expected);
    EXPECT_EQ(ReadAll(path), MeasConditionsText(expected));
}

// Channels after the stop are not read: they keep the defaults.
const std::string kRest = Repeat("0,1,1,2,0,0,0,5,0\r\n", 9);

INSTANTIATE_TEST_SUITE_P(
    Meas, MeasStopsAtBadItem,
    ::testing::Values(
        StopCase{"InputModeOutside16Bits", Head("1", "2", "3000,5") + "0,40000,1,2,0,0,0,5,0\r\n" + kRest,
                 [](MeasConditions& m) {
                     m.TrgMode = 1; m.SmpClk = 2; m.MemoryWords = 3000; m.PreMemoryWords = 5;
                     m.Ch(1).OnOff = 0;
                 }},
        StopCase{"MemoryWordsOutside32Bits", Head("1", "3", "3000000000,0"),
                 [](MeasConditions& m) { m.TrgMode = 1; m.SmpClk = 3; }},
        StopCase{"TextForCoefficient", Head("0", "1", "1000,0") + "1,2,0,abc,0,0,0,1000,0\r\n",
                 [](MeasConditions&) {}},
        StopCase{"CoefficientBeyondFloat", Head("0", "1", "1000,0") + "1,2,0,1E+39,0,0,0,1000,0\r\n",
                 [](MeasConditions&) {}}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

// --- Trigger level snapping -------------------------------------------------------------------

struct SnapCase {
    float level;
    float coeff;
    float expected;
};

class SnapTriggerLevelTest : public ::testing::TestWithParam<SnapCase> {};

TEST_P(SnapTriggerLevelTest, SnapsToWholeCounts) {
    const SnapCase& c = GetParam();
    MeasConditions m = Defaults();
    m.Ch(4).DtgLevel = c.level;
    m.Ch(4).Coeff = c.coeff;
    SnapTriggerLevel(m, 4);
    EXPECT_EQ(m.Ch(4).DtgLevel, c.expected) << c.level << " / " << c.coeff;
    EXPECT_EQ(m.Ch(3).DtgLevel, 1000.0f);  // other channels untouched
}

INSTANTIATE_TEST_SUITE_P(
    Levels, SnapTriggerLevelTest,
    ::testing::Values(
        // 1000 / 0.3f = 3333.33 counts -> 3333; 3333 x 0.3f in double, stored as float.
        SnapCase{1000.0f, 0.3f, 999.9000244f},
        SnapCase{1000.0f, 0.3f, static_cast<float>(3333.0 * static_cast<double>(0.3f))},
        SnapCase{50000.0f, 1.0f, 32767.0f},
        SnapCase{-50000.0f, 1.0f, -32767.0f},
        SnapCase{32767.4f, 1.0f, 32767.0f},
        SnapCase{2.5f, 1.0f, 2.0f},
        SnapCase{3.5f, 1.0f, 4.0f},
        SnapCase{-2.5f, 1.0f, -2.0f},
        SnapCase{7.5f, 5.0f, 10.0f},   // 1.5 counts -> 2
        SnapCase{12.5f, 5.0f, 10.0f},  // 2.5 counts -> 2
        // A negative coefficient keeps the level on its side of zero when it is limited.
        SnapCase{50000.0f, -1.0f, 32767.0f},
        SnapCase{-100000.0f, -2.0f, -65534.0f},
        // Coefficient 0: nothing can be computed; the level stays.
        SnapCase{1234.5f, 0.0f, 1234.5f},
        // 1.5 counts would round up beyond the float range: the level stays.
        SnapCase{3.3e38f, 2.2e38f, 3.3e38f}));

TEST(SnapTriggerLevel, IgnoresChannelsOutsideOneToTen) {
    MeasConditions m = Defaults();
    m.Ch(1).DtgLevel = 2.5f;
    SnapTriggerLevel(m, 0);
    SnapTriggerLevel(m, 11);
    EXPECT_EQ(m, [] { MeasConditions d = Defaults(); d.Ch(1).DtgLevel = 2.5f; return d; }());
}

// --- The change mask ---------------------------------------------------------------------------

struct MaskCase {
    const char* name;
    std::function<void(MeasConditions&)> edit;
    std::string mask;
};

class ChangeMaskTest : public ::testing::TestWithParam<MaskCase> {};

TEST_P(ChangeMaskTest, MarksTheGroupsToSend) {
    const MeasConditions live = Defaults();
    MeasConditions edited = live;
    GetParam().edit(edited);
    EXPECT_EQ(BuildChangeMask(edited, live), GetParam().mask);
}

INSTANTIATE_TEST_SUITE_P(
    Mask, ChangeMaskTest,
    ::testing::Values(
        MaskCase{"Nothing", [](MeasConditions&) {}, kEmptyChangeMask},
        MaskCase{"CoeffOfChannel3", [](MeasConditions& m) { m.Ch(3).Coeff = 2; }, "0010000000000000"},
        MaskCase{"InputModeOfChannel1", [](MeasConditions& m) { m.Ch(1).InputMode = -5; }, "1000000000000000"},
        MaskCase{"FilterOfChannel10", [](MeasConditions& m) { m.Ch(10).Lpf = 4; }, "0000000001000000"},
        MaskCase{"TriggerOfChannel5", [](MeasConditions& m) { m.Ch(5).DtgOnOff = 1; }, "0000100000000000"},
        MaskCase{"LevelOfChannel6", [](MeasConditions& m) { m.Ch(6).DtgLevel = 12; }, "0000010000000000"},
        MaskCase{"OnOffOfChannel7", [](MeasConditions& m) { m.Ch(7).OnOff = 0; }, "0000001000111110"},
        MaskCase{"Clock", [](MeasConditions& m) { m.SmpClk = 0.5f; }, "0000000000010000"},
        MaskCase{"MemoryWords", [](MeasConditions& m) { m.MemoryWords = 2000; }, "0000000000001000"},
        MaskCase{"PreMemoryWords", [](MeasConditions& m) { m.PreMemoryWords = 1; }, "0000000000000100"},
        MaskCase{"Averaging", [](MeasConditions& m) { m.Averaging = 1; }, "0000000000000010"},
        MaskCase{"Point", [](MeasConditions& m) { m.Ch(2).Point = 3; }, "0000000000000001"},
        MaskCase{"Unit", [](MeasConditions& m) { m.Ch(9).Unit = 29; }, "0000000000000001"},
        MaskCase{"Offset", [](MeasConditions& m) { m.Ch(4).Offset = -1; }, "0000000000000001"},
        MaskCase{"TriggerMode", [](MeasConditions& m) { m.TrgMode = 2; }, "0000000000000001"},
        MaskCase{"InstalledIsNotACondition", [](MeasConditions& m) { m.Ch(1).Installed = 1; }, kEmptyChangeMask},
        MaskCase{"Several",
                 [](MeasConditions& m) { m.Ch(1).OnOff = 0; m.Ch(2).Coeff = 5; m.Ch(3).Unit = 1; },
                 "1100000000111111"}),
    [](const ::testing::TestParamInfo<MaskCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kmr
