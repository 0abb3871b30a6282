#pragma once

#include <cstdint>

#include "MemoryRegion.h"
#include "PodResult.h"

class PodIndicators;
class PodProtocol;
class SFileImage;
struct PodInfoRecord;

// The image the pod keeps in its serial EEPROM, to program boards on its own: storing the
// loaded image with its info record (POD Write), and comparing the stored one with it (POD
// Verify). Works on an open pod.
class PodImageStore {
public:
    PodImageStore(PodProtocol& protocol, const SFileImage& image, PodIndicators& indicators);

    // Streams the region in blocks of 132 words, each stored (N) or compared (Q).
    bool TransferRegionToEeprom(MemoryRegion region, bool verify);
    PodResult WritePodEeprom(bool eraseAllBoot, bool resetAfterWrite);
    PodResult VerifyPodEeprom();
    // Reads the pod's record of its stored image and prints it as VerifyPodEeprom does,
    // without comparing: 0, or 11 when there is no record or no stored image.
    PodResult ReadPodInfo(PodInfoRecord* stored);

private:
    bool IsUntouched(MemoryRegion region) const;
    std::uint16_t StoredLength(MemoryRegion region) const;
    bool SendStoredExtent(MemoryRegion region, std::uint16_t start, std::uint16_t end,
                          std::uint16_t length);
    bool StreamRegionBlocks(MemoryRegion region, char letter);
    bool ImageMatchesRecord(const PodInfoRecord& record) const;
    void PrintInfoRecord(const PodInfoRecord& record);
    PodResult ReadStoredInfo(PodInfoRecord& record);
    PodResult VerifyStoredRegions(int& step);

    PodProtocol& protocol_;
    const SFileImage& image_;
    PodIndicators& indicators_;
};
