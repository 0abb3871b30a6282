// Writes the full DSP56F807 image of FullImage (every flash region full, 71,676 words) as an
// S-record file, for benchmarks that run vantix-cli on it.
//
// Usage: vantix-full-image OUT.s
#include <cstdio>
#include <string>

#include "FullImage.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.s\n", argv[0]);
        return 2;
    }
    const std::string text = FullImage::SRecordText();
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr || std::fwrite(text.data(), 1, text.size(), out) != text.size() ||
        std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
