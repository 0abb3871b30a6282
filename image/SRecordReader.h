#pragma once

#include <cstddef>
#include <cstdint>

class SFileImage;

// Splits S-record text into whitespace-separated tokens, chunk by chunk, and stores the
// words of every S3 token into the image. Holds no memory of its own beyond one token.
class SRecordReader {
public:
    static constexpr std::size_t kTokenBufferSize = 1024;  // a token holds at most 1023 chars

    explicit SRecordReader(SFileImage& image);

    void Feed(const char* data, std::size_t size);
    // Ends the last token (a file need not end in white space) and notes a text that held
    // no S3 record.
    void Finish();

private:
    void EndToken();
    void ParseRecord();

    SFileImage& image_;
    char token_[kTokenBufferSize];
    std::uint8_t bytes_[kTokenBufferSize / 2];  // the token's character pairs, decoded
    std::size_t tokenLength_ = 0;               // characters seen, may exceed what the buffer holds
    std::uint32_t line_ = 1;
    std::uint32_t tokenLine_ = 1;
    bool sawS3_ = false;
};
