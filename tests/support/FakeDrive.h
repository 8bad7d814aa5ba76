#pragma once
// The drive checks for tests: free space and the write test answer as the test says (the write
// test fails the first `failingWriteTests` times), and the drive type is the one set.
#include <cstdint>
#include <string>
#include <vector>

#include "core/datafiles/Conversion.h"
#include "core/datafiles/DriveType.h"

namespace kmr::testing {

class FakeDrive : public DrivePort {
public:
    std::int64_t FreeBytes(const std::string& folder) override {
        asked.push_back(folder);
        return free;
    }
    bool WriteTest(const std::string& folder) override {
        ++writeTests;
        written.push_back(folder);
        return writeTests > failingWriteTests;
    }
    std::int64_t free = 1LL << 40;
    int failingWriteTests = 0;
    int writeTests = 0;
    std::vector<std::string> asked;    // the folders whose free space was asked
    std::vector<std::string> written;  // the folders write-tested
};

class FakeDriveType : public DriveTypePort {
public:
    DriveType TypeOf(const std::string&) override { return type; }
    DriveType type = DriveType::Fixed;
};

}  // namespace kmr::testing
