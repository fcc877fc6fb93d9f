#pragma once

#include "DataRecordset.h"

#include <string>
#include <string_view>

// Whether a column of a table that exists on the target holds the values of
// a source column exactly. Servers convert what they are given into the
// column's type without a word where they can: a narrower DATETIME cuts the
// fraction, YEAR takes 69 for 2069, INT takes the text '1e2' for 100, FLOAT
// takes 1e-50 for 0, DOUBLE rounds a DECIMAL(30,10) or a BIGINT beyond 2^53.
// So the pair of column types is looked at before any row moves, and where
// the target may not hold every value, each value is looked at as the copy
// sends it (its text), before it is sent.
//
// A value arrives unchanged when the target's value, taken back into the
// source's type, is the value sent: a DECIMAL 0.10 in a DOUBLE (read back
// 0.1) has arrived, a DOUBLE 0.1 in a REAL (read back 0.100000001) has not.
// A text arrives unchanged in a number or date column only when it is the
// plain form the column gives back ('-12', '0.5', '2024-01-31 10:00:00'),
// whose value the column then holds.

// What the target would do to one value.
enum class ValueChange {
    None,        // it arrives unchanged
    Rounded,     // the nearest value the column keeps: fewer digits or fractional seconds
    OutOfRange,  // the column cannot hold it (YEAR 69, FLOAT 1e-50, a time of day in a DATE)
    OtherForm,   // a text the column reads as another value ('1e2', '007', ' 5', '2024/01/31')
};

// How the column types of one source and one target column meet; see FitColumn.
class ColumnFit {
public:
    // Every value of the source column arrives unchanged: none needs a look.
    bool holdsEveryValue() const { return target_ == Target::Any || exact_; }
    // What storing the value the copy sends as `text` would do to it.
    ValueChange check(std::string_view text) const;
    // `text` rounded to the digits a DECIMAL column keeps (half away from
    // zero), for a value check() finds Rounded; otherwise `text` as it is.
    std::string rounded(std::string_view text) const;
    // Why the value `text` does not arrive as it is: "DOUBLE would round
    // 9007199254740993 to the digits it keeps".
    std::string why(ValueChange change, std::string_view text) const;
    // The target column's type as the messages name it.
    const std::string& targetType() const { return typeName_; }

private:
    friend ColumnFit FitColumn(const Field& source, const Field& target);
    enum class Source { Number, Double, Real, Boolean, Temporal, Text };
    enum class Target { Any, Integer, Year, Boolean, Decimal, DecFloat, Double, Real, Date, Time, Timestamp };

    ValueChange checkNumber(std::string_view text) const;
    ValueChange checkTemporal(std::string_view text) const;

    Source source_ = Source::Text;
    Target target_ = Target::Any;
    bool exact_ = false;
    int sourceScale_ = 0;                // digits after the point of an exact source number
    __int128 lowest_ = 0, highest_ = 0;  // an integer target's range
    int precision_ = 0, scale_ = 0;      // a DECIMAL target's; DECFLOAT: its digits; FLOAT(M,D): M and D
    bool scaled_ = false;                // a FLOAT(M,D) or DOUBLE(M,D) of MySQL
    int fractionDigits_ = 0;             // of seconds, a TIME or TIMESTAMP target's
    int longestHours_ = 24;              // a TIME target's
    std::string typeName_;
};

// Decides, from the two columns as their drivers describe them (and, where
// read, their declarations: MySQL's YEAR, MEDIUMINT, TIME and FLOAT(M,D) are
// told by it alone), whether the target holds every value of the source
// exactly, and how a value is checked where it may not.
ColumnFit FitColumn(const Field& source, const Field& target);
