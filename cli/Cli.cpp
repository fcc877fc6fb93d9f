#include "Cli.h"

#include "CliCommands.h"
#include "CliProfiles.h"
#include "SettingsStore.h"
#include "SqlDialect.h"
#include "Workspace.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <ostream>
#include <strings.h>

namespace {

const char* const kProgramHelp = R"(Usage: tablehop-cli COMMAND [OPTIONS] ...

Copies tables between one MySQL database and one IBM DB2 database, and drops or
renames tables on either side, with the logins last entered in the Tablehop window.

Commands:
  test   SIDE              check that a login works
  list   SIDE              list the tables of a database
  send   --to SIDE TABLE...  send tables from the other side to SIDE
  verify --to SIDE TABLE...  compare tables of the other side with their copies on SIDE
  drop   SIDE TABLE...     drop tables
  rename SIDE OLD NEW      rename one table
  check                    self-check both servers: scratch tables TABLEHOP_CHECK_...
                           with awkward values go both ways and are compared

SIDE is mysql or db2. Every login value can be given as an option
(--mysql-server, --mysql-port, --mysql-user, --mysql-database and the same with
db2-) or in the environment (TABLEHOP_MYSQL_SERVER, _PORT, _USER, _PASSWORD,
_DATABASE and TABLEHOP_DB2_...); passwords come from the environment, the stored
logins (the system keyring when the window keeps them there), or a prompt on a
terminal. "tablehop-cli COMMAND --help" tells more.

Connection options (default: as last set in the window; the window's default
is a plain connection and the login's own DB2 schema):
  --db2-schema NAME        the DB2 schema to list and work in (TABLEHOP_DB2_SCHEMA;
                           empty: the login's own)
  --mysql-tls, --db2-tls   an encrypted connection (TLS) that checks the server's
                           certificate; never falls back to a plain one
                           (TABLEHOP_MYSQL_TLS, TABLEHOP_DB2_TLS: 1 or 0)
  --no-mysql-tls, --no-db2-tls  a plain connection
  --mysql-ca FILE, --db2-ca FILE  the CA certificate file that signed the server's
                           certificate (TABLEHOP_MYSQL_CA, TABLEHOP_DB2_CA)
  --mysql-cert FILE, --mysql-key FILE  the client certificate and its key, for a
                           MySQL server that asks for one (TABLEHOP_MYSQL_CERT, _KEY)
  A certificate file given here asks for TLS.

Sends, drops and renames are recorded in activity.log in the user's data folder
(~/.local/share/Quarnel/Tablehop on Linux), one line each, as the window's are.

Exit status: 0 everything arrived, 1 some rows or tables did not (refused,
incomplete, failed or not sent; for verify or send --verify: different or not
compared), 2 usage or connection error, 130 or 143 a send or verify stopped by
Ctrl-C (SIGINT) or SIGTERM.
)";

const char* commandHelp(const std::string& command)
{
    if (command == "test")
        return "Usage: tablehop-cli test mysql|db2\n\nOpens a connection with the login and says whether it worked.\n";
    if (command == "list")
        return "Usage: tablehop-cli list mysql|db2 [--json]\n\nPrints the tables of the database, one a line, "
               "sorted without regard to case (DB2: the schema of --db2-schema, or the login's own).\n";
    if (command == "send")
        return "Usage: tablehop-cli send --to db2|mysql [--overwrite | --skip-existing] [--db2-types text|matching]\n"
               "                        [--existing replace|append|replace-rows|skip] [--allow-rounding]\n"
               "                        [--keys | --no-keys] [--db2-upper-case | --no-db2-upper-case]\n"
               "                        [--verify] [--parallel N] [--json] TABLE...\n\n"
               "Sends the tables from the other side: creates each on the target and copies every row.\n"
               "A table that exists on the target is dropped first with --overwrite, left alone with\n"
               "--skip-existing; without either it is an error, unless you answer the question on a terminal.\n"
               "--existing replace is --overwrite and --existing skip is --skip-existing; --existing append\n"
               "keeps the table and adds the rows to it, --existing replace-rows keeps the table and replaces\n"
               "its rows. Both load into the table's own columns, matched by name, in one transaction: all\n"
               "the rows or none, and the old rows stay locked until the table is done. A source column the\n"
               "target lacks, a target column that is NOT NULL without a default, a table that cannot roll\n"
               "back (MyISAM) or, replacing rows, a foreign key with ON DELETE CASCADE or SET NULL that\n"
               "references it refuses the table before any row moves. --existing is not taken from the window.\n"
               "A value the existing column would change without a word costs its row, told with its column:\n"
               "fractions of seconds a narrower DATETIME or TIME would cut, a DECIMAL or BIGINT a DOUBLE or\n"
               "REAL would round, 69 in a YEAR (2069), the text '1e2' in an INT (100), 1e-50 in a FLOAT (0).\n"
               "--allow-rounding lets the rounded ones in (fractions cut, numbers rounded to the column's\n"
               "digits) and counts them per column; the others are refused still. Off unless given.\n"
               "A name matches an existing table as the target compares names: DB2 exactly; MySQL exactly,\n"
               "or without regard to case where its lower_case_table_names is 1 or 2. Two tables that would\n"
               "land on one name: the first is sent, the second fails. A table or column name longer than\n"
               "the target takes fails before anything is created.\n"
               "TIMESTAMP values travel as UTC: the tool's MySQL sessions use time_zone '+00:00', so a MySQL\n"
               "TIMESTAMP arrives on DB2 in UTC whatever the server's zone; DATETIME values are left as they are.\n"
               "--db2-types matching gives each column the nearest type that holds all its values (on DB2\n"
               "INTEGER, DECIMAL(12,2), VARCHAR(50 CODEUNITS32), TIMESTAMP(6)...; and back on MySQL); text, the\n"
               "default, makes DB2 columns LONG VARCHAR but for dates, long text and bytes.\n"
               "--keys gives the target table the source's primary key (its columns NOT NULL; text key\n"
               "columns on MySQL compare case-sensitively, as on DB2); a key the target cannot hold is left\n"
               "out with a note.\n"
               "--db2-upper-case names the tables and columns created on DB2 in upper case (orders becomes\n"
               "ORDERS, so DB2 users need no quotes; only a to z change) and takes an existing ORDERS as the\n"
               "table orders; names sent to MySQL keep their case. These three default to what the window last\n"
               "used; --no-keys turns keys off, --no-db2-upper-case upper-case names.\n"
               "--json prints the summary as JSON: per table its status (sent, incomplete, failed,\n"
               "skipped), rowsRead, rowsWritten, rowsRefused, the target's own rowsOnTarget and notes; for a\n"
               "table that existed on the target, existing: the mode used (replace, append, replace-rows, skip).\n"
               "--verify compares each table sent with its source afterwards, as verify does; a table that\n"
               "arrived but differs has the status different, and the exit status is 1. Off unless given.\n"
               "--parallel N (1 to 16, default 1) sends up to N tables at once, each on connections of its\n"
               "own, and shares the N streams among the tables under way: a table of 50000 rows or more\n"
               "that has a primary key (on MySQL also a unique key of NOT NULL columns) is copied in as\n"
               "many ranges of its key at once (N alone, N/2 beside another table), each on its own pair of\n"
               "connections, into the one new table that then replaces the old one as always. Each range\n"
               "is read in a snapshot of its own: a table written to meanwhile is not copied as of one\n"
               "instant, as it is with one stream. Other tables, and loads into existing tables (--existing\n"
               "append or replace-rows), go as one stream. Not taken from the window.\n"
               "Ctrl-C (SIGINT) or SIGTERM stops as Cancel does: after the current batch the copy is dropped,\n"
               "the old table stays, the summary follows and the exit status is 130 or 143; a second signal\n"
               "ends at once (a later send drops the staging table left behind).\n";
    if (command == "verify")
        return "Usage: tablehop-cli verify --to db2|mysql [--db2-upper-case | --no-db2-upper-case] [--json] TABLE...\n\n"
               "Compares each table of the other side with the table of the same name on SIDE (named as send\n"
               "names it), row by row and value by value; it only reads. Rows are matched by the source's\n"
               "primary key, or a unique key of NOT NULL columns; without one, as whole rows (duplicates count).\n"
               "Values compare by what they mean: decimals by value (.5 is 0.50), TIMESTAMP instants in UTC,\n"
               "times to the microsecond, text by its characters (a trailing space differs; CHAR padding does\n"
               "not), bytes exactly, floating-point numbers as the target's type holds them, NULL never as ''.\n"
               "A value DB2 keeps in a text column is compared with the text the copy writes. A change the copy\n"
               "counts (a zero date stored as NULL, a code-page substitution) is a difference, marked as such.\n"
               "Prints per table equal, different or not compared, the rows on each side, rows only on one\n"
               "side, rows that differ and the first differences (row, column, both values).\n"
               "--json prints the same as JSON. Exit status 0 when every table is equal, 1 when one differs or\n"
               "could not be compared, 2 on a usage or connection error.\n";
    if (command == "drop")
        return "Usage: tablehop-cli drop mysql|db2 TABLE...\n\nDrops the tables. A table that does not exist is "
               "already gone and counts as dropped; one the server refuses to drop is reported.\n";
    if (command == "rename")
        return "Usage: tablehop-cli rename mysql|db2 OLD NEW\n\nRenames one table.\n";
    if (command == "check")
        return "Usage: tablehop-cli check\n\n"
               "Checks that tables travel intact between your two servers; run it first against a new DB2.\n"
               "Creates scratch tables named TABLEHOP_CHECK_... on both sides (a corpus of values at the\n"
               "types' limits, NULL and '', quotes and backslashes, every byte, 100 KB text and blob,\n"
               "emoji, DB2's own types, a wide row), sends them both ways with the real transfer,\n"
               "compares every value and drops the tables again. Prints PASS or FAIL per check, with\n"
               "the driver's message for a failure. Exit status 0 only when every check passed.\n";
    return nullptr;
}

const std::set<std::string> kValuedOptions = {
    "to",       "mysql-server", "mysql-port",   "mysql-user", "mysql-database", "db2-server",
    "db2-port", "db2-user",     "db2-database", "db2-types",  "existing",       "db2-schema",
    "mysql-ca", "mysql-cert",   "mysql-key",    "db2-ca",         "parallel",
};
const std::set<std::string> kFlags = {
    "help",           "json",    "overwrite",    "skip-existing", "keys",      "no-keys",
    "db2-upper-case", "no-db2-upper-case", "mysql-tls", "no-mysql-tls", "db2-tls", "no-db2-tls", "verify",
    "allow-rounding",
};

int connectionFailure(CliContext& context, DatabaseSide side, const DbError& error)
{
    context.err << "error: cannot connect to " << SideName(side) << " [" << error.sqlState() << "] "
                << error.description() << "\n";
    return kExitUsage;
}

void requireWords(const CliArgs& args, size_t least, size_t most)
{
    if (args.words.size() < least || args.words.size() > most)
        throw UsageError(std::string("wrong number of arguments for ") + args.command);
}

int runTest(const CliArgs& args, CliContext& context)
{
    requireWords(args, 1, 1);
    const DatabaseSide side = SideArgument(args.words[0]);
    Workspace workspace;
    workspace.setLogin(side, ProfileFor(side, args, context));
    if (const auto error = workspace.testLogin(side))
        return connectionFailure(context, side, *error);
    context.out << "Connection successful.\n";
    return kExitOk;
}

int runList(const CliArgs& args, CliContext& context)
{
    requireWords(args, 1, 1);
    const DatabaseSide side = SideArgument(args.words[0]);
    Workspace workspace;
    workspace.setLogin(side, ProfileFor(side, args, context));
    std::vector<std::string> names;
    try {
        names = workspace.listTables(side);
    } catch (const DbError& error) {
        return connectionFailure(context, side, error);
    }
    if (args.flags.count("json")) {
        QJsonArray array;
        for (const auto& name : names)
            array.append(QString::fromStdString(name));
        context.out << QJsonDocument(array).toJson(QJsonDocument::Compact).toStdString() << "\n";
    } else {
        for (const auto& name : names)
            context.out << name << "\n";
    }
    return kExitOk;
}

// A workspace with the side's login, its session open; reports and returns false when it cannot.
bool openSide(Workspace& workspace, DatabaseSide side, const CliArgs& args, CliContext& context)
{
    workspace.setLogin(side, ProfileFor(side, args, context));
    try {
        workspace.open(side);
        return true;
    } catch (const DbError& error) {
        connectionFailure(context, side, error);
        return false;
    }
}

int runDrop(const CliArgs& args, CliContext& context)
{
    requireWords(args, 2, SIZE_MAX);
    const DatabaseSide side = SideArgument(args.words[0]);
    Workspace workspace;
    if (!openSide(workspace, side, args, context))
        return kExitUsage;
    KeepActivityLog(workspace);
    workspace.beginTableChange(TableChange::Delete, side, {args.words.begin() + 1, args.words.end()});
    int status = kExitOk;
    for (size_t i = 1; i < args.words.size(); ++i) {
        const std::string& table = args.words[i];
        try {
            // As in the window: a table that is not there is gone, which is what was asked.
            const bool dropped = workspace.dropTable(side, table) == DropOutcome::Dropped;
            context.out << (dropped ? "dropped " : "already gone: ") << table << "\n";
        } catch (const TableChangeRefused& refusal) {
            context.err << "error: " << refusal.what() << "\n";
            status = kExitRefused;
        } catch (const DbError& error) {
            context.err << "error: table " << table << ", step DROP TABLE: [" << error.sqlState() << "] "
                        << error.description() << "\n";
            status = kExitRefused;
        }
    }
    workspace.endTableChange();
    TellActivityLogProblem(workspace, context);
    return status;
}

int runRename(const CliArgs& args, CliContext& context)
{
    requireWords(args, 3, 3);
    const DatabaseSide side = SideArgument(args.words[0]);
    const std::string& from = args.words[1];
    const std::string& to = args.words[2];
    if (to.empty())
        throw UsageError("the new name is empty");
    Workspace workspace;
    if (!openSide(workspace, side, args, context))
        return kExitUsage;
    KeepActivityLog(workspace);
    int status = kExitOk;
    try {
        workspace.renameTable(side, from, to);
        context.out << "renamed " << from << " to " << to << "\n";
    } catch (const TableChangeRefused& refusal) {
        context.err << "error: " << refusal.what() << "\n";
        status = kExitRefused;
    } catch (const DbError& error) {
        context.err << "error: table " << from << ", step RENAME: [" << error.sqlState() << "] " << error.description()
                    << "\n";
        status = kExitRefused;
    }
    TellActivityLogProblem(workspace, context);
    return status;
}

}  // namespace

DatabaseSide SideArgument(const std::string& word)
{
    if (strcasecmp(word.c_str(), "mysql") == 0)
        return DatabaseSide::MySQL;
    if (strcasecmp(word.c_str(), "db2") == 0)
        return DatabaseSide::DB2;
    throw UsageError("unknown side \"" + word + "\" (mysql or db2)");
}

std::string SideName(DatabaseSide side) { return DialectOf(side).displayName(); }

void KeepActivityLog(Workspace& workspace) { workspace.setActivityLog(ActivityLog::defaultFilePath()); }

void TellActivityLogProblem(Workspace& workspace, CliContext& context)
{
    if (const auto problem = workspace.takeActivityLogProblem())
        context.err << "warning: the activity log could not be written: " << *problem << "\n";
}

ConnectionProfile ProfileFor(DatabaseSide side, const CliArgs& args, CliContext& context)
{
    ProfileSources sources;
    sources.options = args.options;
    sources.flags = args.flags;
    sources.environment = context.environment;
    sources.settings = context.settings;
    if (context.interactive && context.ask)
        sources.askPassword = [&](const std::string& prompt) { return context.ask(prompt, true); };
    ConnectionProfile profile = ResolveProfile(side, sources);
    if (context.settings)
        if (const auto problem = context.settings->takeKeyringProblem())
            context.err << "warning: the system keyring could not be used (" << problem->toStdString()
                        << "); passwords are read from the settings file " << context.settings->fileName().toStdString()
                        << "\n";
    return profile;
}

int RunCli(const std::vector<std::string>& args, CliContext& context)
{
    try {
        const CliArgs parsed = ParseCliArgs(args, kValuedOptions, kFlags);
        if (parsed.command.empty() || parsed.command == "help") {
            (parsed.command.empty() && !parsed.flags.count("help") ? context.err : context.out) << kProgramHelp;
            return parsed.flags.count("help") || parsed.command == "help" ? kExitOk : kExitUsage;
        }
        const char* help = commandHelp(parsed.command);
        if (!help)
            throw UsageError("unknown command \"" + parsed.command + "\"");
        if (parsed.flags.count("help")) {
            context.out << help;
            return kExitOk;
        }
        if (parsed.command == "test")
            return runTest(parsed, context);
        if (parsed.command == "list")
            return runList(parsed, context);
        if (parsed.command == "drop")
            return runDrop(parsed, context);
        if (parsed.command == "rename")
            return runRename(parsed, context);
        if (parsed.command == "check")
            return RunCheck(parsed, context);
        if (parsed.command == "verify")
            return RunVerify(parsed, context);
        return RunSend(parsed, context);
    } catch (const UsageError& error) {
        context.err << "tablehop-cli: " << error.what() << "\n(see tablehop-cli --help)\n";
        return kExitUsage;
    }
}
