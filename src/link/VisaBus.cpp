#include "link/VisaBus.h"

#include <cstdio>


namespace kmr {

namespace visa {

std::string StatusName(ViStatus status) {
    struct Named {
        ViStatus code;
        const char* name;
    };
    static constexpr Named kNames[] = {
        {kSuccess, "VI_SUCCESS"},
        {kSuccessTermChar, "VI_SUCCESS_TERM_CHAR"},
        {kSuccessMaxCnt, "VI_SUCCESS_MAX_CNT"},
        {kErrorSystem, "VI_ERROR_SYSTEM_ERROR"},
        {kErrorInvObject, "VI_ERROR_INV_OBJECT"},
        {kErrorRsrcLocked, "VI_ERROR_RSRC_LOCKED"},
        {kErrorRsrcNotFound, "VI_ERROR_RSRC_NFOUND"},
        {kErrorInvRsrcName, "VI_ERROR_INV_RSRC_NAME"},
        {kErrorTmo, "VI_ERROR_TMO"},
        {kErrorNsupAttr, "VI_ERROR_NSUP_ATTR"},
        {kErrorAbort, "VI_ERROR_ABORT"},
        {kErrorIo, "VI_ERROR_IO"},
        {kErrorNListeners, "VI_ERROR_NLISTENERS"},
        {kErrorNcic, "VI_ERROR_NCIC"},
        {kErrorNsysCntlr, "VI_ERROR_NSYS_CNTLR"},
        {kErrorNsupOper, "VI_ERROR_NSUP_OPER"},
        {kErrorRsrcBusy, "VI_ERROR_RSRC_BUSY"},
        {kErrorInvParameter, "VI_ERROR_INV_PARAMETER"},
        {kErrorConnLost, "VI_ERROR_CONN_LOST"},
    };
    for (const Named& n : kNames)
        if (n.code == status) return n.name;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(status));
    return std::string("VISA status ") + hex;
}

GpibStatus ToGpibStatus(ViStatus status, std::uint32_t count, bool isRead) {
    const auto cnt = static_cast<std::int32_t>(count);
    if (status >= 0) {
        // A read that stopped at its count did not see END; every other success did (the
        // termination character is off, so VI_SUCCESS_TERM_CHAR only comes from a library that
        // ignores that setting and is taken as the end of the message all the same).
        std::int32_t ibsta = kIbCMPL;
        if (isRead && status != kSuccessMaxCnt) ibsta |= kIbEND;
        return GpibStatus{ibsta, 0, cnt};
    }
    std::int32_t iberr = kEDVR;
    std::int32_t ibsta = kIbERR;
    switch (status) {
        case kErrorTmo: ibsta |= kIbTIMO | kIbCMPL; iberr = kEABO; break;
        case kErrorAbort: iberr = kEABO; break;
        case kErrorConnLost: iberr = isRead ? kEABO : kENOL; break;
        case kErrorNListeners: iberr = kENOL; break;
        case kErrorNcic: iberr = kECIC; break;
        case kErrorNsysCntlr: iberr = kESAC; break;
        case kErrorInvRsrcName:
        case kErrorInvParameter: iberr = kEARG; break;
        case kErrorRsrcNotFound: iberr = kENEB; break;
        case kErrorNsupOper:
        case kErrorNsupAttr: iberr = kECAP; break;
        case kErrorRsrcBusy:
        case kErrorRsrcLocked: iberr = kEOIP; break;
        case kErrorIo: iberr = kEBUS; break;
        default: iberr = kEDVR; break;
    }
    return GpibStatus{ibsta, iberr, cnt};
}

}  // namespace visa

namespace {
constexpr int kDescriptor = 1;
}

VisaBus::VisaBus(std::string libraryPath, std::string resource)
    : libraryPath_(std::move(libraryPath)), resource_(std::move(resource)) {}

VisaBus::~VisaBus() {
    CloseSession();
    if (library_.IsOpen() && rm_ != 0) close_(rm_);
}

std::vector<std::string> VisaBus::DefaultLibraryNames() {
#ifdef _WIN32
#ifdef _WIN64
    return {"visa64.dll", "visa32.dll"};
#else
    return {"visa32.dll"};
#endif
#else
    return {"libvisa.so", "libvisa.so.0", "libktvisa32.so", "librsvisa.so"};
#endif
}

