#pragma once

#include <string>
#include <vector>

#include "stationdb/PgConnection.h"

// A throw-away PostgreSQL server from the system's package, in a folder of its own under
// /tmp, listening on a Unix socket there and on no port, with no password (trust). The
// server refuses to run as root, so under root it runs as "nobody". Stopped and removed
// when the object goes.
class TestPostgres {
public:
    // Creates the cluster and starts the server; a test that cannot have one fails.
    TestPostgres();
    ~TestPostgres();
    TestPostgres(const TestPostgres&) = delete;
    TestPostgres& operator=(const TestPostgres&) = delete;

    // "host=/tmp/vantix-pg-XXXXXX user=vantix dbname=postgres"
    std::string Url() const;
    // Starts the server again, listening on 127.0.0.1 too, with TLS: the certificate and its
    // key are copied to the server's folder, as the server wants them. The port it listens on.
    int ListenWithTls(const std::string& certificate, const std::string& key);
    // Stops the server at once, as a crash would; Start brings it back.
    void Stop();
    void Start();
    // The rows of a query with its values apart, each row's columns joined by tabs; a
    // query that fails fails the test.
    std::vector<std::string> Query(const char* sql, const std::vector<std::string>& values = {}) const;

    // One statement as `login`, whose reply the test judges (a permission error, say).
    PgReply ExecAs(const std::string& login, const char* sql,
                   const std::vector<std::string>& values = {}) const;
    // Runs a file of statements, each ending with ";" at the end of a line, as the owner.
    void RunFile(const std::string& path) const;

private:
    // Runs a program of the server's package as the server's user; its exit status.
    int RunAsServer(const std::string& program, const std::string& arguments) const;

    std::string folder_;
    std::string binaries_;
    int port_ = 0;               // 0: the default, on the Unix socket alone
    std::string serverOptions_;  // what Start adds to the server's command line
};
