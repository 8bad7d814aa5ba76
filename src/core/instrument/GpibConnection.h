#pragma once
// The one GP-IB connection to the strainmeter: opening it with a timeout code, closing it, the
// program's copies of the status words after every call and the status report.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/conditions/GlobalSettings.h"
#include "core/instrument/GpibBus.h"
#include "core/support/RunStatus.h"
#include "core/support/UiPort.h"

namespace kmr {

// The status words as the program keeps them: ibsta and ibcnt are the low 16 bits of the
// library's values taken as signed (bit 15 set gives a negative value); iberr is the error code.
struct GpibStatusCopy {
    std::int16_t ibsta = 0;
    std::int16_t iberr = 0;
    std::int16_t ibcnt = 0;
    bool error() const { return (static_cast<std::uint16_t>(ibsta) & 0x8000u) != 0; }
    bool operator==(const GpibStatusCopy&) const = default;
};

GpibStatusCopy ToStatusCopy(const GpibStatus& s);

// The text of the status report: the message, then the ibsta line with its bit names, the iberr
// line and the ibcnt line, separated by CR LF.
std::string GpibStatusReportText(const std::string& message, const GpibStatusCopy& s);

// Board and device parameters of the connection.
inline constexpr int kGpibBoard = 0;
inline constexpr int kGpibSecondary = 0;
inline constexpr int kGpibEot = 1;  // EOI with the last byte of every write
inline constexpr int kGpibEos = 0;  // no end-of-string character

class GpibConnection {
public:
    GpibConnection(GpibBus& bus, GpibSettings& settings, UiPort& ui, RunStatus& runStatus);

    // ibdev, SendIFC, DevClear, ibdev. On failure: the message "Cannot open communication port."
    // (plus what the bus can say about the problem), RunStatus 1, not connected.
    void OpenGpibDevice(int timeoutCode);
    // Takes the board off-line; a failure shows the status report. Nothing when not connected.
    void CloseGpibDevice();
    // The status report with Retry and Cancel; Cancel ends the program.
    void ReportGpibError(const std::string& message);

    // ibwrt / ibrd on the open device; both refresh the status copy.
    GpibStatusCopy Write(const std::string& bytes);
    GpibStatusCopy Read(void* buffer, std::size_t count);

    // -1 after a complete, successful open; 0 otherwise.
    std::int16_t GpibConnected() const { return connected_; }
    bool IsConnected() const { return connected_ != 0; }
    std::int16_t DeviceDescriptor() const { return descriptor_; }
    const GpibStatusCopy& StatusCopy() const { return status_; }
    // The status words of the last call as the bus gave them (ibcnt beyond 16 bits).
    const GpibStatus& LastBusStatus() const { return raw_; }
    int TimeoutCode() const { return timeoutCode_; }

    GpibBus& Bus() { return bus_; }
    GpibSettings& Settings() { return settings_; }
    UiPort& Ui() { return ui_; }
    RunStatus& Status() { return runStatus_; }

    // A line put under every open failure: where the connection's settings can be corrected.
    std::string openFailureNote;

private:
    void OpenFailed(const std::string& problem);
    void Copy(const GpibStatus& s) {
        raw_ = s;
        status_ = ToStatusCopy(s);
    }

    GpibBus& bus_;
    GpibSettings& settings_;
    UiPort& ui_;
    RunStatus& runStatus_;
    std::int16_t connected_ = kFalse;
    std::int16_t descriptor_ = -1;
    int timeoutCode_ = kT10s;
    GpibStatusCopy status_;
    GpibStatus raw_;
};

// The open failure: text 169 (with the route's own explanation on a second line when there is
// one) under title 102, after the splash has dropped its topmost place; RunStatus 1.
void ShowOpenFailure(UiPort& ui, const std::string& problem, RunStatus& status);

}  // namespace kmr
