// The charts of the main window, offscreen: what a repaint costs on the largest record against a
// short one, a zoom step likewise, a monitor tick on full one-hour strips against empty strips, and
// the memory the largest record takes once shown. Each figure is a ratio measured in this run:
//   NAME: RATIO x (goal <= GOAL)
//   memory: N MiB (goal <= 32)
#include <QApplication>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/graphs/ChartModel.h"
#include "gui/charts/ChartsWidget.h"
#include <qcustomplot.h>

namespace {

using namespace kmr;
using Clock = std::chrono::steady_clock;

constexpr std::int32_t kLargest = 507904;
constexpr std::int32_t kShort = 2000;
constexpr int kWidth = 1400, kHeight = 1000;

// Resident memory of the process in KiB.
long ResidentKiB() {
    std::ifstream f("/proc/self/status");
    std::string key;
    long value = 0;
    while (f >> key) {
        if (key == "VmRSS:") {
            f >> value;
            return value;
        }
        f.ignore(1 << 12, '\n');
    }
    return 0;
}

// The two sides of a ratio timed in turns, `rounds` times each, so that a busy machine slows both
// alike; each side's best time stands for its cost (what is left when nothing else runs).
struct Pair {
    double a = 0.0, b = 0.0;
    double Ratio() const { return a / b; }
};
Pair BestOfPairs(int rounds, const std::function<void()>& a, const std::function<void()>& b) {
    const auto time = [](const std::function<void()>& step) {
        const auto t0 = Clock::now();
        step();
        return std::chrono::duration<double>(Clock::now() - t0).count();
    };
    Pair best{1e9, 1e9};
    for (int r = 0; r < rounds; ++r) {
        best.a = std::min(best.a, time(a));
        best.b = std::min(best.b, time(b));
    }
    return best;
}

struct Window {
    GraphConditions g;
    MeasConditions m;
    ChartModel model;
    std::unique_ptr<ChartsWidget> area;
    std::vector<std::string> units{"x1e-6"};

    Window() {
        SetGraphDefaults(g);
        SetMeasDefaults(m);
        for (auto& c : g.Ch) c.Use = 1;
        m.SmpClk = 1.0f;
        for (int ch = 1; ch <= kChannels; ++ch) {
            m.Ch(ch).OnOff = 1;
            m.Ch(ch).Coeff = 0.01f * static_cast<float>(ch);
        }
        RebuildMeasuredChannels(m);
        area = std::make_unique<ChartsWidget>(model, g, m);
        area->resize(kWidth, kHeight);
        area->show();
        model.ResetAllGraphs(g, m, units);
        QApplication::processEvents();
        area->ReplotNow();
    }

