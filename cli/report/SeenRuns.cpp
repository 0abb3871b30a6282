#include "report/SeenRuns.h"

bool SeenRuns::First(const ReportRecord& record) {
    // A record with its UUID is that run alone, even where another run's fields are the same;
    // it is also known by its fields, so that an older log's copy of it is found.
    const std::string identity = "f" + record.Identity();
    const bool first = record.run ? keys_.insert("r" + *record.run).second
                                  : keys_.count(identity) == 0;
    if (first) {
        keys_.insert(identity);
    } else {
        ++again_;
    }
    return first;
}
