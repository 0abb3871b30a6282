#pragma once

#include <optional>
#include <string>
#include <vector>

#include "commandline/GlobalOptions.h"
#include "commandline/JobFiles.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI
struct OptionInfo;

// What the command line and the job files gave one command, for the readers of its options,
// which see rows and operands, not CLI11. Where a command option's value comes from: the
// command line beats the job file, and the command's own option (after it, or under its
// [section]) the tool-wide one. An option the command does not take reads as not given.
class OptionReader {
public:
    // All of them outlive the reader.
    OptionReader(const CLI::App& tool, const CLI::App& command,
                 const std::vector<JobFiles::Applied>& jobSettings, const GlobalOptions& globals);

    // The command's name as typed, for the refusals that name it.
    const std::string& CommandName() const;
    // The global options, read before the command's.
    const GlobalOptions& Globals() const { return globals_; }

    // A flag's value; `fallback` when it is not given.
    bool Flag(const OptionInfo& row, bool fallback) const;
    // An option's value as given.
    std::optional<std::string> Text(const OptionInfo& row) const;
    // A list's items, however it was split (at commas, a job file's array).
    std::optional<std::vector<std::string>> List(const OptionInfo& row) const;
    // A file's path as given; a relative path from a job file is from that file's folder.
    std::optional<std::string> Path(const OptionInfo& row) const;
    // Whether the value in effect came from a job file.
    bool FromJobFile(const OptionInfo& row) const;
    // Every value the command line gave the tool's own option, in order (none from a job file).
    std::vector<std::string> CommandLineValues(const OptionInfo& row) const;

    // An operand (FILE, ACTION, ...) as given, and every value of one that takes several.
    std::optional<std::string> Operand(const char* name) const;
    std::vector<std::string> Operands(const char* name) const;

private:
    const CLI::Option* Effective(const OptionInfo& row) const;

    const CLI::App& tool_;
    const CLI::App& command_;
    const std::vector<JobFiles::Applied>& jobSettings_;
    const GlobalOptions& globals_;
};

// The first refusal of the reading steps, taken in order; the steps after it are not taken.
template <class... Steps>
std::string FirstRefusal(Steps&&... steps) {
    std::string refusal;
    ((refusal = refusal.empty() ? steps() : refusal), ...);
    return refusal;
}

// Whether the arguments themselves gave the option (not a job file).
bool OnCommandLine(const CLI::App& app, const CLI::Option* option);
// A relative path that a job file gave `option`, as seen from that file's folder; any other
// path as it is.
std::string FromJobFileFolder(const std::string& path, const CLI::Option* option,
                              const std::vector<JobFiles::Applied>& jobSettings);
