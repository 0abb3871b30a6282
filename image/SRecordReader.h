#pragma once

#include <cstddef>
#include <cstdint>

#include "HexPairs.h"
#include "SRecordDiagnostics.h"

class SFileImage;

// Splits S-record text into whitespace-separated tokens, chunk by chunk, and stores the
// words of every S3 token into the image. Every token is accounted for in the image's
// diagnostics: a record used whole, a header, count or end record, or one named finding.
// Holds no memory of its own beyond one token.
class SRecordReader {
public:
    static constexpr std::size_t kTokenBufferSize = 1024;  // a token holds at most 1023 chars

    explicit SRecordReader(SFileImage& image);

    void Feed(const char* data, std::size_t size);
    // Ends the last token (a file need not end in white space) and notes a text that held
    // no S3 record.
    void Finish();

private:
    // A whole well-formed S3 line at p, read in place; null when the line is anything else
    // (the token is then read the careful way).
    const unsigned char* ReadWellFormedLine(const unsigned char* p, const unsigned char* end);
    // Adds the token's characters up to the next separator; true when one ends it.
    bool TakeToken(const unsigned char*& p, const unsigned char* end);
    void EndToken();
    void ParseRecord();
    // An S0, S5, S6, S7, S8 or S9 record: used when whole, named otherwise.
    void ParseOtherRecord(char kind);
    // Decodes the token's character pairs after its type into bytes_; `allHex` says whether
    // every character is a hexadecimal digit. Returns the number of pairs.
    std::size_t DecodePairs(bool& allHex);
    // The finding for a record that is not whole, null for one that is. `exactCount`: the
    // byte count must cover the address and checksum alone.
    SRecordDiagnostics::Finding* FaultOf(std::size_t pairs, bool allHex, unsigned addressBytes,
                                         bool exactCount);
    // Text that is no record: counted once for the line it stands on.
    void NoteText(const char* token, std::size_t held);

    SFileImage& image_;
    char token_[kTokenBufferSize];
    // The token's character pairs, decoded, with room for the decoder's wide stores.
    std::uint8_t bytes_[kTokenBufferSize / 2 + HexPairs::kWriteAhead];
    std::size_t tokenLength_ = 0;  // characters seen, may exceed what the buffer holds
    std::uint32_t line_ = 1;
    std::uint32_t tokenLine_ = 1;
    bool afterReturn_ = false;  // the last separator was a "\r": a "\n" now ends no line
    std::uint32_t lastTextLine_ = 0;  // the line of the last text counted as no record
    bool sawS3_ = false;
    bool ended_ = false;  // an S7, S8 or S9 record was read: data records after it are not
};
