#include "ColumnFit.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace {

// An exact decimal number: digits * 10^exponent, the digits without leading
// or trailing zeros (none for zero).
struct Decimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;

    bool isZero() const { return digits.empty(); }
    // Digits before the point, and after it.
    int integerDigits() const { return std::max(0, static_cast<int>(digits.size()) + exponent); }
    int fractionDigits() const { return std::max(0, -exponent); }
    bool operator==(const Decimal& other) const
    {
        return (isZero() && other.isZero())
            || (negative == other.negative && digits == other.digits && exponent == other.exponent);
    }
};

constexpr int kLongestExponent = 100000;  // far beyond every type's range, short of int overflow

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A number as the copy writes one ('-12.50', '1e-50', '.5', '1.5E+10'), or,
// `plain`, only as a number column gives its values back: an optional '-',
// digits without leading zeros, an optional point with digits after it,
// and no minus before zero. nullopt for anything else.
std::optional<Decimal> parseNumber(std::string_view text, bool plain)
{
    Decimal d;
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || (!plain && text[i] == '+')))
        d.negative = text[i++] == '-';
    // Digits from the first that is not zero; the zeros at their end come off last.
    int fraction = 0, mantissaDigits = 0;
    const auto takeDigits = [&] {
        const size_t start = i;
        for (; i < text.size() && isDigit(text[i]); ++i)
            if (!d.digits.empty() || text[i] != '0')
                d.digits += text[i];
        mantissaDigits += static_cast<int>(i - start);
        return i - start;
    };
    const size_t integerStart = i;
    const size_t integerLength = takeDigits();
    if (plain && (integerLength == 0 || (integerLength > 1 && text[integerStart] == '0')))
        return std::nullopt;
    if (i < text.size() && text[i] == '.') {
        ++i;
        fraction = static_cast<int>(takeDigits());
        if (plain && fraction == 0)
            return std::nullopt;
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    long long exponent = 0;
    if (!plain && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        const bool negativeExponent = i < text.size() && text[i] == '-';
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            ++i;
        if (i == text.size())
            return std::nullopt;
        for (; i < text.size() && isDigit(text[i]); ++i)
            exponent = std::min<long long>(exponent * 10 + (text[i] - '0'), kLongestExponent);
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != text.size())
        return std::nullopt;
    if (d.digits.empty()) {
        if (plain && d.negative)
            return std::nullopt;  // '-0' comes back as '0'
        d.negative = false;
        return d;
    }
    const size_t last = d.digits.find_last_not_of('0');
    d.exponent = static_cast<int>(exponent) - fraction + static_cast<int>(d.digits.size() - 1 - last);
    d.digits.resize(last + 1);
    return d;
}

// The number as digits with exactly `scale` digits after the point, rounded
// half away from zero.
std::string fixedText(const Decimal& d, int scale)
{
    std::string digits = d.digits;
    int exponent = d.exponent;
    if (-exponent > scale) {
        const int dropped = -exponent - scale;
        const bool up
            = dropped <= static_cast<int>(digits.size()) && digits[digits.size() - static_cast<size_t>(dropped)] >= '5';
        digits.resize(static_cast<size_t>(std::max(0, static_cast<int>(digits.size()) - dropped)));
        exponent = -scale;
        if (up) {
            int at = static_cast<int>(digits.size()) - 1;
            for (; at >= 0 && digits[static_cast<size_t>(at)] == '9'; --at)
                digits[static_cast<size_t>(at)] = '0';
            if (at >= 0)
                ++digits[static_cast<size_t>(at)];
            else
                digits.insert(digits.begin(), '1');
        }
    }
    digits.append(static_cast<size_t>(std::max(0, exponent + scale)), '0');  // to `scale` digits after the point
    if (static_cast<int>(digits.size()) <= scale)
        digits.insert(0, static_cast<size_t>(scale + 1) - digits.size(), '0');
    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    std::string text = d.negative && !zero ? "-" : "";
    text += digits.substr(0, digits.size() - static_cast<size_t>(scale));
    if (scale > 0)
        text += "." + digits.substr(digits.size() - static_cast<size_t>(scale));
    return text;
}

