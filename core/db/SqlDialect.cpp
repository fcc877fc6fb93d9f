#include "SqlDialect.h"

#include <filesystem>
#include <fstream>

#include "DataConnection.h"
#include "SqlIdentifiers.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

constexpr char kStagingPrefix[] = "tablehop_stage_";
constexpr size_t kStagingPrefixBytes = sizeof kStagingPrefix - 1;

// 08S01 communication link failure, 08003 connection not open, 08007 lost during a transaction.
bool isLinkState(const DiagRecord& r)
{
    return r.sqlState == "08S01" || r.sqlState == "08003" || r.sqlState == "08007";
}

}  // namespace

std::string SqlDialect::quoteText(const std::string& text) const { return QuoteSqlText(text); }

std::string SqlDialect::countRowsSql(const std::string& table) const
{
    return "SELECT COUNT(*) FROM " + quoteIdentifier(table);
}

std::string SqlDialect::comparedValueSql(const Field& column) const { return quoteIdentifier(column.name); }

NameRules SqlDialect::nameRules(DataConnection& connection) const
{
    NameRules rules;
    rules.maxTableNameBytes = connection.driverInfo(SQL_MAX_TABLE_NAME_LEN);
    rules.maxColumnNameBytes = connection.driverInfo(SQL_MAX_COLUMN_NAME_LEN);
    return rules;
}

bool SqlDialect::isConnectionLost(const DbError& error) const { return anyRecord(error, isLinkState); }

// 22 data exception, 23 integrity constraint violation.
bool SqlDialect::isRowsOwnFault(const DbError& error) const
{
    const bool dataError = anyRecord(
        error, [](const DiagRecord& r) { return r.sqlState.rfind("22", 0) == 0 || r.sqlState.rfind("23", 0) == 0; });
    return dataError && !isConnectionLost(error) && !isLockTimeout(error);
}

bool SqlDialect::textTravelsWideOn(DataConnection& connection) const
{
    if (!textTravelsWide())
        return false;
    if (!connection.narrowTextIsUtf8())
        connection.setNarrowTextIsUtf8(narrowTextIsUtf8(connection));
    return !*connection.narrowTextIsUtf8();
}

std::vector<std::string> SqlDialect::primaryKeyColumns(DataConnection& connection, const std::string& table) const
{
    return connection.primaryKeyColumns(table);
}

void SqlDialect::openSession(DataConnection& connection, const ConnectionProfile& profile) const
{
    openConnection(connection, profile);
    for (const auto& sql : sessionSetupSql())
        connection.execute(sql);
}

void SqlDialect::openConnection(DataConnection& connection, const ConnectionProfile& profile) const
{
    if (profile.encrypted) {
        const std::pair<const char*, const std::string*> files[] = {{"CA certificate file", &profile.caCertificate},
                                                                    {"client certificate", &profile.clientCertificate},
                                                                    {"client key", &profile.clientKey}};
        for (const auto& [what, file] : files) {
            if (file->empty())
                continue;
            // A folder opens as a stream too; the driver would then fail
            // with words that name no file.
            std::error_code unknown;
            if (std::filesystem::is_directory(*file, unknown))
                throw DbError("HY024", 0,
                              "The " + displayName() + " " + what + " \"" + *file
                                  + "\" is a folder, not a file. Give the file itself.");
            if (!std::ifstream(*file))
                throw DbError("HY024", 0,
                              "The " + displayName() + " " + what + " \"" + *file
                                  + "\" cannot be read. Check the file's name and that you may read it.");
        }
    }
    try {
        connection.open(connectionString(profile));
        connection.rememberProfile(profile);
        for (const auto& sql : connectionSetupSql())
            connection.execute(sql);
    } catch (const DbError& error) {
        const std::optional<std::string> advice = connectAdvice(error, profile);
        if (!advice)
            throw;
        std::vector<DiagRecord> records {{error.sqlState(), error.nativeCode(), *advice}};
        records.insert(records.end(), error.records().begin(), error.records().end());
        throw DbError(std::move(records));
    }
    makeCancellable(connection, profile);
}

