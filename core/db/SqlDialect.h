#pragma once

#include "ConnectionProfile.h"
#include "DbError.h"
#include "TableEstimate.h"

#include <sql.h>

#include <cstddef>
#include <ctime>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

class DataConnection;
struct Field;

// How many bytes of parameter values one statement may carry to a server.
struct SendLimits {
    size_t batchBytes = 0;  // one parameter array, all its rows together
    size_t rowBytes = 0;    // one row sent alone; a longer row cannot be sent at all
};

// How a server names tables and columns: how it compares table names and
// how long a name may be, asked of an open connection.
struct NameRules {
    bool tableNamesIgnoreCase = false;                     // "Orders" and "ORDERS" are one table
    bool tableNamesKeptInLowerCase = false;                // and it is listed as "orders"
    size_t maxTableNameBytes = 0, maxColumnNameBytes = 0;  // as the driver tells them; 0: no limit told
    size_t maxNameCharacters = 0;                          // where the server also counts characters; 0: it does not

    // Two table names are one table on the server when their keys are equal.
    std::string tableKey(const std::string& name) const;
    // The name a table created as `name` is listed under.
    std::string listedTableName(const std::string& name) const;
    // Why the server cannot take `name` for a table (or a column); nullopt when it can.
    std::optional<std::string> nameProblem(const std::string& name, bool table, const std::string& serverName) const;
};

// The part of a login that a failed connection points at.
enum class LoginFault { Unknown, UserOrPassword, ServerName, Port, Database };

// Everything that differs between the MySQL and the DB2 side of a statement
// or an answer lives here, one object per side: quoting, literals, the
// table-management statements, how errors are classified, limits. What is
// not pure virtual is standard SQL and ODBC behaviour a side overrides only
// where its server differs.
class SqlDialect {
public:
    virtual ~SqlDialect() = default;

    virtual DatabaseSide side() const = 0;
    // The database's name as the user sees it in messages: "MySQL", "IBM DB2".
    virtual std::string displayName() const = 0;
    virtual std::string connectionString(const ConnectionProfile& profile) const = 0;

    // An identifier quoted with its quote character doubled inside.
    virtual std::string quoteIdentifier(const std::string& name) const = 0;
    // The name the server reads `name` as when it is written without quotes,
    // so a table or column created under it can be written either way. By
    // default names keep their case.
    virtual std::string unquotedName(const std::string& name) const { return name; }
    // A text literal the server reads back as exactly `text` (by default its
    // quotes doubled).
    virtual std::string quoteText(const std::string& text) const;

    std::string dropTableSql(const std::string& table) const { return "DROP TABLE " + quoteIdentifier(table); }
    std::string dropViewSql(const std::string& view) const { return "DROP VIEW " + quoteIdentifier(view); }
    virtual std::string renameTableSql(const std::string& from, const std::string& to) const = 0;
    virtual std::string countRowsSql(const std::string& table) const;
    // What follows the column list of a CREATE TABLE.
    virtual std::string createTableSuffix() const { return ""; }

    // Column types as a CREATE TABLE of this side writes them ("VARCHAR(200)",
    // "DECIMAL(12,2)"): what a key column adds after its type (NOT NULL, and
    // on MySQL a binary collation so text keys compare case-sensitively, as
    // DB2's do), and the bytes it takes in an index key (nullopt: it cannot be
    // in a key, such as long text).
    virtual std::string keyColumnSuffix(const std::string&) const { return " NOT NULL"; }
    virtual std::optional<long long> keyBytes(const std::string& columnType) const = 0;
    virtual long long maxKeyBytes() const = 0;
    // Moves columns that are not in the key out of the row (a long VARCHAR
    // becomes TEXT on MySQL) until the row fits; by default nothing moves out
    // of a row, and tableLayoutProblem tells a row too wide.
    virtual void fitRow(std::vector<std::string>&, const std::vector<bool>&) const { }

    // Whether a new table's text columns can be sized in characters, as a
    // MySQL VARCHAR(n) is (DB2: CODEUNITS32, only in a Unicode database).
    virtual bool sizesTextInCharacters(DataConnection&) const { return true; }
    // The table's text columns declared in characters though the driver
    // describes them in bytes, with their declared length in characters, by
    // column name; empty where the catalogue does not say (by default the
    // driver describes characters as characters).
    virtual std::map<std::string, long long> textDeclaredInCharacters(DataConnection&, const std::string&) const
    {
        return {};
    }

    // The server said the table does not exist.
    virtual bool isNoSuchTable(const DbError& error) const = 0;
    // Which field of the login a refused connection points at: by default
    // SQLSTATE 28000 is the user or password, 08001 a server that did not answer.
    virtual LoginFault loginFault(const DbError& error) const;

