#include "link/PrologixBus.h"

#include <algorithm>
#include <cstring>

#include "net/PrologixProtocol.h"

namespace kmr {

namespace {

constexpr int kDescriptor = 1;
// Time allowed on top of the deadline for the adapter's end mark to cross the network after the
// adapter itself has stopped waiting.
constexpr auto kMarkGrace = std::chrono::milliseconds(250);
constexpr std::size_t kMaxVersionLine = 256;

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

std::string PrologixBus::AdapterVersion() const {
    std::string v = versionLine_;
    while (!v.empty() && (v.back() == '\n' || v.back() == '\r')) v.pop_back();
    return v;
}

GpibStatus PrologixBus::Fail(std::int32_t ibsta, std::int32_t iberr, std::string problem) {
    problem_ = std::move(problem);
    return Status(ibsta, iberr);
}

GpibStatus PrologixBus::Lost(std::int32_t iberr) {
    Disconnect();
    return Fail(kIbERR, iberr,
                "The connection to the GP-IB adapter at " + Where() +
                    " was closed. Check the adapter and its network, then reconnect.");
}

void PrologixBus::Disconnect() {
    socket_.Close();
    inbox_.clear();
    outstanding_ = 0;
    adapterReadTmoMs_ = 0;
    adapterAddress_ = -1;
    unread_.clear();
    unreadEnd_ = false;
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

PrologixBus::Wait PrologixBus::ReadToMark(std::string& chunk, SteadyTime deadline) {
    const std::string& mark = versionLine_;
    std::size_t searchFrom = 0;
    char buffer[8192];
    for (;;) {
        // The mark is the adapter's last answer: it can only be at the end of what has come.
        std::size_t at = inbox_.find(mark, searchFrom);
        if (at != std::string::npos) {
            chunk.assign(inbox_, 0, at);
            inbox_.erase(0, at + mark.size());
            return Wait::Done;
        }
        if (inbox_.size() >= mark.size()) searchFrom = inbox_.size() - mark.size() + 1;
        std::size_t got = 0;
        switch (socket_.ReceiveSome(buffer, sizeof buffer, got, deadline)) {
            case TcpSocket::Io::Ok: inbox_.append(buffer, got); break;
            case TcpSocket::Io::Timeout: return Wait::Timeout;
            default:
                chunk = std::move(inbox_);  // what came before the connection dropped
                inbox_.clear();
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
        std::size_t got = 0;
        switch (socket_.ReceiveSome(buffer, sizeof buffer, got, deadline)) {
            case TcpSocket::Io::Ok: inbox_.append(buffer, got); break;
            case TcpSocket::Io::Timeout: return Wait::Timeout;
            default: return Wait::Lost;
        }
    }
}

PrologixBus::Wait PrologixBus::Resync(SteadyTime deadline) {
    while (outstanding_ > 0) {
        std::string late;
        Wait w = ReadToMark(late, deadline);
        if (w != Wait::Done) return w;
        --outstanding_;  // a reply that came after its read had given up: dropped
    }
    return Wait::Done;
}

bool PrologixBus::SelectAddress(int address, std::string& out) {
    if (address == adapterAddress_) return false;
    out += "++addr " + std::to_string(address) + "\n";
    adapterAddress_ = address;
    return true;
}

GpibStatus PrologixBus::OpenDevice(int /*board*/, int address, int /*secondary*/, int timeoutCode,
                                   int eot, int /*eos*/, int& descriptor) {
    descriptor = -1;
    problem_.clear();
    int ms = TimeoutCodeMilliseconds(timeoutCode);
    if (ms < 0)
        return Fail(kIbERR, kEARG, "Timeout code " + std::to_string(timeoutCode) + " is unknown.");
    timeoutMs_ = ms == 0 ? TimeoutCodeMilliseconds(17) : ms;
    if (address < 0 || address > 30)
        return Fail(kIbERR, kEARG,
                    "GP-IB address " + std::to_string(address) + " is outside 0 to 30.");
    const SteadyTime deadline = DeadlineFromNow();

    if (Connected() && Resync(deadline) != Wait::Done) Disconnect();
    // A connection kept from an earlier open may have died while idle; the "++ver" answer shows
    // it, and then the open connects afresh once.
    for (int attempt = 0;; ++attempt) {
        const bool fresh = !Connected();
        if (fresh) {
            std::string why;
            socket_ = TcpSocket::Connect(host_, port_, MillisecondsUntil(deadline), why);
            if (!socket_.Valid())
                return Fail(kIbERR, kENEB,
                            "Cannot connect to the GP-IB adapter at " + Where() + ": " + why +
                                ". Check that the adapter (or kmr-sim) is running there.");
        }
        inbox_.clear();
        unread_.clear();
        unreadEnd_ = false;
        // ++savecfg 0 first: the adapter would otherwise store every later setting in its EEPROM.
        std::string setup = "++savecfg 0\n++mode 1\n++auto 0\n++eos 3\n++eoi " +
                            std::string(eot ? "1" : "0") + "\n++eot_enable 1\n++eot_char " +
                            std::to_string(prologix::kEotChar) + "\n";
        adapterAddress_ = -1;
        SelectAddress(address, setup);
        adapterReadTmoMs_ = std::min(timeoutMs_, prologix::kMaxReadTimeoutMs);
        setup += "++read_tmo_ms " + std::to_string(adapterReadTmoMs_) + "\n++ver\n";
        std::string line;
        Wait w = Send(setup, deadline);
        if (w == Wait::Done) w = ReadLine(line, deadline);
        if (w == Wait::Lost && !fresh && attempt == 0) {
            Disconnect();
            continue;
        }
        if (w != Wait::Done) {
            Disconnect();
            return Fail(kIbERR, kENEB,
                        "The device at " + Where() +
                            (w == Wait::Lost ? " closed the connection while it was set up."
                                             : " did not answer ++ver within the timeout: another "
                                               "program may be connected to it (an adapter serves "
                                               "one at a time), or it is not a GP-IB adapter."));
        }
        std::string text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        if (text.empty() || !Printable(text)) {
            Disconnect();
            return Fail(kIbERR, kENEB,
                        "The device at " + Where() +
                            " does not answer like a GP-IB adapter (its answer to ++ver is not a "
                            "line of text).");
        }
        versionLine_ = line;
        break;
    }
    deviceAddress_ = address;
    descriptor = kDescriptor;
    return Status(kIbCMPL);
}

GpibStatus PrologixBus::InterfaceClear(int /*board*/) {
    if (!Connected()) return Fail(kIbERR, kENEB, "The GP-IB adapter is not connected.");
    const SteadyTime deadline = DeadlineFromNow();
    Wait w = Resync(deadline);
    if (w == Wait::Done) w = Send("++ifc\n", deadline);
    if (w == Wait::Lost) return Lost(kENOL);
    if (w == Wait::Timeout) return Fail(kIbERR | kIbTIMO, kEABO, "The GP-IB adapter is busy.");
    unread_.clear();
    return Status(kIbCMPL);
}

GpibStatus PrologixBus::DeviceClear(int /*board*/, int address) {
    if (!Connected()) return Fail(kIbERR, kENEB, "The GP-IB adapter is not connected.");
    const SteadyTime deadline = DeadlineFromNow();
    Wait w = Resync(deadline);
    std::string bytes;
    SelectAddress(address, bytes);
    bytes += "++clr\n";
    if (w == Wait::Done) w = Send(bytes, deadline);
    if (w == Wait::Lost) return Lost(kENOL);
    if (w == Wait::Timeout) return Fail(kIbERR | kIbTIMO, kEABO, "The GP-IB adapter is busy.");
    unread_.clear();
    unreadEnd_ = false;
    return Status(kIbCMPL);
}

GpibStatus PrologixBus::BoardOffline(int /*board*/) {
    Disconnect();
    deviceAddress_ = -1;
    return Status(kIbCMPL);
}

GpibStatus PrologixBus::Write(int descriptor, const void* data, std::size_t count) {
    if (descriptor != kDescriptor || deviceAddress_ < 0)
        return Fail(kIbERR, kEDVR, "The device is not open.");
    if (!Connected()) return Lost(kENOL);
    const SteadyTime deadline = DeadlineFromNow();
    Wait w = Resync(deadline);
    if (w == Wait::Lost) return Lost(kENOL);
    if (w == Wait::Timeout)
        return Fail(kIbERR | kIbTIMO | kIbCMPL, kEABO,
                    "The GP-IB adapter is still sending an earlier reply.");
    // A new command makes the instrument drop the rest of an unread reply.
    unread_.clear();
    unreadEnd_ = false;
    std::string bytes;
    SelectAddress(deviceAddress_, bytes);
    bytes += prologix::EscapeData(data, count);
    w = Send(bytes, deadline);
    if (w == Wait::Lost) return Lost(kENOL);
    if (w == Wait::Timeout)
        return Fail(kIbERR | kIbTIMO | kIbCMPL, kEABO, "The GP-IB adapter does not take data.");
    return Status(kIbCMPL, 0, static_cast<std::int32_t>(count));
}

GpibStatus PrologixBus::Read(int descriptor, void* buffer, std::size_t count) {
    if (descriptor != kDescriptor || deviceAddress_ < 0)
        return Fail(kIbERR, kEDVR, "The device is not open.");
    auto deliver = [&](std::string& from, bool endAfter, std::int32_t extraBits,
                       std::int32_t iberr) {
        std::size_t n = std::min(count, from.size());
        if (n > 0) std::memcpy(buffer, from.data(), n);
        const bool allTaken = n == from.size();
        from.erase(0, n);
        std::int32_t ibsta = kIbCMPL | extraBits;
        if (allTaken && endAfter) ibsta |= kIbEND;
        return Status(ibsta, iberr, static_cast<std::int32_t>(n));
    };
    if (!unread_.empty()) return deliver(unread_, unreadEnd_, 0, 0);
    if (!Connected()) return Lost(kEABO);

    const SteadyTime deadline = DeadlineFromNow();
    Wait w = Resync(deadline);
    std::string data;
    bool eoi = false;
    while (w == Wait::Done) {
        const int remaining = MillisecondsUntil(deadline);
        if (remaining <= 0) {
            w = Wait::Timeout;
            break;
        }
        std::string request;
        const int adapterTmo = std::clamp(remaining, 1, prologix::kMaxReadTimeoutMs);
        if (adapterTmo != adapterReadTmoMs_) {
            request += "++read_tmo_ms " + std::to_string(adapterTmo) + "\n";
            adapterReadTmoMs_ = adapterTmo;
        }
        SelectAddress(deviceAddress_, request);
        request += "++read eoi\n++ver\n";
        w = Send(request, deadline);
        if (w != Wait::Done) break;
        ++outstanding_;
        std::string chunk;
        w = ReadToMark(chunk, deadline + kMarkGrace);
        if (w == Wait::Lost) data += chunk;
        if (w != Wait::Done) break;
        --outstanding_;
        if (!chunk.empty() && static_cast<unsigned char>(chunk.back()) == prologix::kEotChar) {
            chunk.pop_back();
            data += chunk;
            eoi = true;
            break;
        }
        // The adapter stopped waiting before EOI: ask again; the instrument goes on from where
        // it stopped talking.
        data += chunk;
    }
    if (w == Wait::Lost) {
        GpibStatus s = Lost(kEABO);
        std::size_t n = std::min(count, data.size());
        if (n > 0) std::memcpy(buffer, data.data(), n);
        s.ibcnt = static_cast<std::int32_t>(n);
        return s;
    }
    if (!eoi) {
        problem_ = "The instrument did not answer within " + std::to_string(timeoutMs_) +
                   " ms (through the GP-IB adapter at " + Where() + ").";
        return deliver(data, false, kIbERR | kIbTIMO, kEABO);
    }
    GpibStatus s = deliver(data, true, 0, 0);
    if (!data.empty()) {  // more than was asked for: kept for the next read
        unread_ = std::move(data);
        unreadEnd_ = true;
    }
    return s;
}

}  // namespace kmr
