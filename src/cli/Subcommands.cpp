#include "cli/Cli.h"
#include "cli/InstrumentTools.h"
#include "cli/RecordCommand.h"

namespace kmr::cli {

const std::vector<Subcommand>& Subcommands() {
    static const std::vector<Subcommand> table{
        {"info", kInfoUsage,
         "print the header of data files, one \"Name: value\" line per field (--json: a JSON array, one object per file)",
         InfoCommand},
        {"convert", kConvertUsage,
         "convert data files to CSV or HDF5 (beside each file, or in DIR), whole or some channels from one time to "
         "another (seconds, both ends included)",
         ConvertCommand},
        {"record", "[--interface SPEC]",
         "record one measurement with the stored conditions and print the path of the file written",
         RecordCommand},
        {"check", "[--interface SPEC] [ROWS]", "run the instrument's self-checks and print the results table", CheckCommand},
        {"balance", "[--interface SPEC] [CHANNELS]", "balance the strain channels and print the values before and after", BalanceCommand},
    };
    return table;
}

}  // namespace kmr::cli
