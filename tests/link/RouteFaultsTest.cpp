// The faults of the instrument and of the routes, seen through the program's link code.
//
// One table holds every fault the simulated instrument can inject; each row runs over every
// route (the in-process simulator, the stand-in NI-488.2 and VISA libraries, and kmr-sim over
// TCP) and must give the same message and RunStatus. The tests after it are faults that only
// one route has: libraries that are missing or unusable, adapters that misbehave.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/instrument/CommandSet.h"
#include "link/InterfaceSpec.h"
#include "link/RouteExchange.h"
#include "link/NiGpibBus.h"
#include "link/SharedLibrary.h"
#include "link/VisaBus.h"
#include "sim/PrologixServer.h"
#include "sim/SimBus.h"
#include "support/LinkHarness.h"

namespace kmr {
namespace {

constexpr const char* kCannotOpen = "Cannot open communication port.";
constexpr const char* kSend = "Cannot Comunicate. (Error sending Command.) ";
constexpr const char* kReceive = "Cannot Comunicate. (Error receiving Data.)";
constexpr int kT300ms = 10;
using test::StandIn;

std::unique_ptr<GpibBus> Bus(const std::string& spec) {
    std::string error;
    auto bus = MakeGpibBus(spec, error);
    EXPECT_NE(bus, nullptr) << error;
    return bus;
}

enum class Route { Sim, Gpib, Visa, Prologix };

constexpr const char* kRouteNames[] = {"Sim", "Gpib", "Visa", "Prologix"};

using Link = testing::LinkOver<GpibBus&>;

// The program's link code over one route to a simulated instrument.
class RouteLink {
public:
    RouteLink(Route route, const std::string& simSpec)
        : sim_(*sim::ParseSimOptions(simSpec).options, time) {
        GpibBus* bus = &sim_;
        if (route == Route::Gpib || route == Route::Visa) {
            const char* library = route == Route::Gpib ? KMR_FAKE_GPIB_THREAD : KMR_FAKE_VISA;
            standIn_ = std::make_unique<StandIn>(library, sim_);
            owned_ = Bus(std::string(route == Route::Gpib ? "gpib:lib=" : "visa:lib=") + library);
        } else if (route == Route::Prologix) {
            server_ = std::make_unique<PrologixServer>(sim_, PrologixServerOptions{.port = 0});
            std::string error;
            EXPECT_TRUE(server_->Start(error)) << error;
            owned_ = Bus("prologix:127.0.0.1:" + std::to_string(server_->Port()));
            timeoutCode_ = kT300ms;  // over TCP a timeout takes real time
        }
        if (owned_) bus = owned_.get();
        link_ = std::make_unique<Link>(*bus);
    }
    Link& operator*() { return *link_; }
    Link* operator->() { return link_.get(); }
    void Open() { link_->conn.OpenGpibDevice(timeoutCode_); }

