// A station database reached over the network: the link encrypted and the server verified
// unless the URL says otherwise, and a server that cannot be verified refused before the pod.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "CliExit.h"
#include "CliProcess.h"
#include "TestPostgres.h"
#include "stationdb/LinkSettings.h"

namespace {

const char* const kPassword = "Sesame-8271";

// A throw-away CA, and a server certificate it signs for db1.line and 127.0.0.1 (and one
// that expired yesterday); beside them another CA that signed nothing here.
void MakeCertificates(const ScratchDir& dir) {
    const std::string at = dir.File("");
    const std::string script =
        "cd " + at + " && "
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=line-ca -keyout ca.key "
        "-out ca.crt && "
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=other-ca -keyout "
        "other-ca.key -out other-ca.crt && "
        "openssl req -newkey rsa:2048 -nodes -subj /CN=db1.line -keyout server.key -out "
        "server.csr && "
        "printf 'subjectAltName=DNS:db1.line,IP:127.0.0.1\\n' > names.cnf && "
        "openssl x509 -req -days 2 -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial "
        "-extfile names.cnf -out server.crt && "
        "openssl x509 -req -days -1 -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial "
        "-extfile names.cnf -out expired.crt";
    ASSERT_EQ(std::system(("(" + script + ") >/dev/null 2>&1").c_str()), 0)
        << "openssl could not make the certificates";
}

class StationDbTls : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
        MakeCertificates(dir);
        port = server.ListenWithTls(dir.File("server.crt"), dir.File("server.key"));
        server.Query(("ALTER ROLE vantix PASSWORD '" + std::string(kPassword) + "'").c_str());
    }
    void TearDown() override { unsetenv("XDG_STATE_HOME"); }

    // The server as a station on the network reaches it: by the name `host`, at 127.0.0.1.
    std::string Url(const std::string& host, const std::string& more) const {
        return "host=" + host + " hostaddr=127.0.0.1 port=" + std::to_string(port) +
               " user=vantix dbname=postgres password=" + kPassword + " " + more;
    }
    std::vector<std::string> Board(const std::string& database) const {
        return {"--simulate", "--station-db", database, "--trace", trace, "--station", "S1",
                "write-verify", Example("dsp56f807.s"), "--cpu", "807"};
    }

    ScratchDir dir;
    TestPostgres server;
    int port = 0;
    const std::string trace = dir.File("wire.log");
};

TEST_F(StationDbTls, AServerThatCannotBeVerifiedIsRefusedBeforeThePod) {
    const std::string ca = "sslrootcert=" + dir.File("ca.crt");
    // The right CA: the link is encrypted without being asked for.
    const CliRun init = RunProgram({"station-db", "init", "--station-db", Url("db1.line", ca)});
    ASSERT_EQ(init.status, kExitSuccess) << init.err;
    EXPECT_EQ(init.err.find("warning"), std::string::npos) << init.err;
    PgConnection link(Url("db1.line", ca));
    std::string error;
    ASSERT_TRUE(link.Parse(error) && link.Connect(error)) << error;
    EXPECT_EQ(link.Exec("SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()").Value(), "t");

    const std::string name = "(dbname=postgres host=db2.line port=" + std::to_string(port) +
                             " user=vantix): ";
    const std::pair<std::string, std::string> refused[] = {
        {Url("db2.line", ca),
         "cannot connect to the station database " + name +
             "the server's certificate does not name host db2.line"},
        {Url("db2.line", "sslrootcert=" + dir.File("other-ca.crt")),
         "cannot connect to the station database " + name +
             "the server's certificate is not signed by the CA in " + dir.File("other-ca.crt") +
             ", or is outside its dates (expired, or not yet valid by this host's clock)"},
    };
    for (const auto& [database, message] : refused) {
        const CliRun run = RunProgram(Board(database));
        EXPECT_EQ(run.status, kExitUnreachable) << run.err;
        EXPECT_EQ(run.err, "vantix-cli: " + message + "\n");
        EXPECT_EQ(run.err.find(kPassword), std::string::npos);
    }
    // The right CA's certificate, out of its dates.
    port = server.ListenWithTls(dir.File("expired.crt"), dir.File("server.key"));
    const CliRun expired = RunProgram(Board(Url("db1.line", ca)));
    EXPECT_EQ(expired.status, kExitUnreachable) << expired.err;
    EXPECT_NE(expired.err.find("the server's certificate is not signed by the CA in " +
                               dir.File("ca.crt") + ", or is outside its dates (expired, or "
                               "not yet valid by this host's clock)\n"),
              std::string::npos)
        << expired.err;
    EXPECT_FALSE(std::filesystem::exists(trace)) << "the pod was touched";
}

