#pragma once

#include <cstdio>
#include <mutex>
#include <string>

// What the emulated devices saw, one line an event ("VEMU0001 purge rx"), for tests to read
// after the run. Without a path nothing is kept.
class EmulatorRecord {
public:
    EmulatorRecord() = default;
    ~EmulatorRecord() {
        if (file_) {
            std::fclose(file_);
        }
    }
    EmulatorRecord(const EmulatorRecord&) = delete;
    EmulatorRecord& operator=(const EmulatorRecord&) = delete;

    bool Open(const std::string& path) {
        file_ = std::fopen(path.c_str(), "w");
        return file_ != nullptr;
    }
    void Line(const std::string& device, const std::string& event) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (file_) {
            std::fprintf(file_, "%s %s\n", device.c_str(), event.c_str());
            std::fflush(file_);
        }
    }

private:
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
};
