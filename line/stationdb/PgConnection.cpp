#include "stationdb/PgConnection.h"

#include "stationdb/LinkSettings.h"

#include <libpq-fe.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <regex>

#include <poll.h>

namespace {

// The server cancels a statement at the time-out itself; the client waits a little longer,
// so that the server's own word arrives first while it is still answering.
constexpr std::chrono::milliseconds kClientGrace{500};

// A statement that broke the connection, or that a shutting-down server ended.
bool ConnectionClass(const std::string& sqlState) {
    return sqlState.rfind("08", 0) == 0 || sqlState.rfind("57P", 0) == 0;
}

std::string FirstLine(const char* text) {
    std::string line = text != nullptr ? text : "";
    line = line.substr(0, line.find('\n'));
    return line.empty() ? "no reason given" : line;
}

// libpq's reasons for refusing a connection string: only these two name nothing but a key.
bool KeyOnlyReason(const std::string& reason) {
    return reason.rfind("invalid connection option", 0) == 0 ||
           reason.rfind("invalid URI query parameter", 0) == 0;
}

// "statement_timeout=5s" among the server options, in milliseconds; 0 when not set there.
int StatementTimeoutIn(const std::string& options) {
    static const std::regex setting("statement[_-]timeout\\s*=\\s*([0-9]{1,9})\\s*(ms|s|min)?");
    std::smatch match;
    if (!std::regex_search(options, match, setting)) {
        return 0;
    }
    const long value = std::stol(match[1].str());
    const long scale = match[2] == "s" ? 1000 : match[2] == "min" ? 60000 : 1;
    return static_cast<int>(std::min(value * scale, 24L * 3600 * 1000));
}

// "5 s", "1.5 s": without the locale's decimal point.
std::string SecondsText(int ms) {
    std::string text = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
        fraction.erase(fraction.find_last_not_of('0') + 1);
        text += "." + fraction;
    }
    return text + " s";
}

// What a weaker sslmode than verify-full leaves open, for a server on the network.
std::string WeakLinkWarning(const std::string& mode, const std::string& host) {
    const std::string server = "the station database's server " + host;
    const std::string what =
        mode == "disable" ? "sends everything to " + server + " unencrypted"
        : mode == "verify-ca"
            ? "does not check that the certificate of " + server + " names it"
        : mode == "require" ? "encrypts the link to " + server + " but does not verify the server"
                            : "may talk to " + server + " unencrypted and unverified";
    return "vantix-cli: warning: sslmode=" + mode + " " + what +
           "; sslmode=verify-full with the line's CA in sslrootcert does";
}

// One warning about the link a run, however many connections it makes.
std::atomic<bool> linkWarned{false};

}  // namespace

std::optional<std::string> PgReply::Value() const {
    if (rows.empty() || rows.front().empty()) {
        return std::nullopt;
    }
    return rows.front().front();
}

PgConnection::PgConnection(std::string url, WaitNotice notice)
    : url_(std::move(url)), notice_(std::move(notice)) {}

std::string PgConnection::WaitingFor() const {
    return "the station database (" + name_ + ") to answer";
}

PgConnection::~PgConnection() {
    Close();
}

bool PgConnection::Parse(std::string& error) {
    char* reason = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(url_.c_str(), &reason);
    if (parsed == nullptr) {
        const std::string why = FirstLine(reason);
        PQfreemem(reason);
        error = "the station database's URL is neither a libpq connection string "
                "(host=... dbname=...) nor a URI (postgresql://...)" +
                (KeyOnlyReason(why) ? ": " + why : std::string());
        return false;
    }
    std::map<std::string, std::string> given;
    for (const PQconninfoOption* option = parsed; option->keyword != nullptr; ++option) {
        if (option->val != nullptr) {
            given[option->keyword] = option->val;
        }
    }
    PQconninfoFree(parsed);
    password_ = given["password"];
    int seconds = 0;
    const std::string& timeout = given["connect_timeout"];
    std::from_chars(timeout.data(), timeout.data() + timeout.size(), seconds);
    // No time-out at all would let a silent server hang the station; libpq takes 2 s at least.
    connectTimeoutS_ = seconds > 0 ? std::max(seconds, 2) : kDefaultConnectTimeoutS;
    options_ = given["options"];
    if (const int ms = StatementTimeoutIn(options_); ms > 0) {
        statementTimeoutMs_ = ms;
    } else {
        options_ += (options_.empty() ? "" : " ") + std::string("-c statement_timeout=") +
                    std::to_string(kDefaultStatementTimeoutMs);
    }
    for (const char* key : {"dbname", "host", "hostaddr", "port", "user"}) {
        if (!given[key].empty()) {
            name_ += (name_.empty() ? "" : " ") + std::string(key) + "=" + given[key];
        }
    }
    ChooseLinkSecurity(given);
    return true;
}

