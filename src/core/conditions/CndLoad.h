#pragma once
// The one load pattern of every condition file: read the file's fixed item list in order, store
// each item only when it was read and is valid, and on any failure rewrite the file complete from
// the record in memory (what was read plus the values it held before). No message is shown; the
// caller learns what happened from the LoadResult.
#include <cstdint>
#include <functional>
#include <string>

#include "core/support/CndFile.h"
#include "core/support/InstrumentFacts.h"

namespace kmr {

// `readItems` reads the items in order and returns false at the first item that is missing, not
// a number, out of range or outside its field's domain; `save` writes the whole file from memory.
LoadResult LoadCndFile(const std::string& path, const std::function<bool(CndReader&)>& readItems,
                       const std::function<SaveResult()>& save);

// Item readers for `readItems`: each reads one item, checks it against [lo, hi] and stores it in
// `field` only when it is accepted. They return false (field untouched) otherwise.
bool ReadInt16In(CndReader& r, std::int16_t& field, int lo, int hi);
inline bool ReadInt16In(CndReader& r, std::int16_t& field, FieldRange range) {
    return ReadInt16In(r, field, range.lo, range.hi);
}
bool ReadInt32In(CndReader& r, std::int32_t& field, std::int32_t lo, std::int32_t hi);
// Any finite float; with `nonNegative` a value below 0 is refused.
bool ReadFiniteFloat(CndReader& r, float& field, bool nonNegative = false);
bool ReadFiniteDouble(CndReader& r, double& field);
// A quoted text; with `nonEmpty` an empty text is refused.
bool ReadTextItem(CndReader& r, std::string& field, bool nonEmpty = false);

}  // namespace kmr
