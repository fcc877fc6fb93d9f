// ODBC C types as the driver reads parameters from and writes results into them.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <string>

namespace db2standin {

// Bytes of a fixed-size C type; 0 for text, bytes and unknown types.
size_t fixedSize(SQLSMALLINT cType);
// The C type SQL_C_DEFAULT stands for with this SQL type.
SQLSMALLINT defaultCType(SQLSMALLINT sqlType);
// Integers and floating-point numbers.
bool isNumericC(SQLSMALLINT cType);
// Text of a number from a numeric C type: finite values go to the server as they are.
bool finiteNumber(const std::string& text);

}  // namespace db2standin
