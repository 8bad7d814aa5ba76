#pragma once
// Shared helpers of the data-file tests: a temporary folder, a recording UiPort and file bytes.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/conditions/MeasConditions.h"
#include "core/datafiles/DataFile.h"
#include "core/support/Progress.h"
#include "core/support/UiPort.h"

namespace kmr::testing {

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kmr-datafiles-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data()) ? tmpl : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    // The folder with a trailing separator.
    std::string folder() const { return path_ + "/"; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct ShownMessage {
    std::string text, title;
    MsgIcon icon;
    MsgButtons buttons;
};

class RecordingUi : public UiPort {
public:
    MsgAnswer ShowMessage(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons,
                          bool = false, int = 0) override {
        shown.push_back({text, title, icon, buttons});
        if (buttons == MsgButtons::RetryCancel) {
            if (!answers.empty()) {
                MsgAnswer a = answers.front();
                answers.erase(answers.begin());
                return a;
            }
            return MsgAnswer::Cancel;
        }
        return MsgAnswer::Ok;
    }
    Pointer GetPointer() const override { return pointer; }
    void SetPointer(Pointer p) override { pointer = p; pointers.push_back(p); }
    void TerminateProgram() override { terminated = true; }

    std::vector<ShownMessage> shown;
    std::vector<MsgAnswer> answers;
    std::vector<Pointer> pointers;
    Pointer pointer = Pointer::Default;
    bool terminated = false;
};

// Cancels at the n-th time events are processed (0 = never).
class CancellingView : public NullProgressView {
public:
    explicit CancellingView(int at = 0) : cancelAt(at) {}
    bool ProcessEventsAndCheckCancel() override {
        ++calls;
        return cancelAt > 0 && calls >= cancelAt;
    }
    void SetPercent(int p) override { percents.push_back(p); }
    void Show(const std::string& a, const std::string& b) override { labels = {a, b}; }
    int cancelAt;
    int calls = 0;
    std::vector<int> percents;
    std::vector<std::string> labels;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool FileExistsOnDisk(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
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
    RecordingUi ui;
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

}  // namespace kmr::testing
