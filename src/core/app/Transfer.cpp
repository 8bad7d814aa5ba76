#include "core/app/Transfer.h"
#include "core/app/TransferNames.h"
#include "core/app/RunController.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "core/datafiles/CsvColumnWriter.h"
#include "core/datafiles/DataFile.h"
#include "core/datafiles/DataFileNaming.h"
#include "core/datafiles/StoredRecord.h"
#include "core/instrument/CommandSet.h"
#include "core/support/Numbers.h"
#include "core/support/SpecialFolders.h"
#include "core/support/TextTable.h"

namespace kmr {

namespace {

// The messages of the file operations of one attempt, held back: a file that cannot be written
// is one message, with the offer to save the recording elsewhere. Everything else goes through.
class FileProblems : public UiPort {
public:
    explicit FileProblems(UiPort& ui) : ui_(ui) { language = ui.language; }
    MsgAnswer ShowMessage(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons,
                          bool defaultNo, int autoCloseMs) override {
        if (buttons != MsgButtons::Ok) return ui_.ShowMessage(text, title, icon, buttons, defaultNo, autoCloseMs);
        // A file gone with its folder fails every write the same way: said once.
        if (std::find(lines_.begin(), lines_.end(), text) != lines_.end()) return MsgAnswer::Ok;
        lines_.push_back(text);
        if (!text_.empty()) text_ += "\n";
        text_ += text;
        return MsgAnswer::Ok;
    }
    Pointer GetPointer() const override { return ui_.GetPointer(); }
    void SetPointer(Pointer p) override { ui_.SetPointer(p); }
    void TerminateProgram() override { ui_.TerminateProgram(); }
    bool Any() const { return !text_.empty(); }
    const std::string& Collected() const { return text_; }
    void Clear() {
        lines_.clear();
        text_.clear();
    }

private:
    UiPort& ui_;
    std::vector<std::string> lines_;
    std::string text_;
};

// The two kinds of file the transfer writes, behind one face. File problems go to `problems`.
class TransferTarget {
public:
    explicit TransferTarget(FileProblems& problems) : problems_(problems) {}
    virtual ~TransferTarget() = default;
    virtual bool Create(Engine& e) = 0;
    // The k-th measured channel, of which the first `words` samples were read (fewer than N when
    // a block failed: the rest were never read).
    virtual bool WriteChannel(Engine& e, int k, const ChannelCondition& c, std::int32_t words) = 0;
    // After the last channel (or when the transfer stopped). Returns the path of the file kept, or
    // empty when none.
    virtual std::string Finish(Engine& e, bool complete) = 0;
    // The channel written last is in the file (a data file leaves out a channel it could not
    // read whole).
    virtual bool LastChannelKept() const { return true; }

protected:
    FileProblems& problems_;
};

class DataFileTarget : public TransferTarget {
public:
    DataFileTarget(FileProblems& problems, std::string path) : TransferTarget(problems), path_(std::move(path)) {}
    bool Create(Engine& e) override {
        created_ = WriteDataFileHeader(path_, e.s.Meas, e.s.WordsConverted, problems_, e.s.Status, e.s.Writes);
        e.s.progress.Advance(e.progressView, e.s.Status);
        return created_;
    }
    bool WriteChannel(Engine& e, int k, const ChannelCondition&, std::int32_t words) override {
        // A channel not read whole is left out: the header stops naming it (Finish) and the next
        // channel takes its block, so that every block of the file is whole and the channels
        // after it are kept.
        lastKept_ = words >= e.s.WordsConverted;
        if (!lastKept_) {
            leftOut_.push_back(k);
            return true;
        }
        const int at = k - static_cast<int>(leftOut_.size());
        // Every block but the last holds exactly its N words, so that a file that stops after it
        // ends where the block ends; the last is the whole buffer (MRY + 1 words), as ever.
        int measured = 0;
        for (const auto& c : e.s.Meas.Channels) measured += c.Measured() ? 1 : 0;
        const bool last = k + 1 >= measured;
        const bool ok =
            last ? WriteChannelBlock(path_, ChannelBlockOffset(e.s.WordsConverted, at), e.s.Samples, problems_,
                                     e.s.Status, e.s.Writes)
                 : WriteChannelBlock(path_, ChannelBlockOffset(e.s.WordsConverted, at),
                                     SampleBuffer(e.s.Samples.begin(), e.s.Samples.begin() + e.s.WordsConverted),
                                     problems_, e.s.Status, e.s.Writes);
        if (!ok) return false;
        e.s.progress.Advance(e.progressView, e.s.Status);
        return true;
    }
    bool LastChannelKept() const override { return lastKept_; }
    std::string Finish(Engine& e, bool complete) override {
        if (!created_) return {};
        // The marks report their own file errors; the status they leave is kept for the caller.
        RunStatus markStatus = RunStatus::Ok;
        if (!leftOut_.empty()) {
            // The header names the channels the file holds; it stays marked cancelled, as it does
            // not hold every channel measured.
            MeasConditions held = e.s.Meas;
            int place = 0;  // among the measured channels
            for (auto& c : held.Channels) {
                if (!c.Measured()) continue;
                if (std::find(leftOut_.begin(), leftOut_.end(), place) != leftOut_.end()) c.OnOff = 0;
                ++place;
            }
            RewriteDataFileHeader(path_, held, e.s.WordsConverted, problems_, markStatus, e.s.Writes);
            complete = false;
        }
        if (complete)
            MarkDataFileComplete(path_, problems_, markStatus, e.s.Writes);
        else
            MarkDataFileCancelled(path_, problems_, markStatus, e.s.Writes);
        if (markStatus == RunStatus::Cancelled) e.s.Status = RunStatus::Cancelled;
        return path_;
    }

private:
    std::string path_;
    bool created_ = false;
    bool lastKept_ = true;
    std::vector<int> leftOut_;  // the places among the measured channels of those left out
};

class CsvTarget : public TransferTarget {
public:
    CsvTarget(FileProblems& problems, std::string folder, std::string name)
        : TransferTarget(problems), folder_(std::move(folder)), name_(std::move(name)) {}
    bool Create(Engine& e) override {
        CsvContext ctx = Context(e);
        const FileConditions fc = FileConditionsFrom(e.s.Meas, e.s.WordsConverted);
        return CreateCsvFiles(folder_, name_, fc, layout_, ctx);
    }
    bool WriteChannel(Engine& e, int k, const ChannelCondition& c, std::int32_t words) override {
        CsvContext ctx = Context(e);
        // Only the samples that were read: the cells of the others stay blank.
        const bool ok = WriteCsvColumn(layout_, k, e.s.Samples, words, c.Coeff, c.Offset, ctx);
        if (ok && words > 0) valuesWritten_ = true;
        return ok;
    }
    std::string Finish(Engine& e, bool complete) override {
        CsvContext ctx = Context(e);
        // A file that could not be written goes (the recording is saved elsewhere, or the failure
        // is reported); a transfer that stopped keeps what it received under the "_incomplete"
        // name; a complete one takes its own name.
        CsvFinish finish = CsvFinish::Discard;
        if (problems_.Any())
            finish = CsvFinish::Discard;
        else if (complete)
            finish = CsvFinish::Complete;
        else if (valuesWritten_)
            finish = CsvFinish::Incomplete;
        std::vector<std::string> kept;
        FinishCsvFiles(layout_, finish, ctx, &kept);
        incomplete_ = finish == CsvFinish::Incomplete && !kept.empty();
        return kept.empty() ? std::string() : kept.front();
    }
    // What the stopped transfer received was kept under the "_incomplete" name.
    bool KeptIncomplete() const { return incomplete_; }

private:
    CsvContext Context(Engine& e) {
        return CsvContext{problems_, e.s.Status, e.s.progress, e.progressView, nullptr, nullptr, e.s.Writes};
    }
    std::string folder_, name_;
    CsvLayout layout_;
    bool valuesWritten_ = false;
    bool incomplete_ = false;
};

bool Cancelled(const Engine& e) { return e.s.Status == RunStatus::Cancelled; }

// Puts the instrument back into the measurement conditions: the measured channels selected and
// the memory words of the run. Stops at the first communication failure; the instrument, left
// with one channel selected, is then given the conditions again before it is next relied on.
void RestoreInstrument(Engine& e) {
    std::vector<std::string> commands{"RES"};
    for (int ch : e.s.Meas.MeasuredChannels) commands.push_back("SET" + FormatInt(ch));
    commands.push_back("MRY " + FormatInt(e.s.Meas.MemoryWords));
    commands.push_back("MRY -" + FormatInt(e.s.Meas.PreMemoryWords));
    const bool sent = std::all_of(commands.begin(), commands.end(), [&e](const std::string& command) {
        e.Send(command);
        return !e.Failed();
    });
    if (!sent) e.s.ConditionsUnsent = true;
}

// How the instrument side of a transfer went: which channels arrived whole, whether a block failed
// (that channel ended there) and whether the link itself failed (the transfer ended there).
struct TransferFaults {
    std::vector<int> complete;
    std::vector<int> broken;  // channels not read whole; the transfer went on past them
    bool blockFailed = false;
    bool linkFailed = false;
    bool fileFailed = false;  // a file write failed (its own message was shown)
    bool recordingGone = false;  // the instrument behind a route opened again has lost it
    // The route's count of openings when the transfer began (GpibBus::Reopenings).
    unsigned reopenings = 0;
};

// The route was opened again since the transfer began or was last checked (a connection that
// dropped, made again by the next command): unless the instrument still holds this recording,
// nothing read over the new connection is the run's, and the transfer ends as on a failed link.
bool RouteOpenedAgain(Engine& e, TransferFaults& f) {
    const unsigned now = e.link.bus->Reopenings();
    if (now == f.reopenings) return false;
    f.reopenings = now;
    if (StillHoldsRecording(e)) return false;
    f.linkFailed = true;
    f.recordingGone = true;
    return true;
}

// The trigger time; without it there is nothing to name the record by (false).
bool TakeTriggerTime(Engine& e) {
    e.s.LastTransferComplete = false;
    const std::string triggerTime = e.link.commands->ReadTriggerTime();
    if (e.s.Status == RunStatus::CommFailed) return false;
    e.s.Meas.TriggerTime = triggerTime;
    e.s.Instrument.TriggerTime = triggerTime;
    return true;
}

// The sample buffer, the counters and the progress window.
void ShowProgress(Engine& e, bool csv) {
    ProgramState& s = e.s;
    RedimSampleBuffer(s.Samples, s.Meas.MemoryWords);
    s.progress = Progress{};
    s.progress.TransferBlockWords = kTransferBlockWords;
    e.progressView.Show(e.ui.Text(txt::TransferringAndDrawing), e.ui.Text(txt::WaitAMinute));
    const std::int32_t n = s.WordsConverted;
    const int k = s.Meas.ChannelCount;
    s.progress.MaxPBCount = csv ? CsvStepCount(n, k) : DataFileStepCount(n, k);
    s.progress.AllVol = 1.0;
    s.progress.CurrentVol = 1.0;
    s.progress.FinishedVol = 0.0;
    e.progressView.SetPercent(0);
}

// Reads the n words of the selected channel into the sample buffer, block by block. The buffer
// is cleared first: the words of a failed block stay 0, never the previous channel's words. False
// on a cancel or when the link failed; the first failed block ends the channel (`f.blockFailed`).
// `words` receives how many words from the start were read (those before the failed block).
bool ReadChannelWords(Engine& e, std::int32_t n, TransferFaults& f, bool& channelWhole, std::int32_t& words) {
    ProgramState& s = e.s;
    std::fill(s.Samples.begin(), s.Samples.end(), std::int16_t{0});
    channelWhole = true;
    words = 0;
    const std::vector<BlockRead> reads = BlockReads(n, s.progress.TransferBlockWords);
    for (std::size_t i = 0; i < reads.size(); ++i) {
        const auto result = e.link.transport->ReadMemoryBlock(s.Samples.data(), reads[i].start, reads[i].count);
        if (result == CommandTransport::Block::CommandFailed || RouteOpenedAgain(e, f)) {
            f.linkFailed = true;
            return false;
        }
        if (result == CommandTransport::Block::BlockFailed) {
            f.blockFailed = true;
            channelWhole = false;
            // The channel's remaining blocks are not asked for; their steps are passed.
            for (; i < reads.size(); ++i) s.progress.Advance(e.progressView, s.Status);
            return !Cancelled(e);
        }
        words = reads[i].start + reads[i].count;
        s.progress.Advance(e.progressView, s.Status);
        if (Cancelled(e)) return false;
    }
    return true;
}

// One measured channel, the `ordinal`-th: select it, read its words, write them and load its
// graph. False when the transfer stops.
bool TransferChannel(Engine& e, TransferTarget& target, int ch, int ordinal, TransferFaults& f) {
    ProgramState& s = e.s;
    const std::int32_t n = s.WordsConverted;
    e.Send("RES");
    bool lost = e.Failed() || RouteOpenedAgain(e, f);
    if (!lost) {
        e.Send("SET" + FormatInt(ch));
        lost = e.Failed() || RouteOpenedAgain(e, f);
    }
    if (lost) {
        f.linkFailed = true;
        return false;
    }
    bool whole = true;
    std::int32_t words = 0;
    // A channel that stops the transfer before it is drawn shows nothing on this record's time,
    // as those never reached do (not an empty chart's time of 0 to 1 s).
    const auto undrawn = [&] {
        e.chart.ClearChannelGraph(ch, n, s.Meas.SmpClk, s.Graph);
        return false;
    };
    if (!ReadChannelWords(e, n, f, whole, words)) return undrawn();
    if (!target.WriteChannel(e, ordinal, s.Meas.Ch(ch), words)) {
        f.fileFailed = true;
        return undrawn();
    }
    // Kept from here on, whatever stops the transfer while the channel is drawn.
    if (whole && target.LastChannelKept()) f.complete.push_back(ch);
    if (!whole) f.broken.push_back(ch);
    if (Cancelled(e)) return false;
    // Only what was read is drawn: the words of a failed block are not the instrument's, and a
    // channel of which nothing arrived shows no values, as one not measured.
    if (!whole && words == 0)
        e.chart.ClearChannelGraph(ch, n, s.Meas.SmpClk, s.Graph);
    else if (!e.chart.LoadRecordSeries(ch, s.Samples, whole ? n : words, s.Meas, s.Graph, s.progress,
                                       e.progressView, s.Status) ||
             Cancelled(e))
        return false;
    if (ordinal == 0) e.chart.ComputeDisplayRange(s.Graph, n, s.Meas.SmpClk);
    if (s.Graph.Ch[static_cast<std::size_t>(ch - 1)].Shown()) e.chart.ShowRecordWindow(ch - 1);
    return true;
}

// Every channel in ascending order until one stops the transfer, then the trigger marks. True
// when every measured channel was transferred (a channel that lost a block counts as done).
bool TransferChannels(Engine& e, TransferTarget& target, TransferFaults& f) {
    ProgramState& s = e.s;
    int ordinal = 0;
    bool all = true;
    int ch = 1;
    for (; ch <= kChannels && all; ++ch) {
        if (!s.Meas.Ch(ch).Measured())
            e.chart.ClearChannelGraph(ch, s.WordsConverted, s.Meas.SmpClk, s.Graph);
        else if ((all = TransferChannel(e, target, ch, ordinal, f)))
            ++ordinal;
    }
    // The channels a transfer ended early never reached show nothing of an earlier record, on
    // this record's time axis.
    for (; ch <= kChannels; ++ch) e.chart.ClearChannelGraph(ch, s.WordsConverted, s.Meas.SmpClk, s.Graph);
    if (!f.linkFailed && !Cancelled(e) && (s.Meas.TrgMode == 1 || s.Meas.TrgMode == 2)) {
        for (int c = 0; c < kChannels; ++c)
            e.chart.MarkTriggerTime(c, s.Meas.PreMemoryWords, s.Meas.SmpClk, s.Graph);
    }
    return all;
}

// The one message of a transfer that the instrument or the user ended early: what failed, and
// what the file keeps.
void ReportIncompleteTransfer(Engine& e, const TransferFaults& f, bool cancelled, const std::string& failed,
                              const std::string& path, bool created, bool csv, bool offeredLater = false) {
    const Language lang = e.ui.language;
    // A channel not read whole ends only itself; the link failing ends the transfer.
    std::string text = cancelled ? Text(lang, txt::TransferCancelled)
                       : !f.linkFailed && !f.broken.empty() ? LeftOutText(lang, failed, f.broken, f.complete)
                                                            : TextWith(lang, txt::LostDuringTransfer, {failed});
    const std::string channels = ChannelList(f.complete, lang);
    if (created) {
        const std::string name = FileNameOf(path);
        text += "\r\n" + (csv ? TextWith(lang, txt::KeepsCompleteChannels, {name, channels})
                              : TextWith(lang, txt::MarkedCancelled, {name, channels}));
    } else {
        text += "\r\n" + Text(lang, txt::NoDataFileWritten);
    }
    if (offeredLater) text += " " + Text(lang, txt::LostRecordingOfferedLater);
    // A cancel is the user's own doing, not the instrument's.
    e.ui.ShowMessage(text, e.ui.Text(cancelled ? txt::CautionTitle : txt::GpibErrorTitle), MsgIcon::Exclamation,
                     MsgButtons::Ok);
}

// One transfer of the recording into a file in `folder`.
struct Attempt {
    TransferFaults faults;
    std::string path;             // the file named (the one kept, for a CSV file; empty: none)
    bool created = false;         // a file was made and is kept
    bool complete = false;        // every sample of every channel is in it
    bool userCancelled = false;
    std::string problem;          // why a file could not be written (empty: it could)
};

Attempt TransferInto(Engine& e, bool csv, const std::string& folder, unsigned reopenings) {
    ProgramState& s = e.s;
    ShowProgress(e, csv);
    FileProblems problems(e.ui);
    std::unique_ptr<TransferTarget> target;
    bool created = false;
    // The file, under the first free name of the folder. Another program (a second recording into
    // the same folder) may take that name before the file is made: it then takes the next one.
    for (int race = 0;; ++race) {
        s.DataFileNumber = FreeNumberIn(s, folder, s.DataFileNumber, s.WordsConverted);
        const std::string name = DataFileName(s.Global.BaseFileName, s.DataFileNumber, s.Extension());
        if (csv)
            target = std::make_unique<CsvTarget>(problems, folder, name);
        else
            target = std::make_unique<DataFileTarget>(problems, folder + name);
        created = target->Create(e);
        if (created || csv || race >= kNameRaces || !OccupiedNow(folder + name)) break;
        problems.Clear();
        s.Status = RunStatus::Ok;
        ++s.DataFileNumber;
    }

    // The channels, then the signature.
    Attempt a;
    TransferFaults& f = a.faults;
    f.reopenings = reopenings;
    if (!created) f.fileFailed = true;
    bool complete = created && !Cancelled(e) && TransferChannels(e, *target, f);
    complete = complete && !f.blockFailed && !f.linkFailed && !Cancelled(e) && !problems.Any();
    a.userCancelled = Cancelled(e) && !f.fileFailed && !problems.Any();
    a.path = target->Finish(e, complete);
    a.created = created && !a.path.empty();
    a.problem = problems.Collected();
    a.complete = complete && a.problem.empty() && !Cancelled(e);
    return a;
}

// A file of the transfer could not be written: the user may choose another folder (the recording
// is still in the instrument's memory); without a way to ask, the failure is shown.
std::optional<std::string> OtherFolder(Engine& e, const Attempt& a, const std::string& folder) {
    // The data file left on that disk is named with what it holds.
    const std::string note = a.created ? LeftBehindNote(e.ui.language, a.path, a.faults.complete) : std::string();
    const std::string problem = a.problem + (note.empty() ? "" : "\n" + note);
    // Without the link the recording cannot be read again.
    if (e.s.SaveElsewhere == nullptr || a.faults.linkFailed) {
        e.ui.ShowMessage(problem, e.ui.Text(txt::ErrorTitle), MsgIcon::Critical, MsgButtons::Ok);
        return std::nullopt;
    }
    std::optional<std::string> other = e.s.SaveElsewhere->OtherFolder(problem, folder);
    if (other) *other = WithTrailingSeparator(*other);
    return other;
}

std::string Transfer(Engine& e, bool csv) {
    // Failures of the instrument are said once, at the end, with what was kept.
    FailureScope scope(*e.link.transport);
    const unsigned reopenings = e.link.bus->Reopenings();
    if (!TakeTriggerTime(e)) {
        // An instrument with no trigger time was never triggered: a run stopped while it waited,
        // with pre-trigger samples only, is no instrument failure.
        if (!scope.Failed() && e.s.WordsConverted < e.s.Meas.MemoryWords)
            e.ui.ShowMessage(e.ui.Text(txt::StoppedBeforeTrigger), kProgramTitle, MsgIcon::Information,
                             MsgButtons::Ok);
        else
            ReportIncompleteTransfer(e, {}, false, scope.Failed() ? scope.Command() : "TTM0", {}, false, csv,
                                     scope.Failed() && KeepRecordingForLater(e));
        return {};
    }
    std::string folder = e.s.Global.DataFolder;
    Attempt a = TransferInto(e, csv, folder, reopenings);
    // A file that cannot be written: the recording is read again from the instrument into a
    // folder the user chooses, as often as it takes.
    bool progressShown = true;
    while (!a.problem.empty()) {
        e.progressView.Close();
        progressShown = false;
        const std::optional<std::string> other = OtherFolder(e, a, folder);
        if (!other) break;
        progressShown = true;
        folder = *other;
        e.s.Status = RunStatus::Ok;
        e.chart.ClearAllSeries();
        a = TransferInto(e, csv, folder, reopenings);
    }
    e.s.LastTransferComplete = a.complete;
    const TransferFaults& f = a.faults;

    // The instrument's conditions back (not over a link that failed), the progress window goes,
    // the next number.
    if (!f.linkFailed) RestoreInstrument(e);
    const bool offeredLater = f.linkFailed && !f.recordingGone && KeepRecordingForLater(e);
    if (progressShown) {
        e.progressView.SetPercent(100);
        e.progressView.Close();
    }
    e.s.DataFileNumber += 1;
    if (f.linkFailed || f.blockFailed || (a.userCancelled && !a.complete)) {
        const std::string failed = scope.Command().empty() ? std::string("BDT") : scope.Command();
        ReportIncompleteTransfer(e, f, a.userCancelled && !f.linkFailed && !f.blockFailed, failed, a.path,
                                 a.created, csv, offeredLater);
        if (f.linkFailed) e.s.Status = RunStatus::CommFailed;
    }
    e.main.Activate();
    // No file was made (a full disk, the offer to save elsewhere declined): none is named.
    return a.created ? a.path : std::string();
}

}  // namespace

std::string TransferToDataFile(Engine& e) { return Transfer(e, false); }
std::string TransferToCsv(Engine& e) { return Transfer(e, true); }

}  // namespace kmr
