#include "core/app/OpenRecord.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <utility>

#include "core/app/MainWindowRules.h"
#include "core/app/Monitor.h"
#include "core/app/Startup.h"
#include "core/datafiles/DataFileNaming.h"
#include "core/support/Numbers.h"
#include "core/support/SpecialFolders.h"
#include "core/support/TextTable.h"

namespace kmr {

namespace {

// The record's channels into the charts, as the end of a transfer draws them.
void DrawStoredRecord(Engine& e, const FileConditions& fc, std::vector<RawSamples>& samples,
                      std::vector<MinMaxSummary>& summaries) {
    ProgramState& s = e.s;
    const std::int32_t n = fc.WordsConverted;
    ChartModel::Batch batch(e.chart);
    e.chart.ClearAllSeries();
    e.chart.SetGraphMode(kRecordedMode);
    std::size_t k = 0;
    for (int ch = 1; ch <= kChannels; ++ch) {
        if (!fc.Ch(ch).Measured() || k >= samples.size()) {
            e.chart.ClearChannelGraph(ch, n, fc.SmpClk, s.Graph);
            continue;
        }
        summaries[k].Finish(samples[k]);
        e.chart.AdoptRecordSeries(ch, std::move(samples[k]), std::move(summaries[k]), fc, s.Graph);
        if (k == 0) e.chart.ComputeDisplayRange(s.Graph, n, fc.SmpClk);
        ++k;
        if (s.Graph.Ch[static_cast<std::size_t>(ch - 1)].Shown()) e.chart.ShowRecordWindow(ch - 1);
    }
    if (fc.TrgMode == 1 || fc.TrgMode == 2)
        for (int c = 0; c < kChannels; ++c) e.chart.MarkTriggerTime(c, fc.PreMemoryWords, fc.SmpClk, s.Graph);
    e.chart.ConfigureGraphAxes(s.Graph);
    // The record's own units, not those of the conditions set now.
    e.chart.ShowChannelUnits(fc, s.Vocab.units);
    for (int ch = 1; ch <= kChannels; ++ch)
        if (s.Graph.Ch[static_cast<std::size_t>(ch - 1)].Shown() && fc.Ch(ch).Measured())
            e.chart.ShowRecordStatistics(ch - 1, n, fc);
    AutoXRange(s.Graph, n, fc.SmpClk);
}

// The progress window of a long reading: shown only once the reading has lasted the delay, so a
// file read at once opens without a window flashing up (and without the events it would process).
// The main window takes no input while it shows.
class DelayedProgressView : public ProgressView {
public:
    DelayedProgressView(ProgressView& view, MainView& main, const Clock& clock)
        : view_(view), main_(main), clock_(clock), start_(clock.TickMs()) {}
    void Show(const std::string& label1, const std::string& label2) override {
        label1_ = label1;
        label2_ = label2;
    }
    void SetPercent(int percent) override {
        percent_ = percent;
        if (shown_) view_.SetPercent(percent);
    }
    void Close() override {
        if (!shown_) return;
        view_.Close();
        main_.SetWindowEnabled(true);
        shown_ = false;
    }
    bool ProcessEventsAndCheckCancel() override {
        if (!shown_) {
            if (clock_.TickMs() - start_ < kOpenProgressDelayMs) return false;
            main_.SetWindowEnabled(false);
            view_.Show(label1_, label2_);
            view_.SetPercent(percent_);
            shown_ = true;
        }
        return view_.ProcessEventsAndCheckCancel();
    }

private:
    ProgressView& view_;
    MainView& main_;
    const Clock& clock_;
    const std::uint32_t start_;
    std::string label1_, label2_;
    int percent_ = 0;
    bool shown_ = false;
};

class QuietConversionView : public ConversionView {
public:
    void UncheckDataFile(std::size_t) override {}
};

}  // namespace

std::vector<std::string> WithRecentFile(std::vector<std::string> list, const std::string& path) {
    list = WithoutRecentFile(std::move(list), path);
    list.insert(list.begin(), path);
    if (list.size() > kRecentFileCount) list.resize(kRecentFileCount);
    return list;
}

std::vector<std::string> WithoutRecentFile(std::vector<std::string> list, const std::string& path) {
    list.erase(std::remove(list.begin(), list.end(), path), list.end());
    return list;
}

std::string OpenWindowFolder(const ProgramState& s) {
    if (s.RecentFiles.empty()) return s.Global.DataFolder;
    const std::string& latest = s.RecentFiles.front();
    std::string folder = latest.substr(0, latest.size() - FileNameOf(latest).size());
    if (folder.size() > 1) folder.pop_back();
    std::error_code ec;
    if (!folder.empty() && std::filesystem::is_directory(PathFromUtf8(folder), ec)) return folder;
    return s.Global.DataFolder;
}

std::string StoredRecordCaption(const std::string& path) {
    return std::string(kMainCaptionName) + " - " + FileNameOf(path);
}

namespace {
// `text` as a menu shows it: "&" as itself, a tab or line break as a blank (a menu would take the
// one for a key name and break the line at the other).
std::string MenuShown(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        if (c == '&')
            shown += "&&";
        else if (c == '\t' || c == '\n' || c == '\r')
            shown += ' ';
        else
            shown += c;
    }
    return shown;
}

// The longest name or folder a recent file's line shows, in characters: a line as wide as a deep
// folder would stretch the menu past the screen and hide what tells the files apart.
constexpr std::size_t kRecentPartShown = 60;

// `text` (UTF-8) cut in the middle to `most` characters with an ellipsis, keeping its beginning
// (the drive, the file's name) and its end (the folder the file is in, the extension).
std::string MiddleShortened(const std::string& text, std::size_t most) {
    std::vector<std::size_t> starts;  // where each character begins
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
    if (starts.size() <= most) return text;
    const std::size_t tail = (most - 1) / 2, head = most - 1 - tail;
    return text.substr(0, starts[head]) + "\xE2\x80\xA6" + text.substr(starts[starts.size() - tail]);
}
}  // namespace

