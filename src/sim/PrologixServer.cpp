#include "sim/PrologixServer.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <vector>

#include "net/PrologixProtocol.h"

namespace kmr {

namespace {

constexpr int kDefaultReadTmoMs = 500;
constexpr std::size_t kReadChunk = 1 << 16;
constexpr auto kPoll = std::chrono::milliseconds(100);
// How long a client that does not take its data is waited for before it is dropped.
constexpr auto kSendLimit = std::chrono::seconds(10);

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

struct PrologixServer::Session {
    int addr = 0;
    bool autoRead = false;
    bool eoi = true;
    int eos = 0;  // 0 CR LF, 1 CR, 2 LF, 3 nothing appended to data
    bool eotEnable = false;
    int eotChar = 0;
    int mode = 1;
    int readTmoMs = kDefaultReadTmoMs;
    bool saveCfg = true;
    bool gone = false;
    prologix::LineSplitter splitter;
    std::map<int, int> descriptors;  // instrument descriptor per timeout code
};

PrologixServer::PrologixServer(GpibBus& instrument, PrologixServerOptions options)
    : instrument_(instrument), options_(std::move(options)) {}

PrologixServer::~PrologixServer() { Stop(); }

void PrologixServer::Log(const std::string& line) {
    if (!options_.verbose) return;
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
    char buffer[4096];
    while (!stop_ && !s.gone) {
        std::size_t got = 0;
        auto io = client.ReceiveSome(buffer, sizeof buffer, got,
                                     std::chrono::steady_clock::now() + kPoll);
        if (io == TcpSocket::Io::Timeout) continue;
        if (io != TcpSocket::Io::Ok) break;
        s.splitter.Feed(buffer, got);
        prologix::LineSplitter::Line line;
        while (!s.gone && !stop_ && s.splitter.Next(line)) {
            if (line.command)
                HandleCommand(s, client, line.bytes);
            else
                HandleData(s, client, line.bytes);
        }
    }
}

void PrologixServer::Send(TcpSocket& client, const std::string& bytes) {
    if (bytes.empty()) return;
    if (client.SendAll(bytes.data(), bytes.size(), std::chrono::steady_clock::now() + kSendLimit) !=
        TcpSocket::Io::Ok) {
        Log("client does not take data; dropped");
        client.Close();
    }
}

// The instrument is opened once per timeout code the client's read timeout needs, so that a
// reply the instrument holds back is waited for about as long as the adapter would wait.
static int CodeForMilliseconds(int ms) {
    for (int code = 1; code <= 17; ++code)
        if (TimeoutCodeMilliseconds(code) >= ms) return code;
    return 17;
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
    const int code = CodeForMilliseconds(s.readTmoMs);
    auto it = s.descriptors.find(code);
    int d = -1;
    if (it == s.descriptors.end()) {
        GpibStatus st = instrument_.OpenDevice(0, options_.address, 0, code, 1, 0, d);
        if (d < 0 || st.error()) {
            Log("  instrument cannot be opened");
            return;
        }
        s.descriptors[code] = d;
    } else {
        d = it->second;
    }
    instrument_.Write(d, data.data(), data.size());
    if (s.autoRead) ReadFromInstrument(s, client, true, -1);
}

void PrologixServer::ReadFromInstrument(Session& s, TcpSocket& client, bool /*untilEoi*/,
                                        int endChar) {
    const auto start = std::chrono::steady_clock::now();
    const auto giveUp = start + std::chrono::milliseconds(s.readTmoMs);
    std::string out;
    bool end = false;
    if (s.addr == options_.address) {
        const int code = CodeForMilliseconds(s.readTmoMs);
        int d = -1;
        auto it = s.descriptors.find(code);
        if (it != s.descriptors.end()) {
            d = it->second;
        } else {
            GpibStatus st = instrument_.OpenDevice(0, options_.address, 0, code, 1, 0, d);
            if (d >= 0 && !st.error()) s.descriptors[code] = d;
        }
        std::vector<char> buffer(kReadChunk);
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
    }
    if (out.empty() && !end) {
        // Nothing to read: the adapter waits out its read timeout before it gives up.
        while (!stop_ && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                giveUp - std::chrono::steady_clock::now(), std::chrono::milliseconds(20)));
        Log("< (nothing: read timeout)");
        return;
    }
    Log("< " + LogText(out) + (end ? "" : "  (no EOI)"));
    if (end && s.eotEnable) out.push_back(static_cast<char>(s.eotChar));
    Send(client, out);
    if (!client.Valid()) s.gone = true;
}

void PrologixServer::HandleCommand(Session& s, TcpSocket& client, const std::string& line) {
    Log("> " + LogText(line));
    std::string body = line.substr(2);
    std::string name, arg;
    {
        std::size_t i = 0;
        while (i < body.size() && body[i] != ' ' && body[i] != '\t') ++i;
        name = body.substr(0, i);
        while (i < body.size() && (body[i] == ' ' || body[i] == '\t')) ++i;
        arg = body.substr(i);
        while (!arg.empty() && (arg.back() == ' ' || arg.back() == '\t')) arg.pop_back();
    }
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto reply = [&](const std::string& text) {
        Log("< " + LogText(text + "\r\n"));
        Send(client, text + "\r\n");
        if (!client.Valid()) s.gone = true;
    };
    // A setting: without a value it answers the current one.
    auto setting = [&](int& field, int lo, int hi) {
        if (arg.empty()) {
            reply(std::to_string(field));
            return;
        }
        int v = 0;
        if (prologix::ParseDecimalInRange(arg, lo, hi, v))
            field = v;
        else
            Log("  (value out of range; ignored)");
    };
    auto flag = [&](bool& field) {
        int v = field ? 1 : 0;
        setting(v, 0, 1);
        field = v != 0;
    };

    if (name == "addr") {
        // "++addr PAD [SAD]": the secondary address is accepted and ignored.
        std::string pad = arg.substr(0, arg.find(' '));
        std::swap(arg, pad);
        setting(s.addr, 0, 30);
        std::swap(arg, pad);
    } else if (name == "auto") {
        flag(s.autoRead);
    } else if (name == "clr") {
        if (s.addr == options_.address) instrument_.DeviceClear(0, s.addr);
    } else if (name == "eoi") {
        flag(s.eoi);
    } else if (name == "eos") {
        setting(s.eos, 0, 3);
    } else if (name == "eot_enable") {
        flag(s.eotEnable);
    } else if (name == "eot_char") {
        setting(s.eotChar, 0, 255);
    } else if (name == "ifc") {
        instrument_.InterfaceClear(0);
    } else if (name == "loc" || name == "llo" || name == "trg") {
        // Local/lockout and group trigger mean nothing to the instrument behind.
    } else if (name == "mode") {
        int m = s.mode;
        setting(m, 0, 1);
        if (m == 0) Log("  (device mode is not offered; staying controller)");
        s.mode = 1;
    } else if (name == "read") {
        int endChar = -1;
        if (!arg.empty() && arg != "eoi" && !prologix::ParseDecimalInRange(arg, 0, 255, endChar)) endChar = -1;
        ReadFromInstrument(s, client, arg == "eoi", endChar);
    } else if (name == "read_tmo_ms") {
        setting(s.readTmoMs, 1, prologix::kMaxReadTimeoutMs);
    } else if (name == "rst") {
        Session fresh;
        fresh.addr = options_.address;
        fresh.descriptors = std::move(s.descriptors);
        s.addr = fresh.addr;
        s.autoRead = fresh.autoRead;
        s.eoi = fresh.eoi;
        s.eos = fresh.eos;
        s.eotEnable = fresh.eotEnable;
        s.eotChar = fresh.eotChar;
        s.readTmoMs = fresh.readTmoMs;
        s.descriptors = std::move(fresh.descriptors);
    } else if (name == "savecfg") {
        flag(s.saveCfg);
    } else if (name == "spoll" || name == "srq") {
        reply("0");
    } else if (name == "ver") {
        reply(kVersion);
    } else {
        Log("  (unknown command; ignored)");
    }
}

}  // namespace kmr
