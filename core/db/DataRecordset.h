#pragma once

#include "ColumnKind.h"
#include "OdbcHandle.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

class DataConnection;

// One result column and its value in the current row.
struct Field {
    std::string name;
    ColumnKind kind = ColumnKind::Other;  // chosen from sqlType
    SQLSMALLINT sqlType = 0;              // ODBC type as the driver described it
    SQLULEN columnSize = 0;               // characters for text, digits for numbers, bytes for binary
    SQLSMALLINT decimalDigits = 0;        // scale
    bool isUnsigned = false;
    bool isBinary = false;             // value holds bytes, not UTF-8 text
    std::string declaredType;          // the source's own declaration ("decimal(12,2)"), where it was read
    SQLULEN declaredCharacters = 0;    // text declared in characters that the driver describes in bytes
                                       // (DB2 CODEUNITS32), where the catalogue was read; else 0
    std::optional<std::string> value;  // nullopt is Null; "" is an empty text

    bool isNull() const { return !value.has_value(); }
};

// The result columns of an executed statement, described as fields (no values).
std::vector<Field> DescribeResultColumns(SQLHSTMT statement);

// The rows of one statement, positioned on the first after open.
class DataRecordset {
public:
    DataRecordset() = default;
    DataRecordset(const DataRecordset&) = delete;
    DataRecordset& operator=(const DataRecordset&) = delete;
    DataRecordset(DataRecordset&&) = default;
    DataRecordset& operator=(DataRecordset&&) = default;
    ~DataRecordset();

    // Cursor and lock type are accepted for the callers' sake; rows are read forward.
    void open(const std::string& sql, DataConnection& connection, int cursorType = -1, int lockType = -1);

    int fieldCount() const { return static_cast<int>(fields_.size()); }
    const Field& field(int index) const;
    const Field& field(const std::string& name) const;  // name compared without regard to case

    // The number of rows: exact on a client-side cursor; -1 when the driver
    // cannot tell on a server-side one.
    long long recordCount() const { return recordCount_; }
    bool eof() const { return eof_; }
    void moveNext();
    void close();

private:
    friend class DataConnection;
    void attach(OdbcHandle statement, bool clientSide);
    void describeColumns();
    bool fetchFromDriver(std::vector<std::optional<std::string>>& row);
    std::optional<std::string> readValue(SQLUSMALLINT column, const Field& field);
    void loadRow(std::vector<std::optional<std::string>>&& row);
    void advance();

    OdbcHandle statement_;
    std::vector<Field> fields_;
    std::deque<std::vector<std::optional<std::string>>> buffered_;  // client-side rows not yet visited
    bool clientBuffered_ = false;
    bool eof_ = true;
    long long recordCount_ = -1;
};
