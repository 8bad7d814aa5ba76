// kmr: the command-line tool.
#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    kmr::cli::CliIo io{std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1};
    winsize size{};
    if (io.errIsTerminal && ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) io.errColumns = size.ws_col;
    return kmr::cli::RunKmr(args, io);
}
