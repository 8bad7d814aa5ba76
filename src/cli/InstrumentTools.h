#pragma once
// `kmr check` and `kmr balance`: the instrument's self-checks and the strain balance from a
// script, with the program's own condition files and interface.
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "core/app/Engine.h"

namespace kmr::cli {

// `kmr check [--interface SPEC] [ROWS]`: ROWS are check names (rom, ram, insulation, initial,
// direct, sence; default all), run in table order. Prints the results table on out. Exit status 1
// when a check reports an error (ERR, a sensitivity outside its band, a failed exchange) or the
// instrument cannot be reached, 2 for wrong usage.
int CheckCommand(const std::vector<std::string>& args, CliIo& io);
int CheckWith(const std::vector<std::string>& args, CliIo& io, const BusFactory& makeBus, Clock& clock);

// `kmr balance [--interface SPEC] [CHANNELS]`: balances the given strain channels (default every
// measured strain channel) and prints each measured channel's value before and after. Exit
// status 1 when a channel given is not a measured strain channel, the instrument cannot be
// reached or the balance is refused, 2 for wrong usage.
int BalanceCommand(const std::vector<std::string>& args, CliIo& io);
int BalanceWith(const std::vector<std::string>& args, CliIo& io, const BusFactory& makeBus, Clock& clock);

}  // namespace kmr::cli
