#include "core/conditions/CndLoad.h"

#include <cmath>
#include <filesystem>
#include <system_error>
#include <utility>

#include "core/support/SpecialFolders.h"

namespace kmr {

namespace {

// The names a damaged file's copy may take, tried in this order: NAME.damaged, NAME.damaged-2, ...
constexpr int kDamagedCopyNames = 5;

// Copies a damaged file beside it; the copy's name, or empty when no copy could be made.
std::string KeepDamagedCopy(const std::string& path) {
    namespace fs = std::filesystem;
    for (int n = 1; n <= kDamagedCopyNames; ++n) {
        const std::string copy = path + ".damaged" + (n == 1 ? std::string() : "-" + std::to_string(n));
        const fs::path to = PathFromUtf8(copy);
        std::error_code ec;
        // An older copy goes first: the Windows library does not replace a file it copies onto.
        // Anything else of that name (a folder) is left alone, and the next name tried.
        const fs::file_status there = fs::symlink_status(to, ec);
        if (fs::exists(there) && !fs::is_regular_file(there) && !fs::is_symlink(there)) continue;
        fs::remove(to, ec);
        if (fs::copy_file(PathFromUtf8(path), to, ec) && !ec) return copy;
        fs::remove(to, ec);  // a copy cut short (a full disk) is no copy
    }
    return {};
}

}  // namespace

LoadResult LoadCndFile(const std::string& path, const std::function<bool(CndReader&)>& readItems,
                       const std::function<SaveResult()>& save) {
    LoadResult result;
    result.file = path;
    bool opened = false;
    {
        // The reader closes the file when it goes out of scope, before any rewrite.
        CndReader reader(path);
        opened = reader.opened();
        result.complete = opened && readItems(reader) && !reader.failed();
        result.replaced = reader.replacedItem();
    }
    if (result.complete && !result.replaced) return result;
    // A damaged file is kept beside the new one, so that hand-made conditions are not lost; one
    // that is there but cannot be opened is kept too. When no copy can be made the file is left
    // as it was: the defaults serve this run, and the caller says so.
    std::error_code ec;
    if (opened || std::filesystem::is_regular_file(PathFromUtf8(path), ec)) {
        result.damagedCopy = KeepDamagedCopy(path);
        if (result.damagedCopy.empty()) {
            result.leftAsItWas = true;
            return result;
        }
    }
    result.save = save();
    result.rewritten = result.save.ok;
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
