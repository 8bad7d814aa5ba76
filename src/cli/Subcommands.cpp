#include "cli/Cli.h"
#include "cli/InstrumentTools.h"
#include "cli/RecordCommand.h"
#include "core/support/TextIds.h"

namespace kmr::cli {

const std::vector<Subcommand>& Subcommands() {
    static const std::vector<Subcommand> table{
        {"info", kInfoUsage, txt::CliInfoSummary, InfoCommand},
        {"convert", kConvertUsage, txt::CliConvertSummary, ConvertCommand},
        {"record", "[--interface SPEC]", txt::CliRecordSummary, RecordCommand},
        {"check", "[--interface SPEC] [ROWS]", txt::CliCheckSummary, CheckCommand},
        {"balance", "[--interface SPEC] [CHANNELS]", txt::CliBalanceSummary, BalanceCommand},
    };
    return table;
}

}  // namespace kmr::cli
