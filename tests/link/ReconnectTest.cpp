// Reconnection on every route: after the connection to the instrument was lost (the adapter
// power-cycled, a USB interface or its driver gone, a VISA session lost), the next write opens it
// again once - the adapter's settings sent again - and the exchange goes on without a restart.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "link/InterfaceSpec.h"
#include "link/PrologixBus.h"
#include "link/RouteExchange.h"
#include "sim/PrologixServer.h"
#include "sim/SimBus.h"

namespace kmr {
namespace {

using test::StandIn;

// One command and its reply line ("" when the exchange failed).
std::string Ask(GpibBus& bus, int ud, const std::string& command) {
    const std::string wire = command + "\r\n";
    if (bus.Write(ud, wire.data(), wire.size()).error()) return {};
    char buffer[250] = {};
    const GpibStatus s = bus.Read(ud, buffer, sizeof buffer);
    if (s.error()) return {};
    const std::string reply(buffer, static_cast<std::size_t>(s.ibcnt));
    return reply.substr(0, reply.find('\r'));
}

TEST(Reconnect, PrologixAdapterRestartedOnTheSamePortIsConnectedAgainByTheNextWrite) {
    auto simBus = test::MakeSim("sim:time=instant");
    std::unique_ptr<PrologixServer> server;
    const auto serve = [&](int port) {  // the adapter (re)started on `port`
        server = std::make_unique<PrologixServer>(*simBus, PrologixServerOptions{.port = port});
        std::string error;
        EXPECT_TRUE(server->Start(error)) << error;
    };
    serve(0);
    const int port = server->Port();
    PrologixBus bus("127.0.0.1", port);
    int ud = -1;
    ASSERT_FALSE(bus.OpenDevice(0, 20, 0, kT10s, 1, 0, ud).error()) << bus.LastProblem();
    ASSERT_EQ(Ask(bus, ud, "VER").substr(0, 3), "VER");
    // The adapter goes: the exchange fails, and keeps failing while it is away.
    server.reset();
    EXPECT_EQ(Ask(bus, ud, "VER"), "");
    EXPECT_EQ(Ask(bus, ud, "VER"), "");
    const std::string where = "127.0.0.1:" + std::to_string(port);
    EXPECT_EQ(bus.LastProblem(), "The connection to the GP-IB adapter at " + where +
                                     " was lost, and connecting again failed: Cannot connect to the GP-IB adapter at " +
                                     where + ": Connection refused. Check that the adapter (or kmr-sim) is running there.");
    // A Japanese program reads all of it in Japanese, the system's reason included.
    bus.UseLanguage(Language::Japanese);
    EXPECT_EQ(Ask(bus, ud, "VER"), "");
    EXPECT_EQ(bus.LastProblem(), where + " の GP-IB アダプタとの接続が切れ、接続し直すこともできませんでした: " + where +
                                     " の GP-IB アダプタに接続できません: 接続が拒否されました。アダプタ (または kmr-sim) "
                                     "がそこで動いているか確認してください。");
    bus.UseLanguage(Language::English);
    EXPECT_EQ(bus.Reopenings(), 0u);
    // Back on the same port: the next write connects and sets the adapter up again (without
    // ++eot_enable and ++addr no reply could be read).
    serve(port);
    EXPECT_EQ(Ask(bus, ud, "VER").substr(0, 3), "VER") << bus.LastProblem();
    EXPECT_EQ(Ask(bus, ud, "VER").substr(0, 3), "VER");
    EXPECT_EQ(bus.Reopenings(), 1u) << "the program is not told that the instrument may have restarted";
    // Gone again while the connection is idle: the next open connects afresh.
    server.reset();
    serve(port);
    const std::size_t written = simBus->Writes().size();
    ASSERT_FALSE(bus.OpenDevice(0, 20, 0, kT10s, 1, 0, ud).error()) << bus.LastProblem();
    EXPECT_EQ(Ask(bus, ud, "VER").substr(0, 3), "VER");
    EXPECT_EQ(simBus->Writes().size(), written + 1) << "the instrument got more than the one command";
    // Gone and back while idle, with no open between (kmr-sim drops an idle client the same way):
    // the first write already reaches the adapter that is there. A trigger is never sent twice,
    // so a first write lost in the closed connection would fail the Start.
    server.reset();
    serve(port);
    EXPECT_EQ(Ask(bus, ud, "VER").substr(0, 3), "VER") << bus.LastProblem();
    EXPECT_EQ(simBus->Writes().size(), written + 2);
    EXPECT_EQ(bus.Reopenings(), 2u) << "the program is not told that the instrument may have restarted";
}

// A stand-in library whose interface (GP-IB) or session (VISA) goes away and comes back; the
// first call since the connection came back, and the calls the reopen must make.
TEST(Reconnect, AGpibOrVisaConnectionLostIsOpenedAgainByTheNextWrite) {
    const std::tuple<const char*, const char*, std::string, std::vector<std::string>, std::string> cases[] = {
        // Opened again with the open's parameters, the old descriptor taken off-line first.
        {"gpib", KMR_FAKE_GPIB_THREAD, "ibonl(", {"ibdev(0,20,0,13,1,0)"},
         "GP-IB 機器との接続が失われ、GP-IB ライブラリ "},
        {"visa", KMR_FAKE_VISA, "", {"viOpen GPIB0::20::INSTR", "viSetAttribute 0x3FFF001A 10000"},
         "VISA セッションが失われ ("},
    };
    for (const auto& [route, library, firstCall, reopenCalls, failedReopen] : cases) {
        SCOPED_TRACE(route);
        auto simBus = test::MakeSim("sim:time=instant");
        StandIn standIn(library, *simBus);
        auto attach = reinterpret_cast<void (*)(GpibBus*)>(standIn.Symbol("kmr_fake_attach"));
        std::string error;
        auto bus = MakeGpibBus(std::string(route) + ":lib=" + library, error);
        ASSERT_NE(bus, nullptr) << error;
        int ud = -1;
        ASSERT_FALSE(bus->OpenDevice(0, 20, 0, kT10s, 1, 0, ud).error());
        ASSERT_EQ(Ask(*bus, ud, "VER").substr(0, 3), "VER");
        bus->UseLanguage(Language::Japanese);
        attach(nullptr);  // gone: ENEB, or VI_ERROR_INV_OBJECT
        EXPECT_EQ(Ask(*bus, ud, "VER"), "");
        EXPECT_EQ(Ask(*bus, ud, "VER"), "");  // the reopen fails while it is away, said in Japanese
        EXPECT_EQ(bus->LastProblem().rfind(failedReopen, 0), 0u) << bus->LastProblem();
        EXPECT_EQ(bus->LastProblem().find(" gave "), std::string::npos) << bus->LastProblem();
        standIn.Attach(*simBus);
        EXPECT_EQ(Ask(*bus, ud, "VER").substr(0, 3), "VER") << bus->LastProblem();
        EXPECT_EQ(bus->Reopenings(), 1u);
        const std::string calls = standIn.Calls();
        EXPECT_EQ(calls.rfind(firstCall, 0), 0u) << calls;
        for (const std::string& call : reopenCalls) EXPECT_NE(calls.find(call), std::string::npos) << calls;
    }
}

}  // namespace
}  // namespace kmr
