#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stationdb/PgConnection.h"

// An image released for a serial series: the only images a station taking that series'
// numbers may program.
struct ReleaseInfo {
    std::string series;
    std::string sha256;  // 64 lower-case hex digits
    std::string cpu;     // "DSP56F807"
    std::string fileName;
    std::string releasedBy;           // the login that released it
    std::string releasedAt;           // "2026-12-08T09:30:00Z"
    std::int64_t releasedMicros = 0;  // since 1970, UTC
    std::optional<std::string> withdrawnBy;
    std::optional<std::string> withdrawnAt;
    std::optional<std::int64_t> withdrawnMicros;
};

// The table vantix.releases: one row each time an image is released for a series, which a
// withdrawal closes and keeps. At most one open row per series, image and CPU, so hosts that
// release the same image at once record it once. Releasing and withdrawing is the admin's
// act; stations and readers may only read it.
class ReleaseTable {
public:
    explicit ReleaseTable(PgConnection& db) : db_(db) {}

    // Creates the table unless it is there, the routines through which alone the admin
    // releases and withdraws, the guard that keeps its rows, and its grants: a step of the
    // tables' set-up, in its transaction, after the roles are made.
    PgReply Create();
    // Whether the table exists.
    PgReply Exists(bool& exists);
    // Whether the login (`login`, its name) may release (INSERT) or withdraw (UPDATE).
    PgReply MayWrite(const char* privilege, bool& may, std::string& login);

    // Releases the image; `added` is false when it was released already (`found` holds it).
    PgReply Add(const ReleaseInfo& image, bool& added, ReleaseInfo& found);
    // Withdraws the series' open releases of the image, for that CPU alone when one is named;
    // `withdrawn` holds what it closed.
    PgReply Withdraw(const std::string& series, const std::string& sha256,
                     const std::optional<std::string>& cpu, std::vector<ReleaseInfo>& withdrawn);
    // The releases of a series (all series when none), oldest first; withdrawn ones too
    // unless `openOnly`. With `sha256`, that image's alone.
    PgReply List(const std::optional<std::string>& series, bool openOnly,
                 const std::optional<std::string>& sha256, std::vector<ReleaseInfo>& all);

private:
    PgConnection& db_;
};
