#pragma once
// Graph conditions: the X-axis part (not stored) and ten per-channel parts (Graph.cnd).
#include <array>
#include <cstdint>
#include <string>

#include "core/support/CndFile.h"

namespace kmr {

struct XAxisCondition {
    double XscaleMaxG = 10.0;
    double XscaleMinG = 0.0;
    std::int16_t XscaleDivG = 10;
    double XscaleMaxM = 10.0;
    double XscaleMinM = 0.0;
    std::int16_t XscaleDivM = 10;
    std::int32_t Xspace = 10;
    std::int16_t Xpich = 5;
    double XtimeFactor = 0.001;
    std::int16_t XAutoScale = 1;
    std::int16_t Xgrid = 1;

    bool GridOn() const { return Xgrid == 1; }
    bool AutoScaleOn() const { return XAutoScale == 1; }
    bool operator==(const XAxisCondition&) const = default;
};

struct ChannelGraphCondition {
    std::int16_t Use = 0;
    std::int16_t Ygrid = 1;
    std::int16_t AutoScale = 1;
    double YscaleMax = 10.0;
    double YscaleMin = 0.0;
    std::int16_t YscaleDiv = 10;

    bool Shown() const { return Use == 1; }
    bool GridOn() const { return Ygrid == 1; }
    bool AutoScaleOn() const { return AutoScale == 1; }
    bool operator==(const ChannelGraphCondition&) const = default;
};

struct GraphConditions {
    XAxisCondition X;
    std::array<ChannelGraphCondition, 10> Ch{};  // entry 0 is channel 1

    bool operator==(const GraphConditions&) const = default;
};

void SetGraphDefaults(GraphConditions& g);
LoadResult LoadGraphConditions(const std::string& path, GraphConditions& g, FileWritePort* writes);
SaveResult SaveGraphConditions(const std::string& path, const GraphConditions& g, FileWritePort* writes);
// Copies the form's edited record and restarts the monitor window at [0, Span].
void ApplyGraphForm(GraphConditions& g, const GraphConditions& edited);
// When XAutoScale = 1 and the record has a length: XscaleMaxG = (n - 1) * clockMs * XtimeFactor,
// and XscaleMinG back to 0 when it is no longer below it.
void AutoXRange(GraphConditions& g, std::int32_t n, float clockMs);

}  // namespace kmr
