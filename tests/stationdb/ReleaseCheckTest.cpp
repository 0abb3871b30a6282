// Released images on a line: a station taking numbers of a series programs only an image the
// admin released for that series and CPU, and a withdrawal reaches the next board.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <regex>

#include "CliExit.h"
#include "CliProcess.h"
#include "TestPostgres.h"
#include "records/ImageDigests.h"

namespace {

using Rows = std::vector<std::string>;

// vantix-cli started with its standard output closed, as `>&-` leaves it.
CliRun RunWithStdoutClosed(const Rows& args) {
    Rows argv{VANTIX_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildSetup setup;
    setup.inputFrom = ChildSetup::Input::Text;
    setup.outputTo = ChildSetup::Output::Pipes;
    setup.beforeExec = [] { close(1); };
    return Finish(StartChild(argv, setup));
}

std::string Sha256Of(const std::string& path) {
    const std::string bytes = ReadText(path);
    Sha256Stream digest;
    digest.Add(bytes.data(), bytes.size());
    return digest.Hex();
}

class ReleasedImage : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
        for (const Rows& command :
             {Rows{"station-db", "init"}, Rows{"station-db", "series", "line-7", "--start", "1000"},
              Rows{"station-db", "series", "line-8", "--start", "1000"}}) {
            ASSERT_EQ(Db(command).status, kExitSuccess);
        }
    }
    void TearDown() override { unsetenv("XDG_STATE_HOME"); }

