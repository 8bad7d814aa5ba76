#include "core/graphs/GraphChangeFlags.h"

namespace kmr {

GraphChangeFlags GraphChangeFlags::Between(const GraphConditions& edited, const GraphConditions& current) {
    GraphChangeFlags f;
    const XAxisCondition& a = edited.X;
    const XAxisCondition& b = current.X;
    if (a.Xpich != b.Xpich || a.Xgrid != b.Xgrid || a.XAutoScale != b.XAutoScale || a.XscaleDivG != b.XscaleDivG)
        f.Set(1);
    if (a.Xspace != b.Xspace) f.Set(2);
    if (a.XscaleDivM != b.XscaleDivM) f.Set(3);
    if (a.XscaleMaxG != b.XscaleMaxG || a.XAutoScale != b.XAutoScale) f.Set(4);
    if (a.XscaleMinG != b.XscaleMinG || a.XAutoScale != b.XAutoScale) f.Set(5);
    for (std::size_t k = 0; k < edited.Ch.size(); ++k) {
        const ChannelGraphCondition& c = edited.Ch[k];
        const ChannelGraphCondition& d = current.Ch[k];
        if (c.Use != d.Use || c.Ygrid != d.Ygrid || c.AutoScale != d.AutoScale || c.YscaleDiv != d.YscaleDiv ||
            c.YscaleMax != d.YscaleMax || c.YscaleMin != d.YscaleMin)
            f.Set(1);
        // Shown now and not before (a value other than 0 or 1 read from Graph.cnd shows nothing).
        if (!d.Shown() && c.Shown()) {
            f.Set(6);
            f.Set(7 + static_cast<int>(k));
        }
    }
    return f;
}

std::string GraphChangeFlags::Text() const {
    std::string out(kPositions, '0');
    for (int p = 1; p <= kPositions; ++p)
        if (At(p)) out[static_cast<std::size_t>(p - 1)] = '1';
    return out;
}

}  // namespace kmr
