#pragma once

#include <cstdint>
#include <string>

// The in-place progress line drawn on a terminal, e.g.
//   "PFLASH Writing...          [############..................]  40%"
// The label is the status text; the percentage is (pos - lower) / (upper - lower), kept
// within 0 to 100, so an empty or inverted range shows 0 %.
class ProgressLine {
public:
    static constexpr int kLabelWidth = 26;
    static constexpr int kBarWidth = 30;

    static int Percent(std::int32_t lower, std::int32_t upper, std::int32_t pos);
    static std::string Format(const std::string& label, int percent);
};