void SqlDialect::makeCancellable(DataConnection& connection, const ConnectionProfile&) const
{
    connection.cancelStatementsFromAnyThread();
}

bool SqlDialect::anyMessageSays(const DbError& error, const std::string& words)
{
    const auto lower = [](std::string text) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    const std::string wanted = lower(words);
    for (const DiagRecord& record : error.records())
        if (lower(record.message).find(wanted) != std::string::npos)
            return true;
    return false;
}

std::string SqlDialect::certificateRefusedAdvice(const ConnectionProfile& profile) const
{
    const std::string signer = profile.caCertificate.empty()
        ? "any CA this computer trusts (no CA certificate file is given)"
        : "the CA certificate file \"" + profile.caCertificate + "\"";
    return "The " + displayName() + " server's certificate was refused: it is not signed by " + signer
        + ". No connection was made. Ask the server's administrator for the CA certificate that signed it.";
}

std::string SqlDialect::encryptionRequiredAdvice(const std::string& tlsOption) const
{
    return "The " + displayName()
        + " server accepts only encrypted connections. Tick \"Use an encrypted connection\" (tablehop-cli: "
        + tlsOption + ") and give the CA certificate file that signed the server's certificate.";
}

SqlDialect::TypeText SqlDialect::parseType(const std::string& text)
{
    TypeText type;
    size_t i = 0;
    while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])))
        type.word += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i++])));
    const size_t open = text.find('(');
    if (open != std::string::npos) {
        type.length = std::atoll(text.c_str() + open + 1);
        const size_t comma = text.find(',', open);
        if (comma != std::string::npos && comma < text.find(')', open))
            type.scale = std::atoll(text.c_str() + comma + 1);
    }
    return type;
}

bool SqlDialect::isOneOf(const std::string& word, std::initializer_list<const char*> words)
{
    return std::any_of(words.begin(), words.end(), [&](const char* w) { return word == w; });
}

bool SqlDialect::anyNativeCode(const DbError& error, std::initializer_list<long> codes)
{
    for (const auto& record : error.records())
        if (std::find(codes.begin(), codes.end(), record.nativeCode) != codes.end())
            return true;
    return false;
}

LoginFault SqlDialect::loginFault(const DbError& error) const
{
    if (anyRecord(error, [](const DiagRecord& r) { return r.sqlState == "28000"; }))
        return LoginFault::UserOrPassword;
    if (anyRecord(error, [](const DiagRecord& r) { return r.sqlState == "08001"; }))
        return LoginFault::Port;
    return LoginFault::Unknown;
}

bool SqlDialect::anyRecord(const DbError& error, bool (*matches)(const DiagRecord&))
{
    for (const auto& record : error.records())
        if (matches(record))
            return true;
    return false;
}

std::optional<std::string> SqlDialect::firstValue(DataConnection& connection, const std::string& sql)
{
    auto recordset = connection.execute(sql);
    if (!recordset || recordset->eof() || recordset->fieldCount() == 0)
        return std::nullopt;
    return recordset->field(0).value;
}

std::vector<std::string> SqlDialect::firstColumn(DataConnection& connection, const std::string& sql)
{
    std::vector<std::string> values;
    for (auto rows = connection.execute(sql); rows && !rows->eof(); rows->moveNext())
        if (rows->field(0).value)
            values.push_back(*rows->field(0).value);
    return values;
}

std::vector<SqlDialect::ExistingColumn> SqlDialect::existingColumnsFrom(DataConnection& connection,
                                                                        const std::string& sql)
{
    std::vector<ExistingColumn> columns;
    for (auto rows = connection.execute(sql); rows && !rows->eof(); rows->moveNext())
        columns.push_back({rows->field(0).value.value_or(""), rows->field(1).value.value_or(""),
                           rows->field(2).value.value_or("0") == "1",
                           rows->fieldCount() > 3 ? rows->field(3).value.value_or("") : ""});
    return columns;
}

