// The logins of a line, each able to do its own work and nothing more, and a history that no
// login can rewrite.
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>

#include "CliExit.h"
#include "CliProcess.h"
#include "TestPostgres.h"

namespace {

using Rows = std::vector<std::string>;

class StationDbRoles : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1); }
    void TearDown() override { unsetenv("XDG_STATE_HOME"); }

    std::string As(const std::string& login) const { return url + " user=" + login; }
    // A login of the server given a role of the line, as its owner does it.
    void Login(const std::string& login, const std::string& role) const {
        server.Query(("CREATE ROLE " + login + " LOGIN").c_str());
        const CliRun granted = RunProgram({"station-db", "grant", role, login, "--station-db", url});
        ASSERT_EQ(granted.status, kExitSuccess) << granted.err;
    }
    void SetUpLine() const {
        ASSERT_EQ(RunProgram({"station-db", "init", "--station-db", url}).status, kExitSuccess);
        ASSERT_EQ(RunProgram({"station-db", "series", "line-7", "--start", "1000", "--station-db",
                              url}).status,
                  kExitSuccess);
        Release();
    }
    // The line's image, released for its series by the owner.
    void Release() const {
        ASSERT_EQ(RunProgram({"station-db", "release", "line-7", Example("dsp56f807.s"), "--cpu",
                              "807", "--station-db", url})
                      .status,
                  kExitSuccess);
    }
    // A serialised write-verify of one board under `login`.
    std::vector<std::string> Board(const std::string& login, const std::string& board,
                                   std::vector<std::string> more = {}) const {
        std::vector<std::string> args = {"--simulate", "--station-db", As(login), "--station",
                                         login, "--board-id", board, "write-verify",
                                         Example("dsp56f807.s"), "--cpu", "807", "--serial-at",
                                         "PFLASH:7FF0", "--serial-series", "line-7"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
    // Each statement, as `login`, is refused by the server for want of rights.
    void ExpectRefused(const std::string& login, const Rows& statements) const {
        for (const std::string& sql : statements) {
            const PgReply reply = server.ExecAs(login, sql.c_str());
            EXPECT_EQ(reply.kind, PgReply::Kind::ServerError) << login << ": " << sql;
            EXPECT_EQ(reply.sqlState, "42501") << login << ": " << sql << ": " << reply.error;
        }
    }

    ScratchDir dir;
    TestPostgres server;
    const std::string url = server.Url();
};

TEST_F(StationDbRoles, AStationLoginDoesItsWorkAndNothingElse) {
    SetUpLine();
    Login("st1", "station");
    Login("st2", "station");
    // Numbers and records; a record lost with the server goes with the next run; a board
    // whose station was killed goes as "unknown" with its number.
    ASSERT_EQ(RunProgram(Board("st1", "B1")).status, kExitSuccess);
    const ChildProcess killed = StartProgram(Board("st1", "B2", {"--sim-realtime"}));
    std::string said;
    EXPECT_TRUE(ReadUntilWithin(killed.err, said, "Writing...")) << said;
    kill(killed.pid, SIGKILL);
    Finish(killed);
    const CliRun next = RunProgram(Board("st1", "B3"));
    EXPECT_EQ(next.status, kExitSuccess) << next.err;
    EXPECT_NE(next.err.find("sent 1 spooled record"), std::string::npos) << next.err;
    EXPECT_EQ(server.Query("SELECT board, serial, record->>'status', station FROM vantix.runs "
                           "WHERE exit_status <> 0"),
              Rows{"B2\t1001\tunknown\tst1"});
    EXPECT_EQ(server.Query("SELECT count(*) FROM vantix.runs WHERE serial IS NOT NULL"),
              Rows{"3"});
    // Each row names the login that wrote it, whatever the record says.
    EXPECT_EQ(server.Query("SELECT (SELECT string_agg(DISTINCT taken_by, ',') FROM "
                           "vantix.serials), string_agg(DISTINCT stored_by, ',') FROM vantix.runs"),
              Rows{"st1\tst1"});

    const Rows forbidden = {
        "UPDATE vantix.runs SET exit_status = 0",
        "DELETE FROM vantix.serials",
        "TRUNCATE vantix.runs",
        "SELECT setval('vantix.series_1', 1000)",
        "SELECT vantix.create_series('line-8', 1, 1::smallint)",
        "CREATE SEQUENCE vantix.mine",
        "INSERT INTO vantix.serials (series, number, run, station) VALUES "
        "('line-7', 1000, gen_random_uuid(), 'st2')",
        "SELECT record FROM vantix.runs",  // another station's record, or its own
        "SELECT board FROM vantix.serials",
    };
    ExpectRefused("st2", forbidden);
    // Rights that slip in later still leave the history as it is.
    server.Query("GRANT UPDATE, DELETE, TRUNCATE ON vantix.runs, vantix.serials, vantix.series "
                 "TO vantix_station");
    ExpectRefused("st2", {"UPDATE vantix.runs SET exit_status = 0",
                          "DELETE FROM vantix.serials", "TRUNCATE vantix.serials",
                          "UPDATE vantix.series SET first_number = 0"});
    EXPECT_EQ(server.ExecAs("st2", "DELETE FROM vantix.runs").error,
              "the rows of vantix.runs are the line's history: DELETE is refused");
    EXPECT_EQ(server.Query("SELECT count(*), min(number), max(number) FROM vantix.serials"),
              Rows{"3\t1000\t1002"});
    EXPECT_EQ(server.Query("SELECT count(*) FROM vantix.runs WHERE exit_status = 0"), Rows{"2"});
}

TEST_F(StationDbRoles, AReaderReportsAndAnAdministratorCreatesSeries) {
    SetUpLine();
    Login("st1", "station");
    Login("rd", "reader");
    Login("adm", "admin");
    ASSERT_EQ(RunProgram(Board("st1", "B1")).status, kExitSuccess);
    const std::string csv = dir.File("boards.csv");
    const CliRun report = RunProgram({"report", "--station-db", As("rd"), "--csv", csv});
    ASSERT_EQ(report.status, kExitSuccess) << report.err;
    EXPECT_NE(ReadText(csv).find("\nB1,1000,1,1,"), std::string::npos) << ReadText(csv);
    ExpectRefused("rd", {"INSERT INTO vantix.runs (run, station, host, time, command, "
                         "exit_status, record) VALUES (gen_random_uuid(), 'x', 'x', now(), "
                         "'reset', 0, '{}')",
                         "SELECT vantix.store_record('{}')",
                         "SELECT vantix.take_number('line-7', '{}')",
                         "DELETE FROM vantix.runs"});
    // A reader's login at a station is found out before the pod.
    const std::string trace = dir.File("wire.log");
    const CliRun station = RunProgram(Board("rd", "B2", {"--trace", trace}));
    EXPECT_EQ(station.status, kExitUnreachable);
    EXPECT_EQ(station.err.rfind("vantix-cli: the login 'rd' may not store records in the "
                                "station database ",
                                0),
              0u)
        << station.err;
    EXPECT_NE(station.err.find("; the owner of its tables grants it the station's role with "
                               "'vantix-cli station-db grant station rd'\n"),
              std::string::npos)
        << station.err;
    // So is a login with none of the line's roles, which may not even see the tables.
    server.Query("CREATE ROLE nobody_here LOGIN");
    const CliRun roleless = RunProgram(Board("nobody_here", "B3", {"--trace", trace}));
    EXPECT_EQ(roleless.status, kExitUnreachable);
    const std::string refusal =
        "vantix-cli: the login 'nobody_here' may not store records in the station database (";
    const std::string hint = " user=nobody_here); the owner of its tables grants it the "
                             "station's role with 'vantix-cli station-db grant station "
                             "nobody_here'\n";
    EXPECT_EQ(roleless.err.rfind(refusal, 0), 0u) << roleless.err;
    EXPECT_EQ(roleless.err.find(hint), roleless.err.size() - hint.size()) << roleless.err;
    EXPECT_FALSE(std::filesystem::exists(trace)) << "the pod was touched";

    const CliRun created = RunProgram({"station-db", "series", "line-8", "--start", "5",
                                       "--station-db", As("adm")});
    EXPECT_EQ(created.status, kExitSuccess) << created.err;
    EXPECT_EQ(RunProgram({"station-db", "series", "--station-db", As("st1")}).out,
              "line-7\tnext 1001\t1 word\nline-8\tnext 5\t1 word\n");
    EXPECT_EQ(server.Query("SELECT sequenceowner FROM pg_sequences WHERE sequencename = "
                           "'series_2'"),
              Rows{"vantix"});
    ExpectRefused("adm", {"SELECT setval('vantix.series_2', 1)", "SELECT * FROM vantix.runs"});
    ExpectRefused("st1", {"SELECT vantix.create_series('line-9', 1, 1::smallint)"});

    // Only a login may be given a role, and only one of the line's; nothing changes otherwise.
    server.Query("CREATE ROLE nl NOLOGIN");
    const std::string grant = "vantix-cli: 'station-db grant' grants ";
    const std::pair<Rows, std::string> refusals[] = {
        {{"grant", "station", "st3; DROP TABLE vantix.runs"},
         "; create it first (createuser 'st3; DROP TABLE vantix.runs')\n"},
        {{"grant", "owner", "st1"}, grant + "the role station, reader or admin, not 'owner'\n"},
        {{"grant", "station", ""}, grant + "a role to a login, and the login's name is empty\n"},
        {{"grant", "station", "vantix_admin"},
         grant + "a role to a login, and 'vantix_admin' is a role of the server or the line, "
                 "not a login\n"},
        {{"grant", "reader", "pg_read_all_data"}, "'pg_read_all_data' is a role of the server"},
        {{"grant", "station", "nl"}, ") cannot log in; a role of the line is granted to a login\n"},
        {{"grant", "station", "rd"},
         "vantix-cli: the login 'rd' holds the role vantix_reader already; a login has one "
         "role\n"},
    };
    for (const auto& [args, message] : refusals) {
        Rows command = {"station-db"};
        command.insert(command.end(), args.begin(), args.end());
        command.insert(command.end(), {"--station-db", url});
        const CliRun run = RunProgram(command);
        EXPECT_EQ(run.status, kExitInputError) << run.err;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
    EXPECT_EQ(server.Query("SELECT r.rolname, m.rolname FROM pg_auth_members a JOIN pg_roles r "
                           "ON r.oid = a.member JOIN pg_roles m ON m.oid = a.roleid WHERE "
                           "m.rolname LIKE 'vantix\\_%' ORDER BY 1"),
              (Rows{"adm\tvantix_admin", "rd\tvantix_reader", "st1\tvantix_station"}));
    EXPECT_EQ(server.Query("SELECT count(*) FROM vantix.runs"), Rows{"1"});
    // The same role again changes nothing and is no fault.
    EXPECT_EQ(RunProgram({"station-db", "grant", "station", "st1", "--station-db", url}).status,
              kExitSuccess);
}

TEST_F(StationDbRoles, FourStationLoginsTakeDistinctNumbers) {
    SetUpLine();
    std::vector<ChildProcess> stations;
    for (int s = 1; s <= 4; ++s) {
        const std::string login = "st" + std::to_string(s);
        Login(login, "station");
        std::string boards;
        for (int b = 2; b <= 25; ++b) {
            boards += login + "-B" + std::to_string(b) + "\n";
        }
        stations.push_back(StartProgram(Board(login, login + "-B1", {"--repeat", "-q"}), boards));
    }
    for (const ChildProcess& station : stations) {
        const CliRun run = Finish(station);
        EXPECT_EQ(run.status, kExitSuccess) << run.err;
    }
    EXPECT_EQ(server.Query("SELECT count(DISTINCT number), min(number), max(number), "
                           "count(DISTINCT station) FROM vantix.serials"),
              Rows{"100\t1000\t1099\t4"});
    EXPECT_EQ(server.Query("SELECT count(*) FROM vantix.runs r JOIN vantix.serials s USING "
                           "(run) WHERE r.serial = s.number AND r.station = s.station"),
              Rows{"100"});
}

// The releases are the line's history too: an admin adds and closes them only through the
// routines, which write who and when themselves; nobody but the owner changes a row.
TEST_F(StationDbRoles, AnAdminReleasesAndWithdrawsOnlyThroughTheRoutines) {
    SetUpLine();
    Login("adm", "admin");
    Login("st1", "station");
    Login("rd", "reader");
    const std::string f805 = Example("dsp56f805.s");
    for (const char* cpu : {"803", "805"}) {
        const CliRun released =
            RunProgram({"station-db", "release", "line-7", f805, "--cpu", cpu, "--station-db",
                        As("adm")});
        ASSERT_EQ(released.status, kExitSuccess) << released.err;
    }
    const std::string sha256 =
        server.Query("SELECT sha256 FROM vantix.releases WHERE cpu = 'DSP56F805'").front();
    // Withdrawn for one CPU: the other's release stays.
    const CliRun withdrawn = RunProgram({"station-db", "withdraw", "line-7", sha256, "--cpu",
                                         "805", "--station-db", As("adm")});
    ASSERT_EQ(withdrawn.status, kExitSuccess) << withdrawn.err;
    EXPECT_EQ(server.Query("SELECT cpu, released_by, withdrawn_by FROM vantix.releases WHERE "
                           "sha256 = $1 ORDER BY cpu",
                           {sha256}),
              (Rows{"DSP56F803\tadm\tNULL", "DSP56F805\tadm\tadm"}));
    const Rows before = server.Query("SELECT * FROM vantix.releases ORDER BY released_at, cpu");
    const std::string forged = "INSERT INTO vantix.releases (series, sha256, cpu, file_name, "
                               "released_by, released_at) VALUES ('line-7', '" + sha256 +
                               "', 'Z80', 'x.s', 'st1', '2020-01-01')";
    ExpectRefused("adm", {"UPDATE vantix.releases SET released_by = 'st1'",
                          "UPDATE vantix.releases SET withdrawn_at = NULL, withdrawn_by = NULL",
                          forged, "DELETE FROM vantix.releases", "TRUNCATE vantix.releases"});
    ExpectRefused("st1", {"SELECT vantix.release_image('line-7', '" + sha256 +
                              "', 'DSP56F807', 'x.s')",
                          "SELECT * FROM vantix.withdraw_image('line-7', '" + sha256 + "', NULL)"});
    const PgReply unknownCpu = server.ExecAs(
        "adm", ("SELECT vantix.release_image('line-7', '" + sha256 + "', 'Z80', 'x.s')").c_str());
    EXPECT_EQ(unknownCpu.sqlState, "23514") << unknownCpu.error;
    EXPECT_EQ(server.Query("SELECT * FROM vantix.releases ORDER BY released_at, cpu"), before);
    for (const char* login : {"st1", "rd"}) {
        EXPECT_TRUE(server.ExecAs(login, "SELECT count(*) FROM vantix.releases").Done()) << login;
    }
}

// A database of the first version: the owner's init moves it on, all of it in one
// transaction, however many hosts run init at once.
TEST_F(StationDbRoles, AnOlderDatabaseMovesOnWithItsNumbersRecordsAndSeries) {
    server.RunFile(std::string(VANTIX_STATIONDB_DATA) + "/station-db-v1.sql");
    const char* const serials = "SELECT series, number, run, station, board, taken FROM "
                                "vantix.serials ORDER BY number";
    const char* const runs = "SELECT run, station, host, time, command, board, serial, "
                             "exit_status, stored, record::text FROM vantix.runs ORDER BY run";
    const Rows numbersBefore = server.Query(serials);
    const Rows recordsBefore = server.Query(runs);
    ASSERT_EQ(numbersBefore.size(), 3u);
    ASSERT_EQ(recordsBefore.size(), 2u);
    // Before it moves on, a station is told who moves it.
    const CliRun old = RunProgram(Board("vantix", "B4"));
    EXPECT_EQ(old.status, kExitInputError);
    EXPECT_NE(old.err.find("has tables of version 1; its owner moves them to version 3 with "
                           "'vantix-cli station-db init'"),
              std::string::npos)
        << old.err;

    std::vector<ChildProcess> hosts;
    for (int host = 0; host < 4; ++host) {
        hosts.push_back(StartProgram({"station-db", "init", "--station-db", url}));
    }
    int moved = 0;
    for (const ChildProcess& host : hosts) {
        const CliRun run = Finish(host);
        EXPECT_EQ(run.status, kExitSuccess) << run.err;
        moved += run.err.find(") from version 1 to 3\n") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(moved, 1);
    EXPECT_EQ(server.Query("SELECT version FROM vantix.schema_version ORDER BY version"),
              (Rows{"1", "3"}));
    EXPECT_EQ(server.Query(serials), numbersBefore);
    EXPECT_EQ(server.Query(runs), recordsBefore);
    Login("st1", "station");
    Release();
    EXPECT_EQ(RunProgram({"station-db", "series", "--station-db", As("st1")}).out,
              "line-7\tnext 1003\t2 words\nline-9\tnext 5\t1 word\n");
    ASSERT_EQ(RunProgram(Board("st1", "B4", {"--serial-words", "2"})).status, kExitSuccess);
    EXPECT_EQ(server.Query("SELECT number FROM vantix.serials WHERE board = 'B4'"), Rows{"1003"});
    // Rows from before say no login; the new ones say theirs.
    EXPECT_EQ(server.Query("SELECT (SELECT count(*) FILTER (WHERE taken_by IS NULL) || ' ' || "
                           "string_agg(taken_by, ',') FROM vantix.serials), count(*) FILTER "
                           "(WHERE stored_by IS NULL) || ' ' || string_agg(stored_by, ',') "
                           "FROM vantix.runs"),
              Rows{"3 st1\t2 st1"});
    ExpectRefused("st1", {"DELETE FROM vantix.runs", "SELECT setval('vantix.series_1', 1000)"});
}

}  // namespace
