#pragma once
// Adapters that misbehave, for the fault tests of the Prologix route: a TCP server on an
// ephemeral loopback port that runs a script on the first client.
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "net/PrologixProtocol.h"
#include "net/TcpSocket.h"

namespace kmr::test {

class FakeAdapter {
public:
    explicit FakeAdapter(std::function<void(TcpSocket&)> script) : script_(std::move(script)) {
        std::string error;
        listener_ = TcpListener::Listen("127.0.0.1", 0, error);
        EXPECT_TRUE(listener_.Valid()) << error;
        thread_ = std::thread([this] {
            for (int i = 0; i < 100 && !done_; ++i) {
                TcpSocket c = listener_.Accept(100);
                if (!c.Valid()) continue;
                script_(c);
                return;
            }
        });
    }
    ~FakeAdapter() {
        done_ = true;
        thread_.join();
    }
    int Port() const { return listener_.Port(); }

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

    // An adapter that speaks the protocol: `answer` gives the bytes the instrument talks after
    // a data line (without the EOI marker); an answer "<close>" followed by bytes sends those
    // bytes and drops the connection.
    static std::function<void(TcpSocket&)> Protocol(
        std::function<std::string(const std::string&)> answer) {
        return [answer](TcpSocket& c) {
            prologix::LineSplitter splitter;
            std::string last;
            char b[4096];
            for (;;) {
                std::size_t n = 0;
                auto io = c.ReceiveSome(b, sizeof b, n,
                                        std::chrono::steady_clock::now() + std::chrono::seconds(5));
                if (io != TcpSocket::Io::Ok) return;
                splitter.Feed(b, n);
                prologix::LineSplitter::Line line;
                while (splitter.Next(line)) {
                    if (!line.command) {
                        last = line.bytes;
                    } else if (line.bytes == "++ver") {
                        Send(c, "FAKE ADAPTER 1\r\n");
                    } else if (line.bytes == "++spoll") {
                        Send(c, "0\r\n");  // the instrument is there
                    } else if (line.bytes.rfind("++read ", 0) == 0) {
                        std::string reply = answer(last);
                        if (reply.rfind("<close>", 0) == 0) {
                            Send(c, reply.substr(7));
                            c.Close();
                            return;
                        }
                        Send(c, reply + static_cast<char>(prologix::kEotChar));
                    }
                }
            }
        };
    }

private:
    TcpListener listener_;
    std::function<void(TcpSocket&)> script_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

}  // namespace kmr::test
