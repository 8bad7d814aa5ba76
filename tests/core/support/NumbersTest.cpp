#include "core/support/Numbers.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace kmr {
namespace {

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(2.5), 2.0);
    EXPECT_EQ(RoundHalfEven(3.5), 4.0);
    EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
    EXPECT_EQ(RoundHalfEven(0.5), 0.0);
    EXPECT_EQ(RoundHalfEven(1.5), 2.0);
    EXPECT_EQ(RoundHalfEven(2.5000001), 3.0);
    EXPECT_EQ(RoundHalfEven(-3333.3333), -3333.0);
}

struct FloatCase {
    float value;
    const char* text;
};
void PrintTo(const FloatCase& c, std::ostream* os) { *os << c.text; }

class FormatFloatTable : public ::testing::TestWithParam<FloatCase> {};

TEST_P(FormatFloatTable, GeneralFormWithSevenDigits) {
    const auto& c = GetParam();
    EXPECT_EQ(FormatFloat(c.value), c.text);
    std::string appended = "x";
    EXPECT_EQ(AppendFloat(appended, c.value), std::strlen(c.text));
    EXPECT_EQ(appended, std::string("x") + c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Thresholds, FormatFloatTable,
    ::testing::Values(FloatCase{0.0f, "0"}, FloatCase{-0.0f, "0"}, FloatCase{1.0f, "1"},
                      FloatCase{1000.0f, "1000"}, FloatCase{-3.0f, "-3"}, FloatCase{12.5f, "12.5"},
                      FloatCase{0.05f, "0.05"}, FloatCase{9999999.0f, "9999999"},
                      FloatCase{10000000.0f, "1E+07"}, FloatCase{12345678.0f, "1.234568E+07"},
                      FloatCase{123456789.0f, "1.234568E+08"}, FloatCase{0.0001f, "0.0001"},
                      FloatCase{0.00001f, "1E-05"}, FloatCase{0.00012345f, "0.00012345"},
                      FloatCase{1.0f / 3.0f, "0.3333333"}, FloatCase{2.0f / 3.0f, "0.6666667"},
                      FloatCase{999.9000244f, "999.9"}, FloatCase{999.9f, "999.9"},
                      FloatCase{-999.9f, "-999.9"}, FloatCase{1.402E-40f, "1.401999E-40"},
                      FloatCase{3.4E+38f, "3.4E+38"}, FloatCase{3.403E+30f, "3.403E+30"},
                      FloatCase{0.3f, "0.3"}, FloatCase{99999995.0f, "9.999999E+07"},
                      FloatCase{9999999.5f, "1E+07"}, FloatCase{1.5E-45f, "1.401298E-45"},
                      FloatCase{-1.234567E-10f, "-1.234567E-10"},
                      FloatCase{std::numeric_limits<float>::max(), "3.402823E+38"}));

TEST(FormatFloat, NotFiniteValuesHaveTheirNames) {
    EXPECT_EQ(FormatFloat(std::numeric_limits<float>::infinity()), "INF");
    EXPECT_EQ(FormatFloat(-std::numeric_limits<float>::infinity()), "-INF");
    EXPECT_EQ(FormatFloat(std::numeric_limits<float>::quiet_NaN()), "NAN");
}

TEST(FormatDouble, FifteenDigitsWithoutTrailingZerosAndNoSignedZero) {
    for (const auto& [v, text] : {std::pair{0.5, "0.5"}, {-250.5, "-250.5"}, {10.0, "10"}, {-0.0, "0"},
                                  {0.1 + 0.2, "0.3"}, {1e-5, "1E-05"}, {0.0001, "0.0001"}, {1e20, "1E+20"},
                                  {123456789012345.0, "123456789012345"}, {1234567890123456.0, "1.23456789012346E+15"}})
        EXPECT_EQ(FormatDouble(v), text) << v;
    EXPECT_EQ(FormatDouble(std::numeric_limits<double>::infinity()), "INF");
}

// Every printed float reads back within the 7 significant digits it was printed with.
TEST(FormatFloat, SweepReadsBackWithinSevenDigits) {
    std::uint32_t bits = 1;
    int checked = 0;
    for (int i = 0; i < 200000; ++i) {
        bits = bits * 1664525u + 1013904223u;  // spreads over all exponents and signs
        float f;
        std::memcpy(&f, &bits, sizeof f);
        if (!std::isfinite(f)) continue;
        const std::string text = FormatFloat(f);
        const auto back = ParseNumber(text);
        ASSERT_TRUE(back.has_value()) << text;
        const double v = f;
        if (v == 0) {
            EXPECT_EQ(*back, 0.0);
            continue;
        }
        // Half a unit in the 7th significant digit.
        const double unit = std::pow(10.0, std::floor(std::log10(std::fabs(v))) - 6);
        ASSERT_LE(std::fabs(*back - v), unit * 0.5000001 + 1e-300) << text << " for " << v;
        ASSERT_EQ(text.find('e'), std::string::npos);
        ++checked;
    }
    EXPECT_GT(checked, 100000);
}

struct DisplayCase {
    double value;
    int decimals;
    const char* zeros;
    const char* blanks;
};
void PrintTo(const DisplayCase& c, std::ostream* os) { *os << c.value << " d=" << c.decimals; }

class DisplayFormats : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayFormats, ZerosAndBlanks) {
    const auto& c = GetParam();
    EXPECT_EQ(FormatWithZeros(c.value, c.decimals), c.zeros);
    EXPECT_EQ(FormatFixed(c.value, c.decimals), c.zeros);
    EXPECT_EQ(FormatWithBlanks(c.value, c.decimals), c.blanks);
}

