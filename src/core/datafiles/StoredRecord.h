#pragma once
// A stored .kmr record opened for looking at it: the checks before anything is read, the reading
// of its samples (once, straight into the buffers the charts keep) with progress and cancel, and
// the texts of its conditions as the window shows them beside the charts.
//
// What a file may be:
//  - complete: opened;
//  - of another length than its header implies: opened, with the caution the conversion gives;
//  - cancelled or unfinished: its whole channels are opened, with a note naming them (a file
//    without a whole channel is refused);
//  - shorter than a header, with a damaged header, or not a data file at all: refused with what is
//    wrong, and nothing is read.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/datafiles/DataFile.h"
#include "core/support/Progress.h"
#include "core/support/RawSamples.h"
#include "core/support/RunStatus.h"
#include "core/support/TextTable.h"
#include "core/support/UiPort.h"

namespace kmr {

struct StoredRecordCheck {
    bool ok = false;
    int fileError = 0;           // the system's error number when the file could not be read
    bool folderUnreachable = false;  // not found because its folder is not there either (a disk unplugged)
    std::string problem;         // why it is refused (text 113 first), in the language asked for
    FileConditions conditions;   // the whole channels only are switched on
    std::vector<int> wholeChannels;    // measured channels the file holds whole, ascending
    std::vector<int> missingChannels;  // measured channels it does not hold whole
    bool complete = false;       // the complete signature
    std::string sizeWarning;     // the conversion's caution for a file of another length
    std::string note;            // a cancelled or unfinished file: which channels are shown
    std::uint64_t bytes = 0;
};

// What a person mistakes most, a file gone since or a folder chosen: ENOENT or EISDIR; EINVAL for
// a file that is no regular file (a pipe, a device such as /dev/null, a socket); else 0.
int MissingOrFolder(const std::string& path);
// A file error said plainly: those three in words of their own, any other as the system's.
std::string PlainFileProblem(Language lang, int err, const std::string& path);

// Reads and checks the header of `path` without showing anything.
StoredRecordCheck CheckStoredRecord(const std::string& path, Language lang);

// The file name without its folder.
std::string FileNameOf(const std::string& path);

// Channel numbers as a message names them ("2, 5"), or text 2404 ("none") for no channel.
std::string ChannelList(const std::vector<int>& channels, Language lang);

// Reads the samples of every channel switched on in `fc` (its blocks in the file's order, located
// by `wholeBlocks`: the k-th channel switched on is the file's block k) into `out`, one vector of
// N samples per channel, ascending. The view is told the percentage as the reading goes on and may
// cancel (then false with status Cancelled, `out` empty). A file-system error is reported and
// gives false. Each piece read is handed to `pieces` (the channel's place k in `out`, the index of
// its first sample, the piece) while it is still in the processor's cache. A long record is read
// by two threads: the pieces come in no set order, and two at once from different threads.
using SamplePieces = std::function<void(std::size_t k, std::size_t first, std::span<const std::int16_t> piece)>;
bool ReadStoredSamples(const std::string& path, const FileConditions& fc, std::vector<RawSamples>& out,
                       ProgressView& view, UiPort& ui, RunStatus& status, const SamplePieces& pieces = {});

// Words read between two looks at the progress window's Cancel.
inline constexpr std::size_t kOpenChunkWords = 262144;
// Whether a long record is read by two threads (by default). Tests that count the looks at the
// progress window turn it off: with a helper, how many chunks the calling thread reads (and so
// how often it looks) depends on how the two threads are scheduled.
void ShareLongReads(bool share);

// --- The conditions beside the charts -----------------------------------------------------------------
struct ConditionLine {
    std::string label;
    std::string value;
};
struct StoredRecordText {
    std::string title;                        // the file name
    std::vector<ConditionLine> lines;         // file, trigger time and mode, clock, memory ...
    std::vector<std::string> channelHeader;   // Ch., input mode, filter, coefficient ...
    std::vector<std::vector<std::string>> channelRows;  // one per channel shown, ascending
    std::vector<std::string> notes;           // the cancelled note and the size caution
};
// `model` is the instrument's model when one is connected (kModelKmr530A / kModelKmr510C), or -1.
StoredRecordText DescribeStoredRecord(const std::string& path, const StoredRecordCheck& check, Language lang,
                                      int model);

}  // namespace kmr
