#pragma once
// A small blocking TCP socket with deadlines, enough for the Prologix client and the kmr-sim
// server. POSIX sockets on Linux, Winsock behind _WIN32. Every wait is bounded: nothing here
// blocks longer than the time the caller gives.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/support/TextTable.h"

namespace kmr {

using SteadyTime = std::chrono::steady_clock::time_point;

// Why a connection, a listen or a transfer failed, kept as a code so that it is said in the
// language of whoever reads it (NetErrorText).
struct NetError {
    enum class Kind { None, System, NoAnswer, UnknownHost, NoUsableAddress, CannotConfigure };
    Kind kind = Kind::None;
    int code = 0;       // System: the system's error number (errno; a Winsock number on Windows)
    int timeoutMs = 0;  // NoAnswer: the time waited
    std::string host{};  // UnknownHost: the name that did not resolve
};

// The reason as a short phrase without a full stop ("Connection refused", "no answer within
// 5000 ms", ...): in Japanese where the text table or the error table has it, otherwise the
// system's own English wording. Empty for Kind::None.
std::string NetErrorText(const NetError& error, Language lang = Language::English);

class TcpSocket {
public:
    enum class Io { Ok, Timeout, Closed, Failed };

    TcpSocket() = default;
    ~TcpSocket();
    TcpSocket(TcpSocket&& other) noexcept;
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Connects to host:port, giving up after timeoutMs. On failure the socket stays invalid and
    // `error` says why.
    static TcpSocket Connect(const std::string& host, int port, int timeoutMs, NetError& error);
    // The same with the reason in English, for the tools and tests that speak English only.
    static TcpSocket Connect(const std::string& host, int port, int timeoutMs, std::string& error);

    bool Valid() const { return fd_ >= 0; }
    // Sends every byte, waiting at most until `deadline`. Closed when the peer has gone.
    Io SendAll(const void* data, std::size_t count, SteadyTime deadline);
    // Receives at most `count` bytes (at least one on Ok), waiting at most until `deadline`.
    Io ReceiveSome(void* buffer, std::size_t count, std::size_t& received, SteadyTime deadline);
    void Close();
    // The peer's address as text, for logs.
    std::string PeerName() const;
    // The system error of the last Failed result, or of a Closed one that the system reported.
    const NetError& LastError() const { return lastError_; }

private:
    friend class TcpListener;
    explicit TcpSocket(std::intptr_t fd) : fd_(fd) {}
    std::intptr_t fd_ = -1;
    NetError lastError_;
};

class TcpListener {
public:
    TcpListener() = default;
    ~TcpListener();
    TcpListener(TcpListener&& other) noexcept;
    TcpListener& operator=(TcpListener&& other) noexcept;
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Binds host:port (port 0 chooses a free port) and listens; on failure `error` says why.
    static TcpListener Listen(const std::string& host, int port, NetError& error);
    // The same with the reason in English.
    static TcpListener Listen(const std::string& host, int port, std::string& error);
    bool Valid() const { return fd_ >= 0; }
    int Port() const { return port_; }
    // Waits up to timeoutMs for a client; an invalid socket when none came.
    TcpSocket Accept(int timeoutMs);
    void Close();

private:
    std::intptr_t fd_ = -1;
    int port_ = 0;
};

// Milliseconds from now until `deadline` (0 when it has passed).
int MillisecondsUntil(SteadyTime deadline);

}  // namespace kmr
