#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "station/WaitNotice.h"

struct pg_conn;

// What one statement came back with.
struct PgReply {
    enum class Kind {
        Done,         // the statement ran; rows holds what it returned
        ServerError,  // the server refused it (sqlState says why); the connection is sound
        Lost,         // the connection broke: whether the statement took effect is unknown
        TimedOut,     // no answer within the statement time-out: unknown too
        Interrupted,  // the run was interrupted while it waited: unknown too
    };
    Kind kind = Kind::Lost;
    std::vector<std::vector<std::optional<std::string>>> rows;
    int affected = 0;      // rows an INSERT or UPDATE touched
    std::string sqlState;  // "23505", for a server error
    std::string error;     // one line, without the password

    bool Done() const { return kind == Kind::Done; }
    // The first column of the first row, when there is one and it is not NULL.
    std::optional<std::string> Value() const;
};

// One connection to PostgreSQL through libpq. Every statement goes with its values apart
// from the SQL text (a user's text is never part of a statement), and none waits longer than
// the statement time-out, even for a server that stops answering: the server cancels a
// statement that runs too long, and the client gives up on one the server never answers.
// The connection string or URI may hold a password; no message of this class shows it.
// A server reached over the network (not a Unix socket, not this host) must prove who it is:
// unless the URL (its service file's section, or PGSSLMODE) names another sslmode, the link is encrypted and the server's
// certificate checked against the CA in sslrootcert, host name and all (verify-full).
class PgConnection {
public:
    static constexpr int kDefaultConnectTimeoutS = 5;
    static constexpr int kDefaultStatementTimeoutMs = 5000;

    // While the server is slow to answer, the connection waits as `notice` says: "waiting
    // for the station database (NAME) to answer…" after a second, and no longer once the run
    // is interrupted.
    explicit PgConnection(std::string url, WaitNotice notice = {});
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Reads the URL, a connection string or URI, and the time-outs it sets (connect_timeout;
    // statement_timeout among its server options), and how the link is secured; false with
    // the reason. A weaker sslmode than verify-full named for a network host is said once a
    // run, through the notice.
    bool Parse(std::string& error);
    // Connects (again); false with libpq's reason, or which time-out ran out, or that the
    // run was interrupted (Interrupted() then says so).
    bool Connect(std::string& error);
    // The last Connect or statement ended because the run was interrupted.
    bool Interrupted() const { return interrupted_; }
    bool Connected() const;
    PgReply Exec(const char* sql, const std::vector<std::optional<std::string>>& values = {});
    // Runs the statements in order, up to the first that fails; the last reply.
    PgReply ExecAll(std::span<const char* const> statements);

    // "dbname=line host=/run/postgresql port=5432 user=station": which database, without the
    // password. Once a connection was tried, complete and the same for every spelling of one
    // database (the spool file is named after it).
    const std::string& Name() const { return name_; }
    int StatementTimeoutMs() const { return statementTimeoutMs_; }

private:
    PgReply Await(std::chrono::steady_clock::time_point deadline);
    // Drives a connection begun with PQconnectStartParams to its end; false with the reason.
    bool AwaitConnection(std::string& error);
    // What a wait on the server says once it lasts: "the station database (NAME) to answer".
    std::string WaitingFor() const;
    PgReply Collect();
    // Chooses the sslmode for the hosts the URL, its service or the environment name
    // (`given`: the URL's settings).
    void ChooseLinkSecurity(const std::map<std::string, std::string>& given);
    // Why a connection made must not be used: a server on the network reached without a
    // verified link while no sslmode was named; empty when it may.
    std::string UnverifiedPeer() const;
    // libpq's reason for a refused certificate in this system's words.
    std::string CertificateReason(const std::string& reason) const;
    PgReply Failure(PgReply::Kind kind, std::string error);
    void Close();
    std::string Scrub(std::string message) const;

    std::string url_;
    std::string password_;
    std::string options_;  // the server options, with the statement time-out
    int connectTimeoutS_ = kDefaultConnectTimeoutS;
    int statementTimeoutMs_ = kDefaultStatementTimeoutMs;
    std::string name_;
    std::string sslMode_;   // set when the URL names none and the server is on the network
    bool modeNamed_ = false;  // the URL, its service or PGSSLMODE named an sslmode
    std::string rootCert_;  // the CA a server's certificate is checked against
    pg_conn* connection_ = nullptr;
    WaitNotice notice_;
    bool interrupted_ = false;
};
