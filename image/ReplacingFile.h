#pragma once

#include <string>
#include <string_view>

// New contents for a file, put in its place whole or not at all: written to a temporary
// file beside it under a name no other file has (so no file of the user's is ever taken for
// it), flushed to disk, renamed over the file, and the rename flushed too. Whatever fails,
// the file stays as it was and the temporary file is removed. The path is used as given:
// resolve links first where a link is to stay a link. Failures come with the system's own
// words ("No space left on device"; on Windows "error N").
class ReplacingFile {
public:
    explicit ReplacingFile(std::string path);
    // Removes the temporary file unless Commit put it in place.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Makes the temporary file; readable as a new file in that folder would be, or as the
    // file it replaces is.
    bool Create(std::string& reason);
    bool Write(std::string_view bytes, std::string& reason);
    // Flushes the temporary file and renames it over the file.
    bool Commit(std::string& reason);

private:
    bool Fail(std::string& reason);

    std::string path_;
    std::string temporary_;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    bool committed_ = false;
};

#ifndef _WIN32
// Brings a folder's entries (a file made, renamed or removed in it) to the disk; errno says
// why when it cannot.
bool SyncFolder(const std::string& folder);
#endif

// Create, Write and Commit in one.
bool ReplaceWholeFile(const std::string& path, std::string_view contents, std::string& reason);
