// The environment and connection handles, and the session behind a connection.
#pragma once

#include "Translate.h"

#include <libpq-fe.h>
#include <sql.h>
#include <sqlext.h>

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace db2standin {

// IBM CLI attributes (sqlcli1.h): LOBs as ODBC long types, and atomic parameter arrays.
constexpr SQLINTEGER kAttrLongDataCompat = 1253;
constexpr SQLINTEGER kAttrParamoptAtomic = 1260;
// SQL types IBM's CLI adds.
constexpr SQLSMALLINT kSqlBlob = -98, kSqlClob = -99, kSqlDbclob = -350;
constexpr SQLSMALLINT kSqlGraphic = -95, kSqlVarGraphic = -96, kSqlLongVarGraphic = -97, kSqlBoolean = 16;

// What every handle keeps: its type and its diagnostic records.
struct HandleBase {
    explicit HandleBase(SQLSMALLINT t) : handleType(t) { }
    SQLSMALLINT handleType;
    std::vector<Diag> diags;
    SQLRETURN fail(const Diag& d)
    {
        diags.push_back(d);
        return SQL_ERROR;
    }
    SQLRETURN warn(const Diag& d)
    {
        diags.push_back(d);
        return SQL_SUCCESS_WITH_INFO;
    }
};

// An ODBC environment: only the ODBC version the application asked for.
struct Env : HandleBase {
    Env() : HandleBase(SQL_HANDLE_ENV) { }
    SQLINTEGER odbcVersion = SQL_OV_ODBC3;
};

// One connection: a PostgreSQL session that answers as a DB2 database, and
// what the translator needs to know of its catalogue.
struct Conn : HandleBase, Catalog {
    explicit Conn(Env* e) : HandleBase(SQL_HANDLE_DBC), env(e) { }
    ~Conn() override;
    Env* env;
    PGconn* pg = nullptr;
    PGcancel* cancel = nullptr;
    // Guards `cancel` alone: SQLCancel comes from another thread while a call
    // holds `mutex`, and that call may end the session (a lost connection).
    std::mutex cancelMutex;
    std::recursive_mutex mutex;
    bool autocommit = true;
    bool txnOpen = false;  // a server transaction we began (manual commit, or for an open cursor)
    int openCursors = 0;
    std::string schema, database, user, host, port, connString;
    // CURRENT LOCK TIMEOUT as PostgreSQL's lock_timeout. DB2's special register
    // outlives a rollback, PostgreSQL's SET does not: set again after each one.
    std::string lockTimeout = "DEFAULT";
    void restoreLockTimeout();
    // LOBs described and bound as ODBC long types (LongDataCompat=1).
    bool longDataCompat = false;
    // Isolation RR (TxnIsolation=8 in the connection text or db2cli.ini):
    // a query share-locks the tables it reads until the unit of work ends.
    bool repeatableRead = false;
    // Page size of the one table space (DB2STANDIN_PAGE_SIZE, default 4K).
    long tablePageSize = 4096;
    // Application code page of SQL_C_CHAR data ("" for UTF-8) and the locale's decimal point.
    std::string appCodeset;
    char decimalPoint = '.';
    long pageSize() override { return tablePageSize; }
    // Code page of the database (DB2STANDIN_DATABASE_CODEPAGE, default 1208: Unicode).
    long databaseCodePage = 1208;
    bool unicodeDatabase() override { return databaseCodePage == 1208; }
    // extended_row_sz: ENABLE unless DB2STANDIN_EXTENDED_ROW_SZ says DISABLE.
    bool extendedRowSz = true;
    bool extendedRowSize() override { return extendedRowSz; }
    // How many changed rows the transaction log holds in one unit of work
    // (DB2STANDIN_LOG_ROWS; 0: no limit), and how many the open one has changed.
    long long logRowsLimit = 0;
    long long logRowsUsed = 0;
    // A failure raised on purpose (DB2STANDIN_FAIL_INSERT="SQLSTATE,SQLCODE,ROWS"):
    // once this connection has inserted ROWS rows, every INSERT that would
    // insert more fails with that SQLSTATE and SQLCODE.
    struct InjectedFailure {
        std::string sqlState;
        long sqlCode = 0;
        long long afterRows = 0;
    };
    std::optional<InjectedFailure> failInsert;
    long long rowsInserted = 0;
    // DB2STANDIN_LOSE_COMMIT=INSERT or RENAME: the first COMMIT of a unit of
    // work that inserted rows (or renamed a table) commits, and then the
    // connection is lost (SQL30081N) as if the answer never arrived. With
    // " BEFORE" (INSERT BEFORE, RENAME BEFORE) the connection is lost before
    // the COMMIT reaches the server: the unit of work is rolled back.
    std::string loseCommitAfter;
    bool loseBeforeCommit = false;
    bool unitInserted = false, unitRenamed = false;
    // DB2STANDIN_END_RESULTS_AFTER=ROWS: every query's result ends after ROWS
    // rows, without an error, as with a client that took a broken connection
    // for the result's end (0: results are whole).
    long long endResultsAfter = 0;
    std::string authorizationId() override { return upperAscii(user); }
    SQLUINTEGER loginTimeout = 0;
    int seq = 0;
    std::unordered_map<unsigned, TypeDesc> typeCache;  // type OID of a db2standin domain -> DB2 type
    struct Attr {
        bool notNull = false;
        unsigned type = 0;
        int typmod = -1;
    };
    std::unordered_map<unsigned, std::vector<Attr>> attrCache;  // table OID -> columns by attnum

    std::string currentSchema() override { return schema; }
    std::optional<std::vector<ColumnInfo>> columns(const std::string& tableSchema, const std::string& table) override;

    SQLRETURN connect(const std::string& connStr);
    void disconnect();
    // Runs one statement as DB2 would: within a transaction a failed statement is undone alone.
    PGresult* run(const std::string& sql, const std::vector<const char*>& values, Diag& err,
                  const Translated* context = nullptr);
    PGresult* exec(const std::string& sql);  // internal statement, no savepoint
    bool beginIfNeeded(Diag& err);
    SQLRETURN endTran(bool commit);
    void cursorClosed();
    TypeDesc resolveType(unsigned oid, int typmod);
    Diag mapError(const PGresult* res, const Translated* context);
};

// Whether a PostgreSQL result is an error (or missing).
bool resultFailed(const PGresult* result);
// One field of a failed result's error (PG_DIAG_SQLSTATE, ...); "" when absent.
std::string errorField(const PGresult* result, int code);

}  // namespace db2standin
