#include "TestPostgres.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "stationdb/PgConnection.h"

namespace {

// The server's programs: /usr/lib/postgresql/VERSION/bin, the newest version installed.
std::string ServerBinaries() {
    std::string newest;
    int newestVersion = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
        const int version = std::atoi(entry.path().filename().c_str());
        if (version > newestVersion && std::filesystem::exists(entry.path() / "bin" / "initdb")) {
            newestVersion = version;
            newest = (entry.path() / "bin").string();
        }
    }
    return newest;
}

}  // namespace

TestPostgres::TestPostgres() : binaries_(ServerBinaries()) {
    char folder[] = "/tmp/vantix-pg-XXXXXX";
    if (binaries_.empty() || mkdtemp(folder) == nullptr) {
        ADD_FAILURE() << "no PostgreSQL server under /usr/lib/postgresql (package postgresql)";
        return;
    }
    folder_ = folder;
    // The server's user must own its folder; /tmp lets everyone through to it.
    std::filesystem::permissions(folder_, std::filesystem::perms(0755));
    if (geteuid() == 0 && std::system(("chown nobody " + folder_).c_str()) != 0) {
        ADD_FAILURE() << "cannot give " << folder_ << " to nobody";
    }
    if (RunAsServer("initdb", "-D " + folder_ + "/data -A trust -U vantix -E UTF8 "
                              "--locale=C --no-sync") != 0) {
        ADD_FAILURE() << "initdb failed";
        return;
    }
    Start();
}

TestPostgres::~TestPostgres() {
    if (!folder_.empty()) {
        Stop();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

std::string TestPostgres::Url() const {
    return "host=" + folder_ + (port_ != 0 ? " port=" + std::to_string(port_) : "") +
           " user=vantix dbname=postgres";
}

int TestPostgres::ListenWithTls(const std::string& certificate, const std::string& key) {
    Stop();
    for (const auto& [from, to] : {std::pair{certificate, "server.crt"}, {key, "server.key"}}) {
        const std::string copy = folder_ + "/" + to;
        std::filesystem::copy_file(from, copy, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(copy, std::filesystem::perms(0600));
        if (geteuid() == 0 && std::system(("chown nobody " + copy).c_str()) != 0) {
            ADD_FAILURE() << "cannot give " << copy << " to nobody";
        }
    }
    // A port the system has just handed out is free for the server, but for a rare race.
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    close(probe);
    port_ = ntohs(address.sin_port);
    serverOptions_ = " -p " + std::to_string(port_) + " -c listen_addresses=127.0.0.1 -c ssl=on"
                     " -c ssl_cert_file=" + folder_ + "/server.crt -c ssl_key_file=" + folder_ +
                     "/server.key";
    Start();
    return port_;
}

void TestPostgres::Start() {
    ASSERT_EQ(RunAsServer("pg_ctl", "-D " + folder_ + "/data -l " + folder_ +
                                        "/log -w -o \"-k " + folder_ +
                                        " -c listen_addresses='' -c fsync=off" +
                                        serverOptions_ + "\" start"),
              0)
        << "the server did not start; see " << folder_ << "/log";
}

void TestPostgres::Stop() {
    RunAsServer("pg_ctl", "-D " + folder_ + "/data -m immediate -w stop");
}

int TestPostgres::RunAsServer(const std::string& program, const std::string& arguments) const {
    const std::string command = (geteuid() == 0 ? "runuser -u nobody -- " : "") + binaries_ +
                                "/" + program + " " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str());
}

std::vector<std::string> TestPostgres::Query(const char* sql,
                                             const std::vector<std::string>& values) const {
    PgConnection db(Url());
    std::string error;
    std::vector<std::string> rows;
    if (!db.Parse(error) || !db.Connect(error)) {
        ADD_FAILURE() << error;
        return rows;
    }
    const PgReply reply = db.Exec(sql, {values.begin(), values.end()});
    EXPECT_TRUE(reply.Done()) << sql << ": " << reply.error;
    for (const auto& row : reply.rows) {
        std::string text;
        for (const auto& value : row) {
            text += (text.empty() ? "" : "\t") + value.value_or("NULL");
        }
        rows.push_back(text);
    }
    return rows;
}

PgReply TestPostgres::ExecAs(const std::string& login, const char* sql,
                             const std::vector<std::string>& values) const {
    PgConnection db(Url() + " user=" + login);
    std::string error;
    if (!db.Parse(error) || !db.Connect(error)) {
        ADD_FAILURE() << login << ": " << error;
        return {};
    }
    return db.Exec(sql, {values.begin(), values.end()});
}

void TestPostgres::RunFile(const std::string& path) const {
    std::ifstream file(path);
    ASSERT_TRUE(file) << path;
    std::stringstream text;
    text << file.rdbuf();
    std::string statement;
    for (std::string line; std::getline(text, line);) {
        if (line.rfind("--", 0) == 0) {
            continue;
        }
        statement += line + "\n";
        if (!line.empty() && line.back() == ';') {
            Query(statement.c_str());
            statement.clear();
        }
    }
}