    CliRun Db(Rows args, const std::string& as = "") const {
        args.insert(args.end(), {"--station-db", as.empty() ? url : url + " user=" + as});
        return RunProgram(args);
    }
    Rows Station(const std::string& file, const std::string& cpu, Rows more = {}) const {
        // A word that each file leaves free.
        const char* at = cpu == "807" ? "PFLASH:7FF0" : "PFLASH:7DF0";
        Rows args = {"--simulate", "--station-db", url, "write-verify",    file,     "--cpu",
                     cpu,          "--serial-at",  at,  "--serial-series", "line-7", "--json",
                     "-q"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    ScratchDir dir;
    TestPostgres server;
    const std::string url = server.Url();
    const std::string f805 = Example("dsp56f805.s");
    const std::string f807 = Example("dsp56f807.s");
};

TEST_F(ReleasedImage, OnlyTheImageReleasedForTheSeriesAndCpuPasses) {
    ASSERT_EQ(Db({"station-db", "release", "line-8", f805, "--cpu", "805"}).status, kExitSuccess);
    ASSERT_EQ(Db({"station-db", "release", "line-7", f805, "--cpu", "803"}).status, kExitSuccess);
    ASSERT_EQ(Db({"station-db", "release", "line-7", f807, "--cpu", "807"}).status, kExitSuccess);
    // Released for the other series, and for the series on another CPU: refused alike.
    const CliRun refused = RunProgram(Station(f805, "805"));
    EXPECT_EQ(refused.status, kExitInputError);
    EXPECT_EQ(Lines(refused.err).front(),
              "vantix-cli: " + f805 +
                  " is not released for the serial series 'line-7' and the "
                  "DSP56F805: its SHA-256 is " +
                  Sha256Of(f805).substr(0, 4) + "…; released: " + Sha256Of(f805).substr(0, 4) +
                  "… (DSP56F803), " + Sha256Of(f807).substr(0, 4) + "… (DSP56F807)");
    EXPECT_EQ(nlohmann::json::parse(refused.out)["release"], nullptr);
    EXPECT_EQ(server.Query("SELECT count(*) FROM vantix.serials"), Rows{"0"});

    const CliRun passed = RunProgram(Station(f807, "807"));
    EXPECT_EQ(passed.status, kExitSuccess) << passed.err;
    EXPECT_EQ(nlohmann::json::parse(passed.out)["release"], "series line-7");
    EXPECT_EQ(server.Query("SELECT record->>'release' FROM vantix.runs ORDER BY exit_status"),
              (Rows{"series line-7", "NULL"}));
    const std::string listed = "line-7\t" + Sha256Of(f805) + "\tDSP56F803\tdsp56f805.s\treleased ";
    EXPECT_EQ(Db({"station-db", "releases", "line-7"}).out.substr(0, listed.size()), listed);
}

TEST_F(ReleasedImage, AnImageWithdrawnDuringARepeatRunIsRefusedAtTheNextBoard) {
    ASSERT_EQ(Db({"station-db", "release", "line-7", f807, "--cpu", "807"}).status, kExitSuccess);
    CliRun withdrawn;
    OperatorInput answers(
        {"", ""}, {{0, [&] {
                        withdrawn = Db({"station-db", "withdraw", "line-7", Sha256Of(f807)});
                    }}});
    std::istream input(&answers);
    ScriptedPod scripted;
    CliEnvironment environment = scripted.Environment();
    environment.input = &input;
    const CliRun run = RunInProcess(Station(f807, "807", {"--repeat"}), environment);
    EXPECT_EQ(withdrawn.status, kExitSuccess) << withdrawn.err;
    EXPECT_EQ(run.status, kExitInputError) << run.err;
    const Rows records = Lines(run.out);
    ASSERT_EQ(records.size(), 2u) << run.out;
    EXPECT_EQ(nlohmann::json::parse(records[0])["release"], "series line-7");
    const nlohmann::json refused = nlohmann::json::parse(records[1]);
    EXPECT_EQ(refused["release"], nullptr);
    EXPECT_EQ(refused["exit"], kExitInputError);
    EXPECT_FALSE(refused.contains("serial")) << "the last board's number";
    EXPECT_TRUE(std::regex_search(
        refused["status"].get<std::string>(),
        std::regex("; it was withdrawn from the series 'line-7' on 20[0-9-]+T[0-9:]+Z by vantix$")))
        << refused;
    // The refused board took no number, and its pod was not touched.
    EXPECT_EQ(server.Query("SELECT number FROM vantix.serials"), Rows{"1000"});
    // On several pods at once, each pod's next board is refused alike.
    ASSERT_EQ(Db({"station-db", "release", "line-7", f807, "--cpu", "807"}).status, kExitSuccess);
    OperatorInput rounds({"", ""}, {{0, [&] {
                                         Db({"station-db", "withdraw", "line-7", Sha256Of(f807)});
                                     }}});
    std::istream roundInput(&rounds);
    CliEnvironment twoPods;
    twoPods.input = &roundInput;
    Rows gang = Station(f807, "807", {"--repeat", "--pods", "all"});
    gang[0] = "--sim-pods";
    gang.insert(gang.begin() + 1, "2");
    const CliRun both = RunInProcess(gang, twoPods);
    EXPECT_EQ(both.status, kExitInputError) << both.err;
    const nlohmann::json second = nlohmann::json::parse(Lines(both.out).at(1));
    ASSERT_EQ(second.size(), 2u) << both.out;
    for (const nlohmann::json& board : second) {
        EXPECT_EQ(board["release"], nullptr);
        EXPECT_EQ(board["exit"], kExitInputError);
    }
    EXPECT_EQ(server.Query("SELECT count(*) FROM vantix.serials"), Rows{"3"});
    // Withdrawn once; asked again, it says so.
    EXPECT_EQ(Db({"station-db", "withdraw", "line-7", Sha256Of(f807)}).status, kExitSuccess);
    EXPECT_EQ(server.Query("SELECT count(*) FROM vantix.releases WHERE withdrawn_at IS NOT NULL"),
              Rows{"2"});
}

// What stations program unasked is what the reader took without a finding, and has data.
TEST_F(ReleasedImage, AnImageWithReaderFindingsOrNoDataIsNotReleased) {
    std::string text = ReadText(f807);
    const std::string record = "S30D0000000084E900F884E902F826";
    ASSERT_NE(text.find(record), std::string::npos);
    text.replace(text.find(record), record.size(), "S30D0000000084E900F884E902F827");
    const std::string faulty = dir.Write("faulty.s", text);
    const CliRun refused = Db({"station-db", "release", "line-7", faulty, "--cpu", "807"});
    EXPECT_EQ(refused.status, kExitInputError);
    EXPECT_NE(refused.err.find("1 record with a bad checksum"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("vantix-cli: " + faulty +
                               " is not released: the reader found faults in it\n"),
              std::string::npos)
        << refused.err;
    // A name that is not UTF-8 is kept as records keep it.
    const std::string oddName = dir.Write("b\xFF.s", ReadText(f807));
    const CliRun odd = Db({"station-db", "release", "line-8", oddName, "--cpu", "807"});
    EXPECT_EQ(odd.status, kExitSuccess) << odd.err;
    EXPECT_EQ(server.Query("SELECT file_name FROM vantix.releases"), Rows{"b\uFFFD.s"});
    server.Query("DELETE FROM vantix.releases");
    const std::string empty = dir.Write("empty.s", "S0030000FC\nS70500000000FA\n");
    const CliRun nothing = Db({"station-db", "release", "line-7", empty, "--cpu", "807"});
    EXPECT_EQ(nothing.status, kExitInputError) << nothing.err;
    EXPECT_EQ(server.Query("SELECT count(*) FROM vantix.releases"), Rows{"0"});
}

TEST_F(ReleasedImage, AStationLoginCannotRelease) {
    // A station's login reads the releases and may not write them.
    server.Query("CREATE ROLE st LOGIN");
    ASSERT_EQ(Db({"station-db", "grant", "station", "st"}).status, kExitSuccess);
    const CliRun release = Db({"station-db", "release", "line-7", f807, "--cpu", "807"}, "st");
    EXPECT_EQ(release.status, kExitUnreachable);
    EXPECT_NE(release.err.find("vantix-cli: the login 'st' may not release images in the station "
                               "database (dbname=postgres host="),
              std::string::npos)
        << release.err;
    EXPECT_NE(release.err.find(" (INSERT on vantix.releases)\n"), std::string::npos);
    ASSERT_EQ(Db({"station-db", "release", "line-7", f807, "--cpu", "807"}).status, kExitSuccess);
    EXPECT_EQ(Db({"station-db", "withdraw", "line-7", Sha256Of(f807)}, "st").status,
              kExitUnreachable);
    EXPECT_EQ(server.Query("SELECT count(*) FROM vantix.releases WHERE withdrawn_at IS NULL"),
              Rows{"1"});
}

TEST_F(ReleasedImage, TwoHostsReleasingTheSameImageAtOnceRecordItOnce) {
    std::vector<ChildProcess> hosts;
    for (int host = 0; host < 4; ++host) {
        hosts.push_back(StartProgram(
            {"station-db", "release", "line-7", f807, "--cpu", "807", "--station-db", url}));
    }
    for (const ChildProcess& host : hosts) {
        const CliRun run = Finish(host);
        EXPECT_EQ(run.status, kExitSuccess) << run.err;
    }
    EXPECT_EQ(server.Query("SELECT series, sha256, cpu, file_name, released_by FROM "
                           "vantix.releases"),
              Rows{"line-7\t" + Sha256Of(f807) + "\tDSP56F807\tdsp56f807.s\tvantix"});
}

// A closed standard output is not the database's link: a listing or a record meant for it
// fails as it does without a database, and nothing reaches the server in its place.
TEST_F(ReleasedImage, AClosedStandardOutputIsAnOutputFailure) {
    ASSERT_EQ(Db({"station-db", "release", "line-7", f807, "--cpu", "807"}).status, kExitSuccess);
    const std::string failure = "vantix-cli: cannot write the standard output: Bad file descriptor\n";
    const CliRun listing = RunWithStdoutClosed({"station-db", "releases", "--station-db", url});
    EXPECT_EQ(listing.status, kExitInputError) << listing.err;
    EXPECT_NE(listing.err.find(failure), std::string::npos) << listing.err;
    const CliRun board = RunWithStdoutClosed(Station(f807, "807"));
    EXPECT_EQ(board.status, kExitRecordLost) << board.err;
    EXPECT_NE(board.err.find(failure), std::string::npos) << board.err;
    EXPECT_EQ(server.Query("SELECT count(*) FROM vantix.runs"), Rows{"1"});
}

}  // namespace
