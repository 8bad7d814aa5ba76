#include "link/NiGpibBus.h"

namespace kmr {

namespace {

template <typename Fn>
Fn As(void* symbol) {
    return reinterpret_cast<Fn>(symbol);
}

}  // namespace

NiGpibBus::NiGpibBus(std::string libraryPath) : libraryPath_(std::move(libraryPath)) {}

std::vector<std::string> NiGpibBus::DefaultLibraryNames() {
#ifdef _WIN32
    return {"ni4882.dll", "gpib-32.dll"};
#else
    return {"libgpib.so.0", "libgpibapi.so"};
#endif
}

std::string NiGpibBus::Describe() const {
    return libraryPath_.empty() ? "gpib" : "gpib:lib=" + libraryPath_;
}

bool NiGpibBus::Load() {
    if (loadTried_) return library_.IsOpen();
    loadTried_ = true;
    std::vector<std::string> names =
        libraryPath_.empty() ? DefaultLibraryNames() : std::vector<std::string>{libraryPath_};
    std::string tried;
    if (!OpenFirstLibrary(library_, names, tried, language_)) {
        loadProblem_ = TextWith(language_, txt::NoGpibLibrary, {tried});
        return false;
    }
    auto need = [&](const char* name) {
        void* p = library_.Symbol(name);
        if (!p && loadProblem_.empty())
            loadProblem_ = TextWith(language_, txt::GpibLibraryLacks, {library_.Name(), name});
        return p;
    };
    ibdev_ = As<IbdevFn>(need("ibdev"));
    ibonl_ = As<IbonlFn>(need("ibonl"));
    ibwrt_ = As<IbwrtFn>(need("ibwrt"));
    ibrd_ = As<IbrdFn>(need("ibrd"));
    sendIfc_ = As<SendIfcFn>(need("SendIFC"));
    devClear_ = As<DevClearFn>(need("DevClear"));
    if (loadProblem_.empty()) {
        threadIbsta_ = As<StatusFn>(library_.Symbol("ThreadIbsta"));
        threadIberr_ = As<StatusFn>(library_.Symbol("ThreadIberr"));
        threadIbcnt_ = As<StatusFn>(library_.Symbol("ThreadIbcnt"));
        if (threadIbsta_ && threadIberr_ && threadIbcnt_) {
            statusSource_ = "ThreadIbsta";
        } else {
            threadIbsta_ = threadIberr_ = threadIbcnt_ = nullptr;
            // The variables are ints in every library; NI's unsigned long ones hold the same
            // low 32 bits first on little-endian machines.
            for (const char* prefix : {"", "user_"}) {
                std::string p(prefix);
                auto* s = static_cast<const int*>(library_.Symbol((p + "ibsta").c_str()));
                auto* e = static_cast<const int*>(library_.Symbol((p + "iberr").c_str()));
                auto* c = static_cast<const int*>(library_.Symbol((p + "ibcnt").c_str()));
                if (s && e && c) {
                    ibstaVar_ = s;
                    iberrVar_ = e;
                    ibcntVar_ = c;
                    statusSource_ = p + "ibsta";
                    break;
                }
            }
            if (statusSource_.empty())
                loadProblem_ = TextWith(language_, txt::GpibLibraryNoStatus, {library_.Name()});
        }
    }
    if (!loadProblem_.empty()) {
        library_.Close();
        return false;
    }
    return true;
}

GpibStatus NiGpibBus::NotLoaded() {
    problem_ = loadProblem_;
    return GpibStatus{kIbERR, kEDVR, 0};
}

GpibStatus NiGpibBus::Collect() const {
    if (threadIbsta_) return GpibStatus{threadIbsta_(), threadIberr_(), threadIbcnt_()};
    return GpibStatus{*ibstaVar_, *iberrVar_, *ibcntVar_};
}

GpibStatus NiGpibBus::OpenDevice(int board, int address, int secondary, int timeoutCode, int eot,
                                 int eos, int& descriptor) {
    descriptor = -1;
    problem_.clear();
    if (!library_.IsOpen()) loadTried_ = false;  // a library installed since is found now
    loadProblem_.clear();
    if (!Load()) return NotLoaded();
    descriptor = ibdev_(board, address, secondary, timeoutCode, eot, eos);
    GpibStatus s = Collect();
    openArgs_ = {board, address, secondary, timeoutCode, eot, eos};
    handedOut_ = actual_ = descriptor;
    lost_ = false;
    if (descriptor < 0) {
        s.ibsta |= kIbERR;
        problem_ = TextWith(language_, txt::GpibCannotOpenBoard,
                            {library_.Name(), std::to_string(board), std::to_string(address)});
    }
    return s;
}

GpibStatus NiGpibBus::InterfaceClear(int board) {
    if (!Load()) return NotLoaded();
    sendIfc_(board);
    return Collect();
}

GpibStatus NiGpibBus::DeviceClear(int board, int address) {
    if (!Load()) return NotLoaded();
    devClear_(board, static_cast<unsigned short>(address));
    return Collect();
}

GpibStatus NiGpibBus::BoardOffline(int board) {
    if (!Load()) return NotLoaded();
    ibonl_(board, 0);
    return Collect();
}

GpibStatus NiGpibBus::Watch(GpibStatus s) {
    if (s.error() && (s.iberr == kEDVR || s.iberr == kENEB) && handedOut_ >= 0) lost_ = true;
    return s;
}

bool NiGpibBus::Reopen() {
    if (actual_ >= 0) ibonl_(actual_, 0);
    const OpenArgs& a = openArgs_;
    const int ud = ibdev_(a.board, a.address, a.secondary, a.timeoutCode, a.eot, a.eos);
    if (ud < 0) {
        problem_ = TextWith(language_, txt::GpibReopenFailed,
                            {library_.Name(), std::to_string(a.board), std::to_string(a.address)});
        return false;
    }
    actual_ = ud;
    lost_ = false;
    ++reopenings_;
    return true;
}

GpibStatus NiGpibBus::Write(int descriptor, const void* data, std::size_t count) {
    if (!Load()) return NotLoaded();
    // The first write after the device was lost opens it again, once.
    if (lost_ && descriptor == handedOut_ && !Reopen()) return GpibStatus{kIbERR, kENEB, 0};
    ibwrt_(Actual(descriptor), data, static_cast<std::ptrdiff_t>(count));
    return Watch(Collect());
}

GpibStatus NiGpibBus::Read(int descriptor, void* buffer, std::size_t count) {
    if (!Load()) return NotLoaded();
    ibrd_(Actual(descriptor), buffer, static_cast<std::ptrdiff_t>(count));
    return Watch(Collect());
}

}  // namespace kmr
