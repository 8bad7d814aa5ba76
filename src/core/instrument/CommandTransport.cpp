#include "core/instrument/CommandTransport.h"

#include <algorithm>
#include <vector>

#include "core/support/InstrumentFacts.h"
#include "core/support/TextTable.h"

namespace kmr {

bool IsWholeNumberHead(std::string_view reply) {
    const std::string_view head = reply.substr(0, 7);
    bool digit = false;
    for (std::size_t i = 0; i < head.size(); ++i) {
        const char c = head[i];
        if (c >= '0' && c <= '9') digit = true;
        else if (!(i == 0 && (c == '+' || c == '-'))) return false;
    }
    // Seven characters cannot leave the 32-bit range; a lone sign is no number.
    return digit;
}

bool IsAnswer(std::string_view command, std::string_view reply) {
    if (command == "RES") return true;
    if (reply.substr(0, 5) == "ERRCH") return true;
    const std::string_view three = reply.substr(0, 3);
    if (three == "END" || three == "ROM" || three == "RAM" || three == "VER") return true;
    return IsWholeNumberHead(reply);
}

bool MayRepeat(std::string_view command, bool written, std::string_view reply) {
    if (std::find(kTriggerCommands.begin(), kTriggerCommands.end(), command) == kTriggerCommands.end()) return true;
    return !written || reply.substr(0, 3) == "ERR";
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

std::optional<std::string> CutThenTrim(std::string_view buffer) {
    const std::size_t cr = buffer.find('\r');
    if (cr == std::string_view::npos) return std::nullopt;
    return std::string(TrimBlanks(buffer.substr(0, cr)));
}

std::optional<std::string> TrimThenCut(std::string_view buffer) {
    const std::string_view trimmed = TrimBlanks(buffer);
    const std::size_t cr = trimmed.find('\r');
    if (cr == std::string_view::npos) return std::nullopt;
    return std::string(trimmed.substr(0, cr));
}

void ShowCommunicationFailure(UiPort& ui, const char* detail, bool splash) {
    const Pointer saved = ui.GetPointer();
    ui.SetPointer(Pointer::Default);
    if (splash && ui.IsSplashShowing()) ui.MakeSplashNonTopmost();
    ui.ShowMessage(ui.Text(txt::CannotCommunicate) + detail, ui.Text(txt::GpibErrorTitle), MsgIcon::Exclamation,
                   MsgButtons::Ok);
    ui.SetPointer(saved);
}

namespace {

// A reply kept to be told to the user (in a box, on a terminal): the instrument speaks ASCII, and
// any other byte (an escape sequence, a bell, a C1 control) is shown as "?".
std::string PrintableReply(std::string_view reply) {
    std::string r(reply);
    for (char& c : r)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
    return r;
}

}  // namespace

CommandTransport::CommandTransport(GpibConnection& connection) : conn_(connection) {}

std::string CommandTransport::WireText(const std::string& command) const {
    switch (conn_.Settings().Delimiter) {
        case 0: return command + "\r\n";
        case 1: return command + "\r";
        default: return {};
    }
}

int CommandTransport::AttemptLimit() const { return std::max<int>(1, conn_.Settings().Attempts); }

void CommandTransport::Failure(const std::string& command, const char* detail, bool splash, const std::string& reply,
                               bool mayHaveActed) {
    lastFailure_ = command.empty() ? std::string("?") : command;
    lastFailureReply_ = PrintableReply(reply);
    if (quiet_ > 0) {
        if (firstFailure_.empty()) {
            firstFailure_ = command.empty() ? std::string("?") : command;
            firstFailureReply_ = lastFailureReply_;
            firstFailureActed_ = mayHaveActed;
        }
        return;
    }
    ShowCommunicationFailure(conn_.Ui(), detail, splash);
}

std::string CommandTransport::SendCommand(const std::string& command, std::int16_t retry) {
    RunStatus& status = conn_.Status();
    status = RunStatus::Ok;
    const std::string wire = WireText(command);
    std::string reply;
    int attempts = 0;
    while (true) {
        bool answered = false;
        // This attempt's line (empty: none came); `reply` keeps the last line of any attempt.
        std::string line;
        const bool written = !conn_.Write(wire).error();
        if (written) {
            std::string buffer(kReplyBufferSize, ' ');
            if (!conn_.Read(buffer.data(), buffer.size()).error()) {
                // A line without CR in the 250 bytes was cut off: no reply.
                const std::optional<std::string> cut = CutThenTrim(buffer);
                line = cut.value_or(std::string{});
                reply = line;
                answered = cut && IsAnswer(command, line);
            }
        }
        if (answered || retry == 0) return reply;
        // Judged on this attempt alone: an instrument that refused before and is silent now is
        // silent, and a trigger it did not answer may have started a recording.
        const bool repeat = MayRepeat(command, written, line);
        if (++attempts < AttemptLimit() && repeat) {
            if (beforeRepeat) beforeRepeat();
            if (!stopRequested) continue;
        }
        status = RunStatus::CommFailed;
        Failure(command, kErrorSendingCommand, true, line, !repeat);
        return reply;
    }
}

std::string CommandTransport::ReadMonitorData() {
    RunStatus& status = conn_.Status();
    status = RunStatus::Ok;
    const std::string wire = WireText(kMonitorCommand);
    for (int attempt = 0; attempt < AttemptLimit(); ++attempt) {
        if (attempt > 0 && beforeRepeat) beforeRepeat();
        if (attempt > 0 && stopRequested) break;
        if (conn_.Write(wire).error()) continue;
        std::string buffer(kReplyBufferSize, ' ');
        if (conn_.Read(buffer.data(), buffer.size()).error()) continue;
        if (std::optional<std::string> line = TrimThenCut(buffer)) return *line;
    }
    status = RunStatus::CommFailed;
    Failure(kMonitorCommand, kErrorSendingCommand, false);
    return {};
}

CommandTransport::Block CommandTransport::ReadMemoryBlock(std::int16_t* dest, std::int32_t start, std::int16_t count) {
    RunStatus& status = conn_.Status();
    status = RunStatus::Ok;
    if (count <= 0 || start < 0) return Block::Ok;
    SendCommand("MRY " + std::to_string(count) + ";" + std::to_string(start), 1);
    if (status == RunStatus::CommFailed) return Block::CommandFailed;
    if (conn_.Write(WireText("BDT")).error()) {
        Failure("BDT", kErrorSendingCommand, false);
        status = RunStatus::CommFailed;
        return Block::CommandFailed;
    }
    const std::size_t bytes = 2 * static_cast<std::size_t>(count);
    std::vector<unsigned char> buffer(bytes, 0);
    const bool failed = conn_.Read(buffer.data(), bytes).error();
    // A block that ends early (EOI before all words) must not pass as zeros.
    if (failed || conn_.LastBusStatus().ibcnt < static_cast<std::int32_t>(bytes)) {
        Failure("BDT", kErrorReceivingData, false);
        status = RunStatus::CommFailed;
        return Block::BlockFailed;
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        const auto word = static_cast<std::uint16_t>((buffer[2 * i] << 8) | buffer[2 * i + 1]);
        dest[static_cast<std::size_t>(start) + i] = static_cast<std::int16_t>(word);
    }
    return Block::Ok;
}

}  // namespace kmr
