#include "core/support/Numbers.h"

#include <cmath>

namespace kmr {

double RoundHalfEven(double v) {
    if (!std::isfinite(v)) return v;
    return std::nearbyint(v);  // the default rounding mode rounds halves to even
}

}  // namespace kmr
