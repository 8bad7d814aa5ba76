#pragma once
// Opening a stored record in the main window (File > Open Data File..., a recent file, the
// command line, a file dropped on the window), and exporting a range of the record shown.
//
// The record is drawn as a just-transferred one: the same chart model, display range, statistics,
// trigger marks and caption ("KMR-5300 - NAME.kmr"). It is read once, straight into the buffers
// the charts keep. Opening works on-line and off-line and is refused while a run is active. A
// refused or cancelled open changes nothing that is shown; monitoring stops once the file is read.
#include <optional>
#include <string>
#include <vector>

#include "core/app/Engine.h"
#include "core/datafiles/Conversion.h"
#include "core/datafiles/StoredRecord.h"
#include "core/graphs/ChartNavigation.h"

namespace kmr {

// Files from this many samples (all channels together) on are read under the progress window,
// which shows once the reading has taken this long (a file in the page cache is read before).
inline constexpr std::size_t kOpenProgressWords = 1000000;
inline constexpr std::uint32_t kOpenProgressDelayMs = 300;
// The recent files kept.
inline constexpr std::size_t kRecentFileCount = 8;

// FormOpen: a form of the main window is open (the main window takes no input then); nothing shown.
enum class OpenOutcome { Opened, Refused, Cancelled, RunActive, FormOpen };

// Why no record may be opened now (a run is refused with a message), before a file is chosen.
std::optional<OpenOutcome> OpenRefusal(Engine& e);
OpenOutcome OpenStoredRecord(Engine& e, const std::string& path);
// The opened record makes way (the monitor, new conditions): its graphs go, and the status strip
// no longer names its file.
void ForgetOpenedRecord(Engine& e);

// The record waiting (ProgramState::WaitingRecord), taken out to be opened now, or nothing while the
// window cannot take it: it is not shown yet (start-up), a form of it is open, or a handler runs.
// A run under way does not hold it back: the open is refused then with its message.
std::optional<std::string> TakeWaitingRecord(Engine& e, bool windowShown);

// `list` with `path` first, a repeat of it removed, cut to kRecentFileCount.
std::vector<std::string> WithRecentFile(std::vector<std::string> list, const std::string& path);
// `list` without `path`.
std::vector<std::string> WithoutRecentFile(std::vector<std::string> list, const std::string& path);

// The folder File > Open Data File... starts in: that of the latest recent file while it is there,
// otherwise the data folder (a folder renamed or removed since would start the window in whatever
// place it showed last, with the gone folder's name typed as a file name).
std::string OpenWindowFolder(const ProgramState& s);

// "KMR-5300 - NAME.kmr".
std::string StoredRecordCaption(const std::string& path);

// The File menu's line for the `index`-th file of the recent files `list` (0 first): "&1 NAME.kmr",
// and "&1 NAME.kmr  (FOLDER)" when another file of the list has the same name. The digit is its
// key; an "&" is shown as itself, and a tab or line break as a blank (a menu would take the one
// for a key name and break the line at the other). A name or folder longer than 60 characters is
// cut in the middle ("…"), so that a deep folder does not stretch the menu past the screen.
std::string RecentFileMenuText(std::size_t index, const std::vector<std::string>& list);

// The caption written with exported charts: the stored record's ("KMR-5300 - NAME.kmr"; the
// window's own caption when the charts show no stored record), the channels shown and, when given,
// the time range the charts show, in seconds to three places.
std::string ExportedChartsCaption(Language lang, const ProgramState& s, const std::string& windowCaption,
                                  const std::optional<AxisRange>& shown);
// The line above each exported chart: its channel and unit ("Ch. 5  με"), so that a picture of a
// few channels says which is which.
std::string ExportedChartLabel(const ChartModel& chart, int index);

// The texts beside the charts for the record opened (empty title when none is).
StoredRecordText OpenedRecordText(const Engine& e);

// Where the record's conditions panel goes when it opens beside the charts, in pixels.
// `frameLeft` and `frameWidth` are the main window's outer edge, `width` its inside; the screen is
// the part windows may take. When the window is too narrow for the panel to take no more than two
// fifths of it, is not maximised, and the screen has room for the whole panel beside it, the window
// widens by the panel (moving left only as far as it must), so that the charts keep their width.
// Otherwise the window stays and the panel takes at most two fifths of it (it scrolls), so that the
// charts stay readable.
struct ConditionsPanelPlace {
    int panel = 0;
    int frameLeft = 0;
    int width = 0;