TEST_F(StationDbTls, AServiceFilesHostIsVerifiedAndItsModeCounts) {
    const std::string file = dir.File("pg_service.conf");
    std::ofstream(file) << "# the line's database\n[line]\nhost=db2.line\nhostaddr=127.0.0.1\nport="
                        << port << "\nsslrootcert=" << dir.File("ca.crt")
                        << "\n[weak]\nhost=db2.line\nhostaddr=127.0.0.1\nsslmode=require\nport="
                        << port << "\n";
    setenv("PGSERVICEFILE", file.c_str(), 1);
    const std::string login = std::string(" user=vantix dbname=postgres password=") + kPassword;
    const CliRun refused = RunProgram(Board("service=line" + login));
    const CliRun weak = RunProgram({"station-db", "init", "--station-db", "service=weak" + login});
    unsetenv("PGSERVICEFILE");
    EXPECT_EQ(refused.status, kExitUnreachable) << refused.err;
    EXPECT_NE(refused.err.find("the server's certificate does not name host db2.line\n"),
              std::string::npos)
        << refused.err;
    EXPECT_FALSE(std::filesystem::exists(trace)) << "the pod was touched";
    EXPECT_EQ(weak.status, kExitSuccess) << weak.err;
    EXPECT_NE(weak.err.find("warning: sslmode=require encrypts the link to the station "
                            "database's server db2.line"),
              std::string::npos)
        << weak.err;
}

TEST(StationDbLink, TheServerIsOnTheNetworkWhenAnyAddressOrHostIsElsewhere) {
    const std::pair<LinkSettings, std::string> cases[] = {
        {{"localhost", "10.1.2.3", "", ""}, "10.1.2.3"},
        {{"/run/postgresql", "127.0.0.1,192.168.7.9", "", ""}, "192.168.7.9"},
        {{"127.0.0.1", "", "", ""}, ""},
        {{"db1.line", "127.0.0.1", "", ""}, "db1.line"},
        {{"localhost,::1,127.0.3.4,/tmp", "", "", ""}, ""},
        {{"/tmp,db3.line", "", "", ""}, "db3.line"},
        {{"", "", "", ""}, ""},
    };
    for (const auto& [link, network] : cases) {
        EXPECT_EQ(NetworkHost(link), network) << link.host << " / " << link.hostaddr;
    }
}

TEST(StationDbLink, TheUrlWinsOverItsServiceAndTheServiceOverTheEnvironment) {
    ScratchDir dir;
    std::ofstream(dir.File("services")) << "[other]\nhost=a.line\n  [line]  \nhost=db9.line\n"
                                           "hostaddr=10.0.0.9\n# sslmode=disable\nsslmode=verify-ca\n"
                                           "host=ignored\n[next]\nsslmode=disable\n";
    setenv("PGSERVICEFILE", dir.File("services").c_str(), 1);
    setenv("PGSERVICE", "line", 1);
    setenv("PGSSLROOTCERT", "/ca.crt", 1);
    const LinkSettings fromService = EffectiveLinkSettings({{"hostaddr", "127.0.0.1"}});
    const LinkSettings none = EffectiveLinkSettings({{"service", "absent"}});
    unsetenv("PGSERVICEFILE");
    unsetenv("PGSERVICE");
    unsetenv("PGSSLROOTCERT");
    EXPECT_EQ(fromService.host, "db9.line");
    EXPECT_EQ(fromService.hostaddr, "127.0.0.1");
    EXPECT_EQ(fromService.sslmode, "verify-ca");
    EXPECT_EQ(fromService.sslrootcert, "/ca.crt");
    EXPECT_EQ(none.host, "");
    EXPECT_EQ(none.sslmode, "");
}

TEST_F(StationDbTls, AWeakerModeForANetworkHostIsWarnedOfOnceARun) {
    const std::string ca = "sslrootcert=" + dir.File("ca.crt");
    ASSERT_EQ(RunProgram({"station-db", "init", "--station-db", Url("db1.line", ca)}).status,
              kExitSuccess);
    // Two pods, two connections; the name the certificate lacks goes unchecked.
    std::vector<std::string> gang = Board(Url("db2.line", "sslmode=require"));
    gang.insert(gang.end(), {"--pods", "all"});
    gang[0] = "--sim-pods";
    gang.insert(gang.begin() + 1, "2");
    const CliRun run = RunProgram(gang);
    EXPECT_EQ(run.status, kExitSuccess) << run.err;
    const std::string warning =
        "vantix-cli: warning: sslmode=require encrypts the link to the station database's server "
        "db2.line but does not verify the server; sslmode=verify-full with the line's CA in "
        "sslrootcert does\n";
    const std::size_t first = run.err.find(warning);
    EXPECT_NE(first, std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(warning, first + 1), std::string::npos) << run.err;
    EXPECT_EQ(server.Query("SELECT count(*) FROM vantix.runs"), std::vector<std::string>{"2"});
    // This host is no network host: nothing to warn of.
    const CliRun local = RunProgram(Board(server.Url() + " sslmode=disable"));
    EXPECT_EQ(local.status, kExitSuccess) << local.err;
    EXPECT_EQ(local.err.find("warning"), std::string::npos) << local.err;
}

}  // namespace
