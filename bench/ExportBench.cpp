// The HDF5 export of a largest data file (10 channels x 507904 samples) against a raw write of
// the same payload (2 bytes of raw word and 4 of value per sample, 30.5 MB, one sequential write
// from memory on the same file system) and against the CSV conversion of the same file (8 parts,
// about 90 MB). Best of nine runs each, in one run of the program; each ratio on its own line:
//   NAME: RATIO x (goal <= GOAL)
// Exit status 1 when a goal is missed.
//
//   export_bench [FOLDER]   (default: a new folder under $TMPDIR or /tmp, removed at the end; a
//                            given folder keeps largest.kmr)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "LargestRecord.h"
#include "core/datafiles/Conversion.h"
#include "core/datafiles/Hdf5Export.h"

namespace {

namespace fs = std::filesystem;
using namespace kmr;
using namespace kmr::bench;

constexpr int kRepeats = 9;  // the best of nine: a shared machine disturbs single runs

// One conversion of the data file in `format`; seconds, or -1. The files written are removed.
double Convert(const std::string& kmrPath, const std::string& folder, ExportFormat format) {
    PrintingUi ui;
    NullProgressView view;
    Progress progress;
    RunStatus st = RunStatus::Ok;
    ConversionOptions options;
    options.format = format;
    std::vector<std::string> written;
    const std::string name = std::string("out") + ExportExtension(format);
    const auto t0 = Clock::now();
    const bool ok = ConvertDataFile(kmrPath, folder, name, options, progress, view, ui, st, nullptr, &written);
    const auto t1 = Clock::now();
    for (const auto& w : written) fs::remove(w);
    return ok ? Seconds(t0, t1) : -1;
}

int Report(const char* name, double ratio, double goal) {
    std::printf("%s: %.2f x (goal <= %.1f)\n", name, ratio, goal);
    return ratio <= goal ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (!Hdf5ExportAvailable()) {
        std::printf("HDF5 export is not available in this build\n");
        return 1;
    }
    const std::string folder = WorkFolder(argc, argv);
    if (folder.empty()) return 1;
    const std::string kmrPath = folder + "largest.kmr";
    fs::remove(kmrPath);
    if (!WriteLargestKmr(kmrPath, LargestConditions(), MakeSamples(false))) return 1;
    const std::vector<char> payload(std::size_t{6} * kChannels * kLargestMemoryWords, 'x');

    double raw = 1e9, hdf5 = 1e9, csv = 1e9;
    for (int r = 0; r < kRepeats; ++r) {
        const double w = RawWrite(folder + "raw.bin", payload);  // -1 when it failed
        const double h = Convert(kmrPath, folder, ExportFormat::Hdf5);
        const double c = Convert(kmrPath, folder, ExportFormat::Csv);
        if (w < 0 || h < 0 || c < 0) {
            std::printf("a run failed (raw %.3f, hdf5 %.3f, csv %.3f)\n", w, h, c);
            return 1;
        }
        raw = std::min(raw, w);
        hdf5 = std::min(hdf5, h);
        csv = std::min(csv, c);
    }
    std::printf("largest data file: 10 channels x %d samples, folder %s (best of %d)\n", kLargestMemoryWords,
                folder.c_str(), kRepeats);
    std::printf("raw write of %zu bytes: %.3f s; HDF5 export: %.3f s; CSV conversion: %.3f s\n", payload.size(), raw,
                hdf5, csv);
    int missed = 0;
    missed += Report("hdf5_vs_raw_write", hdf5 / raw, 1.5);
    missed += Report("hdf5_vs_csv", hdf5 / csv, 0.5);
    if (argc <= 1) fs::remove_all(folder);  // a folder given on the command line keeps the data file
    return missed == 0 ? 0 : 1;
}
