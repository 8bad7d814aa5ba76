#include "core/instrument/GpibConnection.h"

#include <gtest/gtest.h>

#include <tuple>

#include "support/FakeUi.h"
#include "support/ScriptedBus.h"
#include "core/support/TextTable.h"
#include "sim/SimBus.h"

namespace kmr {
namespace {

using testing::FakeUi;
using testing::ScriptedBus;

// The status report: the bits named in their order, the error by name (an empty line when unknown).
TEST(StatusReportTest, Text) {
    const std::pair<GpibStatus, const char*> cases[] = {
        {{0x8100, 2, 0}, "Msg\r\nibsta = &H8100 < ERR CMPL>\r\niberr = ENOL <No Listener>\r\nibcnt = 0x0"},
        {{0x0100, 0, 5}, "Msg\r\nibsta = &H100 < CMPL>\r\nNo error, iberr =  0\r\nibcnt = 0x5"},
        {{0x2000, -3, 0}, "Msg\r\nibsta = &H2000 < END>\r\nNo error, iberr = -3\r\nibcnt = 0x0"},
        {{0x8000, 8, 0}, "Msg\r\nibsta = &H8000 < ERR>\r\n\r\nibcnt = 0x0"},  // an unknown iberr: empty line
        {{0xF9FF, 20, 0xFFFF}, "Msg\r\nibsta = &HF9FF < ERR TIMO END SRQI RQS CMPL LOK REM CIC ATN TACS LACS "
                               "DTAS DCAS>\r\niberr = ETAB <Table overflow>\r\nibcnt = 0xFFFF"},
        {{0, 0, 0x1A2B}, "Msg\r\nibsta = &H0 <>\r\nNo error, iberr =  0\r\nibcnt = 0x1A2B"},
    };
    for (const auto& [status, text] : cases) EXPECT_EQ(GpibStatusReportText("Msg", ToStatusCopy(status)), text);
}

class GpibConnectionTest : public ::testing::Test {
protected:
    GpibSettings settings;
    FakeUi ui;
    RunStatus status = RunStatus::Ok;
};

TEST_F(GpibConnectionTest, OpenCloseAndReopenSequences) {
    ScriptedBus bus;
    GpibConnection c(bus, settings, ui, status);
    c.CloseGpibDevice();  // not connected: nothing to do
    EXPECT_TRUE(bus.calls.empty());
    c.OpenGpibDevice(kT10s);
    EXPECT_EQ(bus.calls, (std::vector<std::string>{"ibdev 20 13", "SendIFC", "DevClear 20", "ibdev 20 13"}));
    EXPECT_EQ(std::tuple(c.GpibConnected(), c.DeviceDescriptor(), ui.shown.size(), status),
              std::tuple(kTrue, 1, 0u, RunStatus::Ok));
    // Opened again at another address with the new timeout code.
    c.CloseGpibDevice();
    bus.calls.clear();
    settings.Address = 7;
    c.OpenGpibDevice(kT30s);
    EXPECT_EQ(bus.calls.front(), "ibdev 7 14");
    EXPECT_EQ(bus.calls.back(), "ibdev 7 14");
    EXPECT_EQ(c.TimeoutCode(), kT30s);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(GpibConnectionTest, NoListenerAtTheAddress) {
    sim::SimBus bus(*sim::ParseSimOptions("sim:address=5").options,
                    std::make_shared<sim::ManualTimeSource>());
    GpibConnection c(bus, settings, ui, status);
    ui.splashShowing = true;
    c.OpenGpibDevice(kT10s);
    EXPECT_EQ(std::tuple(c.GpibConnected(), status), std::tuple(kFalse, RunStatus::CommFailed));
    ASSERT_EQ(ui.shown.size(), 1u);  // its text and title: RouteFaults.NoListener*
    EXPECT_EQ(ui.shown[0].buttons, MsgButtons::Ok);
    EXPECT_FALSE(ui.shown[0].splashTopmostWhileShown);
    EXPECT_EQ(c.StatusCopy(), (GpibStatusCopy{static_cast<std::int16_t>(0x8100), kENOL, 0}));
}

TEST_F(GpibConnectionTest, FailureAtEachStepStopsThere) {
    using Row = std::tuple<int, bool, bool, std::size_t>;  // descriptor, IFC fails, clear fails, calls made
    for (const auto& [descriptor, ifcFails, clearFails, calls] :
         {Row{-1, false, false, 1}, Row{1, true, false, 2}, Row{1, false, true, 3}}) {
        ScriptedBus bus;
        bus.openDescriptor = descriptor;
        if (ifcFails) bus.ifc = {kIbERR, kENEB, 0};
        if (clearFails) bus.devClear = {kIbERR | kIbCMPL, kENOL, 0};
        bus.problem = "No GP-IB library found (tried libgpib.so.0, libgpibapi.so).";
        FakeUi u;
        RunStatus st = RunStatus::Ok;
        GpibConnection c(bus, settings, u, st);
        c.OpenGpibDevice(kT10s);
        EXPECT_EQ(std::tuple(bus.calls.size(), st, c.IsConnected()), std::tuple(calls, RunStatus::CommFailed, false));
        ASSERT_EQ(u.shown.size(), 1u);
        EXPECT_EQ(u.shown[0].text,
                  "Cannot open communication port.\nNo GP-IB library found (tried libgpib.so.0, libgpibapi.so).");
    }
}

TEST_F(GpibConnectionTest, CloseFailureShowsTheReportRetryGoesOnCancelEnds) {
    for (MsgAnswer answer : {MsgAnswer::Retry, MsgAnswer::Cancel}) {
        ScriptedBus bus;
        bus.offline = {kIbERR, kEDVR, 0};
        FakeUi u;
        u.answers.push_back(answer);
        GpibConnection c(bus, settings, u, status);
        c.OpenGpibDevice(kT10s);
        c.CloseGpibDevice();
        ASSERT_EQ(u.shown.size(), 1u);
        EXPECT_EQ(u.shown[0].text,
                  "Error putting board off-line. \r\nibsta = &H8000 < ERR>\r\niberr = EDVR <DOS Error>\r\nibcnt = 0x0");
        EXPECT_EQ(std::tie(u.shown[0].title, u.shown[0].icon, u.shown[0].buttons),
                  std::tuple(kProgramTitle, MsgIcon::None, MsgButtons::RetryCancel));
        EXPECT_EQ(u.terminated, answer == MsgAnswer::Cancel ? 1 : 0);
        EXPECT_FALSE(c.IsConnected());
    }
}

}  // namespace
}  // namespace kmr
