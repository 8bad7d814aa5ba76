#include "link/PrologixBus.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "net/PrologixProtocol.h"

namespace kmr {

namespace {

constexpr int kDescriptor = 1;
// Time allowed on top of the deadline for the adapter's end mark to cross the network after the
// adapter itself has stopped waiting.
constexpr auto kMarkGrace = std::chrono::milliseconds(250);
constexpr std::size_t kMaxVersionLine = 256;
// The adapter's wait for a serial poll answer at open; a device answers a poll at once.
constexpr int kSerialPollTimeoutMs = 500;

GpibStatus Status(std::int32_t ibsta, std::int32_t iberr = 0, std::int32_t ibcnt = 0) {
    return GpibStatus{ibsta, iberr, ibcnt};
}

bool Printable(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return u >= 0x20 && u < 0x7f;
    });
}

}  // namespace

PrologixBus::PrologixBus(std::string host, int port) : host_(std::move(host)), port_(port) {}

std::string PrologixBus::Where() const {
    bool v6 = host_.find(':') != std::string::npos;
    return (v6 ? "[" + host_ + "]" : host_) + ":" + std::to_string(port_);
}

std::string PrologixBus::Describe() const { return "prologix:" + Where(); }

GpibStatus PrologixBus::Fail(std::int32_t ibsta, std::int32_t iberr, std::string problem) {
    problem_ = std::move(problem);
    return Status(ibsta, iberr);
}

GpibStatus PrologixBus::Lost(std::int32_t iberr) {
    Disconnect();
    return Fail(kIbERR, iberr, TextWith(language_, txt::AdapterConnectionClosed, {Where()}));
}

void PrologixBus::Disconnect() {
    socket_.Close();
    inbox_.clear();
    outstanding_ = 0;
    adapterReadTmoMs_ = 0;
    adapterAddress_ = -1;
}

SteadyTime PrologixBus::DeadlineFromNow() const {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs_);
}

PrologixBus::Wait PrologixBus::Send(const std::string& bytes, SteadyTime deadline) {
    switch (socket_.SendAll(bytes.data(), bytes.size(), deadline)) {
        case TcpSocket::Io::Ok: return Wait::Done;
        case TcpSocket::Io::Timeout: return Wait::Timeout;
        default: return Wait::Lost;
    }
}

PrologixBus::Wait PrologixBus::ReadToMark(std::string& chunk, std::size_t keep, bool& more,
                                          SteadyTime deadline) {
    const std::string& mark = versionLine_;
    chunk.clear();
    more = false;
    // Moves the first `n` bytes of the inbox into the chunk, as far as there is room.
    auto take = [&](std::size_t n) {
        const std::size_t room = keep - std::min(keep, chunk.size());
        if (n > room) more = true;
        chunk.append(inbox_, 0, std::min(n, room));
        inbox_.erase(0, n);
    };
    char buffer[8192];
    for (;;) {
        // The mark is the adapter's last answer: it can only be at the end of what has come.
        const std::size_t at = inbox_.find(mark);
        if (at != std::string::npos) {
            take(at);
            inbox_.erase(0, mark.size());
            return Wait::Done;
        }
        // Everything but a possible beginning of the mark is reply: kept or dropped, never held.
        if (inbox_.size() >= mark.size()) take(inbox_.size() - mark.size() + 1);
        // The deadline holds on every receive, also while the peer keeps sending.
        if (std::chrono::steady_clock::now() >= deadline) return Wait::Timeout;
        std::size_t got = 0;
        switch (socket_.ReceiveSome(buffer, sizeof buffer, got, deadline)) {
            case TcpSocket::Io::Ok: inbox_.append(buffer, got); break;
            case TcpSocket::Io::Timeout: return Wait::Timeout;
            default:
                take(inbox_.size());  // what came before the connection dropped
                return Wait::Lost;
        }
    }
}

