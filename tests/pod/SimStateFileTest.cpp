#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "SimPodHarness.h"
#include "sim/SimStateFile.h"

namespace {

namespace fs = std::filesystem;

class SimState : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vantix-simstate-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const char* name) const { return (dir_ / name).string(); }

    static void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

    // Fills a pod with memory words, a stored image and its record.
    static void Populate(SimulatedPod& pod) {
        pod.Target().SetProgramWord(0x0004, 0x1234);
        pod.Target().SetProgramWord(0xFFFF, 0x0000);
        pod.Target().SetDataWord(0x2000, 0xBEEF);
        SimEeprom& eeprom = pod.Eeprom();
        eeprom.BeginSession();
        eeprom.StoreBlock(0, 0, std::vector<std::uint16_t>(132, 0x5A5A));
        eeprom.StoreBlock(3, 7, {1, 2, 3});
        eeprom.SetRegionInfo(0, 4, 0x87, 0x84);
        eeprom.SetImageInfo(3, 1);
    }

    // The encoded state of a populated pod with one byte changed and the CRC made right again.
    static std::vector<std::uint8_t> Tampered(std::size_t offset, std::uint8_t value) {
        VirtualClock clock;
        SimulatedPod pod(clock);
        Populate(pod);
        std::vector<std::uint8_t> bytes = SimStateFile::Encode(pod.Target(), pod.Eeprom());
        bytes[offset] = value;
        const std::uint32_t crc = SimStateFile::Crc32(bytes.data(), bytes.size() - 4);
        for (int i = 0; i < 4; ++i) {
            bytes[bytes.size() - 4 + static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(crc >> (8 * i));
        }
        return bytes;
    }

    fs::path dir_;
};

TEST_F(SimState, OneRunWritesALaterRunVerifies) {
    VirtualClock clock;
    SimulatedPod first(clock);
    Populate(first);
    std::string error;
    ASSERT_TRUE(first.SaveState(Path("pod.state"), &error)) << error;

    SimulatedPod second(clock);
    ASSERT_TRUE(second.LoadState(Path("pod.state"), &error)) << error;
    EXPECT_EQ(second.Target().ProgramSpace(), first.Target().ProgramSpace());
    EXPECT_EQ(second.Target().DataSpace(), first.Target().DataSpace());
    EXPECT_EQ(second.StoredBlocks(), first.StoredBlocks());
    EXPECT_EQ(second.Eeprom().EncodeRecord(), first.Eeprom().EncodeRecord());

    // The loaded pod answers from the loaded state.
    SimPodHarness h;
    ASSERT_TRUE(h.pod.LoadState(Path("pod.state"), &error)) << error;
    ASSERT_TRUE(h.Open());
    EXPECT_EQ(h.Command("O", 28).substr(0, 4), std::string("!w\x03\x01", 4));
    ASSERT_EQ(h.Command("G0"), "!");
    h.Stream({0x1234});
    EXPECT_EQ(h.Command("P0004"), "!");
}

TEST_F(SimState, HostileFilesAreRefusedAndChangeNothing) {
    VirtualClock clock;
    SimulatedPod pod(clock);
    Populate(pod);
    const auto before = SimStateFile::Encode(pod.Target(), pod.Eeprom());
    const std::size_t blocksAt = 8 + 4 + 4 * 65536 + 27 + 4;  // first block's region byte

    std::vector<std::pair<const char*, std::vector<std::uint8_t>>> files;
    files.push_back({"empty", {}});
    files.push_back({"magic", std::vector<std::uint8_t>(before.begin(), before.end())});
    files.back().second[0] = 'X';
    files.push_back({"truncated", std::vector<std::uint8_t>(before.begin(), before.end() - 9)});
    files.push_back({"flipped", before});
    files.back().second[5000] ^= 0x40;  // CRC no longer matches
    files.push_back({"version", Tampered(8, 2)});
    files.push_back({"region", Tampered(blocksAt, 9)});
    files.push_back({"count", Tampered(blocksAt + 3, 200)});  // 132 words said 200
    files.push_back({"blocks", Tampered(blocksAt - 4, 0xFF)});
    files.push_back({"large", std::vector<std::uint8_t>(4 << 20, 0)});

    for (const auto& [name, bytes] : files) {
        WriteFile(Path(name), bytes);
        std::string error;
        EXPECT_FALSE(pod.LoadState(Path(name), &error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    std::string error;
    EXPECT_FALSE(pod.LoadState(Path("missing"), &error));
    EXPECT_FALSE(pod.LoadState(dir_.string(), &error));  // a folder
    EXPECT_EQ(SimStateFile::Encode(pod.Target(), pod.Eeprom()), before);
}

TEST_F(SimState, SaveReportsAPlaceItCannotWrite) {
    VirtualClock clock;
    SimulatedPod pod(clock);
    std::string error;
    EXPECT_FALSE(pod.SaveState(Path("no-such-folder/pod.state"), &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
