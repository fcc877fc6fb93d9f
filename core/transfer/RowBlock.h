#pragma once

#include "ColumnTypes.h"
#include "DataRecordset.h"

#include <sql.h>
#include <sqlext.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How a source column is fetched (bound C type) ...
// WideText is text fetched as UTF-16, which no client locale can change.
// Integers are fetched as 64-bit numbers (Unsigned: MySQL's BIGINT UNSIGNED)
// and written as text by the tool, not by the driver.
enum class ReadKind { Text, WideText, Binary, Integer, Unsigned, Double, Real, Bool, Date, Time, Timestamp };
// ... and what the INSERT is given for it.
enum class SendKind { Text, Binary, TinyInt };

struct ColumnPlan {
    Field field;  // the source column as the driver described it
    ReadKind read = ReadKind::Text;
    SendKind send = SendKind::Text;
    SQLLEN readWidth = 0;  // bytes per row in a bound array; 0: too long to bind, read piece by piece
};

// Chooses the fetch and send forms of each column for the target side. MySQL
// TIME values can exceed a day, so they travel as text; DB2 TIME is read as time.
// MySQL dates travel as text too: the driver turns zero dates into NULL.
// `wideText`: whether text travels as UTF-16 on the source connection (see
// SqlDialect::textTravelsWideOn); by default as the source's side may need.
std::vector<ColumnPlan> PlanColumns(const std::vector<Field>& fields, bool sourceIsMySQL, TargetSide target,
                                    std::optional<bool> wideText = std::nullopt);

// The MySQL date columns (read as text) whose target column, as created, holds
// dates: a zero or partial date ('0000-00-00', '2000-00-15') can only go there
// as NULL. DB2 has no such dates, so a MySQL target has none.
std::vector<size_t> ZeroDateColumns(TargetSide target, const std::vector<ColumnPlan>& plans,
                                    const std::vector<std::string>& targetColumnTypes);

// Column-wise array of values: what SQLBindCol fills and SQLBindParameter sends.
struct ColumnBuffer {
    SQLSMALLINT cType = SQL_C_CHAR;
    SQLLEN width = 0;             // bytes per row
    std::string data;             // rows * width
    std::vector<SQLLEN> lengths;  // length or SQL_NULL_DATA per row

    void allocate(SQLSMALLINT type, SQLLEN rowWidth, size_t rows);
    char* at(size_t row) { return data.data() + static_cast<size_t>(width) * row; }
    const char* at(size_t row) const { return data.data() + static_cast<size_t>(width) * row; }
    bool isNull(size_t row) const { return lengths[row] == SQL_NULL_DATA; }
    // Lays out variable-length cells with the width of the longest one,
    // emptying `cells` as it goes; a lone cell is taken over, not copied.
    void pack(SQLSMALLINT type, std::vector<std::optional<std::string>>& cells);
};

// A block of rows as read (fetch forms) and as sent (send forms). Columns
// whose forms agree share one buffer.
class RowBlock {
public:
    void allocate(const std::vector<ColumnPlan>& plans, size_t capacity);
    size_t capacity() const { return capacity_; }
    size_t rows = 0;
    // Its read buffers are laid out for a statement's bound columns, so a
    // block of the same layout may be handed back to the fetcher for reuse.
    bool boundToStatement = false;

    ColumnBuffer& readColumn(size_t column) { return read_[column]; }
    const ColumnBuffer& sendColumn(size_t column) const { return converted_[column] ? send_[column] : read_[column]; }
    // Turns the fetched values of the first `rows` rows into their send forms.
    void convert();

    // Sets the zero or partial dates of a text column to NULL; returns their rows.
    std::vector<size_t> nullZeroDates(size_t column);

    // One row in send form, as fields for BuildInsertSql.
    std::vector<Field> rowFields(size_t row) const;
    std::optional<std::string> sendText(size_t column, size_t row) const;
    // The same without a copy: a boolean sent as a number reads "1" or "0".
    std::optional<std::string_view> sendView(size_t column, size_t row) const;
    // Replaces a text value sent by `text`, which is no longer than it.
    void shortenSendText(size_t column, size_t row, std::string_view text);
    // Bytes of the values read into the first `rows` rows (Nulls count nothing).
    size_t valueBytes() const;

private:
    void tidyNarrowText(size_t column);

    std::vector<ColumnPlan> plans_;
    std::vector<ColumnBuffer> read_, send_;
    std::vector<bool> converted_;
    size_t capacity_ = 0;
};

// Fetch form of a read kind: C type and bytes per value (0 for Text/Binary).
SQLSMALLINT ReadCType(ReadKind kind);
// Text too long to bind that is fetched as UTF-16 is kept as UTF-8 from its
// first piece on, so a long value is never held whole in UTF-16 too.
bool ReadsAsUtf8(const ColumnPlan& plan);
// DB2 serializes an XML value read as text with a declaration in front (and,
// read as UTF-16, a byte-order mark before it); takes both off `text` (UTF-8)
// in place and returns the length of what is left.
size_t DropXmlDeclaration(char* text, size_t length);
// Text and bytes vary in length; text ends in a terminator of this many bytes.
bool IsVariableLength(ReadKind kind);
size_t TerminatorBytes(ReadKind kind);
