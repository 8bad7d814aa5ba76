#pragma once
// The name a transfer's file takes in its folder: the first number whose file (or, for a CSV
// transfer, none of whose lettered or "_incomplete" parts) exists, and what tells a name another
// program took between the choice and the creation.
#include <cstdint>
#include <string>
#include <vector>

#include "core/app/ProgramState.h"

namespace kmr {

// The first number from `number` on whose names are all free in `folder` (N samples per channel).
std::int32_t FreeNumber(const std::string& folder, const std::string& base, std::int16_t fileType,
                        std::int32_t number, std::int32_t n);
// The same for the program's data-file settings.
std::int32_t FreeNumberIn(const ProgramState& s, const std::string& folder, std::int32_t number, std::int32_t n);
// The number the next transfer takes, as the caption and the registration name it: the next number
// after the files present, moved past names already taken (a cancelled CSV's "_incomplete" file, a
// folder of the name).
std::int32_t NextFreeNumber(const std::string& folder, const std::string& base, std::int16_t fileType,
                            std::int32_t memoryWords);

// Something holds the name now, a link to nothing included (which the choice of free names,
// following links, passes over).
bool OccupiedNow(const std::string& path);

// The line that names the data file a failed transfer left at `path`, marked cancelled, with the
// channels it holds whole; empty when no file is there.
std::string LeftBehindNote(Language lang, const std::string& path, const std::vector<int>& whole);

// Channels `broken` not read whole, `command` not answered as expected: several are named as
// channels, and the others are said to have arrived only when some did (`whole`).
std::string LeftOutText(Language lang, const std::string& command, const std::vector<int>& broken,
                        const std::vector<int>& whole);

// Names taken by another program between the choice and the creation, one after another, before
// the failure is said.
inline constexpr int kNameRaces = 16;

}  // namespace kmr
