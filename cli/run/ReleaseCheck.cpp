#include "run/ReleaseCheck.h"

#include "records/ImageDigests.h"
#include "records/RunRecord.h"

StationDbOutcome ReleaseCheck(StationDb& database, const std::string& series,
                              const std::string& file, const std::string& sha256,
                              const std::string& cpu) {
    // Withdrawn releases too: an image taken off the line is named as such.
    std::vector<ReleaseInfo> all;
    if (StationDbOutcome listed = database.ListReleases(series, false, all); !listed.Ok()) {
        return listed;
    }
    std::string released;
    for (const ReleaseInfo& image : all) {
        if (image.withdrawnAt) {
            continue;
        }
        if (image.sha256 == sha256 && image.cpu == cpu) {
            return {};
        }
        released += (released.empty() ? "" : ", ") + ShortSha256(image.sha256) +
                    (image.cpu == cpu ? "" : " (" + image.cpu + ")");
    }
    std::string what = file + " is not released for the serial series '" + series +
                       "' and the " + cpu + ": its SHA-256 is " + ShortSha256(sha256);
    // The latest withdrawal of the image, with who did it and when.
    for (auto image = all.rbegin(); image != all.rend(); ++image) {
        if (image->sha256 == sha256 && image->cpu == cpu && image->withdrawnAt) {
            what += "; it was withdrawn from the series '" + series + "' on " +
                    *image->withdrawnAt + " by " + image->withdrawnBy.value_or("");
            return {kExitInputError, what + (released.empty() ? "" : "; released: " + released)};
        }
    }
    if (released.empty()) {
        return {kExitInputError, what +
                                     "; the series has no released image (release one with "
                                     "'vantix-cli station-db release " +
                                     series + " FILE --cpu CPU')"};
    }
    return {kExitInputError, what + "; released: " + released};
}

std::string SeriesRelease(const std::string& series) {
    return kSeriesReleasePrefix + series;
}