void PgConnection::ChooseLinkSecurity(const std::map<std::string, std::string>& given) {
    const LinkSettings link = EffectiveLinkSettings(given);
    const std::string networkHost = NetworkHost(link);
    const char* home = std::getenv("HOME");
    rootCert_ = link.sslrootcert;
    if (rootCert_.empty()) {
        rootCert_ = std::string(home != nullptr ? home : "~") + "/.postgresql/root.crt";
    }
    modeNamed_ = !link.sslmode.empty();
    if (networkHost.empty()) {
        return;
    }
    if (!modeNamed_) {
        sslMode_ = "verify-full";
    } else if (link.sslmode != "verify-full" && notice_.say && !linkWarned.exchange(true)) {
        notice_.say(WeakLinkWarning(link.sslmode, networkHost));
    }
}

std::string PgConnection::UnverifiedPeer() const {
    const char* peer = PQhostaddr(connection_);
    const std::string address = peer != nullptr ? peer : "";
    const bool verified = sslMode_ == "verify-full" && PQsslInUse(connection_) != 0;
    if (modeNamed_ || verified || address.empty() || LoopbackAddress(address)) {
        return "";
    }
    return "the server was reached over the network at " + address +
           " without a verified link; name its host (host=) and the line's CA (sslrootcert) "
           "in the URL, or the sslmode meant";
}

std::string PgConnection::CertificateReason(const std::string& reason) const {
    static const std::regex otherName("does not match host name \"([^\"]*)\"");
    static const std::regex noRoot("root certificate file \"([^\"]*)\" does not exist");
    std::smatch match;
    if (reason.find("certificate verify failed") != std::string::npos) {
        // libpq does not say which check failed: a foreign CA and a certificate out of its
        // dates read the same.
        return "the server's certificate is not signed by the CA in " + rootCert_ +
               ", or is outside its dates (expired, or not yet valid by this host's clock)";
    }
    if (std::regex_search(reason, match, otherName)) {
        return "the server's certificate does not name host " + match[1].str();
    }
    if (std::regex_search(reason, match, noRoot)) {
        return "there is no CA to check the server's certificate against: " + match[1].str() +
               " does not exist (sslrootcert names the line's CA)";
    }
    return reason;
}

bool PgConnection::Connect(std::string& error) {
    Close();
    interrupted_ = false;
    const std::string timeout = std::to_string(connectTimeoutS_);
    // The URL's own settings come first and the time-outs after them; the options keep the
    // URL's and add the statement time-out.
    const bool secure = !sslMode_.empty();
    const char* keys[] = {"dbname",    "connect_timeout", "options", "fallback_application_name",
                          secure ? "sslmode" : nullptr, nullptr};
    const char* values[] = {url_.c_str(), timeout.c_str(), options_.c_str(), "vantix-cli",
                            secure ? sslMode_.c_str() : nullptr, nullptr};
    // Begun here and waited for below, so that a slow server is spoken of and Ctrl+C ends
    // the wait.
    connection_ = PQconnectStartParams(keys, values, 1);
    if (connection_ == nullptr) {
        error = "out of memory";
        return false;
    }
    const auto text = [](const char* value) { return std::string(value != nullptr ? value : ""); };
    const bool connected = AwaitConnection(error);
    if (connection_ != nullptr) {
        name_ = "dbname=" + text(PQdb(connection_)) + " host=" + text(PQhost(connection_)) +
                " port=" + text(PQport(connection_)) + " user=" + text(PQuser(connection_));
    }
    if (connected && !(error = UnverifiedPeer()).empty()) {
        // Nothing the settings showed put the server on the network, yet it is there.
        Close();
        return false;
    }
    if (connected) {
        // The server's notices and warnings are not for the station's console.
        PQsetNoticeProcessor(connection_, [](void*, const char*) {}, nullptr);
        return true;
    }
    // libpq's reasons run over several lines, indented with tabs.
    error = std::regex_replace(error, std::regex("\\s*\n\\s*"), " ");
    error = CertificateReason(std::regex_replace(error, std::regex("\\s+$"), ""));
    Close();
    return false;
}

