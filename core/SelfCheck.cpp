// The self-check: scratch tables with awkward values go both ways through
// the workspace's own send, every value is compared as verify compares, and
// what was made is dropped again with the tables' own drop.
#include "SelfCheck.h"

#include "DataConnection.h"
#include "SelfCheckCorpus.h"
#include "SqlDialect.h"
#include "TableChanges.h"
#include "TableComparison.h"
#include "TableOperations.h"
#include "Workspace.h"

#include <cctype>
#include <functional>

namespace {

const char* const kCorpusTable = "TABLEHOP_CHECK_CORPUS";
const char* const kDB2TypesTable = "TABLEHOP_CHECK_DB2_TYPES";
const char* const kWideTable = "TABLEHOP_CHECK_WIDE";
const char* const kMatchingTable = "TABLEHOP_CHECK_MATCHING";
constexpr int kWideColumns = 60;

std::string lowerCase(std::string text)
{
    for (char& ch : text)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return text;
}

// Gathers the servers' messages of a comparison.
class CheckComparison : public ComparisonObserver {
public:
    std::string problems;
    void report(const std::string&, const std::string& description, const std::string&) override
    {
        problems += (problems.empty() ? "" : "; ") + description;
    }
};

// Runs the transfer and gathers what it reports; the target's own table of that name is replaced.
class CheckObserver : public TransferObserver {
public:
    std::string problems;
    bool confirmOverwrite(const std::string&, const std::string&) override { return true; }
    void targetDropped(const std::string&) override { }
    void tableArrived(const std::string&) override { }
    void progress(int) override { }
    void report(const std::string&, TransferStep, const std::string& description, const std::string& sql) override
    {
        problems += (problems.empty() ? "" : "; ") + description;
        if (!sql.empty())
            problems += " (sql: " + (sql.size() > 120 ? sql.substr(0, 120) + "..." : sql) + ")";
    }
    void rowsRefused(const std::string&, long long further) override
    {
        problems += "; " + std::to_string(further) + " further rows refused";
    }
    bool cancelRequested() override { return false; }
    void yield() override { }
};

class SelfCheck {
public:
    SelfCheck(Workspace& workspace, SelfCheckObserver& observer)
            : workspace_(workspace), observer_(observer), userOptions_(workspace.options())
    {
    }
    ~SelfCheck() { workspace_.setOptions(userOptions_); }

    int run()
    {
        // Its own sessions: it makes its scratch tables with SQL of its own
        // and drops them as a user's drop does.
        const bool mysqlOpen = step("connect to MySQL", [&] { openSide(DatabaseSide::MySQL, mysql_); });
        const bool db2Open = step("connect to IBM DB2", [&] { openSide(DatabaseSide::DB2, db2_); });
        if (!mysqlOpen || !db2Open)
            return failures_;
        dropLeftovers();
        checkCorpus(kCorpusTable, {});
        checkCorpus(kMatchingTable, {Db2ColumnTypes::Matching, true},
                    "every value with matching column types and keys");
        checkDB2Types();
        checkWideRow();
        dropScratchTables();
        return failures_;
    }

private:
    void openSide(DatabaseSide side, DataConnection& connection) { OpenSide(side, connection, workspace_.login(side)); }
    DataConnection& connectionOf(DatabaseSide side) { return side == DatabaseSide::MySQL ? mysql_ : db2_; }
    bool step(const std::string& name, const std::function<void()>& work)
    {
        try {
            work();
            pass(name);
            return true;
        } catch (const DbError& error) {
            failLine(name, "[" + error.sqlState() + "] " + error.description());
        } catch (const std::exception& error) {
            failLine(name, error.what());
        }
        return false;
    }
    void pass(const std::string& name) { observer_.passed(name); }
    void failLine(const std::string& name, const std::string& why)
    {
        ++failures_;
        observer_.failed(name, why);
    }

    bool send(TransferDirection direction, const std::string& table, const TransferOptions& options = {},
              const std::string& how = "")
    {
        const std::string name = std::string("send ") + table
            + (direction == TransferDirection::MySQLToDB2 ? " MySQL -> IBM DB2" : " IBM DB2 -> MySQL") + how;
        CheckObserver observer;
        workspace_.setOptions(options);
        const TransferSummary summary = workspace_.send(direction, {table}, observer);
        if (observer.problems.empty() && summary.allSent() && summary.tablesSent() == 1) {
            pass(name);
            return true;
        }
        failLine(name, observer.problems.empty() ? "the table did not arrive" : observer.problems);
        return false;
    }

