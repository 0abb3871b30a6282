#include "HeadlessBrowser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "ChildProcess.h"

namespace {

constexpr std::chrono::seconds kAnswerLimit{30};

// Moves a descriptor to `target` in the child, leaving it open across exec.
void Place(int fd, int target) {
    dup2(fd, target);
    fcntl(target, F_SETFD, 0);
}

std::string Base64Decoded(const std::string& text) {
    std::string bytes;
    unsigned value = 0;
    int bits = 0;
    for (const char c : text) {
        const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const char* at = c != '\0' ? std::strchr(digits, c) : nullptr;
        if (at == nullptr) {
            continue;
        }
        value = (value << 6) | static_cast<unsigned>(at - digits);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((value >> bits) & 0xFF);
        }
    }
    return bytes;
}

}  // namespace

HeadlessBrowser::HeadlessBrowser(std::string program) {
    char folder[] = "/tmp/vantix-browser-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        error_ = "cannot make a profile folder";
        return;
    }
    profile_ = folder;
    Start(program);
}

HeadlessBrowser::~HeadlessBrowser() {
    if (pid_ > 0) {
        Call("Browser.close", nlohmann::json::object(), false);
        int status = 0;
        if (!WaitForExitWithin(pid_, std::chrono::seconds(10), status)) {
            kill(pid_, SIGKILL);
            WaitForExit(pid_);
        }
    }
    for (const int fd : {toBrowser_, fromBrowser_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(profile_, ignored);
}

bool HeadlessBrowser::Start(const std::string& program) {
    int commands[2];
    int replies[2];
    if (pipe2(commands, O_CLOEXEC) != 0 || pipe2(replies, O_CLOEXEC) != 0) {
        error_ = "cannot make the pipes";
        return false;
    }
    ChildSetup setup;
    setup.outputTo = ChildSetup::Output::Files;
    setup.outFile = profile_ + "/out.txt";
    setup.errFile = profile_ + "/err.txt";
    setup.name = "chromium";
    // The browser reads commands on descriptor 3 and answers on 4; out of the way first, as
    // either may be 3 or 4 already.
    setup.beforeExec = [commands, replies] {
        const int in = fcntl(commands[0], F_DUPFD, 100);
        const int out = fcntl(replies[1], F_DUPFD, 100);
        Place(in, 3);
        Place(out, 4);
    };
    const ChildProcess child = StartChild(
        {program, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--disable-dev-shm-usage", "--hide-scrollbars", "--mute-audio",
         "--user-data-dir=" + profile_, "--remote-debugging-pipe", "about:blank"},
        setup);
    close(commands[0]);
    close(replies[1]);
    toBrowser_ = commands[1];
    fromBrowser_ = replies[0];
    pid_ = child.pid;
    if (pid_ < 0) {
        error_ = "cannot start " + program;
        return false;
    }
    const nlohmann::json version = Call("Browser.getVersion", nlohmann::json::object(), false);
    if (version.is_null()) {
        error_ = "no answer from " + program + " (is Debian's chromium installed?)";
        return false;
    }
    return true;
}

bool HeadlessBrowser::Open(const std::string& url, int width, int height) {
    const nlohmann::json target = Call("Target.createTarget", {{"url", "about:blank"}}, false);
    if (target.is_null()) {
        return false;
    }
    const nlohmann::json attached =
        Call("Target.attachToTarget", {{"targetId", target["targetId"]}, {"flatten", true}}, false);
    if (attached.is_null()) {
        return false;
    }
    session_ = attached["sessionId"];
    pageErrors_.clear();
    dialogs_.clear();
    for (const char* domain : {"Page.enable", "Runtime.enable", "Log.enable"}) {
        if (Call(domain).is_null()) {
            return false;
        }
    }
    Call("Emulation.setDeviceMetricsOverride",
         {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}});
    if (Call("Page.navigate", {{"url", url}}).is_null()) {
        return false;
    }
    const bool loaded = ReadUntil(
        [](const nlohmann::json& m) { return m.value("method", "") == "Page.loadEventFired"; },
        kAnswerLimit);
    if (!loaded) {
        error_ = "the page did not load: " + url;
    }
    return loaded;
}

nlohmann::json HeadlessBrowser::Evaluate(const std::string& expression) {
    const nlohmann::json answer =
        Call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}});
    if (answer.is_null() || answer.contains("exceptionDetails")) {
        error_ = "cannot evaluate: " + (answer.is_null() ? error_ : answer.dump());
        return nullptr;
    }
    return answer["result"].value("value", nlohmann::json());
}

