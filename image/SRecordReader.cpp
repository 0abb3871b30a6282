#include "SRecordReader.h"

#include "SFileImage.h"

namespace {

// Any run of these separates tokens.
constexpr bool IsSeparator(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// '0'-'9' and 'a'-'f' by value; every other character as if it were 'A'-'F'.
// Characters are not validated, so garbage decodes to some value rather than failing.
constexpr unsigned HexNibble(unsigned char c) {
    if (c >= '0' && c <= '9') {
        return c - 0x30u;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 0x57u;
    }
    return c - 0x37u;
}

constexpr bool IsHexDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Two characters, most significant first, kept to eight bits.
inline unsigned HexByte(const char* p) {
    return (16u * HexNibble(static_cast<unsigned char>(p[0])) +
            HexNibble(static_cast<unsigned char>(p[1]))) &
           0xFFu;
}

inline void Note(std::uint32_t& count, std::uint32_t& firstLine, std::uint32_t line) {
    if (count++ == 0) {
        firstLine = line;
    }
}

}  // namespace

SRecordReader::SRecordReader(SFileImage& image) : image_(image) {}

void SRecordReader::Feed(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (IsSeparator(c)) {
            if (tokenLength_ != 0) {
                EndToken();
            }
            if (c == '\n') {
                ++line_;
            }
            continue;
        }
        if (tokenLength_ == 0) {
            tokenLine_ = line_;
        }
        if (tokenLength_ < kTokenBufferSize - 1) {
            token_[tokenLength_] = static_cast<char>(c);
        }
        ++tokenLength_;
    }
}

void SRecordReader::Finish() {
    if (tokenLength_ != 0) {
        EndToken();
    }
}

void SRecordReader::EndToken() {
    const bool isS3 = tokenLength_ >= 2 && token_[0] == 'S' && token_[1] == '3';
    if (isS3) {
        if (tokenLength_ >= kTokenBufferSize) {
            // Too long to hold: skipped whole rather than split into two records.
            SRecordDiagnostics& d = image_.diagnostics;
            Note(d.truncatedRecords, d.firstTruncatedLine, tokenLine_);
        } else {
            ParseRecord();
        }
    }
    tokenLength_ = 0;
}

void SRecordReader::ParseRecord() {
    const std::size_t length = tokenLength_;
    const char* text = token_;
    SRecordDiagnostics& d = image_.diagnostics;

    bool allHex = true;
    for (std::size_t i = 2; i < length; ++i) {
        if (!IsHexDigit(static_cast<unsigned char>(text[i]))) {
            allHex = false;
            break;
        }
    }
    if (!allHex) {
        Note(d.nonHexRecords, d.firstNonHexLine, tokenLine_);
    }

    if (length < 12) {
        // No complete byte count and address: nothing to store.
        Note(d.truncatedRecords, d.firstTruncatedLine, tokenLine_);
        return;
    }
    const unsigned byteCount = HexByte(text + 2);
    std::uint32_t address = 0;
    for (int i = 0; i < 4; ++i) {
        address = (address << 8) | HexByte(text + 4 + 2 * i);
    }
    const std::size_t expectedLength = 4 + 2 * std::size_t{byteCount};
    if (length < expectedLength) {
        Note(d.truncatedRecords, d.firstTruncatedLine, tokenLine_);
    } else if (allHex && byteCount > 0) {
        unsigned sum = 0;
        for (std::size_t i = 2; i + 2 < expectedLength; i += 2) {
            sum += HexByte(text + i);
        }
        const unsigned checksum = HexByte(text + expectedLength - 2);
        if (((~sum) & 0xFFu) != checksum) {
            Note(d.badChecksums, d.firstBadChecksumLine, tokenLine_);
        }
    }

    // Four address bytes and one checksum byte are not data; an odd data byte is dropped.
    const int words = byteCount >= 5 ? static_cast<int>(byteCount - 5) / 2 : 0;
    for (int i = 0; i < words; ++i) {
        const std::size_t at = 12 + 4 * static_cast<std::size_t>(i);
        if (at + 4 > length) {
            break;  // the record's text ended early: only complete words count
        }
        const unsigned low = HexByte(text + at);
        const unsigned high = HexByte(text + at + 2);
        image_.StoreWord(address + static_cast<std::uint32_t>(i),
                         static_cast<std::uint16_t>((high << 8) | low), tokenLine_);
    }
}
