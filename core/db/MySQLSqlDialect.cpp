#include "MySQLSqlDialect.h"

#include "DataConnection.h"
#include "MySQLClientSession.h"
#include "ParameterStatement.h"
#include "SqlIdentifiers.h"
#include "TableListing.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <strings.h>

namespace {

// MySQL's metadata locks wait a day by default; the tool's reads lock no row,
// so this bounds how long a statement may wait behind another session's
// ALTER, LOCK TABLES or global read lock before it fails with 1205.
constexpr const char* kLockWaitSql = "SET SESSION lock_wait_timeout = 30, SESSION innodb_lock_wait_timeout = DEFAULT";
// The tool's sessions set the whole sql_mode rather than add to the
// server's: besides a server that is not strict (which cuts or replaces a
// value it cannot store and only warns), flags such as EMPTY_STRING_IS_NULL,
// PAD_CHAR_TO_FULL_LENGTH, TIME_ROUND_FRACTIONAL, REAL_AS_FLOAT or ORACLE
// change values written, values read or the types a CREATE TABLE makes, and
// ANSI_QUOTES or NO_BACKSLASH_ESCAPES how a statement reads. So: strict for
// every table, a 0 written into an AUTO_INCREMENT column stays 0, and an
// unknown storage engine is refused rather than replaced.
constexpr const char* kSqlModeSql
    = "SET SESSION sql_mode = 'STRICT_ALL_TABLES,NO_AUTO_VALUE_ON_ZERO,NO_ENGINE_SUBSTITUTION'";
// Text travels as utf8mb4, which the driver converts by; a server's
// init_connect (run for logins without SUPER) may have set another
// character set after the driver set its own. (The driver refuses SET NAMES,
// which it takes for its own business: the same in three variables.)
constexpr const char* kCharacterSetSql
    = "SET SESSION character_set_client = utf8mb4, SESSION character_set_connection = utf8mb4,"
      " SESSION character_set_results = utf8mb4";
// What a statement's packet needs besides the values: headers, the null
// bitmap, per-value type and length bytes.
constexpr size_t kPacketOverheadBytes = 4096;
constexpr long long kLongestRow = 65535;

// A MySQL text literal that reads the same whatever the sql_mode does with
// quotes and backslashes.
std::string hexText(const std::string& text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex = "CONVERT(X'";
    for (unsigned char c : text)
        hex += {digits[c >> 4], digits[c & 15]};
    return hex + "' USING utf8mb4)";
}

// Whether a file holds a PEM block whose label ends with `label`
// ("CERTIFICATE", "PRIVATE KEY"): the only form the connector reads.
bool holdsPem(const std::string& file, const std::string& label)
{
    std::ifstream in(file);
    const std::string begin = "-----BEGIN ", end = label + "-----";
    std::string line;
    for (int lines = 0; lines < 10000 && std::getline(in, line); ++lines) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind(begin, 0) == 0 && line.size() >= begin.size() + end.size()
            && line.compare(line.size() - end.size(), end.size(), end) == 0)
            return true;
    }
    return false;
}

}  // namespace

std::string MySQLSqlDialect::quoteIdentifier(const std::string& name) const { return QuoteMySQLIdentifier(name); }

// utf8mb4 so that no character of the source turns into '?'.
std::string MySQLSqlDialect::createTableSuffix() const { return " CHARACTER SET utf8mb4;"; }

std::string MySQLSqlDialect::sessionLockWaitSql() const { return kLockWaitSql; }

std::string MySQLSqlDialect::connectionString(const ConnectionProfile& profile) const
{
    return MySQLConnectionString(profile);
}

// MySQL reads a backslash in a literal as an escape (unless NO_BACKSLASH_ESCAPES
// is set, which is why values travel as parameters wherever it matters).
std::string MySQLSqlDialect::quoteText(const std::string& text) const
{
    std::string out = "'";
    out.reserve(text.size() + 2);
    for (char c : text) {
        if (c == '\'')
            out += "''";
        else if (c == '\\')
            out += "\\\\";
        else if (c == '\0')
            out += "\\0";
        else
            out += c;
    }
    return out + "'";
}

