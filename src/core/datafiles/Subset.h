#pragma once
// A part of a data file to convert: some of its channels and the samples of a time range. A
// sample's time is its index times the sampling clock, both ends of the range inclusive; the
// clock is the decimal the CSV header prints ("SMP CLK,0.05"), so sample 20 of a 0.05 ms clock
// lies at exactly 0.001 s. The conversion of a subset is the full conversion cut the same way:
// the header lines carry the chosen channels' columns only, the data lines keep their original
// sample numbers, and the parts hold 65000 lines each as for a whole file. The command line and
// the window share this one implementation.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/datafiles/DataFile.h"
#include "core/support/TextTable.h"

namespace kmr {

// Samples [first, first + count) of every chosen channel.
struct SampleRange {
    std::int32_t first = 0;
    std::int32_t count = 0;
    std::int32_t End() const { return first + count; }
};

struct ConversionSubset {
    std::vector<int> channels;          // channel numbers (any order, repeats allowed); empty = all
    std::optional<double> fromSeconds;  // none = from the first sample
    std::optional<double> toSeconds;    // none = to the last sample
    // Alternatively the samples themselves (the window's cursors): used when set, instead of the
    // times.
    std::optional<SampleRange> samples;
    bool Whole() const { return channels.empty() && !fromSeconds && !toSeconds && !samples; }
};

// The subset resolved against one file's header.
struct ResolvedSubset {
    bool ok = false;
    std::string problem;         // why not, in the language asked for (a usage error)
    FileConditions conditions;   // the file's, with only the chosen channels switched on
    std::vector<int> channels;   // the chosen channel numbers, ascending
    std::vector<int> blocks;     // the position of each chosen channel's block in the file
    SampleRange samples;         // the chosen samples
};

// The clock in milliseconds as the CSV header prints it, as a double (0.05f -> 0.05).
double DecimalClockMs(float smpClk);
// The time in seconds of sample `index`: index x the decimal clock.
double SampleSeconds(std::int64_t index, float smpClk);

// Checks the subset against the conditions of a file (its N samples per channel): a channel that
// is not switched on in the file, or a range that holds no sample, is refused with the reason.
ResolvedSubset ResolveSubset(const FileConditions& fc, const ConversionSubset& subset, Language lang);

// Reads the header of `path` quietly and resolves the subset: the reason it is refused, or empty
// when it fits the file or when the header cannot be read (the conversion then says why). With
// `wholeChannels` a cancelled or unfinished file offers only the channels it holds whole, as its
// conversion does.
std::string SubsetProblemForFile(const std::string& path, const ConversionSubset& subset, Language lang,
                                 bool wholeChannels = false);

// "1,3,5-7" -> {1, 3, 5, 6, 7}; nullopt for anything else (a channel is 1 to 10).
std::optional<std::vector<int>> ParseChannelList(const std::string& text);

}  // namespace kmr
