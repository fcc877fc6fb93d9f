#include "Sql.h"

#include <cctype>
#include <cstring>

namespace db2standin {

namespace {
const char* kServerPrefix = "[IBM][CLI Driver][DB2/LINUXX8664] ";
const char* kClientPrefix = "[IBM][CLI Driver] ";

bool isIdentStart(unsigned char c)
{
    return std::isalpha(c) || c == '_' || c == '$' || c == '#' || c == '@' || c >= 0x80;
}
bool isIdentChar(unsigned char c) { return isIdentStart(c) || std::isdigit(c); }

[[noreturn]] void raise(const std::string& state, int native, const std::string& text)
{
    throw SqlError {serverError(state, native, text)};
}

[[noreturn]] void badLength(const std::string& col)
{
    raise("42611", -604,
          "SQL0604N  The length, precision, or scale attribute for column, distinct type, structured type, "
          "array type, attribute of structured type, routine, cast target type, type mapping, or global "
          "variable \""
              + col + "\" is not valid.");
}

bool allDigits(const std::string& s, size_t from, size_t n)
{
    if (from + n > s.size())
        return false;
    for (size_t k = from; k < from + n; ++k)
        if (!std::isdigit(static_cast<unsigned char>(s[k])))
            return false;
    return true;
}

// PostgreSQL keeps 63 bytes of a name and would cut a longer one silently;
// refuse it instead (DB2 itself takes 128).
void nameFits(const std::string& name)
{
    if (name.size() > 63)
        raise("42622", -107,
              "SQL0107N  The name \"" + name.substr(0, 32) + "...\" is too long.  The maximum length is \"63\".");
}

[[noreturn]] void badDatetime()
{
    raise("22007", -180, "SQL0180N  The syntax of the string representation of a datetime value is incorrect.");
}

// Digits of one date/time field: 1 or 2 digits as DB2 allows leading zeros to be left out.
bool field(const std::string& s, size_t& p, int maxDigits, std::string& out)
{
    size_t start = p;
    while (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p])) && p - start < static_cast<size_t>(maxDigits))
        ++p;
    if (p == start)
        return false;
    out = s.substr(start, p - start);
    if (out.size() == 1 && maxDigits == 2)
        out = "0" + out;
    return true;
}

std::string normDate(const std::string& v)
{
    // yyyy-mm-dd, mm/dd/yyyy, dd.mm.yyyy
    if (v.size() == 10 && allDigits(v, 0, 4) && v[4] == '-' && allDigits(v, 5, 2) && v[7] == '-' && allDigits(v, 8, 2))
        return v;
    size_t p = 0;
    std::string a, b, y;
    if (!field(v, p, 2, a) || p >= v.size())
        badDatetime();
    char sep = v[p];
    if (sep != '/' && sep != '.')
        badDatetime();
    ++p;
    if (!field(v, p, 2, b) || p >= v.size() || v[p] != sep)
        badDatetime();
    ++p;
    if (!allDigits(v, p, 4) || p + 4 != v.size())
        badDatetime();
    y = v.substr(p, 4);
    return sep == '/' ? y + "-" + a + "-" + b : y + "-" + b + "-" + a;
}

std::string normTime(const std::string& v)
{
    // hh:mm:ss, hh.mm.ss, hh:mm
    size_t p = 0;
    std::string h, m, s = "00";
    if (!field(v, p, 2, h) || p >= v.size())
        badDatetime();
    char sep = v[p];
    if (sep != ':' && sep != '.')
        badDatetime();
    ++p;
    if (!field(v, p, 2, m))
        badDatetime();
    if (p < v.size()) {
        if (v[p] != sep)
            badDatetime();
        ++p;
        if (!field(v, p, 2, s) || p != v.size())
            badDatetime();
    }
    return h + ":" + m + ":" + s;
}

// Fraction digits beyond `digits` are cut; a TIMESTAMP(p) column keeps p of them.
std::string normTimestamp(const std::string& v, size_t digits = 6)
{
    if (v.size() < 10)
        badDatetime();
    std::string date = normDate(v.substr(0, 10));
    if (v.size() == 10)
        return date + " 00:00:00";
    char sep = v[10];
    if (sep != '-' && sep != ' ' && sep != 'T')
        badDatetime();
    std::string rest = v.substr(11);
    size_t p = 0;
    std::string h, m, s;
    if (!field(rest, p, 2, h) || p >= rest.size())
        badDatetime();
    char ts = rest[p];
    if (ts != ':' && ts != '.')
        badDatetime();
    ++p;
    if (!field(rest, p, 2, m) || p >= rest.size() || rest[p] != ts)
        badDatetime();
    ++p;
    if (!field(rest, p, 2, s))
        badDatetime();
    std::string frac;
    if (p < rest.size()) {
        if (rest[p] != '.' && rest[p] != ',')
            badDatetime();
        ++p;
        size_t f = p;
        while (p < rest.size() && std::isdigit(static_cast<unsigned char>(rest[p])))
            ++p;
        if (p != rest.size() || p - f > 12)
            badDatetime();
        frac = rest.substr(f, std::min<size_t>(digits, p - f));
    }
    return date + " " + h + ":" + m + ":" + s + (frac.empty() ? "" : "." + frac);
}

