// kmr-sim as its own process: it prints where it listens, serves the program's Prologix backend,
// and ends cleanly on SIGTERM.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "link/PrologixBus.h"

extern char** environ;
#endif

namespace kmr {
namespace {

#if defined(KMR_SIM_PROGRAM) && !defined(_WIN32)
TEST(KmrSimProcess, ServesAClientAndEndsCleanlyOnSigterm) {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const char* argv[] = {KMR_SIM_PROGRAM, "--listen", "127.0.0.1:0", "sim:model=530A,time=instant",
                          nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, KMR_SIM_PROGRAM, &actions, nullptr, const_cast<char**>(argv),
                          environ),
              0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    // The first line names the port.
    std::string first;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') first += c;
    const std::size_t at = first.find("127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << first;
    const int port = std::stoi(first.substr(at + 10));

    PrologixBus bus("127.0.0.1", port);
    int d = -1;
    bus.OpenDevice(0, 20, 0, kT10s, 1, 0, d);
    ASSERT_GE(d, 0) << bus.LastProblem();
    bus.Write(d, "B.V3\r\n", 6);
    char reply[250] = {};
    GpibStatus st = bus.Read(d, reply, sizeof reply);
    EXPECT_EQ(std::string(reply, static_cast<std::size_t>(st.ibcnt)), "ERR-004\r\n");
    bus.BoardOffline(0);

    ASSERT_EQ(kill(pid, SIGTERM), 0);
    // A watchdog ends kmr-sim if it does not end by itself within 5 s.
    std::promise<void> ended;
    std::thread watchdog([&, f = ended.get_future()] {
        if (f.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) kill(pid, SIGKILL);
    });
    int status = 0;
    waitpid(pid, &status, 0);
    ended.set_value();
    watchdog.join();
    ASSERT_FALSE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        << "kmr-sim did not end within 5 s of SIGTERM";
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string rest;
    while (read(out[0], &c, 1) == 1) rest += c;
    close(out[0]);
    EXPECT_NE(rest.find("stopped"), std::string::npos) << rest;
}
#endif

}  // namespace
}  // namespace kmr