std::string RecentFileMenuText(std::size_t index, const std::vector<std::string>& list) {
    const std::string& path = list[index];
    const std::string name = FileNameOf(path);
    std::string text = "&" + std::to_string(index + 1) + " " + MenuShown(MiddleShortened(name, kRecentPartShown));
    // Names that differ only in letter case count as one: they look alike, and on Windows they are.
    const std::string key = ToLowerAscii(name);
    const bool clash = std::any_of(list.begin(), list.end(), [&](const std::string& other) {
        return other != path && ToLowerAscii(FileNameOf(other)) == key;
    });
    if (!clash || name.size() >= path.size()) return text;
    // Files of one name in several folders are told apart by their folder.
    std::string folder = path.substr(0, path.size() - name.size());
    if (folder.size() > 1) folder.pop_back();
    return text + "  (" + MenuShown(MiddleShortened(folder, kRecentPartShown)) + ")";
}

namespace {
// Places of a time of the record shown: `least`, or those of a finer sample step (0.05 ms: 5).
int TimePlaces(const ProgramState& s, int least) {
    return std::clamp(DecimalsFor(SampleStepSeconds(s.RecordMeas().SmpClk, s.Graph.X.XtimeFactor)), least, 9);
}
}  // namespace

std::string ExportedChartsCaption(Language lang, const ProgramState& s, const std::string& windowCaption,
                                  const std::optional<AxisRange>& shown) {
    const std::string source = ShownRecordFile(s);
    std::string caption = source.empty() ? windowCaption : StoredRecordCaption(source);
    caption += "  " + Text(lang, txt::MeasChannelHeading) + " ";
    const char* separator = "";
    for (int ch = 1; ch <= kChannels; ++ch)
        if (s.Graph.Ch[static_cast<std::size_t>(ch - 1)].Shown()) {
            caption += separator + std::to_string(ch);
            separator = ", ";
        }
    if (!shown) return caption;
    return TextWith(lang, txt::RangeLine, {caption, FormatFixed(shown->lo, TimePlaces(s, 3)), FormatFixed(shown->hi, TimePlaces(s, 3))});
}

