#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "RegionRows.h"
#include "SFileImage.h"
#include "SRecordReader.h"
#include "SRecordText.h"

namespace {

class SFileImageTest : public ::testing::Test {
protected:
    void Load(CpuType cpu, const std::string& text) {
        image.cpu = cpu;
        image.ApplyCpuMemoryMap();
        image.ReadSRecordText(text);
    }
    const RegionImage& R(MemoryRegion region) const { return image.Region(region); }

    SFileImage image;
};

TEST_F(SFileImageTest, RecordsOtherThanS3AreIgnored) {
    Load(CpuType::DSP56F805,
         "S00600004844521B\nS1130000285F245F2212226A000424290008237C2A\n"
         "S2080100000102037D\nS5030001FB\nS70500000000FA\nS804000000FB\nS9030000FC\n"
         "s30900000004341200001234\nhello world\n");
    for (MemoryRegion region : kAllRegions) {
        EXPECT_FALSE(image.IsPresent(region)) << RegionName(region);
        EXPECT_EQ(R(region).wordCount, 0);
    }
    // The first end record ends the file: the S8 and S9 after it are named.
    EXPECT_EQ(image.diagnostics.Summary(),
              "no S3 records: nothing to program; 2 S1/S2 data records ignored: only S3 records "
              "are programmed (first at line 2), 2 records after the end record ignored (first "
              "at line 6), 2 lines that are not S-records ignored (first at line 8)");
    EXPECT_EQ(image.diagnostics.otherRecords, 3u);
}

TEST_F(SFileImageTest, VectorsAtZeroLandInBootFlash) {
    Load(CpuType::DSP56F805, S3Record(0, {0x1111, 0x2222, 0x3333, 0x4444}));
    EXPECT_FALSE(image.IsPresent(MemoryRegion::PFLASH));
    ASSERT_TRUE(image.IsPresent(MemoryRegion::BFLASH));
    const RegionImage& boot = R(MemoryRegion::BFLASH);
    EXPECT_EQ(boot.words[0], 0x1111);
    EXPECT_EQ(boot.words[3], 0x4444);
    EXPECT_EQ(boot.words[4], 0xFFFF);
    EXPECT_EQ(boot.minAddress, 0x8000);
    EXPECT_EQ(boot.maxAddress, 0x8003);
    EXPECT_EQ(boot.wordCount, 4);
    EXPECT_FALSE(image.diagnostics.Any());

    // A record across the last vector and the first program word is split between them.
    Load(CpuType::DSP56F805, S3Record(3, {0x3333, 0x4444}));
    EXPECT_EQ(image.WordAt(MemoryRegion::BFLASH, 0x8003), 0x3333);
    EXPECT_EQ(R(MemoryRegion::PFLASH).minAddress, 4);
    EXPECT_EQ(R(MemoryRegion::PFLASH).words[3], 0xFFFF);
}

TEST_F(SFileImageTest, VectorsLandAtBootFlashStartOn807) {
    Load(CpuType::DSP56F807, S3Record(2, {0xAAAA, 0xBBBB}));
    EXPECT_EQ(R(MemoryRegion::BFLASH).words[2], 0xAAAA);
    EXPECT_EQ(R(MemoryRegion::BFLASH).minAddress, 0xF802);
    EXPECT_EQ(R(MemoryRegion::BFLASH).maxAddress, 0xF803);
}

TEST_F(SFileImageTest, AddressFourStartsProgramFlashOnEveryCpu) {
    for (CpuType cpu :
         {CpuType::DSP56F801, CpuType::DSP56F803, CpuType::DSP56F805, CpuType::DSP56F807}) {
        Load(cpu, S3Record(4, {0x0102}));
        ASSERT_TRUE(image.IsPresent(MemoryRegion::PFLASH)) << CpuName(cpu);
        EXPECT_EQ(R(MemoryRegion::PFLASH).minAddress, 4);
        EXPECT_EQ(R(MemoryRegion::PFLASH).words[4], 0x0102);
        EXPECT_FALSE(image.IsPresent(MemoryRegion::BFLASH));
    }
}

TEST_F(SFileImageTest, SecondProgramFlashOnlyOn807) {
    Load(CpuType::DSP56F807, S3Record(0x8000, {0x5A5A}));
    EXPECT_TRUE(image.IsPresent(MemoryRegion::P2FLASH));
    EXPECT_EQ(R(MemoryRegion::P2FLASH).words[0], 0x5A5A);
    EXPECT_FALSE(image.IsPresent(MemoryRegion::BFLASH));

    Load(CpuType::DSP56F805, S3Record(0x8000, {0x5A5A}));
    EXPECT_FALSE(image.IsPresent(MemoryRegion::P2FLASH));
    EXPECT_TRUE(image.IsPresent(MemoryRegion::BFLASH));
    EXPECT_EQ(R(MemoryRegion::BFLASH).words[0], 0x5A5A);
    EXPECT_EQ(R(MemoryRegion::BFLASH).minAddress, 0x8000);
}

TEST_F(SFileImageTest, DataFlashThroughDataSpaceOffset) {
    for (CpuType cpu : {CpuType::DSP56F803, CpuType::DSP56F805}) {
        Load(cpu, S3Record(0x201000, {0xBEEF}));
        ASSERT_TRUE(image.IsPresent(MemoryRegion::DFLASH));
        EXPECT_EQ(R(MemoryRegion::DFLASH).words[0], 0xBEEF);
        EXPECT_EQ(R(MemoryRegion::DFLASH).minAddress, 0x1000);
    }
    Load(CpuType::DSP56F807, S3Record(0x201000, {0xBEEF}));
    EXPECT_FALSE(image.IsPresent(MemoryRegion::DFLASH));
    EXPECT_EQ(image.diagnostics.droppedWords.count, 1u);

    Load(CpuType::DSP56F807, S3Record(0x202000, {0xBEEF}));
    EXPECT_EQ(R(MemoryRegion::DFLASH).words[0], 0xBEEF);
    EXPECT_EQ(R(MemoryRegion::DFLASH).minAddress, 0x2000);
    // Without the offset the same address is program space, not data flash.
    Load(CpuType::DSP56F803, S3Record(0x1000, {0xBEEF}));
    EXPECT_FALSE(image.IsPresent(MemoryRegion::DFLASH));
    EXPECT_TRUE(image.IsPresent(MemoryRegion::PFLASH));
}

TEST_F(SFileImageTest, WordsAreLowByteFirstAndHexIsCaseBlind) {
    Load(CpuType::DSP56F805, "S30900000010341200A8");
    EXPECT_EQ(R(MemoryRegion::PFLASH).words[0x10], 0x1234);
    Load(CpuType::DSP56F805, "s3ignored S3090000001fabcd00ff");
    EXPECT_EQ(R(MemoryRegion::PFLASH).words[0x1F], 0xCDAB);
    EXPECT_EQ(R(MemoryRegion::PFLASH).minAddress, 0x1F);
}

TEST_F(SFileImageTest, OddDataByteAndShortCountsStoreNothingExtra) {
    Load(CpuType::DSP56F805, "S3060000001034B5");  // one data byte: no whole word
    EXPECT_FALSE(image.IsPresent(MemoryRegion::PFLASH));
    Load(CpuType::DSP56F805, "S3040000001000 S30000000010");  // counts below five
    EXPECT_FALSE(image.IsPresent(MemoryRegion::PFLASH));
    Load(CpuType::DSP56F805, "S308000000103412564B");  // 1.5 words: the odd byte is dropped
    EXPECT_EQ(R(MemoryRegion::PFLASH).wordCount, 1);
    EXPECT_EQ(R(MemoryRegion::PFLASH).maxAddress, 0x10);
}

TEST_F(SFileImageTest, LaterRecordWinsAndEveryStoreCounts) {
    Load(CpuType::DSP56F805,
         S3Record(0x20, {1, 2, 3}) + "\n" + S3Record(0x21, {0x99}) + "\n" + S3Record(0x10, {7}));
    const RegionImage& p = R(MemoryRegion::PFLASH);
    EXPECT_EQ(p.words[0x21], 0x99);
    EXPECT_EQ(p.wordCount, 5);
    EXPECT_EQ(p.minAddress, 0x10);
    EXPECT_EQ(p.maxAddress, 0x22);
}

TEST_F(SFileImageTest, RamAndUnmappedWordsAreDroppedAndCounted) {
    Load(CpuType::DSP56F805, "S0030000FC\n" + S3Record(0x7E00, {1, 2}) + "\n" +
                                 S3Record(0x200010, {3}) + "\n" + S3Record(0x9000, {4}));
    for (MemoryRegion region : kAllRegions) {
        EXPECT_FALSE(image.IsPresent(region));
    }
    EXPECT_EQ(image.diagnostics.droppedWords.count, 4u);
    EXPECT_EQ(image.diagnostics.droppedWords.firstLine, 2u);
    EXPECT_NE(image.diagnostics.Summary().find("4 words outside the CPU's flash (first at line 2)"),
              std::string::npos);
}

TEST_F(SFileImageTest, ReaderCountsSuspectRecordsButLoadsThemAsWritten) {
    std::string bad = S3Record(0x40, {0x1111});
    bad[bad.size() - 1] = bad.back() == '0' ? '1' : '0';  // wrong checksum
    const std::string text = S3Record(0x30, {1}) + "\n\n" + bad + "\n" +
                             "S3070000005012G4XX\n"       // non-hex: decoded by the nibble rule
                             + "S30D00000060AABBCCDD\n";  // ends before its count says
    Load(CpuType::DSP56F805, text);
    const SRecordDiagnostics& d = image.diagnostics;
    EXPECT_EQ(d.badChecksums.count, 1u);
    EXPECT_EQ(d.badChecksums.firstLine, 3u);
    EXPECT_EQ(d.nonHexRecords.count, 1u);
    EXPECT_EQ(d.nonHexRecords.firstLine, 4u);
    EXPECT_EQ(d.truncatedRecords.count, 1u);
    EXPECT_EQ(d.truncatedRecords.firstLine, 5u);
    EXPECT_EQ(d.droppedWords.count, 0u);
    EXPECT_EQ(d.dataRecords, 1u);
    const RegionImage& p = R(MemoryRegion::PFLASH);
    EXPECT_EQ(p.words[0x40], 0x1111);
    // Low byte 0x12; 'G' decodes as 0x10, and 16 * 0x10 + 4 kept to eight bits is 0x04.
    EXPECT_EQ(p.words[0x50], 0x0412);
    // The truncated record yields its two complete words only.
    EXPECT_EQ(p.words[0x60], 0xBBAA);
    EXPECT_EQ(p.words[0x61], 0xDDCC);
    EXPECT_EQ(p.words[0x62], 0xFFFF);
    EXPECT_EQ(p.wordCount, 5);
}

TEST_F(SFileImageTest, OverlongTokenIsSkippedWholeNotSplit) {
    // 1100 characters: the tail must not be read as a second record.
    std::string longToken =
        "S3" + std::string(600, '0') + "S3090000007034120000" + std::string(1100 - 622, '1');
    Load(CpuType::DSP56F805, longToken + "\n" + S3Record(0x80, {0x4242}));
    EXPECT_EQ(R(MemoryRegion::PFLASH).wordCount, 1);
    EXPECT_EQ(R(MemoryRegion::PFLASH).words[0x80], 0x4242);
    EXPECT_EQ(R(MemoryRegion::PFLASH).words[0x70], 0xFFFF);
    EXPECT_EQ(image.diagnostics.truncatedRecords.count, 1u);

    // A token of exactly 1023 characters is still held and read.
    std::string fits = S3Record(0x90, {0x0707});
    fits.insert(fits.size() - 2, std::string(1023 - fits.size(), '0'));
    Load(CpuType::DSP56F805, fits);
    EXPECT_EQ(R(MemoryRegion::PFLASH).words[0x90], 0x0707);
}

TEST_F(SFileImageTest, HugeByteCountNeverReadsPastTheToken) {
    Load(CpuType::DSP56F805, "S3FF00000100ABCD");
    EXPECT_EQ(R(MemoryRegion::PFLASH).wordCount, 1);
    EXPECT_EQ(R(MemoryRegion::PFLASH).words[0x100], 0xCDAB);
    Load(CpuType::DSP56F805, "S3FF0000");
    EXPECT_FALSE(image.IsPresent(MemoryRegion::PFLASH));
}

TEST_F(SFileImageTest, WrappedWordCountDoesNotHideLoadedData) {
    // The same 0x800 boot words 32 times: 0x10000 stores wrap the 16-bit count to 0.
    std::string once;
    for (std::uint32_t a = 0x8000; a < 0x8800; a += 16) {
        once += S3Record(a, std::vector<std::uint16_t>(16, static_cast<std::uint16_t>(a))) + "\n";
    }
    std::string text;
    for (int i = 0; i < 32; ++i) {
        text += once;
    }
    Load(CpuType::DSP56F805, text);
    EXPECT_EQ(R(MemoryRegion::BFLASH).wordCount, 0);
    ASSERT_TRUE(image.IsPresent(MemoryRegion::BFLASH));
    const auto rows = ListPresentRegions(image);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].sizeText, "0x800 Words");
    EXPECT_EQ(R(MemoryRegion::BFLASH).wordCount, 0x800);
}