std::string VisaBus::Describe() const {
    std::string d = "visa";
    std::string sep = ":";
    if (!libraryPath_.empty()) {
        d += sep + "lib=" + libraryPath_;
        sep = ",";
    }
    if (!resource_.empty()) d += sep + resource_;
    return d;
}

bool VisaBus::Load() {
    if (library_.IsOpen()) return true;
    problem_.clear();
    std::vector<std::string> names =
        libraryPath_.empty() ? DefaultLibraryNames() : std::vector<std::string>{libraryPath_};
    std::string tried;
    if (!OpenFirstLibrary(library_, names, tried, language_)) {
        problem_ = TextWith(language_, txt::NoVisaLibrary, {tried});
        return false;
    }
    auto need = [&](const char* name) {
        void* p = library_.Symbol(name);
        if (!p && problem_.empty())
            problem_ = TextWith(language_, txt::VisaLibraryLacks, {library_.Name(), name});
        return p;
    };
    openDefaultRm_ = reinterpret_cast<OpenDefaultRmFn>(need("viOpenDefaultRM"));
    open_ = reinterpret_cast<OpenFn>(need("viOpen"));
    close_ = reinterpret_cast<CloseFn>(need("viClose"));
    setAttribute_ = reinterpret_cast<SetAttributeFn>(need("viSetAttribute"));
    write_ = reinterpret_cast<WriteFn>(need("viWrite"));
    read_ = reinterpret_cast<ReadFn>(need("viRead"));
    clear_ = reinterpret_cast<ClearFn>(need("viClear"));
    sendIfc_ = reinterpret_cast<SendIfcFn>(library_.Symbol("viGpibSendIFC"));
    statusDesc_ = reinterpret_cast<StatusDescFn>(library_.Symbol("viStatusDesc"));
    if (!problem_.empty()) {
        library_.Close();
        return false;
    }
    return true;
}

GpibStatus VisaBus::Failed(ViStatus status, const char* call, bool isRead, std::uint32_t count) {
    // A session that is gone is opened again by the next write.
    if (status == visa::kErrorConnLost || status == visa::kErrorInvObject) lost_ = true;
    std::string what = visa::StatusName(status);
    if (statusDesc_) {
        char desc[256] = {};
        if (statusDesc_(session_ != 0 ? session_ : rm_, status, desc) >= 0 && desc[0] != '\0')
            what += std::string(": ") + desc;
    }
    problem_ = TextWith(language_, txt::VisaCallFailed, {call, openResource_.empty() ? "VISA" : openResource_, what});
    return visa::ToGpibStatus(status, count, isRead);
}

void VisaBus::CloseSession() {
    if (session_ != 0 && library_.IsOpen()) close_(session_);
    session_ = 0;
}

GpibStatus VisaBus::OpenDevice(int board, int address, int /*secondary*/, int timeoutCode,
                               int eot, int /*eos*/, int& descriptor) {
    descriptor = -1;
    if (!Load()) return GpibStatus{kIbERR, kEDVR, 0};
    problem_.clear();
    openArgs_ = {board, address, timeoutCode, eot};
    lost_ = false;
    const int ms = TimeoutCodeMilliseconds(timeoutCode);
    if (ms < 0) {
        problem_ = TextWith(language_, txt::TimeoutCodeUnknown, {std::to_string(timeoutCode)});
        return GpibStatus{kIbERR, kEARG, 0};
    }
    ViStatus st = visa::kSuccess;
    if (rm_ == 0) {
        st = openDefaultRm_(&rm_);
        if (st < 0) {
            rm_ = 0;
            return Failed(st, "viOpenDefaultRM", false);
        }
    }
    const std::string resource = resource_.empty() ? "GPIB" + std::to_string(board) +
                                                         "::" + std::to_string(address) + "::INSTR"
                                                   : resource_;
    if (session_ == 0 || resource != openResource_) {
        CloseSession();
        openResource_ = resource;
        st = open_(rm_, resource.c_str(), 0, 0, &session_);
        if (st < 0) {
            session_ = 0;
            return Failed(st, "viOpen", false);
        }
    }
    const visa::ViAttrState tmo = ms == 0 ? 0xFFFFFFFFu : static_cast<visa::ViAttrState>(ms);
    struct Setting {
        visa::ViAttr attr;
        visa::ViAttrState value;
    } settings[] = {{visa::kAttrTmoValue, tmo},
                    {visa::kAttrSendEndEn, eot ? 1u : 0u},
                    {visa::kAttrTermCharEn, 0}};
    for (const Setting& s : settings) {
        st = setAttribute_(session_, s.attr, s.value);
        if (st < 0) {
            GpibStatus f = Failed(st, "viSetAttribute", false);
            CloseSession();
            return f;
        }
    }
    st = clear_(session_);
    if (st < 0) {
        GpibStatus f = Failed(st, "viClear", false);
        CloseSession();
        return f;
    }
    descriptor = kDescriptor;
    return GpibStatus{kIbCMPL, 0, 0};
}

