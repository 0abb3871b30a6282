#pragma once

#include <ostream>

#include "CliExit.h"
#include "ProgrammerCommands.h"

class ConsoleUi;
class PodRun;
class RunRecorder;
class SerialPatch;
struct CliEnvironment;

// What a command's work on a board is made with: the console, the recorder and the stream
// its findings go to, of one pod's run; with `json` stdout holds the records alone.
struct BoardParts {
    const CliEnvironment& environment;
    ConsoleUi& ui;
    RunRecorder& recorder;
    std::ostream& out;
    bool json = false;
};

// A command's own steps on a board. The run around them (the session, --repeat, several pods
// at once, the record) is the same for every command, so a command's step reaches no further
// than its work.
class BoardWork {
public:
    virtual ~BoardWork() = default;

    // Before the pod is touched: what the run works with (the file, the regions); kExitSuccess,
    // or the status of a refusal, after reporting it.
    virtual int Prepare(PodRun& run) {
        (void)run;
        return kExitSuccess;
    }
    // The run's series of serial numbers once Prepare has passed; null when boards take none.
    virtual SerialPatch* Numbers() { return nullptr; }
    // Takes the board's number from `numbers`, the series of the whole run; false after
    // reporting when there is none for it: the board must then not be touched.
    virtual bool TakeSerial(PodRun& run, SerialPatch& numbers) {
        (void)run;
        (void)numbers;
        return true;
    }
    // The command on the board of a started run.
    virtual CommandOutcome RunOnce(PodRun& run) = 0;
    // Once the board's outcome is known, what goes into its record and onto the console.
    virtual void AfterBoard(PodRun& run) { (void)run; }
    // Whether the board's record takes the outcome's result and text; false: what the console
    // showed.
    virtual bool RecordsOutcome() const { return true; }
};
