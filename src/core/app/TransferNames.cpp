#include "core/app/TransferNames.h"
#include "core/app/Transfer.h"

#include <filesystem>
#include <system_error>

#include "core/datafiles/Csv.h"
#include "core/datafiles/DataFileNaming.h"
#include "core/datafiles/StoredRecord.h"
#include "core/support/Numbers.h"
#include "core/support/SpecialFolders.h"
#include "core/support/TextTable.h"

namespace kmr {

// The progress steps and block reads of the transfer (Transfer.h).
std::int16_t DataFileStepCount(std::int32_t n, int k, int b) {
    const double nb = static_cast<double>(n) / b;
    const double total = (RoundHalfEven(nb + 1) * k + 1) + k + k * nb + 1;
    return static_cast<std::int16_t>(RoundHalfEven(total));
}

std::int16_t CsvStepCount(std::int32_t n, int k, int b, int increment) {
    const double perUnit = static_cast<double>(b) / increment;
    const double nb = static_cast<double>(n) / b;
    const double total = RoundHalfEven(n / perUnit) + RoundHalfEven(nb + 1) * k + k * (n / perUnit) +
                         k * nb + 1;
    return static_cast<std::int16_t>(RoundHalfEven(total));
}

std::vector<BlockRead> BlockReads(std::int32_t n, int b) {
    std::vector<BlockRead> reads;
    std::int32_t remaining = n;
    std::int32_t j = 0;
    while (remaining > b) {
        reads.push_back({j * b, static_cast<std::int16_t>(b)});
        remaining -= b;
        ++j;
    }
    reads.push_back({j * b, static_cast<std::int16_t>(remaining)});
    return reads;
}

namespace {

// Anything of the name takes it: a folder (or a file that cannot be read) as much as a file, since
// the data file could not be made there.
bool EntryExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(PathFromUtf8(path), ec);
}

bool NameTaken(const std::string& folder, const std::string& base, std::int16_t fileType, std::int32_t number,
               std::int32_t n) {
    const std::string name = DataFileName(base, number, FileTypeExtension(fileType));
    if (EntryExists(folder + name)) return true;
    if (fileType != kFileTypeCsv) return false;
    // A CSV transfer may write lettered parts, or keep what it received as "_incomplete": none of
    // them may exist either.
    const auto parts = CsvPartsOf(folder, name, n);
    for (const auto& part : parts)
        if (EntryExists(part.path) || EntryExists(IncompleteCsvPath(part.path))) return true;
    return false;
}

}  // namespace

bool OccupiedNow(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(PathFromUtf8(path), ec));
}

std::int32_t FreeNumber(const std::string& folder, const std::string& base, std::int16_t fileType,
                        std::int32_t number, std::int32_t n) {
    while (NameTaken(folder, base, fileType, number, n) && number < 2147483647) ++number;
    return number;
}

std::int32_t FreeNumberIn(const ProgramState& s, const std::string& folder, std::int32_t number, std::int32_t n) {
    return FreeNumber(folder, s.Global.BaseFileName, s.Global.FileType, number, n);
}

std::int32_t NextFreeNumber(const std::string& folder, const std::string& base, std::int16_t fileType,
                            std::int32_t memoryWords) {
    return FreeNumber(folder, base, fileType, NextDataFileNumber(folder, base, FileTypeExtension(fileType)),
                      memoryWords);
}

std::string LeftBehindNote(Language lang, const std::string& path, const std::vector<int>& whole) {
    if (path.empty() || !EntryExists(path)) return {};
    return TextWith(lang, txt::MarkedCancelled, {FileNameOf(path), ChannelList(whole, lang)});
}

std::string LeftOutText(Language lang, const std::string& command, const std::vector<int>& broken,
                        const std::vector<int>& whole) {
    const bool several = broken.size() > 1;
    const int id = !whole.empty() ? (several ? txt::ChannelsLeftOut : txt::ChannelLeftOut)
                                  : (several ? txt::ChannelsLeftOutNoneTransferred : txt::ChannelLeftOutNoneTransferred);
    return TextWith(lang, id, {command, ChannelList(broken, lang)});
}

}  // namespace kmr
