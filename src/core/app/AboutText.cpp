#include "core/app/AboutText.h"

#include "core/support/TextTable.h"

namespace kmr {

std::string InstrumentModelName(std::int32_t model) {
    return model == kModelKmr510C ? "KMR-510C" : "KMR-530A";
}

AboutText MakeAboutText(Language lang, const ProgramState& s, const std::string& programVersion) {
    auto Text = [lang](int id) { return kmr::Text(lang, id); };
    AboutText a;
    a.Title = Text(1701);
    a.Program = Text(1705) + " KMR-5300  Ver. " + programVersion;
    a.About = {Text(1702), Text(1703), Text(1704)};
    // Only an instrument that start-up connected and identified has a model and a version.
    if (s.ProgramMode == kModeOnline)
        a.Instrument = Text(1706) + " " + InstrumentModelName(s.Instrument.InstrumentModel) + "  Ver. " +
                       s.Instrument.InstrumentVersion;
    else
        a.Instrument = Text(1706) + Text(1707);
    return a;
}

}  // namespace kmr
