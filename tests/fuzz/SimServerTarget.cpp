// What a client sends to kmr-sim: the adapter's line splitter on its own (the same lines
// whatever pieces the bytes come in; lines written back out split into the same lines), then
// the whole server over loopback with the simulated instrument behind it, in simulated time.
//
// The server waits out the adapter's read timeout in real time when there is nothing to read,
// so each session starts with "++read_tmo_ms 1", and inputs that change the timeout again
// ("++read_tmo_ms", "++rst") or ask for very many reads are run through the splitter only.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "net/PrologixProtocol.h"
#include "sim/PrologixServer.h"
#include "sim/SimBus.h"

using namespace kmr;
using fuzz::Require;
using prologix::LineSplitter;

namespace {

std::vector<LineSplitter::Line> Split(const std::string& bytes, const std::vector<std::size_t>& pieces) {
    LineSplitter splitter;
    std::vector<LineSplitter::Line> lines;
    std::size_t at = 0;
    for (std::size_t piece : pieces) {
        if (at >= bytes.size()) break;
        const std::size_t n = std::min(piece, bytes.size() - at);
        splitter.Feed(bytes.data() + at, n);
        at += n;
    }
    if (at < bytes.size()) splitter.Feed(bytes.data() + at, bytes.size() - at);
    LineSplitter::Line line;
    while (splitter.Next(line)) lines.push_back(line);
    return lines;
}

bool SameLines(const std::vector<LineSplitter::Line>& a, const std::vector<LineSplitter::Line>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const auto& x, const auto& y) { return x.bytes == y.bytes && x.command == y.command; });
}

// The lines written the way a client writes them.
std::string Encode(const std::vector<LineSplitter::Line>& lines) {
    std::string out;
    for (const auto& l : lines) {
        const std::size_t plus = l.command ? 2 : 0;  // a command's "++" goes out unescaped
        out += (l.command ? "++" : "") + prologix::EscapeData(l.bytes.data() + plus, l.bytes.size() - plus);
    }
    return out;
}

std::string CommandName(const std::string& line) {
    std::string name;
    for (std::size_t i = 2; i < line.size() && line[i] != ' ' && line[i] != '\t'; ++i)
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(line[i])));
    return name;
}

// The instrument behind the server, replaced by a fresh one for every input (the server is
// started once per process).
class FreshInstrument : public GpibBus {
public:
    void Renew() {
        std::lock_guard<std::mutex> lock(mutex_);
        sim::SimOptions o;
        o.time = sim::SimTimeMode::Instant;
        bus_ = std::make_unique<sim::SimBus>(o, std::make_shared<sim::ManualTimeSource>());
    }
    GpibStatus OpenDevice(int b, int a, int s, int t, int eot, int eos, int& d) override {
        return Locked(&GpibBus::OpenDevice, b, a, s, t, eot, eos, d);
    }
    GpibStatus InterfaceClear(int b) override { return Locked(&GpibBus::InterfaceClear, b); }
    GpibStatus DeviceClear(int b, int a) override { return Locked(&GpibBus::DeviceClear, b, a); }
    GpibStatus BoardOffline(int b) override { return Locked(&GpibBus::BoardOffline, b); }
    GpibStatus Write(int d, const void* p, std::size_t n) override { return Locked(&GpibBus::Write, d, p, n); }
    GpibStatus Read(int d, void* p, std::size_t n) override { return Locked(&GpibBus::Read, d, p, n); }
    std::string Describe() const override { return "fuzz sim"; }

private:
    // Calls `call` on the current instrument, which is not renewed meanwhile.
    template <class... Params, class... Args>
    GpibStatus Locked(GpibStatus (GpibBus::*call)(Params...), Args&&... args) {
        std::lock_guard<std::mutex> lock(mutex_);
        return (bus_.get()->*call)(std::forward<Args>(args)...);
    }

    std::mutex mutex_;
    std::unique_ptr<sim::SimBus> bus_;
};

struct Server {
    Server() {
        instrument.Renew();
        std::string error;
        Require(server.Start(error));
    }
    FreshInstrument instrument;
    PrologixServer server{instrument, {.port = 0}};
};

// One client session: sends every byte while taking what comes back, then closes its sending
// side and reads until the server has closed the connection.
void Session(int port, const std::string& bytes) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    Require(fd >= 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // Each session comes from the next of 250 loopback addresses: the side that closes first (this
    // one) keeps its port for a minute, and a fast run makes more sessions a minute than one
    // address has ports.
    static unsigned next = 0;
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(INADDR_LOOPBACK + 1 + next++ % 250);
    Require(::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0);
    // The fuzzer's timer signal can interrupt the connect: the connection then goes on being made,
    // and is waited for.
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        int err = errno;
        if (err == EINTR) {
            pollfd w{fd, POLLOUT, 0};
            while (::poll(&w, 1, 10000) < 0 && errno == EINTR) {
            }
            socklen_t len = sizeof err;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
        }
        if (err != 0) {
            std::fprintf(stderr, "fuzz_sim_server: connect: %s\n", std::strerror(err));
            Require(false);
        }
    }
    std::size_t sent = 0;
    bool shut = false;
    char buffer[65536];
    for (int rounds = 0; rounds < 100000; ++rounds) {
        if (sent == bytes.size() && !shut) {
            ::shutdown(fd, SHUT_WR);
            shut = true;
        }
        pollfd p{fd, static_cast<short>(POLLIN | (shut ? 0 : POLLOUT)), 0};
        const int ready = ::poll(&p, 1, 10000);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;  // the server hangs: the fuzzer's timeout shows it
        if (p.revents & POLLIN || p.revents & POLLHUP) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
        }
        if (!shut && (p.revents & POLLOUT)) {
            const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) break;
            sent += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<LineSplitter::Line> whole = Split(bytes, {});
    std::vector<std::size_t> pieces;
    for (std::size_t i = 0; i < std::min<std::size_t>(size, 16); ++i) pieces.push_back(1 + data[i] % 7);
    Require(SameLines(whole, Split(bytes, pieces)));
    Require(SameLines(whole, Split(Encode(whole), {})));
    int reads = 0;
    for (const auto& l : whole) {
        if (!l.command) continue;
        Require(l.bytes.size() >= 2 && l.bytes[0] == '+' && l.bytes[1] == '+');
        const std::string name = CommandName(l.bytes);
        if (name.rfind("read_tmo", 0) == 0 || name == "rst") return 0;
        if (name == "read" && ++reads > 64) return 0;
    }

    static Server server;
    server.instrument.Renew();
    Session(server.server.Port(), "++read_tmo_ms 1\n" + bytes);
    return 0;
}
