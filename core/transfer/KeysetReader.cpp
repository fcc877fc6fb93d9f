#include "KeysetReader.h"

#include "SqlIdentifiers.h"

#include <algorithm>
#include <strings.h>

namespace {

std::string keyText(const std::vector<std::string>& key)
{
    std::string text;
    for (const auto& value : key)
        text += (text.empty() ? "(" : ", ") + value;
    return text + ")";
}

}  // namespace

KeysetReader::KeysetReader(DataConnection& mysql, const std::string& table, const MySQLTableFacts& facts,
                           size_t blockRows, size_t pageRows, size_t pageBytes,
                           const std::vector<KeyColumn>& rangeKey, KeyRange range)
        : PagedReader(mysql, facts, blockRows, pageRows, pageBytes), range_(std::move(range)),
          table_(QuoteMySQLIdentifier(table))
{
    for (const PagingKeyColumn& column : facts.pagingKey)
        key_.push_back({column.name, column.numeric, false});
    // Which key values are bytes is known from the result; a range's first
    // bound goes before there is one.
    if (!rangeKey.empty()) {
        if (rangeKey.size() != key_.size())
            throw DbError("HY000", 0, "The range's key is not the key " + table + " is read by");
        for (size_t i = 0; i < key_.size(); ++i)
            key_[i].binary = rangeKey[i].binary;
    }
    from_ = "SELECT * FROM " + table_;
    for (size_t i = 0; i < key_.size(); ++i)
        orderBy_ += (i ? ", " : " ORDER BY ") + QuoteMySQLIdentifier(key_[i].name);
    selectSql_ = from_ + orderBy_;
    start();
}

long long KeysetReader::countRows()
{
    const KeyCondition range = RangeCondition(MySQLDialect(), key_, range_);
    return count("SELECT COUNT(*) FROM " + table_ + (range.sql.empty() ? "" : " WHERE " + range.sql), range.values,
                 range.binary);
}

void KeysetReader::describePlans()
{
    for (KeyColumn& k : key_) {
        const auto it = std::find_if(plans_.begin(), plans_.end(), [&](const ColumnPlan& p) {
            return strcasecmp(p.field.name.c_str(), k.name.c_str()) == 0;
        });
        if (it == plans_.end())
            throw DbError("42S22", 0, "Key column " + k.name + " is not in the result");
        keyIndex_.push_back(static_cast<size_t>(it - plans_.begin()));
        k.binary = it->send == SendKind::Binary;
    }
}

void KeysetReader::readPage(size_t rows, bool first)
{
    KeyCondition condition;
    if (first) {
        if (!range_.from.empty())
            AddKeyComparison(condition, MySQLDialect(), key_, range_.from, ">=");
    } else {
        // A page that ends where the one before ended would be read again
        // without end: the key order cannot be trusted, so the read stops.
        if (lastKey_ == pageStartKey_)
            throw DbError("HY000", 0,
                          "Reading " + selectSql_ + " in key order made no progress past the key " + keyText(lastKey_));
        pageStartKey_ = lastKey_;
        AddKeyComparison(condition, MySQLDialect(), key_, lastKey_, ">");
    }
    if (!range_.to.empty())
        AddKeyComparison(condition, MySQLDialect(), key_, range_.to, "<");
    const std::string where = condition.sql.empty() ? "" : " WHERE " + condition.sql;
    statement().execute(from_ + where + orderBy_ + " LIMIT " + std::to_string(rows), std::move(condition.values),
                        std::move(condition.binary));
}

void KeysetReader::pageRead(const RowBlock& block)
{
    const size_t row = block.rows - 1;
    lastKey_.clear();
    for (size_t i = 0; i < key_.size(); ++i) {
        const auto value = block.sendText(keyIndex_[i], row);
        if (!value)
            throw DbError("22002", 0, "Key column " + key_[i].name + " read as Null");
        if (key_[i].numeric && !IsNumberText(*value))
            throw DbError("22018", 0, "Key column " + key_[i].name + " read as " + *value);
        lastKey_.push_back(*value);
    }
}
