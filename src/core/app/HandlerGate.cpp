#include "core/app/HandlerGate.h"

#include <algorithm>

namespace kmr {

bool HandlerGate::Input(const Action& handler) {
    if (Busy()) return false;
    Run(handler);
    return true;
}

bool HandlerGate::InputOrHold(const Action& handler, const std::function<bool()>& stillApplies) {
    if (!Busy()) {
        Run(handler);
        return true;
    }
    if (!tickOutermost_ || heldInput_) return false;
    heldInput_ = HeldInput{handler, stillApplies};
    return true;
}

void HandlerGate::Tick(int timer, const Action& tick, const std::function<bool()>& stillWanted) {
    if (!Busy()) {
        Run(tick, true, true);
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

void HandlerGate::Run(const Action& handler, bool thenHeld, bool tick) {
    struct Depth {
        int& d;
        bool& tickOutermost;
        Depth(int& depth, bool& outermostIsTick, bool tick) : d(depth), tickOutermost(outermostIsTick) {
            if (d++ == 0) tickOutermost = tick;
        }
        ~Depth() {
            if (--d == 0) tickOutermost = false;
        }
    };
    {
        Depth depth(depth_, tickOutermost_, tick);
        handler();
    }
    if (depth_ == 0 && thenHeld) {
        RunHeld();
        if (depth_ == 0 && onIdle) onIdle();
    }
}

void HandlerGate::RunHeld() {
    // The input first, as a window's queue gives a click before a timer's tick.
    if (heldInput_ && depth_ == 0) {
        HeldInput input = std::move(*heldInput_);
        heldInput_.reset();
        if (!input.stillApplies || input.stillApplies()) Run(input.handler, false);
    }
    while (!held_.empty() && depth_ == 0) {
        HeldTick h = std::move(held_.front());
        held_.erase(held_.begin());
        if (!h.stillWanted || h.stillWanted()) Run(h.tick, true, true);
    }
}

}  // namespace kmr
