#pragma once
// setenv/unsetenv for the tests on Windows, where the C library spells them _putenv_s (an empty
// value removes the variable there). On other systems the C library's own are used.
#include <cstdlib>

#ifdef _WIN32
inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && std::getenv(name)) return 0;
    return _putenv_s(name, value);
}
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
#endif
