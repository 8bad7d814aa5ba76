#pragma once
// The strainmeter's command vocabulary: the texts of the commands built from the measurement
// conditions, and the procedures built from them: initialising the instrument (setting mode,
// date and time), identifying it, downloading the conditions and reading the trigger time.
#include <cstdint>
#include <functional>
#include <string>

#include "core/conditions/GlobalSettings.h"
#include "core/conditions/MeasConditions.h"
#include "core/instrument/CommandTransport.h"
#include "core/support/Clock.h"

namespace kmr {

// What identification learned about the instrument.
struct InstrumentIdentity {
    std::int32_t InstrumentModel = 0;           // 0 KMR-530A, 1 KMR-510C
    std::string InstrumentVersion = "----";     // characters 4 to 7 of the "VER" reply
    std::int32_t MemorySizeCode = 0;            // index into MemoryCapacity
    std::string InstalledChannelText = kDefaultInstalledChannelText;  // "1"/"0" per channel
    std::int16_t FirstInstalledChannel = 0;     // 0 when none
    std::string TriggerTime;                    // of the last run, "yyyy/mm/dd hh:mm:ss"

    bool operator==(const InstrumentIdentity&) const = default;
};

// --- command texts -----------------------------------------------------------------------------

// The clock command of a sampling clock: the sub-millisecond clocks by table (compared as 32-bit
// floats; 0.5 ms is "CLK0"), any other value "CLK " and its shortest form.
std::string ClockCommand(float smpClk);
// "B.V0" ... "B.V -6"; empty for a code the instrument does not know.
std::string InputModeCommand(std::int16_t inputMode);
// "LPF0", "LPF300", "LPF100", "LPF30", "LPF10"; empty for an index outside 0..4.
std::string LpfCommand(std::int16_t lpf);
// "TGL" and DtgLevel / Coeff rounded halves to even (limited to 16 bits); "TGL0" when the
// channel does not take part in the data trigger or has no usable coefficient.
std::string TriggerLevelCommand(const ChannelCondition& c);
// "DTEyy;mm;dd" and "TMEhh;mm;ss".
std::string DateCommand(const LocalDateTime& t);
std::string TimeCommand(const LocalDateTime& t);
// "MRY" and the capacity of a memory size code with two blanks in front.
std::string MemoryProbeCommand(std::int32_t memorySizeCode);
// "MRY" and the words a recording stores; "MRY -" and those it keeps before the trigger.
std::string MemoryWordsCommand(std::int32_t words);
std::string PreMemoryWordsCommand(std::int32_t words);
// "TRG", "DTG", "ETG" for trigger modes 0, 1, 2; empty otherwise.
std::string TriggerCommand(std::int16_t trgMode);

// --- procedures --------------------------------------------------------------------------------

class CommandSet {
public:
    // `advanceSplash` moves the start-up splash progress on; it may be empty.
    CommandSet(CommandTransport& transport, InstrumentIdentity& identity, MeasConditions& conditions,
               const Clock& clock, std::function<void()> advanceSplash = {});

    // "SET1", then the PC's date and time. RunStatus 10 when the instrument refuses remote
    // sensing, 1 on a communication failure.
    void InitialiseInstrument();
    // Fills the identity record and the channels' Installed flags.
    void IdentifyInstrument();
    // Sends the groups of the conditions that the 16-character change mask selects; stops at the
    // first communication failure.
    void DownloadConditions(const std::string& changeMask);
    // "TTM0": the reply from its second character with the century of the PC's year put in front
    // of its two-digit year ("20" when the reply starts otherwise); empty with RunStatus 1 when the
    // instrument has no trigger time (an "ERR" answer, left to the caller to explain) or does not
    // answer (a communication failure like any other).
    std::string ReadTriggerTime();

    void SetSplashAdvance(std::function<void()> advance) { advanceSplash_ = std::move(advance); }

private:
    bool Send(const std::string& command);  // with retry; false on a communication failure
    void RefusedSetup(const std::string& reply);
    void SendDateAndTime(const LocalDateTime& now);
    void AdvanceSplash();

    CommandTransport& t_;
    InstrumentIdentity& id_;
    MeasConditions& m_;
    const Clock& clock_;
    std::function<void()> advanceSplash_;
};

}  // namespace kmr
