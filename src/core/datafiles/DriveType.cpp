#include "core/datafiles/DriveType.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>

#include "core/support/SpecialFolders.h"
#include "core/support/TextIds.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kmr {

namespace {

// The table writes a blank, tab, newline and backslash of a path as \040, \011, \012 and \134.
std::string Unescape(const std::string& field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                out += static_cast<char>(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string f;
    while (in >> f) out.push_back(f);
    return out;
}

bool ParseDevice(const std::string& text, int& major, int& minor) {
    const auto colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size()) return false;
    const std::string a = text.substr(0, colon), b = text.substr(colon + 1);
    auto digits = [](const std::string& s) { return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }); };
    if (!digits(a) || !digits(b) || a.size() > 9 || b.size() > 9) return false;
    major = std::stoi(a);
    minor = std::stoi(b);
    return true;
}

// Whether `path` is `mountPoint` or lies below it.
bool Contains(const std::string& mountPoint, const std::string& path) {
    if (mountPoint == "/") return !path.empty() && path.front() == '/';
    if (path.compare(0, mountPoint.size(), mountPoint) != 0) return false;
    return path.size() == mountPoint.size() || path[mountPoint.size()] == '/';
}

constexpr std::array<std::string_view, 22> kRemoteTypes{
    "nfs",  "nfs4",     "cifs",   "smb3", "smbfs",   "ncpfs",      "afs",        "coda",
    "ceph", "glusterfs", "9p",    "davfs", "lustre", "beegfs",     "gpfs",       "fuse.sshfs",
    "fuse.rclone", "fuse.davfs2", "fuse.s3fs", "fuse.glusterfs", "fuse.ceph", "fuse.gvfsd-fuse"};
constexpr std::array<std::string_view, 2> kOpticalTypes{"iso9660", "udf"};
constexpr std::array<std::string_view, 19> kKernelTypes{
    "proc",   "sysfs",    "devpts",   "cgroup",      "cgroup2",   "securityfs", "debugfs",
    "tracefs", "pstore",  "bpf",      "configfs",    "fusectl",   "mqueue",     "hugetlbfs",
    "devtmpfs", "binfmt_misc", "autofs", "efivarfs", "selinuxfs"};

template <std::size_t N>
bool OneOf(const std::array<std::string_view, N>& list, const std::string& s) {
    return std::find(list.begin(), list.end(), s) != list.end();
}

#ifndef _WIN32
std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The "removable" flag of a block device: in its own folder for a whole disk, in its disk's
// folder for a partition.
bool RemovableFlagAt(const std::filesystem::path& device) {
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(device, ec);
    if (ec) return false;
    for (const auto& folder : {real, real.parent_path()}) {
        const std::string flag = ReadText((folder / "removable").string());
        if (!flag.empty()) return flag[0] == '1';
    }
    return false;
}

bool SystemRemovable(const MountEntry& m) {
    if (m.major > 0) return RemovableFlagAt("/sys/dev/block/" + std::to_string(m.major) + ":" + std::to_string(m.minor));
    if (m.source.rfind("/dev/", 0) == 0)
        return RemovableFlagAt("/sys/class/block/" + std::filesystem::path(m.source).filename().string());
    return false;
}
#endif

}  // namespace

std::vector<MountEntry> ParseMountTable(const std::string& text) {
    std::vector<MountEntry> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = Fields(line);
        MountEntry m;
        const auto dash = std::find(f.begin(), f.end(), "-");
        if (dash != f.end()) {
            // mountinfo: ID PARENT MAJ:MIN ROOT MOUNTPOINT OPTIONS [OPTIONAL...] - TYPE SOURCE SUPEROPTIONS
            const auto at = static_cast<std::size_t>(dash - f.begin());
            if (at < 6 || f.size() < at + 3) continue;
            if (!ParseDevice(f[2], m.major, m.minor)) continue;
            m.mountPoint = Unescape(f[4]);
            m.fsType = f[at + 1];
            m.source = Unescape(f[at + 2]);
        } else {
            // mounts: SOURCE MOUNTPOINT TYPE OPTIONS DUMP PASS
            if (f.size() < 3) continue;
            m.source = Unescape(f[0]);
            m.mountPoint = Unescape(f[1]);
            m.fsType = f[2];
        }
        if (m.mountPoint.empty() || m.mountPoint.front() != '/') continue;
        out.push_back(std::move(m));
    }
    return out;
}

const MountEntry* MountOf(const std::vector<MountEntry>& mounts, const std::string& realPath) {
    const MountEntry* best = nullptr;
    for (const MountEntry& m : mounts)
        if (Contains(m.mountPoint, realPath) && (best == nullptr || m.mountPoint.size() >= best->mountPoint.size()))
            best = &m;
    return best;
}

DriveType ClassifyMount(const MountEntry& m, const std::function<bool(const MountEntry&)>& removable) {
    if (OneOf(kRemoteTypes, m.fsType)) return DriveType::Remote;
    // A share named in the server's own notation, whatever its file-system type says.
    if (m.source.rfind("//", 0) == 0 || (m.source.find(":/") != std::string::npos && m.source.front() != '/'))
        return DriveType::Remote;
    if (OneOf(kOpticalTypes, m.fsType)) return DriveType::CdRom;
    if (OneOf(kKernelTypes, m.fsType)) return DriveType::Other;
    if (removable && removable(m)) return DriveType::Removable;
    return DriveType::Fixed;
}

int DriveTypeRefusalText(DriveType type) {
    switch (type) {
        case DriveType::Fixed: return 0;
        case DriveType::Unknown:
            return txt::MediaUnrecognised;
        case DriveType::NoRootDir:
            return txt::NoMedia;
        case DriveType::Removable:
        case DriveType::Remote:
        case DriveType::CdRom:
        case DriveType::RamDisk:
            return txt::HardDiskOnly;
        case DriveType::Other:
            return txt::MediaDestroyed;
    }
    return txt::MediaDestroyed;
}

DriveType SystemDriveTypePort::TypeOf(const std::string& folder) {
    if (folder.empty()) return DriveType::NoRootDir;
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(PathFromUtf8(folder), ec);
    if (ec || !std::filesystem::is_directory(real, ec)) return DriveType::NoRootDir;
#ifdef _WIN32
    const std::wstring root = real.root_path().wstring();
    switch (::GetDriveTypeW(root.c_str())) {
        case DRIVE_UNKNOWN: return DriveType::Unknown;
        case DRIVE_NO_ROOT_DIR: return DriveType::NoRootDir;
        case DRIVE_REMOVABLE: return DriveType::Removable;
        case DRIVE_FIXED: return DriveType::Fixed;
        case DRIVE_REMOTE: return DriveType::Remote;
        case DRIVE_CDROM: return DriveType::CdRom;
        case DRIVE_RAMDISK: return DriveType::RamDisk;
        default: return DriveType::Other;
    }
#else
    std::string table = ReadText("/proc/self/mountinfo");
    if (table.empty()) table = ReadText("/proc/mounts");
    const std::vector<MountEntry> mounts = ParseMountTable(table);
    const MountEntry* mount = MountOf(mounts, real.string());
    if (mount == nullptr) return DriveType::Unknown;
    return ClassifyMount(*mount, SystemRemovable);
#endif
}

}  // namespace kmr
