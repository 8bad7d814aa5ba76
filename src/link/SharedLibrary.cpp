#include "link/SharedLibrary.h"

#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace kmr {

SharedLibrary::~SharedLibrary() { Close(); }

bool SharedLibrary::Open(const std::string& name, std::string& error, Language lang) {
    Close();
#ifdef _WIN32
    HMODULE h = LoadLibraryA(name.c_str());
    if (!h) {
        error = TextWith(lang, txt::WindowsErrorNumber, {std::to_string(GetLastError())});
        return false;
    }
    handle_ = reinterpret_cast<void*>(h);
#else
    handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        error = why ? why : Text(lang, txt::LibraryCannotBeLoaded);
        // dlerror starts with the name itself; the caller shows the name already.
        if (error.compare(0, name.size() + 2, name + ": ") == 0) error.erase(0, name.size() + 2);
        return false;
    }
#endif
    name_ = name;
    return true;
}

void* SharedLibrary::Symbol(const char* symbol) const {
    if (!handle_) return nullptr;
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), symbol));
#else
    return dlsym(handle_, symbol);
#endif
}

void SharedLibrary::Close() {
    if (!handle_) return;
#ifdef _WIN32
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
    handle_ = nullptr;
    name_.clear();
}

bool OpenFirstLibrary(SharedLibrary& library, const std::vector<std::string>& names,
                      std::string& tried, Language lang) {
    tried.clear();
    for (const std::string& name : names) {
        std::string why;
        if (library.Open(name, why, lang)) return true;
        if (!tried.empty()) tried += "; ";
        tried += name + " (" + why + ")";
    }
    return false;
}

}  // namespace kmr
