#pragma once

#include "DataConnection.h"
#include "OdbcHandle.h"
#include "SqlDialect.h"
#include "Utf16.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// A column of the key a table is read in ranges of.
struct KeyColumn {
    std::string name;
    bool numeric = false;  // written into the statement, so big integers and decimals compare exactly
    bool binary = false;   // its values are bytes
};

// The rows whose key is at least `from` and below `to`, in the server's own
// order of the key (its collation for text); an empty bound is open.
struct KeyRange {
    std::vector<std::string> from, to;
};

// Part of a WHERE clause that compares the key with values: numbers written
// in it, every other value a parameter.
struct KeyCondition {
    std::string sql;
    std::vector<std::string> values;
    std::vector<bool> binary;
};

// Adds "key OP values" to `condition` (joined to what it holds by AND),
// spelled out column by column, (k1 > v1) OR (k1 = v1 AND k2 >= v2), so the
// server's range scan uses the key's index. op is one of > >= < =.
void AddKeyComparison(KeyCondition& condition, const SqlDialect& dialect, const std::vector<KeyColumn>& key,
                      const std::vector<std::string>& values, const std::string& op);
// The condition of a range: lower bound inclusive, upper exclusive; empty
// for the whole table.
KeyCondition RangeCondition(const SqlDialect& dialect, const std::vector<KeyColumn>& key, const KeyRange& range);

// A statement whose parameters are a key condition's values, in the form the
// side reads text in (UTF-16 where text travels wide). Each execute is a new
// statement on the connection.
class KeyStatement {
public:
    KeyStatement(DataConnection& connection, const SqlDialect& dialect);
    void execute(const std::string& sql, const KeyCondition& condition);
    SQLHSTMT get() const { return statement_.get(); }

private:
    DataConnection& connection_;
    const SqlDialect& dialect_;
    OdbcHandle statement_;
    std::vector<std::string> narrow_;
    std::vector<SqlWString> wide_;
    std::vector<SQLLEN> lengths_;
};

// A table cut into ranges of its key that together hold every row once.
struct KeySplit {
    std::vector<KeyColumn> key;
    std::vector<KeyRange> ranges;  // in key order; the first and the last are open
};

// Cuts `table` (of about rowCount rows) into up to `parts` ranges holding
// about as many rows each: the boundaries are the keys of the rows at the
// quantiles of the key's order, so a skewed key still gives even ranges.
// nullopt when the table has no key whose values can bound a range (a
// primary or unique NOT NULL key of numbers, text, dates or bytes), or a
// boundary does not read back as the key it was read from. Throws DbError.
std::optional<KeySplit> SplitByKey(DataConnection& source, const SqlDialect& dialect, const std::string& table,
                                   long long rowCount, int parts);

// Whether a key value read as text can be written into a statement as a number.
bool IsNumberText(const std::string& text);

class SourceReader;
// The rows of range `part` of `split`, read the way the side reads a whole
// table: MySQL in pages of the key inside one snapshot of its own, DB2 in one
// SELECT.
std::unique_ptr<SourceReader> OpenKeyRange(DatabaseSide side, DataConnection& connection, const std::string& table,
                                           const KeySplit& split, size_t part, size_t blockRows);
