#include "KeyRanges.h"

#include "BlockFetcher.h"
#include "KeysetReader.h"
#include "ParameterStatement.h"
#include "RowBlock.h"
#include "SourceReader.h"

#include <algorithm>

namespace {

// Key columns whose values read back as themselves: exact numbers, text,
// dates and times, bytes. A float or a Boolean is no boundary.
std::optional<KeyColumn> keyColumnOf(const Field& field)
{
    switch (field.kind) {
    case ColumnKind::TinyInt:
    case ColumnKind::SmallInt:
    case ColumnKind::Integer:
    case ColumnKind::BigInt:
    case ColumnKind::Decimal: return KeyColumn {field.name, true, false};
    case ColumnKind::Text:
    case ColumnKind::Date:
    case ColumnKind::Time:
    case ColumnKind::Timestamp: return KeyColumn {field.name, false, false};
    case ColumnKind::FixedBytes:
    case ColumnKind::Bytes: return KeyColumn {field.name, false, true};
    default: return std::nullopt;
    }
}

// The single number a statement answers with.
long long countOf(SQLHSTMT statement)
{
    SQLBIGINT count = 0;
    SQLLEN indicator = 0;
    if (checkOdbc(SQLFetch(statement), SQL_HANDLE_STMT, statement, "SQLFetch", SQL_NO_DATA) == SQL_NO_DATA)
        return 0;
    checkOdbc(SQLGetData(statement, 1, SQL_C_SBIGINT, &count, sizeof count, &indicator), SQL_HANDLE_STMT, statement,
              "SQLGetData");
    SQLFreeStmt(statement, SQL_CLOSE);
    return indicator == SQL_NULL_DATA ? 0 : static_cast<long long>(count);
}

}  // namespace

bool IsNumberText(const std::string& text)
{
    return !text.empty()
        && std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '-' || c == '.'; });
}

void AddKeyComparison(KeyCondition& condition, const SqlDialect& dialect, const std::vector<KeyColumn>& key,
                      const std::vector<std::string>& values, const std::string& op)
{
    if (values.size() != key.size())
        throw DbError("HY000", 0, "A key bound has " + std::to_string(values.size()) + " values for a key of "
                                      + std::to_string(key.size()) + " columns");
    const auto value = [&](size_t i) {
        if (key[i].numeric) {
            if (!IsNumberText(values[i]))
                throw DbError("22018", 0, "Key column " + key[i].name + " read as " + values[i]);
            return values[i];
        }
        condition.values.push_back(values[i]);
        condition.binary.push_back(key[i].binary);
        return std::string("?");
    };
    const auto column = [&](size_t i) { return dialect.quoteIdentifier(key[i].name); };
    std::string sql;
    if (op == "=") {
        for (size_t i = 0; i < key.size(); ++i)
            sql += (i ? " AND " : "") + column(i) + " = " + value(i);
    } else {
        const std::string strict = op == "<" ? "<" : ">";
        for (size_t i = 0; i < key.size(); ++i) {
            std::string term;
            for (size_t j = 0; j < i; ++j)
                term += column(j) + " = " + value(j) + " AND ";
            term += column(i) + " " + (i + 1 == key.size() ? op : strict) + " " + value(i);
            sql += (i ? " OR (" : "(") + term + ")";
        }
    }
    condition.sql += (condition.sql.empty() ? "(" : " AND (") + sql + ")";
}

KeyCondition RangeCondition(const SqlDialect& dialect, const std::vector<KeyColumn>& key, const KeyRange& range)
{
    KeyCondition condition;
    if (!range.from.empty())
        AddKeyComparison(condition, dialect, key, range.from, ">=");
    if (!range.to.empty())
        AddKeyComparison(condition, dialect, key, range.to, "<");
    return condition;
}

KeyStatement::KeyStatement(DataConnection& connection, const SqlDialect& dialect)
        : connection_(connection), dialect_(dialect)
{
}

