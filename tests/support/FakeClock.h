#pragma once
// A clock that never waits: Now() is what the test sets, and Sleep advances the millisecond
// counter by the time asked for and adds it up; each look at the counter may advance it too.
#include <cstdint>

#include "core/support/Clock.h"

namespace kmr::testing {

class FakeClock : public Clock {
public:
    LocalDateTime Now() const override { return now; }
    std::uint32_t TickMs() const override { return tick += advance; }
    void Sleep(double seconds) override {
        slept += seconds;
        tick += static_cast<std::uint32_t>(seconds * 1000);
    }
    LocalDateTime now{2026, 12, 5, 10, 0, 0};
    mutable std::uint32_t tick = 1000;
    std::uint32_t advance = 0;  // added to the counter at every look at it
    double slept = 0;
};

}  // namespace kmr::testing
