#pragma once

#include <sql.h>

// ADO DataTypeEnum codes, the type vocabulary the transfers choose column
// types by. The db layer maps each ODBC column type to one of these the way the
// OLE DB provider for ODBC does.
namespace ado {
enum TypeCode : int {
    adEmpty = 0, adSmallInt = 2, adInteger = 3, adSingle = 4, adDouble = 5, adCurrency = 6,
    adDate = 7, adBSTR = 8, adIDispatch = 9, adError = 10, adBoolean = 11, adVariant = 12,
    adIUnknown = 13, adDecimal = 14, adTinyInt = 16, adUnsignedTinyInt = 17,
    adUnsignedSmallInt = 18, adUnsignedInt = 19, adBigInt = 20, adUnsignedBigInt = 21,
    adFileTime = 64, adGUID = 72, adBinary = 128, adChar = 129, adWChar = 130, adNumeric = 131,
    adUserDefined = 132, adDBDate = 133, adDBTime = 134, adDBTimeStamp = 135, adChapter = 136,
    adPropVariant = 138, adVarNumeric = 139, adVarChar = 200, adLongVarChar = 201,
    adVarWChar = 202, adLongVarWChar = 203, adVarBinary = 204, adLongVarBinary = 205,
};
}  // namespace ado

// DB2's own ODBC type codes, which plain ODBC does not name.
namespace db2sql {
constexpr SQLSMALLINT kGraphic = -95, kVarGraphic = -96, kLongVarGraphic = -97, kBlob = -98,
                      kClob = -99, kDbClob = -350, kDecFloat = -360, kXml = -370, kBoolean = 16;
}  // namespace db2sql

// ADO code for an ODBC SQL type, as the OLE DB provider for ODBC reports it;
// a type it has no name for gives adUserDefined.
int adoTypeForSqlType(SQLSMALLINT sqlType, bool isUnsigned);

// Whether values of this ODBC type are bytes rather than text.
bool isBinarySqlType(SQLSMALLINT sqlType);
