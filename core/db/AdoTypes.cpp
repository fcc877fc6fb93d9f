#include "AdoTypes.h"

#include <sqlext.h>
#include <sqlucode.h>

int adoTypeForSqlType(SQLSMALLINT sqlType, bool isUnsigned)
{
    using namespace ado;
    switch (sqlType) {
    case SQL_CHAR: return adChar;
    case SQL_VARCHAR: return adVarChar;
    case SQL_LONGVARCHAR: return adLongVarChar;
    case SQL_WCHAR: return adWChar;
    case SQL_WVARCHAR: return adVarWChar;
    case SQL_WLONGVARCHAR: return adLongVarWChar;
    case SQL_DECIMAL:
    case SQL_NUMERIC: return adNumeric;
    case SQL_BIT: return adBoolean;
    case SQL_TINYINT: return isUnsigned ? adUnsignedTinyInt : adTinyInt;
    case SQL_SMALLINT: return isUnsigned ? adUnsignedSmallInt : adSmallInt;
    case SQL_INTEGER: return isUnsigned ? adUnsignedInt : adInteger;
    case SQL_BIGINT: return isUnsigned ? adUnsignedBigInt : adBigInt;
    case SQL_REAL: return adSingle;
    case SQL_FLOAT:
    case SQL_DOUBLE: return adDouble;
    case SQL_BINARY: return adBinary;
    case SQL_VARBINARY: return adVarBinary;
    case SQL_LONGVARBINARY: return adLongVarBinary;
    case SQL_TYPE_DATE:
    case SQL_DATE: return adDBDate;
    case SQL_TYPE_TIME:
    case SQL_TIME: return adDBTime;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP: return adDBTimeStamp;
    case SQL_GUID: return adGUID;
    case db2sql::kClob: return adLongVarChar;
    case db2sql::kBlob: return adLongVarBinary;
    case db2sql::kDbClob: return adLongVarWChar;
    case db2sql::kGraphic: return adWChar;
    case db2sql::kVarGraphic: return adVarWChar;
    case db2sql::kLongVarGraphic: return adLongVarWChar;
    case db2sql::kXml: return adLongVarWChar;
    case db2sql::kBoolean: return adBoolean;
    case db2sql::kDecFloat: return adNumeric;
    default: return adUserDefined;
    }
}

bool isBinarySqlType(SQLSMALLINT sqlType)
{
    return sqlType == SQL_BINARY || sqlType == SQL_VARBINARY || sqlType == SQL_LONGVARBINARY
        || sqlType == db2sql::kBlob;
}