// The double nearest the number, as a server reads its text; nullopt when
// out of the double's range.
std::optional<double> nearestDouble(const Decimal& d)
{
    if (d.isZero())
        return 0.0;
    const std::string text = (d.negative ? "-" : "") + d.digits + "e" + std::to_string(d.exponent);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || !std::isfinite(value) || value == 0)
        return std::nullopt;
    return value;
}

template <typename Binary> Decimal shortestDecimal(Binary value)
{
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return *parseNumber(std::string_view(text, static_cast<size_t>(end - text)), false);
}

Decimal fixedDecimal(double value, int scale)
{
    char text[512];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, scale);
    if (result.ec != std::errc())
        return {};  // a value that long is no DECIMAL's
    return *parseNumber(std::string_view(text, static_cast<size_t>(result.ptr - text)), false);
}

// A date, time or timestamp as the copy writes one ('2024-01-31',
// '10:00:00.5', '-838:59:59', '2024-01-31 10:00:00.123456', and DB2's own
// '2024-01-31-10.00.00.123456789012'), or, `plain`, only as a column gives
// its values back ('-', ':' and one blank).
struct Temporal {
    bool hasDate = false, hasTime = false;
    long hours = 0;
    bool negative = false;
    bool midnight = true;  // no time of day but 00:00:00
    std::string_view fraction;
};

bool digitsAt(std::string_view text, size_t at, size_t count)
{
    if (at + count > text.size())
        return false;
    return std::all_of(text.begin() + static_cast<long>(at), text.begin() + static_cast<long>(at + count), isDigit);
}

std::optional<Temporal> parseTemporal(std::string_view text, bool plain)
{
    Temporal t;
    size_t i = 0;
    if (digitsAt(text, 0, 4) && text.size() >= 10 && text[4] == '-' && digitsAt(text, 5, 2) && text[7] == '-'
        && digitsAt(text, 8, 2)) {
        t.hasDate = true;
        i = 10;
        if (i == text.size())
            return t;
        if (text[i] != ' ' && (plain || (text[i] != '-' && text[i] != 'T')))
            return std::nullopt;
        ++i;
    }
    if (i < text.size() && text[i] == '-' && !t.hasDate) {
        t.negative = true;
        ++i;
    }
    const size_t hoursStart = i;
    while (i < text.size() && isDigit(text[i]))
        t.hours = std::min(t.hours * 10 + (text[i++] - '0'), 100000L);
    const size_t hourDigits = i - hoursStart;
    if (hourDigits < 2 || hourDigits > (t.hasDate ? 2u : 3u) || i >= text.size())
        return std::nullopt;
    const char separator = text[i];
    if (separator != ':' && (plain || separator != '.'))
        return std::nullopt;
    if (!digitsAt(text, i + 1, 2) || i + 3 >= text.size() || text[i + 3] != separator || !digitsAt(text, i + 4, 2))
        return std::nullopt;
    t.hasTime = true;
    t.midnight = t.hours == 0 && text.substr(i + 1, 2) == "00" && text.substr(i + 4, 2) == "00";
    i += 6;
    if (i < text.size() && text[i] == '.') {
        const size_t start = ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        if (i == start)
            return std::nullopt;
        t.fraction = text.substr(start, i - start);
    }
    if (i != text.size())
        return std::nullopt;
    return t;
}

// Digits of the fraction that are not trailing zeros.
int significantFractionDigits(std::string_view fraction)
{
    const size_t last = fraction.find_last_not_of('0');
    return last == std::string_view::npos ? 0 : static_cast<int>(last + 1);
}

__int128 power10(int n)
{
    __int128 value = 1;
    for (int i = 0; i < n; ++i)
        value *= 10;
    return value;
}

