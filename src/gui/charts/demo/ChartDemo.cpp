// chart-demo: the channel charts in a small window, fed by the in-process simulated instrument.
//
//   chart-demo --mode monitor          the monitor strip, one monitor line read every 50 ms
//   chart-demo --mode ramp|wave        a recorded record of the simulator's pattern
//   chart-demo --mode zoom             the wave record zoomed in, with both cursors
// Options: --channels 1,2,5 (charts in use), --words N (samples per channel), --span S (seconds
// of the monitor window), --quit-after MS (closes itself, for screenshots).
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QStatusBar>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "core/graphs/ChartModel.h"
#include "core/instrument/CommandSet.h"
#include "core/measurement/MonitorData.h"
#include "gui/charts/ChartsWidget.h"
#include "sim/SimInstrument.h"

namespace {

using namespace kmr;

// Records a run of `words` samples per channel in the simulator and loads it as the transfer does.
void LoadRecord(ChartModel& model, GraphConditions& g, MeasConditions& m, sim::SimInstrument& sim,
                std::int32_t words) {
    sim.Execute(kSelectAllChannelsCommand);
    sim.Execute(ClockCommand(m.SmpClk));
    sim.Execute(MemoryWordsCommand(words));
    sim.Execute(PreMemoryWordsCommand(m.PreMemoryWords));
    sim.Execute(TriggerCommand(m.TrgMode));
    sim.Execute(kRecordingDoneCommand);  // an instant recording is complete at the first poll
    model.ClearAllSeries();
    model.SetGraphMode(kRecordedMode);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(words));
    Progress progress;
    NullProgressView view;
    RunStatus status = RunStatus::Ok;
    bool first = true;
    for (int ch = 1; ch <= kChannels; ++ch) {
        if (!m.Ch(ch).Measured()) {
            model.ClearChannelGraph(ch, words, m.SmpClk, g);
            continue;
        }
        for (std::int32_t i = 0; i < words; ++i) samples[static_cast<std::size_t>(i)] = sim.MemoryWord(ch, i);
        model.LoadRecordSeries(ch, samples, words, m, g, progress, view, status);
        if (first) model.ComputeDisplayRange(g, words, m.SmpClk);
        first = false;
        if (g.Ch[static_cast<std::size_t>(ch - 1)].Shown()) model.ShowRecordWindow(ch - 1);
    }
    for (int i = 0; i < kCharts; ++i) model.MarkTriggerTime(i, m.PreMemoryWords, m.SmpClk, g);
    model.ConfigureGraphAxes(g);
    for (int ch = 1; ch <= kChannels; ++ch)
        if (m.Ch(ch).Measured()) model.ShowRecordStatistics(ch - 1, words, m);
    AutoXRange(g, words, m.SmpClk);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser p;
    p.addHelpOption();
    p.addOption({"mode", "monitor, ramp, wave or zoom", "mode", "monitor"});
    p.addOption({"channels", "charts in use, e.g. 1,2,5", "list", "1,2,3"});
    p.addOption({"words", "samples per channel of a record", "n", "20000"});
    p.addOption({"span", "monitor window in seconds", "s", "10"});
    p.addOption({"quit-after", "close after this many milliseconds", "ms", "0"});
    p.process(app);
    const QString mode = p.value("mode");

    GraphConditions g;
    SetGraphDefaults(g);
    MeasConditions m;
    SetMeasDefaults(m);
    for (auto& c : g.Ch) c.Use = 0;
    for (const QString& c : p.value("channels").split(',')) {
        const int ch = c.toInt();
        if (ch >= 1 && ch <= kChannels) g.Ch[static_cast<std::size_t>(ch - 1)].Use = 1;
    }
    for (int ch = 1; ch <= kChannels; ++ch) {
        m.Ch(ch).OnOff = 1;
        m.Ch(ch).Coeff = 0.001f * static_cast<float>(ch);
        m.Ch(ch).Point = 3;
    }
    m.SmpClk = 1.0f;
    m.PreMemoryWords = mode == "monitor" ? 0 : 2000;
    RebuildMeasuredChannels(m);
    g.X.Xspace = p.value("span").toInt();
    g.X.Xpich = static_cast<std::int16_t>(std::max(1, g.X.Xspace / 2));
    g.X.XscaleMaxM = g.X.Xspace;

    sim::SimOptions options;
    options.pattern = mode == "ramp" ? sim::SimPattern::Ramp : sim::SimPattern::Wave;
    options.time = mode == "monitor" ? sim::SimTimeMode::Real : sim::SimTimeMode::Instant;
    options.memory = 3;
    sim::SimInstrument sim(options);

    ChartModel model;
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("KMR-5300 charts - %1").arg(mode));
    auto* area = new ChartsWidget(model, g, m, &window);
    window.setCentralWidget(area);
    QObject::connect(area, &ChartsWidget::pointerReading, window.statusBar(),
                     [&window](const QString& t) { window.statusBar()->showMessage(t); });
    window.resize(1000, 720);

    const std::vector<std::string> units = {"x1e-6", "mV", "V"};
    model.ResetAllGraphs(g, m, units);
    QTimer tick;
    QElapsedTimer clock;
    if (mode == "monitor") {
        sim.Execute(kSelectAllChannelsCommand);
        clock.start();
        QObject::connect(&tick, &QTimer::timeout, [&] {
            MoniData data{};
            std::string reply = sim.Execute(kMonitorCommand).bytes;
            while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.pop_back();
            if (ParseMonitorReply(reply, m, data))
                model.UpdateMonitorGraphs(g, m, static_cast<std::uint32_t>(clock.elapsed()), data);
        });
        tick.start(50);
    } else {
        LoadRecord(model, g, m, sim, p.value("words").toInt());
        if (mode == "zoom") {
            window.show();
            area->ShowTimeRange(1.9, 2.6);
            int first = 0;
            while (first < kCharts && !g.Ch[static_cast<std::size_t>(first)].Shown()) ++first;
            area->PlaceCursorAt(first, 2.1, false);
            area->PlaceCursorAt(first, 2.35, true);
        }
    }
    window.show();
    if (const int ms = p.value("quit-after").toInt(); ms > 0) QTimer::singleShot(ms, &app, &QApplication::quit);
    return app.exec();
}