std::string HeadlessBrowser::Screenshot() {
    const nlohmann::json shot = Call("Page.captureScreenshot", {{"format", "png"}});
    return shot.is_null() ? std::string() : Base64Decoded(shot.value("data", ""));
}

nlohmann::json HeadlessBrowser::Call(const std::string& method, const nlohmann::json& params,
                                     bool inPage) {
    if (toBrowser_ < 0) {
        return nullptr;
    }
    const int id = nextId_++;
    nlohmann::json command = {{"id", id}, {"method", method}, {"params", params}};
    if (inPage && !session_.empty()) {
        command["sessionId"] = session_;
    }
    const std::string text = command.dump() + '\0';
    for (std::size_t sent = 0; sent < text.size();) {
        const ssize_t wrote = write(toBrowser_, text.data() + sent, text.size() - sent);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            error_ = "the browser is gone";
            return nullptr;
        }
        sent += static_cast<std::size_t>(wrote);
    }
    nlohmann::json answer;
    const bool answered = ReadUntil(
        [&](const nlohmann::json& m) {
            if (m.value("id", 0) != id) {
                return false;
            }
            answer = m;
            return true;
        },
        kAnswerLimit);
    if (!answered || answer.contains("error")) {
        error_ = method + ": " + (answered ? answer["error"].dump() : "no answer");
        return nullptr;
    }
    return answer["result"];
}

bool HeadlessBrowser::ReadUntil(const std::function<bool(const nlohmann::json&)>& done,
                                std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    nlohmann::json message;
    while (ReadMessage(message, deadline)) {
        Note(message);
        if (done(message)) {
            return true;
        }
    }
    return false;
}

bool HeadlessBrowser::ReadMessage(nlohmann::json& message,
                                  std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const std::size_t end = pending_.find('\0');
        if (end != std::string::npos) {
            message = nlohmann::json::parse(pending_.substr(0, end), nullptr, false);
            pending_.erase(0, end + 1);
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{fromBrowser_, POLLIN, 0};
        if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        char buffer[65536];
        const ssize_t got = read(fromBrowser_, buffer, sizeof buffer);
        if (got <= 0) {
            return false;
        }
        pending_.append(buffer, static_cast<std::size_t>(got));
    }
}

void HeadlessBrowser::Note(const nlohmann::json& event) {
    const std::string method = event.value("method", "");
    const nlohmann::json& params = event.contains("params") ? event["params"] : nlohmann::json();
    if (method == "Runtime.consoleAPICalled" && params.value("type", "") == "error") {
        pageErrors_.push_back("console.error: " + params["args"].dump());
    } else if (method == "Runtime.exceptionThrown") {
        pageErrors_.push_back("exception: " + params["exceptionDetails"].dump());
    } else if (method == "Log.entryAdded" && params["entry"].value("level", "") == "error") {
        pageErrors_.push_back(params["entry"].value("source", "") + ": " +
                              params["entry"].value("text", ""));
    } else if (method == "Page.javascriptDialogOpening") {
        dialogs_.push_back(params.value("message", ""));
        // A dialog left open would stop the page; the test sees that it opened.
        nlohmann::json close = {{"id", nextId_++},
                                {"method", "Page.handleJavaScriptDialog"},
                                {"params", {{"accept", false}}},
                                {"sessionId", event.value("sessionId", session_)}};
        const std::string text = close.dump() + '\0';
        [[maybe_unused]] const ssize_t wrote = write(toBrowser_, text.data(), text.size());
    }
}
