// The emulated FT232R alone, with the simulated programmer on its serial side: what the chip
// itself must get right, whoever drives its USB side.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
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
TEST(Ft232rChipTest, TheReceiveBufferHoldsWhatTheChipHolds) {
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

// A transfer stays open while full packets go into it and ends with the short packet the
// latency timer sends, at a frame's start; a purge empties the chip's buffer, not the transfer.
TEST(Ft232rChipTest, ATransferSpansFullPacketsAndKeepsThemThroughAPurge) {
    Ft232rInEndpoint in(true);  // the latency timer at its 16 ms
    in.Submit(1, 4096, 0);
    std::uint64_t at = 100;
    for (int i = 0; i < 100; ++i, at += 11) {
        in.Arrive('a', at);  // the 62nd goes in a full packet at 771 us
    }
    in.Purge(at);
    for (int i = 0; i < 5; ++i, at += 11) {
        in.Arrive('b', at);
    }
    EXPECT_TRUE(in.TakeCompleted().empty());
    in.RunUntil(30'000);
    const auto done = in.TakeCompleted();
    ASSERT_EQ(done.size(), 1u);
    std::vector<std::uint8_t> expected{0x01, 0x60};
    expected.insert(expected.end(), Ft232rInEndpoint::kPacketData, 'a');
    expected.insert(expected.end(), {0x01, 0x60, 'b', 'b', 'b', 'b', 'b'});
    EXPECT_EQ(done[0].packets, expected);
    EXPECT_EQ(done[0].atUs, 17'000u);
}

// Bytes that find the buffer full are lost and the next packet says so, as it says that a
// frame could not be read; a cancelled transfer comes back with the packets already in it.
TEST(Ft232rChipTest, LossesAreFlaggedAndACancelKeepsWhatArrived) {
    Ft232rInEndpoint in(true);
    for (std::uint64_t i = 0; i < 300; ++i) {
        in.Arrive('x', 100 + i);
    }
    in.FramingError(500);
    in.Submit(1, 4096, 600);
    const std::vector<std::uint8_t> packets = in.Cancel(1, 700);
    ASSERT_EQ(packets.size(), 4u * Ft232rInEndpoint::kPacketSize);
    EXPECT_EQ(packets[1], 0x60 | Ft232rInEndpoint::kOverrun | Ft232rInEndpoint::kFramingError);
    EXPECT_EQ(packets[Ft232rInEndpoint::kPacketSize + 1], 0x60);
    const auto flagged = in.TakeFlagged();
    ASSERT_EQ(flagged.size(), 1u);
    EXPECT_EQ(flagged[0].lostBytes, 300 - Ft232rInEndpoint::kBuffer);
    EXPECT_EQ(flagged[0].framingErrors, 1);
}

// A bit mode, which another program may have left on, keeps the UART off the line; so does
// hardware flow control (the pod drives no CTS), until the serial engine's reset ends it and
// drops DTR and RTS.
TEST(Ft232rChipTest, BitModesAndTheSerialEngineResetActOnTheLine) {
    InstantChip link;
    const std::string path =
        (std::filesystem::temp_directory_path() / ("ft232r-" + std::to_string(getpid()))).string();
    ASSERT_TRUE(link.record.Open(path));
    const std::uint8_t frame[] = {0x02, 'I', 0x03};
    std::uint64_t doneUs = 0;
    link.chip.LeaveInBitMode(1);
    link.chip.Out(frame, 3, 0, doneUs);
    link.chip.VendorRequest(0x0B, 0x0000, 1, nullptr, 0, 0);  // back to the UART
    link.chip.VendorRequest(0x02, 0, 0x0101, nullptr, 0, 0);  // RTS/CTS
    link.chip.VendorRequest(0x01, 0x0303, 1, nullptr, 0, 0);  // DTR and RTS on
    link.chip.Out(frame, 3, 0, doneUs);
    EXPECT_EQ(link.chip.FramesSeen('I'), 0);
    link.chip.VendorRequest(0x00, 0, 1, nullptr, 0, 0);
    link.chip.Out(frame, 3, 0, doneUs);
    EXPECT_EQ(link.chip.FramesSeen('I'), 1);
    link.record.Close();
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line.substr(9));
    }
    std::filesystem::remove(path);
    EXPECT_EQ(lines, (std::vector<std::string>{"bitmode 1 (left by another program)",
                                               "bitmode 1: 3 bytes to the pins", "bitmode 0",
                                               "flow rts-cts", "dtr on", "rts on", "reset",
                                               "flow none", "dtr off", "rts off", "frame I"}));
}

}  // namespace
