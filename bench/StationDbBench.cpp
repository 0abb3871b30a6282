// What the station database costs a station, against a PostgreSQL server given by URL.
//
// URL is the owner's login, which sets up the tables, the series and the station logins
// (bench_station_N, each with the station's role); the work is done as a station does it,
// under a station login.
//
//   vantix-stationdb-bench per-board URL COUNTER_FILE BOARDS
//     For each of BOARDS boards: takes a number from the counter file (as --serial-counter
//     does), then one from a series of the database and stores a board's record there (as
//     --station-db with --serial-series does, each after its entry in the station's journal),
//     timing each step. Prints the samples in ms as
//     JSON: {"counter":[...],"number":[...],"record":[...]}.
//   vantix-stationdb-bench clients URL CLIENTS NUMBERS
//     CLIENTS threads, each with its own connection and station login, take NUMBERS numbers
//     each from one new series at once. Prints {"numbers":N,"seconds":S,"distinct":D,
//     "stored":R,"stored_distinct":RD}: D counts the distinct numbers the clients got, R and
//     RD the rows the database holds for the series and their distinct numbers.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "records/RunLog.h"
#include "records/RunRecord.h"
#include "station/SerialCounter.h"
#include "stationdb/PgConnection.h"
#include "stationdb/StationDb.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "vantix-stationdb-bench: %s\n", what.c_str());
    std::exit(1);
}

std::unique_ptr<StationDb> OpenWithSeries(const std::string& url, const std::string& series) {
    StationDbOutcome outcome;
    std::unique_ptr<StationDb> database = StationDb::Open(url, outcome);
    bool created = false;
    int found = 0;
    SeriesInfo info;
    if (outcome.Ok()) {
        outcome = database->CreateTables(found);
    }
    if (outcome.Ok()) {
        outcome = database->CreateSeries(series, 0, 2, created, info);
    }
    if (!outcome.Ok()) {
        Fail(outcome.message);
    }
    return database;
}

// The URL of station login `n`, made with the station's role unless it exists.
std::string StationLogin(const std::string& url, StationDb& owner, int n) {
    const std::string login = "bench_station_" + std::to_string(n);
    PgConnection db(url);
    std::string error;
    if (!db.Parse(error) || !db.Connect(error)) {
        Fail(error);
    }
    const std::string create = "DO $$ BEGIN CREATE ROLE " + login +
                               " LOGIN; EXCEPTION WHEN duplicate_object THEN NULL; END $$";
    if (const PgReply made = db.Exec(create.c_str()); !made.Done()) {
        Fail(made.error);
    }
    if (const StationDbOutcome granted = owner.Grant("station", login); !granted.Ok()) {
        Fail(granted.message);
    }
    return url + " user=" + login;
}

std::unique_ptr<StationDb> Open(const std::string& url) {
    StationDbOutcome outcome;
    std::unique_ptr<StationDb> database = StationDb::Open(url, outcome);
    if (!outcome.Ok()) {
        Fail(outcome.message);
    }
    return database;
}

// A write-verify's record as --log writes it: four regions of a DSP56F807.
std::string BoardLine(std::uint64_t serial, const std::string& run) {
    RunRecord record;
    record.command = "write-verify";
    record.file = "/srv/line/release-7.s";
    record.sha256 = std::string(64, 'a');
    record.cpu = "DSP56F807";
    for (const char* name : {"PFLASH", "P2FLASH", "BFLASH", "DFLASH"}) {
        record.regions.push_back({name, 4, 32752, 32749, 0x12345678u, false, {}, {}, {}, {}});
    }
    record.pod = "FT4A1B2C";
    record.board = "B" + std::to_string(serial);
    record.serial = static_cast<std::uint32_t>(serial);
    record.serialAt = "PFLASH:0x7FF0";
    record.result = 0;
    record.status = "Flash Write && Verify Completed - 7.79 sec";
    record.seconds = 7.805;
    return RunLogJson(record, RunLog::UtcNow(true), RunLog::HostName(), run);
}

void PrintSamples(const char* key, const std::vector<double>& samples, bool last) {
    std::printf("\"%s\":[", key);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        std::printf("%s%.4f", i == 0 ? "" : ",", samples[i]);
    }
    std::printf("]%s", last ? "" : ",");
}

