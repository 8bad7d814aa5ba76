#include "net/TcpSocket.h"

#include <cerrno>
#include <utility>

#include "core/datafiles/FileIo.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using SocketHandle = SOCKET;
using PollFd = WSAPOLLFD;
static int PollSockets(PollFd* fds, unsigned long n, int ms) { return WSAPoll(fds, n, ms); }
static int LastSocketError() { return WSAGetLastError(); }
static void CloseSocket(SocketHandle s) { closesocket(s); }
static bool WouldBlock(int e) { return e == WSAEWOULDBLOCK || e == WSAEINPROGRESS; }
static bool Interrupted(int) { return false; }
// The C library's number of a usual Winsock failure; 0 for any other.
static int PosixErrorOf(int wsa) {
    switch (wsa) {
        case WSAECONNREFUSED: return ECONNREFUSED;
        case WSAETIMEDOUT: return ETIMEDOUT;
        case WSAEHOSTUNREACH: return EHOSTUNREACH;
        case WSAENETUNREACH: return ENETUNREACH;
        case WSAENETDOWN: return ENETDOWN;
        case WSAECONNRESET: return ECONNRESET;
        case WSAECONNABORTED: return ECONNABORTED;
        case WSAEADDRINUSE: return EADDRINUSE;
        case WSAEADDRNOTAVAIL: return EADDRNOTAVAIL;
        default: return 0;
    }
}
static bool SetNonBlocking(SocketHandle s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}
namespace {
struct WinsockInit {
    WinsockInit() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockInit() { WSACleanup(); }
} winsockInit;
}  // namespace
static constexpr int kSendFlags = 0;
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
using SocketHandle = int;
using PollFd = pollfd;
static int PollSockets(PollFd* fds, nfds_t n, int ms) { return ::poll(fds, n, ms); }
static int LastSocketError() { return errno; }
static void CloseSocket(SocketHandle s) { ::close(s); }
static bool WouldBlock(int e) { return e == EAGAIN || e == EWOULDBLOCK || e == EINPROGRESS; }
static bool Interrupted(int e) { return e == EINTR; }
static bool SetNonBlocking(SocketHandle s) {
    int flags = fcntl(s, F_GETFL, 0);
    return flags >= 0 && fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}
// A peer that has gone must not kill the program with SIGPIPE.
#ifdef MSG_NOSIGNAL
static constexpr int kSendFlags = MSG_NOSIGNAL;
#else
static constexpr int kSendFlags = 0;
#endif
#endif

namespace kmr {

namespace {

SocketHandle Handle(std::intptr_t fd) { return static_cast<SocketHandle>(fd); }

NetError SystemError(int code) { return NetError{NetError::Kind::System, code, 0, {}}; }
NetError OfKind(NetError::Kind kind) { return NetError{kind, 0, 0, {}}; }

// A socket for one of the addresses a name resolves to; false when the system gives none.
bool NewSocket(const addrinfo* a, SocketHandle& s) {
    s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
#ifdef _WIN32
    return s != INVALID_SOCKET;
#else
    return s >= 0;
#endif
}

// Waits for `events` on one socket until the deadline. 1 ready, 0 timeout, -1 error.
int WaitFor(std::intptr_t fd, short events, SteadyTime deadline, short* revents = nullptr) {
    for (;;) {
        PollFd p{};
        p.fd = Handle(fd);
        p.events = events;
        int r = PollSockets(&p, 1, MillisecondsUntil(deadline));
        if (r < 0 && Interrupted(LastSocketError())) continue;
        if (r > 0 && revents) *revents = p.revents;
        return r > 0 ? 1 : r;
    }
}

}  // namespace

std::string NetErrorText(const NetError& error, Language lang) {
    switch (error.kind) {
        case NetError::Kind::None: return {};
        case NetError::Kind::NoAnswer:
            return TextWith(lang, txt::NetNoAnswerWithin, {std::to_string(error.timeoutMs)});
        case NetError::Kind::UnknownHost: return TextWith(lang, txt::NetUnknownHost, {error.host});
        case NetError::Kind::NoUsableAddress: return Text(lang, txt::NetNoUsableAddress);
        case NetError::Kind::CannotConfigure: return Text(lang, txt::NetCannotConfigure);
        case NetError::Kind::System: break;
    }
#ifdef _WIN32
    // Winsock's numbers: the usual ones said as the C library's are, any other as the number.
    if (const int posix = PosixErrorOf(error.code)) return ErrorDescription(posix, lang);
    return TextWith(lang, txt::NetSocketError, {std::to_string(error.code)});
#else
    return ErrorDescription(error.code, lang);
#endif
}

int MillisecondsUntil(SteadyTime deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return 0;
    if (left.count() > 24 * 3600 * 1000) return 24 * 3600 * 1000;
    return static_cast<int>(left.count());
}

TcpSocket::~TcpSocket() { Close(); }

TcpSocket::TcpSocket(TcpSocket&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), lastError_(std::move(other.lastError_)) {}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        lastError_ = std::move(other.lastError_);
    }
    return *this;
}

void TcpSocket::Close() {
    if (fd_ >= 0) CloseSocket(Handle(fd_));
    fd_ = -1;
}

TcpSocket TcpSocket::Connect(const std::string& host, int port, int timeoutMs,
                             std::string& error) {
    NetError why;
    TcpSocket s = Connect(host, port, timeoutMs, why);
    error = NetErrorText(why);
    return s;
}

