#include "Statement.h"

#include "Values.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace db2standin {

namespace {

// A cursor is read in blocks bounded by bytes, as DB2's block fetch is: a
// first small block, then each sized from the rows of the one before to hold
// about kFetchBytes.
const int kFirstFetchRows = 64, kMaxFetchRows = 2000;
const long long kFetchBytes = 8ll << 20;

int nextFetchRows(const PGresult* last)
{
    const int rows = PQntuples(last), cols = PQnfields(last);
    if (rows == 0)
        return kFirstFetchRows;
    long long bytes = 0;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            bytes += PQgetlength(last, r, c) + 8;
    const long long perRow = std::max(1ll, bytes / rows);
    return static_cast<int>(std::clamp(kFetchBytes / perRow, 1ll, static_cast<long long>(kMaxFetchRows)));
}

}  // namespace

Stmt::~Stmt() { closeResult(); }

void Stmt::closeResult()
{
    if (cursorOpen) {
        PQclear(conn->exec("CLOSE " + cursorName));
        cursorOpen = false;
        conn->cursorClosed();
    }
    if (res)
        PQclear(res);
    res = nullptr;
    hasResult = false;
    blockFailed = false;
    row = -1;
    nrows = 0;
    columns.clear();
}

bool Stmt::setResult(PGresult* result, bool cursor)
{
    res = result;
    nrows = PQntuples(result);
    row = -1;
    hasResult = true;
    queryResult = cursor;
    rowsGiven = 0;
    int count = PQnfields(result);
    columns.assign(count, ResultColumn {});
    gdOffset.assign(count, -1);
    gdData.assign(count, std::string());
    for (int c = 0; c < count; ++c) {
        ResultColumn& col = columns[c];
        col.name = PQfname(result, c);
        col.pgType = PQftype(result, c);
        col.type = conn->resolveType(col.pgType, PQfmod(result, c));
        // A column read straight from a table: its declared type (a domain) tells the DB2 type,
        // as results report only the domain's base type.
        unsigned table = PQftable(result, c);
        int attnum = PQftablecol(result, c);
        if (table && attnum > 0) {
            auto it = conn->attrCache.find(table);
            if (it == conn->attrCache.end()) {
                std::string tableText = std::to_string(table);
                const char* values[] = {tableText.c_str()};
                PGresult* read = PQexecParams(conn->pg,
                                              "SELECT attnum, attnotnull, atttypid, atttypmod FROM pg_attribute WHERE "
                                              "attrelid = $1::oid AND attnum > 0",
                                              1, nullptr, values, nullptr, nullptr, 0);
                std::vector<Conn::Attr> declarations;
                if (!resultFailed(read))
                    for (int i = 0; i < PQntuples(read); ++i) {
                        size_t number = static_cast<size_t>(std::atoi(PQgetvalue(read, i, 0)));
                        if (declarations.size() <= number)
                            declarations.resize(number + 1);
                        declarations[number].notNull = PQgetvalue(read, i, 1)[0] == 't';
                        declarations[number].type
                            = static_cast<unsigned>(std::strtoul(PQgetvalue(read, i, 2), nullptr, 10));
                        declarations[number].typmod = std::atoi(PQgetvalue(read, i, 3));
                    }
                PQclear(read);
                it = conn->attrCache.emplace(table, declarations).first;
            }
            if (static_cast<size_t>(attnum) < it->second.size()) {
                const Conn::Attr& declared = it->second[attnum];
                if (declared.notNull)
                    col.nullable = SQL_NO_NULLS;
                if (declared.type >= 16384)
                    col.type = conn->resolveType(declared.type, declared.typmod);
            }
        }
    }
    return true;
}

SQLRETURN Stmt::prepare(const std::string& text)
{
    closeResult();
    sql = text;
    prepared = false;
    try {
        tr = translate(text, *conn);
    } catch (const SqlError& e) {
        return fail(e.diag);
    }
    prepared = true;
    return SQL_SUCCESS;
}

SQLRETURN Stmt::execDirect(const std::string& text)
{
    SQLRETURN r = prepare(text);
    if (r != SQL_SUCCESS)
        return r;
    r = execute();
    prepared = true;
    return r;
}