    std::shared_ptr<sim::ManualTimeSource> time = std::make_shared<sim::ManualTimeSource>();

private:
    sim::SimBus sim_;
    std::unique_ptr<StandIn> standIn_;
    std::unique_ptr<PrologixServer> server_;
    std::unique_ptr<GpibBus> owned_;
    std::unique_ptr<Link> link_;
    int timeoutCode_ = kT10s;
};

struct FaultCase {
    const char* name;
    const char* fault;
    std::function<void(Link&)> act;  // after the open
    RunStatus status;
    const char* text;  // the message starts so (an open failure adds the route's own sentence)
    const char* title;
};

using FaultOnRoute = std::tuple<FaultCase, Route>;

class RouteFaults : public ::testing::TestWithParam<FaultOnRoute> {};

TEST_P(RouteFaults, SameMessageAndStatusOnEveryRoute) {
    const auto& [c, route] = GetParam();
    RouteLink l(route, std::string("sim:time=instant,pattern=ramp,fault=") + c.fault);
    l.Open();
    if (c.act) c.act(*l);
    EXPECT_EQ(l->status, c.status);
    ASSERT_EQ(l->ui.shown.size(), 1u);
    const std::string& text = l->ui.shown[0].text;
    EXPECT_EQ(text.substr(0, std::string(c.text).size()), c.text) << text;
    EXPECT_EQ(l->ui.shown[0].title, c.title);
    EXPECT_EQ(l->ui.shown[0].icon, MsgIcon::Exclamation);
    // At most three attempts of one 10 s timeout each, all in simulated time.
    if (route != Route::Prologix) {
        EXPECT_LE(l.time->Now(), 30.0 + 1e-9);
    }
}

void Initialise(Link& l) { l.cs.InitialiseInstrument(); }
void ReadMonitor(Link& l) { l.transport.ReadMonitorData(); }
// Sends `command` once with retries.
std::function<void(Link&)> Sending(const char* command) {
    return [command](Link& l) { l.transport.SendCommand(command, 1); };
}

const FaultCase kFaults[] = {
    {"NoListener", "nolistener", nullptr, RunStatus::CommFailed, kCannotOpen, "GP-IB error"},
    {"RemoteSensing", "SET1:ERR-022", Initialise, RunStatus::Refused,
     "Cannot make remote-sensing for bridge voltage. Confirm extened cable.", "Error"},
    {"NoChannel", "nochannel", [](Link& l) { l.cs.IdentifyInstrument(); },
     RunStatus::Ok, "Effective channel does not exist in KMR-530A/510C.", "Error"},
    {"ErrorReply", "EOC:ERR-012", Sending("EOC"), RunStatus::CommFailed, kSend, "GP-IB error"},
    {"NoReply", "HLT:noreply", Sending("HLT"), RunStatus::CommFailed, kSend, "GP-IB error"},
    {"Garbage", "TRG:garbage", Sending("TRG"), RunStatus::CommFailed, kSend, "GP-IB error"},
    {"ShortLine", "EOC:short", Sending("EOC"), RunStatus::CommFailed, kSend, "GP-IB error"},
    {"MonitorSilent", "MDT:noreply", ReadMonitor, RunStatus::CommFailed, kSend, "GP-IB error"},
    {"MonitorGarbage", "MDT:garbage", ReadMonitor, RunStatus::CommFailed, kSend, "GP-IB error"},
    {"ShortBlock", "BDT:short",
     [](Link& l) {
         std::vector<std::int16_t> d(10000, 7);
         l.transport.ReadMemoryBlock(d.data(), 0, 10000);
         EXPECT_EQ(d[0], 7) << "a broken block leaves the samples alone";
     },
     RunStatus::CommFailed, kReceive, "GP-IB error"},
    {"DownloadRefused", "AVE*:ERR-002",
     [](Link& l) { l.cs.DownloadConditions(kFullChangeMask); },
     RunStatus::CommFailed, kSend, "GP-IB error"},
    {"DateRefused", "DTE*:ERR-002", Initialise, RunStatus::CommFailed, kSend, "GP-IB error"},
};

INSTANTIATE_TEST_SUITE_P(
    Table, RouteFaults,
    ::testing::Combine(::testing::ValuesIn(kFaults),
                       ::testing::Values(Route::Sim, Route::Gpib, Route::Visa, Route::Prologix)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + kRouteNames[static_cast<int>(std::get<1>(info.param))];
    });

// --- Faults of one route -----------------------------------------------------------------------

// An open that fails must show "Cannot open communication port." with the bus's own sentence in
// the program's language, and set RunStatus 1.
void ExpectOpenFailure(GpibBus& bus, const std::vector<std::string>& mentions, std::int16_t address = 20,
                       Language lang = Language::English) {
    Link link(bus);
    link.settings.Address = address;
    link.ui.language = lang;
    link.Open();
    EXPECT_FALSE(link.conn.IsConnected());
    EXPECT_EQ(link.status, RunStatus::CommFailed);
    ASSERT_EQ(link.ui.shown.size(), 1u);
    const std::string& text = link.ui.shown.front().text;
    EXPECT_EQ(text.rfind(Text(lang, txt::CannotOpenPort), 0), 0u) << text;
    for (const std::string& m : mentions) EXPECT_NE(text.find(m), std::string::npos) << text;
    EXPECT_EQ(link.ui.shown.front().title, Text(lang, txt::GpibErrorTitle));
    if (lang != Language::Japanese) return;
    // (the system's own reason, such as the loader's, may stay English)
    for (const char* english : {"The ", "Cannot connect", "No instrument", "No NI", "Check", "Install", "Accepted",
                                "refused", "no answer", "unknown host"})
        EXPECT_EQ(text.find(english), std::string::npos) << english << " in " << text;
}

// With no library named, every usual name tried is named (unless this machine has the real thing);
// a library named that is missing or unusable is refused saying why.
TEST(RouteFaultsOfOneRoute, MissingOrUnusableLibrariesAreRefusedClearly) {
    const std::pair<const char*, std::vector<std::string>> routes[] = {
        {"gpib", NiGpibBus::DefaultLibraryNames()}, {"visa", VisaBus::DefaultLibraryNames()}};
    for (const auto& [spec, names] : routes) {
        bool installed = false;
        for (const std::string& name : names) {
            SharedLibrary probe;
            std::string why;
            installed = installed || probe.Open(name, why);
        }
        if (installed) continue;  // this machine has the real thing
        auto bus = Bus(spec);
        ExpectOpenFailure(*bus, names);
    }
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"/nonexistent/libgpib.so.0", {"/nonexistent/libgpib.so.0", "gpib:lib=PATH"}},
        {KMR_FAKE_GPIB_NONE, {"ThreadIbsta", "ibsta", KMR_FAKE_GPIB_NONE}},
        {KMR_FAKE_VISA, {"has no ibdev"}}};
    for (const auto& [library, mentions] : cases) {
        auto bus = Bus("gpib:lib=" + library);
        ExpectOpenFailure(*bus, mentions);
    }
}

