// kmr convert: data files to CSV under the conversion tool's naming, with its checks and its
// batch rule (a cancelled or refused file stops the rest of the batch).
#include <filesystem>
#include <ostream>

#include "cli/Cli.h"
#include "core/datafiles/Conversion.h"
#include "core/support/TextTable.h"

namespace kmr::cli {

namespace {

class NoListView : public ConversionView {
public:
    void UncheckDataFile(std::size_t) override {}
};

std::string FolderOf(const std::filesystem::path& p) {
    const std::string folder = p.parent_path().string();
    if (folder.empty()) return "./";
    return folder.back() == '/' ? folder : folder + "/";
}

}  // namespace

int ConvertCommand(const std::vector<std::string>& args, CliIo& io) {
    std::string outDir;
    bool haveOut = false;
    bool wholeChannels = false;  // cancelled files too: their whole channels
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--out" || a == "-o") {
            if (i + 1 >= args.size()) {
                io.err << "kmr convert: " << io.Text(2005) << "\n";
                return 2;
            }
            outDir = args[++i];
            haveOut = true;
        } else if (a == "--whole-channels") {
            wholeChannels = true;
        } else if (a.rfind("--out=", 0) == 0) {
            outDir = a.substr(6);
            haveOut = true;
        } else if (a == "--") {
            files.insert(files.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            io.err << "kmr convert: " << io.Text(2006) << a << "\n";
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) {
        io.err << "Usage: kmr convert [--out DIR] [--whole-channels] FILE.kmr...\n";
        return 2;
    }
    std::error_code ec;
    if (haveOut && !std::filesystem::is_directory(outDir, ec)) {
        io.err << "kmr convert: " << io.Text(2007) << outDir
               << "\n";
        return 1;
    }
    if (haveOut && outDir.back() != '/') outDir += '/';

    std::vector<ConversionItem> items;
    for (const std::string& f : files) {
        const std::filesystem::path p(f);
        const auto bytes = std::filesystem::file_size(p, ec);
        items.push_back({f, haveOut ? outDir : FolderOf(p), CsvNameForDataFile(p.filename().string()),
                         ec ? 1.0 : static_cast<double>(SizeInKB(bytes)), wholeChannels});
    }

    CliUiPort ui(io.err, io.language);
    TerminalProgressView progress(io.err, io.errIsTerminal);
    ui.beforeMessage = [&progress] { progress.BreakLine(); };
    NoListView list;
    SystemDrivePort drive;
    ConversionPorts ports{ui, progress, list, drive};
    RunStatus status = RunStatus::Ok;
    const ConversionOutcome outcome = ConvertItems(items, false, ports, status);
    if (!outcome.started) return 1;
    int converted = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (outcome.converted[i]) {
            ++converted;
            // The files written: the name asked for, or its lettered parts.
            for (const std::string& csv : outcome.csvFiles[i]) io.out << items[i].dataPath << " -> " << csv << "\n";
        } else {
            io.err << items[i].dataPath << ": " << io.Text(2008) << "\n";
        }
    }
    if (status == RunStatus::Cancelled && ui.messages() == 0)
        io.err << "kmr convert: " << io.Text(2009) << "\n";
    return outcome.AllConverted() ? 0 : 1;
}

}  // namespace kmr::cli
