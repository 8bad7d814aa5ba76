#include "core/instrument/CommandSet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/support/Numbers.h"
#include "core/support/TextTable.h"

namespace kmr {

namespace {

// Mask positions (1-based) of the groups.
constexpr std::size_t kMaskClock = 12;
constexpr std::size_t kMaskMemory = 13;
constexpr std::size_t kMaskPreMemory = 14;
constexpr std::size_t kMaskAveraging = 15;
// Characters of the channel reply before the tenth channel's field (nine fields of 7 and their
// separators).
constexpr std::size_t kFieldsBeforeLast = 8 * (kChannels - 1);

bool MaskSet(const std::string& mask, std::size_t position) {
    return position >= 1 && position <= mask.size() && mask[position - 1] == '1';
}

std::string TwoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", ((v % 100) + 100) % 100);
    return buf;
}

// The instrument keeps only the last two digits of the year. The century is the one that puts
// the year nearest the PC's own (it set the instrument's clock), so that a trigger in 2100 is not
// dated 2000, nor one on a PC still set to 1999 dated 2099. A reply that does not start with two
// digits keeps the fixed "20" in front.
std::string WithCentury(const std::string& afterFirst, int pcYear) {
    const bool twoDigits = afterFirst.size() >= 2 && afterFirst[0] >= '0' && afterFirst[0] <= '9' &&
                           afterFirst[1] >= '0' && afterFirst[1] <= '9';
    if (!twoDigits || pcYear < 1100 || pcYear > 9899) return "20" + afterFirst;
    int year = pcYear - pcYear % 100 + (afterFirst[0] - '0') * 10 + (afterFirst[1] - '0');
    if (year > pcYear + 49) year -= 100;
    else if (year < pcYear - 50) year += 100;
    return std::to_string(year) + afterFirst.substr(2);
}

}  // namespace

std::string ClockCommand(float smpClk) {
    const std::string_view subMs = SubMsClockCommand(smpClk);
    if (!subMs.empty()) return std::string(subMs);
    return std::string(kWholeMsClockPrefix) + FormatFloat(smpClk);
}

std::string InputModeCommand(std::int16_t inputMode) {
    const InputModeFact* m = FindInputMode(inputMode);
    return m ? std::string(m->command) : std::string();
}

std::string LpfCommand(std::int16_t lpf) {
    if (!kLpfRange.Holds(lpf)) return {};
    return std::string(kFilters[static_cast<std::size_t>(lpf)].command);
}

std::string TriggerLevelCommand(const ChannelCondition& c) {
    if (!c.DataTrigger()) return "TGL0";
    const double counts = static_cast<double>(c.DtgLevel) / static_cast<double>(c.Coeff);
    if (!std::isfinite(counts)) return "TGL0";
    const double n = std::clamp(RoundHalfEven(counts), -kLargestTriggerCounts - 1.0, kLargestTriggerCounts);
    return "TGL" + std::to_string(static_cast<long>(n));
}

std::string DateCommand(const LocalDateTime& t) {
    return "DTE" + TwoDigits(t.year) + ";" + TwoDigits(t.month) + ";" + TwoDigits(t.day);
}

std::string TimeCommand(const LocalDateTime& t) {
    // A leap second (":60", where the PC's time zone counts them) is sent as the second before it:
    // the instrument takes 0 to 59 only, and a refused time would end the start-up.
    return "TME" + TwoDigits(t.hour) + ";" + TwoDigits(t.minute) + ";" + TwoDigits(std::min(t.second, 59));
}

std::string MemoryProbeCommand(std::int32_t memorySizeCode) {
    return "MRY  " + std::to_string(MemoryCapacity(memorySizeCode));
}

std::string MemoryWordsCommand(std::int32_t words) { return "MRY " + std::to_string(words); }
std::string PreMemoryWordsCommand(std::int32_t words) { return "MRY -" + std::to_string(words); }

std::string TriggerCommand(std::int16_t trgMode) {
    if (!kTrgModeRange.Holds(trgMode)) return {};
    return std::string(kTriggerCommands[static_cast<std::size_t>(trgMode)]);
}

CommandSet::CommandSet(CommandTransport& transport, InstrumentIdentity& identity,
                       MeasConditions& conditions, const Clock& clock,
                       std::function<void()> advanceSplash)
    : t_(transport), id_(identity), m_(conditions), clock_(clock),
      advanceSplash_(std::move(advanceSplash)) {}

