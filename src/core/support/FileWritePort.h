#pragma once
// Every write the program makes to a file it keeps (a data file, a CSV file, a condition file)
// asks this port first. The program passes none and writes straight to the file system; a test
// passes one that fails the n-th write as a full disk would.
#include <string>

namespace kmr {

class FileWritePort {
public:
    virtual ~FileWritePort() = default;
    // Asked before each write to `path`: 0 lets it go to the file system; an error number makes
    // the write fail with that error, nothing of it written.
    virtual int BeforeWrite(const std::string& path) = 0;
    // Asked before the file's written bytes are put on the disk (a network drive or a full disk
    // may refuse them only then): 0 lets the sync go; an error number makes it fail with that.
    virtual int BeforeSync(const std::string&) { return 0; }
};

// The answer for an optional port: 0 when there is none.
inline int AskBeforeWrite(FileWritePort* port, const std::string& path) {
    return port ? port->BeforeWrite(path) : 0;
}

}  // namespace kmr
