#include "core/support/FormGeometry.h"

#include "core/support/Numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>

namespace kmr {

// The text is trimmed and cut at commas into at most five fields (each rest after a comma is
// trimmed again); fields beyond the fifth are ignored. Numbers use "." whatever the locale.
// The state field takes any number, rounded to the nearest whole number (halves to even), that
// fits 16 bits. Empty text yields no fields: nothing changes and the text is not "absent".
bool ApplyGeometryText(const std::string& text, MainFormGeometry& g) {
    std::string_view rest = Trim(text);
    std::string_view fields[5];
    int count = 0;
    while (!rest.empty() && count < 5) {
        const std::size_t comma = rest.find(',');
        if (comma == std::string_view::npos) {
            fields[count++] = rest;
            rest = {};
        } else {
            fields[count++] = rest.substr(0, comma);
            rest = Trim(rest.substr(comma + 1));
        }
    }

    MainFormGeometry out = g;
    float* const floats[4] = {&out.Left, &out.Top, &out.Width, &out.Height};
    for (int i = 0; i < count; ++i) {
        if (i < 4) {
            const auto v = ParseFloat32(fields[i]);
            if (!v) return false;
            *floats[i] = *v;
        } else {
            const auto v = ParseNumber(fields[i]);
            if (!v) return false;
            const double r = RoundHalfEven(*v);
            if (r < std::numeric_limits<std::int16_t>::min() ||
                r > std::numeric_limits<std::int16_t>::max())
                return false;
            out.WindowState = static_cast<std::int16_t>(r);
        }
    }
    g = out;
    return true;
}

namespace {
// The shortest text that reads back as the same float; whole numbers carry no point.
void AppendShortest(std::string& out, float v) {
    if (!std::isfinite(v)) v = 0;
    if (v == 0) v = 0;  // no sign for a negative zero
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    for (char* p = buf; p < res.ptr; ++p)
        if (*p == 'e') *p = 'E';
    out.append(buf, res.ptr);
}
}  // namespace

std::string GeometryText(const MainFormGeometry& g) {
    std::string s;
    AppendShortest(s, g.Left);
    s.push_back(',');
    AppendShortest(s, g.Top);
    s.push_back(',');
    AppendShortest(s, g.Width);
    s.push_back(',');
    AppendShortest(s, g.Height);
    s.push_back(',');
    s += FormatInt(g.WindowState);
    return s;
}

}  // namespace kmr
