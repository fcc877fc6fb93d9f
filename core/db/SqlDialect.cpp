#include "SqlDialect.h"

#include "ColumnKind.h"
#include "DataConnection.h"
#include "SqlIdentifiers.h"
#include "TableListing.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

constexpr char kStagingPrefix[] = "tablehop_stage_";
constexpr size_t kStagingPrefixBytes = sizeof kStagingPrefix - 1;

std::optional<std::string> firstValue(DataConnection& connection, const std::string& sql)
{
    auto recordset = connection.execute(sql);
    if (!recordset || recordset->eof() || recordset->fieldCount() == 0)
        return std::nullopt;
    return recordset->field(0).value;
}

std::vector<std::string> firstColumn(DataConnection& connection, const std::string& sql)
{
    std::vector<std::string> values;
    for (auto rows = connection.execute(sql); rows && !rows->eof(); rows->moveNext())
        if (rows->field(0).value)
            values.push_back(*rows->field(0).value);
    return values;
}

// A MySQL text literal that reads the same whatever the sql_mode does with
// quotes and backslashes.
std::string mysqlHexText(const std::string& text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex = "CONVERT(X'";
    for (unsigned char c : text)
        hex += {digits[c >> 4], digits[c & 15]};
    return hex + "' USING utf8mb4)";
}

constexpr long long kLongestVarchar = 32672;
constexpr const char* kLockTimeoutSql = "SET CURRENT LOCK TIMEOUT 5";
// MySQL's metadata locks wait a day by default; the tool's reads lock no row,
// so this bounds how long a statement may wait behind another session's
// ALTER, LOCK TABLES or global read lock before it fails with 1205.
constexpr const char* kMySQLLockWaitSql = "SET SESSION lock_wait_timeout = 30, SESSION innodb_lock_wait_timeout = DEFAULT";
// The sizes of DB2's largest table space page: every wider row is refused.
constexpr long kLargestPage = 32768;
constexpr int kLargestPageColumns = 1012;

// Bytes a DB2 column takes in its row, as DB2 counts them for a table space
// page (LONG and LOB columns: the descriptor that stays in the row).
long long db2RowBytes(const std::string& columnType)
{
    std::string type = columnType;
    std::transform(type.begin(), type.end(), type.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const size_t open = type.find('(');
    const std::string name = type.substr(0, open);
    long long length = open == std::string::npos ? 0 : std::atoll(type.c_str() + open + 1);
    const char unit = open == std::string::npos ? ' ' : type[type.find_first_not_of("0123456789", open + 1)];
    length *= unit == 'K' ? 1024LL : unit == 'M' ? 1048576LL : unit == 'G' ? 1073741824LL : 1LL;
    if (type.find("CODEUNITS32") != std::string::npos)
        length *= 4;  // stored as up to four bytes a character
    const auto lobDescriptor = [](long long maxLength) -> long long {
        static const std::pair<long long, long long> sizes[] = {
            {1024, 68}, {8192, 92}, {65536, 116}, {524000, 140}, {4190000, 164},
            {134000000, 196}, {536000000, 220}, {1070000000, 252}, {1470000000, 276}};
        for (const auto& [upTo, bytes] : sizes)
            if (maxLength <= upTo)
                return bytes;
        return 312;
    };
    long long bytes = 0;
    if (name.rfind("LONG ", 0) == 0) bytes = 24;
    else if (name == "CLOB" || name == "BLOB") bytes = lobDescriptor(length);
    else if (name == "DBCLOB") bytes = lobDescriptor(length * 2);
    else if (name == "VARCHAR" || name == "VARBINARY") bytes = length + 4;
    else if (name == "VARGRAPHIC") bytes = length * 2 + 4;
    else if (name == "CHAR" || name == "BINARY") bytes = std::max<long long>(length, 1);
    else if (name == "GRAPHIC") bytes = std::max<long long>(length, 1) * 2;
    else if (name == "SMALLINT") bytes = 2;
    else if (name == "INTEGER" || name == "INT" || name == "REAL" || name == "DATE") bytes = 4;
    else if (name == "BIGINT" || name == "DOUBLE" || name == "FLOAT") bytes = 8;
    else if (name == "DECIMAL" || name == "NUMERIC" || name == "DEC") bytes = (open == std::string::npos ? 5 : length) / 2 + 1;
    else if (name == "DECFLOAT") bytes = length == 16 ? 8 : 16;
    else if (name == "TIME") bytes = 3;
    else if (name == "TIMESTAMP") bytes = 7 + ((open == std::string::npos ? 6 : length) + 1) / 2;
    else if (name == "BOOLEAN") bytes = 1;
    else if (name == "XML") bytes = 84;
    return bytes + 1;  // nullable
}

// The longest row a page of this size holds (4K: 4,005 bytes ... 32K: 32,677).
long long db2RowLimit(long pageSize) { return pageSize - 91; }
int db2ColumnLimit(long pageSize) { return pageSize <= 4096 ? 500 : kLargestPageColumns; }

bool anyRecord(const DbError& error, bool (*matches)(const DiagRecord&))
{
    for (const auto& record : error.records())
        if (matches(record))
            return true;
    return false;
}

// A column type text taken apart: "VARCHAR(200) COLLATE x" -> VARCHAR, 200.
struct TypeText {
    std::string word;  // first word, upper case
    long long length = 0;
    long long scale = 0;
};

TypeText parseType(const std::string& text)
{
    TypeText type;
    size_t i = 0;
    while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])))
        type.word += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i++])));
    const size_t open = text.find('(');
    if (open != std::string::npos) {
        type.length = std::atoll(text.c_str() + open + 1);
        const size_t comma = text.find(',', open);
        if (comma != std::string::npos && comma < text.find(')', open))
            type.scale = std::atoll(text.c_str() + comma + 1);
    }
    return type;
}

