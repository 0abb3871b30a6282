#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// Debian's Chromium, headless, driven over the DevTools protocol through a pair of pipes
// (--remote-debugging-pipe: JSON messages ended by a NUL byte), for tests of the pages the
// programs write. It runs as root without its sandbox and with none of its background
// connections, in a profile folder of its own that goes with it. Whatever the page logs as
// an error, throws, or opens as a dialog is kept for the test to look at.
class HeadlessBrowser {
public:
    // Starts the browser; Error() says why when it could not.
    explicit HeadlessBrowser(std::string program);
    ~HeadlessBrowser();
    HeadlessBrowser(const HeadlessBrowser&) = delete;
    HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

    const std::string& Error() const { return error_; }
    // Opens the URL in a new tab of the given size and waits for its load event.
    bool Open(const std::string& url, int width = 1280, int height = 1600);
    // The value of a JavaScript expression in the open page (returned by value).
    nlohmann::json Evaluate(const std::string& expression);
    // A PNG of the whole page.
    std::string Screenshot();

    // Console errors, uncaught exceptions and the browser's own error entries (a refused
    // script, a file that would not load), each as one line.
    const std::vector<std::string>& PageErrors() const { return pageErrors_; }
    // The messages of alert(), confirm() and prompt() dialogs the page opened.
    const std::vector<std::string>& Dialogs() const { return dialogs_; }

private:
    bool Start(const std::string& program);
    // Sends a command and waits for its answer; null (with Error()) when none came.
    nlohmann::json Call(const std::string& method,
                        const nlohmann::json& params = nlohmann::json::object(),
                        bool inPage = true);
    // Reads messages until one passes `done` or the time runs out.
    bool ReadUntil(const std::function<bool(const nlohmann::json&)>& done,
                   std::chrono::milliseconds limit);
    bool ReadMessage(nlohmann::json& message, std::chrono::steady_clock::time_point deadline);
    void Note(const nlohmann::json& event);

    std::string error_;
    std::string profile_;
    pid_t pid_ = -1;
    int toBrowser_ = -1;
    int fromBrowser_ = -1;
    std::string pending_;  // bytes read past the last message
    int nextId_ = 1;
    std::string session_;
    std::vector<std::string> pageErrors_;
    std::vector<std::string> dialogs_;
};
