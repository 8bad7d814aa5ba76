#include "core/datafiles/FileIo.h"

#include "core/support/SpecialFolders.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kmr {

FileHandle::~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
}

FileHandle::FileHandle(FileHandle&& other) noexcept
    : fd_(other.fd_), error_(other.error_), appendPos_(other.appendPos_) {
    other.fd_ = -1;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        error_ = other.error_;
        appendPos_ = other.appendPos_;
        other.fd_ = -1;
    }
    return *this;
}

bool FileHandle::Open(const std::string& path, Mode mode) {
    if (fd_ >= 0) Close();
    error_ = 0;
    appendPos_ = 0;
    int flags = O_CLOEXEC;
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
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    fd_ = fd;
    return true;
}

bool FileHandle::WriteAt(std::int64_t offset, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd_, p, size, static_cast<off_t>(offset));
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
        const ssize_t n = ::pread(fd_, p, size, static_cast<off_t>(offset));
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
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
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

LargeMemory::LargeMemory(std::size_t bytes) {
    constexpr std::size_t kLargePage = std::size_t{2} << 20;
    size_ = std::max<std::size_t>(bytes, 1);
    // Maps a large page more than needed and keeps the part that starts at a large-page boundary.
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
}

LargeMemory::~LargeMemory() {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    ::munmap(data_, (size_ + page - 1) / page * page);
}

bool ProbeWritableFolder(const std::string& folder) {
    std::string name = folder + "DmyFile-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return false;
    const bool closed = ::close(fd) == 0;
    const bool removed = ::unlink(name.c_str()) == 0;
    return closed && removed;
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::string ErrorDescription(int err) {
    // strerrordesc_np is locale-independent; the message box is read by people of either language.
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
    if (const char* d = ::strerrordesc_np(err)) return d;
    return "Error " + std::to_string(err);
#else
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
