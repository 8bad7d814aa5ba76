#pragma once
// Where the built programs are. The folder is compiled into one generated file only, so that the
// tests' own objects are the same in every build folder and the compiler cache serves them all.
#include <string>

namespace kmr::testing {

// The build folder, without a trailing "/" (the programs kmr, kmr-5300 and kmr-sim are there).
const char* BuildDir();

// The program `name` in the build folder.
inline std::string BuiltProgram(const std::string& name) { return std::string(BuildDir()) + "/" + name; }

}  // namespace kmr::testing
