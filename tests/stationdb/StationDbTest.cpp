// A line of several stations sharing one PostgreSQL server: serial numbers and records.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "CliExit.h"
#include "CliProcess.h"
#include "HookedPod.h"
#include "TestPostgres.h"
#include "stationdb/PgConnection.h"
#include "stationdb/StationDb.h"

namespace {

using Rows = std::vector<std::string>;

std::string HexOf(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 0x0F];
    }
    return hex;
}

class StationDb : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1); }
    void TearDown() override { unsetenv("XDG_STATE_HOME"); }

    // A serialised write-verify on a simulated pod at the named station.
    std::vector<std::string> Station(const std::string& name, std::vector<std::string> more) const {
        std::vector<std::string> args = {"--simulate", "--station", name, "--log", log,
                                         "write-verify", Example("dsp56f807.s"), "--cpu", "807",
                                         "--serial-at", "PFLASH:7FF0", "--serial-series", "line-7"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
    void SetUpLine() const {
        ASSERT_EQ(RunProgram({"station-db", "init", "--station-db", url}).status, kExitSuccess);
        ASSERT_EQ(RunProgram({"station-db", "series", "line-7", "--start", "1000", "--station-db",
                              url}).status,
                  kExitSuccess);
        Release("line-7");
    }
    // The line's image, released for the series and the DSP56F807.
    void Release(const std::string& series) const {
        ASSERT_EQ(RunProgram({"station-db", "release", series, Example("dsp56f807.s"), "--cpu",
                              "807", "--station-db", url})
                      .status,
                  kExitSuccess);
    }

    ScratchDir dir;
    TestPostgres server;
    const std::string url = server.Url();
    const std::string log = dir.File("boards.jsonl");
};

TEST_F(StationDb, FourStationsTakeDistinctNumbersAndStoreTheirLogLines) {
    SetUpLine();
    // The database named on the command line, in a job file and in the environment.
    const std::string job = dir.Write("station.toml", "station-db = \"" + url + "\"\n");
    std::vector<ChildProcess> stations;
    for (int s = 1; s <= 4; ++s) {
        const std::string name = "S" + std::to_string(s);
        std::string boards;
        for (int b = 2; b <= 25; ++b) {
            boards += name + "-B" + std::to_string(b) + "\n";
        }
        std::vector<std::string> more = {"--repeat", "-q", "--board-id", name + "-B1"};
        if (s < 3) {
            more.insert(more.end(), {s == 1 ? "--station-db" : "--config", s == 1 ? url : job});
        } else {
            setenv("VANTIX_STATION_DB", url.c_str(), 1);
        }
        stations.push_back(StartProgram(Station(name, more), boards));
    }
    unsetenv("VANTIX_STATION_DB");
    for (const ChildProcess& station : stations) {
        const CliRun run = Finish(station);
        EXPECT_EQ(run.status, kExitSuccess) << run.err;
    }
    const Rows numbers = server.Query("SELECT number FROM vantix.serials ORDER BY number");
    ASSERT_EQ(numbers.size(), 100u);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        EXPECT_EQ(numbers[i], std::to_string(1000 + i));
    }
    // Each record is its board's log line, field for field, with the station; the run that
    // took the board's number is the log line's.
    std::map<std::string, nlohmann::json> logged;
    for (const std::string& line : Lines(ReadText(log))) {
        const nlohmann::json record = nlohmann::json::parse(line);
        logged[record["board"]] = record;
    }
    ASSERT_EQ(logged.size(), 100u);
    const Rows stored = server.Query(
        "SELECT s.number, s.station, r.record FROM vantix.runs r JOIN vantix.serials s USING (run)");
    ASSERT_EQ(stored.size(), 100u);
    for (const std::string& row : stored) {
        const std::size_t first = row.find('\t');
        const std::size_t second = row.find('\t', first + 1);
        nlohmann::json record = nlohmann::json::parse(row.substr(second + 1));
        EXPECT_EQ(record["serial"], std::stoull(row.substr(0, first)));
        EXPECT_EQ(record["station"], row.substr(first + 1, second - first - 1));
        record.erase("station");
        EXPECT_EQ(record, logged[record["board"]]);
    }
}

