#include "gang/GangConsoleOutput.h"

#include "gang/GangDisplay.h"

namespace {

std::string TrailingBlanksCut(const std::string& text) {
    const std::size_t last = text.find_last_not_of(' ');
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

}  // namespace

GangConsoleOutput::GangConsoleOutput(GangDisplay& display, std::size_t console)
    : display_(display), console_(console) {}

GangConsoleOutput::int_type GangConsoleOutput::overflow(int_type c) {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        Put(traits_type::to_char_type(c));
    }
    return traits_type::not_eof(c);
}

std::streamsize GangConsoleOutput::xsputn(const char* text, std::streamsize count) {
    for (std::streamsize i = 0; i < count; ++i) {
        Put(text[i]);
    }
    return count;
}

int GangConsoleOutput::sync() {
    if (inPlace_ && !text_.empty()) {
        display_.Live(console_, TrailingBlanksCut(text_));
    }
    return 0;
}

void GangConsoleOutput::Put(char c) {
    if (c == '\r') {
        // Blanks alone between two '\r' wipe the line for a message to take its place.
        const bool wiped = !text_.empty() && TrailingBlanksCut(text_).empty();
        inPlace_ = !wiped;
        text_.clear();
    } else if (c == '\n') {
        if (inPlace_) {
            display_.Live(console_, TrailingBlanksCut(text_));
        } else {
            display_.Line(console_, text_);
        }
        inPlace_ = false;
        text_.clear();
    } else {
        text_ += c;
    }
}