GpibStatus VisaBus::InterfaceClear(int board) {
    if (!Load()) return GpibStatus{kIbERR, kEDVR, 0};
    // Only a GP-IB resource has a bus of its own to clear; for other resources (a LAN gateway)
    // the device clear that follows is what reaches the instrument.
    if (openResource_.rfind("GPIB", 0) != 0 || !sendIfc_) return GpibStatus{kIbCMPL, 0, 0};
    ViSession intfc = 0;
    const std::string name = "GPIB" + std::to_string(board) + "::INTFC";
    ViStatus st = open_(rm_, name.c_str(), 0, 0, &intfc);
    if (st < 0) return Failed(st, Text(language_, txt::VisaInterfaceOpenCall).c_str(), false);
    st = sendIfc_(intfc);
    close_(intfc);
    if (st < 0) return Failed(st, "viGpibSendIFC", false);
    return GpibStatus{kIbCMPL, 0, 0};
}

GpibStatus VisaBus::DeviceClear(int /*board*/, int /*address*/) {
    if (session_ == 0) {
        problem_ = Text(language_, txt::VisaSessionNotOpen);
        return GpibStatus{kIbERR, kEDVR, 0};
    }
    ViStatus st = clear_(session_);
    if (st < 0) return Failed(st, "viClear", false);
    return GpibStatus{kIbCMPL, 0, 0};
}

GpibStatus VisaBus::BoardOffline(int /*board*/) {
    CloseSession();
    openResource_.clear();
    if (rm_ != 0 && library_.IsOpen()) close_(rm_);
    rm_ = 0;
    return GpibStatus{kIbCMPL, 0, 0};
}

bool VisaBus::Reopen() {
    const std::string why = problem_;
    CloseSession();
    int descriptor = -1;
    const OpenArgs a = openArgs_;
    OpenDevice(a.board, a.address, 0, a.timeoutCode, a.eot, 0, descriptor);
    if (descriptor == kDescriptor) {
        ++reopenings_;
        return true;
    }
    lost_ = true;
    problem_ = TextWith(language_, txt::VisaReopenFailed, {why, problem_});
    return false;
}

GpibStatus VisaBus::Write(int descriptor, const void* data, std::size_t count) {
    // The first write after a lost session opens it again, once.
    if (descriptor == kDescriptor && lost_ && !Reopen()) return GpibStatus{kIbERR, kENOL, 0};
    if (descriptor != kDescriptor || session_ == 0) {
        problem_ = Text(language_, txt::VisaSessionNotOpen);
        return GpibStatus{kIbERR, kEDVR, 0};
    }
    std::uint32_t done = 0;
    ViStatus st = write_(session_, static_cast<const unsigned char*>(data),
                         static_cast<std::uint32_t>(count), &done);
    if (st < 0) return Failed(st, "viWrite", false, done);
    return visa::ToGpibStatus(st, done, false);
}

GpibStatus VisaBus::Read(int descriptor, void* buffer, std::size_t count) {
    if (descriptor != kDescriptor || session_ == 0) {
        problem_ = Text(language_, txt::VisaSessionNotOpen);
        return GpibStatus{kIbERR, kEDVR, 0};
    }
    std::uint32_t done = 0;
    ViStatus st = read_(session_, static_cast<unsigned char*>(buffer),
                        static_cast<std::uint32_t>(count), &done);
    if (st < 0) return Failed(st, "viRead", true, done);
    return visa::ToGpibStatus(st, done, true);
}

}  // namespace kmr
