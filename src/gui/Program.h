#pragma once
// The window program as one object: the program-wide state, the ports the core talks to (message
// boxes, the clock, the splash window, the progress window, the main window) and the engine.
// main() and the window tests make one and run its start-up.
#include <QString>

#include <memory>
#include <string>

#include "core/app/Engine.h"
#include "core/app/Startup.h"
#include "gui/MainDlg.h"
#include "gui/QtClock.h"
#include "gui/QtUi.h"
#include "gui/OtherFolderPicker.h"
#include "gui/SplashDlg.h"
#include "gui/TransactionSplashDlg.h"

namespace kmr::gui {

struct ProgramOptions {
    std::string interfaceOverride;  // --interface SPEC / --simulate; empty: the stored interface
    // Makes the bus of a spec; empty: the link layer's routes, each run on the worker thread.
    BusFactory makeBus;
    // The condition and documents folders; empty: the platform's (Windows takes them from the
    // user's profile, not from variables a caller could point elsewhere).
    StartupFolders folders;
    // A stored record to open once the main window shows (kmr-5300 FILE.kmr); empty: none.
    std::string openFile;
};

class Program {
public:
    Program();
    ~Program();

    // The start-up sequence; on Online or Offline the main window is shown.
    StartupOutcome Start(const ProgramOptions& options);
    // A record a later start of the program hands over: opened as soon as the window can take it
    // (after start-up, once a form closes or a handler returns).
    void HandOver(const QString& path);
    // The system ends the program (SIGTERM, SIGHUP, Ctrl+C in its terminal): without a question,
    // keeping a recording; during start-up, as soon as the main window would show.
    void EndAtSystemRequest();

    ProgramState& State() { return state_; }
    Engine& Core() { return *engine_; }
    MainDlg& Main() { return *main_; }
    SplashDlg& Splash() { return *splash_; }
    TransactionSplashDlg& ProgressWindow() { return *progress_; }
    QtUi& Ui() { return ui_; }
    OtherFolderPicker& FolderPicker() { return *otherFolderPicker_; }
    // The notice of a long wait (a stalled link).
    class WaitDlg& WaitNotice() { return *wait_; }

private:
    void OpenWaitingRecord();
    bool started_ = false;     // start-up is over
    bool endPending_ = false;  // the system asked to end during start-up

    ProgramState state_;
    QtUi ui_;
    QtClock clock_;
    std::unique_ptr<MainDlg> main_;
    std::unique_ptr<SplashDlg> splash_;
    std::unique_ptr<TransactionSplashDlg> progress_;
    std::unique_ptr<class WaitDlg> wait_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<OtherFolderPicker> otherFolderPicker_;
    std::unique_ptr<AskForOtherFolder> saveElsewhere_;
    std::unique_ptr<class FocusCues> focusCues_;
};

// The link layer's bus of a spec, on the worker thread.
BusFactory WorkerBusFactory();

}  // namespace kmr::gui
