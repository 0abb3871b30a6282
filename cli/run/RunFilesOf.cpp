#include "run/RunFilesOf.h"

#include "commandline/CliOptions.h"

RunFiles RunFilesOf(const CliOptions& options) {
    RunFiles files;
    files.imageFile = options.file;
    files.jobFiles = options.jobFiles.paths;
    files.trace = options.pod.tracePath;
    if (options.command != CliCommand::List) {
        files.log = options.records.logPath;
    }
    if (options.pod.sim.simulate) {
        files.simState = options.pod.sim.statePath;
        files.simPods = options.pod.sim.pods;
    }
    const bool numbersBoards =
        options.command == CliCommand::Write || options.command == CliCommand::WriteVerify;
    if (options.serialAt && numbersBoards) {
        files.serialCounter = options.serialCounter;
    }
    return files;
}
