// Reading a full recording (10 channels x 507904 words) from the simulated instrument through the
// program's link in blocks of 10000 words, against the bare cost of producing the same bytes in
// the instrument model. The ratio shows what the link (framing, status copies, word decoding)
// adds on top of the instrument; the target is a ratio of at most 2.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/LinkHarness.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int32_t kWords = 507904;
constexpr std::int16_t kBlock = 10000;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main() {
    kmr::testing::SimLink sim("sim:time=instant,pattern=ramp");
    auto& bus = sim.bus;
    auto& t = sim.transport;
    const kmr::RunStatus& status = sim.status;

    std::vector<std::int16_t> buffer(kWords + 1);
    long long checksum = 0;

    // The instrument alone: the same commands and blocks straight from the model.
    auto& inst = bus.Instrument();
    const auto m0 = Clock::now();
    for (int ch = 1; ch <= 10; ++ch) {
        inst.Write("RES\r\n");
        inst.Write("SET" + std::to_string(ch) + "\r\n");
        for (std::int32_t start = 0; start < kWords; start += kBlock) {
            const std::int32_t n = std::min<std::int32_t>(kBlock, kWords - start);
            inst.Write("MRY " + std::to_string(n) + ";" + std::to_string(start) + "\r\n");
            checksum += static_cast<unsigned char>(inst.Write("BDT\r\n").bytes[0]);
        }
    }
    const double model = Seconds(Clock::now() - m0);

    // Through the link.
    const auto l0 = Clock::now();
    for (int ch = 1; ch <= 10; ++ch) {
        t.SendCommand("RES", 1);
        t.SendCommand("SET" + std::to_string(ch), 1);
        for (std::int32_t start = 0; start < kWords; start += kBlock) {
            const auto n = static_cast<std::int16_t>(std::min<std::int32_t>(kBlock, kWords - start));
            t.ReadMemoryBlock(buffer.data(), start, n);
            if (status != kmr::RunStatus::Ok) {
                std::printf("transfer failed at channel %d word %d\n", ch, start);
                return 1;
            }
        }
        checksum += buffer[kWords - 1];
    }
    const double link = Seconds(Clock::now() - l0);

    std::printf("block transfer, 10 x %d words in blocks of %d (checksum %lld)\n", kWords, kBlock,
                checksum);
    std::printf("  instrument model alone: %.3f s\n", model);
    std::printf("  through the link:       %.3f s (%.1f Mwords/s)\n", link, 10.0 * kWords / link / 1e6);
    std::printf("  ratio link / model:     %.2f (target <= 2)\n", link / model);
    return 0;
}