PrologixBus::Wait PrologixBus::ReadLine(std::string& line, SteadyTime deadline) {
    char buffer[256];
    for (;;) {
        std::size_t lf = inbox_.find('\n');
        if (lf != std::string::npos) {
            line.assign(inbox_, 0, lf + 1);
            inbox_.erase(0, lf + 1);
            return Wait::Done;
        }
        if (inbox_.size() > kMaxVersionLine) return Wait::Timeout;  // no line is coming
        if (std::chrono::steady_clock::now() >= deadline) return Wait::Timeout;
        std::size_t got = 0;
        switch (socket_.ReceiveSome(buffer, sizeof buffer, got, deadline)) {
            case TcpSocket::Io::Ok: inbox_.append(buffer, got); break;
            case TcpSocket::Io::Timeout: return Wait::Timeout;
            default: return Wait::Lost;
        }
    }
}

PrologixBus::Wait PrologixBus::Resync(SteadyTime deadline) {
    if (outstanding_ == 0) return Wait::Done;
    while (outstanding_ > 0) {
        std::string late;
        bool more = false;
        Wait w = ReadToMark(late, 0, more, deadline);
        if (w != Wait::Done) return w;
        --outstanding_;  // a reply that came after its read had given up: dropped
    }
    inbox_.clear();  // nothing is owed any more: what came after the last mark was not asked for
    return Wait::Done;
}

bool PrologixBus::ClosedWhileIdle() {
    if (!Connected() || outstanding_ > 0) return false;
    // With read-after-write off the adapter sends nothing unasked: bytes here now (a reply sent
    // twice, a stray version line, anything after the last end mark) answer no command of ours,
    // least of all the one about to be written. They are dropped, as far as they have come.
    inbox_.clear();
    char buffer[4096];
    for (int i = 0; i < 64; ++i) {
        std::size_t got = 0;
        switch (socket_.ReceiveSome(buffer, sizeof buffer, got, std::chrono::steady_clock::now())) {
            case TcpSocket::Io::Ok: continue;
            case TcpSocket::Io::Timeout: return false;
            default: return true;
        }
    }
    return false;
}

void PrologixBus::SetAdapterReadTimeout(int ms, std::string& out) {
    if (ms == adapterReadTmoMs_) return;
    out += "++read_tmo_ms " + std::to_string(ms) + "\n";
    adapterReadTmoMs_ = ms;
}

bool PrologixBus::SelectAddress(int address, std::string& out) {
    if (address == adapterAddress_) return false;
    out += "++addr " + std::to_string(address) + "\n";
    adapterAddress_ = address;
    return true;
}

PrologixBus::Wait PrologixBus::Setup(int address, SteadyTime deadline, bool& fresh) {
    fresh = !Connected();
    if (fresh) {
        NetError why;
        socket_ = TcpSocket::Connect(host_, port_, MillisecondsUntil(deadline), why);
        if (!socket_.Valid()) {
            problem_ = TextWith(language_, txt::AdapterCannotConnect, {Where(), NetErrorText(why, language_)});
            return Wait::Lost;
        }
    }
    inbox_.clear();
    outstanding_ = 0;
    // ++savecfg 0 first: the adapter would otherwise store every later setting in its EEPROM.
    std::string setup = "++savecfg 0\n++mode 1\n++auto 0\n++eos 3\n++eoi " + std::string(eot_ ? "1" : "0") +
                        "\n++eot_enable 1\n++eot_char " + std::to_string(prologix::kEotChar) + "\n";
    adapterAddress_ = -1;
    SelectAddress(address, setup);
    adapterReadTmoMs_ = 0;
    SetAdapterReadTimeout(std::min(timeoutMs_, prologix::kMaxReadTimeoutMs), setup);
    setup += "++ver\n";
    std::string line;
    Wait w = Send(setup, deadline);
    if (w == Wait::Done) w = ReadLine(line, deadline);
    if (w != Wait::Done) {
        Disconnect();
        problem_ = TextWith(language_, w == Wait::Lost ? txt::AdapterClosedInSetup : txt::AdapterNoVersion, {Where()});
        return w;
    }
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.empty() || !Printable(text)) {
        Disconnect();
        problem_ = TextWith(language_, txt::AdapterOddVersion, {Where()});
        return Wait::Timeout;
    }
    versionLine_ = line;
    return Wait::Done;
}

bool PrologixBus::Reconnect(SteadyTime deadline) {
    bool fresh = false;
    if (Setup(deviceAddress_, deadline, fresh) == Wait::Done) {
        ++reopenings_;
        return true;
    }
    problem_ = TextWith(language_, txt::AdapterReconnectFailed, {Where(), problem_});
    return false;
}

