#include "DataConnection.h"

#include "DB2SqlDialect.h"
#include "DataRecordset.h"
#include "DriverEnvironment.h"
#include "StatementCancel.h"
#include "Utf16.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

void PrepareDriverEnvironment()
{
    static std::once_flag prepared;
    std::call_once(prepared, DB2SqlDialect::preferUtf8ClientText);
}

DataConnection::DataConnection() : canceller_(StatementCanceller::current())
{
    PrepareDriverEnvironment();
    env_ = OdbcHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    checkOdbc(SQLSetEnvAttr(env_.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
              SQL_HANDLE_ENV, env_.get(), "SQLSetEnvAttr(ODBC_VERSION)");
}

DataConnection::~DataConnection()
{
    try {
        close();
    } catch (...) {
        // A failing disconnect at release has nobody left to tell.
    }
}

void DataConnection::open(const std::string& connectionText)
{
    close();
    profile_.reset();
    narrowTextIsUtf8_.reset();
    dbc_ = OdbcHandle(SQL_HANDLE_DBC, env_.get());
    if (connectionTimeout_ > 0)
        SQLSetConnectAttrW(dbc_.get(), SQL_ATTR_LOGIN_TIMEOUT,
                           reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(connectionTimeout_)), 0);
    SqlWString text = toSqlW(connectionText);
    SQLWCHAR completed[1024];
    SQLSMALLINT completedLength = 0;
    const SQLRETURN rc = SQLDriverConnectW(dbc_.get(), nullptr, text.data(), static_cast<SQLSMALLINT>(text.size()),
                                           completed, 1024, &completedLength, SQL_DRIVER_NOPROMPT);
    if (!odbcSucceeded(rc)) {
        auto records = readDiagnostics(SQL_HANDLE_DBC, dbc_.get());
        dbc_.reset();
        throw DbError(std::move(records));
    }
    open_ = true;
}

void DataConnection::setCancelStop(std::function<void()> stop)
{
    StatementCanceller::trackStop(canceller_, this, std::move(stop));
}

void DataConnection::close()
{
    StatementCanceller::forgetStop(this);
    statementsCancellable_ = false;
    if (open_) {
        open_ = false;
        SQLDisconnect(dbc_.get());
    }
    dbc_.reset();
}

void DataConnection::requireOpen(const char* what) const
{
    if (!open_)
        throw DbError("08003", 0, std::string("Connection is not open (") + what + ")");
}

OdbcHandle DataConnection::newStatement()
{
    requireOpen("statement");
    OdbcHandle statement(SQL_HANDLE_STMT, dbc_.get());
    if (commandTimeout_ > 0)
        SQLSetStmtAttrW(statement.get(), SQL_ATTR_QUERY_TIMEOUT,
                        reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(commandTimeout_)), 0);
    if (statementsCancellable_)
        StatementCanceller::track(canceller_, statement.get());
    return statement;
}

std::optional<std::string> DataConnection::readNarrowText(const std::string& sql)
{
    OdbcHandle statement = newStatement();
    SqlWString text = toSqlW(sql);
    checkOdbc(SQLExecDirectW(statement.get(), text.data(), static_cast<SQLINTEGER>(text.size())), SQL_HANDLE_STMT,
              statement.get(), "SQLExecDirect");
    const SQLRETURN rc = SQLFetch(statement.get());
    if (rc == SQL_NO_DATA)
        return std::nullopt;
    checkOdbc(rc, SQL_HANDLE_STMT, statement.get(), "SQLFetch");
    char value[64] = {};
    SQLLEN length = 0;
    checkOdbc(SQLGetData(statement.get(), 1, SQL_C_CHAR, value, sizeof value, &length), SQL_HANDLE_STMT,
              statement.get(), "SQLGetData");
    if (length == SQL_NULL_DATA)
        return std::nullopt;
    return std::string(value, std::min<size_t>(std::strlen(value), sizeof value - 1));
}

