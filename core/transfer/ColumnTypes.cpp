#include "ColumnTypes.h"

#include "ColumnKind.h"
#include "SqlIdentifiers.h"

#include <algorithm>
#include <cstdint>
#include <strings.h>

namespace {

constexpr unsigned long long kLongVarcharBytes = 32700;  // DB2 LONG VARCHAR
constexpr unsigned long long kMySQLTextBytes = 65535;    // MySQL TEXT
constexpr unsigned long long kLobBytes = 1073741824;     // largest logged DB2 LOB
constexpr unsigned long long kUtf8BytesPerChar = 4;

bool isBytes(ColumnKind kind)
{
    return kind == ColumnKind::FixedBytes || kind == ColumnKind::Bytes || kind == ColumnKind::LongBytes
        || kind == ColumnKind::Blob;
}

// Text without a size worth keeping, or one too large for a VARCHAR.
bool isLongText(ColumnKind kind)
{
    return kind == ColumnKind::LongText || kind == ColumnKind::Clob || kind == ColumnKind::Xml;
}

// Character columns report their size in characters; UTF-8 takes up to four bytes each.
unsigned long long maxTextBytes(const Field& column)
{
    if (column.columnSize == 0)
        return UINT64_MAX;
    return static_cast<unsigned long long>(column.columnSize) * kUtf8BytesPerChar;
}

std::string lobType(const char* name, unsigned long long bytes)
{
    return std::string(name) + "(" + std::to_string(std::clamp<unsigned long long>(bytes, 1, kLobBytes)) + ")";
}

std::string db2ColumnType(const Field& column)
{
    if (column.isBinary || isBytes(column.kind))
        return lobType("BLOB", column.columnSize == 0 ? kLobBytes : column.columnSize);
    if (column.kind == ColumnKind::Date)
        return "DATE";
    // Text that may outgrow LONG VARCHAR goes to a CLOB.
    if (isLongText(column.kind) || (column.kind == ColumnKind::Text && maxTextBytes(column) > kLongVarcharBytes))
        return lobType("CLOB", maxTextBytes(column));
    return "LONG VARCHAR";
}

std::string decimalType(const Field& column)
{
    const auto precision = column.columnSize;
    const auto scale = column.decimalDigits;
    if (precision < 1 || precision > 65 || scale < 0 || scale > 30 || static_cast<SQLULEN>(scale) > precision)
        return "LONGTEXT";  // no DECIMAL holds it
    return "DECIMAL(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
}

std::string mysqlColumnType(const Field& column)
{
    const std::string unsignedWord = column.isUnsigned ? " UNSIGNED" : "";
    switch (column.kind) {
    case ColumnKind::Text: return maxTextBytes(column) > kMySQLTextBytes ? "LONGTEXT" : "TEXT";
    case ColumnKind::LongText:
    case ColumnKind::Clob:
    case ColumnKind::Xml: return "LONGTEXT";
    case ColumnKind::Boolean: return "BIT";
    case ColumnKind::Decimal: return decimalType(column);
    case ColumnKind::DecFloat: return "LONGTEXT";  // its range and NaN/Infinity fit no DECIMAL
    case ColumnKind::Real: return "FLOAT";
    case ColumnKind::Double: return "DOUBLE";
    case ColumnKind::TinyInt: return "TINYINT" + unsignedWord;
    case ColumnKind::SmallInt: return "SMALLINT" + unsignedWord;
    case ColumnKind::Integer: return "INT" + unsignedWord;
    case ColumnKind::BigInt: return "BIGINT" + unsignedWord;
    case ColumnKind::FixedBytes:
    case ColumnKind::Bytes:
    case ColumnKind::LongBytes:
    case ColumnKind::Blob: return "LONGBLOB";
    case ColumnKind::Date: return "DATETIME";
    case ColumnKind::Timestamp: return column.decimalDigits > 6 ? "LONGTEXT" : "DATETIME(6)";
    case ColumnKind::Time: return "TIME";
    case ColumnKind::Other: return "LONGTEXT";
    }
    return "LONGTEXT";
}

constexpr long long kDb2LongestVarchar = 32672;          // also VARBINARY
constexpr long long kDb2LongestCharacterVarchar = 8168;  // VARCHAR(n CODEUNITS32)
constexpr long long kDb2LongestDecimal = 31;
constexpr long long kMySQLLongestVarchar = 16383;  // characters in utf8mb4
constexpr long long kMySQLMediumBytes = 16777215;

// A MySQL declaration taken apart: "decimal(12,2) unsigned" -> decimal, {12, 2}, unsigned.
struct Declaration {
    std::string word;
    std::vector<std::string> arguments;  // quoted members of ENUM and SET unquoted
    bool isUnsigned = false;
};

Declaration parseDeclaration(const std::string& text)
{
    Declaration d;
    size_t i = 0;
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_'))
        d.word += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i++])));
    if (i < text.size() && text[i] == '(') {
        std::string current;
        bool quoted = false;
        for (++i; i < text.size(); ++i) {
            const char c = text[i];
            if (quoted) {
                if (c == '\'' && i + 1 < text.size() && text[i + 1] == '\'')
                    current += text[++i];
                else if (c == '\'')
                    quoted = false;
                else
                    current += c;
            } else if (c == '\'') {
                quoted = true;
            } else if (c == ',' || c == ')') {
                d.arguments.push_back(current);
                current.clear();
                if (c == ')')
                    break;
            } else if (c != ' ') {
                current += c;
            }
        }
    }
    d.isUnsigned = text.find("unsigned", i) != std::string::npos;
    return d;
}

