// kmr: the command-line tool.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    kmr::cli::CliIo io{std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1};
    const int rc = kmr::cli::RunKmr(args, io);
    std::cout.flush();
    return rc;
}
