// The instrument's replies as the command set meets them (the conversation of CommandSession.h:
// open, initialise, identify, download, record, trigger time, monitor line, block of words), over
// a bus that answers each read from the input.
//
// Input: one byte of settings (attempts, delimiter, a failing device clear), two bytes for the
// block (count, start), then records of [kind][length][bytes]: kind bits 0-1 say how the read
// ends (0 EOI, 1 no EOI, 2 timeout, 3 another error with iberr from bits 2-4), bit 5 takes a
// two-byte length (a block), bit 6 makes the write before this read fail.
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "CommandSession.h"
#include "FuzzSupport.h"

using namespace kmr;
using fuzz::Require;

namespace {

// A bus whose reads take the next scripted reply (a timeout when the script has ended) and whose
// writes succeed unless the script says otherwise. (A small stand-in for the shared scripted bus
// of the tests, which is moving to tests/support/.)
class ScriptBus : public GpibBus {
public:
    struct Reply {
        std::string bytes;
        GpibStatus status;
    };
    GpibStatus OpenDevice(int, int, int, int, int, int, int& ud) override {
        ud = 1;
        return {kIbCMPL, 0, 0};
    }
    GpibStatus InterfaceClear(int) override { return {kIbCMPL, 0, 0}; }
    GpibStatus DeviceClear(int, int) override { return devClear; }
    GpibStatus BoardOffline(int) override { return {kIbCMPL, 0, 0}; }
    GpibStatus Write(int, const void*, std::size_t count) override {
        ++writes;
        if (!failWrites.empty() && failWrites.front() == writes) {
            failWrites.pop_front();
            return {kIbERR, kENOL, 0};
        }
        return {kIbCMPL, 0, static_cast<std::int32_t>(count)};
    }
    GpibStatus Read(int, void* buffer, std::size_t count) override {
        if (reads.empty()) return {kIbERR | kIbTIMO | kIbCMPL, kEABO, 0};
        Reply r = std::move(reads.front());
        reads.pop_front();
        const std::size_t n = std::min(count, r.bytes.size());
        std::memcpy(buffer, r.bytes.data(), n);
        r.status.ibcnt = static_cast<std::int32_t>(n);
        return r.status;
    }
    std::string Describe() const override { return "fuzz script"; }

    GpibStatus devClear{kIbCMPL, 0, 0};
    std::deque<Reply> reads;
    std::deque<int> failWrites;  // numbers of the writes (from 1) that fail
    int writes = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader in(data, size);
    const std::uint8_t settingsByte = in.Byte();
    const auto count = static_cast<std::int16_t>(1 + in.Byte() * 4);
    const std::int32_t start = in.Byte();

    ScriptBus bus;
    if (settingsByte & 0x10) bus.devClear = {kIbERR, kEBUS, 0};
    int readNumber = 0;
    while (!in.empty() && bus.reads.size() < 200) {
        const std::uint8_t kind = in.Byte();
        const std::size_t length = (kind & 0x20) ? in.Word() % 4096 : in.Byte();
        ScriptBus::Reply r{in.Text(length), {}};
        switch (kind & 3) {
            case 0: r.status = {kIbEND | kIbCMPL, 0, 0}; break;
            case 1: r.status = {kIbCMPL, 0, 0}; break;
            case 2: r.status = {kIbERR | kIbTIMO | kIbCMPL, kEABO, 0}; break;
            default: r.status = {kIbERR | kIbCMPL, (kind >> 2) & 7, 0}; break;
        }
        ++readNumber;
        if (kind & 0x40) bus.failWrites.push_back(readNumber);
        bus.reads.push_back(std::move(r));
    }

    GpibSettings settings;
    settings.Attempts = static_cast<std::int16_t>(settingsByte & 3);
    settings.Delimiter = static_cast<std::int16_t>((settingsByte >> 2) & 1);
    fuzz::CommandSession session(bus, settings);
    // Words outside the block are never touched, whatever the reply.
    constexpr std::int16_t kUntouched = 0x5A5A;
    std::vector<std::int16_t> words(static_cast<std::size_t>(start + count) + 16, kUntouched);
    session.Run(words, start, count);

    Require(session.identity.InstalledChannelText.size() == static_cast<std::size_t>(kChannels));
    Require(session.identity.FirstInstalledChannel >= 0 && session.identity.FirstInstalledChannel <= kChannels);
    for (std::size_t i = 0; i < words.size(); ++i)
        if (i < static_cast<std::size_t>(start) || i >= static_cast<std::size_t>(start + count))
            Require(words[i] == kUntouched);
    return 0;
}
