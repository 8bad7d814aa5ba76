#pragma once
// The command transport: terminates commands, reads and cuts reply lines, decides whether a reply
// is an answer, repeats failed attempts, reads the monitor line and blocks of recorded words.
// Every operation sets RunStatus to 0 on entry and to 1 when it declares a communication
// failure, after telling the user.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/instrument/GpibConnection.h"

namespace kmr {

// Bytes read per reply line.
inline constexpr std::size_t kReplyBufferSize = 250;

// The details appended to text 162 in the communication failure message.
inline constexpr const char* kErrorSendingCommand = " (Error sending Command.) ";
inline constexpr const char* kErrorReceivingData = " (Error receiving Data.)";

// Whether the first 7 characters of a reply are a whole number: digits, the first character may
// also be a sign, and at least one digit.
bool IsWholeNumberHead(std::string_view reply);

// Whether a reply to a command is an answer (rather than a failed attempt).
bool IsAnswer(std::string_view command, std::string_view reply);

// Whether a command that failed an attempt may be sent again. A trigger ("TRG", "DTG", "ETG")
// that was written and brought no error reply may have started a recording: a second one would
// be refused while the instrument records, or would start the recording anew.
bool MayRepeat(std::string_view command, bool written, std::string_view reply);

// Blanks removed at both ends (blanks only, as the instrument pads with blanks).
std::string_view TrimBlanks(std::string_view s);

// The reply line of a 250-byte read buffer: the text before the first CR, trimmed. None when the
// buffer holds no CR (the line did not fit or was cut off).
std::optional<std::string> CutThenTrim(std::string_view buffer);
// The monitor line: trimmed first, then cut at the first CR; none without CR.
std::optional<std::string> TrimThenCut(std::string_view buffer);

// Shows the communication failure message: text 162 followed by `detail`, title 102, exclamation
// icon, with the pointer saved, set to the default and restored; the splash is first made
// non-topmost when `splash` is set and it is showing.
void ShowCommunicationFailure(UiPort& ui, const char* detail, bool splash);

class CommandTransport {
public:
    explicit CommandTransport(GpibConnection& connection);

    // Sends a command and returns its reply (empty when none was read). retry 0: one attempt,
    // no message, the caller judges the reply. Otherwise up to Attempts attempts, then
    // RunStatus 1 and the failure message.
    std::string SendCommand(const std::string& command, std::int16_t retry);
    // "MDT": the monitor line (empty on failure). Only bus errors (and a line without CR) cause
    // another attempt; the content is not judged.
    std::string ReadMonitorData();
    // "MRY count;start" then "BDT": fills dest[start .. start + count - 1] with the words, high
    // byte first. A block that ends early is a receive failure and leaves dest unchanged.
    // Returns how it went: the MRY command or the BDT write failed (the link), or the block
    // itself did not arrive whole.
    enum class Block { Ok, CommandFailed, BlockFailed };
    Block ReadMemoryBlock(std::int16_t* dest, std::int32_t start, std::int16_t count);

    // The command followed by the terminator of the delimiter setting: 0 CR LF, 1 CR; any other
    // value gives an empty text (nothing is sent).
    std::string WireText(const std::string& command) const;

    GpibConnection& Connection() { return conn_; }

    // While a FailureScope lives, failures are not shown one by one: the first failed command is
    // kept, and the operation that opened the scope says once what failed and what was kept.
    bool Quiet() const { return quiet_ > 0; }
    // The command of the first failure in the current scope (empty: none yet), and the line the
    // instrument answered its last attempt with when it answered with something else than an
    // answer (an error reply; empty: no line came, whatever earlier attempts brought).
    const std::string& FirstFailure() const { return firstFailure_; }
    const std::string& FirstFailureReply() const { return firstFailureReply_; }
    // The latest failure, shown or kept (empty: none yet), and the line it was answered with
    // (empty: no line came): whether an instrument that made something give up was silent or
    // refused, for whoever says so afterwards.
    const std::string& LastFailure() const { return lastFailure_; }
    const std::string& LastFailureReply() const { return lastFailureReply_; }
    // Whether the scope's first failure was a command that is not repeated (see MayRepeat) and
    // may have been carried out: written, and no error reply came.
    bool FirstFailureMayHaveActed() const { return firstFailureActed_; }

    // Asked between attempts: true ends the command after the attempt in progress (Stop or
    // Cancel while the instrument does not answer). Reset by the operation that set it.
    bool stopRequested = false;
    // Called before a command is tried again, after an attempt that went unanswered: a request to
    // end that came while the instrument was awaited sets stopRequested there.
    std::function<void()> beforeRepeat;

    // A failure of `command`: shown at once (text 162 and `detail`), or kept as the scope's first
    // failure (with `reply`, the line it was answered with) while a FailureScope lives.
    void Failure(const std::string& command, const char* detail, bool splash, const std::string& reply = {},
                 bool mayHaveActed = false);

private:
    friend class FailureScope;
    int AttemptLimit() const;

    GpibConnection& conn_;
    int quiet_ = 0;
    std::string firstFailure_;
    std::string firstFailureReply_;
    bool firstFailureActed_ = false;
    std::string lastFailure_;
    std::string lastFailureReply_;
};

// See CommandTransport::Quiet. Scopes nest; the outermost one's first failure is kept.
class FailureScope {
public:
    explicit FailureScope(CommandTransport& t) : t_(t) {
        if (t_.quiet_++ == 0) {
            t_.firstFailure_.clear();
            t_.firstFailureReply_.clear();
            t_.firstFailureActed_ = false;
        }
    }
    ~FailureScope() { --t_.quiet_; }
    FailureScope(const FailureScope&) = delete;
    FailureScope& operator=(const FailureScope&) = delete;
    bool Failed() const { return !t_.firstFailure_.empty(); }
    const std::string& Command() const { return t_.firstFailure_; }

private:
    CommandTransport& t_;
};

}  // namespace kmr
