#pragma once
// A Prologix GPIB-ETHERNET adapter in software: it listens on TCP, speaks the adapter's "++"
// commands, and passes data to and from the instrument behind it, which is any GpibBus (kmr-sim
// puts the simulated strainmeter there). One client at a time; the next one is served after the
// first has disconnected or has been dropped: a client that sends nothing for the idle time,
// or that sends faster than the instrument answers, is dropped, and what it had queued goes with
// it. A line longer than the adapter's buffer is dropped with a log line.
//
// Commands: ++addr [N], ++auto [0|1], ++clr, ++eoi [0|1], ++eos [0-3], ++eot_enable [0|1],
// ++eot_char [N], ++ifc, ++loc, ++llo, ++mode [0|1], ++read [eoi|N], ++read_tmo_ms [N], ++rst,
// ++savecfg [0|1], ++spoll [N], ++srq, ++trg, ++ver. A command without its value answers the
// current value. Unknown commands are ignored, as the adapter does. As on the bus, a serial poll
// is answered only when a device is at the address (and answered the last ++clr); otherwise the
// adapter waits out its read timeout and sends nothing.
#include <chrono>
#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <string>
#include <thread>

#include "core/instrument/GpibBus.h"
#include "net/TcpSocket.h"

namespace kmr {

struct PrologixServerOptions {
    std::string host = "127.0.0.1";  // loopback unless told otherwise
    int port = 1234;                 // 0 = any free port (see Port())
    int address = 20;                // GP-IB address of the instrument behind the adapter
    bool verbose = false;            // log each command and reply
    std::ostream* log = nullptr;     // where the log goes; std::cerr when null
    // A client that sends nothing for this long is dropped (counted from the last byte received).
    std::chrono::milliseconds idle = std::chrono::seconds(60);
};

class PrologixServer {
public:
    // The answer to "++ver".
    static constexpr const char* kVersion = "Prologix GPIB-ETHERNET compatible, kmr-sim 1.0";

    PrologixServer(GpibBus& instrument, PrologixServerOptions options);
    ~PrologixServer();
    PrologixServer(const PrologixServer&) = delete;
    PrologixServer& operator=(const PrologixServer&) = delete;

    // Opens the instrument, binds and starts serving on a thread of its own. False with `error`
    // when the address cannot be bound or the instrument cannot be opened.
    bool Start(std::string& error);
    // The port it listens on (the chosen one when started with port 0).
    int Port() const { return listener_.Port(); }
    // Stops serving, disconnects the client, and returns when the thread has ended.
    void Stop();
    // Clients served so far (connected at least once).
    int ClientsServed() const { return clientsServed_.load(); }

private:
    struct Session;
    struct Setting;
    using Handler = void (PrologixServer::*)(Session&, TcpSocket&, const std::string& arg);
    struct CommandEntry;

    void Serve();
    void ServeClient(TcpSocket& client);
    // Takes what the client has sent up to `deadline` into its session; false when it has gone
    // (or has been dropped).
    bool Receive(Session& s, TcpSocket& client, SteadyTime deadline);
    // Waits until `until` while noticing a client that goes away.
    void WaitWatchingClient(Session& s, TcpSocket& client, SteadyTime until);
    void HandleCommand(Session& s, TcpSocket& client, const std::string& line);
    void HandleData(Session& s, TcpSocket& client, const std::string& bytes);
    void ReadFromInstrument(Session& s, TcpSocket& client, int endChar);
    int InstrumentDescriptor(Session& s);
    void Reply(Session& s, TcpSocket& client, const std::string& text);
    void ChangeSetting(Session& s, TcpSocket& client, const Setting& setting,
                       const std::string& arg);
    // The adapter's commands.
    void Address(Session& s, TcpSocket& client, const std::string& arg);
    void Clear(Session& s, TcpSocket& client, const std::string& arg);
    void InterfaceClear(Session& s, TcpSocket& client, const std::string& arg);
    void Nothing(Session& s, TcpSocket& client, const std::string& arg);
    void Mode(Session& s, TcpSocket& client, const std::string& arg);
    void Read(Session& s, TcpSocket& client, const std::string& arg);
    void Reset(Session& s, TcpSocket& client, const std::string& arg);
    void SerialPoll(Session& s, TcpSocket& client, const std::string& arg);
    void ServiceRequest(Session& s, TcpSocket& client, const std::string& arg);
    void Version(Session& s, TcpSocket& client, const std::string& arg);

    void Send(TcpSocket& client, const std::string& bytes);
    void Log(const std::string& line);
    // A line that is logged also without --verbose (a client dropped, a line dropped).
    void Notice(const std::string& line);

    GpibBus& instrument_;
    PrologixServerOptions options_;
    TcpListener listener_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> clientsServed_{0};
    std::mutex logMutex_;
};

// Text of bytes for a log line: printable characters as they are, CR, LF, ESC and others as
// \r, \n, \x1b; long data shortened with the total count.
std::string LogText(const std::string& bytes);

}  // namespace kmr
