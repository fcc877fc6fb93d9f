// Handles and the engine behind the ODBC entry points (narrow and wide wrappers
// live in Api.cpp).
#pragma once

#include "Translate.h"

#include <libpq-fe.h>
#include <sql.h>
#include <sqlext.h>

#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace db2standin {

// IBM CLI attributes (sqlcli1.h): LOBs as ODBC long types, and atomic parameter arrays.
constexpr SQLINTEGER kAttrLongDataCompat = 1253;
constexpr SQLINTEGER kAttrParamoptAtomic = 1260;
// SQL types IBM's CLI adds.
constexpr SQLSMALLINT kSqlBlob = -98, kSqlClob = -99, kSqlDbclob = -350;

struct HandleBase {
  explicit HandleBase(SQLSMALLINT t) : handleType(t) {}
  SQLSMALLINT handleType;
  std::vector<Diag> diags;
  SQLRETURN fail(const Diag &d) {
    diags.push_back(d);
    return SQL_ERROR;
  }
  SQLRETURN warn(const Diag &d) {
    diags.push_back(d);
    return SQL_SUCCESS_WITH_INFO;
  }
};

struct Env : HandleBase {
  Env() : HandleBase(SQL_HANDLE_ENV) {}
  SQLINTEGER odbcVersion = SQL_OV_ODBC3;
};

struct Stmt;

struct Conn : HandleBase, Catalog {
  explicit Conn(Env *e) : HandleBase(SQL_HANDLE_DBC), env(e) {}
  ~Conn() override;
  Env *env;
  PGconn *pg = nullptr;
  PGcancel *cancel = nullptr;
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
  std::optional<std::vector<ColumnInfo>> columns(const std::string &schema, const std::string &table) override;

  SQLRETURN connect(const std::string &connStr);
  void disconnect();
  // Runs one statement as DB2 would: within a transaction a failed statement is undone alone.
  PGresult *run(const std::string &sql, const std::vector<const char *> &values, Diag &err,
                const Translated *context = nullptr);
  PGresult *exec(const std::string &sql);  // internal statement, no savepoint
  bool beginIfNeeded(Diag &err);
  SQLRETURN endTran(bool commit);
  void cursorClosed();
  TypeDesc resolveType(unsigned oid, int typmod);
  Diag mapError(const PGresult *res, const Translated *context);
};

struct ParamBinding {
  bool bound = false;
  SQLSMALLINT cType = SQL_C_CHAR, sqlType = SQL_VARCHAR;
  SQLULEN columnSize = 0;
  SQLSMALLINT digits = 0;
  SQLPOINTER data = nullptr;
  SQLLEN bufLen = 0;
  SQLLEN *ind = nullptr;
};

struct ColBinding {
  bool bound = false;
  SQLSMALLINT cType = SQL_C_CHAR;
  SQLPOINTER data = nullptr;
  SQLLEN bufLen = 0;
  SQLLEN *ind = nullptr;
};

struct ResultColumn {
  std::string name;
  TypeDesc type;
  unsigned pgType = 0;
  SQLSMALLINT nullable = SQL_NULLABLE;
};

struct Stmt : HandleBase {
  explicit Stmt(Conn *c) : HandleBase(SQL_HANDLE_STMT), conn(c) {}
  ~Stmt();
  Conn *conn;
  std::string sql;
  Translated tr;
  bool prepared = false;
  std::vector<ParamBinding> params;
  std::vector<ColBinding> binds;

  SQLULEN paramsetSize = 1, paramBindType = SQL_PARAM_BIND_BY_COLUMN;
  bool atomicArrays = true;  // DB2's default: one bad row fails the whole array
  SQLUSMALLINT *paramStatus = nullptr;
  SQLULEN *paramsProcessed = nullptr;
  SQLULEN *paramBindOffset = nullptr;
  SQLULEN rowArraySize = 1, rowBindType = SQL_BIND_BY_COLUMN;
  SQLULEN *rowsFetched = nullptr;
  SQLUSMALLINT *rowStatus = nullptr;
  SQLULEN *rowBindOffset = nullptr;
  SQLULEN queryTimeout = 0, cursorType = SQL_CURSOR_FORWARD_ONLY, concurrency = SQL_CONCUR_READ_ONLY, maxRows = 0;
  SQLULEN maxLength = 0, noscan = SQL_NOSCAN_OFF, retrieveData = SQL_RD_ON, cursorScrollable = SQL_NONSCROLLABLE;

