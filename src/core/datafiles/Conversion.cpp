#include "core/datafiles/Conversion.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>
#include <utility>

#include "core/datafiles/DataFileNaming.h"
#include "core/datafiles/FileIo.h"
#include "core/datafiles/Hdf5Export.h"
#include "core/datafiles/StoredRecord.h"
#include "core/support/Numbers.h"
#include "core/support/SpecialFolders.h"
#include "core/support/TextTable.h"

namespace kmr {

namespace {

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && ToLowerAscii(s.substr(s.size() - tail.size())) == ToLowerAscii(tail);
}

void SettingError(UiPort& ui, int textId) {
    ui.ShowMessage(ui.Text(textId), ui.Text(txt::SettingErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
}

std::uint64_t FileBytes(const std::string& path) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(PathFromUtf8(path), ec);
    return ec ? 0 : static_cast<std::uint64_t>(n);
}

// The samples of a checked data file, read where its blocks lie: the k-th channel written is the
// file's block blocks[k]. The header check guaranteed that the file holds them; a file that
// shrank since gives -1, reported as an input/output error.
class DataFileSamples final : public CsvSampleSource {
public:
    DataFileSamples(const FileHandle& file, std::string path, std::int32_t wordsConverted, std::vector<int> blocks)
        : file_(file), path_(std::move(path)), n_(wordsConverted), blocks_(std::move(blocks)) {}
    int Read(int k, std::int32_t first, std::int32_t count, std::int16_t* dest) const override {
        const int block = blocks_[static_cast<std::size_t>(k)];
        const std::int64_t at = ChannelBlockOffset(n_, block) + std::int64_t{2} * first;
        const int rc = file_.ReadAtShared(at, dest, static_cast<std::size_t>(count) * sizeof(std::int16_t));
        if (rc == 0) SampleWordsToHost(dest, static_cast<std::size_t>(count));
        return rc;
    }
    const std::string& Name() const override { return path_; }

private:
    const FileHandle& file_;
    std::string path_;
    std::int32_t n_;
    std::vector<int> blocks_;
};

}  // namespace

std::int64_t SystemDrivePort::FreeBytes(const std::string& folder) {
    std::error_code ec;
    // A missing folder has no free space to speak of (Windows would answer for its drive).
    if (!std::filesystem::is_directory(PathFromUtf8(folder), ec)) return -1;
    const auto info = std::filesystem::space(PathFromUtf8(folder), ec);
    if (ec || info.available == static_cast<std::uintmax_t>(-1)) return -1;
    return static_cast<std::int64_t>(std::min<std::uintmax_t>(info.available, INT64_MAX));
}

bool SystemDrivePort::WriteTest(const std::string& folder) { return ProbeWritableFolder(folder); }

bool ConversionOutcome::AllConverted() const {
    if (!started) return false;
    for (bool c : converted)
        if (!c) return false;
    return true;
}

bool CheckCsvDrive(const std::string& csvFolder, DrivePort& drive, UiPort& ui) {
    const std::int64_t free = drive.FreeBytes(csvFolder);
    if (free < 0) {
        ui.ShowMessage(ui.Text(txt::DriveMediaAbnormal), ui.Text(txt::CheckTitle), MsgIcon::Exclamation,
                       MsgButtons::Ok);
        return false;
    }
    if (free < kLeastCsvDriveBytes) {
        ui.ShowMessage(ui.Text(txt::DriveNeedsOneMegabyte), ui.Text(txt::CheckTitle), MsgIcon::Exclamation,
                       MsgButtons::Ok);
        return false;
    }
    return true;
}

std::int16_t ConversionStepCount(std::int32_t wordsConverted, std::int32_t channelCount, const Progress& p) {
    const double per = p.ProgressIncrement != 0 ? static_cast<double>(p.TransferBlockWords) / p.ProgressIncrement : 1.0;
    const double n = wordsConverted, k = channelCount;
    const double steps = RoundHalfEven(n / per + 2.0 * k * n / per + 1.0);
    return static_cast<std::int16_t>(std::clamp(steps, 1.0, 32767.0));
}

const char* ExportExtension(ExportFormat format) { return format == ExportFormat::Hdf5 ? kHdf5Extension : ".csv"; }

bool ConvertDataFile(const std::string& dataPath, const std::string& csvFolder, const std::string& csvName,
                     Progress& progress, ProgressView& view, UiPort& ui, RunStatus& status,
                     CsvFileWriter* files, std::vector<std::string>* written) {
    return ConvertDataFile(dataPath, csvFolder, csvName, ConversionOptions{}, progress, view, ui, status, files,
                           written);
}

bool ConvertDataFile(const std::string& dataPath, const std::string& csvFolder, const std::string& csvName,
                     const ConversionOptions& options, Progress& progress, ProgressView& view, UiPort& ui,
                     RunStatus& status, CsvFileWriter* files, std::vector<std::string>* written,
                     FileWritePort* writes) {
    progress.ProgressStep = 0;
    progress.ProgressCounter = 0;
    progress.TransferBlockWords = 10000;
    // A file gone since it was listed (or checked on a disk since unplugged) is said as such, not
    // as a system error number.
    if (const int err = MissingOrFolder(dataPath)) {
        ui.ShowMessage(PlainFileProblem(ui.language, err, dataPath), ui.Text(txt::ErrorTitle), MsgIcon::Critical,
                       MsgButtons::Ok);
        status = RunStatus::Cancelled;
        return false;
    }
    FileConditions fc;
    std::string sizeWarning;
    if (options.wholeChannels)
        ReadWholeChannelsHeader(dataPath, fc, ui, status, &sizeWarning);
    else
        ReadDataFileHeader(dataPath, fc, ui, status, &sizeWarning, options.incompleteFileAdvice);
    if (status == RunStatus::Cancelled) return false;
    // A file of another length than its header implies is converted after a word of caution.
    if (!sizeWarning.empty())
        ui.ShowMessage(dataPath + "\n" + sizeWarning, ui.Text(txt::CautionTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    const ResolvedSubset chosen = ResolveSubset(fc, options.subset, ui.language);
    if (!chosen.ok) {
        ui.ShowMessage(dataPath + "\n" + chosen.problem, ui.Text(txt::ErrorTitle), MsgIcon::Critical, MsgButtons::Ok);
        status = RunStatus::Cancelled;
        return false;
    }
    const double sizeKB = static_cast<double>(SizeInKB(FileBytes(dataPath)));
    progress.CurrentVol = sizeKB;
    if (options.format == ExportFormat::Hdf5) {
        progress.MaxPBCount = static_cast<std::int16_t>(std::clamp(Hdf5StepCount(chosen), 1, 32767));
        const std::string path = csvFolder + csvName;
        const Hdf5ExportOptions h5{options.compress, options.model, writes};
        if (!WriteHdf5File(dataPath, fc, chosen, path, h5, progress, view, ui, status)) return false;
        if (written) *written = {path};
        progress.FinishedVol += sizeKB;
        view.SetPercent(progress.PercentOf(0));
        return true;
    }
    const std::int32_t wordsWritten = chosen.samples.count;
    progress.MaxPBCount = ConversionStepCount(wordsWritten, chosen.conditions.ChannelCount, progress);

    // Every channel of the file is at hand, so the CSV lines are written whole, part after part,
    // reading the samples of a stretch of lines at a time. The progress counts the same steps as
    // reading one channel after the other.
    const int channelCount = chosen.conditions.ChannelCount;  // the channels written
    FileHandle file;
    if (!file.Open(dataPath, FileHandle::Mode::ReadOnly)) {
        ReportFileError(file.error(), dataPath, ui, status);
        return false;
    }
    for (int k = 0; k < channelCount; ++k) {
        progress.Advance(view, status);
        if (status == RunStatus::Cancelled) return false;
    }
    const DataFileSamples source(file, dataPath, fc.WordsConverted, chosen.blocks);
    CsvContext ctx{ui, status, progress, view, files, written};
    if (!WriteCsvFiles(csvFolder, csvName, chosen.conditions, source, ctx, chosen.samples.first, wordsWritten) ||
        status == RunStatus::Cancelled)
        return false;
    // The step count expected for a file is larger than the steps taken (its reading of every
    // channel is counted twice), so the bar is brought to where the finished files put it.
    progress.FinishedVol += sizeKB;
    view.SetPercent(progress.PercentOf(0));
    return true;
}

ConversionOutcome Convert(const ConversionRequest& request, ConversionPorts& ports, RunStatus& status) {
    UiPort& ui = ports.ui;
    status = RunStatus::Ok;
    const Pointer before = ui.GetPointer();
    ui.SetPointer(Pointer::Hourglass);
    struct RestorePointer {
        UiPort& ui;
        Pointer p;
        ~RestorePointer() { ui.SetPointer(p); }
    } restore{ui, before};

    const std::size_t count = request.checkedNames.size();
    if (count == 0 || (count == 1 && request.checkedNames[0] == "*.kmr")) {
        SettingError(ui, txt::NoDataFileName);
        return {};
    }
    const std::string dataFolder = WithTrailingSeparator(request.dataFolder);
    const std::string csvFolder = WithTrailingSeparator(request.csvFolder);
    std::vector<ConversionItem> items;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& name = request.checkedNames[i];
        items.push_back({dataFolder + name, csvFolder,
                         count == 1 ? AcceptCsvName(request.csvName) : CsvNameForDataFile(name),
                         i < request.checkedSizesKB.size() ? request.checkedSizesKB[i] : 1.0});
    }
    return ConvertItems(items, count == 1, ports, status);
}

ConversionOutcome ConvertItems(const std::vector<ConversionItem>& items, bool typedName, ConversionPorts& ports,
                               RunStatus& status) {
    return ConvertItems(items, typedName, ports, status, ConversionOptions{});
}

ConversionOutcome ConvertItems(const std::vector<ConversionItem>& items, bool typedName, ConversionPorts& ports,
                               RunStatus& status, const ConversionOptions& options) {
    ConversionOutcome outcome;
    const bool hdf5 = options.format == ExportFormat::Hdf5;
    const std::string extension = ExportExtension(options.format);
    UiPort& ui = ports.ui;
    std::vector<std::string> folders;
    for (const auto& item : items)
        if (std::find(folders.begin(), folders.end(), item.csvFolder) == folders.end()) folders.push_back(item.csvFolder);

    for (const auto& folder : folders)
        if (!CheckCsvDrive(folder, ports.drive, ui)) return outcome;

    // Names: nothing is converted when one of them is improper or already taken.
    std::vector<std::string> stems;
    for (const auto& item : items) {
        const std::string& name = item.csvName;
        if (typedName && (name.empty() || name == "*" + extension || name.size() <= extension.size() ||
                          IsImproperFileName(name))) {
            // The box shows "*.csv" by now: what was typed is gone, so the rule is said.
            ui.ShowMessage(ui.Text(txt::ImproperFileName) + "\n" + ui.Text(txt::CsvNameRule),
                           ui.Text(txt::SettingErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
            return outcome;
        }
        const std::string stem = name.substr(0, name.size() >= extension.size() ? name.size() - extension.size() : 0);
        const std::string key = ToLowerAscii(item.csvFolder + stem);
        // Two files of the batch would write one name: the same, or one's lettered part (a CSV of
        // more lines than a file holds is written in parts _A, _B, ...).
        const auto clash = [&](const std::string& other) {
            const auto partOf = [](const std::string& part, const std::string& whole) {
                return part.size() == whole.size() + 2 && part.compare(0, whole.size(), whole) == 0 &&
                       part[whole.size()] == '_' && part.back() >= 'a' && part.back() <= 'h';
            };
            return other == key || (!hdf5 && (partOf(other, key) || partOf(key, other)));
        };
        const bool twice = std::any_of(stems.begin(), stems.end(), clash);
        // A folder of the name counts here: the file written would not take its name at the end.
        // The name as typed counts too: "X.CSV" is not "X.csv" where letter case matters.
        std::string taken = NameHeld(item.csvFolder + name) ? item.csvFolder + name : std::string();
        if (taken.empty() && !hdf5) taken = FirstBaseOrLettered(item.csvFolder, stem, extension, /*foldersTake=*/true);
        if (twice || !taken.empty()) {
            // The file in the way when there is one.
            ui.ShowMessage(ui.Text(txt::FileNameMayOverlap) + "\n" + (taken.empty() ? item.csvFolder + name : taken),
                           ui.Text(txt::SettingErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
            return outcome;
        }
        stems.push_back(key);
    }

    for (const auto& folder : folders) {
        while (!ports.drive.WriteTest(folder)) {
            const std::string text = ui.Text(txt::DriveWord) + " '" + folder + "' " + ui.Text(txt::CannotWrite) + " " +
                                     ui.Text(txt::RetryQuestion);
            if (ui.ShowMessage(text, ui.Text(txt::ErrorTitle), MsgIcon::Question, MsgButtons::RetryCancel) !=
                MsgAnswer::Retry)
                return outcome;
        }
    }

    outcome.started = true;
    outcome.converted.assign(items.size(), false);
    outcome.csvFiles.resize(items.size());
    Progress progress;
    progress.AllVol = 0;
    for (const auto& item : items) progress.AllVol += item.sizeKB;
    if (progress.AllVol <= 0) progress.AllVol = 1.0;
    ports.progressView.Show(ui.Text(txt::ConvertingFile), ui.Text(txt::WaitAMinute));
    for (std::size_t i = 0; i < items.size(); ++i) {
        // A refused file or a cancel stops the batch: the files after it are not read (each
        // damaged one would otherwise bring a message of its own) and stay ticked.
        if (status == RunStatus::Cancelled) break;
        outcome.converted[i] = ConvertDataFile(items[i].dataPath, items[i].csvFolder, items[i].csvName, options,
                                               progress, ports.progressView, ui, status, ports.files,
                                               &outcome.csvFiles[i], ports.writes);
        // Only a file converted whole is unchecked: the others stay ticked for another go.
        if (outcome.converted[i]) ports.view.UncheckDataFile(i);
        ports.view.RefreshCsvList();
    }
    ports.progressView.Close();
    return outcome;
}

// --- Small rules of the conversion window ------------------------------------------------------------

std::int64_t SizeInKB(std::uint64_t bytes) {
    return static_cast<std::int64_t>(bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0));
}

std::string DataFileStem(const std::string& dataFileName) {
    return EndsWithNoCase(dataFileName, ".kmr") ? dataFileName.substr(0, dataFileName.size() - 4) : dataFileName;
}

std::string CsvNameForDataFile(const std::string& dataFileName) { return DataFileStem(dataFileName) + ".csv"; }

CsvNameBox CsvNameBoxForChecked(const std::vector<std::string>& checkedNames) {
    if (checkedNames.size() != 1) return {"*.csv", false};
    const std::string& name = checkedNames[0];
    if (!EndsWithNoCase(name, ".kmr")) return {"", true};
    return {WithProperCharacters(name.substr(0, name.size() - 4)) + ".csv", true};
}

std::string AcceptCsvName(const std::string& typed) {
    std::string name = TrimCopy(typed);
    if (IsImproperFileName(name)) return "*.csv";
    if (!EndsWithNoCase(name, ".csv")) name += ".csv";
    return name;
}

}  // namespace kmr
