#pragma once
// The texts of the About window: the program with its version, what it is for, the instruments it
// drives and the instrument it is connected to (or that none is).
#include <string>
#include <vector>

#include "core/app/ProgramState.h"
#include "core/support/TextTable.h"

namespace kmr {

struct AboutText {
    std::string Title;                // text 1701
    std::string Program;              // text 1705, the program name and its version
    std::vector<std::string> About;   // texts 1702, 1703 and 1704
    std::string Instrument;           // text 1706 with the model and its version, or 1706 and 1707
};

// "KMR-530A" or "KMR-510C" of a model flag.
std::string InstrumentModelName(std::int32_t model);

AboutText MakeAboutText(Language lang, const ProgramState& s, const std::string& programVersion);

}  // namespace kmr
