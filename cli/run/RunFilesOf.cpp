#include "run/RunFilesOf.h"

#include "commandline/GlobalOptions.h"
#include "run/BoardCommand.h"

RunFiles RunFilesOf(const GlobalOptions& globals, const BoardCommand& board) {
    RunFiles files;
    files.imageFile = board.facts.file;
    files.jobFiles = globals.jobFiles.paths;
    files.trace = globals.pod.tracePath;
    if (board.keepsRecords) {
        files.log = globals.records.logPath;
    }
    if (globals.pod.sim.simulate) {
        files.simState = globals.pod.sim.statePath;
        files.simPods = globals.pod.sim.pods;
    }
    files.serialCounter = board.counter;
    return files;
}
