// kmr info: the header of data files, one "Name: value" line per field; with --json the same
// fields as a JSON array, one object per file (numbers as numbers, texts as strings, a code with
// a name as the code and NameName, the channels as the array "Channels").
#include <filesystem>
#include <fstream>
#include <ostream>

#include "cli/Cli.h"
#include "core/datafiles/DataFile.h"
#include "core/datafiles/FileIo.h"
#include "core/datafiles/StoredRecord.h"
#include "core/support/Numbers.h"
#include "core/support/TextTable.h"
#include "core/support/Vocabulary.h"

namespace kmr::cli {

namespace {

// One field of the header as kmr info shows it.
struct InfoField {
    enum class Kind { Number, Text, YesNo };
    std::string key;
    Kind kind = Kind::Number;
    std::string value;       // the number's text, the text, or "yes"/"no"
    bool named = false;      // the code has a name: "N (name)"
    std::string name;
};

using Fields = std::vector<InfoField>;

InfoField Field(std::string key, InfoField::Kind kind, std::string value) {
    InfoField f;
    f.key = std::move(key);
    f.kind = kind;
    f.value = std::move(value);
    return f;
}
InfoField NumberField(std::string key, const std::string& text) { return Field(std::move(key), InfoField::Kind::Number, text); }
InfoField NumberField(std::string key, long long v) { return NumberField(std::move(key), std::to_string(v)); }
InfoField TextField(std::string key, std::string text) { return Field(std::move(key), InfoField::Kind::Text, std::move(text)); }
InfoField NamedField(std::string key, long long code, const std::vector<std::string>& names) {
    InfoField f = NumberField(std::move(key), code);
    if (code >= 0 && static_cast<std::size_t>(code) < names.size()) {
        f.named = true;
        f.name = names[static_cast<std::size_t>(code)];
    }
    return f;
}

struct FileInfo {
    Fields fields;
    std::vector<Fields> channels;  // channel 1 to 10; keys without the "CHnn." prefix
};

// "2,5" (or "2, 5"); empty for none.
std::string ChannelList(const std::vector<int>& channels, const char* separator) {
    std::string s;
    for (int ch : channels) s += (s.empty() ? "" : separator) + std::to_string(ch);
    return s;
}

FileInfo Describe(const std::string& path, const HeaderCheck& h, Language lang) {
    const FileConditions& fc = h.conditions;
    FileInfo info;
    Fields& f = info.fields;
    f.push_back(TextField("File", path));
    f.push_back(NumberField("Size", std::to_string(h.actualSize)));
    f.push_back(NumberField("ExpectedSize", std::to_string(h.expectedSize)));
    f.push_back(TextField("Signature", h.signature));
    f.push_back(Field("Complete", InfoField::Kind::YesNo, h.complete ? "yes" : "no"));
    // The measured channels the file holds whole: "2,5" (a text in JSON too).
    f.push_back(TextField("WholeChannels", ChannelList(h.wholeChannels, ",")));
    f.push_back(TextField("TriggerTime", fc.TriggerTime));
    f.push_back(NamedField("TrgMode", fc.TrgMode, TriggerModeNames(lang)));
    f.push_back(NumberField("SmpClk", FormatFloat(fc.SmpClk)));
    f.push_back(NumberField("MemoryWords", fc.MemoryWords));
    f.push_back(NumberField("PreMemoryWords", fc.PreMemoryWords));
    f.push_back(NumberField("WordsConverted", fc.WordsConverted));
    f.push_back(NamedField("Averaging", fc.Averaging, AveragingNames()));
    f.push_back(NumberField("ChannelCount", fc.ChannelCount));
    const auto& units = UnitNames(LanguageOfUserLanguageId(UserLanguageId(lang)));
    for (int ch = 1; ch <= kChannels; ++ch) {
        const auto& c = fc.Ch(ch);
        Fields cf;
        cf.push_back(NumberField("OnOff", c.OnOff));
        InfoField mode = NumberField("InputMode", c.InputMode);
        mode.named = true;  // printed with its name, empty for a code the instrument does not know
        mode.name = InputModeName(c.InputMode);
        cf.push_back(mode);
        cf.push_back(NamedField("Lpf", c.Lpf, FilterNames()));
        cf.push_back(NumberField("Coeff", FormatFloat(c.Coeff)));
        cf.push_back(NumberField("Point", c.Point));
        cf.push_back(NamedField("Unit", c.Unit, units));
        cf.push_back(NumberField("DtgOnOff", c.DtgOnOff));
        cf.push_back(NumberField("DtgLevel", FormatFloat(c.DtgLevel)));
        cf.push_back(NumberField("Offset", FormatFloat(c.Offset)));
        info.channels.push_back(std::move(cf));
    }
    return info;
}

void PrintField(const std::string& prefix, const InfoField& f, std::ostream& os) {
    os << prefix << f.key << ": " << f.value;
    if (f.named) os << " (" << f.name << ")";
    os << "\n";
}

void PrintText(const FileInfo& info, std::ostream& os) {
    for (const auto& f : info.fields) PrintField("", f, os);
    for (std::size_t i = 0; i < info.channels.size(); ++i) {
        const int ch = static_cast<int>(i) + 1;
        const std::string prefix = std::string("CH") + (ch < 10 ? "0" : "") + std::to_string(ch) + ".";
        for (const auto& f : info.channels[i]) PrintField(prefix, f, os);
    }
}

// --- JSON ------------------------------------------------------------------------------------------

// A JSON string: quotes, backslashes and control characters escaped; bytes that are not UTF-8
// (a damaged header's text) become U+FFFD.
std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (const char ch : WellFormedUtf8(s)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// The number's text where it is one by JSON's grammar ("1E+07" is), else null (NAN, INF).
std::string JsonNumber(const std::string& t) {
    std::size_t i = 0;
    auto digits = [&] {
        const std::size_t from = i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
        return i - from;
    };
    if (i < t.size() && t[i] == '-') ++i;
    const std::size_t intStart = i;
    const std::size_t intDigits = digits();
    bool ok = intDigits > 0 && !(intDigits > 1 && t[intStart] == '0');
    if (ok && i < t.size() && t[i] == '.') {
        ++i;
        ok = digits() > 0;
    }
    if (ok && i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        ok = digits() > 0;
    }
    return ok && i == t.size() ? t : "null";
}

void PrintJsonFields(const Fields& fields, const std::string& indent, std::ostream& os, bool& first) {
    for (const auto& f : fields) {
        os << (first ? "" : ",") << "\n" << indent << JsonString(f.key) << ": ";
        first = false;
        switch (f.kind) {
            case InfoField::Kind::Number: os << JsonNumber(f.value); break;
            case InfoField::Kind::Text: os << JsonString(f.value); break;
            case InfoField::Kind::YesNo: os << (f.value == "yes" ? "true" : "false"); break;
        }
        if (f.named) os << ",\n" << indent << JsonString(f.key + "Name") << ": " << JsonString(f.name);
    }
}

void PrintJson(const FileInfo& info, std::ostream& os) {
    os << "  {";
    bool first = true;
    PrintJsonFields(info.fields, "    ", os, first);
    os << (first ? "" : ",") << "\n    \"Channels\": [";
    for (std::size_t i = 0; i < info.channels.size(); ++i) {
        os << (i ? ", {" : "{");
        bool firstOfChannel = false;
        os << "\n      \"Channel\": " << i + 1;
        PrintJsonFields(info.channels[i], "      ", os, firstOfChannel);
        os << "\n    }";
    }
    os << "]\n  }";
}

}  // namespace

int InfoCommand(const std::vector<std::string>& args, CliIo& io) {
    bool json = false;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "--") {
            files.insert(files.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            io.err << "kmr info: " << io.Text(txt::CliUnknownOption) << args[i] << "\n";
            return 2;
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.empty()) {
        io.err << io.Text(txt::CliUsagePrefix) << "kmr info " << kInfoUsage << "\n";
        return 2;
    }
    CliUiPort ui(io.err, io.language);
    int rc = 0;
    bool first = true;
    if (json) io.out << "[";
    for (const std::string& path : files) {
        FileHandle f;
        if (const int err = MissingOrFolder(path); err != 0 || !f.Open(path, FileHandle::Mode::ReadOnly)) {
            ui.ShowMessage(PlainFileProblem(io.language, err != 0 ? err : f.error(), path), ui.Text(txt::ErrorTitle),
                           MsgIcon::Critical, MsgButtons::Ok);
            rc = 1;
            continue;
        }
        const std::int64_t size = f.Size();
        Bytes header(static_cast<std::size_t>(std::clamp<std::int64_t>(size, 0, kDataHeaderBytes)));
        if (size < 0 || (!header.empty() && !f.ReadAt(0, header.data(), header.size()) && f.error() != 0)) {
            RunStatus st = RunStatus::Ok;
            ReportFileError(f.error(), path, ui, st);
            rc = 1;
            continue;
        }
        const HeaderCheck h = CheckDataFileHeader(io.language, header, static_cast<std::uint64_t>(size), true);
        if (!h.ok) {
            ui.ShowMessage(ui.Text(h.refusalHeading) + "\n" + path + "\n" + h.problem, ui.Text(txt::ErrorTitle),
                           MsgIcon::Critical, MsgButtons::Ok);
            rc = 1;
            continue;
        }
        const FileInfo info = Describe(path, h, io.language);
        if (json) {
            io.out << (first ? "\n" : ",\n");
            PrintJson(info, io.out);
        } else {
            if (!first) io.out << "\n";
            PrintText(info, io.out);
        }
        first = false;
        if (!h.sizeWarning.empty()) io.err << path << ": " << h.sizeWarning << "\n";
        if (!h.complete) {
            // An incomplete file: which channels it holds whole, and how to convert them.
            io.err << path << ": " << io.Text(txt::CliRecordingIncomplete) << " "
                   << (h.wholeChannels.empty()
                           ? io.Text(txt::NoWholeChannel)
                           : TextWith(io.language, txt::WholeChannelsHint, {ChannelList(h.wholeChannels, ", ")}))
                   << "\n";
        }
    }
    if (json) io.out << (first ? "]\n" : "\n]\n");
    return rc;
}

}  // namespace kmr::cli