std::string MySQLSqlDialect::renameTableSql(const std::string& from, const std::string& to) const
{
    return "RENAME TABLE " + quoteIdentifier(from) + " TO " + quoteIdentifier(to);
}

std::string MySQLSqlDialect::keyColumnSuffix(const std::string& columnType) const
{
    const bool text = isOneOf(parseType(columnType).word, {"CHAR", "VARCHAR"});
    return text ? " COLLATE utf8mb4_bin NOT NULL" : " NOT NULL";
}

// InnoDB: no whole TEXT or BLOB in a key, at most 3072 bytes of key.
std::optional<long long> MySQLSqlDialect::keyBytes(const std::string& columnType) const
{
    const TypeText t = parseType(columnType);
    if (t.word.find("TEXT") != std::string::npos || t.word.find("BLOB") != std::string::npos || t.word == "JSON")
        return std::nullopt;
    return rowBytes(columnType);
}

// A row holds at most 65,535 bytes; TEXT takes a few of them and keeps its value apart.
void MySQLSqlDialect::fitRow(std::vector<std::string>& columnTypes, const std::vector<bool>& inKey) const
{
    const auto total = [&] {
        long long bytes = 0;
        for (const auto& type : columnTypes)
            bytes += rowBytes(type);
        return bytes;
    };
    while (total() > kLongestRow) {
        size_t widest = columnTypes.size();
        for (size_t i = 0; i < columnTypes.size(); ++i)
            if (!inKey[i] && parseType(columnTypes[i]).word == "VARCHAR"
                && (widest == columnTypes.size() || rowBytes(columnTypes[i]) > rowBytes(columnTypes[widest])))
                widest = i;
        if (widest == columnTypes.size())
            return;  // the CREATE will say so
        columnTypes[widest] = "TEXT";
    }
}

// 1051 unknown table (DROP), 1146 table doesn't exist. MariaDB also answers
// 42S02 for DROP TABLE on a view, which still exists: only the codes count.
bool MySQLSqlDialect::isNoSuchTable(const DbError& error) const
{
    return anyRecord(error, [](const DiagRecord& r) { return r.nativeCode == 1051 || r.nativeCode == 1146; });
}

// lock_wait_timeout bounds the metadata locks of RENAME and DROP, the
// InnoDB setting the row locks.
std::string MySQLSqlDialect::lockWaitSql(int seconds) const
{
    const std::string n = std::to_string(seconds);
    return "SET SESSION lock_wait_timeout = " + n + ", SESSION innodb_lock_wait_timeout = " + n;
}

// 1205 lock wait timeout exceeded.
bool MySQLSqlDialect::isLockTimeout(const DbError& error) const
{
    return anyRecord(error, [](const DiagRecord& r) { return r.nativeCode == 1205; });
}

// Views are kept by name and read the new table once one has it again;
// foreign keys of other tables keep a DROP from happening at all; the
// table's triggers go with it.
std::vector<std::string> MySQLSqlDialect::dependentsOf(DataConnection& connection, const std::string& table) const
{
    const std::string name = hexText(table);
    std::vector<std::string> found;
    for (const auto& key :
         firstColumn(connection,
                     "SELECT CONCAT('foreign key ', CONSTRAINT_NAME, ' of ', IF(CONSTRAINT_SCHEMA = DATABASE(), "
                     "TABLE_NAME, CONCAT(CONSTRAINT_SCHEMA, '.', TABLE_NAME))) "
                     "FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE UNIQUE_CONSTRAINT_SCHEMA = DATABASE() "
                     "AND REFERENCED_TABLE_NAME = "
                         + name
                         + " AND NOT (CONSTRAINT_SCHEMA = DATABASE() AND "
                           "TABLE_NAME = "
                         + name + ") ORDER BY 1"))
        found.push_back(key);
    for (const auto& trigger : firstColumn(connection,
                                           "SELECT CONCAT('trigger ', TRIGGER_NAME) FROM information_schema.TRIGGERS"
                                           " WHERE EVENT_OBJECT_SCHEMA = DATABASE() AND EVENT_OBJECT_TABLE = BINARY "
                                               + name + " ORDER BY 1"))
        found.push_back(trigger);
    return found;
}

