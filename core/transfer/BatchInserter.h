#pragma once

#include "ColumnFit.h"
#include "ColumnTypes.h"
#include "DataConnection.h"
#include "RowBlock.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A row the target refused: its own INSERT text and the driver's error.
struct RefusedRow {
    std::string insertSql;
    DbError error;
};

struct BatchOutcome {
    long long inserted = 0;
    long long refused = 0;
    std::vector<size_t> refusedRows;  // the block's rows that did not arrive, ascending
    // Rows that arrived with substitution characters: the target's code page
    // lacks some character of theirs.
    std::vector<size_t> substitutedRows;
    // Values of rows that arrived that their columns rounded, with rounding
    // accepted, per target column.
    std::map<std::string, long long> valuesRounded;
    std::optional<RefusedRow> firstRefused;
    // A failure that is not a row's own ended the block (the connection or the
    // target table gone, a full log or table space, a deadlock): the
    // rows refused before it stay refused, nothing of the block was kept, and
    // no later row can arrive.
    std::optional<DbError> endedCopy;
};

// Sends blocks of rows as parameter arrays (bound column-wise, which
// MariaDB's bulk path needs), committing every array. Arrays are bounded by
// the target's byte limits as well as by rows; a row too long to send at all
// is refused alone without being sent. An array the target refuses is undone
// and sent again row by row, so each row stands or falls alone. A lost
// connection or a target table gone meanwhile ends the block (endedCopy)
// instead of refusing rows, as does any error that is not the row's own
// (see SqlDialect::isRowsOwnFault). Where the target only warns of a value it
// changed, each array's warnings are read and a changed row is refused as if
// the server had refused it. Where the target column would change a value
// without a word (setValueChecks), its row is refused before it is sent. The
// target connection must have autocommit off.
class BatchInserter {
public:
    // columnTypes: the target's column types as created, where known.
    BatchInserter(DataConnection& target, TargetSide side, const std::string& table, std::vector<ColumnPlan> plans,
                  const std::vector<std::string>& columnTypes = {});

    // Values accepted rounded are rounded in the block as they are sent.
    BatchOutcome insert(RowBlock& block);

    // Called between single-row sends so a long retry does not freeze the window.
    void setPacer(std::function<void()> pace) { pace_ = std::move(pace); }
    // Whether to ask the target to let each row of an array stand alone (where
    // it offers that); otherwise one bad row fails the whole array. Either way
    // a failed array is sent again row by row.
    void setNonAtomicArrays(bool wanted) { nonAtomic_ = wanted && DialectOf(side_).offersNonAtomicArrays(); }
    // Loading into an existing table: the values go into these columns (by
    // name, in plan order), before the first insert.
    void setColumnNames(std::vector<std::string> columns) { columns_ = std::move(columns); }
    // Nothing is committed or rolled back: the caller ends the one transaction
    // the whole load is. A refused array is undone as one statement (arrays
    // stay atomic), and an error that may have ended the transaction
    // (a lock timeout or deadlock) ends the copy.
    void setOneTransaction(bool wanted)
    {
        oneTransaction_ = wanted;
        if (wanted)
            setNonAtomicArrays(false);
    }
    // How each target column holds the values of its source column (in plan
    // order): a row with a value its column would change is refused without
    // being sent, except, with `allowRounding`, a value the column would only
    // round: that one is sent as the column keeps it and counted.
    void setValueChecks(std::vector<ColumnFit> columns, bool allowRounding)
    {
        fits_ = std::move(columns);
        allowRounding_ = allowRounding;
    }

private:
    void prepareIfNeeded(SQLHSTMT statement, bool& prepared);
    void endTransaction(bool commit);
    void bind(SQLHSTMT statement, const RowBlock& block, size_t firstRow, size_t rows);
    // Rows of the array that arrived substituted are added to `substituted`.
    bool sendArray(const RowBlock& block, size_t first, size_t count, std::vector<size_t>& substituted);
    // Whether a statement that succeeded had a value substituted.
    bool substitutionReported(SQLRETURN rc, SQLHSTMT statement) const;
    void sendRowByRow(const RowBlock& block, size_t first, size_t count, BatchOutcome& outcome);
    void sendRange(const RowBlock& block, size_t first, size_t count, BatchOutcome& outcome);
    void refuse(BatchOutcome& outcome, const RowBlock& block, size_t row, DbError error);
    // The rows of the block refused for a value their column would change,
    // each with why; rounds the values accepted rounded and notes their cells.
    std::map<size_t, DbError> checkValues(RowBlock& block);
    void countRounded(BatchOutcome& outcome) const;
    const std::string& targetColumn(size_t column) const;
    size_t rowBytes(const RowBlock& block, size_t row) const;
    bool endsTheCopy(const DbError& error) const;
    // The values the statement just run stored changed, as the error that
    // refuses its row; nothing where the server changed none.
    std::optional<DbError> changedValues();
    // A savepoint before a statement whose warnings may have to undo it alone.
    void markUndoPoint();
    void undoToMark();

    DataConnection& target_;
    TargetSide side_;
    SendLimits limits_;
    std::string table_;
    std::vector<ColumnPlan> plans_;
    OdbcHandle arrayStatement_, rowStatement_;
    std::vector<SQLUSMALLINT> status_;
    // Boolean values bound for a DB2 BOOLEAN column: sent as '1' and '0',
    // the strings DB2 certainly assigns (of 'True' its documentation is silent).
    std::vector<bool> digitBooleans_;
    ColumnBuffer digits_;
    std::vector<ColumnBuffer> wide_;  // text re-encoded for the target: UTF-16, booleans as digits
    bool wideText_ = false;           // the target connection takes text as UTF-16
    bool nonAtomic_ = false, oneTransaction_ = false;
    bool checkWarnings_ = false;  // the target warns of values it changed instead of refusing them
    std::vector<std::string> columns_;
    std::vector<ColumnFit> fits_;
    bool allowRounding_ = false;
    std::vector<std::pair<size_t, size_t>> roundedCells_;  // (row, column) of the block being sent
    SQLULEN processed_ = 0;
    std::function<void()> pace_;
    bool arrayPrepared_ = false, rowPrepared_ = false;
    bool commitDeletes_ = false, rollbackDeletes_ = false;
};
