#pragma once
// Start-up and shutdown of the program: loading every condition file, connecting to the
// instrument, bringing it into the stored conditions, the off-line offer, and the close and
// unload rules of the main window.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/Engine.h"
#include "core/app/MainView.h"
#include "core/app/ProgramState.h"
#include "core/app/SaveProblems.h"
#include "core/app/StartupChecks.h"
#include "core/support/Clock.h"
#include "core/support/FormGeometry.h"
#include "core/support/UiPort.h"

namespace kmr {

// --- Initialise ----------------------------------------------------------------------------------

// Where start-up finds its folders and today's date. The folders end with the path separator.
struct StartupFolders {
    std::string CondFolder;       // GetCommonAppDataPath_WithVNT("VNT")
    std::string DocumentsFolder;  // GetMyDocumentsPath()
};
StartupFolders PlatformStartupFolders();

// "YYYYMMDD" of a date.
std::string DateBaseName(const LocalDateTime& date);

// Loads every condition file with its defaults, snaps the trigger levels, repairs the data
// folder, applies the CSV memory rule and computes the next data-file number. Files that cannot
// be written are named in one message at the end (nothing else is shown).
void Initialise(ProgramState& s, const StartupFolders& folders, const LocalDateTime& today,
                Splash& splash, UiPort& ui);

// The memory-limit step: MemoryWords above the instrument's capacity become the capacity with
// pre-memory 0. True when the conditions changed (the caller saves Meas.cnd).
bool LimitMemoryWords(MeasConditions& m, std::int32_t memorySizeCode);

// The KMR-530A has no 5.0 V bridge: input modes 3 and -6 become 2. Not saved.
void ReplaceUnavailableInputModes(MeasConditions& m, std::int32_t model);

// The question of the off-line offer: the address and delimiter in use and "continue off-line?".
std::string OfflineOfferText(Language lang, const GpibSettings& gpib);

// --- The start-up sequence ------------------------------------------------------------------------

struct StartupOptions {
    StartupFolders folders;
    // The main window's geometry as the settings store holds it, and the screen it opens on.
    std::string geometryText = kDefaultGeometryText;
    ScreenArea screen{15360, 11040, 15360, 11520};
    // The route to the instrument for this run only; empty: Interface.cnd decides.
    std::string interfaceOverride;
    BusFactory makeBus;
    // Decides how numbers are read (the decimal-symbol check).
    DecimalConversion decimalConversion = ProgramDecimalConversion;
};

enum class StartupOutcome {
    Online,   // the instrument is connected and holds the conditions; show the main window
    Offline,  // the user chose to go on without the instrument; show the main window
    Exit,     // the program ends (decimal symbol, abandon)
};

// Runs the whole start-up: checks, folders, every condition file, the connection, identification,
// reconciliation with Hard.cnd, initialisation, the memory limit, the full download and the
// preparation of the main window. A communication failure at any instrument step offers
// off-line work; a refused initialisation or an instrument without channels abandons.
StartupOutcome RunStartup(Engine& e, const StartupOptions& options);

// The steps of the sequence, for the tests and the command-line tool.
// Loads Meter.cnd and Interface.cnd, makes the bus, opens with the 10 s timeout and identifies.
// A route other programs can use too is refused while another program of this computer has the
// instrument at the same address open through it (the window and `kmr record`, say).
void Connect(Engine& e, const std::string& interfaceOverride, const BusFactory& makeBus);
// The file whose lock a program holds while it has the instrument at the GP-IB address of `s`
// open through `route`.
std::string InstrumentLockPath(const ProgramState& s, const std::string& route);
// Installed channels against Hard.cnd, then the instrument's clock.
void ReconcileHardware(Engine& e);
// Prepares the main window before it is first shown.
void PrepareMainWindow(Engine& e);

// Option > Connect: a program that started off-line or lost its instrument goes on-line without a
// restart. Start-up's connect, identify, reconciliation and download steps run again with the
// splash (the link start-up made is replaced by a new one of the same route); on success the
// program is on-line, otherwise off-line, and the main window follows. Not while a run is active.
bool ConnectAgain(Engine& e);

// --- Shutdown ------------------------------------------------------------------------------------

// The close request of the main window: true when the window may close. Never asked while
// starting; refused silently once the system has asked the program to end (that end follows);
// refused while a run is active, with a message saying why; otherwise the user is asked.
bool CloseRequestAllowed(const ProgramState& s, UiPort& ui);

// Unloading the main window: the geometry is stored (through `saveGeometry`), monitoring stops,
// and on-line the connection is closed.
void UnloadMainWindow(Engine& e, const std::function<void(const MainFormGeometry&)>& saveGeometry);

// The system asks the program to end. Said at once, also while a handler waits for the
// instrument (the end itself waits for that handler): the command in progress ends after its
// attempt in progress, as Stop or Cancel in the notice of a long wait end it, and every command
// from then on, the end's own included, is tried once. An instrument that has stopped answering
// therefore holds the end for one time-out per command, not for every attempt Meter.cnd allows.
void AskToEnd(Engine& e);

// The system ends the program (SIGTERM at logout or from a service manager, SIGHUP, Ctrl+C in its
// terminal): nobody is there to answer the question, and a recording must not be lost. A run in
// progress is stopped as Stop stops it, so that what the instrument recorded goes into the data
// file (a Stop the instrument refuses is tried once more, and a second refusal ends the run as
// Stop does); then the window is unloaded as after Quit. Starting, nothing is sent.
void EndAtSystemRequest(Engine& e, const std::function<void(const MainFormGeometry&)>& saveGeometry);

}  // namespace kmr
