#include "SqlDialect.h"

#include "SqlIdentifiers.h"

namespace {

bool anyRecord(const DbError& error, bool (*matches)(const DiagRecord&))
{
    for (const auto& record : error.records())
        if (matches(record))
            return true;
    return false;
}

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
