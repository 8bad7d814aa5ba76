#include "core/app/HandlerGate.h"

#include <gtest/gtest.h>

#include <string>

namespace kmr {
namespace {

// Nothing runs inside the handler: the ticks come after its end (what happens to a click then:
// MainWindowTest.ticksNeverNestAndAClickDuringATickRunsAfterIt).
TEST(HandlerGate, TicksDuringAHandlerRunOnceAfterItInArrivalOrder) {
    HandlerGate gate;
    std::string log;
    const auto tick = [&log](char c) { return [&log, c] { log += c; }; };
    gate.Input([&] {
        log += 'h';
        // Three ticks of the monitor timer (2) and one of the end-of-conversion timer (1) while busy.
        for (const int timer : {2, 1, 2, 2}) gate.Tick(timer, tick(timer == 2 ? 'm' : 'e'), [] { return true; });
        EXPECT_EQ(gate.Held(), 2);
        log += 'H';
    });
    EXPECT_EQ(log, "hHme");
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

// A window's close is asked inside its close event: the ticks held meanwhile wait for RunHeldNow,
// which runs them and then the idle work once the event has returned.
TEST(HandlerGate, AHandlerKeepingHeldTicksLeavesThemForRunHeldNow) {
    HandlerGate gate;
    std::string log;
    gate.onIdle = [&log] { log += 'i'; };
    EXPECT_TRUE(gate.InputKeepingHeld([&] {
        log += 'q';
        gate.Tick(2, [&] { log += 'm'; }, [] { return true; });
    }));
    EXPECT_EQ(log, "q");
    EXPECT_EQ(gate.Held(), 1);
    EXPECT_FALSE(gate.Busy());
    gate.Input([&] {
        gate.RunHeldNow();  // inside a handler: nothing runs
        log += 'h';
    });
    EXPECT_EQ(log, "qhmii");  // the idle work after the tick, and after the handler
    gate.RunHeldNow();
    EXPECT_EQ(log, "qhmiii");
}

// A timer's tick waits for the instrument: a click then is held and runs first after the tick,
// if it still applies; a second click, and any click during a handler a person started, is refused.
TEST(HandlerGate, InputDuringATickIsHeldOnceAndRunsBeforeTheHeldTicksIfItStillApplies) {
    HandlerGate gate;
    std::string log;
    bool applies = true;
    const auto click = [&log](char c) { return [&log, c] { log += c; }; };
    gate.Tick(2, [&] {
        log += 'm';
        gate.Tick(1, click('e'), [] { return true; });
        EXPECT_TRUE(gate.InputOrHold(click('s'), [&] { return applies; }));
        EXPECT_FALSE(gate.InputOrHold(click('x'), {}));
        EXPECT_FALSE(gate.Input(click('y')));
        EXPECT_EQ(gate.Held(), 2);
        log += 'M';
    }, {});
    EXPECT_EQ(log, "mMse");
    // The held click runs as a person's handler: a click during it is refused.
    log.clear();
    gate.Tick(2, [&] { gate.InputOrHold([&] { log += 's'; EXPECT_FALSE(gate.InputOrHold(click('x'), {})); }, {}); }, {});
    EXPECT_EQ(log, "s");
    gate.Input([&] { EXPECT_FALSE(gate.InputOrHold(click('x'), {})); });
    // A tick that changed what the click meant (it ended the run) drops it.
    log.clear();
    gate.Tick(1, [&] {
        gate.InputOrHold(click('s'), [&] { return applies; });
        applies = false;
    }, {});
    EXPECT_EQ(log, "");
    EXPECT_EQ(gate.Held(), 0);
}

// (Input while busy is not acted on: ChartsWidgetTest.zoomKeyDuringAHandlerIsRefusedByTheGate and
// the main window test above.)
TEST(HandlerGate, AnExceptionLeavesTheGateIdle) {
    HandlerGate gate;
    int clicks = 0;
    EXPECT_THROW(gate.Input([] { throw 1; }), int);
    EXPECT_FALSE(gate.Busy());
    EXPECT_TRUE(gate.Input([&] { ++clicks; }));
    gate.Tick(1, [&] { ++clicks; }, {});
    EXPECT_EQ(clicks, 2);
}

}  // namespace
}  // namespace kmr