std::string NameRules::tableKey(const std::string& name) const
{
    return tableNamesIgnoreCase ? LowerCaseName(name) : name;
}

std::string NameRules::listedTableName(const std::string& name) const
{
    return tableNamesKeptInLowerCase ? LowerCaseName(name) : name;
}

std::optional<std::string> NameRules::nameProblem(const std::string& name, bool table,
                                                  const std::string& serverName) const
{
    const size_t maxBytes = table ? maxTableNameBytes : maxColumnNameBytes;
    const char* what = table ? "table" : "column";
    if (maxNameCharacters > 0 && NameCharacters(name) > maxNameCharacters)
        return std::string("The ") + what + " name " + name + " has " + std::to_string(NameCharacters(name))
            + " characters; " + serverName + " takes at most " + std::to_string(maxNameCharacters)
            + ". Rename it on the source and send it again.";
    if (maxBytes > 0 && name.size() > maxBytes)
        return std::string("The ") + what + " name " + name + " has " + std::to_string(name.size()) + " bytes; "
            + serverName + " takes at most " + std::to_string(maxBytes)
            + ". Rename it on the source and send it again.";
    return std::nullopt;
}

std::string StagingName(std::time_t made)
{
    std::tm utc {};
    gmtime_r(&made, &utc);
    static thread_local std::mt19937 random {std::random_device {}()};
    char name[64];
    std::snprintf(name, sizeof name, "%s%04d%02d%02d%02d%02d%02d_%08x", kStagingPrefix, utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<unsigned>(random()));
    return name;
}

std::optional<std::time_t> StagingNameTime(const std::string& name)
{
    // prefix, 14 digits, "_", 8 hex digits
    if (name.size() != kStagingPrefixBytes + 23 || name.compare(0, kStagingPrefixBytes, kStagingPrefix) != 0
        || name[kStagingPrefixBytes + 14] != '_')
        return std::nullopt;
    const std::string stamp = name.substr(kStagingPrefixBytes, 14);
    const std::string token = name.substr(kStagingPrefixBytes + 15);
    if (stamp.find_first_not_of("0123456789") != std::string::npos
        || token.find_first_not_of("0123456789abcdef") != std::string::npos)
        return std::nullopt;
    std::tm utc {};
    utc.tm_year = std::stoi(stamp.substr(0, 4)) - 1900;
    utc.tm_mon = std::stoi(stamp.substr(4, 2)) - 1;
    utc.tm_mday = std::stoi(stamp.substr(6, 2));
    utc.tm_hour = std::stoi(stamp.substr(8, 2));
    utc.tm_min = std::stoi(stamp.substr(10, 2));
    utc.tm_sec = std::stoi(stamp.substr(12, 2));
    return timegm(&utc);
}

const SqlDialect& DialectOf(DatabaseSide side) { return side == DatabaseSide::MySQL ? MySQLDialect() : DB2Dialect(); }

TableEstimates SqlDialect::tableEstimates(DataConnection& connection) const
{
    const auto figure = [](const Field& field) -> std::optional<long long> {
        if (!field.value)
            return std::nullopt;
        char* end = nullptr;
        const long long value = std::strtoll(field.value->c_str(), &end, 10);
        if (end == field.value->c_str() || value < 0)
            return std::nullopt;
        return value;
    };
    TableEstimates estimates;
    for (auto rows = connection.execute(tableEstimatesSql()); rows && !rows->eof(); rows->moveNext())
        if (rows->field(0).value)
            estimates[*rows->field(0).value] = {figure(rows->field(1)), figure(rows->field(2)),
                                                rows->fieldCount() > 3 && figure(rows->field(3)).value_or(0) == 1};
    return estimates;
}
