#pragma once
// The GpibBus port: the few NI-488.2 calls the program relies on. Every backend (NI-488.2
// library, VISA library, Prologix over TCP, the simulated instrument) implements it with raw I/O
// only; terminators, attempts and acceptance live in the command transport.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/support/TextTable.h"

namespace kmr {

// Status words after a call, as the library reports them.
struct GpibStatus {
    std::int32_t ibsta = 0;
    std::int32_t iberr = 0;
    std::int32_t ibcnt = 0;
    bool error() const { return (ibsta & 0x8000) != 0; }
};

// ibsta bits.
enum IbstaBits : std::int32_t {
    kIbERR = 0x8000, kIbTIMO = 0x4000, kIbEND = 0x2000, kIbSRQI = 0x1000, kIbRQS = 0x0800,
    kIbCMPL = 0x0100, kIbLOK = 0x0080, kIbREM = 0x0040, kIbCIC = 0x0020, kIbATN = 0x0010,
    kIbTACS = 0x0008, kIbLACS = 0x0004, kIbDTAS = 0x0002, kIbDCAS = 0x0001,
};

// iberr codes.
enum IberrCodes : std::int32_t {
    kEDVR = 0, kECIC = 1, kENOL = 2, kEADR = 3, kEARG = 4, kESAC = 5, kEABO = 6, kENEB = 7,
    kEOIP = 10, kECAP = 11, kEFSO = 12, kEBUS = 14, kESTB = 15, kESRQ = 16, kETAB = 20,
};

// NI-488.2 timeout codes used by the program.
enum TimeoutCode : int { kT10s = 13, kT30s = 14, kT100s = 15 };

// Milliseconds of an NI-488.2 timeout code (0 T-none … 17 T1000s); 0 means wait for ever and
// -1 an unknown code. T10us … T3ms round up to 1 ms: the shortest wait a socket can honour.
inline int TimeoutCodeMilliseconds(int code) {
    constexpr int kMs[] = {0,   1,    1,    1,     1,     1,      3,      10,     30,
                           100, 300,  1000, 3000,  10000, 30000,  100000, 300000, 1000000};
    return code < 0 || code > 17 ? -1 : kMs[code];
}

class GpibBus {
public:
    virtual ~GpibBus() = default;

    // ibdev: board, primary address, secondary address, timeout code, EOT, EOS. The descriptor
    // is negative when the device cannot be opened (for example, the library is missing).
    virtual GpibStatus OpenDevice(int board, int address, int secondary, int timeoutCode, int eot,
                                  int eos, int& descriptor) = 0;
    virtual GpibStatus InterfaceClear(int board) = 0;           // SendIFC
    virtual GpibStatus DeviceClear(int board, int address) = 0;  // DevClear
    virtual GpibStatus BoardOffline(int board) = 0;             // ibonl(board, 0)
    virtual GpibStatus Write(int descriptor, const void* data, std::size_t count) = 0;  // ibwrt
    // ibrd: reads up to `count` bytes; ibcnt is the number received. A read ends on EOI or when
    // `count` bytes have arrived.
    virtual GpibStatus Read(int descriptor, void* buffer, std::size_t count) = 0;

    // A sentence about the last failure that the status words cannot carry (for example which
    // library names were tried); empty when there is nothing to add. The sentences a failed open
    // gives are in the language the bus was told (English until then).
    virtual std::string LastProblem() const { return {}; }
    virtual void UseLanguage(Language lang) { language_ = lang; }
    // A short name of the route, for logs ("sim", "prologix:127.0.0.1:1234" ...).
    virtual std::string Describe() const = 0;
    // How often the route has been opened again after it was lost (an adapter power-cycled, an
    // interface gone and back). The instrument behind it may have restarted meanwhile and lost
    // the date, the time and the conditions the program gave it.
    virtual unsigned Reopenings() const { return 0; }
    // Whether other programs of this computer can reach an instrument through this route too (a
    // GP-IB board, an adapter): a program then keeps them off the instrument while it has it
    // open. An instrument simulated inside the program is its own.
    virtual bool SharedRoute() const { return false; }

protected:
    Language language_ = Language::English;
};

}  // namespace kmr
