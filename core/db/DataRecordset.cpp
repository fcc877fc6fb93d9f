#include "DataRecordset.h"

#include "DataConnection.h"
#include "Utf16.h"

#include <algorithm>
#include <charconv>
#include <strings.h>

DataRecordset::~DataRecordset() = default;

void DataRecordset::open(const std::string& sql, DataConnection& connection, int, int)
{
    close();
    auto result = connection.execute(sql);
    if (!result)
        throw DbError("24000", 0, "The statement returned no rows: " + sql);
    *this = std::move(*result);
}

const Field& DataRecordset::field(int index) const
{
    if (index < 0 || index >= fieldCount())
        throw DbError("07009", 0, "Field index " + std::to_string(index) + " out of range");
    return fields_[static_cast<size_t>(index)];
}

const Field& DataRecordset::field(const std::string& name) const
{
    for (const auto& f : fields_)
        if (strcasecmp(f.name.c_str(), name.c_str()) == 0)
            return f;
    throw DbError("42S22", 0, "Item cannot be found in the collection: " + name);
}

void DataRecordset::attach(OdbcHandle statement, bool clientSide)
{
    statement_ = std::move(statement);
    describeColumns();
    SQLLEN count = -1;
    if (!odbcSucceeded(SQLRowCount(statement_.get(), &count)))
        count = -1;
    clientBuffered_ = clientSide && count < 0;
    if (clientBuffered_) {
        // The driver cannot tell the size: read everything now, as a client cursor does.
        std::vector<std::optional<std::string>> row;
        while (fetchFromDriver(row))
            buffered_.push_back(std::move(row));
        statement_.reset();
        recordCount_ = static_cast<long long>(buffered_.size());
    } else {
        recordCount_ = count;
    }
    advance();
}

std::vector<Field> DescribeResultColumns(SQLHSTMT statement)
{
    SQLSMALLINT columns = 0;
    checkOdbc(SQLNumResultCols(statement, &columns), SQL_HANDLE_STMT, statement, "SQLNumResultCols");
    std::vector<Field> fields;
    fields.reserve(static_cast<size_t>(std::max<SQLSMALLINT>(columns, 0)));
    for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(columns); ++i) {
        SQLWCHAR name[512];
        SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        checkOdbc(SQLDescribeColW(statement, i, name, 512, &nameLength, &sqlType, &size, &digits, &nullable),
                  SQL_HANDLE_STMT, statement, "SQLDescribeCol");
        SQLLEN isUnsigned = SQL_FALSE;
        SQLColAttributeW(statement, i, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &isUnsigned);
        Field f;
        f.name = fromSqlW(name, static_cast<size_t>(std::min<SQLSMALLINT>(nameLength, 511)));
        f.sqlType = sqlType;
        f.columnSize = size;
        f.decimalDigits = digits;
        f.kind = ColumnKindOf(sqlType);
        // Only integer types can be unsigned; drivers answer true for text too.
        const bool integerType = f.kind == ColumnKind::TinyInt || f.kind == ColumnKind::SmallInt
            || f.kind == ColumnKind::Integer || f.kind == ColumnKind::BigInt;
        f.isUnsigned = integerType && isUnsigned == SQL_TRUE;
        f.isBinary = isBinarySqlType(sqlType);
        fields.push_back(std::move(f));
    }
    return fields;
}

void DataRecordset::describeColumns() { fields_ = DescribeResultColumns(statement_.get()); }

