#include "core/conditions/CndLoad.h"

#include <cmath>
#include <filesystem>
#include <system_error>
#include <utility>

#include "core/support/SpecialFolders.h"

namespace kmr {

LoadResult LoadCndFile(const std::string& path, const std::function<bool(CndReader&)>& readItems,
                       const std::function<SaveResult()>& save) {
    LoadResult result;
    bool opened = false;
    {
        // The reader closes the file when it goes out of scope, before any rewrite.
        CndReader reader(path);
        opened = reader.opened();
        result.complete = opened && readItems(reader) && !reader.failed();
        result.replaced = reader.replacedItem();
    }
    // A damaged file is kept beside the new one, so that hand-made conditions are not lost.
    if (opened && (!result.complete || result.replaced)) {
        std::error_code ec;
        const std::string copy = path + ".damaged";
        // An older copy goes first: the Windows library does not replace a file it copies onto.
        std::filesystem::remove(PathFromUtf8(copy), ec);
        std::filesystem::copy_file(PathFromUtf8(path), PathFromUtf8(copy), ec);
        if (!ec) result.damagedCopy = copy;
    }
    if (!result.complete || result.replaced) {
        result.save = save();
        result.rewritten = result.save.ok;
    }
    return result;
}

bool ReadInt16In(CndReader& r, std::int16_t& field, int lo, int hi) {
    std::int16_t v = 0;
    if (!r.ReadInt16(v)) return false;
    TakeOffered(r, field, v, [&](std::int16_t x) { return x >= lo && x <= hi; });
    return true;
}

bool ReadInt32In(CndReader& r, std::int32_t& field, std::int32_t lo, std::int32_t hi) {
    std::int32_t v = 0;
    if (!r.ReadInt32(v)) return false;
    TakeOffered(r, field, v, [&](std::int32_t x) { return x >= lo && x <= hi; });
    return true;
}

bool ReadFiniteFloat(CndReader& r, float& field, bool nonNegative) {
    float v = 0.0f;
    if (!r.ReadFloat(v) || !std::isfinite(v)) return false;
    TakeOffered(r, field, v, [&](float x) { return !(nonNegative && x < 0.0f); });
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
    if (!r.ReadText(v)) return false;
    TakeOffered(r, field, v, [&](const std::string& x) { return !(nonEmpty && x.empty()); });
    return true;
}

}  // namespace kmr
