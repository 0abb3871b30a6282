#pragma once

#include <ostream>

#include "run/BoardCommand.h"
#include "run/RunRecorder.h"

class ConsoleUi;
struct CliEnvironment;
struct CliOptions;

// The commands that reach the pod: the six operations of the window, erase and blank-check
// (each a BoardWork on the one pod, RunOnOnePod), pod-info and list. The checks, texts and
// sequences are the shared ProgrammerCommands; each run goes through PodRun, which turns
// outcomes into exit statuses and keeps the record of each board (--json, --log).
class PodCommandRunner {
public:
    PodCommandRunner(const CliOptions& options, const BoardCommand& board,
                     const CliEnvironment& environment, ConsoleUi& ui, std::ostream& out);

    int Run();

private:
    int RunPodInfo();
    int RunList();

    const CliOptions& options_;
    const CliEnvironment& environment_;
    ConsoleUi& ui_;
    std::ostream& out_;
    const BoardCommand board_;
    RunRecorder recorder_;
};
