#include "RowBlock.h"

#include "ColumnKind.h"
#include "Utf16.h"
#include "ValueText.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

constexpr SQLLEN kMaxBoundBytes = 32 * 1024;  // longer columns are read piece by piece
constexpr SQLLEN kBytesPerChar = 4;           // UTF-8

SQLLEN fixedWidth(ReadKind kind)
{
    switch (kind) {
    case ReadKind::Integer:
    case ReadKind::Unsigned: return sizeof(SQLBIGINT);
    case ReadKind::Double:
    case ReadKind::Real: return sizeof(double);
    case ReadKind::Bool: return 1;
    case ReadKind::Date: return sizeof(SQL_DATE_STRUCT);
    case ReadKind::Time: return sizeof(SQL_TIME_STRUCT);
    case ReadKind::Timestamp: return sizeof(SQL_TIMESTAMP_STRUCT);
    default: return 0;
    }
}

// Bytes a bound text buffer needs for the column, terminator included; 0 when unbounded.
SQLLEN textWidth(const Field& f)
{
    SQLLEN width = 0;
    switch (f.kind) {
    case ColumnKind::Decimal:
        width = static_cast<SQLLEN>(f.columnSize) + 4;  // sign, point, leading zero, terminator
        break;
    case ColumnKind::DecFloat: width = 48; break;
    default:
        if (f.columnSize == 0 || f.columnSize > static_cast<SQLULEN>(kMaxBoundBytes))
            return 0;
        width = static_cast<SQLLEN>(f.columnSize) * kBytesPerChar + 1;
    }
    return width > kMaxBoundBytes ? 0 : width;
}

ReadKind readKindFor(const Field& f, bool sourceIsMySQL)
{
    if (f.isBinary)
        return ReadKind::Binary;
    switch (f.kind) {
    case ColumnKind::TinyInt:
    case ColumnKind::SmallInt:
    case ColumnKind::Integer: return ReadKind::Integer;
    case ColumnKind::BigInt: return f.isUnsigned ? ReadKind::Unsigned : ReadKind::Integer;
    case ColumnKind::Double: return ReadKind::Double;
    case ColumnKind::Real: return ReadKind::Real;
    case ColumnKind::Boolean: return ReadKind::Bool;
    case ColumnKind::Date: return sourceIsMySQL ? ReadKind::Text : ReadKind::Date;
    // SQL_TIMESTAMP_STRUCT holds nanoseconds: longer fractions (DB2's TIMESTAMP(12)) travel as text.
    case ColumnKind::Timestamp: return sourceIsMySQL || f.decimalDigits > 9 ? ReadKind::Text : ReadKind::Timestamp;
    case ColumnKind::Time: return sourceIsMySQL ? ReadKind::Text : ReadKind::Time;
    default: return ReadKind::Text;
    }
}

SQLLEN convertedWidth(ReadKind kind);

// The fetched value at `src` (of type Value, maybe unaligned) written as text.
template <typename Value, typename Write> size_t writeAs(const char* src, char* dst, Write write)
{
    Value value;
    std::memcpy(&value, src, sizeof value);
    return write(dst, value);
}

// Width of the send buffer of a converted column: UTF-16 becomes at most 3/2 as many UTF-8 bytes.
SQLLEN sendWidth(ReadKind kind, SQLLEN readWidth)
{
    return kind == ReadKind::WideText ? std::max<SQLLEN>(readWidth * 3 / 2, 1) : convertedWidth(kind);
}

bool isDateType(ColumnKind kind) { return kind == ColumnKind::Date || kind == ColumnKind::Timestamp; }

// Whether a target column type holds dates (and so refuses a zero date).
bool isDateColumnType(const std::string& type)
{
    for (const char* word : {"DATE", "TIMESTAMP"})
        if (type.rfind(word, 0) == 0)
            return true;
    return false;
}

// Width of the text a converted value needs.
SQLLEN convertedWidth(ReadKind kind)
{
    switch (kind) {
    case ReadKind::Integer:
    case ReadKind::Unsigned:
    case ReadKind::Double:
    case ReadKind::Real: return kNumberTextBytes;
    case ReadKind::Bool: return 5;  // "False"
    case ReadKind::Date: return kDateTextBytes;
    case ReadKind::Time: return kTimeTextBytes;
    case ReadKind::Timestamp: return kTimestampTextBytes;
    default: return 0;
    }
}

}  // namespace

