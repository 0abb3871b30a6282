#include "run/ConsoleUi.h"

#include "run/ProgressLine.h"

namespace {

std::string FirstWord(const std::string& text) {
    return text.substr(0, text.find(' '));
}

}  // namespace

ConsoleUi::ConsoleUi(std::ostream& err, CliVerbosity verbosity, bool terminal)
    : err_(err), verbosity_(verbosity), terminal_(terminal) {}

ConsoleUi::~ConsoleUi() {
    Finish();
}

void ConsoleUi::SetBusy(bool busy) {
    if (busy) {
        shownStatus_.clear();
        currentText_.clear();
    }
}

void ConsoleUi::Error(const std::string& text) {
    static const std::string kProgram = "vantix-cli: ";
    lastMessage_ =
        text.compare(0, kProgram.size(), kProgram) == 0 ? text.substr(kProgram.size()) : text;
    Line(text);
}

void ConsoleUi::Warning(const std::string& text) {
    if (!Quiet()) {
        Line(text);
    }
}

void ConsoleUi::Info(const std::string& text) {
    if (!Quiet()) {
        Line(text);
    }
}

void ConsoleUi::Trace(const std::string& text) {
    if (!Verbose()) {
        return;
    }
    // An open progress line makes way for the trace line and is drawn again below it.
    const bool redraw = lineOpen_;
    if (lineOpen_) {
        err_ << '\r' << std::string(drawnLength_, ' ') << '\r';
        lineOpen_ = false;
    }
    err_ << text << '\n';
    if (redraw) {
        DrawProgress(true);
    }
    err_.flush();
}

void ConsoleUi::ReportRefusal() {
    if (!heldRefusal_.empty()) {
        Line(heldRefusal_);
        heldRefusal_.clear();
    }
}

void ConsoleUi::Finish() {
    if (lineOpen_) {
        err_ << '\n';
        err_.flush();
        lineOpen_ = false;
    }
}

void ConsoleUi::SetText(const char* text) {
    pendingText_ = text != nullptr ? text : "";
}

void ConsoleUi::RepaintNow() {
    const std::string text = pendingText_;
    if (Quiet() || text.empty() || text == currentText_ || Interrupted()) {
        return;
    }
    const bool isNew = shownStatus_.insert(text).second;
    if (!terminal_) {
        currentText_ = text;
        if (isNew) {
            Line(text);
        }
        return;
    }
    // One line per region or step: its phases (erasing, writing, verifying, and a
    // failure) take turns on it, so the pieces of a write-verify do not add lines.
    if (lineOpen_ && FirstWord(text) == FirstWord(currentText_)) {
        barShown_ = pos_ > lower_;
    } else {
        Finish();
        barShown_ = false;
    }
    currentText_ = text;
    DrawProgress(true);
}

void ConsoleUi::SetRange(std::int32_t lower, std::int32_t upper) {
    lower_ = lower;
    upper_ = upper;
    if (terminal_ && !currentText_.empty()) {
        barShown_ = true;
        DrawProgress(false);
    }
}

std::int32_t ConsoleUi::SetPos(std::int32_t position) {
    const std::int32_t previous = pos_;
    pos_ = position;
    if (terminal_ && !currentText_.empty()) {
        // Moving back to the start is how a finished operation tidies up; it hides the bar.
        barShown_ = position > lower_;
        DrawProgress(false);
    }
    return previous;
}

void ConsoleUi::AddMessage(const char* text, std::uint32_t colour) {
    const std::string line = text != nullptr ? text : "";
    lastMessage_ = line;
    if (colour == kColourRed && Interrupted()) {
        return;
    }
    if (colour == kColourRed) {
        Error(line);
    } else if (Quiet()) {
        if (colour == kColourBlue) {
            heldRefusal_ = line;
        }
    } else {
        Line(line);
    }
}

void ConsoleUi::Line(const std::string& text) {
    Finish();
    err_ << text << '\n';
    err_.flush();
    currentText_.clear();
}

void ConsoleUi::DrawProgress(bool force) {
    if (Quiet() || currentText_.empty()) {
        return;
    }
    const int percent = barShown_ ? ProgressLine::Percent(lower_, upper_, pos_) : -1;
    if (!force && lineOpen_ && percent == drawnPercent_) {
        return;
    }
    std::string line = percent >= 0 ? ProgressLine::Format(currentText_, percent) : currentText_;
    const std::size_t length = line.size();
    if (lineOpen_ && length < drawnLength_) {
        line.append(drawnLength_ - length, ' ');
    }
    err_ << '\r' << line;
    err_.flush();
    lineOpen_ = true;
    drawnPercent_ = percent;
    drawnLength_ = length;
}