int digitCount(__int128 magnitude)
{
    int digits = 1;
    while (magnitude >= 10) {
        magnitude /= 10;
        ++digits;
    }
    return digits;
}

// The range of an integer column of this kind.
void integerRange(ColumnKind kind, bool isUnsigned, __int128& lowest, __int128& highest)
{
    const int bits = kind == ColumnKind::TinyInt ? 8
        : kind == ColumnKind::SmallInt           ? 16
        : kind == ColumnKind::Integer            ? 32
                                                 : 64;
    const __int128 span = static_cast<__int128>(1) << bits;
    lowest = isUnsigned ? 0 : -span / 2;
    highest = isUnsigned ? span - 1 : span / 2 - 1;
}

bool isInteger(ColumnKind kind)
{
    return kind == ColumnKind::TinyInt || kind == ColumnKind::SmallInt || kind == ColumnKind::Integer
        || kind == ColumnKind::BigInt;
}

// MySQL's declaration taken apart: "decimal(12,2) unsigned" -> decimal, 12, 2.
struct Declared {
    std::string word;
    int arguments = 0;
    long first = 0, second = 0;
    bool isUnsigned = false;
};

Declared declared(const std::string& text)
{
    Declared d;
    size_t i = 0;
    while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])))
        d.word += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i++])));
    if (i < text.size() && text[i] == '(') {
        d.arguments = 1;
        d.first = std::atol(text.c_str() + i + 1);
        const size_t comma = text.find(',', i), close = text.find(')', i);
        if (comma != std::string::npos && comma < close) {
            d.arguments = 2;
            d.second = std::atol(text.c_str() + comma + 1);
        }
    }
    d.isUnsigned = text.find("unsigned") != std::string::npos;
    return d;
}

// Fractional digits of seconds a time or timestamp column keeps.
int fractionDigitsOf(const Field& column, const Declared& d)
{
    if (!d.word.empty())
        return d.arguments > 0 ? static_cast<int>(d.first) : 0;
    return std::max<int>(column.decimalDigits, 0);
}

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The column's type as messages name it: MySQL's declaration, else the
// standard name with its size.
std::string typeName(const Field& column)
{
    if (!column.declaredType.empty())
        return upper(column.declaredType);
    const std::string size = "(" + std::to_string(column.columnSize);
    switch (column.kind) {
    case ColumnKind::Boolean: return "BOOLEAN";
    case ColumnKind::TinyInt: return "TINYINT";
    case ColumnKind::SmallInt: return "SMALLINT";
    case ColumnKind::Integer: return "INTEGER";
    case ColumnKind::BigInt: return "BIGINT";
    case ColumnKind::Decimal: return "DECIMAL" + size + "," + std::to_string(column.decimalDigits) + ")";
    case ColumnKind::DecFloat: return "DECFLOAT" + size + ")";
    case ColumnKind::Real: return "REAL";
    case ColumnKind::Double: return "DOUBLE";
    case ColumnKind::Date: return "DATE";
    case ColumnKind::Time: return "TIME";
    case ColumnKind::Timestamp: return "TIMESTAMP(" + std::to_string(column.decimalDigits) + ")";
    default: return "its type";
    }
}

constexpr size_t kLongestValueShown = 60;

std::string shown(std::string_view text)
{
    return text.size() <= kLongestValueShown ? std::string(text)
                                             : std::string(text.substr(0, kLongestValueShown)) + "...";
}

// A boolean travels as True/False (DB2) or 1/0 (MySQL).
std::string_view booleanAsNumber(std::string_view text) { return text == "True" ? "1" : text == "False" ? "0" : text; }

}  // namespace