std::optional<std::string> DataRecordset::readValue(SQLUSMALLINT column, const Field& f)
{
    SQLHSTMT stmt = statement_.get();
    SQLLEN indicator = 0;
    if (f.kind == ColumnKind::Double || f.kind == ColumnKind::Real) {
        // Shortest text that reads back to the same binary value.
        char text[64];
        std::to_chars_result end;
        if (f.kind == ColumnKind::Real) {
            float value = 0;
            checkOdbc(SQLGetData(stmt, column, SQL_C_FLOAT, &value, sizeof value, &indicator), SQL_HANDLE_STMT, stmt,
                      "SQLGetData");
            if (indicator == SQL_NULL_DATA)
                return std::nullopt;
            end = std::to_chars(text, text + sizeof text, value);
        } else {
            double value = 0;
            checkOdbc(SQLGetData(stmt, column, SQL_C_DOUBLE, &value, sizeof value, &indicator), SQL_HANDLE_STMT, stmt,
                      "SQLGetData");
            if (indicator == SQL_NULL_DATA)
                return std::nullopt;
            end = std::to_chars(text, text + sizeof text, value);
        }
        return std::string(text, end.ptr);
    }
    if (f.sqlType == SQL_BIT) {
        // Drivers hand a bit over as the byte 0 or 1; its text is the digit.
        unsigned char bit = 0;
        checkOdbc(SQLGetData(stmt, column, SQL_C_BIT, &bit, sizeof bit, &indicator), SQL_HANDLE_STMT, stmt,
                  "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return std::nullopt;
        return std::string(bit ? "1" : "0");
    }
    if (f.isBinary) {
        std::string bytes;
        char chunk[8192];
        for (;;) {
            const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_BINARY, chunk, sizeof chunk, &indicator);
            if (rc == SQL_NO_DATA)
                break;
            checkOdbc(rc, SQL_HANDLE_STMT, stmt, "SQLGetData");
            if (indicator == SQL_NULL_DATA)
                return std::nullopt;
            const size_t got = (indicator == SQL_NO_TOTAL || indicator > static_cast<SQLLEN>(sizeof chunk))
                ? sizeof chunk
                : static_cast<size_t>(indicator);
            bytes.append(chunk, got);
            if (rc == SQL_SUCCESS)
                break;
        }
        return bytes;
    }
    SqlWString text;
    SQLWCHAR chunk[4096];
    for (;;) {
        const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_WCHAR, chunk, sizeof chunk, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        checkOdbc(rc, SQL_HANDLE_STMT, stmt, "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return std::nullopt;
        const size_t capacity = sizeof chunk / sizeof(SQLWCHAR) - 1;  // room for the terminator
        const size_t got = (indicator == SQL_NO_TOTAL
                            || indicator / static_cast<SQLLEN>(sizeof(SQLWCHAR)) > static_cast<SQLLEN>(capacity))
            ? capacity
            : static_cast<size_t>(indicator) / sizeof(SQLWCHAR);
        text.append(chunk, got);
        if (rc == SQL_SUCCESS)
            break;
    }
    std::string value = fromSqlW(text);
    // DB2 writes decimals read as text with the client locale's decimal separator.
    if (f.kind == ColumnKind::Decimal || f.kind == ColumnKind::DecFloat)
        std::replace(value.begin(), value.end(), ',', '.');
    return value;
}

bool DataRecordset::fetchFromDriver(std::vector<std::optional<std::string>>& row)
{
    if (!statement_)
        return false;
    const SQLRETURN rc = SQLFetch(statement_.get());
    if (rc == SQL_NO_DATA)
        return false;
    checkOdbc(rc, SQL_HANDLE_STMT, statement_.get(), "SQLFetch");
    row.clear();
    row.reserve(fields_.size());
    for (size_t i = 0; i < fields_.size(); ++i)
        row.push_back(readValue(static_cast<SQLUSMALLINT>(i + 1), fields_[i]));
    return true;
}

void DataRecordset::loadRow(std::vector<std::optional<std::string>>&& row)
{
    for (size_t i = 0; i < fields_.size(); ++i)
        fields_[i].value = std::move(row[i]);
}

void DataRecordset::advance()
{
    std::vector<std::optional<std::string>> row;
    if (clientBuffered_) {
        if (buffered_.empty()) {
            eof_ = true;
            return;
        }
        row = std::move(buffered_.front());
        buffered_.pop_front();
    } else if (!fetchFromDriver(row)) {
        eof_ = true;
        statement_.reset();
        return;
    }
    eof_ = false;
    loadRow(std::move(row));
}

void DataRecordset::moveNext()
{
    if (eof_)
        throw DbError("HY109", 0, "Either BOF or EOF is True, or the current record has been deleted.");
    advance();
}

void DataRecordset::close()
{
    statement_.reset();
    buffered_.clear();
    fields_.clear();
    eof_ = true;
    recordCount_ = -1;
    clientBuffered_ = false;
}
