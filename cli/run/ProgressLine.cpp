#include "run/ProgressLine.h"

#include <algorithm>

int ProgressLine::Percent(std::int32_t lower, std::int32_t upper, std::int32_t pos) {
    const std::int64_t span = std::int64_t{upper} - lower;
    if (span <= 0) {
        return 0;
    }
    const std::int64_t done = std::clamp<std::int64_t>(std::int64_t{pos} - lower, 0, span);
    return static_cast<int>(done * 100 / span);
}

std::string ProgressLine::Format(const std::string& label, int percent) {
    percent = std::clamp(percent, 0, 100);
    std::string line = label;
    if (line.size() < kLabelWidth) {
        line.append(kLabelWidth - line.size(), ' ');
    }
    const int filled = percent * kBarWidth / 100;
    line += " [";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    line += "] ";
    const std::string number = std::to_string(percent);
    line.append(3 - number.size(), ' ');
    line += number + "%";
    return line;
}
