#pragma once
// The few file operations of the data files, with positioned reads and writes and the system's
// error number kept for the message. The only place of this folder that calls the platform.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/support/FileWritePort.h"
#include "core/support/TextTable.h"

namespace kmr {

class FileHandle {
public:
    enum class Mode {
        CreateNew,     // write-only; fails when the name exists (never overwrites)
        ReadWrite,     // an existing file, no truncation
        ReadOnly,      // an existing regular file
    };

    FileHandle() = default;
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Opens `path`; false with error() set on failure. ReadOnly and ReadWrite refuse a folder or
    // any other file that is not a regular file (EISDIR / EINVAL). Every write of the handle
    // asks `writes` first when one is given.
    bool Open(const std::string& path, Mode mode, FileWritePort* writes = nullptr);
    // The name `writes` is asked with from now on (a file written under a temporary name is
    // asked for under its final name).
    void NameForWrites(std::string name) {
        if (writes_) path_ = std::move(name);
    }
    bool isOpen() const { return fd_ >= 0; }

    // Writes all `size` bytes at `offset` (short writes are continued).
    bool WriteAt(std::int64_t offset, const void* data, std::size_t size);
    // Appends all bytes at the current end of what this handle wrote sequentially.
    bool Append(const void* data, std::size_t size);
    // Reads exactly `size` bytes at `offset`; false (error() = 0) when the file ends before.
    bool ReadAt(std::int64_t offset, void* data, std::size_t size);
    // The same read for several threads at once on one handle: 0, the system's error number, or
    // -1 when the file ends before `size` bytes. error() is left alone.
    int ReadAtShared(std::int64_t offset, void* data, std::size_t size) const;
    // Current size in bytes, or -1 with error() set.
    std::int64_t Size();
    // Closes; false when the close reported a write error.
    bool Close();
    // Asks the system to put everything written on the disk (fsync); false with error() set.
    bool Sync();

    int error() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
    std::int64_t appendPos_ = 0;
    FileWritePort* writes_ = nullptr;
    std::string path_;  // kept for `writes_` only
};

// Memory for tables and buffers that are used whole, zero-filled, on 2 MiB pages where the system
// offers them: on a virtual machine every 4 KiB page a program touches for the first time costs
// several microseconds, a large page hardly more. Throws std::bad_alloc when there is none.
class LargeMemory {
public:
    explicit LargeMemory(std::size_t bytes);
    ~LargeMemory();
    LargeMemory(const LargeMemory&) = delete;
    LargeMemory& operator=(const LargeMemory&) = delete;
    char* data() const { return data_; }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
};

// The name of the write test's file.
inline constexpr const char* kWriteTestFileName = "DmyFile.dat";
// Creates the test file "DmyFile.dat" in `folder` (ending with the separator) and removes it;
// true when both worked. An existing file is never touched: when "DmyFile.dat" exists already,
// the test is made with a uniquely named file instead.
bool ProbeWritableFolder(const std::string& folder);
// Creates `path` new (never over an existing file), closes and removes it again: 0 when that
// worked, else the system's error number (EEXIST when something has that name).
int ProbeCreateFile(const std::string& path);

// What the file lists show of a file: its size and the time of its creation where the file
// system keeps one (Linux: statx's birth time; Windows: the creation time), else of its last
// modification, in seconds since 1970 (UTC).
struct FileStamp {
    std::uint64_t bytes = 0;
    std::int64_t time = 0;
    bool creationTime = false;  // `time` is the creation time (else the modification time)
};
// False when the file's information cannot be read.
bool ReadFileStamp(const std::string& path, FileStamp& stamp);

// Removes a file; true when it is gone.
bool RemoveFile(const std::string& path);

// Gives the complete file `from` the name `to`, which must not exist: an existing file is never
// replaced (EEXIST). 0 or the system's error number.
int RenameNoReplace(const std::string& from, const std::string& to);

// The system's description of an error number (locale-independent wording); in Japanese for
// the errors a person meets with files (a full disk, a name taken, no permission, ...) and with
// network connections (refused, timed out, unreachable, reset, ...; Winsock's numbers too).
std::string ErrorDescription(int err, Language lang = Language::English);
// The Japanese description of those errors; nullptr for any other number.
const char* JapaneseErrorDescription(int err);

// True for the errors that mean "the device is not available or not ready".
bool IsDeviceNotReadyError(int err);

}  // namespace kmr
