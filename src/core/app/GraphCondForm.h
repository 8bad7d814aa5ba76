#pragma once
// The graph condition form without its window: a working copy of the graph conditions that the
// window's check boxes and text boxes edit, the entry rules of every box, which controls are
// enabled, and what OK, Cancel and the close box do. Nothing reaches the live conditions before a
// confirmed OK.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/app/Engine.h"
#include "core/app/FormRules.h"
#include "core/conditions/MeasConditions.h"
#include "core/graphs/GraphChangeFlags.h"
#include "core/graphs/GraphConditions.h"

namespace kmr {

// The text boxes of the form; the Y boxes carry their channel 1..10.
enum class GraphField { Xspace, Xpich, XscaleDivM, XscaleMaxG, XscaleMinG, XscaleDivG, YscaleMax, YscaleMin, YscaleDiv };
struct GraphFieldRef {
    GraphField field = GraphField::Xspace;
    int channel = 0;  // 1..10 for the Y boxes
    bool operator==(const GraphFieldRef&) const = default;
};

class GraphCondForm {
public:
    // `meas` decides which channel labels are enabled (the measured channels).
    GraphCondForm(const GraphConditions& live, const MeasConditions& meas);

    const GraphConditions& Working() const { return w_; }

    // Check boxes write the working copy when clicked.
    void SetXgrid(bool on) { w_.X.Xgrid = on ? 1 : 0; }
    void SetXAutoScale(bool on) { w_.X.XAutoScale = on ? 1 : 0; }
    void SetUse(int channel, bool on) { Ch(channel).Use = on ? 1 : 0; }
    void SetYgrid(int channel, bool on) { Ch(channel).Ygrid = on ? 1 : 0; }
    void SetAutoScale(int channel, bool on) { Ch(channel).AutoScale = on ? 1 : 0; }

    // Commits a typed text (Enter or leaving the box): trimmed, full-width to half-width, upper
    // case, validated; stores the value when valid. Returns whether it was accepted; the box then
    // shows Text(field) either way (an empty or refused entry is no error).
    bool Commit(GraphFieldRef field, std::string_view typed);
    // The normalised form of a box's working value: whole numbers as digits, decimals as
    // FormatDouble writes them.
    std::string Text(GraphFieldRef field) const;

    // Enabling: the graph-scale boxes of the X axis while the X scale is not automatic; a
    // channel's Grid and Auto boxes while its graph is on, its three scale boxes while it is on
    // and not automatic; its label while the channel is measured.
    bool XGraphScaleEnabled() const { return !w_.X.AutoScaleOn(); }
    bool ChannelChecksEnabled(int channel) const { return Ch(channel).Shown(); }
    bool ChannelScaleEnabled(int channel) const { return Ch(channel).Shown() && !Ch(channel).AutoScaleOn(); }
    bool ChannelLabelEnabled(int channel) const { return measured_[Index(channel)]; }

    // The text box clicked last, committed before a close by the close box. Every box counts, the
    // pitch box too: a pitch typed and then closed with the close box is asked about like a span.
    void Clicked(GraphFieldRef field) { lastClicked_ = field; }
    std::optional<GraphFieldRef> LastClicked() const { return lastClicked_; }

    GraphChangeFlags Flags(const GraphConditions& live) const { return GraphChangeFlags::Between(w_, live); }
    bool AnyGraphOn() const;

private:
    static std::size_t Index(int channel);
    ChannelGraphCondition& Ch(int channel) { return w_.Ch[Index(channel)]; }
    const ChannelGraphCondition& Ch(int channel) const { return w_.Ch[Index(channel)]; }

    GraphConditions w_;
    std::array<bool, kChannels> measured_{};
    std::optional<GraphFieldRef> lastClicked_;
};

// OK: no graph on (110), a monitor span shorter than the pitch (2513), no change (close), question 157; on Yes `disable` the form, hourglass,
// the copy into the live conditions, the axes, then in monitor mode a restart of the monitor
// graphs when the span, the monitor division or a newly shown graph asks for it, in recorded
// mode the shown part of the record recomputed (by the first measured channel) and drawn for the
// newly shown graphs, or for every shown graph when the X range changed; the statistics of the
// shown measured channels, Graph.cnd saved. The rows of the main window follow the new axes when
// the charts' batch ends.
FormOutcome GraphCondOk(Engine& e, GraphCondForm& form, Language lang, const std::function<void()>& disable);

}  // namespace kmr
