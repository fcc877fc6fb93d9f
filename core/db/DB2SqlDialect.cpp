#include "DB2SqlDialect.h"

#include "ColumnKind.h"
#include "DataConnection.h"
#include "SqlIdentifiers.h"
#include "TableListing.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

constexpr const char* kLockTimeoutSql = "SET CURRENT LOCK TIMEOUT 5";
// The sizes of DB2's largest table space page: every wider row is refused.
constexpr long kLargestPage = 32768;
constexpr int kLargestPageColumns = 1012;
constexpr long long kExtendedRowBytes = 1048319;
constexpr size_t kBatchBytes = 16u << 20;
constexpr size_t kLargestLobBytes = 2147483647;

// Bytes a DB2 column takes in its row, as DB2 counts them for a table space
// page (LONG and LOB columns: the descriptor that stays in the row).
long long db2RowBytes(const std::string& columnType)
{
    std::string type = columnType;
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const size_t open = type.find('(');
    const std::string name = type.substr(0, open);
    long long length = open == std::string::npos ? 0 : std::atoll(type.c_str() + open + 1);
    const char unit = open == std::string::npos ? ' ' : type[type.find_first_not_of("0123456789", open + 1)];
    length *= unit == 'K' ? 1024LL : unit == 'M' ? 1048576LL : unit == 'G' ? 1073741824LL : 1LL;
    if (type.find("CODEUNITS32") != std::string::npos)
        length *= 4;  // stored as up to four bytes a character
    const auto lobDescriptor = [](long long maxLength) -> long long {
        static const std::pair<long long, long long> sizes[]
            = {{1024, 68},       {8192, 92},       {65536, 116},      {524000, 140},    {4190000, 164},
               {134000000, 196}, {536000000, 220}, {1070000000, 252}, {1470000000, 276}};
        for (const auto& [upTo, bytes] : sizes)
            if (maxLength <= upTo)
                return bytes;
        return 312;
    };
    long long bytes = 0;
    if (name.rfind("LONG ", 0) == 0)
        bytes = 24;
    else if (name == "CLOB" || name == "BLOB")
        bytes = lobDescriptor(length);
    else if (name == "DBCLOB")
        bytes = lobDescriptor(length * 2);
    else if (name == "VARCHAR" || name == "VARBINARY")
        bytes = length + 4;
    else if (name == "VARGRAPHIC")
        bytes = length * 2 + 4;
    else if (name == "CHAR" || name == "BINARY")
        bytes = std::max<long long>(length, 1);
    else if (name == "GRAPHIC")
        bytes = std::max<long long>(length, 1) * 2;
    else if (name == "SMALLINT")
        bytes = 2;
    else if (name == "INTEGER" || name == "INT" || name == "REAL" || name == "DATE")
        bytes = 4;
    else if (name == "BIGINT" || name == "DOUBLE" || name == "FLOAT")
        bytes = 8;
    else if (name == "DECIMAL" || name == "NUMERIC" || name == "DEC")
        bytes = (open == std::string::npos ? 5 : length) / 2 + 1;
    else if (name == "DECFLOAT")
        bytes = length == 16 ? 8 : 16;
    else if (name == "TIME")
        bytes = 3;
    else if (name == "TIMESTAMP")
        bytes = 7 + ((open == std::string::npos ? 6 : length) + 1) / 2;
    else if (name == "BOOLEAN")
        bytes = 1;
    else if (name == "XML")
        bytes = 84;
    return bytes + 1;  // nullable
}

// The longest row a page of this size holds (4K: 4,005 bytes ... 32K: 32,677).
long long db2RowLimit(long pageSize) { return pageSize - 91; }
int db2ColumnLimit(long pageSize) { return pageSize <= 4096 ? 500 : kLargestPageColumns; }

}  // namespace

std::string DB2SqlDialect::quoteIdentifier(const std::string& name) const { return QuoteDB2Identifier(name); }

std::string DB2SqlDialect::unquotedName(const std::string& name) const
{
    // DB2 folds a to z and leaves multi-byte letters as they are: "café" is read as "CAFé".
    std::string folded = name;
    for (char& c : folded)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return folded;
}

