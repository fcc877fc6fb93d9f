#include "ColumnTypes.h"

#include "AdoTypeName.h"
#include "AdoTypes.h"
#include "SqlIdentifiers.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr unsigned long long kLongVarcharBytes = 32700;   // DB2 LONG VARCHAR
constexpr unsigned long long kMySQLTextBytes = 65535;     // MySQL TEXT
constexpr unsigned long long kLobBytes = 1073741824;      // largest logged DB2 LOB
constexpr unsigned long long kUtf8BytesPerChar = 4;

std::string typeKey(const Field& column)
{
    std::string key = AdoTypeName(static_cast<int16_t>(column.type));
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return key;
}

bool contains(const std::string& text, const char* fragment) { return text.find(fragment) != std::string::npos; }

bool isLongText(int type) { return type == ado::adLongVarChar || type == ado::adLongVarWChar; }

// Character columns report their size in characters; UTF-8 takes up to four bytes each.
unsigned long long maxTextBytes(const Field& column)
{
    if (column.columnSize == 0)
        return UINT64_MAX;
    return static_cast<unsigned long long>(column.columnSize) * kUtf8BytesPerChar;
}

std::string lobType(const char* name, unsigned long long bytes)
{
    return std::string(name) + "(" + std::to_string(std::clamp<unsigned long long>(bytes, 1, kLobBytes)) + ")";
}

std::string db2ColumnType(const Field& column)
{
    const std::string key = typeKey(column);
    if (column.isBinary || contains(key, "binary"))
        return lobType("BLOB", column.columnSize == 0 ? kLobBytes : column.columnSize);
    if (contains(key, "date"))
        return "DATE";
    // Text that may outgrow LONG VARCHAR goes to a CLOB.
    if (contains(key, "char") && (isLongText(column.type) || maxTextBytes(column) > kLongVarcharBytes))
        return lobType("CLOB", maxTextBytes(column));
    return "LONG VARCHAR";
}

std::string decimalType(const Field& column)
{
    const auto precision = column.columnSize;
    const auto scale = column.decimalDigits;
    if (precision < 1 || precision > 65 || scale < 0 || scale > 30 || static_cast<SQLULEN>(scale) > precision)
        return "LONGTEXT";  // no DECIMAL holds it
    return "DECIMAL(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
}

std::string mysqlColumnType(const Field& column)
{
    using namespace ado;
    if (column.sqlType == db2sql::kDecFloat)
        return "LONGTEXT";  // its range and NaN/Infinity fit no DECIMAL
    const std::string unsignedWord = column.isUnsigned ? " UNSIGNED" : "";
    switch (column.type) {
    case adChar: case adVarChar: case adWChar: case adVarWChar:
        return maxTextBytes(column) > kMySQLTextBytes ? "LONGTEXT" : "TEXT";
    case adLongVarChar: case adLongVarWChar: return "LONGTEXT";
    case adCurrency: return "DECIMAL(19,4)";
    case adBoolean: return "BIT";
    case adDecimal: case adNumeric: case adVarNumeric: return decimalType(column);
    case adSingle: return "FLOAT";
    case adDouble: return "DOUBLE";
    case adTinyInt: return "TINYINT";
    case adUnsignedTinyInt: return "TINYINT UNSIGNED";
    case adSmallInt: case adUnsignedSmallInt: return "SMALLINT" + unsignedWord;
    case adInteger: case adUnsignedInt: return "INT" + unsignedWord;
    case adBigInt: case adUnsignedBigInt: return "BIGINT" + unsignedWord;
    case adBinary: case adVarBinary: case adLongVarBinary: return "LONGBLOB";
    case adDate: case adDBDate: return "DATETIME";
    case adDBTimeStamp: return column.decimalDigits > 6 ? "LONGTEXT" : "DATETIME(6)";
    case adDBTime: return "TIME";
    default: return "LONGTEXT";
    }
}

}  // namespace

std::string TargetColumnType(TargetSide side, const Field& column)
{
    return side == TargetSide::DB2 ? db2ColumnType(column) : mysqlColumnType(column);
}

std::string QuoteIdentifier(TargetSide side, const std::string& name)
{
    return DialectOf(side).quoteIdentifier(name);
}

std::string BuildCreateTableSql(TargetSide side, const std::string& table, const std::vector<Field>& columns)
{
    std::string sql = "CREATE TABLE " + QuoteIdentifier(side, table) + "(";
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0)
            sql += ',';
        sql += QuoteIdentifier(side, columns[i].name) + " " + TargetColumnType(side, columns[i]);
    }
    sql += ")" + DialectOf(side).createTableSuffix();
    return sql;
}
