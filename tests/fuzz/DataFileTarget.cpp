// A .kmr file as it may come from a damaged disk or an older program: the header check (with
// and without accepting cancelled files), the block reader at every channel's block, the
// conversion of the file into CSV, and the opening of the file for the window (its check, the
// reading of its whole channels and the texts of its conditions).
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "FuzzSupport.h"
#include "core/datafiles/Conversion.h"
#include "core/datafiles/DataFile.h"
#include "core/datafiles/StoredRecord.h"
#include "core/support/Progress.h"

using namespace kmr;
using fuzz::Require;

namespace {

// What an accepted header promises to every reader.
void CheckPromises(const HeaderCheck& check, std::size_t fileSize) {
    const FileConditions& fc = check.conditions;
    Require(fc.WordsConverted >= 0 && fc.WordsConverted <= fc.MemoryWords);
    Require(fc.MemoryWords <= kLargestMemoryWords);
    Require(fc.ChannelCount >= 1 && fc.ChannelCount <= kChannels);
    int on = 0;
    for (const auto& c : fc.Channels) on += c.OnOff == 1 ? 1 : 0;
    Require(on == fc.ChannelCount);
    // Every block of a complete file lies inside the file; of an unfinished one, every block of
    // its whole channels (the leading measured channels).
    const int whole = static_cast<int>(check.wholeChannels.size());
    Require(whole <= fc.ChannelCount && (!check.complete || whole == fc.ChannelCount));
    Require(std::equal(check.wholeChannels.begin(), check.wholeChannels.end(), fc.MeasuredChannels.begin()));
    if (whole == 0) return;
    const std::int64_t end = ChannelBlockOffset(fc.WordsConverted, whole - 1) + 2LL * fc.WordsConverted;
    Require(end <= static_cast<std::int64_t>(fileSize));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const testing::TempDir scratch;
    Require(!scratch.path().empty());
    const Bytes image(data, data + std::min<std::size_t>(size, kDataHeaderBytes));
    const HeaderCheck strict = CheckDataFileHeader(Language::English, image, size);
    const HeaderCheck lenient = CheckDataFileHeader(Language::English, image, size, true);
    if (strict.ok) {
        Require(strict.complete && lenient.ok);
        CheckPromises(strict, size);
    }
    if (lenient.ok) CheckPromises(lenient, size);

    const std::string path = scratch.File("input.kmr");
    testing::WriteAll(path, std::string(reinterpret_cast<const char*>(data), size));
    fuzz::QuietUi ui;
    RunStatus status = RunStatus::Ok;
    FileConditions fc;
    if (ReadDataFileHeader(path, fc, ui, status)) {
        Require(strict.ok);
        SampleBuffer buffer;
        for (int k = 0; k < fc.ChannelCount && status == RunStatus::Ok; ++k) {
            ReadChannelBlock(path, ChannelBlockOffset(fc.WordsConverted, k), fc, buffer, ui, status);
            Require(buffer.size() == static_cast<std::size_t>(fc.MemoryWords) + 1);
        }
    }

    // Opened for the window: refused with a reason, or its whole channels read in full.
    const StoredRecordCheck opened = CheckStoredRecord(path, Language::English);
    Require(opened.ok == (lenient.ok && !lenient.wholeChannels.empty()));
    Require(opened.ok || !opened.problem.empty());
    if (opened.ok) {
        status = RunStatus::Ok;
        NullProgressView quiet;
        std::vector<RawSamples> samples;
        Require(ReadStoredSamples(path, opened.conditions, samples, quiet, ui, status));
        Require(samples.size() == opened.wholeChannels.size());
        for (const auto& s : samples) Require(s.size() == static_cast<std::size_t>(opened.conditions.WordsConverted));
        for (Language lang : {Language::English, Language::Japanese})
            Require(DescribeStoredRecord(path, opened, lang, -1).channelRows.size() == samples.size());
    }

    status = RunStatus::Ok;
    Progress progress;
    NullProgressView view;
    const bool converted = ConvertDataFile(path, scratch.folder(), "input.csv", progress, view, ui, status);
    if (converted) Require(strict.ok);
    fuzz::EmptyFolder(scratch);
    return 0;
}
