// Every route to the instrument, driven end to end by the program's link code, gives the same
// replies and words as the in-process simulator: the NI-488.2 and VISA backends through their
// real loading path (stand-in libraries that answer from the simulator), and the Prologix
// backend through the kmr-sim adapter server on a loopback port.
#include <gtest/gtest.h>

#include <memory>

#include "link/InterfaceSpec.h"
#include "link/NiGpibBus.h"
#include "link/RouteExchange.h"
#include "link/VisaBus.h"
#include "sim/PrologixServer.h"
#include "sim/SimBus.h"

namespace kmr {
namespace {

using test::MakeSim;
using test::RouteResult;
using test::RunFullExchange;
using test::StandIn;

const RouteResult& InProcess() {
    static const RouteResult result = [] {
        auto simBus = MakeSim();
        return RunFullExchange(*simBus);
    }();
    return result;
}

// The full exchange over the bus `spec` makes gives what the in-process simulator gives.
std::unique_ptr<GpibBus> ExpectSameAsInProcess(const std::string& spec) {
    std::string error;
    auto bus = MakeGpibBus(spec, error);
    EXPECT_NE(bus, nullptr) << error;
    if (bus == nullptr) return bus;
    const RouteResult r = RunFullExchange(*bus);
    const RouteResult& want = InProcess();  // itself checked below
    EXPECT_EQ(r.status, RunStatus::Ok);
    EXPECT_EQ(r.messages, std::vector<std::string>{});
    EXPECT_EQ(r.replies, want.replies);
    EXPECT_EQ(r.identity, want.identity);
    EXPECT_TRUE(r.words == want.words) << "the words read differ (" << r.words.size() << " channels)";
    return bus;
}

// What every route is compared with: the model the options name and both channels' ramps, every
// block continuing the one before.
TEST(RoutesEndToEnd, InProcessSimulatorRecordsARampOnBothChannels) {
    const RouteResult& r = InProcess();
    EXPECT_EQ(r.status, RunStatus::Ok);
    EXPECT_EQ(r.identity.InstrumentModel, kModelKmr530A);
    ASSERT_EQ(r.words.size(), 2u);
    for (int c = 0; c < 2; ++c)
        for (std::int32_t i = 0; i < test::kRouteWords; i += 4999)
            EXPECT_EQ(r.words[c][i], static_cast<std::int16_t>((7 * i + 1000 * (c + 1)) % 65536)) << c << " " << i;
}

// Every way a GP-IB library offers the status of a call; the library saw the open sequence with
// board 0, the address, the timeout code, EOT 1 and EOS 0, and the board taken off-line at the end.
TEST(NiGpibRoute, FullExchangeMatchesTheInProcessSimulator) {
    for (const auto& [path, statusSource] : {std::pair{KMR_FAKE_GPIB_THREAD, "ThreadIbsta"},
                                             std::pair{KMR_FAKE_GPIB_GLOBAL, "ibsta"},
                                             std::pair{KMR_FAKE_GPIB_USER, "user_ibsta"}}) {
        SCOPED_TRACE(statusSource);
        auto simBus = MakeSim();
        StandIn standIn(path, *simBus);
        auto bus = ExpectSameAsInProcess(std::string("gpib:lib=") + path);
        ASSERT_NE(bus, nullptr);
        EXPECT_EQ(static_cast<NiGpibBus&>(*bus).StatusSource(), statusSource);
        const std::string calls = standIn.Calls();
        EXPECT_EQ(calls.rfind("ibdev(0,20,0,13,1,0)\nSendIFC(0)\nDevClear(0,20)\nibdev(0,20,0,13,1,0)\n", 0), 0u)
            << calls;
        EXPECT_NE(calls.find("ibonl(0,0)"), std::string::npos);
    }
}

TEST(VisaRoute, FullExchangeMatchesTheInProcessSimulator) {
    auto simBus = MakeSim();
    StandIn standIn(KMR_FAKE_VISA, *simBus);
    ExpectSameAsInProcess(std::string("visa:lib=") + KMR_FAKE_VISA);
    auto attribute = reinterpret_cast<long long (*)(std::uint32_t)>(
        standIn.Symbol("kmr_fake_attribute"));
    ASSERT_NE(attribute, nullptr);
    EXPECT_EQ(attribute(visa::kAttrTmoValue), 10000) << "timeout code 13 is 10 s";
    EXPECT_EQ(attribute(visa::kAttrSendEndEn), 1) << "END with the last byte";
    EXPECT_EQ(attribute(visa::kAttrTermCharEn), 0) << "no termination character";
    const std::string calls = standIn.Calls();
    for (const char* call : {"viOpen GPIB0::20::INSTR", "viClear", "viGpibSendIFC"})
        EXPECT_NE(calls.find(call), std::string::npos) << calls;
}

TEST(PrologixAndSimRoutes, FullExchangeThroughTheKmrSimServerMatchesTheInProcessSimulator) {
    auto simBus = MakeSim();
    PrologixServer server(*simBus, {.port = 0});
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    ExpectSameAsInProcess("prologix:127.0.0.1:" + std::to_string(server.Port()));
}

}  // namespace
}  // namespace kmr