ColumnFit FitColumn(const Field& source, const Field& target)
{
    ColumnFit fit;
    fit.typeName_ = typeName(target);
    const Declared to = declared(target.declaredType), from = declared(source.declaredType);

    // What the source's values are, and how many digits and what range they have.
    using Source = ColumnFit::Source;
    using Target = ColumnFit::Target;
    int sourceIntegerDigits = 0;  // exact numbers: digits before the point; -1 when unbounded
    __int128 sourceLowest = 0, sourceHighest = 0;
    int sourceFraction = 0, sourceHours = 24;
    const ColumnKind kind = source.isBinary ? ColumnKind::Other : source.kind;
    if (isInteger(kind)) {
        fit.source_ = Source::Number;
        integerRange(kind, source.isUnsigned || from.isUnsigned, sourceLowest, sourceHighest);
        sourceIntegerDigits = digitCount(std::max(-sourceLowest, sourceHighest));
    } else if (kind == ColumnKind::Decimal) {
        fit.source_ = Source::Number;
        fit.sourceScale_ = source.decimalDigits;
        sourceIntegerDigits = static_cast<int>(source.columnSize) - source.decimalDigits;
        sourceHighest = power10(std::clamp(sourceIntegerDigits, 0, 38)) - 1;
        sourceLowest = -sourceHighest;
    } else if (kind == ColumnKind::DecFloat) {
        fit.source_ = Source::Number;
        fit.sourceScale_ = -1;
        sourceIntegerDigits = -1;
    } else if (kind == ColumnKind::Double || kind == ColumnKind::Real) {
        fit.source_ = kind == ColumnKind::Double ? Source::Double : Source::Real;
    } else if (kind == ColumnKind::Boolean) {
        fit.source_ = Source::Boolean;
    } else if (kind == ColumnKind::Date || kind == ColumnKind::Time || kind == ColumnKind::Timestamp) {
        fit.source_ = Source::Temporal;
        sourceFraction = kind == ColumnKind::Date ? 0 : fractionDigitsOf(source, from);
        if (from.word == "time")
            sourceHours = 838;
    }
    const bool exactNumber = fit.source_ == Source::Number && fit.sourceScale_ >= 0;
    const int sourceDigits = sourceIntegerDigits + std::max(fit.sourceScale_, 0);

    if (to.word == "year") {
        fit.target_ = Target::Year;
        fit.lowest_ = 1901;
        fit.highest_ = 2155;
        return fit;
    }
    switch (target.kind) {
    case ColumnKind::Boolean:
        fit.target_ = Target::Boolean;
        fit.exact_ = fit.source_ == Source::Boolean;
        break;
    case ColumnKind::TinyInt:
    case ColumnKind::SmallInt:
    case ColumnKind::Integer:
    case ColumnKind::BigInt:
        fit.target_ = Target::Integer;
        integerRange(target.kind, target.isUnsigned || to.isUnsigned, fit.lowest_, fit.highest_);
        if (to.word == "mediumint") {
            fit.highest_ = to.isUnsigned ? 16777215 : 8388607;
            fit.lowest_ = to.isUnsigned ? 0 : -8388608;
        }
        fit.exact_ = fit.source_ == Source::Boolean
            || (exactNumber && fit.sourceScale_ == 0 && sourceLowest >= fit.lowest_ && sourceHighest <= fit.highest_);
        break;
    case ColumnKind::Decimal:
        fit.target_ = Target::Decimal;
        fit.precision_ = static_cast<int>(target.columnSize);
        fit.scale_ = target.decimalDigits;
        fit.exact_ = (fit.source_ == Source::Boolean && fit.precision_ - fit.scale_ >= 1)
            || (exactNumber && fit.sourceScale_ <= fit.scale_ && sourceIntegerDigits <= fit.precision_ - fit.scale_);
        break;
    case ColumnKind::DecFloat:
        fit.target_ = Target::DecFloat;
        fit.precision_ = target.columnSize >= 34 ? 34 : 16;
        fit.exact_ = fit.source_ == Source::Boolean || (exactNumber && sourceDigits <= fit.precision_)
            || (kind == ColumnKind::DecFloat && source.columnSize <= static_cast<SQLULEN>(fit.precision_));
        break;
    case ColumnKind::Double:
    case ColumnKind::Real: {
        const bool single = target.kind == ColumnKind::Real;
        fit.target_ = single ? Target::Real : Target::Double;
        // MySQL's FLOAT(M,D) and DOUBLE(M,D) round to D digits after the point as well.
        if (to.arguments == 2) {
            fit.scaled_ = true;
            fit.precision_ = static_cast<int>(to.first);
            fit.scale_ = static_cast<int>(to.second);
            break;
        }
        // Up to 15 (6) decimal digits come back from a double (float) as they went.
        fit.exact_ = fit.source_ == Source::Boolean || fit.source_ == Source::Real
            || (!single && fit.source_ == Source::Double) || (exactNumber && sourceDigits <= (single ? 6 : 15));
        break;
    }
    case ColumnKind::Date:
        fit.target_ = Target::Date;
        fit.exact_ = kind == ColumnKind::Date;
        break;
    case ColumnKind::Time:
        fit.target_ = Target::Time;
        fit.fractionDigits_ = fractionDigitsOf(target, to);
        fit.longestHours_ = to.word == "time" ? 838 : 24;
        fit.exact_
            = kind == ColumnKind::Time && sourceFraction <= fit.fractionDigits_ && sourceHours <= fit.longestHours_;
        break;
    case ColumnKind::Timestamp:
        fit.target_ = Target::Timestamp;
        fit.fractionDigits_ = fractionDigitsOf(target, to);
        fit.exact_
            = kind == ColumnKind::Date || (kind == ColumnKind::Timestamp && sourceFraction <= fit.fractionDigits_);
        break;
    default: fit.target_ = Target::Any;
    }
    return fit;
}

