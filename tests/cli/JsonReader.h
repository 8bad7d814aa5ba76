#pragma once
// A strict reader of JSON text (RFC 8259) for the tests of `kmr info --json`: anything that is not
// JSON fails, so a test that parses the output proves it is JSON.
#include <cctype>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kmr::testing {

struct Json {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;  // a string's value; a number's own text
    std::vector<Json> items;
    std::map<std::string, Json> members;
    std::vector<std::string> order;  // the members' names as written

    const Json& operator[](const std::string& name) const {
        static const Json none;
        const auto it = members.find(name);
        return it == members.end() ? none : it->second;
    }
    const Json& operator[](std::size_t i) const { return items.at(i); }
    bool Has(const std::string& name) const { return members.count(name) != 0; }
};

class JsonReader {
public:
    // The value of the whole text, or nothing when it is not exactly one JSON value.
    static std::optional<Json> Parse(const std::string& text) {
        JsonReader r(text);
        Json v;
        if (!r.Value(v)) return std::nullopt;
        r.Space();
        if (r.at_ != text.size()) return std::nullopt;
        return v;
    }

private:
    explicit JsonReader(const std::string& t) : t_(t) {}
    void Space() {
        while (at_ < t_.size() && (t_[at_] == ' ' || t_[at_] == '\t' || t_[at_] == '\n' || t_[at_] == '\r')) ++at_;
    }
    bool Take(const char* word) {
        const std::string w(word);
        if (t_.compare(at_, w.size(), w) != 0) return false;
        at_ += w.size();
        return true;
    }
    bool Value(Json& v) {
        Space();
        if (at_ >= t_.size()) return false;
        const char c = t_[at_];
        if (c == '{') return Object(v);
        if (c == '[') return Array(v);
        if (c == '"') {
            v.kind = Json::Kind::String;
            return String(v.text);
        }
        if (Take("true") || Take("false")) {
            v.kind = Json::Kind::Bool;
            v.boolean = t_[at_ - 1] == 'e' && t_[at_ - 2] == 'u';
            return true;
        }
        if (Take("null")) return true;
        return Number(v);
    }
    bool Number(Json& v) {
        const std::size_t from = at_;
        auto digits = [&] {
            const std::size_t d = at_;
            while (at_ < t_.size() && std::isdigit(static_cast<unsigned char>(t_[at_]))) ++at_;
            return at_ - d;
        };
        if (at_ < t_.size() && t_[at_] == '-') ++at_;
        const std::size_t intFrom = at_;
        const std::size_t n = digits();
        if (n == 0 || (n > 1 && t_[intFrom] == '0')) return false;
        if (at_ < t_.size() && t_[at_] == '.') {
            ++at_;
            if (digits() == 0) return false;
        }
        if (at_ < t_.size() && (t_[at_] == 'e' || t_[at_] == 'E')) {
            ++at_;
            if (at_ < t_.size() && (t_[at_] == '+' || t_[at_] == '-')) ++at_;
            if (digits() == 0) return false;
        }
        v.kind = Json::Kind::Number;
        v.text = t_.substr(from, at_ - from);
        v.number = std::strtod(v.text.c_str(), nullptr);
        return true;
    }
    bool String(std::string& out) {
        ++at_;  // the opening quote
        while (at_ < t_.size()) {
            const auto c = static_cast<unsigned char>(t_[at_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (at_ >= t_.size()) return false;
            const char e = t_[at_++];
            switch (e) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    if (at_ + 4 > t_.size()) return false;
                    const unsigned cp = static_cast<unsigned>(std::strtoul(t_.substr(at_, 4).c_str(), nullptr, 16));
                    at_ += 4;
                    if (cp < 0x80) {
                        out += static_cast<char>(cp);
                    } else if (cp < 0x800) {
                        out += static_cast<char>(0xC0 | (cp >> 6));
                        out += static_cast<char>(0x80 | (cp & 0x3F));
                    } else {
                        out += static_cast<char>(0xE0 | (cp >> 12));
                        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                        out += static_cast<char>(0x80 | (cp & 0x3F));
                    }
                    break;
                }
                default: return false;
            }
        }
        return false;
    }
    bool Array(Json& v) {
        v.kind = Json::Kind::Array;
        ++at_;
        Space();
        if (Take("]")) return true;
        for (;;) {
            Json item;
            if (!Value(item)) return false;
            v.items.push_back(std::move(item));
            Space();
            if (Take("]")) return true;
            if (!Take(",")) return false;
        }
    }
    bool Object(Json& v) {
        v.kind = Json::Kind::Object;
        ++at_;
        Space();
        if (Take("}")) return true;
        for (;;) {
            Space();
            std::string name;
            if (at_ >= t_.size() || t_[at_] != '"' || !String(name)) return false;
            Space();
            if (!Take(":")) return false;
            Json member;
            if (!Value(member) || v.members.count(name)) return false;
            v.members[name] = std::move(member);
            v.order.push_back(name);
            Space();
            if (Take("}")) return true;
            if (!Take(",")) return false;
        }
    }

    const std::string& t_;
    std::size_t at_ = 0;
};

}  // namespace kmr::testing
