#include "core/app/CheckTablePresenter.h"

#include "core/app/RunController.h"
#include "core/support/TextTable.h"

namespace kmr {

CheckTablePresenter::CheckTablePresenter(Engine& e, CheckTableView& view)
    : e_(e),
      view_(view),
      check_(*e.link.transport, e.s.Meas),
      timeout_(std::make_unique<LongCheckTimeout>(e.link.transport->Connection())) {}

CheckTablePresenter::~CheckTablePresenter() = default;

bool CheckTablePresenter::ChannelMeasured(int channel) const { return e_.s.Meas.Ch(channel).Measured(); }

void CheckTablePresenter::Opened() {
    for (std::size_t row = 0; row < kCheckRows; ++row) ShowRow(row);
    view_.SetExecuteEnabled(check_.AnyTicked());
}

void CheckTablePresenter::Tick(std::size_t row, bool ticked) {
    check_.SetTicked(row, ticked);
    view_.SetExecuteEnabled(check_.AnyTicked());
}

void CheckTablePresenter::Execute() {
    view_.SetInputEnabled(false);
    // The window was opened while the connection could not be made: each Check tries it again
    // first (the adapter may be back), and a connection that still fails is said as such, not as
    // an instrument that answered wrongly.
    GpibConnection& connection = e_.link.transport->Connection();
    if (!connection.IsConnected()) {
        connection.OpenGpibDevice(kT30s);
        // The instrument may have been restarted meanwhile: it gets its date and conditions again
        // first (without them it refuses the checks).
        if (connection.IsConnected()) e_.s.DateUnsent = e_.s.ConditionsUnsent = true;
    }
    // What the instrument may lack (a halt owed, the date, the conditions) first, said once if
    // it does not take it.
    if (connection.IsConnected() && SettleBeforeCommands(e_, txt::NotChecked, txt::CheckCancelledBeforeChecks))
        check_.Execute([this](std::size_t row) {
            ShowRow(row);
            view_.SetTicked(row, false);
        });
    for (std::size_t row = 0; row < kCheckRows; ++row) {
        ShowRow(row);
        view_.SetTicked(row, check_.Ticked(row));
    }
    view_.SetExecuteEnabled(check_.AnyTicked());
    view_.SetInputEnabled(true);
}

void CheckTablePresenter::Pointed(std::size_t row) {
    const CheckRow& r = kCheckTable[row];
    view_.ShowComment(e_.ui.Text(r.comment1Id), r.comment2Id != 0 ? e_.ui.Text(r.comment2Id) : std::string());
}

void CheckTablePresenter::ShowRow(std::size_t row) {
    for (int ch = 1; ch <= kChannels; ++ch) view_.ShowCell(row, ch, check_.Cell(row, ch));
}

}  // namespace kmr
