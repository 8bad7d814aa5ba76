#pragma once
#include <cstdint>

namespace kmr {

struct LocalDateTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// Time as the program sees it; injected so that tests and the simulator never wait.
class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime Now() const = 0;          // the PC's local date and time
    virtual std::uint32_t TickMs() const = 0;       // millisecond counter (wraps)
    virtual void Sleep(double seconds) = 0;         // waits, processing events where it can
};

// The real clock of the PC.
class SystemClock : public Clock {
public:
    LocalDateTime Now() const override;
    std::uint32_t TickMs() const override;
    void Sleep(double seconds) override;
};

}  // namespace kmr