std::string DB2SqlDialect::sessionLockWaitSql() const { return kLockTimeoutSql; }

// DB2's default lock timeout (locktimeout -1) waits for ever; a lock
// held by another unit of work refuses the statement after a few
// seconds instead (SQL0911N reason 68).
std::vector<std::string> DB2SqlDialect::sessionSetupSql() const { return {kLockTimeoutSql}; }

std::vector<std::string> DB2SqlDialect::tableNames(DataConnection& connection) const
{
    return ListDB2Tables(connection);
}

// CARD and NPAGES are what RUNSTATS last collected, -1 before it ever ran.
// NPAGES counts the pages holding rows, in the page size of the table's
// table space.
std::string DB2SqlDialect::tableEstimatesSql() const
{
    return "SELECT T.TABNAME, T.CARD, T.NPAGES * S.PAGESIZE FROM SYSCAT.TABLES T"
           " LEFT JOIN SYSCAT.TABLESPACES S ON S.TBSPACE = T.TBSPACE"
           " WHERE T.TABSCHEMA = CURRENT SCHEMA AND T.TYPE = 'T'";
}

// DB2 CLI converts SQL_C_CHAR with the locale's code page and writes the
// locale's decimal separator.
bool DB2SqlDialect::textTravelsWide() const { return true; }

// IBM: "If the DB2CODEPAGE registry variable is set, its value is taken as
// the application code page" when the connection is made. 1208 is UTF-8.
void DB2SqlDialect::preferUtf8ClientText() { setenv("DB2CODEPAGE", "1208", 0); }

// A Greek capital omega (outside every single-byte Latin code page) read as
// SQL_C_CHAR arrives as its two UTF-8 bytes only where the application code
// page is UTF-8. Any other answer, or none, keeps text in UTF-16.
bool DB2SqlDialect::narrowTextIsUtf8(DataConnection& connection) const
{
    try {
        return connection.readNarrowText("VALUES '\xCE\xA9'") == "\xCE\xA9";
    } catch (const DbError& error) {
        if (isConnectionLost(error))
            throw;
        return false;
    }
}

// SQL0335N: a character could not be converted to the database's code page.
bool DB2SqlDialect::isCodePageSubstitution(const DiagRecord& record) const { return record.sqlState == "01517"; }

// DB2 has no packet limit; arrays stay at a size that keeps client
// memory modest, and one row may carry up to the largest LOB.
SendLimits DB2SqlDialect::sendLimits(DataConnection&) const { return {kBatchBytes, kLargestLobBytes}; }

std::string DB2SqlDialect::connectionString(const ConnectionProfile& profile) const
{
    return DB2ConnectionString(profile);
}

std::string DB2SqlDialect::renameTableSql(const std::string& from, const std::string& to) const
{
    return "RENAME " + quoteIdentifier(from) + " TO " + quoteIdentifier(to);
}

std::string DB2SqlDialect::countRowsSql(const std::string& table) const
{
    return "SELECT COUNT_BIG(*) FROM " + quoteIdentifier(table);  // COUNT is INTEGER: it overflows past 2^31 rows
}

// No LOB, LONG VARCHAR or XML in an index; keys up to a quarter of the
// smallest (4K) page, so the key fits whatever table space takes the table.
std::optional<long long> DB2SqlDialect::keyBytes(const std::string& columnType) const
{
    const TypeText t = parseType(columnType);
    if (isOneOf(t.word, {"LONG", "CLOB", "BLOB", "DBCLOB", "XML"}))
        return std::nullopt;
    return db2RowBytes(columnType) - 1;  // the row's bytes but the null flag
}

