#include "core/app/AboutText.h"

#include "core/support/TextTable.h"

namespace kmr {

std::string InstrumentModelName(std::int32_t model) {
    return model == kModelKmr510C ? "KMR-510C" : "KMR-530A";
}

AboutText MakeAboutText(Language lang, const ProgramState& s, const std::string& programVersion) {
    auto Text = [lang](int id) { return kmr::Text(lang, id); };
    AboutText a;
    a.Title = Text(txt::AboutTitle);
    a.Program = Text(txt::AboutProgramName) + " KMR-5300  Ver. " + programVersion;
    a.About = {Text(txt::AboutPurpose), Text(txt::AboutBlankLine), Text(txt::AboutInstruments)};
    // Only an instrument that start-up connected and identified has a model and a version.
    if (s.ProgramMode == kModeOnline)
        a.Instrument = Text(txt::AboutInstrumentName) + " " + InstrumentModelName(s.Instrument.InstrumentModel) +
                       "  Ver. " + s.Instrument.InstrumentVersion;
    else
        a.Instrument = Text(txt::AboutInstrumentName) + Text(txt::AboutNotConnected);
    return a;
}

}  // namespace kmr
