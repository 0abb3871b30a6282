// The host driver under a babbling pod: one command (Target Write, Write && Verify, Verify,
// Reset, POD Write, POD Verify) run through CUsbPod against a device whose every answer,
// queue count and error comes from the input. Whatever the pod does, the run must end with
// a result code of that command within the time-outs of what was sent, never claim success
// for a step the host did not see acknowledged, and never send a word that is not the
// image's.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>

#include "BabblingD2xx.h"
#include "BabblingLibrary.h"
#include "CUsbPod.h"
#include "Clock.h"
#include "FuzzCheck.h"
#include "FuzzCommand.h"
#include "FuzzImages.h"
#include "PodResult.h"
#include "SFileImage.h"

namespace {

using Command = FuzzCommand;

const std::set<PodResult>& ResultsOf(Command command) {
    static const std::set<PodResult> kProgram = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    static const std::set<PodResult> kVerify = {0, 1, 5, 8, 11, 14};
    static const std::set<PodResult> kPodWrite = {0, 1, 3, 5, 7, 9};
    static const std::set<PodResult> kPodVerify = {0, 2, 4, 6, 8, 10, 11, 12};
    static const std::set<PodResult> kReset = {0, 1};
    switch (command) {
        case Command::Write:
        case Command::WriteVerify:
            return kProgram;
        case Command::Verify:
            return kVerify;
        case Command::PodWrite:
            return kPodWrite;
        case Command::PodVerify:
            return kPodVerify;
        case Command::Reset:
            break;
    }
    return kReset;
}

// The program region that holds an address for a P frame.
MemoryRegion ProgramRegionAt(const SFileImage& image, std::uint32_t address) {
    if (image.map.PFLASH.Contains(address)) {
        return MemoryRegion::PFLASH;
    }
    if (image.cpu == CpuType::DSP56F807 && image.map.P2FLASH.Contains(address)) {
        return MemoryRegion::P2FLASH;
    }
    return MemoryRegion::BFLASH;
}

MemoryRegion RegionOfWriteCode(std::uint32_t code) {
    switch (code) {
        case 0x03:
            return MemoryRegion::DFLASH;
        case 0x05:
            return MemoryRegion::PFLASH;
        case 0x07:
            return MemoryRegion::BFLASH;
        default:
            FUZZ_CHECK(code == 0x09);
            return MemoryRegion::P2FLASH;
    }
}

constexpr std::uint32_t kEepromBlockWords = 132;

// Words sent ahead of a W, P, V, N or Q frame are the image's words for its range; the
// block's words are added to its region's count of words stored (W, N, Q) or compared (P, V).
void CheckWords(const SFileImage& image, const BabblingD2xx::Frame& sent,
                std::array<std::uint32_t, kRegionCount>& stored,
                std::array<std::uint32_t, kRegionCount>& compared) {
    const SimFrame& frame = sent.frame;
    MemoryRegion region = MemoryRegion::PFLASH;
    std::uint32_t start = 0;
    switch (frame.letter) {
        case 'W':
            region = RegionOfWriteCode(frame.Field(0));
            start = frame.Field(1);
            FUZZ_CHECK(frame.Field(2) == sent.words.size());
            break;
        case 'P':
            region = ProgramRegionAt(image, frame.Field(0));
            start = frame.Field(0);
            break;
        case 'V':
            region = MemoryRegion::DFLASH;
            start = frame.Field(0);
            break;
        default:  // N, Q: region number, block index, words in the block
            FUZZ_CHECK(frame.Field(0) < kRegionCount);
            region = static_cast<MemoryRegion>(frame.Field(0));
            start = image.Region(region).minAddress + frame.Field(1) * kEepromBlockWords;
            FUZZ_CHECK(frame.Field(2) == sent.words.size());
            break;
    }
    FUZZ_CHECK(!sent.words.empty());
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < sent.words.size(); ++i) {
        FUZZ_CHECK(sent.words[i] == image.WordAt(region, start + i));
        sum = static_cast<std::uint16_t>(sum + sent.words[i]);
    }
    if (frame.letter == 'W') {
        FUZZ_CHECK(frame.Field(4) == sum);
        FUZZ_CHECK(((start & 0xFF) + sent.words.size()) <= 0x100);  // one page per W
    }
    auto& count = frame.letter == 'P' || frame.letter == 'V' ? compared : stored;
    count[RegionIndex(region)] += static_cast<std::uint32_t>(sent.words.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const auto [command, eraseAllBoot, resetAfterWrite, imageToWrite, selection] =
        FuzzRequest::Decode(data[0], data[1]);
    const SFileImage& image = *imageToWrite;

    VirtualClock clock;
    BabblingD2xx device(clock, data + 2, size - 2, FuzzImages::InfoReplyFor(image));
    BabblingLibrary library(device);
    const std::uint64_t begin = clock.NowUs();
    PodResult result = 0xFFFF;
    bool opened = false;
    bool closed = false;
    {
        CUsbPod pod(library, clock, image);
        FUZZ_CHECK(pod.LoadDriverLibrary());
        opened = pod.FindPod() && pod.Open() == kPodOpenOk;
        if (opened) {
            result = RunFuzzCommand(pod, command, selection, eraseAllBoot, resetAfterWrite);
        }
        closed = pod.Close();
        FUZZ_CHECK(!closed || !pod.IsOpen());
    }
    const std::uint64_t elapsed = clock.NowUs() - begin;

    // Ends in time, with a code the command has, and speaks only well-formed frames.
    FUZZ_CHECK(elapsed <= device.TimeBoundUs());
    FUZZ_CHECK(!device.SawMalformedFrame());
    if (!opened) {
        return 0;  // Open closes what it opened itself; a failing close there is not seen
    }
    FUZZ_CHECK(!closed || !device.IsOpen());
    FUZZ_CHECK(ResultsOf(command).count(result) == 1);

    const auto& frames = device.Frames();
    const auto& writes = device.Writes();
    // Open succeeded only on an acknowledged identify.
    bool identified = false;
    for (const BabblingD2xx::Frame& frame : frames) {
        if (frame.frame.letter != 'I') {
            break;
        }
        identified = frame.acknowledged;
    }
    FUZZ_CHECK(identified);

    std::array<std::uint32_t, kRegionCount> stored{};
    std::array<std::uint32_t, kRegionCount> compared{};
    for (const auto& write : writes) {
        FUZZ_CHECK(write.bytes <= CUsbPod::kFrameBufferSize);
        FUZZ_CHECK(!write.tBatch || write.frameCount <= 50);
    }
    for (const BabblingD2xx::Frame& frame : frames) {
        if (std::strchr("WPVNQ", frame.frame.letter) != nullptr) {
            CheckWords(image, frame, stored, compared);
        }
    }
    if (result != 0) {
        return 0;
    }

    // Success: every write after the identify went out whole, every T batch was followed
    // by an empty receive queue, every command after the identify was acknowledged.
    for (const auto& write : writes) {
        if (write.letter == 'I') {
            continue;
        }
        FUZZ_CHECK(write.whole && write.drained);
        FUZZ_CHECK(!write.tBatch || write.queueChecked);
    }
    bool pastIdentify = false;
    for (const BabblingD2xx::Frame& frame : frames) {
        pastIdentify = pastIdentify || frame.frame.letter != 'I';
        if (pastIdentify && frame.expectsReply) {
            FUZZ_CHECK(frame.acknowledged);
        }
    }
    // ... and every region the command covers went over in full.
    const auto reply = FuzzImages::InfoReplyFor(image);
    for (const MemoryRegion region : kAllRegions) {
        const int r = RegionIndex(region);
        const RegionImage& words = image.Region(region);
        const bool applies = region != MemoryRegion::P2FLASH || image.cpu == CpuType::DSP56F807;
        const std::uint32_t span =
            words.loaded ? std::uint32_t{words.maxAddress} - words.minAddress + 1 : 0;
        const std::uint32_t selected = selection[static_cast<std::size_t>(r)] && applies ? span : 0;
        switch (command) {
            case Command::Write:
                FUZZ_CHECK(stored[r] == selected && compared[r] == 0);
                break;
            case Command::WriteVerify:
                FUZZ_CHECK(stored[r] == selected && compared[r] == selected);
                break;
            case Command::Verify:
                FUZZ_CHECK(stored[r] == 0 && compared[r] == selected);
                break;
            case Command::PodWrite:
            case Command::PodVerify:
                FUZZ_CHECK(stored[r] == (applies ? words.wordCount : 0u) && compared[r] == 0);
                break;
            case Command::Reset:
                FUZZ_CHECK(stored[r] == 0 && compared[r] == 0);
                break;
        }
    }
    // POD Verify went on only on a record that says the pod holds this image.
    for (const BabblingD2xx::Frame& frame : frames) {
        if (frame.frame.letter != 'O') {
            continue;
        }
        FUZZ_CHECK(frame.reply.size() >= reply.size());
        FUZZ_CHECK(frame.reply[0] == '!' && frame.reply[1] == 'w' && frame.reply[2] == reply[2]);
        for (const MemoryRegion region : kAllRegions) {
            if (image.Region(region).wordCount == 0) {
                continue;
            }
            const std::size_t at = 4 + 6 * static_cast<std::size_t>(RegionIndex(region));
            for (std::size_t i = at; i < at + 6; ++i) {
                FUZZ_CHECK(frame.reply[i] == reply[i]);
            }
        }
    }
    return 0;
}
