#pragma once
// A temporary folder for one test, removed with everything in it at the end of the test.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace kmr::testing {

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kmr-test-XXXXXX").string();
        if (char* p = ::mkdtemp(tmpl.data())) path_ = p;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, without a trailing "/".
    const std::string& path() const { return path_; }
    // The folder with "/" and `name` appended.
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // Writes `bytes` to the file `name` in the folder and returns its full path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string p = *this / name;
        std::ofstream f(p, std::ios::binary);
        f << bytes;
        return p;
    }

private:
    std::string path_;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

}  // namespace kmr::testing