// A VISA resource that does not exist, an adapter that refuses the connection, and no instrument
// at the address behind the adapter (found by the serial poll at open, not by the first command
// after its timeout) are open failures that name what is missing; the Japanese program says so in
// Japanese, as it does for a mistyped spec and a missing library.
TEST(RouteFaultsOfOneRoute, OpenFailuresNameWhatIsMissingInTheProgramsLanguage) {
    constexpr Language kJa = Language::Japanese;
    sim::SimBus simBus(*sim::ParseSimOptions("sim:time=instant").options);
    StandIn standIn(KMR_FAKE_VISA, simBus);
    auto visa = Bus(std::string("visa:lib=") + KMR_FAKE_VISA + ",GPIB0::31::INSTR");
    ExpectOpenFailure(*visa, {"GPIB0::31::INSTR", "VI_ERROR_RSRC_NFOUND"});
    ExpectOpenFailure(*MakeGpibBusOrExplain("prologix:"),
                      {"インターフェース \"prologix:\" にホストがありません", "使える形式: gpib, gpib:lib=PATH"}, 20, kJa);
    ExpectOpenFailure(*Bus("gpib:lib=/nonexistent/libgpib.so.0"),
                      {"GP-IB ライブラリを読み込めません", "/nonexistent/libgpib.so.0"}, 20, kJa);

    std::string error;
    const int closedPort = TcpListener::Listen("127.0.0.1", 0, error).Port();  // closed again at once
    const std::string where = "127.0.0.1:" + std::to_string(closedPort);
    auto refused = Bus("prologix:" + where);
    ExpectOpenFailure(*refused, {"Cannot connect to the GP-IB adapter at " + where +
                                 ": Connection refused. Check that the adapter (or kmr-sim) is running there."});
    // The system's reason too is said in Japanese.
    ExpectOpenFailure(*refused, {where + " の GP-IB アダプタに接続できません: 接続が拒否されました。アダプタ "
                                         "(または kmr-sim) がそこで動いているか確認してください。"},
                      20, kJa);

    PrologixServer server(simBus, {.port = 0, .address = 20});
    ASSERT_TRUE(server.Start(error)) << error;
    auto bus = Bus("prologix:127.0.0.1:" + std::to_string(server.Port()));
    ExpectOpenFailure(*bus, {"GP-IB アドレス 5 で測定器が応答しません"}, 5, kJa);
    // The same bus tells the next open's failure in English again when asked to.
    ExpectOpenFailure(*bus, {"No instrument answers at GP-IB address 5"}, 5);
}

}  // namespace
}  // namespace kmr
