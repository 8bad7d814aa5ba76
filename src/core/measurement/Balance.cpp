#include "core/measurement/Balance.h"

#include <algorithm>

#include "core/support/TextTable.h"

namespace kmr {

BalanceTable::BalanceTable(CommandTransport& transport, const MeasConditions& meas)
    : transport_(transport), meas_(meas) {
    for (int ch = 1; ch <= kChannels; ++ch) {
        const ChannelCondition& c = meas_.Ch(ch);
        selected_[Index(ch)] = c.Measured() && c.InputMode != 0;
        labels_[Index(ch)] = MonitorLabelText(kNoValue, c.Point);
    }
    values_.fill(kNoValue);
}

bool BalanceTable::RowEnabled(int channel) const { return meas_.Ch(channel).Measured(); }

bool BalanceTable::BalanceEnabled() const {
    return std::any_of(selected_.begin(), selected_.end(), [](bool s) { return s; });
}

void BalanceTable::ClickCell(int channel) {
    // A disabled row takes no clicks.
    if (!RowEnabled(channel)) return;
    if (meas_.Ch(channel).InputMode != 0) {
        selected_[Index(channel)] = !selected_[Index(channel)];
        comment1_.clear();
    } else {
        comment1_ = transport_.Connection().Ui().Text(txt::CannotBalance);
    }
    comment2_.clear();
}

bool BalanceTable::Tick() {
    const std::string reply = transport_.ReadMonitorData();
    if (Failed()) return false;
    MoniData data{};
    if (!ParseMonitorReply(reply, meas_, data)) return false;
    values_ = data;
    labels_ = MonitorLabelTexts(values_, meas_);
    return true;
}

BalanceEnd BalanceTable::Balance() {
    UiPort& ui = transport_.Connection().Ui();
    ui.SetPointer(Pointer::Hourglass);
    // The first failure ends the sequence; it is said once, at the end.
    FailureScope scope(transport_);
    BalanceEnd end;
    bool ok = true;
    transport_.SendCommand("RES", 1);
    ok = !Failed();
    // Once RES is taken the instrument measures only the channels selected after it, until the
    // measured ones are all selected again.
    end.reselected = !ok;
    for (int ch = 1; ok && ch <= kChannels; ++ch) {
        if (!selected_[Index(ch)]) continue;
        transport_.SendCommand("SET" + std::to_string(ch), 1);
        ok = !Failed();
    }
    std::string failed = scope.Command();
    // How far a cancelled balance got: BAL not sent, sent without its answer, or answered.
    int cancelledText = txt::BalanceCancelled;
    if (ok) {
        const std::string reply = transport_.SendCommand("BAL", 0);
        if (reply.rfind("END", 0) != 0 && reply.rfind("ERR-012", 0) != 0) {
            failed = "BAL";
            cancelledText = txt::BalanceCancelledWhileBalancing;
        } else {
            cancelledText = txt::BalanceCancelledAfterBalance;
        }
    }
    // A request to end that came while BAL was awaited (it is not repeated, so nothing asked
    // for it) is taken now: the SETs that follow are tried once.
    if (transport_.beforeRepeat) transport_.beforeRepeat();
    // The measured channels are selected again, unless the link itself failed; the first SET
    // that fails ends it.
    for (int ch = 1; ok && ch <= kChannels; ++ch)
        if (meas_.Ch(ch).Measured()) {
            transport_.SendCommand("SET" + std::to_string(ch), 1);
            if (Failed()) {
                ok = false;
                if (failed.empty()) failed = scope.Command();
            }
        }
    if (ok) end.reselected = true;
    if (!failed.empty()) ok = false;
    ui.SetPointer(Pointer::Default);
    // A wait the user cancelled is not the instrument's fault.
    end.cancelled = !ok && transport_.stopRequested;
    if (end.cancelled)
        ui.ShowMessage(ui.Text(cancelledText), ui.Text(txt::CautionTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    else if (!ok)
        ui.ShowMessage(TextWith(ui.language, txt::LostDuringBalance, {failed}), ui.Text(txt::GpibErrorTitle),
                       MsgIcon::Exclamation, MsgButtons::Ok);
    return end;
}

}  // namespace kmr