bool isOneOf(const std::string& word, std::initializer_list<const char*> words)
{
    return std::any_of(words.begin(), words.end(), [&](const char* w) { return word == w; });
}

// 08S01 communication link failure, 08003 connection not open, 08007 lost during a transaction.
bool isLinkState(const DiagRecord& r)
{
    return r.sqlState == "08S01" || r.sqlState == "08003" || r.sqlState == "08007";
}

// The name limits the driver tells.
NameRules driverNameLimits(DataConnection& connection)
{
    NameRules rules;
    rules.maxTableNameBytes = connection.driverInfo(SQL_MAX_TABLE_NAME_LEN);
    rules.maxColumnNameBytes = connection.driverInfo(SQL_MAX_COLUMN_NAME_LEN);
    return rules;
}

// What a statement's packet needs besides the values: headers, the null
// bitmap, per-value type and length bytes.
constexpr size_t kPacketOverheadBytes = 4096;

class MySQL final : public SqlDialect {
public:
    DatabaseSide side() const override { return DatabaseSide::MySQL; }
    std::string displayName() const override { return "MySQL"; }
    std::string connectionString(const ConnectionProfile& profile) const override
    {
        return MySQLConnectionString(profile);
    }
    std::string quoteIdentifier(const std::string& name) const override { return QuoteMySQLIdentifier(name); }
    // MySQL reads a backslash in a literal as an escape (unless NO_BACKSLASH_ESCAPES
    // is set, which is why values travel as parameters wherever it matters).
    std::string quoteText(const std::string& text) const override
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
    std::string renameTableSql(const std::string& from, const std::string& to) const override
    {
        return "RENAME TABLE " + quoteIdentifier(from) + " TO " + quoteIdentifier(to);
    }
    std::string countRowsSql(const std::string& table) const override
    {
        return "SELECT COUNT(*) FROM " + quoteIdentifier(table);
    }
    // utf8mb4 so that no character of the source turns into '?'.
    std::string createTableSuffix() const override { return " CHARACTER SET utf8mb4;"; }
    std::string keyColumnSuffix(const std::string& columnType) const override
    {
        const bool text = isOneOf(parseType(columnType).word, {"CHAR", "VARCHAR"});
        return text ? " COLLATE utf8mb4_bin NOT NULL" : " NOT NULL";
    }
    // InnoDB: no whole TEXT or BLOB in a key, at most 3072 bytes of key.
    std::optional<long long> keyBytes(const std::string& columnType) const override
    {
        const TypeText t = parseType(columnType);
        if (t.word.find("TEXT") != std::string::npos || t.word.find("BLOB") != std::string::npos || t.word == "JSON")
            return std::nullopt;
        return rowBytes(columnType);
    }
    long long maxKeyBytes() const override { return 3072; }
    // A row holds at most 65,535 bytes; TEXT takes a few of them and keeps its value apart.
    void fitRow(std::vector<std::string>& columnTypes, const std::vector<bool>& inKey) const override
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
    // VARCHAR(n) counts characters, and the driver describes them so.
    bool sizesTextInCharacters(DataConnection&) const override { return true; }
    std::map<std::string, long long> textDeclaredInCharacters(DataConnection&, const std::string&) const override
    {
        return {};
    }
    // 1051 unknown table (DROP), 1146 table doesn't exist. MariaDB also answers
    // 42S02 for DROP TABLE on a view, which still exists: only the codes count.
    bool isNoSuchTable(const DbError& error) const override
    {
        return anyRecord(error, [](const DiagRecord& r) { return r.nativeCode == 1051 || r.nativeCode == 1146; });
    }
    // lock_wait_timeout bounds the metadata locks of RENAME and DROP, the
    // InnoDB setting the row locks.
    std::string lockWaitSql(int seconds) const override
    {
        const std::string n = std::to_string(seconds);
        return "SET SESSION lock_wait_timeout = " + n + ", SESSION innodb_lock_wait_timeout = " + n;
    }
    std::string sessionLockWaitSql() const override { return kMySQLLockWaitSql; }
    // 1205 lock wait timeout exceeded.
    bool isLockTimeout(const DbError& error) const override
    {
        return anyRecord(error, [](const DiagRecord& r) { return r.nativeCode == 1205; });
    }
    // Views are kept by name and read the new table once one has it again;
    // foreign keys of other tables keep a DROP from happening at all.
    std::vector<std::string> dependentsOf(DataConnection& connection, const std::string& table) const override
    {
        const std::string name = mysqlHexText(table);
        std::vector<std::string> found;
        for (const auto& key : firstColumn(
                 connection, "SELECT CONCAT('foreign key ', CONSTRAINT_NAME, ' of ', IF(CONSTRAINT_SCHEMA = DATABASE(), "
                             "TABLE_NAME, CONCAT(CONSTRAINT_SCHEMA, '.', TABLE_NAME))) "
                             "FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE UNIQUE_CONSTRAINT_SCHEMA = DATABASE() "
                             "AND REFERENCED_TABLE_NAME = " + name + " AND NOT (CONSTRAINT_SCHEMA = DATABASE() AND "
                             "TABLE_NAME = " + name + ") ORDER BY 1"))
            found.push_back(key);
        return found;
    }
    bool renameKeepsDependents() const override { return true; }
    size_t maxNameBytes() const override { return 64; }
    // lower_case_table_names: 0 names as given, compared exactly (Linux);
    // 1 kept in lower case (Windows); 2 kept as given, compared in lower case (macOS).
    NameRules nameRules(DataConnection& connection) const override
    {
        NameRules rules = driverNameLimits(connection);
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
    std::vector<std::string> sessionSetupSql() const override
    {
        return {"SET time_zone = '+00:00'", "SET SESSION wait_timeout = GREATEST(@@SESSION.wait_timeout, 86400)",
                kMySQLLockWaitSql};
    }
    std::vector<std::string> tableNames(DataConnection& connection) const override { return ListMySQLTables(connection); }

    // One RENAME moves the old table aside and the new one in at once; the old
    // one, still under a staging name, is dropped after.
    std::vector<std::string> swapSql(const std::string& staging, const std::string& table, const std::string& aside,
                                     bool replacing) const override
    {
        if (!replacing)
            return {renameTableSql(staging, table)};
        return {"RENAME TABLE " + quoteIdentifier(table) + " TO " + quoteIdentifier(aside) + ", "
                    + quoteIdentifier(staging) + " TO " + quoteIdentifier(table),
                dropTableSql(aside)};
    }
    // Every DDL statement commits on its own.
    bool ddlInUnitOfWork() const override { return false; }
    std::string undoSwapSql(const std::string& staging, const std::string& table, const std::string& aside) const override
    {
        return "RENAME TABLE " + quoteIdentifier(table) + " TO " + quoteIdentifier(staging) + ", "
            + quoteIdentifier(aside) + " TO " + quoteIdentifier(table);
    }
    // A named lock held by the claim connection; the server frees it when that
    // connection ends, however it ends.
    void claimStaging(DataConnection& claim, const std::string& staging) const override
    {
        if (firstValue(claim, "SELECT GET_LOCK(" + quoteText(staging) + ", 0)") != std::optional<std::string>("1"))
            throw DbError("HY000", 0, "The staging table " + staging + " is claimed by another run");
    }
    void releaseStaging(DataConnection& claim, const std::string& staging) const override
    {
        claim.execute("DO RELEASE_LOCK(" + quoteText(staging) + ")");
    }
    bool claimPrecedesTable() const override { return true; }
    std::time_t leftoverGraceSeconds() const override { return 0; }
    bool dropUnclaimedStaging(DataConnection& connection, const std::string& staging) const override
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
    SQLSMALLINT textParameterType(long long longestBytes) const override
    {
        return longestBytes > kLongestVarchar ? SQL_LONGVARCHAR : SQL_VARCHAR;
    }
    SQLSMALLINT bytesParameterType(long long) const override { return SQL_LONGVARBINARY; }
    bool textTravelsWide() const override { return false; }
    bool offersNonAtomicArrays() const override { return false; }
    std::optional<std::string> tableLayoutProblem(DataConnection&, const std::vector<std::string>&) const override
    {
        return std::nullopt;  // MySQL's own row limit answers the CREATE clearly
    }
    // 2006 server has gone away, 2013 lost connection during query.
    bool isConnectionLost(const DbError& error) const override
    {
        return anyRecord(error, [](const DiagRecord& r) {
            return isLinkState(r) || r.nativeCode == 2006 || r.nativeCode == 2013;
        });
    }
    std::string pingSql() const override { return "SELECT 1"; }
    // The server drops the connection when one packet exceeds
    // max_allowed_packet, so every statement stays below it.
    SendLimits sendLimits(DataConnection& connection) const override
    {
        auto rs = connection.execute("SELECT @@max_allowed_packet");
        const size_t packet = rs && !rs->eof() && rs->field(0).value ? std::stoull(*rs->field(0).value) : 0;
        if (packet <= 2 * kPacketOverheadBytes)
            throw DbError("HY000", 0, "The server's max_allowed_packet could not be read");
        const size_t room = packet - kPacketOverheadBytes;
        return {room, room};
    }
    std::string rowTooLongMessage(size_t rowBytes, const SendLimits& limits) const override
    {
        const size_t packet = limits.rowBytes + kPacketOverheadBytes;
        return "The row needs " + std::to_string(rowBytes) + " bytes, more than the MySQL server's max_allowed_packet of "
            + std::to_string(packet) + " bytes allows; it was not sent. Raise the limit on the server "
            "(SET GLOBAL max_allowed_packet = 1073741824, or max_allowed_packet in its configuration file) "
            "and send the table again.";
    }

private:
    static constexpr long long kLongestRow = 65535;
    // Characters take up to four bytes in utf8mb4; TEXT and BLOB keep a few bytes in the row.
    static long long rowBytes(const std::string& columnType)
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
};

class DB2 final : public SqlDialect {
public:
    DatabaseSide side() const override { return DatabaseSide::DB2; }
    std::string displayName() const override { return "IBM DB2"; }
    std::string connectionString(const ConnectionProfile& profile) const override
    {
        return DB2ConnectionString(profile);
    }
    std::string quoteIdentifier(const std::string& name) const override { return QuoteDB2Identifier(name); }
    std::string quoteText(const std::string& text) const override { return QuoteSqlText(text); }
    std::string renameTableSql(const std::string& from, const std::string& to) const override
    {
        return "RENAME " + quoteIdentifier(from) + " TO " + quoteIdentifier(to);
    }
    std::string countRowsSql(const std::string& table) const override
    {
        return "SELECT COUNT_BIG(*) FROM " + quoteIdentifier(table);  // COUNT is INTEGER: it overflows past 2^31 rows
    }
    std::string createTableSuffix() const override { return ""; }
    std::string keyColumnSuffix(const std::string&) const override { return " NOT NULL"; }
    // No LOB, LONG VARCHAR or XML in an index; keys up to a quarter of the
    // smallest (4K) page, so the key fits whatever table space takes the table.
    std::optional<long long> keyBytes(const std::string& columnType) const override
    {
        const TypeText t = parseType(columnType);
        if (isOneOf(t.word, {"LONG", "CLOB", "BLOB", "DBCLOB", "XML"}))
            return std::nullopt;
        return db2RowBytes(columnType) - 1;  // the row's bytes but the null flag
    }
    long long maxKeyBytes() const override { return 1024; }
    // Nothing moves out of a DB2 row; tableLayoutProblem tells a row too wide.
    void fitRow(std::vector<std::string>&, const std::vector<bool>&) const override {}
    // A Unicode database gives the string units of every character column
    // in the catalogue, its own included; other databases (and DB2 before
    // 10.5, which has no such column) have no CODEUNITS32.
    bool sizesTextInCharacters(DataConnection& connection) const override
    {
        try {
            const auto units = firstValue(connection, "SELECT COUNT(*) FROM SYSCAT.COLUMNS"
                                                      " WHERE TABSCHEMA = 'SYSCAT' AND TYPESTRINGUNITS IS NOT NULL");
            return units && std::atoll(units->c_str()) > 0;
        } catch (const DbError& error) {
            if (isConnectionLost(error))
                throw;
            return false;
        }
    }
    // The driver describes a VARCHAR(n CODEUNITS32) in bytes (4n); the
    // catalogue keeps the n.
    std::map<std::string, long long> textDeclaredInCharacters(DataConnection& connection,
                                                             const std::string& table) const override
    {
        std::map<std::string, long long> lengths;
        try {
            auto rows = connection.execute("SELECT COLNAME, STRINGUNITSLENGTH FROM SYSCAT.COLUMNS"
                                           " WHERE TABSCHEMA = CURRENT SCHEMA AND TABNAME = " + quoteText(table)
                                           + " AND TYPESTRINGUNITS = 'CODEUNITS32'");
            for (; rows && !rows->eof(); rows->moveNext())
                if (rows->field(0).value && rows->field(1).value)
                    lengths[*rows->field(0).value] = std::atoll(rows->field(1).value->c_str());
        } catch (const DbError& error) {
            if (isConnectionLost(error))
                throw;
        }
        return lengths;
    }
    // SQL0204N "is an undefined name": 42704 from the server, 42S02 through ODBC 3.
    bool isNoSuchTable(const DbError& error) const override
    {
        return anyRecord(error, [](const DiagRecord& r) {
            return r.nativeCode == -204 || r.sqlState == "42S02" || r.sqlState == "42704";
        });
    }
    std::string lockWaitSql(int seconds) const override { return "SET CURRENT LOCK TIMEOUT " + std::to_string(seconds); }
    std::string sessionLockWaitSql() const override { return kLockTimeoutSql; }
    // SQL0911N (deadlock or lock timeout; the unit of work was rolled back),
    // SQL0913N (only the statement), 57033 the same as a state.
    bool isLockTimeout(const DbError& error) const override
    {
        return anyRecord(error, [](const DiagRecord& r) {
            return r.nativeCode == -911 || r.nativeCode == -913 || r.sqlState == "40001" || r.sqlState == "57033";
        });
    }
    // A DROP TABLE removes the foreign keys that reference the table and
    // makes its views and materialized query tables inoperative.
    std::vector<std::string> dependentsOf(DataConnection& connection, const std::string& table) const override
    {
        const std::string name = quoteText(table);
        std::vector<std::string> found;
        for (const auto& key : firstColumn(connection, "SELECT 'foreign key ' || CONSTNAME || ' of ' || TABNAME"
                                                       " FROM SYSCAT.REFERENCES WHERE REFTABSCHEMA = CURRENT SCHEMA"
                                                       " AND REFTABNAME = " + name + " AND NOT (TABSCHEMA = REFTABSCHEMA"
                                                       " AND TABNAME = REFTABNAME) ORDER BY 1"))
            found.push_back(key);
        for (const auto& view : firstColumn(connection, "SELECT 'view ' || TABNAME FROM SYSCAT.TABDEP"
                                                        " WHERE BSCHEMA = CURRENT SCHEMA AND BNAME = " + name
                                                        + " AND BTYPE = 'T' AND DTYPE IN ('V', 'S') ORDER BY 1"))
            found.push_back(view);
        return found;
    }
    bool renameKeepsDependents() const override { return false; }
    size_t maxNameBytes() const override { return 128; }
    // Statements quote every name, and DB2 compares quoted names exactly.
    NameRules nameRules(DataConnection& connection) const override { return driverNameLimits(connection); }
    // DB2's default lock timeout (locktimeout -1) waits for ever; a lock
    // held by another unit of work refuses the statement after a few
    // seconds instead (SQL0911N reason 68).
    std::vector<std::string> sessionSetupSql() const override { return {kLockTimeoutSql}; }
    std::vector<std::string> tableNames(DataConnection& connection) const override { return ListDB2Tables(connection); }

