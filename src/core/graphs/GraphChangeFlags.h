#pragma once
// What an edit of the graph conditions changed, as the 16 positions the redraw after the graph
// condition form looks at:
//   1  anything that needs a redraw: Xpich, Xgrid, XAutoScale, XscaleDivG, or a channel's Use,
//      Ygrid, AutoScale, YscaleDiv, YscaleMax, YscaleMin
//   2  Xspace                         3  XscaleDivM
//   4  XscaleMaxG or XAutoScale       5  XscaleMinG or XAutoScale
//   6  some channel's Use went from 0 to 1 (from anything but 1: the graph was not shown)
//   7 + k  channel index k's (0..9) Use went so
// Decimals compare exactly. The run-time fields (XscaleMaxM, XscaleMinM, XtimeFactor) are not
// edited by the form and count for nothing.
#include <bitset>
#include <string>

#include "core/graphs/GraphConditions.h"

namespace kmr {

class GraphChangeFlags {
public:
    static constexpr int kPositions = 16;

    // The flags of `edited` against `current`.
    static GraphChangeFlags Between(const GraphConditions& edited, const GraphConditions& current);

    // Position 1..16; positions outside read as false.
    bool At(int position) const {
        return position >= 1 && position <= kPositions && bits_.test(static_cast<std::size_t>(position - 1));
    }
    bool Any() const { return bits_.any(); }
    // Positions 2 and 3: the monitor span or its divisions.
    bool SpanChanged() const { return At(2); }
    bool MonitorDivisionsChanged() const { return At(3); }
    // Positions 4 and 5: the recorded X range's end or start.
    bool RecordedRangeChanged() const { return At(4) || At(5); }
    // Position 6: some graph is shown that was not.
    bool AnyNewlyShown() const { return At(6); }
    // Channel index 0..9 is newly shown (position 7 + index).
    bool NewlyShown(int index) const { return At(7 + index); }
    // The 16 characters "0"/"1", position 1 first.
    std::string Text() const;

private:
    void Set(int position) { bits_.set(static_cast<std::size_t>(position - 1)); }
    std::bitset<kPositions> bits_;
};

}  // namespace kmr