TEST_F(StationDb, ARecordLostWithTheServerIsSpooledAndSentOnce) {
    SetUpLine();
    // The server goes away while the board is being programmed, after its number was taken.
    const CliRun lost = RunInProcess(Station("S1", {"--station-db", url, "--board-id", "B1"}),
                                     HookedPod::Environment([this] { server.Stop(); }));
    EXPECT_EQ(lost.status, kExitRecordLost);
    EXPECT_NE(lost.err.find("vantix-cli: cannot store the record in the station database (dbname="
                            "postgres host="),
              std::string::npos)
        << lost.err;
    EXPECT_NE(lost.err.find(" and goes to the station database with the next run; stopping\n"),
              std::string::npos)
        << lost.err;

    server.Start();
    const CliRun next = RunProgram(Station("S1", {"--station-db", url, "--board-id", "B2"}));
    EXPECT_EQ(next.status, kExitSuccess) << next.err;
    EXPECT_NE(next.err.find("sent 1 spooled record to the station database"), std::string::npos)
        << next.err;
    const CliRun later = RunProgram(Station("S1", {"--station-db", url, "--board-id", "B3"}));
    EXPECT_EQ(later.err.find("spooled"), std::string::npos) << later.err;
    // Every record once; the board whose record was spooled passed, as its log line says.
    // (The server's crash made a gap in the numbers, never a number handed out twice.)
    EXPECT_EQ(server.Query("SELECT board, exit_status FROM vantix.runs ORDER BY board"),
              (Rows{"B1\t0", "B2\t0", "B3\t0"}));
    EXPECT_EQ(server.Query("SELECT count(DISTINCT serial), min(serial) FROM vantix.runs"),
              Rows{"3\t1000"});
    const Rows lines = Lines(ReadText(log));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(nlohmann::json::parse(lines[0])["exit"], kExitSuccess);
}

TEST_F(StationDb, AGangRunTakesANumberPerBoardAndStoresEachWithItsRun) {
    SetUpLine();
    std::vector<std::string> args =
        Station("S1", {"--station-db", url, "--pods", "all", "--board-id", "A,B,C,D"});
    args[0] = "--sim-pods";
    args.insert(args.begin() + 1, "4");
    const CliRun run = RunInProcess(args);
    ASSERT_EQ(run.status, kExitSuccess) << run.err;
    EXPECT_EQ(server.Query("SELECT r.board, s.number, r.record->>'pod' FROM vantix.runs r "
                           "JOIN vantix.serials s USING (run) ORDER BY r.board"),
              (Rows{"A\t1000\tVSIM0001", "B\t1001\tVSIM0002", "C\t1002\tVSIM0003",
                    "D\t1003\tVSIM0004"}));
}

TEST_F(StationDb, AStationWaitingBetweenBoardsReachesARestartedServerAgain) {
    SetUpLine();
    // The station's connection ends while it waits, as a server's restart would end it.
    OperatorInput answers({"B2"}, {{0, [this] {
                                        server.Query("SELECT pg_terminate_backend(pid) FROM "
                                                     "pg_stat_activity WHERE pid <> "
                                                     "pg_backend_pid() AND datname IS NOT NULL");
                                    }}});
    std::istream input(&answers);
    CliEnvironment environment;
    environment.input = &input;
    const CliRun run = RunInProcess(
        Station("S1", {"--station-db", url, "--repeat", "-q", "--board-id", "B1"}), environment);
    EXPECT_EQ(run.status, kExitSuccess) << run.err;
    EXPECT_EQ(server.Query("SELECT r.board, s.number FROM vantix.runs r JOIN vantix.serials s "
                           "USING (run) ORDER BY r.board"),
              (Rows{"B1\t1000", "B2\t1001"}));
}

TEST_F(StationDb, HostileNamesComeBackVerbatim) {
    const std::string drop = "'); DROP TABLE runs; --";
    const std::string script = "<script>alert(\"x\")</script>";
    ASSERT_EQ(RunProgram({"station-db", "init", "--station-db", url}).status, kExitSuccess);
    ASSERT_EQ(RunProgram({"station-db", "series", drop, "--start", "7", "--station-db", url}).status,
              kExitSuccess);
    Release(drop);
    std::vector<std::string> args = Station(script, {"--station-db", url, "--board-id", drop});
    std::replace(args.begin(), args.end(), std::string("line-7"), drop);
    args.erase(args.begin() + 3, args.begin() + 5);  // no log
    const CliRun run = RunProgram(args);
    ASSERT_EQ(run.status, kExitSuccess) << run.err;
    EXPECT_EQ(server.Query("SELECT station, board, record->>'station', record->>'board' "
                           "FROM vantix.runs"),
              Rows{script + "\t" + drop + "\t" + script + "\t" + drop});
    EXPECT_EQ(server.Query("SELECT series, number, station, board FROM vantix.serials"),
              Rows{drop + "\t7\t" + script + "\t" + drop});
    EXPECT_EQ(RunProgram({"station-db", "series", "--station-db", url}).out,
              drop + "\tnext 8\t1 word\n");
}

