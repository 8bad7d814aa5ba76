#pragma once
// The main window's event handlers run one at a time, as on the single window thread the program
// was built for: a handler that waits for the instrument keeps the window painting, but nothing
// else of the window's own runs until it returns.
//
// - A timer tick that arrives while a handler runs is held, once per timer, and runs after the
//   outermost handler has returned, provided its timer is still wanted then (a run that ended
//   stopped its timers, and their held ticks go with them). Ticks therefore never nest.
// - A click or menu choice that arrives while a handler runs is not acted on, unless it asks to
//   be held (InputOrHold) and the handler running is only a timer tick: a person cannot see when
//   the timers poll the instrument, so a click then is held, once, and runs first when the tick has
//   returned, if it still applies. A click during a handler the person started is refused, as
//   on a window that handler has disabled.
#include <functional>
#include <optional>
#include <vector>

namespace kmr {

class HandlerGate {
public:
    using Action = std::function<void()>;

    // A click or menu choice: runs now and returns true, or returns false while a handler runs.
    bool Input(const Action& handler);
    // As Input, but the ticks held meanwhile stay held until RunHeldNow: for a handler run inside
    // an event that must have returned before anything waits for the instrument (a window's close,
    // which the system takes as done while it is still inside).
    bool InputKeepingHeld(const Action& handler);
    // As Input, but while only a timer tick runs the handler is held (one at a time) and runs
    // before the held ticks once the tick has returned, if `stillApplies()` says so then (a tick
    // that ended the run has changed what a click on Stop meant). True when run or held.
    bool InputOrHold(const Action& handler, const std::function<bool()>& stillApplies);
    // Runs the held ticks, then onIdle, unless a handler runs.
    void RunHeldNow();
    // A tick of timer `timer`: runs now, or is held until the outermost handler returns and then
    // runs once if `stillWanted()` says so.
    void Tick(int timer, const Action& tick, const std::function<bool()>& stillWanted);

    bool Busy() const { return depth_ > 0; }
    // Called each time the outermost handler (and the ticks it held) has returned.
    std::function<void()> onIdle;
    // Ticks held at this moment (and the input held, if any).
    int Held() const { return static_cast<int>(held_.size()) + (heldInput_ ? 1 : 0); }

private:
    struct HeldTick {
        int timer;
        Action tick;
        std::function<bool()> stillWanted;
    };
    struct HeldInput {
        Action handler;
        std::function<bool()> stillApplies;
    };
    void Run(const Action& handler, bool thenHeld = true, bool tick = false);
    void RunHeld();

    int depth_ = 0;
    bool tickOutermost_ = false;  // the outermost handler running is a timer tick
    std::vector<HeldTick> held_;
    std::optional<HeldInput> heldInput_;
};

}  // namespace kmr