bool validNumber(const std::string& v)
{
    size_t p = 0;
    if (p < v.size() && (v[p] == '+' || v[p] == '-'))
        ++p;
    size_t digits = 0;
    while (p < v.size() && std::isdigit(static_cast<unsigned char>(v[p])))
        ++p, ++digits;
    if (p < v.size() && v[p] == '.') {
        ++p;
        while (p < v.size() && std::isdigit(static_cast<unsigned char>(v[p])))
            ++p, ++digits;
    }
    if (digits == 0)
        return false;
    if (p < v.size() && (v[p] == 'e' || v[p] == 'E')) {
        ++p;
        if (p < v.size() && (v[p] == '+' || v[p] == '-'))
            ++p;
        size_t e = 0;
        while (p < v.size() && std::isdigit(static_cast<unsigned char>(v[p])))
            ++p, ++e;
        if (e == 0)
            return false;
    }
    return p == v.size();
}

size_t utf8Chars(const std::string& s)
{
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

size_t utf16Units(const std::string& s)
{
    size_t n = 0;
    for (unsigned char c : s) {
        if ((c & 0xC0) != 0x80)
            ++n;
        if ((c & 0xF8) == 0xF0)
            ++n;  // outside the BMP: a surrogate pair
    }
    return n;
}
}  // namespace

Diag serverError(const std::string& state, int native, const std::string& text)
{
    return Diag {state, native, kServerPrefix + text + "  SQLSTATE=" + state, 0};
}

Diag clientError(const std::string& state, int native, const std::string& text)
{
    return Diag {state, native, kClientPrefix + text, 0};
}

