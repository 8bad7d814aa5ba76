#pragma once
// A small blocking TCP socket with deadlines, enough for the Prologix client and the kmr-sim
// server. POSIX sockets on Linux, Winsock behind _WIN32. Every wait is bounded: nothing here
// blocks longer than the time the caller gives.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kmr {

using SteadyTime = std::chrono::steady_clock::time_point;

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
    // `error` says why ("Connection refused", "timed out after 5000 ms", ...).
    static TcpSocket Connect(const std::string& host, int port, int timeoutMs, std::string& error);

    bool Valid() const { return fd_ >= 0; }
    // Sends every byte, waiting at most until `deadline`. Closed when the peer has gone.
    Io SendAll(const void* data, std::size_t count, SteadyTime deadline);
    // Receives at most `count` bytes (at least one on Ok), waiting at most until `deadline`.
    Io ReceiveSome(void* buffer, std::size_t count, std::size_t& received, SteadyTime deadline);
    void Close();
    // The peer's address as text, for logs.
    std::string PeerName() const;
    // The last system error of a Failed result.
    const std::string& LastError() const { return lastError_; }

private:
    friend class TcpListener;
    explicit TcpSocket(std::intptr_t fd) : fd_(fd) {}
    std::intptr_t fd_ = -1;
    std::string lastError_;
};

class TcpListener {
public:
    TcpListener() = default;
    ~TcpListener();
    TcpListener(TcpListener&& other) noexcept;
    TcpListener& operator=(TcpListener&& other) noexcept;
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Binds host:port (port 0 chooses a free port) and listens.
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
