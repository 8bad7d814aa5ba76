#pragma once
// Wire rules of a Prologix GPIB-ETHERNET adapter, shared by the client backend (link/) and the
// kmr-sim server (sim/).
//
// Towards the adapter every line ends with an unescaped LF (or CR). A line that starts with "++"
// is a command for the adapter itself; any other line is data for the addressed instrument.
// Inside data, CR, LF, ESC and '+' are sent preceded by ESC so that they reach the instrument
// as bytes instead of ending the line or looking like a command. With "++eos 3" the adapter adds
// no terminator of its own and with "++eoi 1" it asserts EOI with the last byte.
//
// From the adapter come the bytes the instrument talks, unframed. With "++eot_enable 1" the
// adapter sends the "++eot_char" byte after the byte that carried EOI.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>

namespace kmr::prologix {

inline constexpr int kDefaultPort = 1234;
inline constexpr char kEsc = '\x1b';
// The byte the client asks the adapter to send after EOI ("++eot_char 4").
inline constexpr unsigned char kEotChar = 0x04;
// The adapter accepts read timeouts of 1 to 3000 ms.
inline constexpr int kMaxReadTimeoutMs = 3000;

// The bytes of one data write: every CR, LF, ESC and '+' preceded by ESC, then LF.
std::string EscapeData(const void* data, std::size_t count);

// The longest line the adapter takes: its input buffer. A longer line is dropped whole.
inline constexpr std::size_t kMaxLineBytes = 16384;

// Splits what a client sends into lines: unescaped CR or LF ends a line, ESC makes the next byte
// literal. Empty lines are skipped (a CR LF pair ends one line). A line longer than kMaxLineBytes
// is dropped, so that a client that never ends its line holds no more than that.
class LineSplitter {
public:
    struct Line {
        std::string bytes;  // without the escapes and without the end of line
        bool command = false;  // began with an unescaped "++"
    };
    void Feed(const char* data, std::size_t count);
    // Takes the next complete line; false when none is complete yet.
    bool Next(Line& line);
    // Bytes of an incomplete line waiting for its end.
    std::size_t Pending() const { return current_.bytes.size(); }
    // Bytes of the complete lines not taken yet.
    std::size_t Queued() const { return queued_; }
    // Lines dropped for their length since the last call.
    std::size_t TakeDroppedLines() { return std::exchange(dropped_, 0); }

private:
    std::deque<Line> ready_;
    std::size_t queued_ = 0;
    std::size_t dropped_ = 0;
    bool overlong_ = false;  // the current line is being dropped up to its end
    Line current_;
    bool escaped_ = false;
    int leadingPluses_ = 0;  // unescaped '+' bytes at the start of the current line (max 2)
};

// A decimal number of digits only (no sign, no blanks) within lo..hi, as the adapter's commands
// and kmr-sim's options take them.
bool ParseDecimalInRange(const std::string& text, int lo, int hi, int& value);

}  // namespace kmr::prologix
