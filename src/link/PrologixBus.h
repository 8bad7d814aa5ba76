#pragma once
// GpibBus over a Prologix GPIB-ETHERNET adapter (or kmr-sim, which speaks the same protocol).
//
// Open connects to HOST:PORT and sets the adapter up: controller mode, no read-after-write, EOI
// with the last byte, no added terminator, the EOI marker byte after the last byte of a reply,
// the instrument's address. Its answer to "++ver" is kept: it is the end mark of every read.
//
// How a read knows that the reply has ended: over TCP the adapter forwards the instrument's
// bytes without framing and sends nothing when it gives up waiting. The bus therefore sends
// "++read eoi" followed at once by "++ver". The adapter answers the second command only after
// the first has finished, so everything before the version line is the reply, whatever bytes it
// holds (text lines and binary blocks alike), and the EOI marker byte ("++eot_char") at its end
// tells a reply that ended with EOI from one the adapter cut off at its own read timeout. The
// adapter accepts read timeouts of at most 3 s; for the longer timeouts of the program (10, 30,
// 100 s) the bus asks again until its own deadline has passed, and an instrument that answers
// late simply continues where it stopped. At most the count asked for is kept (250 bytes for a
// reply line, 2 x count for a data block): a reply longer than that is read to its end mark and
// dropped, and the read fails, so an adapter that streams without end costs no memory.
//
// Device clear also polls the device (++spoll): a device that is there answers the poll, so an
// address without an instrument is found when the connection opens.
//
// Failures: a refused or unreachable adapter is an open failure (descriptor -1, ERR, ENEB); no
// answer to the serial poll is a device clear failure (ERR, ENOL); a timeout is ERR TIMO CMPL with
// EABO; a reply longer than the count is ERR CMPL with EABO; a connection that drops in the middle
// of a call is ERR with ENOL (write) or EABO (read), at once. Every wait is bounded by the timeout
// of the open.
//
// Reconnection: after the connection was lost (the adapter power-cycled, a cable pulled), the
// next write connects again once and sends the adapter's settings again (controller mode, EOI,
// the marker byte, the address, its read timeout), so the program goes on without a restart when
// the adapter is back; when it is not, that write fails at once with the reason. A connection
// the adapter closed while nothing was asked of it (restarted, or kmr-sim dropping an idle
// client) is found before the write, so that the command goes to the adapter that is there and
// not into a connection that is gone.
// One caller at a time, as for a GP-IB library.
#include <string>

#include "core/instrument/GpibBus.h"
#include "net/TcpSocket.h"

namespace kmr {

class PrologixBus : public GpibBus {
public:
    PrologixBus(std::string host, int port);

    GpibStatus OpenDevice(int board, int address, int secondary, int timeoutCode, int eot, int eos,
                          int& descriptor) override;
    GpibStatus InterfaceClear(int board) override;
    GpibStatus DeviceClear(int board, int address) override;
    GpibStatus BoardOffline(int board) override;
    GpibStatus Write(int descriptor, const void* data, std::size_t count) override;
    GpibStatus Read(int descriptor, void* buffer, std::size_t count) override;
    std::string LastProblem() const override { return problem_; }
    std::string Describe() const override;
    unsigned Reopenings() const override { return reopenings_; }
    bool SharedRoute() const override { return true; }

    // Memory held for bytes received and not yet handed out: never more than kMaxHeldBytes,
    // whatever the adapter sends.
    std::size_t HeldBytes() const { return inbox_.capacity(); }
    static constexpr std::size_t kMaxHeldBytes = 64 * 1024;

private:
    enum class Wait { Done, Timeout, Lost };

    GpibStatus Fail(std::int32_t ibsta, std::int32_t iberr, std::string problem);
    GpibStatus Lost(std::int32_t iberr);
    bool Connected() const { return socket_.Valid(); }
    Wait Send(const std::string& bytes, SteadyTime deadline);
    // Reads until the version line has arrived; `chunk` receives the bytes before it, at most
    // `keep` of them, and `more` tells that there were more (they are dropped).
    Wait ReadToMark(std::string& chunk, std::size_t keep, bool& more, SteadyTime deadline);
    Wait ReadLine(std::string& line, SteadyTime deadline);
    // Consumes the answers of reads that an earlier timeout left behind.
    Wait Resync(SteadyTime deadline);
    // True when the adapter has closed the connection while nothing was outstanding; bytes it
    // sent meanwhile, unasked, are dropped. Does not wait.
    bool ClosedWhileIdle();
    bool SelectAddress(int address, std::string& out);
    // Adds "++read_tmo_ms" to `out` when the adapter has another read timeout.
    void SetAdapterReadTimeout(int ms, std::string& out);
    SteadyTime DeadlineFromNow() const;
    void Disconnect();
    // Connects (when not connected) and sends the adapter's settings for `address`, ending with
    // "++ver", whose answer becomes the end mark. Wait::Done on success; otherwise `problem_`
    // says why and the connection is closed.
    Wait Setup(int address, SteadyTime deadline, bool& fresh);
    // The next write after a lost connection: Setup again, once.
    bool Reconnect(SteadyTime deadline);
    std::string Where() const;  // HOST:PORT

    std::string host_;
    int port_;
    TcpSocket socket_;
    std::string inbox_;       // received from the adapter, not yet consumed
    std::string versionLine_; // "++ver" answer with its line end: the end mark of every read
    int timeoutMs_ = 10000;
    int adapterReadTmoMs_ = 0;  // the value last sent with ++read_tmo_ms
    int adapterAddress_ = -1;   // the address last sent with ++addr
    int deviceAddress_ = -1;    // the address of the open device
    int outstanding_ = 0;       // end marks still owed by the adapter
    int eot_ = 1;               // EOI with the last byte (the open's eot)
    unsigned reopenings_ = 0;   // connections made again by a write after a loss
    std::string problem_;
};

}  // namespace kmr
