#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A program started in a child process, with the parent's ends of its output pipes (-1 where
// the child writes elsewhere).
struct ChildProcess {
    pid_t pid = -1;
    int out = -1;
    int err = -1;
};

// How a child starts: its standard streams, its process group, and what it does last before
// it becomes the program.
struct ChildSetup {
    enum class Input {
        Parent,    // the parent's own standard input
        Text,      // `input`, whole, through a pipe that then closes
        Terminal,  // the terminal device named by `input`, opened by the child
    };
    enum class Output {
        Parent,  // the parent's own standard output and error
        Pipes,   // pipes whose read ends come back in ChildProcess
        Files,   // outFile and errFile, made or emptied
    };
    Input inputFrom = Input::Parent;
    std::string input;
    Output outputTo = Output::Parent;
    std::string outFile;
    std::string errFile;
    // A process group of its own, so that a signal to the group reaches the program and its
    // children and nothing else.
    bool ownProcessGroup = false;
    // With ownProcessGroup: that group becomes the foreground of the terminal on stdin.
    bool takeTerminal = false;
    // Looks a program name without '/' up in PATH.
    bool searchPath = false;
    // Runs in the child just before the program replaces it (environment, user); may _exit.
    std::function<void()> beforeExec;
    // When set, a program that cannot start says "NAME: cannot run PROGRAM: REASON".
    std::string name;
};

// Starts argv[0] with the arguments argv; pid -1 (and errno) when no child could be made. A
// program that cannot start ends its child with 127. Text input must fit a pipe (64 KiB).
ChildProcess StartChild(const std::vector<std::string>& argv, const ChildSetup& setup);

// Everything until the end of the stream; closes fd.
std::string ReadAll(int fd);

// The child's wait status once it has ended.
int WaitForExit(pid_t pid);
// As WaitForExit, but a child still running after `limit` is killed; false then.
bool WaitForExitWithin(pid_t pid, std::chrono::milliseconds limit, int& status);
// As WaitForExitWithin, but the limit is on silence, not on the time the child takes: it is
// killed (false then) only once `progress` has given the same figure for `silence`. For
// children whose pace is the machine's, which a slower machine stretches but never stops.
bool WaitForExitWhileProgressing(pid_t pid, const std::function<std::uintmax_t()>& progress,
                                 std::chrono::milliseconds silence, int& status);

// Whether this process's group is the foreground of the terminal on stdin.
bool InTerminalForeground();
// Makes the process group the foreground of the terminal on stdin.
void GiveTerminalTo(pid_t group);
