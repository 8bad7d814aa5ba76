#pragma once
// Where a transfer goes when its data file cannot be written (a full disk, a removed drive, no
// permission): the recording is still in the instrument's memory, so the user is offered another
// folder and the transfer runs again from the instrument. The window asks and opens the folder
// picker (AskForOtherFolder); the command line names the failure and gives up; tests answer with
// a folder.
#include <optional>
#include <string>

namespace kmr {

class UiPort;

class SaveElsewherePort {
public:
    virtual ~SaveElsewherePort() = default;
    // The data file could not be written in `folder`; `problem` is the message that says why (it
    // names the file). Returns the folder (ending with the separator) to transfer the recording
    // into again, or nothing to give up.
    virtual std::optional<std::string> OtherFolder(const std::string& problem, const std::string& folder) = 0;
};

// The window's folder picker, opened at `folder` and waited for: the folder chosen, or nothing
// when it closed without one (its Cancel, a folder that failed the write test).
class FolderPickerPort {
public:
    virtual ~FolderPickerPort() = default;
    virtual std::optional<std::string> PickFolder(const std::string& folder) = 0;
};

// The offer as the window makes it: the failure with the question "save it in another folder?";
// Yes opens the picker. A picker closed without a folder asks again, so only No gives the
// recording up.
class AskForOtherFolder : public SaveElsewherePort {
public:
    AskForOtherFolder(UiPort& ui, FolderPickerPort& picker) : ui_(ui), picker_(picker) {}
    std::optional<std::string> OtherFolder(const std::string& problem, const std::string& folder) override;

private:
    UiPort& ui_;
    FolderPickerPort& picker_;
};

}  // namespace kmr