TcpSocket TcpSocket::Connect(const std::string& host, int port, int timeoutMs, NetError& error) {
    const SteadyTime deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0 || !found) {
        error = NetError{NetError::Kind::UnknownHost, 0, 0, host};
        return {};
    }
    error = {};
    for (addrinfo* a = found; a; a = a->ai_next) {
        SocketHandle s;
        if (!NewSocket(a, s)) continue;
        TcpSocket candidate(static_cast<std::intptr_t>(s));
        if (!SetNonBlocking(s)) {
            error = OfKind(NetError::Kind::CannotConfigure);
            continue;
        }
        int r = ::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen));
        if (r != 0) {
            int e = LastSocketError();
            if (!WouldBlock(e)) {
                error = SystemError(e);
                continue;
            }
            short revents = 0;
            int w = WaitFor(candidate.fd_, POLLOUT, deadline, &revents);
            if (w == 0) {
                error = NetError{NetError::Kind::NoAnswer, 0, timeoutMs, {}};
                continue;
            }
            int soError = 0;
            socklen_t len = sizeof soError;
            getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &len);
            if (w < 0 || soError != 0) {
                error = SystemError(soError != 0 ? soError : LastSocketError());
                continue;
            }
        }
        int one = 1;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
        freeaddrinfo(found);
        error = {};
        return candidate;
    }
    freeaddrinfo(found);
    if (error.kind == NetError::Kind::None) error = OfKind(NetError::Kind::NoUsableAddress);
    return {};
}

TcpSocket::Io TcpSocket::SendAll(const void* data, std::size_t count, SteadyTime deadline) {
    if (fd_ < 0) return Io::Closed;
    const char* p = static_cast<const char*>(data);
    while (count > 0) {
        auto n = ::send(Handle(fd_), p, static_cast<int>(count), kSendFlags);
        if (n > 0) {
            p += n;
            count -= static_cast<std::size_t>(n);
            continue;
        }
        int e = LastSocketError();
        if (n < 0 && Interrupted(e)) continue;
        if (n < 0 && WouldBlock(e)) {
            int w = WaitFor(fd_, POLLOUT, deadline);
            if (w == 0) return Io::Timeout;
            if (w < 0) {
                lastError_ = SystemError(LastSocketError());
                return Io::Failed;
            }
            continue;
        }
        lastError_ = SystemError(e);
        return Io::Closed;  // EPIPE, ECONNRESET ...: the peer has gone
    }
    return Io::Ok;
}

TcpSocket::Io TcpSocket::ReceiveSome(void* buffer, std::size_t count, std::size_t& received,
                                     SteadyTime deadline) {
    received = 0;
    if (fd_ < 0) return Io::Closed;
    for (;;) {
        auto n = ::recv(Handle(fd_), static_cast<char*>(buffer), static_cast<int>(count), 0);
        if (n > 0) {
            received = static_cast<std::size_t>(n);
            return Io::Ok;
        }
        if (n == 0) return Io::Closed;
        int e = LastSocketError();
        if (Interrupted(e)) continue;
        if (!WouldBlock(e)) {
            lastError_ = SystemError(e);
            return Io::Closed;  // ECONNRESET and friends
        }
        int w = WaitFor(fd_, POLLIN, deadline);
        if (w == 0) return Io::Timeout;
        if (w < 0) {
            lastError_ = SystemError(LastSocketError());
            return Io::Failed;
        }
    }
}

std::string TcpSocket::PeerName() const {
    if (fd_ < 0) return {};
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (getpeername(Handle(fd_), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return {};
    char host[NI_MAXHOST] = {};
    char serv[NI_MAXSERV] = {};
    if (getnameinfo(reinterpret_cast<sockaddr*>(&addr), len, host, sizeof host, serv,
                    sizeof serv, NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return {};
    return std::string(host) + ":" + serv;
}

TcpListener::~TcpListener() { Close(); }

TcpListener::TcpListener(TcpListener&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), port_(other.port_) {}

TcpListener& TcpListener::operator=(TcpListener&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        port_ = other.port_;
    }
    return *this;
}

void TcpListener::Close() {
    if (fd_ >= 0) CloseSocket(Handle(fd_));
    fd_ = -1;
}

TcpListener TcpListener::Listen(const std::string& host, int port, std::string& error) {
    NetError why;
    TcpListener l = Listen(host, port, why);
    error = NetErrorText(why);
    return l;
}

TcpListener TcpListener::Listen(const std::string& host, int port, NetError& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found) != 0 ||
        !found) {
        error = NetError{NetError::Kind::UnknownHost, 0, 0, host};
        return {};
    }
    error = OfKind(NetError::Kind::NoUsableAddress);
    for (addrinfo* a = found; a; a = a->ai_next) {
        SocketHandle s;
        if (!NewSocket(a, s)) continue;
        TcpListener l;
        l.fd_ = static_cast<std::intptr_t>(s);
        int one = 1;
#ifndef _WIN32
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
#endif
        if (::bind(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0 ||
            ::listen(s, 4) != 0 || !SetNonBlocking(s)) {
            error = SystemError(LastSocketError());
            continue;
        }
        sockaddr_storage bound{};
        socklen_t len = sizeof bound;
        getsockname(s, reinterpret_cast<sockaddr*>(&bound), &len);
        if (bound.ss_family == AF_INET)
            l.port_ = ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
        else
            l.port_ = ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port);
        (void)one;
        freeaddrinfo(found);
        error = {};
        return l;
    }
    freeaddrinfo(found);
    return {};
}

TcpSocket TcpListener::Accept(int timeoutMs) {
    if (fd_ < 0) return {};
    const SteadyTime deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (WaitFor(fd_, POLLIN, deadline) <= 0) return {};
    SocketHandle s = ::accept(Handle(fd_), nullptr, nullptr);
#ifdef _WIN32
    if (s == INVALID_SOCKET) return {};
#else
    if (s < 0) return {};
#endif
    TcpSocket client(static_cast<std::intptr_t>(s));
    SetNonBlocking(s);
    int one = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    return client;
}

}  // namespace kmr
