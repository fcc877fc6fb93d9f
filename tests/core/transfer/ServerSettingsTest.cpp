// Servers set up as many real ones are: a MariaDB that keeps table names in
// lower case and runs in a time zone with daylight saving, and table names
// the target compares its own way or cannot take.
#include "RecordingObserver.h"
#include "ServerHelpers.h"
#include "TableListing.h"
#include "Transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <set>

namespace {

enum class Server { MySQL, FoldingMySQL, DB2 };

ConnectionProfile profileOf(Server server)
{
    return server == Server::MySQL ? MySQLTestProfile()
        : server == Server::DB2    ? DB2TestProfile()
                                   : FoldingMySQLTestProfile();
}

void open(DataConnection& connection, Server server)
{
    connection.setCursorLocation(kClientSideCursor);
    connection.open((server == Server::DB2 ? DB2Dialect() : MySQLDialect()).connectionString(profileOf(server)));
}

std::vector<Row> query(Server server, const std::string& sql)
{
    DataConnection connection;
    open(connection, server);
    return QueryRows(connection, sql);
}

void exec(Server server, const std::string& sql)
{
    DataConnection connection;
    open(connection, server);
    connection.execute(sql);
}

void drop(Server server, const std::string& table)
{
    DataConnection connection;
    open(connection, server);
    if (server == Server::DB2)
        DropDB2(connection, table);
    else
        DropMySQL(connection, table);
}

std::string statuses(const TransferSummary& summary)
{
    std::string text;
    for (const auto& table : summary.tables)
        text += (text.empty() ? "" : " ") + std::string(TableStatusName(table.status));
    return text;
}

// --- TIMESTAMP values across the autumn clock change of the session's zone.

struct ClockChangeCase {
    const char* name;
    const char* key;  // what follows the TIMESTAMP column
    Db2ColumnTypes types;
};

void PrintTo(const ClockChangeCase& c, std::ostream* os) { *os << c.name; }

class ClockChange : public ::testing::TestWithParam<ClockChangeCase> { };

// 300 instants a minute apart from 00:00 UTC: Berlin's 02:00-03:00 occurs twice.
std::set<std::string> instants()
{
    std::set<std::string> utc;
    for (int minute = 0; minute < 300; ++minute) {
        char text[32];
        std::snprintf(text, sizeof text, "2024-10-27 %02d:%02d:00", minute / 60, minute % 60);
        utc.insert(text);
    }
    return utc;
}

std::set<std::string> column(Server server, const std::string& sql)
{
    std::set<std::string> values;
    for (const Row& row : query(server, sql))
        values.insert(row.at(0).value_or("NULL").substr(0, 19));
    return values;
}

TEST_P(ClockChange, EveryInstantArrivesOnceInUTCAndComesBack)
{
    const ClockChangeCase& c = GetParam();
    RequireTestServers(true, true);
    drop(Server::FoldingMySQL, "clock");
    drop(Server::DB2, "clock");
    DataConnection mysql;
    open(mysql, Server::FoldingMySQL);
    mysql.execute(std::string("CREATE TABLE clock(instant TIMESTAMP ") + c.key + ", local_time DATETIME)");
    mysql.execute("SET time_zone = '+00:00'");
    mysql.execute("INSERT INTO clock SELECT '2024-10-27 00:00:00' + INTERVAL seq MINUTE, '2024-10-27 02:30:00'"
                  " FROM seq_0_to_299");
    const TransferOptions options {c.types, false};
    RecordingObserver there, back;
    const auto sent = RunTransfer(TransferDirection::MySQLToDB2, FoldingMySQLTestProfile(), DB2TestProfile(), {"clock"},
                                  there, options);
    EXPECT_EQ(there.reportsText(), "");
    ASSERT_EQ(sent.tables.at(0).rowsRead, 300);
    EXPECT_EQ(column(Server::DB2, "SELECT \"instant\" FROM \"clock\""), instants());
    EXPECT_EQ(column(Server::DB2, "SELECT \"local_time\" FROM \"clock\""),
              std::set<std::string> {"2024-10-27 02:30:00"});

    RunTransfer(TransferDirection::DB2ToMySQL, FoldingMySQLTestProfile(), DB2TestProfile(), {"clock"}, back, options);
    EXPECT_EQ(back.reportsText(), "");
    EXPECT_EQ(query(Server::FoldingMySQL, "SELECT COUNT(*) FROM clock"), (std::vector<Row> {{"300"}}));
    EXPECT_EQ(column(Server::FoldingMySQL, "SELECT instant FROM clock"), instants());
    drop(Server::FoldingMySQL, "clock");
    drop(Server::DB2, "clock");
}

INSTANTIATE_TEST_SUITE_P(SessionSettings, ClockChange,
                         ::testing::Values(ClockChangeCase {"keyed_matching_types", "PRIMARY KEY",
                                                            Db2ColumnTypes::Matching},
                                           ClockChangeCase {"keyless_text_columns", "NULL", Db2ColumnTypes::Text}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Table names: matched as the target compares them, refused when the target cannot take them.

const std::string kLongName = "nc_" + std::string(61, 'x');  // 64 bytes: MySQL takes it, the stand-in does not
const std::string kLimitName = "nc_" + std::string(60, 'y');  // 63 bytes: the most the stand-in takes
const std::string kLimitColumn = "c" + std::string(62, 'z');

struct NameCase {
    const char* name;
    std::vector<std::pair<Server, std::string>> setup;
    TransferDirection direction;
    Server mysqlServer;
    std::vector<std::string> tables;
    std::string statuses;              // per table, in the order given
    std::vector<std::string> asked;    // overwrite questions, "table over existing" when the names differ
    std::vector<std::string> arrived;  // names given to the lists
    std::string report;                // a part of the one report expected; empty: no report
    std::vector<std::tuple<Server, std::string, std::string>> checks;  // statement, its first value
    TransferOptions options = {};
    std::vector<std::string> sentBack = {};  // then sent back from DB2 by the same observer, with the same options
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class NameCases : public ::testing::TestWithParam<NameCase> { };

TEST_P(NameCases, TargetMatchesNamesItsOwnWay)
{
    const NameCase& c = GetParam();
    RequireTestServers(true, true);
    for (Server server : {Server::MySQL, Server::FoldingMySQL})
        for (const char* table : {"Nc_Orders", "NC_ORDERS", "nc_orders", "nc_orders2", "nc_wide", kLongName.c_str(),
                                  kLimitName.c_str()})
            drop(server, table);
    for (const char* table : {"Nc_Orders", "NC_ORDERS", "nc_orders2", "NC_ORDERS2", "nc_wide", kLimitName.c_str()})
        drop(Server::DB2, table);
    for (const auto& [server, sql] : c.setup)
        exec(server, sql);

    RecordingObserver observer;
    auto summary = RunTransfer(c.direction, profileOf(c.mysqlServer), DB2TestProfile(), c.tables, observer, c.options);
    if (!c.sentBack.empty()) {
        const auto back = RunTransfer(TransferDirection::DB2ToMySQL, profileOf(c.mysqlServer), DB2TestProfile(),
                                      c.sentBack, observer, c.options);
        summary.tables.insert(summary.tables.end(), back.tables.begin(), back.tables.end());
    }
    EXPECT_EQ(statuses(summary), c.statuses);
    EXPECT_EQ(observer.asked, c.asked);
    for (const std::string& question : observer.asked) {  // each table asked about was counted as existing
        const auto& announced = observer.announcedExisting;
        EXPECT_NE(std::find(announced.begin(), announced.end(), question.substr(0, question.find(" over "))),
                  announced.end())
            << question;
    }
    EXPECT_EQ(observer.arrived, c.arrived);
    if (c.report.empty()) {
        EXPECT_EQ(observer.reportsText(), "");
    } else {
        ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
        EXPECT_NE(observer.reports[0].description.find(c.report), std::string::npos) << observer.reportsText();
    }
    for (const auto& [server, sql, value] : c.checks)
        EXPECT_EQ(query(server, sql), (std::vector<Row> {{value}})) << sql;
    for (const auto& table : summary.tables) {
        if (table.status == TableStatus::Failed) {
            EXPECT_EQ(table.rowsRead, 0) << table.name << ": refused before any row was read";
        }
    }
    for (Server server : {Server::MySQL, Server::FoldingMySQL, Server::DB2}) {
        DataConnection connection;
        open(connection, server);
        EXPECT_EQ(StagingTablesOn(connection, server == Server::DB2 ? DB2Dialect() : MySQLDialect()),
                  std::vector<std::string> {});
    }
}

const std::vector<std::pair<Server, std::string>> kTwoDB2Orders = {
    {Server::DB2, "CREATE TABLE \"Nc_Orders\"(\"id\" INTEGER)"},
    {Server::DB2, "INSERT INTO \"Nc_Orders\" VALUES(1)"},
    {Server::DB2, "CREATE TABLE \"NC_ORDERS\"(\"id\" INTEGER)"},
    {Server::DB2, "INSERT INTO \"NC_ORDERS\" VALUES(2), (3)"},
};

const TransferOptions kUpperCaseOnDB2 {Db2ColumnTypes::Text, false, ExistingTables::ReplaceTable, true};

std::vector<std::pair<Server, std::string>> lowerCaseOrders(Server server, const std::string& key = "")
{
    return {{server, "CREATE TABLE nc_orders(id INT" + key + ", Note VARCHAR(10))"},
            {server, "INSERT INTO nc_orders VALUES(4, 'x')"}};
}

const std::vector<std::pair<Server, std::string>> kUpperCaseDB2Orders = {
    {Server::DB2, "CREATE TABLE NC_ORDERS(ID INTEGER)"},
    {Server::DB2, "INSERT INTO NC_ORDERS VALUES(9)"},
    {Server::MySQL, "CREATE TABLE nc_orders(id INT)"},
    {Server::MySQL, "INSERT INTO nc_orders VALUES(4)"},
};

// The name and the columns of a table as MySQL's catalogue spells them.
std::string tableNamedSql(const std::string& table)
{
    return "SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND BINARY TABLE_NAME = '"
        + table + "'";
}
std::string columnNamesSql(const std::string& table)
{
    return "SELECT GROUP_CONCAT(COLUMN_NAME ORDER BY ORDINAL_POSITION) FROM information_schema.COLUMNS "
           "WHERE TABLE_SCHEMA = DATABASE() AND BINARY TABLE_NAME = '"
        + table + "'";
}

INSTANTIATE_TEST_SUITE_P(
    TableNames, NameCases,
    ::testing::Values(NameCase {"case_apart_on_mysql",
                                kTwoDB2Orders,
                                TransferDirection::DB2ToMySQL,
                                Server::MySQL,
                                {"Nc_Orders", "NC_ORDERS"},
                                "sent sent",
                                {},
                                {"Nc_Orders", "NC_ORDERS"},
                                "",
                                {{Server::MySQL, "SELECT COUNT(*) FROM Nc_Orders", "1"},
                                 {Server::MySQL, "SELECT COUNT(*) FROM NC_ORDERS", "2"}}},
                      NameCase {"second_of_one_name_refused_on_folding_mysql",
                                kTwoDB2Orders,
                                TransferDirection::DB2ToMySQL,
                                Server::FoldingMySQL,
                                {"Nc_Orders", "NC_ORDERS"},
                                "sent failed",
                                {},
                                {"nc_orders"},
                                "NC_ORDERS would replace nc_orders, which this run has just sent from Nc_Orders",
                                {{Server::FoldingMySQL, "SELECT SUM(id) FROM nc_orders", "1"}}},
                      NameCase {"existing_table_in_other_case_on_folding_mysql",
                                {{Server::DB2, "CREATE TABLE \"Nc_Orders\"(\"id\" INTEGER)"},
                                 {Server::DB2, "INSERT INTO \"Nc_Orders\" VALUES(5)"},
                                 {Server::FoldingMySQL, "CREATE TABLE NC_ORDERS(old INT)"}},
                                TransferDirection::DB2ToMySQL,
                                Server::FoldingMySQL,
                                {"Nc_Orders"},
                                "sent",
                                {"Nc_Orders over nc_orders"},
                                {"nc_orders"},
                                "",
                                {{Server::FoldingMySQL, "SELECT id FROM nc_orders", "5"}}},
                      NameCase {"other_case_is_another_table_on_db2",
                                {{Server::DB2, "CREATE TABLE NC_ORDERS2(ID INTEGER)"},
                                 {Server::DB2, "INSERT INTO NC_ORDERS2 VALUES(7)"},
                                 {Server::MySQL, "CREATE TABLE nc_orders2(id INT)"},
                                 {Server::MySQL, "INSERT INTO nc_orders2 VALUES(1)"}},
                                TransferDirection::MySQLToDB2,
                                Server::MySQL,
                                {"nc_orders2", "nc_orders2"},
                                "sent failed",
                                {},
                                {"nc_orders2"},
                                "nc_orders2 would replace nc_orders2, which this run has just sent from nc_orders2",
                                {{Server::DB2, "SELECT ID FROM NC_ORDERS2", "7"},
                                 {Server::DB2, "SELECT \"id\" FROM \"nc_orders2\"", "1"}}},
                      NameCase {"table_name_too_long_for_db2",
                                {{Server::MySQL, "CREATE TABLE " + kLongName + "(id INT)"},
                                 {Server::MySQL, "INSERT INTO " + kLongName + " VALUES(1)"}},
                                TransferDirection::MySQLToDB2,
                                Server::MySQL,
                                {kLongName},
                                "failed",
                                {},
                                {},
                                "The table name " + kLongName + " has 64 bytes; IBM DB2 takes at most 63.",
                                {}},
                      NameCase {"column_name_too_long_for_db2",
                                {{Server::MySQL, "CREATE TABLE nc_wide(id INT, c" + std::string(63, 'x') + " INT)"},
                                 {Server::MySQL, "INSERT INTO nc_wide VALUES(1, 2)"}},
                                TransferDirection::MySQLToDB2,
                                Server::MySQL,
                                {"nc_wide"},
                                "failed",
                                {},
                                {},
                                "The column name c" + std::string(63, 'x') + " has 64 bytes; IBM DB2 takes at most 63.",
                                {}},
                      NameCase {"names_at_the_db2_limit",
                                {{Server::MySQL, "CREATE TABLE " + kLimitName + "(" + kLimitColumn + " INT)"},
                                 {Server::MySQL, "INSERT INTO " + kLimitName + " VALUES(1)"}},
                                TransferDirection::MySQLToDB2,
                                Server::MySQL,
                                {kLimitName},
                                "sent",
                                {},
                                {kLimitName},
                                "",
                                {{Server::DB2, "SELECT \"" + kLimitColumn + "\" FROM \"" + kLimitName + "\"", "1"}}},
                      NameCase {"upper_case_on_db2_and_back_in_lower_case_on_folding_mysql",
                                lowerCaseOrders(Server::FoldingMySQL),
                                TransferDirection::MySQLToDB2,
                                Server::FoldingMySQL,
                                {"nc_orders"},
                                "sent sent",
                                {"NC_ORDERS over nc_orders"},
                                {"NC_ORDERS", "nc_orders"},
                                "",
                                {{Server::DB2, "SELECT NOTE FROM NC_ORDERS", "x"},
                                 {Server::FoldingMySQL, tableNamedSql("nc_orders"), "nc_orders"},
                                 {Server::FoldingMySQL, columnNamesSql("nc_orders"), "ID,NOTE"}},
                                kUpperCaseOnDB2,
                                {"NC_ORDERS"}},
                      // With its primary key: the key stays on DB2 and comes back with the table.
                      NameCase {"upper_case_on_db2_with_its_key_and_back_as_db2_lists_it_on_mysql",
                                lowerCaseOrders(Server::MySQL, " PRIMARY KEY"),
                                TransferDirection::MySQLToDB2,
                                Server::MySQL,
                                {"nc_orders"},
                                "sent sent",
                                {},
                                {"NC_ORDERS", "NC_ORDERS"},
                                "",
                                {{Server::MySQL, tableNamedSql("NC_ORDERS"), "NC_ORDERS"},
                                 {Server::MySQL, columnNamesSql("NC_ORDERS"), "ID,NOTE"},
                                 {Server::MySQL, "SELECT Note FROM nc_orders", "x"},
                                 {Server::DB2,
                                  "SELECT \"NULLS\" FROM SYSCAT.COLUMNS WHERE TABSCHEMA = CURRENT SCHEMA"
                                  " AND TABNAME = 'NC_ORDERS' AND COLNAME = 'ID'",
                                  "N"},
                                 {Server::MySQL,
                                  "SELECT COLUMN_KEY FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE()"
                                  " AND BINARY TABLE_NAME = 'NC_ORDERS' AND COLUMN_NAME = 'ID'",
                                  "PRI"}},
                                {Db2ColumnTypes::Matching, true, ExistingTables::ReplaceTable, true},
                                {"NC_ORDERS"}},
                      NameCase {"upper_case_replaces_existing_upper_case_table_on_db2",
                                kUpperCaseDB2Orders,
                                TransferDirection::MySQLToDB2,
                                Server::MySQL,
                                {"nc_orders"},
                                "sent",
                                {"nc_orders over NC_ORDERS"},
                                {"NC_ORDERS"},
                                "",
                                {{Server::DB2, "SELECT ID FROM NC_ORDERS", "4"}},
                                kUpperCaseOnDB2},
                      NameCase {"upper_case_adds_rows_to_existing_upper_case_table_on_db2",
                                kUpperCaseDB2Orders,
                                TransferDirection::MySQLToDB2,
                                Server::MySQL,
                                {"nc_orders"},
                                "sent",
                                {"nc_orders over NC_ORDERS"},
                                {},
                                "",
                                {{Server::DB2, "SELECT SUM(ID) FROM NC_ORDERS", "13"}},
                                {Db2ColumnTypes::Text, false, ExistingTables::AddRows, true}},
                      NameCase {"two_tables_of_one_upper_case_name_on_db2",
                                {{Server::MySQL, "CREATE TABLE nc_orders(id INT)"},
                                 {Server::MySQL, "CREATE TABLE Nc_Orders(id INT)"}},
                                TransferDirection::MySQLToDB2,
                                Server::MySQL,
                                {"nc_orders", "Nc_Orders"},
                                "sent failed",
                                {},
                                {"NC_ORDERS"},
                                "Nc_Orders would replace NC_ORDERS, which this run has just sent from nc_orders: with "
                                "upper-case names both are NC_ORDERS on IBM DB2.",
                                {},
                                kUpperCaseOnDB2},
                      // A load is a write of the run too: a second table of its name adds or replaces nothing.
                      NameCase {"same_table_named_twice_adds_its_rows_once",
                                {{Server::DB2, "CREATE TABLE NC_ORDERS(ID INTEGER)"},
                                 {Server::DB2, "INSERT INTO NC_ORDERS VALUES(2), (3)"},
                                 {Server::MySQL, "CREATE TABLE NC_ORDERS(ID INT)"},
                                 {Server::MySQL, "INSERT INTO NC_ORDERS VALUES(9)"}},
                                TransferDirection::DB2ToMySQL,
                                Server::MySQL,
                                {"NC_ORDERS", "NC_ORDERS"},
                                "sent failed",
                                {"NC_ORDERS"},
                                {},
                                "NC_ORDERS would add its rows to NC_ORDERS, which this run has just sent from "
                                "NC_ORDERS: it is named twice. Send it once.",
                                {{Server::MySQL, "SELECT COUNT(*) FROM NC_ORDERS", "3"}},
                                {Db2ColumnTypes::Text, false, ExistingTables::AddRows}},
                      NameCase {"two_tables_of_one_upper_case_name_replace_rows_once_on_db2",
                                {{Server::MySQL, "CREATE TABLE nc_orders(id INT)"},
                                 {Server::MySQL, "INSERT INTO nc_orders VALUES(4)"},
                                 {Server::MySQL, "CREATE TABLE Nc_Orders(id INT)"},
                                 {Server::MySQL, "INSERT INTO Nc_Orders VALUES(5), (6)"},
                                 {Server::DB2, "CREATE TABLE NC_ORDERS(ID INTEGER)"},
                                 {Server::DB2, "INSERT INTO NC_ORDERS VALUES(9)"}},
                                TransferDirection::MySQLToDB2,
                                Server::MySQL,
                                {"nc_orders", "Nc_Orders"},
                                "sent failed",
                                {"nc_orders over NC_ORDERS"},
                                {},
                                "Nc_Orders would replace the rows of NC_ORDERS, which this run has just sent from "
                                "nc_orders: with upper-case names both are NC_ORDERS on IBM DB2.",
                                {{Server::DB2, "SELECT SUM(ID) FROM NC_ORDERS", "4"}},
                                {Db2ColumnTypes::Text, false, ExistingTables::ReplaceRows, true}},
                      NameCase {"two_names_of_one_table_add_rows_once_on_folding_mysql",
                                {{Server::DB2, "CREATE TABLE \"Nc_Orders\"(\"id\" INTEGER)"},
                                 {Server::DB2, "INSERT INTO \"Nc_Orders\" VALUES(1)"},
                                 {Server::DB2, "CREATE TABLE \"NC_ORDERS\"(\"id\" INTEGER)"},
                                 {Server::DB2, "INSERT INTO \"NC_ORDERS\" VALUES(2), (3)"},
                                 {Server::FoldingMySQL, "CREATE TABLE nc_orders(id INT)"},
                                 {Server::FoldingMySQL, "INSERT INTO nc_orders VALUES(7)"}},
                                TransferDirection::DB2ToMySQL,
                                Server::FoldingMySQL,
                                {"Nc_Orders", "NC_ORDERS"},
                                "sent failed",
                                {"Nc_Orders over nc_orders"},
                                {},
                                "NC_ORDERS would add its rows to nc_orders, which this run has just sent from "
                                "Nc_Orders: MySQL does not tell these table names apart.",
                                {{Server::FoldingMySQL, "SELECT SUM(id) FROM nc_orders", "8"}},
                                {Db2ColumnTypes::Text, false, ExistingTables::AddRows}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Server settings that would change the values of a session.

// The sql_mode flags MariaDB documents (MySQL 8's are among them, but for
// TIME_TRUNCATE_FRACTIONAL, which MariaDB does not take), the modes that
// combine several among them.
const char* const kSqlModeFlags[] = {
    "ALLOW_INVALID_DATES",
    "ANSI",
    "ANSI_QUOTES",
    "DB2",
    "EMPTY_STRING_IS_NULL",
    "ERROR_FOR_DIVISION_BY_ZERO",
    "HIGH_NOT_PRECEDENCE",
    "IGNORE_BAD_TABLE_OPTIONS",
    "IGNORE_SPACE",
    "MAXDB",
    "MSSQL",
    "MYSQL323",
    "MYSQL40",
    "NO_AUTO_CREATE_USER",
    "NO_AUTO_VALUE_ON_ZERO",
    "NO_BACKSLASH_ESCAPES",
    "NO_DIR_IN_CREATE",
    "NO_ENGINE_SUBSTITUTION",
    "NO_FIELD_OPTIONS",
    "NO_KEY_OPTIONS",
    "NO_TABLE_OPTIONS",
    "NO_UNSIGNED_SUBTRACTION",
    "NO_ZERO_DATE",
    "NO_ZERO_IN_DATE",
    "ONLY_FULL_GROUP_BY",
    "ORACLE",
    "PAD_CHAR_TO_FULL_LENGTH",
    "PIPES_AS_CONCAT",
    "POSTGRESQL",
    "REAL_AS_FLOAT",
    "SIMULTANEOUS_ASSIGNMENT",
    "STRICT_ALL_TABLES",
    "STRICT_TRANS_TABLES",
    "TIME_ROUND_FRACTIONAL",
    "TRADITIONAL",
};

// A table as MySQL holds it, in a form that tells every difference ('' from
// NULL, trailing blanks, fractions, float bits).
struct HeldTable {
    std::vector<Row> types, values;
    bool operator==(const HeldTable&) const = default;
};

HeldTable held(DataConnection& mysql, const std::string& table)
{
    return {QueryRows(mysql,
                      "SELECT COLUMN_NAME, COLUMN_TYPE FROM information_schema.COLUMNS"
                      " WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = '"
                          + table + "' ORDER BY ORDINAL_POSITION"),
            QueryRows(mysql,
                      "SELECT id, HEX(c), HEX(v), HEX(q), d, dt, HEX(CAST(x AS DOUBLE)), n,"
                      " CAST(r AS DOUBLE) = 0.5, z FROM "
                          + table + " ORDER BY id")};
}

void PrintTo(const HeldTable& table, std::ostream* os)
{
    for (const auto* rows : {&table.types, &table.values})
        for (const Row& row : *rows) {
            for (const auto& value : row)
                *os << value.value_or("NULL") << " ";
            *os << "\n";
        }
}

// Whatever flags the server gives its sessions, the tool's own read and
// write every value unchanged and create the same types: a table goes to
// DB2 and back under each flag and comes back as it does under none.
TEST(ServerSqlModes, NoFlagChangesAValueOrATypeOfTheToolsSessions)
{
    RequireTestServers(true, true);
    DataConnection mysql, db2;  // opened under the server's own mode
    OpenMySQL(mysql);
    OpenDB2(db2);
    const TransferOptions matching {Db2ColumnTypes::Matching, true};
    const auto roundTrip = [&] {
        DropMySQL(mysql, "sm_back");
        DropDB2(db2, "sm_orig");
        RecordingObserver there, back;
        RunTransfer(TransferDirection::MySQLToDB2, MySQLTestProfile(), DB2TestProfile(), {"sm_orig"}, there, matching);
        EXPECT_EQ(there.reportsText(), "");
        db2.execute("RENAME TABLE \"sm_orig\" TO \"sm_back\"");
        RunTransfer(TransferDirection::DB2ToMySQL, MySQLTestProfile(), DB2TestProfile(), {"sm_back"}, back, matching);
        EXPECT_EQ(back.reportsText(), "");
        DropDB2(db2, "sm_back");
        return held(mysql, "sm_back");
    };
    DropMySQL(mysql, "sm_orig");
    mysql.execute("CREATE TABLE sm_orig(id INT PRIMARY KEY, c CHAR(6), v VARCHAR(10), q VARCHAR(20), d DATE,"
                  " dt DATETIME(6), x DOUBLE, n DECIMAL(10,2), r FLOAT, z INT) CHARACTER SET utf8mb4");
    mysql.execute("INSERT INTO sm_orig VALUES(1, 'ab', '', 'a\\\\b''c\"d||e', '2024-01-02',"
                  " '2024-01-02 03:04:05.123456', 0.1, 1.50, 0.5, 0),"
                  " (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
    HeldTable expected;
    {
        ScopedGlobal none(mysql, "sql_mode", "");
        expected = roundTrip();
    }
    EXPECT_EQ(expected.values, held(mysql, "sm_orig").values);
    for (const char* flag : kSqlModeFlags) {
        SCOPED_TRACE(flag);
        ScopedGlobal mode(mysql, "sql_mode", flag);
        EXPECT_EQ(roundTrip(), expected);
    }
    DropMySQL(mysql, "sm_orig");
    DropMySQL(mysql, "sm_back");
}

// A server whose init_connect sets another character set for the logins it
// runs for (those without SUPER): text is read, written and listed as it is.
TEST(ServerInitConnect, ALegacyCharacterSetChangesNoTextAndNoName)
{
    RequireTestServers(true, true);
    DataConnection mysql, db2;  // the test's own login has SUPER: init_connect does not run for it
    OpenMySQL(mysql);
    OpenDB2(db2);
    ConnectionProfile plain = MySQLTestProfile();
    plain.user = "th_plain";
    plain.password = "Plain-pw1";
    for (const char* host : {"%", "localhost"}) {
        const std::string login = std::string("'th_plain'@'") + host + "'";
        mysql.execute("CREATE USER IF NOT EXISTS " + login + " IDENTIFIED BY '" + plain.password + "'");
        mysql.execute("GRANT ALL ON `" + plain.database + "`.* TO " + login);
    }
    const std::string text = "Zoë 日本 😀";
    const char* const tables[] = {"größe_keyed", "größe_keyless"};
    for (const char* table : tables) {
        DropMySQL(mysql, table);
        DropDB2(db2, table);
    }
    mysql.execute("CREATE TABLE `größe_keyed`(id INT PRIMARY KEY, t VARCHAR(20), l TEXT) CHARACTER SET utf8mb4");
    mysql.execute("CREATE TABLE `größe_keyless`(id INT, t VARCHAR(20), l TEXT) CHARACTER SET utf8mb4");
    for (const char* table : tables)
        mysql.execute(std::string("INSERT INTO `") + table + "` VALUES(1, '" + text + "', REPEAT('" + text
                      + "', 1000)), (2, NULL, '')");
    const auto expect = [&](DataConnection& connection, const std::string& sql, const char* longOne,
                            const char* longTwo) {
        EXPECT_EQ(QueryRows(connection, sql), (std::vector<Row> {{"1", text, longOne}, {"2", std::nullopt, longTwo}}));
    };

    ScopedGlobal latin1(mysql, "init_connect", "SET NAMES latin1");
    const auto listed = ListMySQLTables(plain);
    for (const char* table : tables)
        EXPECT_EQ(std::count(listed.begin(), listed.end(), table), 1) << table;
    const TransferOptions options {Db2ColumnTypes::Matching, true};
    RecordingObserver there;
    RunTransfer(TransferDirection::MySQLToDB2, plain, DB2TestProfile(), {tables[0], tables[1]}, there, options);
    EXPECT_EQ(there.reportsText(), "");
    for (const char* table : tables) {
        SCOPED_TRACE(table);
        // The long value is compared whole once it is back on MySQL.
        expect(db2, std::string("SELECT \"id\", \"t\", LENGTH(\"l\") FROM \"") + table + "\" ORDER BY \"id\"", "8000",
               "0");
        mysql.execute(std::string("DROP TABLE `") + table + "`");
    }
    RecordingObserver back;
    RunTransfer(TransferDirection::DB2ToMySQL, plain, DB2TestProfile(), {tables[0], tables[1]}, back, options);
    EXPECT_EQ(back.reportsText(), "");
    for (const char* table : tables) {
        SCOPED_TRACE(table);
        expect(mysql,
               std::string("SELECT id, t, l = IF(id = 1, REPEAT('") + text + "', 1000), '') FROM `" + table
                   + "` ORDER BY id",
               "1", "1");
        DropMySQL(mysql, table);
        DropDB2(db2, table);
    }
}

}  // namespace