    bool operator==(const ConditionsPanelPlace&) const = default;
};
ConditionsPanelPlace PlaceConditionsPanel(int wanted, int frameLeft, int frameWidth, int width, bool maximised,
                                          int screenLeft, int screenWidth);

// --- Export of a range -----------------------------------------------------------------------------
// The .kmr file behind the record the charts show: the opened file, or the data file the last run
// wrote; empty when there is none (a CSV transfer, no record).
std::string ShownRecordFile(const ProgramState& s);

// Samples of the record whose times lie in [lo, hi] (seconds on the chart's axis, both ends
// inclusive), clipped to the record of n samples; count 0 when none lies there.
SampleRange SamplesBetween(double lo, double hi, float clockMs, double timeFactor, std::int32_t n);

// What File > Export Range... offers for the record shown.
struct ExportRangeOffer {
    std::string source;                       // the .kmr file behind the charts
    AxisRange shown;                          // the charts' visible time range (seconds)
    AxisRange betweenCursors;                 // from the earlier cursor to the later one
    bool cursors = false;                     // both cursors are placed
    int decimals = 4;                         // of the times offered: 4, or a finer sample step's
    std::vector<int> channels;                // the record's channels, ascending
    std::vector<bool> ticked;                 // each one shown in a chart (ticked at first)
};
// The export-range window's two choices: the visible range and the span between the cursors, in
// seconds to four places, or to as many as tell the samples of a faster clock apart.
std::string ShownRangeChoice(Language lang, const ExportRangeOffer& offer);
std::string CursorRangeChoice(Language lang, const ExportRangeOffer& offer);
// `visible`: the time range of the first chart showing the record (none: the whole record).
// Nothing (the reason said) when the charts show no record of a file.
std::optional<ExportRangeOffer> OfferExportRange(Engine& e, const std::optional<AxisRange>& visible,
                                                 const CursorTimes& cursors);
// The samples of the range chosen: the visible one, or the one between the cursors.
SampleRange ChosenSamples(const ProgramState& s, const ExportRangeOffer& offer, bool betweenCursors);
// The range chosen holds a sample of the record (charts panned or cursors put beyond its end hold
// none); otherwise that is said, as kmr convert says it, and false.
bool ExportRangeHoldsSamples(Engine& e, const ExportRangeOffer& offer, bool betweenCursors);
// At least one channel is chosen; otherwise that is said and false.
bool ExportChannelsChosen(Engine& e, const std::vector<int>& channels);
// The name the save window suggests (the record's, with the format's extension and '_' for each
// character a typed name may not hold), and a chosen name given that extension when it lacks it.
std::string SuggestedExportName(const std::string& source, ExportFormat format);
std::string WithExportExtension(const std::string& path, ExportFormat format);

// Both exports take a typed name by the conversion's rule for one: a name a lab PC can hold,
// without blanks. A refused name is said with what a name cannot hold, and a proper one made of it
// is returned to be offered next; an accepted one returns nothing.
std::optional<std::string> RefusedExportName(Engine& e, const std::string& name);

// The picture File > Export Charts... writes for the name the save window gave: the name itself
// when it ends in ".png" or ".pdf" (any case), otherwise the name with the extension of the kind
// chosen in the window. A file of the chosen name is replaced once the user says Yes to the
// program's question (No: `chooseAgain`, the save window is offered again); a read-only one, or
// one of the name so lengthened, never is: that is said (a setting error) and the path is empty.
// A name Export Range would refuse (a blank, a device name, ...) is refused here too, with the
// same message, and a proper one made of it is `suggested` for the next asking.
struct PictureName {
    std::string path;          // empty: nothing is written
    bool chooseAgain = false;  // declined or refused: ask for another name
    std::string suggested;     // folder + name to offer next, or empty
};
PictureName ChartsPicturePath(Engine& e, const std::string& chosen, bool pdfChosen);
// The picture name the save window suggests: the record's (or "charts" in the data folder when
// the charts show no file), as that rule takes it, with ".png".
std::string SuggestedPictureName(const std::string& source, const std::string& dataFolder);

// Writes the chosen channels and samples of the shown record's file to `folder` + `name` (CSV parts
// above 65000 lines, or HDF5), exactly as `kmr convert` cuts them; the files' names never replace a
// file. Returns the files written (none when nothing was) and whether another name or folder is to
// be asked for: the name was refused (taken or improper) or the folder cannot take the files, so
// nothing was begun; the export window's choices still hold. A folder that is not there (removed
// while the save window was open) is said to be gone; an improper name is named with the
// characters a name cannot hold, and a proper one made of it is `suggested` for the next asking.
struct RangeExport {
    std::vector<std::string> files;
    bool chooseAgain = false;
    std::string suggested;  // folder + name to offer next, or empty
};
RangeExport ExportShownRange(Engine& e, const std::string& folder, const std::string& name,
                             ExportFormat format, const std::vector<int>& channels, SampleRange samples,
                             DrivePort& drive);

}  // namespace kmr
