#include "CliEnvironment.h"

#include "CliExit.h"

int InterruptedExit(const CliEnvironment& environment) {
    const int signal =
        environment.interruptSignal != nullptr ? environment.interruptSignal->load() : 0;
    return signal > 0 ? 128 + signal : kExitInterrupted;
}