    // Compares the table of the direction's source with its copy on the
    // target, as verify does, a line per column. With `oneLine`, all columns
    // make one check of that name.
    void compare(const std::string& where, TransferDirection direction, const std::string& table,
                 const std::vector<CorpusColumn>& columns, const std::string& oneLine = "")
    {
        CheckComparison observer;
        workspace_.setOptions({});
        const ComparisonSummary summary = workspace_.verify(direction, {table}, observer);
        const TableComparison& result = summary.tables.at(0);
        if (result.status == ComparisonStatus::NotCompared) {
            failLine(where + ": compare " + table,
                     result.reason + (observer.problems.empty() ? "" : ": " + observer.problems));
            return;
        }
        const std::string sourceName
            = DialectOf(direction == TransferDirection::MySQLToDB2 ? DatabaseSide::MySQL : DatabaseSide::DB2)
                  .displayName();
        // A row on one side only concerns every column.
        std::string rowsProblem;
        for (const RowDifference& difference : result.differences)
            if (rowsProblem.empty() && difference.kind != RowDifference::Kind::ValueDiffers)
                rowsProblem = "row " + difference.row
                    + (difference.kind == RowDifference::Kind::OnlyOnSource ? " missing" : " not in " + sourceName);
        bool failed = false;
        for (const CorpusColumn& column : columns) {
            std::string why = rowsProblem;
            for (const RowDifference& difference : result.differences)
                if (why.empty() && lowerCase(difference.column) == lowerCase(column.name))
                    why = "row " + difference.row + ": expected " + ShortValueText(difference.sourceValue) + ", got "
                        + ShortValueText(difference.targetValue)
                        + (difference.known.empty() ? "" : " (" + difference.known + ")");
            failed = failed || !why.empty();
            if (!oneLine.empty() && !why.empty()) {
                failLine(where + ": " + oneLine, column.name + ": " + why);
                return;
            }
            if (oneLine.empty() && why.empty())
                pass(where + ": " + column.what);
            else if (oneLine.empty())
                failLine(where + ": " + column.what, why);
        }
        // A difference in a column the corpus does not list (the ID).
        if (!failed && result.status != ComparisonStatus::Equal) {
            failLine(where + (oneLine.empty() ? ": rows" : ": " + oneLine), "the table differs");
            return;
        }
        if (!oneLine.empty())
            pass(where + ": " + oneLine);
    }

    // Creates a scratch table on one side and fills rows 1 to 3; false
    // (after a FAIL line) when it could not.
    bool makeTable(DatabaseSide side, const std::string& table, const std::vector<CorpusColumn>& columns,
                   const std::string& label, bool keyed = false)
    {
        const SqlDialect& dialect = DialectOf(side);
        DataConnection& connection = connectionOf(side);
        return step("create " + label + " on " + dialect.displayName(), [&] {
            std::string create = "CREATE TABLE " + dialect.quoteIdentifier(table) + "(" + dialect.quoteIdentifier("ID")
                + (side == DatabaseSide::MySQL ? " INT" : " INTEGER") + (keyed ? " NOT NULL PRIMARY KEY" : "");
            for (const auto& column : columns)
                create += ", " + dialect.quoteIdentifier(column.name) + " " + column.type;
            connection.execute(create + ")" + dialect.createTableSuffix());
            created_.push_back({side, table});  // not a table of that name someone else keeps
            for (size_t row = 1; row <= 3; ++row) {
                std::string insert = "INSERT INTO " + dialect.quoteIdentifier(table) + " VALUES(" + std::to_string(row);
                for (const auto& column : columns)
                    insert += ", " + (row <= column.literals.size() ? column.literals[row - 1] : std::string("NULL"));
                connection.execute(insert + ")");
            }
        });
    }

