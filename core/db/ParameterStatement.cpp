#include "ParameterStatement.h"

#include "DataConnection.h"
#include "Utf16.h"

#include <algorithm>

namespace {

// One cell as the driver's narrow text, read in pieces.
std::optional<std::string> readText(SQLHSTMT statement, SQLUSMALLINT column)
{
    std::string text;
    char chunk[65536];
    const size_t room = sizeof chunk - 1;  // the driver ends every piece with a NUL
    SQLLEN indicator = 0;
    for (;;) {
        const SQLRETURN rc = SQLGetData(statement, column, SQL_C_CHAR, chunk, sizeof chunk, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        checkOdbc(rc, SQL_HANDLE_STMT, statement, "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return std::nullopt;
        text.append(
            chunk,
            indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) > room ? room : static_cast<size_t>(indicator));
        if (rc == SQL_SUCCESS)
            break;
    }
    return text;
}

}  // namespace

void ExecuteDirect(SQLHSTMT statement, const std::string& sql)
{
    SqlWString text = toSqlW(sql);
    checkOdbc(SQLExecDirectW(statement, text.data(), static_cast<SQLINTEGER>(text.size())), SQL_HANDLE_STMT, statement,
              "SQLExecDirect");
}

ParameterStatement::ParameterStatement(DataConnection& connection) : statement_(connection.newStatement()) { }

void ParameterStatement::execute(const std::string& sql, std::vector<std::string> values, std::vector<bool> binary)
{
    SQLHSTMT statement = statement_.get();
    SQLFreeStmt(statement, SQL_CLOSE);
    SQLFreeStmt(statement, SQL_RESET_PARAMS);
    values_ = std::move(values);
    lengths_.assign(values_.size(), 0);
    for (size_t i = 0; i < values_.size(); ++i) {
        const bool bytes = i < binary.size() && binary[i];
        lengths_[i] = static_cast<SQLLEN>(values_[i].size());
        checkOdbc(SQLBindParameter(statement, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                                   bytes ? SQL_C_BINARY : SQL_C_CHAR, bytes ? SQL_VARBINARY : SQL_VARCHAR,
                                   std::max<SQLULEN>(values_[i].size(), 1), 0, values_[i].data(), lengths_[i],
                                   &lengths_[i]),
                  SQL_HANDLE_STMT, statement, "SQLBindParameter");
    }
    ExecuteDirect(statement, sql);
}

std::vector<std::vector<std::optional<std::string>>> ParameterStatement::rows()
{
    SQLHSTMT statement = statement_.get();
    SQLSMALLINT columns = 0;
    SQLNumResultCols(statement, &columns);
    std::vector<std::vector<std::optional<std::string>>> rows;
    while (checkOdbc(SQLFetch(statement), SQL_HANDLE_STMT, statement, "SQLFetch", SQL_NO_DATA) != SQL_NO_DATA) {
        rows.emplace_back();
        for (SQLSMALLINT c = 1; c <= columns; ++c)
            rows.back().push_back(readText(statement, static_cast<SQLUSMALLINT>(c)));
    }
    return rows;
}
