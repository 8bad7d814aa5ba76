#include "sim/PrologixServer.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <string_view>
#include <vector>

#include "net/PrologixProtocol.h"

namespace kmr {

namespace {

constexpr int kDefaultReadTmoMs = 500;
constexpr std::size_t kReadChunk = 1 << 16;
constexpr auto kPoll = std::chrono::milliseconds(100);
// How long a client that does not take its data is waited for before it is dropped.
constexpr auto kSendLimit = std::chrono::seconds(10);
// Lines a client may send ahead of the instrument: beyond that it is dropped, and so is all it
// queued (a client that queues work and goes away must not keep the adapter busy).
constexpr std::size_t kMaxQueuedBytes = 4 * prologix::kMaxLineBytes;

// The name of an adapter command ("++Read eoi" gives "read") and its argument ("eoi").
void SplitCommand(const std::string& line, std::string& name, std::string& arg) {
    const std::string body = line.substr(2);
    std::size_t i = 0;
    while (i < body.size() && body[i] != ' ' && body[i] != '\t') ++i;
    name = body.substr(0, i);
    while (i < body.size() && (body[i] == ' ' || body[i] == '\t')) ++i;
    arg = body.substr(i);
    while (!arg.empty() && (arg.back() == ' ' || arg.back() == '\t')) arg.pop_back();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
}

// The instrument is opened once per timeout code the client's read timeout needs, so that a
// reply the instrument holds back is waited for about as long as the adapter would wait.
int CodeForMilliseconds(int ms) {
    for (int code = 1; code <= 17; ++code)
        if (TimeoutCodeMilliseconds(code) >= ms) return code;
    return 17;
}

}  // namespace

std::string LogText(const std::string& bytes) {
    constexpr std::size_t kShown = 60;
    std::string out;
    const std::size_t n = std::min(bytes.size(), kShown);
    for (std::size_t i = 0; i < n; ++i) {
        auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\\') out += "\\\\";
        else if (c >= 0x20 && c < 0x7f) out += static_cast<char>(c);
        else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    if (bytes.size() > kShown) out += "... (" + std::to_string(bytes.size()) + " bytes)";
    return out;
}

// The settings ++rst puts back.
struct AdapterSettings {
    int autoRead = 0;
    int eoi = 1;
    int eos = 0;  // 0 CR LF, 1 CR, 2 LF, 3 nothing appended to data
    int eotEnable = 0;
    int eotChar = 0;
    int readTmoMs = kDefaultReadTmoMs;
};

struct PrologixServer::Session : AdapterSettings {
    int addr = 0;
    int mode = 1;
    int saveCfg = 1;
    bool deviceAnswers = true;  // the instrument took the last ++clr
    bool gone = false;
    SteadyTime lastReceived;    // when the last byte came from the client (or the client came)
    prologix::LineSplitter splitter;
    std::map<int, int> descriptors;  // instrument descriptor per timeout code
};

struct PrologixServer::Setting {
    std::string_view name;
    int Session::*field;
    int lo, hi;
};

struct PrologixServer::CommandEntry {
    std::string_view name;
    Handler handle;
};

PrologixServer::PrologixServer(GpibBus& instrument, PrologixServerOptions options)
    : instrument_(instrument), options_(std::move(options)) {}

PrologixServer::~PrologixServer() { Stop(); }

void PrologixServer::Log(const std::string& line) {
    if (options_.verbose) Notice(line);
}

void PrologixServer::Notice(const std::string& line) {
    std::lock_guard<std::mutex> lock(logMutex_);
    std::ostream& out = options_.log ? *options_.log : std::cerr;
    out << line << '\n';
    out.flush();
}

bool PrologixServer::Start(std::string& error) {
    if (thread_.joinable()) {
        error = "The server is running already.";
        return false;
    }
    if (options_.address < 0 || options_.address > 30) {
        error = "The GP-IB address must be 0 to 30.";
        return false;
    }
    std::string why;
    listener_ = TcpListener::Listen(options_.host, options_.port, why);
    if (!listener_.Valid()) {
        error = "Cannot listen on " + options_.host + ":" + std::to_string(options_.port) + ": " +
                why + ".";
        return false;
    }
    stop_ = false;
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void PrologixServer::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    listener_.Close();
}

void PrologixServer::Serve() {
    Log("listening on " + options_.host + ":" + std::to_string(Port()) +
        ", instrument at GP-IB address " + std::to_string(options_.address));
    while (!stop_) {
        TcpSocket client = listener_.Accept(static_cast<int>(kPoll.count()));
        if (!client.Valid()) continue;
        ++clientsServed_;
        const std::string peer = client.PeerName();
        Log("client " + peer + " connected");
        ServeClient(client);
        client.Close();
        Log("client " + peer + " disconnected");
    }
}

void PrologixServer::ServeClient(TcpSocket& client) {
    Session s;
    s.addr = options_.address;
    s.lastReceived = std::chrono::steady_clock::now();
    // The idle limit counts from the last byte received, also while queued lines are worked off:
    // a client that queues slow commands and then stays silent does not hold the server.
    const auto idle = [&](SteadyTime now) {
        if (now - s.lastReceived < options_.idle) return false;
        Notice("client " + client.PeerName() + " sent nothing for " + std::to_string(options_.idle.count()) +
               " ms; dropped");
        return true;
    };
    while (!stop_ && !s.gone) {
        // What has come meanwhile is taken first (up to a buffer's worth ahead), so that a
        // client that has gone is noticed before its queued lines are worked through.
        if (s.splitter.Queued() < prologix::kMaxLineBytes &&
            !Receive(s, client, std::chrono::steady_clock::now()))
            break;
        if (idle(std::chrono::steady_clock::now())) break;
        prologix::LineSplitter::Line line;
        if (s.splitter.Next(line)) {
            if (line.command)
                HandleCommand(s, client, line.bytes);
            else
                HandleData(s, client, line.bytes);
            continue;
        }
        const SteadyTime now = std::chrono::steady_clock::now();
        Receive(s, client, std::min<SteadyTime>(now + kPoll, s.lastReceived + options_.idle));
    }
    if (s.gone && s.splitter.Queued() > 0)
        Notice("client " + client.PeerName() + " has gone; " +
               std::to_string(s.splitter.Queued()) + " bytes of its queued commands dropped");
}

bool PrologixServer::Receive(Session& s, TcpSocket& client, SteadyTime deadline) {
    char buffer[4096];
    std::size_t got = 0;
    const auto io = client.ReceiveSome(buffer, sizeof buffer, got, deadline);
    if (io == TcpSocket::Io::Timeout) return true;
    if (io != TcpSocket::Io::Ok) {
        s.gone = true;
        return false;
    }
    if (got > 0) s.lastReceived = std::chrono::steady_clock::now();
    s.splitter.Feed(buffer, got);
    if (const std::size_t dropped = s.splitter.TakeDroppedLines())
        Notice(std::to_string(dropped) + " line(s) longer than " +
               std::to_string(prologix::kMaxLineBytes) + " bytes dropped");
    if (s.splitter.Queued() > kMaxQueuedBytes) {
        Notice("client " + client.PeerName() + " sends faster than the instrument answers (" +
               std::to_string(s.splitter.Queued()) + " bytes waiting); dropped");
        s.gone = true;
        return false;
    }
    return true;
}

void PrologixServer::WaitWatchingClient(Session& s, TcpSocket& client, SteadyTime until) {
    while (!stop_ && !s.gone && std::chrono::steady_clock::now() < until)
        Receive(s, client, std::min<SteadyTime>(until, std::chrono::steady_clock::now() + kPoll));
}

void PrologixServer::Send(TcpSocket& client, const std::string& bytes) {
    if (bytes.empty()) return;
    if (client.SendAll(bytes.data(), bytes.size(), std::chrono::steady_clock::now() + kSendLimit) !=
        TcpSocket::Io::Ok) {
        Notice("client does not take data; dropped");
        client.Close();
    }
}

int PrologixServer::InstrumentDescriptor(Session& s) {
    const int code = CodeForMilliseconds(s.readTmoMs);
    if (auto it = s.descriptors.find(code); it != s.descriptors.end()) return it->second;
    int d = -1;
    GpibStatus st = instrument_.OpenDevice(0, options_.address, 0, code, 1, 0, d);
    if (d < 0 || st.error()) return -1;
    s.descriptors[code] = d;
    return d;
}

void PrologixServer::HandleData(Session& s, TcpSocket& client, const std::string& bytes) {
    std::string data = bytes;
    switch (s.eos) {
        case 0: data += "\r\n"; break;
        case 1: data += "\r"; break;
        case 2: data += "\n"; break;
        default: break;
    }
    Log("> " + LogText(data));
    if (s.addr != options_.address) {
        Log("  (no instrument at address " + std::to_string(s.addr) + ")");
        return;
    }
    const int d = InstrumentDescriptor(s);
    if (d < 0) {
        Log("  instrument cannot be opened");
        return;
    }
    instrument_.Write(d, data.data(), data.size());
    if (s.autoRead) ReadFromInstrument(s, client, -1);
}

void PrologixServer::ReadFromInstrument(Session& s, TcpSocket& client, int endChar) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(s.readTmoMs);
    std::string out;
    bool end = false;
    const int d = s.addr == options_.address ? InstrumentDescriptor(s) : -1;
    std::vector<char> buffer(d >= 0 ? kReadChunk : 0);
    while (d >= 0 && !stop_) {
        GpibStatus st = instrument_.Read(d, buffer.data(), buffer.size());
        const std::size_t n = st.ibcnt > 0 ? static_cast<std::size_t>(st.ibcnt) : 0;
        out.append(buffer.data(), std::min(n, buffer.size()));
        if (st.error()) break;
        if (st.ibsta & kIbEND) {
            end = true;
            break;
        }
        if (endChar >= 0 && out.find(static_cast<char>(endChar)) != std::string::npos) break;
        if (n == 0) break;
    }
    if (out.empty() && !end) {
        // Nothing to read: the adapter waits out its read timeout before it gives up.
        WaitWatchingClient(s, client, giveUp);
        Log("< (nothing: read timeout)");
        return;
    }
    Log("< " + LogText(out) + (end ? "" : "  (no EOI)"));
    if (end && s.eotEnable) out.push_back(static_cast<char>(s.eotChar));
    Send(client, out);
    if (!client.Valid()) s.gone = true;
}

void PrologixServer::Reply(Session& s, TcpSocket& client, const std::string& text) {
    Log("< " + LogText(text + "\r\n"));
    Send(client, text + "\r\n");
    if (!client.Valid()) s.gone = true;
}

// A setting: without a value it answers the current one.
void PrologixServer::ChangeSetting(Session& s, TcpSocket& client, const Setting& setting,
                                   const std::string& arg) {
    int& field = s.*(setting.field);
    int v = 0;
    if (arg.empty())
        Reply(s, client, std::to_string(field));
    else if (prologix::ParseDecimalInRange(arg, setting.lo, setting.hi, v))
        field = v;
    else
        Log("  (value out of range; ignored)");
}

void PrologixServer::HandleCommand(Session& s, TcpSocket& client, const std::string& line) {
    Log("> " + LogText(line));
    std::string name, arg;
    SplitCommand(line, name, arg);
    static constexpr Setting kSettings[] = {
        {"auto", &Session::autoRead, 0, 1},
        {"eoi", &Session::eoi, 0, 1},
        {"eos", &Session::eos, 0, 3},
        {"eot_enable", &Session::eotEnable, 0, 1},
        {"eot_char", &Session::eotChar, 0, 255},
        {"read_tmo_ms", &Session::readTmoMs, 1, prologix::kMaxReadTimeoutMs},
        {"savecfg", &Session::saveCfg, 0, 1},
    };
    static constexpr CommandEntry kCommands[] = {
        {"addr", &PrologixServer::Address},
        {"clr", &PrologixServer::Clear},
        {"ifc", &PrologixServer::InterfaceClear},
        {"loc", &PrologixServer::Nothing},
        {"llo", &PrologixServer::Nothing},
        {"trg", &PrologixServer::Nothing},
        {"mode", &PrologixServer::Mode},
        {"read", &PrologixServer::Read},
        {"rst", &PrologixServer::Reset},
        {"spoll", &PrologixServer::SerialPoll},
        {"srq", &PrologixServer::ServiceRequest},
        {"ver", &PrologixServer::Version},
    };
    for (const Setting& setting : kSettings)
        if (name == setting.name) return ChangeSetting(s, client, setting, arg);
    for (const CommandEntry& command : kCommands)
        if (name == command.name) return (this->*(command.handle))(s, client, arg);
    Log("  (unknown command; ignored)");
}

// "++addr PAD [SAD]": the secondary address is accepted and ignored.
void PrologixServer::Address(Session& s, TcpSocket& client, const std::string& arg) {
    ChangeSetting(s, client, {"addr", &Session::addr, 0, 30}, arg.substr(0, arg.find(' ')));
}

void PrologixServer::Clear(Session& s, TcpSocket&, const std::string&) {
    if (s.addr == options_.address) s.deviceAnswers = !instrument_.DeviceClear(0, s.addr).error();
}

void PrologixServer::InterfaceClear(Session&, TcpSocket&, const std::string&) {
    instrument_.InterfaceClear(0);
}

// Local/lockout and group trigger mean nothing to the instrument behind.
void PrologixServer::Nothing(Session&, TcpSocket&, const std::string&) {}

void PrologixServer::Mode(Session& s, TcpSocket& client, const std::string& arg) {
    ChangeSetting(s, client, {"mode", &Session::mode, 0, 1}, arg);
    if (s.mode == 0) Log("  (device mode is not offered; staying controller)");
    s.mode = 1;
}

void PrologixServer::Read(Session& s, TcpSocket& client, const std::string& arg) {
    int endChar = -1;
    if (!arg.empty() && arg != "eoi" && !prologix::ParseDecimalInRange(arg, 0, 255, endChar))
        endChar = -1;
    ReadFromInstrument(s, client, endChar);
}

void PrologixServer::Reset(Session& s, TcpSocket&, const std::string&) {
    static_cast<AdapterSettings&>(s) = AdapterSettings{};
    s.addr = options_.address;
}

// "++spoll [PAD]": the status byte of the device, which answers only when it is there.
void PrologixServer::SerialPoll(Session& s, TcpSocket& client, const std::string& arg) {
    int address = s.addr;
    if (!arg.empty() && !prologix::ParseDecimalInRange(arg.substr(0, arg.find(' ')), 0, 30, address)) {
        Log("  (value out of range; ignored)");
        return;
    }
    if (address == options_.address && s.deviceAnswers) return Reply(s, client, "0");
    WaitWatchingClient(s, client,
                       std::chrono::steady_clock::now() + std::chrono::milliseconds(s.readTmoMs));
    Log("< (nothing: no device at address " + std::to_string(address) + ")");
}

void PrologixServer::ServiceRequest(Session& s, TcpSocket& client, const std::string&) {
    Reply(s, client, "0");
}

void PrologixServer::Version(Session& s, TcpSocket& client, const std::string&) {
    Reply(s, client, kVersion);
}

}  // namespace kmr