void KeyStatement::execute(const std::string& sql, const KeyCondition& condition)
{
    // Asked before the new statement is made: the answer may take a query of its own.
    const bool wide = dialect_.textTravelsWideOn(connection_);
    // A handle of its own each time: a fetcher of the statement before may
    // have left its buffers bound to the old one.
    statement_ = connection_.newStatement();
    SQLHSTMT statement = statement_.get();
    const size_t count = condition.values.size();
    // Sized before binding: the driver keeps pointers into them until the next execute.
    narrow_.assign(condition.values.begin(), condition.values.end());
    wide_.assign(count, {});
    lengths_.assign(count, 0);
    for (size_t i = 0; i < count; ++i) {
        const bool bytes = i < condition.binary.size() && condition.binary[i];
        SQLSMALLINT cType = SQL_C_CHAR, sqlType = SQL_VARCHAR;
        SQLPOINTER data = narrow_[i].data();
        SQLULEN size = narrow_[i].size();
        if (bytes) {
            cType = SQL_C_BINARY;
            sqlType = SQL_VARBINARY;
        } else if (wide) {
            wide_[i] = toSqlW(narrow_[i]);
            cType = SQL_C_WCHAR;
            sqlType = SQL_WVARCHAR;
            data = wide_[i].data();
            size = wide_[i].size();
        }
        lengths_[i] = static_cast<SQLLEN>(bytes || !wide ? size : size * sizeof(SQLWCHAR));
        checkOdbc(SQLBindParameter(statement, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, cType, sqlType,
                                   std::max<SQLULEN>(size, 1), 0, data, lengths_[i], &lengths_[i]),
                  SQL_HANDLE_STMT, statement, "SQLBindParameter");
    }
    ExecuteDirect(statement, sql);
}

std::optional<KeySplit> SplitByKey(DataConnection& source, const SqlDialect& dialect, const std::string& table,
                                   long long rowCount, int parts)
{
    if (parts < 2 || rowCount < parts)
        return std::nullopt;
    const std::vector<std::string> names = dialect.rangeKeyColumns(source, table);
    if (names.empty())
        return std::nullopt;
    std::string columns;
    for (const std::string& name : names)
        columns += (columns.empty() ? "" : ", ") + dialect.quoteIdentifier(name);
    const std::string from = " FROM " + dialect.quoteIdentifier(table);

    KeySplit split;
    std::vector<std::vector<std::string>> bounds;
    KeyStatement statement(source, dialect);
    const bool sourceIsMySQL = dialect.side() == DatabaseSide::MySQL;
    long long boundAt = 0;  // the row of the last boundary in the key's order
    for (int part = 1; part < parts; ++part) {
        // Each boundary is counted on from the one before along the key's
        // index, so the table's keys are walked once, not once per boundary.
        const long long at = rowCount * part / parts;
        KeyCondition after;
        if (!bounds.empty())
            AddKeyComparison(after, dialect, split.key, bounds.back(), ">=");
        const std::string orderedSelect = "SELECT " + columns + from
            + (after.sql.empty() ? "" : " WHERE " + after.sql) + " ORDER BY " + columns;
        statement.execute(dialect.rowAtOffsetSql(orderedSelect, at - boundAt), after);
        boundAt = at;
        const std::vector<Field> fields = DescribeResultColumns(statement.get());
        if (split.key.empty()) {
            for (const Field& field : fields) {
                const auto column = keyColumnOf(field);
                if (!column)
                    return std::nullopt;
                split.key.push_back(*column);
            }
        }
        const std::vector<ColumnPlan> plans = PlanColumns(fields, sourceIsMySQL,
                                                          sourceIsMySQL ? TargetSide::DB2 : TargetSide::MySQL,
                                                          dialect.textTravelsWideOn(source));
        BlockFetcher fetcher(plans, 1);
        fetcher.attach(statement.get());
        const RowBlock* row = fetcher.next();
        if (!row || row->rows == 0)
            break;  // the table has fewer rows than counted
        std::vector<std::string> bound;
        for (size_t c = 0; c < plans.size(); ++c) {
            const auto value = row->sendText(c, 0);
            if (!value)
                return std::nullopt;
            bound.push_back(*value);
        }
        SQLFreeStmt(statement.get(), SQL_CLOSE);
        if (bounds.empty() || bound != bounds.back())
            bounds.push_back(std::move(bound));
    }
    if (bounds.empty())
        return std::nullopt;
    // Each boundary must find its own row again, at or above the boundary
    // before it, with the very comparisons the ranges use: then every row
    // falls in exactly one range, whatever the collation makes of case and
    // trailing spaces.
    for (size_t i = 0; i < bounds.size(); ++i) {
        KeyCondition check;
        AddKeyComparison(check, dialect, split.key, bounds[i], "=");
        if (i > 0)
            AddKeyComparison(check, dialect, split.key, bounds[i - 1], ">=");
        statement.execute("SELECT COUNT(*)" + from + " WHERE " + check.sql, check);
        if (countOf(statement.get()) < 1)
            return std::nullopt;
    }
    KeyRange range;
    for (std::vector<std::string>& bound : bounds) {
        range.to = bound;
        split.ranges.push_back(std::move(range));
        range = KeyRange {std::move(bound), {}};
    }
    split.ranges.push_back(std::move(range));
    return split;
}

