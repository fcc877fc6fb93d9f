#pragma once

#include "SqlDialect.h"

#include <sqlext.h>

// A key column a MySQL table can be read in the order of.
struct PagingKeyColumn {
    std::string name;
    bool numeric = false;  // compared unquoted, so big integers compare exactly
};

// What the MySQL catalogue tells of a table before it is read.
struct MySQLTableFacts {
    std::vector<PagingKeyColumn> pagingKey;  // empty: no usable key
    double averageRowBytes = 0;              // the server's estimate; 0 when it has none
    bool longValues = false;                 // columns stored off-page, which the estimate may leave out
    bool snapshots = false;                  // InnoDB, or a view (over InnoDB tables): reads can share one snapshot
    bool isView = false;
};

// MySQL and MariaDB through the MariaDB Connector/ODBC.
class MySQLSqlDialect final : public SqlDialect {
public:
    DatabaseSide side() const override { return DatabaseSide::MySQL; }
    std::string displayName() const override { return "MySQL"; }
    std::string connectionString(const ConnectionProfile& profile) const override;
    std::string quoteIdentifier(const std::string& name) const override;
    std::string quoteText(const std::string& text) const override;
    std::string renameTableSql(const std::string& from, const std::string& to) const override;
    std::string createTableSuffix() const override;
    std::string keyColumnSuffix(const std::string& columnType) const override;
    std::optional<long long> keyBytes(const std::string& columnType) const override;
    long long maxKeyBytes() const override { return 3072; }
    void fitRow(std::vector<std::string>& columnTypes, const std::vector<bool>& inKey) const override;
    bool isNoSuchTable(const DbError& error) const override;
    LoginFault loginFault(const DbError& error) const override;
    std::string lockWaitSql(int seconds) const override;
    std::string sessionLockWaitSql() const override;
    bool isLockTimeout(const DbError& error) const override;
    std::vector<std::string> dependentsOf(DataConnection& connection, const std::string& table) const override;
    bool renameKeepsDependents() const override { return true; }
    std::vector<std::string> rowTriggers(DataConnection& connection, const std::string& table) const override;
    bool isView(DataConnection& connection, const std::string& table) const override;
    std::vector<ExistingColumn> existingColumns(DataConnection& connection, const std::string& table) const override;
    bool columnNamesIgnoreCase() const override { return true; }
    std::map<std::string, std::string> declaredColumnTypes(DataConnection& connection,
                                                           const std::string& table) const override
    {
        return columnDeclarations(connection, table);
    }
    std::vector<std::string> rowChangingReferences(DataConnection& connection, const std::string& table) const override;
    std::optional<std::string> rollbackProblem(DataConnection& connection, const std::string& table) const override;
    std::optional<std::string> transactionTooLargeAdvice(const DbError& error) const override;
    size_t maxNameBytes() const override { return 64; }
    NameRules nameRules(DataConnection& connection) const override;
    std::vector<std::string> sessionSetupSql() const override;
    std::vector<std::string> connectionSetupSql() const override;
    std::vector<std::string> tableNames(DataConnection& connection) const override;
    std::string tableEstimatesSql() const override;
    std::vector<std::string> swapSql(const std::string& staging, const std::string& table, const std::string& aside,
                                     bool replacing) const override;
    bool ddlInUnitOfWork() const override { return false; }
    std::string undoSwapSql(const std::string& staging, const std::string& table,
                            const std::string& aside) const override;
    void claimStaging(DataConnection& claim, const std::string& staging) const override;
    void releaseStaging(DataConnection& claim, const std::string& staging) const override;
    bool claimPrecedesTable() const override { return true; }
    std::time_t leftoverGraceSeconds() const override { return 0; }
    bool dropUnclaimedStaging(DataConnection& connection, const std::string& staging) const override;
    SQLSMALLINT textParameterType(long long longestBytes) const override;
    SQLSMALLINT bytesParameterType(long long) const override { return SQL_LONGVARBINARY; }
    bool isConnectionLost(const DbError& error) const override;
    bool isRowsOwnFault(const DbError& error) const override;
    std::vector<DiagRecord> changedValueWarnings(DataConnection& connection) const override;
    bool warnsOfChangedValues() const override { return true; }
    std::optional<std::string> connectAdvice(const DbError& error, const ConnectionProfile& profile) const override;
    void makeCancellable(DataConnection& connection, const ConnectionProfile& profile) const override;
    bool requiresEncryption(const DbError& error, const ConnectionProfile& plain) const;
    SendLimits sendLimits(DataConnection& connection) const override;
    std::string rowTooLongMessage(size_t rowBytes, const SendLimits& limits) const override;
    std::vector<std::string> rangeKeyColumns(DataConnection& connection, const std::string& table) const override;
    std::string rowAtOffsetSql(const std::string& orderedSelect, long long offset) const override;
    std::string comparedValueSql(const Field& column) const override;

    // The catalogue's facts for reading `table` in pages. Its paging key is
    // the primary key, else the first unique key whose columns are all NOT
    // NULL and of types whose order and comparison agree (no ENUM, SET,
    // floats, prefixes).
    static MySQLTableFacts tableFacts(DataConnection& connection, const std::string& table);
    // Each column's own declaration ("decimal(12,2)"), by column name.
    static std::map<std::string, std::string> columnDeclarations(DataConnection& connection, const std::string& table);

private:
    static long long rowBytes(const std::string& columnType);
    // Parts of connectAdvice with TLS: OpenSSL says no trusted CA signed the
    // server's certificate; the sentence for a file the connector could not use.
    static bool signerUntrusted(const DbError& error);
    static std::optional<std::string> unusableFileAdvice(const DbError& error, const ConnectionProfile& profile);
};
