#pragma once
// The main window's event handlers run one at a time, as on the single window thread the program
// was built for: a handler that waits for the instrument keeps the window painting, but nothing
// else of the window's own runs until it returns.
//
// - A timer tick that arrives while a handler runs is held, once per timer, and runs after the
//   outermost handler has returned, provided its timer is still wanted then (a run that ended
//   stopped its timers, and their held ticks go with them). Ticks therefore never nest.
// - A click or menu choice that arrives while a handler runs is not acted on.
#include <functional>
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
    // Runs the held ticks, then onIdle, unless a handler runs.
    void RunHeldNow();
    // A tick of timer `timer`: runs now, or is held until the outermost handler returns and then
    // runs once if `stillWanted()` says so.
    void Tick(int timer, const Action& tick, const std::function<bool()>& stillWanted);

    bool Busy() const { return depth_ > 0; }
    // Called each time the outermost handler (and the ticks it held) has returned.
    std::function<void()> onIdle;
    // Ticks held at this moment.
    int Held() const { return static_cast<int>(held_.size()); }

private:
    struct HeldTick {
        int timer;
        Action tick;
        std::function<bool()> stillWanted;
    };
    void Run(const Action& handler, bool thenHeld = true);
    void RunHeld();

    int depth_ = 0;
    std::vector<HeldTick> held_;
};

}  // namespace kmr
