#include "report/SeenRuns.h"

#include "records/RunRecord.h"

void SeenRuns::Offer(ReportRecord& record, const Take& take) {
    // A record with its UUID is that run alone, even where another run's fields are the same;
    // it is also known by its fields, so that an older log's copy of it is found.
    const std::string identity = std::string(1, 'f').append(record.Identity());
    const std::string key = record.run ? std::string(1, 'r').append(*record.run) : identity;
    if (keys_.count(key) != 0) {
        ++again_;
        return;
    }
    if (record.status == kStartedStatus || record.status == kUnknownStatus) {
        again_ += standIns_.try_emplace(key, record).second ? 0 : 1;
        return;
    }
    again_ += standIns_.erase(key);
    keys_.insert(key);
    keys_.insert(identity);
    take(record);
}

void SeenRuns::Finish(const Take& take) {
    for (auto& [key, record] : standIns_) {
        record.status = kUnknownStatus;
        take(record);
    }
    standIns_.clear();
}
