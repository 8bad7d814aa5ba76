// `kmr record` against the simulated instrument, in-process and over TCP through kmr-sim's
// Prologix server.
#include "cli/RecordCommand.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/EngineHarness.h"
#include "link/InterfaceSpec.h"
#include "sim/PrologixServer.h"
#include "sim/SimBus.h"

namespace kmr::cli {
namespace {

using kmr::testing::ReadAll;
using kmr::testing::TempHome;

struct RecordRun {
    int status = -1;
    std::string out, err;
};

RecordRun Record(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CliIo io{out, err, false};
    kmr::testing::FakeClock clock;  // never waits
    const int status = RecordWith(
        args, io, [](const std::string& spec, std::string&) { return MakeGpibBusOrExplain(spec); }, clock);
    return {status, out.str(), err.str()};
}

std::string DataFolder() { return std::string(std::getenv("XDG_DOCUMENTS_DIR")) + "/KMR-5300/Data/"; }

std::string WrittenPath(const RecordRun& r) { return r.out.empty() ? r.out : r.out.substr(0, r.out.size() - 1); }

TEST(RecordCommand, RecordsOneRunWithTheStoredConditionsAndPrintsThePath) {
#ifdef _WIN32
    GTEST_SKIP() << "on Windows the program's folders come from the user's profile, which a test cannot point elsewhere; scripts/windows-checks records with kmr.exe in fresh folders instead";
#else
    TempHome home;
    SetTextLanguage(Language::English);
    const RecordRun r = Record({"--interface", "sim:time=instant,pattern=ramp"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.out.back(), '\n');
    const std::string written = WrittenPath(r);
    EXPECT_EQ(written.rfind(DataFolder(), 0), 0u);
    EXPECT_EQ(written.size(), DataFolder().size() + 12);  // YYYYMMDD.kmr
    const std::string bytes = ReadAll(written);
    // Ten channels of 1000 words: 1100 + 2 * 1000 * 9 + 2 * 1001 bytes.
    EXPECT_EQ(bytes.size(), 1100u + 18000u + 2002u);
    EXPECT_EQ(bytes.substr(4, 20), "KMR_FILE BY VNTNORDA");
    EXPECT_NE(r.err.find("Rest time: 1.0 SEC."), std::string::npos) << r.err;

    // The next run writes the next number.
    const RecordRun second = Record({"--interface", "sim:time=instant,pattern=ramp"});
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(WrittenPath(second), written.substr(0, written.size() - 4) + "_1.kmr");
#endif
}

TEST(RecordCommand, AnInstrumentThatCannotBeReachedIsAnError) {
    TempHome home;
    SetTextLanguage(Language::English);
    const RecordRun r = Record({"--interface", "sim:time=instant,fault=open:nolistener"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("GP-IB error: Cannot open communication port."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("cannot be reached at GP-IB address 20"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Do you want"), std::string::npos);
}

TEST(RecordCommand, WrongUsage) {
    TempHome home;
    EXPECT_EQ(Record({"--colour"}).status, 2);
}

TEST(RecordCommand, OverTcpThroughTheSimulatorsPrologixServer) {
#ifdef _WIN32
    GTEST_SKIP() << "on Windows the program's folders come from the user's profile, which a test cannot point elsewhere; scripts/windows-checks records with kmr.exe in fresh folders instead";
#else
    TempHome home;
    SetTextLanguage(Language::English);
    sim::SimOptions o;
    o.time = sim::SimTimeMode::Instant;
    o.pattern = sim::SimPattern::Ramp;
    sim::SimBus instrument(o);
    PrologixServerOptions so;
    so.port = 0;
    PrologixServer server(instrument, so);
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    const RecordRun r = Record({"--interface", "prologix:127.0.0.1:" + std::to_string(server.Port())});
    server.Stop();
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string bytes = ReadAll(WrittenPath(r));
    ASSERT_EQ(bytes.size(), 1100u + 18000u + 2002u);
    // Channel 3's block holds the ramp: word a = 7a + 3000.
    const std::size_t at = 1100 + 2 * 1000 * 2 + 2 * 10;
    EXPECT_EQ(static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8), 3070);
#endif
}

}  // namespace
}  // namespace kmr::cli