// Exact halves of the binary value go to the even neighbour (0.125 is exact, 0.15 is not).
INSTANTIATE_TEST_SUITE_P(
    Table, DisplayFormats,
    ::testing::Values(DisplayCase{0.5, 1, "0.5", ".5"}, DisplayCase{0.0, 0, "0", ""},
                      DisplayCase{0.0, 1, "0.0", "."}, DisplayCase{0.0, 5, "0.00000", "."},
                      DisplayCase{1234.5678, 2, "1234.57", "1234.57"},
                      DisplayCase{1.5, 2, "1.50", "1.5"}, DisplayCase{2.0, 1, "2.0", "2."},
                      DisplayCase{-0.5, 1, "-0.5", "-.5"}, DisplayCase{-0.04, 1, "0.0", "."},
                      DisplayCase{-0.4, 0, "0", ""}, DisplayCase{2.5, 0, "2", "2"},
                      DisplayCase{3.5, 0, "4", "4"}, DisplayCase{-2.5, 0, "-2", "-2"},
                      DisplayCase{0.125, 2, "0.12", ".12"}, DisplayCase{0.375, 2, "0.38", ".38"},
                      DisplayCase{0.15, 1, "0.1", ".1"}, DisplayCase{999.9000244, 0, "1000", "1000"},
                      DisplayCase{-12345.678, 5, "-12345.67800", "-12345.678"},
                      DisplayCase{1e20, 0, "100000000000000000000", "100000000000000000000"}));

TEST(FormatCoefficient, SignOneDigitSixDecimalsTwoDigitExponent) {
    EXPECT_EQ(FormatCoefficient(1.0), "+1.000000E+00");
    EXPECT_EQ(FormatCoefficient(-0.0012345678), "-1.234568E-03");
    EXPECT_EQ(FormatCoefficient(0.0), "+0.000000E+00");
    EXPECT_EQ(FormatCoefficient(-0.0), "+0.000000E+00");
    EXPECT_EQ(FormatCoefficient(3.403e30), "+3.403000E+30");
    EXPECT_EQ(FormatCoefficient(1e100), "+1.000000E+100");
}

