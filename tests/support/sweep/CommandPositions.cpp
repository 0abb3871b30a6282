#include "CommandPositions.h"

#include <map>

#include "SFileImage.h"

namespace {

std::vector<std::string> SplitFrames(const std::string& bytes) {
    std::vector<std::string> frames;
    std::string current;
    for (const char c : bytes) {
        if (c == 0x02) {
            current.clear();
        } else if (c == 0x03) {
            frames.push_back(current);
        } else {
            current += c;
        }
    }
    return frames;
}

unsigned Hex(const std::string& text, std::size_t at, std::size_t digits) {
    return static_cast<unsigned>(std::stoul(text.substr(at, digits), nullptr, 16));
}

std::optional<MemoryRegion> RegionOfEraseCode(unsigned code) {
    switch (code) {
        case 0x02:
            return MemoryRegion::DFLASH;
        case 0x04:
            return MemoryRegion::PFLASH;
        case 0x08:
            return MemoryRegion::P2FLASH;
        case 0x06:
        case 0x0A:
            return MemoryRegion::BFLASH;
        default:
            return std::nullopt;
    }
}

std::optional<MemoryRegion> RegionOfWriteCode(unsigned code) {
    switch (code) {
        case 0x03:
            return MemoryRegion::DFLASH;
        case 0x05:
            return MemoryRegion::PFLASH;
        case 0x07:
            return MemoryRegion::BFLASH;
        case 0x09:
            return MemoryRegion::P2FLASH;
        default:
            return std::nullopt;
    }
}

MemoryRegion RegionAtProgramAddress(const SFileImage& image, unsigned address) {
    for (const MemoryRegion region :
         {MemoryRegion::PFLASH, MemoryRegion::P2FLASH, MemoryRegion::BFLASH}) {
        const RegionImage& words = image.Region(region);
        if (image.IsPresent(region) && address >= words.minAddress && address <= words.maxAddress) {
            return region;
        }
    }
    return MemoryRegion::BFLASH;
}

// The region a frame names by itself; for P/V the write before it, else the address.
std::optional<MemoryRegion> OwnRegion(const std::string& frame, const SFileImage& image,
                                      int lastWrite) {
    switch (frame[0]) {
        case 'X':
            return RegionOfEraseCode(Hex(frame, 1, 2));
        case 'W':
            return RegionOfWriteCode(Hex(frame, 1, 2));
        case 'V':
            return MemoryRegion::DFLASH;
        case 'P':
            return lastWrite >= 0 ? static_cast<MemoryRegion>(lastWrite)
                                  : RegionAtProgramAddress(image, Hex(frame, 1, 4));
        case 'N':
        case 'Q':
        case 'Y':
            return static_cast<MemoryRegion>(Hex(frame, 1, 1));
        default:
            return std::nullopt;
    }
}

}  // namespace

std::vector<std::string> WrittenFrames(const std::vector<CallTap::Call>& calls) {
    std::vector<std::string> frames;
    for (const CallTap::Call& call : calls) {
        if (call.name == "FT_Write" && call.status == FT_OK) {
            for (std::string& frame : SplitFrames(call.bytes)) {
                frames.push_back(std::move(frame));
            }
        }
    }
    return frames;
}

std::uint32_t ReplyTimeoutMs(char letter) {
    switch (letter) {
        case 'I':
        case 'Y':
        case 'Z':
            return 200;
        case 'R':
        case 'G':
        case 'O':
            return 1000;
        case 'M':
            return 2000;
        case 'X':
        case 'W':
        case 'P':
        case 'V':
        case 'N':
        case 'Q':
            return 3000;
        default:
            return 0;
    }
}

std::vector<CommandPosition> CommandPositions(const std::vector<CallTap::Call>& calls,
                                              const SFileImage& image) {
    std::vector<CommandPosition> positions;
    std::map<char, int> letters;
    int batches = 0;
    // The region of the last W, for the P or V that checks it (-1: none since the last erase).
    int lastWrite = -1;
    for (const CallTap::Call& call : calls) {
        if (call.name != "FT_Write") {
            continue;
        }
        CommandPosition position;
        position.call = call.number;
        position.atUs = call.atUs;
        position.frames = SplitFrames(call.bytes);
        if (position.frames.empty() || position.frames[0].empty()) {
            continue;
        }
        position.letter = position.frames[0][0];
        for (const std::string& frame : position.frames) {
            position.occurrence = ++letters[frame[0]];
        }
        if (position.letter == 'T') {
            position.batch = ++batches;
        }
        position.region = OwnRegion(position.frames[0], image, lastWrite);
        if (position.letter == 'W' && position.region) {
            lastWrite = RegionIndex(*position.region);
        } else if (position.letter == 'X' || position.letter == 'N' || position.letter == 'Q') {
            lastWrite = -1;
        }
        positions.push_back(std::move(position));
    }
    // S and T stream the block of the next frame that names a region, except the S that
    // follows an N or Q: it opens the next block of the same region.
    std::optional<MemoryRegion> next;
    for (auto it = positions.rbegin(); it != positions.rend(); ++it) {
        if (it->letter == 'S' || it->letter == 'T') {
            it->region = next;
        } else if (it->region) {
            next = it->region;
        }
    }
    for (std::size_t i = 1; i < positions.size(); ++i) {
        const char before = positions[i - 1].letter;
        if (positions[i].letter == 'S' && (before == 'N' || before == 'Q')) {
            positions[i].region = positions[i - 1].region;
        }
    }
    return positions;
}
