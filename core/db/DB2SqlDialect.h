#pragma once

#include "SqlDialect.h"

// IBM DB2 through its CLI driver.
class DB2SqlDialect final : public SqlDialect {
public:
    DatabaseSide side() const override { return DatabaseSide::DB2; }
    std::string displayName() const override { return "IBM DB2"; }
    std::string connectionString(const ConnectionProfile& profile) const override;
    std::string quoteIdentifier(const std::string& name) const override;
    std::string unquotedName(const std::string& name) const override;
    std::string renameTableSql(const std::string& from, const std::string& to) const override;
    std::string countRowsSql(const std::string& table) const override;
    std::optional<long long> keyBytes(const std::string& columnType) const override;
    long long maxKeyBytes() const override { return 1024; }
    bool sizesTextInCharacters(DataConnection& connection) const override;
    std::map<std::string, long long> textDeclaredInCharacters(DataConnection& connection,
                                                              const std::string& table) const override;
    bool isNoSuchTable(const DbError& error) const override;
    LoginFault loginFault(const DbError& error) const override;
    std::string lockWaitSql(int seconds) const override;
    std::string sessionLockWaitSql() const override;
    bool isLockTimeout(const DbError& error) const override;
    std::vector<std::string> dependentsOf(DataConnection& connection, const std::string& table) const override;
    bool renameKeepsDependents() const override { return false; }
    std::vector<std::string> foreignKeysOf(DataConnection& connection, const std::string& table) const override;
    std::vector<std::string> rowTriggers(DataConnection& connection, const std::string& table) const override;
    bool isView(DataConnection& connection, const std::string& table) const override;
    std::vector<ExistingColumn> existingColumns(DataConnection& connection, const std::string& table) const override;
    bool columnNamesIgnoreCase() const override { return false; }
    std::vector<std::string> rowChangingReferences(DataConnection& connection, const std::string& table) const override;
    std::vector<std::string> identitiesBehind(DataConnection& connection, const std::string& table,
                                              const std::vector<std::string>& columns) const override;
    std::optional<std::string> transactionTooLargeAdvice(const DbError& error) const override;
    size_t maxNameBytes() const override { return 128; }
    std::vector<std::string> sessionSetupSql() const override;
    std::vector<std::string> tableNames(DataConnection& connection) const override;
    std::string tableEstimatesSql() const override;
    std::vector<std::string> swapSql(const std::string& staging, const std::string& table, const std::string&,
                                     bool replacing) const override;
    bool ddlInUnitOfWork() const override { return true; }
    std::string undoSwapSql(const std::string&, const std::string&, const std::string&) const override { return ""; }
    void claimStaging(DataConnection& claim, const std::string& staging) const override;
    void releaseStaging(DataConnection& claim, const std::string&) const override;
    bool claimPrecedesTable() const override { return false; }
    std::time_t leftoverGraceSeconds() const override { return 600; }
    bool dropUnclaimedStaging(DataConnection& connection, const std::string& staging) const override;
    SQLSMALLINT textParameterType(long long longestBytes) const override;
    SQLSMALLINT bytesParameterType(long long longestBytes) const override;
    bool textTravelsWide() const override;
    bool narrowTextIsUtf8(DataConnection& connection) const override;
    // Asks DB2 clients loaded later for UTF-8 as the application's code page
    // (DB2CODEPAGE=1208), unless the user chose a code page; call before the
    // first ODBC environment. Whether a connection got it is checked on it.
    static void preferUtf8ClientText();
    bool offersNonAtomicArrays() const override { return true; }
    std::optional<std::string> tableLayoutProblem(DataConnection& connection,
                                                  const std::vector<std::string>& columnTypes) const override;
    bool isCodePageSubstitution(const DiagRecord& record) const override;
    std::optional<long> databaseCodePage(DataConnection& connection) const override;
    bool isConnectionLost(const DbError& error) const override;
    bool isRowsOwnFault(const DbError& error) const override;
    std::optional<std::string> connectAdvice(const DbError& error, const ConnectionProfile& profile) const override;
    std::string pingSql() const override { return "SELECT 1 FROM SYSIBM.SYSDUMMY1"; }
    SendLimits sendLimits(DataConnection&) const override;
    std::string rowTooLongMessage(size_t rowBytes, const SendLimits& limits) const override;
    std::vector<std::string> primaryKeyColumns(DataConnection& connection, const std::string& table) const override;
    std::vector<std::string> rangeKeyColumns(DataConnection& connection, const std::string& table) const override;
    std::string rowAtOffsetSql(const std::string& orderedSelect, long long offset) const override;

private:
    bool extendedRowSize(DataConnection& connection) const;
};
