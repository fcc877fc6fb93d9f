// DB2 dialect handling for the stand-in: tokens, DB2 types and their PostgreSQL
// representation, error texts. Nothing here talks to the server.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace db2standin {

// A diagnostic record as an ODBC application sees it.
struct Diag {
    std::string state;
    int native = 0;
    std::string message;
    long row = 0;  // SQL_DIAG_ROW_NUMBER for array input, 0 otherwise
};

// Error raised by the server side ("[IBM][CLI Driver][DB2/LINUXX8664] ...").
Diag serverError(const std::string& state, int native, const std::string& text);
// Error raised by the client side ("[IBM][CLI Driver] ...").
Diag clientError(const std::string& state, int native, const std::string& text);

struct SqlError {
    Diag diag;
};

struct Token {
    enum Type { Word, QIdent, Str, HexStr, Num, Param, Punct, End } type = End;
    std::string text;  // Word/Num/Punct: as written; QIdent/Str: value; HexStr: hex digits
    std::string upper() const;
    bool is(const char* word) const;  // case-insensitive word or exact punctuation
};

std::vector<Token> tokenize(const std::string& sql);

std::string quoteIdent(const std::string& name);
std::string quoteLiteral(const std::string& value);
std::string upperAscii(std::string s);
// Without the spaces, tabs and line ends around it.
std::string trimBlanks(const std::string& s);

// DB2 column types.
enum class Kind {
    SmallInt,
    Integer,
    BigInt,
    Decimal,
    Numeric,
    Real,
    Double,
    DecFloat,
    Char,
    VarChar,
    LongVarChar,
    Clob,
    Graphic,
    VarGraphic,
    LongVarGraphic,
    DbClob,
    Binary,
    VarBinary,
    LongVarBinary,
    Blob,
    Xml,
    Boolean,
    Date,
    Time,
    Timestamp
};

struct TypeDesc {
    Kind kind = Kind::VarChar;
    long long length = 0;  // characters/bytes for strings, digits for DECIMAL/NUMERIC/DECFLOAT
    int scale = 0;         // DECIMAL/NUMERIC scale, TIMESTAMP fraction digits
    // CHAR/VARCHAR/CLOB declared in CODEUNITS32: length counts characters, each taking 4 bytes.
    bool codeUnits32 = false;

    bool isNumeric() const;
    bool isBinary() const;
    bool isGraphic() const;
    bool isText() const;  // any character type except binary
    // Bytes the declared length stands for (4 per character in CODEUNITS32).
    long long lengthInBytes() const { return codeUnits32 ? length * 4 : length; }
};

// Parses a DB2 data type at tokens[i]; advances i past it.
// Throws SqlError (42704 for an unknown name, 42611 for a bad length, 42601 for
// string units the type or a non-Unicode database does not take) naming column col.
TypeDesc parseDb2Type(const std::vector<Token>& tokens, size_t& i, const std::string& col, bool unicodeDatabase);

// The PostgreSQL type a column of this DB2 type is created with: either a native
// type or a domain in schema db2standin whose name records the DB2 type.
std::string pgColumnType(const TypeDesc& t);
// The statement creating that domain, or "" when a native type is used.
std::string pgDomainDdl(const TypeDesc& t);
// Recovers a DB2 type from a db2standin domain name.
std::optional<TypeDesc> typeFromDomain(const std::string& domain);
// DB2 type of a value of a built-in PostgreSQL type (expressions, catalog queries).
TypeDesc typeFromPg(unsigned oid, int typmod);

std::string db2TypeName(const TypeDesc& t);

// Bytes a column of this type takes in a row (LONG and LOB columns: their descriptor).
long long rowBytes(const TypeDesc& t, bool nullable);
// The longest row and the most columns a table space with this page size holds.
long long rowLimit(long pageSize);
int columnLimit(long pageSize);
// The longest row with extended row size, whatever the page.
constexpr long long kExtendedRowLimit = 1048319;

// ODBC description of a DB2 type.
short odbcType(const TypeDesc& t, bool wide);
unsigned long columnSize(const TypeDesc& t);
short decimalDigits(const TypeDesc& t);
long octetLength(const TypeDesc& t);
long displaySize(const TypeDesc& t);

// DB2's implicit cast of character data to a column of type t, giving text that
// PostgreSQL accepts for that column. Throws SqlError as DB2 would refuse it.
std::string castForColumn(const TypeDesc& t, std::string value, const std::string& column);
// PostgreSQL text holds no NUL character and libpq would cut the value at the
// first one, so character data with NUL is refused (SQLSTATE 22021) where DB2
// would keep it.
void refuseNulInText(const char* data, size_t size);

// Text forms as DB2 CLI returns values converted to SQL_C_CHAR.
std::string bytesToHex(const std::string& bytes);
std::string pgByteaToBytes(const char* text, size_t len);

}  // namespace db2standin
