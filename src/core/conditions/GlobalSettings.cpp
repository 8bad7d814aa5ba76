#include "core/conditions/GlobalSettings.h"

#include "core/conditions/CndLoad.h"
#include "core/support/SpecialFolders.h"

namespace kmr {

// --- Global.cnd: five lines, the data-file settings ------------------------------------------

SaveResult SaveGlobalSettings(const std::string& path, const GlobalSettings& g, FileWritePort* writes) {
    CndWriter w;
    w.Text(g.DataFolder).EndLine();
    w.Text(g.BaseFileName).EndLine();
    w.Int(g.FileType).EndLine();
    w.Text(g.SourcePathName).EndLine();
    w.Text(g.DestPathName).EndLine();
    return w.Save(path, writes);
}

LoadResult LoadGlobalSettings(const std::string& path, GlobalSettings& g, FileWritePort* writes) {
    return LoadCndFile(
        path,
        [&g](CndReader& r) {
            const bool read = ReadTextItem(r, g.DataFolder) && ReadTextItem(r, g.BaseFileName) &&
                              ReadInt16In(r, g.FileType, kFlagRange) && ReadTextItem(r, g.SourcePathName) &&
                              ReadTextItem(r, g.DestPathName);
            // File names are put after the folders as they stand: a folder written by hand without
            // its closing separator ("/lab/Data") would put the data files beside it
            // ("/lab/Data20260101.kmr").
            for (std::string* folder : {&g.DataFolder, &g.SourcePathName, &g.DestPathName})
                *folder = WithTrailingSeparator(*folder);
            return read;
        },
        [&] { return SaveGlobalSettings(path, g, writes); });
}

// --- Hard.cnd: the installed-channel text of the instrument last seen -------------------------

SaveResult SaveInstalledChannels(const std::string& path, const std::string& installedChannelText, FileWritePort* writes) {
    CndWriter w;
    w.Text(installedChannelText).EndLine();
    return w.Save(path, writes);
}

LoadResult LoadInstalledChannels(const std::string& path, std::string& installedChannelText, FileWritePort* writes) {
    // Taken as stored, even when shorter: the comparison with the instrument's report then
    // differs and start-up writes the file again.
    return LoadCndFile(
        path, [&](CndReader& r) { return ReadTextItem(r, installedChannelText); },
        [&] { return SaveInstalledChannels(path, installedChannelText, writes); });
}

// --- Meter.cnd: GP-IB address, delimiter, attempts --------------------------------------------

SaveResult SaveGpibSettings(const std::string& path, const GpibSettings& s, FileWritePort* writes) {
    CndWriter w;
    w.Int(s.Address).Int(s.Delimiter).Int(s.Attempts).EndLine();
    return w.Save(path, writes);
}

LoadResult LoadGpibSettings(const std::string& path, GpibSettings& s, FileWritePort* writes) {
    // Kept as written whenever it fits 16 bits: the file is edited by hand only, and the
    // connection says what does not work (an address outside 0 … 30 fails to open and is named in
    // the message; Attempts 1 or less makes one attempt; another delimiter sends nothing).
    return LoadCndFile(
        path,
        [&s](CndReader& r) {
            return r.ReadInt16(s.Address) && r.ReadInt16(s.Delimiter) && r.ReadInt16(s.Attempts);
        },
        [&] { return SaveGpibSettings(path, s, writes); });
}

// --- Interface.cnd: the route to the instrument -----------------------------------------------

SaveResult SaveInterfaceSpec(const std::string& path, const std::string& spec, FileWritePort* writes) {
    CndWriter w;
    w.Text(spec).EndLine();
    return w.Save(path, writes);
}

LoadResult LoadInterfaceSpec(const std::string& path, std::string& spec, FileWritePort* writes) {
    return LoadCndFile(
        path, [&spec](CndReader& r) { return ReadTextItem(r, spec, /*nonEmpty=*/true); },
        [&] { return SaveInterfaceSpec(path, spec, writes); });
}

}  // namespace kmr
