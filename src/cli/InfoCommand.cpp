// kmr info: the header of data files, one "Name: value" line per field.
#include <filesystem>
#include <fstream>
#include <ostream>

#include "cli/Cli.h"
#include "core/datafiles/DataFile.h"
#include "core/datafiles/FileIo.h"
#include "core/support/Numbers.h"
#include "core/support/TextTable.h"
#include "core/support/Vocabulary.h"

namespace kmr::cli {

namespace {

std::string Named(long long code, const std::vector<std::string>& names) {
    std::string s = std::to_string(code);
    if (code >= 0 && static_cast<std::size_t>(code) < names.size()) s += " (" + names[static_cast<std::size_t>(code)] + ")";
    return s;
}

// "2,5" (or "2, 5"); empty for none.
std::string ChannelList(const std::vector<int>& channels, const char* separator) {
    std::string s;
    for (int ch : channels) s += (s.empty() ? "" : separator) + std::to_string(ch);
    return s;
}

void PrintHeader(const std::string& path, const HeaderCheck& h, Language lang, std::ostream& os) {
    const FileConditions& fc = h.conditions;
    os << "File: " << path << "\n";
    os << "Size: " << h.actualSize << "\n";
    os << "ExpectedSize: " << h.expectedSize << "\n";
    os << "Signature: " << h.signature << "\n";
    os << "Complete: " << (h.complete ? "yes" : "no") << "\n";
    os << "WholeChannels: " << ChannelList(h.wholeChannels, ",") << "\n";
    os << "TriggerTime: " << fc.TriggerTime << "\n";
    os << "TrgMode: " << Named(fc.TrgMode, TriggerModeNames(lang)) << "\n";
    os << "SmpClk: " << FormatFloat(fc.SmpClk) << "\n";
    os << "MemoryWords: " << fc.MemoryWords << "\n";
    os << "PreMemoryWords: " << fc.PreMemoryWords << "\n";
    os << "WordsConverted: " << fc.WordsConverted << "\n";
    os << "Averaging: " << Named(fc.Averaging, AveragingNames()) << "\n";
    os << "ChannelCount: " << fc.ChannelCount << "\n";
    const auto& units = UnitNames(LanguageOfUserLanguageId(UserLanguageId(lang)));
    for (int ch = 1; ch <= kChannels; ++ch) {
        const auto& c = fc.Ch(ch);
        const std::string p = std::string("CH") + (ch < 10 ? "0" : "") + std::to_string(ch) + ".";
        os << p << "OnOff: " << c.OnOff << "\n";
        os << p << "InputMode: " << c.InputMode << " (" << InputModeName(c.InputMode) << ")\n";
        os << p << "Lpf: " << Named(c.Lpf, FilterNames()) << "\n";
        os << p << "Coeff: " << FormatFloat(c.Coeff) << "\n";
        os << p << "Point: " << c.Point << "\n";
        os << p << "Unit: " << Named(c.Unit, units) << "\n";
        os << p << "DtgOnOff: " << c.DtgOnOff << "\n";
        os << p << "DtgLevel: " << FormatFloat(c.DtgLevel) << "\n";
        os << p << "Offset: " << FormatFloat(c.Offset) << "\n";
    }
}

}  // namespace

int InfoCommand(const std::vector<std::string>& args, CliIo& io) {
    if (args.empty()) {
        io.err << "Usage: kmr info FILE.kmr...\n";
        return 2;
    }
    CliUiPort ui(io.err, io.language);
    int rc = 0;
    bool first = true;
    for (const std::string& path : args) {
        FileHandle f;
        if (!f.Open(path, FileHandle::Mode::ReadOnly)) {
            RunStatus st = RunStatus::Ok;
            ReportFileError(f.error(), path, ui, st);
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
            ui.ShowMessage(ui.Text(113) + "\n" + path + "\n" + h.problem, ui.Text(107), MsgIcon::Critical, MsgButtons::Ok);
            rc = 1;
            continue;
        }
        if (!first) io.out << "\n";
        first = false;
        PrintHeader(path, h, io.language, io.out);
        if (!h.sizeWarning.empty()) io.err << path << ": " << h.sizeWarning << "\n";
        if (!h.complete) {
            // An incomplete file: which channels it holds whole, and how to convert them.
            io.err << path << ": " << io.Text(2010) << " "
                   << (h.wholeChannels.empty() ? io.Text(2511)
                                               : TextWith(io.language, 2510, {ChannelList(h.wholeChannels, ", ")}))
                   << "\n";
        }
    }
    return rc;
}

}  // namespace kmr::cli
