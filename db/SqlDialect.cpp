#include "SqlDialect.h"

#include "DataConnection.h"
#include "SqlIdentifiers.h"

#include <algorithm>
#include <cctype>

namespace {

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

// Bytes of the LOB descriptor DB2 keeps in the row for a LOB of this size.
long long db2LobDescriptorBytes(long long length)
{
    static const std::pair<long long, long long> kSteps[] = {
        {1024, 72}, {8192, 96}, {65536, 120}, {524000, 144}, {4190000, 168},
        {134000000, 200}, {536000000, 224}, {1070000000, 256}, {1470000000, 280},
    };
    for (const auto& [upTo, bytes] : kSteps)
        if (length <= upTo)
            return bytes;
    return 316;
}

// Bytes of a value of the DB2 type, without length prefix or null flag.
long long db2ValueBytes(const TypeText& t)
{
    if (isOneOf(t.word, {"SMALLINT"})) return 2;
    if (isOneOf(t.word, {"INTEGER", "INT", "REAL", "DATE"})) return 4;
    if (isOneOf(t.word, {"BIGINT", "DOUBLE"})) return 8;
    if (isOneOf(t.word, {"BOOLEAN"})) return 1;
    if (isOneOf(t.word, {"TIME"})) return 3;
    if (isOneOf(t.word, {"TIMESTAMP"})) return 7 + (t.length + 1) / 2;
    if (isOneOf(t.word, {"DECIMAL", "DEC", "NUMERIC"})) return t.length / 2 + 1;
    return t.length;  // CHAR, VARCHAR, BINARY, VARBINARY
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
    // Characters take up to four bytes in utf8mb4; TEXT and BLOB live outside the row.
    long long rowBytes(const std::string& columnType) const override
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
    long long maxRowBytes() const override { return 65535; }
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
    std::string keyColumnSuffix(const std::string&) const override { return " NOT NULL"; }
    // No LOB, LONG VARCHAR or XML in an index; keys up to a quarter of the
    // smallest (4K) page, so the key fits whatever table space takes the table.
    std::optional<long long> keyBytes(const std::string& columnType) const override
    {
        const TypeText t = parseType(columnType);
        if (isOneOf(t.word, {"LONG", "CLOB", "BLOB", "DBCLOB", "XML"}))
            return std::nullopt;
        return db2ValueBytes(t) + (isOneOf(t.word, {"VARCHAR", "VARBINARY"}) ? 2 : 0);  // with its length
    }
    long long maxKeyBytes() const override { return 1024; }
    // Byte counts of CREATE TABLE, nullable columns: a null flag each, a
    // length for varying ones, descriptors for LONG VARCHAR and LOBs.
    long long rowBytes(const std::string& columnType) const override
    {
        const TypeText t = parseType(columnType);
        if (t.word == "LONG")
            return 25;
        if (isOneOf(t.word, {"CLOB", "BLOB", "DBCLOB"}))
            return db2LobDescriptorBytes(t.length) + 1;
        if (isOneOf(t.word, {"VARCHAR", "VARBINARY"}))
            return t.length + 5;
        return db2ValueBytes(t) + 1;
    }
    // The longest row any page size takes (32K pages); DB2 puts a new table
    // into a table space whose pages hold its row.
    long long maxRowBytes() const override { return 32677; }
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
