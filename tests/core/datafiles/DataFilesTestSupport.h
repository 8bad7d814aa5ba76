#pragma once
// Shared helpers of the data-file tests: conditions with chosen channels and a written data file.
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "core/conditions/MeasConditions.h"
#include "core/datafiles/DataFile.h"
#include "support/FakeProgress.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"

namespace kmr::testing {

// The names of what is in a folder.
inline std::set<std::string> FolderNames(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// Little-endian fields of a data file's bytes.
inline std::int32_t Le32(const std::string& b, std::size_t at) {
    std::uint32_t u = 0;
    for (int i = 3; i >= 0; --i) u = (u << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return static_cast<std::int32_t>(u);
}
inline std::int16_t Le16(const std::string& b, std::size_t at) {
    return static_cast<std::int16_t>(static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8));
}
// The samples of the k-th block (of n words) of a .kmr file.
inline std::vector<std::int16_t> Block(const std::string& bytes, std::int32_t n, int k) {
    std::vector<std::int16_t> out;
    const std::size_t at = 1100 + 2 * static_cast<std::size_t>(n) * static_cast<std::size_t>(k);
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) out.push_back(Le16(bytes, at + 2 * i));
    return out;
}

// Conditions with exactly the given channels switched on.
inline MeasConditions ConditionsWith(std::initializer_list<int> channels, std::int32_t mry) {
    MeasConditions m;
    for (auto& c : m.Channels) c.OnOff = 0;
    m.MeasuredChannels.clear();
    for (int ch : channels) {
        m.Ch(ch).OnOff = 1;
        m.MeasuredChannels.push_back(ch);
    }
    m.ChannelCount = static_cast<std::int16_t>(m.MeasuredChannels.size());
    m.MemoryWords = mry;
    m.TriggerTime = "2002/02/05 00:00:00";
    return m;
}

// Writes a complete data file: samples[k] holds the N samples of the k-th enabled channel.
inline bool WriteKmr(const std::string& path, const MeasConditions& m, std::int32_t n,
                     const std::vector<std::vector<std::int16_t>>& samples) {
    FakeUi ui{MsgAnswer::Cancel};
    RunStatus status = RunStatus::Ok;
    if (!WriteDataFileHeader(path, m, n, ui, status)) return false;
    SampleBuffer buf;
    for (std::size_t k = 0; k < samples.size(); ++k) {
        RedimSampleBuffer(buf, m.MemoryWords);
        std::copy(samples[k].begin(), samples[k].end(), buf.begin());
        if (!WriteChannelBlock(path, ChannelBlockOffset(n, static_cast<int>(k)), buf, ui, status)) return false;
    }
    return MarkDataFileComplete(path, ui, status);
}

// A data file of n samples of the channels given, the k-th channel holding step * (k + 1)
// throughout: complete, or, with `whole` at 0 or more, cancelled after that many channels.
inline bool WriteLevelKmr(const std::string& path, std::int32_t n, std::initializer_list<int> channels, int step = 1,
                          int whole = -1) {
    const MeasConditions m = ConditionsWith(channels, n);
    std::vector<std::vector<std::int16_t>> samples;
    for (std::size_t k = 0; k < channels.size(); ++k)
        samples.emplace_back(static_cast<std::size_t>(n), static_cast<std::int16_t>(step * static_cast<int>(k + 1)));
    if (whole < 0) return WriteKmr(path, m, n, samples);
    FakeUi ui{MsgAnswer::Cancel};
    RunStatus status = RunStatus::Ok;
    if (!WriteDataFileHeader(path, m, n, ui, status)) return false;
    for (int k = 0; k < whole; ++k)  // of a cancelled file's last block only its N words are sure
        if (!WriteChannelBlock(path, ChannelBlockOffset(n, k), samples[static_cast<std::size_t>(k)], ui, status))
            return false;
    return MarkDataFileCancelled(path, ui, status);
}

}  // namespace kmr::testing
