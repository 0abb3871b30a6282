#include "report/ReportRecord.h"

#include <cstdio>

#include "CliExit.h"
#include "records/RunRecord.h"

std::string ReportRecord::Identity() const {
    char figures[64];
    std::snprintf(figures, sizeof figures, "%lld|%.3f|%d|", static_cast<long long>(time), seconds,
                  exit);
    std::string identity = figures;
    for (const std::string* part : {&host, &command, &status}) {
        identity += *part;
        identity += '\x1f';
    }
    for (const std::optional<std::string>* part : {&pod, &board, &sha256}) {
        identity += part->value_or("\x1e");
        identity += '\x1f';
    }
    return identity + (serial ? std::to_string(*serial) : "");
}

bool ReportRecord::Passed() const {
    return exit == kExitSuccess || (RecordNotKept() && result == 0);
}

bool ReportRecord::RecordNotKept() const {
    return exit == kExitRecordLost;
}

bool ReportRecord::Interrupted() const {
    return status == "interrupted" || exit == kExitInterrupted || exit == 143 || exit == 129;
}

bool ReportRecord::Started() const {
    return result.has_value() || (exit != kExitInputError && exit != kExitUnreachable &&
                                  exit != kExitRecordLost && !Unknown());
}

bool ReportRecord::Unknown() const {
    return status == kUnknownStatus;
}

bool ReportRecord::OnBoard() const {
    return command != "pod-write" && command != "pod-verify" && command != "pod-info" &&
           command != "list";
}
