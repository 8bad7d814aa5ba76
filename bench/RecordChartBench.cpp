// The chart data of the largest record: ten channels of 507904 samples converted to engineering
// values (with the progress counting of the transfer), shown whole and then as a window, with
// statistics. Prints the time against what the same samples take on a 1 MB/s bus.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/graphs/ChartModel.h"

int main() {
    using Clock = std::chrono::steady_clock;
    constexpr std::int32_t kWords = 507904;
    kmr::GraphConditions g;
    for (auto& ch : g.Ch) ch.Use = 1;
    kmr::MeasConditions m;
    m.SmpClk = 1.0f;
    for (int ch = 1; ch <= kmr::kChannels; ++ch) {
        m.Ch(ch).Coeff = 0.5f + 0.1f * static_cast<float>(ch);
        m.Ch(ch).Offset = -2.0f;
    }
    std::vector<std::int16_t> samples(kWords);
    for (std::int32_t i = 0; i < kWords; ++i)
        samples[static_cast<std::size_t>(i)] = static_cast<std::int16_t>((i * 37) % 65536 - 32768);

    kmr::ChartModel model;
    kmr::Progress progress;
    progress.MaxPBCount = 1000;
    kmr::NullProgressView view;
    kmr::RunStatus status = kmr::RunStatus::Ok;

    const auto t0 = Clock::now();
    model.SetGraphMode(kmr::kRecordedMode);
    for (int ch = 1; ch <= kmr::kChannels; ++ch)
        model.LoadRecordSeries(ch, samples, kWords, m, g, progress, view, status);
    model.ComputeDisplayRange(g, kWords, m.SmpClk);
    for (int i = 0; i < kmr::kCharts; ++i) model.ShowRecordWindow(i);
    model.ConfigureGraphAxes(g);
    for (int i = 0; i < kmr::kCharts; ++i) model.ShowRecordStatistics(i, kWords, m);
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();

    const double busSeconds = 2.0 * kWords * kmr::kChannels / 1.0e6;
    std::printf("chart data of 10 x %d samples: %.1f ms (bus time at 1 MB/s %.2f s)\n", kWords,
                seconds * 1e3, busSeconds);
    std::printf("ratio chart data / bus time: %.4f (%.2f %%)\n", seconds / busSeconds,
                100.0 * seconds / busSeconds);
    return 0;
}
