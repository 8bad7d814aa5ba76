#include "core/conditions/OutputCal.h"

#include "core/conditions/CndLoad.h"

namespace kmr {

SaveResult SaveOutputCal(const std::string& path, const OutputCalConditions& c, FileWritePort* writes) {
    CndWriter w;
    for (const auto& ch : c) w.Int(ch.Use).Float(ch.Value).EndLine();
    return w.Save(path, writes);
}

LoadResult LoadOutputCal(const std::string& path, OutputCalConditions& c, FileWritePort* writes) {
    // Use is 0 or 1 and a calibration value is never negative; anything else keeps its default.
    return LoadCndFile(
        path,
        [&c](CndReader& r) {
            for (auto& ch : c)
                if (!(ReadInt16In(r, ch.Use, kFlagRange) &&
                      ReadFiniteFloat(r, ch.Value, /*nonNegative=*/true)))
                    return false;
            return true;
        },
        [&] { return SaveOutputCal(path, c, writes); });
}

}  // namespace kmr
