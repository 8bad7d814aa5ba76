#pragma once
// GpibBus over an NI-488.2-compatible library loaded at run time: linux-gpib (libgpib.so.0),
// NI-488.2 for Linux (libgpibapi.so), on Windows ni4882.dll or the older gpib-32.dll, or the
// library named by gpib:lib=PATH. Nothing is linked at build time: the program starts on a PC
// without any GP-IB software, and the missing library shows as an open failure naming every
// library that was tried.
//
// The status of each call is read from the library's per-thread status functions
// (ThreadIbsta, ThreadIberr, ThreadIbcnt) where it has them; otherwise from its status
// variables (ibsta/iberr/ibcnt, or user_ibsta/user_iberr/user_ibcnt of gpib-32.dll). A library
// with neither cannot be used and fails the open with a sentence saying so.
#include <string>
#include <vector>

#include "core/instrument/GpibBus.h"
#include "link/SharedLibrary.h"

namespace kmr {

#if defined(_WIN32) && !defined(_WIN64)
#define KMR_GPIB_CALL __stdcall
#else
#define KMR_GPIB_CALL
#endif

class NiGpibBus : public GpibBus {
public:
    // `libraryPath` empty: the usual library names of the platform.
    explicit NiGpibBus(std::string libraryPath = {});

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

    // The names tried when no library is given, in order.
    static std::vector<std::string> DefaultLibraryNames();
    // Where the status comes from after a successful load: "ThreadIbsta", "ibsta", "user_ibsta".
    const std::string& StatusSource() const { return statusSource_; }

private:
    // Signatures that are call-compatible with both declarations in use. linux-gpib declares
    // int ibwrt(int, const void*, long); NI declares unsigned long ibwrt(int, const void*,
    // size_t) and gpib-32.dll int __stdcall ibwrt(int, void*, long). Counts travel as
    // std::ptrdiff_t, which is as wide as long/size_t on every one of those ABIs (LP64 Linux,
    // 64-bit Windows where only the size_t form exists, 32-bit Windows where all are 32 bits),
    // and results are taken as int: ibsta fits in its low 16 bits, and on x86-64 an unsigned
    // long result carries the same low 32 bits in eax. DevClear's Addr4882_t is unsigned short in
    // both.
    using IbdevFn = int(KMR_GPIB_CALL*)(int, int, int, int, int, int);
    using IbonlFn = int(KMR_GPIB_CALL*)(int, int);
    using IbwrtFn = int(KMR_GPIB_CALL*)(int, const void*, std::ptrdiff_t);
    using IbrdFn = int(KMR_GPIB_CALL*)(int, void*, std::ptrdiff_t);
    using SendIfcFn = void(KMR_GPIB_CALL*)(int);
    using DevClearFn = void(KMR_GPIB_CALL*)(int, unsigned short);
    using StatusFn = int(KMR_GPIB_CALL*)();

    bool Load();
    GpibStatus NotLoaded();
    GpibStatus Collect() const;
    // A call that failed as when the interface or its driver went away (EDVR, ENEB) marks the
    // device lost; the next write takes the old descriptor off-line and opens the device again
    // once, with the open's parameters, and goes on under the new descriptor.
    GpibStatus Watch(GpibStatus s);
    int Actual(int descriptor) const { return descriptor == handedOut_ ? actual_ : descriptor; }
    bool Reopen();

    struct OpenArgs {
        int board = 0, address = 0, secondary = 0, timeoutCode = 0, eot = 1, eos = 0;
    };
    OpenArgs openArgs_;
    int handedOut_ = -1;  // the descriptor the caller holds
    int actual_ = -1;     // the library's descriptor for it now
    bool lost_ = false;
    unsigned reopenings_ = 0;

    std::string libraryPath_;
    SharedLibrary library_;
    bool loadTried_ = false;
    std::string loadProblem_;
    std::string problem_;
    std::string statusSource_;

    IbdevFn ibdev_ = nullptr;
    IbonlFn ibonl_ = nullptr;
    IbwrtFn ibwrt_ = nullptr;
    IbrdFn ibrd_ = nullptr;
    SendIfcFn sendIfc_ = nullptr;
    DevClearFn devClear_ = nullptr;
    StatusFn threadIbsta_ = nullptr, threadIberr_ = nullptr, threadIbcnt_ = nullptr;
    const int* ibstaVar_ = nullptr;
    const int* iberrVar_ = nullptr;
    const int* ibcntVar_ = nullptr;
};

}  // namespace kmr
