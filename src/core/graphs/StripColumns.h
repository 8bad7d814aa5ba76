#pragma once
// The drawn points of a scrolling monitor strip: an hour of ticks is 72000 points per chart, far
// more than the chart has pixel columns, so the chart draws per column of fixed time width only
// the smallest and the largest value of the points that fall into it (in the order that keeps the
// line nearest to where it comes from), and the points themselves while a column holds one. A new
// tick changes only the last column, so the chart replaces at most two points at its end.
// Columns are counted from time 0, so they stay put while the window scrolls.
#include <array>
#include <cstddef>
#include <cstdint>

namespace kmr {

class StripColumns {
public:
    struct Point {
        double x, y;
    };
    // What the drawn points' tail becomes after a point is added: drop the drawn points with X at
    // or after `dropFrom` (none when `drop` is false), then append add[0 .. count - 1].
    struct Tail {
        bool drop = false;
        double dropFrom = 0.0;
        std::array<Point, 2> add{};
        std::size_t count = 0;
    };

    // Starts empty with columns `width` seconds wide (a width of 0 or less keeps every point).
    void Reset(double width);
    // Adds the next point (X not below the last one). A no-value point is drawn as it is, a gap,
    // and closes the column it falls into.
    Tail Add(double x, double y);
    // Drawn points held for the last column (0, 1 or 2).
    std::size_t LastColumnPoints() const { return drawn_; }

private:
    std::int64_t ColumnOf(double x) const;

    double width_ = 0.0;
    bool open_ = false;         // a column is being filled
    std::int64_t column_ = 0;   // its index
    double firstX_ = 0.0, lastX_ = 0.0;
    double min_ = 0.0, max_ = 0.0;
    std::size_t drawn_ = 0;     // drawn points it holds
    double lastDrawn_ = 0.0;    // value of its last drawn point
    bool havePrevious_ = false;  // a drawn value before the open column
    double previous_ = 0.0;
};

}  // namespace kmr
