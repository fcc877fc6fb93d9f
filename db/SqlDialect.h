#pragma once

#include "ConnectionProfile.h"
#include "DbError.h"

#include <sql.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class DataConnection;

// How many bytes of parameter values one statement may carry to a server.
struct SendLimits {
    size_t batchBytes = 0;  // one parameter array, all its rows together
    size_t rowBytes = 0;    // one row sent alone; a longer row cannot be sent at all
};

// Everything that differs between the MySQL and the DB2 side of a statement
// or an answer lives here, one object per side: quoting, literals, the
// table-management statements, how errors are classified, limits.
class SqlDialect {
public:
    virtual ~SqlDialect() = default;

    virtual DatabaseSide side() const = 0;
    // The database's name as the user sees it in messages: "MySQL", "IBM DB2".
    virtual std::string displayName() const = 0;
    virtual std::string connectionString(const ConnectionProfile& profile) const = 0;

    // An identifier quoted with its quote character doubled inside.
    virtual std::string quoteIdentifier(const std::string& name) const = 0;
    // A text literal the server reads back as exactly `text`.
    virtual std::string quoteText(const std::string& text) const = 0;

    std::string dropTableSql(const std::string& table) const { return "DROP TABLE " + quoteIdentifier(table); }
    virtual std::string renameTableSql(const std::string& from, const std::string& to) const = 0;
    virtual std::string countRowsSql(const std::string& table) const = 0;
    // What follows the column list of a CREATE TABLE.
    virtual std::string createTableSuffix() const = 0;

    // Column types as a CREATE TABLE of this side writes them ("VARCHAR(200)",
    // "DECIMAL(12,2)"): what a key column adds after its type (NOT NULL, and
    // on MySQL a binary collation so text keys compare case-sensitively, as
    // DB2's do), and the bytes it takes in an index key (nullopt: it cannot be
    // in a key, such as long text).
    virtual std::string keyColumnSuffix(const std::string& columnType) const = 0;
    virtual std::optional<long long> keyBytes(const std::string& columnType) const = 0;
    virtual long long maxKeyBytes() const = 0;
    // Moves columns that are not in the key out of the row (a long VARCHAR
    // becomes TEXT on MySQL) until the row fits; DB2 moves nothing.
    virtual void fitRow(std::vector<std::string>& columnTypes, const std::vector<bool>& inKey) const = 0;

    // The server said the table does not exist.
    virtual bool isNoSuchTable(const DbError& error) const = 0;

    // SQL type a text or byte parameter is declared with, given its longest value.
    virtual SQLSMALLINT textParameterType(long long longestBytes) const = 0;
    virtual SQLSMALLINT bytesParameterType(long long longestBytes) const = 0;
    // Text travels as UTF-16 (SQL_C_WCHAR) both ways, so the client's locale
    // cannot change it; otherwise as UTF-8 (SQL_C_CHAR).
    virtual bool textTravelsWide() const = 0;
    // Parameter arrays may be asked to let each row stand alone.
    virtual bool offersNonAtomicArrays() const = 0;

    // Why a new table with these column types (as CREATE TABLE names them)
    // cannot be created there, asked before the CREATE; nullopt when nothing
    // speaks against it.
    virtual std::optional<std::string> tableLayoutProblem(DataConnection& connection,
                                                          const std::vector<std::string>& columnTypes) const = 0;

    // The connection itself is gone, not merely the statement refused.
    virtual bool isConnectionLost(const DbError& error) const = 0;
    // A statement any live connection answers.
    virtual std::string pingSql() const = 0;

    // The bounds for parameter values sent on this open connection.
    virtual SendLimits sendLimits(DataConnection& connection) const = 0;
    // Why a row of rowBytes bytes was not sent, naming the limit and how to raise it.
    virtual std::string rowTooLongMessage(size_t rowBytes, const SendLimits& limits) const = 0;
};

const SqlDialect& MySQLDialect();
const SqlDialect& DB2Dialect();
const SqlDialect& DialectOf(DatabaseSide side);