std::vector<std::string> MySQLSqlDialect::rowTriggers(DataConnection& connection, const std::string& table) const
{
    return firstColumn(connection,
                       "SELECT CONCAT('trigger ', TRIGGER_NAME, ' (', ACTION_TIMING, ' ', EVENT_MANIPULATION, ')')"
                       " FROM information_schema.TRIGGERS WHERE EVENT_OBJECT_SCHEMA = DATABASE()"
                       " AND EVENT_OBJECT_TABLE = BINARY "
                           + hexText(table) + " AND EVENT_MANIPULATION IN ('INSERT', 'DELETE') ORDER BY 1");
}

bool MySQLSqlDialect::isView(DataConnection& connection, const std::string& table) const
{
    return firstValue(connection,
                      "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()"
                      " AND TABLE_NAME = BINARY "
                          + hexText(table) + " AND TABLE_TYPE = 'VIEW'")
        != std::optional<std::string>("0");
}

// lower_case_table_names: 0 names as given, compared exactly (Linux);
// 1 kept in lower case (Windows); 2 kept as given, compared in lower case (macOS).
NameRules MySQLSqlDialect::nameRules(DataConnection& connection) const
{
    NameRules rules = SqlDialect::nameRules(connection);
    const auto folding = firstValue(connection, "SELECT @@lower_case_table_names");
    rules.tableNamesIgnoreCase = folding.value_or("0") != "0";
    rules.tableNamesKeptInLowerCase = folding.value_or("0") == "1";
    rules.maxNameCharacters = 64;  // the driver gives bytes: 64 characters of up to four
    return rules;
}

// TIMESTAMP values are instants: in a zone with daylight saving one hour
// of local times repeats, so they travel in UTC. DATETIME has no zone and
// is not touched by this. A server that closes idle sessions after a few
// seconds would end a transfer's staging claim, idle through the copy, or
// its source while an overwrite question is open: at least a day (the copy
// pings its waiting connection far more often), never shorter than the
// server's own setting.
std::vector<std::string> MySQLSqlDialect::sessionSetupSql() const
{
    return {"SET time_zone = '+00:00'", "SET SESSION wait_timeout = GREATEST(@@SESSION.wait_timeout, 86400)",
            kLockWaitSql, kSqlModeSql};
}

std::vector<std::string> MySQLSqlDialect::connectionSetupSql() const { return {kCharacterSetSql}; }

// 1644 a trigger's SIGNAL refused the row; the rest are values the column
// cannot take, or keys and references they break, whatever SQLSTATE the
// server gives them (many say HY000 or 01000).
bool MySQLSqlDialect::isRowsOwnFault(const DbError& error) const
{
    static constexpr long kDataErrors[]
        = {1048, 1062, 1118, 1138, 1216, 1217, 1261, 1262, 1263, 1264, 1265, 1292, 1300, 1364, 1365,
           1366, 1367, 1406, 1411, 1451, 1452, 1557, 1586, 1644, 1690, 1918, 3140, 3819, 4025};
    const bool dataError = anyRecord(error, [](const DiagRecord& r) {
        return std::find(std::begin(kDataErrors), std::end(kDataErrors), r.nativeCode) != std::end(kDataErrors);
    });
    return (dataError && !isConnectionLost(error) && !isLockTimeout(error)) || SqlDialect::isRowsOwnFault(error);
}

