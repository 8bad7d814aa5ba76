#include "core/support/SpecialFolders.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>
#ifdef _MSC_VER
#pragma comment(lib, "shell32.lib")
#endif
#else
#include <fstream>
#include <string_view>

#include <pwd.h>
#include <unistd.h>
#endif

namespace kmr {

namespace {

namespace fs = std::filesystem;

// Without the separators at the end, except that of a root: "/" on Linux, and on Windows the
// "\\" of a drive root such as "D:\\" (without it "D:" would mean the current folder of drive D).
std::string WithoutTrailingSeparators(std::string p) {
#ifdef _WIN32
    const std::size_t keep = p.size() >= 3 && p[1] == ':' ? 3 : 1;
#else
    const std::size_t keep = 1;
#endif
    while (p.size() > keep && (p.back() == '/' || p.back() == PathSeparator())) p.pop_back();
    return p;
}

enum class Base { Documents, AppData, CommonAppData };

#ifdef _WIN32

// The known folder, created when missing, with "\" appended; empty when the lookup fails.
std::string BaseFolder(Base base) {
    const int id = base == Base::Documents ? CSIDL_PERSONAL
                   : base == Base::AppData ? CSIDL_APPDATA
                                           : CSIDL_COMMON_APPDATA;
    wchar_t buf[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, id | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, buf) != S_OK)
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, buf, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<std::size_t>(n - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, buf, -1, out.data(), n, nullptr, nullptr);
    return WithTrailingSeparator(out);
}

#else

// An absolute path from the environment, or empty.
std::string EnvPath(const char* name) {
    const char* v = std::getenv(name);
    if (!v || v[0] != '/') return {};  // relative XDG paths are ignored, as the XDG rules say
    return v;
}

// The documents folder that the desktop named in user-dirs.dirs (in the configuration folder),
// where a desktop in another language keeps its own name for it ("$HOME/ドキュメント"): a line
// XDG_DOCUMENTS_DIR="$HOME/..." or ="/...", with "\" before a quote, "$", "`" or "\" in it.
// Empty when the file or the line is missing or says something else.
std::string UserDirsDocuments(const std::string& home) {
    std::string config = EnvPath("XDG_CONFIG_HOME");
    if (config.empty()) config = WithTrailingSeparator(home) + ".config";
    std::ifstream in(PathFromUtf8(WithTrailingSeparator(config) + "user-dirs.dirs"));
    constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=\"";
    std::string line;
    while (std::getline(in, line)) {
        std::string_view v = line;
        while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
        while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r')) v.remove_suffix(1);
        if (!v.starts_with(kKey) || v.size() < kKey.size() + 1 || v.back() != '"') continue;
        v = v.substr(kKey.size(), v.size() - kKey.size() - 1);
        std::string path;
        if (v.starts_with("$HOME") && (v.size() == 5 || v[5] == '/')) {
            path = WithoutTrailingSeparators(home);
            v.remove_prefix(5);
        } else if (!v.starts_with("/")) {
            continue;
        }
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (v[i] == '\\' && i + 1 < v.size()) ++i;
            path.push_back(v[i]);
        }
        return path;
    }
    return {};
}

}  // namespace

// Where the password database puts the home when $HOME is not set or not absolute (a program
// started by cron, a service manager or `env -i`): without a home the folders would be taken from
// the current folder, wherever the program was started.
std::string UserHomeFolder() {
    std::string home = EnvPath("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr && pw->pw_dir[0] == '/')
        home = pw->pw_dir;
    return home;
}

namespace {

// Linux: documents = $XDG_DOCUMENTS_DIR, else the one user-dirs.dirs names, else ~/Documents;
// per-user application data = $XDG_DATA_HOME or ~/.local/share; common application data =
// $XDG_CONFIG_HOME or ~/.config. Like the create flag of the known-folder service, the base
// folder is created when missing.
std::string BaseFolder(Base base) {
    const char* var = base == Base::Documents ? "XDG_DOCUMENTS_DIR"
                      : base == Base::AppData ? "XDG_DATA_HOME"
                                              : "XDG_CONFIG_HOME";
    const char* fallback = base == Base::Documents ? "Documents"
                           : base == Base::AppData ? ".local/share"
                                                   : ".config";
    std::string path = EnvPath(var);
    if (path.empty()) {
        const std::string home = UserHomeFolder();
        if (home.empty()) return {};
        if (base == Base::Documents) path = UserDirsDocuments(home);
        if (path.empty()) path = WithTrailingSeparator(home) + fallback;
    }
    std::error_code ec;
    fs::create_directories(PathFromUtf8(WithoutTrailingSeparators(path)), ec);  // failure ignored
    return WithTrailingSeparator(path);
}

#endif

// base + (maker + separator, created) + program name + separator, created. Empty base: empty
// result and nothing created.
std::string ProgramFolder(Base base, const std::string* maker) {
    std::string path = BaseFolder(base);
    if (path.empty()) return {};
    if (maker) {
        path += *maker;
        path.push_back(PathSeparator());
        EnsureFolder(path);
    }
    path += kProgramName;
    path.push_back(PathSeparator());
    EnsureFolder(path);
    return path;
}

}  // namespace

std::string GetMyDocumentsPath() { return ProgramFolder(Base::Documents, nullptr); }
std::string GetAppDataPath() { return ProgramFolder(Base::AppData, nullptr); }
std::string GetCommonAppDataPath() { return ProgramFolder(Base::CommonAppData, nullptr); }
std::string GetAppDataPath_WithVNT(const std::string& maker) {
    return ProgramFolder(Base::AppData, &maker);
}
std::string GetCommonAppDataPath_WithVNT(const std::string& maker) {
    return ProgramFolder(Base::CommonAppData, &maker);
}

bool EnsureFolder(const std::string& path) {
    if (path.empty()) return false;
    const fs::path p = PathFromUtf8(WithoutTrailingSeparators(path));
    std::error_code ec;
    if (fs::is_directory(p, ec)) return true;
    fs::create_directory(p, ec);  // one level only; the parent must exist
    return fs::is_directory(p, ec);
}

bool FolderUsable(const std::string& path) {
    if (path.empty()) return false;
    const std::string p = WithoutTrailingSeparators(path);
    // A folder named relative to the current one (a settings file edited by hand) would be a
    // different folder each time the program starts somewhere else.
    if (!PathFromUtf8(p).is_absolute()) return false;
    std::error_code ec;
    if (!fs::is_directory(PathFromUtf8(p), ec)) return false;
#ifdef _WIN32
    return true;
#else
    return ::access(p.c_str(), X_OK) == 0;  // it can be entered
#endif
}

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

char PathSeparator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

// An empty path stays empty (it must not turn into the root folder).
std::string WithTrailingSeparator(const std::string& path) {
    if (path.empty()) return path;
    const char last = path.back();
    if (last == PathSeparator() || last == '/') return path;
    // The separator the path uses last: on Windows a path written with '/' goes on with '/'.
    const std::size_t at = path.find_last_of(std::string{'/', PathSeparator()});
    return path + (at != std::string::npos ? path[at] : PathSeparator());
}

int NotRegularFileError(const std::string& path, bool charDevicesAllowed) {
    std::error_code ec;
    const fs::file_status st = fs::status(PathFromUtf8(path), ec);
    switch (st.type()) {
        case fs::file_type::regular:
        case fs::file_type::not_found:
        case fs::file_type::none:
            return 0;
        case fs::file_type::directory:
            return EISDIR;
        case fs::file_type::character:
            return charDevicesAllowed ? 0 : EINVAL;
        default:
            return EINVAL;
    }
}

}  // namespace kmr
