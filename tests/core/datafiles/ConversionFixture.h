#pragma once
// The conversion's ports as the tests see them: a data folder with its csv/ folder, a message box
// answering Cancel, a progress window, the data-file list and a drive with room.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/datafiles/Conversion.h"
#include "core/datafiles/DataFilesTestSupport.h"
#include "support/FakeDrive.h"

namespace kmr::testing {

// The samples of `channels` (all when none) from one time to another (none: the record's end).
inline ConversionSubset Between(std::optional<double> from, std::optional<double> to, std::vector<int> channels = {}) {
    ConversionSubset s;
    s.channels = std::move(channels);
    s.fromSeconds = from;
    s.toSeconds = to;
    return s;
}

class RecordingListView : public ConversionView {
public:
    void UncheckDataFile(std::size_t index) override { unchecked.push_back(index); }
    std::vector<std::size_t> unchecked;
};

class ConversionFixture : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directory(data.File("csv")); }
    // A data file in the data folder (WriteLevelKmr).
    void MakeKmr(const std::string& name, std::int32_t n = 20, std::initializer_list<int> chs = {1, 2}, int step = 1) {
        ASSERT_TRUE(WriteLevelKmr(data.File(name), n, chs, step));
    }
    ConversionPorts Ports() { return {ui, progress, listView, drive}; }

    TempDir data;
    FakeUi ui{MsgAnswer::Cancel};
    FakeProgress progress;
    RecordingListView listView;
    FakeDrive drive;
    RunStatus status = RunStatus::Ok;
};

}  // namespace kmr::testing
