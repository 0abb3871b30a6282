#include "SRecordReader.h"

#include <array>
#include <cstring>

#include "SFileImage.h"

namespace {

struct CharTables {
    // Any run of separators ends a token.
    std::array<bool, 256> separator{};
    // '0'-'9' and 'a'-'f' by value; every other character as if it were 'A'-'F' (c - 0x37),
    // kept to eight bits. Characters are not validated, so garbage decodes to some value.
    std::array<std::uint8_t, 256> nibble{};
    std::array<std::uint8_t, 256> hexDigit{};  // 1 for the 22 hexadecimal digit characters
};

constexpr CharTables MakeTables() {
    CharTables t;
    for (const char c : {' ', '\t', '\n', '\r', '\v', '\f'}) {
        t.separator[static_cast<unsigned char>(c)] = true;
    }
    for (unsigned c = 0; c < 256; ++c) {
        if (c >= '0' && c <= '9') {
            t.nibble[c] = static_cast<std::uint8_t>(c - 0x30);
        } else if (c >= 'a' && c <= 'f') {
            t.nibble[c] = static_cast<std::uint8_t>(c - 0x57);
        } else {
            t.nibble[c] = static_cast<std::uint8_t>(c - 0x37);
        }
        t.hexDigit[c] = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }
    return t;
}

constexpr CharTables kTables = MakeTables();

inline void Note(std::uint32_t& count, std::uint32_t& firstLine, std::uint32_t line) {
    if (count++ == 0) {
        firstLine = line;
    }
}

}  // namespace

SRecordReader::SRecordReader(SFileImage& image) : image_(image) {}

void SRecordReader::Feed(const char* data, std::size_t size) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const auto* const end = p + size;
    while (p < end) {
        if (tokenLength_ == 0) {
            while (p < end && kTables.separator[*p]) {
                line_ += *p == '\n';
                ++p;
            }
            if (p == end) {
                break;
            }
            tokenLine_ = line_;
        }
        const auto* const start = p;
        while (p < end && !kTables.separator[*p]) {
            ++p;
        }
        const std::size_t run = static_cast<std::size_t>(p - start);
        if (tokenLength_ < kTokenBufferSize - 1) {
            std::memcpy(token_ + tokenLength_, start,
                        run < kTokenBufferSize - 1 - tokenLength_
                            ? run
                            : kTokenBufferSize - 1 - tokenLength_);
        }
        tokenLength_ += run;
        if (p < end) {
            EndToken();  // p stands on the separator, which the next pass skips
        }
    }
}

void SRecordReader::Finish() {
    if (tokenLength_ != 0) {
        EndToken();
    }
    image_.diagnostics.noS3Records = !sawS3_;
}

void SRecordReader::EndToken() {
    const bool isS3 = tokenLength_ >= 2 && token_[0] == 'S' && token_[1] == '3';
    if (isS3) {
        sawS3_ = true;
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
    const auto* text = reinterpret_cast<const unsigned char*>(token_);
    SRecordDiagnostics& d = image_.diagnostics;

    // Decode every character pair after "S3" once: byte count, address, data, checksum.
    const std::size_t pairs = (length - 2) / 2;
    unsigned allHex = 1;
    for (std::size_t k = 0; k < pairs; ++k) {
        const unsigned char high = text[2 + 2 * k];
        const unsigned char low = text[3 + 2 * k];
        bytes_[k] = static_cast<std::uint8_t>(16u * kTables.nibble[high] + kTables.nibble[low]);
        allHex &= kTables.hexDigit[high] & kTables.hexDigit[low];
    }
    if ((length - 2) % 2 != 0) {
        allHex &= kTables.hexDigit[text[length - 1]];
    }
    if (!allHex) {
        Note(d.nonHexRecords, d.firstNonHexLine, tokenLine_);
    }

    if (pairs < 5) {
        // No complete byte count and address: nothing to store.
        Note(d.truncatedRecords, d.firstTruncatedLine, tokenLine_);
        return;
    }
    const unsigned byteCount = bytes_[0];
    const std::uint32_t address = (std::uint32_t{bytes_[1]} << 24) |
                                  (std::uint32_t{bytes_[2]} << 16) |
                                  (std::uint32_t{bytes_[3]} << 8) | bytes_[4];
    if (pairs < byteCount + 1) {
        Note(d.truncatedRecords, d.firstTruncatedLine, tokenLine_);
    } else if (allHex && byteCount > 0) {
        unsigned sum = 0;
        for (unsigned k = 0; k < byteCount; ++k) {
            sum += bytes_[k];
        }
        if (((~sum) & 0xFFu) != bytes_[byteCount]) {
            Note(d.badChecksums, d.firstBadChecksumLine, tokenLine_);
        }
    }

    // Four address bytes and one checksum byte are not data; an odd data byte is dropped.
    // Only words whose four characters are all present are stored.
    std::size_t words = byteCount >= 5 ? (byteCount - 5) / 2 : 0;
    const std::size_t complete = (pairs - 5) / 2;
    if (words > complete) {
        words = complete;
    }
    for (std::size_t i = 0; i < words; ++i) {
        const std::uint8_t low = bytes_[5 + 2 * i];
        const std::uint8_t high = bytes_[6 + 2 * i];
        image_.StoreWord(address + static_cast<std::uint32_t>(i),
                         static_cast<std::uint16_t>((high << 8) | low), tokenLine_);
    }
}
