#pragma once
// A small instrument for the link tests that do not need the strainmeter model: it answers
// "ID?" with a line, "BLK" with a binary block that holds every awkward byte, and "SILENT" with
// nothing (a read times out). It keeps the unread rest of a reply like a GP-IB talker.
#include <string>
#include <vector>

#include "core/instrument/GpibBus.h"

namespace kmr::test {

inline std::string AwkwardBlock() {
    // CR, LF, ESC, '+', "++", the EOI marker byte 0x04, NUL and 0xFF, and a whole "++ver" line.
    std::string b = "\r\n\x1b+\x04";
    b += std::string(1, '\0') + "\xff++ver\r\n";
    b += "Prologix GPIB-ETHERNET compatible, kmr-sim 1.0";
    for (int i = 0; i < 600; ++i) b += static_cast<char>(i * 7 % 256);
    b += "\x04";
    return b;
}

class ScriptedInstrument : public GpibBus {
public:
    GpibStatus OpenDevice(int, int, int, int, int, int, int& descriptor) override {
        descriptor = 1;
        return {kIbCMPL, 0, 0};
    }
    GpibStatus InterfaceClear(int) override {
        ++ifcs;
        return {kIbCMPL, 0, 0};
    }
    GpibStatus DeviceClear(int, int) override {
        ++clears;
        reply_.clear();
        return {kIbCMPL, 0, 0};
    }
    GpibStatus BoardOffline(int) override { return {kIbCMPL, 0, 0}; }
    GpibStatus Write(int, const void* data, std::size_t count) override {
        std::string w(static_cast<const char*>(data), count);
        writes.push_back(w);
        if (w == "ID?\r\n") reply_ = "KMR-TEST 1.0\r\n";
        else if (w == "BLK\r\n") reply_ = AwkwardBlock();
        else if (w == "SILENT\r\n") reply_.clear();
        else reply_ = "ERR-001\r\n";
        return {kIbCMPL, 0, static_cast<std::int32_t>(count)};
    }
    GpibStatus Read(int, void* buffer, std::size_t count) override {
        if (reply_.empty()) return {kIbERR | kIbTIMO | kIbCMPL, kEABO, 0};
        std::size_t n = std::min(count, reply_.size());
        reply_.copy(static_cast<char*>(buffer), n);
        reply_.erase(0, n);
        return {kIbCMPL | (reply_.empty() ? kIbEND : 0), 0, static_cast<std::int32_t>(n)};
    }
    std::string Describe() const override { return "scripted"; }

    std::vector<std::string> writes;
    int ifcs = 0;
    int clears = 0;

private:
    std::string reply_;
};

}  // namespace kmr::test
