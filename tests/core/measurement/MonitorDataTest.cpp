#include "core/measurement/MonitorData.h"

#include <gtest/gtest.h>

#include <string>

#include "core/datafiles/DataFilesTestSupport.h"

namespace kmr {
namespace {

// Conditions measuring channels 2, 5 and 7.
MeasConditions ThreeChannels() { return testing::ConditionsWith({2, 5, 7}, 1000); }

// A reply of three 8-character slots and the 7-character tail.
std::string Reply(const std::string& f1, const std::string& f2, const std::string& f3) {
    return f1 + "," + f2 + "," + f3 + ",+000000";
}

TEST(MonitorDataTest, ReplyLengthMustBeExact) {
    const MeasConditions m = ThreeChannels();
    MoniData d;
    d.fill(9.0f);
    const std::string ok = Reply("+000001", "+000002", "+000003");
    ASSERT_EQ(ok.size(), 31u);
    EXPECT_TRUE(ParseMonitorReply(ok, m, d));
    EXPECT_EQ(d[1], 1.0f);
    EXPECT_EQ(d[4], 2.0f);
    EXPECT_EQ(d[6], 3.0f);
    // Channels that are not measured carry the marker, as a bit pattern.
    for (int i : {0, 2, 3, 5, 7, 8, 9}) EXPECT_TRUE(IsNoValue(d[static_cast<std::size_t>(i)])) << i;

    MoniData before = d;
    EXPECT_FALSE(ParseMonitorReply(ok.substr(0, 30), m, d));
    EXPECT_FALSE(ParseMonitorReply(ok + "0", m, d));
    EXPECT_FALSE(ParseMonitorReply("", m, d));
    EXPECT_EQ(d, before);  // a refused reply changes nothing
}

TEST(MonitorDataTest, EngineeringValueIn32BitFloatAndItsLabelText) {
    MeasConditions m = ThreeChannels();
    m.Ch(5) = {.Coeff = 2.0f, .Point = 1, .Offset = 0.5f};
    MoniData d;
    ASSERT_TRUE(ParseMonitorReply(Reply("+000000", "+000123", "-000001"), m, d));
    EXPECT_EQ(d[4], 246.5f);
    EXPECT_EQ(MonitorLabelTexts(d, m)[4], "246.5");
    EXPECT_EQ(d[6], -1.0f);
    // float(raw) × Coeff, rounded to float, then + Offset, rounded to float.
    EXPECT_EQ(MonitorValue(32767, 0.1f, 0.3f), static_cast<float>(32767.0f * 0.1f) + 0.3f);
    EXPECT_EQ(MonitorValue(-32768, 1.0f, 0.0f), -32768.0f);
    // Label texts by decimals, or dashes.
    EXPECT_EQ(MonitorLabelText(kNoValue, 2), "----");
    EXPECT_EQ(MonitorLabelText(1.0f, 2), "1.00");  // the float 1.0 is a value, not the marker
    EXPECT_EQ(MonitorLabelText(-3.0f, 0), "-3");
    EXPECT_EQ(MonitorLabelText(0.5f, 5), "0.50000");
    // The balance cells: a huge value in exponent form, not 35 figures.
    EXPECT_EQ(MonitorLabelText(-1.0e30f, 2), "-1E+30");
}

// Sixteen-bit decimal fields, or invalid.
TEST(MonitorDataTest, FieldsAreSixteenBitDecimalsOrInvalid) {
    for (const char* valid : {"+000123", "-000123", "0000123", "7", "+0", "-032768", "+032767"})
        EXPECT_FALSE(IsInvalidMonitorField(valid)) << valid;
    for (const char* invalid : {"+000 23", "+0001A3", "       ", "", "+", "-", "+099999", "-040000", "+032768",
                                "-032769", "+00-123", "+0012.3", "99999999999999999999999"})
        EXPECT_TRUE(IsInvalidMonitorField(invalid)) << invalid;
    // A reply of the right length with fields that are not numbers marks those channels only.
    const MeasConditions m = ThreeChannels();
    MoniData d;
    ASSERT_TRUE(ParseMonitorReply(Reply("+000001", "+0012 4", "+0000AB"), m, d));
    EXPECT_EQ(d[1], 1.0f);
    EXPECT_TRUE(IsNoValue(d[4]));
    EXPECT_TRUE(IsNoValue(d[6]));
}

}  // namespace
}  // namespace kmr
