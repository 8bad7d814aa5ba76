// The instrument's replies as the command set meets them (the conversation of CommandSession.h:
// open, initialise, identify, download, record, trigger time, monitor line, block of words), over
// a bus that answers each read from the input.
//
// Input: one byte of settings (attempts, delimiter, a failing device clear), two bytes for the
// block (count, start), then records of [kind][length][bytes]: kind bits 0-1 say how the read
// ends (0 EOI, 1 no EOI, 2 timeout, 3 another error with iberr from bits 2-4), bit 5 takes a
// two-byte length (a block), bit 6 makes the write of the same number fail.
#include <cstdlib>
#include <string>
#include <vector>

#include "CommandSession.h"
#include "FuzzSupport.h"
#include "support/ScriptedBus.h"

using namespace kmr;
using fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader in(data, size);
    const std::uint8_t settingsByte = in.Byte();
    const auto count = static_cast<std::int16_t>(1 + in.Byte() * 4);
    const std::int32_t start = in.Byte();

    testing::ScriptedBus bus;  // every write succeeds unless scripted; reads time out when the script ends
    if (settingsByte & 0x10) bus.devClear = {kIbERR, kEBUS, 0};
    // How a read ends, by kind bits 0-1: EOI, no EOI, a timeout, another error.
    constexpr std::int32_t kEnds[] = {kIbEND | kIbCMPL, kIbCMPL, kIbERR | kIbTIMO | kIbCMPL, kIbERR | kIbCMPL};
    while (!in.empty() && bus.reads.size() < 200) {
        const std::uint8_t kind = in.Byte();
        const std::size_t length = (kind & 0x20) ? in.Word() % 4096 : in.Byte();
        const std::int32_t iberr[] = {0, 0, kEABO, (kind >> 2) & 7};
        bus.reads.push_back({in.Text(length), kEnds[kind & 3], iberr[kind & 3]});
        bus.writeStatus.push_back((kind & 0x40) ? GpibStatus{kIbERR, kENOL, 0} : GpibStatus{kIbCMPL, 0, 0});
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
