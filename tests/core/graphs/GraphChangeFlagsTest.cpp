#include "core/graphs/GraphChangeFlags.h"

#include <gtest/gtest.h>

#include <functional>

namespace kmr {
namespace {

struct FlagCase {
    const char* name;
    std::function<void(GraphConditions&)> edit;
    const char* flags;  // positions 1..16
};

TEST(GraphChangeFlags, EachEditMarksExactlyItsPositions) {
    GraphConditions live;
    SetGraphDefaults(live);
    for (const FlagCase& c : {
        FlagCase{"Nothing", [](GraphConditions&) {}, "0000000000000000"},
        // The span and the monitor division alone set only their own positions.
        FlagCase{"Span", [](GraphConditions& g) { g.X.Xspace = 20; }, "0100000000000000"},
        FlagCase{"MonitorDivision", [](GraphConditions& g) { g.X.XscaleDivM = 4; }, "0010000000000000"},
        FlagCase{"Pitch", [](GraphConditions& g) { g.X.Xpich = 2; }, "1000000000000000"},
        FlagCase{"XGrid", [](GraphConditions& g) { g.X.Xgrid = 0; }, "1000000000000000"},
        FlagCase{"GraphDivision", [](GraphConditions& g) { g.X.XscaleDivG = 5; }, "1000000000000000"},
        // The X range: its ends, and the automatic switch that moves both.
        FlagCase{"XMaximum", [](GraphConditions& g) { g.X.XscaleMaxG = 2.5; }, "0001000000000000"},
        FlagCase{"XMinimum", [](GraphConditions& g) { g.X.XscaleMinG = 0.5; }, "0000100000000000"},
        FlagCase{"XAuto", [](GraphConditions& g) { g.X.XAutoScale = 0; }, "1001100000000000"},
        // A channel's scale needs a redraw.
        FlagCase{"YMaximum", [](GraphConditions& g) { g.Ch[4].YscaleMax = 11.0; }, "1000000000000000"},
        FlagCase{"YMinimumByTheLeastAmount",
                 [](GraphConditions& g) { g.Ch[9].YscaleMin = 5e-324; }, "1000000000000000"},
        FlagCase{"YDivision", [](GraphConditions& g) { g.Ch[0].YscaleDiv = 3; }, "1000000000000000"},
        FlagCase{"YGridAndAuto", [](GraphConditions& g) { g.Ch[1].Ygrid = 0; g.Ch[1].AutoScale = 0; },
                 "1000000000000000"},
        // Shown anew: position 6 and the channel's own 7 + index.
        FlagCase{"Channel3Shown", [](GraphConditions& g) { g.Ch[2].Use = 1; }, "1000010010000000"},
        FlagCase{"Channels3And10Shown", [](GraphConditions& g) { g.Ch[2].Use = 1; g.Ch[9].Use = 1; },
                 "1000010010000001"},
        // Hidden is a redraw, not a graph shown.
        FlagCase{"Channel1Hidden", [](GraphConditions& g) { g.Ch[0].Use = 0; }, "1000000000000000"},
        // The run-time window of the monitor is not the form's.
        FlagCase{"MonitorWindow", [](GraphConditions& g) { g.X.XscaleMaxM = 35; g.X.XscaleMinM = 25; },
                 "0000000000000000"}}) {
        SCOPED_TRACE(c.name);
        GraphConditions edited = live;
        c.edit(edited);
        const GraphChangeFlags f = GraphChangeFlags::Between(edited, live);
        EXPECT_EQ(f.Text(), c.flags);
        EXPECT_EQ(f.Any(), std::string(c.flags).find('1') != std::string::npos);
    }
    // A graph read as neither on nor off counts as shown when ticked.
    live.Ch[3].Use = 7;  // read from Graph.cnd unchecked; shows nothing
    GraphConditions edited = live;
    edited.Ch[3].Use = 1;
    const GraphChangeFlags f = GraphChangeFlags::Between(edited, live);
    EXPECT_TRUE(f.At(6));
    EXPECT_TRUE(f.NewlyShown(3));
    EXPECT_FALSE(f.NewlyShown(2));
    EXPECT_FALSE(f.At(0));
    EXPECT_FALSE(f.At(17));
}

}  // namespace
}  // namespace kmr
