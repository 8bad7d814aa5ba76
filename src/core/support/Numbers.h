#pragma once
// Number rules shared by every file and window: rounding, the texts of numbers in condition
// files, CSV and on screen, and the parsing and validation of typed or stored numbers.
// Nothing here depends on the process locale.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kmr {

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double RoundHalfEven(double v);

// --- Texts of numbers -------------------------------------------------------------------------

// A 32-bit float in the general format of the condition files and CSV: at most 7 significant
// digits, no trailing zeros, no point for whole values, "." always, exponent form "E+nn"/"E-nn"
// when the decimal exponent is below -4 or at least 7 (1E+07, 1.234568E+07, 0.0001, 1E-05).
std::string FormatFloat(float v);
// The decimal number that text stands for, as a 64-bit float: a clock of 0.05 ms is 0.05, not
// the 0.0500000007 its 32-bit float holds (the value itself when it is not finite).
double DecimalValue(float v);
// Appends the same text to `out`; returns the number of bytes added.
std::size_t AppendFloat(std::string& out, float v);
// The layout of that text for a nonzero magnitude given by its seven significant digits
// (characters, the first not '0') and the decimal exponent of the first digit: the zeros at the
// end are dropped, exponent form below -4 and from 7 on, fixed form otherwise. Writes at most 14
// bytes to `out` (no sign: the caller writes a "-" before) and returns their count. FormatFloat
// and the CSV cells lay out their digits with it.
std::size_t LayOutSevenDigits(char* out, const char* digits, int exponent);
// Integers in plain decimal with a leading "-" when negative.
std::string FormatInt(long long v);
// A 64-bit float with at most 15 significant digits and no trailing zeros, "." always, no sign on
// zero, exponent form "E+nn"/"E-nn" when the decimal exponent is below -4 or at least 15 (0.5,
// 12.25, 1E-05, 1E+20). The condition files and the boxes of the forms write decimals so.
std::string FormatDouble(double v);
// The same digits in plain decimal notation, never in exponent form (1E-06 is 0.000001, 1.5E+20
// is 150000000000000000000): Graph.cnd is written so.
std::string FormatDoublePlain(double v);

// Fixed decimals with at least one digit before the point ("0.0" for the remaining time).
// All fixed and display forms round the exact value to the decimals; an exact half goes to the
// even neighbour (2.5 -> "2", 0.125 -> "0.12"), as every whole-number conversion of the program
// does. A result that reads as zero carries no minus sign ("-0.04" with one decimal -> "0.0").
std::string FormatFixed(double v, int decimals);
// The display formats indexed by a channel's decimals 0..5: with zeros ("######0", "####0.0",
// ... "0.00000": at least one digit before the point) and with blanks ("#######", "#####.#", ...
// "#.#####": no digit is forced). Values are shown with zeros.
std::string FormatWithZeros(double v, int decimals);
// A value in a data panel or a balance cell: FormatWithZeros while that text has at most
// kPanelValueChars characters; a value too wide for that (a huge coefficient or offset) in
// exponent form with at most seven significant digits and no trailing zeros ("3.4E+34",
// "-1.234568E+08").
inline constexpr std::size_t kPanelValueChars = 15;
std::string FormatPanelValue(double v, int decimals);
// The pattern with blanks as text, for the measurement form's decimal places list.
const char* DigitFormatWithBlanks(int decimals);
// The coefficient form "+1.000000E+00": sign, one digit, point, six digits, "E", sign, two digits.
std::string FormatCoefficient(double v);

// --- Parsing and validation ------------------------------------------------------------------

// A number as the condition-file reader accepts it: optional sign, digits with at most one
// point (".05", "0.05", "5."), optional exponent ("-1.5E-3"). Leading/trailing blanks ignored.
// No hexadecimal, "inf" or "nan"; a value too large for a double is refused, one too small
// reads as 0.
std::optional<double> ParseNumber(std::string_view text);
// Strict whole number: optional sign then one or more digits, nothing else.
bool IsWholeNumberText(std::string_view text);
// Strict real number of the forms: optional sign, digits, at most one point, at least one digit.
bool IsRealNumberText(std::string_view text);
// Whole numbers with range checks for 16- and 32-bit fields.
std::optional<std::int16_t> ParseInt16(std::string_view text);
std::optional<std::int32_t> ParseInt32(std::string_view text);
// A real number that must fit a 32-bit float (finite after conversion).
std::optional<float> ParseFloat32(std::string_view text);
// The value that reads back from its own text: FormatFloat / FormatDouble of the result parses to
// the result itself. A file's item may hold more digits than the file writes, and one pass
// through the text does not always settle: 1.00000006E+28 writes as "1E+28", which reads back as
// 9.99999944E+27, written "9.999999E+27". The reader keeps this value, so that what it loads is
// exactly what the file can hold again.
float SettledFloat(float v);
double SettledDouble(double v);

// --- Texts -------------------------------------------------------------------------------------

// Leading and trailing blanks (spaces and tabs) removed.
std::string_view Trim(std::string_view text);
std::string TrimCopy(std::string_view text);
// Full-width forms of typed text (U+FF01..U+FF5E, the ideographic space) to their ASCII forms;
// other characters are kept. Input and output are UTF-8.
std::string ToHalfWidth(std::string_view utf8);
// Every control byte (below 0x20, and 0x7F) turned into '?', for a text from a file or the
// instrument that goes onto one line of a file or a terminal: a damaged trigger time must not
// break the CSV into extra lines or send escape sequences to a terminal.
std::string WithoutControlBytes(std::string text);
// The text with each byte that does not begin a well-formed UTF-8 sequence (a damaged header's
// text, a file name in another encoding) replaced by U+FFFD.
std::string WellFormedUtf8(std::string_view text);
std::string ToUpperAscii(std::string_view text);
std::string ToLowerAscii(std::string_view text);

}  // namespace kmr
