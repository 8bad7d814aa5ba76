#pragma once
// The balance window's logic: the live table of the measured channels, the choice of the strain
// channels to balance and the balance command ("BAL") itself.
#include <array>
#include <string>

#include "core/conditions/MeasConditions.h"
#include "core/instrument/CommandTransport.h"
#include "core/measurement/MonitorData.h"

namespace kmr {

// How a balance ended, for the window that made it.
struct BalanceEnd {
    // The user's Cancel of a wait ended it (said as a cancel, not as a lost instrument).
    bool cancelled = false;
    // Every measured channel was selected again on the instrument; otherwise it measures other
    // channels than the program reads until it is given its conditions again.
    bool reselected = true;
};

class BalanceTable {
public:
    // Measured channels are enabled; the strain ones start selected, the voltage ones do not.
    BalanceTable(CommandTransport& transport, const MeasConditions& meas);

    bool RowEnabled(int channel) const;
    bool Selected(int channel) const { return selected_[Index(channel)]; }
    // At least one channel is selected.
    bool BalanceEnabled() const;
    const std::string& Comment1() const { return comment1_; }
    const std::string& Comment2() const { return comment2_; }
    // The data labels: "----" until a value arrives, then the value with the channel's decimals.
    const std::array<std::string, kChannels>& Labels() const { return labels_; }
    const MoniData& Values() const { return values_; }

    // A click on a channel's data cell: strain channels toggle, a voltage channel only says
    // "Cannot make balance measurement.".
    void ClickCell(int channel);

    // One tick of the window's 250 ms timer: reads the monitor line and fills the labels. False
    // when the read failed or the reply was malformed: monitoring stops and the window closes.
    bool Tick();

    // "RES", "SET n" for each selected channel, "BAL" (one attempt: END and ERR-012, a voltage
    // channel among the selected, end quietly; any other reply shows the communication message),
    // then "SET n" for every measured channel so the instrument measures them all again. The
    // first command that fails ends it. A Cancel of a wait is said as such, with how far the
    // balance got.
    BalanceEnd Balance();

private:
    static std::size_t Index(int channel) { return static_cast<std::size_t>(channel - 1); }
    bool Failed() const { return transport_.Connection().Status() == RunStatus::CommFailed; }

    CommandTransport& transport_;
    const MeasConditions& meas_;
    std::array<bool, kChannels> selected_{};
    std::array<std::string, kChannels> labels_;
    MoniData values_{};
    std::string comment1_, comment2_;
};

}  // namespace kmr
