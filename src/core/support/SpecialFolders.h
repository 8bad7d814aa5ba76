#pragma once
// The program's folders under the platform's documents and application-data folders. Every path
// returned ends with the path separator; the folders it names are created when missing.
#include <filesystem>
#include <string>

namespace kmr {

inline constexpr const char* kProgramName = "KMR-5300";
inline constexpr const char* kMakerFolder = "VNT";

std::string GetMyDocumentsPath();
std::string GetAppDataPath();
std::string GetCommonAppDataPath();
std::string GetAppDataPath_WithVNT(const std::string& maker);
std::string GetCommonAppDataPath_WithVNT(const std::string& maker);

// Creates one folder level when missing; true when it exists afterwards. Never reports.
bool EnsureFolder(const std::string& path);
// True when the folder is named in full (not relative to the current folder), exists and can be
// entered (made the current directory).
bool FolderUsable(const std::string& path);
#ifndef _WIN32
// The user's home folder: $HOME when it is an absolute path, else the password database's entry;
// empty when neither names one.
std::string UserHomeFolder();
#endif

// 0 when `path` names a regular file or nothing at all; EISDIR for a folder and EINVAL for any
// other kind of file (a FIFO, a device, a socket). Files are checked with it before they are
// opened: opening a FIFO waits for the other side, reading a terminal waits for input.
// `charDevicesAllowed` lets a writer write into a character device (such as /dev/full or
// /dev/null), which never waits to be opened.
int NotRegularFileError(const std::string& path, bool charDevicesAllowed = false);

// The platform's path separator ("/" on Linux) and a helper that appends it when missing (on
// Windows the separator the path uses last, '/' or '\\').
char PathSeparator();
// A path of the program (UTF-8 text) as the file system's path: on Windows the wide-character
// calls then see every character, not only those of the system code page.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string WithTrailingSeparator(const std::string& path);

}  // namespace kmr
