// Any bytes as an S-record file, read for one CPU (picked by the input's length). The image
// must equal a plain second reading of the same text, keep its invariants (present regions
// inside the CPU's range, min <= max, words outside the extent still erased) and come out the
// same when the text arrives in pieces, as file chunks do. Every line is accounted for: each
// of its tokens is an S3 record used whole, a whole S0/S5/S6/S7/S8/S9 record, or counted by
// exactly one named finding (text that is no record once for its line).
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "ReferenceSRecordReader.h"
#include "RegionRows.h"
#include "SFileImage.h"
#include "SRecordReader.h"

namespace {

// Whole-array comparisons go through memcmp: element loops would have every comparison
// traced for the fuzzer and cost more than the reading itself.
bool SameWords(const std::uint16_t* a, const std::uint16_t* b, std::size_t count) {
    return count == 0 || std::memcmp(a, b, count * sizeof(std::uint16_t)) == 0;
}

bool Erased(const std::uint16_t* words, std::size_t count) {
    static const std::vector<std::uint16_t> erased(SFileImage::kTotalWords, 0xFFFF);
    return SameWords(words, erased.data(), count);
}

void CheckAgainstReference(const SFileImage& image, const ReferenceSRecordReader& reference) {
    for (const MemoryRegion region : kAllRegions) {
        const int r = RegionIndex(region);
        const RegionImage& got = image.Region(region);
        const ReferenceSRecordReader::Region& want = reference.At(r);
        FUZZ_CHECK(got.loaded == want.loaded);
        FUZZ_CHECK(got.wordCount == (want.stored & 0xFFFF));
        FUZZ_CHECK(SameWords(got.words, want.words.data(), got.capacity));
        if (!got.loaded) {
            FUZZ_CHECK(got.minAddress == 0 && got.maxAddress == 0 && got.wordCount == 0);
            FUZZ_CHECK(Erased(got.words, got.capacity));
            continue;
        }
        FUZZ_CHECK(got.minAddress == want.minAddress && got.maxAddress == want.maxAddress);
        // The invariants, stated on the image alone.
        const AddressArea& area = image.Area(region);
        FUZZ_CHECK(got.minAddress <= got.maxAddress);
        FUZZ_CHECK(area.Contains(got.minAddress) && area.Contains(got.maxAddress));
        FUZZ_CHECK(region != MemoryRegion::P2FLASH || image.cpu == CpuType::DSP56F807);
        const std::uint32_t first = got.minAddress - area.start;
        const std::uint32_t last = got.maxAddress - area.start;
        FUZZ_CHECK(last < got.capacity);
        FUZZ_CHECK(Erased(got.words, first));
        FUZZ_CHECK(Erased(got.words + last + 1, got.capacity - last - 1));
    }
}

bool Separator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The tokens of the text by kind, counted from the text alone.
struct TokenCounts {
    std::uint32_t dataRecords = 0;   // S1, S2, S3
    std::uint32_t otherRecords = 0;  // S0, S5, S6, S7, S8, S9
    std::uint32_t textLines = 0;     // lines holding any other token
};

TokenCounts CountTokens(std::string_view text) {
    TokenCounts counts;
    std::size_t i = 0;
    bool textOnLine = false;
    while (i < text.size()) {
        if (Separator(text[i])) {
            textOnLine = textOnLine && text[i] != '\n' && text[i] != '\r';
            ++i;
            continue;
        }
        const std::size_t begin = i;
        while (i < text.size() && !Separator(text[i])) {
            ++i;
        }
        const char kind = i - begin >= 2 && text[begin] == 'S' ? text[begin + 1] : '\0';
        if (kind == '1' || kind == '2' || kind == '3') {
            ++counts.dataRecords;
        } else if (kind == '0' || (kind >= '5' && kind <= '9')) {
            ++counts.otherRecords;
        } else if (!textOnLine) {
            ++counts.textLines;
            textOnLine = true;
        }
    }
    return counts;
}

void CheckAccounting(std::string_view text, const SRecordDiagnostics& d,
                     const ReferenceSRecordReader& reference) {
    const TokenCounts tokens = CountTokens(text);
    FUZZ_CHECK(d.dataRecords == reference.WellFormedRecords());
    FUZZ_CHECK(d.otherRecords == reference.WellFormedOtherRecords());
    FUZZ_CHECK(tokens.dataRecords + tokens.otherRecords ==
               d.dataRecords + d.otherRecords + d.badChecksums.count + d.nonHexRecords.count +
                   d.truncatedRecords.count + d.trailingText.count + d.oddDataBytes.count +
                   d.s1s2Records.count + d.recordsAfterEnd.count);
    FUZZ_CHECK(tokens.textLines == d.junkLines.count + d.intelHexLines.count);
    FUZZ_CHECK(d.conflictingWords.count <= d.rewrittenWords);
    FUZZ_CHECK(d.Any() == (d.Count() != 0));
}

bool SameDiagnostics(const SRecordDiagnostics& a, const SRecordDiagnostics& b) {
    return a.Summary() == b.Summary() && a.dataRecords == b.dataRecords &&
           a.otherRecords == b.otherRecords && a.rewrittenWords == b.rewrittenWords;
}

bool SameImage(const SFileImage& a, const SFileImage& b) {
    for (const MemoryRegion region : kAllRegions) {
        const RegionImage& x = a.Region(region);
        const RegionImage& y = b.Region(region);
        if (x.loaded != y.loaded || x.minAddress != y.minAddress || x.maxAddress != y.maxAddress ||
            x.wordCount != y.wordCount) {
            return false;
        }
        if (!SameWords(x.words, y.words, x.capacity)) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SFileImage image;
    static SFileImage pieces;
    static const auto references = [] {
        std::array<std::unique_ptr<ReferenceSRecordReader>, kCpuTypeCount> made;
        for (int cpu = 0; cpu < kCpuTypeCount; ++cpu) {
            made[static_cast<std::size_t>(cpu)] =
                std::make_unique<ReferenceSRecordReader>(cpu, SFileImage::kRegionCapacity);
        }
        return made;
    }();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // One CPU a run, picked by the length, so every CPU sees every kind of text and a run
    // costs one reading rather than four.
    {
        const int cpu = static_cast<int>(size % kCpuTypeCount);
        image.cpu = static_cast<CpuType>(cpu);
        image.ApplyCpuMemoryMap();
        image.ReadSRecordText(text);
        ReferenceSRecordReader& reference = *references[static_cast<std::size_t>(cpu)];
        reference.Clear();
        reference.Read(text);
        CheckAgainstReference(image, reference);
        CheckAccounting(text, image.diagnostics, reference);

        // The same text cut at two points the input chooses: tokens straddle the cuts.
        pieces.cpu = image.cpu;
        pieces.ApplyCpuMemoryMap();
        pieces.ClearImage();
        const std::size_t cut1 = size == 0 ? 0 : data[0] % (size + 1);
        const std::size_t cut2 = size == 0 ? 0 : cut1 + (data[size - 1] % (size - cut1 + 1));
        SRecordReader reader(pieces);
        reader.Feed(text.data(), cut1);
        reader.Feed(text.data() + cut1, cut2 - cut1);
        reader.Feed(text.data() + cut2, size - cut2);
        reader.Finish();
        FUZZ_CHECK(SameImage(image, pieces));
        FUZZ_CHECK(SameDiagnostics(image.diagnostics, pieces.diagnostics));

        // The buffer window's rows: each listed region's count becomes its span.
        for (const RegionRow& row : ListPresentRegions(image)) {
            FUZZ_CHECK(row.start <= row.end);
            FUZZ_CHECK(row.span == static_cast<std::uint16_t>(row.end - row.start + 1));
            FUZZ_CHECK(image.Region(row.region).wordCount == row.span);
        }
    }
    return 0;
}