GpibStatus PrologixBus::OpenDevice(int /*board*/, int address, int /*secondary*/, int timeoutCode,
                                   int eot, int /*eos*/, int& descriptor) {
    descriptor = -1;
    problem_.clear();
    int ms = TimeoutCodeMilliseconds(timeoutCode);
    if (ms < 0)
        return Fail(kIbERR, kEARG, TextWith(language_, txt::TimeoutCodeUnknown, {std::to_string(timeoutCode)}));
    timeoutMs_ = ms == 0 ? TimeoutCodeMilliseconds(17) : ms;
    if (address < 0 || address > 30)
        return Fail(kIbERR, kEARG, TextWith(language_, txt::AdapterAddressOutOfRange, {std::to_string(address)}));
    const SteadyTime deadline = DeadlineFromNow();

    if (Connected() && Resync(deadline) != Wait::Done) Disconnect();
    eot_ = eot;
    // A connection kept from an earlier open may have died while idle; the "++ver" answer shows
    // it, and then the open connects afresh once.
    for (int attempt = 0;; ++attempt) {
        bool fresh = false;
        const Wait w = Setup(address, deadline, fresh);
        if (w == Wait::Lost && !fresh && attempt == 0) continue;
        if (w != Wait::Done) return Fail(kIbERR, kENEB, problem_);
        break;
    }
    deviceAddress_ = address;
    descriptor = kDescriptor;
    return Status(kIbCMPL);
}

GpibStatus PrologixBus::InterfaceClear(int /*board*/) {
    if (!Connected()) return Fail(kIbERR, kENEB, Text(language_, txt::AdapterNotConnected));
    const SteadyTime deadline = DeadlineFromNow();
    Wait w = Resync(deadline);
    if (w == Wait::Done) w = Send("++ifc\n", deadline);
    if (w == Wait::Lost) return Lost(kENOL);
    if (w == Wait::Timeout) return Fail(kIbERR | kIbTIMO, kEABO, Text(language_, txt::AdapterBusy));
    return Status(kIbCMPL);
}

GpibStatus PrologixBus::DeviceClear(int /*board*/, int address) {
    if (!Connected()) return Fail(kIbERR, kENEB, Text(language_, txt::AdapterNotConnected));
    if (ClosedWhileIdle()) return Lost(kENOL);
    const SteadyTime deadline = DeadlineFromNow();
    Wait w = Resync(deadline);
    // The adapter sends the clear whether or not a device listens. A serial poll is answered
    // only by a device that is there: without an answer the address has no instrument.
    std::string bytes;
    SelectAddress(address, bytes);
    bytes += "++clr\n";
    SetAdapterReadTimeout(kSerialPollTimeoutMs, bytes);
    bytes += "++spoll\n++ver\n";
    if (w == Wait::Done) w = Send(bytes, deadline);
    std::string statusByte;
    if (w == Wait::Done) {
        ++outstanding_;
        bool more = false;
        w = ReadToMark(statusByte, kMaxVersionLine, more, deadline + kMarkGrace);
        if (w == Wait::Done) --outstanding_;
    }
    if (w == Wait::Lost) return Lost(kENOL);
    if (w == Wait::Timeout) return Fail(kIbERR | kIbTIMO, kEABO, Text(language_, txt::AdapterBusy));
    if (statusByte.find_first_of("0123456789") == std::string::npos)
        return Fail(kIbERR, kENOL, TextWith(language_, txt::NoInstrumentAtAddress, {std::to_string(address), Where()}));
    return Status(kIbCMPL);
}

GpibStatus PrologixBus::BoardOffline(int /*board*/) {
    Disconnect();
    deviceAddress_ = -1;
    return Status(kIbCMPL);
}

