#pragma once
// While it lives, no file of this process may grow beyond `bytes`: a write past the limit fails
// with EFBIG as on a full disk (the signal that would end the process is ignored meanwhile).
#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>

namespace kmr::testing {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit small = old_;
        small.rlim_cur = bytes;
        ok_ = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, SIG_DFL);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool ok() const { return ok_; }

private:
    rlimit old_{};
    bool ok_ = false;
};

}  // namespace kmr::testing
#endif
