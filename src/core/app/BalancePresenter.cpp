#include "core/app/BalancePresenter.h"

#include "core/app/Monitor.h"
#include "core/app/RunController.h"
#include "core/support/TextTable.h"

namespace kmr {

void BalancePresenter::Opened() {
    view_.Show();
    view_.SetTimer(true);
}

void BalancePresenter::Tick() {
    view_.SetTimer(false);
    // Conditions a download left unsent go out before the values are read (the instrument
    // measures other channels until then).
    if (SettingsOwed(e_) && !ResendWhatMayBeLost(e_)) {
        StopMonitoring(e_);
        view_.Unload();
        return;
    }
    const bool read = table_.Tick();
    // As for the monitor: an instrument behind a route opened again is given everything again
    // before its values are shown or it is balanced.
    if ((read || !e_.Failed()) && RouteReopened(e_)) {
        if (!ResendWhatMayBeLost(e_)) {
            StopMonitoring(e_);
            view_.Unload();
            return;
        }
        view_.SetTimer(true);
        return;
    }
    if (!read) {
        StopMonitoring(e_);
        view_.Unload();
        if (!e_.Failed()) ReportUnreadableMonitorReply(e_);
        return;
    }
    view_.Show();
    view_.SetTimer(true);
}

void BalancePresenter::ClickCell(int channel) {
    table_.ClickCell(channel);
    view_.Show();
}

void BalancePresenter::PressBalance() {
    view_.SetInputEnabled(false);
    view_.SetTimer(false);
    BalanceEnd end;
    if (SettleBeforeCommands(e_, txt::NotBalanced, txt::BalanceCancelled)) end = table_.Balance();
    else end.cancelled = e_.link.transport->stopRequested;
    // Channels left unselected on the instrument: it gets its conditions again before the live
    // values are read (here or in the main window).
    if (!end.reselected) e_.s.ConditionsUnsent = true;
    // An instrument that gave no answer at all has been said to be lost: the live values end
    // with the window, rather than a reading that waits for it again and says so a second time.
    // A wait the user cancelled keeps the window, as the check window does.
    if (!end.cancelled && e_.Failed() && e_.link.transport->Connection().StatusCopy().error()) {
        StopMonitoring(e_);
        view_.Unload();
        return;
    }
    view_.SetTimer(true);
    view_.SetInputEnabled(true);
    view_.Show();
}

int BalancePresenter::CellAfter(int channel, Key key) const {
    for (int from = channel, next = BalanceCellAfter(from, key); next != from;
         from = next, next = BalanceCellAfter(from, key))
        if (table_.RowEnabled(next)) return next;
    return channel;
}

}  // namespace kmr
