#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "ProgrammerCommands.h"
#include "RegionRows.h"

class ConsoleUi;
class PodSession;
struct CliEnvironment;
struct CliOptions;

// The commands that reach the pod: the six operations of the window, pod-info and list.
// The checks, texts and sequences are the shared ProgrammerCommands; this class only loads
// the file, builds the region list the window would show, and turns outcomes into exit
// statuses.
class PodCommandRunner {
public:
    PodCommandRunner(const CliOptions& options, const CliEnvironment& environment, ConsoleUi& ui,
                     std::ostream& out);

    int Run();

    // Every listed row, ticked when --regions names it (or when there is no --regions).
    // Names the file does not fill, or that are no region at all, are input errors.
    static bool BuildRegionList(const std::vector<RegionRow>& rows,
                                const std::vector<std::string>* wanted,
                                std::vector<RegionListItem>& items, std::string& error);

private:
    int RunFileCommand();
    int RunReset();
    int RunPodInfo();
    int RunList();
    int ExitFor(const CommandOutcome& outcome, PodSession& session);

    const CliOptions& options_;
    const CliEnvironment& environment_;
    ConsoleUi& ui_;
    std::ostream& out_;
};
