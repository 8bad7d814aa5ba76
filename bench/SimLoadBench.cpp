// kmr-sim under load, on loopback only: starts the kmr-sim program, then lets clients misbehave
// in turn (many clients one after the other and at once, garbage, an endless line, clients that
// vanish in the middle of a block, a flood of commands, queued reads left behind) and prints,
// before, during and after each, the server's resident memory and what a well-behaved client
// (the program's own Prologix route) sees: whether it gets in, and its round-trip time for "VER".
// Every phase is bounded in bytes, clients and time; the whole run takes about a minute.
//
//   sim_load_bench [KMR-SIM-PROGRAM]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/instrument/GpibBus.h"
#include "link/PrologixBus.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// --- the server process --------------------------------------------------------------------------
struct SimProcess {
    pid_t pid = -1;
    int port = 0;
};

SimProcess StartSim(const std::string& program) {
    int out[2];
    if (pipe(out) != 0) return {};
    SimProcess p;
    p.pid = fork();
    if (p.pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        execl(program.c_str(), program.c_str(), "--listen", "127.0.0.1:0", "sim", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    // "... listening on 127.0.0.1:PORT (Prologix ...)"
    const std::size_t at = line.find("127.0.0.1:");
    if (at != std::string::npos) p.port = std::atoi(line.c_str() + at + 10);
    return p;
}

long ResidentKB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

// --- clients --------------------------------------------------------------------------------------
int Connect(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void SendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

// What the well-behaved client saw.
struct GoodClient {
    bool gotIn = false;
    double openMs = 0;      // connect and adapter set-up
    double medianMs = 0;    // "VER" written and its reply read
    double worstMs = 0;
};

GoodClient MeasureGoodClient(int port, int timeoutCode = 12 /* 3 s */, int rounds = 50) {
    GoodClient g;
    kmr::PrologixBus bus("127.0.0.1", port);
    int d = -1;
    const auto t0 = Clock::now();
    const kmr::GpibStatus open = bus.OpenDevice(0, 20, 0, timeoutCode, 1, 0, d);
    g.openMs = MsSince(t0);
    if (open.error() || d < 0) return g;
    std::vector<double> times;
    char reply[250];
    for (int i = 0; i < rounds; ++i) {
        const auto t = Clock::now();
        bus.Write(d, "VER\r\n", 5);
        const kmr::GpibStatus s = bus.Read(d, reply, sizeof reply);
        if (s.error()) break;
        times.push_back(MsSince(t));
    }
    bus.BoardOffline(0);
    if (times.empty()) return g;
    g.gotIn = true;
    std::sort(times.begin(), times.end());
    g.medianMs = times[times.size() / 2];
    g.worstMs = times.back();
    return g;
}

void Report(const char* phase, const char* when, long rssKB, const GoodClient& g, double phaseMs = -1) {
    if (g.gotIn)
        std::printf("%-22s %-7s %9ld KB   good client in after %8.1f ms, VER %6.3f ms median, %7.3f ms worst",
                    phase, when, rssKB, g.openMs, g.medianMs, g.worstMs);
    else
        std::printf("%-22s %-7s %9ld KB   good client NOT served (gave up after %.0f ms)", phase, when, rssKB,
                    g.openMs);
    if (phaseMs >= 0) std::printf("   [phase %.0f ms]", phaseMs);
    std::printf("\n");
    std::fflush(stdout);
}

const std::string kSetup = "++savecfg 0\n++mode 1\n++auto 0\n++eos 3\n++eoi 1\n++eot_enable 1\n++eot_char 4\n++addr 20\n";

// Runs `abuse` on a thread; halfway the good client measures (with a 3 s timeout) and the
// memory is read; then waits for the abuse to end and measures again.
void Phase(const char* name, pid_t pid, int port, const std::function<void()>& abuse, int settleMs = 300) {
    const auto t0 = Clock::now();
    std::atomic<bool> done{false};
    std::thread t([&] {
        abuse();
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    long peak = ResidentKB(pid);
    const GoodClient during = MeasureGoodClient(port, 12, 10);
    peak = std::max(peak, ResidentKB(pid));
    Report(name, "during", peak, during);
    t.join();
    const double phaseMs = MsSince(t0);
    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    Report(name, "after", ResidentKB(pid), MeasureGoodClient(port), phaseMs);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef KMR_SIM_PROGRAM
    std::string program = argc > 1 ? argv[1] : KMR_SIM_PROGRAM;
#else
    if (argc < 2) {
        std::fprintf(stderr, "usage: sim_load_bench KMR-SIM-PROGRAM\n");
        return 2;
    }
    std::string program = argv[1];
#endif
    signal(SIGPIPE, SIG_IGN);
    SimProcess sim = StartSim(program);
    if (sim.pid <= 0 || sim.port <= 0) {
        std::fprintf(stderr, "kmr-sim did not start (%s)\n", program.c_str());
        return 1;
    }
    const int port = sim.port;
    const pid_t pid = sim.pid;
    std::printf("kmr-sim pid %d on 127.0.0.1:%d\n", static_cast<int>(pid), port);
    std::printf("%-22s %-7s %12s   %s\n", "phase", "when", "server RSS", "well-behaved client (50 x VER)");
    Report("start", "before", ResidentKB(pid), MeasureGoodClient(port));

    Phase("300 clients in turn", pid, port, [port] {
        for (int i = 0; i < 300; ++i) {
            const int fd = Connect(port);
            if (fd < 0) continue;
            SendAll(fd, "++ver\n");
            char b[128];
            recv(fd, b, sizeof b, 0);
            close(fd);
        }
    });

    Phase("32 clients at once", pid, port, [port] {
        std::vector<std::thread> clients;
        for (int i = 0; i < 32; ++i)
            clients.emplace_back([port] { MeasureGoodClient(port, 14 /* 30 s */, 20); });
        for (auto& c : clients) c.join();
    });

    Phase("4 MB of garbage", pid, port, [port] {
        const int fd = Connect(port);
        std::mt19937 random(7);
        std::string noise(4 << 20, '\0');
        for (auto& c : noise) c = static_cast<char>(random());
        SendAll(fd, noise);
        close(fd);
    });

    Phase("64 MB endless line", pid, port, [port, pid] {
        const int fd = Connect(port);
        const std::string chunk(1 << 20, 'A');
        for (int i = 0; i < 64; ++i) SendAll(fd, chunk);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        std::printf("%-22s %-7s %9ld KB   (line still open)\n", "64 MB endless line", "held", ResidentKB(pid));
        close(fd);
    });

    Phase("20 vanish mid-block", pid, port, [port] {
        for (int i = 0; i < 20; ++i) {
            const int fd = Connect(port);
            SendAll(fd, kSetup + "MRY 30000;0\x1b\r\x1b\n\n++read eoi\nBDT\x1b\r\x1b\n\n++read eoi\n");
            close(fd);
        }
    });

    Phase("500k commands", pid, port, [port] {
        const int fd = Connect(port);
        SendAll(fd, kSetup);
        std::string lines;
        for (int i = 0; i < 10000; ++i) lines += "VER\x1b\r\x1b\n\n";
        for (int i = 0; i < 50; ++i) SendAll(fd, lines);
        SendAll(fd, "++ver\n");
        // Waits for the answer to ++ver: every command before it has been handled.
        std::string got;
        char b[4096];
        while (got.find("kmr-sim") == std::string::npos) {
            const ssize_t n = recv(fd, b, sizeof b, 0);
            if (n <= 0) break;
            got.append(b, static_cast<std::size_t>(n));
        }
        close(fd);
    });

    Phase("10 reads left queued", pid, port, [port] {
        const int fd = Connect(port);
        std::string reads = kSetup;
        for (int i = 0; i < 10; ++i) reads += "++read eoi\n";
        SendAll(fd, reads);
        close(fd);
    });

    Report("end", "after", ResidentKB(pid), MeasureGoodClient(port));
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    return 0;
}
