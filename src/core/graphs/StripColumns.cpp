#include "core/graphs/StripColumns.h"

#include <cmath>

#include "core/graphs/NoValue.h"

namespace kmr {

void StripColumns::Reset(double width) {
    *this = StripColumns{};
    width_ = width > 0.0 && std::isfinite(width) ? width : 0.0;
}

std::int64_t StripColumns::ColumnOf(double x) const {
    return static_cast<std::int64_t>(std::floor(x / width_));
}

StripColumns::Tail StripColumns::Add(double x, double y) {
    Tail t;
    const bool gap = IsNoValue(y) || std::isnan(y);
    if (open_ && !gap && ColumnOf(x) == column_) {
        // The point joins the open column: its drawn points become the new extremes, the one
        // nearer where the line comes from first.
        lastX_ = x;
        if (y < min_) min_ = y;
        if (y > max_) max_ = y;
        t.drop = true;
        t.dropFrom = firstX_;
        if (min_ == max_) {
            t.add[0] = {firstX_, min_};
            t.count = 1;
        } else {
            const bool minFirst =
                !havePrevious_ || std::fabs(previous_ - min_) <= std::fabs(previous_ - max_);
            t.add[0] = {firstX_, minFirst ? min_ : max_};
            t.add[1] = {lastX_, minFirst ? max_ : min_};
            t.count = 2;
        }
        drawn_ = t.count;
        lastDrawn_ = t.add[t.count - 1].y;
        return t;
    }
    // The open column is finished; the line goes on from its last drawn value.
    if (open_) {
        havePrevious_ = true;
        previous_ = lastDrawn_;
    }
    t.add[0] = {x, y};
    t.count = 1;
    open_ = false;
    drawn_ = 0;
    if (gap) {
        havePrevious_ = false;
        return t;
    }
    if (width_ <= 0.0) {  // every point drawn as it is
        havePrevious_ = true;
        previous_ = y;
        return t;
    }
    open_ = true;
    column_ = ColumnOf(x);
    firstX_ = lastX_ = x;
    min_ = max_ = y;
    drawn_ = 1;
    lastDrawn_ = y;
    return t;
}

}  // namespace kmr