// The statement's warnings and notes: in strict mode what remains are values
// the server still changes (trailing spaces cut, decimals rounded).
std::vector<DiagRecord> MySQLSqlDialect::changedValueWarnings(DataConnection& connection) const
{
    std::vector<DiagRecord> warnings;
    auto rs = connection.execute("SHOW WARNINGS");
    for (; rs && !rs->eof(); rs->moveNext()) {
        const auto level = rs->field(0).value, code = rs->field(1).value, message = rs->field(2).value;
        warnings.push_back(
            DiagRecord {"01000", code ? std::atol(code->c_str()) : 0,
                        level.value_or("Warning") + " " + code.value_or("") + ": " + message.value_or("")});
    }
    return warnings;
}

std::vector<std::string> MySQLSqlDialect::tableNames(DataConnection& connection) const
{
    return ListMySQLTables(connection);
}

// TABLE_ROWS is InnoDB's sampled estimate (exact for MyISAM); views have
// NULL figures, and a 1 in the last column.
std::string MySQLSqlDialect::tableEstimatesSql() const
{
    return "SELECT TABLE_NAME, TABLE_ROWS, DATA_LENGTH + INDEX_LENGTH, TABLE_TYPE = 'VIEW'"
           " FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()";
}

// One RENAME moves the old table aside and the new one in at once; the old
// one, still under a staging name, is dropped after.
std::vector<std::string> MySQLSqlDialect::swapSql(const std::string& staging, const std::string& table,
                                                  const std::string& aside, bool replacing) const
{
    if (!replacing)
        return {renameTableSql(staging, table)};
    return {"RENAME TABLE " + quoteIdentifier(table) + " TO " + quoteIdentifier(aside) + ", " + quoteIdentifier(staging)
                + " TO " + quoteIdentifier(table),
            dropTableSql(aside)};
}

std::string MySQLSqlDialect::undoSwapSql(const std::string& staging, const std::string& table,
                                         const std::string& aside) const
{
    return "RENAME TABLE " + quoteIdentifier(table) + " TO " + quoteIdentifier(staging) + ", " + quoteIdentifier(aside)
        + " TO " + quoteIdentifier(table);
}

// A named lock held by the claim connection; the server frees it when that
// connection ends, however it ends.
void MySQLSqlDialect::claimStaging(DataConnection& claim, const std::string& staging) const
{
    if (firstValue(claim, "SELECT GET_LOCK(" + quoteText(staging) + ", 0)") != std::optional<std::string>("1"))
        throw DbError("HY000", 0, "The staging table " + staging + " is claimed by another run");
}

void MySQLSqlDialect::releaseStaging(DataConnection& claim, const std::string& staging) const
{
    claim.execute("DO RELEASE_LOCK(" + quoteText(staging) + ")");
}

bool MySQLSqlDialect::dropUnclaimedStaging(DataConnection& connection, const std::string& staging) const
{
    if (firstValue(connection, "SELECT GET_LOCK(" + quoteText(staging) + ", 0)") != std::optional<std::string>("1"))
        return false;
    try {
        connection.execute(dropTableSql(staging));
    } catch (const DbError& error) {
        releaseStaging(connection, staging);
        if (!isNoSuchTable(error))
            throw;
        return true;
    }
    releaseStaging(connection, staging);
    return true;
}

SQLSMALLINT MySQLSqlDialect::textParameterType(long long longestBytes) const
{
    return longestBytes > kLongestVarchar ? SQL_LONGVARCHAR : SQL_VARCHAR;
}

// 2006 server has gone away, 2013 lost connection during query.
bool MySQLSqlDialect::isConnectionLost(const DbError& error) const
{
    return SqlDialect::isConnectionLost(error)
        || anyRecord(error, [](const DiagRecord& r) { return r.nativeCode == 2006 || r.nativeCode == 2013; });
}

