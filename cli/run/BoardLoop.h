#pragma once

#include <functional>
#include <ostream>

class ConsoleUi;
class PodRun;
class RunRecorder;
struct BoardCommand;
struct CliEnvironment;
struct GlobalOptions;

// Before anything is written: every file the run writes is apart from the files it reads,
// the simulated pods' state has somewhere to go, and a command that keeps records has its
// log and its station database open. kExitSuccess, or the status of a refusal, which is
// reported and, for a command that keeps records, recorded.
int OpenRun(const GlobalOptions& globals, const BoardCommand& board, RunRecorder& recorder,
            ConsoleUi& ui);

// The command's work on the one pod the global options choose: one board, or with --repeat
// board after board until the operator stops. Returns the exit status.
int RunOnOnePod(const GlobalOptions& globals, const BoardCommand& board,
                const CliEnvironment& environment, ConsoleUi& ui, std::ostream& out);

// A command that is no board's work (pod-info, list) on the one pod the global options
// choose: OpenRun, then `work` with the pod's run. Returns the exit status.
int RunOnPod(const GlobalOptions& globals, const BoardCommand& board,
             const CliEnvironment& environment, ConsoleUi& ui, std::ostream& out,
             const std::function<int(PodRun& run)>& work);
