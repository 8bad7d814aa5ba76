#pragma once
// A GpibBus for tests that need bytes or status words the simulated instrument never produces:
// every read takes the next scripted reply; every write is recorded and answers with the next
// scripted write status (success when none is scripted).
#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "core/instrument/GpibBus.h"

namespace kmr::testing {

struct ScriptedRead {
    std::string bytes;
    std::int32_t ibsta = kIbEND | kIbCMPL;  // status of the read
    std::int32_t iberr = 0;
};

class ScriptedBus : public GpibBus {
public:
    GpibStatus OpenDevice(int, int address, int, int timeoutCode, int, int, int& ud) override {
        calls.push_back("ibdev " + std::to_string(address) + " " + std::to_string(timeoutCode));
        ud = openDescriptor;
        return ud >= 0 ? GpibStatus{kIbCMPL, 0, 0} : GpibStatus{kIbERR, kEDVR, 0};
    }
    GpibStatus InterfaceClear(int) override {
        calls.push_back("SendIFC");
        return ifc;
    }
    GpibStatus DeviceClear(int, int address) override {
        calls.push_back("DevClear " + std::to_string(address));
        return devClear;
    }
    GpibStatus BoardOffline(int) override {
        calls.push_back("ibonl 0");
        return offline;
    }
    GpibStatus Write(int, const void* data, std::size_t count) override {
        writes.emplace_back(static_cast<const char*>(data), count);
        calls.push_back("ibwrt");
        if (!writeStatus.empty()) {
            GpibStatus s = writeStatus.front();
            writeStatus.pop_front();
            return s;
        }
        return {kIbCMPL, 0, static_cast<std::int32_t>(count)};
    }
    GpibStatus Read(int, void* buffer, std::size_t count) override {
        calls.push_back("ibrd " + std::to_string(count));
        if (reads.empty()) return {kIbERR | kIbTIMO | kIbCMPL, kEABO, 0};
        ScriptedRead r = reads.front();
        reads.pop_front();
        const std::size_t n = std::min(count, r.bytes.size());
        std::memcpy(buffer, r.bytes.data(), n);
        return {r.ibsta, r.iberr, static_cast<std::int32_t>(n)};
    }
    std::string LastProblem() const override { return problem; }
    std::string Describe() const override { return "scripted"; }

    void Reply(const std::string& line) { reads.push_back({line, kIbEND | kIbCMPL, 0}); }

    int openDescriptor = 1;
    GpibStatus ifc{kIbCMPL, 0, 0};
    GpibStatus devClear{kIbCMPL, 0, 0};
    GpibStatus offline{kIbCMPL, 0, 0};
    std::deque<GpibStatus> writeStatus;
    std::deque<ScriptedRead> reads;
    std::vector<std::string> writes;
    std::vector<std::string> calls;
    std::string problem;
};

}  // namespace kmr::testing