// MariaDB's driver answers SQLCancel on a statement that is between two
// calls by closing it at once, under the thread that fetches from it (which
// then crashes in the driver); so Cancel never calls it. A statement running
// on the connection is ended by KILL QUERY from a session of its own, as the
// driver itself does for a call in progress; the connection and its other
// statements stay as they were, and a KILL that finds it idle does nothing.
void MySQLSqlDialect::makeCancellable(DataConnection& connection, const ConnectionProfile& profile) const
{
    if (!connection.canceller())
        return;
    const std::optional<std::string> id = connection.readNarrowText("SELECT CONNECTION_ID()");
    if (!id)
        return;
    connection.setCancelStop([profile, killSql = "KILL QUERY " + *id] {
        constexpr int kStopSeconds = 10;
        try {
            MySQLClientSession(profile, kStopSeconds, kStopSeconds).execute(killSql);
        } catch (const DbError&) {
            // The statement ends in its own time; its connection may be gone already.
        }
    });
}

// MySQL names require_secure_transport in its refusal of a plain login;
// MariaDB answers "Access denied" as for a wrong password. So a plain login
// refused that way is tried once more with TLS, only to tell the two apart:
// when that one is let in, the server wants encryption. Nothing runs on it.
bool MySQLSqlDialect::requiresEncryption(const DbError& error, const ConnectionProfile& plain) const
{
    if (anyMessageSays(error, "require_secure_transport") || anyMessageSays(error, "insecure transport"))
        return true;
    if (error.nativeCode() != 1045)
        return false;
    try {
        DataConnection probe;
        probe.open(connectionString(plain) + "FORCETLS=1;");
        return true;
    } catch (const DbError&) {
        return false;
    }
}

// OpenSSL's words for a certificate chain that no trusted CA signed.
bool MySQLSqlDialect::signerUntrusted(const DbError& error)
{
    for (const char* words : {"self-signed certificate", "self signed certificate", "issuer certificate",
                              "unable to verify the first certificate", "certificate signature failure"})
        if (anyMessageSays(error, words))
            return true;
    return false;
}

// The connector loads the CA file, the client certificate and its key
// before TLS starts, and its error names none of them: the file at fault is
// the one that holds nothing it can read.
std::optional<std::string> MySQLSqlDialect::unusableFileAdvice(const DbError& error, const ConnectionProfile& profile)
{
    struct File {
        const char* what;
        const std::string& name;
        const char* label;
        const char* holds;
    };
    const File files[] = {{"CA certificate file", profile.caCertificate, "CERTIFICATE", "certificate"},
                          {"client certificate", profile.clientCertificate, "CERTIFICATE", "certificate"},
                          {"client key", profile.clientKey, "PRIVATE KEY", "private key"}};
    for (const File& file : files)
        if (!file.name.empty() && !holdsPem(file.name, file.label))
            return std::string("The MySQL ") + file.what + " \"" + file.name + "\" holds no " + file.holds
                + " in PEM form (\"-----BEGIN ...\"), the only form the MySQL driver reads. No connection was made. "
                  "Give the right file.";
    // Given one of the pair alone, the connector looks for the other in the same file.
    if (profile.clientCertificate.empty() != profile.clientKey.empty()) {
        const bool keyAlone = profile.clientCertificate.empty();
        const std::string& given = keyAlone ? profile.clientKey : profile.clientCertificate;
        const std::string missing = keyAlone ? "certificate" : "key";
        if (!holdsPem(given, keyAlone ? "CERTIFICATE" : "PRIVATE KEY"))
            return "The MySQL client " + std::string(keyAlone ? "key" : "certificate") + " \"" + given
                + "\" is given without a client " + missing + ", and the file holds none. No connection was made. "
                + "Give the client " + missing + " file too.";
    }
    if (anyMessageSays(error, "key values mismatch"))
        return "The MySQL client key \"" + profile.clientKey + "\" is not the key of the client certificate \""
            + profile.clientCertificate + "\". No connection was made. Give the key that belongs to the certificate.";
    return std::nullopt;
}

