#pragma once
// A temporary folder for one test, removed with everything in it at the end of the test, and
// the same for HOME and the XDG folders; whole-file reads and writes.
#include <map>
#include <optional>
#include <string>

namespace kmr::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, without a trailing "/".
    const std::string& path() const { return path_; }
    // The folder with a trailing "/".
    std::string folder() const { return path_ + "/"; }
    // The folder with "/" and `name` appended.
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::string operator/(const std::string& name) const { return File(name); }

    // Writes `bytes` to the file `name` in the folder and returns its full path.
    std::string Write(const std::string& name, const std::string& bytes) const;

private:
    std::string path_;
};

// Sets or clears environment variables for one test and restores them all at the end.
class EnvVars {
public:
    EnvVars() = default;
    ~EnvVars();
    EnvVars(const EnvVars&) = delete;
    EnvVars& operator=(const EnvVars&) = delete;
    // Sets `name` to `value`, or removes it when there is no value.
    void Set(const std::string& name, const std::optional<std::string>& value);

private:
    std::map<std::string, std::optional<std::string>> saved_;  // the values before the first Set
};

// Points HOME and the XDG folders at a temporary folder and restores them afterwards.
class TempHome {
public:
    TempHome();
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
    EnvVars env_;
};

std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);
// True when something (a file, folder or dangling link) is at `path`.
bool FileExistsOnDisk(const std::string& path);

}  // namespace kmr::testing