std::string ExportedChartLabel(const ChartModel& chart, int index) {
    const std::string& unit = chart.Labels(index).Unit;
    return ChannelCaption(index + 1) + (unit.empty() ? "" : "  " + unit);
}

namespace {
// An end of the range offered, to `places` decimals, rounded inwards: the beginning up, the end
// down. The samples lie on that grid, so none between the time named and the range's own end is
// left out, and kmr convert given the times named cuts the samples the window does (rounded to
// the nearest, a view beginning just past a sample would be named by that sample's time).
std::string RangeEnd(double t, int places, bool beginning) {
    const double scale = std::pow(10.0, places);
    // Within a millionth of the last place counts as on it (a sum's noise).
    const double inward = beginning ? std::ceil(t * scale - 1e-6) : std::floor(t * scale + 1e-6);
    return FormatFixed(inward / scale, places);
}
std::string RangeChoice(Language lang, int id, const AxisRange& r, int places) {
    return TextWith(lang, id, {RangeEnd(r.lo, places, true), RangeEnd(r.hi, places, false)});
}
}  // namespace

std::string ShownRangeChoice(Language lang, const ExportRangeOffer& offer) {
    return RangeChoice(lang, txt::RangeShown, offer.shown, offer.decimals);
}

std::string CursorRangeChoice(Language lang, const ExportRangeOffer& offer) {
    return RangeChoice(lang, txt::RangeBetweenCursors, offer.betweenCursors, offer.decimals);
}

std::optional<OpenOutcome> OpenRefusal(Engine& e) {
    if (e.forms.IsOpen()) return OpenOutcome::FormOpen;
    if (!e.s.RunActive()) return std::nullopt;
    e.ui.ShowMessage(e.ui.Text(txt::OpenWhileMeasuring), kProgramTitle, MsgIcon::Exclamation, MsgButtons::Ok);
    return OpenOutcome::RunActive;
}

std::optional<std::string> TakeWaitingRecord(Engine& e, bool windowShown) {
    if (e.s.WaitingRecord.empty() || !windowShown || e.forms.IsOpen() || e.gate.Busy()) return std::nullopt;
    return std::exchange(e.s.WaitingRecord, std::string());
}

