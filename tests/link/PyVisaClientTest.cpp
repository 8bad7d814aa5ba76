// A third-party client talks to kmr-sim: PyVISA (with its pure-Python backend) opens the adapter
// as TCPIP::127.0.0.1::PORT::SOCKET, addresses the instrument with the adapter's commands and
// reads the identity replies.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/RouteExchange.h"
#include "sim/PrologixServer.h"

namespace kmr {
namespace {

#ifndef _WIN32
constexpr const char* kPython = "/usr/bin/python3";

std::string RunShell(const std::string& command, int& exitCode) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) {
        exitCode = -1;
        return out;
    }
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    const int status = pclose(p);
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}
#endif

TEST(PyVisaClient, ReadsTheIdentityRepliesThroughKmrSim) {
#ifdef _WIN32
    GTEST_SKIP() << "the PyVISA client test runs on Linux only";
#else
    int code = 0;
    RunShell(std::string(kPython) + " -c 'import pyvisa, pyvisa_py' 2>/dev/null", code);
    if (code != 0)
        GTEST_SKIP() << kPython
                     << " cannot import pyvisa and pyvisa_py; install python3-pyvisa and "
                        "python3-pyvisa-py (scripts/setup does)";
    auto instrument = test::MakeSim("sim:model=530A,time=instant");
    PrologixServer server(*instrument, {.port = 0});
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    const std::string out = RunShell("timeout 60 " + std::string(kPython) + " " KMR_PYVISA_SCRIPT " " +
                                    std::to_string(server.Port()) + " 2>&1",
                                code);
    EXPECT_EQ(code, 0) << out;
    for (const std::string& line :
         {std::string("ADDR 20\n"), "ADAPTER " + std::string(PrologixServer::kVersion) + "\n",
          std::string("SET1 END\n"), std::string("VER VER2.10\n")})
        EXPECT_NE(out.find(line), std::string::npos) << line << " in\n" << out;
#endif
}

}  // namespace
}  // namespace kmr
