#pragma once

#include <sql.h>

// What a result column holds, told by the ODBC type its driver describes it
// with. Column types and value handling are chosen by kind; sizes, scale and
// sign come with the column (Field).
enum class ColumnKind {
    Boolean,  // BIT, DB2's BOOLEAN
    TinyInt,  // the integer kinds are signed or unsigned as the driver says
    SmallInt,
    Integer,
    BigInt,
    Decimal,   // DECIMAL, NUMERIC: precision and scale
    DecFloat,  // DB2's decimal floating point
    Real,
    Double,  // DOUBLE, FLOAT
    Date,
    Time,
    Timestamp,
    Text,        // CHAR, VARCHAR, their wide and graphic forms: sized
    LongText,    // LONG VARCHAR, TEXT, LONG VARGRAPHIC
    Clob,        // DB2's CLOB and DBCLOB: sized
    Xml,         // DB2's XML
    FixedBytes,  // BINARY(n)
    Bytes,       // VARBINARY(n)
    LongBytes,   // LONG VARBINARY, MySQL's BLOBs
    Blob,        // DB2's BLOB: sized
    Other,       // GUID and types without a kind of their own: kept as text
};

// DB2's own ODBC type codes, which plain ODBC does not name.
namespace db2sql {
constexpr SQLSMALLINT kGraphic = -95, kVarGraphic = -96, kLongVarGraphic = -97, kBlob = -98, kClob = -99,
                      kDbClob = -350, kDecFloat = -360, kXml = -370, kBoolean = 16;
}  // namespace db2sql

ColumnKind ColumnKindOf(SQLSMALLINT sqlType);

// Whether the driver gives the size of a text column of this type in
// characters (the wide and graphic types) rather than in bytes.
bool IsSizedInCharacters(SQLSMALLINT sqlType);

// Whether values of this ODBC type are bytes rather than text.
bool isBinarySqlType(SQLSMALLINT sqlType);
