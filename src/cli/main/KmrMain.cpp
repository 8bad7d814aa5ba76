// kmr: the command-line tool.
#ifdef _WIN32
#include <io.h>
#include <windows.h>
// After windows.h.
#include <shellapi.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <csignal>
#include <cstdlib>
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

#ifdef _WIN32
// The arguments as UTF-8, the program's own text: argv holds them in the system's code page,
// which cannot hold every file name (Japanese names on a Western system, for one).
std::vector<std::string> Utf8Arguments() {
    std::vector<std::string> args;
    int n = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &n);
    if (wide == nullptr) return args;
    for (int i = 1; i < n; ++i) {
        const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string a(static_cast<std::size_t>(bytes > 0 ? bytes - 1 : 0), '\0');
        if (bytes > 1) ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, a.data(), bytes, nullptr, nullptr);
        args.push_back(std::move(a));
    }
    ::LocalFree(wide);
    return args;
}

// What the tool prints is UTF-8: the console shows it as such while the tool runs, and gets its
// own code page back at the end.
UINT g_consoleOutputCp = 0;
void ConsoleSpeaksUtf8() {
    g_consoleOutputCp = ::GetConsoleOutputCP();
    if (g_consoleOutputCp == 0 || g_consoleOutputCp == CP_UTF8 || !::SetConsoleOutputCP(CP_UTF8)) return;
    std::atexit([] { ::SetConsoleOutputCP(g_consoleOutputCp); });
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifndef _WIN32
    // A closed pipe on standard output (`kmr info F.kmr | true`) is a failed write that the tool
    // reports with exit status 1, not a signal that ends it without a word.
    std::signal(SIGPIPE, SIG_IGN);
    // Likewise a file-size limit (`ulimit -f`, a service's limit): a write past it fails with
    // EFBIG and the conversion removes what it wrote, as on a full disk, instead of the process
    // ending on the spot with a temporary file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
#ifdef _WIN32
    (void)argc;
    (void)argv;
    const std::vector<std::string> args = Utf8Arguments();
    ConsoleSpeaksUtf8();
#else
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
#endif
    kmr::cli::CliIo io{std::cout, std::cerr, StderrIsTerminal()};
    io.language = kmr::LanguageFromEnvironment();
    if (io.errIsTerminal && StderrColumns() > 0) io.errColumns = StderrColumns();
    return kmr::cli::RunKmr(args, io);
}
