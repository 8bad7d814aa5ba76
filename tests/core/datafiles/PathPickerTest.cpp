#include "core/datafiles/PathPicker.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/datafiles/DriveType.h"
#include "core/support/SpecialFolders.h"
#include "support/FakeDrive.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"

namespace kmr {
namespace {

using testing::FakeDrive;
using testing::FakeDriveType;
using testing::FakeUi;
using testing::TempDir;

// Records what the owner hears.
struct OwnerLog : PathPickerEvents {
    void FolderChosen(const std::string& tag, const std::string& folder) override {
        log.push_back("chosen " + tag + " " + folder);
    }
    void PickerClosed(const std::string& tag) override { log.push_back("closed " + tag); }
    std::vector<std::string> log;
};

struct Picker : ::testing::Test {
    FakeUi ui;
    FakeDriveType types;
    FakeDrive drive;
    PathPickerPorts ports{ui, types, drive};
    OwnerLog owner;
    PathPicker picker{Language::English, "/data/run", kConvertCsvFolderTag};

    // OK keeps the picker open with one box of this text.
    void OkStaysOpenWithOneBox(const char* text) {
        ui.shown.clear();
        EXPECT_EQ(picker.Ok(ports, owner), PickerStep::StayOpen);
        EXPECT_EQ(ui.Texts(), std::vector<std::string>{text});
    }
};

TEST_F(Picker, RefusedDriveKeepsThePickerOpenAndTestsNothingElse) {
    const char* const hardDiskOnly = "Disk media is restricted to hard disk.";
    // Removable, remote, CD-ROM and RAM drives share one refusal: its first and last.
    for (const auto& [type, text] : {std::pair{DriveType::Removable, hardDiskOnly}, {DriveType::RamDisk, hardDiskOnly},
                                     {DriveType::Unknown, "The media can not be recognixed."},
                                     {DriveType::NoRootDir, "The media does not exist."},
                                     {DriveType::Other, "The media can not be recognized or it is destroyed."}}) {
        types.type = type;
        OkStaysOpenWithOneBox(text);
    }
    EXPECT_TRUE(drive.asked.empty());
    EXPECT_EQ(drive.writeTests, 0);
    EXPECT_TRUE(owner.log.empty());
    EXPECT_EQ(picker.Path(), "/data/run");
}

TEST_F(Picker, FreeSpaceBelowOneMegabyteOrUnknownKeepsThePickerOpenExactlyOneIsEnough) {
    for (auto [free, text] : {std::pair<std::int64_t, const char*>{999999, "Drive capacity of more than 1MB is needed."},
                              {-1, "Drive media is abnormal."}}) {
        drive.free = free;
        OkStaysOpenWithOneBox(text);
    }
    EXPECT_EQ(drive.writeTests, 0);
    EXPECT_TRUE(owner.log.empty());
    // Exactly one megabyte is enough, and the folder gets its separator (in the style it is
    // written in).
    drive.free = 1000000;
    ui.shown.clear();
    EXPECT_EQ(picker.Ok(ports, owner), PickerStep::Close);
    EXPECT_TRUE(ui.shown.empty());
    const std::string folder = "/data/run/";
    EXPECT_EQ(drive.written, std::vector<std::string>{folder});
    EXPECT_EQ(picker.Path(), folder);
    picker.Unloaded(owner);
    picker.Unloaded(owner);
    EXPECT_EQ(owner.log, (std::vector<std::string>{"chosen FileExchangeDlg!txtDPathName " + folder,
                                                   "closed FileExchangeDlg!txtDPathName"}));
}

TEST_F(Picker, FailedWriteTestClosesWithoutAFolder) {
    drive.failingWriteTests = 1;
    picker.SetPath("/data/run/");
    EXPECT_EQ(picker.Ok(ports, owner), PickerStep::Close);
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Directory '/data/run' cannot select."});
    picker.Unloaded(owner);
    EXPECT_EQ(owner.log, std::vector<std::string>{"closed FileExchangeDlg!txtDPathName"});
}

TEST_F(Picker, TheWriteTestNeverTouchesAnExistingDmyFile) {
    TempDir dir;
    const std::string mine = dir.Write("DmyFile.dat", "the user's own file");
    SystemDrivePort system;
    PathPickerPorts systemPorts{ui, types, system};
    PathPicker picker(Language::English, dir.path(), kDataFolderTag);
    EXPECT_EQ(picker.Ok(systemPorts, owner), PickerStep::Close);
    EXPECT_EQ(owner.log,
              std::vector<std::string>{"chosen SetPathAndFileDlg!ltxtPathName " + WithTrailingSeparator(dir.path())});
    EXPECT_EQ(testing::ReadAll(mine), "the user's own file");
    // Nothing else is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

// --- The drive type from the mount table ------------------------------------------------------------

constexpr const char* kMountInfo =
    "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
    "23 22 0:21 / /proc rw,nosuid shared:5 - proc proc rw\n"
    "40 22 8:17 / /media/user/USB\\040STICK rw,nosuid shared:30 - vfat /dev/sdb1 rw\n"
    "41 22 0:45 / /mnt/share rw shared:31 - nfs4 server:/export rw\n"
    "42 22 0:46 / /mnt/win rw shared:32 - fuse.sshfs user@host: rw\n"
    "43 22 11:0 / /media/cdrom ro shared:33 - iso9660 /dev/sr0 ro\n"
    "44 22 0:47 / /tmp rw shared:34 - tmpfs tmpfs rw\n"
    "45 22 0:48 / /mnt/smb rw - cifs //nas/data rw\n"
    "46 22 8:3 / /home rw,relatime shared:35 - ext4 /dev/sda3 rw\n"
    "garbage line\n";

TEST(MountTable, FolderIsOnTheMountThatHoldsIt) {
    const auto mounts = ParseMountTable(kMountInfo);
    ASSERT_EQ(mounts.size(), 9u);
    // Only the disk /dev/sdb (8:16, its partition 8:17) is removable.
    const auto removable = [](const MountEntry& e) { return e.major == 8 && e.minor >= 16 && e.minor < 32; };
    const struct {
        const char* path;
        const char* mountPoint;
        DriveType type;
    } cases[] = {
        {"/", "/", DriveType::Fixed}, {"/home/user/Documents", "/home", DriveType::Fixed},
        {"/homework", "/", DriveType::Fixed},  // not below "/home"
        {"/media/user/USB STICK/data", "/media/user/USB STICK", DriveType::Removable},
        {"/mnt/share/x", "/mnt/share", DriveType::Remote}, {"/mnt/win", "/mnt/win", DriveType::Remote},
        {"/mnt/smb/a/b", "/mnt/smb", DriveType::Remote}, {"/media/cdrom", "/media/cdrom", DriveType::CdRom},
        {"/tmp/x", "/tmp", DriveType::Fixed}, {"/proc/1", "/proc", DriveType::Other},
    };
    for (const auto& c : cases) {
        const MountEntry* m = MountOf(mounts, c.path);
        ASSERT_NE(m, nullptr) << c.path;
        EXPECT_EQ(m->mountPoint, c.mountPoint);
        EXPECT_EQ(ClassifyMount(*m, removable), c.type) << c.path;
    }
}

TEST(MountTableFile, ProcMountsWithoutDeviceNumbersAndALaterMountCoveringAnEarlierOne) {
    const auto mounts = ParseMountTable(
        "/dev/sda1 / ext4 rw 0 0\n"
        "/dev/sdc1 /mnt/x ext4 rw 0 0\n"
        "server:/e /mnt/x nfs rw 0 0\n");
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].major, -1);
    const MountEntry* m = MountOf(mounts, "/mnt/x/data");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->fsType, "nfs");
    EXPECT_EQ(ClassifyMount(*m, {}), DriveType::Remote);
    // The system calls a missing folder no drive and the test folder a type.
    TempDir dir;
    SystemDriveTypePort port;
    EXPECT_EQ(port.TypeOf(dir.File("missing")), DriveType::NoRootDir);
    EXPECT_EQ(port.TypeOf(""), DriveType::NoRootDir);
    EXPECT_NE(port.TypeOf(dir.path()), DriveType::NoRootDir);
}

}  // namespace
}  // namespace kmr
