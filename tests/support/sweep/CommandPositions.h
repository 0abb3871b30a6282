#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CallTap.h"
#include "MemoryRegion.h"

class SFileImage;

// One write of a clean run: a command frame or a batch of T frames, where it sits in the
// conversation and which region it works on.
struct CommandPosition {
    int call = 0;                        // number of the FT_Write among all D2XX calls, from 1
    std::uint64_t atUs = 0;              // virtual time of the write since the run began
    std::vector<std::string> frames;     // the frames it carried, without STX and ETX
    char letter = 0;                     // of its (first) frame
    int occurrence = 0;                  // command frames: the how-many-th frame with this letter
    int batch = 0;                       // T batches: the how-many-th write carrying T frames
    std::optional<MemoryRegion> region;  // erase, stream, write, compare, store: its region
};

// The conversation of a clean run cut into positions. Regions come from the frames
// themselves: erase and write codes, region numbers, and for compare frames the region of
// the write before or of the address; S and T belong to the block they stream (an S right
// after an N or Q opens the next block of that region).
std::vector<CommandPosition> CommandPositions(const std::vector<CallTap::Call>& calls,
                                              const SFileImage& image);

// The frames of a list of calls, in order, as the simulated pod logs them.
std::vector<std::string> WrittenFrames(const std::vector<CallTap::Call>& calls);

// The reply time-out of a command letter in milliseconds; 0 for frames without a reply.
std::uint32_t ReplyTimeoutMs(char letter);

// At most k of the items, spread evenly from the first to the last.
template <typename T>
std::vector<T> Spread(const std::vector<T>& items, std::size_t k) {
    const std::size_t n = items.size();
    const std::size_t take = n < k ? n : k;
    std::vector<T> chosen;
    for (std::size_t i = 0; i < take; ++i) {
        chosen.push_back(items[take == 1 ? 0 : i * (n - 1) / (take - 1)]);
    }
    return chosen;
}
