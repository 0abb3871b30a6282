#include "gang/GangDisplay.h"

#include "Clock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

// Progress moves many times a second on every pod; the eye needs far fewer redraws.
constexpr std::uint32_t kRedrawEveryMs = 50;
constexpr std::size_t kDefaultColumns = 80;

std::size_t TerminalColumns() {
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
        return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
    }
#else
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
#endif
    return kDefaultColumns;
}

// The lines are moved with the terminal's escape sequences; a Windows console understands
// them once asked to.
void AllowEscapeSequences() {
#ifdef _WIN32
    const HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(console, &mode)) {
        SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
#endif
}

}  // namespace

GangDisplay::GangDisplay(std::ostream& err, bool terminal, Clock& clock)
    : err_(err), terminal_(terminal), clock_(clock), columns_(terminal ? TerminalColumns() : 0) {
    if (terminal_) {
        AllowEscapeSequences();
    }
}

void GangDisplay::SetPods(std::vector<std::string> serials) {
    const std::lock_guard<std::mutex> lock(mutex_);
    serials_ = std::move(serials);
}

void GangDisplay::EndSetUp() {
    const std::lock_guard<std::mutex> lock(mutex_);
    settingUp_ = false;
    said_.clear();
}

void GangDisplay::Line(std::size_t console, const std::string& text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (settingUp_ || console == kRun) {
        if (!settingUp_ || said_.insert(text).second) {
            err_ << text << '\n' << std::flush;
        }
        return;
    }
    if (roundOpen_ && terminal_) {
        SetLine(console, text, true);
        return;
    }
    err_ << Prefixed(console, text) << '\n' << std::flush;
}

void GangDisplay::Live(std::size_t console, const std::string& text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (roundOpen_ && terminal_ && console != kRun) {
        SetLine(console, text, false);
    }
}

void GangDisplay::Say(const std::string& text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    err_ << text << '\n' << std::flush;
}

void GangDisplay::OpenRound(const std::vector<std::size_t>& pods) {
    const std::lock_guard<std::mutex> lock(mutex_);
    roundOpen_ = true;
    lines_.clear();
    drawn_ = 0;
    for (const std::size_t pod : pods) {
        lines_.push_back({pod, {}});
    }
    if (terminal_) {
        Redraw();
    }
}

void GangDisplay::CloseRound(const std::vector<std::string>& results) {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < lines_.size() && i < results.size(); ++i) {
        lines_[i].text = results[i];
    }
    if (terminal_) {
        Redraw();
    } else {
        for (const PodLine& line : lines_) {
            err_ << Prefixed(line.pod, line.text) << '\n';
        }
        err_.flush();
    }
    roundOpen_ = false;
    lines_.clear();
    drawn_ = 0;
}

std::string GangDisplay::Prefixed(std::size_t pod, const std::string& text) const {
    const std::string& serial = pod < serials_.size() ? serials_[pod] : std::string();
    return text.empty() ? serial : serial + "  " + text;
}

void GangDisplay::SetLine(std::size_t pod, const std::string& text, bool now) {
    for (PodLine& line : lines_) {
        if (line.pod == pod) {
            line.text = text;
        }
    }
    if (now || clock_.TickMs() - drawnMs_ >= kRedrawEveryMs) {
        Redraw();
    }
}

void GangDisplay::Redraw() {
    // From the line below the pods' lines up to the first of them, then each line anew.
    if (drawn_ > 0) {
        err_ << "\x1b[" << drawn_ << 'A';
    }
    for (const PodLine& line : lines_) {
        err_ << '\r' << Fitted(Prefixed(line.pod, line.text)) << "\x1b[K\n";
    }
    err_.flush();
    drawn_ = lines_.size();
    drawnMs_ = clock_.TickMs();
}

std::string GangDisplay::Fitted(const std::string& text) const {
    if (columns_ == 0 || text.size() < columns_) {
        return text;
    }
    std::size_t length = columns_ - 1;
    // Never half a UTF-8 character.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
        --length;
    }
    return text.substr(0, length);
}
