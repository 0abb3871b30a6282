// ReadSFile's reading speed over one S-record file, in bytes per second of file text.
// Usage: vantix_read_bench [benchmark flags] FILE
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "SFileImage.h"

namespace {

void ReadSFile(benchmark::State& state, const std::string& path) {
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(path));
    auto image = std::make_unique<SFileImage>();
    for (auto _ : state) {
        if (!image->ReadSFile(path)) {
            state.SkipWithError("the file cannot be read");
            return;
        }
        benchmark::DoNotOptimize(image->regions[0].maxAddress);
    }
    state.SetBytesProcessed(size * state.iterations());
    state.counters["file_bytes"] = static_cast<double>(size);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s [benchmark flags] FILE\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    benchmark::RegisterBenchmark("ReadSFile", ReadSFile, path)->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
