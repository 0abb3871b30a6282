// The station database's options, and servers that never answer.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include <sys/socket.h>
#include <sys/un.h>

#include "CliExit.h"
#include "CliProcess.h"

namespace {

// A Unix socket where a PostgreSQL server would listen. With `greets`, it lets a client in
// (AuthenticationOk, ReadyForQuery) before it falls silent; without, it never says a word.
class SilentServer {
public:
    SilentServer(const ScratchDir& dir, bool greets) : fd_(socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = dir.File(".s.PGSQL.5432");
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(fd_, 4), 0);
        if (greets) {
            greeter_ = std::thread([this] {
                client_ = accept(fd_, nullptr, nullptr);
                char startup[512];
                [[maybe_unused]] const ssize_t got = read(client_, startup, sizeof startup);
                const char welcome[] = {'R', 0, 0, 0, 8, 0, 0, 0, 0, 'Z', 0, 0, 0, 5, 'I'};
                [[maybe_unused]] const ssize_t sent = write(client_, welcome, sizeof welcome);
            });
        }
    }
    ~SilentServer() {
        shutdown(fd_, SHUT_RDWR);
        if (greeter_.joinable()) {
            greeter_.join();
        }
        close(client_);
        close(fd_);
    }

private:
    int fd_;
    int client_ = -1;
    std::thread greeter_;
};

// The run's outcome, or a failure once it has taken a minute: a station must not hang.
CliRun FinishWithinAMinute(const ChildProcess& process) {
    for (int tenth = 0; tenth < 600; ++tenth) {
        int status = 0;
        if (waitpid(process.pid, &status, WNOHANG) == process.pid) {
            CliRun run;
            run.err = ReadAll(process.err);
            run.out = ReadAll(process.out);
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return run;
        }
        usleep(100000);
    }
    kill(process.pid, SIGKILL);
    ADD_FAILURE() << "vantix-cli still waits for the silent server after a minute";
    return Finish(process);
}

