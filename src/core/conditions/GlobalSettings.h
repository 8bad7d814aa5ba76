#pragma once
// The small settings files of the condition folder: Global.cnd (data-file settings), Hard.cnd
// (installed channels last seen), Meter.cnd (GP-IB settings) and Interface.cnd (the route to the
// instrument).
#include <cstdint>
#include <string>

#include "core/support/CndFile.h"

namespace kmr {

struct GlobalSettings {
    std::string DataFolder;      // ends with the path separator
    std::string BaseFileName;
    std::int16_t FileType = 0;   // 0 .kmr, 1 .csv
    std::string SourcePathName;  // conversion tool: folder of data files
    std::string DestPathName;    // conversion tool: folder of CSV files

    bool operator==(const GlobalSettings&) const = default;
};

struct GpibSettings {
    std::int16_t Address = 20;
    std::int16_t Delimiter = 0;  // 0 CR LF, 1 CR
    std::int16_t Attempts = 3;

    bool operator==(const GpibSettings&) const = default;
};

inline const std::string kDefaultInstalledChannelText = "1111111111";
inline const std::string kDefaultInterfaceSpec = "gpib";

// Every condition file's save, and the rewrite of a damaged file at load, asks `writes` before
// each write (nullptr: write without asking).
LoadResult LoadGlobalSettings(const std::string& path, GlobalSettings& g, FileWritePort* writes);
SaveResult SaveGlobalSettings(const std::string& path, const GlobalSettings& g, FileWritePort* writes);

LoadResult LoadInstalledChannels(const std::string& path, std::string& installedChannelText, FileWritePort* writes);
SaveResult SaveInstalledChannels(const std::string& path, const std::string& installedChannelText, FileWritePort* writes);

LoadResult LoadGpibSettings(const std::string& path, GpibSettings& s, FileWritePort* writes);
SaveResult SaveGpibSettings(const std::string& path, const GpibSettings& s, FileWritePort* writes);

LoadResult LoadInterfaceSpec(const std::string& path, std::string& spec, FileWritePort* writes);
SaveResult SaveInterfaceSpec(const std::string& path, const std::string& spec, FileWritePort* writes);

}  // namespace kmr
