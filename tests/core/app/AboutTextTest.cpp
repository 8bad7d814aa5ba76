#include "core/app/AboutText.h"

#include <gtest/gtest.h>

#include "core/support/TextTable.h"

namespace kmr {
namespace {

TEST(AboutTextTest, OnlineNamesTheModelAndItsVersionOfflineNone) {
    ProgramState s;
    s.ProgramMode = kModeOnline;
    s.Instrument.InstrumentModel = kModelKmr510C;
    s.Instrument.InstrumentVersion = "1.02";
    const AboutText a = MakeAboutText(Language::English, s, "0.1");
    EXPECT_EQ(a.Program, "Data storage software KMR-5300  Ver. 0.1");
    EXPECT_EQ(a.Instrument, "Digital dynamics strainmeter KMR-510C  Ver. 1.02");
    // Off-line and while starting, no instrument is named, whatever version was read.
    for (std::int16_t mode : {kModeOffline, kModeStarting}) {
        s.ProgramMode = mode;
        EXPECT_EQ(MakeAboutText(Language::English, s, "0.1").Instrument,
                  "Digital dynamics strainmeter is not connected.");
    }
}

}  // namespace
}  // namespace kmr