long long argument(const Declaration& d, size_t index, long long fallback)
{
    return index < d.arguments.size() ? std::atoll(d.arguments[index].c_str()) : fallback;
}

std::string sized(const char* word, long long length) { return std::string(word) + "(" + std::to_string(length) + ")"; }

// Text of at most `bytes` UTF-8 bytes: VARCHAR while it fits, else CLOB.
std::string db2Text(long long bytes)
{
    bytes = std::max<long long>(bytes, 1);
    return bytes <= kDb2LongestVarchar ? sized("VARCHAR", bytes)
                                       : lobType("CLOB", static_cast<unsigned long long>(bytes));
}

std::string db2Bytes(long long bytes)
{
    bytes = std::max<long long>(bytes, 1);
    return bytes <= kDb2LongestVarchar ? sized("VARBINARY", bytes)
                                       : lobType("BLOB", static_cast<unsigned long long>(bytes));
}

std::string mysqlText(long long bytes)
{
    return bytes <= static_cast<long long>(kMySQLTextBytes) ? "TEXT"
        : bytes <= kMySQLMediumBytes                        ? "MEDIUMTEXT"
                                                            : "LONGTEXT";
}

std::string mysqlBytes(long long bytes)
{
    return bytes <= static_cast<long long>(kMySQLTextBytes) ? "BLOB"
        : bytes <= kMySQLMediumBytes                        ? "MEDIUMBLOB"
                                                            : "LONGBLOB";
}

std::string createTableSql(TargetSide side, const std::string& table, const std::vector<Field>& columns,
                           const std::vector<std::string>& types, const std::vector<bool>& inKey,
                           const std::vector<std::string>& key)
{
    const SqlDialect& dialect = DialectOf(side);
    std::string sql = "CREATE TABLE " + dialect.quoteIdentifier(table) + "(";
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0)
            sql += ',';
        sql += dialect.quoteIdentifier(columns[i].name) + " " + types[i]
            + (inKey[i] ? dialect.keyColumnSuffix(types[i]) : "");
    }
    if (!key.empty()) {
        sql += ",PRIMARY KEY(";
        for (size_t i = 0; i < key.size(); ++i)
            sql += (i ? "," : "") + dialect.quoteIdentifier(key[i]);
        sql += ")";
    }
    return sql + ")" + dialect.createTableSuffix();
}

}  // namespace