ValueChange ColumnFit::check(std::string_view text) const
{
    switch (target_) {
    case Target::Any: return ValueChange::None;
    case Target::Date:
    case Target::Time:
    case Target::Timestamp: return checkTemporal(text);
    default: return checkNumber(text);
    }
}

ValueChange ColumnFit::checkNumber(std::string_view text) const
{
    const bool plain = source_ == Source::Text || source_ == Source::Temporal;
    const auto value = parseNumber(source_ == Source::Boolean ? booleanAsNumber(text) : text, plain);
    if (!value)
        return plain ? ValueChange::OtherForm : ValueChange::OutOfRange;  // NaN, Infinity
    switch (target_) {
    case Target::Integer:
    case Target::Year:
    case Target::Boolean: {
        if (value->integerDigits() > 38)
            return ValueChange::OutOfRange;
        __int128 whole = 0;
        for (int i = 0; i < value->integerDigits(); ++i)
            whole = whole * 10
                + (i < static_cast<int>(value->digits.size()) ? value->digits[static_cast<size_t>(i)] - '0' : 0);
        if (value->negative)
            whole = -whole;
        const __int128 lowest = target_ == Target::Boolean ? 0 : lowest_;
        const __int128 highest = target_ == Target::Boolean ? 1 : highest_;
        if (whole < lowest || whole > highest)
            return ValueChange::OutOfRange;
        if (value->fractionDigits() == 0)
            return ValueChange::None;
        return target_ == Target::Boolean ? ValueChange::OutOfRange : ValueChange::Rounded;
    }
    case Target::Decimal:
        if (value->integerDigits() > precision_ - scale_)
            return ValueChange::OutOfRange;
        return value->fractionDigits() > scale_ ? ValueChange::Rounded : ValueChange::None;
    case Target::DecFloat:
        return static_cast<int>(value->digits.size()) > precision_ ? ValueChange::Rounded : ValueChange::None;
    default: break;
    }
    // DOUBLE and REAL.
    if (scaled_) {
        if (value->integerDigits() > precision_ - scale_)
            return ValueChange::OutOfRange;
        if (value->fractionDigits() > scale_)
            return ValueChange::Rounded;
    }
    if (value->isZero())
        return ValueChange::None;
    // A decimal of up to 15 digits (6 for REAL) comes back from the nearest
    // double (float) as it went: most values need no conversion.
    const bool single = target_ == Target::Real;
    const int leading = static_cast<int>(value->digits.size()) + value->exponent;  // the first digit's place
    const int digits = source_ == Source::Number && sourceScale_ >= 0 ? leading + sourceScale_
                                                                      : static_cast<int>(value->digits.size());
    if (source_ != Source::Double && digits <= (single ? 6 : 15) && std::abs(leading) < (single ? 30 : 300))
        return ValueChange::None;
    const auto nearest = nearestDouble(*value);
    if (!nearest)
        return ValueChange::OutOfRange;
    double stored = *nearest;
    if (single) {
        const float nearestFloat = static_cast<float>(stored);
        if (nearestFloat == 0 || !std::isfinite(nearestFloat))
            return ValueChange::OutOfRange;
        stored = nearestFloat;
    }
    // The stored value taken back into the source's type.
    bool same = false;
    if (source_ == Source::Double)
        same = stored == *nearest;
    else if (source_ == Source::Number && sourceScale_ >= 0)
        same = fixedDecimal(stored, sourceScale_) == *value;
    else if (source_ == Source::Real || single)
        same = shortestDecimal(static_cast<float>(stored)) == *value;
    else
        same = shortestDecimal(stored) == *value;
    return same ? ValueChange::None : ValueChange::Rounded;
}