namespace {

// One range of a table on a server that streams its results and keeps no
// snapshot of them: one SELECT read to its end, its bounds as parameters, its
// rows counted before and, when fewer arrived, after the read.
class StreamedRangeReader : public SourceReader {
public:
    StreamedRangeReader(DataConnection& connection, const SqlDialect& dialect, const std::string& table,
                        const KeySplit& split, size_t part, size_t blockRows)
            : statement_(connection, dialect), condition_(RangeCondition(dialect, split.key, split.ranges.at(part))),
              where_(condition_.sql.empty() ? "" : " WHERE " + condition_.sql),
              expected_(
                  [this, countSql = dialect.countRowsSql(table) + where_] {
                      statement_.execute(countSql, condition_);
                      return countOf(statement_.get());
                  },
                  false)
    {
        selectSql_ = "SELECT * FROM " + dialect.quoteIdentifier(table) + where_;
        statement_.execute(selectSql_, condition_);
        const bool sourceIsMySQL = dialect.side() == DatabaseSide::MySQL;
        plans_ = PlanColumns(DescribeResultColumns(statement_.get()), sourceIsMySQL,
                             sourceIsMySQL ? TargetSide::DB2 : TargetSide::MySQL,
                             dialect.textTravelsWideOn(connection));
        fetcher_ = std::make_unique<BlockFetcher>(plans_, blockRows);
        fetcher_->attach(statement_.get());
    }

    RowBlock* next() override
    {
        if (done_)
            return nullptr;
        RowBlock* block = fetcher_->next();
        if (!block) {
            done_ = true;
            SQLFreeStmt(statement_.get(), SQL_CLOSE);
            expected_.checkAtEnd();
            return nullptr;
        }
        expected_.arrived(block->rows);
        return block;
    }

private:
    KeyStatement statement_;
    const KeyCondition condition_;
    const std::string where_;
    ExpectedRows expected_;
    std::unique_ptr<BlockFetcher> fetcher_;
    bool done_ = false;
};

}  // namespace

std::unique_ptr<SourceReader> OpenKeyRange(DatabaseSide side, DataConnection& connection, const std::string& table,
                                           const KeySplit& split, size_t part, size_t blockRows)
{
    if (side == DatabaseSide::DB2)
        return std::make_unique<StreamedRangeReader>(connection, DB2Dialect(), table, split, part, blockRows);
    const MySQLTableFacts facts = MySQLSqlDialect::tableFacts(connection, table);
    if (facts.pagingKey.empty())
        throw DbError("HY000", 0, table + " has lost the key its ranges were cut by");
    return std::make_unique<KeysetReader>(connection, table, facts, blockRows, kMySQLPageRows, kMySQLPageBytes,
                                          split.key, split.ranges.at(part));
}
