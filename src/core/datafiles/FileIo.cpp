#include "core/datafiles/FileIo.h"

#include "core/support/SpecialFolders.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "core/support/SpecialFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace kmr {

#ifdef _WIN32
namespace {

// Paths are UTF-8 inside the program; Windows takes them as UTF-16 through the wide-char calls.
std::wstring Wide(const std::string& utf8) { return PathFromUtf8(utf8).wstring(); }

// The Windows error of a failed call as the errno value the messages are chosen by.
int ErrnoOf(DWORD e) {
    switch (e) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        case ERROR_NOT_READY:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_NO_MEDIA_IN_DRIVE: return ENODEV;
        case ERROR_WRITE_PROTECT: return EROFS;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return EACCES;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return ENOENT;
        default: return EIO;
    }
}

// One positioned transfer of at most 1 GiB through the file's handle (safe from several threads).
long long Transfer(int fd, bool write, std::int64_t offset, void* p, std::size_t size) {
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, std::size_t{1} << 30));
    DWORD n = 0;
    const BOOL ok = write ? WriteFile(h, p, chunk, &n, &at) : ReadFile(h, p, chunk, &n, &at);
    if (!ok) {
        const DWORD e = GetLastError();
        if (!write && e == ERROR_HANDLE_EOF) return 0;
        errno = ErrnoOf(e);
        return -1;
    }
    return n;
}

}  // namespace
#endif

FileHandle::~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
}

