#include "ColumnKind.h"

#include <sqlext.h>
#include <sqlucode.h>

ColumnKind ColumnKindOf(SQLSMALLINT sqlType)
{
    switch (sqlType) {
    case SQL_BIT:
    case db2sql::kBoolean: return ColumnKind::Boolean;
    case SQL_TINYINT: return ColumnKind::TinyInt;
    case SQL_SMALLINT: return ColumnKind::SmallInt;
    case SQL_INTEGER: return ColumnKind::Integer;
    case SQL_BIGINT: return ColumnKind::BigInt;
    case SQL_DECIMAL:
    case SQL_NUMERIC: return ColumnKind::Decimal;
    case db2sql::kDecFloat: return ColumnKind::DecFloat;
    case SQL_REAL: return ColumnKind::Real;
    case SQL_FLOAT:
    case SQL_DOUBLE: return ColumnKind::Double;
    case SQL_TYPE_DATE:
    case SQL_DATE: return ColumnKind::Date;
    case SQL_TYPE_TIME:
    case SQL_TIME: return ColumnKind::Time;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP: return ColumnKind::Timestamp;
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case db2sql::kGraphic:
    case db2sql::kVarGraphic: return ColumnKind::Text;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
    case db2sql::kLongVarGraphic: return ColumnKind::LongText;
    case db2sql::kClob:
    case db2sql::kDbClob: return ColumnKind::Clob;
    case db2sql::kXml: return ColumnKind::Xml;
    case SQL_BINARY: return ColumnKind::FixedBytes;
    case SQL_VARBINARY: return ColumnKind::Bytes;
    case SQL_LONGVARBINARY: return ColumnKind::LongBytes;
    case db2sql::kBlob: return ColumnKind::Blob;
    default: return ColumnKind::Other;
    }
}

bool IsSizedInCharacters(SQLSMALLINT sqlType)
{
    return sqlType == SQL_WCHAR || sqlType == SQL_WVARCHAR || sqlType == SQL_WLONGVARCHAR || sqlType == db2sql::kGraphic
        || sqlType == db2sql::kVarGraphic || sqlType == db2sql::kLongVarGraphic || sqlType == db2sql::kDbClob;
}

bool isBinarySqlType(SQLSMALLINT sqlType)
{
    const ColumnKind kind = ColumnKindOf(sqlType);
    return kind == ColumnKind::FixedBytes || kind == ColumnKind::Bytes || kind == ColumnKind::LongBytes
        || kind == ColumnKind::Blob;
}
