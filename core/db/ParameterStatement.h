#pragma once

#include "OdbcHandle.h"

#include <optional>
#include <string>
#include <vector>

class DataConnection;

// Runs `sql` on `statement` as it is (SQLExecDirect). Throws DbError.
void ExecuteDirect(SQLHSTMT statement, const std::string& sql);

// A statement with text parameters: values in parameters read the same
// whatever the server's sql_mode makes of quotes and backslashes in literals.
// The one handle is reused by every execute().
class ParameterStatement {
public:
    explicit ParameterStatement(DataConnection& connection);

    // Runs sql with one parameter per value; `binary` marks the values that are bytes.
    void execute(const std::string& sql, std::vector<std::string> values, std::vector<bool> binary = {});

    // The rows of a small result as the driver's text.
    std::vector<std::vector<std::optional<std::string>>> rows();

    SQLHSTMT get() const { return statement_.get(); }

private:
    OdbcHandle statement_;
    std::vector<std::string> values_;  // bound: they live until the next execute
    std::vector<SQLLEN> lengths_;
};
