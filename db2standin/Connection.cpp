#include "Connection.h"

#include "CatalogSetup.h"
#include "CodePages.h"

#include <odbcinst.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>

namespace db2standin {

namespace {

std::string lowerAscii(std::string s)
{
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Text between the first pair of double quotes of a PostgreSQL message.
std::string firstQuoted(const std::string& msg)
{
    size_t a = msg.find('"');
    if (a == std::string::npos)
        return "";
    size_t b = msg.find('"', a + 1);
    return b == std::string::npos ? "" : msg.substr(a + 1, b - a - 1);
}

Diag connectError(const std::string& message, const std::string& host, const std::string& database)
{
    if (message.find("password authentication failed") != std::string::npos
        || message.find("no password supplied") != std::string::npos
        || (message.find("role \"") != std::string::npos && message.find("does not exist") != std::string::npos)
        || message.find("not permitted to log in") != std::string::npos)
        return serverError(
            "08001", -30082,
            "SQL30082N  Security processing failed with reason \"24\" (\"USERNAME AND/OR PASSWORD INVALID\").");
    if (message.find("could not translate host name") != std::string::npos)
        return clientError("08001", -1336, "SQL1336N  The remote host \"" + host + "\" was not found.  SQLSTATE=08001");
    if (message.find("database \"") != std::string::npos && message.find("does not exist") != std::string::npos)
        return serverError("08004", -30061,
                           "SQL30061N  The database alias or database name \"" + upperAscii(database)
                               + "\" was not found at the remote node.");
    const auto communicationError = [&](const char* protocol, const char* function, const std::string& code) {
        return clientError("08001", -30081,
                           std::string("SQL30081N  A communication error has been detected. Communication protocol "
                                       "being used: \"")
                               + protocol
                               + "\".  Communication API being used: \"SOCKETS\".  Location where the error was "
                                 "detected: \""
                               + host + "\".  Communication function detecting the error: \"" + function
                               + "\".  Protocol specific error code(s): \"" + code + "\", \"*\", \"*\".  SQLSTATE=08001");
    };
    // Over SSL the handshake's failures, as IBM's GSKit numbers them: 414 a
    // certificate not signed by a trusted CA (or no CA to check it with).
    if (message.find("certificate") != std::string::npos)
        return communicationError("SSL", "sqlccSSLSocketSetup", "414");
    if (message.find("does not support SSL") != std::string::npos)
        return communicationError("SSL", "sqlccSSLSocketSetup", "420");
    std::string code = message.find("refused") != std::string::npos ? "111"
        : message.find("timeout") != std::string::npos              ? "110"
                                                                    : "*";
    return communicationError("TCP/IP", "connect", code);
}

// A keyword of db2cli.ini (in the folder DB2CLIINIPATH names, or the file
// itself): the database's own section wins over [COMMON]; "" when neither says.
std::string cliIniValue(const std::string& database, const std::string& keyword)
{
    const char* path = std::getenv("DB2CLIINIPATH");
    if (!path || !*path)
        return "";
    std::string file = path;
    if (file.size() < 4 || upperAscii(file.substr(file.size() - 4)) != ".INI")
        file += "/db2cli.ini";
    std::ifstream in(file);
    std::string line, section, common, own;
    while (std::getline(in, line)) {
        line = trimBlanks(line);
        if (line.empty() || line[0] == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            section = upperAscii(trimBlanks(line.substr(1, line.size() - 2)));
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos || upperAscii(trimBlanks(line.substr(0, eq))) != upperAscii(keyword))
            continue;
        if (section == "COMMON")
            common = trimBlanks(line.substr(eq + 1));
        else if (section == upperAscii(database))
            own = trimBlanks(line.substr(eq + 1));
    }
    return own.empty() ? common : own;
}

}  // namespace

bool resultFailed(const PGresult* result)
{
    if (!result)
        return true;
    const auto status = PQresultStatus(result);
    return status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_COPY_IN;
}

std::string errorField(const PGresult* result, int code)
{
    const char* value = PQresultErrorField(result, code);
    return value ? value : "";
}

Conn::~Conn() { disconnect(); }

void Conn::disconnect()
{
    {
        const std::lock_guard<std::mutex> lock(cancelMutex);
        if (cancel)
            PQfreeCancel(cancel);
        cancel = nullptr;
    }
    if (pg)
        PQfinish(pg);
    pg = nullptr;
    txnOpen = false;
    openCursors = 0;
}

SQLRETURN Conn::connect(const std::string& connectionText)
{
    std::unordered_map<std::string, std::string> settings;
    size_t at = 0;
    while (at < connectionText.size()) {
        size_t end = connectionText.find(';', at);
        std::string part = connectionText.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? connectionText.size() : end + 1;
        size_t equals = part.find('=');
        if (equals == std::string::npos)
            continue;
        settings[upperAscii(trimBlanks(part.substr(0, equals)))] = part.substr(equals + 1);
    }
    if (settings.count("DSN") && !trimBlanks(settings["DSN"]).empty()) {
        // Values a DSN holds that the connection text does not override.
        std::string dsn = trimBlanks(settings["DSN"]);
        for (const char* key : {"Database", "Hostname", "Port", "Protocol", "Uid", "Pwd"}) {
            std::string name = upperAscii(key);
            if (settings.count(name))
                continue;
            char value[512] = {0};
            if (SQLGetPrivateProfileString(dsn.c_str(), key, "", value, sizeof value, "odbc.ini") > 0)
                settings[name] = value;
        }
    }
    auto setting = [&](const char* k, const char* alt = nullptr) {
        if (settings.count(k))
            return settings[k];
        if (alt && settings.count(alt))
            return settings[alt];
        return std::string();
    };
    database = trimBlanks(setting("DATABASE", "DBALIAS"));
    host = trimBlanks(setting("HOSTNAME", "HOST"));
    port = trimBlanks(setting("PORT", "SERVICENAME"));
    user = trimBlanks(setting("UID", "USER"));
    std::string password = trimBlanks(setting("PWD", "PASSWORD"));
    std::string protocol = upperAscii(trimBlanks(setting("PROTOCOL")));
    if (protocol.empty())
        protocol = "TCPIP";
    if (protocol != "TCPIP" && protocol != "TCPIP4" && protocol != "TCPIP6")
        return fail(clientError("08001", -1013,
                                "SQL1013N  The database alias name or database name \"" + upperAscii(database)
                                    + "\" could not be found.  SQLSTATE=42705"));
    if (database.empty() || host.empty() || port.empty())
        return fail(clientError("08001", -1013,
                                "SQL1013N  The database alias name or database name \"" + upperAscii(database)
                                    + "\" could not be found.  SQLSTATE=42705"));
    // Security=SSL: TLS, the server's certificate checked against the file
    // SSLServerCertificate names (or the client's default trust store); never
    // a plain connection instead.
    const bool ssl = upperAscii(trimBlanks(setting("SECURITY"))) == "SSL";
    const std::string serverCertificate = trimBlanks(setting("SSLSERVERCERTIFICATE"));
    std::string timeout = std::to_string(loginTimeout ? loginTimeout : 30);
    std::string dbname = lowerAscii(database);
    const char* keys[] = {"host",
                          "port",
                          "dbname",
                          "user",
                          "password",
                          "connect_timeout",
                          "client_encoding",
                          "sslmode",
                          "application_name",
                          "gssencmode",
                          ssl && !serverCertificate.empty() ? "sslrootcert" : nullptr,
                          nullptr};
    const char* values[] = {host.c_str(),
                            port.c_str(),
                            dbname.c_str(),
                            user.c_str(),
                            password.c_str(),
                            timeout.c_str(),
                            "UTF8",
                            ssl ? "verify-ca" : "disable",
                            "db2standin",
                            "disable",
                            serverCertificate.c_str(),
                            nullptr};
    pg = PQconnectdbParams(keys, values, 0);
    if (PQstatus(pg) != CONNECTION_OK) {
        Diag d = connectError(PQerrorMessage(pg), host, database);
        PQfinish(pg);
        pg = nullptr;
        return fail(d);
    }
    {
        const std::lock_guard<std::mutex> lock(cancelMutex);
        cancel = PQgetCancel(pg);
    }
    PQsetNoticeProcessor(
        pg, [](void*, const char*) {}, nullptr);  // server notices are not diagnostics
    schema = upperAscii(user);
    // CurrentSchema: SET CURRENT SCHEMA right after connecting. The value is
    // read as a name in a statement: folded to upper case unless quoted.
    const std::string currentSchema = trimBlanks(setting("CURRENTSCHEMA"));
    if (currentSchema.size() >= 2 && currentSchema.front() == '"' && currentSchema.back() == '"')
        schema = currentSchema.substr(1, currentSchema.size() - 2);
    else if (!currentSchema.empty())
        schema = upperAscii(currentSchema);
    const bool ownSchema = currentSchema.empty();
    // The page size of the database's one table space (a database created without options has 4K).
    tablePageSize = 4096;
    if (const char* page = std::getenv("DB2STANDIN_PAGE_SIZE"); page && *page) {
        char* end = nullptr;
        long bytes = std::strtol(page, &end, 10);
        if (end && (*end == 'K' || *end == 'k'))
            bytes *= 1024;
        if (bytes >= 512)
            tablePageSize = bytes;
    }
    // The database code page: 1208 (UTF-8) unless DB2STANDIN_DATABASE_CODEPAGE names another.
    databaseCodePage = 1208;
    if (const char* codePage = std::getenv("DB2STANDIN_DATABASE_CODEPAGE"); codePage && *codePage) {
        char* end = nullptr;
        databaseCodePage = std::strtol(codePage, &end, 10);
        if (end && *end)
            databaseCodePage = 0;  // not a number: not Unicode either
    }
    // extended_row_sz: ENABLE, as in a database created by 10.5 or later, unless set to DISABLE.
    extendedRowSz = true;
    if (const char* extended = std::getenv("DB2STANDIN_EXTENDED_ROW_SZ"); extended && *extended)
        extendedRowSz = upperAscii(extended) != "DISABLE";
    logRowsLimit = 0;
    if (const char* logRows = std::getenv("DB2STANDIN_LOG_ROWS"); logRows && *logRows)
        logRowsLimit = std::max(0LL, std::atoll(logRows));
    failInsert.reset();
    rowsInserted = 0;
    if (const char* fail = std::getenv("DB2STANDIN_FAIL_INSERT"); fail && *fail) {
        const std::string text = fail;
        const size_t first = text.find(','), second = text.find(',', first == std::string::npos ? 0 : first + 1);
        if (first != std::string::npos && second != std::string::npos)
            failInsert = InjectedFailure {text.substr(0, first), std::atol(text.c_str() + first + 1),
                                          std::max(0LL, std::atoll(text.c_str() + second + 1))};
    }
    loseCommitAfter.clear();
    loseBeforeCommit = false;
    if (const char* lose = std::getenv("DB2STANDIN_LOSE_COMMIT"); lose && *lose) {
        const std::string words = upperAscii(lose);
        loseCommitAfter = words.substr(0, words.find(' '));
        loseBeforeCommit = words == loseCommitAfter + " BEFORE";
    }
    unitInserted = unitRenamed = false;
    endResultsAfter = 0;
    if (const char* end = std::getenv("DB2STANDIN_END_RESULTS_AFTER"); end && *end)
        endResultsAfter = std::max(0LL, std::atoll(end));
    std::string setup = CatalogSetupSql() + "SET db2standin.page_size TO '" + std::to_string(tablePageSize)
        + "'; SET db2standin.database_codepage TO '" + std::to_string(databaseCodePage)
        + "'; SET db2standin.extended_row_sz TO '" + (extendedRowSz ? "ENABLE" : "DISABLE") + "';"
        // The login's own schema is there from the start; one set with SET
        // SCHEMA is not checked and comes with the first table made in it.
        + (ownSchema ? "DO $$BEGIN IF NOT EXISTS (SELECT 1 FROM pg_namespace WHERE nspname = " + quoteLiteral(schema)
                           + ") THEN CREATE SCHEMA " + quoteIdent(schema)
                           + "; END IF; EXCEPTION WHEN duplicate_schema OR unique_violation THEN NULL; END$$;"
                     : std::string())
        + "SET search_path TO "
        + quoteIdent(schema) + "; " + SetCurrentSchemaSql(schema)
        + "; SET DateStyle TO ISO, MDY; SET extra_float_digits TO 1; SET IntervalStyle TO sql_standard;";
    PGresult* r = PQexec(pg, setup.c_str());
    if (resultFailed(r)) {
        Diag d = serverError(
            "58004", -901,
            std::string("SQL0901N  The SQL statement or command failed because of a database system error. (Reason \"")
                + PQresultErrorMessage(r) + "\".)");
        PQclear(r);
        disconnect();
        return fail(d);
    }
    PQclear(r);
    connString = connectionText;
    longDataCompat = trimBlanks(setting("LONGDATACOMPAT")) == "1";
    // TxnIsolation 8 is repeatable read: a query's table locks last until the unit of work ends.
    std::string isolation = trimBlanks(setting("TXNISOLATION"));
    if (isolation.empty())
        isolation = cliIniValue(database, "TxnIsolation");
    repeatableRead = isolation == "8";
    appCodeset = applicationCodeset(decimalPoint);
    return SQL_SUCCESS;
}

PGresult* Conn::exec(const std::string& sql) { return PQexec(pg, sql.c_str()); }

bool Conn::beginIfNeeded(Diag& err)
{
    if (autocommit || txnOpen)
        return true;
    PGresult* r = exec("BEGIN");
    bool ok = !resultFailed(r);
    if (!ok)
        err = mapError(r, nullptr);
    PQclear(r);
    txnOpen = ok;
    return ok;
}

PGresult* Conn::run(const std::string& sql, const std::vector<const char*>& values, Diag& err,
                    const Translated* context)
{
    if (!beginIfNeeded(err))
        return nullptr;
    bool ownSavepoint = txnOpen;
    if (ownSavepoint)
        PQclear(exec("SAVEPOINT db2stmt"));
    PGresult* result = values.empty()
        ? PQexec(pg, sql.c_str())
        : PQexecParams(pg, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr, nullptr, 0);
    if (resultFailed(result)) {
        err = mapError(result, context);
        // A deadlock or a lock timeout (SQL0911N) rolls back the whole unit of work.
        bool wholeUnitOfWork
            = errorField(result, PG_DIAG_SQLSTATE) == "40P01" || errorField(result, PG_DIAG_SQLSTATE) == "55P03";
        PQclear(result);
        if (ownSavepoint) {
            if (wholeUnitOfWork) {
                PQclear(exec("ROLLBACK"));
                txnOpen = false;
                openCursors = 0;
                restoreLockTimeout();
            } else {
                PQclear(exec("ROLLBACK TO SAVEPOINT db2stmt; RELEASE SAVEPOINT db2stmt"));
            }
        }
        return nullptr;
    }
    if (ownSavepoint)
        PQclear(exec("RELEASE SAVEPOINT db2stmt"));
    return result;
}

SQLRETURN Conn::endTran(bool commit)
{
    if (!pg)
        return fail(clientError("08003", -99999, "CLI0106E  Connection is closed. SQLSTATE=08003"));
    if (!txnOpen)
        return SQL_SUCCESS;
    const bool lose
        = commit && ((loseCommitAfter == "INSERT" && unitInserted) || (loseCommitAfter == "RENAME" && unitRenamed));
    unitInserted = unitRenamed = false;
    PGresult* r = exec(commit && !(lose && loseBeforeCommit) ? "COMMIT" : "ROLLBACK");
    bool bad = resultFailed(r);
    Diag d;
    if (bad)
        d = mapError(r, nullptr);
    PQclear(r);
    txnOpen = false;
    openCursors = 0;
    if (!commit)
        restoreLockTimeout();
    if (lose && !bad) {
        disconnect();
        return fail(serverError("08001", -30081,
                                "SQL30081N  A communication error has been detected. Communication protocol being "
                                "used: \"TCP/IP\".  Location where the error was detected: \"127.0.0.1\".  "
                                "Communication function detecting the error: \"recv\".  Protocol specific error "
                                "code(s): \"104\", \"*\", \"0\".  SQLSTATE=08001"));
    }
    return bad ? fail(d) : SQL_SUCCESS;
}

void Conn::restoreLockTimeout()
{
    if (lockTimeout != "DEFAULT")
        PQclear(exec("SET lock_timeout = " + lockTimeout));
}

void Conn::cursorClosed()
{
    if (openCursors > 0)
        --openCursors;
    if (autocommit && openCursors == 0 && txnOpen) {
        PQclear(exec("COMMIT"));
        txnOpen = false;
    }
}

std::optional<std::vector<ColumnInfo>> Conn::columns(const std::string& tableSchema, const std::string& table)
{
    std::string name = quoteIdent(tableSchema) + "." + quoteIdent(table);
    const char* values[] = {name.c_str()};
    PGresult* result
        = PQexecParams(pg,
                       "SELECT a.attname, a.atttypid, a.atttypmod, t.typname, n.nspname, a.attnotnull, "
                       "a.attidentity = 'a' OR a.attgenerated <> '' OR EXISTS (SELECT 1 FROM pg_trigger g"
                       " WHERE g.tgrelid = a.attrelid AND g.tgname = 'db2standin_row_change_timestamp'"
                       " AND encode(g.tgargs, 'escape') = a.attname || '\\000A\\000') "
                       "FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid "
                       "JOIN pg_namespace n ON n.oid = t.typnamespace "
                       "WHERE a.attrelid = to_regclass($1) AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum",
                       1, nullptr, values, nullptr, nullptr, 0);
    std::optional<std::vector<ColumnInfo>> found;
    if (!resultFailed(result) && PQntuples(result) > 0) {
        found.emplace();
        for (int i = 0; i < PQntuples(result); ++i) {
            ColumnInfo column;
            column.name = PQgetvalue(result, i, 0);
            unsigned oid = static_cast<unsigned>(std::strtoul(PQgetvalue(result, i, 1), nullptr, 10));
            int typmod = std::atoi(PQgetvalue(result, i, 2));
            if (std::string(PQgetvalue(result, i, 4)) == "db2standin") {
                auto domainType = typeFromDomain(PQgetvalue(result, i, 3));
                column.type = domainType ? *domainType : typeFromPg(oid, typmod);
            } else {
                column.type = typeFromPg(oid, typmod);
            }
            column.notNull = PQgetvalue(result, i, 5)[0] == 't';
            column.generatedAlways = PQgetvalue(result, i, 6)[0] == 't';
            found->push_back(column);
        }
    }
    PQclear(result);
    return found;
}

TypeDesc Conn::resolveType(unsigned oid, int typmod)
{
    if (oid < 16384)
        return typeFromPg(oid, typmod);
    auto it = typeCache.find(oid);
    if (it != typeCache.end())
        return it->second;
    std::string oidText = std::to_string(oid);
    const char* values[] = {oidText.c_str()};
    PGresult* result = PQexecParams(pg,
                                    "SELECT t.typname, n.nspname, t.typbasetype, t.typtypmod FROM pg_type t "
                                    "JOIN pg_namespace n ON n.oid = t.typnamespace WHERE t.oid = $1::oid",
                                    1, nullptr, values, nullptr, nullptr, 0);
    TypeDesc type = typeFromPg(0, -1);
    if (!resultFailed(result) && PQntuples(result) == 1) {
        std::optional<TypeDesc> domainType;
        if (std::string(PQgetvalue(result, 0, 1)) == "db2standin")
            domainType = typeFromDomain(PQgetvalue(result, 0, 0));
        if (domainType)
            type = *domainType;
        else {
            unsigned base = static_cast<unsigned>(std::strtoul(PQgetvalue(result, 0, 2), nullptr, 10));
            if (base)
                type = typeFromPg(base, std::atoi(PQgetvalue(result, 0, 3)));
        }
    }
    PQclear(result);
    typeCache[oid] = type;
    return type;
}

Diag Conn::mapError(const PGresult* res, const Translated* ctx)
{
    if (!res)
        return serverError("08S01", -30081,
                           std::string("SQL30081N  A communication error has been detected. (") + PQerrorMessage(pg)
                               + ")");
    std::string st = errorField(res, PG_DIAG_SQLSTATE);
    std::string msg = errorField(res, PG_DIAG_MESSAGE_PRIMARY);
    // The session ended under an established connection (the server ended it,
    // or the network went): DB2 gives SQL30081N with SQLSTATE 40003, the
    // statement's completion unknown, whatever the statement was doing.
    if (PQstatus(pg) == CONNECTION_BAD || st == "57P01" || st == "57P02")
        return clientError("40003", -30081,
                           "SQL30081N  A communication error has been detected. Communication protocol being used: "
                           "\"TCP/IP\".  Communication API being used: \"SOCKETS\".  Location where the error was "
                           "detected: \""
                               + host
                               + "\".  Communication function detecting the error: \"recv\".  Protocol specific "
                                 "error code(s): \"104\", \"*\", \"0\".  SQLSTATE=08001");
    if (st.empty()) {
        return clientError("08S01", -30081,
                           std::string("SQL30081N  A communication error has been detected.  ") + PQerrorMessage(pg));
    }
    if (errorField(res, PG_DIAG_MESSAGE_DETAIL) == kSignalDetail)
        return serverError(st, -438,
                           "SQL0438N  Application raised error or warning with diagnostic text: \"" + msg + "\".");
    std::string name = firstQuoted(msg);
    auto qualify = [&](const std::string& n) { return n.find('.') == std::string::npos ? schema + "." + n : n; };
    bool drop = ctx && ctx->kind == Translated::DropTable;
    bool rename = ctx && ctx->kind == Translated::Rename;
    // A table of a schema that does not exist (3F000) is an undefined name as well.
    if (st == "42P01" || st == "3F000") {
        std::string n = (drop || rename) || (st == "3F000" && ctx && !ctx->name.empty())
            ? ctx->schema + "." + ctx->name
            : qualify(name);
        return serverError(rename ? "42704" : "42S02", -204, "SQL0204N  \"" + n + "\" is an undefined name.");
    }
    if (st == "42P07" || st == "42710" || st == "42P06") {
        std::string n = rename          ? ctx->schema + "." + ctx->newName
            : ctx && !ctx->name.empty() ? ctx->schema + "." + ctx->name
                                        : name;
        std::string state = (ctx && ctx->kind == Translated::Ddl) ? "42S01" : "42710";
        return serverError(state, -601,
                           "SQL0601N  The name of the object to be created is identical to the existing name \"" + n
                               + "\" of type \"" + (ctx && ctx->kind == Translated::CreateAlias ? "ALIAS" : "TABLE")
                               + "\".");
    }
    if (st == "428C9")  // an UPDATE of a column the table computes
        return generatedAlwaysError(name);
    if (st == "42704")
        return serverError("42704", -204, "SQL0204N  \"" + upperAscii(name) + "\" is an undefined name.");
    if (st == "42703")
        return serverError("42S22", -206, "SQL0206N  \"" + name + "\" is not valid in the context where it is used.");
    if (st == "22001" || (st == "23514" && msg.find("value for domain") != std::string::npos))
        return serverError("22001", -433, "SQL0433N  Value \"" + std::string("...") + "\" is too long.");
    if (st == "23514")
        return serverError(
            "23513", -545,
            "SQL0545N  The requested operation is not allowed because a row does not satisfy the check constraint \""
                + errorField(res, PG_DIAG_CONSTRAINT_NAME) + "\".");
    if (st == "23505")
        return serverError(
            "23505", -803,
            "SQL0803N  One or more values in the INSERT statement, UPDATE statement, or foreign key update "
            "caused by a DELETE statement are not valid because the primary key, unique constraint or unique "
            "index identified by \"1\" constrains table \""
                + errorField(res, PG_DIAG_SCHEMA_NAME) + "." + errorField(res, PG_DIAG_TABLE_NAME)
                + "\" from having duplicate values for the index key.");
    if (st == "23502")
        return serverError("23502", -407,
                           "SQL0407N  Assignment of a NULL value to a NOT NULL column \""
                               + errorField(res, PG_DIAG_COLUMN_NAME) + "\" is not allowed.");
    if (st == "23503")
        return serverError("23503", -530,
                           "SQL0530N  The INSERT or UPDATE value of the FOREIGN KEY \""
                               + errorField(res, PG_DIAG_CONSTRAINT_NAME)
                               + "\" is not equal to any value of the parent key of the parent table.");
    if (st == "22P02" || st == "22007" || st == "22008") {
        bool datetime = msg.find("date") != std::string::npos || msg.find("time") != std::string::npos;
        if (st == "22008")
            return serverError("22008", -181,
                               "SQL0181N  The string representation of a datetime value is out of range.");
        if (datetime)
            return serverError("22007", -180,
                               "SQL0180N  The syntax of the string representation of a datetime value is incorrect.");
        return serverError(
            "22018", -420,
            "SQL0420N  Invalid character found in a character string argument of the function \""
                + upperAscii(msg.substr(msg.find("type ") == std::string::npos ? 0 : msg.find("type ") + 5,
                                        msg.find(':') == std::string::npos ? 0 : msg.find(':') - msg.find("type ") - 5))
                + "\".");
    }
    if (st == "22003")
        return serverError("22003", -413, "SQL0413N  Overflow occurred during numeric data type conversion.");
    if (st == "22012")
        return serverError("22012", -801, "SQL0801N  Division by zero was attempted.");
    if (st == "42601" || st == "42P18" || st == "42P10")
        return serverError("42601", -104,
                           "SQL0104N  An unexpected token \"" + name
                               + "\" was found following \"\".  Expected tokens may include:  \"\".");
    if (st == "42804" || st == "42846")
        return serverError(
            "42821", -408,
            "SQL0408N  A value is not compatible with the data type of its assignment target. Target name is \""
                + errorField(res, PG_DIAG_COLUMN_NAME) + "\".");
    if (st == "42883")
        return serverError("42884", -440,
                           "SQL0440N  No authorized routine named \"" + upperAscii(name.substr(0, name.find('(')))
                               + "\" of type \"FUNCTION\" having compatible arguments was found.");
    if (st == "42501")
        return serverError("42501", -551,
                           "SQL0551N  The statement failed because the authorization ID does not have the required "
                           "authorization or privilege to perform the operation.  Authorization ID: \""
                               + upperAscii(user) + "\".");
    if (st == "40P01")
        return serverError("40001", -911,
                           "SQL0911N  The current transaction has been rolled back because of a deadlock or timeout.  "
                           "Reason code \"2\".");
    if (st == "55P03")
        return serverError("40001", -911,
                           "SQL0911N  The current transaction has been rolled back because of a deadlock or timeout.  "
                           "Reason code \"68\".");
    if (st == "57014")
        return serverError("57014", -952, "SQL0952N  Processing was cancelled due to an interrupt.");
    if (st == "51024")
        return serverError("51024", -575,
                           "SQL0575N  View or materialized query table \"" + msg
                               + "\" cannot be used because it has been marked inoperative.");
    if (st == "42986")
        return serverError("42986", -750, "SQL0750N  The statement failed because the table or column cannot be renamed.");
    if (st == "2BP01")
        return serverError(
            "42893", -478,
            "SQL0478N  The statement failed because one or more dependencies exist on the target object.");
    if (st == "22021" || st == "22P05")
        return serverError("22021", -302,
                           "SQL0302N  The value of a host variable in the EXECUTE or OPEN statement is out of range "
                           "for its corresponding use.");
    return serverError(st, -901,
                       "SQL0901N  The SQL statement or command failed because of a database system error. (Reason \""
                           + msg + "\".)");
}

}  // namespace db2standin
