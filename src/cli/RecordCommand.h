#pragma once
// `kmr record [--interface SPEC]`: one measurement without a window, with the program's own
// condition folder and files.
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "core/app/Engine.h"

namespace kmr::cli {

// Start-up (an instrument that cannot be reached is an error), one run in the stored trigger
// mode with the remaining time on err, the transfer to the stored file type with a progress bar
// when err is a terminal; Ctrl+C stops the recording and cancels the transfer. Prints the path of
// the file written on out. Exit status 0, 1 when nothing complete was written, 2 for wrong usage.
int RecordCommand(const std::vector<std::string>& args, CliIo& io);

// The same with the bus factory and the clock given (tests use the simulated instrument's time).
int RecordWith(const std::vector<std::string>& args, CliIo& io, const BusFactory& makeBus, Clock& clock);

}  // namespace kmr::cli