TEST(StationDbOffline, ASilentServerRunsOutOfTimeNamingWhichTimeOut) {
    for (const bool greets : {false, true}) {
        ScratchDir dir;
        const SilentServer server(dir, greets);
        const std::string url = "host=" + dir.File("") + " user=x dbname=y connect_timeout=2 "
                                "options='-c statement_timeout=1000'";
        const CliRun run = FinishWithinAMinute(
            StartProgram({"--simulate", "--station-db", url, "reset"}));
        EXPECT_EQ(run.status, kExitUnreachable) << run.err;
        EXPECT_NE(run.err.find(greets ? "): the statement time-out of 1 s ran out\n"
                                      : "): the connect time-out of 2 s ran out\n"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(run.err.find("simulated pod"), std::string::npos);  // the pod is not touched
    }
}

// A server slow to answer is spoken of after a second, and Ctrl+C or SIGTERM ends the wait at
// once, whether the wait is for the connection or for a statement.
TEST(StationDbOffline, AWaitForASlowServerIsSpokenOfAndEndsAtASignal) {
    for (const bool greets : {false, true}) {
        for (const int signal : {SIGINT, SIGTERM}) {
            ScratchDir dir;
            const SilentServer server(dir, greets);
            const std::string url = "host=" + dir.File("") +
                                    " user=x dbname=y "
                                    "connect_timeout=600 options='-c statement_timeout=600000'";
            const ChildProcess run = StartProgram({"--simulate", "--station-db", url, "reset"});
            std::string err;
            ASSERT_TRUE(ReadUntilWithin(run.err, err, ") to answer\u2026\n")) << err;
            EXPECT_EQ(err, "waiting for the station database (dbname=y host=" + dir.File("") +
                               (greets ? " port=5432" : "") + " user=x) to answer\u2026\n");
            kill(run.pid, signal);
            const CliRun ended = FinishWithinAMinute(run);
            EXPECT_EQ(ended.status, 128 + signal) << greets << ": " << err << ended.err;
            EXPECT_NE(ended.err.find("vantix-cli: interrupted while waiting for the station "
                                     "database ("),
                      std::string::npos)
                << ended.err;
            EXPECT_EQ(ended.err.find("simulated pod"), std::string::npos);  // no pod touched
        }
    }
}

TEST(StationDbOffline, OptionsThatDoNotGoTogetherAreRefused) {
    const std::vector<std::string> write = {"write", Example("dsp56f807.s"), "--cpu", "807",
                                            "--serial-at", "PFLASH:7FF0", "--serial-series", "L"};
    const auto with = [&write](std::vector<std::string> more) {
        more.insert(more.begin(), write.begin(), write.end());
        return more;
    };
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"station-db"}, "'station-db' needs init, series, grant, release, withdraw or releases"},
        {{"station-db", "drop"},
         "'station-db' does init, series, grant, release, withdraw or releases, not 'drop'"},
        {{"station-db", "init", "L"}, "unexpected argument 'L' for 'station-db init'"},
        {{"station-db", "series", "L", "M"}, "unexpected argument 'M' for 'station-db series'"},
        {{"station-db", "grant", "station"},
         "'station-db grant' needs a role (station, reader or admin) and a login"},
        {{"station-db", "grant", "vantix_station", "st1"},
         "'station-db grant' grants the role station, reader or admin, not 'vantix_station'"},
        {{"station-db", "grant", "reader", "st1", "--start", "5"},
         "--start belongs to 'station-db series NAME', which creates a series"},
        {{"station-db", "series", "L"}, "'station-db series L' needs --start N, its first number"},
        {{"station-db", "series", "--start", "5"},
         "--start belongs to 'station-db series NAME', which creates a series"},
        {{"station-db", "series", "L", "--start", "65536"},
         "serial number 65536 does not fit 16 bits (--serial-words 1)"},
        {{"station-db", "init"}, "'station-db' needs --station-db URL (or VANTIX_STATION_DB)"},
        {with({"--serial-counter", "c.txt"}), "--serial-counter and --serial-series exclude each other"},
        {with({"--serial-start", "5"}), "--serial-series and --serial-start exclude each other"},
        {{"write", Example("dsp56f807.s"), "--cpu", "807", "--serial-series", "L"},
         "--serial-series needs --serial-at REGION:ADDRESS"},
        {with({}), "--serial-series needs --station-db URL (or VANTIX_STATION_DB)"},
        {{"--station-db", "host=x bogus=1", "reset"},
         "the station database's URL is neither a libpq connection string (host=... dbname=...) "
         "nor a URI (postgresql://...): invalid connection option \"bogus\""},
    };
    for (const auto& [args, message] : cases) {
        const CliRun run = RunInProcess(args);
        EXPECT_EQ(run.status, kExitInputError) << message;
        EXPECT_EQ(Lines(run.err).at(0), "vantix-cli: " + message);
    }
}

TEST(StationDbOffline, ANamedStationOrAnEmptyVariableWithoutADatabaseIsRefused) {
    ScratchDir dir;
    const std::string trace = dir.File("wire.log");
    const std::vector<std::string> station = {"--simulate", "--trace", trace, "--station",
                                              "line-7-station-9", "write-verify",
                                              Example("dsp56f807.s"), "--cpu", "807"};
    CliEnvironment empty;
    empty.stationDb = "";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {station, "VANTIX_STATION_DB has an empty value"},
        {{"station-db", "init"}, "VANTIX_STATION_DB has an empty value"},
        {{"report", "--html", dir.File("r.html")}, "VANTIX_STATION_DB has an empty value"},
    };
    for (const auto& [args, message] : cases) {
        const CliRun run = RunInProcess(args, empty);
        EXPECT_EQ(run.status, kExitInputError) << run.err;
        EXPECT_EQ(run.err, "vantix-cli: " + message + "\n");
    }
    const CliRun unset = RunInProcess(station);
    EXPECT_EQ(unset.status, kExitInputError) << unset.err;
    EXPECT_EQ(unset.err, "vantix-cli: --station needs --station-db URL (or VANTIX_STATION_DB), "
                         "whose records name it\n");
    EXPECT_FALSE(std::filesystem::exists(trace)) << "the pod was touched";
}

}  // namespace
