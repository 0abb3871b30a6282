#pragma once

#include <cstddef>
#include <streambuf>
#include <string>

class GangDisplay;

// What one console (a ConsoleUi) writes, handed to the display a line at a time. A console
// on a terminal draws its progress in place: a line begun with '\r' and drawn again after
// the next '\r' is the console's live line; a line that starts without one (or after a
// '\r' that only blanked the line) is a message.
class GangConsoleOutput final : public std::streambuf {
public:
    GangConsoleOutput(GangDisplay& display, std::size_t console);

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    void Put(char c);

    GangDisplay& display_;
    std::size_t console_;
    std::string text_;     // the line so far
    bool inPlace_ = false;  // the line is drawn in place
};