OpenOutcome OpenStoredRecord(Engine& e, const std::string& path) {
    ProgramState& s = e.s;
    UiPort& ui = e.ui;
    if (const auto refused = OpenRefusal(e)) return *refused;
    const StoredRecordCheck check = CheckStoredRecord(path, ui.language);
    if (!check.ok) {
        // A recent file that has gone leaves the list; one whose folder is not there (its disk
        // unplugged) stays, to be opened once the disk is back.
        if (check.fileError == ENOENT && !check.folderUnreachable) s.RecentFiles = WithoutRecentFile(s.RecentFiles, path);
        ui.ShowMessage(check.problem, ui.Text(txt::ErrorTitle), MsgIcon::Critical, MsgButtons::Ok);
        return OpenOutcome::Refused;
    }
    const FileConditions& fc = check.conditions;
    // Taken before the samples are read: a change while they are read counts as a change.
    const FileVersion version = VersionOf(path);
    const Pointer before = ui.GetPointer();
    ui.SetPointer(Pointer::Hourglass);
    const std::size_t words = static_cast<std::size_t>(std::max<std::int32_t>(fc.WordsConverted, 0)) *
                              static_cast<std::size_t>(std::max<std::int16_t>(fc.ChannelCount, 0));
    NullProgressView quiet;
    DelayedProgressView delayed(e.progressView, e.main, e.clock);
    const bool withProgress = words >= kOpenProgressWords;
    ProgressView& view = withProgress ? static_cast<ProgressView&>(delayed) : quiet;
    if (withProgress) {
        view.Show(ui.Text(txt::OpeningDataFile), ui.Text(txt::WaitAMinute));
        view.SetPercent(0);
    }
    RunStatus status = RunStatus::Ok;
    std::vector<RawSamples> samples;
    // Each channel's summary is made as it is read, in the same pass.
    std::vector<MinMaxSummary> summaries;
    for (int ch = 1; ch <= kChannels; ++ch)
        if (fc.Ch(ch).Measured()) summaries.emplace_back().Start(static_cast<std::size_t>(std::max(fc.WordsConverted, 0)));
    const bool read = ReadStoredSamples(path, fc, samples, view, ui, status,
                                        [&summaries](std::size_t k, std::size_t first,
                                                     std::span<const std::int16_t> piece) {
                                            summaries[k].Add(first, piece);
                                        });
    if (withProgress) view.Close();
    if (!read) {
        ui.SetPointer(before);
        return status == RunStatus::Cancelled && samples.empty() ? OpenOutcome::Cancelled : OpenOutcome::Refused;
    }
    // The charts show one thing: the monitor makes way for the record.
    if (s.MonitoringOn != kFalse) {
        e.main.SetMoniTimer(false);
        StopMonitoring(e);
    }
    // The record shows its own channels; the graphs chosen before come back when it goes.
    OpenedRecordFile opened{path, fc, check.wholeChannels, check.complete, check.missingChannels,
                            check.note, check.sizeWarning, {}, true};
    if (s.OpenedRecord && s.OpenedRecord->restoreGraphUse) {
        opened.graphUseBefore = s.OpenedRecord->graphUseBefore;
    } else {
        for (int i = 0; i < kChannels; ++i) opened.graphUseBefore[static_cast<std::size_t>(i)] = s.Graph.Ch[static_cast<std::size_t>(i)].Use;
    }
    for (int ch = 1; ch <= kChannels; ++ch) s.Graph.Ch[static_cast<std::size_t>(ch - 1)].Use = fc.Ch(ch).Measured() ? 1 : 0;
    s.OpenedRecord = std::move(opened);
    s.ShownRecordVersion = version;
    s.DataPresent = kTrue;
    DrawStoredRecord(e, fc, samples, summaries);
    s.RecentFiles = WithRecentFile(s.RecentFiles, path);
    e.main.SetCaption(StoredRecordCaption(path));
    // The status strip names the file shown, no longer the last run's.
    e.main.SetStatusText(TextWith(ui.language, check.complete ? txt::DataFileStatus : txt::IncompleteDataFileStatus, {path}));
    ui.SetPointer(before);
    // What the file lacks is said once the record is drawn.
    std::string caution = check.note;
    if (!check.sizeWarning.empty()) caution += (caution.empty() ? "" : "\n") + check.sizeWarning;
    if (!caution.empty())
        ui.ShowMessage(path + "\n" + caution, ui.Text(txt::CautionTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    return OpenOutcome::Opened;
}

void ForgetOpenedRecord(Engine& e) {
    if (!e.s.OpenedRecord) return;
    e.s.ForgetOpenedRecord();
    e.main.SetStatusText("");
    // The caption no longer names it: it names the next data file again.
    SetMainCaption(e, true);
}

StoredRecordText OpenedRecordText(const Engine& e) {
    if (!e.s.OpenedRecord) return {};
    // The header as it was read when the file was opened.
    const OpenedRecordFile& r = *e.s.OpenedRecord;
    StoredRecordCheck check;
    check.ok = true;
    check.conditions = r.conditions;
    check.wholeChannels = r.wholeChannels;
    check.missingChannels = r.missingChannels;
    check.complete = r.complete;
    check.note = r.note;
    check.sizeWarning = r.sizeWarning;
    const int model = e.s.ProgramMode == kModeOnline ? e.s.Instrument.InstrumentModel : -1;
    return DescribeStoredRecord(r.path, check, e.ui.language, model);
}

std::string ShownRecordFile(const ProgramState& s) {
    if (s.OpenedRecord) return s.OpenedRecord->path;
    const std::string& last = s.LastDataFile;
    if (s.DataPresent == kFalse || last.size() < 4) return {};
    return ToLowerAscii(last.substr(last.size() - 4)) == ".kmr" ? last : std::string();
}

SampleRange SamplesBetween(double lo, double hi, float clockMs, double timeFactor, std::int32_t n) {
    // The charts, the CSV and kmr convert all put sample i at i x the clock's decimal (0.05, not
    // the 0.0500000007 of its float), so an axis from 1 s to 2 s takes the sample at 2 s as
    // kmr convert --to 2 does.
    const double step = SampleStepSeconds(clockMs, timeFactor);
    if (n <= 0 || !(step > 0.0) || !(hi >= lo)) return {0, 0};
    // Times closer to a sample than a millionth of a step count as on it.
    const double first = std::max(0.0, std::ceil(lo / step - 1e-6));
    const double last = std::min(static_cast<double>(n - 1), std::floor(hi / step + 1e-6));
    if (last < first) return {0, 0};
    return {static_cast<std::int32_t>(first), static_cast<std::int32_t>(last - first + 1)};
}

namespace {

// The file the charts were drawn from is still there and unchanged; otherwise the user is told
// which, since an export would cut another record or none.
bool StillAsShown(Engine& e, const std::string& source) {
    if (e.s.ShownRecordVersion.path != source) return true;
    std::error_code ec;
    const bool gone = !std::filesystem::exists(PathFromUtf8(source), ec) && !ec;
    if (!gone && VersionOf(source) == e.s.ShownRecordVersion) return true;
    e.ui.ShowMessage(TextWith(e.ui.language, gone ? txt::RecordFileMissing : txt::RecordChangedSinceShown, {source}),
                     e.ui.Text(txt::ErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    return false;
}

}  // namespace

std::optional<ExportRangeOffer> OfferExportRange(Engine& e, const std::optional<AxisRange>& visible,
                                                 const CursorTimes& cursors) {
    ExportRangeOffer offer;
    offer.source = ShownRecordFile(e.s);
    if (offer.source.empty() || e.chart.GraphMode() != kRecordedMode) {
        e.ui.ShowMessage(e.ui.Text(offer.source.empty() ? txt::RangeNeedsDataFile : txt::NoRecordShown), e.ui.Text(txt::ErrorTitle), MsgIcon::Exclamation,
                         MsgButtons::Ok);
        return std::nullopt;
    }
    const MeasConditions& m = e.s.RecordMeas();
    const std::int32_t n = e.s.RecordWords();
    offer.shown = visible ? *visible
                          : AxisRange{0.0, SampleTime(std::max(n - 1, 0), m.SmpClk, e.s.Graph.X.XtimeFactor)};
    offer.cursors = cursors.hasA && cursors.hasB;
    offer.betweenCursors = {std::min(cursors.a, cursors.b), std::max(cursors.a, cursors.b)};
    // At 0.05 ms four places would name two neighbouring samples alike (and round half of them).
    offer.decimals = TimePlaces(e.s, 4);
    // Nothing is asked about a file that has gone or changed since it was shown.
    if (!StillAsShown(e, offer.source)) return std::nullopt;
    // The channels the file holds whole: a transfer ended early wrote fewer than were measured.
    const StoredRecordCheck file = CheckStoredRecord(offer.source, e.ui.language);
    for (int ch = 1; ch <= kChannels; ++ch) {
        if (!m.Ch(ch).Measured()) continue;
        if (file.ok && std::find(file.wholeChannels.begin(), file.wholeChannels.end(), ch) == file.wholeChannels.end())
            continue;
        offer.channels.push_back(ch);
        offer.ticked.push_back(e.s.Graph.Ch[static_cast<std::size_t>(ch - 1)].Shown());
    }
    return offer;
}

SampleRange ChosenSamples(const ProgramState& s, const ExportRangeOffer& offer, bool betweenCursors) {
    const AxisRange r = betweenCursors && offer.cursors ? offer.betweenCursors : offer.shown;
    return SamplesBetween(r.lo, r.hi, s.RecordMeas().SmpClk, s.Graph.X.XtimeFactor, s.RecordWords());
}

bool ExportRangeHoldsSamples(Engine& e, const ExportRangeOffer& offer, bool betweenCursors) {
    if (ChosenSamples(e.s, offer, betweenCursors).count > 0) return true;
    // Said before a name is asked, in the words kmr convert uses for times that hold no sample.
    const AxisRange r = betweenCursors && offer.cursors ? offer.betweenCursors : offer.shown;
    const std::int32_t n = std::max(e.s.RecordWords(), 0);
    const std::string end = FormatDouble(SampleSeconds(std::max(n - 1, 0), e.s.RecordMeas().SmpClk));
    e.ui.ShowMessage(offer.source + "\n" +
                         TextWith(e.ui.language, txt::NoSampleInTimeRange,
                                  {FormatFixed(r.lo, offer.decimals), FormatFixed(r.hi, offer.decimals), end,
                                   std::to_string(n)}),
                     e.ui.Text(txt::SettingErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    return false;
}

bool ExportChannelsChosen(Engine& e, const std::vector<int>& channels) {
    if (!channels.empty()) return true;
    e.ui.ShowMessage(e.ui.Text(txt::ChooseAChannel), e.ui.Text(txt::SettingErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    return false;
}

RangeExport ExportShownRange(Engine& e, const std::string& folder, const std::string& name,
                             ExportFormat format, const std::vector<int>& channels, SampleRange samples,
                             DrivePort& drive) {
    const std::string source = ShownRecordFile(e.s);
    if (source.empty()) {
        e.ui.ShowMessage(e.ui.Text(txt::RangeNeedsDataFile), e.ui.Text(txt::ErrorTitle), MsgIcon::Exclamation,
                         MsgButtons::Ok);
        return {};
    }
    if (!StillAsShown(e, source)) return {};
    std::error_code ec;
    if (!std::filesystem::is_directory(PathFromUtf8(folder), ec)) {
        // Not "drive media is abnormal": the folder went while the save window was open.
        e.ui.ShowMessage(e.ui.Text(txt::FolderGone) + "\n" + folder, e.ui.Text(txt::ErrorTitle), MsgIcon::Exclamation,
                         MsgButtons::Ok);
        return {{}, true, {}};
    }
    const std::string dir = WithTrailingSeparator(folder);
    if (const auto proper = RefusedExportName(e, name)) return {{}, true, dir + *proper};
    ConversionOptions options;
    options.format = format;
    options.subset.channels = channels;
    options.subset.samples = samples;
    // A cancelled file offers its whole channels, as it is shown.
    options.wholeChannels = e.s.OpenedRecord ? !e.s.OpenedRecord->complete : !e.s.LastTransferComplete;
    // The model of the instrument connected is the record's only when a run just made it.
    if (!e.s.OpenedRecord && e.s.ProgramMode == kModeOnline)
        options.model = e.s.Instrument.InstrumentModel == kModelKmr510C ? "KMR-510C" : "KMR-530A";
    QuietConversionView quiet;
    ConversionPorts ports{e.ui, e.progressView, quiet, drive, nullptr, e.s.Writes};
    RunStatus status = RunStatus::Ok;
    const ConversionOutcome outcome =
        ConvertItems({ConversionItem{source, dir, name, 1.0}}, true, ports, status, options);
    if (!outcome.started) return {{}, true, {}};
    if (!outcome.AllConverted() || outcome.csvFiles.empty()) return {};
    return {outcome.csvFiles[0], false, {}};
}

ConditionsPanelPlace PlaceConditionsPanel(int wanted, int frameLeft, int frameWidth, int width, bool maximised,
                                          int screenLeft, int screenWidth) {
    // A window wide enough for the panel beside readable charts stays as it is, so that opening
    // records again and again never widens it further.
    if (maximised || wanted <= 0 || width >= wanted * 5 / 2 || screenWidth - frameWidth < wanted)
        return {std::max(0, std::min(wanted, width * 2 / 5)), frameLeft, width};
    const int right = screenLeft + screenWidth;
    return {wanted, std::max(screenLeft, std::min(frameLeft, right - frameWidth - wanted)), width + wanted};
}

}  // namespace kmr
