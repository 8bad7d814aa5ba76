#pragma once
// One program per user. A start that finds the program running hands it the record it was given
// (a file manager's double-click) and ends quietly; otherwise it says that the program runs
// already, brings the running one to the front and ends.
#include <string>

#include "core/support/UiPort.h"

namespace kmr {

// The program as other starts see it.
class RunningInstancePort {
public:
    virtual ~RunningInstancePort() = default;
    // True when no other start of the program runs: this one is the program from now on.
    virtual bool Claim() = 0;
    // Asks the running program to come to the front and, when `dataFile` is given, to open it;
    // true when it answered.
    virtual bool ActivateRunning(const std::string& dataFile) = 0;
};

enum class StartAs {
    Program,  // the first start: it runs
    Handed,   // the record went to the running program: this start ends with exit code 0
    Refused,  // the program runs already: this start ends with exit code 1
};

// Decides what this start is; `dataFile` is the record given on the command line (absolute), or empty.
StartAs ClaimOrHandOver(RunningInstancePort& instance, UiPort& ui, const std::string& dataFile);

}  // namespace kmr
