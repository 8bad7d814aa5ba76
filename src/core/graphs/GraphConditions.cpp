#include "core/graphs/GraphConditions.h"

#include <cmath>

#include "core/conditions/CndLoad.h"
#include "core/graphs/ChartModel.h"

namespace kmr {

void SetGraphDefaults(GraphConditions& g) {
    g.X = XAxisCondition{};
    for (std::size_t i = 0; i < g.Ch.size(); ++i) {
        g.Ch[i] = ChannelGraphCondition{};
        g.Ch[i].Use = i < 2 ? 1 : 0;
    }
}

SaveResult SaveGraphConditions(const std::string& path, const GraphConditions& g, FileWritePort* writes) {
    CndWriter w;
    for (const auto& c : g.Ch) {
        w.Int(c.Use).Int(c.Ygrid).Int(c.AutoScale).EndLine();
        w.Double(c.YscaleMax).Double(c.YscaleMin).Int(c.YscaleDiv).EndLine();
    }
    return w.Save(path, writes);
}

LoadResult LoadGraphConditions(const std::string& path, GraphConditions& g, FileWritePort* writes) {
    // Flags and ranges are taken as the file holds them; only a division count below 1 is
    // refused, because the drawing divides the axis by it.
    return LoadCndFile(
        path,
        [&g](CndReader& r) {
            for (auto& c : g.Ch) {
                if (!(r.ReadInt16(c.Use) && r.ReadInt16(c.Ygrid) && r.ReadInt16(c.AutoScale) &&
                      ReadFiniteDouble(r, c.YscaleMax) && ReadFiniteDouble(r, c.YscaleMin) &&
                      ReadInt16In(r, c.YscaleDiv, 1, 32767)))
                    return false;
            }
            return r.AtEnd();
        },
        [&] { return SaveGraphConditions(path, g, writes); });
}

void ApplyGraphForm(GraphConditions& g, const GraphConditions& edited) {
    g = edited;
    g.X.XscaleMaxM = static_cast<double>(g.X.Xspace);
    g.X.XscaleMinM = 0.0;
}

void AutoXRange(GraphConditions& g, std::int32_t n, float clockMs) {
    if (g.X.XAutoScale != 1 || n == 0) return;
    const double last = SampleTime(n - 1, clockMs, g.X.XtimeFactor);
    // A record without length (one sample) leaves the end as it was: the X range stays one that
    // the form and a fixed axis take, its end above 0 and above its minimum.
    if (!(last > 0.0) || !std::isfinite(last)) return;
    g.X.XscaleMaxG = last;
    // A minimum set by hand that the new end no longer exceeds starts from the record's start.
    if (g.X.XscaleMinG >= g.X.XscaleMaxG) g.X.XscaleMinG = 0.0;
}

}  // namespace kmr
