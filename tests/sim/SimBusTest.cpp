#include "sim/SimBus.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

namespace kmr::sim {
namespace {

struct BusFixture {
    std::shared_ptr<ManualTimeSource> time = std::make_shared<ManualTimeSource>();
    SimBus bus;
    int ud = -1;
    explicit BusFixture(const std::string& opts, int address = 20, int timeoutCode = kT10s)
        : bus(*ParseSimOptions(opts).options, time) {
        bus.OpenDevice(0, address, 0, timeoutCode, 1, 0, ud);
    }
    GpibStatus Write(const std::string& s) { return bus.Write(ud, s.data(), s.size()); }
    // The status word, the error and the bytes of one read of up to `n` bytes.
    std::tuple<std::int32_t, std::int32_t, std::string> Read(std::size_t n = 250) {
        std::string buf(n, ' ');
        GpibStatus st = bus.Read(ud, buf.data(), n);
        buf.resize(static_cast<std::size_t>(std::max(0, st.ibcnt)));
        return {st.ibsta, st.iberr, buf};
    }
};

// (A listener at the instrument's address and none elsewhere, through the connection's open:
// GpibConnectionTest.NoListenerAtTheAddress and every link test.)
TEST(SimBusTest, WithoutAnAddressTheInstrumentAnswersAtAnyAndTheOpenFaultHasItsCount) {
    BusFixture any("sim", 7);
    EXPECT_FALSE(any.bus.DeviceClear(0, 7).error());
    BusFixture fault("sim:fault=open:nolistener:1");
    EXPECT_EQ(fault.bus.DeviceClear(0, 20).iberr, kENOL);
    EXPECT_FALSE(fault.bus.DeviceClear(0, 20).error());
}

TEST(SimBusTest, WriteThenReadALineWholeOrInPieces) {
    BusFixture f("sim");
    EXPECT_EQ(f.Write("RES\r\n").ibcnt, 5);
    EXPECT_EQ(f.Read(), std::tuple(kIbEND | kIbCMPL, 0, "END\r\n"));
    // Nothing more to read: a timeout, reported at once in simulated time.
    EXPECT_EQ(f.Read(), std::tuple(kIbERR | kIbTIMO | kIbCMPL, kEABO, ""));
    EXPECT_DOUBLE_EQ(f.time->Now(), 10.0);
    // In pieces: only the last one ends with EOI.
    f.Write("VER\r\n");
    EXPECT_EQ(f.Read(4), std::tuple(kIbCMPL, 0, "VER2"));
    EXPECT_EQ(f.Read(100), std::tuple(kIbEND | kIbCMPL, 0, ".10\r\n"));
}

TEST(SimBusTest, HighSpeedTriggerAnswersWhenTheRecordingIsComplete) {
    // 0.1 ms x 200000 words = 20 s: longer than 10 s, shorter than 100 s.
    for (int code : {kT10s, kT100s}) {
        BusFixture f("sim:time=real", 20, code);
        for (const char* c : {"CLK-1\r\n", "MRY 200000\r\n"}) {
            f.Write(c);
            f.Read();
        }
        const double t0 = f.time->Now();
        f.Write("TRG\r\n");
        const auto [ibsta, iberr, text] = f.Read();
        if (code == kT10s) {
            EXPECT_TRUE(ibsta & kIbERR);
            EXPECT_DOUBLE_EQ(f.time->Now() - t0, 10.0);
        } else {
            EXPECT_EQ(text, "END\r\n");
            EXPECT_NEAR(f.time->Now() - t0, 20.0, 1e-6);
        }
    }
}

// A closed or unknown descriptor is refused; a long session (two million commands through
// kmr-sim) must not keep every write.
TEST(SimBusTest, ClosedOrUnknownDescriptorIsRefusedAndOnlyRecentWritesAreKept) {
    BusFixture f("sim");
    EXPECT_EQ(f.bus.Write(99, "RES", 3).iberr, kEDVR);
    f.bus.BoardOffline(0);
    EXPECT_TRUE(f.Write("RES\r\n").error());
    EXPECT_EQ(f.bus.Writes().size(), 0u);
    BusFixture g("sim:time=instant");
    for (int i = 0; i < 10000; ++i) g.Write("VER" + std::to_string(i) + "\r\n");
    EXPECT_LE(g.bus.Writes().size(), 2 * SimBus::kKeptWrites);
    EXPECT_GE(g.bus.Writes().size(), SimBus::kKeptWrites);
    EXPECT_EQ(g.bus.Writes().back(), "VER9999\r\n");
}

}  // namespace
}  // namespace kmr::sim
