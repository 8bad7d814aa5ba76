#pragma once
// The transfer at the end of a run: the recorded words of every measured channel are read from
// the instrument in blocks of at most 10000 words, written into a new .kmr or CSV file in the data
// folder and loaded into the channel graphs, while the progress window offers Cancel.
//
// Beyond the plain sequence:
//  - a file is never written over: when the name the data-file number gives exists (a file made
//    by hand since start-up), the number advances until the name is free;
//  - a .kmr file reads as complete only when every channel arrived; a cancel, a communication
//    failure or a failed block marks it cancelled. A channel not read whole is not written, nor
//    is any later one, so the whole channels of a cancelled file are the ones its length holds;
//  - a CSV file is written under a temporary name and takes its name only when complete; what a
//    stopped transfer received is kept as "NAME_incomplete.csv" (the cells of samples that were
//    not read stay blank; a broken-off transfer names the file in a message);
//  - a file that cannot be written (a full disk, a removed drive, no permission) stops the
//    attempt; the recording is still in the instrument, so ProgramState::SaveElsewhere is asked
//    for another folder and the transfer runs again from the instrument into it, as often as it
//    takes. Without one (or when it gives none) the failure is shown; the restore commands run
//    and the program goes on.
#include <cstdint>
#include <string>

#include "core/app/Engine.h"

namespace kmr {

inline constexpr std::int16_t kTransferBlockWords = 10000;

// MaxPBCount of the transfer to a data file and to CSV for N words per channel and K channels,
// B words per block (whole-number conversions halve to even).
std::int16_t DataFileStepCount(std::int32_t n, int k, int b = kTransferBlockWords);
std::int16_t CsvStepCount(std::int32_t n, int k, int b = kTransferBlockWords, int increment = 10);

// The (start, count) of the block reads of one channel of n words.
struct BlockRead {
    std::int32_t start;
    std::int16_t count;
    bool operator==(const BlockRead&) const = default;
};
std::vector<BlockRead> BlockReads(std::int32_t n, int b = kTransferBlockWords);

// The transfers; called by EndOfConversion only when WordsConverted != 0. The path of the file
// written (empty when none was made) is returned.
std::string TransferToDataFile(Engine& e);
std::string TransferToCsv(Engine& e);

}  // namespace kmr
