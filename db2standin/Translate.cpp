#include "Translate.h"

#include <algorithm>
#include <unordered_set>

namespace db2standin {

namespace {

// Words passed through as they are; every other unquoted word is an identifier
// and is folded to upper case as DB2 does.
const std::unordered_set<std::string>& keywords()
{
    static const std::unordered_set<std::string> k = {"SELECT",
                                                      "FROM",
                                                      "WHERE",
                                                      "AND",
                                                      "OR",
                                                      "NOT",
                                                      "NULL",
                                                      "IS",
                                                      "IN",
                                                      "LIKE",
                                                      "ESCAPE",
                                                      "BETWEEN",
                                                      "ORDER",
                                                      "BY",
                                                      "GROUP",
                                                      "HAVING",
                                                      "ASC",
                                                      "DESC",
                                                      "FETCH",
                                                      "FIRST",
                                                      "NEXT",
                                                      "ROWS",
                                                      "ROW",
                                                      "ONLY",
                                                      "LIMIT",
                                                      "OFFSET",
                                                      "AS",
                                                      "DISTINCT",
                                                      "ALL",
                                                      "UNION",
                                                      "EXCEPT",
                                                      "INTERSECT",
                                                      "JOIN",
                                                      "INNER",
                                                      "LEFT",
                                                      "RIGHT",
                                                      "OUTER",
                                                      "FULL",
                                                      "CROSS",
                                                      "ON",
                                                      "USING",
                                                      "CASE",
                                                      "WHEN",
                                                      "THEN",
                                                      "ELSE",
                                                      "END",
                                                      "INSERT",
                                                      "INTO",
                                                      "VALUES",
                                                      "UPDATE",
                                                      "SET",
                                                      "DELETE",
                                                      "CAST",
                                                      "TRUE",
                                                      "FALSE",
                                                      "EXISTS",
                                                      "WITH",
                                                      "CREATE",
                                                      "TABLE",
                                                      "VIEW",
                                                      "DROP",
                                                      "ALTER",
                                                      "ADD",
                                                      "COLUMN",
                                                      "PRIMARY",
                                                      "KEY",
                                                      "FOREIGN",
                                                      "REFERENCES",
                                                      "UNIQUE",
                                                      "CHECK",
                                                      "CONSTRAINT",
                                                      "DEFAULT",
                                                      "INDEX",
                                                      "ANY",
                                                      "SOME",
                                                      "NULLS",
                                                      "INTEGER",
                                                      "INT",
                                                      "SMALLINT",
                                                      "BIGINT",
                                                      "DECIMAL",
                                                      "DEC",
                                                      "NUMERIC",
                                                      "REAL",
                                                      "DOUBLE",
                                                      "PRECISION",
                                                      "FLOAT",
                                                      "CHAR",
                                                      "CHARACTER",
                                                      "VARCHAR",
                                                      "VARYING",
                                                      "DATE",
                                                      "TIME",
                                                      "TIMESTAMP",
                                                      "BOOLEAN",
                                                      "CURRENT_DATE",
                                                      "CURRENT_TIME",
                                                      "CURRENT_TIMESTAMP",
                                                      "CURRENT_SCHEMA",
                                                      "CURRENT_USER",
                                                      "SESSION_USER",
                                                      "USER",
                                                      "LOCALTIMESTAMP",
                                                      "LOCALTIME",
                                                      "TRUNCATE",
                                                      "CASCADE",
                                                      "RESTRICT",
                                                      "COMMIT",
                                                      "ROLLBACK",
                                                      "WORK",
                                                      "SAVEPOINT",
                                                      "RELEASE",
                                                      "TO",
                                                      "OVER",
                                                      "PARTITION",
                                                      "FOR",
                                                      "OF",
                                                      "RECURSIVE",
                                                      "NATURAL",
                                                      "INTERVAL",
                                                      "COUNT",
                                                      "SUM",
                                                      "MIN",
                                                      "MAX",
                                                      "AVG",
                                                      "COALESCE",
                                                      "NULLIF",
                                                      "UPPER",
                                                      "LOWER",
                                                      "TRIM",
                                                      "LENGTH",
                                                      "SUBSTR",
                                                      "SUBSTRING",
                                                      "ABS",
                                                      "MOD",
                                                      "ROUND",
                                                      "GRANT",
                                                      "REVOKE",
                                                      "PUBLIC",
                                                      "IF",
                                                      "ROLLUP",
                                                      "CUBE",
                                                      "LATERAL",
                                                      "XML",
                                                      "BINARY",
                                                      "VARBINARY",
                                                      "ROW_NUMBER",
                                                      "RANK",
                                                      "DENSE_RANK",
                                                      "LEADING",
                                                      "TRAILING",
                                                      "BOTH",
                                                      "POSITION",
                                                      "EXTRACT",
                                                      "YEAR",
                                                      "MONTH",
                                                      "DAY",
                                                      "HOUR",
                                                      "MINUTE",
                                                      "SECOND"};
    return k;
}

// After these words, "name(" is a table name with a column list, not a function call.
bool tableContext(const Token& prev)
{
    return prev.is("INTO") || prev.is("TABLE") || prev.is("VIEW") || prev.is("REFERENCES") || prev.is("UPDATE")
        || prev.is("ALIAS") || prev.is("KEY") || prev.is("UNIQUE");
}

size_t matchingParen(const std::vector<Token>& tk, size_t open);

struct Emitter {
    explicit Emitter(const std::vector<Token>& t) : tk(t) { }
    const std::vector<Token>& tk;
    int params = 0;
    std::vector<int> paramColumn;

    std::string ident(size_t i) const
    {
        const Token& t = tk[i];
        return quoteIdent(t.type == Token::QIdent ? t.text : t.upper());
    }

