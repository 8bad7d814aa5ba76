#pragma once
// Names of new data files: base name, running number, extension, lettered CSV parts.
#include <cstdint>
#include <string>

namespace kmr {

inline const char* const kFileTypeExtensions[2] = {".kmr", ".csv"};

// base + ("_" + number when number != 0) + extension.
std::string DataFileName(const std::string& base, std::int32_t number, const std::string& extension);

// The running number of the next data file from the files present in `folder` (0 = none).
std::int32_t NextDataFileNumber(const std::string& folder, const std::string& base,
                                const std::string& extension);

// folder + base + extension exists, or a lettered part base_a .. base_h (either case).
bool BaseOrLetteredExists(const std::string& folder, const std::string& base,
                          const std::string& extension);

// The file can be opened for reading; every error counts as false.
bool FileExists(const std::string& path);

// After trimming: a control character, one of ][;<=>?*/\: or a blank makes the name improper.
bool IsImproperFileName(const std::string& text);

// The typed data-file name as the settings form accepts it.
struct AcceptedName {
    std::string text;      // the accepted text (the previous one when refused)
    std::string baseName;  // the accepted text without its last four characters
    bool accepted = false;
};
AcceptedName AcceptDataFileName(const std::string& typed, const std::string& previous,
                                const std::string& extension);

}  // namespace kmr
