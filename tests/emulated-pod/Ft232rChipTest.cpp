// The emulated FT232R alone, with the simulated programmer on its serial side: what the chip
// itself must get right, whoever drives its USB side.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Clock.h"
#include "EmulatorRecord.h"
#include "Ft232rChip.h"
#include "sim/SimulatedPod.h"

namespace {

struct InstantChip {
    VirtualClock clock;
    SimulatedPod pod{clock, SimPace::Instant};
    EmulatorRecord record;
    Ft232rChip chip{pod, false, record, "VEMU0001"};

    InstantChip() {
        chip.Attach();
        chip.VendorRequest(0x03, 0x8003, 0, nullptr, 0, 0);  // 923,077 baud
        chip.VendorRequest(0x04, 0x0008, 1, nullptr, 0, 0);  // 8N1
    }
    // The data bytes of the IN transfers of 64 bytes the chip sends until it has nothing, and
    // the second status byte of each.
    std::string Drain(std::vector<std::uint8_t>* lineStatus = nullptr) {
        std::string data;
        std::uint64_t nowUs = 0;
        for (std::uint64_t id = 1; id <= 100; ++id, nowUs += 20'000) {
            chip.SubmitIn(id, Ft232rChip::kPacketSize, nowUs);
            for (const auto& done : chip.Advance(nowUs)) {
                if (lineStatus) {
                    lineStatus->push_back(done.packets[1]);
                }
                data.append(done.packets.begin() + 2, done.packets.end());
            }
        }
        return data;
    }
};

// Replies that pile up unread overflow the chip's 256-byte buffer toward the host, and what
// finds no room is lost, as on the chip, which says so in the next packet's line status. At
// instant pace the chip's first look brings the programmer's clock to its first reply, by when
// all replies but the last have arrived: the buffer keeps 256 of them, and the last comes once
// the host has read.
TEST(EmulatedFt232r, TheReceiveBufferHoldsWhatTheChipHolds) {
    InstantChip link;
    std::string frames;
    for (int i = 0; i < 400; ++i) {
        frames += "\x02I\x03";
    }
    std::uint64_t doneUs = 0;
    ASSERT_TRUE(link.chip.Out(reinterpret_cast<const std::uint8_t*>(frames.data()),
                              static_cast<int>(frames.size()), 0, doneUs));
    std::vector<std::uint8_t> lineStatus;
    const std::string heard = link.Drain(&lineStatus);
    EXPECT_EQ(heard, std::string(Ft232rInEndpoint::kBuffer + 1, '!'));
    ASSERT_FALSE(lineStatus.empty());
    EXPECT_EQ(lineStatus.front(), 0x60 | Ft232rInEndpoint::kOverrun);
    EXPECT_EQ(lineStatus.back(), 0x60);
}

}  // namespace
