#pragma once

#include <cstdint>
#include <string>

// What the reader noticed without changing what it loaded. Line numbers start at 1;
// 0 means "none seen".
//
// Every token of the text is accounted for once: an S3 record used whole (`dataRecords`), a
// whole S0, S5, S6, S7, S8 or S9 record (`otherRecords`), or one of the record findings below.
// Every record is checked alike: hex digits, byte count against length, checksum. Text
// that is no record is counted once per line it stands on (`junkLines`, `intelHexLines`).
struct SRecordDiagnostics {
    // A count and the line of its first occurrence.
    struct Finding {
        std::uint32_t count = 0;
        std::uint32_t firstLine = 0;

        void Note(std::uint32_t line) {
            if (count++ == 0) {
                firstLine = line;
            }
        }
    };

    // Records, one finding each.
    Finding badChecksums;      // records whose checksum byte does not match
    Finding nonHexRecords;     // records with characters that are not hex digits
    Finding truncatedRecords;  // records whose text ends before their byte count says, whose
                               // byte count leaves no room for an address, that are too long
                               // to be held and skipped, or count and end records whose byte
                               // count covers more than their address and checksum
    Finding trailingText;      // records with characters after their checksum
    Finding oddDataBytes;      // S3 records whose data end in a byte that makes no word
    Finding s1s2Records;       // S1 and S2 data records: this pod takes S3 records only
    Finding recordsAfterEnd;   // data records and end records after an S7, S8 or S9 end
                               // record: not loaded
    Finding junkLines;         // lines with text that is no S-record
    Finding intelHexLines;     // lines that are Intel HEX records
    // Words.
    Finding droppedWords;      // data words in no flash region of the CPU, or past 0xFFFFFFFF
    Finding conflictingWords;  // distinct words a later record wrote with another value
    std::uint32_t rewrittenWords = 0;  // distinct words written more than once, any value

    std::uint32_t dataRecords = 0;   // S3 records used whole
    std::uint32_t otherRecords = 0;  // S0, S5, S6, S7, S8 and S9 records used whole
    bool noS3Records = false;  // the text held no S3 record to load: an S1/S2 file, or no S file

    // Every finding counted: each record, line and word above, and a text without S3 records.
    // Words written again with the same value are no finding.
    std::uint32_t Count() const;
    bool Any() const { return Count() != 0; }

    // One line naming each non-zero count and the line of its first occurrence, for example
    // "S File warnings: 2 bad checksums (first at line 7), 5 dropped words (first at line 9)";
    // for a text without S3 records "no S3 records: nothing to program", followed by what
    // the text held instead.
    std::string Summary() const;
};
