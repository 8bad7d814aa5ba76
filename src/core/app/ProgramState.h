#pragma once
// The program-wide state: one object, created at start-up and handed by reference to every
// presenter that reads or changes it. Nothing here is global.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/support/FileWritePort.h"
#include "core/support/SaveElsewherePort.h"
#include "core/conditions/GlobalSettings.h"
#include "core/conditions/MeasConditions.h"
#include "core/datafiles/DataFile.h"
#include "core/graphs/GraphConditions.h"
#include "core/instrument/CommandSet.h"
#include "core/conditions/OutputCal.h"
#include "core/support/FormGeometry.h"
#include "core/support/Progress.h"
#include "core/support/RunStatus.h"
#include "core/support/Vocabulary.h"

namespace kmr {

// ProgramMode values.
inline constexpr std::int16_t kModeStarting = -1;
inline constexpr std::int16_t kModeOffline = 0;
inline constexpr std::int16_t kModeOnline = 1;

// Condition file names inside the condition folder's "Cond" folder.
inline constexpr const char* kMeasCnd = "Meas.cnd";
inline constexpr const char* kGraphCnd = "Graph.cnd";
inline constexpr const char* kGlobalCnd = "Global.cnd";
inline constexpr const char* kHardCnd = "Hard.cnd";
inline constexpr const char* kMeterCnd = "Meter.cnd";
inline constexpr const char* kOutputCalCnd = "OutputCal.cnd";
inline constexpr const char* kInterfaceCnd = "Interface.cnd";

// A stored record the charts show (File > Open Data File...): its file and its conditions.
struct OpenedRecordFile {
    std::string path;
    FileConditions conditions;      // the whole channels only are switched on
    std::vector<int> wholeChannels;  // the measured channels the file holds whole
    bool complete = true;            // the file reads as complete
    std::vector<int> missingChannels;  // the measured channels it does not hold whole
    std::string note;                // which channels a cancelled file shows
    std::string sizeWarning;         // the caution for a file of another length
    // The graphs shown before: the record shows its own channels, and the others come back
    // when it goes (unless the graph conditions were confirmed meanwhile).
    std::array<std::int16_t, kChannels> graphUseBefore{};
    bool restoreGraphUse = false;
};

// A damaged condition file and the copy of what it held (empty: no copy could be made, and the
// file was left as it was).
struct DamagedConditionFile {
    std::string file, copy;
};

struct ProgramState {
    // What every write of a data, CSV or condition file asks first; none in the program (the
    // file system takes every write), a failing disk in tests.
    FileWritePort* Writes = nullptr;
    // Asked for another folder when a transfer's file cannot be written; none: the failure is
    // shown and the transfer ends.
    SaveElsewherePort* SaveElsewhere = nullptr;
    std::int16_t ProgramMode = kModeStarting;
    RunStatus Status = RunStatus::Ok;  // outcome of the last instrument or transfer operation
    // A download of the conditions stopped early: the instrument may not hold what the program
    // shows and a data file would describe. They are sent again, whole, before the next run.
    bool ConditionsUnsent = false;
    // The route was opened again (see GpibBus::Reopenings) since the instrument was last given
    // the date and time: it may have restarted. The count seen is kept in ReopeningsSeen.
    bool DateUnsent = false;
    // The last connect found another program of this computer holding the instrument.
    bool InstrumentHeldElsewhere = false;
    unsigned ReopeningsSeen = 0;

