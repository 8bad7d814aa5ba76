#include "core/instrument/GpibConnection.h"

#include <cstdio>
#include <exception>

#include "core/support/InstrumentFacts.h"
#include "core/support/Numbers.h"
#include "core/support/TextTable.h"

namespace kmr {

namespace {

struct BitName {
    std::uint16_t bit;
    const char* name;
};
constexpr BitName kBitNames[] = {
    {0x8000, " ERR"},  {0x4000, " TIMO"}, {0x2000, " END"}, {0x1000, " SRQI"}, {0x0800, " RQS"},
    {0x0100, " CMPL"}, {0x0080, " LOK"},  {0x0040, " REM"}, {0x0020, " CIC"},  {0x0010, " ATN"},
    {0x0008, " TACS"}, {0x0004, " LACS"}, {0x0002, " DTAS"}, {0x0001, " DCAS"},
};

struct ErrorLine {
    int iberr;
    const char* line;
};
constexpr ErrorLine kErrorLines[] = {
    {0, "iberr = EDVR <DOS Error>"},        {1, "iberr = ECIC <Not CIC>"},
    {2, "iberr = ENOL <No Listener>"},      {3, "iberr = EADR <Address Error>"},
    {4, "iberr = EARG <Invalid argument>"}, {5, "iberr = ESAC <Not Sys Ctrlr>"},
    {6, "iberr = EABO <Op. aborted>"},      {7, "iberr = ENEB <No GPIB board>"},
    {10, "iberr = EOIP <Async I/O in prg>"}, {11, "iberr = ECAP <No capability>"},
    {12, "iberr = EFSO <File sys. error>"}, {14, "iberr = EBUS <Command error>"},
    {15, "iberr = ESTB <Status byte lost>"}, {16, "iberr = ESRQ <SRQ stuck high>"},
    {20, "iberr = ETAB <Table overflow>"},
};

// Upper-case hexadecimal of the 16-bit pattern, without leading zeros.
std::string Hex16(std::int16_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(static_cast<std::uint16_t>(v)));
    return buf;
}

}  // namespace

GpibStatusCopy ToStatusCopy(const GpibStatus& s) {
    auto low16 = [](std::int32_t v) {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) & 0xFFFFu));
    };
    return {low16(s.ibsta), static_cast<std::int16_t>(s.iberr), low16(s.ibcnt)};
}

std::string GpibStatusReportText(const std::string& message, const GpibStatusCopy& s) {
    std::string t = message;
    t += "\r\nibsta = &H" + Hex16(s.ibsta) + " <";
    const auto bits = static_cast<std::uint16_t>(s.ibsta);
    for (const BitName& b : kBitNames)
        if (bits & b.bit) t += b.name;
    t += ">\r\n";
    if (s.error()) {
        for (const ErrorLine& e : kErrorLines)
            if (e.iberr == s.iberr) t += e.line;
    } else {
        t += "No error, iberr = ";
        t += s.iberr >= 0 ? " " + std::to_string(s.iberr) : std::to_string(s.iberr);
    }
    t += "\r\nibcnt = 0x" + Hex16(s.ibcnt);
    return t;
}

GpibConnection::GpibConnection(GpibBus& bus, GpibSettings& settings, UiPort& ui,
                               RunStatus& runStatus)
    : bus_(bus), settings_(settings), ui_(ui), runStatus_(runStatus) {}

void GpibConnection::OpenGpibDevice(int timeoutCode) {
    connected_ = kFalse;
    timeoutCode_ = timeoutCode;
    // Why an open failed is said in the program's language.
    bus_.UseLanguage(ui_.language);
    if (!kGpibAddressRange.Holds(settings_.Address)) {
        // No GP-IB device can have this address (Meter.cnd is edited by hand); the bus is not
        // asked, and the message names the address and where it is set.
        OpenFailed(ui_.Text(txt::GpibAddressLabel) + FormatInt(settings_.Address) + "\n" +
                                 ui_.Text(txt::GpibAddressOutOfRange));
        return;
    }
    if (!kDelimiterRange.Holds(settings_.Delimiter)) {
        // No command could be terminated: every one would go out as an empty text and the
        // instrument would seem silent. Said like the address, with the value and where it is set.
        OpenFailed(ui_.Text(txt::DelimiterLabel) + FormatInt(settings_.Delimiter) + "\n" +
                                 ui_.Text(txt::DelimiterOutOfRange));
        return;
    }
    bool ok = false;
    // Any failure of the route itself (a backend that throws) takes the failure path as well.
    try {
        int ud = -1;
        Copy(bus_.OpenDevice(kGpibBoard, settings_.Address, kGpibSecondary, timeoutCode, kGpibEot,
                             kGpibEos, ud));
        descriptor_ = static_cast<std::int16_t>(ud);
        if (ud >= 0) {
            Copy(bus_.InterfaceClear(kGpibBoard));
            if (!status_.error()) {
                Copy(bus_.DeviceClear(kGpibBoard, settings_.Address));
                if (!status_.error()) {
                    ud = -1;
                    Copy(bus_.OpenDevice(kGpibBoard, settings_.Address, kGpibSecondary,
                                         timeoutCode, kGpibEot, kGpibEos, ud));
                    descriptor_ = static_cast<std::int16_t>(ud);
                    ok = ud >= 0;
                }
            }
        }
    } catch (const std::exception&) {
        ok = false;
    }
    if (ok) {
        connected_ = kTrue;
        return;
    }
    OpenFailed(bus_.LastProblem());
}

void GpibConnection::OpenFailed(const std::string& problem) {
    std::string text = problem;
    if (!openFailureNote.empty()) text += (text.empty() ? "" : "\n") + openFailureNote;
    ShowOpenFailure(ui_, text, runStatus_);
}

void ShowOpenFailure(UiPort& ui, const std::string& problem, RunStatus& status) {
    if (ui.IsSplashShowing()) ui.MakeSplashNonTopmost();
    std::string text = ui.Text(txt::CannotOpenPort);
    if (!problem.empty()) text += "\n" + problem;
    ui.ShowMessage(text, ui.Text(txt::GpibErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    status = RunStatus::CommFailed;
}

void GpibConnection::CloseGpibDevice() {
    if (!connected_) return;
    Copy(bus_.BoardOffline(kGpibBoard));
    if (status_.error()) ReportGpibError("Error putting board off-line. ");
    connected_ = kFalse;
}

void GpibConnection::ReportGpibError(const std::string& message) {
    const MsgAnswer a = ui_.ShowMessage(GpibStatusReportText(message, status_), kProgramTitle,
                                        MsgIcon::None, MsgButtons::RetryCancel);
    if (a == MsgAnswer::Cancel) ui_.TerminateProgram();
}

GpibStatusCopy GpibConnection::Write(const std::string& bytes) {
    Copy(bus_.Write(descriptor_, bytes.data(), bytes.size()));
    return status_;
}

GpibStatusCopy GpibConnection::Read(void* buffer, std::size_t count) {
    Copy(bus_.Read(descriptor_, buffer, count));
    return status_;
}

}  // namespace kmr
