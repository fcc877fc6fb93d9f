// The statement handle: preparing, running and fetching, parameter and
// column bindings, and the array INSERT.
#pragma once

#include "Connection.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace db2standin {

// A parameter as SQLBindParameter gave it: the application's buffer, read at execution.
struct ParamBinding {
    bool bound = false;
    SQLSMALLINT cType = SQL_C_CHAR, sqlType = SQL_VARCHAR;
    SQLULEN columnSize = 0;
    SQLSMALLINT digits = 0;
    SQLPOINTER data = nullptr;
    SQLLEN bufLen = 0;
    SQLLEN* ind = nullptr;
};

// A result column bound with SQLBindCol: filled at every fetch.
struct ColBinding {
    bool bound = false;
    SQLSMALLINT cType = SQL_C_CHAR;
    SQLPOINTER data = nullptr;
    SQLLEN bufLen = 0;
    SQLLEN* ind = nullptr;
};

// A column of the open result, with its DB2 type and the PostgreSQL one behind it.
struct ResultColumn {
    std::string name;
    TypeDesc type;
    unsigned pgType = 0;
    SQLSMALLINT nullable = SQL_NULLABLE;
};

// One statement: its DB2 text translated once, run as often as asked, its
// result read from a server cursor in blocks or from a complete result.
struct Stmt : HandleBase {
    explicit Stmt(Conn* c) : HandleBase(SQL_HANDLE_STMT), conn(c) { }
    ~Stmt();
    Conn* conn;
    std::string sql;
    Translated tr;
    bool prepared = false;
    std::vector<ParamBinding> params;
    std::vector<ColBinding> binds;

    SQLULEN paramsetSize = 1, paramBindType = SQL_PARAM_BIND_BY_COLUMN;
    bool atomicArrays = true;  // DB2's default: one bad row fails the whole array
    SQLUSMALLINT* paramStatus = nullptr;
    SQLULEN* paramsProcessed = nullptr;
    SQLULEN* paramBindOffset = nullptr;
    SQLULEN rowArraySize = 1, rowBindType = SQL_BIND_BY_COLUMN;
    SQLULEN* rowsFetched = nullptr;
    SQLUSMALLINT* rowStatus = nullptr;
    SQLULEN* rowBindOffset = nullptr;
    SQLULEN queryTimeout = 0, cursorType = SQL_CURSOR_FORWARD_ONLY, concurrency = SQL_CONCUR_READ_ONLY, maxRows = 0;
    SQLULEN maxLength = 0, noscan = SQL_NOSCAN_OFF, retrieveData = SQL_RD_ON, cursorScrollable = SQL_NONSCROLLABLE;

    SQLLEN rowCount = -1;
    // The open result: a server cursor read in batches, or a complete result.
    bool hasResult = false;
    PGresult* res = nullptr;
    int row = -1, nrows = 0;
    bool cursorOpen = false;
    bool blockFailed = false;  // the server could not give the cursor's next block
    bool queryResult = false;  // the result of a query (not of a catalog function)
    long long rowsGiven = 0;
    int fetchRows = 0;  // rows asked of the cursor by the last FETCH
    std::string cursorName;
    std::vector<ResultColumn> columns;
    std::vector<long long> gdOffset;  // per column: bytes already returned by SQLGetData, -1 none
    std::vector<std::string> gdData;

    SQLRETURN prepare(const std::string& text);
    SQLRETURN execute();
    SQLRETURN executeStatement();
    std::optional<SQLRETURN> injectedFailure();
    SQLRETURN execDirect(const std::string& text);
    SQLRETURN fetch();
    SQLRETURN getData(SQLUSMALLINT col, SQLSMALLINT cType, SQLPOINTER buf, SQLLEN bufLen, SQLLEN* ind);
    SQLRETURN tables(const std::string& cat, const std::string& schem, const std::string& table,
                     const std::string& types, bool schemNull, bool tableNull);
    // SQLPrimaryKeys: the columns of the table's primary key; no schema means the current one.
    SQLRETURN primaryKeys(const std::string& schem, const std::string& table, bool schemNull);
    // Runs a catalog query as the statement's result.
    SQLRETURN catalogResult(const std::string& query, const std::vector<const char*>& values);
    void closeResult();
    bool setResult(PGresult* result, bool cursor);
    bool advance();

private:
    SQLRETURN openQuery(const std::vector<const char*>& values);
    // Under isolation RR, share-locks the tables the query reads until the
    // unit of work ends, as DB2's RR table locks keep out every writer.
    PGresult* shareLockReadTables();
    SQLRETURN runArray();
    // A binding the driver cannot take fails the statement, before any row goes in.
    bool bindingsUsable(Diag& err) const;
    // An atomic array runs under one savepoint (in a transaction of its own under autocommit).
    bool beginAtomic(bool& ownTransaction, Diag& err);
    void endAtomic(bool ownTransaction, bool keep);
    // Marks an atomic array failed at one row: nothing of it stays.
    SQLRETURN failAtomic(size_t badRow, Diag err);
    // In a database that is not Unicode, character data is stored in its code
    // page: a character it lacks becomes the substitution character 0x1A, and
    // the row is marked for the warning DB2 gives (01517).
    void storeInDatabaseCodePage(std::string& value, const TypeDesc& type, size_t row);
    std::set<size_t> substitutedRows;
    // Adds the 01517 warnings for the rows that arrived (`arrived`: per array
    // row; nullptr: a single row) and returns the statement's answer with them.
    SQLRETURN substitutionWarnings(SQLRETURN rc, const std::vector<char>* arrived);
    // Refuses a value longer than the declared SQL type of its parameter takes.
    void checkDeclaredLength(size_t p, const char* value, size_t length) const;
    SQLRETURN copyArray();
    std::optional<std::string> paramValue(size_t p, size_t row, Diag& err, bool& failed);
    bool rowValues(size_t row, std::vector<std::optional<std::string>>& out, Diag& err);
    // Appends one parameter of one array row to a COPY text buffer; false when
    // the value is refused (err says why).
    bool appendCopyValue(size_t p, size_t row, std::string& out, std::string& scratch, Diag& err, bool binary);
    // Whether every column of the array INSERT can go in COPY's binary format.
    bool binaryCopyPossible() const;
    SQLRETURN putValue(int col, SQLSMALLINT cType, char* buffer, SQLLEN bufLen, SQLLEN* indicator, long long* offset);
};

}  // namespace db2standin
