#pragma once
// Progress of the transfer and the conversion: the shared counters, the percentage shown and the
// Cancel button, which sets RunStatus to Cancelled.
#include <cstdint>
#include <string>

#include "core/support/RunStatus.h"

namespace kmr {

// The progress window (or a progress bar on a terminal).
class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void Show(const std::string& label1, const std::string& label2) = 0;
    virtual void SetPercent(int percent) = 0;  // 0..100
    virtual void Close() = 0;
    // Lets the window process pending events; returns true when Cancel was pressed since the
    // last call (the button is then disabled).
    virtual bool ProcessEventsAndCheckCancel() = 0;
};

// A view that shows nothing and never cancels.
class NullProgressView : public ProgressView {
public:
    void Show(const std::string&, const std::string&) override {}
    void SetPercent(int) override {}
    void Close() override {}
    bool ProcessEventsAndCheckCancel() override { return false; }
};

struct Progress {
    std::int16_t MaxPBCount = 1;
    std::int16_t ProgressStep = 0;
    std::int16_t ProgressCounter = 0;
    std::int16_t ProgressIncrement = 10;
    std::int16_t TransferBlockWords = 10000;
    double FinishedVol = 0.0;
    double AllVol = 1.0;
    double CurrentVol = 1.0;

    // Percentage of step s: round((Finished/All + s/MaxPBCount * Current/All) * 100), at most 100.
    int PercentOf(int step) const;

    // One advance: process pending events (Cancel sets `status` to Cancelled), then raise
    // ProgressStep and show its percentage.
    void Advance(ProgressView& view, RunStatus& status);

    // Counts `ProgressIncrement` for one line or value of the CSV writer; every
    // TransferBlockWords it yields, stops on a cancel (returns false) or advances the step.
    bool CountUnit(ProgressView& view, RunStatus& status);
};

}  // namespace kmr