// DB2 logs every changed row, and its transaction log holds a limited
// amount: a unit of work that outgrows it is rolled back whole (SQL0964C).
// Under autocommit each statement commits on its own and is not limited here.
SQLRETURN Stmt::execute()
{
    if (!conn->txnOpen) {
        conn->logRowsUsed = 0;
        conn->unitInserted = conn->unitRenamed = false;
    }
    if (const auto injected = injectedFailure())
        return *injected;
    const SQLRETURN result = executeStatement();
    if (result == SQL_SUCCESS || result == SQL_SUCCESS_WITH_INFO) {
        if (tr.kind == Translated::Insert && rowCount > 0) {
            conn->rowsInserted += rowCount;
            conn->unitInserted = !conn->autocommit;
        }
        if (tr.kind == Translated::Rename)
            conn->unitRenamed = !conn->autocommit;
    }
    if ((result != SQL_SUCCESS && result != SQL_SUCCESS_WITH_INFO) || conn->autocommit || conn->logRowsLimit == 0
        || tr.kind == Translated::Query || rowCount <= 0)
        return result;
    conn->logRowsUsed += rowCount;
    if (conn->logRowsUsed <= conn->logRowsLimit)
        return result;
    PQclear(conn->exec("ROLLBACK"));
    conn->txnOpen = false;
    conn->openCursors = 0;
    conn->logRowsUsed = 0;
    conn->restoreLockTimeout();
    for (size_t i = 0; paramStatus && i < (tr.paramCount > 0 ? paramsetSize : 1); ++i)
        paramStatus[i] = SQL_PARAM_ERROR;
    rowCount = 0;
    diags.clear();
    return fail(serverError("57011", -964, "SQL0964C  The transaction log for the database is full."));
}

// The failure DB2STANDIN_FAIL_INSERT asks for, once the connection has
// inserted its rows: nothing of the statement goes in. As DB2 does, SQL0911N
// and SQL0964C roll back the unit of work, and a communication error
// (SQLSTATE class 08) loses the connection.
std::optional<SQLRETURN> Stmt::injectedFailure()
{
    const auto& injected = conn->failInsert;
    if (!injected || tr.kind != Translated::Insert)
        return std::nullopt;
    const long long rows = tr.paramCount > 0 ? static_cast<long long>(paramsetSize) : 1;
    if (conn->rowsInserted + rows <= injected->afterRows)
        return std::nullopt;
    closeResult();
    rowCount = 0;
    for (size_t i = 0; paramStatus && i < static_cast<size_t>(rows); ++i)
        paramStatus[i] = SQL_PARAM_ERROR;
    if (paramsProcessed)
        *paramsProcessed = 0;
    if (injected->sqlCode == -911 || injected->sqlCode == -964) {
        PQclear(conn->exec("ROLLBACK"));
        conn->txnOpen = false;
        conn->openCursors = 0;
        conn->restoreLockTimeout();
    }
    char code[24];
    std::snprintf(code, sizeof code, "%04ld", injected->sqlCode < 0 ? -injected->sqlCode : injected->sqlCode);
    const Diag diag
        = serverError(injected->sqlState, static_cast<int>(injected->sqlCode),
                      std::string("SQL") + code + "N  Raised on purpose by DB2STANDIN_FAIL_INSERT after "
                          + std::to_string(injected->afterRows) + " inserted rows.");
    if (injected->sqlState.rfind("08", 0) == 0)
        conn->disconnect();
    return fail(diag);
}

