// Opening the largest stored record in the window program (offscreen): the time from File > Open
// to the charts painted against reading the same file's bytes into memory (page cache warm), and
// the resident memory the opened record adds to the window; also, for the record, the time until
// the conditions beside the charts are painted too. Each figure is measured in this run;
// the two times are best of several, taken in turns so that a busy machine slows both alike:
//   open: R x (goal <= 1.5)
//   memory: N MiB (goal <= 32)
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextBrowser>
#include <qcustomplot.h>

#include <fcntl.h>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <array>
#include <cstdio>
#include <functional>
#include <memory>

#include "LargestRecord.h"
#include "WindowProgram.h"
#include "gui/RecordActions.h"
#include "gui/charts/ChartsWidget.h"

namespace {

// Reads the whole file into a new buffer with plain reads; seconds.
double ReadBytes(const std::string& path) {
    QElapsedTimer t;
    t.start();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    // Not zero-filled first, as the program's own reading does not.
    const auto bytes = static_cast<std::size_t>(size);
    const std::unique_ptr<char[]> buffer(new char[bytes]);
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::pread(fd, buffer.get() + done, bytes - done, static_cast<off_t>(done));
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    const double s = static_cast<double>(t.nsecsElapsed()) / 1e9;
    if (done != bytes) return -1;
    return s;
}

// Tells of every paint event of the widgets it watches.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(std::function<void(QObject*)> seen) : seen_(std::move(seen)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) seen_(watched);
        return false;
    }

private:
    std::function<void(QObject*)> seen_;
};

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    kmr::bench::UseOffscreenHome(home);
    QApplication app(argc, argv);
    kmr::bench::NameProgram();

    // Two copies under two names, opened in turns: each open shows a record other than the one
    // shown, as opening yesterday's record after today's does (the conditions beside the charts
    // are new each time).
    const std::array<std::string, 2> paths = {home.path().toStdString() + "/largest.kmr",
                                              home.path().toStdString() + "/largest-copy.kmr"};
    for (const std::string& p : paths)
        if (!kmr::bench::WriteLargestKmr(p, kmr::bench::LargestConditions(), kmr::bench::MakeSamples(false))) {
            std::printf("the largest file could not be written\n");
            return 1;
        }

    kmr::gui::Program program;
    if (kmr::bench::StartProgram(program, "sim:time=instant") != kmr::StartupOutcome::Online) {
        std::printf("start-up did not reach the main window\n");
        return 1;
    }
    program.Main().resize(1366, 768);
    QTest::qWait(200);
    auto* area = program.Main().findChild<kmr::ChartsWidget*>();
    kmr::gui::RecordActions* records = program.Main().Records();
    if (area == nullptr || records == nullptr) return 1;
    // The charts painted on the window with the record since the open began (a paint of what they
    // showed before, the monitor's strip, does not count; each round starts with nothing left to
    // paint). A chart drawn but not yet on the window is not painted.
    std::array<bool, kmr::kCharts> painted{};
    PaintWatch watch([&painted, &program, area](QObject* plot) {
        for (int i = 0; i < kmr::kCharts; ++i)
            if (plot == area->Plot(i) && program.Core().chart.ShowsRecord(i)) painted[static_cast<std::size_t>(i)] = true;
    });
    for (int i = 0; i < kmr::kCharts; ++i) area->Plot(i)->installEventFilter(&watch);
    // Every chart the record shows is painted.
    auto allPainted = [&] {
        for (int i = 0; i < kmr::kCharts; ++i)
            if (program.State().Graph.Ch[static_cast<std::size_t>(i)].Use == 1 && !painted[static_cast<std::size_t>(i)])
                return false;
        return true;
    };
    int shown = 0;
    double bestReturn = 1e9, bestPanel = 1e9;
    auto* conditions = program.Main().findChild<QTextBrowser*>("txtRecordConditions");
    if (conditions == nullptr) return 1;
    bool panelPainted = false;
    QString name;  // of the record being opened
    const auto describesIt = [&] { return conditions->toPlainText().startsWith(name); };
    PaintWatch panelWatch([&](QObject*) { panelPainted = describesIt(); });
    conditions->viewport()->installEventFilter(&panelWatch);

    for (const std::string& p : paths) ReadBytes(p);  // the page cache warm
#if defined(__GLIBC__)
    // What writing the files freed goes back to the system, so the record is not counted in
    // memory the window already had.
    malloc_trim(0);
#endif
    const long before = kmr::bench::ResidentKiB();
    double bestOpen = 1e9, bestRead = 1e9;
    long after = 0, most = 0;
    constexpr int kRounds = 7;
    for (int round = 0; round < kRounds; ++round) {
        const std::string& path = paths[static_cast<std::size_t>(round % 2)];
        bestRead = std::min(bestRead, ReadBytes(path));
        painted.fill(false);
        name = QFileInfo(QString::fromStdString(path)).fileName();
        QElapsedTimer t;
        t.start();
        if (!records->Open(QString::fromStdString(path))) {
            std::printf("the file did not open\n");
            return 1;
        }
        bestReturn = std::min(bestReturn, static_cast<double>(t.nsecsElapsed()) / 1e9);
        while (!allPainted() && t.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const double s = static_cast<double>(t.nsecsElapsed()) / 1e9;
        shown = 0;
        for (const auto& g : program.State().Graph.Ch) shown += g.Use == 1;
        if (!allPainted()) {
            std::printf("the charts were not painted\n");
            return 1;
        }
        bestOpen = std::min(bestOpen, s);
        // The conditions beside the charts follow them: filled with this record's and painted.
        panelPainted = false;
        while ((!describesIt() || !panelPainted) && t.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!describesIt()) {
            std::printf("the conditions panel was not filled\n");
            return 1;
        }
        bestPanel = std::min(bestPanel, static_cast<double>(t.nsecsElapsed()) / 1e9);
        if (round == 0) after = kmr::bench::ResidentKiB();
        // What opening record after record comes to (the allocator keeps what it freed for reuse).
        most = std::max(most, kmr::bench::ResidentKiB());
        // What follows (the settings written) is done before the next round.
        QTest::qWait(700);
    }
    std::printf("largest record (10 x 507904 words, %.1f MB), offscreen, %d charts shown, best of %d opens "
                "of two copies in turns\n",
                static_cast<double>(QFile(QString::fromStdString(paths[0])).size()) / 1e6, shown, kRounds);
    std::printf("  open to charts painted: %.1f ms (of which the open itself, the charts drawn, %.1f ms); "
                "reading the file's bytes: %.1f ms\n", bestOpen * 1e3, bestReturn * 1e3, bestRead * 1e3);
    std::printf("  open to the conditions beside them painted: %.1f ms\n", bestPanel * 1e3);
    std::printf("open: %.2f x (goal <= 1.5)\n", bestOpen / bestRead);
    std::printf("  memory after opening it once: %ld MiB; the most after any of the %d opens: %ld MiB\n",
                (after - before + 1023) / 1024, kRounds, (most - before + 1023) / 1024);
    std::printf("memory: %ld MiB (goal <= 32)\n", (after - before + 1023) / 1024);
    return 0;
}
