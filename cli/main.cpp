#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#define VANTIX_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define VANTIX_ISATTY(fd) isatty(fd)
#endif

#include "RunCli.h"

namespace {

// A signal handler can reach nothing but static storage; this flag is all it touches.
std::atomic<bool> interruptRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
    interruptRequested.store(true);
    // A second Ctrl+C ends the program at once.
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Messages may carry UTF-8 file names (the manifest makes UTF-8 the code page); the
    // console gets its own code page back afterwards.
    const UINT consoleCodePage = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
#endif
    std::signal(SIGINT, OnInterrupt);
    CliEnvironment environment;
    environment.stderrIsTerminal = VANTIX_ISATTY(2) != 0;
    environment.interrupted = &interruptRequested;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = RunCli(args, std::cout, std::cerr, environment);
#ifdef _WIN32
    SetConsoleOutputCP(consoleCodePage);
#endif
    return status;
}
