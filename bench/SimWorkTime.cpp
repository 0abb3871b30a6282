#include "SimWorkTime.h"

#include "sim/SimTiming.h"

namespace {

std::uint32_t HexField(const std::string& frame, std::size_t at, std::size_t digits) {
    if (frame.size() < at + digits) {
        return 0;
    }
    return static_cast<std::uint32_t>(std::stoul(frame.substr(at, digits), nullptr, 16));
}

constexpr std::uint32_t kWholeBootErase = 0x06;

}  // namespace

std::uint64_t SimWorkTime::TotalUs(const std::vector<std::string>& frameLog) {
    std::uint64_t total = 0;
    std::uint64_t collected = 0;  // T words since the last S: what P and V compare
    for (const std::string& frame : frameLog) {
        if (frame.empty()) {
            continue;
        }
        if (frame[0] == 'S') {
            collected = 0;
        } else if (frame[0] == 'T') {
            ++collected;
        }
        total += FrameUs(frame, collected);
    }
    return total;
}

std::uint64_t SimWorkTime::FrameUs(const std::string& frame, std::uint64_t collectedWords) {
    switch (frame.empty() ? '\0' : frame[0]) {
        case 'R':
            return SimTiming::kTargetResetUs;
        case 'G':
            return SimTiming::kDebugEntryUs;
        case 'M':
            return SimTiming::kFirmwareDownloadUs;
        case 'X':  // erase code, page, program-RAM start
            return HexField(frame, 1, 2) == kWholeBootErase ? SimTiming::kMassEraseUs
                                                            : SimTiming::kPageEraseUs;
        case 'W':  // write code, start, count, ...
            return SimTiming::kWordProgramUs * HexField(frame, 7, 4);
        case 'P':
        case 'V':
            return SimTiming::kWordCompareUs * collectedWords;
        case 'N':  // region, block index, words in the block
            return SimTiming::EepromWriteUs(2 * HexField(frame, 6, 4));
        case 'Q':
        case 'O':
            return SimTiming::kEepromReadUs;
        case 'Y':
            return SimTiming::EepromWriteUs(6);
        case 'Z':
            return SimTiming::EepromWriteUs(3);
        default:
            return 0;  // I, S, T, K, ?, L: no work before a reply, or no reply at all
    }
}