GpibStatus PrologixBus::Write(int descriptor, const void* data, std::size_t count) {
    if (descriptor != kDescriptor || deviceAddress_ < 0)
        return Fail(kIbERR, kEDVR, Text(language_, txt::DeviceNotOpen));
    const SteadyTime deadline = DeadlineFromNow();
    // The first write after a lost connection connects again, once; so does a write into a
    // connection the adapter closed while idle (the command never reached it).
    if (ClosedWhileIdle()) Disconnect();
    if (!Connected() && !Reconnect(deadline)) return Status(kIbERR, kENOL);
    Wait w = Resync(deadline);
    if (w == Wait::Lost) return Lost(kENOL);
    if (w == Wait::Timeout) {
        // The adapter still owes the end of an earlier read after a whole timeout: it hangs, or it
        // went away without closing the connection (switched off, restarted). Nothing is sent on
        // this connection any more, so nothing would ever show it dead: it is given up, and the
        // next write connects to whatever is there instead of waiting on it again.
        Disconnect();
        return Fail(kIbERR | kIbTIMO | kIbCMPL, kEABO, Text(language_, txt::AdapterStillSending));
    }
    std::string bytes;
    SelectAddress(deviceAddress_, bytes);
    bytes += prologix::EscapeData(data, count);
    w = Send(bytes, deadline);
    if (w == Wait::Lost) return Lost(kENOL);
    if (w == Wait::Timeout)
        return Fail(kIbERR | kIbTIMO | kIbCMPL, kEABO, Text(language_, txt::AdapterTakesNoData));
    return Status(kIbCMPL, 0, static_cast<std::int32_t>(count));
}

GpibStatus PrologixBus::Read(int descriptor, void* buffer, std::size_t count) {
    if (descriptor != kDescriptor || deviceAddress_ < 0)
        return Fail(kIbERR, kEDVR, Text(language_, txt::DeviceNotOpen));
    if (!Connected()) return Lost(kEABO);

    const SteadyTime deadline = DeadlineFromNow();
    Wait w = Resync(deadline);
    // At most `count` bytes of the reply and its EOI marker are kept; anything beyond is read
    // and dropped, and the read fails.
    std::string data;
    bool eoi = false;
    bool tooLong = false;
    while (w == Wait::Done && !eoi) {
        const int remaining = MillisecondsUntil(deadline);
        if (remaining <= 0) {
            w = Wait::Timeout;
            break;
        }
        std::string request;
        SetAdapterReadTimeout(std::clamp(remaining, 1, prologix::kMaxReadTimeoutMs), request);
        SelectAddress(deviceAddress_, request);
        request += "++read eoi\n++ver\n";
        const SteadyTime asked = std::chrono::steady_clock::now();
        w = Send(request, deadline);
        if (w != Wait::Done) break;
        ++outstanding_;
        std::string chunk;
        bool more = false;
        w = ReadToMark(chunk, count + 1 - data.size(), more, deadline + kMarkGrace);
        if (w == Wait::Done) --outstanding_;
        // The adapter ends a reply that ended with EOI by its marker byte; without it the
        // adapter stopped waiting first: ask again, the instrument goes on from where it stopped.
        eoi = w == Wait::Done && !more && !chunk.empty() &&
              static_cast<unsigned char>(chunk.back()) == prologix::kEotChar;
        if (eoi) chunk.pop_back();
        // The adapter answers a read with nothing only when its read timeout has passed. One that
        // answers at once (a timeout it did not take, an instrument not listening) is asked again
        // when that time is up, not thousands of times a second until the deadline.
        if (w == Wait::Done && !eoi && chunk.empty())
            std::this_thread::sleep_until(std::min(asked + std::chrono::milliseconds(adapterReadTmoMs_), deadline));
        data += chunk;
        if (more || data.size() > count) {
            tooLong = true;
            break;
        }
    }
    const std::size_t n = std::min(count, data.size());
    if (n > 0) std::memcpy(buffer, data.data(), n);
    const auto received = static_cast<std::int32_t>(n);
    if (w == Wait::Lost) {
        GpibStatus s = Lost(kEABO);
        s.ibcnt = received;
        return s;
    }
    if (tooLong) {
        problem_ = TextWith(language_, txt::AdapterReplyTooLong, {std::to_string(count), Where()});
        return Status(kIbERR | kIbCMPL, kEABO, received);
    }
    if (!eoi) {
        problem_ = TextWith(language_, txt::AdapterReplyTimeout, {std::to_string(timeoutMs_), Where()});
        return Status(kIbERR | kIbTIMO | kIbCMPL, kEABO, received);
    }
    return Status(kIbCMPL | kIbEND, 0, received);
}

}  // namespace kmr