    // A record of n samples per channel, read into one channel-sized buffer as the transfer does.
    void Transfer(std::int32_t n) {
        std::vector<std::int16_t> buffer(static_cast<std::size_t>(n));
        Progress progress;
        NullProgressView view;
        RunStatus status = RunStatus::Ok;
        model.ClearAllSeries();
        model.SetGraphMode(kRecordedMode);
        for (int ch = 1; ch <= kChannels; ++ch) {
            // The same picture at both lengths: ch + 1 periods of a sine over the record, with
            // noise of a tenth of its height on every sample.
            for (std::int32_t i = 0; i < n; ++i) {
                const double phase = static_cast<double>(i) / n * 6.283185307 * (ch + 1);
                buffer[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(
                    20000.0 * std::sin(phase) + ((i * 7919 + ch * 104729) % 4001) - 2000);
            }
            model.LoadRecordSeries(ch, buffer, n, m, g, progress, view, status);
            if (ch == 1) model.ComputeDisplayRange(g, n, m.SmpClk);
            model.ShowRecordWindow(ch - 1);
        }
        model.ConfigureGraphAxes(g);
        for (int ch = 1; ch <= kChannels; ++ch) model.ShowRecordStatistics(ch - 1, n, m);
        area->ReplotNow();
    }

    // Every chart drawn again from the model at the configured scale.
    void FullRepaint() {
        area->ResetView();
        area->ReplotNow();
    }

    // One wheel notch in and one out about the middle of the record, each repainted.
    void ZoomStep(std::int32_t n) {
        const double middle = (n - 1) * 0.001 / 2;
        area->ZoomTime(middle, kWheelZoomFactor);
        area->ReplotNow();
        area->ZoomTime(middle, 1.0 / kWheelZoomFactor);
        area->ReplotNow();
    }

    std::uint64_t ticks = 0;
    void MonitorTick(bool repaint) {
        std::array<float, kCharts> v{};
        for (int c = 0; c < kCharts; ++c)
            v[static_cast<std::size_t>(c)] = static_cast<float>(
                100.0 * std::sin(ticks * 0.0005 * (c + 1)) + static_cast<double>((ticks * 7919 + c * 104729) % 97));
        model.UpdateMonitorGraphs(g, m, static_cast<std::uint32_t>(ticks * 50), v);
        ++ticks;
        if (repaint) area->ReplotNow();
    }
};

void Report(const char* name, double ratio, double goal) {
    std::printf("%s: %.2f x (goal <= %.1f)\n", name, ratio, goal);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int kRounds = 40;

    // Memory: the window before the transfer against the same window showing the largest record.
    Window large;
    const long before = ResidentKiB();
    large.Transfer(kLargest);
    const long after = ResidentKiB();

    Window small;
    small.Transfer(kShort);

    const Pair repaint = BestOfPairs(kRounds, [&] { large.FullRepaint(); }, [&] { small.FullRepaint(); });
    const Pair zoom = BestOfPairs(kRounds, [&] { large.ZoomStep(kLargest); }, [&] { small.ZoomStep(kShort); });

    // Monitor: strips of one hour (72000 points per chart at 50 ms) against strips just reset.
    // For comparison: strips of six minutes, drawn over as many pixel columns.
    Window full, tenth, empty;
    const auto fill = [](Window& w, std::int32_t span) {
        w.g.X.Xspace = span;
        w.model.ResetAllGraphs(w.g, w.m, w.units);
        for (int i = 0; i < span * 20; ++i) w.MonitorTick(false);
        w.area->ReplotNow();
    };
    fill(full, 3600);
    fill(tenth, 360);
    empty.g.X.Xspace = 3600;
    const auto emptyTick = [&] {
        empty.model.ResetAllGraphs(empty.g, empty.m, empty.units);
        empty.ticks = 0;
        empty.MonitorTick(true);
    };
    const Pair tick = BestOfPairs(kRounds * 4, [&] { full.MonitorTick(true); }, emptyTick);
    const Pair strips = BestOfPairs(kRounds * 4, [&] { full.MonitorTick(true); }, [&] { tenth.MonitorTick(true); });

    ChartPoints points;
    const auto query = [&points](Window& w, std::int32_t n) {
        return [&w, n, &points] {
            for (int i = 0; i < kCharts; ++i) w.model.VisiblePoints(i, 0.0, (n - 1) * 0.001, 1300, points);
        };
    };
    const Pair queries = BestOfPairs(kRounds, query(large, kLargest), query(small, kShort));
    std::printf("ten charts %dx%d px; best of %d runs, the two sides of each ratio timed in turns\n", kWidth,
                kHeight, kRounds);
    std::printf("  point query of ten charts at 1300 columns: %.2f ms / %.2f ms\n", queries.a * 1e3,
                queries.b * 1e3);
    std::printf("  full repaint: %.2f ms with 10 x %d samples, %.2f ms with 10 x %d\n", repaint.a * 1e3,
                kLargest, repaint.b * 1e3, kShort);
    std::printf("  zoom step (in and out, each repainted): %.2f ms / %.2f ms\n", zoom.a * 1e3, zoom.b * 1e3);
    std::printf("  monitor tick with repaint: %.2f ms on full one-hour strips (%zu points per chart, %d drawn), "
                "%.2f ms on empty strips\n",
                tick.a * 1e3, full.model.PointCount(0, 1), full.area->Plot(0)->graph(0)->dataCount(), tick.b * 1e3);
    std::printf("  monitor tick with repaint on full six-minute strips (%zu points per chart): %.2f ms\n",
                tenth.model.PointCount(0, 1), strips.b * 1e3);
    std::printf("  (for information) one-hour vs six-minute strips: %.2f x\n", strips.Ratio());
    Report("full repaint largest record vs 2000 samples", repaint.Ratio(), 1.5);
    Report("zoom step largest record vs 2000 samples", zoom.Ratio(), 1.5);
    Report("monitor tick full one-hour strips vs empty strips", tick.Ratio(), 2.0);
    std::printf("memory: %ld MiB (goal <= 32)\n", (after - before + 1023) / 1024);
    return 0;
}
