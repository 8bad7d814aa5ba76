#include "core/support/Numbers.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kmr {

double RoundHalfEven(double v) {
    if (!std::isfinite(v)) return v;
    return std::nearbyint(v);  // the default rounding mode rounds halves to even
}

namespace {

// Texts for values that are not numbers; the general format of the platform writes these.
const char* NonFiniteText(double v) {
    if (std::isnan(v)) return "NAN";
    return v < 0 ? "-INF" : "INF";
}

}  // namespace

std::size_t LayOutSevenDigits(char* out, const char* digits, int exp) {
    char* o = out;
    int nd = 7;  // significant digits without trailing zeros
    while (nd > 1 && digits[nd - 1] == '0') --nd;
    if (exp < -4 || exp >= 7) {
        *o++ = digits[0];
        if (nd > 1) {
            *o++ = '.';
            std::memcpy(o, digits + 1, static_cast<std::size_t>(nd - 1));
            o += nd - 1;
        }
        *o++ = 'E';
        *o++ = exp < 0 ? '-' : '+';
        const int ae = exp < 0 ? -exp : exp;
        if (ae >= 100) *o++ = static_cast<char>('0' + ae / 100);
        *o++ = static_cast<char>('0' + (ae / 10) % 10);
        *o++ = static_cast<char>('0' + ae % 10);
    } else if (exp >= 0) {
        // exp + 1 digits before the point (0 <= exp <= 6, so at most 7)
        const int intDigits = exp + 1;
        for (int i = 0; i < intDigits; ++i) *o++ = i < nd ? digits[i] : '0';
        if (nd > intDigits) {
            *o++ = '.';
            for (int i = intDigits; i < nd; ++i) *o++ = digits[i];
        }
    } else {
        // -4 <= exp <= -1: "0." then -exp-1 zeros then the digits
        *o++ = '0';
        *o++ = '.';
        for (int i = 0; i < -exp - 1; ++i) *o++ = '0';
        std::memcpy(o, digits, static_cast<std::size_t>(nd));
        o += nd;
    }
    return static_cast<std::size_t>(o - out);
}

namespace {

// Writes the general 7-significant-digit form of `v` into `out` (at least 32 bytes) and
// returns the length. The digits come from one correctly rounded scientific conversion of the
// float's exact value; the fixed or exponent layout is then built from them.
std::size_t WriteGeneral7(char* out, float f) {
    const double v = f;
    if (!std::isfinite(v)) {
        const char* t = NonFiniteText(v);
        const std::size_t n = std::strlen(t);
        std::memcpy(out, t, n);
        return n;
    }
    if (v == 0) {  // also -0: no sign is written for a zero
        out[0] = '0';
        return 1;
    }
    char sci[32];
    // d.dddddde[+-]XX
    const auto res = std::to_chars(sci, sci + sizeof sci, v, std::chars_format::scientific, 6);
    const char* p = sci;
    const char* end = res.ptr;
    char* o = out;
    if (*p == '-') {
        *o++ = '-';
        ++p;
    }
    char digits[7];
    digits[0] = p[0];
    std::memcpy(digits + 1, p + 2, 6);
    p += 8;  // at 'e'
    ++p;
    const bool negExp = *p == '-';
    ++p;
    int exp = 0;
    for (; p < end; ++p) exp = exp * 10 + (*p - '0');
    if (negExp) exp = -exp;
    return static_cast<std::size_t>(o - out) + LayOutSevenDigits(o, digits, exp);
}

// Fixed text of `v` with `decimals` decimals (0..5 are used; up to 20 allowed here) into `out`.
// The exact binary value is rounded; an exact half goes to the even neighbour. A result that
// reads as zero carries no minus sign. Returns an empty view for values that are not finite.
std::string FixedText(double v, int decimals) {
    if (!std::isfinite(v)) return NonFiniteText(v);
    if (decimals < 0) decimals = 0;
    if (decimals > 20) decimals = 20;
    char buf[400];  // the largest double has 309 digits before the point
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    std::string s(buf, res.ptr);
    if (!s.empty() && s[0] == '-') {
        bool allZero = true;
        for (std::size_t i = 1; i < s.size(); ++i)
            if (s[i] != '0' && s[i] != '.') allZero = false;
        if (allZero) s.erase(0, 1);
    }
    return s;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Checks the number grammar: [sign] digits [. digits] [(e|E) [sign] digits] with at least one
// mantissa digit. Exponent only when `allowExponent`.
bool MatchesNumberGrammar(std::string_view t, bool allowExponent) {
    std::size_t i = 0;
    const std::size_t n = t.size();
    if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t mantDigits = 0;
    while (i < n && IsDigit(t[i])) { ++i; ++mantDigits; }
    if (i < n && t[i] == '.') {
        ++i;
        while (i < n && IsDigit(t[i])) { ++i; ++mantDigits; }
    }
    if (mantDigits == 0) return false;
    if (i < n && allowExponent && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < n && IsDigit(t[i])) { ++i; ++expDigits; }
        if (expDigits == 0) return false;
    }
    return i == n;
}

// A whole number in the range of long long, or nothing.
std::optional<long long> ParseWhole(std::string_view text) {
    const std::string_view t = Trim(text);
    if (!IsWholeNumberText(t)) return std::nullopt;
    std::string_view body = t;
    if (body[0] == '+') body.remove_prefix(1);
    long long v = 0;
    const auto res = std::from_chars(body.data(), body.data() + body.size(), v);
    if (res.ec != std::errc() || res.ptr != body.data() + body.size()) return std::nullopt;
    return v;
}

// For a text of the number grammar without sign: the decimal exponent of its first non-zero
// digit (the value lies in [10^m, 10^(m+1))); a very low number for zero.
long long DecimalMagnitude(std::string_view body) {
    const std::size_t e = body.find_first_of("eE");
    const std::string_view mant = body.substr(0, e);
    long long exp = 0;
    if (e != std::string_view::npos) {
        std::size_t i = e + 1;
        bool neg = false;
        if (i < body.size() && (body[i] == '+' || body[i] == '-')) neg = body[i++] == '-';
        for (; i < body.size(); ++i) {
            if (exp < 100000000) exp = exp * 10 + (body[i] - '0');
        }
        if (neg) exp = -exp;
    }
    const std::size_t point = mant.find('.');
    const long long intLen = static_cast<long long>(point == std::string_view::npos ? mant.size() : point);
    long long pos = 0;  // index among the digits
    for (char c : mant) {
        if (c == '.') continue;
        if (c != '0') return intLen - 1 - pos + exp;
        ++pos;
    }
    return std::numeric_limits<long long>::min() / 2;
}

}  // namespace

