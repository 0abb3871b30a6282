#include "commands/RunFilesOf.h"

#include "commandline/CliOptions.h"

RunFiles RunFilesOf(const CliOptions& options) {
    RunFiles files;
    files.imageFile = options.file;
    files.jobFiles = options.jobFilePaths;
    files.trace = options.tracePath;
    if (options.command != CliCommand::List) {
        files.log = options.logPath;
    }
    if (options.simulate) {
        files.simState = options.simStatePath;
        files.simPods = options.simPods;
    }
    const bool numbersBoards =
        options.command == CliCommand::Write || options.command == CliCommand::WriteVerify;
    if (options.serialAt && numbersBoards) {
        files.serialCounter = options.serialCounter;
    }
    return files;
}