    // DROP and RENAME in one unit of work: either both happen or neither.
    std::vector<std::string> swapSql(const std::string& staging, const std::string& table, const std::string&,
                                     bool replacing) const override
    {
        if (!replacing)
            return {renameTableSql(staging, table)};
        return {dropTableSql(table), renameTableSql(staging, table)};
    }
    bool ddlInUnitOfWork() const override { return true; }
    std::string undoSwapSql(const std::string&, const std::string&, const std::string&) const override { return ""; }
    // A query leaves a table lock that lasts until the unit of work ends.
    void claimStaging(DataConnection& claim, const std::string& staging) const override
    {
        claim.setAutoCommit(false);
        // Uncommitted read takes only an IN table lock, whatever isolation the
        // connection has (RR would share-lock the table against the run's own
        // inserts); IN still keeps out the Z lock of another run's DROP.
        claim.execute(countRowsSql(staging) + " WITH UR");
    }
    void releaseStaging(DataConnection& claim, const std::string&) const override
    {
        claim.rollback();
        claim.setAutoCommit(true);
    }
    bool claimPrecedesTable() const override { return false; }
    std::time_t leftoverGraceSeconds() const override { return 600; }
    // Without waiting for locks, a DROP fails at once while a run's claim holds
    // the table (SQL0911N reason 68, which ends only this unit of work).
    bool dropUnclaimedStaging(DataConnection& connection, const std::string& staging) const override
    {
        connection.execute("SET CURRENT LOCK TIMEOUT NOT WAIT");
        bool dropped = true;
        try {
            connection.execute(dropTableSql(staging));
        } catch (const DbError& error) {
            const bool locked = isLockTimeout(error);
            if (!locked && !isNoSuchTable(error)) {
                connection.execute(sessionLockWaitSql());
                throw;
            }
            dropped = !locked;
        }
        connection.execute(sessionLockWaitSql());
        return dropped;
    }
    // Without LongDataCompat, DB2 CLI takes SQL_LONGVARCHAR for LONG VARCHAR
    // (32,700 bytes at most): long values are declared as the LOBs they go into.
    SQLSMALLINT textParameterType(long long longestBytes) const override
    {
        return longestBytes > kLongestVarchar ? db2sql::kClob : SQL_VARCHAR;
    }
    SQLSMALLINT bytesParameterType(long long longestBytes) const override
    {
        return longestBytes > kLongestVarchar ? db2sql::kBlob : SQL_VARBINARY;
    }
    // DB2 CLI converts SQL_C_CHAR with the locale's code page and writes the
    // locale's decimal separator.
    bool textTravelsWide() const override { return true; }
    bool offersNonAtomicArrays() const override { return true; }
    // With extended row size (extended_row_sz ENABLE, a new database's
    // default since 10.5) a row holding a VARCHAR or VARGRAPHIC may outgrow
    // its page: DB2 moves varying-length values out of the row, so only the
    // rest of the row and the column count must fit the page.
    std::optional<std::string> tableLayoutProblem(DataConnection& connection,
                                                  const std::vector<std::string>& columnTypes) const override
    {
        long long rowBytes = 0, fixedBytes = 0;
        bool varyingText = false;
        for (const auto& type : columnTypes) {
            const std::string word = parseType(type).word;
            rowBytes += db2RowBytes(type);
            if (!isOneOf(word, {"VARCHAR", "VARGRAPHIC", "VARBINARY"}))
                fixedBytes += db2RowBytes(type);
            varyingText = varyingText || isOneOf(word, {"VARCHAR", "VARGRAPHIC"});
        }
        const int columns = static_cast<int>(columnTypes.size());
        // The largest page among the table spaces for tables; unknown: DB2's largest.
        long page = kLargestPage;
        try {
            auto pages = connection.execute("SELECT MAX(PAGESIZE) FROM SYSCAT.TABLESPACES WHERE DATATYPE IN ('A', 'L')");
            if (pages && !pages->eof() && pages->field(0).value)
                page = std::atol(pages->field(0).value->c_str());
        } catch (const DbError& error) {
            if (isConnectionLost(error))
                throw;
        }
        const bool extended = varyingText && extendedRowSize(connection);
        if (extended && rowBytes > kExtendedRowBytes)
            return "The table needs rows of " + std::to_string(rowBytes) + " bytes, more than the "
                + std::to_string(kExtendedRowBytes) + " bytes IBM DB2 allows in any row. Send a table with fewer or "
                  "shorter columns.";
        const long long pageBytes = extended ? fixedBytes : rowBytes;
        if (page <= 0 || (pageBytes <= db2RowLimit(page) && columns <= db2ColumnLimit(page)))
            return std::nullopt;
        const std::string needs = extended ? " bytes besides its VARCHAR columns in " : " bytes in ";
        return "The table needs rows of " + std::to_string(pageBytes) + needs + std::to_string(columns)
            + " columns, more than the largest table space page of this DB2 database holds (" + std::to_string(page / 1024)
            + " KB pages: " + std::to_string(db2RowLimit(page)) + " bytes, " + std::to_string(db2ColumnLimit(page))
            + " columns). Ask the database administrator for a table space with larger pages (up to 32 KB, "
              "e.g. CREATE BUFFERPOOL BP32K PAGESIZE 32K; CREATE TABLESPACE TS32K PAGESIZE 32K BUFFERPOOL BP32K), "
              "or send a table with fewer columns.";
    }
    // SQL0335N: a character could not be converted to the database's code page.
    bool isCodePageSubstitution(const DiagRecord& record) const override { return record.sqlState == "01517"; }
    std::optional<long> databaseCodePage(DataConnection& connection) const override
    {
        try {
            const auto value = firstValue(connection, "SELECT VALUE FROM SYSIBMADM.DBCFG WHERE NAME = 'codepage'");
            if (value && std::atol(value->c_str()) > 0)
                return std::atol(value->c_str());
        } catch (const DbError& error) {
            if (isConnectionLost(error))
                throw;
        }
        return std::nullopt;
    }
    // SQL30081N communication error, SQL1224N the agent was ended; 40003:
    // the statement's completion is unknown (DB2 gives it with SQL30081N).
    bool isConnectionLost(const DbError& error) const override
    {
        return anyRecord(error, [](const DiagRecord& r) {
            return isLinkState(r) || r.sqlState == "40003" || r.nativeCode == -30081 || r.nativeCode == -1224;
        });
    }
    std::string pingSql() const override { return "SELECT 1 FROM SYSIBM.SYSDUMMY1"; }
    // DB2 has no packet limit; arrays stay at a size that keeps client
    // memory modest, and one row may carry up to the largest LOB.
    SendLimits sendLimits(DataConnection&) const override { return {kBatchBytes, kLargestLobBytes}; }
    std::string rowTooLongMessage(size_t rowBytes, const SendLimits& limits) const override
    {
        return "The row needs " + std::to_string(rowBytes) + " bytes, more than the " + std::to_string(limits.rowBytes)
            + " bytes IBM DB2 takes in one row; it was not sent. Shorten its values.";
    }

private:
    static constexpr long long kExtendedRowBytes = 1048319;
    // extended_row_sz as the database configuration shows it: no such
    // parameter (DB2 before 10.5) means none; a catalogue the user may not
    // read leaves the decision to the CREATE, as a new database would take it.
    static bool extendedRowSize(DataConnection& connection)
    {
        try {
            const auto value = firstValue(connection, "SELECT VALUE FROM SYSIBMADM.DBCFG WHERE NAME = 'extended_row_sz'");
            return value && value->rfind("ENABLE", 0) == 0;
        } catch (const DbError& error) {
            if (DB2Dialect().isConnectionLost(error))
                throw;
            return true;
        }
    }
    static constexpr size_t kBatchBytes = 16u << 20;
    static constexpr size_t kLargestLobBytes = 2147483647;
};

}  // namespace

