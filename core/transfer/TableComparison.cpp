#include "TableComparison.h"

#include "ColumnKind.h"
#include "DataConnection.h"
#include "MySQLSqlDialect.h"
#include "SortedHashes.h"
#include "SqlDialect.h"
#include "TextRowScan.h"
#include "Transfer.h"
#include "ValueText.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <exception>
#include <functional>
#include <map>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTimeoutSeconds = 5000;  // as the copy's sessions

bool isTextKind(ColumnKind kind)
{
    switch (kind) {
    case ColumnKind::Text:
    case ColumnKind::LongText:
    case ColumnKind::Clob:
    case ColumnKind::Xml:
    case ColumnKind::Other: return true;
    default: return false;
    }
}

bool isExactNumber(ColumnKind kind)
{
    switch (kind) {
    case ColumnKind::TinyInt:
    case ColumnKind::SmallInt:
    case ColumnKind::Integer:
    case ColumnKind::BigInt:
    case ColumnKind::Decimal:
    case ColumnKind::DecFloat: return true;
    default: return false;
    }
}

bool isFixedText(const Field& column)
{
    return column.kind == ColumnKind::Text
        && (column.sqlType == SQL_CHAR || column.sqlType == SQL_WCHAR || column.sqlType == db2sql::kGraphic);
}

bool isTemporal(ColumnKind kind)
{
    return kind == ColumnKind::Date || kind == ColumnKind::Time || kind == ColumnKind::Timestamp;
}

// A number's form: its value as the shortest text of its own type.
ValueForm numberForm(ColumnKind kind)
{
    return kind == ColumnKind::Real  ? ValueForm::FloatNumber
        : kind == ColumnKind::Double ? ValueForm::DoubleNumber
                                     : ValueForm::Decimal;
}

// A number of a column that is text on the other side: the text the copy writes.
ValueForm copiedText(ColumnKind kind)
{
    return kind == ColumnKind::Real  ? ValueForm::FloatText
        : kind == ColumnKind::Double ? ValueForm::DoubleText
                                     : ValueForm::Text;
}

}  // namespace

