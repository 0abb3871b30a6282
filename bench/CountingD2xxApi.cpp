#include "CountingD2xxApi.h"

#include "Clock.h"

std::uint64_t CountingD2xxApi::NowUs() const {
    return clock_ != nullptr ? clock_->NowUs() : 0;
}

FT_STATUS CountingD2xxApi::FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                                    std::uint32_t* written) {
    const std::uint64_t before = NowUs();
    std::uint32_t sent = 0;
    const FT_STATUS status = Inner().FT_Write(handle, buffer, count, &sent);
    counts_.writeUs += NowUs() - before;
    if (written != nullptr) {
        *written = sent;
    }
    if (status != FT_OK) {
        return status;
    }
    counts_.bytesWritten += sent;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    for (std::uint32_t i = 0; i < sent; ++i) {
        if (const char letter = scanner_.Feed(bytes[i]); letter != 0) {
            ++counts_.frames;
            counts_.repliedFrames += FrameScanner::Acknowledged(letter) ? 1 : 0;
        }
    }
    return status;
}

FT_STATUS CountingD2xxApi::FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                                   std::uint32_t* received) {
    const std::uint64_t before = NowUs();
    const FT_STATUS status = Inner().FT_Read(handle, buffer, count, received);
    counts_.readUs += NowUs() - before;
    if (status == FT_OK && received != nullptr) {
        counts_.bytesRead += *received;
    }
    return status;
}
