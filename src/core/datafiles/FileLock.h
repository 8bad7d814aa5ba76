#pragma once
// The lock that keeps two programs of this computer off one instrument. It calls the platform.
#include <string>

namespace kmr {

// A lock on a file that other programs (and other locks of this one) cannot take while it is
// held: taken by Take, given back by Release or when the object goes, and by the system when the
// program ends however it ends, so a lock is never left behind by a crash.
class FileLock {
public:
    FileLock() = default;
    ~FileLock() { Release(); }
    FileLock(FileLock&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    FileLock& operator=(FileLock&& other) noexcept {
        if (this != &other) {
            Release();
            handle_ = other.handle_;
            other.handle_ = nullptr;
        }
        return *this;
    }
    // Creates the file when it is missing and takes its lock without waiting: 0 when taken,
    // kHeldElsewhere when another holds it, else the system's error number.
    static constexpr int kHeldElsewhere = -1;
    int Take(const std::string& path);
    void Release();
    bool Held() const { return handle_ != nullptr; }

private:
    void* handle_ = nullptr;  // the open file (a descriptor + 1 off Windows)
};

}  // namespace kmr
