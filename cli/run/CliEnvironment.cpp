#include "run/CliEnvironment.h"

#include "CliExit.h"

std::string ChosenStationDb(const std::string& option, const CliEnvironment& environment,
                            std::string& refusal) {
    refusal.clear();
    if (!option.empty() || !environment.stationDb) {
        return option;
    }
    if (environment.stationDb->empty()) {
        refusal = "VANTIX_STATION_DB has an empty value";
    }
    return *environment.stationDb;
}

int InterruptedExit(const CliEnvironment& environment) {
    const int signal =
        environment.interruptSignal != nullptr ? environment.interruptSignal->load() : 0;
    return signal > 0 ? 128 + signal : kExitInterrupted;
}

int UnlessInterrupted(const CliEnvironment& environment, int status) {
    const bool interrupted = environment.interrupted != nullptr && environment.interrupted->load();
    return interrupted ? InterruptedExit(environment) : status;
}