std::optional<std::string> CanonicalDecimal(std::string_view text)
{
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        text.remove_prefix(1);
    const size_t point = text.find_first_of(".,");
    std::string_view whole = text.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    const auto digitsOnly = [](std::string_view part) {
        return std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if ((whole.empty() && fraction.empty()) || !digitsOnly(whole) || !digitsOnly(fraction))
        return std::nullopt;
    whole.remove_prefix(std::min(whole.find_first_not_of('0'), whole.size()));
    fraction = fraction.substr(0, fraction.find_last_not_of('0') + 1);
    const bool zero = whole.empty() && fraction.empty();
    std::string out = negative && !zero ? "-" : "";
    out += whole.empty() ? std::string_view("0") : whole;
    if (!fraction.empty())
        out.append(".").append(fraction);
    return out;
}

std::string ShortValueText(const std::optional<std::string>& value)
{
    if (!value)
        return "NULL";
    return value->size() > 40 ? "'" + value->substr(0, 40) + "...' (" + std::to_string(value->size()) + " bytes)"
                              : "'" + *value + "'";
}

namespace {

// A number written with an exponent ("1.5E+3", "1e-50") as plain digits
// ("1500", "0.00000...1"), then in CanonicalDecimal's form; nothing when the
// text is no number.
std::optional<std::string> canonicalNumber(std::string_view text)
{
    const size_t e = text.find_first_of("eE");
    if (e == std::string_view::npos)
        return CanonicalDecimal(text);
    int exponent = 0;
    std::string_view power = text.substr(e + 1);
    if (!power.empty() && power[0] == '+')
        power.remove_prefix(1);
    const auto [end, error] = std::from_chars(power.data(), power.data() + power.size(), exponent);
    if (error != std::errc() || end != power.data() + power.size() || exponent > 10000 || exponent < -10000)
        return std::nullopt;
    const std::optional<std::string> mantissa = CanonicalDecimal(text.substr(0, e));
    if (!mantissa)
        return std::nullopt;
    const bool negative = (*mantissa)[0] == '-';
    std::string digits = mantissa->substr(negative ? 1 : 0);
    const size_t point = digits.find('.');
    long long pointAt = static_cast<long long>(point == std::string::npos ? digits.size() : point) + exponent;
    if (point != std::string::npos)
        digits.erase(point, 1);
    if (pointAt <= 0) {
        digits.insert(0, static_cast<size_t>(-pointAt) + 1, '0');
        pointAt = 1;
    }
    if (static_cast<size_t>(pointAt) > digits.size())
        digits.append(static_cast<size_t>(pointAt) - digits.size(), '0');
    digits.insert(static_cast<size_t>(pointAt), ".");
    return CanonicalDecimal((negative ? "-" : "") + digits);
}

// A floating-point text read in the locale-free form (a comma-decimal DB2 client may write "0,5").
template <typename T> std::optional<T> parsedNumber(std::string_view text)
{
    std::string plain(text);
    std::replace(plain.begin(), plain.end(), ',', '.');
    T value {};
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (error != std::errc() || end != plain.data() + plain.size())
        return std::nullopt;
    return value;
}

// Dates, times and timestamps as their numbers: the date and time parts,
// then the fraction without trailing zeros; separators ('-', ' ', 'T', '.')
// do not matter, a sign does.
std::string temporalDigits(std::string_view text)
{
    // The runs of digits: year, month, day, hour, minute, second, fraction.
    constexpr size_t kMostGroups = 8;
    std::string_view groups[kMostGroups];
    size_t count = 0;
    for (size_t i = 0; i < text.size();) {
        if (text[i] < '0' || text[i] > '9') {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        if (count == kMostGroups)
            return std::string(text);  // no date or time: compared as it is
        groups[count++] = text.substr(start, i - start);
    }
    const bool hasDate = text.find('-', 1) != std::string_view::npos && count >= 3;
    const size_t fractionAt = hasDate ? 6 : 3;
    if (count > fractionAt) {
        std::string_view& fraction = groups[fractionAt];
        fraction = fraction.substr(0, fraction.find_last_not_of('0') + 1);
        if (fraction.empty() && count == fractionAt + 1)
            --count;
    }
    // A date at midnight is that date (DB2 dates arrive on MySQL as DATETIME).
    if (hasDate && count == 6 && groups[3] == "00" && groups[4] == "00" && groups[5] == "00")
        count = 3;
    std::string out = !text.empty() && text[0] == '-' ? "-" : "";
    out.reserve(text.size() + 1);
    for (size_t i = 0; i < count; ++i) {
        if (i > 0)
            out += '|';
        out.append(groups[i]);
    }
    return out;
}

// DB2 serializes an XML value with a declaration in front (read as UTF-16,
// after a byte-order mark); the copy leaves both out.
std::string_view withoutXmlDeclaration(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    if (text.substr(0, 5) == "<?xml") {
        const size_t end = text.find("?>");
        if (end != std::string_view::npos)
            text.remove_prefix(end + 2);
    }
    return text;
}

// A value in its form: a view of `value` itself, or of `scratch` holding the new text.
TextCell normalized(ValueForm form, TextCell value, std::string& scratch)
{
    if (!value)
        return value;
    const std::string_view text = *value;
    const auto made = [&](std::optional<std::string> changed) -> TextCell {
        if (!changed)
            return value;  // no number after all: compared as it is
        scratch = std::move(*changed);
        return std::string_view(scratch);
    };
    switch (form) {
    case ValueForm::Bytes:
    case ValueForm::Text: return value;
    case ValueForm::PaddedText: return text.substr(0, text.find_last_not_of(' ') + 1);
    case ValueForm::Xml: return withoutXmlDeclaration(text);
    case ValueForm::Boolean:
        if (text == "True" || text == "true" || text == "TRUE")
            return std::string_view("1");
        if (text == "False" || text == "false" || text == "FALSE")
            return std::string_view("0");
        return value;
    case ValueForm::Decimal: return made(canonicalNumber(text));
    case ValueForm::FloatNumber: {
        const auto number = parsedNumber<float>(text);
        return made(number ? canonicalNumber(FormatFloat(*number)) : std::nullopt);
    }
    case ValueForm::DoubleNumber: {
        const auto number = parsedNumber<double>(text);
        return made(number ? canonicalNumber(FormatDouble(*number)) : std::nullopt);
    }
    case ValueForm::FloatText: {
        const auto number = parsedNumber<float>(text);
        return made(number ? std::optional(FormatFloat(*number)) : std::nullopt);
    }
    case ValueForm::DoubleText: {
        const auto number = parsedNumber<double>(text);
        return made(number ? std::optional(FormatDouble(*number)) : std::nullopt);
    }
    case ValueForm::DateTime: scratch = temporalDigits(text); return std::string_view(scratch);
    }
    return value;
}

std::optional<std::string> owned(const TextCell& cell)
{
    return cell ? std::optional<std::string>(*cell) : std::nullopt;
}

uint64_t mix(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// One column's value, hashed with its column's place. A row's hash combines
// its cells' by XOR, so the row without one column is a hash too: rows that
// differ in that column alone share it.
uint64_t cellHash(size_t column, const TextCell& value)
{
    const uint64_t place = mix(column + 1);
    if (!value)
        return mix(place ^ 0x6E756C6CULL);  // NULL differs from every text, '' included
    return mix(place ^ std::hash<std::string_view>()(*value) ^ (value->size() << 1));
}

// One row kept whole for the report of differences.
struct KeptRow {
    RowHashes hashes;
    std::vector<std::optional<std::string>> shown;       // as read, in the source's column order
    std::vector<std::optional<std::string>> normalized;  // as compared
};

// A source and a target row taken for one row whose values differ.
struct RowPair {
    RowHashes source, target;
};

// Row hashes of one side with how many of their rows are still unexplained.
class HashCounts {
public:
    void add(uint64_t hash)
    {
        if (!entries_.empty() && entries_.back().first == hash)
            ++entries_.back().second;
        else
            entries_.emplace_back(hash, 1);  // added in order
    }
    size_t size() const { return entries_.size(); }
    // The entry of `hash`, or nullptr.
    std::pair<uint64_t, long long>* find(uint64_t hash)
    {
        const auto at = std::lower_bound(entries_.begin(), entries_.end(), std::pair<uint64_t, long long>(hash, 0),
                                         [](const auto& a, const auto& b) { return a.first < b.first; });
        return at != entries_.end() && at->first == hash ? &*at : nullptr;
    }
    const std::vector<std::pair<uint64_t, long long>>& entries() const { return entries_; }

private:
    std::vector<std::pair<uint64_t, long long>> entries_;
};

// Unexplained rows of a table without a key paired by the column they
// differ in are held up to this many different rows per side (16 bytes each).
constexpr size_t kMostPairedRows = 1u << 20;

std::string lowerCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Everything that stops one table's comparison short.
struct NotComparable : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The result columns of `table` as the side's ODBC driver describes them.
std::vector<Field> describeColumns(DataConnection& connection, const SqlDialect& dialect, const std::string& table)
{
    std::unique_ptr<DataRecordset> rows
        = connection.execute("SELECT * FROM " + dialect.quoteIdentifier(table) + " WHERE 1 = 0");
    std::vector<Field> columns;
    for (int c = 0; rows && c < rows->fieldCount(); ++c)
        columns.push_back(rows->field(c));
    return columns;
}

long long countRows(DataConnection& connection, const SqlDialect& dialect, const std::string& table)
{
    const std::optional<std::string> count = connection.readNarrowText(dialect.countRowsSql(table));
    return count ? std::stoll(*count) : 0;
}

class TableComparer {
public:
    TableComparer(TransferDirection direction, DataConnection& source, DataConnection& target,
                  const ConnectionProfile& mysqlLogin, const TransferOptions& options, ComparisonObserver& observer,
                  const NameRules& names, const std::map<std::string, std::string>& targetTables, size_t rowsPerPass)
            : rowsPerPass_(std::max<size_t>(rowsPerPass, 1)), toDB2_(direction == TransferDirection::MySQLToDB2),
              source_(source), target_(target), mysqlLogin_(mysqlLogin), options_(options), observer_(observer),
              names_(names), targetTables_(targetTables),
              sourceDialect_(DialectOf(toDB2_ ? DatabaseSide::MySQL : DatabaseSide::DB2)),
              targetDialect_(DialectOf(toDB2_ ? DatabaseSide::DB2 : DatabaseSide::MySQL))
    {
    }

    // Throws NotComparable or DbError; a cancel leaves `cancelled` set.
    void compare(TableComparison& result)
    {
        result_ = &result;
        pairs_.clear();
        reads_ = 0;
        const std::string targetName
            = options_.upperCaseNamesOnDB2 ? targetDialect_.unquotedName(result.name) : result.name;
        const auto listed = targetTables_.find(names_.tableKey(targetName));
        if (listed == targetTables_.end())
            throw NotComparable("no table " + targetName + " on " + targetDialect_.displayName());
        result.targetName = listed->second;
        keyNames_ = toDB2_ ? mysqlKey(result.name) : sourceDialect_.primaryKeyColumns(source_, result.name);
        layOut(describeColumns(source_, sourceDialect_, result.name),
               describeColumns(target_, targetDialect_, result.targetName));
        expectedRows_ = countRows(source_, sourceDialect_, result.name);
        // Each side read once, its hashes sorted (spilling to disk past
        // rowsPerPass), in the snapshot its scan keeps for later reads.
        openScans();
        SortedHashes sourceHashes(rowsPerPass_), targetHashes(rowsPerPass_);
        const auto [s, t] = readBoth(hashInto(sourceHashes), hashInto(targetHashes));
        if (cancelled)
            return;
        result.sourceRows = s;
        result.targetRows = t;
        std::pair<std::vector<RowHashes>, std::vector<RowHashes>> interesting;
        HashCounts unexplainedSource, unexplainedTarget;
        matchHashes(sourceHashes, targetHashes, interesting, unexplainedSource, unexplainedTarget);
        if (sourceLayout_.keyAt.empty()) {
            if (unexplainedSource.size() > 0 && unexplainedTarget.size() > 0)
                pairByOneColumn(unexplainedSource, unexplainedTarget);
            if (cancelled)
                return;
            interesting = keylessInteresting(unexplainedSource, unexplainedTarget);
        }
        if (!interesting.first.empty() || !interesting.second.empty())
            describeDifferences(interesting);
        if (cancelled)
            return;
        result.status = result.rowsOnlyOnSource + result.rowsOnlyOnTarget + result.rowsDiffering == 0
            ? ComparisonStatus::Equal
            : ComparisonStatus::Different;
        sourceScan_.reset();
        targetScan_.reset();
    }

    bool cancelled = false;

private:
    // What a read does with each row: its raw cells, its normalized cells, its hashes.
    using RowSink = std::function<void(const std::vector<TextCell>&, const std::vector<TextCell>&, const RowHashes&,
                                       const std::vector<uint64_t>&)>;

    RowSink hashInto(SortedHashes& into)
    {
        return [&into](const auto&, const auto&, const RowHashes& hashes, const auto&) { into.add(hashes); };
    }

    // The source's primary key, or a unique key of NOT NULL columns.
    std::vector<std::string> mysqlKey(const std::string& table)
    {
        std::vector<std::string> key;
        for (const PagingKeyColumn& column : MySQLSqlDialect::tableFacts(source_, table).pagingKey)
            key.push_back(column.name);
        return key;
    }

    void openScans()
    {
        DataConnection& mysql = toDB2_ ? source_ : target_;
        DataConnection& db2 = toDB2_ ? target_ : source_;
        std::unique_ptr<TextRowScan> mysqlScan = OpenMySQLTextScan(mysqlLogin_, kTimeoutSeconds, mysql.canceller());
        std::unique_ptr<TextRowScan> db2Scan = OpenDB2TextScan(db2);
        sourceScan_ = std::move(toDB2_ ? mysqlScan : db2Scan);
        targetScan_ = std::move(toDB2_ ? db2Scan : mysqlScan);
    }

    // Lines up the target's columns with the source's and chooses how each is compared.
    void layOut(const std::vector<Field>& sourceColumns, const std::vector<Field>& targetColumns)
    {
        sourceColumns_ = sourceColumns;
        targetColumns_.clear();
        sourceLayout_ = {};
        forms_.clear();
        columnNames_.clear();
        std::vector<bool> used(targetColumns.size(), false);
        for (const Field& column : sourceColumns) {
            const std::string wanted
                = options_.upperCaseNamesOnDB2 && toDB2_ ? targetDialect_.unquotedName(column.name) : column.name;
            size_t found = targetColumns.size();
            for (size_t t = 0; t < targetColumns.size() && found == targetColumns.size(); ++t)
                if (!used[t] && targetColumns[t].name == wanted)
                    found = t;
            // Else the one column of that name in another case; two ("code", "CODE") are no match.
            for (size_t t = 0; t < targetColumns.size() && found == targetColumns.size(); ++t) {
                if (used[t] || lowerCase(targetColumns[t].name) != lowerCase(wanted))
                    continue;
                for (size_t other = t + 1; other < targetColumns.size(); ++other)
                    if (!used[other] && lowerCase(targetColumns[other].name) == lowerCase(wanted))
                        throw NotComparable("column " + column.name + " matches both " + targetColumns[t].name
                                            + " and " + targetColumns[other].name + " on "
                                            + targetDialect_.displayName());
                found = t;
            }
            if (found == targetColumns.size())
                throw NotComparable("column " + column.name + " is missing on " + targetDialect_.displayName());
            used[found] = true;
            targetColumns_.push_back(targetColumns[found]);
            forms_.push_back(FormsOf(column, targetColumns[found]));
            columnNames_.push_back(column.name);
        }
        for (size_t t = 0; t < targetColumns.size(); ++t)
            if (!used[t])
                throw NotComparable("column " + targetColumns[t].name + " of " + targetDialect_.displayName()
                                    + " is not in the source table");
        for (const std::string& name : keyNames_) {
            const auto at = std::find_if(columnNames_.begin(), columnNames_.end(),
                                         [&](const std::string& column) { return lowerCase(column) == lowerCase(name); });
            if (at == columnNames_.end()) {
                keyNames_.clear();  // a key the comparison does not see: rows are matched whole
                sourceLayout_.keyAt.clear();
                break;
            }
            sourceLayout_.keyAt.push_back(static_cast<size_t>(at - columnNames_.begin()));
        }
        result_->key = keyNames_;
    }

    // Reads one side's rows in the source's column order, normalized and
    // hashed, into `sink`; `tick` is called every so many rows and ends the
    // read when it returns false. Returns the rows read.
    long long scan(TextRowScan& scan, bool sourceSide, const RowSink& sink, const std::function<bool(long long)>& tick)
    {
        const size_t columns = forms_.size();
        std::vector<std::string> scratch(columns);
        std::vector<TextCell> values(columns);
        std::vector<uint64_t> cells(columns);
        scan.start(sourceSide ? result_->name : result_->targetName, sourceSide ? sourceColumns_ : targetColumns_);
        long long rows = 0;
        while (const std::vector<TextCell>* row = scan.next()) {
            RowHashes hashes;
            uint64_t combined = 0, key = 0;
            for (size_t c = 0; c < columns; ++c) {
                values[c] = normalized(sourceSide ? forms_[c].source : forms_[c].target, (*row)[c], scratch[c]);
                cells[c] = cellHash(c, values[c]);
                combined ^= cells[c];
            }
            for (size_t k : sourceLayout_.keyAt)
                key ^= cells[k];
            hashes.row = mix(combined);
            hashes.key = sourceLayout_.keyAt.empty() ? hashes.row : mix(key);
            sink(*row, values, hashes, cells);
            if (++rows % 4096 == 0 && !tick(rows))
                return rows;
        }
        tick(rows);
        return rows;
    }

    // Reads both sides at once: the target on a worker thread, the source
    // here (progress, yield and cancel go to the observer from this thread).
    std::pair<long long, long long> readBoth(const RowSink& fromSource, const RowSink& fromTarget)
    {
        const bool firstRead = reads_++ == 0;
        std::atomic<bool> stop = false;
        long long targetRows = 0;
        std::exception_ptr targetFailure;
        std::thread worker([&] {
            try {
                targetRows = scan(*targetScan_, false, fromTarget, [&](long long) { return !stop.load(); });
            } catch (...) {
                targetFailure = std::current_exception();
                stop = true;
            }
        });
        long long sourceRows = 0;
        try {
            auto last = Clock::now();
            sourceRows = scan(*sourceScan_, true, fromSource, [&](long long done) {
                // Later reads only look for rows already found: the bar stays full.
                observer_.rowsDone(result_->name, firstRead ? std::min(done, expectedRows_) : expectedRows_,
                                   expectedRows_);
                if (Clock::now() - last > std::chrono::milliseconds(40)) {
                    last = Clock::now();
                    observer_.yield();
                }
                if (observer_.cancelRequested())
                    cancelled = true;
                return !cancelled && !stop.load();
            });
        } catch (...) {
            stop = true;
            worker.join();
            throw;
        }
        if (cancelled)
            stop = true;
        worker.join();
        if (targetFailure && !cancelled)
            std::rethrow_exception(targetFailure);
        return {sourceRows, targetRows};
    }

    // Matches both sides' rows in order of their hashes: equal rows pair
    // off; rows of one key that differ pair off as differing rows; the rest
    // are on one side only (without a key, their hashes are kept to be
    // paired by the column they differ in).
    void matchHashes(SortedHashes& source, SortedHashes& target,
                     std::pair<std::vector<RowHashes>, std::vector<RowHashes>>& interesting,
                     HashCounts& unexplainedSource, HashCounts& unexplainedTarget)
    {
        const bool keyed = !sourceLayout_.keyAt.empty();
        RowHashes s, t;
        bool hasSource = source.next(s), hasTarget = target.next(t);
        std::vector<RowHashes> sourceGroup, targetGroup, sourceLeft, targetLeft;
        while (hasSource || hasTarget) {
            const uint64_t key = !hasTarget ? s.key : !hasSource ? t.key : std::min(s.key, t.key);
            sourceGroup.clear();
            targetGroup.clear();
            for (; hasSource && s.key == key; hasSource = source.next(s))
                sourceGroup.push_back(s);
            for (; hasTarget && t.key == key; hasTarget = target.next(t))
                targetGroup.push_back(t);
            if (sourceGroup == targetGroup)
                continue;
            sourceLeft.clear();
            targetLeft.clear();
            std::set_difference(sourceGroup.begin(), sourceGroup.end(), targetGroup.begin(), targetGroup.end(),
                                std::back_inserter(sourceLeft));
            std::set_difference(targetGroup.begin(), targetGroup.end(), sourceGroup.begin(), sourceGroup.end(),
                                std::back_inserter(targetLeft));
            const size_t paired = keyed ? std::min(sourceLeft.size(), targetLeft.size()) : 0;
            result_->rowsDiffering += static_cast<long long>(paired);
            result_->rowsOnlyOnSource += static_cast<long long>(sourceLeft.size() - paired);
            result_->rowsOnlyOnTarget += static_cast<long long>(targetLeft.size() - paired);
            if (!keyed) {
                for (const auto& [left, into] :
                     {std::pair {&sourceLeft, &unexplainedSource}, std::pair {&targetLeft, &unexplainedTarget}})
                    for (const RowHashes& hashes : *left)
                        if (into->size() < kMostPairedRows || into->entries().back().first == hashes.row)
                            into->add(hashes.row);
                continue;
            }
            for (const auto& [left, into] : {std::pair {&sourceLeft, &interesting.first},
                                              std::pair {&targetLeft, &interesting.second}})
                for (const RowHashes& hashes : *left)
                    if (interesting.first.size() + interesting.second.size() < kShownDifferences * 2)
                        into->push_back(hashes);
        }
    }

    // Without a key: reads both sides again (in the same snapshot) and pairs
    // a row only on the source with one only on the target wherever the two
    // differ in one column alone, as far as such pairs go; each pair counts
    // as one differing row instead of one row on each side.
    void pairByOneColumn(HashCounts& source, HashCounts& target)
    {
        SortedHashes sourcePartials(rowsPerPass_), targetPartials(rowsPerPass_);
        // Each unexplained row once: its hash without each column in turn, and its own.
        const auto partials = [this](HashCounts& counts, SortedHashes& into) {
            return [this, &counts, &into, emitted = std::vector<bool>(counts.size(), false)](
                       const auto&, const auto&, const RowHashes& hashes, const std::vector<uint64_t>& cells) mutable {
                auto* entry = counts.find(hashes.row);
                if (!entry)
                    return;
                const size_t at = static_cast<size_t>(entry - counts.entries().data());
                if (emitted[at])
                    return;
                emitted[at] = true;
                uint64_t combined = 0;
                for (uint64_t cell : cells)
                    combined ^= cell;
                for (size_t c = 0; c < cells.size(); ++c)
                    into.add({mix(combined ^ cells[c] ^ mix(~static_cast<uint64_t>(c))), hashes.row});
            };
        };
        readBoth(partials(source, sourcePartials), partials(target, targetPartials));
        if (cancelled)
            return;
        RowHashes s, t;
        bool hasSource = sourcePartials.next(s), hasTarget = targetPartials.next(t);
        std::vector<uint64_t> sourceGroup, targetGroup;
        while (hasSource && hasTarget) {
            if (s.key < t.key) {
                hasSource = sourcePartials.next(s);
                continue;
            }
            if (t.key < s.key) {
                hasTarget = targetPartials.next(t);
                continue;
            }
            const uint64_t key = s.key;
            sourceGroup.clear();
            targetGroup.clear();
            for (; hasSource && s.key == key; hasSource = sourcePartials.next(s))
                sourceGroup.push_back(s.row);
            for (; hasTarget && t.key == key; hasTarget = targetPartials.next(t))
                targetGroup.push_back(t.row);
            for (size_t i = 0, j = 0; i < sourceGroup.size() && j < targetGroup.size();) {
                auto* sourceRow = source.find(sourceGroup[i]);
                auto* targetRow = target.find(targetGroup[j]);
                if (sourceRow->second == 0) {
                    ++i;
                    continue;
                }
                if (targetRow->second == 0) {
                    ++j;
                    continue;
                }
                --sourceRow->second;
                --targetRow->second;
                --result_->rowsOnlyOnSource;
                --result_->rowsOnlyOnTarget;
                ++result_->rowsDiffering;
                if (pairs_.size() < kShownDifferences)
                    pairs_.push_back({{sourceGroup[i], sourceGroup[i]}, {targetGroup[j], targetGroup[j]}});
            }
        }
    }

    // Without a key, the rows whose values are shown: the first pairs, then
    // the first rows still on one side only.
    std::pair<std::vector<RowHashes>, std::vector<RowHashes>> keylessInteresting(const HashCounts& source,
                                                                                 const HashCounts& target)
    {
        std::pair<std::vector<RowHashes>, std::vector<RowHashes>> interesting;
        for (const RowPair& pair : pairs_) {
            interesting.first.push_back(pair.source);
            interesting.second.push_back(pair.target);
        }
        for (const auto& [counts, into] :
             {std::pair {&source, &interesting.first}, std::pair {&target, &interesting.second}})
            for (const auto& [hash, left] : counts->entries())
                for (long long n = 0;
                     n < left && interesting.first.size() + interesting.second.size() < kShownDifferences * 2; ++n)
                    into->push_back(RowHashes {hash, hash});
        return interesting;
    }

    // Reads both sides once more (in the same snapshot where the server
    // keeps one) for the values of the first differing rows.
    void describeDifferences(const std::pair<std::vector<RowHashes>, std::vector<RowHashes>>& interesting)
    {
        // How many rows of each hash each side has that the other lacks.
        std::map<RowHashes, size_t> wantedSource, wantedTarget;
        for (const RowHashes& hashes : interesting.first)
            ++wantedSource[hashes];
        for (const RowHashes& hashes : interesting.second)
            ++wantedTarget[hashes];
        std::vector<KeptRow> sourceRows, targetRows;
        const auto keep = [this](std::vector<KeptRow>& into, std::map<RowHashes, size_t>& wanted) {
            return [this, &into, &wanted](const std::vector<TextCell>& raw, const std::vector<TextCell>& values,
                                          const RowHashes& hashes, const auto&) {
                const auto found = wanted.find(hashes);
                if (found == wanted.end() || found->second == 0)
                    return;
                --found->second;
                KeptRow row {hashes, {}, {}};
                for (size_t c = 0; c < values.size(); ++c) {
                    row.normalized.push_back(owned(values[c]));
                    row.shown.push_back(owned(shownAsRead(forms_[c].source) ? raw[c] : values[c]));
                }
                into.push_back(std::move(row));
            };
        };
        readBoth(keep(sourceRows, wantedSource), keep(targetRows, wantedTarget));
        if (cancelled)
            return;
        const bool keyed = !sourceLayout_.keyAt.empty();
        std::vector<bool> targetUsed(targetRows.size(), false);
        std::vector<RowDifference>& out = result_->differences;
        size_t shownRows = 0;
        std::vector<const KeptRow*> sourceOnly;
        for (const KeptRow& row : sourceRows) {
            // The target row it pairs with: the same key, or without a key the one paired with it.
            size_t other = targetRows.size();
            for (size_t t = 0; t < targetRows.size() && other == targetRows.size(); ++t)
                if (!targetUsed[t] && pairedRows(row.hashes, targetRows[t].hashes, keyed))
                    other = t;
            if (other == targetRows.size() && !keyed
                && (other = mostAlike(row, targetRows, targetUsed)) < targetRows.size()) {
                // Rows that differ in more than one column were counted on each side alone.
                --result_->rowsOnlyOnSource;
                --result_->rowsOnlyOnTarget;
                ++result_->rowsDiffering;
            }
            if (other == targetRows.size()) {
                sourceOnly.push_back(&row);
                continue;
            }
            targetUsed[other] = true;
            if (shownRows++ >= kShownDifferences)
                continue;
            for (size_t c = 0; c < forms_.size(); ++c)
                if (row.normalized[c] != targetRows[other].normalized[c])
                    out.push_back({RowDifference::Kind::ValueDiffers, rowName(row), columnNames_[c], row.shown[c],
                                   targetRows[other].shown[c], knownChange(row.shown[c], targetRows[other].shown[c])});
        }
        for (const KeptRow* row : sourceOnly)
            if (shownRows++ < kShownDifferences)
                out.push_back({RowDifference::Kind::OnlyOnSource, rowName(*row), "", {}, {}, ""});
        for (size_t t = 0; t < targetRows.size(); ++t)
            if (!targetUsed[t] && shownRows++ < kShownDifferences)
                out.push_back({RowDifference::Kind::OnlyOnTarget, rowName(targetRows[t]), "", {}, {}, ""});
    }

    // Without a key, the unused target row most like `row`, taken for one
    // changed row when at most a quarter of their values differ; else none.
    size_t mostAlike(const KeptRow& row, const std::vector<KeptRow>& targetRows, const std::vector<bool>& used) const
    {
        size_t best = targetRows.size(), bestEqual = 0;
        const size_t columns = forms_.size();
        for (size_t t = 0; t < targetRows.size(); ++t) {
            if (used[t])
                continue;
            size_t equal = 0;
            for (size_t c = 0; c < columns; ++c)
                equal += row.normalized[c] == targetRows[t].normalized[c];
            if ((columns - equal) * 4 <= columns && equal > bestEqual) {
                best = t;
                bestEqual = equal;
            }
        }
        return best;
    }

    // Whether a kept source and target row are the two sides of one differing row.
    bool pairedRows(const RowHashes& source, const RowHashes& target, bool keyed) const
    {
        if (keyed)
            return source.key == target.key;
        return std::any_of(pairs_.begin(), pairs_.end(), [&](const RowPair& pair) {
            return pair.source.row == source.row && pair.target.row == target.row;
        });
    }

    // Values are shown as the server wrote them, but floating-point numbers
    // as the copy writes them (their text as read is every digit of a double).
    static bool shownAsRead(ValueForm form)
    {
        return form != ValueForm::FloatNumber && form != ValueForm::DoubleNumber && form != ValueForm::FloatText
            && form != ValueForm::DoubleText;
    }

    // The key's values ("id=5"), or without a key the first column's.
    std::string rowName(const KeptRow& row) const
    {
        std::vector<size_t> columns = sourceLayout_.keyAt;
        if (columns.empty() && !columnNames_.empty())
            columns.push_back(0);
        std::string name;
        for (size_t c : columns)
            name += (name.empty() ? "" : ", ") + columnNames_[c] + "=" + (row.shown[c] ? *row.shown[c] : "NULL");
        return name;
    }

    // A change the copy makes and counts, told as such.
    std::string knownChange(const std::optional<std::string>& source, const std::optional<std::string>& target)
    {
        if (!toDB2_ || !source)
            return "";
        if (!target && IsZeroOrPartialDate(*source))
            return "zero date stored as NULL";
        if (!codePage_)
            codePage_ = targetDialect_.databaseCodePage(target_).value_or(0);
        if (target && !TextFitsCodePage(*source, *codePage_))
            return "changed by the database's code page";
        return "";
    }

    struct SideLayout {
        std::vector<size_t> keyAt;  // the key's columns, in the source's column order
    };

    size_t rowsPerPass_;
    bool toDB2_;
    DataConnection &source_, &target_;
    const ConnectionProfile& mysqlLogin_;
    const TransferOptions& options_;
    ComparisonObserver& observer_;
    const NameRules& names_;
    const std::map<std::string, std::string>& targetTables_;
    const SqlDialect &sourceDialect_, &targetDialect_;
    TableComparison* result_ = nullptr;
    std::vector<std::string> keyNames_, columnNames_;
    std::vector<Field> sourceColumns_, targetColumns_;  // the target's in the source's order
    std::vector<ColumnForms> forms_;
    SideLayout sourceLayout_;
    std::unique_ptr<TextRowScan> sourceScan_, targetScan_;
    long long expectedRows_ = 0;
    int reads_ = 0;               // of the table being compared
    std::vector<RowPair> pairs_;  // the first rows without a key paired by one column
    std::optional<long> codePage_;
};

}  // namespace

const char* ComparisonStatusName(ComparisonStatus status)
{
    switch (status) {
    case ComparisonStatus::Equal: return "equal";
    case ComparisonStatus::Different: return "different";
    case ComparisonStatus::NotCompared: return "not compared";
    }
    return "not compared";
}

bool ComparisonSummary::allEqual() const
{
    return !cancelled && !connectionFailed
        && std::all_of(tables.begin(), tables.end(),
                       [](const TableComparison& t) { return t.status == ComparisonStatus::Equal; });
}

int ComparisonSummary::count(ComparisonStatus status) const
{
    return static_cast<int>(
        std::count_if(tables.begin(), tables.end(), [&](const TableComparison& t) { return t.status == status; }));
}

ColumnForms FormsOf(const Field& source, const Field& target)
{
    if (source.isBinary || target.isBinary)
        return {ValueForm::Bytes, ValueForm::Bytes};
    const bool sourceText = isTextKind(source.kind), targetText = isTextKind(target.kind);
    if (sourceText || targetText) {
        const ValueForm text = sourceText && targetText && (isFixedText(source) || isFixedText(target))
            ? ValueForm::PaddedText
            : ValueForm::Text;
        const auto side = [&](const Field& column, bool isText) {
            if (!isText)
                return copiedText(column.kind);  // a typed value kept as text: the text the copy wrote
            return column.kind == ColumnKind::Xml ? ValueForm::Xml : text;
        };
        return {side(source, sourceText), targetText ? side(target, true) : ValueForm::Text};
    }
    if (source.kind == ColumnKind::Boolean || target.kind == ColumnKind::Boolean)
        return {ValueForm::Boolean, ValueForm::Boolean};
    const auto isNumber
        = [](ColumnKind kind) { return isExactNumber(kind) || kind == ColumnKind::Real || kind == ColumnKind::Double; };
    if (isNumber(source.kind) && isNumber(target.kind))
        return {numberForm(source.kind), numberForm(target.kind)};
    if (isTemporal(source.kind) || isTemporal(target.kind))
        return {ValueForm::DateTime, ValueForm::DateTime};
    return {ValueForm::Text, ValueForm::Text};
}

std::optional<std::string> NormalizedValue(ValueForm form, std::optional<std::string> value)
{
    std::string scratch;
    return owned(normalized(form, value ? TextCell(*value) : std::nullopt, scratch));
}

ComparisonSummary CompareTables(TransferDirection direction, const ConnectionProfile& mysql,
                                const ConnectionProfile& db2, const std::vector<std::string>& tables,
                                ComparisonObserver& observer, const TransferOptions& options, size_t rowsPerPass)
{
    const auto started = Clock::now();
    ComparisonSummary summary;
    for (const std::string& table : tables)
        summary.tables.push_back({table, "", ComparisonStatus::NotCompared, {}, 0, 0, 0, 0, 0, {}, "not compared"});
    const auto finish = [&] {
        summary.seconds = std::chrono::duration<double>(Clock::now() - started).count();
        return summary;
    };
    const bool toDB2 = direction == TransferDirection::MySQLToDB2;
    summary.sourceName = DialectOf(toDB2 ? DatabaseSide::MySQL : DatabaseSide::DB2).displayName();
    summary.targetName = DialectOf(toDB2 ? DatabaseSide::DB2 : DatabaseSide::MySQL).displayName();
    DataConnection mysqlConnection, db2Connection;
    for (DataConnection* connection : {&mysqlConnection, &db2Connection}) {
        connection->setCursorLocation(kClientSideCursor);
        connection->setCommandTimeout(kTimeoutSeconds);
        connection->setConnectionTimeout(kTimeoutSeconds);
    }
    try {
        MySQLDialect().openSession(mysqlConnection, mysql);
        DB2Dialect().openSession(db2Connection, db2);
    } catch (const DbError& error) {
        observer.report("", error.description(), "");
        summary.connectionFailed = true;
        return finish();
    }
    DataConnection& source = toDB2 ? mysqlConnection : db2Connection;
    DataConnection& target = toDB2 ? db2Connection : mysqlConnection;
    const SqlDialect& targetDialect = DialectOf(toDB2 ? DatabaseSide::DB2 : DatabaseSide::MySQL);
    NameRules names;
    std::map<std::string, std::string> targetTables;
    try {
        names = targetDialect.nameRules(target);
        for (const std::string& name : targetDialect.tableNames(target))
            targetTables.emplace(names.tableKey(name), name);
    } catch (const DbError& error) {
        observer.report("", error.description(), "");
        summary.connectionFailed = true;
        return finish();
    }
    TableComparer comparer(direction, source, target, mysql, options, observer, names, targetTables, rowsPerPass);
    for (TableComparison& result : summary.tables) {
        observer.yield();
        if (observer.cancelRequested()) {
            summary.cancelled = true;
            break;
        }
        observer.tableStarting(result.name);
        try {
            comparer.compare(result);
            result.reason.clear();
        } catch (const NotComparable& problem) {
            result.reason = problem.what();
        } catch (const DbError& error) {
            result.reason = "a read failed";
            if (!observer.cancelRequested())
                observer.report(result.name, error.description(), "");
        } catch (const std::exception& error) {
            result.reason = error.what();
        }
        if (comparer.cancelled || observer.cancelRequested()) {
            result.status = ComparisonStatus::NotCompared;
            result.reason = "cancelled";
            summary.cancelled = true;
            break;
        }
        if (result.status == ComparisonStatus::NotCompared)
            result.differences.clear();
        observer.tableCompared(result);
    }
    return finish();
}

std::vector<std::string> ComparisonSummaryLines(const ComparisonSummary& summary, const std::string& sourceName,
                                                const std::string& targetName)
{
    std::vector<std::string> lines;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", summary.seconds);
    const size_t compared = summary.tables.size() - static_cast<size_t>(summary.count(ComparisonStatus::NotCompared));
    lines.push_back("Verified " + std::to_string(compared) + " table" + (compared == 1 ? "" : "s") + " against "
                    + targetName + ": " + std::to_string(summary.count(ComparisonStatus::Equal)) + " equal, "
                    + std::to_string(summary.count(ComparisonStatus::Different)) + " different, "
                    + std::to_string(summary.count(ComparisonStatus::NotCompared)) + " not compared, " + seconds + " s"
                    + (summary.cancelled ? " (cancelled)" : ""));
    for (const TableComparison& table : summary.tables)
        for (std::string& line : ComparisonTableLines(table, sourceName, targetName))
            lines.push_back(std::move(line));
    return lines;
}

std::vector<std::string> ComparisonTableLines(const TableComparison& table, const std::string& sourceName,
                                              const std::string& targetName)
{
    if (table.status == ComparisonStatus::NotCompared)
        return {table.name + ": not compared (" + table.reason + ")"};
    std::vector<std::string> lines;
    std::string line = table.name + ": " + ComparisonStatusName(table.status) + ": " + std::to_string(table.sourceRows)
        + " rows on " + sourceName + ", " + std::to_string(table.targetRows) + " on " + targetName
        + (table.key.empty() ? " (no key: matched as whole rows)" : "");
    if (table.status == ComparisonStatus::Different)
        line += "; " + std::to_string(table.rowsOnlyOnSource) + " only on " + sourceName + ", "
            + std::to_string(table.rowsOnlyOnTarget) + " only on " + targetName + ", "
            + std::to_string(table.rowsDiffering) + " differ";
    lines.push_back(line);
    for (const RowDifference& difference : table.differences) {
        switch (difference.kind) {
        case RowDifference::Kind::OnlyOnSource: lines.push_back("  " + difference.row + ": only on " + sourceName); break;
        case RowDifference::Kind::OnlyOnTarget: lines.push_back("  " + difference.row + ": only on " + targetName); break;
        case RowDifference::Kind::ValueDiffers:
            lines.push_back("  " + difference.row + " " + difference.column + ": "
                            + ShortValueText(difference.sourceValue) + " on " + sourceName + ", "
                            + ShortValueText(difference.targetValue) + " on " + targetName
                            + (difference.known.empty() ? "" : " (" + difference.known + ")"));
            break;
        }
    }
    return lines;
}