// With TLS, the connector's refusals (error 2026) are told apart by its
// words: OpenSSL's check of the certificate's signer, then its own check of
// the server's name (only once the signer is trusted), a server without
// TLS, and files it could not load.
std::optional<std::string> MySQLSqlDialect::connectAdvice(const DbError& error, const ConnectionProfile& profile) const
{
    if (!profile.encrypted)
        return requiresEncryption(error, profile) ? std::optional(encryptionRequiredAdvice("--mysql-tls"))
                                                  : std::nullopt;
    if (anyMessageSays(error, "Validation of SSL server certificate failed"))
        return "The MySQL server's certificate was refused: its signer is trusted, but it is made out to another "
               "name than the server \""
            + profile.server
            + "\" as the login writes it. No connection was made. Write the server's name as its certificate "
              "gives it, or ask the server's administrator for a certificate that names \""
            + profile.server + "\".";
    if (signerUntrusted(error))
        return certificateRefusedAdvice(profile);
    if (anyMessageSays(error, "server does not support"))
        return std::string("The MySQL server did not make an encrypted connection, and the tool makes no other while "
                           "\"Use an encrypted connection\" is ticked.");
    if (anyMessageSays(error, "TLS/SSL error"))
        return unusableFileAdvice(error, profile);
    return std::nullopt;
}

// The server drops the connection when one packet exceeds
// max_allowed_packet, so every statement stays below it.
SendLimits MySQLSqlDialect::sendLimits(DataConnection& connection) const
{
    auto rs = connection.execute("SELECT @@max_allowed_packet");
    const size_t packet = rs && !rs->eof() && rs->field(0).value ? std::stoull(*rs->field(0).value) : 0;
    if (packet <= 2 * kPacketOverheadBytes)
        throw DbError("HY000", 0, "The server's max_allowed_packet could not be read");
    const size_t room = packet - kPacketOverheadBytes;
    return {room, room};
}

std::string MySQLSqlDialect::rowTooLongMessage(size_t rowBytes, const SendLimits& limits) const
{
    const size_t packet = limits.rowBytes + kPacketOverheadBytes;
    return "The row needs " + std::to_string(rowBytes) + " bytes, more than the MySQL server's max_allowed_packet of "
        + std::to_string(packet)
        + " bytes allows; it was not sent. Raise the limit on the server "
          "(SET GLOBAL max_allowed_packet = 1073741824, or max_allowed_packet in its configuration file) "
          "and send the table again.";
}

// Characters take up to four bytes in utf8mb4; TEXT and BLOB keep a few bytes in the row.
long long MySQLSqlDialect::rowBytes(const std::string& columnType)
{
    const TypeText t = parseType(columnType);
    if (isOneOf(t.word, {"CHAR", "VARCHAR"}))
        return 4 * t.length + 2;
    if (isOneOf(t.word, {"BINARY", "VARBINARY"}))
        return t.length + 2;
    if (t.word.find("TEXT") != std::string::npos || t.word.find("BLOB") != std::string::npos)
        return 12;
    return isOneOf(t.word, {"DECIMAL"}) ? t.length / 2 + 1 : 8;
}

