#pragma once

#include <map>
#include <optional>
#include <string>

// A table's rows and bytes as the server's statistics estimate them, without
// reading the table; nullopt where the server has no statistics (never
// collected, or a view).
struct TableEstimate {
    std::optional<long long> rows;
    std::optional<long long> bytes;
};

// Estimates by table name.
using TableEstimates = std::map<std::string, TableEstimate>;