SQLRETURN Stmt::executeStatement()
{
    if (!prepared)
        return fail(clientError("HY010", -99999, "CLI0125E  Function sequence error. SQLSTATE=HY010"));
    closeResult();
    rowCount = -1;
    if (static_cast<int>(params.size()) < tr.paramCount)
        params.resize(tr.paramCount);
    for (int p = 0; p < tr.paramCount; ++p)
        if (!params[p].bound)
            return fail(clientError("07002", -99999, "CLI0100E  Wrong number of parameters. SQLSTATE=07002"));
    if (Diag unusable; !bindingsUsable(unusable)) {
        if (paramStatus)
            for (size_t i = 0; i < (tr.paramCount > 0 ? paramsetSize : 1); ++i)
                paramStatus[i] = SQL_PARAM_ERROR;
        if (paramsProcessed)
            *paramsProcessed = 0;
        return fail(unusable);
    }
    for (const auto& statement : tr.prepare) {
        PGresult* result = conn->exec(statement);
        PQclear(result);
    }
    if (tr.kind == Translated::Ddl || tr.kind == Translated::DropTable || tr.kind == Translated::Rename)
        conn->attrCache.clear();
    substitutedRows.clear();
    size_t rows = tr.paramCount > 0 ? paramsetSize : 1;
    if (rows > 1 && tr.kind != Translated::Query) {
        if (tr.kind == Translated::Insert && tr.onlyParams)
            return copyArray();
        return runArray();
    }
    if (paramsProcessed)
        *paramsProcessed = 1;
    std::vector<std::optional<std::string>> values;
    Diag err;
    if (!rowValues(0, values, err)) {
        if (paramStatus)
            paramStatus[0] = SQL_PARAM_ERROR;
        return fail(err);
    }
    std::vector<const char*> pointers;
    for (auto& value : values)
        pointers.push_back(value ? value->c_str() : nullptr);
    if (tr.kind == Translated::Query) {
        SQLRETURN result = openQuery(pointers);
        if (paramStatus)
            paramStatus[0] = result == SQL_ERROR ? SQL_PARAM_ERROR : SQL_PARAM_SUCCESS;
        return result;
    }
    PGresult* result = conn->run(tr.sql, pointers, err, &tr);
    if (!result) {
        if (paramStatus)
            paramStatus[0] = SQL_PARAM_ERROR;
        return fail(err);
    }
    const char* affected = PQcmdTuples(result);
    rowCount = *affected ? std::atoll(affected) : -1;
    PQclear(result);
    for (const auto& statement : tr.after)
        PQclear(conn->exec(statement));
    if (tr.kind == Translated::SetSchema)
        conn->schema = tr.schema;
    if (tr.kind == Translated::SetLockTimeout)
        conn->lockTimeout = tr.lockTimeout;
    if (paramStatus)
        paramStatus[0] = SQL_PARAM_SUCCESS;
    if ((tr.kind == Translated::Other || tr.kind == Translated::Insert) && rowCount == 0
        && (sql.size() > 6 && (upperAscii(sql.substr(0, 6)) == "UPDATE" || upperAscii(sql.substr(0, 6)) == "DELETE")))
        return SQL_NO_DATA;  // DB2 reports a searched UPDATE/DELETE that touched no row as SQL_NO_DATA
    return substitutionWarnings(SQL_SUCCESS, nullptr);
}

// nullptr when there is nothing to lock.
PGresult* Stmt::shareLockReadTables()
{
    const bool repeatableRead = tr.isolation.empty() ? conn->repeatableRead : tr.isolation == "RR";
    if (!repeatableRead || tr.readTables.empty())
        return nullptr;
    std::string tables;
    for (const auto& table : tr.readTables)
        tables += (tables.empty() ? "" : ", ") + table;
    // A name the translator took for a table that is none is left to the query itself.
    PQclear(conn->exec("SAVEPOINT db2lock"));
    PGresult* result = conn->exec("LOCK TABLE " + tables + " IN SHARE MODE");
    const std::string state = resultFailed(result) ? errorField(result, PG_DIAG_SQLSTATE) : "";
    if (resultFailed(result) && state != "55P03" && state != "40P01") {
        PQclear(result);
        result = conn->exec("ROLLBACK TO SAVEPOINT db2lock");
    }
    if (!resultFailed(result))
        PQclear(conn->exec("RELEASE SAVEPOINT db2lock"));
    return result;
}

SQLRETURN Stmt::openQuery(const std::vector<const char*>& values)
{
    Diag err;
    cursorName = "db2c" + std::to_string(++conn->seq);
    bool began = false;
    if (!conn->txnOpen) {
        PGresult* begin = conn->exec("BEGIN");
        bool ok = !resultFailed(begin);
        if (!ok)
            err = conn->mapError(begin, &tr);
        PQclear(begin);
        if (!ok)
            return fail(err);
        conn->txnOpen = true;
        began = true;
    }
    bool ownSavepoint = !began;
    if (ownSavepoint)
        PQclear(conn->exec("SAVEPOINT db2open"));
    PGresult* result = shareLockReadTables();
    if (!result || !resultFailed(result)) {
        PQclear(result);
        std::string declare = "DECLARE " + cursorName + " NO SCROLL CURSOR FOR " + tr.sql;
        result = values.empty() ? conn->exec(declare)
                                : PQexecParams(conn->pg, declare.c_str(), static_cast<int>(values.size()), nullptr,
                                               values.data(), nullptr, nullptr, 0);
    }
    if (!resultFailed(result)) {
        PQclear(result);
        fetchRows = kFirstFetchRows;
        result = conn->exec("FETCH FORWARD " + std::to_string(fetchRows) + " FROM " + cursorName);
    }
    if (resultFailed(result)) {
        err = conn->mapError(result, &tr);
        // A lock timeout or deadlock (SQL0911N) rolls back the whole unit of work.
        const bool wholeUnitOfWork
            = errorField(result, PG_DIAG_SQLSTATE) == "40P01" || errorField(result, PG_DIAG_SQLSTATE) == "55P03";
        PQclear(result);
        if (began || wholeUnitOfWork) {
            PQclear(conn->exec("ROLLBACK"));
            conn->openCursors = 0;
            conn->txnOpen = false;
        } else {
            PQclear(conn->exec("ROLLBACK TO SAVEPOINT db2open; RELEASE SAVEPOINT db2open"));
        }
        return fail(err);
    }
    if (ownSavepoint)
        PQclear(conn->exec("RELEASE SAVEPOINT db2open"));
    cursorOpen = true;
    ++conn->openCursors;
    setResult(result, true);
    if (nrows < fetchRows) {
        // All rows are here: give the server its transaction back at once.
        PQclear(conn->exec("CLOSE " + cursorName));
        cursorOpen = false;
        conn->cursorClosed();
    }
    return SQL_SUCCESS;
}

