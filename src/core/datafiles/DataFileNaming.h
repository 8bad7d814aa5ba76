#pragma once
// Names of new data files: base name, running number, extension, lettered CSV parts.
#include <cstdint>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "core/support/TextTable.h"

namespace kmr {

// The file types of new data files (GlobalSettings::FileType), indexing their extensions.
inline constexpr std::int16_t kFileTypeBinary = 0;
inline constexpr std::int16_t kFileTypeCsv = 1;
inline const char* const kFileTypeExtensions[2] = {".kmr", ".csv"};
// How the data-file settings offer the file types.
inline const char* const kFileTypeLabels[2] = {"*.kmr(BIN)", "*.csv"};
// The extension of a file type; any other value than CSV counts as binary.
inline const char* FileTypeExtension(std::int16_t type) {
    return kFileTypeExtensions[type == kFileTypeCsv ? kFileTypeCsv : kFileTypeBinary];
}

// base + ("_" + number when number != 0) + extension.
std::string DataFileName(const std::string& base, std::int32_t number, const std::string& extension);

// The running number of the next data file from the files present in `folder` (0 = none).
std::int32_t NextDataFileNumber(const std::string& folder, const std::string& base,
                                const std::string& extension);

// folder + base + extension exists, or a lettered part base_a .. base_h (either case); the
// first of them found, or empty. With `foldersTake` a folder of such a name counts too: a file
// about to be written under the name could not be renamed onto it.
bool BaseOrLetteredExists(const std::string& folder, const std::string& base,
                          const std::string& extension);
std::string FirstBaseOrLettered(const std::string& folder, const std::string& base, const std::string& extension,
                                bool foldersTake = false);

// A file has that name, readable or not, or a link (even one leading nowhere): a new file could
// not take it. A folder does not count.
bool FileExists(const std::string& path);
// As FileExists, but a folder of the name holds it as well: a new file's name, where it is to be
// written, must not be taken by anything.
bool NameHeld(const std::string& path);
// The decision, from what a look at a name found: its kind, or the error the look met. A name is
// free only when it is not there or its folder is not; any other error counts as taken. A folder
// counts only with `folderTakes`.
bool NameTaken(std::filesystem::file_type found, std::error_code lookupError, bool folderTakes = false);

// Windows keeps these names for devices, whatever extension follows: CON, PRN, AUX, NUL, COM0 to
// COM9, LPT0 to LPT9 (any letter case) and a few more. A file "CON.kmr" cannot be made there: its
// writes go to the console.
bool IsDeviceName(std::string_view name);
// After trimming: a control character, one of ][;<=>?*/\:"| or a blank, or a device name makes
// the name improper.
bool IsImproperFileName(const std::string& text);
// The name with each character a typed name may not hold (a blank included) made '_', and a
// device name given a '_' before its extension ("aux.x" becomes "aux_.x").
std::string WithProperCharacters(std::string name);

// The longest file name the file systems take, in bytes of UTF-8 (255 on Linux file systems;
// NTFS counts 255 UTF-16 units, which a name within 255 UTF-8 bytes never exceeds).
inline constexpr std::size_t kLongestFileNameBytes = 255;
// What the program may add to a base name when it names a file: "_" and a number of up to ten
// digits, a part letter "_A", "_incomplete" and the extension ".csv" or ".kmr" (a temporary name,
// the final name with ".tmp" or ".9.tmp", adds less than "_incomplete" does).
inline constexpr std::size_t kDataFileNameSuffixBytes = 11 + 2 + 11 + 4;
// The longest base name whose every file name fits: 227 bytes (75 Japanese characters).
inline constexpr std::size_t kLongestBaseNameBytes = kLongestFileNameBytes - kDataFileNameSuffixBytes;
// The base name and everything the program may add to it fit the file system's limit.
bool BaseNameFits(const std::string& base);
// The message for a base name that does not fit, naming both lengths in bytes.
std::string BaseNameTooLongText(Language lang, const std::string& base);
// The longest name the transfer may create in the folder for this base name and extension:
// base + "_" + ten digits + "_A_incomplete" + extension (the write test before a run uses it).
std::string LongestDataFileName(const std::string& base, const std::string& extension);

// Why a typed data-file name was refused. AsShown: the name the box showed given back unchanged
// (the next file's name, its number included), which is no refusal to speak of.
enum class NameRefusal { None, AsShown, Improper, ExtensionOnly, LooksNumbered, TooLong };

// The typed data-file name as the settings form accepts it.
struct AcceptedName {
    std::string text;      // the accepted text (the previous one when refused)
    std::string baseName;  // the accepted text without its last four characters
    bool accepted = false;
    NameRefusal refusal = NameRefusal::None;
    std::string refusedBase;  // the base name of the refused text (for the message)
    std::string refusedText;  // the refused text, trimmed (for the message)
};
AcceptedName AcceptDataFileName(const std::string& typed, const std::string& previous,
                                const std::string& extension);
// What a refused name is told: why, and what to type instead (empty for None and AsShown).
std::string NameRefusalText(Language lang, const AcceptedName& refused, const std::string& extension);

}  // namespace kmr