void SqlDialect::openSession(DataConnection& connection, const ConnectionProfile& profile) const
{
    connection.open(connectionString(profile));
    for (const auto& sql : sessionSetupSql())
        connection.execute(sql);
}

std::string NameRules::tableKey(const std::string& name) const
{
    return tableNamesIgnoreCase ? LowerCaseName(name) : name;
}

std::string NameRules::listedTableName(const std::string& name) const
{
    return tableNamesKeptInLowerCase ? LowerCaseName(name) : name;
}

std::optional<std::string> NameRules::nameProblem(const std::string& name, bool table,
                                                  const std::string& serverName) const
{
    const size_t maxBytes = table ? maxTableNameBytes : maxColumnNameBytes;
    const char* what = table ? "table" : "column";
    if (maxNameCharacters > 0 && NameCharacters(name) > maxNameCharacters)
        return std::string("The ") + what + " name " + name + " has " + std::to_string(NameCharacters(name))
            + " characters; " + serverName + " takes at most " + std::to_string(maxNameCharacters)
            + ". Rename it on the source and send it again.";
    if (maxBytes > 0 && name.size() > maxBytes)
        return std::string("The ") + what + " name " + name + " has " + std::to_string(name.size()) + " bytes; "
            + serverName + " takes at most " + std::to_string(maxBytes) + ". Rename it on the source and send it again.";
    return std::nullopt;
}

