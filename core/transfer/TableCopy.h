#pragma once

#include "ExistingTableLoad.h"
#include "ParallelCopy.h"
#include "SourceReader.h"
#include "StagingTable.h"
#include "Transfer.h"

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What every table of one run shares: the connections, how the target
// compares names, the tables it has, and the summary being written.
class TransferRun {
public:
    TransferRun(TransferDirection direction, const ConnectionProfile& mysql, const ConnectionProfile& db2,
                const std::vector<std::string>& tables, TransferObserver& observer, const TransferOptions& options);
    TransferRun(const TransferRun&) = delete;
    TransferRun& operator=(const TransferRun&) = delete;

    // Opens the run's connections and learns which of its tables the target
    // has already; a failure is reported and the run ends before any table.
    // A further lane of a run sending tables side by side (firstOfRun false)
    // leaves the leftovers and the existing tables' announcement to the first.
    bool connect(bool firstOfRun = true);
    // The tables left unsent say why: the connection was lost or the run cancelled.
    void nameUnsentTables();
    TransferSummary finish();

    // The name a table or column is created under on the target.
    std::string targetNameOf(const std::string& name) const;
    // After a failure: when a connection is gone the run ends there, once,
    // instead of reporting "Connection not open" for every later table.
    bool connectionsGone();
    // The source table read the way its side is read, a block ahead.
    std::unique_ptr<SourceReader> readSource(const std::string& table, long long rowCount);
    const ConnectionProfile& targetProfile() const { return toDB2 ? db2_ : mysql_; }
    const ConnectionProfile& sourceProfile() const { return toDB2 ? mysql_ : db2_; }
    // A further pair of connections set up as the run's own source and target
    // (a stream of a table copied in parallel); throws DbError.
    void openStreamConnections(DataConnection& source, DataConnection& target) const;

private:
    const std::chrono::steady_clock::time_point started_;

public:
    const bool toDB2;
    const TargetSide side;
    const DatabaseSide sourceSide;
    TransferObserver& observer;
    const TransferOptions& options;
    const SqlDialect& sourceDialect;
    const SqlDialect& targetDialect;
    TransferSummary summary;

private:
    DataConnection db2Connection_, mysqlConnection_;

public:
    DataConnection& source;
    DataConnection& target;
    // Holds the claim on each staging table and puts it in place.
    DataConnection claim;
    // Whether a table exists on the target is asked of the target, and names
    // are compared as the target compares them: its lists may be stale, and
    // "Orders" is "ORDERS" on some servers and another table on others.
    NameRules names;
    std::map<std::string, std::string> targetTables;   // by tableKey: the name as the target lists it
    std::map<std::string, std::string> sentByThisRun;  // by tableKey: the source table this run put there
    // How the target sizes text columns, asked once when the types are to match.
    std::optional<TextLengths> textLengths;

private:
    const ConnectionProfile& mysql_;
    const ConnectionProfile& db2_;
    const std::vector<std::string>& tables_;
};

// One table of a run sent to the target: either copied into a new table (a
// staging table swapped in whole) or loaded into the table the target has,
// in one transaction. Each step reports its own failure.
class TableCopy {
public:
    enum class After { NextTable, EndRun };

    TableCopy(TransferRun& run, TableResult& result);
    After send();

private:
    // Shared by both ways.
    bool checkName();
    void fail(TransferStep step, const std::string& description, const std::string& sql);
    bool stepFailed(TransferStep step, const std::string& description, const std::string& sql);
    void refuseName(TransferStep step, const std::string& description, const std::string& reason);
    After stopped() const { return endsRun_ ? After::EndRun : After::NextTable; }
    std::string selectSql() const;
    std::string tooLongName() const;
    void checkCount(const std::string& counted, long long expected);
    After report();

    // Into a new table.
    After copyIntoNewTable();
    bool confirmReplace();
    bool checkNotAView();
    bool checkNoDependents();
    bool openSource();
    bool planStreams();
    bool nameColumns();
    bool planTarget();
    bool createStaging();
    void copyRows();
    void swapInOrDiscard();

    // Into the table the target has.
    After loadIntoExistingTable();
    void refuseLoad(TransferStep step, const std::string& description, const std::string& reason);
    bool countSourceRows();
    bool confirmLoad();
    bool readColumnTypes();
    bool openSourceForLoad();
    bool matchColumns();
    bool beginLoad();
    ValueChecks valueChecks() const;
    void loadRows();
    void refuseEmptying();
    bool commitLoad();  // false when whether the COMMIT took effect is unknown
    void endLoad(bool outcomeKnown);

    TransferRun& run_;
    TransferObserver& observer_;
    TableResult& result_;
    const std::string& table_;
    std::string targetName_, key_, listedName_;
    bool overwrite_ = false;
    std::string existingName_;  // as the target lists it, when overwrite_
    ExistingTables mode_ = ExistingTables::ReplaceTable;
    bool endsRun_ = false;  // after a step failed

    std::unique_ptr<SourceReader> reader_;
    long long rowCount_ = 0;
    CopyResult copy_;

    // Into a new table.
    std::map<std::string, std::string> declarations_;
    std::map<std::string, long long> declaredCharacters_;
    std::vector<std::string> sourceKey_;
    std::vector<Field> columns_;
    std::optional<StagingTable> staging_;
    TargetTable plan_;
    std::unique_ptr<ParallelCopy> streams_;  // a large keyed table in ranges, one stream each

    // Into the table the target has.
    std::string kept_;
    long long rowsAsked_ = 0;
    std::vector<SqlDialect::ExistingColumn> targetColumns_;
    std::map<std::string, std::string> sourceDeclarations_;
    std::map<std::string, Field> targetFields_;  // by name, as the target's driver describes them
    LoadColumns loadColumns_;
    std::optional<ExistingTableLoad> loading_;
};
