#pragma once
// A library loaded at run time: dlopen/dlsym on Linux, LoadLibrary/GetProcAddress on Windows.
#include <string>
#include <vector>

#include "core/support/TextTable.h"

namespace kmr {

class SharedLibrary {
public:
    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // Loads `name` (a file name searched the platform's way, or a path). On failure `error` says
    // why, without repeating the name: the loader's own words on Linux, the error number on
    // Windows, with the program's words in `lang`.
    bool Open(const std::string& name, std::string& error, Language lang = Language::English);
    bool IsOpen() const { return handle_ != nullptr; }
    const std::string& Name() const { return name_; }
    // The address of an exported function or variable; nullptr when the library lacks it.
    void* Symbol(const char* symbol) const;
    void Close();

private:
    void* handle_ = nullptr;
    std::string name_;
};

// Loads the first of `names` that loads. `tried` receives "name (reason)" for each one that did
// not, joined by "; ".
bool OpenFirstLibrary(SharedLibrary& library, const std::vector<std::string>& names,
                      std::string& tried, Language lang = Language::English);

}  // namespace kmr
