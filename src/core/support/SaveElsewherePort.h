#pragma once
// Where a transfer goes when its data file cannot be written (a full disk, a removed drive, no
// permission): the recording is still in the instrument's memory, so the user is offered another
// folder and the transfer runs again from the instrument. The window asks and opens the folder
// picker; the command line names the failure and gives up; tests answer with a folder.
#include <optional>
#include <string>

namespace kmr {

class SaveElsewherePort {
public:
    virtual ~SaveElsewherePort() = default;
    // The data file could not be written in `folder`; `problem` is the message that says why (it
    // names the file). Returns the folder (ending with the separator) to transfer the recording
    // into again, or nothing to give up.
    virtual std::optional<std::string> OtherFolder(const std::string& problem, const std::string& folder) = 0;
};

}  // namespace kmr
