#pragma once

#include <string>

// The production log: one JSON object a line, appended by any number of stations. Each line
// goes out in a single append write followed by fsync, so lines of several writers never
// mix and a crash never leaves half a line.
class RunLog {
public:
    RunLog() = default;
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // Opens (or creates) the file for appending; false with the reason when it cannot be
    // written. Called before the pod is touched.
    bool Open(const std::string& path, std::string& error);
    bool IsOpen() const;
    // Appends the line and its line end.
    bool Append(const std::string& line, std::string& error);

    // "2026-12-07T09:41:05Z"; "2026-12-07T09:41:05.250Z" to the millisecond, as records are
    // timed, so that boards of one second keep their order.
    static std::string UtcNow(bool milliseconds = false);
    static std::string HostName();

private:
    std::string path_;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};