TEST_F(StationDb, FourHostsSettingUpAtOnceCreateEverythingOnce) {
    for (const Rows& command : {Rows{"station-db", "init", "--station-db", url},
                                Rows{"station-db", "series", "line-7", "--start", "1000",
                                     "--station-db", url}}) {
        std::vector<ChildProcess> hosts;
        for (int host = 0; host < 4; ++host) {
            hosts.push_back(StartProgram(command));
        }
        for (const ChildProcess& host : hosts) {
            const CliRun run = Finish(host);
            EXPECT_EQ(run.status, kExitSuccess) << run.err;
        }
    }
    EXPECT_EQ(server.Query("SELECT version FROM vantix.schema_version"), Rows{"3"});
    EXPECT_EQ(server.Query("SELECT name, first_number FROM vantix.series"), Rows{"line-7\t1000"});
    EXPECT_EQ(server.Query("SELECT count(*) FROM pg_sequences WHERE schemaname = 'vantix'"),
              Rows{"2"});
}

TEST_F(StationDb, FailsClosedBeforeThePod) {
    const std::string trace = dir.File("wire.log");
    const auto program = [&](const std::string& database) {
        return RunProgram(Station("S1", {"--station-db", database, "--trace", trace}));
    };
    const std::string name = "(dbname=postgres host=" + url.substr(5, url.find(' ') - 5) +
                             " port=5432 user=vantix)";
    const CliRun noTables = program(url);
    EXPECT_EQ(noTables.status, kExitInputError);
    EXPECT_EQ(noTables.err, "vantix-cli: the station database " + name +
                                " has no vantix tables; create them with 'vantix-cli station-db "
                                "init'\n");
    ASSERT_EQ(RunProgram({"station-db", "init", "--station-db", url}).status, kExitSuccess);
    const CliRun noSeries = program(url);
    EXPECT_EQ(noSeries.status, kExitInputError);
    EXPECT_EQ(noSeries.err, "vantix-cli: the serial series 'line-7' does not exist in the station "
                            "database " + name + "; create it with 'vantix-cli station-db "
                            "series line-7 --start N'\n");
    // Out of reach, or refusing the login: libpq's reason, never the password.
    for (const std::string& database : {std::string("host=/nonexistent user=vantix password=Tr0ub4dor&3"),
                                        url + " dbname=other password=Tr0ub4dor&3"}) {
        const CliRun refused = program(database);
        EXPECT_EQ(refused.status, kExitUnreachable);
        EXPECT_EQ(refused.err.rfind("vantix-cli: cannot connect to the station database (", 0), 0u)
            << refused.err;
        EXPECT_EQ(refused.err.find("Tr0ub4dor"), std::string::npos) << refused.err;
    }
    server.Query("INSERT INTO vantix.schema_version (version) VALUES (4)");
    const CliRun newer = program(url);
    EXPECT_EQ(newer.status, kExitInputError);
    EXPECT_NE(newer.err.find("has tables of version 4, newer than this vantix-cli knows (3)"),
              std::string::npos)
        << newer.err;
    EXPECT_FALSE(std::filesystem::exists(trace));  // the pod was never reached
}

// The spool files of the test's database, as this host names them.
std::vector<std::string> SpoolOf(const std::string& url) {
    StationDbOutcome opened;
    const std::unique_ptr<::StationDb> database = ::StationDb::Open(url, opened);
    EXPECT_TRUE(opened.Ok()) << opened.message;
    return database ? database->SpoolFiles() : std::vector<std::string>{};
}

