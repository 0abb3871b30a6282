#include "run/ImageLoading.h"

#include <filesystem>

#include "CliExit.h"
#include "SFileImage.h"
#include "Utf8Path.h"
#include "records/ImageDigests.h"
#include "records/SystemReason.h"
#include "run/ConsoleUi.h"

int LoadImageFile(const std::string& path, CpuType cpu, bool strict, SFileImage& image,
                  std::vector<RegionRow>& rows, ConsoleUi& ui, std::string* sha256,
                  const std::string& refusal) {
    rows.clear();
    if (sha256 != nullptr) {
        sha256->clear();
    }
    if (path.empty()) {
        ui.Error("Please, specify S File to load buffer");
        return kExitInputError;
    }
    std::error_code error;
    if (!std::filesystem::exists(Utf8Path(path), error)) {
        ui.Error("The specified S File path is wrong: " + path + SystemReason(path));
        return kExitInputError;
    }
    image.cpu = cpu;
    image.ApplyCpuMemoryMap();
    // The digest is of the bytes the reader took, in the same pass.
    Sha256Stream digest;
    const bool read = sha256 != nullptr ? image.ReadSFile(path,
                                                          [&digest](const char* data, std::size_t size) {
                                                              digest.Add(data, size);
                                                          })
                                        : image.ReadSFile(path);
    if (!read) {
        ui.Error("Fail to read S File: " + path + SystemReason(path));
        return kExitInputError;
    }
    if (sha256 != nullptr) {
        *sha256 = digest.Hex();
    }
    if (image.diagnostics.Any()) {
        if (strict) {
            ui.Error(image.diagnostics.Summary());
            ui.Error("vantix-cli: " + path + refusal);
            return kExitInputError;
        }
        ui.Warning(image.diagnostics.Summary());
    }
    rows = ListPresentRegions(image);
    return kExitSuccess;
}

const RegionRow* FindRow(const std::vector<RegionRow>& rows, MemoryRegion region) {
    for (const RegionRow& row : rows) {
        if (row.region == region) {
            return &row;
        }
    }
    return nullptr;
}
