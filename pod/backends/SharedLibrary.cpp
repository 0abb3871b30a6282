#include "SharedLibrary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

#ifdef _WIN32
std::string WindowsErrorText(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = length ? std::string(text, length) : "error " + std::to_string(code);
    if (text) {
        LocalFree(text);
    }
    while (!result.empty() &&
           (result.back() == '\n' || result.back() == '\r' || result.back() == ' ')) {
        result.pop_back();
    }
    return result;
}

HMODULE LoadByName(const std::string& fileName) {
    if (fileName.find_first_of("\\/") != std::string::npos) {
        return LoadLibraryExA(fileName.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    // A bare name is looked up in the program's folder and the system folders, never in the
    // current directory, where anybody could have dropped a library of that name.
    HMODULE module = LoadLibraryExA(fileName.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
        // Windows without the safe search flags.
        module = LoadLibraryA(fileName.c_str());
    }
    return module;
}
#endif

}  // namespace

SharedLibrary::~SharedLibrary() {
    Close();
}

bool SharedLibrary::Open(const std::string& fileName) {
    Close();
    lastError_.clear();
#ifdef _WIN32
    // No "missing component" message box: a missing library is an ordinary outcome here.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadByName(fileName);
    const DWORD error = GetLastError();
    SetErrorMode(oldMode);
    if (!module) {
        lastError_ = fileName + ": " + WindowsErrorText(error);
        return false;
    }
    handle_ = reinterpret_cast<void*>(module);
#else
    handle_ = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* error = dlerror();
        lastError_ = error ? error : fileName + ": cannot be loaded";
        return false;
    }
#endif
    return true;
}

void SharedLibrary::Close() {
    if (!handle_) {
        return;
    }
#ifdef _WIN32
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
    handle_ = nullptr;
}

SharedLibrary::Function SharedLibrary::Symbol(const char* name) const {
    if (!handle_) {
        return nullptr;
    }
#ifdef _WIN32
    return reinterpret_cast<Function>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
#else
    return reinterpret_cast<Function>(dlsym(handle_, name));
#endif
}
