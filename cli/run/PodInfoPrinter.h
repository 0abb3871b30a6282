#pragma once

#include <ostream>

#include "PodDisplays.h"

class ConsoleUi;

// Takes the lines the driver prints about the pod's stored-image record: the record is
// data (stdout); a red line is an error (stderr).
class PodInfoPrinter final : public MessageDisplay {
public:
    PodInfoPrinter(std::ostream& out, ConsoleUi& ui) : out_(out), ui_(ui) {}

    void AddMessage(const char* text, std::uint32_t colour) override;

private:
    std::ostream& out_;
    ConsoleUi& ui_;
};
