#include "core/conditions/MeasConditions.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/conditions/CndTestFiles.h"

namespace kmr {
namespace {

using testing::ReadAll;
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
    SetMeasDefaults(m);
    EXPECT_EQ(m.Ch(3).Installed, 1);
    EXPECT_EQ(m.Ch(3).OnOff, 1);
    EXPECT_EQ(m.MeasuredChannels.size(), 10u);
}

std::string Head(const std::string& line1, const std::string& line2, const std::string& line3,
                 const std::string& line4 = "0", const std::string& line5 = "10") {
    return line1 + "\r\n" + line2 + "\r\n" + line3 + "\r\n" + line4 + "\r\n" + line5 + "\r\n";
}

// A complete file may be written on one line, its numbers without a leading zero, its whole numbers
// with a point: it is read whole and left as it was. Otherwise each file's reading stops at one item: the record keeps the
// defaults plus the items read before (`expect`), channels after the stop keep the defaults, and
// the file is rewritten. The count and the list of the measured channels follow OnOff.
TEST(MeasConditionsFile, ReadsAnyPointFormOrStopsAtABadItemKeepingWhatWasRead) {
    std::string oneLine = "1,.05,5000,10,0,9,0,-4,3,0.25,2,7,1,-12.5,.5";
    for (int ch = 2; ch <= 10; ++ch) oneLine += ",1,2,0,1,0,0,0,1000,0";
    const struct {
        const char* name;
        std::string text;
        std::function<void(MeasConditions&)> expect;
        bool complete = false;
    } cases[] = {
        {"OneLineWithoutLeadingZeros", oneLine + "\r\n",
         [](MeasConditions& m) {
             m.TrgMode = 1;
             m.SmpClk = 0.05f;
             m.MemoryWords = 5000;
             m.PreMemoryWords = 10;
             m.Ch(1) = {0, 0, -4, 3, 0.25f, 2, 7, 1, -12.5f, 0.5f};
         },
         true},
        // Whole values written with a point or an exponent, as another program may save them.
        {"WholeNumbersWithAPoint",
         Head("1.0", "1000.0", "2000.0,1E2", "0.0", "10.0") + "0,-4.0,3.0,0.25,2,7,1,-12.5,.5\r\n" +
             testing::Repeat("1,2,0,1,0,0,0,1000,0\r\n", 9),
         [](MeasConditions& m) {
             m.TrgMode = 1;
             m.SmpClk = 1000;
             m.MemoryWords = 2000;
             m.PreMemoryWords = 100;
             m.Ch(1) = {0, 0, -4, 3, 0.25f, 2, 7, 1, -12.5f, 0.5f};
         },
         true},
        {"FractionForMemoryWords", Head("1", "3", "1000.5,0"), [](MeasConditions& m) { m.TrgMode = 1; m.SmpClk = 3; }},
        {"MemoryWordsOutside32Bits", Head("1", "3", "3000000000,0"),
         [](MeasConditions& m) { m.TrgMode = 1; m.SmpClk = 3; }},
        {"TextForCoefficient", Head("0", "1", "1000,0") + "1,2,0,abc,0,0,0,1000,0\r\n", [](MeasConditions&) {}},
        {"CoefficientBeyondFloat", Head("0", "1", "1000,0") + "1,2,0,1E+39,0,0,0,1000,0\r\n", [](MeasConditions&) {}},
        // Added to a raw count times the coefficient, it would leave the float range.
        {"OffsetBeyondTheValues", Head("0", "1", "1000,0") + "1,2,0,1,0,0,0,1000,-3.4028234E+38\r\n",
         [](MeasConditions&) {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto path = dir.File("Meas.cnd");
        WriteAll(path, c.text);
        MeasConditions m = Defaults();
        const LoadResult r = LoadMeasConditions(path, m, nullptr);
        EXPECT_EQ(r.complete, c.complete);
        EXPECT_EQ(r.rewritten, !c.complete);
        MeasConditions expected = Defaults();
        c.expect(expected);
        RebuildMeasuredChannels(expected);
        EXPECT_EQ(m, expected);
        EXPECT_EQ(ReadAll(path), c.complete ? c.text : MeasConditionsText(expected));
    }
}

// --- Trigger level snapping -------------------------------------------------------------------

TEST(SnapTriggerLevel, SnapsToWholeCountsOfTheChannelAskedForOnly) {
    const struct {
        float level;
        float coeff;
        float expected;
    } cases[] = {
        // 1000 / 0.3f = 3333.33 counts -> 3333; 3333 x 0.3f in double, stored as float.
        {1000.0f, 0.3f, 999.9000244f},
        {50000.0f, 1.0f, 32767.0f},
        {-50000.0f, 1.0f, -32767.0f},
        {32767.4f, 1.0f, 32767.0f},
        {2.5f, 1.0f, 2.0f},
        {3.5f, 1.0f, 4.0f},
        {7.5f, 5.0f, 10.0f},   // 1.5 counts -> 2
        // A negative coefficient keeps the level on its side of zero when it is limited.
        {50000.0f, -1.0f, 32767.0f},
        {-100000.0f, -2.0f, -65534.0f},
        // A level below half a count is one count on its side (TGL0 would take the channel out
        // of the data trigger); a level of 0 stays 0.
        {0.4f, 1.0f, 1.0f},
        {-0.4f, 1.0f, -1.0f},
        {0.4f, -1.0f, 1.0f},
        {1000.0f, 1.0e6f, 1.0e6f},
        {0.0f, 1.0f, 0.0f},
        // Coefficient 0: nothing can be computed; the level stays.
        {1234.5f, 0.0f, 1234.5f},
        // 1.5 counts would round up beyond the float range: the level stays.
        {3.3e38f, 2.2e38f, 3.3e38f},
    };
    for (const auto& c : cases) {
        MeasConditions m = Defaults();
        m.Ch(4).DtgLevel = c.level;
        m.Ch(4).Coeff = c.coeff;
        SnapTriggerLevel(m, 4);
        EXPECT_EQ(m.Ch(4).DtgLevel, c.expected) << c.level << " / " << c.coeff;
        EXPECT_EQ(m.Ch(3).DtgLevel, 1000.0f);  // other channels untouched
    }
    // Channels outside 1 to 10 are ignored.
    MeasConditions m = Defaults();
    m.Ch(1).DtgLevel = 2.5f;
    SnapTriggerLevel(m, 0);
    SnapTriggerLevel(m, 11);
    EXPECT_EQ(m, [] { MeasConditions d = Defaults(); d.Ch(1).DtgLevel = 2.5f; return d; }());
}

// --- The change mask ---------------------------------------------------------------------------

TEST(ChangeMask, MarksTheGroupsToSend) {
    const struct {
        const char* name;
        std::function<void(MeasConditions&)> edit;
        std::string mask;
    } cases[] = {
        {"Nothing", [](MeasConditions&) {}, kEmptyChangeMask},
        {"CoeffOfChannel3", [](MeasConditions& m) { m.Ch(3).Coeff = 2; }, "0010000000000000"},
        {"InputModeOfChannel1", [](MeasConditions& m) { m.Ch(1).InputMode = -5; }, "1000000000000000"},
        {"FilterOfChannel10", [](MeasConditions& m) { m.Ch(10).Lpf = 4; }, "0000000001000000"},
        {"TriggerOfChannel5", [](MeasConditions& m) { m.Ch(5).DtgOnOff = 1; }, "0000100000000000"},
        {"LevelOfChannel6", [](MeasConditions& m) { m.Ch(6).DtgLevel = 12; }, "0000010000000000"},
        {"OnOffOfChannel7", [](MeasConditions& m) { m.Ch(7).OnOff = 0; }, "0000001000111110"},
        {"Clock", [](MeasConditions& m) { m.SmpClk = 0.5f; }, "0000000000010000"},
        {"MemoryWords", [](MeasConditions& m) { m.MemoryWords = 2000; }, "0000000000001000"},
        {"PreMemoryWords", [](MeasConditions& m) { m.PreMemoryWords = 1; }, "0000000000000100"},
        {"Averaging", [](MeasConditions& m) { m.Averaging = 1; }, "0000000000000010"},
        {"Point", [](MeasConditions& m) { m.Ch(2).Point = 3; }, "0000000000000001"},
        {"Unit", [](MeasConditions& m) { m.Ch(9).Unit = 29; }, "0000000000000001"},
        {"Offset", [](MeasConditions& m) { m.Ch(4).Offset = -1; }, "0000000000000001"},
        {"TriggerMode", [](MeasConditions& m) { m.TrgMode = 2; }, "0000000000000001"},
        {"InstalledIsNotACondition", [](MeasConditions& m) { m.Ch(1).Installed = 1; }, kEmptyChangeMask},
        {"Several", [](MeasConditions& m) { m.Ch(1).OnOff = 0; m.Ch(2).Coeff = 5; m.Ch(3).Unit = 1; },
         "1100000000111111"},
    };
    const MeasConditions live = Defaults();
    for (const auto& c : cases) {
        MeasConditions edited = live;
        c.edit(edited);
        EXPECT_EQ(BuildChangeMask(edited, live), c.mask) << c.name;
    }
}

}  // namespace
}  // namespace kmr
