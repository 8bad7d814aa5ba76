#pragma once
// The PC's clock for the window program: a wait keeps the windows painted.
#include "core/support/Clock.h"

namespace kmr::gui {

class QtClock : public SystemClock {
public:
    // Waits in a local event loop that paints and runs timers but takes no user input.
    void Sleep(double seconds) override;
};

}  // namespace kmr::gui
