// kmr-sim serves one client at a time: no client can keep the next one out. After each abuse a
// well-behaved client opens the connection and identifies the instrument within its timeout.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <string>

#include "link/PrologixBus.h"
#include "sim/PrologixServer.h"
#include "sim/SimBus.h"

namespace kmr {
namespace {

constexpr int kT3s = 12;

struct Abuse {
    const char* name;
    std::function<void(TcpSocket&)> act;  // on a connection the server has taken
    const char* logged;                   // what the server says about it
};

void SendRaw(TcpSocket& c, const std::string& bytes) {
    c.SendAll(bytes.data(), bytes.size(), std::chrono::steady_clock::now() + std::chrono::seconds(3));
}

std::string Repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
}

class AdapterAbuse : public ::testing::TestWithParam<Abuse> {};

TEST_P(AdapterAbuse, TheNextClientGetsIn) {
    sim::SimBus instrument(*sim::ParseSimOptions("sim:time=instant").options);
    std::ostringstream log;
    PrologixServer server(instrument, {.port = 0, .log = &log, .idle = std::chrono::milliseconds(200)});
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;

    TcpSocket abuser = TcpSocket::Connect("127.0.0.1", server.Port(), 1000, error);
    ASSERT_TRUE(abuser.Valid()) << error;
    SendRaw(abuser, "++ver\n");  // served: the server has taken this client
    char answer[128];
    std::size_t got = 0;
    abuser.ReceiveSome(answer, sizeof answer, got,
                       std::chrono::steady_clock::now() + std::chrono::seconds(3));
    ASSERT_GT(got, 0u);
    GetParam().act(abuser);

    PrologixBus bus("127.0.0.1", server.Port());
    int d = -1;
    ASSERT_FALSE(bus.OpenDevice(0, 20, 0, kT3s, 1, 0, d).error()) << bus.LastProblem();
    ASSERT_FALSE(bus.DeviceClear(0, 20).error()) << bus.LastProblem();
    bus.Write(d, "VER\r\n", 5);
    std::string reply(250, '\0');
    const GpibStatus st = bus.Read(d, reply.data(), reply.size());
    reply.resize(static_cast<std::size_t>(std::max(0, st.ibcnt)));
    EXPECT_EQ(reply, "VER2.10\r\n");
    server.Stop();
    EXPECT_NE(log.str().find(GetParam().logged), std::string::npos) << log.str();
}

INSTANTIATE_TEST_SUITE_P(
    Clients, AdapterAbuse,
    ::testing::Values(
        Abuse{"SilentClient", [](TcpSocket&) {}, "sent nothing for 200 ms; dropped"},
        // A thousand reads of nothing (each waited out for 500 ms) queued, then gone.
        Abuse{"QueuedReadsThenGone",
              [](TcpSocket& c) {
                  SendRaw(c, Repeat("++read eoi\n", 1000));
                  c.Close();
              },
              "queued commands dropped"},
        // A thousand slow reads queued, then silence with the connection open: the idle limit
        // counts from the last byte received, not from the last line worked off.
        Abuse{"QueuedReadsThenSilent",
              [](TcpSocket& c) { SendRaw(c, Repeat("++read eoi\n", 1000)); },
              "sent nothing for 200 ms; dropped"},
        Abuse{"LineWithoutEnd",
              [](TcpSocket& c) { SendRaw(c, std::string(1 << 20, 'x')); },
              "longer than 16384 bytes dropped"},
        Abuse{"FloodOfReads",
              [](TcpSocket& c) { SendRaw(c, Repeat("++read eoi\n", 20000)); },
              "sends faster than the instrument answers"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kmr
