#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "report/ReportFigures.h"
#include "report/ReportRecord.h"

// The serial numbers the programming runs took, per series: the range used and the numbers
// that went to boards that failed (gaps in the series, since a number is never taken
// twice). The station database names each number's series; a log only tells where the
// number was written, which stands for the series there.
class SerialUse {
public:
    void Add(const ReportRecord& record);
    void Finish(ReportFigures& figures);

private:
    struct Numbers {
        std::vector<std::uint64_t> used;
        std::vector<std::uint64_t> failed;
    };

    std::map<std::string, Numbers> series_;
};