bool Stmt::advance()
{
    if (!hasResult || (queryResult && conn->endResultsAfter > 0 && rowsGiven >= conn->endResultsAfter))
        return false;
    if (row + 1 < nrows) {
        ++row;
    } else {
        if (!cursorOpen) {
            row = nrows;
            return false;
        }
        fetchRows = nextFetchRows(res);
        PQclear(res);
        res = conn->exec("FETCH FORWARD " + std::to_string(fetchRows) + " FROM " + cursorName);
        if (resultFailed(res)) {
            diags.push_back(conn->mapError(res, &tr));
            blockFailed = true;
            PQclear(res);
            res = nullptr;
            nrows = 0;
            row = 0;
            cursorOpen = false;
            conn->cursorClosed();
            return false;
        }
        nrows = PQntuples(res);
        row = 0;
        if (nrows < fetchRows) {
            PQclear(conn->exec("CLOSE " + cursorName));
            cursorOpen = false;
            conn->cursorClosed();
        }
        if (nrows == 0)
            return false;
    }
    std::fill(gdOffset.begin(), gdOffset.end(), -1);
    ++rowsGiven;
    return true;
}

SQLRETURN Stmt::fetch()
{
    if (!hasResult)
        return fail(clientError("24000", -99999, "CLI0115E  Invalid cursor state. SQLSTATE=24000"));
    SQLULEN fetched = 0;
    SQLRETURN ret = SQL_SUCCESS;
    size_t off = rowBindOffset ? *rowBindOffset : 0;
    for (SQLULEN r = 0; r < rowArraySize; ++r) {
        if (!advance())
            break;
        SQLUSMALLINT status = SQL_ROW_SUCCESS;
        for (size_t c = 0; c < binds.size() && c < columns.size(); ++c) {
            const ColBinding& b = binds[c];
            if (!b.bound)
                continue;
            size_t elem
                = fixedSize(b.cType == SQL_C_DEFAULT ? defaultCType(odbcType(columns[c].type, false)) : b.cType);
            size_t stride
                = rowBindType != SQL_BIND_BY_COLUMN ? rowBindType : (elem ? elem : static_cast<size_t>(b.bufLen));
            size_t indStride = rowBindType != SQL_BIND_BY_COLUMN ? rowBindType : sizeof(SQLLEN);
            char* data = b.data ? static_cast<char*>(b.data) + off + stride * r : nullptr;
            SQLLEN* ind
                = b.ind ? reinterpret_cast<SQLLEN*>(reinterpret_cast<char*>(b.ind) + off + indStride * r) : nullptr;
            SQLRETURN pr = putValue(static_cast<int>(c), b.cType, data, b.bufLen, ind, nullptr);
            if (pr == SQL_ERROR) {
                status = SQL_ROW_ERROR;
                ret = SQL_SUCCESS_WITH_INFO;
            } else if (pr == SQL_SUCCESS_WITH_INFO) {
                if (status == SQL_ROW_SUCCESS)
                    status = SQL_ROW_SUCCESS_WITH_INFO;
                ret = SQL_SUCCESS_WITH_INFO;
            }
        }
        if (rowStatus)
            rowStatus[r] = status;
        ++fetched;
    }
    if (rowStatus)
        for (SQLULEN r = fetched; r < rowArraySize; ++r)
            rowStatus[r] = SQL_ROW_NOROW;
    if (rowsFetched)
        *rowsFetched = fetched;
    // A block the server could not give fails the call, whatever rows came
    // before it in the rowset, and ends the result: neither the rows so far
    // nor a later fetch may pass for the result's end.
    if (blockFailed) {
        closeResult();
        return SQL_ERROR;
    }
    if (fetched == 0)
        return SQL_NO_DATA;
    // `row` stays on the block's last row, the one SQLGetData reads.
    return ret;
}