std::string FormatFloat(float v) {
    char buf[32];
    return std::string(buf, WriteGeneral7(buf, v));
}

double DecimalValue(float v) {
    if (!std::isfinite(v)) return static_cast<double>(v);
    // Read back without the C library, whose reading follows the user's locale in the window
    // program (a decimal comma would end the number at its point).
    return ParseNumber(FormatFloat(v)).value_or(static_cast<double>(v));
}

std::size_t AppendFloat(std::string& out, float v) {
    char buf[32];
    const std::size_t n = WriteGeneral7(buf, v);
    out.append(buf, n);
    return n;
}

std::string FormatInt(long long v) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string FormatFixed(double v, int decimals) { return FixedText(v, decimals); }

std::string FormatDouble(double v) {
    if (!std::isfinite(v)) return FormatFixed(v, 0);  // "NAN"/"INF": never reads back as a number
    if (v == 0) v = 0;                                // no sign for a negative zero
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    for (char* p = buf; p < res.ptr; ++p)
        if (*p == 'e') *p = 'E';
    return std::string(buf, res.ptr);
}

std::string FormatDoublePlain(double v) {
    const std::string general = FormatDouble(v);
    const std::size_t e = general.find('E');
    if (e == std::string::npos) return general;
    const bool negative = general[0] == '-';
    std::string digits = general.substr(negative ? 1 : 0, e - (negative ? 1 : 0));
    const std::size_t dot = digits.find('.');
    const long whole = static_cast<long>(dot == std::string::npos ? digits.size() : dot);
    if (dot != std::string::npos) digits.erase(dot, 1);
    // Where the point falls among the digits.
    const long point = whole + std::strtol(general.c_str() + e + 1, nullptr, 10);
    const long count = static_cast<long>(digits.size());
    std::string out = negative ? "-" : "";
    if (point <= 0)
        out += "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
    else if (point >= count)
        out += digits + std::string(static_cast<std::size_t>(point - count), '0');
    else
        out += digits.substr(0, static_cast<std::size_t>(point)) + "." + digits.substr(static_cast<std::size_t>(point));
    return out;
}

// With zeros: the fixed text itself (always one digit before the point).
std::string FormatWithZeros(double v, int decimals) { return FixedText(v, decimals); }

std::string FormatPanelValue(double v, int decimals) {
    std::string fixed = FixedText(v, decimals);
    if (fixed.size() <= kPanelValueChars || !std::isfinite(v)) return fixed;
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 6);
    std::string s(buf, res.ptr);  // "-1.234500e+35"
    const std::size_t e = s.find('e');
    std::string mantissa = s.substr(0, e);
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
    return mantissa + "E" + s.substr(e + 1);
}

const char* DigitFormatWithBlanks(int decimals) {
    static const char* const k[6] = {"#######", "#####.#", "####.##",
                                     "###.###", "##.####", "#.#####"};
    if (decimals < 0) decimals = 0;
    if (decimals > 5) decimals = 5;
    return k[decimals];
}

std::string FormatCoefficient(double v) {
    if (!std::isfinite(v)) return NonFiniteText(v);
    if (v == 0) v = 0;  // no "-" for a negative zero
    char buf[40];
    buf[0] = v < 0 ? '-' : '+';
    const auto res = std::to_chars(buf + 1, buf + sizeof buf, std::fabs(v),
                                   std::chars_format::scientific, 6);
    for (char* p = buf + 1; p < res.ptr; ++p)
        if (*p == 'e') *p = 'E';
    return std::string(buf, res.ptr);
}

