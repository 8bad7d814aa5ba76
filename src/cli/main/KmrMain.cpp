// kmr: the command-line tool.
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace {

bool StderrIsTerminal() {
#ifdef _WIN32
    return ::_isatty(2) != 0;
#else
    return ::isatty(STDERR_FILENO) == 1;
#endif
}

// Columns of the terminal behind standard error; 0 when unknown.
int StderrColumns() {
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
    return 0;
#else
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
#ifndef _WIN32
    // A closed pipe on standard output (`kmr info F.kmr | true`) is a failed write that the tool
    // reports with exit status 1, not a signal that ends it without a word.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    kmr::cli::CliIo io{std::cout, std::cerr, StderrIsTerminal()};
    io.language = kmr::LanguageFromEnvironment();
    if (io.errIsTerminal && StderrColumns() > 0) io.errColumns = StderrColumns();
    return kmr::cli::RunKmr(args, io);
}