// The spool is one of the run's files: no output may be it; another run that holds it is
// waited for, said so, and Ctrl+C ends that wait.
TEST_F(StationDb, TheSpoolIsARunsFileAndItsLockIsWaitedForAloud) {
    SetUpLine();
    const std::vector<std::string> spool = SpoolOf(url);
    ASSERT_EQ(spool.size(), 2u);
    std::filesystem::create_directories(std::filesystem::path(spool[0]).parent_path());
    for (const std::string& file : spool) {
        const CliRun clash =
            RunProgram({"--simulate", "--station-db", url, "--trace", file, "reset"});
        EXPECT_EQ(clash.status, kExitInputError) << clash.err;
        EXPECT_NE(clash.err.find("vantix-cli: the station database's spool " + file +
                                 " is the same file as --trace " + file),
                  std::string::npos)
            << clash.err;
        // A log that is the spool is refused, and the refusal goes into no file at all.
        const bool existed = std::filesystem::exists(file);
        const std::string before = ReadText(file);
        const CliRun logged =
            RunProgram({"--simulate", "--station-db", url, "--log", file, "reset", "--json"});
        EXPECT_EQ(logged.status, kExitInputError) << logged.err;
        EXPECT_NE(logged.out.find("\"exit\":2,\"release\":null}"), std::string::npos) << logged.out;
        EXPECT_EQ(std::filesystem::exists(file), existed) << file;
        EXPECT_EQ(ReadText(file), before) << file;
    }
    // A record spooled by an earlier run, while another run holds the spool.
    StationDbOutcome opened;
    const std::unique_ptr<::StationDb> database = ::StationDb::Open(url, opened);
    ASSERT_TRUE(database);
    database->SpoolRecord(
        "{\"time\":\"2026-12-07T09:41:05Z\",\"host\":\"h\",\"command\":"
        "\"reset\",\"status\":\"\",\"seconds\":0.1,\"exit\":0}",
        "S1", ::StationDb::NewRunId());
    const int held = open(spool[1].c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const std::string waiting =
        "waiting for the spool file " + spool[0] + " (locked by another process)\u2026\n";
    const ChildProcess run = StartProgram({"--simulate", "--station-db", url, "reset", "-q"});
    std::string err;
    ASSERT_TRUE(ReadUntilWithin(run.err, err, waiting)) << err;
    kill(run.pid, SIGINT);
    const CliRun interrupted = Finish(run);
    EXPECT_EQ(interrupted.status, kExitInterrupted) << err << interrupted.err;
    EXPECT_EQ(err + interrupted.err, waiting +
                                         "vantix-cli: interrupted while waiting for the "
                                         "spool file " +
                                         spool[0] + "\n");
    close(held);
    const CliRun sent = RunProgram({"--simulate", "--station-db", url, "reset"});
    EXPECT_EQ(sent.status, kExitSuccess) << sent.err;
    EXPECT_NE(sent.err.find("sent 1 spooled record"), std::string::npos) << sent.err;
}

// A spool on a full disk: the record is only in the log, which the run says, with the
// system's reason; the spool keeps no half line and no temporary file.
TEST_F(StationDb, ASpoolOnAFullDiskSaysWhereTheRecordIs) {
    const std::string disk = dir.File("state");
    std::filesystem::create_directories(disk);
    if (geteuid() != 0 || mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "a 64 KiB tmpfs cannot be mounted here (not root, or "
                     << std::strerror(errno) << "), so the full spool is not tried";
    }
    const struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{disk};
    std::filesystem::create_directories(disk + "/vantix");
    const int filler = open((disk + "/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const std::string block(4096, 'x');
    while (write(filler, block.data(), block.size()) > 0) {
    }
    close(filler);
    SetUpLine();
    const std::string spool = SpoolOf(url).at(0);
    // A board without a number has no started entry to keep before its pod is touched.
    std::vector<std::string> args =
        Station("S1", {"--station-db", url, "--board-id", "B1", "-q"});
    const auto serial = std::find(args.begin(), args.end(), "--serial-at");
    args.erase(serial, serial + 4);
    const CliRun lost = RunInProcess(args, HookedPod::Environment([this] { server.Stop(); }));
    EXPECT_EQ(lost.status, kExitRecordLost);
    // The journal, on the same full disk, is spoken of too, quiet as the run is.
    EXPECT_NE(lost.err.find("vantix-cli: cannot write the journal " + disk + "/vantix/"),
              std::string::npos)
        << lost.err;
    EXPECT_NE(lost.err.find(": No space left on device\n"), std::string::npos) << lost.err;
    EXPECT_NE(lost.err.find("vantix-cli: cannot write the spool file " + spool +
                            ": No space left on device\nvantix-cli: the record of this board "
                            "is only in the log " + log + ", not in the station database; "
                            "stopping\n"),
              std::string::npos)
        << lost.err;
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(disk + "/vantix")) {
        names.insert(entry.path().filename().string());
    }
    // No empty spool either: only its lock.
    EXPECT_EQ(names,
              (std::set<std::string>{std::filesystem::path(spool).stem().string() + ".lock"}));
}

// A record whose answer was lost is spooled, and so reaches the database twice: it keeps one
// row for the run.
TEST_F(StationDb, ARecordThatArrivesTwiceIsOneRow) {
    SetUpLine();
    StationDbOutcome opened;
    const std::unique_ptr<::StationDb> database = ::StationDb::Open(url, opened);
    ASSERT_TRUE(database);
    const std::string run = ::StationDb::NewRunId();
    const std::string line =
        "{\"time\":\"2026-12-07T09:41:05Z\",\"host\":\"h\",\"command\":"
        "\"reset\",\"board\":\"B1\",\"status\":\"\",\"seconds\":0.1,"
        "\"exit\":0}";
    ASSERT_TRUE(database->StoreRecord(line, "S1", run).Ok());
    database->SpoolRecord(line, "S1", run);
    const CliRun next =
        RunProgram({"--simulate", "--station-db", url, "--board-id", "B2", "reset"});
    EXPECT_EQ(next.status, kExitSuccess) << next.err;
    EXPECT_NE(next.err.find("sent 1 spooled record"), std::string::npos) << next.err;
    EXPECT_EQ(server.Query("SELECT board, count(*) FROM vantix.runs GROUP BY board ORDER BY board"),
              (Rows{"B1\t1", "B2\t1"}));
    EXPECT_EQ(server.Query("SELECT count(*) FROM vantix.runs WHERE run = $1::uuid", {run}),
              Rows{"1"});
}

// Each class of ill-formed UTF-8 of the Unicode standard's table of well-formed byte
// sequences (Table 3-7), in a board id, a file name and a pod serial: every record is JSON
// a strict parser reads, with U+FFFD for the stray bytes and the bytes whole in hex, and
// the server stores every one of them.
TEST_F(StationDb, EveryRecordIsWellFormedUtf8WhateverTheBytes) {
    SetUpLine();
    const std::vector<std::string> illFormed = {
        "\x80",
        "\xBF",  // a continuation byte alone
        "\xC0\xAF",
        "\xC1\xBF",  // C0, C1: overlong two-byte forms
        "\xC2\x41",
        "\xDF",  // a two-byte form cut short
        "\xE0\x80\x80",
        "\xE0\x9F\xBF",  // E0 80-9F: overlong three-byte forms
        "\xE1\x80",
        "\xEF\xBF\x41",  // E1-EC, EE-EF cut short
        "\xED\xA0\x80",
        "\xED\xBF\xBF",  // ED A0-BF: surrogates
        "\xF0\x80\x80\x80",
        "\xF0\x8F\xBF\xBF",  // F0 80-8F: overlong four-byte forms
        "\xF1\x80\x80",
        "\xF3\xBF",  // F1-F3 cut short
        "\xF4\x90\x80\x80",
        "\xF4\xBF\xBF\xBF",  // F4 90-BF: beyond U+10FFFF
        "\xF5\x80\x80\x80",
        "\xF8\x88\x80\x80\x80",
        "\xFE",
        "\xFF",                // F5-FF: never
        std::string("\0", 1),  // a NUL, which only a typed line holds
    };
    const std::string file = dir.File("release-\xC0\xAF-7.s");
    std::filesystem::copy_file(Example("dsp56f807.s"), file);
    std::string typed;
    for (std::size_t i = 1; i < illFormed.size(); ++i) {
        typed += "B" + std::to_string(i) + "-" + illFormed[i] + "-\xC3\xA9\n";
    }
    std::istringstream operatorInput(typed);
    ScriptedPod scripted;
    scripted.script = [](SimulatedPod& pod) { pod.Faults().serials = {"P\xED\xA0\x80"}; };
    CliEnvironment environment = scripted.Environment();
    environment.input = &operatorInput;
    const CliRun run =
        RunInProcess({"--simulate", "--station-db", url, "--log", log, "--board-id",
                      "B0-" + illFormed[0] + "-x", "write", file, "--cpu", "807", "--serial-at",
                      "PFLASH:7FF0", "--serial-series", "line-7", "--repeat", "--json", "-q"},
                     environment);
    EXPECT_EQ(run.status, kExitSuccess) << run.err;
    for (const std::string& text : {run.out, ReadText(log)}) {
        const std::vector<std::string> lines = Lines(text);
        ASSERT_EQ(lines.size(), illFormed.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            nlohmann::json record;
            ASSERT_NO_THROW(record = nlohmann::json::parse(lines[i])) << i;
            const std::string board =
                "B" + std::to_string(i) + "-" + illFormed[i] + (i == 0 ? "-x" : "-\xC3\xA9");
            if (illFormed[i][0] == '\0') {
                // U+0000 is a character: JSON escapes it, and the text needs no hex.
                EXPECT_EQ(record["board"], board);
                EXPECT_FALSE(record.contains("board_hex"));
            } else {
                EXPECT_EQ(record["board_hex"], HexOf(board)) << i;
                EXPECT_EQ(record["board"].get<std::string>().find("\xEF\xBF\xBD"),
                          board.find('-') + 1)
                    << i;
            }
            EXPECT_EQ(record["file_hex"], HexOf(file));
            EXPECT_EQ(record["pod"], "P\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
            EXPECT_EQ(record["pod_hex"], HexOf("P\xED\xA0\x80"));
        }
    }
    // What the server holds reads back as what was meant: the hex whole; a NUL, which its
    // text cannot hold, as U+FFFD.
    const Rows stored = server.Query(
        "SELECT coalesce(record->>'board_hex', encode(convert_to(board, 'UTF8'), 'hex')), "
        "board = record->>'board' FROM vantix.runs");
    ASSERT_EQ(stored.size(), illFormed.size());
    EXPECT_EQ(server.Query("SELECT count(*) FROM vantix.serials s JOIN vantix.runs r USING (run) "
                           "WHERE s.board = r.board"),
              Rows{std::to_string(illFormed.size())});
    for (std::size_t i = 0; i < illFormed.size(); ++i) {
        const std::string board =
            "B" + std::to_string(i) + "-" +
            (illFormed[i][0] == '\0' ? std::string("\xEF\xBF\xBD") : illFormed[i]) +
            (i == 0 ? "-x" : "-\xC3\xA9");
        EXPECT_NE(std::find(stored.begin(), stored.end(), HexOf(board) + "\tt"), stored.end()) << i;
    }
}

// Where a station keeps what the station database has not taken yet: the spool, its lock and
// the journals of its runs, all named after the database, in the state folder.
struct KeptFiles {
    std::string spool;
    std::string lock;
    std::string journal;  // the first one found
};

KeptFiles Kept(const std::string& state) {
    KeptFiles files;
    std::error_code none;
    for (const auto& entry : std::filesystem::directory_iterator(state + "/vantix", none)) {
        const std::string name = entry.path().string();
        const std::size_t journal = name.find(".journal-");
        if (journal != std::string::npos) {
            files.journal = name;
            files.spool = name.substr(0, journal) + ".jsonl";
            files.lock = name.substr(0, journal) + ".lock";
        }
    }
    return files;
}

TEST_F(StationDb, AStationWaitingForTheSpoolSaysSoAndFindsItSent) {
    SetUpLine();
    const CliRun lost = RunInProcess(Station("S1", {"--station-db", url, "--board-id", "B1"}),
                                     HookedPod::Environment([this] { server.Stop(); }));
    ASSERT_EQ(lost.status, kExitRecordLost) << lost.err;
    server.Start();
    const KeptFiles kept = Kept(dir.File("state"));
    std::filesystem::rename(kept.journal, kept.spool);
    // Another station holds the spool while it sends it, and has sent it all when it lets go.
    const int lock = open(kept.lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(flock(lock, LOCK_EX), 0);
    const ChildProcess station = StartProgram(Station("S2", {"--station-db", url, "--board-id", "B2"}));
    std::string err;
    const bool said = ReadUntilWithin(station.err, err, "waiting for the spool file " +
                                                            kept.spool + " (locked by another process)…\n",
                                      std::chrono::seconds(30));
    std::filesystem::remove(kept.spool);
    close(lock);
    if (!said) {
        kill(station.pid, SIGKILL);
    }
    const CliRun run = Finish(station);
    EXPECT_TRUE(said) << err;
    EXPECT_EQ(run.status, kExitSuccess) << err << run.err;
    EXPECT_EQ((err + run.err).find("cannot read the spool file"), std::string::npos) << run.err;
}

TEST_F(StationDb, WhatBecameOfARecordIsSaidInWords) {
    SetUpLine();
    const std::string state = dir.File("state/vantix");
    // A record left for the next run, which the database will refuse: its time is no time.
    ASSERT_EQ(RunInProcess(Station("S1", {"--station-db", url, "--board-id", "B1"}),
                           HookedPod::Environment([this] { server.Stop(); }))
                  .status,
              kExitRecordLost);
    const KeptFiles kept = Kept(dir.File("state"));
    std::string text = ReadText(kept.journal);
    text.replace(text.rfind("\"time\":\"") + 8, 4, "year");
    dir.Write("state/vantix/" + std::filesystem::path(kept.journal).filename().string(), text);
    server.Start();
    // The server stops during the next board, and the state folder is gone when its record
    // is to be kept there.
    std::vector<std::string> args = Station("S1", {"--station-db", url, "--board-id", "B2"});
    const auto serial = std::find(args.begin(), args.end(), "--serial-at");
    args.erase(serial, serial + 4);  // a number would have made its journal before the board
    const CliRun run = RunInProcess(args, HookedPod::Environment([&] {
                                        server.Stop();
                                        std::filesystem::rename(state, dir.File("state/moved"));
                                        dir.Write("state/vantix", "not a folder");
                                    }));
    EXPECT_EQ(run.status, kExitRecordLost);
    EXPECT_NE(run.err.find("vantix-cli: 1 spooled record refused by the station database stays "
                           "in " + kept.spool + ": "),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("\nvantix-cli: the record of this board is only in the log " + log +
                           ", not in the station database; stopping\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("is lost"), std::string::npos) << run.err;
}

TEST_F(StationDb, ALoginThatMayOnlyReadIsFoundOutBeforeThePod) {
    SetUpLine();
    server.Query("CREATE ROLE reader LOGIN IN ROLE vantix_reader");
    server.Query("CREATE ROLE standby LOGIN IN ROLE vantix_station");
    server.Query("ALTER ROLE standby SET default_transaction_read_only = on");
    const std::string trace = dir.File("wire.log");
    const auto as = [&](const std::string& login, bool series) {
        std::vector<std::string> args = Station("S1", {"--station-db", url + " user=" + login,
                                                       "--trace", trace});
        if (!series) {
            // No number: the record alone is to be stored.
            const auto serial = std::find(args.begin(), args.end(), "--serial-at");
            args.erase(serial, serial + 4);
        }
        return RunProgram(args);
    };
    const std::pair<CliRun, std::string> cases[] = {
        {as("reader", false), "the login 'reader' may not store records in the station database "},
        {as("reader", true), "the login 'reader' may not store records in the station database "},
        {as("standby", true), "the login 'standby' may only read in the station database "},
    };
    for (const auto& [run, reason] : cases) {
        EXPECT_EQ(run.status, kExitUnreachable) << run.err;
        EXPECT_EQ(run.err.rfind("vantix-cli: " + reason, 0), 0u) << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(trace)) << "the pod was touched";
    EXPECT_EQ(server.Query("SELECT count(*) FROM vantix.serials"), Rows{"0"});
    // Allowed to store records but not to take numbers: no number for it.
    server.Query("GRANT EXECUTE ON FUNCTION vantix.store_record(jsonb) TO reader");
    const CliRun numbers = as("reader", true);
    EXPECT_EQ(numbers.status, kExitUnreachable) << numbers.err;
    EXPECT_EQ(numbers.err.rfind("vantix-cli: the login 'reader' may not take numbers of the serial "
                                "series 'line-7' in the station database ",
                                0),
              0u)
        << numbers.err;
    EXPECT_EQ(as("reader", false).status, kExitSuccess);
}

// A connection of the test's own holding a table locked, as a busy or frozen server keeps a
// station's statement waiting.
class TableLock {
public:
    TableLock(const std::string& url, const std::string& table) : db_(url) {
        std::string error;
        EXPECT_TRUE(db_.Parse(error) && db_.Connect(error)) << error;
        EXPECT_TRUE(db_.Exec("BEGIN").Done());
        EXPECT_TRUE(db_.Exec(("LOCK TABLE " + table + " IN EXCLUSIVE MODE").c_str()).Done());
    }
    void Release() { db_.Exec("ROLLBACK"); }

private:
    PgConnection db_;
};

// Polls until `done` holds; false when it does not within a minute, a hang guard far beyond
// the moments the test waits for.
bool Eventually(const std::function<bool()>& done) {
    for (int tick = 0; tick < 1200; ++tick) {
        if (done()) {
            return true;
        }
        usleep(50000);
    }
    return false;
}

TEST_F(StationDb, EveryNumberHasARecordWhateverBecomesOfTheStation) {
    SetUpLine();
    // The killed stations' statements may wait as long as the test takes to kill them.
    const std::string patient = url + " options='-c statement_timeout=120000'";
    const auto station = [&](const std::string& board, std::vector<std::string> more = {}) {
        more.insert(more.end(), {"--station-db", patient, "--board-id", board});
        return StartProgram(Station("S-" + board, more));
    };
    const auto backends = [this] {
        return server.Query("SELECT pid FROM pg_stat_activity WHERE backend_type = "
                            "'client backend' AND pid <> pg_backend_pid() ORDER BY pid");
    };
    const auto waiting = [this](const std::string& statement) {
        return !server.Query("SELECT pid FROM pg_stat_activity WHERE wait_event_type = 'Lock' "
                             "AND query LIKE $1",
                             {statement + "%"})
                    .empty();
    };
    // A station killed while it waits on a locked table; the table is let go once it is dead,
    // and its server's side has ended before the next run.
    const auto killedWaiting = [&](const std::string& table, const std::string& board,
                                   const std::function<void(const ChildProcess&)>& until) {
        TableLock lock(url, table);
        const Rows before = backends();
        const ChildProcess killed = station(board);
        until(killed);
        kill(killed.pid, SIGKILL);
        Finish(killed);
        lock.Release();
        // Backends of earlier connections may still be ending: only new ones must go.
        const std::set<std::string> earlier(before.begin(), before.end());
        EXPECT_TRUE(Eventually([&] {
            const Rows now = backends();
            return std::all_of(now.begin(), now.end(),
                               [&](const std::string& pid) { return earlier.count(pid) != 0; });
        })) << board;
    };
    const auto nextRun = [&](const std::string& board) {
        const CliRun run = RunProgram(Station("S-" + board, {"--station-db", url, "--board-id", board}));
        EXPECT_EQ(run.status, kExitSuccess) << board << ": " << run.err;
    };

    // Before the pod: the number is being taken.
    killedWaiting("vantix.serials", "K1", [&](const ChildProcess&) {
        EXPECT_TRUE(Eventually([&] { return waiting("SELECT vantix.take_number"); }));
    });
    nextRun("N1");
    // While the board is being written; a station that runs meanwhile leaves its entry alone.
    const ChildProcess writing = station("K2", {"--sim-realtime"});
    std::string err;
    EXPECT_TRUE(ReadUntilWithin(writing.err, err, "Writing...")) << err;
    nextRun("L1");
    EXPECT_EQ(server.Query("SELECT count(*) FROM vantix.runs WHERE board = 'K2'"), Rows{"0"});
    kill(writing.pid, SIGKILL);
    Finish(writing);
    nextRun("N2");
    // After the board, and while its record is being stored.
    killedWaiting("vantix.runs", "K3", [&](const ChildProcess& killed) {
        std::string said;
        EXPECT_TRUE(ReadUntilWithin(killed.err, said, "Flash Writing && Verifying is OK !!!"))
            << said;
    });
    nextRun("N3");
    killedWaiting("vantix.runs", "K4", [&](const ChildProcess&) {
        EXPECT_TRUE(Eventually([&] { return waiting("SELECT vantix.store_record"); }));
    });
    nextRun("N4");

    // Every number has its record in the database, or in the log; none is stored twice.
    std::set<std::string> logged;
    for (const std::string& line : Lines(ReadText(log))) {
        const nlohmann::json record = nlohmann::json::parse(line);
        if (record["status"] != "started") {
            logged.insert(record["run"].get<std::string>());
        }
    }
    const Rows numbers = server.Query(
        "SELECT s.number, s.run, coalesce(r.record->>'status', '-') FROM vantix.serials s "
        "LEFT JOIN vantix.runs r USING (run) ORDER BY s.number");
    EXPECT_EQ(numbers.size(), 9u);
    for (const std::string& row : numbers) {
        const std::vector<std::string> fields = Lines(std::regex_replace(row, std::regex("\t"), "\n"));
        EXPECT_TRUE(fields[2] != "-" || logged.count(fields[1]) != 0) << row;
    }
    EXPECT_EQ(server.Query("SELECT serial FROM vantix.runs GROUP BY serial HAVING count(*) > 1"),
              Rows{});
    // Stopped before their boards' end: the boards took their numbers, and ended unknown.
    EXPECT_EQ(server.Query("SELECT board, exit_status, record->>'status', serial IS NOT NULL, "
                           "station FROM vantix.runs WHERE board IN ('K1', 'K2') ORDER BY board"),
              (Rows{"K1\t-1\tunknown\tt\tS-K1", "K2\t-1\tunknown\tt\tS-K2"}));
    EXPECT_EQ(server.Query("SELECT exit_status FROM vantix.runs WHERE board = 'K4'"), Rows{"0"});
    EXPECT_EQ(server.Query("SELECT count(*) FROM vantix.runs WHERE board NOT LIKE 'K%' AND "
                           "exit_status = 0"),
              Rows{"5"});
    // Nothing is left for a later run.
    EXPECT_TRUE(Kept(dir.File("state")).journal.empty());
}

}  // namespace