const SqlDialect& MySQLDialect()
{
    static const MySQL dialect;
    return dialect;
}

const SqlDialect& DB2Dialect()
{
    static const DB2 dialect;
    return dialect;
}

std::string StagingName(std::time_t made)
{
    std::tm utc{};
    gmtime_r(&made, &utc);
    static thread_local std::mt19937 random{std::random_device{}()};
    char name[64];
    std::snprintf(name, sizeof name, "%s%04d%02d%02d%02d%02d%02d_%08x", kStagingPrefix, utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<unsigned>(random()));
    return name;
}

std::optional<std::time_t> StagingNameTime(const std::string& name)
{
    // prefix, 14 digits, "_", 8 hex digits
    if (name.size() != kStagingPrefixBytes + 23 || name.compare(0, kStagingPrefixBytes, kStagingPrefix) != 0
        || name[kStagingPrefixBytes + 14] != '_')
        return std::nullopt;
    const std::string stamp = name.substr(kStagingPrefixBytes, 14);
    const std::string token = name.substr(kStagingPrefixBytes + 15);
    if (stamp.find_first_not_of("0123456789") != std::string::npos
        || token.find_first_not_of("0123456789abcdef") != std::string::npos)
        return std::nullopt;
    std::tm utc{};
    utc.tm_year = std::stoi(stamp.substr(0, 4)) - 1900;
    utc.tm_mon = std::stoi(stamp.substr(4, 2)) - 1;
    utc.tm_mday = std::stoi(stamp.substr(6, 2));
    utc.tm_hour = std::stoi(stamp.substr(8, 2));
    utc.tm_min = std::stoi(stamp.substr(10, 2));
    utc.tm_sec = std::stoi(stamp.substr(12, 2));
    return timegm(&utc);
}

const SqlDialect& DialectOf(DatabaseSide side) { return side == DatabaseSide::MySQL ? MySQLDialect() : DB2Dialect(); }
