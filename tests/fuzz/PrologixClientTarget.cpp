// The Prologix client's reading of what an adapter sends: a fake adapter on loopback answers
// the client's "++ver" with the input's version line and every "++read" with the input's next
// reply, with or without the EOI mark, sometimes sending the end mark late (the client's read
// times out and must drop the late answer; once an input at most, as it costs 0.3 s) or
// dropping the connection. The client opens the device, then writes a command and reads its
// reply with counts from the input.
//
// Input: byte 0: bit 0 a version line of its own (a record follows), bits 1-2 the read count
// (2, 250, 2000, 7); then records of [flags][length][bytes]: flags bit 0 the EOI mark after the
// bytes, bits 1 and 4-7 all set the end mark late, bit 2 the connection dropped after the
// bytes, bit 3 a two-byte length.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "FuzzSupport.h"
#include "link/PrologixBus.h"
#include "net/PrologixProtocol.h"
#include "net/TcpSocket.h"

using namespace kmr;
using fuzz::Require;

namespace {

struct Reply {
    std::string bytes;
    bool eoi = false;
    bool lateMark = false;
    bool drop = false;
};

struct AdapterScript {
    std::string version = "FUZZ ADAPTER 1.0\r\n";
    std::deque<Reply> replies;
};

void Send(TcpSocket& c, const std::string& bytes) {
    if (!bytes.empty())
        c.SendAll(bytes.data(), bytes.size(), std::chrono::steady_clock::now() + std::chrono::seconds(1));
}

// Serves one client: answers "++ver" and "++read" as the script says; ends when the client has
// gone or the script drops the connection.
void RunAdapter(TcpListener& listener, AdapterScript script, std::atomic<int>& served) {
    TcpSocket c = listener.Accept(2000);
    if (!c.Valid()) return;
    prologix::LineSplitter splitter;
    bool lateMark = false;
    char buffer[4096];
    for (;;) {
        std::size_t n = 0;
        if (c.ReceiveSome(buffer, sizeof buffer, n, std::chrono::steady_clock::now() + std::chrono::seconds(2)) !=
            TcpSocket::Io::Ok)
            return;
        splitter.Feed(buffer, n);
        prologix::LineSplitter::Line line;
        while (splitter.Next(line)) {
            if (!line.command) continue;
            if (line.bytes == "++ver") {
                // Later than the client waits for it (its timeout and the grace for the mark).
                if (lateMark) std::this_thread::sleep_for(std::chrono::milliseconds(300));
                lateMark = false;
                Send(c, script.version);
            } else if (line.bytes.rfind("++read", 0) == 0 && line.bytes.rfind("++read_tmo", 0) != 0) {
                if (script.replies.empty()) continue;  // nothing to say: the adapter timed out
                Reply r = std::move(script.replies.front());
                script.replies.pop_front();
                ++served;
                Send(c, r.bytes + (r.eoi ? std::string(1, static_cast<char>(prologix::kEotChar)) : ""));
                if (r.drop) return;
                lateMark = r.lateMark;
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::string listenError;
    static TcpListener listener = TcpListener::Listen("127.0.0.1", 0, listenError);
    Require(listener.Valid());
    fuzz::InputReader in(data, size);
    const std::uint8_t head = in.Byte();
    AdapterScript script;
    if (head & 1) script.version = in.Record();
    constexpr std::size_t kCounts[] = {2, 250, 2000, 7};
    const std::size_t count = kCounts[(head >> 1) & 3];
    bool late = false;  // a late end mark was scripted already
    while (!in.empty() && script.replies.size() < 24) {
        const std::uint8_t flags = in.Byte();
        const bool lateMark = !late && (flags & 0xF2) == 0xF2;
        late = late || lateMark;
        script.replies.push_back(
            {in.Text((flags & 8) ? in.Word() % 8192 : in.Byte()), (flags & 1) != 0, lateMark, (flags & 4) != 0});
    }
    const std::size_t replies = script.replies.size();

    std::atomic<int> served{0};
    std::thread adapter(RunAdapter, std::ref(listener), std::move(script), std::ref(served));
    {
        PrologixBus bus("127.0.0.1", listener.Port());
        int descriptor = -1;
        // 10 ms: a held-back end mark, and the last read of every input, cost the client its
        // timeout (and the grace for the mark).
        const GpibStatus open = bus.OpenDevice(0, 20, 0, 7, 1, 0, descriptor);
        if (!open.error()) {
            Require(descriptor >= 0);
            std::vector<char> buffer(count + 16, '\x55');
            // Until every reply has been asked for, and once more (a read that times out).
            for (std::size_t i = 0; i < replies + 1; ++i) {
                const bool last = served.load() >= static_cast<int>(replies);
                bus.Write(descriptor, "VER\r\n", 5);
                const GpibStatus s = bus.Read(descriptor, buffer.data(), count);
                Require(s.ibcnt >= 0 && static_cast<std::size_t>(s.ibcnt) <= count);
                // Nothing beyond the count is written.
                for (std::size_t k = count; k < buffer.size(); ++k) Require(buffer[k] == '\x55');
                if (last) break;
            }
            bus.DeviceClear(0, 20);
            bus.BoardOffline(0);
        }
    }
    adapter.join();
    return 0;
}
