#pragma once

#include <string>

// A library mapped at run time: dlopen on Linux, LoadLibrary on Windows.
class SharedLibrary {
public:
    // Symbols come back as a plain function pointer; callers cast to the real signature.
    using Function = void (*)();

    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // Maps the library by file name (the system's search rules apply) or by path.
    bool Open(const std::string& fileName);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }
    // Null when the library does not export the name.
    Function Symbol(const char* name) const;
    // Why the last Open failed, in the system's words.
    const std::string& LastError() const { return lastError_; }

private:
    void* handle_ = nullptr;
    std::string lastError_;
};
