#pragma once
// The .kmr data file: a fixed 1100-byte header with the measurement conditions and the trigger
// time, then one block of raw 16-bit samples per enabled channel in ascending channel order.
// Every field is little-endian on every host.
//
// Life of a file written by the transfer:
//   WriteDataFileHeader   creates the file (never over an existing name) with the in-progress
//                         signature, which readers refuse like a cancelled file;
//   WriteChannelBlock     once per enabled channel, at 1100 + 2*N*k;
//   MarkDataFileComplete  after the last block, once the blocks are on the disk: only now does
//                         the file read as complete (a mark the disk refuses is taken back);
//   MarkDataFileCancelled when the user cancels (or the transfer breaks off).
// A file whose transfer stopped half-way therefore never passes for a complete one.
//
// Failures: every operation shows its message through the UiPort, sets `status` to Cancelled and
// returns false; the program keeps running. A file-system error shows "Drive is not ready." for
// an unavailable device and otherwise "Unexpected error #<errno> has occurred.<description>".
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/conditions/MeasConditions.h"
#include "core/support/FileWritePort.h"
#include "core/support/RunStatus.h"
#include "core/support/TextIds.h"
#include "core/support/UiPort.h"

namespace kmr {

inline constexpr std::int32_t kDataHeaderBytes = 1100;
inline constexpr std::int32_t kChannelRecordBytes = 100;
inline constexpr std::string_view kCompleteSignature = "KMR_FILE BY VNTNORDA";
inline constexpr std::string_view kCancelSignature = "KMR_FILE CANCEL     ";
// Fixed text-record lengths of the header.
inline constexpr std::int32_t kSignatureLength = 20;
inline constexpr std::int32_t kTriggerTimeLength = 20;
inline constexpr std::int32_t kHeaderReservedLength = 26;
inline constexpr std::int32_t kChannelReservedLength = 72;

// The conditions of a data file being converted (or a copy of the live conditions while CSV is
// written), with the file's stored words per channel.
struct FileConditions : MeasConditions {
    std::int32_t WordsConverted = 0;  // N: samples per channel in the data section
    // The count too (the conditions' own comparison would leave it out).
    bool operator==(const FileConditions&) const = default;
};

// The live conditions with the count of converted words of a run.
FileConditions FileConditionsFrom(const MeasConditions& m, std::int32_t wordsConverted);

// Samples of one channel, indices 0 to the memory words (MRY + 1 elements).
using SampleBuffer = std::vector<std::int16_t>;
// Re-dimensions to indices 0..memoryWords, every element zero.
void RedimSampleBuffer(SampleBuffer& buffer, std::int32_t memoryWords);

// Byte offset of the k-th enabled channel's block (k from 0).
std::int64_t ChannelBlockOffset(std::int32_t wordsConverted, int k);

// --- Field operations on a byte image of the header ---------------------------------------------
// Put* write at `pos` (growing the image when needed) and advance `pos`; Get* read at `pos` and
// advance it, or return false without reading when the field would pass the end of the image.
using Bytes = std::vector<unsigned char>;
void PutInteger(Bytes& b, std::size_t& pos, std::int16_t v);
void PutLong(Bytes& b, std::size_t& pos, std::int32_t v);
void PutSingle(Bytes& b, std::size_t& pos, float v);
// A 32-bit byte count followed by the UTF-8 bytes of the text.
void PutText(Bytes& b, std::size_t& pos, std::string_view text);
bool GetInteger(const Bytes& b, std::size_t& pos, std::int16_t& v);
bool GetLong(const Bytes& b, std::size_t& pos, std::int32_t& v);
bool GetSingle(const Bytes& b, std::size_t& pos, float& v);
// Reads the byte count and that many bytes; false when the count is negative or the text would
// pass the end of the image.
bool GetText(const Bytes& b, std::size_t& pos, std::string& text);

// The 1100 bytes of a header for the conditions, N and a signature.
Bytes BuildDataFileHeader(const MeasConditions& m, std::int32_t wordsConverted,
                          std::string_view signature = kCompleteSignature);

// The length of a complete file with these conditions: 1100 + 2*N*(K - 1) + 2*(MRY + 1) bytes for
// K >= 1 enabled channels (the last block is written as the whole buffer of MRY + 1 words).
std::uint64_t CompleteDataFileSize(const FileConditions& fc);
// The warning for a file whose length is not the one its header implies, naming both lengths, in
// `lang`; empty when they agree. Readers never locate blocks by the length, and a
// file written over a longer one keeps the older tail, so such a file is read, with this warning.
std::string DataFileSizeWarning(Language lang, std::uint64_t expected, std::uint64_t actual);

// Outcome of checking a header image against the size of its file.
struct HeaderCheck {
    bool ok = false;
    bool isDataFile = false;   // the signature record is one of the two signatures
    bool complete = false;     // the complete signature
    std::string signature;     // the signature text as stored (when its record is readable)
    std::string problem;       // what is wrong, in the language asked for (empty when ok)
    FileConditions conditions; // filled when ok (the trigger time stripped of blanks)
    std::uint64_t actualSize = 0;    // the file's length
    std::uint64_t expectedSize = 0;  // CompleteDataFileSize of the header (when ok)
    std::string sizeWarning;         // DataFileSizeWarning (when ok; empty when the sizes agree)
    // The measured channels whose N samples the file holds whole, in ascending order (when ok):
    // every one for a complete file; for a cancelled or unfinished one those whose blocks lie
    // inside the file (the transfer writes nothing after a channel it could not read whole).
    std::vector<int> wholeChannels;
    // The text that leads a refusal of the file: "not a condition file" when its signature is not
    // one this reading takes; a data file it takes that is damaged, cut short or without a whole
    // channel is said to be a data file that cannot be read.
    int refusalHeading = txt::NotConditionFile;
};
// Validates and decodes a header, before anything is allocated for its samples: the signature,
// the fixed text lengths, 1 <= MRY <= 507904, 0 <= N <= MRY, 0 <= pre-memory <= MRY, a clock of
// the instrument, every field within its choices (the message names the field), ChannelCount
// equal to the channels switched on and 1..10, and a file long enough for its blocks. A file of
// another length than the header implies passes with `sizeWarning` set.
// `acceptCancelled` decodes a cancelled or in-progress file too (for inspection): such a file may
// be shorter than its blocks need (its whole channels are the ones it holds), and no size warning
// is given for it.
HeaderCheck CheckDataFileHeader(Language lang, const Bytes& header, std::uint64_t fileSize, bool acceptCancelled = false);

// The conditions of a file cut down to its first `whole` measured channels (the others switched
// off): what a conversion of the whole channels of a cancelled file reads.
FileConditions WholeChannelsOnly(const FileConditions& fc, int whole);

// --- The file operations --------------------------------------------------------------------------
// Every write asks `writes` first when one is given.
// Creates `path` (it must not exist) and writes the header with the in-progress signature.
bool WriteDataFileHeader(const std::string& path, const MeasConditions& m, std::int32_t wordsConverted,
                         UiPort& ui, RunStatus& status, FileWritePort* writes = nullptr);
// Writes all words of `buffer` at `offset` of the existing file.
bool WriteChannelBlock(const std::string& path, std::int64_t offset, const SampleBuffer& buffer,
                       UiPort& ui, RunStatus& status, FileWritePort* writes = nullptr);
// Writes the header again over that of the file made by WriteDataFileHeader (the channels it
// names changed: one that could not be read whole is left out), still marked in progress.
bool RewriteDataFileHeader(const std::string& path, const MeasConditions& m, std::int32_t wordsConverted,
                           UiPort& ui, RunStatus& status, FileWritePort* writes = nullptr);
// Replace the signature record at offset 0, leaving everything else as it is.
bool MarkDataFileComplete(const std::string& path, UiPort& ui, RunStatus& status,
                          FileWritePort* writes = nullptr);
bool MarkDataFileCancelled(const std::string& path, UiPort& ui, RunStatus& status,
                           FileWritePort* writes = nullptr);

// Reads and checks the header into `fc`. A refused file shows text 113 with the file's name and
// what is wrong; `fc` is then left unchanged. `sizeWarning`, when given, receives the warning of a
// file whose length differs from the one its header implies (empty when they agree); nothing is
// shown for it here. A cancelled or unfinished file that holds whole channels is refused with
// `incompleteAdvice` (a text identifier, 0 for none) after what is wrong: where they can be had.
bool ReadDataFileHeader(const std::string& path, FileConditions& fc, UiPort& ui, RunStatus& status,
                        std::string* sizeWarning = nullptr, int incompleteAdvice = 0);
// The same for a file that may be cancelled or unfinished: `fc` gets its whole channels only (see
// WholeChannelsOnly); a file without a whole channel is refused (text 113 and why).
bool ReadWholeChannelsHeader(const std::string& path, FileConditions& fc, UiPort& ui, RunStatus& status,
                             std::string* sizeWarning = nullptr);
// Re-dimensions `buffer` to fc.MemoryWords (zero-filled) and reads fc.MemoryWords + 1 words from
// `offset`, or as many as the file holds there: nothing is read past its end.
bool ReadChannelBlock(const std::string& path, std::int64_t offset, const FileConditions& fc,
                      SampleBuffer& buffer, UiPort& ui, RunStatus& status);

// Reads up to `count` words at `offset` into `dest`, as many as the file holds there (nothing is
// read past its end); returns that number, or -1 after reporting a file-system error.
std::int64_t ReadSampleWords(const std::string& path, std::int64_t offset, std::int16_t* dest, std::size_t count,
                             UiPort& ui, RunStatus& status);

// Turns `count` sample words read from a data file (little-endian) into the host's order.
void SampleWordsToHost(std::int16_t* words, std::size_t count);

// A file's size and time of its last change, to tell later that it was changed or replaced since
// (no size, -1, when it cannot be found).
struct FileVersion {
    std::string path;
    std::int64_t bytes = -1;
    std::int64_t modified = 0;
    bool operator==(const FileVersion&) const = default;
};
FileVersion VersionOf(const std::string& path);

// The message of a file-system error (errno `err`) on `path`.
std::string FileErrorMessage(Language lang, int err, const std::string& path);
// Shows it (critical, titled "Error"), sets status to Cancelled.
void ReportFileError(int err, const std::string& path, UiPort& ui, RunStatus& status);

}  // namespace kmr
