// The host driver against the strict simulated pod, with replies that go wrong as the input
// says: lost, a wrong byte, late (after the time-out), sent twice, behind a stray byte, cut
// half way; an objection after a T batch; the device gone from some call on. The pod starts
// with old firmware, or already holding the image, perhaps with one word changed. Whatever
// happens, a command may report success only when the target (or the EEPROM) holds exactly
// the image, and every run ends within a bound of virtual time.
//
// Input: a command byte, an image and selection byte, a start byte, then three bytes per
// fault; only the first fault that spoils a reply counts. A wrong or stray byte is never "!".
// Both limits are the protocol's: a forged acknowledgement cannot be told from the real one,
// and two spoilt replies (a stray byte that fails the first identify while its "!" is still
// on the way, then a late second identify) can put a reply exactly where a later command
// waits for its own. A "!" out of its place shifts every later reply by one, and when no
// queue check comes between it and the end (a short stream, the last compare) the command
// ends on the answer of the command before it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "CUsbPod.h"
#include "Clock.h"
#include "FuzzCheck.h"
#include "FuzzCommand.h"
#include "FuzzImages.h"
#include "PodResult.h"
#include "SFileImage.h"
#include "sim/SimulatedD2xxLibrary.h"
#include "sim/SimulatedPod.h"

