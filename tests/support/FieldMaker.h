#pragma once

#include "ColumnKind.h"
#include "DataRecordset.h"

#include <optional>
#include <string>

// A column description (and value) as the data-access layer reports one.
inline Field MakeField(const std::string& name, SQLSMALLINT sqlType = SQL_VARCHAR, SQLULEN size = 0,
                       SQLSMALLINT digits = 0, bool isUnsigned = false, std::optional<std::string> value = std::nullopt)
{
    Field f;
    f.name = name;
    f.kind = ColumnKindOf(sqlType);
    f.sqlType = sqlType;
    f.columnSize = size;
    f.decimalDigits = digits;
    f.isUnsigned = isUnsigned;
    f.isBinary = isBinarySqlType(sqlType);
    f.value = std::move(value);
    return f;
}
