#pragma once

#include "ConnectionProfile.h"
#include "DataConnection.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class StatementCanceller;

// One value of a row as its server writes it: text in UTF-8, bytes as they
// are; nullopt for NULL.
using TextCell = std::optional<std::string_view>;

// Reads one side's rows for a comparison, apart from the copy's readers, so
// that a fault of theirs cannot hide in both sides of a comparison: each
// column through the side's own expression for its exact text
// (SqlDialect::comparedValueSql), fetched as text (bytes as bytes). A scan
// may read the table more than once, each time from the start.
class TextRowScan {
public:
    virtual ~TextRowScan() = default;
    // Starts (again) reading every row of `table`, the columns as described
    // (by the side's ODBC driver) and in that order.
    virtual void start(const std::string& table, const std::vector<Field>& columns) = 0;
    // The next row, valid until the next call; nullptr after the last. Throws DbError.
    virtual const std::vector<TextCell>* next() = 0;
};

// MySQL through the client library's text protocol, each row as it arrives
// (the ODBC driver would hold a whole result). Every read of the scan sees
// one snapshot: the session opens a read-only transaction WITH CONSISTENT
// SNAPSHOT before the first (InnoDB: no row locked; other engines give no
// snapshot), and lock waits end after the tool's usual few seconds. Logs in
// as `login` and joins `canceller` (may be null). Throws DbError.
std::unique_ptr<TextRowScan> OpenMySQLTextScan(const ConnectionProfile& login, int timeoutSeconds,
                                               StatementCanceller* canceller);
// DB2 through its open ODBC connection, one SELECT per read, fetched as text
// in arrays (long values piece by piece).
std::unique_ptr<TextRowScan> OpenDB2TextScan(DataConnection& db2);
