#pragma once
// The CSV writer of the conversion, which has every channel at hand: each part file is written
// whole, from its first line to its last, one after the other or two at a time on a machine with
// more than one processor. The progress units are those of the column-by-column writer and are
// counted on the calling thread, which alone talks to the context's ports; after a cancel no new
// lines are started and every file written so far holds the header and whole lines. When a write
// or a read fails, the part files this call created are removed again and the message names the
// failed file and each one removed.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/datafiles/Csv.h"

namespace kmr {

// Where the line writer takes its samples from; Read may be called from two threads at once.
class CsvSampleSource {
public:
    virtual ~CsvSampleSource() = default;
    // Copies samples [first, first + count) of the k-th enabled channel to `dest`: 0, a system
    // error number, or -1 when the samples are not there.
    virtual int Read(int k, std::int32_t first, std::int32_t count, std::int16_t* dest) const = 0;
    // The file named in the message of a failed Read.
    virtual const std::string& Name() const = 0;
};

bool WriteCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                   const CsvSampleSource& source, CsvContext& ctx);
// Only the lines of samples first .. first + samples - 1, numbered as in the whole file (the
// source is read at those sample indexes); parts of 65000 lines counted from `first`.
bool WriteCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                   const CsvSampleSource& source, CsvContext& ctx, std::int32_t first, std::int32_t samples);
// `channels[k]` holds (at least) the N samples of the k-th enabled channel.
bool WriteCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                   const std::vector<std::span<const std::int16_t>>& channels, CsvContext& ctx);
bool WriteCsvFiles(const std::string& folder, const std::string& fileName, const FileConditions& fc,
                   const std::vector<SampleBuffer>& channels, CsvContext& ctx);

}  // namespace kmr