MySQLTableFacts MySQLSqlDialect::tableFacts(DataConnection& connection, const std::string& table)
{
    MySQLTableFacts facts;
    // The name goes as a parameter: how a literal reads depends on the server's sql_mode.
    ParameterStatement query(connection);
    query.execute("SELECT ENGINE, AVG_ROW_LENGTH, TABLE_TYPE = 'VIEW' FROM information_schema.TABLES"
                  " WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = ?",
                  {table});
    for (const auto& row : query.rows()) {
        facts.isView = row[2] == "1";
        facts.snapshots = facts.isView || (row[0] && strcasecmp(row[0]->c_str(), "InnoDB") == 0);
        facts.averageRowBytes = row[1] ? std::atof(row[1]->c_str()) : 0;
    }
    query.execute("SELECT COUNT(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE()"
                  " AND TABLE_NAME = ? AND CHARACTER_OCTET_LENGTH > 32768",
                  {table});
    for (const auto& row : query.rows())
        facts.longValues = row[0] && *row[0] != "0";
    query.execute(
        "SELECT s.INDEX_NAME, s.COLUMN_NAME, c.DATA_TYPE, c.IS_NULLABLE, s.SUB_PART "
        "FROM information_schema.STATISTICS s JOIN information_schema.COLUMNS c "
        "ON c.TABLE_SCHEMA = s.TABLE_SCHEMA AND c.TABLE_NAME = s.TABLE_NAME AND c.COLUMN_NAME = s.COLUMN_NAME "
        "WHERE s.TABLE_SCHEMA = DATABASE() AND s.TABLE_NAME = ? "
        "AND s.NON_UNIQUE = 0 ORDER BY s.INDEX_NAME <> 'PRIMARY', s.INDEX_NAME, s.SEQ_IN_INDEX",
        {table});
    static const std::vector<std::string> numericTypes {"tinyint", "smallint", "mediumint", "int", "bigint", "decimal"};
    static const std::vector<std::string> otherTypes {"char", "varchar",  "binary",    "varbinary",
                                                      "date", "datetime", "timestamp", "time"};
    std::string index;
    std::vector<PagingKeyColumn> key;
    bool usable = false;
    for (const auto& row : query.rows()) {
        const std::string name = row[0].value_or("");
        if (name != index) {
            if (usable && !key.empty())
                break;
            index = name;
            key.clear();
            usable = true;
        }
        const std::string type = row[2].value_or("");
        const bool numeric = std::find(numericTypes.begin(), numericTypes.end(), type) != numericTypes.end();
        const bool other = std::find(otherTypes.begin(), otherTypes.end(), type) != otherTypes.end();
        if ((!numeric && !other) || row[3] != "NO" || row[4].has_value())
            usable = false;
        key.push_back({row[1].value_or(""), numeric});
    }
    if (usable)
        facts.pagingKey = std::move(key);
    return facts;
}

std::map<std::string, std::string> MySQLSqlDialect::columnDeclarations(DataConnection& connection,
                                                                       const std::string& table)
{
    ParameterStatement query(connection);
    query.execute("SELECT COLUMN_NAME, COLUMN_TYPE FROM information_schema.COLUMNS"
                  " WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = ?",
                  {table});
    std::map<std::string, std::string> declarations;
    for (const auto& row : query.rows())
        declarations[row[0].value_or("")] = row[1].value_or("");
    return declarations;
}

const SqlDialect& MySQLDialect()
{
    static const MySQLSqlDialect dialect;
    return dialect;
}

std::vector<SqlDialect::ExistingColumn> MySQLSqlDialect::existingColumns(DataConnection& connection,
                                                                         const std::string& table) const
{
    return existingColumnsFrom(connection,
                               "SELECT COLUMN_NAME, UPPER(DATA_TYPE), IS_NULLABLE = 'NO' AND COLUMN_DEFAULT IS NULL"
                               " AND EXTRA NOT LIKE '%auto_increment%' AND EXTRA NOT LIKE '%generated%',"
                               " CASE WHEN EXTRA LIKE '%VIRTUAL GENERATED%' THEN 'a VIRTUAL generated column'"
                               " WHEN EXTRA LIKE '%STORED GENERATED%' OR EXTRA LIKE '%PERSISTENT GENERATED%'"
                               " THEN 'a STORED generated column' END"
                               " FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = "
                                   + hexText(table) + " ORDER BY ORDINAL_POSITION");
}

