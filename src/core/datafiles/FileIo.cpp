#include "core/datafiles/FileIo.h"

#include <cerrno>
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
    // A folder opens read-only without complaint; refuse it before anything is read.
    if (mode != Mode::CreateNew) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            error_ = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
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
    char* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::pread(fd_, p, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            return false;
        }
        if (n == 0) {
            error_ = 0;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
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

void* AllocateLargeTable(std::size_t bytes) {
    // Plain memory, touched lazily: a recorded signal uses only a few thousand of the 65536
    // cells of a channel, so most pages of the table are never faulted in (large pages would
    // have to be cleared whole, 2 MiB each, which costs more than they save).
    void* p = std::malloc(bytes);
    if (!p) throw std::bad_alloc();
    return p;
}

void FreeLargeTable(void* p) { std::free(p); }

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