    // Emits tokens [from, to) as PostgreSQL text.
    std::string emit(size_t from, size_t to, bool topLevel = false)
    {
        std::string out;
        for (size_t i = from; i < to && tk[i].type != Token::End; ++i) {
            const Token& t = tk[i];
            const Token& prev = i > 0 ? tk[i - 1] : tk.back();
            const Token& next = tk[i + 1];
            std::string piece;
            switch (t.type) {
            case Token::QIdent: piece = quoteIdent(t.text); break;
            case Token::Str: piece = quoteLiteral(t.text); break;
            case Token::HexStr: piece = "'\\x" + t.text + "'::bytea"; break;
            case Token::Num: piece = t.text; break;
            case Token::Param:
                piece = "$" + std::to_string(++params);
                paramColumn.push_back(-1);
                break;
            case Token::Punct: piece = t.text; break;
            case Token::End: break;
            case Token::Word: {
                std::string up = t.upper();
                if (up == "CURRENT" && next.type == Token::Word) {
                    std::string w = next.upper();
                    const char* r = nullptr;
                    if (w == "SCHEMA" || w == "SQLID")
                        r = kCurrentSchemaSql;
                    else if (w == "DATE")
                        r = "CURRENT_DATE";
                    else if (w == "TIME")
                        r = "LOCALTIME(0)";
                    else if (w == "TIMESTAMP")
                        r = "LOCALTIMESTAMP";
                    else if (w == "SERVER")
                        r = "upper(current_database())";
                    else if (w == "USER")
                        r = "upper(current_user)";
                    if (r) {
                        piece = r;
                        ++i;
                        break;
                    }
                }
                if (up == "CURRENT_SCHEMA") {
                    piece = kCurrentSchemaSql;
                    break;
                }
                // COUNT answers INTEGER and overflows past 2^31 - 1 rows; COUNT_BIG
                // counts on and answers DECIMAL(31,0).
                if ((up == "COUNT" || up == "COUNT_BIG") && next.is("(") && !prev.is(".")) {
                    const size_t close = matchingParen(tk, i + 1);
                    piece = "CAST(count" + emit(i + 1, close + 1)
                        + (up == "COUNT" ? " AS integer)" : " AS numeric(31,0))");
                    i = close;
                    break;
                }
                if (up == "DOUBLE" && !next.is("PRECISION")) {
                    piece = "DOUBLE PRECISION";
                    break;
                }
                // DB2 isolation and cursor clauses that PostgreSQL does not know.
                if (topLevel && up == "WITH" && next.type == Token::Word && tk[i + 2].type == Token::End) {
                    std::string w = next.upper();
                    if (w == "UR" || w == "CS" || w == "RS" || w == "RR") {
                        ++i;
                        break;
                    }
                }
                if (topLevel && up == "FOR" && (next.is("READ") || next.is("FETCH")) && tk[i + 2].is("ONLY")) {
                    i += 2;
                    break;
                }
                bool qualified = prev.is(".") || next.is(".");
                bool call = next.is("(") && !tableContext(prev);
                if (!qualified && (call || keywords().count(up)))
                    piece = t.text;
                else
                    piece = ident(i);
                break;
            }
            }
            if (piece.empty())
                continue;
            bool glue
                = out.empty() || t.is(".") || prev.is(".") || t.is(",") || t.is(")") || prev.is("(") || t.is("::");
            if (!glue)
                out += ' ';
            out += piece;
        }
        return out;
    }
};

[[noreturn]] void raise(const std::string& state, int native, const std::string& text)
{
    throw SqlError {serverError(state, native, text)};
}

[[noreturn]] void syntax(const Token& t, const std::string& after)
{
    raise("42601", -104,
          "SQL0104N  An unexpected token \"" + t.text + "\" was found following \"" + after
              + "\".  Expected tokens may include:  \"<identifier>\".");
}

bool isName(const Token& t) { return t.type == Token::Word || t.type == Token::QIdent; }
std::string nameOf(const Token& t) { return t.type == Token::QIdent ? t.text : t.upper(); }

// [schema.]name at tk[i]
struct QName {
    std::string schema, name;
    bool explicitSchema = false;
    std::string quoted() const { return quoteIdent(schema) + "." + quoteIdent(name); }
    std::string display() const { return schema + "." + name; }
};

QName parseName(const std::vector<Token>& tk, size_t& i, Catalog& cat)
{
    if (!isName(tk[i]))
        syntax(tk[i], i > 0 ? tk[i - 1].text : "");
    QName q;
    q.name = nameOf(tk[i++]);
    if (tk[i].is(".") && isName(tk[i + 1])) {
        q.schema = q.name;
        q.name = nameOf(tk[i + 1]);
        q.explicitSchema = true;
        i += 2;
    } else {
        q.schema = cat.currentSchema();
    }
    return q;
}

std::string ensureSchema(const std::string& schema)
{
    return "DO $$BEGIN IF NOT EXISTS (SELECT 1 FROM pg_namespace WHERE nspname = " + quoteLiteral(schema)
        + ") THEN CREATE SCHEMA " + quoteIdent(schema)
        + "; END IF; EXCEPTION WHEN duplicate_schema OR unique_violation THEN NULL; END$$";
}

std::string ensureDomain(const std::string& ddl)
{
    return "DO $$BEGIN " + ddl + "; EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END$$";
}

size_t matchingParen(const std::vector<Token>& tk, size_t open)
{
    int depth = 0;
    for (size_t i = open; tk[i].type != Token::End; ++i) {
        if (tk[i].is("("))
            ++depth;
        else if (tk[i].is(")") && --depth == 0)
            return i;
    }
    syntax(tk.back(), tk[open].text);
}

// The end of the list element starting at p: the next comma outside parentheses, or close.
size_t elementEnd(const std::vector<Token>& tk, size_t p, size_t close)
{
    int depth = 0;
    for (; p < close && !(depth == 0 && tk[p].is(",")); ++p) {
        if (tk[p].is("("))
            ++depth;
        else if (tk[p].is(")"))
            --depth;
    }
    return p;
}

// The table must fit the pages of the one table space there is, as in a
// database created without options. With extended row size (DB2's default
// since 10.5) a row holding a VARCHAR or VARGRAPHIC may outgrow the page:
// varying-length values move out of the row as needed, so only the rest of
// the row (`fixedRow`) and the column count must fit the page.
void checkRowFits(long long row, long long fixedRow, bool movableColumns, int columnCount, Catalog& cat)
{
    const long page = cat.pageSize();
    const bool extended = cat.extendedRowSize() && movableColumns;
    const long long pageRow = extended ? fixedRow : row;
    if (columnCount > columnLimit(32768))
        raise("54011", -680, "SQL0680N  Too many columns were specified for a table, view, or table function.");
    if (extended ? row > kExtendedRowLimit : row > rowLimit(32768))
        raise("54010", -670,
              "SQL0670N  The statement failed because the row size of the resulting table would have exceeded "
              "the row size limit. Row size limit: \""
                  + std::to_string(extended ? kExtendedRowLimit : rowLimit(page))
                  + "\". Table space name: \"USERSPACE1\". Resulting row size: \"" + std::to_string(row) + "\".");
    if (pageRow <= rowLimit(page) && columnCount <= columnLimit(page))
        return;
    long needed = 4096;
    while (needed < 32768 && (pageRow > rowLimit(needed) || columnCount > columnLimit(needed)))
        needed *= 2;
    raise("42727", -286,
          "SQL0286N  A table space could not be found with a page size of at least \"" + std::to_string(needed)
              + "\" that authorization ID \"" + cat.authorizationId() + "\" is authorized to use.");
}

// The options of an identity column in PostgreSQL's words: DB2 also takes
// commas between them, NO CACHE and ORDER, which PostgreSQL does not.
std::string identityOptions(const std::vector<Token>& tk, size_t from, size_t to)
{
    const auto number = [&](size_t& k) {
        std::string n;
        if (k < to && (tk[k].is("-") || tk[k].is("+")))
            n += tk[k++].text;
        if (k >= to || tk[k].type != Token::Num)
            syntax(tk[k], tk[k - 1].text);
        return n + tk[k++].text;
    };
    std::string out;
    for (size_t i = from; i < to;) {
        if (tk[i].is(",")) {
            ++i;
        } else if ((tk[i].is("START") && tk[i + 1].is("WITH")) || (tk[i].is("INCREMENT") && tk[i + 1].is("BY"))) {
            const std::string words = tk[i].upper() + " " + tk[i + 1].upper();
            i += 2;
            out += " " + words + " " + number(i);
        } else if (tk[i].is("MINVALUE") || tk[i].is("MAXVALUE") || tk[i].is("CACHE")) {
            const std::string word = tk[i++].upper();
            out += " " + word + " " + number(i);
        } else if (tk[i].is("NO") && (tk[i + 1].is("MINVALUE") || tk[i + 1].is("MAXVALUE") || tk[i + 1].is("CYCLE"))) {
            out += " NO " + tk[i + 1].upper();
            i += 2;
        } else if (tk[i].is("NO") && tk[i + 1].is("CACHE")) {
            out += " CACHE 1";
            i += 2;
        } else if (tk[i].is("NO") && tk[i + 1].is("ORDER")) {
            i += 2;
        } else if (tk[i].is("ORDER") || tk[i].is("CYCLE")) {
            if (tk[i].is("CYCLE"))
                out += " CYCLE";
            ++i;
        } else {
            syntax(tk[i], tk[i - 1].text);
        }
    }
    return out.empty() ? "" : " (" + out.substr(1) + ")";
}

// A row change timestamp takes the time of the insert as its default; this
// trigger gives it the time of each update, and refuses an update that sets
// a GENERATED ALWAYS one. Its arguments name the column and say whether it is
// GENERATED ALWAYS (A) or BY DEFAULT (D).
const char* kRowChangeTrigger = "db2standin_row_change_timestamp";
const char* kRowChangeFunction
    = "DO $$BEGIN CREATE FUNCTION db2standin.row_change_timestamp() RETURNS trigger LANGUAGE plpgsql AS $f$BEGIN"
      " IF TG_ARGV[1] = 'A' AND to_jsonb(NEW) -> TG_ARGV[0] IS DISTINCT FROM to_jsonb(OLD) -> TG_ARGV[0] THEN"
      " RAISE EXCEPTION USING ERRCODE = '428C9', MESSAGE = format('column \"%s\" can only be updated to DEFAULT',"
      " TG_ARGV[0]); END IF;"
      " NEW := jsonb_populate_record(NEW, jsonb_build_object(TG_ARGV[0], LOCALTIMESTAMP)); RETURN NEW; END$f$;"
      " EXCEPTION WHEN duplicate_function OR unique_violation THEN NULL; END$$";

// DB2's GENERATED clause of a column, at tk[r] ("GENERATED"), as PostgreSQL
// writes it: an identity (ALWAYS or BY DEFAULT, with its options), an
// expression (stored, as DB2 stores it) or a row change timestamp (then
// `rowChange` is 'A' or 'D'). Moves r past the clause.
std::string generatedClause(const std::vector<Token>& tk, size_t& r, Emitter& em, const TypeDesc& type, char& rowChange)
{
    ++r;
    bool always = true;
    if (tk[r].is("ALWAYS")) {
        ++r;
    } else if (tk[r].is("BY") && tk[r + 1].is("DEFAULT")) {
        always = false;
        r += 2;
    }
    if (tk[r].is("AS") && tk[r + 1].is("IDENTITY")) {
        r += 2;
        std::string options;
        if (tk[r].is("(")) {
            const size_t close = matchingParen(tk, r);
            options = identityOptions(tk, r + 1, close);
            r = close + 1;
        }
        return std::string("GENERATED ") + (always ? "ALWAYS" : "BY DEFAULT") + " AS IDENTITY" + options;
    }
    if (always && tk[r].is("AS") && tk[r + 1].is("(")) {
        const size_t close = matchingParen(tk, r + 1);
        const std::string expression = em.emit(r + 2, close);
        r = close + 1;
        return "GENERATED ALWAYS AS (" + expression + ") STORED";
    }
    for (const char* word : {"FOR", "EACH", "ROW", "ON", "UPDATE", "AS", "ROW", "CHANGE", "TIMESTAMP"}) {
        if (!tk[r].is(word))
            syntax(tk[r], tk[r - 1].text);
        ++r;
    }
    if (type.kind != Kind::Timestamp)
        syntax(tk[r - 1], "CHANGE");
    rowChange = always ? 'A' : 'D';
    return "DEFAULT LOCALTIMESTAMP";
}

Translated createTable(const std::vector<Token>& tk, size_t i, Catalog& cat)
{
    Translated tr;
    tr.kind = Translated::Ddl;
    QName q = parseName(tk, i, cat);
    if (!tk[i].is("("))
        syntax(tk[i], q.name);
    size_t close = matchingParen(tk, i);
    Emitter em {tk};
    std::vector<std::string> elems;
    std::vector<std::string> domains;
    std::vector<ColumnInfo> declared;
    std::vector<std::string> keyColumns;
    // The column names of "PRIMARY KEY (a, b)" within [from, to).
    auto primaryKeyNames = [&](size_t from, size_t to) {
        for (size_t r = from; r + 2 < to; ++r)
            if (tk[r].is("PRIMARY") && tk[r + 1].is("KEY")) {
                if (!tk[r + 2].is("("))
                    return true;  // inline: the column itself
                for (size_t n = r + 3; n < to && !tk[n].is(")"); ++n)
                    if (isName(tk[n]))
                        keyColumns.push_back(nameOf(tk[n]));
                return false;
            }
        return false;
    };
    long long row = 0, fixedRow = 0;
    bool varyingText = false;
    int columnCount = 0;
    int identities = 0, rowChanges = 0;
    size_t p = i + 1;
    while (p < close) {
        size_t e = elementEnd(tk, p, close);
        const Token& first = tk[p];
        bool constraint = first.type == Token::Word
            && (first.is("PRIMARY") || first.is("UNIQUE") || first.is("CONSTRAINT") || first.is("FOREIGN")
                || first.is("CHECK"));
        if (constraint) {
            primaryKeyNames(p, e);
            elems.push_back(em.emit(p, e));
        } else {
            if (!isName(first))
                syntax(first, "(");
            std::string col = nameOf(first);
            size_t k = p + 1;
            TypeDesc t = parseDb2Type(tk, k, col, cat.unicodeDatabase());
            bool notNull = false;
            for (size_t r = k; r + 1 < e; ++r)
                notNull = notNull || (tk[r].is("NOT") && tk[r + 1].is("NULL"))
                    || (tk[r].is("AS") && tk[r + 1].is("IDENTITY"));  // an identity is NOT NULL
            row += rowBytes(t, !notNull);
            const bool movable = t.kind == Kind::VarChar || t.kind == Kind::VarGraphic || t.kind == Kind::VarBinary;
            if (!movable)
                fixedRow += rowBytes(t, !notNull);
            varyingText = varyingText || t.kind == Kind::VarChar || t.kind == Kind::VarGraphic;
            ++columnCount;
            std::string ddl = pgDomainDdl(t);
            if (!ddl.empty())
                tr.prepare.push_back(ensureDomain(ddl));
            std::string rest;
            // "WITH DEFAULT [value]" is DB2's form of DEFAULT.
            size_t r = k;
            std::string opts;
            char rowChange = 0;
            const auto clauseStart
                = [&](size_t at) { return (tk[at].is("WITH") && tk[at + 1].is("DEFAULT")) || tk[at].is("GENERATED"); };
            while (r < e) {
                if (tk[r].is("GENERATED")) {
                    const std::string clause = generatedClause(tk, r, em, t, rowChange);
                    identities += clause.find(" AS IDENTITY") != std::string::npos;
                    rowChanges += rowChange != 0;
                    if (identities > 1 || rowChanges > 1)
                        raise("428C1", -372,
                              "SQL0372N  A column with data type or attribute ROWID, IDENTITY, security label, or "
                              "row change timestamp can only be specified once for a table.");
                    opts += " " + clause;
                    continue;
                }
                if (tk[r].is("WITH") && tk[r + 1].is("DEFAULT")) {
                    ++r;
                    if (r + 1 >= e || tk[r + 1].is("NOT") || tk[r + 1].is("PRIMARY") || tk[r + 1].is("UNIQUE")) {
                        // Default of the type: zero, blanks or the current date/time.
                        const char* def = t.isNumeric() ? "0"
                            : t.kind == Kind::Date      ? "CURRENT_DATE"
                            : t.kind == Kind::Time      ? "LOCALTIME(0)"
                            : t.kind == Kind::Timestamp ? "LOCALTIMESTAMP"
                            : t.isBinary()              ? "''::bytea"
                                                        : "''";
                        opts += std::string(" DEFAULT ") + def;
                        ++r;
                        continue;
                    }
                }
                size_t s = r;
                while (r < e && !clauseStart(r))
                    ++r;
                opts += " " + em.emit(s, r);
            }
            if (r > e)
                syntax(tk[e], tk[e - 1].text);
            if (rowChange) {
                tr.prepare.push_back(kRowChangeFunction);
                tr.after.push_back(std::string("CREATE TRIGGER ") + kRowChangeTrigger + " BEFORE UPDATE ON "
                                   + q.quoted() + " FOR EACH ROW EXECUTE FUNCTION db2standin.row_change_timestamp("
                                   + quoteLiteral(col) + ", '" + rowChange + "')");
            }
            elems.push_back(quoteIdent(col) + " " + pgColumnType(t) + opts);
            if (primaryKeyNames(k, e + 1))
                keyColumns.push_back(col);
            declared.push_back(ColumnInfo {col, t, notNull});
        }
        p = e + 1;
    }
    // DB2 keys NOT NULL columns only, and no LOB, LONG or XML column.
    for (const std::string& key : keyColumns) {
        for (const ColumnInfo& c : declared) {
            if (c.name != key)
                continue;
            const Kind k = c.type.kind;
            if (k == Kind::LongVarChar || k == Kind::Clob || k == Kind::LongVarGraphic || k == Kind::DbClob
                || k == Kind::LongVarBinary || k == Kind::Blob || k == Kind::Xml)
                raise("42962", -350,
                      "SQL0350N  The LOB, LONG VARCHAR, LONG VARGRAPHIC, or XML column \"" + key
                          + "\" was used in a context where it is not permitted.");
            if (!c.notNull)
                raise("42831", -542,
                      "SQL0542N  The column named \"" + key
                          + "\" cannot be a column of a primary key or unique key constraint because it can contain "
                            "null values.");
        }
    }
    checkRowFits(row, fixedRow, varyingText, columnCount, cat);
    // Like DB2, a table in a schema not there yet (named, or the current one
    // set by SET SCHEMA) creates the schema; only the login's own exists from the start.
    if (q.explicitSchema || q.schema != cat.authorizationId())
        tr.prepare.insert(tr.prepare.begin(), ensureSchema(q.schema));
    std::string sql = "CREATE TABLE " + q.quoted() + " (";
    for (size_t k = 0; k < elems.size(); ++k)
        sql += (k ? ", " : "") + elems[k];
    sql += ")";
    tr.sql = sql;
    tr.schema = q.schema;
    tr.name = q.name;
    return tr;
}

Translated insert(const std::vector<Token>& tk, size_t i, Catalog& cat, const std::string& original)
{
    size_t start = i;
    QName q = parseName(tk, i, cat);
    std::vector<std::string> names;
    if (tk[i].is("(")) {
        ++i;
        while (!tk[i].is(")")) {
            if (!isName(tk[i]))
                syntax(tk[i], "(");
            names.push_back(nameOf(tk[i++]));
            if (tk[i].is(","))
                ++i;
            else if (!tk[i].is(")"))
                syntax(tk[i], names.back());
        }
        ++i;
    }
    Translated tr;
    tr.kind = Translated::Insert;
    tr.schema = q.schema;
    tr.name = q.name;
    tr.table = q.quoted();
    if (!tk[i].is("VALUES")) {
        // INSERT ... SELECT and the like: plain translation, but a value for
        // a column the table computes is refused as DB2 refuses it.
        if (auto cols = cat.columns(q.schema, q.name))
            for (const ColumnInfo& c : *cols)
                if (c.generatedAlways
                    && (names.empty() || std::find(names.begin(), names.end(), c.name) != names.end()))
                    throw SqlError {generatedAlwaysError(c.name)};
        Emitter em {tk};
        tr.kind = Translated::Other;
        tr.sql = "INSERT INTO " + em.emit(start, tk.size(), true);
        tr.paramCount = em.params;
        tr.paramColumn = em.paramColumn;
        return tr;
    }
    ++i;
    auto cols = cat.columns(q.schema, q.name);
    if (!cols)
        raise("42704", -204, "SQL0204N  \"" + q.display() + "\" is an undefined name.");
    std::vector<ColumnInfo> target;
    if (names.empty())
        target = *cols;
    for (const auto& n : names) {
        bool found = false;
        for (const auto& c : *cols)
            if (c.name == n) {
                target.push_back(c);
                found = true;
                break;
            }
        if (!found)
            raise("42703", -206, "SQL0206N  \"" + n + "\" is not valid in the context where it is used.");
    }
    tr.columns = target;
    Emitter em {tk};
    std::string rows;
    size_t rowCount = 0;
    bool onlyParams = true;
    while (tk[i].is("(")) {
        size_t close = matchingParen(tk, i);
        size_t p = i + 1;
        size_t col = 0;
        std::string row;
        while (p < close) {
            size_t e = elementEnd(tk, p, close);
            if (col >= target.size())
                raise("42802", -117,
                      "SQL0117N  The number of values assigned is not the same as the number of specified or implied "
                      "columns or variables.");
            const TypeDesc& t = target[col].type;
            std::string v;
            if (target[col].generatedAlways && !(e == p + 1 && tk[p].is("DEFAULT")))
                throw SqlError {generatedAlwaysError(target[col].name)};
            if (e == p + 1 && tk[p].type == Token::Str) {
                v = quoteLiteral(castForColumn(t, tk[p].text, target[col].name));
                onlyParams = false;
            } else if (e == p + 1 && tk[p].type == Token::HexStr) {
                if (!t.isBinary())
                    onlyParams = false;
                std::string bytes = pgByteaToBytes(("\\x" + tk[p].text).c_str(), tk[p].text.size() + 2);
                v = t.isBinary() ? quoteLiteral(castForColumn(t, bytes, target[col].name)) : em.emit(p, e);
                onlyParams = false;
            } else if (e == p + 1 && tk[p].type == Token::Param) {
                v = "$" + std::to_string(++em.params);
                em.paramColumn.push_back(static_cast<int>(col));
            } else if (t.kind == Kind::Boolean && (tk[p].type == Token::Num || (tk[p].is("-") && e == p + 2))) {
                std::string num;
                for (size_t k = p; k < e; ++k)
                    num += tk[k].text;
                v = quoteLiteral(castForColumn(t, num, target[col].name));
                onlyParams = false;
            } else {
                v = em.emit(p, e);
                onlyParams = false;
            }
            row += (col ? ", " : "") + v;
            ++col;
            p = e + 1;
        }
        if (col != target.size())
            raise("42802", -117,
                  "SQL0117N  The number of values assigned is not the same as the number of specified or implied "
                  "columns or variables.");
        rows += (rowCount++ ? ", (" : "(") + row + ")";
        i = close + 1;
        if (tk[i].is(","))
            ++i;
    }
    if (tk[i].type != Token::End)
        syntax(tk[i], original.substr(0, 20));
    std::string collist;
    for (size_t k = 0; k < target.size(); ++k)
        collist += (k ? ", " : "") + quoteIdent(target[k].name);
    tr.sql = "INSERT INTO " + tr.table + " (" + collist + ") VALUES " + rows;
    tr.paramCount = em.params;
    tr.paramColumn = em.paramColumn;
    tr.onlyParams = onlyParams && rowCount == 1;
    return tr;
}

// Tokens written out again as DB2 text, for a statement inside another one.
std::string tokensText(const std::vector<Token>& tk, size_t from, size_t to)
{
    std::string text;
    for (size_t i = from; i < to && tk[i].type != Token::End; ++i) {
        const Token& t = tk[i];
        const std::string piece = t.type == Token::QIdent ? quoteIdent(t.text)
            : t.type == Token::Str                        ? quoteLiteral(t.text)
            : t.type == Token::HexStr                     ? "X'" + t.text + "'"
            : t.type == Token::Param                      ? "?"
                                                          : t.text;
        text += (text.empty() ? "" : " ") + piece;
    }
    return text;
}

// The tables a statement names after INTO, FROM, JOIN and UPDATE.
std::vector<QName> tablesUsed(const std::vector<Token>& tk, size_t from, size_t to, Catalog& cat)
{
    std::vector<QName> used;
    for (size_t i = from; i + 1 < to; ++i)
        if ((tk[i].is("INTO") || tk[i].is("FROM") || tk[i].is("JOIN") || tk[i].is("UPDATE")) && isName(tk[i + 1])
            && !tk[i + 2].is("(")) {
            size_t p = i + 1;
            used.push_back(parseName(tk, p, cat));
        }
    return used;
}

// SIGNAL SQLSTATE [VALUE] 'state' [SET MESSAGE_TEXT = 'text'] in a
// trigger: an exception with that SQLSTATE, marked as a SIGNAL's.
std::string signalSql(const std::vector<Token>& tk, size_t i, size_t stop)
{
    if (!tk[++i].is("SQLSTATE"))
        syntax(tk[i], "SIGNAL");
    if (tk[++i].is("VALUE"))
        ++i;
    if (tk[i].type != Token::Str || tk[i].text.size() != 5)
        syntax(tk[i], "SQLSTATE");
    const std::string state = tk[i++].text;
    std::string text;
    if (i < stop) {
        if (!tk[i].is("SET") || !tk[i + 1].is("MESSAGE_TEXT") || !tk[i + 2].is("=") || tk[i + 3].type != Token::Str)
            syntax(tk[i], state);
        text = tk[i + 3].text;
        i += 4;
    }
    if (i < stop)
        syntax(tk[i], text);
    return "RAISE EXCEPTION USING ERRCODE = " + quoteLiteral(state) + ", MESSAGE = " + quoteLiteral(text)
        + ", DETAIL = " + quoteLiteral(kSignalDetail) + "; ";
}

// CREATE TRIGGER name {NO CASCADE BEFORE | BEFORE | AFTER | INSTEAD OF}
// {INSERT | DELETE | UPDATE [OF columns]} ON table [REFERENCING {OLD | NEW}
// [ROW] [AS] name ...] [FOR EACH {ROW | STATEMENT}] [MODE DB2SQL]
// [WHEN (condition)] {statement | BEGIN ATOMIC statement; ... END}: a
// PL/pgSQL function (name$TRIGGER in the trigger's schema) run by a
// PostgreSQL trigger. The tables its statements use are recorded for
// SYSCAT.TRIGDEP.
Translated createTrigger(const std::vector<Token>& tk, size_t i, Catalog& cat)
{
    Translated tr;
    tr.kind = Translated::Ddl;
    const QName trigger = parseName(tk, i, cat);
    if (tk[i].is("NO") && tk[i + 1].is("CASCADE"))
        i += 2;
    std::string timing;
    if (tk[i].is("BEFORE") || tk[i].is("AFTER"))
        timing = tk[i++].upper();
    else if (tk[i].is("INSTEAD") && tk[i + 1].is("OF"))
        timing = "INSTEAD OF", i += 2;
    else
        syntax(tk[i], trigger.name);
    std::string event;
    if (tk[i].is("INSERT") || tk[i].is("DELETE") || tk[i].is("UPDATE"))
        event = tk[i++].upper();
    else
        syntax(tk[i], timing);
    if (event == "UPDATE" && tk[i].is("OF")) {
        event += " OF ";
        for (++i; isName(tk[i]); ++i) {
            event += quoteIdent(nameOf(tk[i]));
            if (!tk[i + 1].is(","))
                break;
            event += ", ";
            ++i;
        }
        ++i;
    }
    if (!tk[i].is("ON"))
        syntax(tk[i], event);
    ++i;
    const QName table = parseName(tk, i, cat);
    std::string aliases;
    if (tk[i].is("REFERENCING"))
        for (++i; tk[i].is("OLD") || tk[i].is("NEW");) {
            const bool old = tk[i++].is("OLD");
            if (tk[i].is("TABLE"))  // transition tables are not taken
                syntax(tk[i], old ? "OLD" : "NEW");
            if (tk[i].is("ROW"))
                ++i;
            if (tk[i].is("AS"))
                ++i;
            if (!isName(tk[i]))
                syntax(tk[i], old ? "OLD" : "NEW");
            aliases += quoteIdent(nameOf(tk[i++])) + (old ? " ALIAS FOR old; " : " ALIAS FOR new; ");
        }
    bool eachRow = false;
    if (tk[i].is("FOR") && tk[i + 1].is("EACH") && (tk[i + 2].is("ROW") || tk[i + 2].is("STATEMENT"))) {
        eachRow = tk[i + 2].is("ROW");
        i += 3;
    }
    if (tk[i].is("MODE") && tk[i + 1].is("DB2SQL"))
        i += 2;
    const std::string giveBack = "IF TG_OP = 'DELETE' THEN RETURN old; END IF; RETURN new;";
    std::string body;
    if (tk[i].is("WHEN")) {
        if (!tk[i + 1].is("("))
            syntax(tk[i + 1], "WHEN");
        const size_t close = matchingParen(tk, i + 1);
        Emitter em {tk};
        body += "IF NOT coalesce(" + em.emit(i + 1, close + 1) + ", false) THEN " + giveBack + " END IF; ";
        i = close + 1;
    }
    size_t end = tk.size() - 1;
    const bool atomic = tk[i].is("BEGIN") && tk[i + 1].is("ATOMIC");
    if (atomic) {
        if (!tk[end - 1].is("END"))
            syntax(tk[end - 1], "ATOMIC");
        i += 2;
        --end;
    }
    std::vector<QName> used;
    while (i < end) {
        size_t stop = i;
        for (int depth = 0; stop < end && !(depth == 0 && tk[stop].is(";")); ++stop)
            depth += tk[stop].is("(") ? 1 : tk[stop].is(")") ? -1 : 0;
        if (stop > i && tk[i].is("SET")) {  // SET N.COLUMN = value: an assignment to the new row
            Emitter em {tk};
            body += em.emit(i + 1, stop) + "; ";
        } else if (stop > i && tk[i].is("SIGNAL")) {
            body += signalSql(tk, i, stop);
        } else if (stop > i) {
            body += translate(tokensText(tk, i, stop), cat).sql + "; ";
            const auto tables = tablesUsed(tk, i, stop, cat);
            used.insert(used.end(), tables.begin(), tables.end());
        }
        i = stop + 1;
    }
    if (body.empty())
        syntax(tk[end], trigger.name);
    const std::string function = quoteIdent(trigger.schema) + "." + quoteIdent(trigger.name + "$TRIGGER");
    tr.schema = trigger.schema;
    tr.name = trigger.name;
    // A trigger's name is unique in its schema; the function of one that went
    // with its table is replaced.
    tr.sql = "DO $db2trigger$BEGIN IF EXISTS (SELECT 1 FROM pg_trigger g JOIN pg_class c ON c.oid = g.tgrelid"
             " JOIN pg_namespace ns ON ns.oid = c.relnamespace WHERE ns.nspname = "
        + quoteLiteral(trigger.schema) + " AND g.tgname = " + quoteLiteral(trigger.name)
        + " AND NOT g.tgisinternal) THEN RAISE EXCEPTION 'trigger exists' USING ERRCODE = '42710'; END IF;"
          " END$db2trigger$; CREATE OR REPLACE FUNCTION "
        + function + "() RETURNS trigger LANGUAGE plpgsql AS $db2trigger$ "
        + (aliases.empty() ? "" : "DECLARE " + aliases) + "BEGIN " + body + giveBack + " END $db2trigger$; "
        + "CREATE TRIGGER " + quoteIdent(trigger.name) + " " + timing + " " + event + " ON " + table.quoted()
        + (eachRow ? " FOR EACH ROW" : " FOR EACH STATEMENT") + " EXECUTE FUNCTION " + function + "()";
    tr.after.push_back("DELETE FROM db2standin.trigger_uses WHERE schema = " + quoteLiteral(trigger.schema)
                       + " AND name = " + quoteLiteral(trigger.name));
    for (const QName& table : used)
        tr.after.push_back("INSERT INTO db2standin.trigger_uses VALUES (" + quoteLiteral(trigger.schema) + ", "
                           + quoteLiteral(trigger.name) + ", " + quoteLiteral(table.schema) + ", "
                           + quoteLiteral(table.name) + ")");
    return tr;
}

// CREATE FUNCTION name () RETURNS type [LANGUAGE SQL] [options] RETURN
// expression or fullselect: an SQL function without parameters whose body
// PostgreSQL parses at once, so that the tables it uses are recorded (as
// SYSCAT.ROUTINEDEP shows them).
Translated createFunction(const std::vector<Token>& tk, size_t i, Catalog& cat)
{
    Translated tr;
    tr.kind = Translated::Ddl;
    const QName function = parseName(tk, i, cat);
    if (!tk[i].is("(") || !tk[i + 1].is(")"))
        syntax(tk[i], function.name);  // the stand-in takes functions without parameters
    i += 2;
    if (!tk[i].is("RETURNS"))
        syntax(tk[i], ")");
    const size_t typeFrom = ++i;
    while (tk[i].type != Token::End && !tk[i].is("LANGUAGE") && !tk[i].is("RETURN") && !tk[i].is("READS")
           && !tk[i].is("CONTAINS") && !tk[i].is("NO") && !tk[i].is("DETERMINISTIC") && !tk[i].is("NOT")
           && !tk[i].is("EXTERNAL"))
        ++i;
    Emitter em {tk};
    const std::string type = em.emit(typeFrom, i);
    while (tk[i].type != Token::End && !tk[i].is("RETURN"))
        ++i;  // LANGUAGE SQL, READS SQL DATA, DETERMINISTIC, NO EXTERNAL ACTION and the like
    if (!tk[i].is("RETURN") || tk[i + 1].type == Token::End)
        syntax(tk[i], type);
    const size_t end = tk.size() - 1;
    const std::string body = tk[i + 1].is("SELECT") || tk[i + 1].is("WITH")
        ? translate(tokensText(tk, i + 1, end), cat).sql
        : em.emit(i + 1, end);
    if (function.explicitSchema)
        tr.prepare.push_back(ensureSchema(function.schema));
    tr.schema = function.schema;
    tr.name = function.name;
    tr.sql = "CREATE FUNCTION " + function.quoted() + "() RETURNS " + type + " LANGUAGE sql STABLE RETURN (" + body
        + ")";
    return tr;
}

// DROP TRIGGER name: its table is looked up, as DB2 names a trigger by its schema alone.
Translated dropTrigger(const std::vector<Token>& tk, size_t i, Catalog& cat)
{
    Translated tr;
    tr.kind = Translated::Ddl;
    const QName trigger = parseName(tk, i, cat);
    if (tk[i].type != Token::End)
        syntax(tk[i], trigger.name);
    const std::string s = quoteLiteral(trigger.schema), n = quoteLiteral(trigger.name);
    tr.sql = "DO $db2drop$DECLARE t oid; BEGIN SELECT g.tgrelid INTO t FROM pg_trigger g JOIN pg_class c ON c.oid = "
             "g.tgrelid JOIN pg_namespace ns ON ns.oid = c.relnamespace WHERE ns.nspname = "
        + s + " AND g.tgname = " + n + " AND NOT g.tgisinternal; IF t IS NULL THEN RAISE EXCEPTION '%.%', " + s + ", "
        + n + " USING ERRCODE = '42704'; END IF; EXECUTE format('DROP TRIGGER %I ON %s', " + n
        + ", t::regclass); EXECUTE format('DROP FUNCTION IF EXISTS %I.%I()', " + s + ", " + n
        + " || '$TRIGGER'); DELETE FROM db2standin.trigger_uses WHERE schema = " + s + " AND name = " + n
        + "; END$db2drop$";
    return tr;
}

}  // namespace

Diag generatedAlwaysError(const std::string& column)
{
    return serverError("428C9", -798,
                       "SQL0798N  A value cannot be specified for column \"" + column
                           + "\" which is defined as GENERATED ALWAYS.");
}

// The tables after FROM and JOIN (and the commas of a FROM list), for the
// locks an isolation of RR takes; catalog views take none here.
void readTablesAndIsolation(const std::vector<Token>& tk, Catalog& cat, Translated& tr)
{
    const size_t end = tk.size() - 1;
    if (end >= 2 && tk[end - 2].is("WITH") && tk[end - 1].type == Token::Word) {
        const std::string w = tk[end - 1].upper();
        if (w == "UR" || w == "CS" || w == "RS" || w == "RR")
            tr.isolation = w;
    }
    for (size_t i = 0; i < end; ++i) {
        if (!tk[i].is("FROM") && !tk[i].is("JOIN"))
            continue;
        size_t p = i + 1;
        while (p < end && isName(tk[p]) && !tk[p + 1].is("(")) {
            const QName q = parseName(tk, p, cat);
            const std::string schema = upperAscii(q.schema);
            if (schema.rfind("SYS", 0) != 0)
                tr.readTables.push_back(q.quoted());
            if (tk[p].is("AS"))
                ++p;
            if (isName(tk[p]) && !keywords().count(tk[p].upper()))
                ++p;  // a correlation name
            if (!tk[p].is(",") || !tk[i].is("FROM"))
                break;
            ++p;
        }
    }
}

Translated translate(const std::string& sql, Catalog& cat)
{
    std::vector<Token> tk = tokenize(sql);
    Translated tr;
    if (tk[0].type == Token::End)
        raise("42617", -198,
              "SQL0198N  The statement string of the PREPARE or EXECUTE IMMEDIATE statement is blank or empty.");
    // A trailing ';' is harmless.
    if (tk.size() >= 2 && tk[tk.size() - 2].is(";")) {
        tk.erase(tk.end() - 2);
    }
    const Token& t0 = tk[0];
    if (t0.is("CREATE") && tk[1].is("TABLE"))
        return createTable(tk, 2, cat);
    if (t0.is("INSERT") && tk[1].is("INTO"))
        return insert(tk, 2, cat, sql);
    if (t0.is("DROP") && tk[1].is("TABLE")) {
        size_t i = 2;
        QName q = parseName(tk, i, cat);
        if (tk[i].type != Token::End)
            syntax(tk[i], q.name);
        tr.kind = Translated::DropTable;
        tr.schema = q.schema;
        tr.name = q.name;
        // Foreign keys that reference it go; its views stay, inoperative.
        tr.sql = "DO $db2drop$BEGIN PERFORM db2standin.drop_table(" + quoteLiteral(q.schema) + ", "
            + quoteLiteral(q.name) + "); END$db2drop$";
        return tr;
    }
    if (t0.is("CREATE") && tk[1].is("TRIGGER"))
        return createTrigger(tk, 2, cat);
    if (t0.is("CREATE") && tk[1].is("OR") && tk[2].is("REPLACE") && tk[3].is("TRIGGER"))
        syntax(tk[1], "CREATE");  // the stand-in takes only new triggers
    if (t0.is("DROP") && tk[1].is("TRIGGER"))
        return dropTrigger(tk, 2, cat);
    if (t0.is("CREATE") && tk[1].is("FUNCTION"))
        return createFunction(tk, 2, cat);
    if (t0.is("RENAME")) {
        size_t i = tk[1].is("TABLE") ? 2 : 1;
        QName from = parseName(tk, i, cat);
        if (!tk[i].is("TO") || !isName(tk[i + 1]))
            syntax(tk[i], from.name);
        std::string to = nameOf(tk[i + 1]);
        if (tk[i + 2].type != Token::End)
            syntax(tk[i + 2], to);
        tr.kind = Translated::Rename;
        tr.schema = from.schema;
        tr.name = from.name;
        tr.newName = to;
        // Refused (SQL0750N) for a table in a referential constraint or one that
        // views, triggers or SQL functions use.
        tr.sql = "DO $db2rename$BEGIN PERFORM db2standin.rename_table(" + quoteLiteral(from.schema) + ", "
            + quoteLiteral(from.name) + ", " + quoteLiteral(to) + "); END$db2rename$";
        return tr;
    }
    if (t0.is("CREATE") && (tk[1].is("ALIAS") || (tk[1].is("PUBLIC") && tk[2].is("ALIAS")))) {
        size_t i = tk[1].is("ALIAS") ? 2 : 3;
        QName a = parseName(tk, i, cat);
        if (!tk[i].is("FOR"))
            syntax(tk[i], a.name);
        ++i;
        if (tk[i].is("TABLE"))
            ++i;
        QName target = parseName(tk, i, cat);
        tr.kind = Translated::CreateAlias;
        tr.schema = a.schema;
        tr.name = a.name;
        if (a.explicitSchema)
            tr.prepare.push_back(ensureSchema(a.schema));
        // The alias is a view so that selecting from it works; the alias table says what it is.
        tr.sql = "CREATE VIEW " + a.quoted() + " AS SELECT * FROM " + target.quoted();
        tr.after.push_back("INSERT INTO db2standin.aliases VALUES (" + quoteLiteral(a.schema) + ", "
                           + quoteLiteral(a.name) + ", " + quoteLiteral(target.schema) + ", "
                           + quoteLiteral(target.name) + ")");
        return tr;
    }
    if (t0.is("DROP") && tk[1].is("ALIAS")) {
        size_t i = 2;
        QName a = parseName(tk, i, cat);
        tr.kind = Translated::DropAlias;
        tr.schema = a.schema;
        tr.name = a.name;
        tr.sql = "DELETE FROM db2standin.aliases WHERE schema = " + quoteLiteral(a.schema)
            + " AND name = " + quoteLiteral(a.name);
        tr.after.push_back("DROP VIEW IF EXISTS " + a.quoted());
        return tr;
    }
    if (t0.is("ALTER") && tk[1].is("TABLE")) {
        // ALTER TABLE t ALTER [COLUMN] c RESTART [WITH n]: an identity's next value.
        size_t i = 2;
        const QName table = parseName(tk, i, cat);
        if (tk[i].is("ALTER")) {
            const size_t column = tk[i + 1].is("COLUMN") ? i + 2 : i + 1;
            if (isName(tk[column]) && tk[column + 1].is("RESTART")) {
                size_t end = column + 2;
                std::string with;
                if (tk[end].is("WITH")) {
                    const bool negative = tk[end + 1].is("-");
                    if (tk[end + 1 + negative].type != Token::Num)
                        syntax(tk[end + 1 + negative], "WITH");
                    with = std::string(" WITH ") + (negative ? "-" : "") + tk[end + 1 + negative].text;
                    end += 2 + negative;
                }
                if (tk[end].type != Token::End)
                    syntax(tk[end], tk[end - 1].text);
                tr.kind = Translated::Ddl;
                tr.sql = "ALTER TABLE " + table.quoted() + " ALTER COLUMN " + quoteIdent(nameOf(tk[column]))
                    + " RESTART" + with;
                return tr;
            }
        }
    }
    if (t0.is("CALL") && tk[1].is("SYSPROC") && tk[2].is(".") && tk[3].is("ADMIN_CMD") && tk[4].is("(")
        && tk[5].type == Token::Str && tk[6].is(")") && tk[7].type == Token::End) {
        // Only RUNSTATS ON TABLE name [options]: PostgreSQL's ANALYZE collects
        // what SYSCAT.TABLES then shows as CARD and NPAGES.
        std::vector<Token> command = tokenize(tk[5].text);
        if (!command[0].is("RUNSTATS") || !command[1].is("ON") || !command[2].is("TABLE"))
            raise("42601", -104,
                  "SQL0104N  An unexpected token \"" + command[0].text
                      + "\" was found following \"\".  Expected tokens may include:  \"RUNSTATS\".");
        size_t i = 3;
        const QName table = parseName(command, i, cat);
        tr.sql = "ANALYZE " + table.quoted();
        return tr;
    }
    if (t0.is("SET") && tk[1].is("CURRENT") && tk[2].is("LOCK") && tk[3].is("TIMEOUT")) {
        // NOT WAIT fails at once, WAIT waits without end, WAIT n or n waits n
        // seconds, NULL goes back to the database's setting.
        size_t i = tk[4].is("=") ? 5 : 4;
        std::string value;
        if (tk[i].is("NOT") && tk[i + 1].is("WAIT"))
            value = "'1ms'", i += 2;
        else if (tk[i].is("NULL"))
            value = "DEFAULT", i += 1;
        else if (tk[i].is("WAIT") && tk[i + 1].type != Token::Num)
            value = "0", i += 1;
        else {
            if (tk[i].is("WAIT"))
                ++i;
            const bool negative = tk[i].is("-");
            if (negative)
                ++i;
            if (tk[i].type != Token::Num || tk[i].text.find_first_not_of("0123456789") != std::string::npos)
                syntax(tk[i], "TIMEOUT");
            const long seconds = negative ? -std::stol(tk[i].text) : std::stol(tk[i].text);
            value = seconds < 0 ? "0" : seconds == 0 ? "'1ms'" : std::to_string(seconds * 1000);
            ++i;
        }
        if (tk[i].type != Token::End)
            syntax(tk[i], "TIMEOUT");
        tr.kind = Translated::SetLockTimeout;
        tr.lockTimeout = value;
        tr.sql = "SET lock_timeout = " + value;
        return tr;
    }
    if (t0.is("SET") && (tk[1].is("SCHEMA") || (tk[1].is("CURRENT") && (tk[2].is("SCHEMA") || tk[2].is("SQLID"))))) {
        size_t i = tk[1].is("SCHEMA") ? 2 : 3;
        if (tk[i].is("="))
            ++i;
        std::string s = tk[i].type == Token::Str ? tk[i].text : nameOf(tk[i]);
        tr.kind = Translated::SetSchema;
        tr.schema = s;
        tr.sql = "SET search_path TO " + quoteIdent(s);
        tr.after.push_back(SetCurrentSchemaSql(s));
        return tr;
    }
    Emitter em {tk};
    size_t from = 0;
    std::string prefix;
    if (t0.is("VALUES") && !tk[1].is("(")) {
        // DB2's "VALUES expr, ..." is one row.
        prefix = "VALUES (";
        tr.sql = prefix + em.emit(1, tk.size(), true) + ")";
    } else if (t0.is("TRUNCATE")) {
        size_t end = tk.size() - 1;
        while (end > 0
               && (tk[end - 1].is("IMMEDIATE") || tk[end - 1].is("STORAGE") || tk[end - 1].is("DROP")
                   || tk[end - 1].is("REUSE") || tk[end - 1].is("TRIGGERS") || tk[end - 1].is("DELETE")
                   || tk[end - 1].is("IGNORE") || tk[end - 1].is("RESTRICT") || tk[end - 1].is("WHEN")))
            --end;
        tr.sql = em.emit(0, end, true);
    } else {
        tr.sql = em.emit(from, tk.size(), true);
    }
    tr.paramCount = em.params;
    tr.paramColumn = em.paramColumn;
    if (t0.is("SELECT") || t0.is("WITH") || t0.is("VALUES") || t0.is("(")) {
        tr.kind = Translated::Query;
        readTablesAndIsolation(tk, cat, tr);
    } else if (t0.is("CREATE") || t0.is("DROP") || t0.is("ALTER") || t0.is("COMMENT") || t0.is("TRUNCATE")) {
        tr.kind = Translated::Ddl;
        if (t0.is("CREATE") && tk[1].is("VIEW")) {
            size_t i = 2;
            QName v = parseName(tk, i, cat);
            if (v.explicitSchema)
                tr.prepare.push_back(ensureSchema(v.schema));
            // A new view takes the place of an inoperative one of its name.
            tr.prepare.push_back("SELECT db2standin.replace_inoperative_view(" + quoteLiteral(v.schema) + ", "
                                 + quoteLiteral(v.name) + ")");
        }
        if (t0.is("DROP") && tk[1].is("VIEW")) {
            size_t i = 2;
            QName v = parseName(tk, i, cat);
            tr.after.push_back("DELETE FROM db2standin.inoperative_views WHERE schema = " + quoteLiteral(v.schema)
                               + " AND name = " + quoteLiteral(v.name));
        }
    }
    return tr;
}

}  // namespace db2standin
