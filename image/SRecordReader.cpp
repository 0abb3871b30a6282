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

// Byte count, address, data and checksum: 2 + 8 + 2 characters at least.
constexpr std::size_t kShortestRecordPairs = 6;

std::uint32_t AddressOf(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[1]} << 24) | (std::uint32_t{bytes[2]} << 16) |
           (std::uint32_t{bytes[3]} << 8) | bytes[4];
}

// The checksum byte makes the ones' complement of the sum of the counted bytes.
bool ChecksumMatches(const std::uint8_t* bytes, unsigned byteCount) {
    unsigned sum = 0;
    for (unsigned k = 0; k < byteCount; ++k) {
        sum += bytes[k];
    }
    return ((~sum) & 0xFFu) == bytes[byteCount];
}

bool IsIntelHex(const char* token, std::size_t held) {
    // ":" then byte count, address, type and checksum at the least.
    if (held < 11 || token[0] != ':') {
        return false;
    }
    for (std::size_t k = 1; k < held; ++k) {
        if (!kTables.hexDigit[static_cast<unsigned char>(token[k])]) {
            return false;
        }
    }
    return true;
}

}  // namespace

SRecordReader::SRecordReader(SFileImage& image) : image_(image) {}

void SRecordReader::Feed(const char* data, std::size_t size) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const auto* const end = p + size;
    while (p < end) {
        if (tokenLength_ == 0) {
            // A line ends at "\n", "\r\n" or a "\r" alone (files from old Mac tools).
            while (p < end && kTables.separator[*p]) {
                line_ += *p == '\r' || (*p == '\n' && !afterReturn_);
                afterReturn_ = *p == '\r';
                ++p;
            }
            if (p == end) {
                break;
            }
            afterReturn_ = false;
            tokenLine_ = line_;
            if (const unsigned char* next = ReadWellFormedLine(p, end)) {
                p = next;  // on the line's end, which the next pass skips
                continue;
            }
        }
        if (TakeToken(p, end)) {
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

const unsigned char* SRecordReader::ReadWellFormedLine(const unsigned char* p,
                                                       const unsigned char* end) {
    // Nearly every line of a file is one record that needs none of the careful reading's
    // checks one character at a time: it is decoded where it lies, many characters at once.
    const std::size_t available = static_cast<std::size_t>(end - p);
    if (ended_ || available < 2 || p[0] != 'S' || p[1] != '3') {
        return nullptr;
    }
    const void* newline =
        std::memchr(p, '\n', available < kTokenBufferSize ? available : kTokenBufferSize);
    if (newline == nullptr) {
        return nullptr;
    }
    const auto* lineEnd = static_cast<const unsigned char*>(newline);
    lineEnd -= lineEnd[-1] == '\r';
    const std::size_t characters = static_cast<std::size_t>(lineEnd - p) - 2;
    const std::size_t pairs = characters / 2;
    unsigned sum = 0;
    if (characters % 2 != 0 || pairs < kShortestRecordPairs ||
        static_cast<std::size_t>(end - lineEnd) < HexPairs::kReadAhead ||
        !HexPairs::DecodeChecked(p + 2, pairs, bytes_, sum)) {
        return nullptr;
    }
    const unsigned byteCount = bytes_[0];
    if (pairs != byteCount + 1 || (byteCount - 5) % 2 != 0) {
        return nullptr;
    }
    const unsigned checksum = bytes_[byteCount];
    if (((~(sum - checksum)) & 0xFFu) != checksum) {
        return nullptr;
    }
    sawS3_ = true;
    ++image_.diagnostics.dataRecords;
    image_.StoreWords(AddressOf(bytes_), bytes_ + 5, (byteCount - 5) / 2, tokenLine_);
    return lineEnd;
}

bool SRecordReader::TakeToken(const unsigned char*& p, const unsigned char* end) {
    const auto* const start = p;
    while (p < end && !kTables.separator[*p]) {
        ++p;
    }
    const std::size_t run = static_cast<std::size_t>(p - start);
    if (tokenLength_ < kTokenBufferSize - 1) {
        const std::size_t room = kTokenBufferSize - 1 - tokenLength_;
        std::memcpy(token_ + tokenLength_, start, run < room ? run : room);
    }
    tokenLength_ += run;
    return p < end;
}

void SRecordReader::EndToken() {
    SRecordDiagnostics& d = image_.diagnostics;
    const std::size_t held = tokenLength_ < kTokenBufferSize ? tokenLength_ : kTokenBufferSize - 1;
    const char kind = tokenLength_ >= 2 && token_[0] == 'S' ? token_[1] : '\0';
    const bool data = kind == '1' || kind == '2' || kind == '3';
    if (data && ended_) {
        d.recordsAfterEnd.Note(tokenLine_);
    } else if (kind == '3') {
        sawS3_ = true;
        if (tokenLength_ >= kTokenBufferSize) {
            // Too long to hold: skipped whole rather than split into two records.
            d.truncatedRecords.Note(tokenLine_);
        } else {
            ParseRecord();
        }
    } else if (data) {
        d.s1s2Records.Note(tokenLine_);
    } else if (kind == '0' || kind == '5' || kind == '6' || kind == '7' || kind == '8' ||
               kind == '9') {
        const bool endRecord = kind >= '7';
        if (endRecord && ended_) {
            d.recordsAfterEnd.Note(tokenLine_);  // a second end record ends nothing
        } else if (tokenLength_ >= kTokenBufferSize) {
            d.truncatedRecords.Note(tokenLine_);
        } else {
            ParseOtherRecord(kind);
        }
    } else {
        NoteText(token_, held);
    }
    tokenLength_ = 0;
}

void SRecordReader::NoteText(const char* token, std::size_t held) {
    if (tokenLine_ == lastTextLine_) {
        return;  // the line is counted already
    }
    lastTextLine_ = tokenLine_;
    SRecordDiagnostics& d = image_.diagnostics;
    (IsIntelHex(token, held) ? d.intelHexLines : d.junkLines).Note(tokenLine_);
}

std::size_t SRecordReader::DecodePairs(bool& allHex) {
    const std::size_t length = tokenLength_;
    const auto* text = reinterpret_cast<const unsigned char*>(token_);
    // Every character pair after the record type: byte count, address, data, checksum.
    const std::size_t pairs = (length - 2) / 2;
    unsigned hex = 1;
    for (std::size_t k = 0; k < pairs; ++k) {
        const unsigned char high = text[2 + 2 * k];
        const unsigned char low = text[3 + 2 * k];
        bytes_[k] = static_cast<std::uint8_t>(16u * kTables.nibble[high] + kTables.nibble[low]);
        hex &= kTables.hexDigit[high] & kTables.hexDigit[low];
    }
    if ((length - 2) % 2 != 0) {
        hex &= kTables.hexDigit[text[length - 1]];
    }
    allHex = hex != 0;
    return pairs;
}

SRecordDiagnostics::Finding* SRecordReader::FaultOf(std::size_t pairs, bool allHex,
                                                    unsigned addressBytes, bool exactCount) {
    SRecordDiagnostics& d = image_.diagnostics;
    // One finding a record, the gravest: its text, its length, its checksum, then what is
    // left over after the checksum.
    if (pairs < 1 + addressBytes) {
        return allHex ? &d.truncatedRecords : &d.nonHexRecords;
    }
    const unsigned byteCount = bytes_[0];
    if (!allHex) {
        return &d.nonHexRecords;
    }
    if (byteCount < addressBytes + 1 || pairs < byteCount + 1) {
        return &d.truncatedRecords;
    }
    if (!ChecksumMatches(bytes_, byteCount)) {
        return &d.badChecksums;
    }
    if (tokenLength_ - 2 > 2 * (byteCount + 1)) {
        return &d.trailingText;
    }
    // A count or end record holds its address and checksum and nothing else.
    if (exactCount && byteCount != addressBytes + 1) {
        return &d.truncatedRecords;
    }
    return nullptr;
}

void SRecordReader::ParseOtherRecord(char kind) {
    // S0, S5 and S9 records carry a 2-byte address, S6 and S8 records 3 bytes, S7 records 4.
    const unsigned addressBytes = kind == '7' ? 4 : kind == '6' || kind == '8' ? 3 : 2;
    bool allHex = false;
    const std::size_t pairs = DecodePairs(allHex);
    if (SRecordDiagnostics::Finding* fault = FaultOf(pairs, allHex, addressBytes, kind != '0')) {
        // Not read as anything: a damaged end record ends nothing.
        fault->Note(tokenLine_);
        return;
    }
    ++image_.diagnostics.otherRecords;
    ended_ = ended_ || kind >= '7';
}

void SRecordReader::ParseRecord() {
    bool allHex = false;
    const std::size_t pairs = DecodePairs(allHex);
    SRecordDiagnostics::Finding* fault = FaultOf(pairs, allHex, 4, false);
    if (pairs < 5) {
        fault->Note(tokenLine_);  // no complete byte count and address: nothing to store
        return;
    }
    const unsigned byteCount = bytes_[0];
    if (fault == nullptr && (byteCount - 5) % 2 != 0) {
        fault = &image_.diagnostics.oddDataBytes;
    }
    if (fault != nullptr) {
        fault->Note(tokenLine_);
    } else {
        ++image_.diagnostics.dataRecords;
    }

    // Four address bytes and one checksum byte are not data; an odd data byte is dropped.
    // Only words whose four characters are all present are stored.
    std::size_t words = byteCount >= 5 ? (byteCount - 5) / 2 : 0;
    const std::size_t complete = (pairs - 5) / 2;
    if (words > complete) {
        words = complete;
    }
    image_.StoreWords(AddressOf(bytes_), bytes_ + 5, static_cast<std::uint32_t>(words),
                      tokenLine_);
}
