#pragma once
// The one load pattern of every condition file: read the file's fixed item list in order and
// rewrite the file complete from the record in memory when something was wrong. No message is
// shown; the caller learns what happened from the LoadResult.
//
// Two kinds of wrong items:
// - the reading stops at a missing item, text where a number is expected or a number outside its
//   type (16 or 32 bits, float): the items read before keep their values, the rest keep the
//   values they held (the defaults);
// - a number of the right type that is not one of the field's choices (clock 2.5, filter 5, an
//   unknown input mode) replaces only that item by the value it held (its default); every other
//   item of the file is still read and kept.
#include <cstdint>
#include <functional>
#include <string>

#include "core/support/CndFile.h"
#include "core/support/InstrumentFacts.h"

namespace kmr {

// `readItems` reads the items in order and returns false at the first item that stops the reading;
// `save` writes the whole file from memory.
LoadResult LoadCndFile(const std::string& path, const std::function<bool(CndReader&)>& readItems,
                       const std::function<SaveResult()>& save);

// Item readers for `readItems`: each reads one item and returns false when it stops the reading.
// A value outside [lo, hi] (or the stated choices) leaves `field` as it is, notes the replaced item
// on the reader and returns true.
bool ReadInt16In(CndReader& r, std::int16_t& field, int lo, int hi);
inline bool ReadInt16In(CndReader& r, std::int16_t& field, FieldRange range) {
    return ReadInt16In(r, field, range.lo, range.hi);
}
bool ReadInt32In(CndReader& r, std::int32_t& field, std::int32_t lo, std::int32_t hi);
// Any finite float; with `nonNegative` a value below 0 is replaced.
bool ReadFiniteFloat(CndReader& r, float& field, bool nonNegative = false);
bool ReadFiniteDouble(CndReader& r, double& field);
// A quoted text; with `nonEmpty` an empty text is replaced.
bool ReadTextItem(CndReader& r, std::string& field, bool nonEmpty = false);
// Takes a value of the right type: stores it when `offered` holds, else notes the replaced item.
template <class T, class Offered>
void TakeOffered(CndReader& r, T& field, const T& value, Offered offered) {
    if (offered(value))
        field = value;
    else
        r.NoteReplacedItem();
}

}  // namespace kmr
