// tablehop-cli check: a self-check against the user's own servers. Scratch
// tables with awkward values go both ways through the real transfer; every
// value is compared, and what was made is dropped again.
#include "CliCommands.h"
#include "DataConnection.h"
#include "SelfCheckCorpus.h"
#include "SqlDialect.h"
#include "TableOperations.h"
#include "Workspace.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <functional>
#include <map>
#include <ostream>

namespace {

const char* const kCorpusTable = "TABLEHOP_CHECK_CORPUS";
const char* const kDB2TypesTable = "TABLEHOP_CHECK_DB2_TYPES";
const char* const kWideTable = "TABLEHOP_CHECK_WIDE";
const char* const kMatchingTable = "TABLEHOP_CHECK_MATCHING";
constexpr int kWideColumns = 60;

using Rows = std::map<std::string, std::vector<std::optional<std::string>>>;  // ID -> values by column

// A decimal text in one form: sign, integer digits without leading zeros,
// fraction without trailing zeros ("-0.50" and "-.5" give "-0.5"); nothing
// when the text is no decimal.
std::optional<std::string> canonicalDecimal(std::string text)
{
    std::replace(text.begin(), text.end(), ',', '.');  // a locale's decimal separator
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        text.erase(0, 1);
    const size_t point = text.find('.');
    std::string whole = text.substr(0, point), fraction = point == std::string::npos ? "" : text.substr(point + 1);
    const auto digitsOnly = [](const std::string& part) {
        return std::all_of(part.begin(), part.end(),
                           [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    };
    if ((whole.empty() && fraction.empty()) || !digitsOnly(whole) || !digitsOnly(fraction))
        return std::nullopt;
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    fraction.erase(fraction.find_last_not_of('0') + 1);
    const bool zero = whole.empty() && fraction.empty();
    return std::string(negative && !zero ? "-" : "") + (whole.empty() ? "0" : whole)
        + (fraction.empty() ? "" : "." + fraction);
}

bool sameValue(const std::optional<std::string>& expected, const std::optional<std::string>& got, ValueComparison same)
{
    if (!expected || !got)
        return !expected && !got;
    switch (same) {
    case ValueComparison::Exactly: return *expected == *got;
    case ValueComparison::AsNumber: {
        // Whatever the locale: the texts are the servers' own.
        double a = 0, b = 0;
        const auto parsed = [](const std::string& text, double& value) {
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
            return error == std::errc() && end == text.data() + text.size();
        };
        return parsed(*expected, a) && parsed(*got, b) && a == b;
    }
    case ValueComparison::AsDecimal: return SameDecimalValue(*expected, *got);
    case ValueComparison::AsDate: return expected->substr(0, 10) == got->substr(0, 10);
    case ValueComparison::AsDigits: {
        std::string a, b;
        for (char c : *expected)
            if (std::isdigit(static_cast<unsigned char>(c)))
                a += c;
        for (char c : *got)
            if (std::isdigit(static_cast<unsigned char>(c)))
                b += c;
        return a == b;
    }
    }
    return false;
}

std::string shown(const std::optional<std::string>& value)
{
    if (!value)
        return "NULL";
    return value->size() > 40 ? "'" + value->substr(0, 40) + "...' (" + std::to_string(value->size()) + " bytes)"
                              : "'" + *value + "'";
}

// Every row of a table, keyed by its ID column, values by column name (lower case).
Rows readRows(DataConnection& connection, const SqlDialect& dialect, const std::string& table,
              std::vector<std::string>& columns)
{
    Rows rows;
    auto rs = connection.execute("SELECT * FROM " + dialect.quoteIdentifier(table));
    columns.clear();
    for (int c = 0; rs && c < rs->fieldCount(); ++c) {
        std::string name = rs->field(c).name;
        for (char& ch : name)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        columns.push_back(name);
    }
    for (; rs && !rs->eof(); rs->moveNext()) {
        std::vector<std::optional<std::string>> values;
        for (int c = 0; c < rs->fieldCount(); ++c)
            values.push_back(rs->field(c).value);
        rows[values.empty() || !values[0] ? "" : *values[0]] = std::move(values);
    }
    return rows;
}

// Runs the transfer and gathers what it reports; the target's own table of that name is replaced.
class CheckObserver : public TransferObserver {
public:
    std::string problems;
    bool confirmOverwrite(const std::string&, const std::string&) override { return true; }
    void targetDropped(const std::string&) override { }
    void tableArrived(const std::string&) override { }
    void progress(int) override { }
    void report(TransferStep, const std::string& description, const std::string& sql) override
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
    SelfCheck(CliContext& context, ConnectionProfile mysql, ConnectionProfile db2)
            : context_(context), workspace_(std::move(mysql), std::move(db2))
    {
    }

    int run()
    {
        // Its own sessions: it makes, reads and drops its scratch tables with SQL of its own.
        const bool mysqlOpen = step("connect to MySQL", [&] { openSide(DatabaseSide::MySQL, mysql_); });
        const bool db2Open = step("connect to IBM DB2", [&] { openSide(DatabaseSide::DB2, db2_); });
        if (!mysqlOpen || !db2Open)
            return finish();
        dropLeftovers();
        checkCorpus(kCorpusTable, {});
        checkCorpus(kMatchingTable, {Db2ColumnTypes::Matching, true},
                    "every value with matching column types and keys");
        checkDB2Types();
        checkWideRow();
        dropScratchTables();
        return finish();
    }

private:
    void openSide(DatabaseSide side, DataConnection& connection) { OpenSide(side, connection, workspace_.login(side)); }
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
    void pass(const std::string& name) { context_.out << "PASS  " << name << "\n" << std::flush; }
    void failLine(const std::string& name, const std::string& why)
    {
        ++failures_;
        context_.out << "FAIL  " << name << ": " << why << "\n" << std::flush;
    }
    int finish()
    {
        context_.out << (failures_ == 0 ? "All checks passed.\n" : std::to_string(failures_) + " checks failed.\n");
        return failures_ == 0 ? kExitOk : kExitRefused;
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

    // Compares the rows read from one side with the expected values, a line per column.
    // With `oneLine`, all columns make one check of that name.
    void compare(const std::string& where, const Rows& expected, const std::vector<std::string>& expectedColumns,
                 DataConnection& connection, const SqlDialect& dialect, const std::string& table,
                 const std::vector<CorpusColumn>& columns, const std::string& oneLine = "")
    {
        Rows got;
        std::vector<std::string> gotColumns;
        try {
            got = readRows(connection, dialect, table, gotColumns);
        } catch (const DbError& error) {
            failLine(where + ": read " + table, "[" + error.sqlState() + "] " + error.description());
            return;
        }
        for (const CorpusColumn& column : columns) {
            std::string lower = column.name;
            for (char& ch : lower)
                ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            const auto at = [&](const std::vector<std::string>& names) {
                return static_cast<size_t>(std::find(names.begin(), names.end(), lower) - names.begin());
            };
            const size_t e = at(expectedColumns), g = at(gotColumns);
            std::string why;
            if (e >= expectedColumns.size() || g >= gotColumns.size())
                why = "column missing";
            for (const auto& [id, row] : expected) {
                if (!why.empty())
                    break;
                const auto other = got.find(id);
                if (other == got.end())
                    why = "row " + id + " missing";
                else if (!sameValue(row[e], other->second[g], column.same))
                    why = "row " + id + ": expected " + shown(row[e]) + ", got " + shown(other->second[g]);
            }
            if (!oneLine.empty() && !why.empty()) {
                failLine(where + ": " + oneLine, column.name + ": " + why);
                return;
            }
            if (oneLine.empty() && why.empty())
                pass(where + ": " + column.what);
            else if (oneLine.empty())
                failLine(where + ": " + column.what, why);
        }
        if (!oneLine.empty())
            pass(where + ": " + oneLine);
    }

    // Creates a scratch table on one side, fills rows 1 to 3 and reads back what the
    // server holds; false (after a FAIL line) when it could not.
    bool makeTable(DatabaseSide side, const std::string& table, const std::vector<CorpusColumn>& columns,
                   const std::string& label, Rows& original, std::vector<std::string>& originalColumns,
                   bool keyed = false)
    {
        const SqlDialect& dialect = DialectOf(side);
        DataConnection& connection = side == DatabaseSide::MySQL ? mysql_ : db2_;
        created_.push_back({side, table});
        return step("create " + label + " on " + dialect.displayName(), [&] {
            std::string create = "CREATE TABLE " + dialect.quoteIdentifier(table) + "(" + dialect.quoteIdentifier("ID")
                + (side == DatabaseSide::MySQL ? " INT" : " INTEGER") + (keyed ? " NOT NULL PRIMARY KEY" : "");
            for (const auto& column : columns)
                create += ", " + dialect.quoteIdentifier(column.name) + " " + column.type;
            connection.execute(create + ")" + dialect.createTableSuffix());
            for (size_t row = 1; row <= 3; ++row) {
                std::string insert = "INSERT INTO " + dialect.quoteIdentifier(table) + " VALUES(" + std::to_string(row);
                for (const auto& column : columns)
                    insert += ", " + (row <= column.literals.size() ? column.literals[row - 1] : std::string("NULL"));
                connection.execute(insert + ")");
            }
            original = readRows(connection, dialect, table, originalColumns);
        });
    }

    // The corpus to DB2 and back. In text columns DB2 holds each value as MySQL
    // wrote it, which is compared too; in matching types it holds them typed,
    // and only MySQL's copy is compared, as one check named `matchingCheck`.
    void checkCorpus(const char* table, const TransferOptions& options, const std::string& matchingCheck = "")
    {
        const auto columns = MySQLCorpusColumns();
        const bool typed = options.columnTypes == Db2ColumnTypes::Matching;
        Rows original;
        std::vector<std::string> originalColumns;
        if (!makeTable(DatabaseSide::MySQL, table, columns, table, original, originalColumns, options.copyPrimaryKeys))
            return;
        created_.push_back({DatabaseSide::DB2, table});
        if (!send(TransferDirection::MySQLToDB2, table, options))
            return;
        if (!typed) {
            compare("on IBM DB2", original, originalColumns, db2_, DB2Dialect(), table, columns);
            // Replacing a table drops the old one and renames the copy in one
            // unit of work, which only a table that exists shows.
            if (!send(TransferDirection::MySQLToDB2, table, options, " over its own copy"))
                return;
            compare("on IBM DB2", original, originalColumns, db2_, DB2Dialect(), table, columns,
                    "every value after the overwrite");
        }
        if (!send(TransferDirection::DB2ToMySQL, table, options))
            return;
        compare("back on MySQL", original, originalColumns, mysql_, MySQLDialect(), table, columns,
                typed ? matchingCheck : "");
    }

    // DB2's own types, as DB2 holds them, into MySQL.
    void checkDB2Types()
    {
        const auto columns = DB2CorpusColumns();
        Rows original;
        std::vector<std::string> originalColumns;
        if (!makeTable(DatabaseSide::DB2, kDB2TypesTable, columns, kDB2TypesTable, original, originalColumns))
            return;
        created_.push_back({DatabaseSide::MySQL, kDB2TypesTable});
        if (!send(TransferDirection::DB2ToMySQL, kDB2TypesTable))
            return;
        compare("on MySQL", original, originalColumns, mysql_, MySQLDialect(), kDB2TypesTable, columns);
    }

    void checkWideRow()
    {
        std::vector<CorpusColumn> columns;
        for (int c = 0; c < kWideColumns; ++c)
            columns.push_back({"c" + std::to_string(c), "VARCHAR(255)", "wide row", {"REPEAT('w', 255)", "''"}});
        Rows original;
        std::vector<std::string> originalColumns;
        if (!makeTable(DatabaseSide::MySQL, kWideTable, columns,
                       std::string(kWideTable) + " (" + std::to_string(kWideColumns) + " columns)", original,
                       originalColumns))
            return;
        created_.push_back({DatabaseSide::DB2, kWideTable});
        if (!send(TransferDirection::MySQLToDB2, kWideTable))
            return;
        compare("on IBM DB2", original, originalColumns, db2_, DB2Dialect(), kWideTable, columns,
                "wide row (" + std::to_string(kWideColumns) + " columns)");
    }

    // Tables of these names left by an interrupted earlier run; none is an error.
    void dropLeftovers()
    {
        for (const char* table : {kCorpusTable, kMatchingTable, kDB2TypesTable, kWideTable})
            for (DatabaseSide side : {DatabaseSide::MySQL, DatabaseSide::DB2}) {
                try {
                    (side == DatabaseSide::MySQL ? mysql_ : db2_).execute(DialectOf(side).dropTableSql(table));
                } catch (const DbError&) {
                }
            }
    }

    // Drops what this run made; a table that did not come to be is fine.
    void dropScratchTables()
    {
        std::string problems;
        for (const auto& [side, table] : created_) {
            DataConnection& connection = side == DatabaseSide::MySQL ? mysql_ : db2_;
            try {
                connection.execute(DialectOf(side).dropTableSql(table));
            } catch (const DbError& error) {
                if (!DialectOf(side).isNoSuchTable(error))
                    problems += (problems.empty() ? "" : "; ") + DialectOf(side).displayName() + " " + table + ": "
                        + error.description();
            }
        }
        if (problems.empty())
            pass("drop the scratch tables");
        else
            failLine("drop the scratch tables", problems);
    }

    CliContext& context_;
    Workspace workspace_;
    DataConnection mysql_, db2_;
    std::vector<std::pair<DatabaseSide, std::string>> created_;
    int failures_ = 0;
};

}  // namespace

bool SameDecimalValue(const std::string& a, const std::string& b)
{
    const auto canonical = canonicalDecimal(a);
    return canonical && canonical == canonicalDecimal(b);
}

int RunCheck(const CliArgs& args, CliContext& context)
{
    if (!args.words.empty())
        throw UsageError("check takes no table names");
    SelfCheck check(context, ProfileFor(DatabaseSide::MySQL, args, context),
                    ProfileFor(DatabaseSide::DB2, args, context));
    return check.run();
}
