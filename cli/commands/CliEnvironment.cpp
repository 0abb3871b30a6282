#include "commands/CliEnvironment.h"

#include "commandline/CliExit.h"

int InterruptedExit(const CliEnvironment& environment) {
    const int signal =
        environment.interruptSignal != nullptr ? environment.interruptSignal->load() : 0;
    return signal > 0 ? 128 + signal : kExitInterrupted;
}
