#include "MySQLClientSession.h"

#include <mysql.h>
#include <sys/socket.h>

#include <utility>

namespace {

// The library's own errors (20xx) carry the generic state; a lost link says so.
DbError clientError(unsigned int code, const char* state, const char* message)
{
    constexpr unsigned int kServerGone = 2006, kServerLost = 2013;
    std::string sqlState = state && *state && std::string(state) != "00000" ? state : "HY000";
    if ((code == kServerGone || code == kServerLost) && sqlState == "HY000")
        sqlState = "08S01";
    return DbError(sqlState, static_cast<long>(code), message && *message ? message : "MySQL client error");
}

void setTimeout(MYSQL* mysql, mysql_option option, int seconds)
{
    if (seconds <= 0)
        return;
    const unsigned int value = static_cast<unsigned int>(seconds);
    mysql_optionsv(mysql, option, &value);
}

}  // namespace

MySQLClientSession::MySQLClientSession(const ConnectionProfile& profile, int connectSeconds, int readSeconds)
        : mysql_(mysql_init(nullptr))
{
    if (!mysql_)
        throw DbError("HY001", 0, "The MySQL client library could not set up a session (out of memory)");
    // Text as the ODBC sessions read it: UTF-8, any character.
    mysql_optionsv(mysql_, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    setTimeout(mysql_, MYSQL_OPT_CONNECT_TIMEOUT, connectSeconds);
    setTimeout(mysql_, MYSQL_OPT_READ_TIMEOUT, readSeconds);
    setTimeout(mysql_, MYSQL_OPT_WRITE_TIMEOUT, readSeconds);
    // The session only reads: no server may ask it for a local file.
    const my_bool off = 0;
    mysql_optionsv(mysql_, MYSQL_OPT_LOCAL_INFILE, &off);
    if (profile.encrypted) {
        // As the ODBC text says: the server's certificate checked against
        // the CA given (else the system's), and no plain fallback.
        const my_bool on = 1;
        const std::pair<mysql_option, const std::string*> files[]
            = {{MYSQL_OPT_SSL_CA, &profile.caCertificate},
               {MYSQL_OPT_SSL_CERT, &profile.clientCertificate},
               {MYSQL_OPT_SSL_KEY, &profile.clientKey}};
        for (const auto& [option, file] : files)
            if (!file->empty())
                mysql_optionsv(mysql_, option, file->c_str());
        mysql_optionsv(mysql_, MYSQL_OPT_SSL_ENFORCE, &on);
        mysql_optionsv(mysql_, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &on);
    }
    unsigned int port = 0;
    try {
        port = profile.port.empty() ? 0 : static_cast<unsigned int>(std::stoul(profile.port));
    } catch (const std::exception&) {
        mysql_close(mysql_);
        throw DbError("HY024", 0, "The MySQL port \"" + profile.port + "\" is no number");
    }
    if (!mysql_real_connect(mysql_, profile.server.c_str(), profile.user.c_str(), profile.password.c_str(),
                            profile.database.c_str(), port, nullptr, 0)) {
        DbError failure = error();
        mysql_close(mysql_);
        throw failure;
    }
    if (profile.encrypted && !mysql_get_ssl_cipher(mysql_)) {
        mysql_close(mysql_);
        throw DbError("08001", 0, "The MySQL session is not encrypted although the login asks for TLS");
    }
    socket_ = static_cast<int>(mysql_get_socket(mysql_));
}

MySQLClientSession::~MySQLClientSession() { mysql_close(mysql_); }

void MySQLClientSession::execute(const std::string& sql)
{
    if (mysql_real_query(mysql_, sql.data(), sql.size()) != 0)
        throw error();
    // Statements here return no rows; a result would be let go unread.
    if (MYSQL_RES* result = mysql_store_result(mysql_))
        mysql_free_result(result);
}

std::optional<std::string> MySQLClientSession::firstValue(const std::string& sql)
{
    if (mysql_real_query(mysql_, sql.data(), sql.size()) != 0)
        throw error();
    MYSQL_RES* result = mysql_store_result(mysql_);
    if (!result)
        throw error();
    std::optional<std::string> value;
    MYSQL_ROW row = mysql_fetch_row(result);
    if (row && mysql_num_fields(result) > 0 && row[0])
        value = std::string(row[0], mysql_fetch_lengths(result)[0]);
    mysql_free_result(result);
    return value;
}

unsigned long MySQLClientSession::threadId() const { return mysql_thread_id(mysql_); }

void MySQLClientSession::interrupt() noexcept
{
    if (socket_ >= 0)
        ::shutdown(socket_, SHUT_RDWR);
}

DbError MySQLClientSession::error() const
{
    return clientError(mysql_errno(mysql_), mysql_sqlstate(mysql_), mysql_error(mysql_));
}

DbError MySQLClientSession::error(MYSQL_STMT* statement) const
{
    if (mysql_stmt_errno(statement) == 0)
        return error();
    return clientError(mysql_stmt_errno(statement), mysql_stmt_sqlstate(statement), mysql_stmt_error(statement));
}
