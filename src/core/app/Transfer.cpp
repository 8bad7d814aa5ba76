#include "core/app/Transfer.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "core/datafiles/CsvColumnWriter.h"
#include "core/datafiles/DataFile.h"
#include "core/datafiles/DataFileNaming.h"
#include "core/instrument/CommandSet.h"
#include "core/support/Numbers.h"
#include "core/support/TextTable.h"

namespace kmr {

std::int16_t DataFileStepCount(std::int32_t n, int k, int b) {
    const double nb = static_cast<double>(n) / b;
    const double total = (RoundHalfEven(nb + 1) * k + 1) + k + k * nb + 1;
    return static_cast<std::int16_t>(RoundHalfEven(total));
}

std::int16_t CsvStepCount(std::int32_t n, int k, int b, int increment) {
    const double perUnit = static_cast<double>(b) / increment;
    const double nb = static_cast<double>(n) / b;
    const double total = RoundHalfEven(n / perUnit) + RoundHalfEven(nb + 1) * k + k * (n / perUnit) +
                         k * nb + 1;
    return static_cast<std::int16_t>(RoundHalfEven(total));
}

std::vector<BlockRead> BlockReads(std::int32_t n, int b) {
    std::vector<BlockRead> reads;
    std::int32_t remaining = n;
    std::int32_t j = 0;
    while (remaining > b) {
        reads.push_back({j * b, static_cast<std::int16_t>(b)});
        remaining -= b;
        ++j;
    }
    reads.push_back({j * b, static_cast<std::int16_t>(remaining)});
    return reads;
}

namespace {

std::string NamedPath(const ProgramState& s, std::int32_t number) {
    return s.Global.DataFolder + DataFileName(s.Global.BaseFileName, number, s.Extension());
}

bool NameTaken(const ProgramState& s, std::int32_t number, std::int32_t n) {
    if (FileExists(NamedPath(s, number))) return true;
    if (s.Global.FileType != 1) return false;
    // A CSV transfer may write lettered parts: none of them may exist either.
    const auto parts = CsvPartsOf(s.Global.DataFolder, DataFileName(s.Global.BaseFileName, number, s.Extension()), n);
    for (const auto& part : parts)
        if (FileExists(part.path)) return true;
    return false;
}

// The two kinds of file the transfer writes, behind one face.
class TransferTarget {
public:
    virtual ~TransferTarget() = default;
    virtual bool Create(Engine& e) = 0;
    virtual bool WriteChannel(Engine& e, int k, const ChannelCondition& c) = 0;
    virtual void Finish(Engine& e, bool complete) = 0;
};

class DataFileTarget : public TransferTarget {
public:
    explicit DataFileTarget(std::string path) : path_(std::move(path)) {}
    bool Create(Engine& e) override {
        created_ = WriteDataFileHeader(path_, e.s.Meas, e.s.WordsConverted, e.ui, e.s.Status, e.s.Writes);
        e.s.progress.Advance(e.progressView, e.s.Status);
        return created_;
    }
    bool WriteChannel(Engine& e, int k, const ChannelCondition&) override {
        const bool ok = WriteChannelBlock(path_, ChannelBlockOffset(e.s.WordsConverted, k),
                                          e.s.Samples, e.ui, e.s.Status, e.s.Writes);
        if (!ok) return false;
        e.s.progress.Advance(e.progressView, e.s.Status);
        return true;
    }
    void Finish(Engine& e, bool complete) override {
        if (!created_) return;
        // The marks report their own file errors; the status they leave is kept for the caller.
        RunStatus markStatus = RunStatus::Ok;
        if (complete)
            MarkDataFileComplete(path_, e.ui, markStatus, e.s.Writes);
        else
            MarkDataFileCancelled(path_, e.ui, markStatus, e.s.Writes);
        if (markStatus == RunStatus::Cancelled) e.s.Status = RunStatus::Cancelled;
    }

private:
    std::string path_;
    bool created_ = false;
};

class CsvTarget : public TransferTarget {
public:
    CsvTarget(std::string folder, std::string name) : folder_(std::move(folder)), name_(std::move(name)) {}
    bool Create(Engine& e) override {
        CsvContext ctx{e.ui, e.s.Status, e.s.progress, e.progressView, nullptr, nullptr, e.s.Writes};
        const FileConditions fc = FileConditionsFrom(e.s.Meas, e.s.WordsConverted);
        return CreateCsvFiles(folder_, name_, fc, layout_, ctx);
    }
    bool WriteChannel(Engine& e, int k, const ChannelCondition& c) override {
        CsvContext ctx{e.ui, e.s.Status, e.s.progress, e.progressView, nullptr, nullptr, e.s.Writes};
        return WriteCsvColumn(layout_, k, e.s.Samples, e.s.WordsConverted, c.Coeff, c.Offset, ctx);
    }
    void Finish(Engine&, bool) override {}  // a cancelled CSV file keeps what was written

private:
    std::string folder_, name_;
    CsvLayout layout_;
};

bool Cancelled(const Engine& e) { return e.s.Status == RunStatus::Cancelled; }

// Puts the instrument back into the measurement conditions: the measured channels selected and
// the memory words of the run. Stops at the first communication failure.
void RestoreInstrument(Engine& e) {
    e.Send("RES");
    if (e.Failed()) return;
    for (int ch : e.s.Meas.MeasuredChannels) {
        e.Send("SET" + FormatInt(ch));
        if (e.Failed()) return;
    }
    e.Send("MRY " + FormatInt(e.s.Meas.MemoryWords));
    if (e.Failed()) return;
    e.Send("MRY -" + FormatInt(e.s.Meas.PreMemoryWords));
}

// How the instrument side of a transfer went: which channels arrived whole, whether a block failed
// (that channel ended there) and whether the link itself failed (the transfer ended there).
struct TransferFaults {
    std::vector<int> complete;
    bool blockFailed = false;
    bool linkFailed = false;
    bool fileFailed = false;  // a file write failed (its own message was shown)
};

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
    e.progressView.Show(e.ui.Text(124), e.ui.Text(112));
    const std::int32_t n = s.WordsConverted;
    const int k = s.Meas.ChannelCount;
    s.progress.MaxPBCount = csv ? CsvStepCount(n, k) : DataFileStepCount(n, k);
    s.progress.AllVol = 1.0;
    s.progress.CurrentVol = 1.0;
    s.progress.FinishedVol = 0.0;
    e.progressView.SetPercent(0);
}

// The file to write, under the first free name.
std::unique_ptr<TransferTarget> ChooseTarget(Engine& e, bool csv, std::string& path) {
    ProgramState& s = e.s;
    s.DataFileNumber = FreeDataFileNumber(s, s.DataFileNumber, s.WordsConverted);
    const std::string name = DataFileName(s.Global.BaseFileName, s.DataFileNumber, s.Extension());
    path = s.Global.DataFolder + name;
    if (csv) return std::make_unique<CsvTarget>(s.Global.DataFolder, name);
    return std::make_unique<DataFileTarget>(path);
}

// Reads the n words of the selected channel into the sample buffer, block by block. The buffer
// is cleared first: the words of a failed block stay 0, never the previous channel's words. False
// on a cancel or when the link failed; the first failed block ends the channel (`f.blockFailed`).
bool ReadChannelWords(Engine& e, std::int32_t n, TransferFaults& f, bool& channelWhole) {
    ProgramState& s = e.s;
    std::fill(s.Samples.begin(), s.Samples.end(), std::int16_t{0});
    channelWhole = true;
    const std::vector<BlockRead> reads = BlockReads(n, s.progress.TransferBlockWords);
    for (std::size_t i = 0; i < reads.size(); ++i) {
        const auto result = e.link.transport->ReadMemoryBlock(s.Samples.data(), reads[i].start, reads[i].count);
        if (result == CommandTransport::Block::CommandFailed) {
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
    if (!e.Failed()) e.Send("SET" + FormatInt(ch));
    if (e.Failed()) {
        f.linkFailed = true;
        return false;
    }
    bool whole = true;
    if (!ReadChannelWords(e, n, f, whole)) return false;
    if (!target.WriteChannel(e, ordinal, s.Meas.Ch(ch))) {
        f.fileFailed = true;
        return false;
    }
    if (Cancelled(e)) return false;
    if (!e.chart.LoadRecordSeries(ch, s.Samples, n, s.Meas, s.Graph, s.progress, e.progressView,
                                  s.Status) ||
        Cancelled(e))
        return false;
    if (ordinal == 0) e.chart.ComputeDisplayRange(s.Graph, n, s.Meas.SmpClk);
    if (s.Graph.Ch[static_cast<std::size_t>(ch - 1)].Use == 1) e.chart.ShowRecordWindow(ch - 1);
    if (whole) f.complete.push_back(ch);
    return true;
}

// Every channel in ascending order until one stops the transfer, then the trigger marks. True
// when every measured channel was transferred (a channel that lost a block counts as done).
bool TransferChannels(Engine& e, TransferTarget& target, TransferFaults& f) {
    ProgramState& s = e.s;
    int ordinal = 0;
    bool all = true;
    for (int ch = 1; ch <= kChannels && all; ++ch) {
        if (s.Meas.Ch(ch).OnOff != 1)
            e.chart.ClearChannelGraph(ch, s.WordsConverted, s.Meas.SmpClk, s.Graph);
        else if ((all = TransferChannel(e, target, ch, ordinal, f)))
            ++ordinal;
    }
    if (!f.linkFailed && !Cancelled(e) && (s.Meas.TrgMode == 1 || s.Meas.TrgMode == 2)) {
        for (int c = 0; c < kChannels; ++c)
            e.chart.MarkTriggerTime(c, s.Meas.PreMemoryWords, s.Meas.SmpClk, s.Graph);
    }
    return all;
}

// The one message of a transfer that the instrument or the user ended early: what failed, and
// what the file keeps.
void ReportIncompleteTransfer(Engine& e, const TransferFaults& f, bool cancelled, const std::string& failed,
                              const std::string& path, bool created, bool csv) {
    const Language lang = e.ui.language;
    std::string text = cancelled ? Text(lang, 2408) : TextWith(lang, 2409, {failed});
    std::string channels;
    for (int ch : f.complete) channels += (channels.empty() ? "" : ", ") + FormatInt(ch);
    if (channels.empty()) channels = Text(lang, 2404);
    if (created) {
        const std::size_t slash = path.find_last_of("/\\");
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        text += "\r\n" + (csv ? TextWith(lang, 2415, {name, channels}) : TextWith(lang, 2403, {name, channels}));
    } else {
        text += "\r\n" + Text(lang, 2402);
    }
    e.ui.ShowMessage(text, e.ui.Text(102), MsgIcon::Exclamation, MsgButtons::Ok);
}

std::string Transfer(Engine& e, bool csv) {
    // Failures of the instrument are said once, at the end, with what was kept.
    FailureScope scope(*e.link.transport);
    if (!TakeTriggerTime(e)) {
        ReportIncompleteTransfer(e, {}, false, scope.Command(), {}, false, csv);
        return {};
    }
    ShowProgress(e, csv);
    std::string path;
    const std::unique_ptr<TransferTarget> target = ChooseTarget(e, csv, path);

    // The file, the channels, then the signature.
    TransferFaults f;
    const bool created = target->Create(e);
    if (!created) f.fileFailed = true;
    bool complete = created && !Cancelled(e) && TransferChannels(e, *target, f);
    complete = complete && !f.blockFailed && !f.linkFailed && !Cancelled(e);
    const bool userCancelled = Cancelled(e) && !f.fileFailed;
    target->Finish(e, complete);
    e.s.LastTransferComplete = complete && !Cancelled(e);

    // The instrument's conditions back (not over a link that failed), the progress window goes,
    // the next number.
    if (!f.linkFailed) RestoreInstrument(e);
    e.progressView.SetPercent(100);
    e.progressView.Close();
    e.s.DataFileNumber += 1;
    if (f.linkFailed || f.blockFailed || (userCancelled && !e.s.LastTransferComplete)) {
        const std::string failed = scope.Command().empty() ? std::string("BDT") : scope.Command();
        ReportIncompleteTransfer(e, f, userCancelled && !f.linkFailed && !f.blockFailed, failed, path,
                                 created, csv);
        if (f.linkFailed) e.s.Status = RunStatus::CommFailed;
    }
    e.main.Activate();
    return path;
}

}  // namespace

std::int32_t FreeDataFileNumber(const ProgramState& s, std::int32_t number, std::int32_t n) {
    while (NameTaken(s, number, n) && number < 2147483647) ++number;
    return number;
}

std::string TransferToDataFile(Engine& e) { return Transfer(e, false); }
std::string TransferToCsv(Engine& e) { return Transfer(e, true); }

}  // namespace kmr