namespace {

using Command = FuzzCommand;
constexpr char kLetters[] = "IRGMXWPVNQYZO";
constexpr std::uint32_t kEepromBlockWords = 132;
// Far beyond the longest run of these small images with every fault the input can hold.
constexpr std::uint64_t kBoundUs = 600'000'000;

bool Applies(const SFileImage& image, MemoryRegion region) {
    return image.IsPresent(region) &&
           (region != MemoryRegion::P2FLASH || image.cpu == CpuType::DSP56F807);
}

std::uint16_t Held(const SimulatedPod& pod, MemoryRegion region, std::uint32_t address) {
    return region == MemoryRegion::DFLASH ? pod.DataWord(address) : pod.ProgramWord(address);
}

// The selected regions on the target, or the whole image and its record in the EEPROM.
bool Holds(const SimulatedPod& pod, const SFileImage& image, const RegionSelection& selection,
           bool eeprom) {
    for (const MemoryRegion region : kAllRegions) {
        const std::uint32_t r = static_cast<std::uint32_t>(RegionIndex(region));
        if (!Applies(image, region) || (!eeprom && selection[r] == 0)) {
            continue;
        }
        const RegionImage& words = image.Region(region);
        for (std::uint32_t a = words.minAddress; a <= words.maxAddress; ++a) {
            const std::uint16_t want = image.WordAt(region, a);
            if (!eeprom) {
                if (Held(pod, region, a) != want) {
                    return false;
                }
                continue;
            }
            const std::uint32_t offset = a - words.minAddress;
            const auto block = pod.StoredBlocks().find({r, offset / kEepromBlockWords});
            if (block == pod.StoredBlocks().end() ||
                offset % kEepromBlockWords >= block->second.size() ||
                block->second[offset % kEepromBlockWords] != want) {
                return false;
            }
        }
        const auto& stored = pod.EepromRecord().regions[r];
        if (eeprom && (stored.start != words.minAddress || stored.end != words.maxAddress ||
                       stored.length != words.maxAddress - words.minAddress + 1)) {
            return false;
        }
    }
    return !eeprom || (pod.EepromRecord().marker == 'w' &&
                       pod.EepromRecord().cpu == static_cast<std::uint8_t>(image.cpu));
}

// The image already on the target and in the EEPROM, as earlier runs would have left it.
void Preload(SimulatedPod& pod, const SFileImage& image) {
    SimEeprom::InfoRecord record;
    record.marker = SimEeprom::kImageMarker;
    record.cpu = static_cast<std::uint8_t>(image.cpu);
    SimEeprom::Blocks blocks;
    for (const MemoryRegion region : kAllRegions) {
        if (!Applies(image, region)) {
            continue;
        }
        const RegionImage& words = image.Region(region);
        const std::uint32_t r = static_cast<std::uint32_t>(RegionIndex(region));
        record.regions[r] = {words.minAddress, words.maxAddress,
                             static_cast<std::uint16_t>(words.maxAddress - words.minAddress + 1)};
        for (std::uint32_t a = words.minAddress; a <= words.maxAddress; ++a) {
            const std::uint16_t word = image.WordAt(region, a);
            if (region == MemoryRegion::DFLASH) {
                pod.Target().SetDataWord(a, word);
            } else {
                pod.Target().SetProgramWord(a, word);
            }
            blocks[{r, (a - words.minAddress) / kEepromBlockWords}].push_back(word);
        }
    }
    pod.Eeprom().Restore(record, std::move(blocks));
}

// One word of the first applicable region flipped, on the target and in the EEPROM.
void ChangeOneWord(SimulatedPod& pod, const SFileImage& image, std::uint8_t pick) {
    for (const MemoryRegion region : kAllRegions) {
        if (!Applies(image, region)) {
            continue;
        }
        const RegionImage& words = image.Region(region);
        const std::uint32_t a =
            words.minAddress + pick % (words.maxAddress - words.minAddress + 1u);
        const std::uint16_t flipped = static_cast<std::uint16_t>(image.WordAt(region, a) ^ 0x0040);
        if (region == MemoryRegion::DFLASH) {
            pod.Target().SetDataWord(a, flipped);
        } else {
            pod.Target().SetProgramWord(a, flipped);
        }
        SimEeprom::Blocks blocks = pod.StoredBlocks();
        const std::uint32_t offset = a - words.minAddress;
        blocks[{static_cast<std::uint32_t>(RegionIndex(region)), offset / kEepromBlockWords}]
              [offset % kEepromBlockWords] = flipped;
        pod.Eeprom().Restore(pod.EepromRecord(), std::move(blocks));
        return;
    }
}

// Kinds 0 to 5 spoil one reply, 6 and 7 fail a stream or the device.
constexpr int kReplyFaultKinds = 6;

void AddFault(SimFaults& faults, const std::uint8_t* f) {
    const char letter = kLetters[f[1] % (sizeof kLetters - 1)];
    const int occurrence = 1 + f[2] % 8;
    const std::uint8_t wrong = f[2] == '!' ? '#' : f[2];
    switch (f[0] % 8) {
        case 0:
            faults.SilenceReply(letter, occurrence);
            break;
        case 1:
            faults.WrongReply(letter, occurrence, wrong);
            break;
        case 2:
            faults.LateReply(letter, occurrence, 200u * (1 + f[2] % 20));
            break;
        case 3:
            faults.DoubleReply(letter, occurrence);
            break;
        case 4:
            faults.StrayBeforeReply(letter, occurrence, wrong);
            break;
        case 5:
            faults.CutReply(letter, occurrence);
            break;
        case 6:
            faults.objectAfterTBatch = 1 + f[2] % 64;
            break;
        default:
            faults.UnplugAtCall(1 + (f[1] << 8 | f[2]) % 4096);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    const auto [command, eraseAllBoot, resetAfterWrite, imageToWrite, selection] =
        FuzzRequest::Decode(data[0], data[1]);
    const SFileImage& image = *imageToWrite;

    VirtualClock clock;
    SimulatedPod sim(clock, SimPace::Instant, SimFill::Random(1u + data[2]));
    const bool preloaded = (data[2] & 0x01) != 0;
    const bool changed = preloaded && (data[2] & 0x02) != 0;
    if (preloaded) {
        Preload(sim, image);
    }
    if (changed) {
        ChangeOneWord(sim, image, data[2]);
    }
    bool replySpoilt = false;
    for (std::size_t at = 3; at + 3 <= size; at += 3) {
        const bool spoilsReply = data[at] % 8 < kReplyFaultKinds;
        if (!(spoilsReply && replySpoilt)) {
            AddFault(sim.Faults(), data + at);
        }
        replySpoilt = replySpoilt || spoilsReply;
    }
    SimulatedD2xxLibrary library(sim);
    const std::uint64_t begin = clock.NowUs();
    PodResult result = 0xFFFF;
    bool opened = false;
    {
        CUsbPod pod(library, clock, image);
        FUZZ_CHECK(pod.LoadDriverLibrary());
        opened = pod.FindPod() && pod.Open() == kPodOpenOk;
        if (opened) {
            result = RunFuzzCommand(pod, command, selection, eraseAllBoot, resetAfterWrite);
        }
        pod.Close();
    }
    FUZZ_CHECK(clock.NowUs() - begin <= kBoundUs);
    if (!opened || result != 0 || command == Command::Reset) {
        return 0;
    }
    // Success: the pod holds what was claimed, and a correct host drew no refusal on the way.
    const bool eeprom = command == Command::PodWrite || command == Command::PodVerify;
    FUZZ_CHECK(Holds(sim, image, selection, eeprom));
    FUZZ_CHECK(sim.Counters().Refusals() == 0);
    return 0;
}
