#pragma once
// What the file benchmarks share: a largest-size data file (10 channels x 507904 samples, assorted
// scales) with a recorded strain signal or every raw word equally likely, a UI port that prints
// its messages, and the raw write a conversion is measured against.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "core/datafiles/DataFile.h"

namespace kmr::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

class PrintingUi : public UiPort {
public:
    MsgAnswer ShowMessage(const std::string& text, const std::string& title, MsgIcon, MsgButtons, bool, int) override {
        std::cerr << title << ": " << text << "\n";
        failed = true;
        return MsgAnswer::Cancel;
    }
    Pointer GetPointer() const override { return Pointer::Default; }
    void SetPointer(Pointer) override {}
    void TerminateProgram() override { std::exit(1); }
    bool failed = false;
};

// Conditions of the largest measurement: ten channels with assorted coefficients and offsets.
inline MeasConditions LargestConditions() {
    MeasConditions m;
    m.MemoryWords = kLargestMemoryWords;
    m.TriggerTime = "2026/12/06 09:00:00";
    m.SmpClk = 0.05f;
    const float coeffs[10] = {1.0f, 0.5f, 0.3f, 1.2345678f, 2.0e-3f, 10.0f, 0.1f, 7.5f, 1.0e-6f, 123.456f};
    const float offsets[10] = {0.0f, -100.0f, 0.25f, 0.0f, 1.5f, -3.0f, 0.0f, 1000.0f, 0.0f, -0.125f};
    for (int ch = 1; ch <= kChannels; ++ch) {
        m.Ch(ch).OnOff = 1;
        m.Ch(ch).Coeff = coeffs[ch - 1];
        m.Ch(ch).Offset = offsets[ch - 1];
    }
    m.ChannelCount = 10;
    return m;
}

// A recorded strain signal (decaying oscillation with noise) or, for the worst case, every raw
// word with equal chance.
inline std::vector<std::vector<std::int16_t>> MakeSamples(bool fullRange) {
    std::mt19937 rng(2026);
    std::normal_distribution<double> noise(0.0, 40.0);
    std::vector<std::vector<std::int16_t>> s(kChannels, std::vector<std::int16_t>(kLargestMemoryWords));
    for (int k = 0; k < kChannels; ++k) {
        for (std::int32_t i = 0; i < kLargestMemoryWords; ++i) {
            double v;
            if (fullRange) {
                v = static_cast<double>(static_cast<std::int16_t>(rng()));
            } else {
                const double t = i * 5.0e-5;
                v = 12000.0 * std::exp(-t / (2.0 + k)) * std::sin(2 * M_PI * (3.0 + k) * t) + noise(rng);
            }
            s[static_cast<std::size_t>(k)][static_cast<std::size_t>(i)] =
                static_cast<std::int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
        }
    }
    return s;
}

inline bool WriteLargestKmr(const std::string& path, const MeasConditions& m, const std::vector<std::vector<std::int16_t>>& s) {
    PrintingUi ui;
    RunStatus st = RunStatus::Ok;
    if (!WriteDataFileHeader(path, m, kLargestMemoryWords, ui, st)) return false;
    SampleBuffer buf;
    for (int k = 0; k < kChannels; ++k) {
        RedimSampleBuffer(buf, m.MemoryWords);
        std::copy(s[static_cast<std::size_t>(k)].begin(), s[static_cast<std::size_t>(k)].end(), buf.begin());
        if (!WriteChannelBlock(path, ChannelBlockOffset(kLargestMemoryWords, k), buf, ui, st)) return false;
    }
    return MarkDataFileComplete(path, ui, st);
}

// One sequential write of `bytes` from memory into a new file, put on the disk and closed, as the
// program keeps every file it writes (synced before it takes its name); seconds.
inline double RawWrite(const std::string& path, const std::vector<char>& buffer) {
    const auto t0 = Clock::now();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::write(fd, buffer.data() + done, buffer.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const bool kept = done == buffer.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!kept) {
        std::filesystem::remove(path);
        return -1;
    }
    const auto t1 = Clock::now();
    std::filesystem::remove(path);
    return Seconds(t0, t1);
}

// The folder of the files, with its separator: the program's argument, or a new folder under
// $TMPDIR or /tmp; empty when none can be made.
inline std::string WorkFolder(int argc, char** argv) {
    std::string folder;
    if (argc > 1) {
        folder = argv[1];
    } else {
        const char* tmp = std::getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/kmr-bench-XXXXXX";
        if (!::mkdtemp(tmpl.data())) {
            std::perror("mkdtemp");
            return {};
        }
        folder = tmpl;
    }
    if (folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace kmr::bench
