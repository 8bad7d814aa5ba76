#include "core/datafiles/Conversion.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "core/datafiles/DataFileNaming.h"
#include "core/datafiles/FileIo.h"
#include "core/support/Numbers.h"
#include "core/support/TextTable.h"

namespace kmr {

namespace {

std::string WithSeparator(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && ToLowerAscii(s.substr(s.size() - tail.size())) == ToLowerAscii(tail);
}

void SettingError(UiPort& ui, int textId) {
    ui.ShowMessage(Text(textId), Text(156), MsgIcon::Exclamation, MsgButtons::Ok);
}

std::uint64_t FileBytes(const std::string& path) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(path, ec);
    return ec ? 0 : static_cast<std::uint64_t>(n);
}

// The CSV name of checked file i: the typed name for a single file, else from the data file.
std::string CsvNameOf(const ConversionRequest& r, std::size_t i) {
    return r.checkedNames.size() == 1 ? AcceptCsvName(r.csvName) : CsvNameForDataFile(r.checkedNames[i]);
}

}  // namespace

std::int64_t SystemDrivePort::FreeBytes(const std::string& folder) {
    std::error_code ec;
    const auto info = std::filesystem::space(folder, ec);
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
        ui.ShowMessage(Text(130), Text(114), MsgIcon::Exclamation, MsgButtons::Ok);
        return false;
    }
    if (free < kLeastCsvDriveBytes) {
        ui.ShowMessage(Text(131), Text(114), MsgIcon::Exclamation, MsgButtons::Ok);
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

bool ConvertDataFile(const std::string& dataPath, const std::string& csvFolder, const std::string& csvName,
                     Progress& progress, ProgressView& view, UiPort& ui, RunStatus& status) {
    progress.ProgressStep = 0;
    progress.ProgressCounter = 0;
    progress.TransferBlockWords = 10000;
    FileConditions fc;
    ReadDataFileHeader(dataPath, fc, ui, status);
    if (status == RunStatus::Cancelled) return false;
    const double sizeKB = static_cast<double>(SizeInKB(FileBytes(dataPath)));
    progress.MaxPBCount = ConversionStepCount(fc.WordsConverted, fc.ChannelCount, progress);
    progress.CurrentVol = sizeKB;

    // Every channel of the file is at hand, so the CSV lines are written whole, part after part;
    // the progress counts the same steps as reading and writing one channel after the other.
    std::vector<SampleBuffer> channels;
    int k = 0;
    for (int ch = 1; ch <= kChannels; ++ch) {
        if (fc.Ch(ch).OnOff != 1) continue;
        channels.emplace_back();
        if (!ReadChannelBlock(dataPath, ChannelBlockOffset(fc.WordsConverted, k), fc, channels.back(), ui, status))
            return false;
        progress.Advance(view, status);
        if (status == RunStatus::Cancelled) return false;
        ++k;
    }
    CsvContext ctx{ui, status, progress, view};
    if (!WriteCsvFiles(csvFolder, csvName, fc, channels, ctx) || status == RunStatus::Cancelled) return false;
    progress.FinishedVol += sizeKB;
    return true;
}

ConversionOutcome Convert(const ConversionRequest& request, ConversionPorts& ports, RunStatus& status) {
    ConversionOutcome outcome;
    UiPort& ui = ports.ui;
    status = RunStatus::Ok;
    const Pointer before = ui.GetPointer();
    ui.SetPointer(Pointer::Hourglass);
    struct RestorePointer {
        UiPort& ui;
        Pointer p;
        ~RestorePointer() { ui.SetPointer(p); }
    } restore{ui, before};

    ConversionRequest r = request;
    r.dataFolder = WithSeparator(r.dataFolder);
    r.csvFolder = WithSeparator(r.csvFolder);
    const std::size_t count = r.checkedNames.size();
    if (count == 0 || (count == 1 && r.checkedNames[0] == "*.kmr")) {
        SettingError(ui, 119);
        return outcome;
    }
    if (!CheckCsvDrive(r.csvFolder, ports.drive, ui)) return outcome;

    // Names: nothing is converted when one of them is improper or already taken.
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = CsvNameOf(r, i);
        if (count == 1 && (name.empty() || name == "*.csv" || IsImproperFileName(name) || name.size() <= 4)) {
            SettingError(ui, 140);
            return outcome;
        }
        if (BaseOrLetteredExists(r.csvFolder, name.substr(0, name.size() - 4), ".csv")) {
            SettingError(ui, 141);
            return outcome;
        }
    }

    while (!ports.drive.WriteTest(r.csvFolder)) {
        const std::string text = Text(128) + " '" + r.csvFolder + "' " + Text(132) + " " + Text(154);
        if (ui.ShowMessage(text, Text(107), MsgIcon::Question, MsgButtons::RetryCancel) != MsgAnswer::Retry)
            return outcome;
    }

    outcome.started = true;
    outcome.converted.assign(count, false);
    Progress progress;
    progress.AllVol = 0;
    for (std::size_t i = 0; i < count; ++i)
        progress.AllVol += i < r.checkedSizesKB.size() ? r.checkedSizesKB[i] : 1.0;
    if (progress.AllVol <= 0) progress.AllVol = 1.0;
    ports.progressView.Show(Text(139), Text(112));
    for (std::size_t i = 0; i < count; ++i) {
        outcome.converted[i] = ConvertDataFile(r.dataFolder + r.checkedNames[i], r.csvFolder, CsvNameOf(r, i),
                                               progress, ports.progressView, ui, status);
        ports.view.UncheckDataFile(i);
        ports.view.RefreshCsvList();
    }
    ports.progressView.Close();
    return outcome;
}

// --- Small rules of the conversion window ------------------------------------------------------------

std::int64_t SizeInKB(std::uint64_t bytes) {
    return static_cast<std::int64_t>(bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0));
}

std::string CsvNameForDataFile(const std::string& dataFileName) {
    return dataFileName.substr(0, dataFileName.size() >= 4 ? dataFileName.size() - 4 : 0) + ".csv";
}

CsvNameBox CsvNameBoxForChecked(const std::vector<std::string>& checkedNames) {
    if (checkedNames.size() != 1) return {"*.csv", false};
    const std::string& name = checkedNames[0];
    if (!EndsWithNoCase(name, ".kmr")) return {"", true};
    return {name.substr(0, name.size() - 4) + ".csv", true};
}

std::string AcceptCsvName(const std::string& typed) {
    std::string name = TrimCopy(typed);
    if (IsImproperFileName(name)) return "*.csv";
    if (!EndsWithNoCase(name, ".csv")) name += ".csv";
    return name;
}

}  // namespace kmr