std::string upperAscii(std::string s)
{
    for (auto& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string trimBlanks(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\n' || s[b] == '\r'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\n' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

std::string Token::upper() const { return upperAscii(text); }

bool Token::is(const char* word) const
{
    if (type == Word)
        return strcasecmp(text.c_str(), word) == 0;
    if (type == Punct)
        return text == word;
    return false;
}

std::vector<Token> tokenize(const std::string& sql)
{
    std::vector<Token> out;
    size_t i = 0, n = sql.size();
    auto unterminated = [] {
        raise("42603", -10,
              "SQL0010N  The string constant beginning with \"'\" does not have an ending string delimiter.");
    };
    while (i < n) {
        unsigned char c = sql[i];
        if (std::isspace(c)) {
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n')
                ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            size_t e = sql.find("*/", i + 2);
            i = e == std::string::npos ? n : e + 2;
            continue;
        }
        Token t;
        if (c == '\'') {
            t.type = Token::Str;
            ++i;
            for (;;) {
                if (i >= n)
                    unterminated();
                if (sql[i] == '\'') {
                    if (i + 1 < n && sql[i + 1] == '\'') {
                        t.text += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                t.text += sql[i++];
            }
        } else if (c == '"') {
            t.type = Token::QIdent;
            ++i;
            for (;;) {
                if (i >= n)
                    raise(
                        "42603", -10,
                        "SQL0010N  The string constant beginning with '\"' does not have an ending string delimiter.");
                if (sql[i] == '"') {
                    if (i + 1 < n && sql[i + 1] == '"') {
                        t.text += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                t.text += sql[i++];
            }
            nameFits(t.text);
        } else if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            t.type = Token::Num;
            size_t s = i;
            while (i < n && (std::isdigit(static_cast<unsigned char>(sql[i])) || sql[i] == '.'))
                ++i;
            if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
                size_t k = i + 1;
                if (k < n && (sql[k] == '+' || sql[k] == '-'))
                    ++k;
                if (k < n && std::isdigit(static_cast<unsigned char>(sql[k]))) {
                    i = k;
                    while (i < n && std::isdigit(static_cast<unsigned char>(sql[i])))
                        ++i;
                }
            }
            t.text = sql.substr(s, i - s);
        } else if (isIdentStart(c)) {
            size_t s = i;
            while (i < n && isIdentChar(static_cast<unsigned char>(sql[i])))
                ++i;
            t.type = Token::Word;
            t.text = sql.substr(s, i - s);
            nameFits(t.text);
            std::string up = upperAscii(t.text);
            if (i < n && sql[i] == '\''
                && (up == "X" || up == "BX" || up == "N" || up == "G" || up == "GX" || up == "U&")) {
                ++i;
                std::string v;
                for (;;) {
                    if (i >= n)
                        unterminated();
                    if (sql[i] == '\'') {
                        if (i + 1 < n && sql[i + 1] == '\'') {
                            v += '\'';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    v += sql[i++];
                }
                if (up == "X" || up == "BX") {
                    if (v.size() % 2 != 0)
                        raise("42606", -110, "SQL0110N  \"" + v + "\" is an invalid hexadecimal constant.");
                    for (char h : v)
                        if (!std::isxdigit(static_cast<unsigned char>(h)))
                            raise("42606", -110, "SQL0110N  \"" + v + "\" is an invalid hexadecimal constant.");
                    t.type = Token::HexStr;
                } else {
                    t.type = Token::Str;
                }
                t.text = v;
            }
        } else if (c == '?') {
            t.type = Token::Param;
            t.text = "?";
            ++i;
        } else {
            t.type = Token::Punct;
            static const char* multi[] = {"<=", ">=", "<>", "!=", "||", "::"};
            t.text = std::string(1, static_cast<char>(c));
            for (const char* m : multi)
                if (sql.compare(i, 2, m) == 0)
                    t.text = m;
            i += t.text.size();
        }
        out.push_back(std::move(t));
    }
    out.push_back(Token {});
    return out;
}

std::string quoteIdent(const std::string& name)
{
    std::string r = "\"";
    for (char c : name) {
        if (c == '"')
            r += '"';
        r += c;
    }
    return r + "\"";
}

std::string quoteLiteral(const std::string& value)
{
    std::string r = "'";
    for (char c : value) {
        if (c == '\'')
            r += '\'';
        r += c;
    }
    return r + "'";
}

bool TypeDesc::isNumeric() const
{
    switch (kind) {
    case Kind::SmallInt:
    case Kind::Integer:
    case Kind::BigInt:
    case Kind::Decimal:
    case Kind::Numeric:
    case Kind::Real:
    case Kind::Double:
    case Kind::DecFloat: return true;
    default: return false;
    }
}

bool TypeDesc::isBinary() const
{
    return kind == Kind::Binary || kind == Kind::VarBinary || kind == Kind::LongVarBinary || kind == Kind::Blob;
}

bool TypeDesc::isGraphic() const
{
    return kind == Kind::Graphic || kind == Kind::VarGraphic || kind == Kind::LongVarGraphic || kind == Kind::DbClob;
}

bool TypeDesc::isText() const
{
    switch (kind) {
    case Kind::Char:
    case Kind::VarChar:
    case Kind::LongVarChar:
    case Kind::Clob:
    case Kind::Graphic:
    case Kind::VarGraphic:
    case Kind::LongVarGraphic:
    case Kind::DbClob:
    case Kind::Xml: return true;
    default: return false;
    }
}

namespace {
[[noreturn]] void unexpectedToken(const Token& token, const std::string& following)
{
    raise("42601", -104,
          "SQL0104N  An unexpected token \"" + token.text + "\" was found following \"" + following
              + "\".  Expected tokens may include:  \")\".");
}

// A type with its arguments; unitToken is left at the string units word, 0 when there is none.
TypeDesc parseTypeWithArgs(const std::vector<Token>& tk, size_t& i, const std::string& col, bool unicodeDatabase,
                           size_t& unitToken)
{
    auto undefined = [&](const std::string& name) -> TypeDesc {
        raise("42704", -204, "SQL0204N  \"" + name + "\" is an undefined name.");
    };
    if (tk[i].type != Token::Word) {
        if (tk[i].type == Token::QIdent)
            undefined(tk[i].text);
        raise("42601", -104,
              "SQL0104N  An unexpected token \"" + tk[i].text + "\" was found following \"" + col
                  + "\".  Expected tokens may include:  \"<data_type>\".");
    }
    std::string w = tk[i].upper();
    ++i;
    // Optional "(n[K|M|G][ OCTETS|CODEUNITS16|CODEUNITS32][, s])"
    std::vector<long long> args;
    bool hadArgs = false;
    unitToken = 0;
    const auto inCharacters = [&] { return unitToken && tk[unitToken].is("CODEUNITS32"); };
    auto readArgs = [&] {
        if (!tk[i].is("("))
            return;
        hadArgs = true;
        ++i;
        while (!tk[i].is(")")) {
            if (tk[i].type != Token::Num)
                badLength(col);
            long long v = 0;
            try {
                v = std::stoll(tk[i].text);
            } catch (...) {
                badLength(col);
            }
            if (tk[i].text.find_first_not_of("0123456789") != std::string::npos)
                badLength(col);
            ++i;
            if (tk[i].is("K") || tk[i].is("M") || tk[i].is("G")) {
                std::string u = tk[i].upper();
                if (u == "K")
                    v *= 1024;
                else if (u == "M")
                    v *= 1024 * 1024;
                else
                    v = v * 1024LL * 1024 * 1024 - (v == 2 ? 1 : 0);  // 2G stands for 2 GB - 1
                ++i;
            }
            if (tk[i].type == Token::Word) {
                std::string u = tk[i].upper();
                if (u != "OCTETS" && u != "CODEUNITS16" && u != "CODEUNITS32" && u != "BYTE")
                    badLength(col);
                // Only a Unicode database takes lengths in characters. DB2's exact code for
                // refusing them elsewhere is unconfirmed; a syntax error naming the word stands in.
                if (u == "CODEUNITS32" && !unicodeDatabase)
                    unexpectedToken(tk[i], tk[i - 1].text);
                unitToken = i;
                ++i;
            }
            args.push_back(v);
            if (tk[i].is(","))
                ++i;
            else if (!tk[i].is(")"))
                badLength(col);
        }
        ++i;
    };
    auto forBitData = [&]() {
        if (tk[i].is("FOR") && tk[i + 1].is("BIT") && tk[i + 2].is("DATA")) {
            i += 3;
            return true;
        }
        if (tk[i].is("FOR") && (tk[i + 1].is("SBCS") || tk[i + 1].is("MIXED")) && tk[i + 2].is("DATA"))
            i += 3;
        return false;
    };
    auto lenIn = [&](long long def, long long lo, long long hi) {
        long long n = args.empty() ? def : args[0];
        if (args.size() > 1 || n < lo || n > hi)
            badLength(col);
        return n;
    };
    // Declared in CODEUNITS32, a length counts characters of up to 4 bytes each.
    auto charMax = [&] { return inCharacters() ? 63LL : 255LL; };
    auto varcharMax = [&] { return inCharacters() ? 8168LL : 32672LL; };
    auto clobMax = [&] { return inCharacters() ? 536870911LL : 2147483647LL; };
    TypeDesc t;
    if (w == "SMALLINT")
        t.kind = Kind::SmallInt;
    else if (w == "INTEGER" || w == "INT")
        t.kind = Kind::Integer;
    else if (w == "BIGINT")
        t.kind = Kind::BigInt;
    else if (w == "DECIMAL" || w == "DEC" || w == "NUMERIC" || w == "NUM") {
        readArgs();
        t.kind = (w == "NUMERIC" || w == "NUM") ? Kind::Numeric : Kind::Decimal;
        t.length = args.empty() ? 5 : args[0];
        t.scale = args.size() > 1 ? static_cast<int>(args[1]) : 0;
        if (args.size() > 2 || t.length < 1 || t.length > 31 || t.scale < 0 || t.scale > t.length)
            badLength(col);
        return t;
    } else if (w == "REAL")
        t.kind = Kind::Real;
    else if (w == "DOUBLE") {
        if (tk[i].is("PRECISION"))
            ++i;
        t.kind = Kind::Double;
    } else if (w == "FLOAT") {
        readArgs();
        long long n = lenIn(53, 1, 53);
        t.kind = n <= 24 ? Kind::Real : Kind::Double;
        return t;
    } else if (w == "DECFLOAT") {
        readArgs();
        long long n = lenIn(34, 16, 34);
        if (n != 16 && n != 34)
            badLength(col);
        t.kind = Kind::DecFloat;
        t.length = n;
        return t;
    } else if (w == "CHAR" || w == "CHARACTER") {
        bool varying = false;
        if (tk[i].is("VARYING")) {
            varying = true;
            ++i;
        } else if (tk[i].is("LARGE") && tk[i + 1].is("OBJECT")) {
            i += 2;
            readArgs();
            t.kind = Kind::Clob;
            t.length = lenIn(1048576, 1, clobMax());
            return t;
        }
        readArgs();
        if (varying) {
            if (!hadArgs)
                undefined("VARCHAR");
            t.length = lenIn(1, 1, varcharMax());
            t.kind = forBitData() ? Kind::VarBinary : Kind::VarChar;
        } else {
            t.length = lenIn(1, 1, charMax());
            t.kind = forBitData() ? Kind::Binary : Kind::Char;
        }
        return t;
    } else if (w == "VARCHAR") {
        readArgs();
        if (!hadArgs)
            undefined("VARCHAR");
        t.length = lenIn(1, 1, varcharMax());
        t.kind = forBitData() ? Kind::VarBinary : Kind::VarChar;
        return t;
    } else if (w == "LONG") {
        if (tk[i].is("VARCHAR")) {
            ++i;
            t.kind = forBitData() ? Kind::LongVarBinary : Kind::LongVarChar;
            t.length = 32700;
            return t;
        }
        if (tk[i].is("VARGRAPHIC")) {
            ++i;
            t.kind = Kind::LongVarGraphic;
            t.length = 16350;
            return t;
        }
        undefined("LONG");
    } else if (w == "CLOB") {
        readArgs();
        t.kind = Kind::Clob;
        t.length = lenIn(1048576, 1, clobMax());
        return t;
    } else if (w == "GRAPHIC") {
        readArgs();
        t.kind = Kind::Graphic;
        t.length = lenIn(1, 1, 127);
        return t;
    } else if (w == "VARGRAPHIC") {
        readArgs();
        if (!hadArgs)
            undefined("VARGRAPHIC");
        t.kind = Kind::VarGraphic;
        t.length = lenIn(1, 1, 16336);
        return t;
    } else if (w == "DBCLOB") {
        readArgs();
        t.kind = Kind::DbClob;
        t.length = lenIn(1048576, 1, 1073741823LL);
        return t;
    } else if (w == "BLOB" || (w == "BINARY" && tk[i].is("LARGE") && tk[i + 1].is("OBJECT"))) {
        if (w == "BINARY")
            i += 2;
        readArgs();
        t.kind = Kind::Blob;
        t.length = lenIn(1048576, 1, 2147483647LL);
        return t;
    } else if (w == "BINARY") {
        if (tk[i].is("VARYING")) {
            ++i;
            readArgs();
            t.kind = Kind::VarBinary;
            t.length = lenIn(1, 1, 32672);
            return t;
        }
        readArgs();
        t.kind = Kind::Binary;
        t.length = lenIn(1, 1, 255);
        return t;
    } else if (w == "VARBINARY") {
        readArgs();
        if (!hadArgs)
            undefined("VARBINARY");
        t.kind = Kind::VarBinary;
        t.length = lenIn(1, 1, 32672);
        return t;
    } else if (w == "DATE")
        t.kind = Kind::Date;
    else if (w == "TIME")
        t.kind = Kind::Time;
    else if (w == "TIMESTAMP") {
        readArgs();
        t.kind = Kind::Timestamp;
        t.scale = static_cast<int>(lenIn(6, 0, 12));
        return t;
    } else if (w == "BOOLEAN")
        t.kind = Kind::Boolean;
    else if (w == "XML")
        t.kind = Kind::Xml;
    else
        undefined(w);
    if (tk[i].is("("))
        badLength(col);
    return t;
}
}  // namespace

TypeDesc parseDb2Type(const std::vector<Token>& tk, size_t& i, const std::string& col, bool unicodeDatabase)
{
    size_t unitToken = 0;
    TypeDesc parsed = parseTypeWithArgs(tk, i, col, unicodeDatabase, unitToken);
    // Units fit character strings only: OCTETS or CODEUNITS32 for CHAR, VARCHAR
    // and CLOB, CODEUNITS16 for the graphic types. Graphic strings in CODEUNITS32
    // are not modelled, so they are refused rather than taken as UTF-16 units.
    if (unitToken) {
        const std::string u = tk[unitToken].upper();
        const bool character = parsed.kind == Kind::Char || parsed.kind == Kind::VarChar || parsed.kind == Kind::Clob;
        const bool fits = character ? u != "CODEUNITS16" : parsed.isGraphic() && u == "CODEUNITS16";
        if (!fits)
            unexpectedToken(tk[unitToken], tk[unitToken - 1].text);
        parsed.codeUnits32 = u == "CODEUNITS32";
    }
    return parsed;
}

namespace {
std::string domainName(const TypeDesc& t)
{
    // Character strings in CODEUNITS32 get "_cu32" after the base name: varchar_cu32_50.
    auto n = [&](const char* base) {
        return std::string(base) + (t.codeUnits32 ? "_cu32_" : "_") + std::to_string(t.length);
    };
    switch (t.kind) {
    case Kind::Numeric: return "numeric_" + std::to_string(t.length) + "_" + std::to_string(t.scale);
    case Kind::DecFloat: return n("decfloat");
    case Kind::Char: return n("char");
    case Kind::VarChar: return n("varchar");
    case Kind::LongVarChar: return "longvarchar";
    case Kind::Clob: return n("clob");
    case Kind::Graphic: return n("graphic");
    case Kind::VarGraphic: return n("vargraphic");
    case Kind::LongVarGraphic: return "longvargraphic";
    case Kind::DbClob: return n("dbclob");
    case Kind::Binary: return n("binary");
    case Kind::VarBinary: return n("varbinary");
    case Kind::LongVarBinary: return "longvarbinary";
    case Kind::Blob: return n("blob");
    case Kind::Timestamp: return t.scale > 6 ? "timestampx_" + std::to_string(t.scale) : "";
    default: return "";
    }
}
}  // namespace

std::string pgColumnType(const TypeDesc& t)
{
    std::string d = domainName(t);
    if (!d.empty())
        return "db2standin." + d;
    switch (t.kind) {
    case Kind::SmallInt: return "smallint";
    case Kind::Integer: return "integer";
    case Kind::BigInt: return "bigint";
    case Kind::Decimal: return "numeric(" + std::to_string(t.length) + "," + std::to_string(t.scale) + ")";
    case Kind::Real: return "real";
    case Kind::Double: return "double precision";
    case Kind::Date: return "date";
    case Kind::Time: return "time(0)";
    case Kind::Timestamp: return "timestamp(" + std::to_string(t.scale) + ")";
    case Kind::Boolean: return "boolean";
    case Kind::Xml: return "xml";
    default: return "text";
    }
}

std::string pgDomainDdl(const TypeDesc& t)
{
    std::string d = domainName(t);
    if (d.empty())
        return "";
    std::string len = std::to_string(t.length);
    std::string base, check;
    switch (t.kind) {
    case Kind::Numeric: base = "numeric(" + len + "," + std::to_string(t.scale) + ")"; break;
    case Kind::DecFloat: base = "numeric"; break;
    // Lengths of character types count bytes (UTF-8) as in a Unicode DB2 database,
    // or characters when declared in CODEUNITS32 (character(n) counts those itself).
    case Kind::Char:
        base = "character(" + len + ")";
        if (!t.codeUnits32)
            check = "octet_length(rtrim(VALUE)) <= " + len;
        break;
    case Kind::VarChar:
    case Kind::LongVarChar:
    case Kind::Clob:
        base = "text";
        check = (t.codeUnits32 ? "char_length(VALUE) <= " : "octet_length(VALUE) <= ") + len;
        break;
    case Kind::Graphic: base = "character(" + len + ")"; break;
    case Kind::VarGraphic:
    case Kind::LongVarGraphic:
    case Kind::DbClob:
        base = "text";
        check = "char_length(VALUE) <= " + len;
        break;
    case Kind::Binary:
    case Kind::VarBinary:
    case Kind::LongVarBinary:
    case Kind::Blob:
        base = "bytea";
        check = "octet_length(VALUE) <= " + len;
        break;
    // PostgreSQL keeps microseconds only: longer fractions are stored as their text.
    case Kind::Timestamp: base = "text"; break;
    default: return "";
    }
    return "CREATE DOMAIN db2standin." + d + " AS " + base + (check.empty() ? "" : " CHECK (" + check + ")");
}

std::optional<TypeDesc> typeFromDomain(const std::string& domain)
{
    std::string name = domain;
    const size_t units = name.find("_cu32_");
    if (units != std::string::npos)
        name.erase(units, 5);
    size_t us = name.find('_');
    std::string base = name.substr(0, us);
    long long a = 0, b = 0;
    if (us != std::string::npos) {
        std::string rest = name.substr(us + 1);
        size_t us2 = rest.find('_');
        try {
            a = std::stoll(rest.substr(0, us2));
            if (us2 != std::string::npos)
                b = std::stoll(rest.substr(us2 + 1));
        } catch (...) {
            return std::nullopt;
        }
    }
    TypeDesc t;
    t.length = a;
    if (base == "numeric") {
        t.kind = Kind::Numeric;
        t.scale = static_cast<int>(b);
    } else if (base == "decfloat")
        t.kind = Kind::DecFloat;
    else if (base == "char")
        t.kind = Kind::Char;
    else if (base == "varchar")
        t.kind = Kind::VarChar;
    else if (base == "longvarchar") {
        t.kind = Kind::LongVarChar;
        t.length = 32700;
    } else if (base == "clob")
        t.kind = Kind::Clob;
    else if (base == "graphic")
        t.kind = Kind::Graphic;
    else if (base == "vargraphic")
        t.kind = Kind::VarGraphic;
    else if (base == "longvargraphic") {
        t.kind = Kind::LongVarGraphic;
        t.length = 16350;
    } else if (base == "dbclob")
        t.kind = Kind::DbClob;
    else if (base == "binary")
        t.kind = Kind::Binary;
    else if (base == "varbinary")
        t.kind = Kind::VarBinary;
    else if (base == "longvarbinary") {
        t.kind = Kind::LongVarBinary;
        t.length = 32700;
    } else if (base == "blob")
        t.kind = Kind::Blob;
    else if (base == "timestamp" || base == "timestampx") {
        t.kind = Kind::Timestamp;
        t.scale = static_cast<int>(a);
        t.length = 0;
    } else
        return std::nullopt;
    if (units != std::string::npos) {
        if (t.kind != Kind::Char && t.kind != Kind::VarChar && t.kind != Kind::Clob)
            return std::nullopt;
        t.codeUnits32 = true;
    }
    return t;
}

TypeDesc typeFromPg(unsigned oid, int typmod)
{
    TypeDesc t;
    switch (oid) {
    case 16: t.kind = Kind::Boolean; break;
    case 17:
        t.kind = Kind::VarBinary;
        t.length = 32672;
        break;
    case 20: t.kind = Kind::BigInt; break;
    case 21: t.kind = Kind::SmallInt; break;
    case 23:
    case 26: t.kind = Kind::Integer; break;
    case 700: t.kind = Kind::Real; break;
    case 701: t.kind = Kind::Double; break;
    case 1700:
        t.kind = Kind::Decimal;
        if (typmod >= 4) {
            t.length = ((typmod - 4) >> 16) & 0xffff;
            t.scale = (typmod - 4) & 0xffff;
        } else {
            t.length = 31;
            t.scale = 0;
            t.kind = Kind::DecFloat;
            t.length = 34;
        }
        break;
    case 1082: t.kind = Kind::Date; break;
    case 1083:
    case 1266: t.kind = Kind::Time; break;
    case 1114:
    case 1184:
        t.kind = Kind::Timestamp;
        t.scale = typmod >= 0 ? typmod : 6;
        break;
    case 142: t.kind = Kind::Xml; break;
    case 18:
        t.kind = Kind::Char;
        t.length = 1;
        break;
    case 19:
        t.kind = Kind::VarChar;
        t.length = 128;
        break;
    case 1042:
        t.kind = Kind::Char;
        t.length = typmod >= 4 ? typmod - 4 : 1;
        break;
    case 1043:
        t.kind = Kind::VarChar;
        t.length = typmod >= 4 ? typmod - 4 : 32672;
        break;
    default:
        t.kind = Kind::VarChar;
        t.length = 32672;
        break;
    }
    return t;
}

std::string db2TypeName(const TypeDesc& t)
{
    switch (t.kind) {
    case Kind::SmallInt: return "SMALLINT";
    case Kind::Integer: return "INTEGER";
    case Kind::BigInt: return "BIGINT";
    case Kind::Decimal: return "DECIMAL";
    case Kind::Numeric: return "NUMERIC";
    case Kind::Real: return "REAL";
    case Kind::Double: return "DOUBLE";
    case Kind::DecFloat: return "DECFLOAT";
    case Kind::Char: return "CHAR";
    case Kind::VarChar: return "VARCHAR";
    case Kind::LongVarChar: return "LONG VARCHAR";
    case Kind::Clob: return "CLOB";
    case Kind::Graphic: return "GRAPHIC";
    case Kind::VarGraphic: return "VARGRAPHIC";
    case Kind::LongVarGraphic: return "LONG VARGRAPHIC";
    case Kind::DbClob: return "DBCLOB";
    case Kind::Binary: return "BINARY";
    case Kind::VarBinary: return "VARBINARY";
    case Kind::LongVarBinary: return "LONG VARCHAR FOR BIT DATA";
    case Kind::Blob: return "BLOB";
    case Kind::Xml: return "XML";
    case Kind::Boolean: return "BOOLEAN";
    case Kind::Date: return "DATE";
    case Kind::Time: return "TIME";
    case Kind::Timestamp: return "TIMESTAMP";
    }
    return "VARCHAR";
}

namespace {
// A LOB column leaves a descriptor in the row whose size grows with the LOB's maximum length.
long long lobDescriptorBytes(long long maxLength)
{
    static const std::pair<long long, long long> sizes[]
        = {{1024, 68},       {8192, 92},       {65536, 116},      {524000, 140},    {4190000, 164},
           {134000000, 196}, {536000000, 220}, {1070000000, 252}, {1470000000, 276}};
    for (const auto& [upTo, bytes] : sizes)
        if (maxLength <= upTo)
            return bytes;
    return 312;
}
}  // namespace

long long rowBytes(const TypeDesc& t, bool nullable)
{
    long long n = 0;
    switch (t.kind) {
    case Kind::SmallInt: n = 2; break;
    case Kind::Integer:
    case Kind::Real:
    case Kind::Date: n = 4; break;
    case Kind::BigInt:
    case Kind::Double: n = 8; break;
    case Kind::Decimal:
    case Kind::Numeric: n = t.length / 2 + 1; break;
    case Kind::DecFloat: n = t.length == 16 ? 8 : 16; break;
    case Kind::Char:
    case Kind::Binary: n = t.lengthInBytes(); break;
    case Kind::VarChar:
    case Kind::VarBinary: n = t.lengthInBytes() + 4; break;
    case Kind::Graphic: n = t.length * 2; break;
    case Kind::VarGraphic: n = t.length * 2 + 4; break;
    case Kind::LongVarChar:
    case Kind::LongVarGraphic:
    case Kind::LongVarBinary: n = 24; break;
    case Kind::Clob:
    case Kind::Blob: n = lobDescriptorBytes(t.lengthInBytes()); break;
    case Kind::DbClob: n = lobDescriptorBytes(t.length * 2); break;
    case Kind::Xml: n = 84; break;
    case Kind::Boolean: n = 1; break;
    case Kind::Time: n = 3; break;
    case Kind::Timestamp: n = 7 + (t.scale + 1) / 2; break;
    }
    return n + (nullable ? 1 : 0);
}

// 4K: 4,005 bytes, 8K: 8,101, 16K: 16,293, 32K: 32,677.
long long rowLimit(long pageSize) { return pageSize - 91; }
int columnLimit(long pageSize) { return pageSize <= 4096 ? 500 : 1012; }

short odbcType(const TypeDesc& t, bool wide)
{
    switch (t.kind) {
    case Kind::SmallInt: return 5;
    case Kind::Integer: return 4;
    case Kind::BigInt: return -5;
    case Kind::Decimal: return 3;
    case Kind::Numeric: return 2;
    case Kind::Real: return 7;
    case Kind::Double: return 8;
    case Kind::DecFloat: return -360;
    case Kind::Char: return 1;
    case Kind::VarChar: return 12;
    case Kind::LongVarChar: return -1;
    case Kind::Clob: return -99;
    case Kind::Graphic: return wide ? -8 : -95;
    case Kind::VarGraphic: return wide ? -9 : -96;
    case Kind::LongVarGraphic: return wide ? -10 : -97;
    case Kind::DbClob: return -350;
    case Kind::Binary: return -2;
    case Kind::VarBinary: return -3;
    case Kind::LongVarBinary: return -4;
    case Kind::Blob: return -98;
    case Kind::Xml: return -370;
    // SQL_BIT, as IBM's CLI describes BOOLEAN unless told otherwise.
    case Kind::Boolean: return -7;
    case Kind::Date: return 91;
    case Kind::Time: return 92;
    case Kind::Timestamp: return 93;
    }
    return 12;
}

unsigned long columnSize(const TypeDesc& t)
{
    switch (t.kind) {
    case Kind::SmallInt: return 5;
    case Kind::Integer: return 10;
    case Kind::BigInt: return 19;
    case Kind::Real: return 24;
    case Kind::Double: return 53;
    case Kind::Boolean: return 1;
    case Kind::Date: return 10;
    case Kind::Time: return 8;
    case Kind::Timestamp: return t.scale > 0 ? 20 + t.scale : 19;
    case Kind::Xml: return 2147483647UL;
    // Character strings in CODEUNITS32 are described in bytes: the character
    // count shows only in SYSCAT.COLUMNS.
    default: return static_cast<unsigned long>(t.lengthInBytes());
    }
}

short decimalDigits(const TypeDesc& t)
{
    switch (t.kind) {
    case Kind::Decimal:
    case Kind::Numeric: return static_cast<short>(t.scale);
    case Kind::Timestamp: return static_cast<short>(t.scale);
    default: return 0;
    }
}

long octetLength(const TypeDesc& t)
{
    switch (t.kind) {
    case Kind::SmallInt: return 2;
    case Kind::Integer: return 4;
    case Kind::BigInt: return 8;
    case Kind::Real: return 4;
    case Kind::Double: return 8;
    case Kind::Decimal:
    case Kind::Numeric: return static_cast<long>(t.length + 2);
    case Kind::DecFloat: return t.length == 16 ? 8 : 16;
    case Kind::Graphic:
    case Kind::VarGraphic:
    case Kind::LongVarGraphic:
    case Kind::DbClob: return static_cast<long>(std::min<long long>(t.length * 2, 2147483647LL));
    case Kind::Boolean: return 1;
    case Kind::Date:
    case Kind::Time: return 6;
    case Kind::Timestamp: return 16;
    case Kind::Xml: return 2147483647L;
    default: return static_cast<long>(t.lengthInBytes());
    }
}

long displaySize(const TypeDesc& t)
{
    switch (t.kind) {
    case Kind::SmallInt: return 6;
    case Kind::Integer: return 11;
    case Kind::BigInt: return 20;
    case Kind::Real: return 14;
    case Kind::Double: return 24;
    case Kind::Decimal:
    case Kind::Numeric: return static_cast<long>(t.length + 2);
    case Kind::DecFloat: return t.length == 16 ? 23 : 42;
    case Kind::Binary:
    case Kind::VarBinary:
    case Kind::LongVarBinary:
    case Kind::Blob: return static_cast<long>(std::min<long long>(t.length * 2, 2147483647LL));
    default: return static_cast<long>(columnSize(t));
    }
}

void refuseNulInText(const char* data, size_t size)
{
    if (std::memchr(data, 0, size))
        raise("22021", -330,
              "SQL0330N  A string cannot be used, because it cannot be processed: the DB2 stand-in cannot "
              "store the character NUL (U+0000) in character data.");
}

std::string castForColumn(const TypeDesc& t, std::string value, const std::string& column)
{
    auto tooLong = [&]() -> std::string {
        raise("22001", -433,
              "SQL0433N  Value \"" + value.substr(0, 32) + (value.size() > 32 ? "..." : "") + "\" is too long.");
    };
    if (t.isNumeric()) {
        std::string v = trimBlanks(value);
        if (!validNumber(v))
            raise("22018", -420,
                  "SQL0420N  Invalid character found in a character string argument of the function \"" + db2TypeName(t)
                      + "\".");
        return v;
    }
    switch (t.kind) {
    case Kind::Char:
    case Kind::VarChar:
    case Kind::LongVarChar:
    case Kind::Clob:
    case Kind::Graphic:
    case Kind::VarGraphic:
    case Kind::LongVarGraphic:
    case Kind::DbClob: refuseNulInText(value.data(), value.size()); break;
    default: break;
    }
    switch (t.kind) {
    case Kind::Date: return normDate(trimBlanks(value));
    case Kind::Time: return normTime(trimBlanks(value));
    case Kind::Timestamp: {
        if (t.scale <= 6)
            return normTimestamp(trimBlanks(value));
        std::string v = normTimestamp(trimBlanks(value), static_cast<size_t>(t.scale));
        if (v.size() == 19)
            v += '.';
        v.resize(20 + static_cast<size_t>(t.scale), '0');
        return v;
    }
    case Kind::Boolean: {
        // IBM lists these strings in lower case and leaves open whether an
        // assignment takes them in any other: the stricter reading refuses 'True'.
        std::string v = trimBlanks(value);
        if (v == "t" || v == "true" || v == "y" || v == "yes" || v == "on" || v == "1")
            return "true";
        if (v == "f" || v == "false" || v == "n" || v == "no" || v == "off" || v == "0")
            return "false";
        if (validNumber(v) && v.find_first_of(".eE") == std::string::npos) {
            bool zero = v.find_first_not_of("+-0") == std::string::npos;
            return zero ? "false" : "true";
        }
        raise("22018", -420,
              "SQL0420N  Invalid character found in a character string argument of the function \"BOOLEAN\".");
    }
    case Kind::Char: {
        size_t e = value.size();
        while (e > 0 && value[e - 1] == ' ')
            --e;
        const size_t used = t.codeUnits32 ? utf8Chars(value.substr(0, e)) : e;
        if (static_cast<long long>(used) > t.length)
            tooLong();
        return value;
    }
    case Kind::VarChar:
    case Kind::LongVarChar:
    case Kind::Clob: {
        // Blanks are one byte and one character alike.
        const size_t size = t.codeUnits32 ? utf8Chars(value) : value.size();
        if (static_cast<long long>(size) > t.length) {
            // Trailing blanks beyond the length are cut as DB2 does for character strings.
            size_t e = value.size(), over = size - static_cast<size_t>(t.length);
            while (over > 0 && value[e - 1] == ' ')
                --e, --over;
            if (over > 0)
                tooLong();
            return value.substr(0, e);
        }
        return value;
    }
    case Kind::Graphic:
    case Kind::VarGraphic:
    case Kind::LongVarGraphic:
    case Kind::DbClob:
        if (static_cast<long long>(utf16Units(value)) > t.length)
            tooLong();
        return value;
    case Kind::Binary:
    case Kind::VarBinary:
    case Kind::LongVarBinary:
    case Kind::Blob:
        if (static_cast<long long>(value.size()) > t.length)
            tooLong();
        return "\\x" + bytesToHex(value);
    default: (void)column; return value;
    }
}

std::string bytesToHex(const std::string& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string r;
    r.resize(bytes.size() * 2);
    for (size_t k = 0; k < bytes.size(); ++k) {
        unsigned char c = bytes[k];
        r[2 * k] = digits[c >> 4];
        r[2 * k + 1] = digits[c & 15];
    }
    return r;
}

std::string pgByteaToBytes(const char* text, size_t len)
{
    std::string r;
    if (len >= 2 && text[0] == '\\' && text[1] == 'x') {
        r.resize((len - 2) / 2);
        auto hv = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
        for (size_t k = 0; k < r.size(); ++k)
            r[k] = static_cast<char>(hv(text[2 + 2 * k]) << 4 | hv(text[3 + 2 * k]));
        return r;
    }
    return std::string(text, len);
}

}  // namespace db2standin
