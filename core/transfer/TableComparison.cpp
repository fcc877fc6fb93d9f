#include "TableComparison.h"

#include "ColumnKind.h"
#include "DataConnection.h"
#include "MySQLSqlDialect.h"
#include "SourceReader.h"
#include "SqlDialect.h"
#include "Transfer.h"
#include "ValueText.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <functional>
#include <limits>
#include <set>
#include <thread>
#include <map>

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

std::optional<double> parsedDouble(const std::string& text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Dates, times and timestamps as their numbers: the date and time parts,
// then the fraction without trailing zeros; separators ('-', ' ', 'T', '.')
// do not matter, a sign does.
std::string temporalDigits(const std::string& text)
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
            return text;  // no date or time: compared as it is
        groups[count++] = std::string_view(text).substr(start, i - start);
    }
    const bool hasDate = text.find('-', 1) != std::string::npos && count >= 3;
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

uint64_t mix(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

uint64_t addToHash(uint64_t hash, const std::optional<std::string>& value)
{
    if (!value)
        return mix(hash ^ 0x6E756C6CULL);  // NULL differs from every text, '' included
    return mix(hash ^ std::hash<std::string_view>()(*value) ^ (value->size() << 1));
}

struct RowHashes {
    uint64_t key = 0, row = 0;
    auto operator<=>(const RowHashes&) const = default;
};

// One row kept whole for the report of differences.
struct KeptRow {
    RowHashes hashes;
    std::vector<std::optional<std::string>> shown;       // as read, in the source's column order
    std::vector<std::optional<std::string>> normalized;  // as compared
};

// How one side's table is read and turned into hashes.
struct SideLayout {
    std::vector<size_t> columnAt;  // for each source column, its column in this side's rows
    std::vector<size_t> keyAt;     // the key's columns, in this side's rows
};

// Reads one side's rows, each row normalized in the source's column order.
// `take` decides, by the row's hashes, whether it is wanted. Runs on the
// caller's thread or on a worker; `tick` is called after every block and
// ends the read when it returns false.
class SideScan {
public:
    SideScan(SourceReader& reader, const SideLayout& layout, const std::vector<ValueMeaning>& meanings)
            : reader_(reader), layout_(layout), meanings_(meanings)
    {
    }

    // Returns the rows read; stops early (returning -1) when tick says so.
    long long run(const std::function<void(const RowHashes&, const std::vector<std::optional<std::string>>&,
                                           const std::function<std::vector<std::optional<std::string>>()>&)>& row,
                  const std::function<bool(long long)>& tick)
    {
        long long rows = 0;
        std::vector<std::optional<std::string>> values(meanings_.size());
        while (RowBlock* block = reader_.next()) {
            for (size_t r = 0; r < block->rows; ++r) {
                RowHashes hashes;
                for (size_t c = 0; c < meanings_.size(); ++c) {
                    values[c] = NormalizedValue(meanings_[c], block->sendText(layout_.columnAt[c], r));
                    hashes.row = addToHash(hashes.row, values[c]);
                }
                for (size_t k : layout_.keyAt)
                    hashes.key = addToHash(hashes.key, values[k]);
                if (layout_.keyAt.empty())
                    hashes.key = hashes.row;
                row(hashes, values, [&] {
                    std::vector<std::optional<std::string>> shown;
                    for (size_t c = 0; c < meanings_.size(); ++c)
                        shown.push_back(block->sendText(layout_.columnAt[c], r));
                    return shown;
                });
            }
            rows += static_cast<long long>(block->rows);
            if (!tick(rows))
                return -1;
        }
        return rows;
    }

private:
    SourceReader& reader_;
    const SideLayout& layout_;
    const std::vector<ValueMeaning>& meanings_;
};

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

class TableComparer {
public:
    TableComparer(TransferDirection direction, DataConnection& source, DataConnection& target,
                  const TransferOptions& options, ComparisonObserver& observer, const NameRules& names,
                  const std::map<std::string, std::string>& targetTables, size_t rowsPerPass)
            : rowsPerPass_(std::max<size_t>(rowsPerPass, 1)),
              toDB2_(direction == TransferDirection::MySQLToDB2),
              source_(source),
              target_(target),
              options_(options),
              observer_(observer),
              names_(names),
              targetTables_(targetTables),
              sourceDialect_(DialectOf(toDB2_ ? DatabaseSide::MySQL : DatabaseSide::DB2)),
              targetDialect_(DialectOf(toDB2_ ? DatabaseSide::DB2 : DatabaseSide::MySQL))
    {
    }

    // Throws NotComparable or DbError; a cancel leaves `cancelled` set.
    void compare(TableComparison& result)
    {
        result_ = &result;
        const std::string targetName
            = options_.upperCaseNamesOnDB2 ? targetDialect_.unquotedName(result.name) : result.name;
        const auto listed = targetTables_.find(names_.tableKey(targetName));
        if (listed == targetTables_.end())
            throw NotComparable("no table " + targetName + " on " + targetDialect_.displayName());
        result.targetName = listed->second;
        result.sourceRows = CountRows(source_, sourceDialect_, result.name);
        result.targetRows = CountRows(target_, targetDialect_, result.targetName);
        keyNames_ = toDB2_ ? mysqlKey(result.name) : source_.primaryKeyColumns(result.name);
        result.key = keyNames_;
        const size_t largest = static_cast<size_t>(std::max(result.sourceRows, result.targetRows));
        passes_ = std::max<size_t>(1, (largest + largest / 8 + rowsPerPass_ - 1) / rowsPerPass_);

        // The first differing rows' hashes, for their values: the source's and the target's.
        std::pair<std::vector<RowHashes>, std::vector<RowHashes>> interesting;
        long long sourceRead = 0, targetRead = 0;
        for (size_t pass = 0; pass < passes_; ++pass) {
            std::vector<RowHashes> fromSource, fromTarget;
            const auto keep = [&](std::vector<RowHashes>& into) {
                return [&into, this, pass](const RowHashes& hashes, const auto&, const auto&) {
                    if (hashes.key % passes_ == pass)
                        into.push_back(hashes);
                };
            };
            const auto [s, t] = readBoth(keep(fromSource), keep(fromTarget), pass);
            if (cancelled)
                return;
            sourceRead += s;
            targetRead += t;
            matchHashes(fromSource, fromTarget, interesting);
        }
        result.sourceRows = sourceRead / static_cast<long long>(passes_);
        result.targetRows = targetRead / static_cast<long long>(passes_);
        if (!interesting.first.empty() || !interesting.second.empty())
            describeDifferences(interesting);
        if (cancelled)
            return;
        result.status = result.rowsOnlyOnSource + result.rowsOnlyOnTarget + result.rowsDiffering == 0
            ? ComparisonStatus::Equal
            : ComparisonStatus::Different;
    }

    bool cancelled = false;

private:
    using RowSink = std::function<void(const RowHashes&, const std::vector<std::optional<std::string>>&,
                                       const std::function<std::vector<std::optional<std::string>>()>&)>;

    // The source's primary key, or a unique key of NOT NULL columns.
    std::vector<std::string> mysqlKey(const std::string& table)
    {
        std::vector<std::string> key;
        for (const PagingKeyColumn& column : MySQLSqlDialect::tableFacts(source_, table).pagingKey)
            key.push_back(column.name);
        return key;
    }

    std::unique_ptr<SourceReader> openReader(bool sourceSide)
    {
        DataConnection& connection = sourceSide ? source_ : target_;
        const std::string& table = sourceSide ? result_->name : result_->targetName;
        const DatabaseSide side = sourceSide == toDB2_ ? DatabaseSide::MySQL : DatabaseSide::DB2;
        // Blocks as big as the copy's.
        const size_t blockRows = BatchRowsFor(std::max(result_->sourceRows, result_->targetRows));
        return OpenSource(side, connection, table, blockRows);
    }

    // Lines up the target's columns with the source's and chooses how each is compared.
    void layOut(const SourceReader& source, const SourceReader& target)
    {
        const std::vector<Field> sourceColumns = source.columns(), targetColumns = target.columns();
        sourceLayout_ = {};
        targetLayout_ = {};
        meanings_.clear();
        columnNames_.clear();
        std::vector<bool> used(targetColumns.size(), false);
        for (size_t c = 0; c < sourceColumns.size(); ++c) {
            const std::string wanted = options_.upperCaseNamesOnDB2 && toDB2_
                ? targetDialect_.unquotedName(sourceColumns[c].name)
                : sourceColumns[c].name;
            size_t found = targetColumns.size();
            for (size_t t = 0; t < targetColumns.size() && found == targetColumns.size(); ++t)
                if (targetColumns[t].name == wanted)
                    found = t;
            for (size_t t = 0; t < targetColumns.size() && found == targetColumns.size(); ++t)
                if (lowerCase(targetColumns[t].name) == lowerCase(wanted))
                    found = t;
            if (found == targetColumns.size())
                throw NotComparable("column " + sourceColumns[c].name + " is missing on "
                                    + targetDialect_.displayName());
            used[found] = true;
            sourceLayout_.columnAt.push_back(c);
            targetLayout_.columnAt.push_back(found);
            meanings_.push_back(MeaningOf(sourceColumns[c], targetColumns[found]));
            columnNames_.push_back(sourceColumns[c].name);
        }
        for (size_t t = 0; t < targetColumns.size(); ++t)
            if (!used[t])
                throw NotComparable("column " + targetColumns[t].name + " of " + targetDialect_.displayName()
                                    + " is not in the source table");
        for (const std::string& name : keyNames_) {
            const auto at = std::find_if(columnNames_.begin(), columnNames_.end(),
                                         [&](const std::string& column) { return lowerCase(column) == lowerCase(name); });
            if (at == columnNames_.end()) {
                keyNames_.clear();  // a key the reader does not show: rows are matched whole
                sourceLayout_.keyAt.clear();
                break;
            }
            sourceLayout_.keyAt.push_back(static_cast<size_t>(at - columnNames_.begin()));
        }
        result_->key = keyNames_;
        // Both sides' rows are normalized in the source's column order.
        targetLayout_.keyAt = sourceLayout_.keyAt;
    }

    // Reads both sides at once: the target on a worker thread, the source
    // here (progress, yield and cancel go to the observer from this thread).
    std::pair<long long, long long> readBoth(const RowSink& fromSource, const RowSink& fromTarget, size_t pass)
    {
        std::unique_ptr<SourceReader> sourceReader = ReadAhead(openReader(true));
        std::unique_ptr<SourceReader> targetReader = openReader(false);
        layOut(*sourceReader, *targetReader);
        std::atomic<bool> stop = false;
        long long targetRows = 0;
        std::exception_ptr targetFailure;
        const std::vector<ValueMeaning> meanings = meanings_;
        std::thread worker([&] {
            try {
                SideScan scan(*targetReader, targetLayout_, meanings);
                targetRows = scan.run(fromTarget, [&](long long) { return !stop.load(); });
            } catch (...) {
                targetFailure = std::current_exception();
            }
        });
        long long sourceRows = 0;
        try {
            SideScan scan(*sourceReader, sourceLayout_, meanings);
            const long long total = result_->sourceRows * static_cast<long long>(passes_);
            const long long before = result_->sourceRows * static_cast<long long>(pass);
            auto last = Clock::now();
            sourceRows = scan.run(fromSource, [&](long long done) {
                observer_.rowsDone(result_->name, before + done, total);
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
        sourceReader.reset();
        targetReader.reset();
        if (targetFailure && !cancelled)
            std::rethrow_exception(targetFailure);
        return {sourceRows, targetRows};
    }

    // Matches one pass's rows: equal rows pair off; rows of one key that
    // differ pair off as differing rows; the rest are on one side only.
    void matchHashes(std::vector<RowHashes>& source, std::vector<RowHashes>& target,
                     std::pair<std::vector<RowHashes>, std::vector<RowHashes>>& interesting)
    {
        std::sort(source.begin(), source.end());
        std::sort(target.begin(), target.end());
        const bool keyed = !sourceLayout_.keyAt.empty();
        size_t s = 0, t = 0;
        while (s < source.size() || t < target.size()) {
            const uint64_t key = t == target.size() ? source[s].key
                : s == source.size()                ? target[t].key
                                                    : std::min(source[s].key, target[t].key);
            size_t sEnd = s, tEnd = t;
            while (sEnd < source.size() && source[sEnd].key == key)
                ++sEnd;
            while (tEnd < target.size() && target[tEnd].key == key)
                ++tEnd;
            std::vector<RowHashes> sourceLeft, targetLeft;
            std::set_difference(source.begin() + static_cast<long>(s), source.begin() + static_cast<long>(sEnd),
                                target.begin() + static_cast<long>(t), target.begin() + static_cast<long>(tEnd),
                                std::back_inserter(sourceLeft));
            std::set_difference(target.begin() + static_cast<long>(t), target.begin() + static_cast<long>(tEnd),
                                source.begin() + static_cast<long>(s), source.begin() + static_cast<long>(sEnd),
                                std::back_inserter(targetLeft));
            const size_t paired = keyed ? std::min(sourceLeft.size(), targetLeft.size()) : 0;
            result_->rowsDiffering += static_cast<long long>(paired);
            result_->rowsOnlyOnSource += static_cast<long long>(sourceLeft.size() - paired);
            result_->rowsOnlyOnTarget += static_cast<long long>(targetLeft.size() - paired);
            for (const auto& [left, into] : {std::pair {&sourceLeft, &interesting.first},
                                              std::pair {&targetLeft, &interesting.second}})
                for (const RowHashes& hashes : *left)
                    if (interesting.first.size() + interesting.second.size() < kShownDifferences * 2)
                        into->push_back(hashes);
            s = sEnd;
            t = tEnd;
        }
        source.clear();
        target.clear();
    }

    // Reads both sides once more for the values of the first differing rows.
    void describeDifferences(const std::pair<std::vector<RowHashes>, std::vector<RowHashes>>& interesting)
    {
        // How many rows of each kind each side has that the other lacks: a
        // row that is also on the other side (a duplicate) is not wanted.
        std::map<RowHashes, size_t> wantedSource, wantedTarget;
        for (const RowHashes& hashes : interesting.first)
            ++wantedSource[hashes];
        for (const RowHashes& hashes : interesting.second)
            ++wantedTarget[hashes];
        std::vector<KeptRow> sourceRows, targetRows;
        const auto keep = [](std::vector<KeptRow>& into, std::map<RowHashes, size_t>& wanted) {
            return [&into, &wanted](const RowHashes& hashes, const std::vector<std::optional<std::string>>& values,
                                    const std::function<std::vector<std::optional<std::string>>()>& shown) {
                const auto found = wanted.find(hashes);
                if (found == wanted.end() || found->second == 0)
                    return;
                --found->second;
                into.push_back({hashes, shown(), values});
            };
        };
        readBoth(keep(sourceRows, wantedSource), keep(targetRows, wantedTarget), 0);
        if (cancelled)
            return;
        const bool keyed = !sourceLayout_.keyAt.empty();
        std::vector<bool> targetUsed(targetRows.size(), false);
        std::vector<RowDifference>& out = result_->differences;
        size_t shownRows = 0;
        std::vector<const KeptRow*> sourceOnly;
        for (const KeptRow& row : sourceRows) {
            // The target row it pairs with: the same key, or without a key the one most alike.
            size_t best = targetRows.size();
            size_t bestEqual = 0;
            for (size_t t = 0; t < targetRows.size(); ++t) {
                if (targetUsed[t])
                    continue;
                size_t equal = 0;
                for (size_t c = 0; c < meanings_.size(); ++c)
                    equal += row.normalized[c] == targetRows[t].normalized[c];
                // Without a key, rows are taken for one changed row when at most a quarter of their values differ.
                const bool candidate = keyed ? targetRows[t].hashes.key == row.hashes.key
                                             : (meanings_.size() - equal) * 4 <= meanings_.size() && equal > bestEqual;
                if (candidate && (best == targetRows.size() || equal > bestEqual)) {
                    best = t;
                    bestEqual = equal;
                }
            }
            if (best == targetRows.size()) {
                sourceOnly.push_back(&row);
                continue;
            }
            targetUsed[best] = true;
            if (!keyed) {  // a pair found by likeness was counted on each side alone
                --result_->rowsOnlyOnSource;
                --result_->rowsOnlyOnTarget;
                ++result_->rowsDiffering;
            }
            if (shownRows++ >= kShownDifferences)
                continue;
            const KeptRow& other = targetRows[best];
            for (size_t c = 0; c < meanings_.size(); ++c)
                if (row.normalized[c] != other.normalized[c])
                    out.push_back({RowDifference::Kind::ValueDiffers, rowName(row), columnNames_[c], row.shown[c],
                                   other.shown[c], knownChange(row.shown[c], other.shown[c])});
        }
        for (const KeptRow* row : sourceOnly)
            if (shownRows++ < kShownDifferences)
                out.push_back({RowDifference::Kind::OnlyOnSource, rowName(*row), "", {}, {}, ""});
        for (size_t t = 0; t < targetRows.size(); ++t)
            if (!targetUsed[t] && shownRows++ < kShownDifferences)
                out.push_back({RowDifference::Kind::OnlyOnTarget, rowName(targetRows[t]), "", {}, {}, ""});
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

    size_t rowsPerPass_;
    bool toDB2_;
    DataConnection &source_, &target_;
    const TransferOptions& options_;
    ComparisonObserver& observer_;
    const NameRules& names_;
    const std::map<std::string, std::string>& targetTables_;
    const SqlDialect &sourceDialect_, &targetDialect_;
    TableComparison* result_ = nullptr;
    std::vector<std::string> keyNames_, columnNames_;
    std::vector<ValueMeaning> meanings_;
    SideLayout sourceLayout_, targetLayout_;
    size_t passes_ = 1;
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

ValueMeaning MeaningOf(const Field& source, const Field& target)
{
    if (source.isBinary || target.isBinary)
        return ValueMeaning::Bytes;
    if (isTextKind(source.kind) || isTextKind(target.kind)) {
        if (isTextKind(source.kind) && isTextKind(target.kind))
            return isFixedText(source) || isFixedText(target) ? ValueMeaning::PaddedText : ValueMeaning::Text;
        return ValueMeaning::Text;  // a typed value kept as text: the text the copy wrote
    }
    if (source.kind == ColumnKind::Boolean || target.kind == ColumnKind::Boolean)
        return ValueMeaning::Boolean;
    if (source.kind == ColumnKind::Real || target.kind == ColumnKind::Real)
        return ValueMeaning::Float;
    if (source.kind == ColumnKind::Double || target.kind == ColumnKind::Double)
        return ValueMeaning::Double;
    if (isExactNumber(source.kind) && isExactNumber(target.kind))
        return ValueMeaning::Decimal;
    if (isTemporal(source.kind) || isTemporal(target.kind))
        return ValueMeaning::DateTime;
    return ValueMeaning::Text;
}

std::optional<std::string> NormalizedValue(ValueMeaning meaning, std::optional<std::string> value)
{
    if (!value)
        return value;
    std::string& text = *value;
    switch (meaning) {
    case ValueMeaning::Bytes:
    case ValueMeaning::Text: break;
    case ValueMeaning::PaddedText: text.erase(text.find_last_not_of(' ') + 1); break;
    case ValueMeaning::Boolean:
        if (text == "1" || text == "True" || text == "true" || text == "TRUE")
            text = "1";
        else if (text == "0" || text == "False" || text == "false" || text == "FALSE")
            text = "0";
        break;
    case ValueMeaning::Decimal:
        if (auto canonical = CanonicalDecimal(text))
            text = std::move(*canonical);
        break;
    case ValueMeaning::Double:
        if (const auto number = parsedDouble(text))
            text = FormatDouble(*number);
        break;
    case ValueMeaning::Float:
        if (const auto number = parsedDouble(text))
            text = FormatFloat(static_cast<float>(*number));  // the value a REAL column holds
        break;
    case ValueMeaning::DateTime: text = temporalDigits(text); break;
    }
    return value;
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
    TableComparer comparer(direction, source, target, options, observer, names, targetTables, rowsPerPass);
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
