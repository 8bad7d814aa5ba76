#pragma once
// What the fuzz targets share: a silent UiPort, a reader that takes a fuzz input apart into small
// records, and emptying the scratch folder (a testing::TempDir) between inputs. scripts/fuzz
// points TMPDIR at /dev/shm so that the files the targets write stay in memory.
//
// Every target defines LLVMFuzzerTestOneInput. Built with clang and -fsanitize=fuzzer it is a
// libFuzzer program; built with any compiler and ReplayMain.cpp it replays the files and folders
// named on its command line, which is how ctest runs every kept input on every run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/support/UiPort.h"
#include "support/TempDir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace kmr::fuzz {

// A promise of the code under test: a broken one ends the run as a crash, with this input.
inline void Require(bool condition) {
    if (!condition) std::abort();
}

// Shows nothing; counts the messages. A Retry/Cancel box is answered Cancel (a Retry would
// repeat a failing step for ever); ending the program is only counted.
class QuietUi : public UiPort {
public:
    MsgAnswer ShowMessage(const std::string&, const std::string&, MsgIcon, MsgButtons buttons, bool = false,
                          int = 0) override {
        ++messages;
        if (buttons == MsgButtons::RetryCancel) return MsgAnswer::Cancel;
        if (buttons == MsgButtons::YesNo) return MsgAnswer::No;
        return MsgAnswer::Ok;
    }
    Pointer GetPointer() const override { return pointer; }
    void SetPointer(Pointer p) override { pointer = p; }
    void TerminateProgram() override { ++terminated; }

    int messages = 0;
    int terminated = 0;
    Pointer pointer = Pointer::Default;
};

// Removes everything in a folder (the folder stays).
inline void EmptyFolder(const testing::TempDir& dir) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir.path(), ec)) std::filesystem::remove_all(e.path(), ec);
}

// Takes an input apart front to back; past the end every read gives zeros / empty texts.
class InputReader {
public:
    InputReader(const std::uint8_t* data, std::size_t size) : p_(data), n_(size) {}
    bool empty() const { return n_ == 0; }
    std::uint8_t Byte() {
        if (n_ == 0) return 0;
        --n_;
        return *p_++;
    }
    std::uint16_t Word() {
        const std::uint8_t high = Byte();
        return static_cast<std::uint16_t>(high << 8 | Byte());
    }
    std::string Text(std::size_t count) {
        if (count > n_) count = n_;
        std::string s(reinterpret_cast<const char*>(p_), count);
        p_ += count;
        n_ -= count;
        return s;
    }
    // A record: one byte of length, then that many bytes.
    std::string Record() { return Text(Byte()); }

private:
    const std::uint8_t* p_;
    std::size_t n_;
};

}  // namespace kmr::fuzz
