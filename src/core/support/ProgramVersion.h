#pragma once
// The program's version: CMake's project version, the same for kmr, kmr-5300 and the files they
// write.

namespace kmr {

const char* ProgramVersion();

}  // namespace kmr
