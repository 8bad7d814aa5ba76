#pragma once
// Output files written under a temporary name beside their final name and given the final name
// only when they are complete: a file under its final name is always whole. A cancel, a failed
// write or a kill leaves at most a temporary file ("NAME.csv.tmp"), never a partial "NAME.csv",
// and a later attempt is not refused because of it.
//
// A writer creates one of the temporary names in turn (FreeTemporaryPath for a writer that takes a
// path, a library) and then calls CommitTemporary.
#include <cstddef>
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
// temporary file stays when this fails. With `replace`, a file of the final name (one the user
// chose to replace) is replaced in the same step, and stays as it was when that fails.
int CommitTemporary(const std::string& temporaryPath, const std::string& finalPath, bool replace = false);
// Writes bytes made whole in memory (an image, a PDF) as the new file `temporaryPath`: 0, or the
// system's error number with the file removed again. For writers that do not report a failed
// write (a full disk would leave them a cut file they take for complete).
int WriteTemporary(const std::string& temporaryPath, const void* data, std::size_t size,
                   FileWritePort* writes = nullptr);

}  // namespace kmr
