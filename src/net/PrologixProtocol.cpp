#include "net/PrologixProtocol.h"

#include "core/support/Numbers.h"

namespace kmr::prologix {

std::string EscapeData(const void* data, std::size_t count) {
    const char* p = static_cast<const char*>(data);
    std::string out;
    out.reserve(count + count / 8 + 1);
    for (std::size_t i = 0; i < count; ++i) {
        char c = p[i];
        if (c == '\r' || c == '\n' || c == kEsc || c == '+') out.push_back(kEsc);
        out.push_back(c);
    }
    out.push_back('\n');
    return out;
}

void LineSplitter::Feed(const char* data, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        char c = data[i];
        if (escaped_) {
            escaped_ = false;
        } else if (c == kEsc) {
            escaped_ = true;
            continue;
        } else if (c == '\r' || c == '\n') {
            if (!current_.bytes.empty() && !overlong_) {
                current_.command = leadingPluses_ >= 2;
                queued_ += current_.bytes.size();
                ready_.push_back(std::move(current_));
            }
            current_ = Line{};
            leadingPluses_ = 0;
            overlong_ = false;
            continue;
        } else if (c == '+' && leadingPluses_ == static_cast<int>(current_.bytes.size()) &&
                   leadingPluses_ < 2) {
            ++leadingPluses_;
        }
        if (overlong_) continue;
        if (current_.bytes.size() == kMaxLineBytes) {
            overlong_ = true;
            ++dropped_;
            current_ = Line{};
            continue;
        }
        current_.bytes.push_back(c);
    }
}

bool LineSplitter::Next(Line& line) {
    if (ready_.empty()) return false;
    line = std::move(ready_.front());
    ready_.pop_front();
    queued_ -= line.bytes.size();
    return true;
}

bool ParseDecimalInRange(const std::string& text, int lo, int hi, int& value) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    const auto v = ParseInt32(text);
    if (!v || *v < lo || *v > hi) return false;
    value = *v;
    return true;
}

}  // namespace kmr::prologix
