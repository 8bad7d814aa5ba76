#include "core/app/HandlerGate.h"

#include <gtest/gtest.h>

#include <string>

namespace kmr {
namespace {

TEST(HandlerGate, TicksDuringAHandlerRunOnceAfterItInArrivalOrder) {
    HandlerGate gate;
    std::string log;
    int depthSeen = 0;
    int depth = 0;
    auto tick = [&](char c) {
        return [&, c] {
            ++depth;
            depthSeen = std::max(depthSeen, depth);
            log += c;
            --depth;
        };
    };
    gate.Input([&] {
        ++depth;
        log += 'h';
        // Three ticks of the monitor timer and one of the end-of-conversion timer while busy.
        gate.Tick(2, tick('m'), [] { return true; });
        gate.Tick(1, tick('e'), [] { return true; });
        gate.Tick(2, tick('m'), [] { return true; });
        gate.Tick(2, tick('m'), [] { return true; });
        EXPECT_EQ(gate.Held(), 2);
        log += 'H';
        --depth;
    });
    EXPECT_EQ(log, "hHme");
    EXPECT_EQ(depthSeen, 1);  // no tick ran inside another handler
    EXPECT_EQ(gate.Held(), 0);
    EXPECT_FALSE(gate.Busy());
}

TEST(HandlerGate, HeldTickOfAStoppedTimerIsDroppedAndATickHeldDuringAHeldTickRunsAfterIt) {
    HandlerGate gate;
    bool monitorRunning = true;
    std::string log;
    gate.Input([&] {
        gate.Tick(2, [&] { log += 'x'; }, [&] { return monitorRunning; });
        monitorRunning = false;  // the handler ended the run and stopped the timer
    });
    EXPECT_EQ(log, "");
    EXPECT_EQ(gate.Held(), 0);
    gate.Input([&] {
        gate.Tick(1, [&] {
            log += 'e';
            // The end-of-conversion tick waits for the instrument; the monitor timer fires.
            gate.Tick(2, [&] { log += 'm'; }, [] { return true; });
            log += 'E';
        }, [] { return true; });
    });
    EXPECT_EQ(log, "eEm");
}

TEST(HandlerGate, InputWhileBusyIsNotActedOnAndAnExceptionLeavesTheGateIdle) {
    HandlerGate gate;
    int clicks = 0;
    bool nestedRan = true;
    EXPECT_TRUE(gate.Input([&] {
        ++clicks;
        nestedRan = gate.Input([&] { ++clicks; });
    }));
    EXPECT_FALSE(nestedRan);
    EXPECT_EQ(clicks, 1);
    EXPECT_THROW(gate.Input([] { throw 1; }), int);
    EXPECT_FALSE(gate.Busy());
    EXPECT_TRUE(gate.Input([&] { ++clicks; }));
    EXPECT_EQ(clicks, 2);
    gate.Tick(1, [&] { ++clicks; }, {});
    EXPECT_EQ(clicks, 3);
}

}  // namespace
}  // namespace kmr
