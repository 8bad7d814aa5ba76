#include "core/conditions/CndLoad.h"

#include <cmath>
#include <utility>

namespace kmr {

LoadResult LoadCndFile(const std::string& path, const std::function<bool(CndReader&)>& readItems,
                       const std::function<SaveResult()>& save) {
    LoadResult result;
    {
        // The reader closes the file when it goes out of scope, before any rewrite.
        CndReader reader(path);
        result.complete = reader.opened() && readItems(reader) && !reader.failed();
    }
    if (!result.complete) {
        result.save = save();
        result.rewritten = result.save.ok;
    }
    return result;
}

bool ReadInt16In(CndReader& r, std::int16_t& field, int lo, int hi) {
    std::int16_t v = 0;
    if (!r.ReadInt16(v) || v < lo || v > hi) return false;
    field = v;
    return true;
}

bool ReadInt32In(CndReader& r, std::int32_t& field, std::int32_t lo, std::int32_t hi) {
    std::int32_t v = 0;
    if (!r.ReadInt32(v) || v < lo || v > hi) return false;
    field = v;
    return true;
}

bool ReadFiniteFloat(CndReader& r, float& field, bool nonNegative) {
    float v = 0.0f;
    if (!r.ReadFloat(v) || !std::isfinite(v) || (nonNegative && v < 0.0f)) return false;
    field = v;
    return true;
}

bool ReadFiniteDouble(CndReader& r, double& field) {
    double v = 0.0;
    if (!r.ReadDouble(v) || !std::isfinite(v)) return false;
    field = v;
    return true;
}

bool ReadTextItem(CndReader& r, std::string& field, bool nonEmpty) {
    std::string v;
    if (!r.ReadText(v) || (nonEmpty && v.empty())) return false;
    field = std::move(v);
    return true;
}

}  // namespace kmr