bool PgConnection::AwaitConnection(std::string& error) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(connectTimeoutS_);
    PatientWait patience(notice_, WaitingFor());
    PostgresPollingStatusType state = PGRES_POLLING_WRITING;
    while (PQstatus(connection_) != CONNECTION_BAD && state != PGRES_POLLING_OK &&
           state != PGRES_POLLING_FAILED) {
        if (!patience.GoOn()) {
            interrupted_ = true;
            error = "interrupted while waiting for " + WaitingFor();
            return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            error = "the connect time-out of " + SecondsText(connectTimeoutS_ * 1000) + " ran out";
            return false;
        }
        pollfd socket{PQsocket(connection_),
                      static_cast<short>(state == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        const auto slice = std::min<long long>(left.count(), PatientWait::kRest.count());
        const int ready = poll(&socket, 1, static_cast<int>(slice));
        if (ready > 0) {
            state = PQconnectPoll(connection_);
        } else if (ready < 0 && errno != EINTR) {
            break;
        }
    }
    if (PQstatus(connection_) == CONNECTION_OK) {
        return true;
    }
    error = Scrub(PQerrorMessage(connection_) != nullptr ? PQerrorMessage(connection_) : "");
    return false;
}

bool PgConnection::Connected() const {
    return connection_ != nullptr && PQstatus(connection_) == CONNECTION_OK;
}

PgReply PgConnection::Exec(const char* sql, const std::vector<std::optional<std::string>>& values) {
    interrupted_ = false;
    if (!Connected()) {
        return Failure(PgReply::Kind::Lost, "the connection is closed");
    }
    std::vector<const char*> pointers;
    for (const std::optional<std::string>& value : values) {
        pointers.push_back(value ? value->c_str() : nullptr);
    }
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(statementTimeoutMs_) + kClientGrace;
    if (PQsendQueryParams(connection_, sql, static_cast<int>(pointers.size()), nullptr,
                          pointers.data(), nullptr, nullptr, 0) == 0) {
        return Failure(PgReply::Kind::Lost, FirstLine(PQerrorMessage(connection_)));
    }
    return Await(deadline);
}

PgReply PgConnection::ExecAll(std::span<const char* const> statements) {
    PgReply reply;
    reply.kind = PgReply::Kind::Done;
    for (const char* statement : statements) {
        reply = Exec(statement);
        if (!reply.Done()) {
            break;
        }
    }
    return reply;
}

PgReply PgConnection::Await(std::chrono::steady_clock::time_point deadline) {
    PatientWait patience(notice_, WaitingFor());
    while (PQisBusy(connection_) != 0) {
        if (!patience.GoOn()) {
            // The connection is dropped (a cancel request could wait on the server as long);
            // what became of the statement is unknown.
            interrupted_ = true;
            return Failure(PgReply::Kind::Interrupted,
                           "interrupted while waiting for " + WaitingFor());
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd socket{PQsocket(connection_), POLLIN, 0};
        const auto slice = std::min<long long>(left.count(), PatientWait::kRest.count());
        const int ready = left.count() > 0 ? poll(&socket, 1, static_cast<int>(slice)) : 0;
        if ((ready < 0 && errno == EINTR) || (ready == 0 && left.count() > 0)) {
            continue;
        }
        if (ready == 0) {
            // What the server does with the statement is unknown: the connection is spent.
            return Failure(PgReply::Kind::TimedOut, "");
        }
        if (ready < 0 || PQconsumeInput(connection_) == 0) {
            return Failure(PgReply::Kind::Lost, FirstLine(PQerrorMessage(connection_)));
        }
    }
    return Collect();
}

PgReply PgConnection::Collect() {
    PGresult* result = PQgetResult(connection_);
    if (result == nullptr) {
        return Failure(PgReply::Kind::Lost, FirstLine(PQerrorMessage(connection_)));
    }
    PgReply reply;
    const ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) {
        reply.kind = PgReply::Kind::Done;
        for (int row = 0; row < PQntuples(result); ++row) {
            auto& values = reply.rows.emplace_back();
            for (int column = 0; column < PQnfields(result); ++column) {
                values.push_back(PQgetisnull(result, row, column) != 0
                                     ? std::nullopt
                                     : std::optional<std::string>(PQgetvalue(result, row, column)));
            }
        }
        const char* affected = PQcmdTuples(result);
        std::from_chars(affected, affected + std::char_traits<char>::length(affected),
                        reply.affected);
    } else {
        const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
        reply.sqlState = state != nullptr ? state : "";
        reply.error = Scrub(FirstLine(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)));
        const bool lost = PQstatus(connection_) == CONNECTION_BAD || reply.sqlState.empty() ||
                          ConnectionClass(reply.sqlState);
        reply.kind = reply.sqlState == "57014" ? PgReply::Kind::TimedOut
                     : lost                    ? PgReply::Kind::Lost
                                               : PgReply::Kind::ServerError;
    }
    PQclear(result);
    while ((result = PQgetResult(connection_)) != nullptr) {
        PQclear(result);
    }
    if (reply.kind == PgReply::Kind::Lost || reply.kind == PgReply::Kind::TimedOut) {
        return Failure(reply.kind, reply.error);
    }
    return reply;
}

PgReply PgConnection::Failure(PgReply::Kind kind, std::string error) {
    PgReply reply;
    reply.kind = kind;
    reply.error = kind == PgReply::Kind::TimedOut
                      ? "the statement time-out of " + SecondsText(statementTimeoutMs_) + " ran out"
                      : Scrub(std::move(error));
    Close();
    return reply;
}

void PgConnection::Close() {
    if (connection_ != nullptr) {
        PQfinish(connection_);
        connection_ = nullptr;
    }
}

std::string PgConnection::Scrub(std::string message) const {
    // libpq does not quote passwords; this is the second line of defence.
    if (password_.size() >= 4) {
        for (std::size_t at; (at = message.find(password_)) != std::string::npos;) {
            message.replace(at, password_.size(), "****");
        }
    }
    return message;
}
