#include "DbError.h"

namespace {

std::string joinMessages(const std::vector<DiagRecord>& records)
{
    std::string text;
    for (const auto& record : records) {
        if (!text.empty())
            text += '\n';
        text += record.message;
    }
    return text;
}

std::vector<DiagRecord> atLeastOne(std::vector<DiagRecord> records)
{
    if (records.empty())
        records.push_back({"HY000", 0, "Unknown error (the driver gave no diagnostics)"});
    return records;
}

}  // namespace

DbError::DbError(std::vector<DiagRecord> records)
        : std::runtime_error(joinMessages(atLeastOne(records))), records_(atLeastOne(std::move(records)))
{
}

DbError::DbError(std::string sqlState, long nativeCode, std::string message)
        : DbError(std::vector<DiagRecord> {{std::move(sqlState), nativeCode, std::move(message)}})
{
}

bool DbError::hasSqlState(const std::string& state) const
{
    for (const auto& record : records_)
        if (record.sqlState == state)
            return true;
    return false;
}
