#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Clock.h"
#include "commandline/GangOptions.h"
#include "gang/GangDisplay.h"
#include "gang/GangPod.h"
#include "run/LineTally.h"

struct BoardCommand;
struct CliContext;
struct CliEnvironment;
struct GlobalOptions;

// A board command on the pods --pods names, all of them at once (GangRun), or without --pods
// on the one pod the global options choose. Returns the exit status.
int RunOnPods(const GlobalOptions& globals, const BoardCommand& board,
              const std::optional<PodList>& pods, const CliContext& context);

// A pod command on several pods at once (--pods): each pod runs the command as a single run
// on it would, on a thread of its own, a board on each.
//
// What concerns the file or the options is checked once, before any pod is touched, and
// refused as a single run refuses it. A pod that is in use or missing is reported in its
// board's record (exit 3) and the others go on. stderr shows the pods through one display
// (GangDisplay); each round ends with one line per board and the tally "boards: N passed,
// M failed"; --json prints each round's records as one JSON array. With --repeat, one
// prompt asks for the next round (GangPrompt).
//
// Exit status: 0 when every board passed, 1 when any failed, 3 when no pod could be reached
// at all; 2 when a board could not get its serial number (3 when the station database was
// out of reach), 4 when a record could not be logged, and 128 + the signal after Ctrl+C,
// SIGTERM or SIGHUP, as on a single pod.
class GangRun {
public:
    // The pods by serial number (none: every attached pod); all of them outlive the run.
    GangRun(const GlobalOptions& globals, const BoardCommand& board,
            const std::vector<std::string>& pods, const CliEnvironment& environment,
            std::ostream& err, std::ostream& out);
    ~GangRun();

    int Run();

private:
    // The checks, the pods and each pod's session; kExitSuccess or the status to end with.
    int SetUp();
    // The serial numbers of the pods --pods names (all: those attached), or the status to
    // end with.
    int FindPods(std::vector<std::string>& serials);
    // One board id per pod, from --board-id; false after reporting a count that differs.
    bool SplitBoardIds(std::size_t pods, std::vector<std::string>& ids);
    // Refused before any pod is touched: the record of the pod (or of the set-up) that said
    // why, printed as --json prints records; returns the status.
    int Refused(GangPod& pod, int status);
    void RunRound(const std::vector<bool>& inRound);
    // The records of the pods as one JSON array (--json), and their lines on stdout.
    void PrintBoards(const std::vector<GangPod*>& pods);
    // Ends every pod's session and gives the run's exit status.
    int Finish();
    bool Interrupted() const;

    const GlobalOptions& globals_;
    const BoardCommand& board_;
    const std::vector<std::string>& named_;  // --pods; empty: all
    const CliEnvironment& environment_;
    std::ostream& out_;
    SteadyClock clock_;
    GangDisplay display_;
    std::unique_ptr<GangPod> setUp_;
    std::vector<std::unique_ptr<GangPod>> pods_;
    std::vector<std::string> serials_;
    std::vector<std::string> ids_;  // per pod: the next board's id
    std::vector<bool> failed_;  // per pod: its last board failed
    LineTally tally_;
    int unreached_ = 0;
    int noNumber_ = 0;  // a board got no serial number: the status the run ends with
    bool recordLost_ = false;
};
