#pragma once
// What kind of drive a folder lies on. The folder picker accepts only a fixed disk: a local file
// system that is neither removable media nor a network share.
//
// On Linux the answer comes from the mount table (/proc/self/mountinfo, or /proc/mounts where
// that is missing): the mount that holds the folder (the longest mount point that contains its
// real path), its file-system type (network types such as nfs, cifs or sshfs are remote;
// iso9660 and udf are optical discs; kernel file systems such as proc or sysfs are no disk at
// all) and, for a block device, its "removable" flag under /sys/dev/block/MAJ:MIN (the partition's
// own folder or its disk's). On Windows the system's drive type of the folder's root is used.
#include <functional>
#include <string>
#include <vector>

namespace kmr {

enum class DriveType {
    Unknown,    // the type cannot be determined
    NoRootDir,  // no such drive (the folder does not exist)
    Removable,  // a removable medium (USB stick, memory card)
    Fixed,      // a local disk
    Remote,     // a network share
    CdRom,      // an optical disc
    RamDisk,    // a RAM disk (Windows only: on Linux a tmpfs is a local file system like any other)
    Other,      // a file system that is no disk (proc, sysfs ...)
};

// Tells the drive type of a folder; tests replace it.
class DriveTypePort {
public:
    virtual ~DriveTypePort() = default;
    virtual DriveType TypeOf(const std::string& folder) = 0;
};

// The system's answer (the mount table on Linux).
class SystemDriveTypePort : public DriveTypePort {
public:
    DriveType TypeOf(const std::string& folder) override;
};

// One line of the mount table.
struct MountEntry {
    std::string mountPoint;  // with the table's escapes (\040 for a blank ...) resolved
    std::string fsType;
    std::string source;      // the device or share ("/dev/sdb1", "server:/export", "//host/share")
    int major = -1;          // the device numbers; -1 where the table has none (/proc/mounts)
    int minor = -1;
};

// The entries of /proc/self/mountinfo (when the text has its " - " separator) or of /proc/mounts,
// in table order. Lines that cannot be read are skipped.
std::vector<MountEntry> ParseMountTable(const std::string& text);

// The mount that holds `realPath` (an absolute path without links): the longest mount point that
// is the path or one of its parent folders; of equal ones the last (it covers the earlier ones).
// nullptr when none does.
const MountEntry* MountOf(const std::vector<MountEntry>& mounts, const std::string& realPath);

// The drive type of a mount; `removable` tells whether its block device is removable media.
DriveType ClassifyMount(const MountEntry& mount, const std::function<bool(const MountEntry&)>& removable);

// The text the folder picker shows for a drive type it refuses (title 151); 0 for a fixed disk.
int DriveTypeRefusalText(DriveType type);

}  // namespace kmr
