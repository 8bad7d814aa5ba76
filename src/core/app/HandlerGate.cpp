#include "core/app/HandlerGate.h"

#include <algorithm>

namespace kmr {

bool HandlerGate::Input(const Action& handler) {
    if (Busy()) return false;
    Run(handler);
    return true;
}

void HandlerGate::Tick(int timer, const Action& tick, const std::function<bool()>& stillWanted) {
    if (!Busy()) {
        Run(tick);
        return;
    }
    const bool already = std::any_of(held_.begin(), held_.end(),
                                     [timer](const HeldTick& h) { return h.timer == timer; });
    if (!already) held_.push_back({timer, tick, stillWanted});
}

bool HandlerGate::InputKeepingHeld(const Action& handler) {
    if (Busy()) return false;
    Run(handler, false);
    return true;
}

void HandlerGate::RunHeldNow() {
    if (Busy()) return;
    RunHeld();
    if (depth_ == 0 && onIdle) onIdle();
}

void HandlerGate::Run(const Action& handler, bool thenHeld) {
    struct Depth {
        int& d;
        explicit Depth(int& depth) : d(depth) { ++d; }
        ~Depth() { --d; }
    };
    {
        Depth depth(depth_);
        handler();
    }
    if (depth_ == 0 && thenHeld) {
        RunHeld();
        if (depth_ == 0 && onIdle) onIdle();
    }
}

void HandlerGate::RunHeld() {
    while (!held_.empty() && depth_ == 0) {
        HeldTick h = std::move(held_.front());
        held_.erase(held_.begin());
        if (!h.stillWanted || h.stillWanted()) Run(h.tick);
    }
}

}  // namespace kmr