std::unique_ptr<DataRecordset> DataConnection::execute(const std::string& sql, long long* rowsAffected)
{
    OdbcHandle statement = newStatement();
    SqlWString text = toSqlW(sql);
    checkOdbc(SQLExecDirectW(statement.get(), text.data(), static_cast<SQLINTEGER>(text.size())), SQL_HANDLE_STMT,
              statement.get(), "SQLExecDirect", SQL_NO_DATA);
    if (rowsAffected) {
        SQLLEN count = -1;
        SQLRowCount(statement.get(), &count);
        *rowsAffected = count;
    }
    SQLSMALLINT columns = 0;
    SQLNumResultCols(statement.get(), &columns);
    if (columns <= 0)
        return nullptr;
    auto recordset = std::make_unique<DataRecordset>();
    recordset->attach(std::move(statement), cursorLocation_ == kClientSideCursor);
    return recordset;
}

std::unique_ptr<DataRecordset> DataConnection::openSchema(int schema, const std::optional<std::string>& tableSchema)
{
    if (schema != kSchemaTables)
        throw DbError("HYC00", 0, "Only the tables schema (20) is supported");
    OdbcHandle statement = newStatement();
    SqlWString schemaText = tableSchema ? toSqlW(*tableSchema) : SqlWString();
    checkOdbc(SQLTablesW(statement.get(), nullptr, 0, tableSchema ? schemaText.data() : nullptr,
                         tableSchema ? static_cast<SQLSMALLINT>(schemaText.size()) : 0, nullptr, 0, nullptr, 0),
              SQL_HANDLE_STMT, statement.get(), "SQLTables");
    auto recordset = std::make_unique<DataRecordset>();
    recordset->attach(std::move(statement), cursorLocation_ == kClientSideCursor);
    return recordset;
}

std::vector<std::string> DataConnection::primaryKeyColumns(const std::string& table,
                                                           const std::optional<std::string>& schema)
{
    requireOpen("primary key");
    OdbcHandle statement = newStatement();
    SqlWString tableText = toSqlW(table);
    SqlWString schemaText = schema ? toSqlW(*schema) : SqlWString();
    checkOdbc(SQLPrimaryKeysW(statement.get(), nullptr, 0, schema ? schemaText.data() : nullptr,
                              schema ? static_cast<SQLSMALLINT>(schemaText.size()) : 0, tableText.data(),
                              static_cast<SQLSMALLINT>(tableText.size())),
              SQL_HANDLE_STMT, statement.get(), "SQLPrimaryKeys");
    DataRecordset rows;
    rows.attach(std::move(statement), true);
    // COLUMN_NAME and KEY_SEQ; drivers sort by schema and table, not always by KEY_SEQ.
    std::vector<std::pair<int, std::string>> key;
    for (; !rows.eof(); rows.moveNext())
        key.emplace_back(std::stoi(rows.field(4).value.value_or("0")), rows.field(3).value.value_or(""));
    std::sort(key.begin(), key.end());
    std::vector<std::string> columns;
    for (auto& [sequence, name] : key)
        columns.push_back(std::move(name));
    return columns;
}

SQLUSMALLINT DataConnection::driverInfo(SQLUSMALLINT infoType)
{
    requireOpen("driver information");
    SQLUSMALLINT value = 0;
    checkOdbc(SQLGetInfoW(dbc_.get(), infoType, &value, sizeof value, nullptr), SQL_HANDLE_DBC, dbc_.get(),
              "SQLGetInfo");
    return value;
}

void DataConnection::setAutoCommit(bool on)
{
    requireOpen("autocommit");
    checkOdbc(SQLSetConnectAttrW(
                  dbc_.get(), SQL_ATTR_AUTOCOMMIT,
                  reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)), 0),
              SQL_HANDLE_DBC, dbc_.get(), "SQLSetConnectAttr(AUTOCOMMIT)");
}

Transaction::Transaction(DataConnection& connection) : connection_(connection) { connection_.setAutoCommit(false); }

Transaction::~Transaction()
{
    try {
        connection_.rollback();
    } catch (const DbError&) {
    }
    try {
        connection_.setAutoCommit(true);
    } catch (const DbError&) {
    }
}

void DataConnection::commit()
{
    requireOpen("commit");
    checkOdbc(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_COMMIT), SQL_HANDLE_DBC, dbc_.get(), "SQLEndTran(COMMIT)");
}

void DataConnection::rollback()
{
    requireOpen("rollback");
    checkOdbc(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK), SQL_HANDLE_DBC, dbc_.get(), "SQLEndTran(ROLLBACK)");
}
