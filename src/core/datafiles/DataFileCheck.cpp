// The check of a data file's header image before anything of the file is used: the steps run
// in order and each returns what is wrong (empty when its part is sound). Nothing is allocated for
// samples before every step has passed.
#include <cmath>

#include "core/datafiles/DataFile.h"
#include "core/support/Numbers.h"
#include "core/support/TextTable.h"

namespace kmr {

namespace {

std::string N(long long v) { return std::to_string(v); }

std::string Stripped(std::string s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

std::string Damaged(Language lang, int id, std::initializer_list<std::string_view> args) {
    return Text(lang, txt::DamagedHeader) + TextWith(lang, id, args);
}

// The signature record: one of the two signatures; a cancelled or unfinished file only when asked.
std::string CheckSignature(Language lang, const Bytes& header, std::uint64_t fileSize, bool acceptCancelled,
                           HeaderCheck& r) {
    // The signature is read first even from a short file: a data file cut inside its header is
    // still said to be one.
    std::size_t pos = 0;
    std::int32_t sigLen = 0;
    if (GetLong(header, pos, sigLen) && sigLen == kSignatureLength) {
        pos = 0;
        GetText(header, pos, r.signature);
        r.complete = r.signature == kCompleteSignature;
        r.isDataFile = r.complete || r.signature == kCancelSignature;
    }
    if (r.isDataFile && (r.complete || acceptCancelled)) r.refusalHeading = txt::DataFileUnreadable;
    if (fileSize < static_cast<std::uint64_t>(kDataHeaderBytes) || header.size() < kDataHeaderBytes) {
        return TextWith(lang, txt::HeaderTooShort, {N(static_cast<long long>(fileSize))});
    }
    if (!r.isDataFile) return Text(lang, txt::NoSignature);
    if (!r.complete && !acceptCancelled) return Text(lang, txt::RecordingIncomplete);
    return {};
}

// A text record of fixed length at `pos`; `what` names it in the English message.
std::string ReadFixedText(Language lang, const Bytes& header, std::size_t& pos, std::int32_t expected,
                          std::string& out, const std::string& what) {
    const std::size_t at = pos;
    std::size_t p = pos;
    std::int32_t len = 0;
    GetLong(header, p, len);
    if (len == expected && GetText(header, pos, out)) return {};
    return Damaged(lang, txt::BadTextLength, {what, N(static_cast<long long>(at)), N(len), N(expected)});
}

// Every field in the order of the layout, after the signature record.
std::string DecodeFields(Language lang, const Bytes& header, FileConditions& fc) {
    std::size_t pos = static_cast<std::size_t>(4 + kSignatureLength);
    std::string text;
    if (auto e = ReadFixedText(lang, header, pos, kTriggerTimeLength, text, "trigger time"); !e.empty()) return e;
    fc.TriggerTime = WithoutControlBytes(Stripped(text));
    GetInteger(header, pos, fc.TrgMode);
    GetSingle(header, pos, fc.SmpClk);
    GetLong(header, pos, fc.MemoryWords);
    GetLong(header, pos, fc.PreMemoryWords);
    GetLong(header, pos, fc.WordsConverted);
    GetInteger(header, pos, fc.Averaging);
    GetInteger(header, pos, fc.ChannelCount);
    if (auto e = ReadFixedText(lang, header, pos, kHeaderReservedLength, text, "reserved"); !e.empty()) return e;
    for (int ch = 1; ch <= kChannels; ++ch) {
        auto& c = fc.Ch(ch);
        GetInteger(header, pos, c.OnOff);
        GetInteger(header, pos, c.InputMode);
        GetInteger(header, pos, c.Lpf);
        GetSingle(header, pos, c.Coeff);
        GetInteger(header, pos, c.Point);
        GetInteger(header, pos, c.Unit);
        GetInteger(header, pos, c.DtgOnOff);
        GetSingle(header, pos, c.DtgLevel);
        GetSingle(header, pos, c.Offset);
        if (auto e = ReadFixedText(lang, header, pos, kChannelReservedLength, text, "channel " + N(ch) + " reserved");
            !e.empty())
            return e;
    }
    return {};
}

// The instrument-wide fields: each one of the instrument's choices, and N and the pre-memory
// within the memory words.
std::string CheckMeasurementFields(Language lang, const FileConditions& fc) {
    const std::int32_t mry = fc.MemoryWords, n = fc.WordsConverted;
    if (mry < 1 || mry > kLargestMemoryWords) return Damaged(lang, txt::BadMemoryWords, {N(mry), N(kLargestMemoryWords)});
    if (n < 0 || n > mry) return Damaged(lang, txt::BadStoredWords, {N(n), N(mry)});
    if (fc.PreMemoryWords < 0 || fc.PreMemoryWords > mry) return Damaged(lang, txt::BadPreMemoryWords, {N(fc.PreMemoryWords), N(mry)});
    if (!IsOfferedClock(fc.SmpClk)) return Damaged(lang, txt::BadClock, {FormatFloat(fc.SmpClk)});
    if (!kTrgModeRange.Holds(fc.TrgMode)) return Damaged(lang, txt::BadTriggerMode, {N(fc.TrgMode)});
    if (!kAveragingRange.Holds(fc.Averaging)) return Damaged(lang, txt::BadAveraging, {N(fc.Averaging)});
    return {};
}

// Each channel record field within its choices, and the channel count equal to the channels on.
// A transfer that lost every channel leaves a cancelled file with none: no channel is whole in it.
std::string CheckChannelRecords(Language lang, const FileConditions& fc, bool unfinished) {
    int on = 0;
    for (int ch = 1; ch <= kChannels; ++ch) {
        const auto& c = fc.Ch(ch);
        // The field's name (a text identifier) and whether it holds one of its choices.
        const std::pair<int, bool> fields[] = {
            {2213, kFlagRange.Holds(c.OnOff)},
            {2214, FindInputMode(c.InputMode) != nullptr},
            {2215, kLpfRange.Holds(c.Lpf)},
            {2216, std::isfinite(c.Coeff)},
            {2217, kPointRange.Holds(c.Point)},
            {2218, kUnitRange.Holds(c.Unit)},
            {2219, kFlagRange.Holds(c.DtgOnOff)},
            {2220, std::isfinite(c.DtgLevel)},
            {2221, std::isfinite(c.Offset)},
        };
        for (const auto& [nameId, valid] : fields) {
            if (!valid) return Damaged(lang, txt::BadChannelField, {Text(lang, nameId), N(ch)});
        }
        on += c.OnOff;
    }
    if (unfinished && fc.ChannelCount == 0 && on == 0) return {};
    if (fc.ChannelCount < 1 || fc.ChannelCount > kChannels || fc.ChannelCount != on) {
        return Damaged(lang, txt::BadChannelCount, {N(fc.ChannelCount), N(on)});
    }
    return {};
}

// The bytes the blocks of N samples of every channel need after the header.
std::uint64_t NeededDataFileSize(const FileConditions& fc) {
    return static_cast<std::uint64_t>(kDataHeaderBytes) +
           2ull * static_cast<std::uint64_t>(fc.WordsConverted) * static_cast<std::uint64_t>(fc.ChannelCount);
}

std::string CheckLength(Language lang, const FileConditions& fc, std::uint64_t fileSize) {
    const std::uint64_t needed = NeededDataFileSize(fc);
    if (fileSize >= needed) return {};
    return TextWith(lang, txt::FileCutShort, {N(static_cast<long long>(fileSize)), N(fc.ChannelCount), N(fc.WordsConverted),
                                 N(static_cast<long long>(needed))});
}

}  // namespace

std::uint64_t CompleteDataFileSize(const FileConditions& fc) {
    if (fc.ChannelCount < 1) return static_cast<std::uint64_t>(kDataHeaderBytes);
    return static_cast<std::uint64_t>(kDataHeaderBytes) +
           2ull * static_cast<std::uint64_t>(fc.WordsConverted) * static_cast<std::uint64_t>(fc.ChannelCount - 1) +
           2ull * (static_cast<std::uint64_t>(fc.MemoryWords) + 1);
}

std::string DataFileSizeWarning(Language lang, std::uint64_t expected, std::uint64_t actual) {
    if (expected == actual) return {};
    return TextWith(lang, txt::FileLongerThanHeader, {N(static_cast<long long>(actual)), N(static_cast<long long>(expected))});
}

HeaderCheck CheckDataFileHeader(Language lang, const Bytes& header, std::uint64_t fileSize, bool acceptCancelled) {
    HeaderCheck r;
    r.actualSize = fileSize;
    FileConditions fc;
    std::string problem = CheckSignature(lang, header, fileSize, acceptCancelled, r);
    if (problem.empty()) problem = DecodeFields(lang, header, fc);
    if (problem.empty()) problem = CheckMeasurementFields(lang, fc);
    // A cancelled or unfinished file holds the channels that were written before it stopped.
    const bool unfinished = r.isDataFile && !r.complete;
    if (problem.empty()) problem = CheckChannelRecords(lang, fc, unfinished);
    if (problem.empty() && !unfinished) problem = CheckLength(lang, fc, fileSize);
    if (!problem.empty()) {
        r.problem = std::move(problem);
        return r;
    }
    r.expectedSize = CompleteDataFileSize(fc);
    if (!unfinished) r.sizeWarning = DataFileSizeWarning(lang, r.expectedSize, fileSize);
    RebuildMeasuredChannels(fc);
    for (std::size_t k = 0; k < fc.MeasuredChannels.size(); ++k) {
        const std::uint64_t end = static_cast<std::uint64_t>(kDataHeaderBytes) +
                                  2ull * static_cast<std::uint64_t>(fc.WordsConverted) * (k + 1);
        if (end > fileSize) break;
        r.wholeChannels.push_back(fc.MeasuredChannels[k]);
    }
    r.conditions = std::move(fc);
    r.ok = true;
    return r;
}

}  // namespace kmr
