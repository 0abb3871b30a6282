#pragma once

#include <cstdint>
#include <string>

// What the reader noticed without changing what it loaded. Line numbers start at 1;
// 0 means "none seen".
struct SRecordDiagnostics {
    std::uint32_t badChecksums = 0;      // S3 records whose checksum byte does not match
    std::uint32_t nonHexRecords = 0;     // S3 records with characters that are not hex digits
    std::uint32_t truncatedRecords = 0;  // S3 records whose text ends before their byte count
                                         // says, or that are too long to be held and skipped
    std::uint32_t droppedWords = 0;      // data words that fall in no flash region of the CPU
    std::uint32_t firstBadChecksumLine = 0;
    std::uint32_t firstNonHexLine = 0;
    std::uint32_t firstTruncatedLine = 0;
    std::uint32_t firstDroppedLine = 0;
    // Words a later record wrote again with another value (the later one is kept).
    std::uint32_t conflictingWords = 0;
    std::uint32_t firstConflictingLine = 0;
    bool noS3Records = false;  // the whole text held no S3 record: an S1/S2 file, or no S file

    // Every finding counted: each record and word above, and a text without S3 records.
    std::uint32_t Count() const {
        return badChecksums + nonHexRecords + truncatedRecords + droppedWords + conflictingWords +
               (noS3Records ? 1 : 0);
    }

    bool Any() const {
        return badChecksums || nonHexRecords || truncatedRecords || droppedWords ||
               conflictingWords || noS3Records;
    }

    // One line naming each non-zero count and the line of its first occurrence, for example
    // "S File warnings: 2 bad checksums (first at line 7), 5 dropped words (first at line 9)";
    // for a text without S3 records "no S3 records: nothing to program".
    std::string Summary() const;
};
