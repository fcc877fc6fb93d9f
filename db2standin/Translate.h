// DB2 statements rewritten for PostgreSQL.
#pragma once

#include "Sql.h"

#include <optional>
#include <string>
#include <vector>

namespace db2standin {

struct ColumnInfo {
    std::string name;
    TypeDesc type;
    bool notNull = false;
    bool generatedAlways = false;  // the table computes it: an INSERT may give it only DEFAULT
};

// SQL0798N: a value for a column defined as GENERATED ALWAYS.
Diag generatedAlwaysError(const std::string& column);

// What the translator needs to know about the database.
class Catalog {
public:
    virtual ~Catalog() = default;
    virtual std::string currentSchema() = 0;
    // Columns of a table or view, nullopt when it does not exist.
    virtual std::optional<std::vector<ColumnInfo>> columns(const std::string& schema, const std::string& table) = 0;
    // Page size of the table space new tables go to (a database created without options: 4K).
    virtual long pageSize() { return 4096; }
    // Whether the database code page is Unicode (1208): only then do character
    // strings take lengths in CODEUNITS32.
    virtual bool unicodeDatabase() { return true; }
    // extended_row_sz: ENABLE (the default of a new database) lets a row with
    // VARCHAR or VARGRAPHIC columns outgrow its page.
    virtual bool extendedRowSize() { return true; }
    // The authorization ID DB2 names in SQL0286N.
    virtual std::string authorizationId() { return currentSchema(); }
};

struct Translated {
    enum Kind {
        Query,
        Insert,
        Other,
        Ddl,
        DropTable,
        Rename,
        CreateAlias,
        DropAlias,
        SetSchema,
        SetLockTimeout
    } kind
        = Other;
    std::string sql;                   // the PostgreSQL statement, parameters as $1..$n
    std::vector<std::string> prepare;  // run first: domains and schemas the statement needs
    std::vector<std::string> after;    // run after success (alias bookkeeping)
    int paramCount = 0;

    // INSERT ... VALUES: target columns and, per parameter, the column it feeds (-1: none).
    std::string table;  // quoted "S"."T"
    std::vector<ColumnInfo> columns;
    std::vector<int> paramColumn;
    bool onlyParams = false;  // a single row of parameter markers only: eligible for COPY

    // A query: the tables it reads (quoted "S"."T", catalog views left out)
    // and the isolation its WITH clause asks for ("UR", "CS", "RS", "RR"; ""
    // for the connection's own).
    std::vector<std::string> readTables;
    std::string isolation;

    // Names for DB2 error texts.
    std::string schema, name, newName;
    // SET CURRENT LOCK TIMEOUT: the value of PostgreSQL's lock_timeout.
    std::string lockTimeout;
};

Translated translate(const std::string& db2sql, Catalog& catalog);

// The detail of the exception a trigger's SIGNAL raises: reported as SQL0438N.
inline constexpr const char* kSignalDetail = "db2standin SIGNAL";

// CURRENT SCHEMA is the schema last set, existing or not (PostgreSQL's
// current_schema is NULL for a schema not created yet): kept in a setting of
// the session, set at connect and by SET SCHEMA.
inline constexpr const char* kCurrentSchemaSql = "current_setting('db2standin.schema_register')";
inline std::string SetCurrentSchemaSql(const std::string& schema)
{
    return "SET db2standin.schema_register TO " + quoteLiteral(schema);
}

}  // namespace db2standin