// The declaration looks like <?xml version="1.0" encoding="UTF-16" ?>; a
// stored value never has one. Text read as UTF-16 also starts with a
// byte-order mark, EF BB BF once turned into UTF-8.
size_t DropXmlDeclaration(char* text, size_t length)
{
    const std::string_view value(text, length);
    size_t start = value.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    // "<?xml-stylesheet ...?>" and the like are the value's own.
    const std::string_view rest = value.substr(start);
    if (rest.size() > 5 && rest.starts_with("<?xml")
        && std::string_view(" \t\r\n").find(rest[5]) != std::string_view::npos)
        if (const size_t end = value.find("?>", start); end != std::string_view::npos)
            start = end + 2;
    if (start == 0)
        return length;
    std::memmove(text, text + start, length - start);
    return length - start;
}

SQLSMALLINT ReadCType(ReadKind kind)
{
    switch (kind) {
    case ReadKind::Binary: return SQL_C_BINARY;
    case ReadKind::WideText: return SQL_C_WCHAR;
    case ReadKind::Integer: return SQL_C_SBIGINT;
    case ReadKind::Unsigned: return SQL_C_UBIGINT;
    // A REAL travels as a double, which holds every float exactly: MariaDB's
    // driver lays out a bound SQL_C_FLOAT array 8 bytes a value, past the
    // end of a 4-byte layout.
    case ReadKind::Double:
    case ReadKind::Real: return SQL_C_DOUBLE;
    case ReadKind::Bool: return SQL_C_BIT;
    case ReadKind::Date: return SQL_C_TYPE_DATE;
    case ReadKind::Time: return SQL_C_TYPE_TIME;
    case ReadKind::Timestamp: return SQL_C_TYPE_TIMESTAMP;
    default: return SQL_C_CHAR;
    }
}

bool ReadsAsUtf8(const ColumnPlan& plan) { return plan.read == ReadKind::WideText && plan.readWidth == 0; }

bool IsVariableLength(ReadKind kind)
{
    return kind == ReadKind::Text || kind == ReadKind::WideText || kind == ReadKind::Binary;
}

size_t TerminatorBytes(ReadKind kind)
{
    return kind == ReadKind::Text ? 1 : kind == ReadKind::WideText ? sizeof(SQLWCHAR) : 0;
}

std::vector<ColumnPlan> PlanColumns(const std::vector<Field>& fields, bool sourceIsMySQL, TargetSide target,
                                    std::optional<bool> wideText)
{
    if (!wideText)
        wideText = DialectOf(sourceIsMySQL ? DatabaseSide::MySQL : DatabaseSide::DB2).textTravelsWide();
    std::vector<ColumnPlan> plans;
    plans.reserve(fields.size());
    for (const Field& f : fields) {
        ColumnPlan plan;
        plan.field = f;
        plan.field.value.reset();
        plan.read = readKindFor(f, sourceIsMySQL);
        if (plan.read == ReadKind::Binary) {
            plan.send = SendKind::Binary;
            plan.readWidth = (f.columnSize == 0 || f.columnSize > static_cast<SQLULEN>(kMaxBoundBytes))
                ? 0
                : static_cast<SQLLEN>(f.columnSize);
        } else if (plan.read == ReadKind::Text && *wideText) {
            plan.read = ReadKind::WideText;
            plan.readWidth = textWidth(f) * static_cast<SQLLEN>(sizeof(SQLWCHAR));
        } else if (plan.read == ReadKind::Text) {
            plan.readWidth = textWidth(f);
        } else {
            plan.readWidth = fixedWidth(plan.read);
        }
        // MySQL's BIT takes numbers, not the texts '1' and '0'.
        if (plan.read == ReadKind::Bool && target == TargetSide::MySQL)
            plan.send = SendKind::TinyInt;
        plans.push_back(std::move(plan));
    }
    return plans;
}

void ColumnBuffer::allocate(SQLSMALLINT type, SQLLEN rowWidth, size_t rows)
{
    cType = type;
    width = rowWidth;
    // Anew rather than assigned: a block after one huge value keeps no room for it.
    data = std::string(static_cast<size_t>(rowWidth) * rows, '\0');
    lengths.assign(rows, SQL_NULL_DATA);
}

