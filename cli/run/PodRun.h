#pragma once

#include <cstdint>

#include "ProgrammerCommands.h"
#include "SFileImage.h"
#include "records/RunRecord.h"
#include "run/PodSession.h"

class ConsoleUi;
class RunRecorder;
struct BoardCommand;
struct CliEnvironment;

// One pod command from start to end, the same for every command: its record, the image it
// works with, the session on the pod, and the way each ending (refused before the pod, the
// pod out of reach, the operation's outcome) becomes an exit status and the record of the
// board.
class PodRun {
public:
    PodRun(const BoardCommand& board, const PodChoice& pod, const CliEnvironment& environment,
           ConsoleUi& ui, RunRecorder& recorder);

    RunRecord& Record() { return record_; }
    SFileImage& Image() { return image_; }
    PodSession& Session() { return session_; }
    ProgrammerCommands& Operations() { return session_.Operations(); }

    // Makes the session for the image and starts the clock of the first board; kExitSuccess,
    // or the status to end with (already reported).
    int Start();
    // Before a board of a run that prints on stdout: true, after reporting, when nobody is
    // left to read it, so that no board starts whose record would go nowhere.
    bool OutputGone();
    // A further board: its time counts from here.
    void BeginBoard() {
        boardStartMs_ = session_.ElapsedMs();
        podGone_ = false;
    }

    // The run ends before the pod is touched: the record as it stands, with this status.
    int Refuse(int status);
    // What an outcome means: its exit status, after reporting what the console has not
    // shown yet.
    int ExitFor(const CommandOutcome& outcome);
    // The pod could not be reached or claimed: the status, after reporting why.
    int Unreachable();
    // The board's step failed because its pod was unplugged: no further board starts.
    bool PodGone() const { return podGone_; }
    // The board's record from the session and the outcome (null: what the console showed).
    void Conclude(const CommandOutcome* outcome);
    // Keeps the board's record with that status; returns the status it ends with.
    int Keep(int status);
    // Ends the session, then concludes and keeps the board's record.
    int Finish(int status, const CommandOutcome* outcome);

private:
    const CliEnvironment& environment_;
    const bool printsOnStdout_;
    // A failure whose transfer found the device gone (and no interruption behind it).
    bool DeviceGone();
    // Reports the failure and that the pod was disconnected during it: 3.
    int Gone(const CommandOutcome& outcome);

    ConsoleUi& ui_;
    RunRecorder& recorder_;
    RunRecord record_;
    SFileImage image_;
    PodSession session_;
    std::uint32_t boardStartMs_ = 0;
    bool podGone_ = false;
    std::string goneStep_;
    std::string tracePath_;
    bool traceLost_ = false;  // reported, once
};