std::string MatchingDb2Type(const std::string& mysqlDeclaration, TextLengths db2Lengths)
{
    const Declaration d = parseDeclaration(mysqlDeclaration);
    const std::string& w = d.word;
    const auto is = [&](std::initializer_list<const char*> words) {
        return std::any_of(words.begin(), words.end(), [&](const char* word) { return w == word; });
    };
    if (is({"tinyint", "year"}))
        return "SMALLINT";  // TINYINT(1) too: it holds -128 to 127, not only 0 and 1
    if (is({"smallint"}))
        return d.isUnsigned ? "INTEGER" : "SMALLINT";
    if (is({"mediumint"}))
        return "INTEGER";
    if (is({"int", "integer"}))
        return d.isUnsigned ? "BIGINT" : "INTEGER";
    if (is({"bigint"}))
        return d.isUnsigned ? "DECIMAL(20,0)" : "BIGINT";
    if (is({"decimal", "numeric", "dec", "fixed"})) {
        const long long precision = argument(d, 0, 10), scale = argument(d, 1, 0);
        if (precision <= kDb2LongestDecimal)
            return "DECIMAL(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
        return sized("VARCHAR", precision + 2);  // sign and point: every digit kept as text
    }
    if (is({"float"}))
        return "REAL";
    if (is({"double", "real"}))
        return "DOUBLE";
    if (is({"date"}))
        return "DATE";
    if (is({"datetime", "timestamp"}))
        return sized("TIMESTAMP", argument(d, 0, 0));
    if (is({"time"})) {
        // -838:59:59 to 838:59:59 is no DB2 TIME.
        const long long fraction = argument(d, 0, 0);
        return sized("VARCHAR", 10 + (fraction > 0 ? fraction + 1 : 0));
    }
    if (is({"bit"})) {
        const long long bits = argument(d, 0, 1);
        return bits == 1 ? "BOOLEAN" : sized("BINARY", (bits + 7) / 8);
    }
    if (is({"char", "varchar"})) {
        const long long characters = argument(d, 0, 1);
        if (db2Lengths == TextLengths::Characters && characters <= kDb2LongestCharacterVarchar)
            return "VARCHAR(" + std::to_string(std::max<long long>(characters, 1)) + " CODEUNITS32)";
        return db2Text(characters * static_cast<long long>(kUtf8BytesPerChar));
    }
    if (is({"binary"}))
        return sized("BINARY", std::max<long long>(argument(d, 0, 1), 1));
    if (is({"varbinary"}))
        return db2Bytes(argument(d, 0, 1));
    // Text and byte types by the bytes they hold.
    static const struct {
        const char* word;
        long long bytes;
        bool text;
    } kLongTypes[] = {
        {"tinytext", 255, true},
        {"text", kMySQLTextBytes, true},
        {"mediumtext", kMySQLMediumBytes, true},
        {"longtext", kLobBytes, true},
        {"json", kLobBytes, true},
        {"tinyblob", 255, false},
        {"blob", kMySQLTextBytes, false},
        {"mediumblob", kMySQLMediumBytes, false},
        {"longblob", kLobBytes, false},
    };
    for (const auto& type : kLongTypes)
        if (w == type.word)
            return type.text ? db2Text(type.bytes) : db2Bytes(type.bytes);
    if (is({"enum", "set"})) {
        // ENUM holds one member, SET several joined by commas.
        long long longest = 1, all = 0;
        for (const auto& member : d.arguments) {
            longest = std::max<long long>(longest, static_cast<long long>(member.size()));
            all += static_cast<long long>(member.size()) + 1;
        }
        return db2Text(w == "enum" ? longest : all - 1);
    }
    return "";
}

