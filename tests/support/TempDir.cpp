#include "support/TempDir.h"

#include "support/PosixEnvironment.h"
#include "core/support/SpecialFolders.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#ifdef _WIN32
#include <process.h>
#endif

namespace kmr::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
#ifdef _WIN32
    // No mkdtemp: a new folder named after the process and a counter, tried until one is free.
    const fs::path base = fs::temp_directory_path();
    const std::string stem = "kmr-test-" + std::to_string(::_getpid()) + "-";
    for (int i = 0; i < 1000 && path_.empty(); ++i) {
        std::error_code ec;
        const fs::path p = base / (stem + std::to_string(i));
        if (fs::create_directory(p, ec)) path_ = p.string();
    }
#else
    std::string pattern = (fs::temp_directory_path() / "kmr-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
#endif
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code ec;
    // A test may have taken away the rights to the folder; give them back to remove it.
    fs::permissions(path_, fs::perms::owner_all, ec);
    fs::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
    const std::string p = File(name);
    WriteAll(p, bytes);
    return p;
}

namespace {
void SetOrRemove(const std::string& name, const std::optional<std::string>& value) {
    value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
}
}  // namespace

EnvVars::~EnvVars() {
    for (const auto& [name, value] : saved_) SetOrRemove(name, value);
}

void EnvVars::Set(const std::string& name, const std::optional<std::string>& value) {
    if (saved_.find(name) == saved_.end()) {
        const char* old = std::getenv(name.c_str());
        saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    SetOrRemove(name, value);
}

TempHome::TempHome() {
    env_.Set("HOME", dir_.path());
    env_.Set("XDG_CONFIG_HOME", dir_.File("config"));
    env_.Set("XDG_DATA_HOME", dir_.File("data"));
    env_.Set("XDG_DOCUMENTS_DIR", dir_.File("Documents"));
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);  // UTF-8 names on Windows too
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExistsOnDisk(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

}  // namespace kmr::testing
