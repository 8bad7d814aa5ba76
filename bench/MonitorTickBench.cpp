// One monitor tick of the main window with ten channels: on a full one-hour strip (72000 points
// per chart at 50 ms) against a tick on an empty strip. Prints both times and their ratio; the
// target is a ratio of at most 2.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/graphs/ChartModel.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kTickMs = 50;
constexpr int kHourPoints = 72000;

std::array<float, kmr::kCharts> ValuesAt(std::uint64_t n) {
    std::array<float, kmr::kCharts> v;
    for (int c = 0; c < kmr::kCharts; ++c) {
        const double t = static_cast<double>(n) * 0.05;
        v[static_cast<std::size_t>(c)] =
            static_cast<float>(1000.0 * std::sin(t * 0.01 * (c + 1)) + static_cast<double>((n * 7919 + c * 104729) % 97));
    }
    v[9] = kmr::kNoValue;  // one channel not measured
    return v;
}

struct Setup {
    kmr::GraphConditions g;
    kmr::MeasConditions m;
    kmr::ChartModel model;
    std::vector<std::string> units{"x1e-6"};
    std::uint64_t n = 0;

    Setup() {
        for (auto& ch : g.Ch) ch.Use = 1;
        g.X.Xspace = 3600;
        g.X.Xpich = 5;
        for (int ch = 1; ch <= kmr::kChannels; ++ch) m.Ch(ch).Point = 2;
        model.ResetAllGraphs(g, m, units);
    }
    void Tick() {
        model.UpdateMonitorGraphs(g, m, static_cast<std::uint32_t>(n * kTickMs), ValuesAt(n));
        ++n;
    }
};

double SecondsOf(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main() {
    constexpr int kRounds = 400;        // empty-strip rounds
    constexpr int kTicksPerRound = 50;  // ticks timed after each reset
    constexpr int kFullTicks = 40000;   // ticks timed on the full strip (includes drops)

    // Empty strip: ticks right after a reset, the reset itself untimed.
    Setup empty;
    Clock::duration emptyTime{};
    for (int r = 0; r < kRounds; ++r) {
        empty.model.ResetMonitorGraphs(empty.g, empty.m, empty.units);
        empty.n = 0;
        const auto t0 = Clock::now();
        for (int i = 0; i < kTicksPerRound; ++i) empty.Tick();
        emptyTime += Clock::now() - t0;
    }
    const double perEmpty = SecondsOf(emptyTime) / (kRounds * kTicksPerRound);

    // Full strip: an hour of ticks first, then ticks that keep it full and scroll it.
    Setup full;
    for (int i = 0; i < kHourPoints; ++i) full.Tick();
    const std::int32_t held = full.model.MonitorPointCount();
    const auto t0 = Clock::now();
    for (int i = 0; i < kFullTicks; ++i) full.Tick();
    const double perFull = SecondsOf(Clock::now() - t0) / kFullTicks;

    std::printf("monitor tick, 10 charts, empty strip:              %8.3f us\n", perEmpty * 1e6);
    std::printf("monitor tick, 10 charts, full one-hour strip:      %8.3f us (%d points per chart)\n",
                perFull * 1e6, static_cast<int>(held));
    std::printf("ratio full / empty: %.2f (target <= 2)\n", perFull / perEmpty);
    return 0;
}
