#include "cli/Cli.h"

namespace kmr::cli {

const std::vector<Subcommand>& Subcommands() {
    static const std::vector<Subcommand> table{
        {"info", "FILE.kmr...", "print the header of data files, one \"Name: value\" line per field", InfoCommand},
        {"convert", "[--out DIR] FILE.kmr...", "convert data files to CSV (beside each file, or in DIR)",
         ConvertCommand},
    };
    return table;
}

}  // namespace kmr::cli
