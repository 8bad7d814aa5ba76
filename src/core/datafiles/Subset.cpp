#include "core/datafiles/Subset.h"

#include <algorithm>
#include <cmath>

#include "core/datafiles/FileIo.h"
#include "core/support/Numbers.h"

namespace kmr {

namespace {

// Times closer to a range's end than this fraction of the clock count as on it: a typed decimal
// and index x clock differ by far less, and samples lie a whole clock apart.
constexpr double kTimeTolerance = 1e-6;

std::string ChannelListText(const std::vector<int>& channels) {
    std::string s;
    for (int ch : channels) s += (s.empty() ? "" : ", ") + std::to_string(ch);
    return s;
}

}  // namespace

double DecimalClockMs(float smpClk) { return DecimalValue(smpClk); }

double SampleSeconds(std::int64_t index, float smpClk) {
    return static_cast<double>(index) * DecimalClockMs(smpClk) / 1000.0;
}

ResolvedSubset ResolveSubset(const FileConditions& fc, const ConversionSubset& subset, Language lang) {
    ResolvedSubset r;
    std::vector<int> on;
    for (int ch = 1; ch <= kChannels; ++ch)
        if (fc.Ch(ch).Measured()) on.push_back(ch);

    // Channels: each asked for must be one of the file's.
    std::vector<int> chosen = subset.channels.empty() ? on : subset.channels;
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    for (int ch : chosen) {
        if (std::find(on.begin(), on.end(), ch) == on.end()) {
            r.problem = TextWith(lang, txt::ChannelNotInFile, {std::to_string(ch), ChannelListText(on)});
            return r;
        }
    }
    r.channels = chosen;
    r.conditions = fc;
    for (int ch = 1; ch <= kChannels; ++ch) {
        const bool keep = std::find(chosen.begin(), chosen.end(), ch) != chosen.end();
        if (!keep) r.conditions.Ch(ch).OnOff = 0;
    }
    r.conditions.ChannelCount = static_cast<std::int16_t>(chosen.size());
    RebuildMeasuredChannels(r.conditions);
    for (int ch : chosen)
        r.blocks.push_back(static_cast<int>(std::find(on.begin(), on.end(), ch) - on.begin()));

    // Samples.
    const std::int32_t n = std::max<std::int32_t>(fc.WordsConverted, 0);
    if (subset.samples) {
        const SampleRange s = *subset.samples;
        if (s.first < 0 || s.count <= 0 || s.first > n - s.count) {
            r.problem = TextWith(
                lang, txt::SamplesNotInFile,
                {std::to_string(s.first), std::to_string(std::int64_t{s.first} + s.count - 1), std::to_string(n)});
            return r;
        }
        r.samples = s;
        r.ok = true;
        return r;
    }
    const double clockSeconds = DecimalClockMs(fc.SmpClk) / 1000.0;
    std::int64_t first = 0, last = std::int64_t{n} - 1;
    if (clockSeconds > 0) {
        // Indexes far outside the file are kept just outside it (no overflow).
        auto index = [n, clockSeconds](double seconds) {
            return std::clamp(seconds / clockSeconds, -1.0, static_cast<double>(n) + 1.0);
        };
        if (subset.fromSeconds)
            first = std::max<std::int64_t>(first, static_cast<std::int64_t>(std::ceil(index(*subset.fromSeconds) - kTimeTolerance)));
        if (subset.toSeconds)
            last = std::min<std::int64_t>(last, static_cast<std::int64_t>(std::floor(index(*subset.toSeconds) + kTimeTolerance)));
    } else {  // every sample at 0 s
        if ((subset.fromSeconds && *subset.fromSeconds > 0) || (subset.toSeconds && *subset.toSeconds < 0)) last = -1;
    }
    const bool bounded = subset.fromSeconds || subset.toSeconds;
    if (!bounded && n == 0) {  // a file without samples, taken whole
        r.samples = {0, 0};
        r.ok = true;
        return r;
    }
    if (first > last) {
        const double end = SampleSeconds(std::max<std::int32_t>(n - 1, 0), fc.SmpClk);
        const std::string span = FormatDouble(end), count = std::to_string(n);
        // With one end only, the other is not made up: "between 0.06 s and 0.05 s" reads as a typing slip.
        if (subset.fromSeconds && !subset.toSeconds)
            r.problem = TextWith(lang, txt::NoSampleFromTime, {FormatDouble(*subset.fromSeconds), span, count});
        else if (subset.toSeconds && !subset.fromSeconds)
            r.problem = TextWith(lang, txt::NoSampleUpToTime, {FormatDouble(*subset.toSeconds), span, count});
        else
            r.problem = TextWith(lang, txt::NoSampleInTimeRange,
                                 {FormatDouble(*subset.fromSeconds), FormatDouble(*subset.toSeconds), span, count});
        return r;
    }
    r.samples = {static_cast<std::int32_t>(first), static_cast<std::int32_t>(last - first + 1)};
    r.ok = true;
    return r;
}

std::string SubsetProblemForFile(const std::string& path, const ConversionSubset& subset, Language lang,
                                 bool wholeChannels) {
    if (subset.Whole()) return {};
    FileHandle f;
    if (!f.Open(path, FileHandle::Mode::ReadOnly)) return {};
    const std::int64_t size = f.Size();
    if (size < kDataHeaderBytes) return {};
    Bytes header(kDataHeaderBytes);
    if (!f.ReadAt(0, header.data(), header.size())) return {};
    const HeaderCheck h = CheckDataFileHeader(lang, header, static_cast<std::uint64_t>(size), wholeChannels);
    if (!h.ok || h.wholeChannels.empty()) return {};
    const FileConditions held =
        wholeChannels ? WholeChannelsOnly(h.conditions, static_cast<int>(h.wholeChannels.size())) : h.conditions;
    // A channel the file has, but cut short, is not "not in the file".
    for (int ch : subset.channels)
        if (ch >= 1 && ch <= kChannels && h.conditions.Ch(ch).Measured() && !held.Ch(ch).Measured())
            return TextWith(lang, txt::ChannelNotWholeInFile, {std::to_string(ch), ChannelListText(held.MeasuredChannels)});
    const ResolvedSubset r = ResolveSubset(held, subset, lang);
    return r.ok ? std::string() : r.problem;
}

std::optional<std::vector<int>> ParseChannelList(const std::string& text) {
    std::vector<int> out;
    std::size_t at = 0;
    auto number = [](const std::string& s) -> std::optional<int> {
        const std::string t = TrimCopy(s);
        if (t.empty() || t.size() > 2 || t.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
        const int v = std::stoi(t);
        if (v < 1 || v > kChannels) return std::nullopt;
        return v;
    };
    while (at <= text.size()) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        const std::string item = text.substr(at, comma - at);
        const std::size_t dash = item.find('-');
        if (dash == std::string::npos) {
            const auto v = number(item);
            if (!v) return std::nullopt;
            out.push_back(*v);
        } else {
            const auto a = number(item.substr(0, dash)), b = number(item.substr(dash + 1));
            if (!a || !b || *a > *b) return std::nullopt;
            for (int ch = *a; ch <= *b; ++ch) out.push_back(ch);
        }
        at = comma + 1;
    }
    return out;
}

}  // namespace kmr
