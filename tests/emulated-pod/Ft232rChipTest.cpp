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
        chip.VendorRequest(0x03, 0x8003, 0, nullptr, 0);  // 923,077 baud
        chip.VendorRequest(0x04, 0x0008, 1, nullptr, 0);  // 8N1
    }
    // The data bytes of the IN transfers of 64 bytes the chip sends until it has nothing.
    std::string Drain() {
        std::string data;
        std::vector<std::uint8_t> packet;
        std::uint64_t nowUs = 0;
        std::uint64_t sentUs = 0;
        for (int transfer = 0; transfer < 100; ++transfer, nowUs += 20'000) {
            if (chip.In(Ft232rChip::kPacketSize, nowUs, packet, sentUs) && packet.size() > 2) {
                data.append(packet.begin() + 2, packet.end());
            }
        }
        return data;
    }
};

// Replies that pile up unread overflow the chip's 128-byte buffer toward the host, and what
// finds no room is lost, as on the chip. At instant pace the chip's first look brings the
// programmer's clock to its first reply, by when all replies but the last have arrived: the
// buffer keeps 128 of them, and the last comes once the host has read.
TEST(EmulatedFt232r, TheReceiveBufferHoldsWhatTheChipHolds) {
    InstantChip link;
    std::string frames;
    for (int i = 0; i < 200; ++i) {
        frames += "\x02I\x03";
    }
    std::uint64_t doneUs = 0;
    ASSERT_TRUE(link.chip.Out(reinterpret_cast<const std::uint8_t*>(frames.data()),
                              static_cast<int>(frames.size()), 0, doneUs));
    const std::string heard = link.Drain();
    EXPECT_EQ(heard, std::string(Ft232rChip::kRxBuffer + 1, '!'));
}

}  // namespace
