#include "SRecordDiagnostics.h"

#include <cstdio>

namespace {

void Append(std::string& text, const SRecordDiagnostics::Finding& finding, const char* one,
            const char* many) {
    if (finding.count == 0) {
        return;
    }
    char part[160];
    std::snprintf(part, sizeof part, "%s%u %s (first at line %u)", text.empty() ? "" : ", ",
                  finding.count, finding.count == 1 ? one : many, finding.firstLine);
    text += part;
}

// Of the words written more than once, how many a later record changed.
void AppendRewrites(std::string& text, const SRecordDiagnostics& d) {
    const SRecordDiagnostics::Finding& changed = d.conflictingWords;
    if (changed.count == 0) {
        return;
    }
    char part[160];
    if (d.rewrittenWords == changed.count) {
        std::snprintf(part, sizeof part,
                      "%s%u %s written more than once with different values (first at line %u)",
                      text.empty() ? "" : ", ", changed.count,
                      changed.count == 1 ? "word" : "words", changed.firstLine);
    } else {
        std::snprintf(part, sizeof part,
                      "%s%u words written more than once, %u of them with different values "
                      "(first at line %u)",
                      text.empty() ? "" : ", ", d.rewrittenWords, changed.count,
                      changed.firstLine);
    }
    text += part;
}

}  // namespace

std::uint32_t SRecordDiagnostics::Count() const {
    return badChecksums.count + nonHexRecords.count + truncatedRecords.count +
           trailingText.count + oddDataBytes.count + s1s2Records.count + recordsAfterEnd.count +
           junkLines.count + intelHexLines.count + droppedWords.count + conflictingWords.count +
           (noS3Records ? 1 : 0);
}

std::string SRecordDiagnostics::Summary() const {
    std::string text;
    Append(text, badChecksums, "record with a bad checksum", "records with a bad checksum");
    Append(text, nonHexRecords, "record with non-hexadecimal characters",
           "records with non-hexadecimal characters");
    Append(text, truncatedRecords, "truncated record", "truncated records");
    Append(text, trailingText, "record with characters after its checksum",
           "records with characters after their checksum");
    Append(text, oddDataBytes, "record with an odd data byte left over",
           "records with an odd data byte left over");
    Append(text, droppedWords, "word outside the CPU's flash", "words outside the CPU's flash");
    AppendRewrites(text, *this);
    Append(text, s1s2Records,
           "S1/S2 data record ignored: only S3 records are programmed",
           "S1/S2 data records ignored: only S3 records are programmed");
    Append(text, recordsAfterEnd, "record after the end record ignored",
           "records after the end record ignored");
    Append(text, intelHexLines, "Intel HEX line ignored", "Intel HEX lines ignored");
    Append(text, junkLines, "line that is not an S-record ignored",
           "lines that are not S-records ignored");
    if (noS3Records) {
        const char* const nothing = "no S3 records: nothing to program";
        return text.empty() ? nothing : nothing + ("; " + text);
    }
    return text.empty() ? text : "S File warnings: " + text;
}
