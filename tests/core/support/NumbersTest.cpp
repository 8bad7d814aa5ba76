#include "core/support/Numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>

namespace kmr {
namespace {

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    for (const auto& [v, rounded] : {std::pair{2.5, 2.0}, {3.5, 4.0}, {-2.5, -2.0}, {0.5, 0.0}, {1.5, 2.0},
                                     {2.5000001, 3.0}, {-3333.3333, -3333.0}})
        EXPECT_EQ(RoundHalfEven(v), rounded) << v;
}

TEST(FormatFloat, GeneralFormWithSevenDigits) {
    const std::pair<float, const char*> cases[] = {
        {0.0f, "0"}, {-0.0f, "0"}, {1000.0f, "1000"}, {12.5f, "12.5"}, {0.05f, "0.05"}, {9999999.0f, "9999999"},
        {10000000.0f, "1E+07"}, {12345678.0f, "1.234568E+07"}, {0.0001f, "0.0001"}, {0.00001f, "1E-05"},
        {0.00012345f, "0.00012345"}, {1.0f / 3.0f, "0.3333333"}, {2.0f / 3.0f, "0.6666667"}, {999.9f, "999.9"},
        {-999.9f, "-999.9"}, {1.402E-40f, "1.401999E-40"}, {3.4E+38f, "3.4E+38"}, {3.403E+30f, "3.403E+30"},
        {0.3f, "0.3"}, {99999995.0f, "9.999999E+07"}, {9999999.5f, "1E+07"}, {1.5E-45f, "1.401298E-45"},
        {-1.234567E-10f, "-1.234567E-10"}, {std::numeric_limits<float>::max(), "3.402823E+38"},
        {std::numeric_limits<float>::infinity(), "INF"}, {-std::numeric_limits<float>::infinity(), "-INF"},
        {std::numeric_limits<float>::quiet_NaN(), "NAN"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(FormatFloat(value), text);
        std::string appended = "x";
        EXPECT_EQ(AppendFloat(appended, value), std::strlen(text)) << text;
        EXPECT_EQ(appended, std::string("x") + text);
    }
}

TEST(FormatDouble, FifteenDigitsWithoutTrailingZerosAndNoSignedZero) {
    for (const auto& [v, text] : {std::pair{0.5, "0.5"}, {-250.5, "-250.5"}, {10.0, "10"}, {-0.0, "0"},
                                  {0.1 + 0.2, "0.3"}, {1e-5, "1E-05"}, {0.0001, "0.0001"}, {1e20, "1E+20"},
                                  {123456789012345.0, "123456789012345"}, {1234567890123456.0, "1.23456789012346E+15"}})
        EXPECT_EQ(FormatDouble(v), text) << v;
    EXPECT_EQ(FormatDouble(std::numeric_limits<double>::infinity()), "INF");
    // Graph.cnd's plain form: the same digits, the point moved.
    for (const auto& [v, text] : {std::pair{-1e-6, "-0.000001"}, {1.5e-7, "0.00000015"}, {0.25, "0.25"},
                                  {1e20, "100000000000000000000"}, {1234567890123456.0, "1234567890123460"}})
        EXPECT_EQ(FormatDoublePlain(v), text) << v;
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

// Exact halves of the binary value go to the even neighbour (0.125 is exact, 0.15 is not).
TEST(DisplayFormats, WithZeros) {
    const std::tuple<double, int, const char*> cases[] = {  // value, decimals, text
        {0.5, 1, "0.5"}, {0.0, 0, "0"}, {0.0, 1, "0.0"}, {0.0, 5, "0.00000"},
        {1234.5678, 2, "1234.57"}, {1.5, 2, "1.50"}, {2.0, 1, "2.0"},
        {-0.5, 1, "-0.5"}, {-0.04, 1, "0.0"}, {-0.4, 0, "0"}, {2.5, 0, "2"},
        {3.5, 0, "4"}, {-2.5, 0, "-2"}, {0.125, 2, "0.12"}, {0.375, 2, "0.38"},
        {0.15, 1, "0.1"}, {999.9000244, 0, "1000"}, {-12345.678, 5, "-12345.67800"},
        {1e20, 0, "100000000000000000000"},
    };
    for (const auto& [value, decimals, text] : cases) {
        SCOPED_TRACE(::testing::Message() << value << " d=" << decimals);
        EXPECT_EQ(FormatWithZeros(value, decimals), text);
        EXPECT_EQ(FormatFixed(value, decimals), text);
    }
}

TEST(FormatCoefficient, SignOneDigitSixDecimalsTwoDigitExponent) {
    for (const auto& [v, text] : {std::pair{1.0, "+1.000000E+00"}, {-0.0012345678, "-1.234568E-03"},
                                  {0.0, "+0.000000E+00"}, {-0.0, "+0.000000E+00"}, {3.403e30, "+3.403000E+30"},
                                  {1e100, "+1.000000E+100"}})
        EXPECT_EQ(FormatCoefficient(v), text) << v;
}

TEST(ParseNumber, AcceptsDecimalFormsOnly) {
    for (const auto& [text, value] : {std::pair{".05", 0.05}, {"0.05", 0.05}, {"5.", 5.0}, {"+3", 3.0},
                                      {"-1.5E-3", -0.0015}, {"1e5", 1e5}, {"  42\t", 42.0}, {"-0", 0.0},
                                      {"1E-400", 0.0}, {"0e999999999999", 0.0}}) {
        const auto v = ParseNumber(text);
        ASSERT_TRUE(v.has_value()) << text;
        EXPECT_DOUBLE_EQ(*v, value) << text;
    }
    for (const char* text : {"", "+", ".", "-.", "1.2.3", "1,5", "0x10", "inf", "nan", "1e", "1e+", "1E400",
                             "1 2", "--1", "e5", "１２"})
        EXPECT_FALSE(ParseNumber(text).has_value()) << '"' << text << '"';
}

TEST(NumberTexts, StrictWholeAndRealForms) {
    for (const char* t : {"0", "-1", "+12", "007"}) EXPECT_TRUE(IsWholeNumberText(t)) << t;
    for (const char* t : {"", "-", "1.0", " 1", "1 ", "1e3", "１"})
        EXPECT_FALSE(IsWholeNumberText(t)) << t;
    for (const char* t : {"1", "-1.5", ".5", "5.", "+0.25"}) EXPECT_TRUE(IsRealNumberText(t)) << t;
    for (const char* t : {"", ".", "-.", "1e3", "1.2.3", " 1", "1,5"})
        EXPECT_FALSE(IsRealNumberText(t)) << t;
}

TEST(NumberTexts, IntegerAndFloatRanges) {
    for (const auto& [text, v] : {std::pair{"32767", 32767}, {"-32768", -32768}, {"+5", 5}})
        EXPECT_EQ(ParseInt16(text), v) << text;
    for (const char* text : {"32768", "-32769", "3.0", "1e2", "abc"}) EXPECT_FALSE(ParseInt16(text)) << text;
    EXPECT_EQ(ParseInt32("2147483647"), std::int32_t{2147483647});
    EXPECT_EQ(ParseInt32("-2147483648"), std::int32_t{-2147483647 - 1});
    for (const char* text : {"2147483648", "99999999999999999999999", ""}) EXPECT_FALSE(ParseInt32(text)) << text;
    for (const auto& [text, v] : {std::pair{"999.9000244", 999.9000244f}, {"1.402E-40", 1.402E-40f},
                                  {"3.4E+38", 3.4E+38f}, {"-3.4028234E38", -std::numeric_limits<float>::max()}})
        EXPECT_EQ(ParseFloat32(text), v) << text;
    for (const char* text : {"3.5E+38", "-1E39", "1E300"}) EXPECT_FALSE(ParseFloat32(text)) << text;
}

TEST(Texts, TrimCaseAndFullWidthToNarrow) {
    EXPECT_EQ(Trim(" \t a b \t"), "a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(TrimCopy("x "), "x");
    EXPECT_EQ(ToUpperAscii("abc_Zé"), "ABC_Zé");
    EXPECT_EQ(ToLowerAscii("T_3.KMR"), "t_3.kmr");
    // The ideographic space too; other characters stay; invalid and cut-off sequences are copied unchanged.
    const std::string bad = std::string("\xEF\xBC") + "\xFF" + "x" + "\xEF";
    for (const auto& [wide, narrow] : {std::pair<std::string, std::string>{"１２３．５", "123.5"}, {"ａｂｃ", "abc"},
                                       {"ＡＢ＿ｈ", "AB_h"}, {"！～", "!~"}, {"a　b", "a b"}, {"με℃日本", "με℃日本"},
                                       {bad, bad}, {"\xE0\xEF\xBC\x91", "\xE0" "1"}})
        EXPECT_EQ(ToHalfWidth(wide), narrow) << wide;
}

}  // namespace
}  // namespace kmr
