// `kmr record` of the largest record (10 channels x 507904 words) against the simulated
// instrument in instant time: start-up, the run, the transfer into a .kmr file and the chart
// data. The program's own CPU time (the whole run minus what the simulated instrument spends
// producing the same words, measured alone) is compared with the time the same bytes take on a
// real bus at 1 MB/s. The target is at most 5 %.
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>

#include <sstream>

#include "cli/RecordCommand.h"
#include "core/app/Startup.h"
#include "core/datafiles/DataFile.h"
#include "core/support/SpecialFolders.h"
#include "support/EngineHarness.h"
#include "link/InterfaceSpec.h"
#include "sim/SimInstrument.h"

namespace {

double CpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

constexpr std::int32_t kWords = 507904;
constexpr int kChannels = 10;
constexpr int kBlock = 10000;

// The simulated instrument alone answering the block reads of the whole record.
double InstrumentAlone() {
    kmr::sim::SimOptions o;
    o.time = kmr::sim::SimTimeMode::Instant;
    o.pattern = kmr::sim::SimPattern::Ramp;
    kmr::sim::SimInstrument in(o);
    for (const char* c : {"MRY 507904", "MRY -0", "CLK 1", "TRG", "EOC"}) in.Execute(c);
    const double t0 = CpuSeconds();
    std::size_t bytes = 0;
    for (int ch = 1; ch <= kChannels; ++ch) {
        in.Execute("RES");
        in.Execute("SET" + std::to_string(ch));
        for (std::int32_t start = 0; start < kWords; start += kBlock) {
            const std::int32_t count = std::min(kBlock, kWords - start);
            in.Execute("MRY " + std::to_string(count) + ";" + std::to_string(start));
            bytes += in.Execute("BDT").bytes.size();
        }
    }
    const double t = CpuSeconds() - t0;
    if (bytes != static_cast<std::size_t>(kWords) * kChannels * 2) std::fprintf(stderr, "short blocks\n");
    return t;
}

}  // namespace

int main() {
    kmr::testing::TempHome home;
    // The stored conditions: every channel, the largest memory.
    const kmr::StartupFolders folders = kmr::PlatformStartupFolders();
    kmr::EnsureFolder(folders.CondFolder + "Cond");
    kmr::MeasConditions m;
    kmr::SetMeasDefaults(m);
    m.MemoryWords = kWords;
    kmr::SaveMeasConditions(folders.CondFolder + "Cond/Meas.cnd", m, nullptr);

    std::ostringstream out, err;
    kmr::cli::CliIo io{out, err, false};
    kmr::testing::FakeClock clock;
    const auto makeBus = [](const std::string& spec, std::string&) { return kmr::MakeGpibBusOrExplain(spec); };
    const double t0 = CpuSeconds();
    const int status = kmr::cli::RecordWith({"--interface", "sim:time=instant,pattern=ramp,memory=0"}, io, makeBus,
                                            clock);
    const double whole = CpuSeconds() - t0;
    const std::string path = out.str().empty() ? std::string() : out.str().substr(0, out.str().size() - 1);
    std::error_code ec;
    const bool ok = status == 0 && std::filesystem::file_size(path, ec) ==
                                       1100u + 2u * kWords * (kChannels - 1) + 2u * (kWords + 1u);
    if (!ok) std::fprintf(stderr, "%s", err.str().c_str());

    const double instrument = InstrumentAlone();
    const double own = whole - instrument;
    const double bytes = 2.0 * kWords * kChannels;
    const double busSeconds = bytes / 1.0e6;
    std::printf("kmr record of %d channels x %d words (%s)\n", kChannels, kWords, ok ? "complete" : "FAILED");
    std::printf("whole run CPU          %8.3f s\n", whole);
    std::printf("instrument model alone %8.3f s\n", instrument);
    std::printf("program's own share    %8.3f s\n", own);
    std::printf("bus time at 1 MB/s     %8.3f s\n", busSeconds);
    std::printf("ratio own / bus        %8.2f %%  (target <= 5 %%)\n", 100.0 * own / busSeconds);
    return ok ? 0 : 1;
}
