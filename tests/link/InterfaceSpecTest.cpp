#include <gtest/gtest.h>

#include "link/InterfaceSpec.h"

namespace kmr {
namespace {

struct Accepted {
    const char* text;
    InterfaceSpec::Kind kind;
    const char* library;
    const char* resource;
    const char* host;
    int port;
    const char* simOptions;
};

class InterfaceSpecAccepts : public ::testing::TestWithParam<Accepted> {};

TEST_P(InterfaceSpecAccepts, Parses) {
    const Accepted& a = GetParam();
    std::string error;
    auto spec = ParseInterfaceSpec(a.text, error);
    ASSERT_TRUE(spec.has_value()) << error;
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(spec->kind, a.kind);
    EXPECT_EQ(spec->library, a.library);
    EXPECT_EQ(spec->resource, a.resource);
    EXPECT_EQ(spec->host, a.host);
    EXPECT_EQ(spec->port, a.port);
    EXPECT_EQ(spec->simOptions, a.simOptions);
}

using K = InterfaceSpec::Kind;
INSTANTIATE_TEST_SUITE_P(
    Forms, InterfaceSpecAccepts,
    ::testing::Values(
        Accepted{"gpib", K::Gpib, "", "", "", 0, ""},
        Accepted{"  GPIB \r\n", K::Gpib, "", "", "", 0, ""},
        Accepted{"gpib:lib=/opt/gpib/lib/libgpib.so.0", K::Gpib, "/opt/gpib/lib/libgpib.so.0", "",
                 "", 0, ""},
        Accepted{"visa", K::Visa, "", "", "", 0, ""},
        Accepted{"visa:GPIB1::7::INSTR", K::Visa, "", "GPIB1::7::INSTR", "", 0, ""},
        Accepted{"visa:TCPIP0::10.0.0.5::gpib0,20::INSTR", K::Visa, "", "TCPIP0::10.0.0.5::gpib0,20::INSTR",
                 "", 0, ""},
        Accepted{"visa:lib=/usr/lib/libvisa.so", K::Visa, "/usr/lib/libvisa.so", "", "", 0, ""},
        Accepted{"visa:lib=/x/libvisa.so,GPIB0::20::INSTR", K::Visa, "/x/libvisa.so",
                 "GPIB0::20::INSTR", "", 0, ""},
        Accepted{"visa:lib=/x/v.so, TCPIP::h::gpib0,2::INSTR", K::Visa, "/x/v.so",
                 "TCPIP::h::gpib0,2::INSTR", "", 0, ""},
        Accepted{"prologix:192.168.1.20", K::Prologix, "", "", "192.168.1.20", 1234, ""},
        Accepted{"prologix:localhost:5025", K::Prologix, "", "", "localhost", 5025, ""},
        Accepted{"Prologix:[::1]:1300", K::Prologix, "", "", "::1", 1300, ""},
        Accepted{"prologix:fe80::1", K::Prologix, "", "", "fe80::1", 1234, ""},
        Accepted{"sim", K::Sim, "", "", "", 0, ""},
        Accepted{"sim:model=530A,memory=1", K::Sim, "", "", "", 0, "model=530A,memory=1"}));

class InterfaceSpecRefuses : public ::testing::TestWithParam<std::pair<const char*, const char*>> {
};

TEST_P(InterfaceSpecRefuses, SaysWhatIsWrongAndWhatIsAccepted) {
    auto [text, why] = GetParam();
    std::string error;
    EXPECT_FALSE(ParseInterfaceSpec(text, error).has_value());
    EXPECT_NE(error.find(why), std::string::npos) << error;
    EXPECT_NE(error.find("Accepted forms: gpib, gpib:lib=PATH, visa"), std::string::npos) << error;
    EXPECT_NE(error.find("prologix:HOST[:PORT]"), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, InterfaceSpecRefuses,
    ::testing::Values(std::pair{"", "empty"}, std::pair{"   ", "empty"},
                      std::pair{"serial:/dev/ttyUSB0", "\"serial:/dev/ttyUSB0\" is not one"},
                      std::pair{"gpib:board=1", "only lib=PATH"},
                      std::pair{"gpib:lib=", "only lib=PATH"},
                      std::pair{"visa:", "names no VISA resource"},
                      std::pair{"visa:lib=a,lib=b", "one lib=PATH"},
                      std::pair{"visa:lib=,GPIB0::1::INSTR", "lib= must name"},
                      std::pair{"prologix", "names no host"},
                      std::pair{"prologix:", "names no host"},
                      std::pair{"prologix::1234", "names no host"},
                      std::pair{"prologix:host:0", "no valid port"},
                      std::pair{"prologix:host:65536", "no valid port"},
                      std::pair{"prologix:host:12a", "no valid port"},
                      std::pair{"prologix:host:", "no valid port"},
                      std::pair{"prologix:[::1", "closing"},
                      std::pair{"sim:model=999", "sim option 'model=999'"},
                      std::pair{"sim:colour=red", "unknown key"}));

TEST(InterfaceSpec, MakesTheBackendTheSpecNamesWithoutLoadingAnything) {
    std::string error;
    struct Case {
        const char* text;
        const char* describe;
    } cases[] = {{"gpib", "gpib"},
                 {"gpib:lib=/nowhere/libgpib.so", "gpib:lib=/nowhere/libgpib.so"},
                 {"visa", "visa"},
                 {"visa:lib=/nowhere/libvisa.so,GPIB0::3::INSTR",
                  "visa:lib=/nowhere/libvisa.so,GPIB0::3::INSTR"},
                 {"prologix:127.0.0.1", "prologix:127.0.0.1:1234"},
                 {"prologix:[::1]:99", "prologix:[::1]:99"},
                 {"sim:model=530A,time=instant", "sim"}};
    for (const Case& c : cases) {
        auto bus = MakeGpibBus(c.text, error);
        ASSERT_NE(bus, nullptr) << c.text << ": " << error;
        EXPECT_EQ(bus->Describe(), c.describe);
    }
    EXPECT_EQ(MakeGpibBus("nonsense", error), nullptr);
    EXPECT_NE(error.find("Accepted forms"), std::string::npos);
}

TEST(InterfaceSpec, ASpecThatCannotWorkGivesABusWhoseOpenSaysWhy) {
    auto bus = MakeGpibBusOrExplain("prologix:");
    ASSERT_NE(bus, nullptr);
    int d = 0;
    GpibStatus st = bus->OpenDevice(0, 20, 0, kT10s, 1, 0, d);
    EXPECT_LT(d, 0);
    EXPECT_TRUE(st.error());
    EXPECT_NE(bus->LastProblem().find("names no host"), std::string::npos) << bus->LastProblem();
    EXPECT_TRUE(bus->Read(1, nullptr, 0).error());
    EXPECT_EQ(MakeGpibBusOrExplain("prologix:h")->Describe(), "prologix:h:1234");
}

}  // namespace
}  // namespace kmr
