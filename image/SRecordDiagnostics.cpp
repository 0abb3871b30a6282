#include "SRecordDiagnostics.h"

#include <cstdio>

namespace {

void Append(std::string& text, std::uint32_t count, const char* one, const char* many,
            std::uint32_t line) {
    if (count == 0) {
        return;
    }
    char part[128];
    std::snprintf(part, sizeof part, "%s%u %s (first at line %u)", text.empty() ? "" : ", ", count,
                  count == 1 ? one : many, line);
    text += part;
}

}  // namespace

std::string SRecordDiagnostics::Summary() const {
    if (noS3Records) {
        return "no S3 records: nothing to program";  // the counts below are all of S3 records
    }
    std::string text;
    Append(text, badChecksums, "record with a bad checksum", "records with a bad checksum",
           firstBadChecksumLine);
    Append(text, nonHexRecords, "record with non-hexadecimal characters",
           "records with non-hexadecimal characters", firstNonHexLine);
    Append(text, truncatedRecords, "truncated record", "truncated records", firstTruncatedLine);
    Append(text, droppedWords, "word outside the CPU's flash", "words outside the CPU's flash",
           firstDroppedLine);
    Append(text, conflictingWords, "word written twice with different values",
           "words written twice with different values", firstConflictingLine);
    return text.empty() ? text : "S File warnings: " + text;
}
