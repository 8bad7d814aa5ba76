#include "core/datafiles/FileLock.h"

#include <cerrno>
#include <cstdint>

#include <fcntl.h>
#ifdef _WIN32
#include <windows.h>

#include "core/support/SpecialFolders.h"
#else
#include <sys/file.h>
#include <unistd.h>
#endif

namespace kmr {

int FileLock::Take(const std::string& path) {
    Release();
#ifdef _WIN32
    const auto errnoOf = [](DWORD e) { return e == ERROR_ACCESS_DENIED ? EACCES : EIO; };
    const HANDLE h = ::CreateFileW(PathFromUtf8(path).wstring().c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                   nullptr);
    if (h == INVALID_HANDLE_VALUE) return errnoOf(::GetLastError());
    OVERLAPPED at{};
    if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD e = ::GetLastError();
        ::CloseHandle(h);
        return e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING ? kHeldElsewhere : errnoOf(e);
    }
    handle_ = h;
#else
    int fd;
    do fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return errno;
    int rc;
    do rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int e = errno;
        ::close(fd);
        return e == EWOULDBLOCK ? kHeldElsewhere : e;
    }
    handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(fd) + 1);
#endif
    return 0;
}

void FileLock::Release() {
    if (handle_ == nullptr) return;
#ifdef _WIN32
    ::CloseHandle(static_cast<HANDLE>(handle_));
#else
    ::close(static_cast<int>(reinterpret_cast<std::intptr_t>(handle_) - 1));
#endif
    handle_ = nullptr;
}

}  // namespace kmr
