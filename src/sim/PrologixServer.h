#pragma once
// A Prologix GPIB-ETHERNET adapter in software: it listens on TCP, speaks the adapter's "++"
// commands, and passes data to and from the instrument behind it, which is any GpibBus (kmr-sim
// puts the simulated strainmeter there). One client at a time; the next one is served after the
// first has disconnected.
//
// Commands: ++addr [N], ++auto [0|1], ++clr, ++eoi [0|1], ++eos [0-3], ++eot_enable [0|1],
// ++eot_char [N], ++ifc, ++loc, ++llo, ++mode [0|1], ++read [eoi|N], ++read_tmo_ms [N], ++rst,
// ++savecfg [0|1], ++spoll, ++srq, ++trg, ++ver. A command without its value answers the current
// value. Unknown commands are ignored, as the adapter does.
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
    void Serve();
    void ServeClient(TcpSocket& client);
    void HandleCommand(Session& s, TcpSocket& client, const std::string& line);
    void HandleData(Session& s, TcpSocket& client, const std::string& bytes);
    void ReadFromInstrument(Session& s, TcpSocket& client, bool untilEoi, int endChar);
    void Send(TcpSocket& client, const std::string& bytes);
    bool ReopenInstrument(int readTimeoutMs);
    void Log(const std::string& line);

    GpibBus& instrument_;
    PrologixServerOptions options_;
    TcpListener listener_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> clientsServed_{0};
    std::mutex logMutex_;
    int descriptor_ = -1;
    int openTimeoutCode_ = -1;
};

// Text of bytes for a log line: printable characters as they are, CR, LF, ESC and others as
// \r, \n, \x1b; long data shortened with the total count.
std::string LogText(const std::string& bytes);

}  // namespace kmr
