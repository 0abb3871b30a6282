#pragma once

#include <array>
#include <streambuf>
#include <string>

// The standard output as a stream buffer that keeps what the system said about the first
// write that failed ("No space left on device", "Broken pipe"), which a stream's state
// alone forgets. Everything after a failed write is dropped.
class StdoutBuffer final : public std::streambuf {
public:
    // `closed`: the caller started the program with its standard output closed; descriptor 1
    // then only holds /dev/null, and every write fails as it would have on the closed one.
    explicit StdoutBuffer(bool closed = false) : closed_(closed) {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }
    ~StdoutBuffer() override { sync(); }
    StdoutBuffer(const StdoutBuffer&) = delete;
    StdoutBuffer& operator=(const StdoutBuffer&) = delete;

    // The system's error number of the first failed write; 0 while none failed.
    int Failure() const { return failure_; }
    // What the standard output is when it is a file or a device ("/dev/full"); empty for a
    // pipe, a terminal's console, a closed output or where the system cannot tell.
    std::string Name() const;

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    bool Drain();

    std::array<char, 8192> buffer_{};
    int failure_ = 0;
    bool closed_ = false;
};
