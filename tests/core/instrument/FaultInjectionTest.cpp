// Every fault the simulated instrument can inject, through the program's link: the message the
// user sees, the status the caller tests, and a bounded (simulated) time for it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/instrument/CommandSet.h"
#include "core/support/TextTable.h"
#include "support/LinkHarness.h"

namespace kmr {
namespace {

// The link, not yet opened: each case opens it where its fault needs.
struct FaultLink : testing::SimLink {
    explicit FaultLink(const std::string& opts) : SimLink(opts, testing::Opening::Closed) {}
};

struct FaultCase {
    const char* name;
    const char* fault;
    std::function<void(FaultLink&)> act;
    RunStatus status;
    const char* text;
    const char* title;
};

void Open(FaultLink& l) { l.conn.OpenGpibDevice(kT10s); }

class FaultInjectionTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultInjectionTest, MessageAndStatus) {
    const FaultCase& c = GetParam();
    FaultLink l(std::string("sim:time=instant,pattern=ramp,fault=") + c.fault);
    c.act(l);
    EXPECT_EQ(l.status, c.status);
    ASSERT_EQ(l.ui.shown.size(), 1u);
    EXPECT_EQ(l.ui.shown[0].text, c.text);
    EXPECT_EQ(l.ui.shown[0].title, c.title);
    EXPECT_EQ(l.ui.shown[0].icon, MsgIcon::Exclamation);
    // At most three attempts of one 10 s timeout each, all in simulated time.
    EXPECT_LE(l.time->Now(), 30.0 + 1e-9);
}

const char* const kSend = "Cannot Comunicate. (Error sending Command.) ";
const char* const kReceive = "Cannot Comunicate. (Error receiving Data.)";

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultInjectionTest,
    ::testing::Values(
        FaultCase{"NoListener", "nolistener", Open, RunStatus::CommFailed,
                  "Cannot open communication port.", "GP-IB error"},
        FaultCase{"RemoteSensing", "SET1:ERR-022",
                  [](FaultLink& l) { Open(l); l.cs.InitialiseInstrument(); }, RunStatus::Refused,
                  "Cannot make remote-sensing for bridge voltage. Confirm extened cable.", "Error"},
        FaultCase{"NoChannel", "nochannel",
                  [](FaultLink& l) { Open(l); l.cs.IdentifyInstrument(); }, RunStatus::Ok,
                  "Effective channel does not exist in KMR-530A/510C.", "Error"},
        FaultCase{"ErrorReply", "EOC:ERR-012",
                  [](FaultLink& l) { Open(l); l.transport.SendCommand("EOC", 1); }, RunStatus::CommFailed,
                  kSend, "GP-IB error"},
        FaultCase{"NoReply", "HLT:noreply",
                  [](FaultLink& l) { Open(l); l.transport.SendCommand("HLT", 1); }, RunStatus::CommFailed,
                  kSend, "GP-IB error"},
        FaultCase{"Garbage", "TRG:garbage",
                  [](FaultLink& l) { Open(l); l.transport.SendCommand("TRG", 1); }, RunStatus::CommFailed,
                  kSend, "GP-IB error"},
        FaultCase{"ShortLine", "EOC:short",
                  [](FaultLink& l) { Open(l); l.transport.SendCommand("EOC", 1); }, RunStatus::CommFailed,
                  kSend, "GP-IB error"},
        FaultCase{"MonitorSilent", "MDT:noreply",
                  [](FaultLink& l) { Open(l); l.transport.ReadMonitorData(); }, RunStatus::CommFailed,
                  kSend, "GP-IB error"},
        FaultCase{"MonitorGarbage", "MDT:garbage",
                  [](FaultLink& l) { Open(l); l.transport.ReadMonitorData(); }, RunStatus::CommFailed,
                  kSend, "GP-IB error"},
        FaultCase{"ShortBlock", "BDT:short",
                  [](FaultLink& l) {
                      Open(l);
                      std::vector<std::int16_t> d(10000);
                      l.transport.ReadMemoryBlock(d.data(), 0, 10000);
                  },
                  RunStatus::CommFailed, kReceive, "GP-IB error"},
        FaultCase{"DownloadRefused", "AVE*:ERR-002",
                  [](FaultLink& l) { Open(l); l.cs.DownloadConditions(kFullChangeMask); },
                  RunStatus::CommFailed, kSend, "GP-IB error"},
        FaultCase{"DateRefused", "DTE*:ERR-002",
                  [](FaultLink& l) { Open(l); l.cs.InitialiseInstrument(); }, RunStatus::CommFailed,
                  kSend, "GP-IB error"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kmr