    // The corpus to DB2 and back, compared after each trip. In text columns
    // DB2 holds each value as MySQL wrote it; in matching types it holds them
    // typed, and each trip is one check named `matchingCheck`.
    void checkCorpus(const char* table, const TransferOptions& options, const std::string& matchingCheck = "")
    {
        const auto columns = MySQLCorpusColumns();
        const bool typed = options.columnTypes == Db2ColumnTypes::Matching;
        if (!makeTable(DatabaseSide::MySQL, table, columns, table, options.copyPrimaryKeys))
            return;
        created_.push_back({DatabaseSide::DB2, table});
        if (!send(TransferDirection::MySQLToDB2, table, options))
            return;
        if (!typed) {
            compare("on IBM DB2", TransferDirection::MySQLToDB2, table, columns);
            // Replacing a table drops the old one and renames the copy in one
            // unit of work, which only a table that exists shows.
            if (!send(TransferDirection::MySQLToDB2, table, options, " over its own copy"))
                return;
            compare("on IBM DB2", TransferDirection::MySQLToDB2, table, columns, "every value after the overwrite");
        } else {
            compare("on IBM DB2", TransferDirection::MySQLToDB2, table, columns, matchingCheck);
        }
        if (!send(TransferDirection::DB2ToMySQL, table, options))
            return;
        // What came back equals the copy it came from, which equals the original.
        compare("back on MySQL", TransferDirection::DB2ToMySQL, table, columns, typed ? matchingCheck : "");
    }

    // DB2's own types, as DB2 holds them, into MySQL.
    void checkDB2Types()
    {
        const auto columns = DB2CorpusColumns();
        if (!makeTable(DatabaseSide::DB2, kDB2TypesTable, columns, kDB2TypesTable))
            return;
        created_.push_back({DatabaseSide::MySQL, kDB2TypesTable});
        if (!send(TransferDirection::DB2ToMySQL, kDB2TypesTable))
            return;
        compare("on MySQL", TransferDirection::DB2ToMySQL, kDB2TypesTable, columns);
    }

    void checkWideRow()
    {
        std::vector<CorpusColumn> columns;
        for (int c = 0; c < kWideColumns; ++c)
            columns.push_back({"c" + std::to_string(c), "VARCHAR(255)", "wide row", {"REPEAT('w', 255)", "''"}});
        if (!makeTable(DatabaseSide::MySQL, kWideTable, columns,
                       std::string(kWideTable) + " (" + std::to_string(kWideColumns) + " columns)"))
            return;
        created_.push_back({DatabaseSide::DB2, kWideTable});
        if (!send(TransferDirection::MySQLToDB2, kWideTable))
            return;
        compare("on IBM DB2", TransferDirection::MySQLToDB2, kWideTable, columns,
                "wide row (" + std::to_string(kWideColumns) + " columns)");
    }

    // Tables of these names left by an interrupted earlier run. None is
    // fine; one that stays (a view relies on it) fails its create later.
    void dropLeftovers()
    {
        for (const char* table : {kCorpusTable, kMatchingTable, kDB2TypesTable, kWideTable})
            for (DatabaseSide side : {DatabaseSide::MySQL, DatabaseSide::DB2}) {
                try {
                    DropTable(side, connectionOf(side), table);
                } catch (const DbError&) {
                } catch (const TableChangeRefused&) {
                }
            }
    }

    // Drops what this run made; a table that did not come to be is fine.
    void dropScratchTables()
    {
        std::string problems;
        for (const auto& [side, table] : created_) {
            std::string why;
            try {
                DropTable(side, connectionOf(side), table);
            } catch (const DbError& error) {
                why = error.description();
            } catch (const TableChangeRefused& refused) {
                why = refused.reason();
            }
            if (!why.empty())
                problems += (problems.empty() ? "" : "; ") + DialectOf(side).displayName() + " " + table + ": " + why;
        }
        if (problems.empty())
            pass("drop the scratch tables");
        else
            failLine("drop the scratch tables", problems);
    }

    Workspace& workspace_;
    SelfCheckObserver& observer_;
    const TransferOptions userOptions_;
    DataConnection mysql_, db2_;
    std::vector<std::pair<DatabaseSide, std::string>> created_;
    int failures_ = 0;
};

}  // namespace

int RunSelfCheck(Workspace& workspace, SelfCheckObserver& observer) { return SelfCheck(workspace, observer).run(); }

bool SameDecimalValue(const std::string& a, const std::string& b)
{
    const auto canonical = CanonicalDecimal(a);
    return canonical && canonical == CanonicalDecimal(b);
}
