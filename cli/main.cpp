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

#ifdef _WIN32
// Arguments and file names are UTF-8 (the manifest sets the code page); the console shows
// them as such while the program runs and gets its own code page back afterwards.
class Utf8Console {
public:
    Utf8Console() : previous_(GetConsoleOutputCP()) { SetConsoleOutputCP(CP_UTF8); }
    ~Utf8Console() { SetConsoleOutputCP(previous_); }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    UINT previous_;
};
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    Utf8Console console;
#endif
    std::signal(SIGINT, OnInterrupt);
    CliEnvironment environment;
    environment.stderrIsTerminal = VANTIX_ISATTY(2) != 0;
    environment.interrupted = &interruptRequested;
    const std::vector<std::string> args(argv + 1, argv + argc);
    return RunCli(args, std::cout, std::cerr, environment);
}