    // Lock waits: the statement that makes this connection's later statements
    // give up after `seconds` of waiting for a lock another session holds, the
    // one that gives it back the wait its session set-up left it, and the
    // error of a statement that gave up.
    virtual std::string lockWaitSql(int seconds) const = 0;
    virtual std::string sessionLockWaitSql() const = 0;
    virtual bool isLockTimeout(const DbError& error) const = 0;
    // What other tables and views rely on `table` and would be removed or
    // broken with it: "foreign key FK_ITEMS_ORDER of ITEMS", "view OPEN_ORDERS".
    // A table's references to itself go with it and are not listed.
    virtual std::vector<std::string> dependentsOf(DataConnection& connection, const std::string& table) const = 0;
    // Whether a RENAME leaves what relies on the table working (MySQL: foreign
    // keys follow the table; DB2 refuses such a rename or leaves views invalid).
    virtual bool renameKeepsDependents() const = 0;
    // The table's own foreign keys to other tables ("foreign key FK_ITEMS_ORDER
    // to ORDERS"), where the server refuses to rename a table that has one.
    virtual std::vector<std::string> foreignKeysOf(DataConnection&, const std::string&) const { return {}; }
    // Triggers on `table` that fire for each row deleted or inserted:
    // "trigger ITEMS_AUDIT (AFTER DELETE)".
    virtual std::vector<std::string> rowTriggers(DataConnection& connection, const std::string& table) const = 0;
    // Whether `table` names a view, whose rows live in the tables it reads.
    virtual bool isView(DataConnection& connection, const std::string& table) const = 0;

    // Loading rows into a table that exists: its columns in table order, as
    // the catalogue describes them; `required` when a row must give a value
    // (NOT NULL without a default, not generated); `computed` says how the
    // table computes a column it takes no value for ("a STORED generated
    // column", "GENERATED ALWAYS AS IDENTITY"), empty for any other column.
    struct ExistingColumn {
        std::string name, type;
        bool required = false;
        std::string computed;
    };
    virtual std::vector<ExistingColumn> existingColumns(DataConnection& connection, const std::string& table) const = 0;
    // Whether the server compares column names without regard to case.
    virtual bool columnNamesIgnoreCase() const = 0;
    // Each column's own declaration where the driver's description leaves out
    // what decides its values (MySQL describes YEAR as SMALLINT and TIME(3) as
    // TIME), by column name; none by default, the description tells it all.
    virtual std::map<std::string, std::string> declaredColumnTypes(DataConnection&, const std::string&) const
    {
        return {};
    }
    // After rows were loaded into `columns` of `table`: a note for each
    // identity the server does not move past the values it was given (DB2's
    // GENERATED BY DEFAULT), which would hand out values the table already
    // holds, with the statement that restarts it. By default the server moves
    // it on by itself (MySQL's AUTO_INCREMENT).
    virtual std::vector<std::string> identitiesBehind(DataConnection&, const std::string&,
                                                      const std::vector<std::string>&) const
    {
        return {};
    }
    // Foreign keys of other tables whose ON DELETE changes their rows
    // (CASCADE, SET NULL) when rows of `table` are deleted: "foreign key FK of ITEMS".
    virtual std::vector<std::string> rowChangingReferences(DataConnection& connection,
                                                           const std::string& table) const = 0;
    // Why rows written to `table` could not be rolled back (a storage engine
    // without transactions); nullopt when they can.
    virtual std::optional<std::string> rollbackProblem(DataConnection&, const std::string&) const
    {
        return std::nullopt;
    }
    // What to change when the server's transaction log could not hold a unit
    // of work (the error says so); nullopt for any other error.
    virtual std::optional<std::string> transactionTooLargeAdvice(const DbError&) const { return std::nullopt; }

