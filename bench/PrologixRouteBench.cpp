// The Prologix route against the in-process simulator, through the same link code: one channel of
// a full recording (507904 words in blocks of 10000) and 2000 "EOC" polls, each once over the
// kmr-sim adapter server on loopback and once in process. Prints both times and their ratios: the
// cost of TCP and of the adapter's framing (each read asks "++read eoi" and "++ver" together).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/support/TextTable.h"
#include "link/PrologixBus.h"
#include "sim/PrologixServer.h"
#include "sim/SimBus.h"
#include "support/LinkHarness.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int32_t kWords = 507904;
constexpr std::int16_t kBlock = 10000;
constexpr int kPolls = 2000;

struct Timing {
    double transfer = 0;
    double polls = 0;
    long long checksum = 0;
};

Timing Measure(kmr::GpibBus& bus) {
    kmr::testing::LinkOver<kmr::GpibBus&> link(bus);
    auto& conn = link.conn;
    auto& t = link.transport;
    link.Open();
    Timing r;
    if (!conn.IsConnected()) return r;
    t.SendCommand("RES", 1);
    t.SendCommand("SET1", 1);
    t.SendCommand("MRY " + std::to_string(kWords), 1);
    t.SendCommand("TRG", 1);
    t.SendCommand("EOC", 1);
    t.SendCommand("RES", 1);
    t.SendCommand("SET1", 1);
    std::vector<std::int16_t> words(kWords);
    auto t0 = Clock::now();
    for (std::int32_t start = 0; start < kWords; start += kBlock) {
        const auto n = static_cast<std::int16_t>(std::min<std::int32_t>(kBlock, kWords - start));
        t.ReadMemoryBlock(words.data(), start, n);
    }
    r.transfer = std::chrono::duration<double>(Clock::now() - t0).count();
    for (std::int16_t w : words) r.checksum += w;
    t0 = Clock::now();
    for (int i = 0; i < kPolls; ++i) t.SendCommand("EOC", 1);
    r.polls = std::chrono::duration<double>(Clock::now() - t0).count();
    conn.CloseGpibDevice();
    return r;
}

}  // namespace

int main() {
    const auto opts = *kmr::sim::ParseSimOptions("sim:time=instant,pattern=ramp").options;

    kmr::sim::SimBus local(opts);
    const Timing in = Measure(local);

    kmr::sim::SimBus served(opts);
    kmr::PrologixServerOptions serverOptions;
    serverOptions.port = 0;
    kmr::PrologixServer server(served, serverOptions);
    std::string error;
    if (!server.Start(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    kmr::PrologixBus tcp("127.0.0.1", server.Port());
    const Timing net = Measure(tcp);
    server.Stop();

    std::printf("one channel, %d words in blocks of %d:\n", kWords, kBlock);
    std::printf("  in process %.4f s, over kmr-sim on loopback %.4f s, ratio %.1f\n", in.transfer,
                net.transfer, in.transfer > 0 ? net.transfer / in.transfer : 0.0);
    std::printf("%d EOC polls:\n", kPolls);
    std::printf("  in process %.4f s (%.1f us each), over kmr-sim %.4f s (%.1f us each), ratio %.1f\n",
                in.polls, 1e6 * in.polls / kPolls, net.polls, 1e6 * net.polls / kPolls,
                in.polls > 0 ? net.polls / in.polls : 0.0);
    std::printf("same words: %s\n", in.checksum == net.checksum ? "yes" : "NO");
    return in.checksum == net.checksum ? 0 : 1;
}