ValueChange ColumnFit::checkTemporal(std::string_view text) const
{
    const auto value = parseTemporal(text, source_ != Source::Temporal);
    if (!value)
        return source_ == Source::Temporal ? ValueChange::OutOfRange : ValueChange::OtherForm;
    const bool finer = significantFractionDigits(value->fraction) > fractionDigits_;
    switch (target_) {
    case Target::Date:
        return value->hasDate && (value->midnight && significantFractionDigits(value->fraction) == 0)
            ? ValueChange::None
            : ValueChange::OutOfRange;
    case Target::Timestamp:
        if (!value->hasDate)
            return ValueChange::OutOfRange;
        return finer ? ValueChange::Rounded : ValueChange::None;
    default:  // TIME
        if (value->hasDate || value->hours > longestHours_ || (value->negative && longestHours_ == 24))
            return ValueChange::OutOfRange;
        if (value->hours == 24 && (!value->midnight || significantFractionDigits(value->fraction) > 0))
            return ValueChange::OutOfRange;
        return finer ? ValueChange::Rounded : ValueChange::None;
    }
}

std::string ColumnFit::rounded(std::string_view text) const
{
    if (check(text) != ValueChange::Rounded)
        return std::string(text);
    if (target_ == Target::Time || target_ == Target::Timestamp) {
        // Fractions of seconds are cut, as MySQL does.
        const size_t point = text.rfind('.');
        const size_t kept = point + (fractionDigits_ > 0 ? 1 + static_cast<size_t>(fractionDigits_) : 0);
        return std::string(text.substr(0, kept));
    }
    if (target_ != Target::Integer && target_ != Target::Year && target_ != Target::Decimal)
        return std::string(text);  // the server takes the nearest binary value itself
    const auto value = parseNumber(source_ == Source::Boolean ? booleanAsNumber(text) : text, false);
    return fixedText(*value, target_ == Target::Decimal ? scale_ : 0);
}

std::string ColumnFit::why(ValueChange change, std::string_view text) const
{
    const std::string value = shown(text);
    switch (change) {
    case ValueChange::None: return "";
    case ValueChange::Rounded:
        if (target_ == Target::Time || target_ == Target::Timestamp)
            return typeName_ + " would cut the fraction of a second of " + value + " to the digits it keeps";
        return typeName_ + " would round " + value + " to the digits it keeps";
    case ValueChange::OutOfRange: return typeName_ + " cannot hold " + value;
    case ValueChange::OtherForm:
        return typeName_ + " would read the text '" + value + "' as a value it writes otherwise";
    }
    return "";
}