    // The longest table name the server takes, in bytes.
    virtual size_t maxNameBytes() const = 0;
    // What this server takes for names, asked of the open connection; by
    // default the limits the driver tells, names compared exactly (statements
    // quote every name).
    virtual NameRules nameRules(DataConnection& connection) const;
    // Statements every connection of the tool runs first, so that values read
    // and written do not depend on the server's or the user's settings (and,
    // on DB2, no lock is waited for longer than a few seconds).
    virtual std::vector<std::string> sessionSetupSql() const = 0;
    // Statements every connection runs as soon as it is open, before it reads
    // anything, also for a listing or a test of the login. None by default.
    virtual std::vector<std::string> connectionSetupSql() const { return {}; }
    // Opens `connection` for `profile` and runs the session set-up.
    void openSession(DataConnection& connection, const ConnectionProfile& profile) const;
    // Opens `connection` with the profile's text. With encryption, a
    // certificate file that cannot be read fails before the driver is asked;
    // a refusal the user can act on gets a plain sentence (connectAdvice)
    // ahead of the driver's own records.
    void openConnection(DataConnection& connection, const ConnectionProfile& profile) const;
    // Lets Cancel on another thread (the connection's StatementCanceller)
    // stop a statement running on the open connection. By default with
    // SQLCancel, which ODBC allows from another thread and DB2's CLI documents.
    virtual void makeCancellable(DataConnection& connection, const ConnectionProfile& profile) const;
    // That sentence for a connect that failed with `error`: the server wants
    // encryption, or its certificate is not signed by the CA. None by default.
    virtual std::optional<std::string> connectAdvice(const DbError&, const ConnectionProfile&) const
    {
        return std::nullopt;
    }
    // The names of the tables a statement without a schema can reach.
    virtual std::vector<std::string> tableNames(DataConnection& connection) const = 0;
    // The statistics' rows and bytes of every table tableNames lists, read in
    // one catalogue query; a table the catalogue has no figures for is absent
    // or has nullopt figures.
    TableEstimates tableEstimates(DataConnection& connection) const;

    // Staging tables: the rows of a send go into a table of the tool's own
    // name (StagingName) and only a complete copy is put in place.
    //
    // The statements that put `staging` in place of `table`, dropping the old
    // table when `replacing`. `aside` is a second staging name for the old
    // table where the side renames it away before dropping it.
    virtual std::vector<std::string> swapSql(const std::string& staging, const std::string& table,
                                             const std::string& aside, bool replacing) const = 0;
    // The swap statements are committed or rolled back together (DB2 runs
    // DDL inside a unit of work); otherwise each takes effect on its own, and
    // when a later one is refused (the old table cannot be dropped) the first
    // is undone by undoSwapSql.
    virtual bool ddlInUnitOfWork() const = 0;
    virtual std::string undoSwapSql(const std::string& staging, const std::string& table,
                                    const std::string& aside) const = 0;
    // Marks `staging` as in use by this run for as long as `claim` keeps its
    // unit of work open (or until releaseStaging), so another run can tell it
    // from the leftover of a killed run. The swap runs on the same connection.
    virtual void claimStaging(DataConnection& claim, const std::string& staging) const = 0;
    // The claim is on the name and is taken before the table exists (MySQL);
    // otherwise it is on the table and follows the CREATE a moment later.
    virtual bool claimPrecedesTable() const = 0;
    // A leftover younger than this is left alone: it may be a live run's
    // staging table in the moment between its CREATE and its claim.
    virtual std::time_t leftoverGraceSeconds() const = 0;
    virtual void releaseStaging(DataConnection& claim, const std::string& staging) const = 0;
    // Drops a staging table that no live run claims; false when one does.
    virtual bool dropUnclaimedStaging(DataConnection& connection, const std::string& staging) const = 0;
    // SQL type a text or byte parameter is declared with, given its longest value.
    virtual SQLSMALLINT textParameterType(long long longestBytes) const = 0;
    virtual SQLSMALLINT bytesParameterType(long long longestBytes) const = 0;
    // Text travels as UTF-16 (SQL_C_WCHAR) both ways, so the client's locale
    // cannot change it; otherwise as UTF-8 (SQL_C_CHAR).
    virtual bool textTravelsWide() const { return false; }
    // Whether text travels as UTF-16 on this open connection: only where it
    // may travel wide (above) and the connection has not shown that it takes
    // and gives SQL_C_CHAR text as UTF-8. Asked of the connection once.
    bool textTravelsWideOn(DataConnection& connection) const;
    // Whether SQL_C_CHAR text on the open connection is UTF-8, as the
    // connection answers it (by default not known, so no).
    virtual bool narrowTextIsUtf8(DataConnection&) const { return false; }
    // Parameter arrays may be asked to let each row stand alone.
    virtual bool offersNonAtomicArrays() const { return false; }

    // Why a new table with these column types (as CREATE TABLE names them)
    // cannot be created there, asked before the CREATE; nullopt when nothing
    // speaks against it (by default the server's own answer to the CREATE
    // says it clearly).
    virtual std::optional<std::string> tableLayoutProblem(DataConnection&, const std::vector<std::string>&) const
    {
        return std::nullopt;
    }

    // The server stored a value with substitution characters for characters
    // its code page lacks, and said so only with this warning.
    virtual bool isCodePageSubstitution(const DiagRecord&) const { return false; }
    // The database's code page (1208: Unicode); nullopt where it cannot be read.
    virtual std::optional<long> databaseCodePage(DataConnection&) const { return std::nullopt; }

    // The connection itself is gone, not merely the statement refused: by
    // default the ODBC states of a broken link.
    virtual bool isConnectionLost(const DbError& error) const;
    // A statement any live connection answers.
    virtual std::string pingSql() const { return "SELECT 1"; }

