#pragma once

#include "ColumnTypes.h"
#include "ConnectionProfile.h"
#include "DataRecordset.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TransferDirection;

// One difference found between a source table and its copy.
struct RowDifference {
    enum class Kind { ValueDiffers, OnlyOnSource, OnlyOnTarget };
    Kind kind = Kind::ValueDiffers;
    std::string row;     // the row as its key names it ("id=5"), or its first column without a key
    std::string column;  // ValueDiffers only
    std::optional<std::string> sourceValue, targetValue;
    std::string known;  // a change the copy counts as it makes it ("zero date stored as NULL"); else empty
};

enum class ComparisonStatus { Equal, Different, NotCompared };
const char* ComparisonStatusName(ComparisonStatus status);  // "equal", "different", "not compared"

struct TableComparison {
    std::string name;        // the source table
    std::string targetName;  // as the target lists it; empty when it has none
    ComparisonStatus status = ComparisonStatus::NotCompared;
    std::vector<std::string> key;  // the columns rows were matched by; empty: as whole rows
    long long sourceRows = 0, targetRows = 0;
    long long rowsOnlyOnSource = 0, rowsOnlyOnTarget = 0, rowsDiffering = 0;
    std::vector<RowDifference> differences;  // the first ones, at most kShownDifferences rows' worth
    std::string reason;                      // why it was not compared
};

struct ComparisonSummary {
    std::vector<TableComparison> tables;  // in the order given
    std::string sourceName, targetName;   // the servers' display names
    double seconds = 0;
    bool cancelled = false;
    bool connectionFailed = false;  // a server could not be reached: nothing was compared

    bool allEqual() const;
    int count(ComparisonStatus status) const;
};

// What a comparison tells its front end while it runs.
class ComparisonObserver {
public:
    virtual ~ComparisonObserver() = default;
    virtual void tableStarting(const std::string& table) { (void)table; }
    virtual void rowsDone(const std::string& table, long long done, long long total)
    {
        (void)table, (void)done, (void)total;
    }
    // A server's failure: the connection (table empty) or one table's read.
    virtual void report(const std::string& table, const std::string& description, const std::string& sql)
    {
        (void)table, (void)description, (void)sql;
    }
    virtual void tableCompared(const TableComparison& result) { (void)result; }
    virtual bool cancelRequested() { return false; }
    virtual void yield() { }
};

inline constexpr size_t kShownDifferences = 20;

// Compares each source table of the direction with the table of the same
// name on the target (named as a send names it). Rows are matched by the
// source's primary key, or a unique key of NOT NULL columns, else as a
// multiset of whole rows; values by what they mean. Only reads, apart from
// the copy's readers: each side's values as its server writes them as text
// (TextRowScan), each side read once for the counts, in one snapshot where
// the server keeps one. Memory stays bounded whatever the table's size:
// rowsPerPass is how many rows' hashes (16 bytes each) one side holds at
// once; more are sorted into runs in temporary files and merged.
inline constexpr size_t kComparedRowsPerPass = 1u << 20;
ComparisonSummary CompareTables(TransferDirection direction, const ConnectionProfile& mysql,
                                const ConnectionProfile& db2, const std::vector<std::string>& tables,
                                ComparisonObserver& observer, const TransferOptions& options = {},
                                size_t rowsPerPass = kComparedRowsPerPass);

// The comparison told in lines, as the window and the command line show it:
//   Verified 2 tables against IBM DB2: 1 equal, 1 different, 0 not compared, 1.2 s
//   orders: different: 1000 rows on MySQL, 1000 on IBM DB2; 1 only on MySQL, 1 only on IBM DB2, 1 differ
//     id=5 amount: '10.00' on MySQL, '10.01' on IBM DB2
std::vector<std::string> ComparisonSummaryLines(const ComparisonSummary& summary, const std::string& sourceName,
                                                const std::string& targetName);

// One table's line of those and its differences' lines (indented by two spaces).
std::vector<std::string> ComparisonTableLines(const TableComparison& table, const std::string& sourceName,
                                              const std::string& targetName);

// The form one side's values of a column are put in before they are
// compared, so that two values that mean the same are the same text. The
// source's values get the copy's own conversion (a REAL is sent as the
// shortest text that reads back as the same float); the target's are taken
// as they are stored.
enum class ValueForm {
    Bytes,         // exactly
    Text,          // exactly
    PaddedText,    // without trailing blanks, which CHAR adds
    Xml,           // without the declaration DB2 puts in front
    Boolean,       // 1 or 0
    Decimal,       // an exact number, as plain decimal digits
    FloatNumber,   // a REAL's value: the shortest decimal that is the same float
    DoubleNumber,  // a DOUBLE's value: the shortest decimal that is the same double
    FloatText,     // a REAL as the copy writes it into a text column
    DoubleText,    // a DOUBLE the same way
    DateTime,      // the date and time parts
};
struct ColumnForms {
    ValueForm source = ValueForm::Text, target = ValueForm::Text;
};
ColumnForms FormsOf(const Field& source, const Field& target);
// A value in its form; nullopt stays nullopt (NULL never equals '').
std::optional<std::string> NormalizedValue(ValueForm form, std::optional<std::string> value);

// A decimal text in one form: sign, integer digits without leading zeros,
// fraction without trailing zeros ("-0.50", "-.5" and "-0,5" give "-0.5");
// nothing when the text is no plain decimal.
std::optional<std::string> CanonicalDecimal(std::string_view text);
// A value as a report shows it: NULL, or quoted and cut after 40 bytes.
std::string ShortValueText(const std::optional<std::string>& value);
