#pragma once

#include <string>

// The production log: one JSON object a line, appended by any number of stations. Each line
// goes out in a single append write followed by fsync, so lines of several writers never
// mix and a crash never leaves half a line. The file is opened by its path for each line:
// a log that is rotated (moved away) or removed goes on in a new file of its name.
class RunLog {
public:
    // Whether the file can be opened (or created) for appending; false with the reason when
    // it cannot. Called before the pod is touched.
    bool Open(const std::string& path, std::string& error);
    bool IsOpen() const;
    // Writes nothing more: the run found that the log must not be written (it is a file the
    // run has other uses for). A file that Open made, and nothing went into, is removed.
    void Abandon();
    // Appends the line and its line end to the file at the log's path.
    bool Append(const std::string& line, std::string& error);

    // "2026-12-07T09:41:05Z"; "2026-12-07T09:41:05.250Z" to the millisecond, as records are
    // timed, so that boards of one second keep their order.
    static std::string UtcNow(bool milliseconds = false);
    static std::string HostName();

private:
    // Opens the file at `path` for appending, creating it when missing (`created` says so),
    // and writes `text` (none: only opens it).
    static bool Append(const std::string& path, const std::string* text, std::string& error,
                       bool* created = nullptr);

    std::string path_;
    bool made_ = false;  // Open made the file, and nothing has been appended yet
};