// A Unicode database gives the string units of every character column
// in the catalogue, its own included; other databases (and DB2 before
// 10.5, which has no such column) have no CODEUNITS32.
bool DB2SqlDialect::sizesTextInCharacters(DataConnection& connection) const
{
    try {
        const auto units = firstValue(connection,
                                      "SELECT COUNT(*) FROM SYSCAT.COLUMNS"
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
std::map<std::string, long long> DB2SqlDialect::textDeclaredInCharacters(DataConnection& connection,
                                                                         const std::string& table) const
{
    std::map<std::string, long long> lengths;
    try {
        auto rows = connection.execute("SELECT COLNAME, STRINGUNITSLENGTH FROM SYSCAT.COLUMNS"
                                       " WHERE TABSCHEMA = CURRENT SCHEMA AND TABNAME = "
                                       + quoteText(table) + " AND TYPESTRINGUNITS = 'CODEUNITS32'");
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
bool DB2SqlDialect::isNoSuchTable(const DbError& error) const
{
    return anyRecord(error, [](const DiagRecord& r) {
        return r.nativeCode == -204 || r.sqlState == "42S02" || r.sqlState == "42704";
    });
}

std::string DB2SqlDialect::lockWaitSql(int seconds) const
{
    return "SET CURRENT LOCK TIMEOUT " + std::to_string(seconds);
}

// SQL0911N (deadlock or lock timeout; the unit of work was rolled back),
// SQL0913N (only the statement), 57033 the same as a state.
bool DB2SqlDialect::isLockTimeout(const DbError& error) const
{
    return anyRecord(error, [](const DiagRecord& r) {
        return r.nativeCode == -911 || r.nativeCode == -913 || r.sqlState == "40001" || r.sqlState == "57033";
    });
}

// A DROP TABLE removes the foreign keys that reference the table and
// makes its views (typed ones too), materialized query tables, triggers
// (its own and those whose statements use it) and the SQL routines that use
// it inoperative.
std::vector<std::string> DB2SqlDialect::dependentsOf(DataConnection& connection, const std::string& table) const
{
    const std::string name = quoteText(table);
    std::vector<std::string> found;
    for (const auto& key : firstColumn(connection,
                                       "SELECT 'foreign key ' || CONSTNAME || ' of ' || TABNAME"
                                       " FROM SYSCAT.REFERENCES WHERE REFTABSCHEMA = CURRENT SCHEMA"
                                       " AND REFTABNAME = "
                                           + name
                                           + " AND NOT (TABSCHEMA = REFTABSCHEMA"
                                             " AND TABNAME = REFTABNAME) ORDER BY 1"))
        found.push_back(key);
    for (const auto& view : firstColumn(connection,
                                        "SELECT 'view ' || TABNAME FROM SYSCAT.TABDEP"
                                        " WHERE BSCHEMA = CURRENT SCHEMA AND BNAME = "
                                            + name + " AND BTYPE = 'T' AND DTYPE IN ('V', 'S', 'W') ORDER BY 1"))
        found.push_back(view);
    for (const auto& trigger : firstColumn(connection,
                                           "SELECT 'trigger ' || TRIGNAME FROM (SELECT TRIGNAME FROM SYSCAT.TRIGDEP"
                                           " WHERE BSCHEMA = CURRENT SCHEMA AND BNAME = "
                                               + name
                                               + " AND BTYPE = 'T' UNION SELECT TRIGNAME FROM SYSCAT.TRIGGERS"
                                                 " WHERE TABSCHEMA = CURRENT SCHEMA AND TABNAME = "
                                               + name + ") T ORDER BY 1"))
        found.push_back(trigger);
    for (const auto& routine : firstColumn(connection,
                                           "SELECT DISTINCT 'routine ' || R.ROUTINENAME FROM SYSCAT.ROUTINEDEP D"
                                           " JOIN SYSCAT.ROUTINES R ON R.ROUTINESCHEMA = D.ROUTINESCHEMA"
                                           " AND R.SPECIFICNAME = D.SPECIFICNAME"
                                           " WHERE D.BSCHEMA = CURRENT SCHEMA AND D.BNAME = "
                                               + name + " AND D.BTYPE = 'T' ORDER BY 1"))
        found.push_back(routine);
    return found;
}

// DB2 refuses to rename a table that is the child of a foreign key (SQL0750N).
std::vector<std::string> DB2SqlDialect::foreignKeysOf(DataConnection& connection, const std::string& table) const
{
    const std::string name = quoteText(table);
    return firstColumn(connection,
                       "SELECT 'foreign key ' || CONSTNAME || ' to ' || REFTABNAME FROM SYSCAT.REFERENCES"
                       " WHERE TABSCHEMA = CURRENT SCHEMA AND TABNAME = "
                           + name + " AND NOT (REFTABSCHEMA = TABSCHEMA AND REFTABNAME = TABNAME) ORDER BY 1");
}

// 'M': a trigger of several events (INSERT OR UPDATE ...), which may be these.
std::vector<std::string> DB2SqlDialect::rowTriggers(DataConnection& connection, const std::string& table) const
{
    return firstColumn(connection,
                       "SELECT 'trigger ' || TRIGNAME || ' (' || CASE TRIGTIME WHEN 'A' THEN 'AFTER' WHEN 'B'"
                       " THEN 'BEFORE' ELSE 'INSTEAD OF' END || CASE TRIGEVENT WHEN 'I' THEN ' INSERT)'"
                       " WHEN 'D' THEN ' DELETE)' ELSE ' INSERT, UPDATE OR DELETE)' END FROM SYSCAT.TRIGGERS"
                       " WHERE TABSCHEMA = CURRENT SCHEMA AND TABNAME = "
                           + quoteText(table) + " AND TRIGEVENT IN ('I', 'D', 'M') ORDER BY 1");
}

bool DB2SqlDialect::isView(DataConnection& connection, const std::string& table) const
{
    return firstValue(connection,
                      "SELECT COUNT(*) FROM SYSCAT.TABLES WHERE TABSCHEMA = CURRENT SCHEMA AND TABNAME = "
                          + quoteText(table) + " AND TYPE = 'V'")
        != std::optional<std::string>("0");
}

// DROP and RENAME in one unit of work: either both happen or neither.
std::vector<std::string> DB2SqlDialect::swapSql(const std::string& staging, const std::string& table,
                                                const std::string&, bool replacing) const
{
    if (!replacing)
        return {renameTableSql(staging, table)};
    return {dropTableSql(table), renameTableSql(staging, table)};
}

// A query leaves a table lock that lasts until the unit of work ends.
// Uncommitted read takes only an IN table lock, whatever isolation the
// connection has (RR would share-lock the table against the run's own
// inserts); IN still keeps out the Z lock of another run's DROP.
void DB2SqlDialect::claimStaging(DataConnection& claim, const std::string& staging) const
{
    claim.setAutoCommit(false);
    claim.execute(countRowsSql(staging) + " WITH UR");
}

void DB2SqlDialect::releaseStaging(DataConnection& claim, const std::string&) const
{
    claim.rollback();
    claim.setAutoCommit(true);
}

// Without waiting for locks, a DROP fails at once while a run's claim holds
// the table (SQL0911N reason 68, which ends only this unit of work).
bool DB2SqlDialect::dropUnclaimedStaging(DataConnection& connection, const std::string& staging) const
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
SQLSMALLINT DB2SqlDialect::textParameterType(long long longestBytes) const
{
    return longestBytes > kLongestVarchar ? db2sql::kClob : SQL_VARCHAR;
}

SQLSMALLINT DB2SqlDialect::bytesParameterType(long long longestBytes) const
{
    return longestBytes > kLongestVarchar ? db2sql::kBlob : SQL_VARBINARY;
}

// With extended row size (extended_row_sz ENABLE, a new database's
// default since 10.5) a row holding a VARCHAR or VARGRAPHIC may outgrow
// its page: DB2 moves varying-length values out of the row, so only the
// rest of the row and the column count must fit the page.
// The largest page among the table spaces for tables; unknown: DB2's largest.
std::optional<std::string> DB2SqlDialect::tableLayoutProblem(DataConnection& connection,
                                                             const std::vector<std::string>& columnTypes) const
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
            + std::to_string(kExtendedRowBytes)
            + " bytes IBM DB2 allows in any row. Send a table with fewer or "
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

std::optional<long> DB2SqlDialect::databaseCodePage(DataConnection& connection) const
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
bool DB2SqlDialect::isConnectionLost(const DbError& error) const
{
    return SqlDialect::isConnectionLost(error) || anyRecord(error, [](const DiagRecord& r) {
               return r.sqlState == "40003" || r.nativeCode == -30081 || r.nativeCode == -1224;
           });
}

// Besides the data errors, SQL0438N: a trigger's SIGNAL refused the row.
bool DB2SqlDialect::isRowsOwnFault(const DbError& error) const
{
    return SqlDialect::isRowsOwnFault(error)
        || (anyRecord(error, [](const DiagRecord& r) { return r.nativeCode == -438; }) && !isConnectionLost(error)
            && !isLockTimeout(error));
}

// SQL30081N over SSL with protocol code 414 (GSK_ERROR_BAD_CERT): the
// server's certificate is not trusted.
std::optional<std::string> DB2SqlDialect::connectAdvice(const DbError& error, const ConnectionProfile& profile) const
{
    if (!profile.encrypted || !anyMessageSays(error, "SQL30081N"))
        return std::nullopt;
    if (anyMessageSays(error, "\"414\""))
        return certificateRefusedAdvice(profile);
    if (anyMessageSays(error, "protocol being used: \"SSL\""))
        return std::string("The IBM DB2 server did not make an encrypted connection (SSL) on this port, and the tool "
                           "makes no other while \"Use an encrypted connection\" is ticked. DB2 servers often take "
                           "SSL on a port of their own (ssl_svcename): ask the server's administrator.");
    return std::nullopt;
}

std::string DB2SqlDialect::rowTooLongMessage(size_t rowBytes, const SendLimits& limits) const
{
    return "The row needs " + std::to_string(rowBytes) + " bytes, more than the " + std::to_string(limits.rowBytes)
        + " bytes IBM DB2 takes in one row; it was not sent. Shorten its values.";
}

// extended_row_sz as the database configuration shows it: no such
// parameter (DB2 before 10.5) means none; a catalogue the user may not
// read leaves the decision to the CREATE, as a new database would take it.
bool DB2SqlDialect::extendedRowSize(DataConnection& connection) const
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

const SqlDialect& DB2Dialect()
{
    static const DB2SqlDialect dialect;
    return dialect;
}

std::vector<SqlDialect::ExistingColumn> DB2SqlDialect::existingColumns(DataConnection& connection,
                                                                       const std::string& table) const
{
    return existingColumnsFrom(
        connection,
        "SELECT COLNAME, TYPENAME, CASE WHEN \"NULLS\" = 'N' AND \"DEFAULT\" IS NULL AND \"IDENTITY\" = 'N'"
        " AND \"GENERATED\" = ' ' THEN 1 ELSE 0 END, CASE WHEN \"GENERATED\" = 'A' THEN CASE"
        " WHEN \"IDENTITY\" = 'Y' THEN 'GENERATED ALWAYS AS IDENTITY'"
        " WHEN \"ROWCHANGETIMESTAMP\" = 'Y' THEN 'a row change timestamp, GENERATED ALWAYS'"
        " ELSE 'GENERATED ALWAYS AS (expression)' END END"
        " FROM SYSCAT.COLUMNS WHERE TABSCHEMA = CURRENT SCHEMA"
        " AND TABNAME = "
            + quoteText(table) + " ORDER BY COLNO");
}

std::vector<std::string> DB2SqlDialect::rowChangingReferences(DataConnection& connection,
                                                              const std::string& table) const
{
    const std::string name = quoteText(table);
    return firstColumn(connection,
                       "SELECT 'foreign key ' || CONSTNAME || ' of ' || TABNAME || CASE DELETERULE"
                       " WHEN 'C' THEN ' (ON DELETE CASCADE)' ELSE ' (ON DELETE SET NULL)' END"
                       " FROM SYSCAT.REFERENCES WHERE REFTABSCHEMA = CURRENT SCHEMA AND REFTABNAME = "
                           + name
                           + " AND DELETERULE IN ('C', 'N') AND NOT (TABSCHEMA = REFTABSCHEMA"
                             " AND TABNAME = REFTABNAME) ORDER BY 1");
}

// A GENERATED BY DEFAULT identity takes the values it is given and goes on
// counting from where it was. With a cache, the values of the block already
// taken (CACHE values before NEXTCACHEFIRSTVALUE) may still be handed out.
std::vector<std::string> DB2SqlDialect::identitiesBehind(DataConnection& connection, const std::string& table,
                                                         const std::vector<std::string>& columns) const
{
    struct Identity {
        std::string column;
        long long next = 0, increment = 1, cache = 0;
    };
    std::vector<Identity> identities;
    for (auto rows = connection.execute(
             "SELECT i.COLNAME, CAST(i.NEXTCACHEFIRSTVALUE AS BIGINT), CAST(i.INCREMENT AS BIGINT), i.CACHE"
             " FROM SYSCAT.COLIDENTATTRIBUTES i JOIN SYSCAT.COLUMNS c ON c.TABSCHEMA = i.TABSCHEMA"
             " AND c.TABNAME = i.TABNAME AND c.COLNAME = i.COLNAME WHERE i.TABSCHEMA = CURRENT SCHEMA AND i.TABNAME = "
             + quoteText(table) + " AND c.\"GENERATED\" = 'D'");
         rows && !rows->eof(); rows->moveNext()) {
        const auto number = [&](int field) { return std::atoll(rows->field(field).value.value_or("0").c_str()); };
        identities.push_back({rows->field(0).value.value_or(""), number(1), number(2), number(3)});
    }
    std::vector<std::string> notes;
    for (const Identity& identity : identities) {
        if (identity.increment == 0 || std::find(columns.begin(), columns.end(), identity.column) == columns.end())
            continue;
        const bool ascending = identity.increment > 0;
        const std::string column = quoteIdentifier(identity.column);
        const auto extreme = firstValue(connection,
                                        std::string("SELECT CAST(") + (ascending ? "MAX(" : "MIN(") + column
                                            + ") AS BIGINT) FROM " + quoteIdentifier(table));
        if (!extreme)
            continue;  // no rows, nothing to repeat
        const long long held = std::atoll(extreme->c_str());
        const long long nextAtMost = identity.next - (identity.cache > 0 ? identity.cache * identity.increment : 0);
        if (ascending ? held < nextAtMost : held > nextAtMost)
            continue;
        notes.push_back(table + "." + identity.column + ": its identity (GENERATED BY DEFAULT) may next hand out "
                        + std::to_string(nextAtMost) + ", but the table now holds values " + (ascending ? "up" : "down")
                        + " to " + *extreme + "; rows added without a value for it would repeat them. Restart it: "
                        + "ALTER TABLE " + quoteIdentifier(table) + " ALTER COLUMN " + column + " RESTART WITH "
                        + std::to_string(held + identity.increment));
    }
    return notes;
}

// SQL0964C: the log is full; DB2 rolls back the unit of work.
std::optional<std::string> DB2SqlDialect::transactionTooLargeAdvice(const DbError& error) const
{
    if (!anyRecord(error, [](const DiagRecord& r) { return r.nativeCode == -964; }))
        return std::nullopt;
    return "The table was rolled back: the database's transaction log cannot hold its rows in one unit of work. "
           "Raise LOGSECOND (or LOGFILSIZ), or replace the table instead of loading into it.";
}

// All of them SQLSTATE 08001 but the database's: the SQLCODE tells them
// apart. SQL30082N user or password, SQL1336N unknown host, SQL30081N no
// answer at the port, SQL30061N (08004) and SQL1013N unknown database.
LoginFault DB2SqlDialect::loginFault(const DbError& error) const
{
    const auto native = [&](std::initializer_list<long> codes) { return anyNativeCode(error, codes); };
    if (native({-30082}))
        return LoginFault::UserOrPassword;
    if (native({-1336}))
        return LoginFault::ServerName;
    if (native({-30081}))
        return LoginFault::Port;
    if (native({-30061, -1013}))
        return LoginFault::Database;
    return SqlDialect::loginFault(error);
}

// In the schema the tool works in (CurrentSchema), which need not be the
// login's own: a catalogue call without a schema may look in the latter.
std::vector<std::string> DB2SqlDialect::primaryKeyColumns(DataConnection& connection, const std::string& table) const
{
    return connection.primaryKeyColumns(table, CurrentDB2Schema(connection));
}

std::vector<std::string> DB2SqlDialect::rangeKeyColumns(DataConnection& connection, const std::string& table) const
{
    return primaryKeyColumns(connection, table);
}

std::string DB2SqlDialect::rowAtOffsetSql(const std::string& orderedSelect, long long offset) const
{
    return orderedSelect + " OFFSET " + std::to_string(offset) + " ROWS FETCH FIRST 1 ROW ONLY";
}