    // Run flags: a run is active while any is set; only the flag of the trigger mode is ever set.
    std::int16_t ManualRunActive = kFalse;
    std::int16_t DataTriggerRunActive = kFalse;
    std::int16_t ExternalRunActive = kFalse;
    std::int32_t WordsConverted = 0;
    // The route's openings (GpibBus::Reopenings) when the run's trigger was answered: an
    // instrument reached over a route opened again since, that counts fewer words converted
    // than the run had seen, restarted meanwhile and no longer holds the run's recording.
    unsigned RunReopenings = 0;
    // The user has been told in this run that the instrument refused a stop or a poll and may
    // still be recording: a further refused poll is not said again.
    bool RefusalTold = false;
    // The instrument has refused a stop once in this run: a second refusal ends the run, so that
    // an instrument that keeps refusing never holds the window (closed only once a run ends).
    bool StopRefused = false;
    // A run ended without the instrument confirming its end (a poll or Stop it did not answer, or
    // a Stop it refused twice): it may still be recording and would refuse the next trigger and
    // settings, so the next Start halts it first.
    bool HaltOwed = false;
    // The system has asked the program to end (AskToEnd): from then on every command is tried
    // once, so that an instrument that has stopped answering costs one time-out, not all attempts.
    bool EndAsked = false;
    // The conditions of such a run: its recording may still be whole in the instrument (a cable
    // pulled and put back), and is offered for transfer once the instrument answers again.
    std::optional<MeasConditions> LostRun;
    // Whether the program stays for a next action that could take that recording (the window);
    // a command that records once and ends cannot, and does not promise it.
    bool OffersLostRecordings = true;
    std::uint32_t RunStartTime = 0;
    std::int16_t DataPresent = kFalse;

    // Monitoring.
    std::int16_t MonitoringOn = kFalse;
    std::uint32_t MonitorReadTime = 0;
    std::array<float, kChannels> MoniData{};

    // Conditions and settings.
    MeasConditions Meas;
    GraphConditions Graph;
    GlobalSettings Global;
    GpibSettings Gpib;
    std::string InterfaceSpec = kDefaultInterfaceSpec;
    std::string InstalledChannelText = kDefaultInstalledChannelText;  // Hard.cnd
    OutputCalConditions OutputCal{};
    InstrumentIdentity Instrument;

    // Data files.
    std::int32_t DataFileNumber = 0;
    std::string LastDataFile;  // path of the file the last transfer wrote (empty: none)
    // The data file behind the charts as it was when they were drawn from it: an export reads it
    // again, and must not take another record put in its place since.
    FileVersion ShownRecordVersion;
    bool LastTransferComplete = false;  // every channel arrived, nothing cancelled or failed
    SampleBuffer Samples;
    Progress progress;
    // The stored record the charts show; none while they show the monitor or the record a run
    // transferred. Every start of a run or of the monitor, and new conditions, forget it.
    std::optional<OpenedRecordFile> OpenedRecord;
    // The data files opened last, the latest first (at most kRecentFileCount).
    std::vector<std::string> RecentFiles;
    // A record handed over by a later start of the program (a file manager's double-click) that
    // waits until the window can open it: the latest one only; empty: none.
    std::string WaitingRecord;

    // The condition files found damaged at start-up (reported once).
    std::vector<DamagedConditionFile> DamagedConditionFiles;
    // Damaged condition files of which no copy could be made: left as they were, and not written
    // by start-up's own saves (only a save the user asks for replaces one).
    std::vector<std::string> HeldConditionFiles;
    bool ConditionFileHeld(const std::string& name) const;

    // Folders, each ending with the path separator.
    std::string CondFolder;       // program folder under the common application data
    std::string DocumentsFolder;  // program folder under the documents

    MainFormGeometry Geometry;
    Vocabulary Vocab;

    // The opened record goes (a run, the monitor, new conditions): the graphs shown before it
    // come back.
    void ForgetOpenedRecord() {
        if (OpenedRecord && OpenedRecord->restoreGraphUse)
            for (int i = 0; i < kChannels; ++i) Graph.Ch[static_cast<std::size_t>(i)].Use = OpenedRecord->graphUseBefore[static_cast<std::size_t>(i)];
        OpenedRecord.reset();
    }
    // The conditions and the samples per channel of the record the charts show: the opened
    // file's, else those of the last run.
    const MeasConditions& RecordMeas() const { return OpenedRecord ? OpenedRecord->conditions : Meas; }
    std::int32_t RecordWords() const { return OpenedRecord ? OpenedRecord->conditions.WordsConverted : WordsConverted; }

    bool RunActive() const {
        return ManualRunActive != kFalse || DataTriggerRunActive != kFalse ||
               ExternalRunActive != kFalse;
    }
    // Condition folder & "Cond/" & name; the folder is made when it is missing.
    std::string CondPath(const std::string& name) const;
    // Documents folder & "Data/".
    std::string DefaultDataFolder() const;
    // The extension of the current file type (".kmr" or ".csv").
    std::string Extension() const;
};

}  // namespace kmr