void ColumnBuffer::pack(SQLSMALLINT type, std::vector<std::optional<std::string>>& cells)
{
    if (cells.size() == 1 && cells[0] && !cells[0]->empty()) {
        cType = type;
        width = static_cast<SQLLEN>(cells[0]->size());
        lengths.assign(1, width);
        data = std::move(*cells[0]);
        cells.clear();
        return;
    }
    SQLLEN longest = 1;
    for (const auto& cell : cells)
        if (cell)
            longest = std::max<SQLLEN>(longest, static_cast<SQLLEN>(cell->size()));
    allocate(type, longest, cells.size());
    for (size_t row = 0; row < cells.size(); ++row) {
        if (!cells[row])
            continue;
        std::memcpy(at(row), cells[row]->data(), cells[row]->size());
        lengths[row] = static_cast<SQLLEN>(cells[row]->size());
        cells[row].reset();
    }
    cells.clear();
}

void RowBlock::allocate(const std::vector<ColumnPlan>& plans, size_t capacity)
{
    plans_ = plans;
    capacity_ = capacity;
    rows = 0;
    read_.assign(plans.size(), {});
    send_.assign(plans.size(), {});
    converted_.assign(plans.size(), false);
    for (size_t i = 0; i < plans.size(); ++i) {
        const ColumnPlan& plan = plans[i];
        if (plan.readWidth > 0)
            read_[i].allocate(ReadCType(plan.read), plan.readWidth, capacity);
        else
            read_[i].cType = ReadsAsUtf8(plan) ? SQL_C_CHAR : ReadCType(plan.read);
        const bool asRead = plan.read == ReadKind::Text || plan.read == ReadKind::Binary || ReadsAsUtf8(plan);
        converted_[i] = !asRead && plan.send == SendKind::Text;
        if (converted_[i])
            send_[i].allocate(SQL_C_CHAR, sendWidth(plan.read, plan.readWidth), capacity);
    }
}

// Text read as SQL_C_CHAR is sent as read, but a decimal carries the
// client locale's decimal separator and an XML value DB2's declaration.
void RowBlock::tidyNarrowText(size_t column)
{
    const ColumnKind kind = plans_[column].field.kind;
    const bool decimal = kind == ColumnKind::Decimal || kind == ColumnKind::DecFloat;
    if (!decimal && kind != ColumnKind::Xml)
        return;
    ColumnBuffer& buffer = read_[column];
    for (size_t r = 0; r < rows; ++r) {
        if (buffer.isNull(r))
            continue;
        char* text = buffer.at(r);
        const size_t length = static_cast<size_t>(buffer.lengths[r]);
        if (decimal)
            std::replace(text, text + length, ',', '.');
        else
            buffer.lengths[r] = static_cast<SQLLEN>(DropXmlDeclaration(text, length));
    }
}

void RowBlock::convert()
{
    for (size_t c = 0; c < plans_.size(); ++c) {
        if (plans_[c].read == ReadKind::Text && plans_[c].readWidth > 0)
            tidyNarrowText(c);
        if (!converted_[c])
            continue;
        const ReadKind kind = plans_[c].read;
        const int digits = plans_[c].field.decimalDigits;
        ColumnBuffer& in = read_[c];
        ColumnBuffer& out = send_[c];
        const SQLLEN width = sendWidth(kind, in.width);
        if (out.lengths.size() < rows || out.width < width)
            out.allocate(SQL_C_CHAR, width, rows);
        const bool decimal
            = plans_[c].field.kind == ColumnKind::Decimal || plans_[c].field.kind == ColumnKind::DecFloat;
        const bool xml = plans_[c].field.kind == ColumnKind::Xml;
        for (size_t r = 0; r < rows; ++r) {
            if (in.isNull(r)) {
                out.lengths[r] = SQL_NULL_DATA;
                continue;
            }
            const char* src = in.at(r);
            char* dst = out.at(r);
            size_t n = 0;
            switch (kind) {
            case ReadKind::Integer: n = writeAs<SQLBIGINT>(src, dst, WriteIntegerText); break;
            case ReadKind::Unsigned: n = writeAs<SQLUBIGINT>(src, dst, WriteUnsignedText); break;
            case ReadKind::Double: n = writeAs<double>(src, dst, WriteDoubleText); break;
            case ReadKind::Real:
                n = writeAs<double>(src, dst,
                                    [](char* out, double v) { return WriteFloatText(out, static_cast<float>(v)); });
                break;
            case ReadKind::Bool:
                n = *src ? 4 : 5;
                std::memcpy(dst, *src ? "True" : "False", n);
                break;
            case ReadKind::Date: n = writeAs<SQL_DATE_STRUCT>(src, dst, WriteDateText); break;
            case ReadKind::Time: n = writeAs<SQL_TIME_STRUCT>(src, dst, WriteTimeText); break;
            case ReadKind::Timestamp:
                n = writeAs<SQL_TIMESTAMP_STRUCT>(src, dst, [digits](char* out, const SQL_TIMESTAMP_STRUCT& v) {
                    return WriteTimestampText(out, v, digits);
                });
                break;
            case ReadKind::WideText: {
                n = WriteUtf8(reinterpret_cast<const SQLWCHAR*>(src),
                              static_cast<size_t>(in.lengths[r]) / sizeof(SQLWCHAR), dst);
                // A decimal read as text carries the locale's decimal separator.
                if (decimal)
                    std::replace(dst, dst + n, ',', '.');
                if (xml)
                    n = DropXmlDeclaration(dst, n);
                break;
            }
            default: break;
            }
            out.lengths[r] = static_cast<SQLLEN>(n);
        }
    }
}

