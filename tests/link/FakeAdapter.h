#pragma once
// Adapters that misbehave, for the fault tests of the Prologix route: a TCP server on an
// ephemeral loopback port that runs a script on the first client, then stops listening (a client
// that connects again is refused at once, as by an adapter that has gone).
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "net/TcpSocket.h"

namespace kmr::test {

class FakeAdapter {
public:
    explicit FakeAdapter(std::function<void(TcpSocket&)> script) : script_(std::move(script)) {
        std::string error;
        listener_ = TcpListener::Listen("127.0.0.1", 0, error);
        EXPECT_TRUE(listener_.Valid()) << error;
        port_ = listener_.Port();
        thread_ = std::thread([this] {
            for (int i = 0; i < 100 && !done_; ++i) {
                TcpSocket c = listener_.Accept(100);
                if (!c.Valid()) continue;
                script_(c);
                listener_.Close();
                return;
            }
        });
    }
    ~FakeAdapter() {
        done_ = true;
        thread_.join();
    }
    int Port() const { return port_; }

    // Reads what the client sends until `text` has come (or one second has passed).
    static void Await(TcpSocket& c, const std::string& text, std::string& seen) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        char b[1024];
        while (seen.find(text) == std::string::npos) {
            std::size_t n = 0;
            if (c.ReceiveSome(b, sizeof b, n, until) != TcpSocket::Io::Ok) break;
            seen.append(b, n);
        }
    }
    static void Send(TcpSocket& c, const std::string& bytes) {
        c.SendAll(bytes.data(), bytes.size(),
                  std::chrono::steady_clock::now() + std::chrono::seconds(1));
    }

private:
    TcpListener listener_;
    int port_ = 0;
    std::function<void(TcpSocket&)> script_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

}  // namespace kmr::test
