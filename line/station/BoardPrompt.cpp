#include "station/BoardPrompt.h"

#include <iostream>

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

// How often a wait for the operator looks at the Ctrl+C flag.
constexpr int kInterruptPollMs = 100;

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

bool BoardPrompt::ReadLine(std::string& line) {
    line.clear();
    if (input_ != nullptr) {
        return static_cast<bool>(std::getline(*input_, line));
    }
#ifdef _WIN32
    // Ctrl+C ends a console read with an error, which ends the loop too.
    return static_cast<bool>(std::getline(std::cin, line));
#else
    // The signal handler does not interrupt a read, so wait in short polls that notice it.
    for (;;) {
        if (Interrupted()) {
            return false;
        }
        pollfd in{STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&in, 1, kInterruptPollMs);
        if (ready < 0) {
            continue;  // a signal arrived: look at the flag again
        }
        if (ready == 0) {
            continue;
        }
        char c = 0;
        const ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got <= 0) {
            return !line.empty();
        }
        if (c == '\n') {
            return true;
        }
        line += c;
    }
#endif
}

void BoardPrompt::DiscardTypeAhead() {
    // A pipe or a file holds what a script meant to send; only a person types ahead.
    if (input_ != nullptr) {
        return;
    }
#ifdef _WIN32
    const HANDLE console = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(console, &mode)) {
        FlushConsoleInputBuffer(console);
    }
#else
    if (isatty(STDIN_FILENO)) {
        tcflush(STDIN_FILENO, TCIFLUSH);
    }
#endif
}

bool BoardPrompt::NextBoardWanted(std::string& boardId) {
    boardId.clear();
    if (Interrupted()) {
        return false;
    }
    std::string line;
    if (!ReadLine(line) || Interrupted()) {
        return false;
    }
    const std::string answer = Trimmed(line);
    if (answer == "q" || answer == "Q" || answer == "quit") {
        return false;
    }
    boardId = answer;
    return true;
}
