// Reads one S-record file with ReadSFile and reports, as one line of JSON, the file size,
// the time the read took and the process's peak resident memory, so a script can compare
// the reader with another program process against process and watch memory against size.
// Usage: vantix-read-once FILE
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>

#include "SFileImage.h"

namespace {

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    std::error_code error;
    const auto size = std::filesystem::file_size(argv[1], error);
    auto image = std::make_unique<SFileImage>();
    const double cpu0 = CpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    const bool ok = image->ReadSFile(argv[1]);
    const auto wall1 = std::chrono::steady_clock::now();
    const double cpu1 = CpuSeconds();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "{\"ok\": %s, \"bytes\": %llu, \"read_wall_s\": %.6f, \"read_cpu_s\": %.6f, "
        "\"max_rss_kb\": %ld, \"pflash_words\": %u}\n",
        ok ? "true" : "false", static_cast<unsigned long long>(error ? 0 : size),
        std::chrono::duration<double>(wall1 - wall0).count(), cpu1 - cpu0, usage.ru_maxrss,
        static_cast<unsigned>(image->regions[0].wordCount));
    return ok ? 0 : 1;
}
