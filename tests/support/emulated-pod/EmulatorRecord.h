#pragma once

#include <cstdio>
#include <mutex>
#include <string>

// What the emulated devices saw, one line an event ("VEMU0001 purge rx"), for tests to read
// after the run: buffered, and written out whole when the rig ends (a write per frame would
// cost the rig a system call for each of tens of thousands of frames). Without a path
// nothing is kept.
class EmulatorRecord {
public:
    EmulatorRecord() = default;
    ~EmulatorRecord() { Close(); }
    EmulatorRecord(const EmulatorRecord&) = delete;
    EmulatorRecord& operator=(const EmulatorRecord&) = delete;

    bool Open(const std::string& path) {
        file_ = std::fopen(path.c_str(), "w");
        if (file_) {
            std::setvbuf(file_, nullptr, _IOFBF, std::size_t{1} << 20);
        }
        return file_ != nullptr;
    }
    // Writes out what is kept; later lines are dropped.
    void Close() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (file_) {
            std::fclose(file_);
            file_ = nullptr;
        }
    }
    void Line(const std::string& device, const std::string& event) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (file_) {
            std::fprintf(file_, "%s %s\n", device.c_str(), event.c_str());
        }
    }

private:
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
};