bool CommandSet::Send(const std::string& command) {
    t_.SendCommand(command, 1);
    return t_.Connection().Status() != RunStatus::CommFailed;
}

void CommandSet::AdvanceSplash() {
    if (advanceSplash_) advanceSplash_();
}

// "SET1" was not answered with END.
void CommandSet::RefusedSetup(const std::string& reply) {
    UiPort& ui = t_.Connection().Ui();
    RunStatus& status = t_.Connection().Status();
    if (ui.IsSplashShowing()) ui.MakeSplashNonTopmost();
    if (reply.rfind("ERR-022", 0) == 0) {
        // The bridge voltage cannot be sensed remotely: the extension cable is wrong.
        status = RunStatus::Refused;
        ui.ShowMessage(ui.Text(txt::NoRemoteSensing), ui.Text(txt::ErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    } else {
        status = RunStatus::CommFailed;
        t_.Failure("SET1", kErrorSendingCommand, true, reply);
    }
}

void CommandSet::InitialiseInstrument() {
    const LocalDateTime now = clock_.Now();
    const std::string reply = t_.SendCommand("SET1", 0);
    if (reply.rfind("END", 0) != 0) {
        RefusedSetup(reply);
        return;
    }
    SendDateAndTime(now);
}

void CommandSet::SendDateAndTime(const LocalDateTime& now) {
    t_.SendCommand(DateCommand(now), 1);
    if (t_.Connection().Status() != RunStatus::CommFailed) t_.SendCommand(TimeCommand(now), 1);
}

void CommandSet::IdentifyInstrument() {
    UiPort& ui = t_.Connection().Ui();
    RunStatus& status = t_.Connection().Status();
    std::string reply = t_.SendCommand("SET1", 0);
    if (reply.rfind("END", 0) != 0) {
        RefusedSetup(reply);
        return;
    }

    // The KMR-530A has no 5.0 V bridge and refuses B.V3; the KMR-510C accepts it.
    reply = t_.SendCommand("B.V3", 0);
    const bool is530 = reply.rfind("ERR-004", 0) == 0;
    const bool is510 = reply.rfind("END", 0) == 0;
    const bool modelKnown = is530 || is510;
    if (modelKnown) {
        const std::string ver = t_.SendCommand("VER", 1);
        if (status == RunStatus::CommFailed) return;
        id_.InstrumentVersion = ver.size() > 3 ? ver.substr(3, 4) : std::string();
        id_.InstrumentModel = is530 ? kModelKmr530A : kModelKmr510C;
    } else {
        status = RunStatus::CommFailed;
        t_.Failure("B.V3", kErrorSendingCommand, true, reply);
    }

    // The memory answers END to the largest capacity it has and refuses the larger ones. A probe
    // without any reply tells nothing of the memory: taken for a refusal, an answer that came late
    // or not at all would make a smaller memory of it, and start-up would cut the memory words
    // (and save them so). It is a failure, and the memory size stays as it was.
    for (std::int32_t code = 0; code < static_cast<std::int32_t>(kMemoryCapacities.size()); ++code) {
        const std::string probe = MemoryProbeCommand(code);
        reply = t_.SendCommand(probe, 0);
        if (reply.rfind("END", 0) == 0) {
            id_.MemorySizeCode = code;
            break;
        }
        if (reply.empty()) {
            status = RunStatus::CommFailed;
            if (modelKnown) t_.Failure(probe, kErrorSendingCommand, true, reply);  // else said above
            return;
        }
    }

    reply = t_.SendCommand(kSelectAllChannelsCommand, 0);
    // One field per channel: a line that does not reach the tenth (no reply, the reply of another
    // command, or one cut short) would pass for channels taken out, and the measured channels chosen
    // would be switched off for them. It is a failure, and the channels stay as they were. The
    // tenth field itself may be blank, and the blanks trimmed: that channel is not installed.
    if (reply.size() < kFieldsBeforeLast) {
        status = RunStatus::CommFailed;
        t_.Failure(kSelectAllChannelsCommand, kErrorSendingCommand, true, reply);
        return;
    }
    id_.FirstInstalledChannel = 0;
    id_.InstalledChannelText.clear();
    for (int n = 1; n <= kChannels; ++n) {
        const std::size_t pos = static_cast<std::size_t>(8 * (n - 1));
        const std::string field = pos < reply.size() ? reply.substr(pos, 7) : std::string();
        const bool installed = field.rfind("END", 0) == 0;
        m_.Ch(n).Installed = installed ? 1 : 0;
        id_.InstalledChannelText += installed ? '1' : '0';
        if (installed && id_.FirstInstalledChannel == 0)
            id_.FirstInstalledChannel = static_cast<std::int16_t>(n);
    }
    t_.SendCommand("RES", 0);
    // The commands after an unknown model reset the status, but the identification has failed
    // (said above): a program that went on would take the instrument for the model it knew
    // before, send it that model's settings and change the input modes to suit it.
    if (!modelKnown) status = RunStatus::CommFailed;

    if (id_.FirstInstalledChannel == 0) {
        if (ui.IsSplashShowing()) ui.MakeSplashNonTopmost();
        ui.ShowMessage(ui.Text(txt::NoEffectiveChannel), ui.Text(txt::ErrorTitle), MsgIcon::Exclamation,
                       MsgButtons::Ok);
    }
}

void CommandSet::DownloadConditions(const std::string& mask) {
    // Per changed, measured channel: its input mode, filter and trigger level.
    for (int n = 1; n <= kChannels; ++n) {
        const ChannelCondition& c = m_.Ch(n);
        if (!MaskSet(mask, static_cast<std::size_t>(n)) || !c.Measured()) continue;
        if (!Send("RES")) return;
        if (!Send("SET" + std::to_string(n))) return;
        // A code the instrument does not know (only a hand-edited Meas.cnd holds one) is not
        // sent: the instrument keeps its setting.
        const std::string mode = InputModeCommand(c.InputMode);
        if (!mode.empty() && !Send(mode)) return;
        const std::string lpf = LpfCommand(c.Lpf);
        if (!lpf.empty() && !Send(lpf)) return;
        if (!Send(TriggerLevelCommand(c))) return;
        AdvanceSplash();
    }

    // Leave exactly the measured channels selected, for the run and the monitor.
    if (!Send("RES")) return;
    for (int n = 1; n <= kChannels; ++n)
        if (m_.Ch(n).Measured() && !Send("SET" + std::to_string(n))) return;

    AdvanceSplash();
    if (IsSubMsClock(m_.SmpClk)) {
        // Averaging can be set only at 1 ms and slower: go there first.
        if (MaskSet(mask, kMaskAveraging)) {
            if (!Send("CLK 1")) return;
            if (!Send("AVE " + std::to_string(m_.Averaging))) return;
            if (!Send(ClockCommand(m_.SmpClk))) return;
        }
        if (MaskSet(mask, kMaskClock) && !Send(ClockCommand(m_.SmpClk))) return;
    } else {
        if (MaskSet(mask, kMaskClock) && !Send(ClockCommand(m_.SmpClk))) return;
        if (MaskSet(mask, kMaskAveraging) && !Send("AVE " + std::to_string(m_.Averaging))) return;
    }

    AdvanceSplash();
    if (MaskSet(mask, kMaskMemory) && !Send(MemoryWordsCommand(m_.MemoryWords))) return;
    if (MaskSet(mask, kMaskPreMemory) && !Send(PreMemoryWordsCommand(m_.PreMemoryWords))) return;

    RebuildMeasuredChannels(m_);
    AdvanceSplash();

    if (id_.InstrumentModel == kModelKmr510C) {
        if (!Send("RNG1000")) return;
        t_.SendCommand("MON", 1);  // its reply and status are not examined
    }
}

std::string CommandSet::ReadTriggerTime() {
    const std::string reply = t_.SendCommand("TTM0", 0);
    // The instrument was never triggered: the caller says what that means for the record.
    if (reply.rfind("ERR", 0) == 0) {
        t_.Connection().Status() = RunStatus::CommFailed;
        return {};
    }
    // No reply at all is no trigger time either, rather than a time of "20". Without it the
    // record cannot be named and is not transferred: that is said, never passed over in silence.
    if (reply.empty()) {
        t_.Connection().Status() = RunStatus::CommFailed;
        t_.Failure("TTM0", kErrorReceivingData, false);
        return {};
    }
    id_.TriggerTime = WithoutControlBytes(WithCentury(reply.substr(1), clock_.Now().year));
    return id_.TriggerTime;
}

}  // namespace kmr
