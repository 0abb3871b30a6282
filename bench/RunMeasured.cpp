// Runs one program and writes what it cost as one line of JSON: wall time, CPU time (user
// and system) and peak resident memory, from the kernel's accounting of the child.
//
// A launcher of its own keeps the figures honest: the kernel carries a process's peak
// memory across exec, so a child started straight from a large interpreter would report
// the interpreter's size. Forked from this small program, the child starts small.
//
// Usage: vantix-run-measured OUT.json PROGRAM [ARGS...]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {

double Seconds(const timespec& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUT.json PROGRAM [ARGS...]\n", argv[0]);
        return 125;
    }
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return 125;
    }
    if (child == 0) {
        execvp(argv[2], argv + 2);
        std::perror(argv[2]);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) < 0) {
        std::perror("wait4");
        return 125;
    }
    timespec end{};
    clock_gettime(CLOCK_MONOTONIC, &end);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);

    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 125;
    }
    std::fprintf(out,
                 "{\"rc\": %d, \"start_monotonic_s\": %.6f, \"wall_s\": %.6f, \"user_s\": %.6f, "
                 "\"sys_s\": %.6f, \"max_rss_kb\": %ld}\n",
                 code, Seconds(start), Seconds(end) - Seconds(start), Seconds(usage.ru_utime),
                 Seconds(usage.ru_stime), usage.ru_maxrss);
    std::fclose(out);
    return code;
}