struct ParseCase {
    const char* text;
    bool ok;
    double value;
};
void PrintTo(const ParseCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ParseNumberTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseNumberTable, AcceptsDecimalFormsOnly) {
    const auto& c = GetParam();
    const auto v = ParseNumber(c.text);
    EXPECT_EQ(v.has_value(), c.ok) << c.text;
    if (v && c.ok) {
        EXPECT_DOUBLE_EQ(*v, c.value) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseNumberTable,
    ::testing::Values(ParseCase{".05", true, 0.05}, ParseCase{"0.05", true, 0.05},
                      ParseCase{"5.", true, 5}, ParseCase{"+3", true, 3},
                      ParseCase{"-1.5E-3", true, -0.0015}, ParseCase{"1e5", true, 1e5},
                      ParseCase{"  42\t", true, 42}, ParseCase{"-0", true, 0},
                      ParseCase{"1E-400", true, 0}, ParseCase{"0e999999999999", true, 0},
                      ParseCase{"", false, 0}, ParseCase{"+", false, 0}, ParseCase{".", false, 0},
                      ParseCase{"-.", false, 0}, ParseCase{"1.2.3", false, 0},
                      ParseCase{"1,5", false, 0}, ParseCase{"0x10", false, 0},
                      ParseCase{"inf", false, 0}, ParseCase{"nan", false, 0},
                      ParseCase{"1e", false, 0}, ParseCase{"1e+", false, 0},
                      ParseCase{"1E400", false, 0}, ParseCase{"1 2", false, 0},
                      ParseCase{"--1", false, 0}, ParseCase{"e5", false, 0},
                      ParseCase{"１２", false, 0}));

TEST(NumberTexts, StrictWholeAndRealForms) {
    for (const char* t : {"0", "-1", "+12", "007"}) EXPECT_TRUE(IsWholeNumberText(t)) << t;
    for (const char* t : {"", "-", "1.0", " 1", "1 ", "1e3", "１"})
        EXPECT_FALSE(IsWholeNumberText(t)) << t;
    for (const char* t : {"1", "-1.5", ".5", "5.", "+0.25"}) EXPECT_TRUE(IsRealNumberText(t)) << t;
    for (const char* t : {"", ".", "-.", "1e3", "1.2.3", " 1", "1,5"})
        EXPECT_FALSE(IsRealNumberText(t)) << t;
}

TEST(NumberTexts, IntegerRanges) {
    EXPECT_EQ(ParseInt16("32767"), std::int16_t{32767});
    EXPECT_EQ(ParseInt16("-32768"), std::int16_t{-32768});
    EXPECT_EQ(ParseInt16("+5"), std::int16_t{5});
    EXPECT_FALSE(ParseInt16("32768"));
    EXPECT_FALSE(ParseInt16("-32769"));
    EXPECT_FALSE(ParseInt16("3.0"));
    EXPECT_FALSE(ParseInt16("1e2"));
    EXPECT_FALSE(ParseInt16("abc"));
    EXPECT_EQ(ParseInt32("2147483647"), std::int32_t{2147483647});
    EXPECT_EQ(ParseInt32("-2147483648"), std::int32_t{-2147483647 - 1});
    EXPECT_FALSE(ParseInt32("2147483648"));
    EXPECT_FALSE(ParseInt32("99999999999999999999999"));
    EXPECT_FALSE(ParseInt32(""));
}

TEST(NumberTexts, Float32Range) {
    EXPECT_EQ(ParseFloat32("3.4E+38"), 3.4E+38f);
    EXPECT_EQ(ParseFloat32("-3.4028234E38"), -std::numeric_limits<float>::max());
    EXPECT_EQ(ParseFloat32("1.402E-40"), 1.402E-40f);
    EXPECT_FALSE(ParseFloat32("3.5E+38"));
    EXPECT_FALSE(ParseFloat32("-1E39"));
    EXPECT_FALSE(ParseFloat32("1E300"));
    EXPECT_EQ(ParseFloat32("999.9000244"), 999.9000244f);
}

TEST(Texts, TrimAndCase) {
    EXPECT_EQ(Trim(" \t a b \t"), "a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(TrimCopy("x "), "x");
    EXPECT_EQ(ToUpperAscii("abc_Zé"), "ABC_Zé");
    EXPECT_EQ(ToLowerAscii("T_3.KMR"), "t_3.kmr");
}

TEST(Texts, FullWidthToNarrow) {
    EXPECT_EQ(ToHalfWidth("１２３．５"), "123.5");
    EXPECT_EQ(ToHalfWidth("ａｂｃ"), "abc");
    EXPECT_EQ(ToHalfWidth("ＡＢ＿ｈ"), "AB_h");
    EXPECT_EQ(ToHalfWidth("！～"), "!~");
    EXPECT_EQ(ToHalfWidth("a　b"), "a b");   // ideographic space
    EXPECT_EQ(ToHalfWidth("με℃日本"), "με℃日本");  // other characters stay
    // Invalid and cut-off sequences are copied unchanged.
    const std::string bad = std::string("\xEF\xBC") + "\xFF" + "x" + "\xEF";
    EXPECT_EQ(ToHalfWidth(bad), bad);
    EXPECT_EQ(ToHalfWidth(std::string("\xE0\xEF\xBC\x91")), std::string("\xE0") + "1");
}

}  // namespace
}  // namespace kmr
