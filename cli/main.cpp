#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#define VANTIX_ISATTY(fd) _isatty(fd)
#else
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#define VANTIX_ISATTY(fd) isatty(fd)
#endif

#include "RunCli.h"
#include "run/StdoutBuffer.h"

namespace {

// A signal handler can reach nothing but static storage; these flags are all it touches.
std::atomic<bool> interruptRequested{false};
std::atomic<int> interruptSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

// Ctrl+C, and a line controller's SIGTERM or a closed terminal's SIGHUP, stop the run the
// same way: the pod is closed and the board's record written. The first signal names the
// exit status.
extern "C" void OnInterrupt(int signal) {
    int none = 0;
    interruptSignal.compare_exchange_strong(none, signal);
    interruptRequested.store(true);
    // A second one ends the program at once.
    std::signal(signal, SIG_DFL);
}

// Whether the standard output is a pipe that nobody reads any more: the kernel reports an
// error condition on its writing end.
bool OutputClosed() {
#ifdef _WIN32
    return false;
#else
    pollfd output{1, 0, 0};
    return poll(&output, 1, 0) == 1 && (output.revents & POLLERR) != 0;
#endif
}

// Opens /dev/null on any of the three standard descriptors that the caller left closed, so
// that no file or socket the program opens later lands on one of them and receives what was
// meant for the terminal. Returns whether the standard output was closed.
bool FillClosedStandardDescriptors() {
#ifdef _WIN32
    return false;
#else
    bool stdoutClosed = false;
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        stdoutClosed = stdoutClosed || fd == 1;
        // The lowest free descriptor is this one, as the ones below it are open.
        if (open("/dev/null", O_RDWR) != fd) {
            static const char message[] = "vantix-cli: cannot open /dev/null\n";
            [[maybe_unused]] const ssize_t ignored = write(2, message, sizeof message - 1);
            std::_Exit(2);
        }
    }
    return stdoutClosed;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    const bool stdoutClosed = FillClosedStandardDescriptors();
#ifdef _WIN32
    // Messages may carry UTF-8 file names (the manifest makes UTF-8 the code page); the
    // console gets its own code page back afterwards.
    const UINT consoleCodePage = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
#endif
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
#ifdef SIGHUP
    std::signal(SIGHUP, OnInterrupt);
#endif
#ifdef SIGPIPE
    // A reader that goes away fails the write, which the run reports and stops on, rather
    // than killing the process in the middle of a board.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    CliEnvironment environment;
    environment.stderrIsTerminal = VANTIX_ISATTY(2) != 0;
    environment.interrupted = &interruptRequested;
    environment.interruptSignal = &interruptSignal;
    environment.outputClosed = OutputClosed;
    // The station database's URL may hold a password, which the environment keeps out of
    // the process list.
    if (const char* stationDb = std::getenv("VANTIX_STATION_DB")) {
        environment.stationDb = std::string(stationDb);
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Data goes out through a buffer that remembers why a write failed, for the message.
    StdoutBuffer stdoutBuffer(stdoutClosed);
    std::ostream out(&stdoutBuffer);
    const int status = RunCli(args, out, std::cerr, environment);
    out.flush();
#ifdef _WIN32
    SetConsoleOutputCP(consoleCodePage);
#endif
    return status;
}