FileHandle::FileHandle(FileHandle&& other) noexcept
    : fd_(other.fd_), error_(other.error_), appendPos_(other.appendPos_), writes_(other.writes_),
      path_(std::move(other.path_)) {
    other.fd_ = -1;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        error_ = other.error_;
        appendPos_ = other.appendPos_;
        writes_ = other.writes_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

bool FileHandle::Open(const std::string& path, Mode mode, FileWritePort* writes) {
    if (fd_ >= 0) Close();
    error_ = 0;
    appendPos_ = 0;
    writes_ = writes;
    path_ = writes ? path : std::string();
#ifdef _WIN32
    int flags = O_BINARY | O_NOINHERIT;
    const std::wstring name = Wide(path);
#else
    int flags = O_CLOEXEC;
#endif
    switch (mode) {
        case Mode::CreateNew: flags |= O_WRONLY | O_CREAT | O_EXCL; break;
        case Mode::ReadWrite: flags |= O_RDWR; break;
        case Mode::ReadOnly: flags |= O_RDONLY; break;
    }
    // A folder opens read-only without complaint and a FIFO would wait for a writer: refuse
    // both before anything is opened.
    if (mode != Mode::CreateNew) {
        if (const int err = NotRegularFileError(path)) {
            error_ = err;
            return false;
        }
    }
    int fd;
    do {
#ifdef _WIN32
        fd = ::_wopen(name.c_str(), flags, _S_IREAD | _S_IWRITE);
#else
        fd = ::open(path.c_str(), flags, 0666);
#endif
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    fd_ = fd;
    return true;
}

bool FileHandle::WriteAt(std::int64_t offset, const void* data, std::size_t size) {
    if (const int refused = AskBeforeWrite(writes_, path_)) {
        error_ = refused;
        return false;
    }
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
#ifdef _WIN32
        const long long n = Transfer(fd_, true, offset, const_cast<char*>(p), size);
#else
        const ssize_t n = ::pwrite(fd_, p, size, static_cast<off_t>(offset));
#endif
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            return false;
        }
        if (n == 0) {
            error_ = ENOSPC;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

bool FileHandle::Append(const void* data, std::size_t size) {
    if (!WriteAt(appendPos_, data, size)) return false;
    appendPos_ += static_cast<std::int64_t>(size);
    return true;
}

bool FileHandle::ReadAt(std::int64_t offset, void* data, std::size_t size) {
    const int rc = ReadAtShared(offset, data, size);
    error_ = rc > 0 ? rc : 0;
    return rc == 0;
}

int FileHandle::ReadAtShared(std::int64_t offset, void* data, std::size_t size) const {
    char* p = static_cast<char*>(data);
    while (size > 0) {
#ifdef _WIN32
        const long long n = Transfer(fd_, false, offset, p, size);
#else
        const ssize_t n = ::pread(fd_, p, size, static_cast<off_t>(offset));
#endif
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno != 0 ? errno : EIO;
        }
        if (n == 0) return -1;
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return 0;
}

std::int64_t FileHandle::Size() {
#ifdef _WIN32
    struct _stat64 st {};
    if (::_fstat64(fd_, &st) != 0) {
#else
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
#endif
        error_ = errno;
        return -1;
    }
    return static_cast<std::int64_t>(st.st_size);
}

bool FileHandle::Close() {
    if (fd_ < 0) return true;
    const int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0 && errno != EINTR) {
        error_ = errno;
        return false;
    }
    return true;
}

bool FileHandle::Sync() {
    if (fd_ < 0) return true;
    if (const int refused = writes_ ? writes_->BeforeSync(path_) : 0) {
        error_ = refused;
        return false;
    }
#ifdef _WIN32
    const int rc = ::_commit(fd_);
#else
    int rc;
    do {
        rc = ::fsync(fd_);
    } while (rc != 0 && errno == EINTR);
    // A file system that cannot sync (a pipe, some special file systems) has nothing to wait for.
    if (rc != 0 && (errno == EINVAL || errno == EROFS)) rc = 0;
#endif
    if (rc != 0) {
        error_ = errno != 0 ? errno : EIO;
        return false;
    }
    return true;
}

LargeMemory::LargeMemory(std::size_t bytes) {
    constexpr std::size_t kLargePage = std::size_t{2} << 20;
    size_ = std::max<std::size_t>(bytes, 1);
    // Maps a large page more than needed and keeps the part that starts at a large-page boundary.
#ifdef _WIN32
    // Committed pages of VirtualAlloc are zero-filled; large pages need a privilege users lack.
    (void)kLargePage;
    data_ = static_cast<char*>(VirtualAlloc(nullptr, size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!data_) throw std::bad_alloc();
#else
    const std::size_t mapped = size_ + kLargePage;
    void* p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t aligned = (start + kLargePage - 1) / kLargePage * kLargePage;
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t end = (aligned + size_ + page - 1) / page * page;
    if (aligned > start) ::munmap(p, aligned - start);
    if (start + mapped > end) ::munmap(reinterpret_cast<void*>(end), start + mapped - end);
    data_ = reinterpret_cast<char*>(aligned);
#ifdef MADV_HUGEPAGE
    ::madvise(data_, end - aligned, MADV_HUGEPAGE);
#endif
#endif
}

LargeMemory::~LargeMemory() {
#ifdef _WIN32
    VirtualFree(data_, 0, MEM_RELEASE);
#else
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    ::munmap(data_, (size_ + page - 1) / page * page);
#endif
}

bool ProbeWritableFolder(const std::string& folder) {
#ifdef _WIN32
    // "DmyFile.dat" when there is no such file; otherwise a name no other file has: the process
    // id and a tick count, tried until one is free.
    {
        const std::wstring name = Wide(folder + kWriteTestFileName);
        const int fd = ::_wopen(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd >= 0) {
            const bool closed = ::_close(fd) == 0;
            return closed && ::_wunlink(name.c_str()) == 0;
        }
        if (errno != EEXIST) return false;
    }
    const std::string base = folder + "DmyFile-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(GetTickCount64()) + "-";
    for (int i = 0; i < 100; ++i) {
        const std::wstring name = Wide(base + std::to_string(i));
        const int fd = ::_wopen(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        const bool closed = ::_close(fd) == 0;
        return closed && ::_wunlink(name.c_str()) == 0;
    }
    return false;
#else
    // "DmyFile.dat" when there is no such file; otherwise a name no other file has.
    std::string name = folder + kWriteTestFileName;
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) {
        name = folder + "DmyFile-XXXXXX";
        fd = ::mkstemp(name.data());
    }
    if (fd < 0) return false;
    const bool closed = ::close(fd) == 0;
    const bool removed = ::unlink(name.c_str()) == 0;
    return closed && removed;
#endif
}

int ProbeCreateFile(const std::string& path) {
#ifdef _WIN32
    const std::wstring name = Wide(path);
    const int fd = ::_wopen(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return errno != 0 ? errno : EIO;
    const bool closed = ::_close(fd) == 0;
    const int closeErr = closed ? 0 : (errno != 0 ? errno : EIO);
    if (::_wunlink(name.c_str()) != 0 && closeErr == 0) return errno != 0 ? errno : EIO;
    return closeErr;
#else
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return errno != 0 ? errno : EIO;
    const int closeErr = ::close(fd) == 0 ? 0 : (errno != 0 ? errno : EIO);
    if (::unlink(path.c_str()) != 0 && closeErr == 0) return errno != 0 ? errno : EIO;
    return closeErr;
#endif
}

bool ReadFileStamp(const std::string& path, FileStamp& stamp) {
#ifdef _WIN32
    struct _stat64 st {};
    if (::_wstat64(Wide(path).c_str(), &st) != 0) return false;
    stamp.bytes = static_cast<std::uint64_t>(st.st_size);
    stamp.time = st.st_ctime;  // the creation time on Windows
    stamp.creationTime = true;
    return true;
#else
    struct statx st {};
    if (::statx(AT_FDCWD, path.c_str(), AT_STATX_SYNC_AS_STAT, STATX_SIZE | STATX_BTIME | STATX_MTIME, &st) != 0)
        return false;
    stamp.bytes = st.stx_size;
    stamp.creationTime = (st.stx_mask & STATX_BTIME) != 0;
    stamp.time = stamp.creationTime ? st.stx_btime.tv_sec : st.stx_mtime.tv_sec;
    return true;
#endif
}

bool RemoveFile(const std::string& path) {
#ifdef _WIN32
    return ::_wunlink(Wide(path).c_str()) == 0 || errno == ENOENT;
#else
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
#endif
}

int RenameNoReplace(const std::string& from, const std::string& to) {
#ifdef _WIN32
    if (::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), 0)) return 0;
    const DWORD e = ::GetLastError();
    return e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS ? EEXIST : ErrnoOf(e);
#else
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
#endif
    // A file system without the atomic call: a second link, which fails on an existing name,
    // then the first name goes.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno == EEXIST) return EEXIST;
    // Nor hard links (FAT): look, then rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
#endif
}

namespace {

// An error number and how it is said.
struct ErrorWords {
    int err;
    const char* text;
};
// The errors a person meets with files, folders and network connections, said in Japanese.
const ErrorWords kJapaneseErrors[] = {
    {ENOENT, "ファイルまたはフォルダーが見つかりません"},
    {EACCES, "アクセスが拒否されました"},
    {EPERM, "この操作は許可されていません"},
    {ENOSPC, "ディスクの空き領域が足りません"},
    {EROFS, "読み取り専用のドライブです"},
    {EEXIST, "同じ名前のファイルが既にあります"},
    {EISDIR, "フォルダーです"},
    {ENOTDIR, "フォルダーではありません"},
    {EIO, "入出力エラーが発生しました"},
    {EBUSY, "使用中です"},
    {ENAMETOOLONG, "ファイル名が長すぎます"},
    {EMFILE, "開いているファイルが多すぎます"},
    {ENFILE, "開いているファイルが多すぎます"},
    {ENOMEM, "メモリが足りません"},
    {EFBIG, "ファイルが大きすぎます"},
#ifdef EDQUOT
    {EDQUOT, "ディスクの使用量の上限を超えました"},
#endif
    {ECONNREFUSED, "接続が拒否されました"},
    {ETIMEDOUT, "接続がタイムアウトしました"},
    {EHOSTUNREACH, "ホストに到達できません"},
    {ENETUNREACH, "ネットワークに到達できません"},
    {ENETDOWN, "ネットワークが停止しています"},
    {ECONNRESET, "接続が相手側からリセットされました"},
    {ECONNABORTED, "接続が中断されました"},
    {EPIPE, "パイプが切断されました"},  // also a closed standard output
    {EADDRINUSE, "アドレスは既に使用されています"},
    {EADDRNOTAVAIL, "指定されたアドレスを使用できません"},
#ifdef EHOSTDOWN
    {EHOSTDOWN, "ホストが停止しています"},
#endif
};

#if !defined(__GLIBC__)
// The network errors in the C library's own words, for a C library that has none for them (the
// one on Windows).
const ErrorWords kNetworkErrorsInEnglish[] = {
    {ECONNREFUSED, "Connection refused"},
    {ETIMEDOUT, "Connection timed out"},
    {EHOSTUNREACH, "No route to host"},
    {ENETUNREACH, "Network is unreachable"},
    {ENETDOWN, "Network is down"},
    {ECONNRESET, "Connection reset by peer"},
    {ECONNABORTED, "Software caused connection abort"},
    {EPIPE, "Broken pipe"},
    {EADDRINUSE, "Address already in use"},
    {EADDRNOTAVAIL, "Cannot assign requested address"},
#ifdef EHOSTDOWN
    {EHOSTDOWN, "Host is down"},
#endif
};
#endif

}  // namespace

const char* JapaneseErrorDescription(int err) {
    for (const ErrorWords& j : kJapaneseErrors)
        if (j.err == err) return j.text;
    return nullptr;
}

std::string ErrorDescription(int err, Language lang) {
    if (lang == Language::Japanese)
        if (const char* ja = JapaneseErrorDescription(err)) return ja;
    // strerrordesc_np is locale-independent; the message box is read by people of either language.
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
    if (const char* d = ::strerrordesc_np(err)) return d;
    return "Error " + std::to_string(err);
#else
    for (const ErrorWords& n : kNetworkErrorsInEnglish)
        if (n.err == err) return n.text;
    return std::strerror(err);
#endif
}

bool IsDeviceNotReadyError(int err) {
    return err == ENXIO || err == ENODEV
#ifdef ENOMEDIUM
           || err == ENOMEDIUM
#endif
        ;
}

}  // namespace kmr