  SQLLEN rowCount = -1;
  // The open result: a server cursor read in batches, or a complete result.
  bool hasResult = false;
  PGresult *res = nullptr;
  int row = -1, nrows = 0;
  bool cursorOpen = false;
  int fetchRows = 0;  // rows asked of the cursor by the last FETCH
  std::string cursorName;
  std::vector<ResultColumn> columns;
  std::vector<long long> gdOffset;  // per column: bytes already returned by SQLGetData, -1 none
  std::vector<std::string> gdData;

  SQLRETURN prepare(const std::string &text);
  SQLRETURN execute();
  SQLRETURN execDirect(const std::string &text);
  SQLRETURN fetch();
  SQLRETURN getData(SQLUSMALLINT col, SQLSMALLINT cType, SQLPOINTER buf, SQLLEN bufLen, SQLLEN *ind);
  SQLRETURN tables(const std::string &cat, const std::string &schem, const std::string &table, const std::string &types,
                   bool schemNull, bool tableNull);
  // SQLPrimaryKeys: the columns of the table's primary key; no schema means the current one.
  SQLRETURN primaryKeys(const std::string &schem, const std::string &table, bool schemNull);
  // Runs a catalog query as the statement's result.
  SQLRETURN catalogResult(const std::string &query, const std::vector<const char *> &values);
  void closeResult();
  bool setResult(PGresult *r, bool cursor);
  bool advance();

 private:
  SQLRETURN openQuery(const std::vector<const char *> &values);
  // Under isolation RR, share-locks the tables the query reads until the
  // unit of work ends, as DB2's RR table locks keep out every writer.
  PGresult *shareLockReadTables();
  SQLRETURN runArray();
  // A binding the driver cannot take fails the statement, before any row goes in.
  bool bindingsUsable(Diag &err) const;
  // An atomic array runs under one savepoint (in a transaction of its own under autocommit).
  bool beginAtomic(bool &ownTransaction, Diag &err);
  void endAtomic(bool ownTransaction, bool keep);
  // Marks an atomic array failed at one row: nothing of it stays.
  SQLRETURN failAtomic(size_t badRow, Diag err);
  // In a database that is not Unicode, character data is stored in its code
  // page: a character it lacks becomes the substitution character 0x1A, and
  // the row is marked for the warning DB2 gives (01517).
  void storeInDatabaseCodePage(std::string &value, const TypeDesc &type, size_t row);
  std::set<size_t> substitutedRows;
  // Adds the 01517 warnings for the rows that arrived (`arrived`: per array
  // row; nullptr: a single row) and returns the statement's answer with them.
  SQLRETURN substitutionWarnings(SQLRETURN rc, const std::vector<char> *arrived);
  // Refuses a value longer than the declared SQL type of its parameter takes.
  void checkDeclaredLength(size_t p, const char *value, size_t length) const;
  SQLRETURN copyArray();
  std::optional<std::string> paramValue(size_t p, size_t row, Diag &err, bool &failed);
  bool rowValues(size_t row, std::vector<std::optional<std::string>> &out, Diag &err);
  // Appends one parameter of one array row to a COPY text buffer; false when
  // the value is refused (err says why).
  bool appendCopyValue(size_t p, size_t row, std::string &out, std::string &scratch, Diag &err, bool binary);
  // Whether every column of the array INSERT can go in COPY's binary format.
  bool binaryCopyPossible() const;
  SQLRETURN putValue(int col, SQLSMALLINT cType, char *buf, SQLLEN bufLen, SQLLEN *ind, long long *offset);
};

}  // namespace db2standin
