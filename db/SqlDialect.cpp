#include "SqlDialect.h"

#include "DataConnection.h"
#include "SqlIdentifiers.h"

#include <algorithm>

namespace {

bool anyRecord(const DbError& error, bool (*matches)(const DiagRecord&))
{
    for (const auto& record : error.records())
        if (matches(record))
            return true;
    return false;
}

// 08S01 communication link failure, 08003 connection not open, 08007 lost during a transaction.
bool isLinkState(const DiagRecord& r)
{
    return r.sqlState == "08S01" || r.sqlState == "08003" || r.sqlState == "08007";
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
    // 1051 unknown table (DROP), 1146 table doesn't exist. MariaDB also answers
    // 42S02 for DROP TABLE on a view, which still exists: only the codes count.
    bool isNoSuchTable(const DbError& error) const override
    {
        return anyRecord(error, [](const DiagRecord& r) { return r.nativeCode == 1051 || r.nativeCode == 1146; });
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
        return "SELECT COUNT(*) FROM " + quoteIdentifier(table);
    }
    std::string createTableSuffix() const override { return ""; }
    // SQL0204N "is an undefined name": 42704 from the server, 42S02 through ODBC 3.
    bool isNoSuchTable(const DbError& error) const override
    {
        return anyRecord(error, [](const DiagRecord& r) {
            return r.nativeCode == -204 || r.sqlState == "42S02" || r.sqlState == "42704";
        });
    }
    // SQL30081N communication error, SQL1224N the agent was ended.
    bool isConnectionLost(const DbError& error) const override
    {
        return anyRecord(error, [](const DiagRecord& r) {
            return isLinkState(r) || r.nativeCode == -30081 || r.nativeCode == -1224;
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
    static constexpr size_t kBatchBytes = 16u << 20;
    static constexpr size_t kLargestLobBytes = 2147483647;
};

}  // namespace

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

const SqlDialect& DialectOf(DatabaseSide side) { return side == DatabaseSide::MySQL ? MySQLDialect() : DB2Dialect(); }
