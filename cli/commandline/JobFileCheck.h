#pragma once

#include <istream>
#include <string>
#include <vector>

namespace CLI {
class App;
}  // namespace CLI

// What is wrong with the job file that the (prepared) arguments name.
struct JobFileFindings {
    // A key given twice, a quote not closed, a section that is no command, a flag that is not
    // true or false, an empty value: reported before the options are read.
    std::string fault;
    // The first key that names no option where it stands (or one a job file may not set).
    // CLI11 stops reading the job file there; it is reported in that place.
    std::string unknownKey;
};

// Reads the job file of the last --config through the tool's own job file reader; empty
// findings when none is named or it cannot be read (the parse reports that).
JobFileFindings CheckJobFile(const CLI::App& tool, const std::vector<std::string>& prepared);

// A UTF-8 byte-order mark, which Windows editors write, is not part of the first key.
void SkipByteOrderMark(std::istream& input);
