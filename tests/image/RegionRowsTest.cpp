#include <gtest/gtest.h>

#include "CpuType.h"
#include "RegionRows.h"
#include "SFileImage.h"
#include "SRecordText.h"
#include "TestPaths.h"

namespace {

std::vector<std::uint16_t> Run(std::uint16_t first, std::size_t count) {
    std::vector<std::uint16_t> words(count);
    for (std::size_t i = 0; i < count; ++i) {
        words[i] = static_cast<std::uint16_t>(first + i);
    }
    return words;
}

std::string Fill(std::uint32_t fileStart, std::uint32_t count) {
    std::string text;
    for (std::uint32_t a = 0; a < count; a += 16) {
        text +=
            S3Record(fileStart + a, Run(static_cast<std::uint16_t>(a), std::min(16u, count - a))) +
            "\n";
    }
    return text;
}

std::vector<std::string> Describe(const std::vector<RegionRow>& rows) {
    std::vector<std::string> out;
    for (const RegionRow& row : rows) {
        out.push_back(row.name + " " + row.startText + " " + row.sizeText);
    }
    return out;
}

TEST(RegionRows, SpanNotCountAndListOrder) {
    SFileImage image;
    image.cpu = CpuType::DSP56F805;
    image.ApplyCpuMemoryMap();
    image.ReadSRecordText(S3Record(0x0004, {1}) + " " + S3Record(0x0100, {2}));
    const auto rows = ListPresentRegions(image);
    EXPECT_EQ(Describe(rows), std::vector<std::string>{"PFLASH 0x0004 0xFD Words"});
    EXPECT_EQ(image.Region(MemoryRegion::PFLASH).wordCount, 0xFD);
}

TEST(RegionRows, FullImagesOfEveryCpu) {
    struct Case {
        CpuType cpu;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {CpuType::DSP56F801,
         {"PFLASH 0x0004 0x1FFC Words", "BFLASH 0x8000 0x800 Words", "DFLASH 0x1000 0x800 Words"}},
        {CpuType::DSP56F803,
         {"PFLASH 0x0004 0x7DFC Words", "BFLASH 0x8000 0x800 Words", "DFLASH 0x1000 0x1000 Words"}},
        {CpuType::DSP56F805,
         {"PFLASH 0x0004 0x7DFC Words", "BFLASH 0x8000 0x800 Words", "DFLASH 0x1000 0x1000 Words"}},
        {CpuType::DSP56F807,
         {"PFLASH 0x0004 0x7FFC Words", "P2FLASH 0x8000 0x7000 Words", "BFLASH 0xF800 0x800 Words",
          "DFLASH 0x2000 0x2000 Words"}},
    };
    for (const Case& c : cases) {
        SFileImage image;
        image.cpu = c.cpu;
        image.ApplyCpuMemoryMap();
        const CpuMemoryMap& map = image.map;
        // Every region written in reverse order, program flash from 4 (0-3 are vectors).
        image.ReadSRecordText(
            Fill(map.DFLASH.start + SFileImage::DataSpaceOffset, map.DFLASH.size) +
            Fill(map.BFLASH.start, map.BFLASH.size) +
            Fill(map.P2FLASH.start == 0 ? 0x9000 : map.P2FLASH.start, map.P2FLASH.size) +
            Fill(4, map.PFLASH.size - 4));
        EXPECT_EQ(Describe(ListPresentRegions(image)), c.rows) << CpuName(c.cpu);
        EXPECT_EQ(image.Region(MemoryRegion::DFLASH).words[map.DFLASH.size - 1],
                  static_cast<std::uint16_t>(map.DFLASH.size - 1));
        EXPECT_EQ(image.Region(MemoryRegion::BFLASH).words[0], 0);
        EXPECT_FALSE(image.diagnostics.Any()) << image.diagnostics.Summary();
    }
}

TEST(RegionRows, P2FlashRowOnlyOn807EvenWhenLoaded) {
    SFileImage image;
    image.cpu = CpuType::DSP56F807;
    image.ApplyCpuMemoryMap();
    image.ReadSRecordText(S3Record(0x9000, {1}));
    image.cpu = CpuType::DSP56F805;  // the list follows the image's CPU
    EXPECT_TRUE(ListPresentRegions(image).empty());
}

TEST(RegionRows, ExampleFilesLoadCleanly) {
    for (const char* name : {"dsp56f801", "dsp56f803", "dsp56f805", "dsp56f807"}) {
        SFileImage image;
        image.cpu = *CpuFromName(std::string(name).substr(6));
        image.ApplyCpuMemoryMap();
        ASSERT_TRUE(image.ReadSFile(std::string(VANTIX_EXAMPLES_DIR) + "/" + name + ".s")) << name;
        EXPECT_FALSE(image.diagnostics.Any()) << name << ": " << image.diagnostics.Summary();
        const auto rows = ListPresentRegions(image);
        EXPECT_EQ(rows.size(), image.cpu == CpuType::DSP56F807 ? 4u : 3u) << name;
    }
}

TEST(CpuNames, AcceptFullAndShortFormsInAnyCase) {
    EXPECT_EQ(CpuFromName("DSP56F801"), CpuType::DSP56F801);
    EXPECT_EQ(CpuFromName("dsp56f807"), CpuType::DSP56F807);
    EXPECT_EQ(CpuFromName("805"), CpuType::DSP56F805);
    EXPECT_EQ(CpuFromName("DSP56F802"), std::nullopt);
    EXPECT_EQ(CpuFromName("56F803"), std::nullopt);
    EXPECT_EQ(CpuFromName(""), std::nullopt);
    EXPECT_STREQ(CpuName(static_cast<CpuType>(9)), "Unknown");
    EXPECT_EQ(RegionFromName("pflash"), std::nullopt);
    EXPECT_EQ(RegionFromName("P2FLASH"), MemoryRegion::P2FLASH);
}

}  // namespace
