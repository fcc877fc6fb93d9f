#pragma once

#include <stdexcept>
#include <string>
#include <vector>

// One diagnostic record as the driver gave it.
struct DiagRecord {
    std::string sqlState;  // five characters, e.g. "08001"
    long nativeCode = 0;
    std::string message;
};

// The one error type of the data-access layer: every failed ODBC call, and
// every connection text we refuse to send, ends up here. what() is the
// driver's message (all records, one per line), which is the description the
// error report shows.
class DbError : public std::runtime_error {
public:
    explicit DbError(std::vector<DiagRecord> records);
    DbError(std::string sqlState, long nativeCode, std::string message);

    const std::string& sqlState() const { return records_.front().sqlState; }
    long nativeCode() const { return records_.front().nativeCode; }
    const std::vector<DiagRecord>& records() const { return records_; }
    std::string description() const { return what(); }

    // True when any record carries this SQLSTATE.
    bool hasSqlState(const std::string& state) const;

private:
    std::vector<DiagRecord> records_;
};
