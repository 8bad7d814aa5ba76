// kmr convert: data files to CSV (or HDF5) under the conversion tool's naming, with its checks
// and its batch rule (a cancelled or refused file stops the rest of the batch). --channels,
// --from and --to convert a part of each file (Subset.h); a part that does not fit a file is a
// usage error found before anything is written.
#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>

#include "cli/Cli.h"
#include "core/datafiles/Conversion.h"
#include "core/datafiles/Hdf5Export.h"
#include "core/datafiles/StoredRecord.h"
#include "core/support/Numbers.h"
#include "core/support/SpecialFolders.h"
#include "core/support/TextTable.h"

namespace kmr::cli {

namespace {

class NoListView : public ConversionView {
public:
    void UncheckDataFile(std::size_t) override {}
};

// The folder part of a file named on the command line (UTF-8), with its separator.
std::string FolderOf(const std::string& file) {
    const std::string folder = file.substr(0, file.size() - FileNameOf(file).size());
    return folder.empty() ? "./" : folder;
}

}  // namespace

int ConvertCommand(const std::vector<std::string>& args, CliIo& io) {
    std::string outDir;
    bool haveOut = false;
    std::vector<std::string> files;
    ConversionOptions options;
    // A refused cancelled file is followed below by its whole channels and the option that converts
    // them, not by the window's menu items.
    options.incompleteFileAdvice = 0;
    std::string format = "csv";
    // An option's value: after "=" or the next argument.
    auto value = [&](std::size_t& i, const std::string& name, std::string& v) -> int {
        const std::string& a = args[i];
        if (a.size() > name.size() && a.compare(0, name.size() + 1, name + "=") == 0) {
            v = a.substr(name.size() + 1);
            return 1;
        }
        if (a != name) return 0;
        if (i + 1 >= args.size()) {
            io.err << "kmr convert: " << TextWith(io.language, txt::CliNeedsValue, {name}) << "\n";
            return -1;
        }
        v = args[++i];
        return 1;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string v;
        int got = 0;
        if (a == "--out" || a == "-o") {
            if (i + 1 >= args.size()) {
                io.err << "kmr convert: " << io.Text(txt::CliOutNeedsFolder) << "\n";
                return 2;
            }
            outDir = args[++i];
            haveOut = true;
        } else if (a == "--whole-channels") {
            options.wholeChannels = true;  // cancelled files too: their whole channels
        } else if (a.rfind("--out=", 0) == 0) {
            outDir = a.substr(6);
            haveOut = true;
        } else if ((got = value(i, "--format", v)) < 0) {
            return 2;  // said by value()
        } else if (got > 0) {
            if (v != "csv" && v != "hdf5") {
                io.err << "kmr convert: " << io.Text(txt::CliBadFormat) << v << "\n";
                return 2;
            }
            format = v;
        } else if ((got = value(i, "--channels", v)) < 0) {
            return 2;
        } else if (got > 0) {
            const auto list = ParseChannelList(v);
            if (!list) {
                io.err << "kmr convert: " << io.Text(txt::CliBadChannels) << v << "\n";
                return 2;
            }
            options.subset.channels = *list;
        } else if ((got = value(i, "--from", v)) != 0 || (got = value(i, "--to", v)) != 0) {
            if (got < 0) return 2;
            const bool from = a.rfind("--from", 0) == 0;
            // A finite decimal number (not hexadecimal), read the same in every locale.
            const auto seconds = ParseNumber(v);
            if (!seconds) {
                io.err << "kmr convert: " << (from ? "--from" : "--to") << io.Text(txt::CliNeedsSeconds) << v << "\n";
                return 2;
            }
            (from ? options.subset.fromSeconds : options.subset.toSeconds) = *seconds;
        } else if (a == "--compress") {
            options.compress = true;
        } else if (a == "--") {
            files.insert(files.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            io.err << "kmr convert: " << io.Text(txt::CliUnknownOption) << a << "\n";
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) {
        io.err << io.Text(txt::CliUsagePrefix) << "kmr convert " << kConvertUsage << "\n";
        return 2;
    }
    options.format = format == "hdf5" ? ExportFormat::Hdf5 : ExportFormat::Csv;
    if (options.compress && options.format != ExportFormat::Hdf5) {
        io.err << "kmr convert: " << io.Text(txt::CliCompressNeedsHdf5) << "\n";
        return 2;
    }
    if (options.format == ExportFormat::Hdf5 && !Hdf5ExportAvailable()) {
        io.err << "kmr convert: " << io.Text(txt::Hdf5Unavailable) << "\n";
        return 1;
    }
    // A file gone or a folder named is said plainly, and nothing is written.
    for (const std::string& f : files)
        if (const int err = MissingOrFolder(f)) {
            io.err << "kmr convert: " << PlainFileProblem(io.language, err, f) << "\n";
            return 1;
        }
    // A part that does not fit one of the files: nothing is written.
    for (const std::string& f : files) {
        const std::string problem = SubsetProblemForFile(f, options.subset, io.language, options.wholeChannels);
        if (!problem.empty()) {
            io.err << "kmr convert: " << f << ": " << problem << "\n";
            return 2;
        }
    }
    std::error_code ec;
    if (haveOut && !std::filesystem::is_directory(PathFromUtf8(outDir), ec)) {
        // A file named where the folder should be is said as such.
        if (std::filesystem::exists(PathFromUtf8(outDir), ec))
            io.err << "kmr convert: " << TextWith(io.language, txt::CliOutIsAFile, {outDir}) << "\n";
        else
            io.err << "kmr convert: " << io.Text(txt::CliNoOutputFolder) << outDir << "\n";
        return 1;
    }
    if (haveOut) outDir = WithTrailingSeparator(outDir);

    std::vector<ConversionItem> items;
    for (const std::string& f : files) {
        const auto bytes = std::filesystem::file_size(PathFromUtf8(f), ec);
        const std::string name = FileNameOf(f);
        items.push_back({f, haveOut ? outDir : FolderOf(f),
                         DataFileStem(name) + ExportExtension(options.format),
                         ec ? 1.0 : static_cast<double>(SizeInKB(bytes))});
    }

    SystemDrivePort drive;
    // A folder that cannot be written (a read-only medium or share) is said with what to do: the
    // window's Retry cannot be answered here.
    std::vector<std::string> tested;
    for (const ConversionItem& item : items) {
        if (std::find(tested.begin(), tested.end(), item.csvFolder) != tested.end()) continue;
        tested.push_back(item.csvFolder);
        if (!drive.WriteTest(item.csvFolder)) {
            io.err << "kmr convert: " << TextWith(io.language, txt::CliFolderNotWritable, {item.csvFolder}) << "\n";
            return 1;
        }
    }

    CliUiPort ui(io.err, io.language);
    TerminalProgressView progress(io.err, io.errIsTerminal);
    ui.beforeMessage = [&progress] { progress.BreakLine(); };
    NoListView list;
    ConversionPorts ports{ui, progress, list, drive};
    RunStatus status = RunStatus::Ok;
    const ConversionOutcome outcome = ConvertItems(items, false, ports, status, options);
    if (!outcome.started) return 1;
    int converted = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (outcome.converted[i]) {
            ++converted;
            // The files written: the name asked for, or its lettered parts.
            for (const std::string& csv : outcome.csvFiles[i]) io.out << items[i].dataPath << " -> " << csv << "\n";
        } else {
            io.err << items[i].dataPath << ": " << io.Text(txt::CliNotConverted) << "\n";
            // A cancelled or broken-off recording: what it does hold, and how to convert that.
            if (!options.wholeChannels) {
                const StoredRecordCheck record = CheckStoredRecord(items[i].dataPath, io.language);
                if (record.ok && !record.complete)
                    io.err << items[i].dataPath << ": "
                           << TextWith(io.language, txt::WholeChannelsHint,
                                       {ChannelList(record.wholeChannels, io.language)})
                           << "\n";
            }
        }
    }
    if (status == RunStatus::Cancelled && ui.messages() == 0)
        io.err << "kmr convert: " << io.Text(txt::CliCancelled) << "\n";
    return outcome.AllConverted() ? 0 : 1;
}

}  // namespace kmr::cli
