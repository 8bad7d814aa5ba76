#pragma once
// GpibBus over a VISA library loaded at run time (libvisa.so and the usual vendor names,
// visa64.dll/visa32.dll on Windows, or visa:lib=PATH). The resource is GPIB<board>::<address>::INSTR
// unless the interface spec names one (visa:RESOURCE).
//
// The session is set up as the program expects of a GP-IB device: the timeout of the timeout
// code (10 / 30 / 100 s for 13 / 14 / 15), END with the last byte written, no termination
// character on reads (a read ends on END or at its count), and a device clear on open. VISA
// results are turned into ibsta/iberr/ibcnt so that the program's status report stays meaningful:
// a VISA timeout shows ERR TIMO, a read that ended on END shows END, and the VISA status itself
// is kept in LastProblem().
#include <cstdint>
#include <string>
#include <vector>

#include "core/instrument/GpibBus.h"
#include "link/SharedLibrary.h"

namespace kmr {

#if defined(_WIN32) && !defined(_WIN64)
#define KMR_VISA_CALL __stdcall
#else
#define KMR_VISA_CALL
#endif

// VISA status codes and attributes the backend uses.
namespace visa {
using ViStatus = std::int32_t;
using ViSession = std::uint32_t;
using ViAttr = std::uint32_t;
// ViAttrState is 64 bits wide on 64-bit platforms and 32 bits on 32-bit ones: pointer width.
using ViAttrState = std::uintptr_t;

inline constexpr ViStatus kSuccess = 0;
inline constexpr ViStatus kSuccessTermChar = 0x3FFF0005;
inline constexpr ViStatus kSuccessMaxCnt = 0x3FFF0006;
inline constexpr ViStatus Err(std::uint32_t code) { return static_cast<ViStatus>(code); }
inline constexpr ViStatus kErrorSystem = Err(0xBFFF0000u);
inline constexpr ViStatus kErrorInvObject = Err(0xBFFF000Eu);
inline constexpr ViStatus kErrorRsrcLocked = Err(0xBFFF000Fu);
inline constexpr ViStatus kErrorRsrcNotFound = Err(0xBFFF0011u);
inline constexpr ViStatus kErrorInvRsrcName = Err(0xBFFF0012u);
inline constexpr ViStatus kErrorTmo = Err(0xBFFF0015u);
inline constexpr ViStatus kErrorNsupAttr = Err(0xBFFF001Du);
inline constexpr ViStatus kErrorAbort = Err(0xBFFF0030u);
inline constexpr ViStatus kErrorIo = Err(0xBFFF003Eu);
inline constexpr ViStatus kErrorNListeners = Err(0xBFFF005Fu);
inline constexpr ViStatus kErrorNcic = Err(0xBFFF0060u);
inline constexpr ViStatus kErrorNsysCntlr = Err(0xBFFF0061u);
inline constexpr ViStatus kErrorNsupOper = Err(0xBFFF0067u);
inline constexpr ViStatus kErrorRsrcBusy = Err(0xBFFF0072u);
inline constexpr ViStatus kErrorInvParameter = Err(0xBFFF0078u);
inline constexpr ViStatus kErrorConnLost = Err(0xBFFF00A6u);

inline constexpr ViAttr kAttrSendEndEn = 0x3FFF0016;
inline constexpr ViAttr kAttrTermChar = 0x3FFF0018;
inline constexpr ViAttr kAttrTmoValue = 0x3FFF001A;
inline constexpr ViAttr kAttrTermCharEn = 0x3FFF0038;

// The name of a status code ("VI_ERROR_TMO"); hexadecimal for one it does not know.
std::string StatusName(ViStatus status);
// The GP-IB status a VISA result stands for; `count` becomes ibcnt.
GpibStatus ToGpibStatus(ViStatus status, std::uint32_t count, bool isRead);
}  // namespace visa

class VisaBus : public GpibBus {
public:
    // Both may be empty: the usual library names, and GPIB<board>::<address>::INSTR.
    VisaBus(std::string libraryPath, std::string resource);
    ~VisaBus() override;

    GpibStatus OpenDevice(int board, int address, int secondary, int timeoutCode, int eot, int eos,
                          int& descriptor) override;
    GpibStatus InterfaceClear(int board) override;
    GpibStatus DeviceClear(int board, int address) override;
    GpibStatus BoardOffline(int board) override;
    GpibStatus Write(int descriptor, const void* data, std::size_t count) override;
    GpibStatus Read(int descriptor, void* buffer, std::size_t count) override;
    std::string LastProblem() const override { return problem_; }
    std::string Describe() const override;
    unsigned Reopenings() const override { return reopenings_; }
    bool SharedRoute() const override { return true; }

    static std::vector<std::string> DefaultLibraryNames();
    // The resource the last open used.
    const std::string& OpenResource() const { return openResource_; }

private:
    using ViSession = visa::ViSession;
    using ViStatus = visa::ViStatus;
    using OpenDefaultRmFn = ViStatus(KMR_VISA_CALL*)(ViSession*);
    using OpenFn = ViStatus(KMR_VISA_CALL*)(ViSession, const char*, std::uint32_t, std::uint32_t,
                                            ViSession*);
    using CloseFn = ViStatus(KMR_VISA_CALL*)(ViSession);
    using SetAttributeFn = ViStatus(KMR_VISA_CALL*)(ViSession, visa::ViAttr, visa::ViAttrState);
    using WriteFn = ViStatus(KMR_VISA_CALL*)(ViSession, const unsigned char*, std::uint32_t,
                                             std::uint32_t*);
    using ReadFn = ViStatus(KMR_VISA_CALL*)(ViSession, unsigned char*, std::uint32_t,
                                            std::uint32_t*);
    using ClearFn = ViStatus(KMR_VISA_CALL*)(ViSession);
    using SendIfcFn = ViStatus(KMR_VISA_CALL*)(ViSession);
    using StatusDescFn = ViStatus(KMR_VISA_CALL*)(ViSession, ViStatus, char*);

    bool Load();
    GpibStatus Failed(ViStatus status, const char* call, bool isRead, std::uint32_t count = 0);
    void CloseSession();
    // After a call that found the session lost (the connection to a LAN gateway or a USB
    // interface gone), the next write opens the session again once, with the open's settings.
    bool Reopen();

    struct OpenArgs {
        int board = 0, address = 0, timeoutCode = 0, eot = 1;
    };
    OpenArgs openArgs_;
    bool lost_ = false;
    unsigned reopenings_ = 0;

    std::string libraryPath_;
    std::string resource_;
    std::string openResource_;
    SharedLibrary library_;
    std::string problem_;
    ViSession rm_ = 0;
    ViSession session_ = 0;

    OpenDefaultRmFn openDefaultRm_ = nullptr;
    OpenFn open_ = nullptr;
    CloseFn close_ = nullptr;
    SetAttributeFn setAttribute_ = nullptr;
    WriteFn write_ = nullptr;
    ReadFn read_ = nullptr;
    ClearFn clear_ = nullptr;
    SendIfcFn sendIfc_ = nullptr;        // optional
    StatusDescFn statusDesc_ = nullptr;  // optional
};

}  // namespace kmr
