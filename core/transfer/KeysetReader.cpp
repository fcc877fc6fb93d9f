#include "KeysetReader.h"

#include "SqlIdentifiers.h"

#include <algorithm>
#include <strings.h>

namespace {

bool isNumberText(const std::string& text)
{
    return !text.empty()
        && std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '-' || c == '.'; });
}

std::string keyText(const std::vector<std::string>& key)
{
    std::string text;
    for (const auto& value : key)
        text += (text.empty() ? "(" : ", ") + value;
    return text + ")";
}

}  // namespace

KeysetReader::KeysetReader(DataConnection& mysql, const std::string& table, const MySQLTableFacts& facts,
                           size_t blockRows, size_t pageRows, size_t pageBytes)
        : PagedReader(mysql, facts, blockRows, pageRows, pageBytes), key_(facts.pagingKey)
{
    from_ = "SELECT * FROM " + QuoteMySQLIdentifier(table);
    for (size_t i = 0; i < key_.size(); ++i)
        orderBy_ += (i ? ", " : " ORDER BY ") + QuoteMySQLIdentifier(key_[i].name);
    selectSql_ = from_ + orderBy_;
    start();
}

void KeysetReader::describePlans()
{
    for (const PagingKeyColumn& k : key_) {
        const auto it = std::find_if(plans_.begin(), plans_.end(), [&](const ColumnPlan& p) {
            return strcasecmp(p.field.name.c_str(), k.name.c_str()) == 0;
        });
        if (it == plans_.end())
            throw DbError("42S22", 0, "Key column " + k.name + " is not in the result");
        keyIndex_.push_back(static_cast<size_t>(it - plans_.begin()));
    }
}

void KeysetReader::readPage(size_t rows, bool first)
{
    std::string where;
    std::vector<std::string> values;
    std::vector<bool> binary;
    if (!first) {
        // A page that ends where the one before ended would be read again
        // without end: the key order cannot be trusted, so the read stops.
        if (lastKey_ == pageStartKey_)
            throw DbError("HY000", 0,
                          "Reading " + selectSql_ + " in key order made no progress past the key " + keyText(lastKey_));
        pageStartKey_ = lastKey_;
        // (k1, k2) > (v1, v2) spelled out, so the range optimizer uses the index.
        const auto value = [&](size_t i) {
            if (key_[i].numeric)
                return lastKey_[i];
            values.push_back(lastKey_[i]);
            binary.push_back(plans_[keyIndex_[i]].send == SendKind::Binary);
            return std::string("?");
        };
        for (size_t i = 0; i < key_.size(); ++i) {
            std::string term;
            for (size_t j = 0; j < i; ++j)
                term += QuoteMySQLIdentifier(key_[j].name) + " = " + value(j) + " AND ";
            term += QuoteMySQLIdentifier(key_[i].name) + " > " + value(i);
            where += (i ? " OR (" : " WHERE (") + term + ")";
        }
    }
    statement().execute(from_ + where + orderBy_ + " LIMIT " + std::to_string(rows), std::move(values),
                        std::move(binary));
}

void KeysetReader::pageRead(const RowBlock& block)
{
    const size_t row = block.rows - 1;
    lastKey_.clear();
    for (size_t i = 0; i < key_.size(); ++i) {
        const auto value = block.sendText(keyIndex_[i], row);
        if (!value)
            throw DbError("22002", 0, "Key column " + key_[i].name + " read as Null");
        if (key_[i].numeric && !isNumberText(*value))
            throw DbError("22018", 0, "Key column " + key_[i].name + " read as " + *value);
        lastKey_.push_back(*value);
    }
}
