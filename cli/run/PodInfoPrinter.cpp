#include "run/PodInfoPrinter.h"

#include "run/ConsoleUi.h"

void PodInfoPrinter::AddMessage(const char* text, std::uint32_t colour) {
    const std::string line = text != nullptr ? text : "";
    if (colour == kColourRed) {
        ui_.Error(line);
    } else {
        out_ << line << '\n';
    }
}