size_t RowBlock::valueBytes() const
{
    size_t bytes = 0;
    for (const ColumnBuffer& column : read_)
        for (size_t r = 0; r < rows && r < column.lengths.size(); ++r)
            if (!column.isNull(r))
                bytes += column.cType == SQL_C_CHAR || column.cType == SQL_C_WCHAR || column.cType == SQL_C_BINARY
                    ? static_cast<size_t>(column.lengths[r])
                    : static_cast<size_t>(column.width);
    return bytes;
}

std::vector<size_t> ZeroDateColumns(TargetSide target, const std::vector<ColumnPlan>& plans,
                                    const std::vector<std::string>& targetColumnTypes)
{
    std::vector<size_t> columns;
    if (target != TargetSide::DB2)
        return columns;
    for (size_t c = 0; c < plans.size() && c < targetColumnTypes.size(); ++c)
        if (isDateType(plans[c].field.kind) && isDateColumnType(targetColumnTypes[c]))
            columns.push_back(c);
    return columns;
}

std::vector<size_t> RowBlock::nullZeroDates(size_t column)
{
    std::vector<size_t> nulled;
    ColumnBuffer& buffer = read_[column];
    for (size_t r = 0; r < rows; ++r) {
        if (buffer.isNull(r))
            continue;
        if (IsZeroOrPartialDate(std::string_view(buffer.at(r), static_cast<size_t>(buffer.lengths[r])))) {
            buffer.lengths[r] = SQL_NULL_DATA;
            nulled.push_back(r);
        }
    }
    return nulled;
}

std::optional<std::string> RowBlock::sendText(size_t column, size_t row) const
{
    if (const auto value = sendView(column, row))
        return std::string(*value);
    return std::nullopt;
}

std::optional<std::string_view> RowBlock::sendView(size_t column, size_t row) const
{
    const ColumnBuffer& buffer = sendColumn(column);
    if (buffer.isNull(row))
        return std::nullopt;
    if (buffer.cType == SQL_C_BIT || buffer.cType == SQL_C_UTINYINT)
        return std::string_view(*buffer.at(row) ? "1" : "0");
    return std::string_view(buffer.at(row), static_cast<size_t>(buffer.lengths[row]));
}

void RowBlock::shortenSendText(size_t column, size_t row, std::string_view text)
{
    ColumnBuffer& buffer = converted_[column] ? send_[column] : read_[column];
    if (buffer.isNull(row) || static_cast<SQLLEN>(text.size()) > buffer.lengths[row])
        return;
    std::memcpy(buffer.at(row), text.data(), text.size());
    buffer.lengths[row] = static_cast<SQLLEN>(text.size());
}

std::vector<Field> RowBlock::rowFields(size_t row) const
{
    std::vector<Field> fields;
    fields.reserve(plans_.size());
    for (size_t c = 0; c < plans_.size(); ++c) {
        Field f;
        f.name = plans_[c].field.name;
        f.kind = plans_[c].send == SendKind::TinyInt ? ColumnKind::Boolean : ColumnKind::Text;
        f.isBinary = plans_[c].send == SendKind::Binary;
        f.value = sendText(c, row);
        fields.push_back(std::move(f));
    }
    return fields;
}
