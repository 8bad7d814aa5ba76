#pragma once
// The name a transfer's file takes in its folder: the first number whose file (or, for a CSV
// transfer, none of whose lettered or "_incomplete" parts) exists, and what tells a name another
// program took between the choice and the creation.
#include <cstdint>
#include <string>

#include "core/app/ProgramState.h"

namespace kmr {

// The first number from `number` on whose names are all free in `folder` (N samples per channel).
std::int32_t FreeNumberIn(const ProgramState& s, const std::string& folder, std::int32_t number, std::int32_t n);

// Something holds the name now, a link to nothing included (which the choice of free names,
// following links, passes over).
bool OccupiedNow(const std::string& path);

// Names taken by another program between the choice and the creation, one after another, before
// the failure is said.
inline constexpr int kNameRaces = 16;

}  // namespace kmr