int PerBoard(const std::string& url, const std::string& counter, int boards) {
    const std::string series = "per-board-" + std::to_string(getpid());
    const std::unique_ptr<StationDb> database =
        Open(StationLogin(url, *OpenWithSeries(url, series), 0));
    std::vector<double> counterMs, numberMs, recordMs;
    for (int board = 0; board < boards; ++board) {
        std::uint64_t number = 0;
        std::string error;
        Clock::time_point start = Clock::now();
        bool interrupted = false;
        if (!TakeSerialNumber(counter, 0xFFFFFFFFu, number, error, WaitNotice{}, interrupted)) {
            Fail(error);
        }
        counterMs.push_back(MsSince(start));
        // As a station does it: the board's started entry on local disk before its number,
        // its record there before it is stored.
        const std::string run = StationDb::NewRunId();
        start = Clock::now();
        StationDbOutcome outcome = database->Note(BoardLine(number, run), "bench", run);
        if (outcome.Ok()) {
            outcome = database->TakeNumber(series, run, "bench", "", number);
        }
        numberMs.push_back(MsSince(start));
        const std::string line = BoardLine(number, run);
        start = Clock::now();
        if (outcome.Ok()) {
            outcome = database->Note(line, "bench", run);
        }
        if (outcome.Ok()) {
            outcome = database->StoreRecord(line, "bench", run);
        }
        recordMs.push_back(MsSince(start));
        if (!outcome.Ok()) {
            Fail(outcome.message);
        }
    }
    std::printf("{");
    PrintSamples("counter", counterMs, false);
    PrintSamples("number", numberMs, false);
    PrintSamples("record", recordMs, true);
    std::printf("}\n");
    return 0;
}

int Clients(const std::string& url, int clients, int each) {
    const std::string series = "clients-" + std::to_string(getpid());
    const std::unique_ptr<StationDb> owner = OpenWithSeries(url, series);
    std::vector<std::string> logins;
    for (int c = 0; c < clients; ++c) {
        logins.push_back(StationLogin(url, *owner, c + 1));
    }
    std::vector<std::vector<std::uint64_t>> taken(static_cast<std::size_t>(clients));
    std::latch ready(clients + 1);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            StationDbOutcome outcome;
            const std::unique_ptr<StationDb> database =
                StationDb::Open(logins[static_cast<std::size_t>(c)], outcome);
            ready.arrive_and_wait();
            for (int n = 0; n < each && outcome.Ok(); ++n) {
                std::uint64_t number = 0;
                outcome = database->TakeNumber(series, StationDb::NewRunId(), "bench", "", number);
                taken[static_cast<std::size_t>(c)].push_back(number);
            }
            if (!outcome.Ok()) {
                Fail(outcome.message);
            }
        });
    }
    ready.arrive_and_wait();
    const Clock::time_point start = Clock::now();
    for (std::thread& thread : threads) {
        thread.join();
    }
    const double seconds = MsSince(start) / 1000;
    std::vector<std::uint64_t> all;
    for (const auto& numbers : taken) {
        all.insert(all.end(), numbers.begin(), numbers.end());
    }
    std::sort(all.begin(), all.end());
    const auto distinct = std::unique(all.begin(), all.end()) - all.begin();
    PgConnection check(url);
    std::string error;
    if (!check.Parse(error) || !check.Connect(error)) {
        Fail(error);
    }
    const PgReply stored = check.Exec(
        "SELECT count(*), count(DISTINCT number) FROM vantix.serials WHERE series = $1", {series});
    if (!stored.Done()) {
        Fail(stored.error);
    }
    std::printf("{\"numbers\":%zu,\"seconds\":%.4f,\"distinct\":%td,\"stored\":%s,"
                "\"stored_distinct\":%s}\n",
                all.size(), seconds, distinct, stored.rows[0][0]->c_str(),
                stored.rows[0][1]->c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 4 && args[0] == "per-board") {
        return PerBoard(args[1], args[2], std::atoi(args[3].c_str()));
    }
    if (args.size() == 4 && args[0] == "clients") {
        return Clients(args[1], std::atoi(args[2].c_str()), std::atoi(args[3].c_str()));
    }
    std::fprintf(stderr,
                 "usage: %s per-board URL COUNTER_FILE BOARDS | clients URL CLIENTS NUMBERS\n",
                 argv[0]);
    return 2;
}