std::optional<double> ParseNumber(std::string_view text) {
    const std::string_view t = Trim(text);
    if (!MatchesNumberGrammar(t, true)) return std::nullopt;
    std::string_view body = t;
    bool negative = false;
    if (body[0] == '+' || body[0] == '-') {
        negative = body[0] == '-';
        body.remove_prefix(1);
    }
    double v = 0;
    const auto res = std::from_chars(body.data(), body.data() + body.size(), v,
                                     std::chars_format::general);
    if (res.ptr != body.data() + body.size()) return std::nullopt;
    if (res.ec == std::errc::result_out_of_range) {
        // Too small to represent reads as zero; too large is refused.
        if (DecimalMagnitude(body) >= 0) return std::nullopt;
        v = 0;
    } else if (res.ec != std::errc()) {
        return std::nullopt;
    }
    if (!std::isfinite(v)) return std::nullopt;
    return negative ? -v : v;
}

bool IsWholeNumberText(std::string_view t) {
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    if (i == t.size()) return false;
    for (; i < t.size(); ++i)
        if (!IsDigit(t[i])) return false;
    return true;
}

bool IsRealNumberText(std::string_view t) { return MatchesNumberGrammar(t, false); }

std::optional<std::int16_t> ParseInt16(std::string_view text) {
    const auto v = ParseWhole(text);
    if (!v || *v < std::numeric_limits<std::int16_t>::min() ||
        *v > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return static_cast<std::int16_t>(*v);
}

std::optional<std::int32_t> ParseInt32(std::string_view text) {
    const auto v = ParseWhole(text);
    if (!v || *v < std::numeric_limits<std::int32_t>::min() ||
        *v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

std::optional<float> ParseFloat32(std::string_view text) {
    const auto v = ParseNumber(text);
    if (!v) return std::nullopt;
    // Values from FLT_MAX plus half a unit in the last place upwards round to infinity.
    constexpr double kOverflow = 0x1.ffffffp127;
    if (std::fabs(*v) >= kOverflow) return std::nullopt;
    return static_cast<float>(*v);
}

namespace {

template <class T, class Format, class Parse>
T Settled(T v, Format format, Parse parse) {
    // Every value settles within two passes (each pass can only step to the float whose text is
    // the one written); the bound keeps a surprise from looping.
    for (int pass = 0; pass < 4; ++pass) {
        const auto back = parse(format(v));
        if (!back || *back == v) break;
        v = *back;
    }
    return v;
}

}  // namespace

float SettledFloat(float v) {
    if (!std::isfinite(v)) return v;
    return Settled(v, [](float x) { return FormatFloat(x); }, [](const std::string& t) { return ParseFloat32(t); });
}

double SettledDouble(double v) {
    if (!std::isfinite(v)) return v;
    return Settled(v, [](double x) { return FormatDouble(x); }, [](const std::string& t) { return ParseNumber(t); });
}

std::string_view Trim(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
    return text.substr(b, e - b);
}

std::string TrimCopy(std::string_view text) { return std::string(Trim(text)); }

std::string WithoutControlBytes(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return text;
}

std::string WellFormedUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    const auto u = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = u(i);
        // The length of the sequence and the range of its second byte (no overlong forms, no
        // surrogates, nothing above U+10FFFF).
        std::size_t len = c < 0x80 ? 1 : 0;
        unsigned lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        }
        bool good = len > 0 && i + len <= s.size();
        for (std::size_t k = 1; good && k < len; ++k)
            good = k == 1 ? u(i + 1) >= lo && u(i + 1) <= hi : u(i + k) >= 0x80 && u(i + k) <= 0xBF;
        if (good) {
            out.append(s, i, len);
            i += len;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

// The full-width forms are three-byte sequences EF BC 81..EF BC BF (U+FF01..U+FF3F) and
// EF BD 80..EF BD 9E (U+FF40..U+FF5E); the ideographic space is E3 80 80. A lead byte like EF
// or E3 never occurs inside another character, so matching these exact byte triples is correct
// even next to invalid bytes, which are copied unchanged.
std::string ToHalfWidth(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    const auto u = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    for (std::size_t i = 0; i < s.size();) {
        if (i + 2 < s.size()) {
            const unsigned char a = u(i), b = u(i + 1), c = u(i + 2);
            if (a == 0xEF && b == 0xBC && c >= 0x81 && c <= 0xBF) {
                out.push_back(static_cast<char>(0x21 + (c - 0x81)));
                i += 3;
                continue;
            }
            if (a == 0xEF && b == 0xBD && c >= 0x80 && c <= 0x9E) {
                out.push_back(static_cast<char>(0x60 + (c - 0x80)));
                i += 3;
                continue;
            }
            if (a == 0xE3 && b == 0x80 && c == 0x80) {
                out.push_back(' ');
                i += 3;
                continue;
            }
        }
        out.push_back(s[i]);
        ++i;
    }
    return out;
}

std::string ToUpperAscii(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string ToLowerAscii(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace kmr
