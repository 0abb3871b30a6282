#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

// The descriptors made before the fork: the parent's and the child's ends.
struct Plumbing {
    int input[2] = {-1, -1};
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};

    bool Make(const ChildSetup& setup) {
        // Close-on-exec: a later child never holds a pipe of an earlier one open.
        if (setup.inputFrom == ChildSetup::Input::Text && pipe2(input, O_CLOEXEC) != 0) {
            return false;
        }
        return setup.outputTo != ChildSetup::Output::Pipes ||
               (pipe2(out, O_CLOEXEC) == 0 && pipe2(err, O_CLOEXEC) == 0);
    }
    void CloseAll() {
        for (int* pair : {input, out, err}) {
            for (int i = 0; i < 2; ++i) {
                if (pair[i] >= 0) {
                    close(pair[i]);
                }
            }
        }
    }
};

void Redirect(int fd, int target) {
    if (fd >= 0) {
        dup2(fd, target);  // the copy does not inherit close-on-exec
        if (fd != target) {
            close(fd);
        }
    }
}

// In the child: its streams as the setup says.
void ConnectStreams(const ChildSetup& setup, const Plumbing& plumbing) {
    switch (setup.inputFrom) {
        case ChildSetup::Input::Parent:
            break;
        case ChildSetup::Input::Text:
            dup2(plumbing.input[0], STDIN_FILENO);
            break;
        case ChildSetup::Input::Terminal:
            Redirect(open(setup.input.c_str(), O_RDWR | O_NOCTTY), STDIN_FILENO);
            break;
    }
    switch (setup.outputTo) {
        case ChildSetup::Output::Parent:
            break;
        case ChildSetup::Output::Pipes:
            dup2(plumbing.out[1], STDOUT_FILENO);
            dup2(plumbing.err[1], STDERR_FILENO);
            break;
        case ChildSetup::Output::Files:
            Redirect(open(setup.outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
                     STDOUT_FILENO);
            Redirect(open(setup.errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
                     STDERR_FILENO);
            break;
    }
}

[[noreturn]] void BecomeProgram(const ChildSetup& setup, const Plumbing& plumbing,
                                char* const* argv) {
    if (setup.ownProcessGroup) {
        setpgid(0, 0);
        if (setup.takeTerminal) {
            GiveTerminalTo(getpgrp());
        }
    }
    ConnectStreams(setup, plumbing);
    if (setup.beforeExec) {
        setup.beforeExec();
    }
    if (setup.searchPath) {
        execvp(argv[0], argv);
    } else {
        execv(argv[0], argv);
    }
    if (!setup.name.empty()) {
        std::fprintf(stderr, "%s: cannot run %s: %s\n", setup.name.c_str(), argv[0],
                     std::strerror(errno));
    }
    _exit(127);
}

}  // namespace

ChildProcess StartChild(const std::vector<std::string>& argv, const ChildSetup& setup) {
    Plumbing plumbing;
    if (argv.empty() || !plumbing.Make(setup)) {
        plumbing.CloseAll();
        return {};
    }
    // Made before the fork: the child of a threaded parent should not allocate.
    std::vector<std::string> copies = argv;
    std::vector<char*> pointers;
    for (std::string& arg : copies) {
        pointers.push_back(arg.data());
    }
    pointers.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        const int reason = errno;
        plumbing.CloseAll();
        errno = reason;
        return {};
    }
    if (pid == 0) {
        BecomeProgram(setup, plumbing, pointers.data());
    }
    if (setup.ownProcessGroup) {
        setpgid(pid, pid);  // on both sides, so that neither depends on which runs first
        if (setup.takeTerminal) {
            GiveTerminalTo(pid);
        }
    }
    ChildProcess child;
    child.pid = pid;
    if (setup.inputFrom == ChildSetup::Input::Text) {
        close(plumbing.input[0]);
        [[maybe_unused]] const ssize_t written =
            write(plumbing.input[1], setup.input.data(), setup.input.size());
        close(plumbing.input[1]);
    }
    if (setup.outputTo == ChildSetup::Output::Pipes) {
        close(plumbing.out[1]);
        close(plumbing.err[1]);
        child.out = plumbing.out[0];
        child.err = plumbing.err[0];
    }
    return child;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return text;
}

int WaitForExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

bool WaitForExitWithin(pid_t pid, std::chrono::milliseconds limit, int& status) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            status = WaitForExit(pid);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool WaitForExitWhileProgressing(pid_t pid, const std::function<std::uintmax_t()>& progress,
                                 std::chrono::milliseconds silence, int& status) {
    std::uintmax_t seen = progress();
    auto lastChange = std::chrono::steady_clock::now();
    while (waitpid(pid, &status, WNOHANG) == 0) {
        const auto now = std::chrono::steady_clock::now();
        if (const std::uintmax_t figure = progress(); figure != seen) {
            seen = figure;
            lastChange = now;
        } else if (now - lastChange > silence) {
            kill(pid, SIGKILL);
            status = WaitForExit(pid);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

bool InTerminalForeground() {
    return isatty(STDIN_FILENO) && tcgetpgrp(STDIN_FILENO) == getpgrp();
}

void GiveTerminalTo(pid_t group) {
    // A process outside the foreground may hand the terminal over only while it ignores
    // SIGTTOU.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGTTOU, &ignore, &previous);
    tcsetpgrp(STDIN_FILENO, group);
    sigaction(SIGTTOU, &previous, nullptr);
}
