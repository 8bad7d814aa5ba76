// Faults on every route, seen through the program's link code: each gives the program's message
// and RunStatus 1 within the timeout, and nothing crashes or hangs.
#include <gtest/gtest.h>

#include <memory>

#include "support/FakeUi.h"
#include "core/instrument/CommandTransport.h"
#include "core/instrument/GpibConnection.h"
#include "link/FakeAdapter.h"
#include "link/InterfaceSpec.h"
#include "link/NiGpibBus.h"
#include "link/SharedLibrary.h"
#include "link/VisaBus.h"
#include "sim/PrologixServer.h"
#include "sim/SimBus.h"

namespace kmr {
namespace {

constexpr const char* kCannotOpen = "Cannot open communication port.";
constexpr const char* kCannotCommunicate = "Cannot Comunicate.";
constexpr int kT300ms = 10;

// The link code over one bus, with a fake user interface.
struct Link {
    explicit Link(GpibBus& bus) : conn(bus, settings, ui, status), transport(conn) {}
    std::string OnlyMessage() const {
        EXPECT_EQ(ui.shown.size(), 1u);
        return ui.shown.empty() ? "" : ui.shown.front().text;
    }
    GpibSettings settings;
    testing::FakeUi ui;
    RunStatus status = RunStatus::Ok;
    GpibConnection conn;
    CommandTransport transport;
};

std::unique_ptr<GpibBus> Bus(const std::string& spec) {
    std::string error;
    auto bus = MakeGpibBus(spec, error);
    EXPECT_NE(bus, nullptr) << error;
    return bus;
}

std::unique_ptr<sim::SimBus> Sim(const std::string& spec) {
    auto parsed = sim::ParseSimOptions(spec);
    EXPECT_TRUE(parsed.options.has_value()) << parsed.error;
    return std::make_unique<sim::SimBus>(*parsed.options);
}

// An open that fails must show text 169 with the bus's own sentence, and set RunStatus 1.
void ExpectOpenFailure(GpibBus& bus, const std::vector<std::string>& mentions) {
    Link link(bus);
    link.conn.OpenGpibDevice(kT10s);
    EXPECT_FALSE(link.conn.IsConnected());
    EXPECT_EQ(link.status, RunStatus::CommFailed);
    const std::string text = link.OnlyMessage();
    EXPECT_EQ(text.rfind(kCannotOpen, 0), 0u) << text;
    for (const std::string& m : mentions) EXPECT_NE(text.find(m), std::string::npos) << text;
    EXPECT_EQ(link.ui.shown.front().title, "GP-IB error");
}

// --- Libraries that are missing or unusable ----------------------------------------------------

TEST(RouteFaults, MissingGpibLibraryNamesThePathTried) {
    auto bus = Bus("gpib:lib=/nonexistent/libgpib.so.0");
    ExpectOpenFailure(*bus, {"/nonexistent/libgpib.so.0", "gpib:lib=PATH"});
}

TEST(RouteFaults, MissingGpibLibraryNamesEveryUsualNameTried) {
    for (const std::string& name : NiGpibBus::DefaultLibraryNames()) {
        SharedLibrary probe;
        std::string why;
        if (probe.Open(name, why)) GTEST_SKIP() << name << " is installed on this machine";
    }
    auto bus = Bus("gpib");
    ExpectOpenFailure(*bus, NiGpibBus::DefaultLibraryNames());
}

TEST(RouteFaults, GpibLibraryWithoutAnyStatusIsRefusedClearly) {
    auto simBus = Sim("sim:time=instant");
    auto bus = Bus(std::string("gpib:lib=") + KMR_FAKE_GPIB_NONE);
    ExpectOpenFailure(*bus, {"ThreadIbsta", "ibsta", KMR_FAKE_GPIB_NONE});
}

TEST(RouteFaults, ALibraryThatIsNotAGpibLibraryIsRefusedClearly) {
    auto bus = Bus(std::string("gpib:lib=") + KMR_FAKE_VISA);
    ExpectOpenFailure(*bus, {"has no ibdev"});
}

TEST(RouteFaults, MissingVisaLibraryNamesEveryUsualNameTried) {
    for (const std::string& name : VisaBus::DefaultLibraryNames()) {
        SharedLibrary probe;
        std::string why;
        if (probe.Open(name, why)) GTEST_SKIP() << name << " is installed on this machine";
    }
    auto bus = Bus("visa");
    ExpectOpenFailure(*bus, VisaBus::DefaultLibraryNames());
}

// --- Stand-in libraries over a simulator with faults --------------------------------------------

class StandIn {
public:
    StandIn(const std::string& path, GpibBus& bus) {
        std::string error;
        EXPECT_TRUE(library_.Open(path, error)) << error;
        attach_ = reinterpret_cast<void (*)(GpibBus*)>(library_.Symbol("kmr_fake_attach"));
        attach_(&bus);
    }
    ~StandIn() { attach_(nullptr); }

private:
    SharedLibrary library_;
    void (*attach_)(GpibBus*) = nullptr;
};

TEST(RouteFaults, NoListenerAtTheAddressFailsTheOpenThroughTheGpibLibrary) {
    auto simBus = Sim("sim:time=instant,fault=nolistener");
    StandIn standIn(KMR_FAKE_GPIB_THREAD, *simBus);
    auto bus = Bus(std::string("gpib:lib=") + KMR_FAKE_GPIB_THREAD);
    Link link(*bus);
    link.conn.OpenGpibDevice(kT10s);
    EXPECT_FALSE(link.conn.IsConnected());
    EXPECT_EQ(link.status, RunStatus::CommFailed);
    EXPECT_EQ(link.OnlyMessage().rfind(kCannotOpen, 0), 0u);
    EXPECT_TRUE(link.conn.StatusCopy().error());
}

TEST(RouteFaults, VisaTimeoutShowsTimoAndErrAndFailsTheCommand) {
    auto simBus = Sim("sim:time=instant,fault=VER:noreply");
    StandIn standIn(KMR_FAKE_VISA, *simBus);
    auto bus = Bus(std::string("visa:lib=") + KMR_FAKE_VISA);
    Link link(*bus);
    link.conn.OpenGpibDevice(kT10s);
    ASSERT_TRUE(link.conn.IsConnected()) << link.OnlyMessage();
    link.transport.SendCommand("VER", 1);
    EXPECT_EQ(link.status, RunStatus::CommFailed);
    const GpibStatus& raw = link.conn.LastBusStatus();
    EXPECT_EQ(raw.ibsta & (kIbERR | kIbTIMO), kIbERR | kIbTIMO);
    EXPECT_EQ(raw.iberr, kEABO);
    const std::string text = link.OnlyMessage();
    EXPECT_EQ(text, std::string(kCannotCommunicate) + kErrorSendingCommand);
    EXPECT_NE(bus->LastProblem().find("VI_ERROR_TMO"), std::string::npos) << bus->LastProblem();
}

TEST(RouteFaults, VisaResourceThatDoesNotExistIsAnOpenFailureNamingIt) {
    auto simBus = Sim("sim:time=instant");
    StandIn standIn(KMR_FAKE_VISA, *simBus);
    auto bus = Bus(std::string("visa:lib=") + KMR_FAKE_VISA + ",GPIB0::31::INSTR");
    ExpectOpenFailure(*bus, {"GPIB0::31::INSTR", "VI_ERROR_RSRC_NFOUND"});
}

// --- The Prologix route --------------------------------------------------------------------------

TEST(RouteFaults, RefusedAdapterConnectionIsAnOpenFailure) {
    int port = 0;
    {
        std::string error;
        port = TcpListener::Listen("127.0.0.1", 0, error).Port();
    }
    auto bus = Bus("prologix:127.0.0.1:" + std::to_string(port));
    ExpectOpenFailure(*bus, {"127.0.0.1:" + std::to_string(port)});
}

TEST(RouteFaults, AdapterClosingInTheMiddleOfADataBlockFailsTheTransfer) {
    test::FakeAdapter adapter(test::FakeAdapter::Protocol([](const std::string& data) {
        if (data == "BDT\r\n") return "<close>" + std::string(4000, '\x01');
        return std::string("END\r\n");
    }));
    auto bus = Bus("prologix:127.0.0.1:" + std::to_string(adapter.Port()));
    Link link(*bus);
    link.conn.OpenGpibDevice(kT10s);
    ASSERT_TRUE(link.conn.IsConnected());
    std::vector<std::int16_t> words(10000, 7);
    link.transport.ReadMemoryBlock(words.data(), 0, 10000);
    EXPECT_EQ(link.status, RunStatus::CommFailed);
    EXPECT_EQ(link.OnlyMessage(), std::string(kCannotCommunicate) + kErrorReceivingData);
    EXPECT_TRUE(link.conn.StatusCopy().error());
    EXPECT_EQ(link.conn.StatusCopy().iberr, kEABO);
    EXPECT_EQ(words[0], 7) << "a broken block leaves the samples alone";
}

TEST(RouteFaults, GarbageFromTheAdapterFailsTheCommandAfterItsAttempts) {
    test::FakeAdapter adapter(test::FakeAdapter::Protocol([](const std::string& data) {
        return data == "EOC\r\n" ? std::string("<garbage>") : std::string("END\r\n");
    }));
    auto bus = Bus("prologix:127.0.0.1:" + std::to_string(adapter.Port()));
    Link link(*bus);
    link.conn.OpenGpibDevice(kT300ms);
    ASSERT_TRUE(link.conn.IsConnected());
    link.transport.SendCommand("EOC", 1);
    EXPECT_EQ(link.status, RunStatus::CommFailed);
    EXPECT_EQ(link.OnlyMessage(), std::string(kCannotCommunicate) + kErrorSendingCommand);
    EXPECT_TRUE(link.conn.LastBusStatus().ibsta & kIbTIMO);
}

TEST(RouteFaults, KmrSimServerPassesAnInstrumentTimeoutOnAsTimo) {
    auto simBus = Sim("sim:time=instant,fault=EOC:noreply");
    PrologixServerOptions options;
    options.port = 0;
    PrologixServer server(*simBus, options);
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    auto bus = Bus("prologix:127.0.0.1:" + std::to_string(server.Port()));
    Link link(*bus);
    link.conn.OpenGpibDevice(kT300ms);
    ASSERT_TRUE(link.conn.IsConnected());
    link.transport.SendCommand("EOC", 1);
    EXPECT_EQ(link.status, RunStatus::CommFailed);
    EXPECT_EQ(link.conn.LastBusStatus().ibsta & (kIbERR | kIbTIMO), kIbERR | kIbTIMO);
    EXPECT_EQ(link.conn.LastBusStatus().iberr, kEABO);
}

}  // namespace
}  // namespace kmr
