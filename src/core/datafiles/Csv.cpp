#include "core/datafiles/Csv.h"

#include <algorithm>
#include <utility>

#include "core/datafiles/FileIo.h"
#include "core/datafiles/TemporaryOutput.h"
#include "core/support/Numbers.h"
#include "core/support/Vocabulary.h"

namespace kmr {

namespace {

const std::string& Pick(const std::vector<std::string>& list, int index) {
    static const std::string none;
    return index >= 0 && static_cast<std::size_t>(index) < list.size() ? list[static_cast<std::size_t>(index)] : none;
}

std::vector<int> EnabledChannels(const MeasConditions& m) {
    std::vector<int> chs;
    for (int ch = 1; ch <= kChannels; ++ch)
        if (m.Ch(ch).Measured()) chs.push_back(ch);
    return chs;
}

std::string ChannelLabel(int ch) {
    char b[8];
    const int v = std::clamp(ch, 0, 999);
    b[0] = static_cast<char>('0' + v / 100);
    b[1] = static_cast<char>('0' + v / 10 % 10);
    b[2] = static_cast<char>('0' + v % 10);
    return ",CH." + std::string(b, 3);
}

class SystemCsvOutputFile final : public CsvOutputFile {
public:
    explicit SystemCsvOutputFile(FileHandle f) : f_(std::move(f)) {}
    bool Append(const void* data, std::size_t size) override { return f_.Append(data, size); }
    bool Close() override { return f_.Close(); }
    int error() const override { return f_.error(); }

private:
    FileHandle f_;
};

}  // namespace

std::string CsvHeaderText(const FileConditions& fc, Language textLanguage, Language unitLanguage) {
    const std::vector<int> chs = EnabledChannels(fc);
    std::string h;
    auto line = [&h](const std::string& s) {
        h += s;
        h += "\r\n";
    };
    std::string trig = fc.TriggerTime;
    trig.erase(trig.find_last_not_of(' ') + 1);
    line("TRG TIME," + trig);
    line("TRG MODE," + Pick(TriggerModeNames(textLanguage), fc.TrgMode));
    line("SMP CLK," + FormatFloat(fc.SmpClk) + ",(mSec.)");
    line("MRY," + std::to_string(fc.MemoryWords) + ",(Word)");
    line("PRE-MRY," + std::to_string(fc.PreMemoryWords) + ",(Word)");
    if (fc.Averaging == 0)
        line("AVE.,OFF,(Point)");
    else
        line("AVE.," + std::to_string(1ll << std::clamp<int>(fc.Averaging, 0, 62)) + ",(Point)");
    line("");
    auto perChannel = [&](const char* head, auto&& item) {
        std::string s = head;
        for (int ch : chs) s += item(fc.Ch(ch), ch);
        line(s);
    };
    perChannel("COND.", [](const ChannelCondition&, int ch) { return ChannelLabel(ch); });
    perChannel("MODE", [](const ChannelCondition& c, int) { return "," + InputModeName(c.InputMode); });
    perChannel("L.P.F", [](const ChannelCondition& c, int) { return "," + Pick(FilterNames(), c.Lpf); });
    perChannel("COEFF.", [](const ChannelCondition& c, int) { return "," + FormatFloat(c.Coeff); });
    perChannel("POINT", [](const ChannelCondition& c, int) {
        return "," + std::string(c.Point >= 0 && c.Point <= 5 ? DigitFormatWithBlanks(c.Point) : "");
    });
    perChannel("UNIT", [&](const ChannelCondition& c, int) { return "," + Pick(UnitNames(unitLanguage), c.Unit); });
    perChannel("DTG ON/OFF", [](const ChannelCondition& c, int) { return "," + ToUpperAscii(Pick(OffOnNames(), c.DtgOnOff)); });
    perChannel("DTG LVL", [](const ChannelCondition& c, int) { return "," + FormatFloat(c.DtgLevel); });
    perChannel("OFFSET", [](const ChannelCondition& c, int) { return "," + FormatFloat(c.Offset); });
    line("");
    perChannel("NO.", [](const ChannelCondition&, int ch) { return ChannelLabel(ch); });
    return h;
}

CsvLayout PlanCsvFiles(Language lang, const std::string& folder, const std::string& fileName,
                       const FileConditions& fc) {
    return PlanCsvFiles(lang, folder, fileName, fc, 0, fc.WordsConverted);
}

CsvLayout PlanCsvFiles(Language lang, const std::string& folder, const std::string& fileName,
                       const FileConditions& fc, std::int32_t first, std::int32_t samples) {
    CsvLayout layout;
    layout.channels = static_cast<int>(EnabledChannels(fc).size());
    layout.lineBytes = kCsvCellBytes * static_cast<std::size_t>(layout.channels + 1) + 2;
    layout.header = CsvHeaderText(fc, lang, LanguageOfUserLanguageId(UserLanguageId(lang)));
    layout.parts = CsvPartsOf(folder, fileName, samples, first);
    return layout;
}

std::vector<CsvPart> CsvPartsOf(const std::string& folder, const std::string& fileName, std::int32_t samples,
                                std::int32_t first) {
    const std::int32_t n = std::max<std::int32_t>(samples, 0);
    if (n <= kCsvLinesPerPart) return {{folder + fileName, first, n, {}}};
    std::vector<CsvPart> parts;
    const std::string stem = folder + fileName.substr(0, fileName.size() >= 4 ? fileName.size() - 4 : 0);
    for (std::int32_t done = 0, j = 0; done < n; done += kCsvLinesPerPart, ++j) {
        parts.push_back({stem + "_" + static_cast<char>('A' + j) + ".csv", first + done,
                         std::min(kCsvLinesPerPart, n - done), {}});
    }
    return parts;
}

std::string IncompleteCsvPath(const std::string& finalPath) {
    const std::size_t stem = finalPath.size() >= 4 ? finalPath.size() - 4 : 0;
    return finalPath.substr(0, stem) + "_incomplete" + finalPath.substr(stem);
}

std::unique_ptr<CsvOutputFile> SystemCsvFileWriter::CreateNew(const std::string& path, int& err) {
    FileHandle f;
    if (!f.Open(path, FileHandle::Mode::CreateNew)) {
        err = f.error();
        return nullptr;
    }
    return std::make_unique<SystemCsvOutputFile>(std::move(f));
}

bool SystemCsvFileWriter::Remove(const std::string& path) { return RemoveFile(path); }

int CsvFileWriter::Commit(const std::string& temporaryPath, const std::string& finalPath) {
    return CommitTemporary(temporaryPath, finalPath);
}

bool CountCsvUnits(Progress& p, ProgressView& view, RunStatus& status, std::int64_t units) {
    // Most calls end far from the next yield.
    if (p.ProgressIncrement > 0 && p.ProgressCounter + units * p.ProgressIncrement < p.TransferBlockWords) {
        p.ProgressCounter = static_cast<std::int16_t>(p.ProgressCounter + units * p.ProgressIncrement);
        return true;
    }
    while (units > 0) {
        if (p.ProgressIncrement <= 0) {
            if (!p.CountUnit(view, status)) return false;
            --units;
            continue;
        }
        // CountUnit yields on the unit that brings the counter to TransferBlockWords.
        const std::int64_t room = std::max<std::int64_t>(0, p.TransferBlockWords - p.ProgressCounter);
        const std::int64_t toYield = std::max<std::int64_t>(1, (room + p.ProgressIncrement - 1) / p.ProgressIncrement);
        if (units < toYield) {
            p.ProgressCounter = static_cast<std::int16_t>(p.ProgressCounter + units * p.ProgressIncrement);
            return true;
        }
        p.ProgressCounter = static_cast<std::int16_t>(p.ProgressCounter + (toYield - 1) * p.ProgressIncrement);
        units -= toYield;
        if (!p.CountUnit(view, status)) return false;
    }
    return true;
}


}  // namespace kmr