TEST_F(SFileImageTest, ClearImageErasesEverything) {
    Load(CpuType::DSP56F807, S3Record(0x10, {1}) + " " + S3Record(0x202000, {2}));
    image.ClearImage();
    for (MemoryRegion region : kAllRegions) {
        const RegionImage& r = R(region);
        EXPECT_FALSE(image.IsPresent(region));
        EXPECT_EQ(r.minAddress + r.maxAddress + r.wordCount, 0);
        for (std::uint32_t i = 0; i < r.capacity; ++i) {
            ASSERT_EQ(r.words[i], 0xFFFF);
        }
    }
}

TEST_F(SFileImageTest, CpuAboveRangeKeepsTheMap) {
    image.cpu = CpuType::DSP56F803;
    image.ApplyCpuMemoryMap();
    image.cpu = static_cast<CpuType>(7);
    image.ApplyCpuMemoryMap();
    EXPECT_EQ(image.map.PFLASH.end, 0x7DFFu);
    EXPECT_EQ(image.map.ProgramRam.start, 0x7E00u);
}

class SFileImageFileTest : public SFileImageTest {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("vantix-image-test-" +
               std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string Write(const std::string& name, const std::string& content) {
        const auto path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    std::filesystem::path dir;
};

TEST_F(SFileImageFileTest, UnreadablePathsFailWithTheImageCleared) {
    image.ReadSRecordText(S3Record(0x10, {1}));
    EXPECT_FALSE(image.ReadSFile((dir / "missing.s").string()));
    EXPECT_FALSE(image.IsPresent(MemoryRegion::PFLASH));

    image.ReadSRecordText(S3Record(0x10, {1}));
    EXPECT_FALSE(image.ReadSFile(dir.string()));  // a folder
    EXPECT_FALSE(image.IsPresent(MemoryRegion::PFLASH));
    EXPECT_EQ(image.Region(MemoryRegion::PFLASH).words[0x10], 0xFFFF);
}

TEST_F(SFileImageFileTest, RecordsAcrossReadChunksAndWithoutFinalNewline) {
    // Enough records that some straddle the reader's 64 KiB chunks; no newline at the end.
    std::string text;
    for (std::uint32_t a = 0x100; a < 0x7D00; a += 16) {
        std::vector<std::uint16_t> words;
        for (std::uint32_t i = 0; i < 16; ++i) {
            words.push_back(static_cast<std::uint16_t>((a + i) * 7));
        }
        text += S3Record(a, words) + "\r\n";
    }
    text += S3Record(0x7DF0, {0xE1E1});
    ASSERT_GT(text.size(), 2u * 65536);
    image.cpu = CpuType::DSP56F805;
    image.ApplyCpuMemoryMap();
    ASSERT_TRUE(image.ReadSFile(Write("big.s", text)));
    const RegionImage& p = image.Region(MemoryRegion::PFLASH);
    EXPECT_EQ(p.minAddress, 0x100);
    EXPECT_EQ(p.maxAddress, 0x7DF0);
    EXPECT_EQ(p.wordCount, 0x7C00 + 1);
    for (std::uint32_t a = 0x100; a < 0x7D00; ++a) {
        ASSERT_EQ(p.words[a], static_cast<std::uint16_t>(a * 7)) << a;
    }
    EXPECT_EQ(p.words[0x7DF0], 0xE1E1);
    EXPECT_FALSE(image.diagnostics.Any()) << image.diagnostics.Summary();
}

TEST_F(SFileImageFileTest, ArbitraryBytesNeverBreakTheInvariants) {
    std::mt19937 random(1234);
    static const char kAlphabet[] = "S30123456789ABCDEFabcdef \n\t\r\0\xFFxyz";
    const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);
    for (int round = 0; round < 200; ++round) {
        std::string text(random() % 3000, '\0');
        for (char& c : text) {
            c = alphabet[random() % alphabet.size()];
        }
        if (round % 2) {
            text += S3Record(random() % 0x10000, {1, 2, 3});
        }
        image.cpu = static_cast<CpuType>(round % 4);
        image.ApplyCpuMemoryMap();
        ASSERT_TRUE(image.ReadSFile(Write("noise.s", text)));
        for (MemoryRegion region : kAllRegions) {
            const RegionImage& r = image.Region(region);
            const AddressArea& area = image.Area(region);
            if (!image.IsPresent(region)) {
                continue;
            }
            ASSERT_LE(r.minAddress, r.maxAddress);
            ASSERT_GE(r.minAddress, area.start);
            ASSERT_LE(r.maxAddress, area.end);
        }
    }
}

TEST_F(SFileImageTest, WordsWrittenTwiceWithDifferentValuesAreCountedLastOneWins) {
    // Vectors at 0-3 and the boot flash start share storage: a clash there counts too.
    Load(CpuType::DSP56F805, S3Record(0x0004, {0x1111, 0x2222}) + "\n" +
                                 S3Record(0x0004, {0x1111, 0x2222}) + "\n" +
                                 S3Record(0x0005, {0x3333}) + "\n" + S3Record(0x0000, {0xAAAA}) +
                                 "\n" + S3Record(0x8000, {0xBBBB}) + "\n");
    EXPECT_EQ(image.diagnostics.conflictingWords.count, 2u);
    EXPECT_EQ(image.diagnostics.conflictingWords.firstLine, 3u);
    EXPECT_EQ(image.diagnostics.rewrittenWords, 3u);
    EXPECT_EQ(image.WordAt(MemoryRegion::PFLASH, 5), 0x3333);
    EXPECT_EQ(image.WordAt(MemoryRegion::BFLASH, 0x8000), 0xBBBB);
    EXPECT_EQ(image.diagnostics.Summary(),
              "S File warnings: 3 words written more than once, 2 of them with different values "
              "(first at line 3)");
    Load(CpuType::DSP56F805, S3Record(0x0004, {0x1111}) + "\n" + S3Record(0x0004, {0x1111}));
    EXPECT_FALSE(image.diagnostics.Any()) << "the same data twice is no conflict";
}

TEST_F(SFileImageTest, WordsPastTheLastAddressAreDroppedNotWrapped) {
    // Four words from 0xFFFFFFFE: the last two would wrap to 0 and 1, the reset vector.
    Load(CpuType::DSP56F807, S3Record(0xFFFFFFFE, {0x1111, 0x2222, 0x3333, 0x4444}));
    EXPECT_FALSE(image.IsPresent(MemoryRegion::BFLASH));
    EXPECT_EQ(R(MemoryRegion::BFLASH).words[0], 0xFFFF);
    EXPECT_EQ(image.diagnostics.droppedWords.count, 4u);
}

TEST_F(SFileImageTest, AWordWrittenThreeTimesIsOneWordWrittenAgain) {
    Load(CpuType::DSP56F805, S3Record(0x10, {2}) + "\n" + S3Record(0x10, {3}) + "\n" +
                                 S3Record(0x10, {4}) + "\n" + S3Record(0x11, {5}) + "\n" +
                                 S3Record(0x11, {5}));
    EXPECT_EQ(image.diagnostics.rewrittenWords, 2u);
    EXPECT_EQ(image.diagnostics.conflictingWords.count, 1u);
    EXPECT_EQ(image.diagnostics.Summary(),
              "S File warnings: 2 words written more than once, 1 of them with different values "
              "(first at line 2)");
    EXPECT_EQ(image.WordAt(MemoryRegion::PFLASH, 0x10), 4);
}

TEST_F(SFileImageTest, RecordsAfterTheEndRecordAreNotLoaded) {
    Load(CpuType::DSP56F805, S3Record(0x10, {1}) + "\nS70500000000FA\n" + S3Record(0x20, {2}) +
                                 "\nS1050010ABCD72\nS00600004844521B\n");
    EXPECT_EQ(image.WordAt(MemoryRegion::PFLASH, 0x20), 0xFFFF);
    EXPECT_EQ(R(MemoryRegion::PFLASH).wordCount, 1);
    EXPECT_EQ(image.diagnostics.recordsAfterEnd.count, 2u);
    EXPECT_EQ(image.diagnostics.recordsAfterEnd.firstLine, 3u);
    EXPECT_EQ(image.diagnostics.Count(), 2u);
}

TEST_F(SFileImageTest, ADamagedEndRecordEndsNothing) {
    // An S3 record whose type turned to 7, and an end record with a character after it: the
    // data after them still load, and each is named.
    Load(CpuType::DSP56F805, S3Record(0x10, {1}) + "\nS709000002023333444404\n" +
                                 S3Record(0x20, {2}) + "\nS70500000000FAXX\n" +
                                 S3Record(0x30, {3}) + "\nS70500000000FA\nS9030000FC\n");
    EXPECT_EQ(image.WordAt(MemoryRegion::PFLASH, 0x30), 3);
    const SRecordDiagnostics& d = image.diagnostics;
    EXPECT_EQ(d.dataRecords, 3u);
    EXPECT_EQ(d.otherRecords, 1u);
    EXPECT_EQ(d.Summary(),
              "S File warnings: 1 record with non-hexadecimal characters (first at line 4), 1 "
              "truncated record (first at line 2), 1 record after the end record ignored (first "
              "at line 7)");
}

TEST_F(SFileImageTest, LinesEndedByAReturnAloneAreCounted) {
    // Lines ended by "\r" alone, by "\r\n" and by "\n": the junk stands on line 3, then 5.
    Load(CpuType::DSP56F805, S3Record(0x10, {1}) + "\r" + S3Record(0x11, {2}) +
                                 "\rjunk\r\n" + S3Record(0x12, {3}) + "\nmore junk\n");
    EXPECT_EQ(image.diagnostics.junkLines.count, 2u);
    EXPECT_EQ(image.diagnostics.junkLines.firstLine, 3u);
    EXPECT_EQ(image.diagnostics.dataRecords, 3u);
    Load(CpuType::DSP56F805, "\r\r" + S3Record(0x10, {1}) + "ZZ");
    EXPECT_EQ(image.diagnostics.nonHexRecords.firstLine, 3u);
}

TEST_F(SFileImageTest, EveryTokenIsUsedOrNamedOnce) {
    const std::string good = S3Record(0x10, {1, 2});
    std::string badSum = S3Record(0x20, {3});
    badSum.back() = badSum.back() == '0' ? '1' : '0';
    // One kind a line; the last line holds a record and, after it, text.
    const std::string text = "S00600004844521B\n" + good + "\n" + badSum + "\n" + good + "AB\n" +
                             "S308000000303412562B\nS3050000004\nS30900000040G2340000\n" +
                             "S1050010ABCD72\n:10010000214601360121470136007EFE09D2190140\n" +
                             "# a comment\n" + good + " ; and a note\nS9030000FC\n" + good;
    Load(CpuType::DSP56F805, text);
    const SRecordDiagnostics& d = image.diagnostics;
    EXPECT_EQ(d.dataRecords, 2u);
    EXPECT_EQ(d.otherRecords, 2u);
    for (const auto& [finding, line] :
         {std::pair{d.badChecksums, 3u}, {d.trailingText, 4u}, {d.oddDataBytes, 5u},
          {d.truncatedRecords, 6u}, {d.nonHexRecords, 7u}, {d.s1s2Records, 8u},
          {d.intelHexLines, 9u}, {d.junkLines, 10u}, {d.recordsAfterEnd, 13u}}) {
        EXPECT_EQ(finding.count, line == 10u ? 2u : 1u) << line;
        EXPECT_EQ(finding.firstLine, line);
    }
}

TEST_F(SFileImageTest, LinesReadInPlaceGiveWhatTheCarefulReadingGives) {
    // Well-formed lines followed by enough text are decoded where they lie; cut into pieces
    // of one character, every token goes through the careful reading.
    std::string text;
    for (std::uint32_t a = 0; a < 0x200; a += 7) {
        text += S3Record(a * 61 % 0x10000, {static_cast<std::uint16_t>(a), 0xA5A5, 0x0F0F}) +
                (a % 2 ? "\r\n" : "\n");
    }
    text += S3Record(0x201000, {0xBEEF}) + "\n" + S3Record(0x10, {9}) + "\n";
    Load(CpuType::DSP56F807, text);
    SFileImage pieces;
    pieces.cpu = CpuType::DSP56F807;
    pieces.ApplyCpuMemoryMap();
    SRecordReader reader(pieces);
    for (const char c : text) {
        reader.Feed(&c, 1);
    }
    reader.Finish();
    EXPECT_EQ(pieces.diagnostics.Summary(), image.diagnostics.Summary());
    EXPECT_EQ(pieces.diagnostics.dataRecords, image.diagnostics.dataRecords);
    EXPECT_EQ(pieces.diagnostics.rewrittenWords, image.diagnostics.rewrittenWords);
    for (const MemoryRegion region : kAllRegions) {
        const RegionImage& a = R(region);
        const RegionImage& b = pieces.Region(region);
        EXPECT_EQ(a.wordCount, b.wordCount);
        EXPECT_EQ(a.minAddress, b.minAddress);
        EXPECT_EQ(a.maxAddress, b.maxAddress);
        EXPECT_TRUE(std::equal(a.words, a.words + a.capacity, b.words)) << RegionName(region);
    }
}

}  // namespace
