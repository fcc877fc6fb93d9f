#pragma once

#include <map>
#include <optional>
#include <string>

// A table's rows and bytes as the server's statistics estimate them, without
// reading the table; nullopt where the server has no statistics (never
// collected, or a view). Read with the list, so it also says which names are views.
struct TableEstimate {
    std::optional<long long> rows;
    std::optional<long long> bytes;
    bool view = false;  // a view, not a table
};

// Estimates by table name.
using TableEstimates = std::map<std::string, TableEstimate>;