std::string MatchingMySQLType(const Field& c)
{
    const long long size = static_cast<long long>(c.columnSize);
    const long long characters = static_cast<long long>(c.declaredCharacters);
    constexpr long long kUtf8Bytes = static_cast<long long>(kUtf8BytesPerChar);
    // DB2 sizes CHAR, VARCHAR and CLOB in bytes, the graphic types in characters.
    const long long bytes = IsSizedInCharacters(c.sqlType) ? size * kUtf8Bytes : size;
    switch (c.kind) {
    case ColumnKind::SmallInt: return "SMALLINT";
    case ColumnKind::Integer: return "INT";
    case ColumnKind::BigInt: return "BIGINT";
    case ColumnKind::Real: return "FLOAT";
    case ColumnKind::Double: return "DOUBLE";
    case ColumnKind::Date: return "DATE";
    case ColumnKind::Time: return "TIME";
    case ColumnKind::Timestamp:
        if (c.decimalDigits > 6)
            return "LONGTEXT";
        return c.decimalDigits > 0 ? sized("DATETIME", c.decimalDigits) : "DATETIME";
    case ColumnKind::Text:
        if (c.declaredCharacters > 0)
            return characters <= kMySQLLongestVarchar ? sized("VARCHAR", characters)
                                                      : mysqlText(characters * kUtf8Bytes);
        // CHAR too: VARCHAR keeps DB2's padding blanks, which MySQL's CHAR drops.
        if (size >= 1 && size <= kMySQLLongestVarchar)
            return sized("VARCHAR", size);
        return mysqlText(bytes);
    case ColumnKind::LongText: return mysqlText(static_cast<long long>(kLongVarcharBytes) * 2);
    case ColumnKind::Clob: return mysqlText(c.declaredCharacters > 0 ? characters * kUtf8Bytes : bytes);
    case ColumnKind::FixedBytes: return size >= 1 && size <= 255 ? sized("BINARY", size) : mysqlBytes(size);
    case ColumnKind::Bytes:
        return size >= 1 && size <= kMySQLLongestVarchar ? sized("VARBINARY", size) : mysqlBytes(size);
    case ColumnKind::LongBytes: return mysqlBytes(static_cast<long long>(kLongVarcharBytes));
    case ColumnKind::Blob: return mysqlBytes(size);
    default: return mysqlColumnType(c);
    }
}

std::string TargetColumnType(TargetSide side, const Field& column, Db2ColumnTypes types, TextLengths db2Lengths)
{
    if (types == Db2ColumnTypes::Matching) {
        const std::string matching
            = side == TargetSide::DB2 ? MatchingDb2Type(column.declaredType, db2Lengths) : MatchingMySQLType(column);
        if (!matching.empty())
            return matching;
    }
    return side == TargetSide::DB2 ? db2ColumnType(column) : mysqlColumnType(column);
}

std::string QuoteIdentifier(TargetSide side, const std::string& name) { return DialectOf(side).quoteIdentifier(name); }

TargetTable PlanTargetTable(TargetSide side, const std::string& table, const std::vector<Field>& columns,
                            const std::vector<std::string>& primaryKey, const TransferOptions& options,
                            TextLengths textLengths, const std::string& createAs)
{
    const SqlDialect& dialect = DialectOf(side);
    std::vector<std::string> types;
    for (const Field& column : columns)
        types.push_back(TargetColumnType(side, column, options.columnTypes, textLengths));

    TargetTable plan;
    std::vector<bool> inKey(columns.size(), false);
    std::vector<std::string> key;
    if (options.copyPrimaryKeys && !primaryKey.empty()) {
        long long keyBytes = 0;
        std::string why;
        for (const std::string& name : primaryKey) {
            const auto it = std::find_if(columns.begin(), columns.end(),
                                         [&](const Field& f) { return strcasecmp(f.name.c_str(), name.c_str()) == 0; });
            if (it == columns.end()) {
                why = "its column " + name + " is not among the columns read";
                break;
            }
            const size_t index = static_cast<size_t>(it - columns.begin());
            const auto bytes = dialect.keyBytes(types[index]);
            if (!bytes) {
                why = "its column " + it->name + " is " + types[index] + ", which cannot be part of a key on "
                    + dialect.displayName();
                break;
            }
            keyBytes += *bytes;
            inKey[index] = true;
            key.push_back(it->name);
        }
        if (why.empty() && keyBytes > dialect.maxKeyBytes())
            why = "its columns take " + std::to_string(keyBytes) + " bytes, more than the "
                + std::to_string(dialect.maxKeyBytes()) + " a key takes on " + dialect.displayName();
        if (!why.empty()) {
            plan.notes.push_back(table + ": primary key left out: " + why);
            key.clear();
            inKey.assign(columns.size(), false);
        }
    }

    dialect.fitRow(types, inKey);
    plan.createSql = createTableSql(side, createAs.empty() ? table : createAs, columns, types, inKey, key);
    plan.columnTypes = std::move(types);
    return plan;
}

std::string BuildCreateTableSql(TargetSide side, const std::string& table, const std::vector<Field>& columns)
{
    std::vector<std::string> types;
    for (const Field& column : columns)
        types.push_back(TargetColumnType(side, column));
    return createTableSql(side, table, columns, types, std::vector<bool>(columns.size(), false), {});
}
