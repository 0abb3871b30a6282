#pragma once

#include <string>
#include <utility>
#include <vector>

#include "commandline/JobFileSetting.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI
class CommandSet;

// The job files of one command line, read in the order given and checked against the
// options before any is used. A file whose name ends in ".toml" is read as TOML, any other
// as INI. A later file's key replaces the same option of the same section in an earlier one.
class JobFiles {
public:
    // `commands` outlives the job files.
    explicit JobFiles(const CommandSet& commands) : commands_(commands) {}

    // An option and the setting it took.
    using Applied = std::pair<const CLI::Option*, JobFileSetting>;

    // Reads and checks every file; the first fault of the first file that has one (a text
    // that cannot be read, a section that names no command, a key that names no option, a
    // value the option cannot take), or empty.
    std::string Read(const CLI::App& tool, const std::vector<std::string>& paths);

    // Hands each setting to its option unless the option already has a value (the command
    // line's): those under the command's section first, so that they beat the top's; other
    // sections are for other commands. Every option of the tool may stand under a section.
    std::vector<Applied> Apply(CLI::App& tool, CLI::App* command) const;

private:
    const CommandSet& commands_;            // the sections and the rows the keys name
    std::vector<JobFileSetting> settings_;  // in effect, in the order read
};

// The job files the (prepared) arguments name with --config, in order.
std::vector<std::string> JobFilePaths(const std::vector<std::string>& prepared);
