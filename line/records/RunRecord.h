#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "RegionRows.h"

class SFileImage;

// What one pod command did to one board, for --json and --log: enough to audit later which
// file went onto which board through which pod, and how it ended.
struct RunRecord {
    struct Region {
        std::string name;
        std::uint16_t start = 0;
        std::uint16_t end = 0;
        std::uint16_t words = 0;
        std::optional<std::uint32_t> crc32;  // none when only the pod's record tells
        // blank-check only: the verdict (none when the pod did not answer), and the first
        // piece that differs.
        bool blankChecked = false;
        std::optional<bool> blank;
        std::optional<std::uint16_t> differsFirst;
        std::optional<std::uint16_t> differsLast;
        // --only-changed only: the region's pages the pod compared, found different and had
        // erased and written.
        struct Pages {
            std::uint32_t compared = 0;
            std::uint32_t differed = 0;
            std::uint32_t written = 0;
        };
        std::optional<Pages> pages;
    };

    std::string command;                  // "write", "pod-verify", ...
    std::optional<std::string> file;      // the S-record file's absolute path; none without
    std::optional<std::string> sha256;    // of the file, when it could be read
    std::uint32_t warnings = 0;           // the reader's findings in the file (none: 0)
    std::optional<std::string> cpu;       // "DSP56F807"; none without a file
    std::vector<Region> regions;          // the regions the command used
    std::optional<std::string> pod;       // the pod's serial number, when a pod was chosen
    std::optional<std::string> board;     // the board's identifier, when one was given
    std::optional<std::uint32_t> serial;  // the board's serial number (--serial-at)
    std::optional<std::string> serialAt;  // where it is: "PFLASH:0x7F00"
    std::optional<std::uint16_t> result;  // the sequence's result, when a sequence ran
    std::string status;                   // the status text, or the message that ended the run
    double seconds = 0.0;
    int exitCode = 0;
    // What pod-info read from the pod, a line each; written only when there is some.
    std::vector<std::string> info;
    // The rule that admitted the image onto the board: "expected-sha256", "series line-7";
    // none where no rule was asked for. Written after every other field, so that readers of
    // older records find theirs where they were.
    std::optional<std::string> release;
};

// The entry a board's run leaves before its pod is touched, which the board's record
// supersedes; and what it becomes when the run never finished: the station stopped, and
// how the board ended is unknown. Its exit is none of the program's.
inline constexpr const char* kStartedStatus = "started";
inline constexpr const char* kUnknownStatus = "unknown";
inline constexpr int kExitUnknown = -1;

// What a record's "release" says admitted its image: the SHA-256 the station expects, or the
// releases of the serial series ("series line-7").
inline constexpr const char* kExpectedSha256Release = "expected-sha256";
inline constexpr const char* kSeriesReleasePrefix = "series ";

// A listed region as a record names it, with the CRC-32 of its words.
RunRecord::Region RegionRecord(const SFileImage& image, const RegionRow& row);
// The regions as a JSON array: [{"name","start","end","words","crc32"},...].
std::string RegionsJson(const std::vector<RunRecord::Region>& regions);

// The record as one JSON object on one line (without a line end).
std::string RunRecordJson(const RunRecord& record);
// The same object with the UTC time and the host name in front and the run's UUID before
// "release", for the log: the UUID names the run wherever a copy of its record ends up.
std::string RunLogJson(const RunRecord& record, const std::string& utcTime,
                       const std::string& host, const std::string& run = "");
