#pragma once
// Output files written under a temporary name beside their final name and given the final name
// only when they are complete: a file under its final name is always whole. A cancel, a failed
// write or a kill leaves at most a temporary file ("NAME.csv.tmp"), never a partial "NAME.csv",
// and a later attempt is not refused because of it.
//
// Use TemporaryOutput for a file the program writes itself; a writer that takes a path (a library)
// writes FreeTemporaryPath(final) and then calls CommitTemporary.
#include <string>

#include "core/datafiles/FileIo.h"
#include "core/support/FileWritePort.h"

namespace kmr {

// The temporary names of `finalPath`, tried in turn: final + ".tmp", then final + ".1.tmp" up to
// final + ".9.tmp" (a temporary file left behind by a killed program is never touched).
inline constexpr int kTemporaryNameAttempts = 10;
std::string TemporaryPath(const std::string& finalPath, int attempt);
// The first of them that is free; empty when none is.
std::string FreeTemporaryPath(const std::string& finalPath);
// Something (a file, a folder, a dangling link) has this name.
bool NameInUse(const std::string& path);
// Puts the temporary file's bytes on the disk and gives it its final name, never replacing a file
// of that name: 0, or the system's error number (EEXIST when the final name is taken). The
// temporary file stays when this fails.
int CommitTemporary(const std::string& temporaryPath, const std::string& finalPath);

class TemporaryOutput {
public:
    TemporaryOutput() = default;
    // A file neither committed nor discarded is discarded.
    ~TemporaryOutput();
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;

    // Creates the first free temporary name of `finalPath`; false with error() set. Every write
    // of the file asks `writes` first (for the final path) when one is given.
    bool Create(const std::string& finalPath, FileWritePort* writes = nullptr);
    FileHandle& File() { return file_; }
    const std::string& Path() const { return path_; }
    const std::string& FinalPath() const { return final_; }
    bool Pending() const { return !path_.empty(); }

    // Syncs and closes the file, then gives it the final name (or `target`) without replacing a
    // file; false with error() set (the temporary file then stays until Discard).
    bool Commit() { return CommitAs(final_); }
    bool CommitAs(const std::string& target);
    // Closes and removes the temporary file; true when it is gone.
    bool Discard();

    int error() const { return error_ != 0 ? error_ : file_.error(); }

private:
    FileHandle file_;
    std::string path_;   // the temporary file, empty when there is none
    std::string final_;
    int error_ = 0;
};

}  // namespace kmr