SQLRETURN Stmt::tables(const std::string&, const std::string& schem, const std::string& table, const std::string& types,
                       bool schemNull, bool tableNull)
{
    closeResult();
    std::string s = schemNull || schem.empty() ? "%" : schem;
    std::string t = tableNull || table.empty() ? "%" : table;
    // Type list: 'TABLE','VIEW' or TABLE,VIEW
    std::string list = "{";
    std::string cur;
    bool any = false;
    auto flush = [&] {
        std::string w = trimBlanks(cur);
        if (w.size() >= 2 && w.front() == '\'' && w.back() == '\'')
            w = w.substr(1, w.size() - 2);
        if (!w.empty() && w != "%") {
            list += (any ? ",\"" : "\"") + upperAscii(w) + "\"";
            any = true;
        }
        cur.clear();
    };
    for (char c : types) {
        if (c == ',')
            flush();
        else
            cur += c;
    }
    flush();
    list += "}";
    std::string q
        = "SELECT CAST(NULL AS varchar(128)) AS \"TABLE_CAT\", s::varchar(128) AS \"TABLE_SCHEM\", n::varchar(128) AS "
          "\"TABLE_NAME\", "
          "t::varchar(128) AS \"TABLE_TYPE\", CAST(NULL AS varchar(254)) AS \"REMARKS\" FROM ("
          " SELECT ns.nspname AS s, c.relname AS n,"
          "  CASE WHEN ns.nspname IN ('SYSIBM', 'SYSCAT', 'SYSSTAT', 'SYSTOOLS', 'SYSIBMADM') THEN 'SYSTEM TABLE'"
          "       WHEN EXISTS (SELECT 1 FROM db2standin.inoperative_views i WHERE i.schema = ns.nspname"
          "                    AND i.name = c.relname) THEN 'INOPERATIVE VIEW'"
          "       WHEN c.relkind IN ('v', 'm') THEN 'VIEW' ELSE 'TABLE' END AS t"
          " FROM pg_class c JOIN pg_namespace ns ON ns.oid = c.relnamespace"
          " WHERE c.relkind IN ('r', 'p', 'v', 'm') AND ns.nspname NOT LIKE 'pg\\_%' AND ns.nspname NOT IN "
          "('information_schema', 'db2standin')"
          "  AND NOT EXISTS (SELECT 1 FROM db2standin.aliases a WHERE a.schema = ns.nspname AND a.name = c.relname)"
          " UNION ALL SELECT schema, name, 'ALIAS' FROM db2standin.aliases"
          ") x WHERE s LIKE $1 AND n LIKE $2"
        + std::string(any ? " AND t = ANY($3::text[])" : "") + " ORDER BY t, s, n";
    std::vector<const char*> vals = {s.c_str(), t.c_str()};
    if (any)
        vals.push_back(list.c_str());
    return catalogResult(q, vals);
}

SQLRETURN Stmt::catalogResult(const std::string& query, const std::vector<const char*>& values)
{
    PGresult* r = PQexecParams(conn->pg, query.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                               nullptr, nullptr, 0);
    if (resultFailed(r)) {
        Diag d = conn->mapError(r, nullptr);
        PQclear(r);
        return fail(d);
    }
    setResult(r, false);
    rowCount = -1;
    return SQL_SUCCESS;
}

SQLRETURN Stmt::primaryKeys(const std::string& schem, const std::string& table, bool schemNull)
{
    closeResult();
    // Without a schema the login's own is searched, not CURRENT SCHEMA: the
    // stricter of the readings IBM's documentation leaves open.
    const std::string schema = schemNull || schem.empty() ? upperAscii(conn->user) : schem;
    const char* q = "SELECT CAST(NULL AS varchar(128)) AS \"TABLE_CAT\", ns.nspname::varchar(128) AS \"TABLE_SCHEM\","
                    " c.relname::varchar(128) AS \"TABLE_NAME\", a.attname::varchar(128) AS \"COLUMN_NAME\","
                    " k.seq::smallint AS \"KEY_SEQ\", con.conname::varchar(128) AS \"PK_NAME\""
                    " FROM pg_constraint con JOIN pg_class c ON c.oid = con.conrelid JOIN pg_namespace ns ON ns.oid = "
                    "c.relnamespace"
                    " CROSS JOIN LATERAL unnest(con.conkey) WITH ORDINALITY AS k(attnum, seq)"
                    " JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum = k.attnum"
                    " WHERE con.contype = 'p' AND ns.nspname = $1 AND c.relname = $2 ORDER BY 2, 3, 5";
    return catalogResult(q, {schema.c_str(), table.c_str()});
}

}  // namespace db2standin