std::vector<std::string> MySQLSqlDialect::rowChangingReferences(DataConnection& connection,
                                                                const std::string& table) const
{
    const std::string name = hexText(table);
    return firstColumn(connection,
                       "SELECT CONCAT('foreign key ', CONSTRAINT_NAME, ' of ', IF(CONSTRAINT_SCHEMA = DATABASE(), "
                       "TABLE_NAME, CONCAT(CONSTRAINT_SCHEMA, '.', TABLE_NAME)), ' (ON DELETE ', DELETE_RULE, ')') "
                       "FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE UNIQUE_CONSTRAINT_SCHEMA = DATABASE() "
                       "AND REFERENCED_TABLE_NAME = "
                           + name
                           + " AND DELETE_RULE IN ('CASCADE', 'SET NULL', 'SET DEFAULT')"
                             " AND NOT (CONSTRAINT_SCHEMA = DATABASE() AND TABLE_NAME = "
                           + name + ") ORDER BY 1");
}

// MyISAM, Aria and the like keep each row as it is written.
std::optional<std::string> MySQLSqlDialect::rollbackProblem(DataConnection& connection, const std::string& table) const
{
    const auto engine = firstValue(connection,
                                   "SELECT t.ENGINE FROM information_schema.TABLES t JOIN information_schema.ENGINES e"
                                   " ON e.ENGINE = t.ENGINE WHERE t.TABLE_SCHEMA = DATABASE() AND t.TABLE_NAME = "
                                       + hexText(table) + " AND e.TRANSACTIONS <> 'YES'");
    if (!engine)
        return std::nullopt;
    return "its storage engine " + *engine + " cannot roll back, so its rows cannot be loaded all or nothing";
}

std::optional<std::string> MySQLSqlDialect::transactionTooLargeAdvice(const DbError& error) const
{
    if (!anyRecord(error, [](const DiagRecord& r) { return r.nativeCode == 1197; }))
        return std::nullopt;
    return "The table was rolled back: the server cannot hold its rows in one transaction. Raise "
           "max_binlog_cache_size, or replace the table instead of loading into it.";
}

// 1045 access denied, 1049 unknown database, 2005 unknown server host,
// 2002 and 2003 nothing answering at the server's port.
LoginFault MySQLSqlDialect::loginFault(const DbError& error) const
{
    const auto native = [&](std::initializer_list<long> codes) { return anyNativeCode(error, codes); };
    if (native({1045}))
        return LoginFault::UserOrPassword;
    if (native({1049}))
        return LoginFault::Database;
    if (native({2005}))
        return LoginFault::ServerName;
    if (native({2002, 2003}))
        return LoginFault::Port;
    return SqlDialect::loginFault(error);
}

// The key it pages by: its order and its comparisons agree.
std::vector<std::string> MySQLSqlDialect::rangeKeyColumns(DataConnection& connection, const std::string& table) const
{
    std::vector<std::string> columns;
    for (const PagingKeyColumn& column : tableFacts(connection, table).pagingKey)
        columns.push_back(column.name);
    return columns;
}

std::string MySQLSqlDialect::rowAtOffsetSql(const std::string& orderedSelect, long long offset) const
{
    return orderedSelect + " LIMIT 1 OFFSET " + std::to_string(offset);
}

// The server writes a FLOAT with six digits and a DOUBLE(M,D) with D
// decimals: as a plain DOUBLE every bit of either shows (shortest text that
// reads back the same). BIT(1) comes as a raw byte, so as its number. Text
// is converted to UTF-8 and passed as bytes, which no session character set
// (a login's init_connect may set one) converts again.
std::string MySQLSqlDialect::comparedValueSql(const Field& column) const
{
    const std::string name = quoteIdentifier(column.name);
    if (column.isBinary)
        return name;
    switch (column.kind) {
    case ColumnKind::Real:
    case ColumnKind::Double: return "CAST(" + name + " AS DOUBLE)";
    case ColumnKind::Boolean: return "(" + name + " + 0)";
    case ColumnKind::Text:
    case ColumnKind::LongText:
    case ColumnKind::Clob:
    case ColumnKind::Xml:
    case ColumnKind::Other: return "CAST(CONVERT(" + name + " USING utf8mb4) AS BINARY)";
    default: return name;
    }
}
