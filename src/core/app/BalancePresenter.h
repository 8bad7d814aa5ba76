#pragma once
// The balance window's flow: the 250 ms tick that reads the live values, the Balance button's
// sequence with the tick held, the choice of channels by their cells and the keys between cells.
// The window implements BalanceView and forwards its events here.
#include "core/app/Engine.h"
#include "core/app/Keyboard.h"
#include "core/measurement/Balance.h"

namespace kmr {

// What the balance window does when told.
class BalanceView {
public:
    virtual ~BalanceView() = default;
    // Draws the table, the comment lines and the Balance button as the presenter's table says.
    virtual void Show() = 0;
    // Starts or stops the window's 250 ms timer.
    virtual void SetTimer(bool running) = 0;
    // Takes or refuses input while a balance runs.
    virtual void SetInputEnabled(bool enabled) = 0;
    // Closes the window without asking (monitoring has ended).
    virtual void Unload() = 0;
};

class BalancePresenter {
public:
    BalancePresenter(Engine& e, BalanceView& view) : e_(e), view_(view), table_(*e.link.transport, e.s.Meas) {}

    const BalanceTable& Table() const { return table_; }

    // The window is shown: drawn, and its timer runs.
    void Opened();
    // One tick of the timer: reads the live values and draws them. A failed read or a malformed
    // reply ends monitoring, and the window goes.
    void Tick();
    // A click (or Space) on a channel's data cell.
    void ClickCell(int channel);
    // The Balance button: the timer and the input are held while the commands run. An instrument
    // that stops answering ends monitoring, and the window goes after the one message; a wait
    // the user cancelled is said as a cancel, and the window stays.
    void PressBalance();
    // The window is unloaded: no more reads.
    void Closed() { view_.SetTimer(false); }

    // The cell an arrow key moves to from `channel`: over channels that are off, to the next one
    // that is on; `channel` itself when there is none.
    int CellAfter(int channel, Key key) const;

private:
    Engine& e_;
    BalanceView& view_;
    BalanceTable table_;
};

}  // namespace kmr
