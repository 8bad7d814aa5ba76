#include <gtest/gtest.h>

#include <tuple>

#include "link/InterfaceSpec.h"

namespace kmr {
namespace {

TEST(InterfaceSpec, AcceptedForms) {
    using K = InterfaceSpec::Kind;
    // The text; the kind, library, resource, host, port and simulator options it gives.
    const std::tuple<const char*, K, std::string, std::string, std::string, int, std::string> cases[] = {
        {"  GPIB \r\n", K::Gpib, "", "", "", 0, ""},
        {"gpib:lib=/opt/gpib/lib/libgpib.so.0", K::Gpib, "/opt/gpib/lib/libgpib.so.0", "", "", 0, ""},
        {"visa", K::Visa, "", "", "", 0, ""},
        {"visa:TCPIP0::10.0.0.5::gpib0,20::INSTR", K::Visa, "", "TCPIP0::10.0.0.5::gpib0,20::INSTR", "", 0, ""},
        {"visa:lib=/usr/lib/libvisa.so", K::Visa, "/usr/lib/libvisa.so", "", "", 0, ""},
        {"visa:lib=/x/v.so, TCPIP::h::gpib0,2::INSTR", K::Visa, "/x/v.so", "TCPIP::h::gpib0,2::INSTR", "", 0, ""},
        {"prologix:192.168.1.20", K::Prologix, "", "", "192.168.1.20", 1234, ""},
        {"prologix:localhost:5025", K::Prologix, "", "", "localhost", 5025, ""},
        {"Prologix:[::1]:1300", K::Prologix, "", "", "::1", 1300, ""},
        {"prologix:fe80::1", K::Prologix, "", "", "fe80::1", 1234, ""},
        {"sim", K::Sim, "", "", "", 0, ""},
        {"sim:model=530A,memory=1", K::Sim, "", "", "", 0, "model=530A,memory=1"},
    };
    for (const auto& [text, kind, library, resource, host, port, simOptions] : cases) {
        SCOPED_TRACE(text);
        std::string error;
        auto spec = ParseInterfaceSpec(text, error);
        ASSERT_TRUE(spec.has_value()) << error;
        EXPECT_TRUE(error.empty());
        EXPECT_EQ(std::tie(spec->kind, spec->library, spec->resource, spec->host, spec->port, spec->simOptions),
                  std::tie(kind, library, resource, host, port, simOptions));
    }
}

// A refusal says what is wrong and lists the accepted forms.
TEST(InterfaceSpec, RefusedForms) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "empty"}, {"   ", "empty"}, {"serial:/dev/ttyUSB0", "\"serial:/dev/ttyUSB0\" is not one"},
        {"gpib:board=1", "only lib=PATH"}, {"gpib:lib=", "only lib=PATH"}, {"visa:", "names no VISA resource"},
        {"visa:lib=a,lib=b", "one lib=PATH"}, {"visa:lib=,GPIB0::1::INSTR", "lib= must name"},
        {"prologix", "names no host"}, {"prologix:", "names no host"}, {"prologix::1234", "names no host"},
        {"prologix:host:0", "no valid port"}, {"prologix:host:65536", "no valid port"},
        {"prologix:host:12a", "no valid port"}, {"prologix:host:", "no valid port"}, {"prologix:[::1", "closing"},
        {"sim:model=999", "sim option 'model=999'"}, {"sim:colour=red", "unknown key"},
    };
    for (const auto& [text, why] : cases) {
        std::string error;
        EXPECT_FALSE(ParseInterfaceSpec(text, error).has_value()) << text;
        EXPECT_NE(error.find(why), std::string::npos) << error;
        EXPECT_NE(error.find("Accepted forms: gpib, gpib:lib=PATH, visa"), std::string::npos) << error;
    }
}

// A nonsense spec makes no bus; one that cannot work makes a bus whose open says why (in the
// program's language: RouteFaultsOfOneRoute). A bus names its host as it was given, an IPv6 host in
// brackets, and its port. (Each backend made from its spec and used, a missing library found only
// at the open: the route tests.)
TEST(InterfaceSpec, MakesNoBusFromNonsenseAndFromASpecThatCannotWorkABusWhoseOpenSaysWhy) {
    std::string error;
    EXPECT_EQ(MakeGpibBus("nonsense", error), nullptr);
    EXPECT_NE(error.find("Accepted forms"), std::string::npos);
    EXPECT_EQ(MakeGpibBus("prologix:[::1]:99", error)->Describe(), "prologix:[::1]:99");
    EXPECT_EQ(MakeGpibBusOrExplain("prologix:h")->Describe(), "prologix:h:1234");
    auto bus = MakeGpibBusOrExplain("prologix:");
    ASSERT_NE(bus, nullptr);
    int d = 0;
    EXPECT_TRUE(bus->OpenDevice(0, 20, 0, kT10s, 1, 0, d).error());
    EXPECT_LT(d, 0);
    EXPECT_NE(bus->LastProblem().find("names no host"), std::string::npos) << bus->LastProblem();
    EXPECT_TRUE(bus->Read(1, nullptr, 0).error());
}

}  // namespace
}  // namespace kmr