    // Whether an insert failed for its row's own values: a data error
    // (SQLSTATE classes 22 and 23, and the server's own codes for such
    // errors). Any other failure (a lost connection, a full log, table space
    // or file system, a deadlock or lock timeout) is no row's fault: every
    // later row would fail as well, so it ends the copy instead of costing a row.
    virtual bool isRowsOwnFault(const DbError& error) const;
    // The values the statement just run on `connection` stored changed
    // (cut, rounded, replaced) and only warned of, one record per warning;
    // empty when none, or where the server refuses what it cannot store.
    // Read once per statement, so once per parameter array.
    virtual std::vector<DiagRecord> changedValueWarnings(DataConnection&) const { return {}; }
    // Whether changedValueWarnings can find anything on this side.
    virtual bool warnsOfChangedValues() const { return false; }
    // A savepoint inside a transaction, and the statement that undoes what
    // came after it.
    virtual std::string savepointSql(const std::string& name) const { return "SAVEPOINT " + name; }
    virtual std::string rollbackToSavepointSql(const std::string& name) const
    {
        return "ROLLBACK TO SAVEPOINT " + name;
    }

    // The bounds for parameter values sent on this open connection.
    virtual SendLimits sendLimits(DataConnection& connection) const = 0;
    // Why a row of rowBytes bytes was not sent, naming the limit and how to raise it.
    virtual std::string rowTooLongMessage(size_t rowBytes, const SendLimits& limits) const = 0;

    // The catalogue query behind tableEstimates: table name, rows, bytes; a
    // NULL or negative figure is one the server does not have. A fourth
    // column, where the server lists views, is 1 for a view.
    virtual std::string tableEstimatesSql() const = 0;

    // The primary key's columns of a table the connection's statements reach
    // by its bare name, in key order; empty when it has none.
    virtual std::vector<std::string> primaryKeyColumns(DataConnection& connection, const std::string& table) const;
    // Parallel streams: the columns of the key a table is cut into ranges by,
    // in key order (the primary key; on MySQL the key it is read in the order
    // of); empty when it has none.
    virtual std::vector<std::string> rangeKeyColumns(DataConnection& connection, const std::string& table) const = 0;
    // `orderedSelect` (a SELECT ... ORDER BY) cut to its one row at `offset` (0: the first).
    virtual std::string rowAtOffsetSql(const std::string& orderedSelect, long long offset) const = 0;

    // Comparing a table with its copy reads each column through an
    // expression of its own whose text, as this server writes it, is the
    // value exactly as stored (every digit of a float, text in UTF-8 whatever
    // the session's character set), so the comparison need not share the
    // copy's typed reading. By default the column itself.
    virtual std::string comparedValueSql(const Field& column) const;

protected:
    // DB2's longest VARCHAR; longer text parameters are declared as long types.
    static constexpr long long kLongestVarchar = 32672;

    // A column type text taken apart: "VARCHAR(200) COLLATE x" -> VARCHAR, 200.
    struct TypeText {
        std::string word;  // first word, upper case
        long long length = 0;
        long long scale = 0;
    };
    static TypeText parseType(const std::string& text);
    static bool isOneOf(const std::string& word, std::initializer_list<const char*> words);
    static bool anyRecord(const DbError& error, bool (*matches)(const DiagRecord&));
    static bool anyNativeCode(const DbError& error, std::initializer_list<long> codes);
    // Whether a record's message holds `words`, without regard to case.
    static bool anyMessageSays(const DbError& error, const std::string& words);
    // The plain sentences of the connect advice, shared by both sides.
    std::string certificateRefusedAdvice(const ConnectionProfile& profile) const;
    std::string encryptionRequiredAdvice(const std::string& tlsOption) const;
    // The first value of a query's first row, and the first column's values.
    static std::optional<std::string> firstValue(DataConnection& connection, const std::string& sql);
    static std::vector<std::string> firstColumn(DataConnection& connection, const std::string& sql);
    // Existing columns from a query giving name, type, 1 when required and,
    // where it has a fourth column, how the table computes the column (NULL
    // or '' when it does not).
    static std::vector<ExistingColumn> existingColumnsFrom(DataConnection& connection, const std::string& sql);
};

// "tablehop_stage_" + the UTC time the run made it (yyyymmddhhmmss) + "_" +
// eight random hex digits: 38 bytes, within every server's name limit.
std::string StagingName(std::time_t made);
// When a staging name was made; nothing for any other name.
std::optional<std::time_t> StagingNameTime(const std::string& name);

const SqlDialect& MySQLDialect();
const SqlDialect& DB2Dialect();
const SqlDialect& DialectOf(DatabaseSide side);
